#pragma once
// Time: a millisecond tick count, a 1 ms sleep and a high-resolution counter.
// Waits take the clock in use, so a fake clock makes time-outs deterministic.

#include <cstdint>

namespace dorvik::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; wraps like a 32-bit tick count.
  virtual uint32_t TickCount() = 0;
  virtual void Sleep1ms() = 0;
  // The high-resolution counter; false when there is none.
  virtual bool PerfCounter(int64_t& now) = 0;
  // Counts per second of the high-resolution counter.
  virtual int64_t PerfFrequency() = 0;
};

// The monotonic system clock.
class SystemClock : public Clock {
 public:
  uint32_t TickCount() override;
  void Sleep1ms() override;
  bool PerfCounter(int64_t& now) override;
  int64_t PerfFrequency() override;
};

// A clock that moves only when slept on or advanced: a sleep adds 1 ms, and
// every counter reading adds `PerfStep` counts (so a counter wait ends).
// The counter runs at 1 MHz, one count per microsecond.
class FakeClock : public Clock {
 public:
  uint32_t TickCount() override { return static_cast<uint32_t>(micros_ / 1000); }
  void Sleep1ms() override {
    micros_ += 1000;
    ++sleeps_;
  }
  bool PerfCounter(int64_t& now) override;
  int64_t PerfFrequency() override { return 1'000'000; }

  void Advance(uint64_t ms) { micros_ += ms * 1000; }
  void SetTickCount(uint32_t ms) { micros_ = static_cast<uint64_t>(ms) * 1000; }
  uint64_t Micros() const { return micros_; }
  uint64_t Sleeps() const { return sleeps_; }
  bool HasPerfCounter = true;
  int64_t PerfStep = 1;

 private:
  uint64_t micros_ = 0;
  uint64_t sleeps_ = 0;
};

// The clock in use: the system clock unless one was set (nullptr: back to it).
Clock& CurrentClock();
void SetClock(Clock* clock);

}  // namespace dorvik::platform
