#include "gui/hardware/portwindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <optional>

#include "access/backend.h"
#include "access/portviews.h"
#include "access/target.h"
#include "access/transport.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "debugger/executor.h"
#include "debugger/statusfields.h"
#include "debugger/toolviews.h"
#include "gui/dialogs/widgets.h"
#include "gui/ground/workbench.h"
#include "lang/cpudb.h"
#include "lang/formatting.h"

namespace dorvik::gui {

TPortForm::TPortForm(QWidget* mainWindow, Workbench& bench)
    : QWidget(mainWindow, Qt::Tool), bench_(bench), menu_(new QMenu(this)), rows_(new QVBoxLayout(this)),
      hint_(new QLabel("Right click: the ports shown", this)) {
  setObjectName("PortForm");
  setWindowTitle("Ports");
  menu_->setObjectName("PortPopupMenu");
  hint_->setEnabled(false);
  rows_->addWidget(hint_);
  timer_.start(kPortTimerFirstMs);
  seenStops_ = PortViews().RefreshStops;
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (RefreshStopped())
      timer_.stop();
    else if (isVisible() && !reading_)
      ReadPorts();
  });
  FillPortMenu();
}

void TPortForm::FillPortMenu() {
  portMenuBuilds_ = CpuDb().PortMenuBuilds;
  menu_->clear();
  for (const CpuPortMenuItem& item : CpuDb().PortFormMenu) {
    QAction* action = menu_->addAction(Text(item.Caption));
    action->setObjectName(Text(item.ComponentName));
    action->setCheckable(true);
    action->setChecked(item.Checked);
    action->setData(int(item.Tag));
    connect(action, &QAction::toggled, this, [this] {
      CreatePinButtons();
      if (isVisible()) ReadPorts();
    });
  }
  CreatePinButtons();
}

void TPortForm::CreatePinButtons() {
  for (PortRow& row : ports_) delete row.Row;
  ports_.clear();
  const QFont fixed("monospace");
  for (QAction* action : menu_->actions()) {
    if (!action->isChecked()) continue;
    PortRow row;
    row.Address = static_cast<uint16_t>(action->data().toInt());
    row.Row = new QWidget(this);
    auto* line = new QHBoxLayout(row.Row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(2);
    auto* name = new QLabel(QString(action->text()).replace("Port ", "P"), row.Row);
    name->setMinimumWidth(24);
    line->addWidget(name);
    for (int i = 0; i < 8; ++i) {
      const int bit = 7 - i;
      auto* pin = new QToolButton(row.Row);
      pin->setObjectName(QString("Pin%1_%2").arg(row.Address, 2, 16, QChar('0')).toUpper().arg(bit));
      pin->setToolTip(QString("%1.%2: click drives the pin low or releases it").arg(name->text()).arg(bit));
      pin->setCheckable(true);  // checked: the pin is low
      pin->setFixedSize(24, 24);
      pin->setFont(fixed);
      const uint16_t address = row.Address;
      connect(pin, &QToolButton::clicked, this, [this, address, bit] { PinClick(address, bit); });
      row.Pins[static_cast<size_t>(bit)] = pin;
      line->addWidget(pin);
    }
    row.Value = new QLabel(row.Row);
    row.Value->setFont(fixed);
    row.Value->setMinimumWidth(32);
    line->addWidget(row.Value);
    rows_->insertWidget(rows_->count() - 1, row.Row);
    ShowRow(row, row.Byte);
    ports_.push_back(row);
  }
  adjustSize();
}

void TPortForm::ShowRow(PortRow& row, uint8_t value) {
  row.Byte = value;
  row.Value->setText(Text(FormatHex2(value)));
  for (int bit = 0; bit < 8; ++bit) {
    QToolButton* pin = row.Pins[static_cast<size_t>(bit)];
    const bool high = (value >> bit) & 1;
    pin->setChecked(!high);
    pin->setText(high ? "1" : "0");
  }
}

void TPortForm::ReadPorts() {
  if (reading_ || !ViewsMayRead(ViewRead::Live)) return;
  reading_ = true;
  bool failed = false;
  {
    const PortViewRead counted;
    // A link read waits for the board and pumps meanwhile: nothing else may start.
    std::optional<InputHeld> held;
    if (!CurrentBackend().Capabilities().LocalImages) held.emplace(bench_);
    for (PortRow& row : ports_) {
      uint8_t byte = 0;
      if (!ReadViewByte(kSpaceDirect, row.Address, byte)) {
        failed = true;
        break;
      }
      if (byte != row.Byte || row.Value->text().isEmpty()) ShowRow(row, byte);
    }
  }
  reading_ = false;
  // A board that does not answer is told once: no more reads until the next stop.
  failed_ = failed;
  if (failed) {
    timer_.stop();
    return;
  }
  seenStops_ = PortViews().RefreshStops;
  timer_.start(kPortTimerMs);
}

bool TPortForm::RefreshStopped() const { return !timer_.isActive() || seenStops_ != PortViews().RefreshStops; }

void TPortForm::PinClick(uint16_t address, int bit) {
  for (PortRow& row : ports_) {
    if (row.Address != address) continue;
    if (!ViewsMayRead(ViewRead::Live)) {
      ShowRow(row, row.Byte);  // the button goes back: nothing was written
      return;
    }
    const uint8_t value = row.Byte ^ static_cast<uint8_t>(1u << bit);
    WritePortLatch(static_cast<uint8_t>(address), value);
    ReadPorts();
    return;
  }
}

QToolButton* TPortForm::PinButton(uint16_t address, int bit) const {
  for (const PortRow& row : ports_)
    if (row.Address == address && bit >= 0 && bit < 8) return row.Pins[static_cast<size_t>(bit)];
  return nullptr;
}

QLabel* TPortForm::ValueLabel(uint16_t address) const {
  for (const PortRow& row : ports_)
    if (row.Address == address) return row.Value;
  return nullptr;
}

std::vector<uint16_t> TPortForm::ShownPorts() const {
  std::vector<uint16_t> shown;
  for (const PortRow& row : ports_) shown.push_back(row.Address);
  return shown;
}

void TPortForm::Sync() {
  if (portMenuBuilds_ != CpuDb().PortMenuBuilds) FillPortMenu();
  if (!isVisible()) return;
  const int32_t refresh = DebugStatus().RefreshCount;
  const uint32_t changes = PortViews().PortChanges;
  const bool changed = refresh != seenRefresh_ || changes != seenChanges_;
  // A timer stopped by a load or a HEX save starts again with the next read;
  // after a failed read only a new stop reads again.
  if ((!changed && (!RefreshStopped() || failed_)) || reading_ || !ViewsMayRead(ViewRead::Live)) return;
  seenRefresh_ = refresh;
  seenChanges_ = changes;
  ReadPorts();
}

LayoutEntry TPortForm::CurrentLayout() const {
  LayoutEntry e;
  e.Flag = isVisible() ? 1 : 0;
  const QRect g = geometry();
  e.Left = g.left();
  e.Top = g.top();
  e.Width = g.width();
  e.Height = g.height();
  return e;
}

void TPortForm::ApplyLayout(const LayoutEntry& entry) {
  setGeometry(PlacedOnScreen(geometry(), entry, *this));
  setVisible(entry.Flag != 0);
}

void TPortForm::contextMenuEvent(QContextMenuEvent* e) { menu_->exec(e->globalPos()); }

void TPortForm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  seenRefresh_ = -1;  // what it shows may be old: read at the next sync
}

void TPortForm::hideEvent(QHideEvent* e) {
  timer_.stop();
  QWidget::hideEvent(e);
}

}  // namespace dorvik::gui
