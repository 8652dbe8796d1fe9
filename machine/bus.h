#pragma once
// The external bus of the simulated processor: the parts beyond its pins that
// answer external-data reads. The virtual hardware implements it and the
// executables install it; without one, reads yield the image bytes.

#include <cstdint>

namespace dorvik {

class ExternalBus {
 public:
  virtual ~ExternalBus() = default;
  // One external-data read at Address whose image byte is Image, with port 3
  // as it stands; the byte the read yields (Image when no part drives the bus).
  virtual uint8_t ReadCycle(uint16_t address, uint8_t image, uint8_t p3) = 0;
};

// The installed bus, nullptr when none is.
ExternalBus* InstalledBus();
// Installs Bus (nullptr: none) and returns the one it replaces.
ExternalBus* InstallBus(ExternalBus* bus);

// An external-data read through the installed bus.
inline uint8_t ExternalRead(uint16_t address, uint8_t image, uint8_t p3) {
  ExternalBus* bus = InstalledBus();
  return bus ? bus->ReadCycle(address, image, p3) : image;
}

}  // namespace dorvik
