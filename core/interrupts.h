#pragma once
// Simulated interrupts, timers 0 and 1 and the external inputs INT0/INT1, on
// the SFR image of the target access layer.

#include <array>
#include <cstdint>

#include "core/target.h"

namespace dorvik {

// Sources in polling order: 0 INT0, 1 timer 0, 2 INT1, 3 timer 1, 4 serial.
inline constexpr int kInterruptSources = 5;
inline constexpr std::array<uint16_t, kInterruptSources> kInterruptVectors = {0x03, 0x0B, 0x13, 0x1B, 0x23};
// Machine cycles of the hardware call to a vector.
inline constexpr uint8_t kInterruptCallCycles = 2;

// One entry of the interrupt table, as a view.
struct InterruptEntry {
  bool Request = false;    // latched request
  bool InService = false;  // the handler of this source runs
  uint8_t Priority = 0;    // 0 low, 1 high (kept while in service)
};

// The interrupt table, one bit per source (bit i = source i); one instance,
// reached through Interrupts().
struct InterruptState {
  uint8_t Requests = 0;   // latched requests
  uint8_t InService = 0;  // handlers running
  uint8_t Priority = 0;   // high priority; a source in service keeps the level it was accepted at
  // After RETI or a write to IE or IP one more instruction runs before an
  // interrupt is accepted.
  bool HoldOne = false;

  InterruptEntry Entry(int source) const {
    const uint8_t bit = static_cast<uint8_t>(1u << source);
    return {(Requests & bit) != 0, (InService & bit) != 0, static_cast<uint8_t>((Priority & bit) ? 1 : 0)};
  }
};

InterruptState& Interrupts();
// Everything cleared (program start, tests).
void ResetInterrupts();
// The reset of run control: requests and in-service states cleared.
void ClearInterruptStates();

// Requests and acceptance
// Priority of every source not in service := its IP bit.
void SimRefreshPriorities();
// After an instruction: latches the requests whose flag, enable bit and EA are set.
void SimLatchRequests();
// Latches one source unless a handler of the same or higher priority runs.
void SimRequestInterrupt(int source);
// Before an instruction: the pending request of highest priority (then lowest
// number) is accepted when no handler of its priority or higher runs: PC is
// pushed, Pc := its vector, its request and hardware flag are cleared.
bool SimAcceptInterrupt(uint16_t& pc);
// RETI: the in-service source of highest priority leaves service.
void SimReturnFromInterrupt();

// Timers
// One count of timer 0 / timer 1 (a machine cycle, or an external pulse in counter mode).
void SimTimer0Tick();
void SimTimer1Tick();
// The machine cycles of one step for both timers: those in timer mode count,
// and TH0 of timer 0 in mode 3 counts under TR1.
void SimRunTimers(uint32_t cycles);

// External inputs: a falling edge on INT0 / INT1.
void SimInt0Edge();
void SimInt1Edge();

// Fast paths of every step, over the SFR image (indexed by SFR address)
// Sources whose request flag, enable bit and EA are all set, one bit per source:
// IE0 or INT0 low in level mode, TF0, IE1 or INT1 low in level mode, TF1, RI or TI.
inline uint8_t PendingSources(const uint8_t* s) {
  const unsigned ie = s[sfr::IE];
  if (!(ie & 0x80)) return 0;
  const unsigned tcon = s[sfr::TCON];
  const unsigned low = ~unsigned{s[sfr::P3]} >> 2;  // bit 0: INT0 low, bit 1: INT1 low
  const unsigned level = (low & ~tcon & 0x01) | ((low << 1) & ~tcon & 0x04);
  const unsigned flags = ((tcon >> 1) & 0x05) | ((tcon >> 4) & 0x0A) | level | ((s[sfr::SCON] & 0x03) ? 0x10u : 0u);
  return static_cast<uint8_t>(flags & ie & 0x1F);
}

// Counts the cycles of one step when no timer overflows and neither is in
// mode 0 or 3 or gated; false (nothing counted) otherwise.
inline bool CountTimersQuickly(uint8_t* s, uint32_t cycles) {
  const unsigned tcon = s[sfr::TCON], tmod = s[sfr::TMOD];
  const unsigned run0 = (tcon >> 4) & ~(tmod >> 2) & 1;  // TR0 and timer mode
  const unsigned run1 = (tcon >> 6) & ~(tmod >> 6) & 1;  // TR1 and timer mode
  const unsigned m0 = tmod & 3, m1 = (tmod >> 4) & 3;
  const unsigned tl0 = s[sfr::TL0] + cycles * run0, tl1 = s[sfr::TL1] + cycles * run1;
  const bool slow = (m0 == 3) | (run0 & (((tmod >> 3) & 1) | (m0 == 0) | (tl0 > 0xFF))) |
                    (run1 & ((tmod >> 7) | (m1 == 0) | (m1 == 3) | (tl1 > 0xFF)));
  if (slow) return false;
  s[sfr::TL0] = static_cast<uint8_t>(tl0);
  s[sfr::TL1] = static_cast<uint8_t>(tl1);
  return true;
}

}  // namespace dorvik
