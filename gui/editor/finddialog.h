#pragma once
// Find in the active editor page, and find in the project's module sources.
// Both take a text with match case and whole word (the editor's delimiters);
// the files' hits are listed, and a hit opens its line with the locate mark.

#include <functional>
#include <string>
#include <vector>

#include <QDialog>

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;

namespace dorvik::gui {

class EditorPages;

class FindDialog : public QDialog {
 public:
  FindDialog(EditorPages& pages, QWidget* parent);
  // Find next: from the active page's caret on.
  bool FindNext();

  QComboBox* comboText;
  QCheckBox* checkMatchCase;
  QCheckBox* checkWholeWord;
  QPushButton* btnFind;

 private:
  EditorPages& pages_;
};

// One hit of a search in files: the file, its 0-based line and the line's text.
struct FileHit {
  std::string FileName;
  int32_t Line = 0;
  std::string Text;
};

// Every hit of Text in the project's module sources (their pages' edited
// text where they are open, else the files); unreadable files are skipped.
std::vector<FileHit> FindInProjectFiles(const std::string& text, bool matchCase, bool wholeWord);

class FindInFilesDialog : public QDialog {
 public:
  explicit FindInFilesDialog(QWidget* parent);
  // Searches and lists the hits; their number.
  int Search();
  // Opens hit Row's file at its line with the locate mark.
  void OpenHit(int row);
  // After a hit was opened: the main window shows its page and mark.
  std::function<void()> HitOpened;

  QComboBox* comboText;
  QCheckBox* checkMatchCase;
  QCheckBox* checkWholeWord;
  QPushButton* btnFind;
  QListWidget* listHits;

 private:
  std::vector<FileHit> hits_;
};

}  // namespace dorvik::gui
