#pragma once
// The add-file-type dialog: an extension, its kind and the tool that
// compiles it, chosen by typing or browsing for an executable.

#include <functional>
#include <string>
#include <string_view>

#include <QDialog>

#include "project/project.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace dorvik::gui {

class TAdd_File_Type : public QDialog {
 public:
  explicit TAdd_File_Type(QWidget* parent = nullptr);

  // The dialog's fields as a file type, and set from one.
  tFileTypeRec FileType() const;
  void SetFileType(const tFileTypeRec& type);
  // Selects the type list's item of that text (without regard to case).
  void SelectTypeItem(std::string_view item);
  // Browse: an open dialog for executables; the choice goes into the tool edit.
  void BrowseCompiler();
  // The Browse button's file choice; tests set their own (unset: a file dialog).

  // The engine's question for a file type without a compiler: this dialog
  // with the type item selected; the tool text, empty when cancelled.
  static std::string AskCompiler(std::string_view typeItem);

  QLineEdit* editExtension;
  QComboBox* comboType;
  QLineEdit* editTool;
  QPushButton* btnBrowse;
  QPushButton* btnOK;
  QPushButton* btnCancel;
};

}  // namespace dorvik::gui
