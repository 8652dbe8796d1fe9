#pragma once
// The message pump: an in-process queue of window messages between the
// program's own windows, one-shot and periodic timers, and an idle hook.
// Everything runs on the caller's thread when a wait pumps.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>

namespace dorvik::platform {

using WindowHandle = int32_t;
inline constexpr WindowHandle kNoWindow = -1;
using TimerId = int32_t;

struct WindowMessage {
  WindowHandle Target = kNoWindow;
  uint32_t Msg = 0;
  uint64_t WParam = 0;
  int64_t LParam = 0;
};

// A window's message handler; its result is what a sent message returns.
using WindowProc = std::function<int64_t(const WindowMessage&)>;

class MessagePump {
 public:
  // Windows
  WindowHandle CreateWindow(WindowProc proc);
  void DestroyWindow(WindowHandle window);
  bool IsWindow(WindowHandle window) const { return windows_.count(window) != 0; }

  // Messages: Post queues (false for an unknown window), Send calls at once
  // (0 for an unknown window).
  bool PostMessage(WindowHandle window, uint32_t msg, uint64_t wparam, int64_t lparam);
  int64_t SendMessage(WindowHandle window, uint32_t msg, uint64_t wparam, int64_t lparam);
  size_t PendingMessages() const { return queue_.size(); }

  // Timers are made disabled; enabling one (or changing the interval of an
  // enabled one) starts its interval afresh. A one-shot timer disables itself
  // when it fires; a periodic one fires at most once per pump, however many
  // intervals passed.
  TimerId CreateTimer(std::function<void()> on_timer, uint32_t interval_ms, bool periodic = true);
  void DestroyTimer(TimerId timer);
  void EnableTimer(TimerId timer, bool enable);
  void SetTimerInterval(TimerId timer, uint32_t interval_ms);
  bool TimerEnabled(TimerId timer) const;

  // Delivers the messages that were queued when it was called, then fires
  // the timers that are due, earliest first. Returns how many it handled.
  size_t PumpMessages();

  // Idle work (the main window's parsing of received text); RunIdle calls it.
  void SetIdleHook(std::function<void()> hook) { idle_ = std::move(hook); }
  void RunIdle();

 private:
  struct Timer {
    std::function<void()> OnTimer;
    uint32_t Interval = 0;
    bool Periodic = true;
    bool Enabled = false;
    uint32_t Start = 0;  // tick count when the interval began
  };
  std::map<WindowHandle, WindowProc> windows_;
  std::deque<WindowMessage> queue_;
  std::map<TimerId, Timer> timers_;
  std::function<void()> idle_;
  WindowHandle next_window_ = 1;
  TimerId next_timer_ = 1;
};

// The program's one pump.
MessagePump& Pump();
// Lets the program's pump handle what is pending (the waits call this).
inline size_t PumpMessages() {
  return Pump().PumpMessages();
}
// Back to an empty pump (no windows, timers, messages or idle hook).
void ResetPump();

}  // namespace dorvik::platform
