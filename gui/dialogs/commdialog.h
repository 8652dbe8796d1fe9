#pragma once
// The communication set-up dialog: the serial port, its speed and the debug
// target, over the settings model (debugger/commsettings.h). Choices change
// the dialog's own copy; OK applies it, Cancel leaves everything as it was,
// and "Init connection" applies it and resets the target, so that a board
// announces itself on the new line.

#include <QDialog>

#include "debugger/commsettings.h"

class QComboBox;
class QPushButton;

namespace dorvik::gui {

class TCommPortSelect : public QDialog {
 public:
  // Modal results
  static constexpr int kSetComParams = 1;
  static constexpr int kDoNotSetComParams = 2;
  static constexpr int kInitConnection = 6;

  explicit TCommPortSelect(QWidget* parent = nullptr);

  const CommSettings& Chosen() const { return model_.Chosen(); }

  QComboBox* comboPort;
  QComboBox* comboBaud;
  QComboBox* comboTarget;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  QPushButton* btnConnect;

 private:
  CommSetupDialog model_;
};

}  // namespace dorvik::gui
