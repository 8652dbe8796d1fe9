#include "machine/bus.h"

#include "platform/replaceable.h"

namespace dorvik {

namespace {
// Wiring made by the executable, not session state: a session reset keeps it.
platform::Replaceable<ExternalBus> g_installed_bus;
}  // namespace

ExternalBus* InstalledBus() { return g_installed_bus.Installed(); }

ExternalBus* InstallBus(ExternalBus* bus) { return g_installed_bus.Install(bus); }

}  // namespace dorvik
