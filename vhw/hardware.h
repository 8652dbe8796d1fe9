#pragma once
// Receivers of the hardware-access message (2026): the virtual-hardware
// windows that answer external-data and port accesses of the simulator.
//
// The foremost shown receiver gets every message. Receivers are tracked by
// identity: hiding one removes exactly that one, whatever the order of
// showing and hiding, so a hidden receiver never gets a message again.

#include <cstdint>
#include <vector>

#include "machine/bus.h"

namespace dorvik::vhw {

// Message number and the space codes it carries (high byte of the packed address).
inline constexpr uint32_t kHwAccessMessage = 2026;  // 0x7EA
inline constexpr uint8_t kSpaceXData = 1;
inline constexpr uint8_t kSpaceSfr = 2;
inline constexpr uint8_t kCycleOpen = 0x80;  // set on the opening message of a cycle
inline constexpr int32_t kNoReply = -1;      // no part drove the bus

// Port 3 and its read strobe (P3.7 = /RD).
inline constexpr uint8_t kP3Address = 0xB0;
inline constexpr uint8_t kReadStrobe = 0x80;

// A window that answers message 2026.
class HardwareReceiver {
 public:
  virtual ~HardwareReceiver() = default;
  // Address: 24 bits; Space: the space code; Data: the byte on the bus.
  // Returns kNoReply, or the byte a part drives on the data bus (0-255).
  virtual int32_t HardwareAccess(uint32_t address, uint8_t space, uint8_t data) = 0;
};

// The shown receivers, the foremost last.
struct HardwareState {
  std::vector<HardwareReceiver*> Shown;
};

HardwareState& Hardware();

// Showing and hiding
// Makes the receiver the foremost (moving it up when it is already shown).
void ShowReceiver(HardwareReceiver& receiver);
// Removes the receiver wherever it stands; unknown receivers are ignored.
void HideReceiver(HardwareReceiver& receiver);
// The receiver of the next message, or nullptr while none is shown.
HardwareReceiver* ForemostReceiver();

// The cheap check of the simulator's fast path: is anyone listening?
inline bool HardwareActive() { return !Hardware().Shown.empty(); }

// Sending
// Message 2026 as the packed address (code << 24 | address) and the data byte; kNoReply when none is shown.
int32_t SendHardwareAccess(uint32_t packed, uint8_t data);
int32_t SendHardwareAccess(uint8_t space, uint32_t address, uint8_t data);
inline constexpr uint32_t MakeHwParam(uint8_t space, uint32_t address) {
  return (uint32_t{space} << 24) | (address & 0xFFFFFFu);
}

// One simulated external-data read at Address whose image byte is Image, with
// port 3 as it stands: opening message, RD strobe falling and rising (whose
// reply is the result), closing message, pin view back to the image's state.
// Returns the byte the read yields: the driven byte, else Image. Sends nothing
// when no receiver is shown.
uint8_t ExternalReadCycle(uint16_t address, uint8_t image, uint8_t p3);

// The simulator's external bus made of the shown receivers.
class HardwareBus final : public ExternalBus {
 public:
  uint8_t ReadCycle(uint16_t address, uint8_t image, uint8_t p3) override {
    return ExternalReadCycle(address, image, p3);
  }
};
// Installs the receivers as the simulator's external bus (start-up).
void InstallHardwareBus();

}  // namespace dorvik::vhw
