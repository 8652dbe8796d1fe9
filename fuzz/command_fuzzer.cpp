// Typed debugger commands: up to eight lines of the input run one after the
// other through the command executor, as the console hands them over, on the
// simulator. A run of the user program is stopped after a few slices, as a
// user's Esc would stop it.

#include <algorithm>

#include "base/text.h"
#include "debugger/executor.h"
#include "debugger/runcontrol.h"
#include "fuzz/engine_reset.h"
#include "platform/pump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  fuzz::ResetEngine();
  fuzz::LoadNames();
  platform::ResetPump();
  int pumps = 0;
  const platform::TimerId esc = platform::Pump().CreateTimer([&] {
    if (++pumps >= 3) Run().UserBreak = true;
  }, 0);
  platform::Pump().EnableTimer(esc, true);
  for (const std::string& line : fuzz::Lines(fuzz::Text(data, size), 8)) {
    pumps = 0;
    SetScanLine(UpperCase(line) + "\r", false);
    GetToken();
    ExecuteCommand();
  }
  platform::ResetPump();
  return 0;
}
