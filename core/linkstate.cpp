#include "core/linkstate.h"

namespace dorvik {

namespace {
LinkState g_link;
}

LinkState& Link() {
  return g_link;
}
void ResetLinkState() {
  g_link = LinkState{};
}

}  // namespace dorvik
