#include "machine/bus.h"

namespace dorvik {

namespace {
// Wiring made by the executable, not session state: a session reset keeps it.
ExternalBus* g_installed_bus = nullptr;
}  // namespace

ExternalBus* InstalledBus() { return g_installed_bus; }

ExternalBus* InstallBus(ExternalBus* bus) {
  ExternalBus* previous = g_installed_bus;
  g_installed_bus = bus;
  return previous;
}

}  // namespace dorvik
