#include "platform/pump.h"

#include <algorithm>
#include <vector>

#include "platform/clock.h"

namespace dorvik::platform {

namespace {
MessagePump g_pump;
}

WindowHandle MessagePump::CreateWindow(WindowProc proc) {
  const WindowHandle h = next_window_++;
  windows_[h] = std::move(proc);
  return h;
}

void MessagePump::DestroyWindow(WindowHandle window) {
  windows_.erase(window);
}

bool MessagePump::PostMessage(WindowHandle window, uint32_t msg, uint64_t wparam, int64_t lparam) {
  if (!IsWindow(window)) return false;
  queue_.push_back({window, msg, wparam, lparam});
  return true;
}

int64_t MessagePump::SendMessage(WindowHandle window, uint32_t msg, uint64_t wparam, int64_t lparam) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return 0;
  // A copy: the handler may destroy its own window.
  WindowProc proc = it->second;
  return proc({window, msg, wparam, lparam});
}

TimerId MessagePump::CreateTimer(std::function<void()> on_timer, uint32_t interval_ms, bool periodic) {
  const TimerId id = next_timer_++;
  Timer& t = timers_[id];
  t.OnTimer = std::move(on_timer);
  t.Interval = interval_ms;
  t.Periodic = periodic;
  return id;
}

void MessagePump::DestroyTimer(TimerId timer) {
  timers_.erase(timer);
}

void MessagePump::EnableTimer(TimerId timer, bool enable) {
  auto it = timers_.find(timer);
  if (it == timers_.end()) return;
  it->second.Enabled = enable;
  if (enable) it->second.Start = CurrentClock().TickCount();
}

void MessagePump::SetTimerInterval(TimerId timer, uint32_t interval_ms) {
  auto it = timers_.find(timer);
  if (it == timers_.end()) return;
  it->second.Interval = interval_ms;
  if (it->second.Enabled) it->second.Start = CurrentClock().TickCount();
}

bool MessagePump::TimerEnabled(TimerId timer) const {
  auto it = timers_.find(timer);
  return it != timers_.end() && it->second.Enabled;
}

size_t MessagePump::PumpMessages() {
  size_t handled = 0;
  for (size_t n = queue_.size(); n > 0 && !queue_.empty(); --n) {
    const WindowMessage m = queue_.front();
    queue_.pop_front();
    auto it = windows_.find(m.Target);
    if (it == windows_.end()) continue;  // destroyed since it was posted
    WindowProc proc = it->second;
    proc(m);
    ++handled;
  }

  const uint32_t now = CurrentClock().TickCount();
  struct Due {
    uint32_t Late;  // how long past its time
    TimerId Id;
  };
  std::vector<Due> due;
  for (const auto& [id, t] : timers_) {
    const uint32_t elapsed = now - t.Start;
    if (t.Enabled && elapsed >= t.Interval) due.push_back({elapsed - t.Interval, id});
  }
  std::stable_sort(due.begin(), due.end(), [](const Due& a, const Due& b) { return a.Late > b.Late; });
  for (const Due& d : due) {
    auto it = timers_.find(d.Id);
    if (it == timers_.end() || !it->second.Enabled) continue;  // stopped by an earlier one
    Timer& t = it->second;
    if (static_cast<uint32_t>(now - t.Start) < t.Interval) continue;  // restarted by an earlier one
    if (t.Periodic)
      t.Start = now;
    else
      t.Enabled = false;
    std::function<void()> fire = t.OnTimer;
    if (fire) fire();
    ++handled;
  }
  return handled;
}

void MessagePump::RunIdle() {
  if (idle_) {
    std::function<void()> idle = idle_;
    idle();
  }
}

MessagePump& Pump() {
  return g_pump;
}
void ResetPump() {
  g_pump = MessagePump{};
}

}  // namespace dorvik::platform
