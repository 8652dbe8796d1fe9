#pragma once
// The breakpoint list: every breakpoint in use (Br0 up to the last entry the
// target has, and Arm) with its address, location and state; the selected
// one enabled, disabled, cleared or shown.

#include <cstdint>
#include <functional>
#include <string>

#include <QDialog>
#include <QTableWidget>

namespace dorvik::gui {

class BreakpointListDialog : public QDialog {
 public:
  explicit BreakpointListDialog(QWidget* parent);
  // Refills the rows from the breakpoint table.
  void Fill();
  // The selected entry's name ("" when none).
  std::string SelectedName() const;
  void EnableSelected(bool enable);
  void ClearSelected();
  // Shows the selected entry's source line, else its address in the disassembly.
  void GoToSelected();

  std::function<void(uint16_t)> ShowDisassembly;
  QTableWidget* Rows;
};

}  // namespace dorvik::gui
