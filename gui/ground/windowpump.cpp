#include "gui/ground/windowpump.h"

#include <QCoreApplication>

namespace dorvik::gui {

namespace {

// The message of the engine's pump that hands the window its events.
constexpr uint32_t kWindowEventsMessage = 2026;  // 0x7EA

// The pump window of the bridge made last (none: no bridge).
platform::WindowHandle g_bridge = platform::kNoWindow;

}  // namespace

WindowEventsBridge::WindowEventsBridge()
    : handle_(platform::Pump().CreateWindow([](const platform::WindowMessage& m) -> int64_t {
        if (m.Msg == kWindowEventsMessage) QCoreApplication::processEvents();
        return 0;
      })) {
  g_bridge = handle_;
}

WindowEventsBridge::~WindowEventsBridge() {
  platform::Pump().DestroyWindow(handle_);
  if (g_bridge == handle_) g_bridge = platform::kNoWindow;
}

void PumpWithWindowEvents() {
  if (g_bridge != platform::kNoWindow) platform::Pump().PostMessage(g_bridge, kWindowEventsMessage, 0, 0);
  platform::PumpMessages();
}

}  // namespace dorvik::gui
