#pragma once
// The parts that the virtual-hardware windows host, and what each does with
// the hardware-access messages: the windows draw them and pass every message
// to all of their parts. A window answers with the byte a part drives on the
// data bus, else with what the window shown before it answers (the windows
// form a chain, the foremost first).

#include <cstdint>
#include <span>

#include "vhw/hardware.h"

namespace dorvik::vhw {

// Where a part is wired: a port (its SFR address) or an external-data address.
struct PartBinding {
  uint8_t Space = kSpaceSfr;  // kSpaceSfr or kSpaceXData
  uint32_t Address = 0x90;    // P1
  bool operator==(const PartBinding&) const = default;
};

class HardwarePart {
 public:
  virtual ~HardwarePart() = default;
  // One message (Space: the space code, with kCycleOpen on the opening
  // message of a read cycle); kNoReply unless the part drives the data bus.
  virtual int32_t HardwareAccess(uint32_t address, uint8_t space, uint8_t data) = 0;
};

// A byte shown by LEDs or segments: the last byte seen at its binding, a
// port byte sent to the windows or the image byte of a read of its
// external-data address.
class ByteDisplay final : public HardwarePart {
 public:
  int32_t HardwareAccess(uint32_t address, uint8_t space, uint8_t data) override;
  // Shows Value (a byte read for it outside the messages).
  void Show(uint8_t value);

  PartBinding Binding;
  uint8_t Value = 0xFF;
  uint32_t Changes = 0;  // counts the changes of Value: the window repaints when it moved
};

// A row of eight switches on the data bus at an external-data address: when
// the program reads that address, the switches' byte is the reply to the
// rising read strobe of the cycle, and the read yields it.
class SwitchBank final : public HardwarePart {
 public:
  int32_t HardwareAccess(uint32_t address, uint8_t space, uint8_t data) override;

  uint16_t Address = 0x8000;
  uint8_t Value = 0xFF;  // bit n: switch n open (1) or closed to ground (0)

 private:
  bool selected_ = false;  // a read cycle of Address is open
};

// A window that hosts parts: passes each message to all of them and to the
// receiver shown before it.
class PartHost : public HardwareReceiver {
 public:
  int32_t HardwareAccess(uint32_t address, uint8_t space, uint8_t data) override;

 protected:
  virtual std::span<HardwarePart* const> Parts() const = 0;
};

// The message passed to every part; the first byte a part drives is the reply.
int32_t PassToParts(std::span<HardwarePart* const> parts, uint32_t address, uint8_t space, uint8_t data);
// The message passed to the receiver shown just before From (kNoReply when
// there is none, or From is not shown).
int32_t PassToReceiverBelow(const HardwareReceiver& from, uint32_t address, uint8_t space, uint8_t data);

// Seven-segment patterns of the hexadecimal digits: bit 0 segment a ...
// bit 6 segment g (a lit segment is a set bit).
inline constexpr uint8_t kSegmentDigits[16] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07,
                                               0x7F, 0x6F, 0x77, 0x7C, 0x39, 0x5E, 0x79, 0x71};

}  // namespace dorvik::vhw
