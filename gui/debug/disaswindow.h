#pragma once
// The dockable disassembly window.

#include <cstddef>
#include <cstdint>

#include <QListWidget>
#include <QMainWindow>

#include "debugger/toolviews.h"
#include "gui/ground/dockable.h"

namespace dorvik::gui {

// The widths of the optional columns: 0 leaves a column out.
struct DisasColumns {
  size_t SourceLine = 0;
  size_t Label = 0;
  size_t Instruction = 0;  // the comments line up after it
};

// The code around the program counter: one row per instruction as the engine
// reads it (its fields and its code address), breakpoint images, the
// execution line. The source-line and label columns show once some decoded
// line has a source reference or a label (the line rendering's column
// flags), as wide as the widest one shown since the rows were last recreated.
class DisasWindow : public TDockableForm {
 public:
  static constexpr int kRows = 48;
  explicit DisasWindow(QMainWindow* main);

  // Selects and focuses the row of Address (refilling from it when not shown,
  // or shown too near the end of the rows).
  void LocateAddress(uint16_t address);
  // Refills the rows from Address.
  void FillFromAddress(uint16_t address);
  // The rows read again from the same address (after a command).
  void Refresh();
  // Code changed: every line decoded again, the columns sized anew, the rows
  // refilled from the same address.
  void RecreateInterior();
  // Marks the row of Address as the execution point (-1: none).
  void SetExecutionLine(int32_t address);
  // Shows the window (docked) when it is hidden.
  void EnsureVisible();
  // The display options changed (symbols or line numbers switched, another
  // number base): the rows are rendered again; the breakpoints changed (their
  // revision moved): the images are drawn again.
  void Sync();

  QListWidget* Rows() const { return rows_; }
  int RowOf(uint16_t address) const;
  int32_t ExecutionLine() const { return execLine_; }
  // The columns the rows were last laid out with.
  const DisasColumns& Columns() const { return columns_; }

 private:
  // The display options a rendering depends on.
  struct Options {
    uint8_t Radix = 0;
    bool Symbols = false;
    bool Lines = false;
    bool operator==(const Options&) const = default;
  };
  static Options CurrentOptions();
  void PaintRow(int row);
  // Redraws the breakpoint images of the rows.
  void ShowBreakpointImages();
  // The columns widened to hold the rows read, shown as the read's column flags say.
  void FitColumns(const DisassemblyRead& read);

  QListWidget* rows_;
  uint16_t first_ = 0;
  bool stale_ = false;  // rows not read (hidden, or the board ran): read when shown
  int32_t execLine_ = -1;
  DisasColumns columns_;
  Options rendered_;  // the options the rows were rendered with
  uint32_t shownBreakpoints_ = 0;  // the breakpoint revision the images show
};

}  // namespace dorvik::gui
