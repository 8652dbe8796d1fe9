#include "core/runstate.h"

namespace dorvik {

namespace {
RunState g_run;
}

RunState& Run() {
  return g_run;
}
void ResetRunState() {
  g_run = RunState{};
}

}  // namespace dorvik
