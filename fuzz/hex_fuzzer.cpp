// The HEX reader on any text, into a code and an external-data image between
// guard areas: no crash, success exactly when nothing was reported, nothing
// written outside the image, and a refused text leaves the image as it was.

#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/engine_reset.h"
#include "objfiles/intelhex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  // The reader keeps no state between loads: the engine starts once.
  static const bool started = (fuzz::ResetEngine(), true);
  (void)started;
  fuzz::InstallQuietReporter();
  constexpr size_t kGuard = 4096;
  static const std::vector<uint8_t> untouched(kHexImageSize, 0xC3);
  static std::vector<uint8_t> guarded(kGuard + kHexImageSize + kGuard);
  uint8_t* const image = guarded.data() + kGuard;
  for (HexMemory memory : {HexMemory::Code, HexMemory::XData}) {
    std::memset(guarded.data(), 0xC3, guarded.size());
    HexLoadInfo info;
    Messages().ErrorFlag = false;
    const bool read = ReadHexText(fuzz::Text(data, size), "fuzz.hex", memory, HexImage(image, kHexImageSize), info);
    if (read == Messages().ErrorFlag) std::abort();
    if (std::memcmp(guarded.data(), untouched.data(), kGuard) != 0 ||
        std::memcmp(image + kHexImageSize, untouched.data(), kGuard) != 0)
      std::abort();
    if (!read && std::memcmp(image, untouched.data(), kHexImageSize) != 0) std::abort();
  }
  return 0;
}
