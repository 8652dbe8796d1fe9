#include "gui/disaswindow.h"

#include <QFontDatabase>
#include <QPainter>

#include <utility>

#include "access/backend.h"
#include "access/target.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "debugger/breakpoints.h"
#include "debugger/views.h"
#include "gui/widgets.h"
#include "lang/formatting.h"
#include "machine/images.h"
#include "machine/opcodes.h"

namespace dorvik::gui {

namespace {

QIcon BreakIcon(bool enabled) {
  QPixmap pixmap(12, 12);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(128, 0, 0));
  p.setBrush(enabled ? QColor(255, 0, 0) : QColor(255, 255, 255));
  p.drawEllipse(1, 1, 10, 10);
  p.end();
  return QIcon(pixmap);
}

}  // namespace

DisasWindow::DisasWindow(QMainWindow* main) : TDockableForm("DisasWindow", "Disassembly", main), rows_(new QListWidget(this)) {
  rows_->setObjectName("Rows");
  rows_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  rows_->setUniformItemSizes(true);
  setWidget(rows_);
}

void DisasWindow::FillFromAddress(uint16_t address) {
  // The caret line stays where it was when its address is still shown.
  const QListWidgetItem* current = rows_->currentItem();
  const int32_t caret = current != nullptr ? current->data(Qt::UserRole).toInt() : -1;
  const bool selected = current != nullptr && current->isSelected();
  first_ = address;
  // A board that runs the program is not read (its link carries the run),
  // and a hidden window reads nothing until it is shown.
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  if ((Run().ProgramRunning && caps.RunsProgramItself) || isHidden()) {
    stale_ = true;
    return;
  }
  stale_ = false;
  rows_->clear();
  // The rows' reads show no message of their own: a command's failure is
  // reported by the command, and a read that fails ends the rows with one row
  // saying why.
  MessageState& m = Messages();
  const bool error = m.ErrorFlag;
  const bool quiet = std::exchange(m.QuietMessages, true);
  m.ErrorFlag = false;
  uint32_t a = address;
  for (int i = 0; i < kRows && a <= 0xFFFF; ++i) {
    const uint16_t at = static_cast<uint16_t>(a);
    const std::string line = DisassembleLine(at);
    const uint8_t op = m.ErrorFlag ? 0 : TargetReadByte(kSpaceCode, at);
    if (m.ErrorFlag) {
      auto* item = new QListWidgetItem(Text(FormatHex4(at) + "  " + m.LastMessageText), rows_);
      item->setData(Qt::UserRole, at);
      break;
    }
    auto* item = new QListWidgetItem(Text(FormatHex4(at) + "  " + line), rows_);
    item->setData(Qt::UserRole, at);
    a += Opcode(op).Length;
  }
  m.QuietMessages = quiet;
  m.ErrorFlag = error;
  if (caret >= 0 && RowOf(static_cast<uint16_t>(caret)) >= 0)
    rows_->setCurrentRow(RowOf(static_cast<uint16_t>(caret)),
                         selected ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate);
  ShowBreakpointImages();
}

int DisasWindow::RowOf(uint16_t address) const {
  for (int i = 0; i < rows_->count(); ++i)
    if (rows_->item(i)->data(Qt::UserRole).toInt() == address) return i;
  return -1;
}

void DisasWindow::LocateAddress(uint16_t address) {
  int row = RowOf(address);
  if (row < 0) {
    FillFromAddress(address);
    row = 0;
  }
  rows_->setCurrentRow(row);
  rows_->scrollToItem(rows_->item(row));
  if (isVisible()) rows_->setFocus();
}

void DisasWindow::Refresh() {
  FillFromAddress(first_);
  if (execLine_ >= 0) SetExecutionLine(execLine_);
}

void DisasWindow::RecreateInterior() {
  CodeImageChanged();
  FillFromAddress(first_);
  if (execLine_ >= 0) LocateAddress(static_cast<uint16_t>(execLine_));
}

void DisasWindow::PaintRow(int row) {
  QListWidgetItem* item = rows_->item(row);
  const uint16_t address = static_cast<uint16_t>(item->data(Qt::UserRole).toInt());
  static const QIcon none = BreakIcon(false), enabled = BreakIcon(true);
  static const QIcon blank = [] {
    QPixmap p(12, 12);
    p.fill(Qt::transparent);
    return QIcon(p);
  }();
  const BreakpointState& b = Breakpoints();
  const QIcon* icon = &blank;
  for (int32_t i = 0; i <= b.LastBreakIndex && i < kBreakTableSize; ++i) {
    const tBreak& bp = b.BreakTable[static_cast<size_t>(i)];
    if (bp.Used && bp.Address == address) icon = bp.Enabled ? &enabled : &none;
  }
  item->setIcon(*icon);
  item->setData(Qt::UserRole + 1, icon == &enabled ? 1 : icon == &none ? 2 : 0);
  const bool exec = execLine_ == address;
  item->setBackground(exec ? QColor(0, 0, 128) : QBrush());
  item->setForeground(exec ? QColor(255, 255, 0) : QBrush());
}

void DisasWindow::ShowBreakpointImages() {
  for (int i = 0; i < rows_->count(); ++i) PaintRow(i);
}

void DisasWindow::SetExecutionLine(int32_t address) {
  const int32_t old = execLine_;
  execLine_ = address;
  if (old >= 0 && RowOf(static_cast<uint16_t>(old)) >= 0) PaintRow(RowOf(static_cast<uint16_t>(old)));
  if (address < 0) return;
  const uint16_t at = static_cast<uint16_t>(address);
  if (RowOf(at) < 0) FillFromAddress(at);
  if (RowOf(at) < 0) return;  // not read now (hidden, or the board runs)
  // Shown, not selected: the selection would hide the line's colours.
  rows_->clearSelection();
  rows_->scrollToItem(rows_->item(RowOf(at)));
  PaintRow(RowOf(at));
}

void DisasWindow::EnsureVisible() {
  if (isHidden()) ShowDockable();
  if (stale_) Refresh();
}

}  // namespace dorvik::gui
