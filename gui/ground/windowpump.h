#pragma once
// The window's events through the engine's one pump: while the bridge
// stands, a message of the engine's platform pump hands the window its
// events, so Qt's events come from one pump only. The engine's waits (through
// the user seam) and a window's own long work (the HEX save's progress) pump
// that way.

#include "platform/pump.h"

namespace dorvik::gui {

// The pump window that hands the window its events, for the bridge's
// lifetime (the one made last pumps).
class WindowEventsBridge {
 public:
  WindowEventsBridge();
  ~WindowEventsBridge();
  WindowEventsBridge(const WindowEventsBridge&) = delete;
  WindowEventsBridge& operator=(const WindowEventsBridge&) = delete;

 private:
  platform::WindowHandle handle_;
};

// One round of the engine's platform pump in which the window also handles
// its events. Without a bridge: the pump alone.
void PumpWithWindowEvents();

}  // namespace dorvik::gui
