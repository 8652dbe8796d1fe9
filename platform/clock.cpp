#include "platform/clock.h"
#include "platform/replaceable.h"

#include <chrono>
#include <thread>

namespace dorvik::platform {

namespace {

Replaceable<Clock> g_clock;

int64_t NanosNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

uint32_t SystemClock::TickCount() {
  return static_cast<uint32_t>(NanosNow() / 1'000'000);
}

void SystemClock::Sleep1ms() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool SystemClock::PerfCounter(int64_t& now) {
  now = NanosNow();
  return true;
}

int64_t SystemClock::PerfFrequency() {
  return 1'000'000'000;
}

bool FakeClock::PerfCounter(int64_t& now) {
  if (!HasPerfCounter) return false;
  micros_ += static_cast<uint64_t>(PerfStep);
  now = static_cast<int64_t>(micros_);
  return true;
}

Clock& CurrentClock() {
  static SystemClock system;
  return g_clock.Or(system);
}

void SetClock(Clock* clock) {
  g_clock.Install(clock);
}

}  // namespace dorvik::platform
