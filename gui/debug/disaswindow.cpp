#include "gui/debug/disaswindow.h"

#include <QFontDatabase>
#include <QPainter>

#include <algorithm>
#include <string_view>
#include <utility>

#include "access/backend.h"
#include "access/disasline.h"
#include "access/linerender.h"
#include "access/target.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "debugger/breakpoints.h"
#include "debugger/views.h"
#include "gui/dialogs/widgets.h"
#include "lang/formatting.h"
#include "lang/symbols.h"
#include "machine/disassembler.h"
#include "machine/images.h"
#include "machine/opcodes.h"

namespace dorvik::gui {

namespace {

// The rendered text: the address and "H " before the code bytes, the
// instruction after the six code-byte columns and four blanks.
constexpr size_t kRenderedBytesColumn = 6;
constexpr size_t kCodeBytesWidth = 6;
constexpr size_t kRenderedMnemonicColumn = kRenderedBytesColumn + kCodeBytesWidth + 4;

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

std::string Trimmed(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return std::string(s);
}

std::string Field(std::string_view text, size_t from, size_t count = std::string_view::npos) {
  return from < text.size() ? Trimmed(text.substr(from, count)) : std::string();
}

// A decoded line's columns: from its rendering (the address, "H ", the six
// code-byte columns, four blanks, the instruction), or from the
// disassembler's fixed columns when it has none.
DisasRow RowOfLine(const tDisasLine& line) {
  DisasRow row;
  row.Address = FormatHex4(line.Addr) + "H";
  if (!line.SourceLine.empty()) {
    row.CodeBytes = Field(line.SourceLine, kRenderedBytesColumn, kCodeBytesWidth);
    row.Instruction = Field(line.SourceLine, kRenderedMnemonicColumn);
    row.Comment = line.Comment;
  } else {
    row.CodeBytes = Field(line.DisasText, kDisasBytesColumn, kCodeBytesWidth);
    row.Instruction = Field(line.DisasText, kDisasMnemonicColumn);
  }
  row.SourceLine = line.SourceLineNo;
  row.Label = line.LabelStr;
  return row;
}

void Pad(std::string& text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
}

// A row's text in the columns: address, code bytes, source line, label, instruction, comment.
std::string DisasRowText(const DisasRow& row, const DisasColumns& columns) {
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
  // A board that runs the program is not read (its link carries the run),
  // and a hidden window reads nothing until it is shown.
  const TargetCapabilities caps = CurrentBackend().Capabilities();
  if ((Run().ProgramRunning && caps.RunsProgramItself) || isHidden()) {
    stale_ = true;
    return;
  }
  stale_ = false;
  rendered_ = CurrentOptions();
  // The rows' reads show no message of their own: a command's failure is
  // reported by the command, and a read that fails ends the rows with one row
  // saying why.
  MessageState& m = Messages();
  const bool error = m.ErrorFlag;
  const bool quiet = std::exchange(m.QuietMessages, true);
  m.ErrorFlag = false;
  std::vector<DisasRow> lines;
  std::vector<uint16_t> addresses;
  std::string failure;
  uint32_t a = address;
  for (int i = 0; i < kRows && a <= 0xFFFF; ++i) {
    const uint16_t at = static_cast<uint16_t>(a);
    DisassembleLine(at);
    const tDisasLine& item = DisasLines().GetItem(at);
    uint8_t length = item.BytesNo;
    if (!m.ErrorFlag && !item.IsDecoded()) length = Opcode(TargetReadByte(kSpaceCode, at)).Length;
    if (m.ErrorFlag) {
      failure = FormatHex4(at) + "H  " + m.LastMessageText;
      addresses.push_back(at);
      break;
    }
    lines.push_back(item.IsDecoded() ? RowOfLine(item) : DisasRow{FormatHex4(at) + "H", {}, {}, {}, {}, {}});
    addresses.push_back(at);
    a += length;
  }
  m.QuietMessages = quiet;
  m.ErrorFlag = error;

  FitColumns(lines);
  rows_->clear();
  for (size_t i = 0; i < addresses.size(); ++i) {
    auto* item = new QListWidgetItem(Text(i < lines.size() ? DisasRowText(lines[i], columns_) : failure), rows_);
    item->setData(Qt::UserRole, addresses[i]);
  }
  if (caret >= 0 && RowOf(static_cast<uint16_t>(caret)) >= 0)
    rows_->setCurrentRow(RowOf(static_cast<uint16_t>(caret)),
                         selected ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate);
  ShowBreakpointImages();
}

void DisasWindow::FitColumns(const std::vector<DisasRow>& rows) {
  const LineRenderState& flags = LineRender();
  size_t source = 0, label = 0, instruction = 0;
  for (const DisasRow& row : rows) {
    source = std::max(source, row.SourceLine.size());
    label = std::max(label, row.Label.size());
    instruction = std::max(instruction, row.Instruction.size());
  }
  columns_.SourceLine = flags.LineNumberColumnUsed ? std::max(columns_.SourceLine, source) : 0;
  columns_.Label = flags.LabelColumnUsed ? std::max(columns_.Label, label) : 0;
  columns_.Instruction = std::max(columns_.Instruction, instruction);
}

void DisasWindow::Sync() {
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
  LineRenderState& flags = LineRender();
  flags.LineNumberColumnUsed = false;
  flags.LabelColumnUsed = false;
  columns_ = DisasColumns{};
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
