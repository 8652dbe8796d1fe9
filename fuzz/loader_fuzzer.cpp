// The whole program load onto the simulator on any file: no crash, and a
// load that fails leaves the target's code memory as it was.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/engine_reset.h"
#include "loader/loader.h"
#include "machine/images.h"
#include "platform/dialogs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  static const std::string path = "loader-fuzz-" + std::to_string(getpid()) + ".bin";
  static platform::ScriptedDialogs dialogs;  // the stack question is cancelled
  fuzz::ResetEngine();
  platform::SetDialogUi(&dialogs);
  dialogs.InputsShown.clear();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::memset(Images().CodeImage.data(), 0xC3, Images().CodeImage.size());
  Loader().LoadFileName = path;
  if (!LoadProgramFile())
    for (uint8_t b : Images().CodeImage)
      if (b != 0xC3) std::abort();
  std::remove(path.c_str());
  return 0;
}
