#include "core/messages.h"

namespace dorvik {

namespace {
MessageState g_messages;
}

MessageState& Messages() { return g_messages; }
void ResetMessages() { g_messages = MessageState{}; }

int ReportError(int number, std::string_view arg1, std::string_view arg2) {
  auto& m = g_messages;
  m.LastErrorCode = number;
  m.ErrorFlag = true;
  m.LastErrorParams = {std::string(arg1), std::string(arg2)};
  return 0;
}

int ReportWarning(int number, std::string_view arg1, std::string_view arg2) {
  auto& m = g_messages;
  m.LastWarningCode = number;
  m.WarningFlag = true;
  m.LastWarningParams = {std::string(arg1), std::string(arg2)};
  return 0;
}

}  // namespace dorvik
