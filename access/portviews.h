#pragma once
// The port views' side of the target: the pins of the simulated chip driven
// by hand (the INT0/INT1 falling edges, the timers' count pulses, a port pin
// written low or released), the count of instructions that changed a port
// (the port window repaints only then), the port window's refresh, which
// loads and HEX saves stop while they talk to the target (the stops and the
// views' reads in progress counted here), and the views' quiet byte read.

#include <cstdint>

namespace dorvik {

// The inputs a user drives by hand.
enum class PinInput : uint8_t {
  Int0Edge,     // a falling edge on INT0 (P3.2)
  Int1Edge,     // a falling edge on INT1 (P3.3)
  Timer0Pulse,  // a count pulse on T0 (P3.4): counts only while timer 0 is a counter
  Timer1Pulse,  // a count pulse on T1 (P3.5)
};

struct PortViewState {
  // Changes of the port bytes: the instructions that changed P0-P3 (the
  // simulator counts them, installed with the target access) and the port
  // latches written by hand; a view that saw another count reads again.
  uint32_t PortChanges = 0;
  // The loads and HEX saves that stopped the views' refresh (StopPortRefresh):
  // a view whose refresh was armed before the last of them reads no more by
  // itself until it reads again at a stop.
  uint32_t RefreshStops = 0;
  // The views' reads of the target in progress (PortViewRead).
  int32_t ReadsInProgress = 0;
};

PortViewState& PortViews();

// The longest wait for a port read in progress.
inline constexpr uint32_t kPortReadWaitMs = 2000;

// Stops the views' refresh (counts a stop), then pumps messages while a view
// reads (at most kPortReadWaitMs). Loads and HEX saves call it at their start
// and end.
void StopPortRefresh();
// StopPortRefresh when made and again when left, however it is left.
class PortRefreshStopped {
 public:
  PortRefreshStopped() { StopPortRefresh(); }
  ~PortRefreshStopped() { StopPortRefresh(); }
  PortRefreshStopped(const PortRefreshStopped&) = delete;
  PortRefreshStopped& operator=(const PortRefreshStopped&) = delete;
};

// A view's read of the target (the port window's ports), counted in progress
// while the object lives.
class PortViewRead {
 public:
  PortViewRead() { ++PortViews().ReadsInProgress; }
  ~PortViewRead() { --PortViews().ReadsInProgress; }
  PortViewRead(const PortViewRead&) = delete;
  PortViewRead& operator=(const PortViewRead&) = delete;
};

// One input of the simulated chip driven by hand. False (nothing happens)
// when the target has no such pins: only the simulator has.
bool TargetPinInput(PinInput input);

// Writes Value into the port latch at Address (an SFR address) of the
// target. On P3 a pin that goes from 1 to 0 also gives the input it would
// give from outside: the INT0/INT1 edge, the T0/T1 count pulse. Counts a
// port change. False when the write failed (its link said why).
bool WritePortLatch(uint8_t address, uint8_t value);

// One byte read for a view (a port, a byte the virtual hardware shows): the
// error flag is cleared for the read and left as it was found afterwards (a
// failure has reported its message). The caller asks ViewsMayRead first.
bool ReadViewByte(uint8_t space, int32_t address, uint8_t& value);

}  // namespace dorvik
