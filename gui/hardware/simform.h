#pragma once
// The virtual-hardware window: hosts a row of eight switches on the external
// data bus and a seven-segment digit. The switches drive their byte onto the
// bus when the program reads their external-data address (the reply to the
// rising read strobe of that read, which the read then yields); the digit
// shows a port's byte or the byte at an external-data address.

#include <array>
#include <span>

#include "gui/hardware/hwwindow.h"
#include "vhw/parts.h"

class QLabel;
class QToolButton;

namespace dorvik::gui {

class BindingChooser;
class SegmentDigit;

class TSimForm : public HardwareWindow {
 public:
  explicit TSimForm(QWidget* parent);

  vhw::SwitchBank& Switches() { return switches_; }
  vhw::ByteDisplay& DigitDisplay() { return digit_; }
  BindingChooser* SwitchAddress() const { return switchAddress_; }
  BindingChooser* DigitChooser() const { return digitChooser_; }
  QToolButton* Switch(int bit) const { return switchButtons_[static_cast<size_t>(bit)]; }
  SegmentDigit* Digit() const { return digitView_; }
  // Sets switch Bit open (1) or closed (0), as a click does.
  void SetSwitch(int bit, bool open);
  // Repaints the digit when its byte changed; the processor's ports anew
  // after a processor change.
  void Sync();

 protected:
  std::span<vhw::HardwarePart* const> Parts() const override { return parts_; }

 private:
  void ShowSwitches();

  vhw::SwitchBank switches_;
  vhw::ByteDisplay digit_;
  std::array<vhw::HardwarePart*, 2> parts_{&switches_, &digit_};
  BindingChooser* switchAddress_;
  std::array<QToolButton*, 8> switchButtons_{};
  QLabel* switchValue_;
  BindingChooser* digitChooser_;
  SegmentDigit* digitView_;
};

}  // namespace dorvik::gui
