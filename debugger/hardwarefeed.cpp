#include "debugger/hardwarefeed.h"

#include <utility>

#include "access/backend.h"
#include "access/portviews.h"
#include "base/runstate.h"
#include "debugger/toolviews.h"
#include "lang/cpudb.h"
#include "machine/images.h"
#include "vhw/hardware.h"

namespace dorvik {

namespace {

// The main processor's ports as port accesses; the first failed read ends them.
void SendPortBytes() {
  for (const CpuPortMenuItem& item : CpuDb().MainPortMenu) {
    uint8_t byte = 0;
    if (!ReadViewByte(kSpaceDirect, item.Tag, byte)) return;
    vhw::SendHardwareAccess(vhw::kSpaceSfr, item.Tag, byte);
  }
}

void ShowXData(vhw::ByteDisplay& display) {
  if (display.Binding.Space != vhw::kSpaceXData) return;
  MemoryImages& images = Images();
  const bool suppressed = std::exchange(images.SuppressXDataIO, true);
  uint8_t byte = 0;
  if (ReadViewByte(kSpaceXData, static_cast<int32_t>(display.Binding.Address), byte)) display.Show(byte);
  images.SuppressXDataIO = suppressed;
}

}  // namespace

bool FeedVirtualHardware(bool sendPorts, std::span<vhw::ByteDisplay* const> displays) {
  if (!vhw::HardwareActive()) return false;
  const bool running = Run().ProgramRunning && CurrentBackend().Capabilities().LocalImages;
  if (!(sendPorts || running) || !ViewsMayRead(ViewRead::Live)) return false;
  if (sendPorts) SendPortBytes();
  for (vhw::ByteDisplay* display : displays) ShowXData(*display);
  return true;
}

}  // namespace dorvik
