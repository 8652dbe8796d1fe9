#include "access/linkstate.h"
#include "access/backend.h"
#include "base/messages.h"
#include "base/session.h"

namespace dorvik {

namespace {

// Before a message box: what the link received is dropped, and error 107
// shows the target's own error reply where its backend has one.
void BeforeBox(int number, bool isError, std::string& arg1) {
  if (isError && number == err::kTargetError) CurrentBackend().TakeErrorReply(arg1);
  LinkState& link = Link();
  link.RxCount = 0;
  link.RxIndex = 0;
}

}  // namespace

LinkState& Link() {
  static const bool hooked = [] {
    SetBeforeBoxHook(&BeforeBox);
    return true;
  }();
  (void)hooked;
  return CurrentSession().Get<LinkState>();
}

}  // namespace dorvik
