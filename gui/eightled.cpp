#include "gui/eightled.h"

#include <QVBoxLayout>

#include "gui/hwwidgets.h"
#include "gui/widgets.h"
#include "lang/cpudb.h"
#include "lang/formatting.h"

namespace dorvik::gui {

TEightLED::TEightLED(QWidget* parent)
    : QWidget(parent, Qt::Tool), chooser_(new BindingChooser(this)), leds_(new LedRow(this)) {
  setObjectName("EightLED");
  setWindowTitle("LED panel");
  auto* box = new QVBoxLayout(this);
  box->addWidget(chooser_);
  box->addWidget(leds_);
  display_.Binding = chooser_->Binding();
  portMenuBuilds_ = CpuDb().PortMenuBuilds;
  chooser_->Changed = [this](const vhw::PartBinding& b) {
    display_.Binding = b;
    if (WantsBytes) WantsBytes();
  };
}

TEightLED::~TEightLED() { vhw::HideReceiver(*this); }

void TEightLED::Sync() {
  if (portMenuBuilds_ != CpuDb().PortMenuBuilds) {
    portMenuBuilds_ = CpuDb().PortMenuBuilds;
    chooser_->FillPorts();
  }
  if (display_.Changes == shownChanges_) return;
  shownChanges_ = display_.Changes;
  leds_->SetValue(display_.Value);
  leds_->setToolTip(Text(FormatHex2(display_.Value)));
}

void TEightLED::showEvent(QShowEvent* e) {
  vhw::ShowReceiver(*this);
  QWidget::showEvent(e);
  if (WantsBytes) WantsBytes();
}

void TEightLED::hideEvent(QHideEvent* e) {
  vhw::HideReceiver(*this);
  QWidget::hideEvent(e);
}

}  // namespace dorvik::gui
