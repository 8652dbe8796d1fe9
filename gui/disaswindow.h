#pragma once
// The dockable disassembly window.

#include <cstdint>

#include <QListWidget>
#include <QMainWindow>

#include "gui/dockable.h"

namespace dorvik::gui {

// The code around the program counter: one row per instruction, its code
// address kept with the row, breakpoint images, the execution line.
class DisasWindow : public TDockableForm {
 public:
  static constexpr int kRows = 48;
  explicit DisasWindow(QMainWindow* main);

  // Selects and focuses the row of Address (refilling from it when not shown).
  void LocateAddress(uint16_t address);
  // Refills the rows from Address.
  void FillFromAddress(uint16_t address);
  // The rows read again from the same address (after a command).
  void Refresh();
  // Code changed: every line decoded again, the rows refilled from the same address.
  void RecreateInterior();
  // Redraws the breakpoint images of the rows.
  void ShowBreakpointImages();
  // Marks the row of Address as the execution point (-1: none).
  void SetExecutionLine(int32_t address);
  // Shows the window (docked) when it is hidden.
  void EnsureVisible();

  QListWidget* Rows() const { return rows_; }
  int RowOf(uint16_t address) const;
  int32_t ExecutionLine() const { return execLine_; }

 private:
  void PaintRow(int row);
  QListWidget* rows_;
  uint16_t first_ = 0;
  bool stale_ = false;  // rows not read (hidden, or the board ran): read when shown
  int32_t execLine_ = -1;
};

}  // namespace dorvik::gui
