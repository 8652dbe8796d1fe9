#include "gui/debug/disaswindow.h"

#include <QFontDatabase>
#include <QPainter>

#include <algorithm>
#include <string>

#include "access/backend.h"
#include "access/transport.h"
#include "debugger/breakpoints.h"
#include "gui/dialogs/widgets.h"
#include "lang/formatting.h"
#include "lang/symbols.h"

namespace dorvik::gui {

namespace {

// The code bytes take six columns.
constexpr size_t kCodeBytesWidth = 6;

// A located row has at least this many rows after it.
constexpr int kFollowingRows = DisasWindow::kRows / 4;

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

void Pad(std::string& text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
}

// A row's text in the columns: address, code bytes, source line, label, instruction, comment.
std::string DisasRowText(const DisasFields& row, const DisasColumns& columns) {
  std::string text = row.Address;
  text += ' ';
  text += row.CodeBytes;
  Pad(text, row.Address.size() + 1 + kCodeBytesWidth);
  text += "  ";
  if (columns.SourceLine > 0) {
    const size_t at = text.size();
    text += row.SourceLine;
    Pad(text, at + columns.SourceLine);
    text += "  ";
  }
  if (columns.Label > 0) {
    const size_t at = text.size();
    text += row.Label;
    Pad(text, at + columns.Label);
    text += ' ';
  }
  text += row.Instruction;
  if (!row.Comment.empty()) {
    Pad(text, text.size() - row.Instruction.size() + columns.Instruction);
    text += ' ';
    text += row.Comment;
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

DisasWindow::DisasWindow(QMainWindow* main) : TDockableForm("DisasWindow", "Disassembly", main), rows_(new QListWidget(this)) {
  rows_->setObjectName("Rows");
  rows_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  rows_->setUniformItemSizes(true);
  setWidget(rows_);
}

DisasWindow::Options DisasWindow::CurrentOptions() {
  const SymbolLookupState& lookup = SymbolLookup();
  return {Formatting().DisplayRadix, lookup.ShowSymbols, lookup.ShowLines};
}

void DisasWindow::FillFromAddress(uint16_t address) {
  // The caret line stays where it was when its address is still shown.
  const QListWidgetItem* current = rows_->currentItem();
  const int32_t caret = current != nullptr ? current->data(Qt::UserRole).toInt() : -1;
  const bool selected = current != nullptr && current->isSelected();
  first_ = address;
  // A hidden window reads nothing until it is shown, nor one over a board
  // that runs the program (its link carries the run).
  // Nor, at start, a board whose line is not up yet: no row says that a read
  // failed before anything was read.
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  const bool lineNotUpYet = caps.HasTarget && !caps.LocalImages && !LinkIsOpen() && rows_->count() == 0;
  if (isHidden() || lineNotUpYet) {
    stale_ = true;
    return;
  }
  const DisassemblyRead read = ReadDisassemblyRows(address, kRows);
  if (!read.Read) {
    stale_ = true;
    return;
  }
  stale_ = false;
  rendered_ = CurrentOptions();
  FitColumns(read);
  rows_->clear();
  for (const DisassemblyRow& row : read.Rows) {
    const std::string text = row.Failure.empty() ? DisasRowText(row.Fields, columns_) : row.Failure;
    auto* item = new QListWidgetItem(Text(text), rows_);
    item->setData(Qt::UserRole, row.Address);
  }
  if (caret >= 0 && RowOf(static_cast<uint16_t>(caret)) >= 0)
    rows_->setCurrentRow(RowOf(static_cast<uint16_t>(caret)),
                         selected ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate);
  ShowBreakpointImages();
}

void DisasWindow::FitColumns(const DisassemblyRead& read) {
  size_t source = 0, label = 0, instruction = 0;
  for (const DisassemblyRow& row : read.Rows) {
    source = std::max(source, row.Fields.SourceLine.size());
    label = std::max(label, row.Fields.Label.size());
    instruction = std::max(instruction, row.Fields.Instruction.size());
  }
  columns_.SourceLine = read.SourceLineColumn ? std::max(columns_.SourceLine, source) : 0;
  columns_.Label = read.LabelColumn ? std::max(columns_.Label, label) : 0;
  columns_.Instruction = std::max(columns_.Instruction, instruction);
}

void DisasWindow::Sync() {
  if (Breakpoints().Revision != shownBreakpoints_) ShowBreakpointImages();
  // Once per change: rows that cannot be read now take the options when they are.
  const Options now = CurrentOptions();
  if (now == rendered_) return;
  rendered_ = now;
  Refresh();
}

int DisasWindow::RowOf(uint16_t address) const {
  for (int i = 0; i < rows_->count(); ++i)
    if (rows_->item(i)->data(Qt::UserRole).toInt() == address) return i;
  return -1;
}

void DisasWindow::LocateAddress(uint16_t address) {
  // The rows begin at Address when it is not shown or too near their end to
  // show the code that follows it.
  int row = RowOf(address);
  if (row < 0 || row > rows_->count() - kFollowingRows) {
    FillFromAddress(address);
    row = std::max(RowOf(address), 0);
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
  // Every line is decoded again: the columns show what the new lines hold.
  columns_ = DisasColumns{};
  RedecodeDisassembly();
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
  shownBreakpoints_ = Breakpoints().Revision;
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
