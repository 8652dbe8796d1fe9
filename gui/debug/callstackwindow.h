#pragma once
// The dockable call-stack window: the lines of CALLSTACK, refilled at a stop
// when SP or PC moved, or a GO or a load came since its fill. An entry opens
// its source line and its code in the disassembly.

#include <cstdint>
#include <functional>
#include <vector>

#include <QListWidget>
#include <QMainWindow>

#include "debugger/toolviews.h"
#include "gui/ground/dockable.h"

namespace dorvik::gui {

class TCallStackWin : public TDockableForm {
 public:
  explicit TCallStackWin(QMainWindow* main);

  // A stop: refilled when the stack or the PC moved, or a GO or a load came,
  // since the last fill (nothing while the program runs, the target is busy,
  // or it is hidden).
  void Sync();
  // Reads the stack and fills the rows now.
  void Refill();
  // Marks row Row's source line (the editor pages show it) and locates its
  // address in the disassembly.
  void ShowEntry(int row);

  // Shows a code address in the disassembly window.
  std::function<void(uint16_t)> ShowDisassembly;
  QListWidget* Rows() const { return rows_; }
  const std::vector<CallStackEntry>& Entries() const { return entries_; }

 private:
  QListWidget* rows_;
  std::vector<CallStackEntry> entries_;
  // What the rows were filled at.
  int32_t filledSP_ = -1;
  int32_t filledPC_ = -1;
  uint32_t filledGo_ = 0;
  int32_t filledLoad_ = -1;
};

}  // namespace dorvik::gui
