#pragma once
// Simulated interrupts, timers 0 and 1 and the external inputs INT0/INT1, on
// the SFR image of the simulated processor.

#include <array>
#include <cstdint>

#include "machine/images.h"

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

// The reset of run control: requests and in-service states cleared.
void ClearInterruptStates();

// Requests and acceptance
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
// The machine cycles of one step for both timers: those in timer mode count.
// With timer 0 in mode 3, TH0 counts under TR1 and timer 1 runs without it.
void SimRunTimers(uint32_t cycles);

// External inputs: a falling edge on INT0 / INT1.
void SimInt0Edge();
void SimInt1Edge();

// Fast paths of every step, over the SFR image (indexed by SFR address)
namespace detail {
// Request flags of sources 0-3 by TCON (bits 0-7) and the INT0/INT1 pins
// (bits 8-9 = P3.2, P3.3): IE0 or INT0 low in level mode, TF0, IE1 or INT1 low
// in level mode, TF1.
inline constexpr std::array<uint8_t, 0x400> kTconRequests = [] {
  std::array<uint8_t, 0x400> t{};
  for (unsigned i = 0; i < t.size(); ++i) {
    const unsigned tcon = i & 0xFF;
    const bool int0Low = !(i & 0x100), int1Low = !(i & 0x200);
    unsigned f = 0;
    if ((tcon & 0x02) || (!(tcon & 0x01) && int0Low)) f |= 0x01;
    if (tcon & 0x20) f |= 0x02;
    if ((tcon & 0x08) || (!(tcon & 0x04) && int1Low)) f |= 0x04;
    if (tcon & 0x80) f |= 0x08;
    t[i] = static_cast<uint8_t>(f);
  }
  return t;
}();

// What one step's machine cycles do to the timers, by TMOD (bits 0-7), TR0
// (bit 8) and TR1 (bit 9): kQuick0/kQuick1 = TLx just adds the cycles unless
// it overflows (a running timer in mode 1 or 2, timer mode, not gated);
// kSlow = count cycle by cycle (mode 0, timer 0 in mode 3, a gated timer).
inline constexpr uint8_t kQuick0 = 1, kQuick1 = 2, kSlow = 4;
inline constexpr std::array<uint8_t, 0x400> kTimerPlan = [] {
  std::array<uint8_t, 0x400> t{};
  for (unsigned i = 0; i < t.size(); ++i) {
    const unsigned tmod = i & 0xFF;
    const bool tr0 = i & 0x100, tr1 = i & 0x200;
    const unsigned m0 = tmod & 3, m1 = (tmod >> 4) & 3;
    unsigned plan = 0;
    if (m0 == 3) plan |= kSlow;  // TH0 counts under TR1, timer 1 runs free
    if (tr0 && !(tmod & 0x04)) plan |= (m0 == 0 || (tmod & 0x08)) ? kSlow : kQuick0;
    if (tr1 && !(tmod & 0x40)) plan |= (m1 == 0 || (tmod & 0x80)) ? kSlow : (m1 == 3 ? 0 : kQuick1);
    t[i] = static_cast<uint8_t>(plan);
  }
  return t;
}();
}  // namespace detail

// Sources whose request flag, enable bit and EA are all set, one bit per source:
// IE0 or INT0 low in level mode, TF0, IE1 or INT1 low in level mode, TF1, RI or TI.
inline uint8_t PendingSources(const uint8_t* s) {
  const unsigned ie = s[sfr::IE];
  if (!(ie & 0x80)) return 0;
  const unsigned flags = detail::kTconRequests[s[sfr::TCON] | (s[sfr::P3] & 0x0Cu) << 6] |
                         ((s[sfr::SCON] & 0x03) ? 0x10u : 0u);
  return static_cast<uint8_t>(flags & ie);
}

// The timers' plan for the SFRs as they stand; 0: no timer counts cycles.
inline unsigned TimerPlan(const uint8_t* s) {
  const unsigned tcon = s[sfr::TCON];
  return detail::kTimerPlan[s[sfr::TMOD] | (tcon & 0x10u) << 4 | (tcon & 0x40u) << 3];
}

// Counts the cycles of one step by Plan when no timer overflows and neither
// is in mode 0 or 3 or gated; false (nothing counted) otherwise.
inline bool CountTimersQuickly(uint8_t* s, uint32_t cycles, unsigned plan) {
  if (plan & detail::kSlow) return false;
  const unsigned tl0 = s[sfr::TL0] + ((plan & detail::kQuick0) ? cycles : 0u);
  const unsigned tl1 = s[sfr::TL1] + ((plan & detail::kQuick1) ? cycles : 0u);
  if ((tl0 | tl1) > 0xFF) return false;
  s[sfr::TL0] = static_cast<uint8_t>(tl0);
  s[sfr::TL1] = static_cast<uint8_t>(tl1);
  return true;
}

}  // namespace dorvik
