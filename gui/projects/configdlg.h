#pragma once
// The project options: the registered file types with their compilers, the
// load and target options (ADuC download speed, load automatically on start
// with the last load path, byte order of integers and floats, the generic
// pointer selector sets) and the environment variables the build passes to
// external tools. OK applies them; the caller writes the project file.

#include <string>
#include <utility>
#include <vector>

#include <QDialog>

#include "project/project.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;

class QVBoxLayout;

namespace dorvik::gui {

class TConfigDlg : public QDialog {
 public:
  explicit TConfigDlg(QWidget* parent = nullptr);

  // The File Types page's buttons: a new type, the selected one edited, removed.
  void AddFileType();
  void EditFileType();
  void RemoveFileType();
  // The Environment page's buttons: a variable through the name/value dialog, removed.
  void AddVariable();
  void RemoveVariable();
  // Selector sets and the rest into the engine; false (nothing applied) when
  // a selector set is no list of byte values.
  bool Apply();

  // The download speed's item: 0 115200, 1 57600, 2 38400.
  int DownloadSpeedIndex() const;
  void SetDownloadSpeedIndex(int index);

  QTabWidget* Pages;
  QTableWidget* FileTypes;
  QPushButton* btnAddType;
  QPushButton* btnTypeProperties;
  QPushButton* btnRemoveType;
  QGroupBox* RadioGroupDownloadSpeed;
  QButtonGroup* downloadSpeeds;
  QCheckBox* cbLoadAutomatically;
  QLineEdit* editLastLoadPath;
  QCheckBox* cbIntMSBFirst;
  QCheckBox* cbFloatMSBFirst;
  QLineEdit* editCodePtrSelectors;
  QLineEdit* editXDataPtrSelectors;
  QLineEdit* editPDataPtrSelectors;
  QLineEdit* editDataPtrSelectors;
  QLabel* labelSelectorError;  // the message of a selector set that is no list of byte values
  QTableWidget* Variables;
  QPushButton* btnAddVariable;
  QPushButton* btnRemoveVariable;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 private:
  // The steps of the dialog's making: its three pages and its buttons.
  void BuildTypesPage();
  void BuildOptionsPage();
  void BuildEnvironmentPage();
  void BuildButtons(QVBoxLayout& box);
  void FillTypes();
  void FillVariables();
  std::vector<tFileTypeRec> types_;
  std::vector<std::pair<std::string, std::string>> variables_;
};

}  // namespace dorvik::gui
