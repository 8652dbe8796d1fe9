#pragma once
// What the virtual-hardware windows share: a tool window that hosts parts,
// takes the hardware-access messages while it is shown, and shows a byte
// part wired by a chooser, repainted only when the part's byte changed.

#include <cstdint>
#include <functional>

#include <QWidget>

#include "vhw/parts.h"

namespace dorvik::gui {

class BindingChooser;
class ByteLights;

class HardwareWindow : public QWidget, public vhw::PartHost {
 public:
  ~HardwareWindow() override;

  // Called when the window wants the bytes sent again (it was shown or rewired).
  std::function<void()> WantsBytes;

 protected:
  explicit HardwareWindow(QWidget* parent);
  // Wires Display to Chooser's binding, now and at each change of the choice.
  void BindDisplay(vhw::ByteDisplay& display, BindingChooser* chooser);
  // The processor's ports anew in Chooser after a processor change; Lights
  // repainted when Display's byte changed.
  void SyncDisplay(const vhw::ByteDisplay& display, BindingChooser* chooser, ByteLights* lights);
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  uint32_t shownChanges_ = ~0u;
  uint32_t portMenuBuilds_ = 0;
};

}  // namespace dorvik::gui
