#pragma once
// The load dialog: shows a program load (or a HEX save) while it runs: the
// file, the address being transferred, and the load options as check boxes.
// Its Load button starts the load, or the save when the Save HEX action opened
// it; Cancel and Escape stop a running load.

#include <cstdint>
#include <string>
#include <string_view>

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace dorvik {
struct LoaderOptions;
}

namespace dorvik::gui {

class TLoadDlg : public QDialog {
 public:
  explicit TLoadDlg(QWidget* parent = nullptr);

  // What the Load button runs.
  enum class Mode { Load, SaveHex };
  // Load Loader().LoadFileName; or save RangeLength bytes from RangeStart as HEX.
  void Prepare(Mode mode, int32_t rangeStart = 0, int32_t rangeLength = 0);

  // The check boxes as the loader's options.
  void OptionsFromBoxes(LoaderOptions& o) const;
  // The address being loaded (or cleared) under its label.
  void ShowAddress(std::string_view label, std::string_view address);

  void BtnLoadClick();
  void BtnSaveClick();
  void BtnCancelClick() { cancel_ = true; }
  bool CancelPressed() const { return cancel_; }

  QPushButton* BtnCancel;
  QLabel* Label1;
  QLabel* Label2;
  QComboBox* comboMAPFile;
  QLabel* Label3;
  QLabel* StaticTextLoadAddress;
  QPushButton* BtnLoad;
  QCheckBox* cbNoCode;
  QCheckBox* cbNoLines;
  QCheckBox* cbNoSymbols;
  QCheckBox* cbAppend;
  QCheckBox* cbXDATALoad;
  QCheckBox* cbClearDataFlash;
  QGroupBox* grpLoadParams;
  QCheckBox* cbClearCodeFlashBeforeLoad;
  QLabel* StaticTextLoadFile;

 protected:
  // The options into the check boxes; the flash box of the processor family.
  void showEvent(QShowEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void TryShowClearFLASHBox();
  // The buttons and options blocked while Work runs in the busy pair; the
  // dialog ends with 1, or 2 when the load was aborted.
  void RunLoadOrSave(bool (*work)(TLoadDlg&));

  Mode mode_ = Mode::Load;
  int32_t rangeStart_ = 0;
  int32_t rangeLength_ = 0;
  bool cancel_ = false;
};

}  // namespace dorvik::gui
