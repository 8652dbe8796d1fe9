#pragma once
// The editor pages in the main window's centre: one tab per source file over
// a plain-text editor (its own undo, redo and clipboard), a gutter with the
// line numbers, and the line marks of the engine (execution point, breakpoints,
// located symbol) drawn in their colours. The pages' files, lines and marks
// are the engine's (debugger/editormodel.h): the tabs follow them at every sync,
// and every edit puts the lines it touched back into the engine's lines, which
// the source lookups read. Saving writes under a temporary name and keeps the old file as .BAK.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>

#include "objfiles/sourcetext.h"
#include "platform/ini.h"

namespace dorvik::gui {

// One page's editor: the text, the gutter and the marks.
class CodeEditWidget : public QPlainTextEdit {
 public:
  explicit CodeEditWidget(QWidget* parent);

  // The marks: 1-based line -> line colour (blue-green-red, as the engine keeps them).
  void SetMarks(const std::map<int32_t, uint32_t>& marks);
  // The breakpoints' gutter dots: 1-based line -> enabled (solid) or not (hollow).
  void SetBreakDots(const std::map<int32_t, bool>& dots);
  // The colour drawn under a 1-based line (invalid when none), and its text's colour.
  QColor MarkColor(int32_t line) const;
  QColor MarkTextColor(int32_t line) const;
  // The gutter dot of a 1-based line.
  enum class Dot : uint8_t { kNone, kSolid, kHollow };
  Dot DotAt(int32_t line) const;
  // Scrolls so that the 1-based line is in view (the caret stays).
  void ShowLine(int32_t line);
  // The 0-based line of the caret.
  int32_t CaretLine() const { return textCursor().blockNumber(); }
  // Puts the caret at the start of a 1-based line.
  void GoToLine(int32_t line);

  std::function<void()> DoubleClicked;  // a double click on a line (the caret is on it)

  // The hint of the word under the mouse: shown after the mouse rested
  // kHintRestMs on it (kHintAgainMs once a hint was shown), for kHintShowMs.
  static constexpr int kHintRestMs = 1500;
  static constexpr int kHintAgainMs = 500;
  static constexpr int kHintShowMs = 30000;
  // The word at a point of the viewport (the editor's word delimiters).
  QString WordAt(const QPoint& point) const;
  // Shows the hint of the word at the point; false when it names nothing.
  bool ShowHintAt(const QPoint& point);
  QLabel* Hint() const { return hint_; }
  QTimer* HintTimer() { return &hintTimer_; }
  bool Latin1 = false;                  // the file is not UTF-8: its bytes are kept as they are

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  friend class LineGutter;
  int GutterWidth() const;
  void PaintGutter(QPaintEvent* e);
  QWidget* gutter_;
  std::map<int32_t, uint32_t> marks_;
  std::map<int32_t, bool> dots_;
  QLabel* hint_;
  QTimer hintTimer_;      // the mouse's rest
  QTimer hintHideTimer_;  // the hint's time on screen
  QPoint mouse_;

 public:
  std::function<void()> FocusedIn;
};

class EditorPages : public QTabWidget {
 public:
  explicit EditorPages(QWidget& main);

  // Brings the tabs up to the engine's pages: new pages, reloaded text, the
  // marks, the active page and the line to show.
  void Sync();
  CodeEditWidget* Page(int32_t page) const;
  int32_t Count() const { return static_cast<int32_t>(editors_.size()); }

  // The actions of the File menu
  // File|Open: a file chosen and opened (a failure is one message, no page).
  void OpenFileClick();
  bool OpenFile(const std::string& fileName);
  // Saves the page; a failure is one message, the page keeps its text and stays changed.
  bool SavePage(int32_t page);
  bool SavePageAs(int32_t page, const std::string& fileName);
  void SaveClick();
  void SaveAsClick();
  // Closes a page; a changed one asks first (question 37): Cancel keeps it,
  // and a failed save keeps it too. False when the page stays.
  bool ClosePageAsk(int32_t page);
  void CloseClick();
  // Every changed page asked as by Close; false when the user keeps one open.
  bool CanCloseAll();
  // Every page closed without a question (after CanCloseAll: another project opens).
  void CloseAll();
  bool Modified(int32_t page) const;
  // The project file's section [FILES]: the pages open when the window
  // closed ("FILE" n the file, "Pos" n its caret line, n from 1), opened
  // again each at its line, and written back.
  void LoadPages(const platform::IniFile& file);
  void SavePages(platform::IniFile& file) const;

  // The active page re-activated: a file changed on disk since it was read
  // asks whether to read it again (question 43); with Focus the page's editor
  // takes the focus; the cursor address follows its caret line.
  void ActivateEditor(bool focus);
  // The code address and location of the active page's caret line to the debug actions.
  void UpdateCursorAddress();
  // The active page and its caret's 1-based line (page -1: none).
  tShowedLine ActiveCaret() const;

  // What the pages tell the debug actions, wired by the main window: the
  // active page's caret moved (its line becomes the cursor), a line was
  // double-clicked (its breakpoint toggles), and the caret line's code
  // address (-1: the line holds no code) and location were looked up.
  std::function<void()> CaretMoved;
  std::function<void()> LineDoubleClicked;
  std::function<void(int32_t address, const std::string& location)> CursorLineFound;

  // Edit|Find: the text searched from the caret on (question 28 at the end);
  // true when it was found (and selected).
  bool FindNext(const std::string& text, bool matchCase, bool wholeWord);

 private:
  void AddEditor(int32_t page);
  // An edit of the document: the lines it touched go into the engine's page.
  void LinesEdited(CodeEditWidget* editor, int position, int added);
  // The editor's whole text into the engine's page.
  void HandOverText(CodeEditWidget* editor);
  void ShowTitle(int32_t page);
  int32_t IndexOf(const CodeEditWidget* editor) const;

  QWidget& main_;
  std::vector<CodeEditWidget*> editors_;
  std::vector<uint32_t> loads_;  // the engine's read count each editor shows
  uint32_t shownRevision_ = UINT32_MAX;
  uint32_t shownBreakpoints_ = UINT32_MAX;  // the breakpoint revision the dots show
  bool syncing_ = false;
  QTimer cursorTimer_;
};

}  // namespace dorvik::gui
