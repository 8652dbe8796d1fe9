#include "vhw/hardware.h"
#include "base/session.h"

#include <algorithm>

namespace dorvik::vhw {

namespace {
}

HardwareState& Hardware() { return CurrentSession().Get<HardwareState>(); }

void ShowReceiver(HardwareReceiver& receiver) {
  auto& shown = Hardware().Shown;
  std::erase(shown, &receiver);
  shown.push_back(&receiver);
}

void HideReceiver(HardwareReceiver& receiver) { std::erase(Hardware().Shown, &receiver); }

HardwareReceiver* ForemostReceiver() {
  return Hardware().Shown.empty() ? nullptr : Hardware().Shown.back();
}

int32_t SendHardwareAccess(uint32_t packed, uint8_t data) {
  HardwareReceiver* receiver = ForemostReceiver();
  if (receiver == nullptr) return kNoReply;
  int32_t reply = receiver->HardwareAccess(packed & 0xFFFFFFu, static_cast<uint8_t>(packed >> 24), data);
  // Anything but a byte means "nobody drove the bus".
  return (reply >= 0 && reply <= 0xFF) ? reply : kNoReply;
}

int32_t SendHardwareAccess(uint8_t space, uint32_t address, uint8_t data) {
  return SendHardwareAccess(MakeHwParam(space, address), data);
}

void InstallHardwareBus() {
  static HardwareBus bus;
  InstallBus(&bus);
}

uint8_t ExternalReadCycle(uint16_t address, uint8_t image, uint8_t p3) {
  if (!HardwareActive()) return image;
  const uint8_t low = p3 & static_cast<uint8_t>(~kReadStrobe);
  const uint8_t high = p3 | kReadStrobe;
  SendHardwareAccess(kCycleOpen | kSpaceXData, address, image);
  if (p3 & kReadStrobe) SendHardwareAccess(kSpaceSfr, kP3Address, low);
  const int32_t driven = SendHardwareAccess(kSpaceSfr, kP3Address, high);
  SendHardwareAccess(kSpaceXData, address, image);
  if (!(p3 & kReadStrobe)) SendHardwareAccess(kSpaceSfr, kP3Address, low);
  return driven == kNoReply ? image : static_cast<uint8_t>(driven);
}

}  // namespace dorvik::vhw
