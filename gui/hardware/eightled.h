#pragma once
// The eight-LED panel: a virtual-hardware window whose row of LEDs shows a
// port of the simulated chip or an external-data address, chosen in the
// panel. It lights from the bytes that reach it by the hardware-access
// message: the port bytes sent at each refresh of the views and while the
// program runs, and the bytes of the program's reads of its address.

#include <array>
#include <span>

#include "gui/hardware/hwwindow.h"
#include "vhw/parts.h"

namespace dorvik::gui {

class BindingChooser;
class LedRow;

class TEightLED : public HardwareWindow {
 public:
  explicit TEightLED(QWidget* parent);

  vhw::ByteDisplay& Display() { return display_; }
  BindingChooser* Chooser() const { return chooser_; }
  LedRow* Leds() const { return leds_; }
  // Repaints the LEDs when their byte changed; the processor's ports anew
  // after a processor change.
  void Sync();

 protected:
  std::span<vhw::HardwarePart* const> Parts() const override { return parts_; }

 private:
  vhw::ByteDisplay display_;
  std::array<vhw::HardwarePart*, 1> parts_{&display_};
  BindingChooser* chooser_;
  LedRow* leds_;
};

}  // namespace dorvik::gui
