#include "vhw/parts.h"

#include <algorithm>

namespace dorvik::vhw {

int32_t ByteDisplay::HardwareAccess(uint32_t address, uint8_t space, uint8_t data) {
  if ((space & static_cast<uint8_t>(~kCycleOpen)) == Binding.Space && address == Binding.Address) Show(data);
  return kNoReply;
}

void ByteDisplay::Show(uint8_t value) {
  if (value == Value) return;
  Value = value;
  ++Changes;
}

int32_t SwitchBank::HardwareAccess(uint32_t address, uint8_t space, uint8_t data) {
  if (space == (kCycleOpen | kSpaceXData)) {
    selected_ = address == Address;
  } else if (space == kSpaceXData) {
    selected_ = false;  // the closing message
  } else if (selected_ && space == kSpaceSfr && address == kP3Address && (data & kReadStrobe)) {
    return Value;  // the strobe rises: the byte on the bus
  }
  return kNoReply;
}

int32_t PartHost::HardwareAccess(uint32_t address, uint8_t space, uint8_t data) {
  const int32_t own = PassToParts(Parts(), address, space, data);
  const int32_t below = PassToReceiverBelow(*this, address, space, data);
  return own != kNoReply ? own : below;
}

int32_t PassToParts(std::span<HardwarePart* const> parts, uint32_t address, uint8_t space, uint8_t data) {
  int32_t reply = kNoReply;
  for (HardwarePart* part : parts) {
    const int32_t r = part->HardwareAccess(address, space, data);
    if (reply == kNoReply && r >= 0 && r <= 0xFF) reply = r;
  }
  return reply;
}

int32_t PassToReceiverBelow(const HardwareReceiver& from, uint32_t address, uint8_t space, uint8_t data) {
  const auto& shown = Hardware().Shown;
  const auto it = std::find(shown.begin(), shown.end(), &from);
  if (it == shown.end() || it == shown.begin()) return kNoReply;
  const int32_t reply = (*(it - 1))->HardwareAccess(address, space, data);
  return (reply >= 0 && reply <= 0xFF) ? reply : kNoReply;
}

}  // namespace dorvik::vhw
