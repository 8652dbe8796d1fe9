#include "machine/interrupts.h"
#include "base/session.h"

#include "machine/images.h"

namespace dorvik {

namespace {

// TCON bits
constexpr uint8_t kIT0 = 0x01, kIE0 = 0x02, kIT1 = 0x04, kIE1 = 0x08;
constexpr uint8_t kTR0 = 0x10, kTF0 = 0x20, kTR1 = 0x40, kTF1 = 0x80;
// TMOD bits
constexpr uint8_t kCT0 = 0x04, kGate0 = 0x08, kCT1 = 0x40, kGate1 = 0x80;
// P3 pins
constexpr uint8_t kInt0Pin = 0x04, kInt1Pin = 0x08;

// The session states of the per-step paths, resolved once: session states never move.
InterruptState* const g_irq = &Interrupts();
MemoryImages* const g_images = &Images();

// True when a handler of level `high` (1) or higher runs.
bool Blocked(const InterruptState& irq, bool high) {
  return high ? (irq.InService & irq.Priority) != 0 : irq.InService != 0;
}

// Sources not in service take their level from IP.
void RefreshPriorities(InterruptState& irq, uint8_t ip) {
  irq.Priority = static_cast<uint8_t>((irq.Priority & irq.InService) | (ip & ~irq.InService & 0x1F));
}

// 13-, 16- and 8-bit counting shared by both timers. Returns true on overflow.
bool CountTimer(uint8_t mode, uint8_t& tl, uint8_t& th) {
  switch (mode) {
    case 0: {  // 13 bits: TH and the low five bits of TL; the upper bits of TL are cleared
      unsigned c = ((unsigned{th} << 8 | tl) & 0xFF1F) + 1;
      if (c == 0xFF20) {
        tl = 0;
        th = 0;
        return true;
      }
      if ((c & 0xFF) == 0x20) c = (c + 0x100) & 0xFF00;
      tl = static_cast<uint8_t>(c);
      th = static_cast<uint8_t>(c >> 8);
      return false;
    }
    case 1: {  // 16 bits
      const unsigned c = (unsigned{th} << 8 | tl) + 1;
      tl = static_cast<uint8_t>(c);
      th = static_cast<uint8_t>(c >> 8);
      return c == 0x10000;
    }
    case 2:  // 8 bits, reloaded from TH
      if (++tl == 0) {
        tl = th;
        return true;
      }
      return false;
    default:  // mode 3: TL alone (timer 0); timer 1 holds its count
      return false;
  }
}

void Timer0Count(std::array<uint8_t, 0x100>& s) {
  const uint8_t mode = s[sfr::TMOD] & 0x03;
  bool overflow;
  if (mode == 3)
    overflow = ++s[sfr::TL0] == 0;
  else
    overflow = CountTimer(mode, s[sfr::TL0], s[sfr::TH0]);
  if (overflow) s[sfr::TCON] |= kTF0;
}

void Timer1Count(std::array<uint8_t, 0x100>& s) {
  const uint8_t mode = (s[sfr::TMOD] >> 4) & 0x03;
  if (mode == 3) return;
  const bool overflow = CountTimer(mode, s[sfr::TL1], s[sfr::TH1]);
  // While timer 0 is in mode 3 the flag TF1 belongs to TH0.
  if (overflow && (s[sfr::TMOD] & 0x03) != 3) s[sfr::TCON] |= kTF1;
}

bool Timer0Runs(const std::array<uint8_t, 0x100>& s) {
  if (!(s[sfr::TCON] & kTR0)) return false;
  return !((s[sfr::TMOD] & kGate0) && !(s[sfr::P3] & kInt0Pin));
}

// While timer 0 is in mode 3, TR1 belongs to TH0: timer 1 runs without it and
// is stopped only by its own mode 3 (or its gate).
bool Timer1Runs(const std::array<uint8_t, 0x100>& s) {
  if (!(s[sfr::TCON] & kTR1) && (s[sfr::TMOD] & 0x03) != 3) return false;
  return !((s[sfr::TMOD] & kGate1) && !(s[sfr::P3] & kInt1Pin));
}

}  // namespace

InterruptState& Interrupts() { return CurrentSession().Get<InterruptState>(); }

void ClearInterruptStates() {
  Interrupts().Requests = 0;
  Interrupts().InService = 0;
  Interrupts().HoldOne = false;
}

void SimRequestInterrupt(int source) {
  if (source < 0 || source >= kInterruptSources) return;
  const uint8_t bit = static_cast<uint8_t>(1u << source);
  if (!Blocked(Interrupts(), Interrupts().Priority & bit)) Interrupts().Requests |= bit;
}

void SimLatchRequests() {
  // A request is latched anew at every poll, so one whose flag or enable was
  // cleared in the meantime is dropped; after RETI or an IE/IP write the poll
  // is skipped once.
  InterruptState& irq = *g_irq;
  irq.Requests = 0;
  if (irq.HoldOne) {
    irq.HoldOne = false;
    return;
  }
  const auto& s = g_images->SfrImage;
  const uint8_t pending = PendingSources(s.data());
  if (!pending) return;
  RefreshPriorities(irq, s[sfr::IP]);
  if (!irq.InService)
    irq.Requests = pending;
  else if (!(irq.InService & irq.Priority))
    irq.Requests = pending & irq.Priority;  // a low-level handler runs: only high requests
}

bool SimAcceptInterrupt(uint16_t& pc) {
  InterruptState& irq = *g_irq;
  if (!irq.Requests) return false;
  MemoryImages& t = *g_images;
  auto& s = t.SfrImage;
  // Requests whose flag, enable or EA went away since they were latched are cancelled.
  irq.Requests &= PendingSources(s.data());
  if (!irq.Requests) return false;
  // The highest level wins, then the polling order.
  const uint8_t high = irq.Requests & irq.Priority;
  const uint8_t candidates = high ? high : irq.Requests;
  if (Blocked(irq, high != 0)) return false;
  int chosen = 0;
  while (!(candidates & (1u << chosen))) ++chosen;
  const uint8_t bit = static_cast<uint8_t>(1u << chosen);

  uint8_t sp = s[sfr::SP];
  t.IDataImage[++sp] = static_cast<uint8_t>(pc);
  t.IDataImage[++sp] = static_cast<uint8_t>(pc >> 8);
  s[sfr::SP] = sp;
  pc = kInterruptVectors[chosen];
  irq.Requests &= static_cast<uint8_t>(~bit);
  irq.InService |= bit;
  switch (chosen) {
    case 0: s[sfr::TCON] &= ~kIE0; break;
    case 1: s[sfr::TCON] &= ~kTF0; break;
    case 2: s[sfr::TCON] &= ~kIE1; break;
    case 3: s[sfr::TCON] &= ~kTF1; break;
    default: break;  // the serial flags are the handler's to clear
  }
  return true;
}

void SimReturnFromInterrupt() {
  InterruptState& irq = Interrupts();
  const uint8_t high = irq.InService & irq.Priority;
  const uint8_t level = high ? high : irq.InService;
  if (level) irq.InService &= static_cast<uint8_t>(~(level & -level));
  irq.HoldOne = true;
}

void SimTimer0Tick() {
  auto& s = Images().SfrImage;
  if (Timer0Runs(s)) Timer0Count(s);
}

void SimTimer1Tick() {
  auto& s = Images().SfrImage;
  if (Timer1Runs(s)) Timer1Count(s);
}

void SimRunTimers(uint32_t cycles) {
  auto& s = Images().SfrImage;
  const uint8_t tcon = s[sfr::TCON];
  const uint8_t tmod = s[sfr::TMOD];
  if (!(tcon & (kTR0 | kTR1)) && (tmod & 0x03) != 3) return;
  if (!(tmod & kCT0) && Timer0Runs(s)) {
    const uint8_t mode = tmod & 0x03;
    if (mode != 0 && s[sfr::TL0] + cycles <= 0xFF)
      s[sfr::TL0] = static_cast<uint8_t>(s[sfr::TL0] + cycles);  // no overflow: one addition
    else
      for (uint32_t i = 0; i < cycles; ++i) Timer0Count(s);
  }
  // Timer 0 in mode 3: TH0 counts machine cycles under TR1 alone and owns TF1.
  if ((tmod & 0x03) == 3 && (tcon & kTR1)) {
    const unsigned th = unsigned{s[sfr::TH0]} + cycles;
    s[sfr::TH0] = static_cast<uint8_t>(th);
    if (th > 0xFF) s[sfr::TCON] |= kTF1;
  }
  if (!(tmod & kCT1) && Timer1Runs(s)) {
    const uint8_t mode = (tmod >> 4) & 0x03;
    if ((mode == 1 || mode == 2) && s[sfr::TL1] + cycles <= 0xFF)
      s[sfr::TL1] = static_cast<uint8_t>(s[sfr::TL1] + cycles);
    else
      for (uint32_t i = 0; i < cycles; ++i) Timer1Count(s);
  }
}

void SimInt0Edge() {
  auto& s = Images().SfrImage;
  if (s[sfr::TCON] & kIT0) s[sfr::TCON] |= kIE0;
}

void SimInt1Edge() {
  auto& s = Images().SfrImage;
  if (s[sfr::TCON] & kIT1) s[sfr::TCON] |= kIE1;
}

}  // namespace dorvik
