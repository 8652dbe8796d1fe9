#include "gui/debug/callstackwindow.h"

#include <QFontDatabase>

#include "base/runstate.h"
#include "gui/dialogs/widgets.h"

namespace dorvik::gui {

TCallStackWin::TCallStackWin(QMainWindow* main)
    : TDockableForm("CallStackWin", "Call Stack", main), rows_(new QListWidget(this)) {
  rows_->setObjectName("Rows");
  rows_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setWidget(rows_);
  // Shown: brought up to the stop it missed.
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (visible) Sync();
  });
  connect(rows_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { ShowEntry(rows_->row(item)); });
}

void TCallStackWin::Sync() {
  if (isHidden() || !ViewsMayRead()) return;
  const uint8_t sp = ReadStackPointerForView();
  const auto pc = static_cast<int32_t>(Run().CurrentPC & 0xFFFF);
  const ToolViewsState& t = ToolViews();
  if (filledSP_ == sp && filledPC_ == pc && filledGo_ == t.GoCount && filledLoad_ == t.LoadCount) return;
  Refill();
}

void TCallStackWin::Refill() {
  if (!ViewsMayRead()) return;
  std::string error;
  uint8_t sp = 0;
  ReadCallStackForView(entries_, sp, error);
  filledSP_ = sp;
  filledPC_ = static_cast<int32_t>(Run().CurrentPC & 0xFFFF);
  filledGo_ = ToolViews().GoCount;
  filledLoad_ = ToolViews().LoadCount;
  rows_->clear();
  for (const CallStackEntry& e : entries_) rows_->addItem(Text(CallStackLineText(e)));
  if (!error.empty()) rows_->addItem(Text(error));
}

void TCallStackWin::ShowEntry(int row) {
  if (row < 0 || row >= static_cast<int>(entries_.size())) return;
  const CallStackEntry& e = entries_[static_cast<size_t>(row)];
  // The source line for the editor pages; the code in the disassembly.
  ShowCallStackEntryInSource(e);
  if (ShowDisassembly) ShowDisassembly(static_cast<uint16_t>(e.Address));
}

}  // namespace dorvik::gui
