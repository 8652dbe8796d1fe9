#include "gui/hardware/eightled.h"

#include <QVBoxLayout>

#include "gui/hardware/hwwidgets.h"

namespace dorvik::gui {

TEightLED::TEightLED(QWidget* parent)
    : HardwareWindow(parent), chooser_(new BindingChooser(this)), leds_(new LedRow(this)) {
  setObjectName("EightLED");
  setWindowTitle("LED panel");
  auto* box = new QVBoxLayout(this);
  box->addWidget(chooser_);
  box->addWidget(leds_);
  BindDisplay(display_, chooser_);
}

void TEightLED::Sync() { SyncDisplay(display_, chooser_, leds_); }

}  // namespace dorvik::gui
