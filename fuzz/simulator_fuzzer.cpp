// The instruction simulator on a code image: the input from address 0, then a
// bounded number of steps from the reset state.

#include <algorithm>

#include "fuzz/engine_reset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  constexpr int kSteps = 2000;
  fuzz::ResetEngine();
  MemoryImages& t = Images();
  std::copy_n(data, std::min(size, t.CodeImage.size()), t.CodeImage.begin());
  CodeImageChanged();
  SimReset();
  for (int i = 0; i < kSteps; ++i)
    if (SimStep(static_cast<uint16_t>(t.SimPC)) == StepResult::Error) break;
  return 0;
}
