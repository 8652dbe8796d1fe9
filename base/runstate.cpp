#include "base/runstate.h"
#include "base/session.h"

namespace dorvik {

namespace {
}

RunState& Run() {
  return CurrentSession().Get<RunState>();
}

}  // namespace dorvik
