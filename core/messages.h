#pragma once
// Numbered messages: errors, warnings and questions reported by number, and
// the global error state that callers test after every step.

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvik {

struct tMsgParams {
  std::string Arg1;
  std::string Arg2;
};

// The state of the message service; one instance, reached through Messages().
struct MessageState {
  bool ErrorFlag = false;
  int32_t LastErrorCode = 0;
  tMsgParams LastErrorParams;
  bool WarningFlag = false;
  int32_t LastWarningCode = 0;
  tMsgParams LastWarningParams;
  bool QuietMessages = false;
  std::string LastMessageText;
  bool ShowMessageBoxes = true;
  int32_t MessageSuspendCount = 0;
  bool MessageBoxShowing = false;
  int32_t LastIOResult = 0;
  uint16_t TargetErrorNumber = 0;
};

MessageState& Messages();
// Back to the start-up state (tests start clean through this).
void ResetMessages();

// Box results, as the message boxes return them.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

int ReportError(int number, std::string_view arg1 = {}, std::string_view arg2 = {});
int ReportWarning(int number, std::string_view arg1 = {}, std::string_view arg2 = {});

}  // namespace dorvik
