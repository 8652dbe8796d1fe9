#include "base/linkstate.h"
#include "base/session.h"

namespace dorvik {

namespace {
}

LinkState& Link() {
  return CurrentSession().Get<LinkState>();
}

}  // namespace dorvik
