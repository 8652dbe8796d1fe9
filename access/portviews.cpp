#include "access/portviews.h"

#include <array>
#include <span>
#include <utility>

#include "access/backend.h"
#include "access/target.h"
#include "base/messages.h"
#include "base/session.h"
#include "machine/images.h"
#include "platform/clock.h"
#include "platform/pump.h"

namespace dorvik {

PortViewState& PortViews() { return CurrentSession().Get<PortViewState>(); }

void StopPortRefresh() {
  PortViewState& views = PortViews();
  ++views.RefreshStops;
  platform::Clock& clock = platform::CurrentClock();
  const uint32_t start = clock.TickCount();
  while (views.ReadsInProgress > 0 && clock.TickCount() - start < kPortReadWaitMs) {
    if (platform::PumpMessages() == 0) clock.Sleep1ms();
  }
}

bool TargetPinInput(PinInput input) { return CurrentBackend().DriveInput(input); }

bool WritePortLatch(uint8_t address, uint8_t value) {
  std::array<uint8_t, 1> old{};
  if (!TargetReadBytes(kSpaceDirect, address, old)) return false;
  const std::array<uint8_t, 1> bytes{value};
  if (!CurrentBackend().WriteBlock(kSpaceDirect, address, bytes, false, {})) return false;
  ++PortViews().PortChanges;
  if (address != sfr::P3) return true;
  // The pins that went low, as the chip's inputs see them.
  const uint8_t falls = old[0] & static_cast<uint8_t>(~value);
  constexpr std::array<std::pair<uint8_t, PinInput>, 4> kInputs = {{{0x04, PinInput::Int0Edge},
                                                                    {0x08, PinInput::Int1Edge},
                                                                    {0x10, PinInput::Timer0Pulse},
                                                                    {0x20, PinInput::Timer1Pulse}}};
  for (const auto& [bit, input] : kInputs)
    if (falls & bit) TargetPinInput(input);
  return true;
}

bool ReadViewByte(uint8_t space, int32_t address, uint8_t& value) {
  // A view's read leaves the command's outcome as it found it.
  const SavedMessageFlags keep;
  Messages().ErrorFlag = false;
  std::array<uint8_t, 1> byte{};
  const bool read = TargetReadBytes(space, address, byte) && !Messages().ErrorFlag;
  if (read) value = byte[0];
  return read;
}

}  // namespace dorvik
