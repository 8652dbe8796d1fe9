#include "gui/hardware/hwwindow.h"

#include "gui/hardware/hwwidgets.h"
#include "gui/dialogs/widgets.h"
#include "lang/cpudb.h"
#include "lang/formatting.h"

namespace dorvik::gui {

HardwareWindow::HardwareWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {}

HardwareWindow::~HardwareWindow() { vhw::HideReceiver(*this); }

void HardwareWindow::BindDisplay(vhw::ByteDisplay& display, BindingChooser* chooser) {
  display.Binding = chooser->Binding();
  portMenuBuilds_ = CpuDb().PortMenuBuilds;
  chooser->Changed = [this, &display](const vhw::PartBinding& b) {
    display.Binding = b;
    if (WantsBytes) WantsBytes();
  };
}

void HardwareWindow::SyncDisplay(const vhw::ByteDisplay& display, BindingChooser* chooser, ByteLights* lights) {
  if (portMenuBuilds_ != CpuDb().PortMenuBuilds) {
    portMenuBuilds_ = CpuDb().PortMenuBuilds;
    chooser->FillPorts();
  }
  if (display.Changes == shownChanges_) return;
  shownChanges_ = display.Changes;
  lights->SetValue(display.Value);
  lights->setToolTip(Text(FormatHex2(display.Value)));
}

void HardwareWindow::showEvent(QShowEvent* e) {
  vhw::ShowReceiver(*this);
  QWidget::showEvent(e);
  if (WantsBytes) WantsBytes();
}

void HardwareWindow::hideEvent(QHideEvent* e) {
  vhw::HideReceiver(*this);
  QWidget::hideEvent(e);
}

}  // namespace dorvik::gui
