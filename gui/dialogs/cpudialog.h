#pragma once
// The chip-type dialog: the processors of the database with the current one
// selected. OK ends it with the chosen name (the main window runs the CPU
// command with it); "Other..." compiles a text definition file into the
// database under a new designation (lang/cpucompiler.h) and lists it.

#include <string>

#include <QDialog>

class QListWidget;
class QPushButton;

namespace dorvik::gui {

class TSelCPUDlg : public QDialog {
 public:
  // Modal results
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;

  explicit TSelCPUDlg(QWidget* parent = nullptr);

  // The selected processor's name ("" when none is selected).
  std::string Chosen() const;
  // Asks for a designation and a definition file and compiles it; the list
  // is refilled with the new processor selected.
  void btnOtherClick();

  QListWidget* CpuList;
  QPushButton* btnOK;
  QPushButton* btnCancel;
  QPushButton* btnOther;

 private:
  void FillCpuList();
};

}  // namespace dorvik::gui
