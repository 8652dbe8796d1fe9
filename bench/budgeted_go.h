#pragma once
// One GO of about Budget instructions on the simulator: a pump timer,
// checked between the slices, ends it with the user's break.

#include <cstdint>

#include "base/runstate.h"
#include "machine/simulator.h"
#include "platform/pump.h"

namespace dorvik::bench {

// Runs Go (which starts the GO and returns when it stopped) under the
// budget; returns the instructions it ran.
template <typename GoFn>
uint64_t BudgetedGo(uint64_t budget, GoFn&& go) {
  const uint64_t start = Simulator().InstructionCounter;
  const auto stop = platform::Pump().CreateTimer(
      [&] {
        if (Simulator().InstructionCounter - start >= budget) Run().UserBreak = true;
      },
      0, true);
  platform::Pump().EnableTimer(stop, true);
  go();
  platform::Pump().DestroyTimer(stop);
  return Simulator().InstructionCounter - start;
}

}  // namespace dorvik::bench
