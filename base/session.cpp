#include "base/session.h"

namespace dorvik {

size_t Session::NextSlotId() {
  static size_t next = 0;
  return next++;
}

void Session::Reset() {
  for (auto& slot : slots_)
    if (slot) slot->Rebuild();
}

Session& CurrentSession() {
  static Session session;
  return session;
}

}  // namespace dorvik
