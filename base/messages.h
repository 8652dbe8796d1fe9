#pragma once
// Numbered messages: errors, warnings and questions reported by number, and
// the global error state that callers test after every step. Also the small
// timing helpers of the same service (Delay, PerfDelay, WinVersion).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "base/msgids.h"
#include "platform/reporter.h"

namespace dorvik {

struct tMsgParams {
  std::string Arg1;
  std::string Arg2;
};

// One row of a message table. Kind gives the buttons of the box.
struct tErrType {
  int32_t Code;
  int32_t Kind;
  std::string_view Text;
};

// Kinds (buttons) of a message row; any other value means OK/Cancel.
inline constexpr int32_t kKindOk = 1;
inline constexpr int32_t kKindYesNo = 2;
inline constexpr int32_t kKindYesNoCancel = 3;
inline constexpr int32_t kKindYesNoCancelHelp = 4;

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
  uint8_t WindowsVersion = 0;
  bool PerfCounterAvailable = false;
  int64_t PerfFrequency = 0;
  int64_t PerfCounterNow = 0;

  // The start-up state: also reads the high-resolution counter of the clock in use.
  MessageState();
};

MessageState& Messages();

// The error and warning flags and the last error with its texts, put back when
// it goes out of scope: for a trial read or a nested command that must leave
// the caller's outcome as it found it.
class SavedMessageFlags {
 public:
  SavedMessageFlags()
      : errorFlag_(Messages().ErrorFlag),
        warningFlag_(Messages().WarningFlag),
        lastErrorCode_(Messages().LastErrorCode),
        lastErrorParams_(Messages().LastErrorParams) {}
  ~SavedMessageFlags() {
    MessageState& m = Messages();
    m.ErrorFlag = errorFlag_;
    m.WarningFlag = warningFlag_;
    m.LastErrorCode = lastErrorCode_;
    m.LastErrorParams = std::move(lastErrorParams_);
  }
  SavedMessageFlags(const SavedMessageFlags&) = delete;
  SavedMessageFlags& operator=(const SavedMessageFlags&) = delete;

 private:
  bool errorFlag_;
  bool warningFlag_;
  int32_t lastErrorCode_;
  tMsgParams lastErrorParams_;
};

// Box results, as the message boxes return them.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// Only Yes is yes: a suspended box answers 1 (OK), quiet mode answers 0, and
// neither may be taken for consent.
inline bool IsYes(int result) {
  return result == kResultYes;
}

// Message tables
std::span<const tErrType> ErrorMessageTable();    // 93 rows, ascending codes 100..406
std::span<const tErrType> WarningMessageTable();  // 67 rows, code = index 0..66
// The error row of a code, nullptr when there is none.
const tErrType* FindErrorMessage(int32_t code);
// The warning row of a number, nullptr outside the table.
const tErrType* FindWarningMessage(int32_t number);

// Message texts: each "%s" or "%d" takes the next argument as it stands (no
// argument left: nothing), "%%" is one "%", any other "%" stays. Arguments are
// never scanned for places themselves.
std::string FormatMessage(std::string_view fmt, std::span<const std::string_view> args);
std::string FormatMessage(std::string_view fmt, std::string_view arg1, std::string_view arg2);

// Reporting
// Shows a box captioned Kind + " #" + Number; returns the button pressed, 1
// without a box while boxes are off.
int ShowMsg(std::string_view kind, int number, std::string_view fmt, int32_t buttons, std::string_view arg1,
            std::string_view arg2);
// Every box of the program goes through here: it is flagged as showing (the
// wait form stays hidden meanwhile).
int ShowBox(const platform::MessageBox& box);
// Sets ErrorFlag and LastErrorCode; returns the box result, 0 in quiet mode.
int ReportError(int number, std::string_view arg1 = {}, std::string_view arg2 = {});
// Sets WarningFlag and LastWarningCode; returns the box result, 0 in quiet mode.
int ReportWarning(int number, std::string_view arg1 = {}, std::string_view arg2 = {});
// Takes the platform's result of the last file operation: false when it was
// success; else shows it (Fmt's %s takes Arg, %d the code; an empty Fmt shows
// the system's text) and returns true. Suspended boxes hide it too.
bool CheckIOResult(std::string_view fmt, std::string_view arg);

// Boxes off while suspended; pairs nest.
void SuspendMessages();
void ResumeMessages();
// While one lives, messages are recorded (flags, codes) but neither shown nor
// printed: the work that follows a failure already reported once.
class SilencedMessages {
 public:
  SilencedMessages();
  ~SilencedMessages();
  SilencedMessages(const SilencedMessages&) = delete;
  SilencedMessages& operator=(const SilencedMessages&) = delete;

 private:
  bool quiet_;
};

// Hooks of other modules
// Called by ReportError(err::kExpressionTooComplex) before anything else, so that the evaluator
// starts its next expression at depth 0.
void SetExpressionResetHook(void (*hook)());
// Called by ReportError and ReportWarning before their box is shown (never for
// quiet messages): the target link drops what it received and may put the
// target's own text into an error's first argument.
void SetBeforeBoxHook(void (*hook)(int number, bool isError, std::string& arg1));

// Timing and platform helpers
// Waits at least `ms` milliseconds, pumping messages (timers fire meanwhile).
void Delay(int ms);
// Waits Count/Rate seconds on the high-resolution counter, pumping messages.
void PerfDelay(uint8_t count, int rate);
// The classification of the running system's version; 0 here.
uint8_t WinVersion();

}  // namespace dorvik
