#include "base/messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "access/linkstate.h"
#include "base/runstate.h"
#include "lang/scanner.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/pump.h"
#include "platform/reporter.h"
#include "base/session.h"
#include "tests/support/scripted_user.h"

namespace dorvik {
namespace {

using platform::BoxButtons;
using platform::BoxIcon;

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetClock(&clock_);
    platform::SetReporter(&boxes_);
    platform::ResetPump();
    platform::TakeIOResult();
    ResetSession();
    SetExpressionResetHook(nullptr);
  }
  void TearDown() override {
    SetExpressionResetHook(nullptr);
    platform::SetReporter(nullptr);
    platform::SetClock(nullptr);
    platform::ResetPump();
  }
  void PutReply(std::string_view text) {
    auto& link = Link();
    std::memcpy(link.RxBuffer.data(), text.data(), text.size());
    link.RxCount = static_cast<int32_t>(text.size());
  }

  platform::FakeClock clock_;
  platform::ScriptedReporter boxes_;
};

TEST_F(MessagesTest, ErrorShowsBoxSetsFlagAndReturnsButton) {
  EXPECT_EQ(ReportError(118), kResultOk);
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_FALSE(Messages().WarningFlag);
  EXPECT_EQ(Messages().LastErrorCode, 118);
  ReportError(120, "reading", "a.hex");
  EXPECT_EQ(Messages().LastErrorParams.Arg1, "reading");
  EXPECT_EQ(Messages().LastErrorParams.Arg2, "a.hex");
  ReportError(999);  // unknown number: still an empty OK box
  EXPECT_EQ(Messages().LastErrorCode, 999);
  struct Box { std::string Caption, Text; };
  const Box want[] = {{"Error #118", "Syntax Error"},
                      {"Error #120", "Error while reading file a.hex, processing aborted by the user"},
                      {"Error #999", ""}};
  ASSERT_EQ(boxes_.Shown().size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(boxes_.Shown()[i].Caption, want[i].Caption);
    EXPECT_EQ(boxes_.Shown()[i].Text, want[i].Text);
    EXPECT_EQ(boxes_.Shown()[i].Buttons, BoxButtons::Ok);
    EXPECT_EQ(boxes_.Shown()[i].Icon, BoxIcon::Stop);
  }
}

TEST_F(MessagesTest, PercentInUserArgumentsIsShownAsItStands) {
  ReportError(137, "%s%d%%x", "%s");
  EXPECT_EQ(boxes_.Shown().at(0).Text, "Symbol \"%s%d%%x\" not known");
  ReportWarning(28, "100%", "%d");
  EXPECT_EQ(boxes_.Shown().at(1).Text, "No occurence of \"100%\" found. Try search again from %d?");
}

TEST_F(MessagesTest, FormatTakesArgumentsInOrder) {
  struct Case { std::string_view Fmt, A1, A2, Out; };
  const Case cases[] = {
      {"Line %d in macro file %s bad", "7", "m.mac", "Line 7 in macro file m.mac bad"},
      {"%s-%s-%s", "a", "b", "a-b-"},
      {"100%% sure", "", "", "100% sure"},
      {"odd % here %", "x", "", "odd % here %"},
      {"%x%s", "y", "", "%xy"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatMessage(c.Fmt, c.A1, c.A2), c.Out) << c.Fmt;
}

TEST_F(MessagesTest, QuietModeStoresTextAndShowsNothing) {
  Messages().QuietMessages = true;
  EXPECT_EQ(ReportError(137, "FOO"), 0);
  EXPECT_EQ(Messages().LastMessageText, "Symbol \"FOO\" not known");
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(ReportWarning(4), 0);
  EXPECT_TRUE(Messages().WarningFlag);
  EXPECT_EQ(Messages().LastWarningCode, 4);
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(MessagesTest, ReportingClearsTheReceiveBufferUnlessQuiet) {
  for (bool quiet : {true, false}) {
    Messages().QuietMessages = quiet;
    for (int kind = 0; kind < 2; ++kind) {
      Link().RxCount = 5;
      Link().RxIndex = 2;
      kind == 0 ? ReportError(103) : ReportWarning(11);
      EXPECT_EQ(Link().RxCount, quiet ? 5 : 0) << quiet << kind;
      EXPECT_EQ(Link().RxIndex, quiet ? 2 : 0) << quiet << kind;
    }
  }
}

TEST_F(MessagesTest, WarningAsksWithItsButtonsAndReturnsTheAnswer) {
  boxes_.QueueAnswer(kResultNo);
  boxes_.QueueAnswer(kResultCancel);
  EXPECT_EQ(ReportWarning(5, "x.asm"), kResultNo);
  EXPECT_EQ(ReportWarning(37, "y.asm"), kResultCancel);
  ASSERT_EQ(boxes_.Shown().size(), 2u);
  EXPECT_EQ(boxes_.Shown()[0].Caption, "Warning #5");
  EXPECT_EQ(boxes_.Shown()[0].Text, "File \"x.asm\" allready exists - overwrite?");
  EXPECT_EQ(boxes_.Shown()[0].Buttons, BoxButtons::YesNo);
  EXPECT_EQ(boxes_.Shown()[0].Icon, BoxIcon::Exclamation);
  EXPECT_EQ(boxes_.Shown()[1].Buttons, BoxButtons::YesNoCancel);
  EXPECT_TRUE(Messages().WarningFlag);
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_EQ(Messages().LastWarningParams.Arg1, "y.asm");
  // A number outside the table gives an empty OK box.
  for (int n : {-1, 67, 1000}) {
    ReportWarning(n, "a");
    EXPECT_EQ(boxes_.Shown().back().Text, "");
    EXPECT_EQ(boxes_.Shown().back().Buttons, BoxButtons::Ok);
  }
  // The first and the last row of the table.
  ReportWarning(0);
  EXPECT_EQ(boxes_.Shown().back().Text, "Symbol table full");
  EXPECT_EQ(boxes_.Shown().back().Buttons, BoxButtons::Ok);
  ReportWarning(66);
  EXPECT_EQ(boxes_.Shown().back().Text.rfind("No project defined. If you terminate", 0), 0u);
  EXPECT_EQ(boxes_.Shown().back().Buttons, BoxButtons::YesNo);
  // Every button kind a box can ask with; an unknown kind asks OK or Cancel.
  const std::pair<int32_t, BoxButtons> kinds[] = {
      {kKindOk, BoxButtons::Ok},
      {kKindYesNo, BoxButtons::YesNo},
      {kKindYesNoCancel, BoxButtons::YesNoCancel},
      {kKindYesNoCancelHelp, BoxButtons::YesNoCancelHelp},
      {0, BoxButtons::OkCancel},
      {5, BoxButtons::OkCancel},
  };
  for (const auto& [kind, buttons] : kinds) {
    ShowMsg("Question", 1, "Go on?", kind, "", "");
    EXPECT_EQ(boxes_.Shown().back().Buttons, buttons) << kind;
    EXPECT_EQ(boxes_.Shown().back().Icon, BoxIcon::Question);
  }
}

class ShowingProbe : public platform::MessageReporter {
 public:
  int ShowBox(const platform::MessageBox&) override {
    showing = Messages().MessageBoxShowing;
    return kResultOk;
  }
  bool showing = false;
};

TEST_F(MessagesTest, BoxShowingFlagIsSetOnlyWhileTheBoxIsUp) {
  ShowingProbe probe;
  platform::SetReporter(&probe);
  ReportError(118);
  EXPECT_TRUE(probe.showing);
  EXPECT_FALSE(Messages().MessageBoxShowing);
  // A box that is no numbered message (the loader's information) is flagged too.
  probe.showing = false;
  ShowBox({"Information", "Load succesful", platform::BoxButtons::Ok, platform::BoxIcon::Information});
  EXPECT_TRUE(probe.showing);
  EXPECT_FALSE(Messages().MessageBoxShowing);
}

TEST_F(MessagesTest, SuspensionNestsAndAnswersOk) {
  SuspendMessages();
  SuspendMessages();
  ResumeMessages();
  const int answer = ReportWarning(4);
  EXPECT_EQ(answer, kResultOk);
  EXPECT_FALSE(IsYes(answer));
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_TRUE(Messages().WarningFlag);
  ResumeMessages();
  ReportError(118);
  EXPECT_EQ(boxes_.Shown().size(), 1u);
  for (int r : {0, kResultOk, kResultCancel, kResultNo}) EXPECT_FALSE(IsYes(r));
  EXPECT_TRUE(IsYes(kResultYes));
}

size_t g_boxes_at_hook = 0;
int g_hook_calls = 0;
platform::ScriptedReporter* g_hook_reporter = nullptr;
void ExpressionReset() {
  ++g_hook_calls;
  g_boxes_at_hook = g_hook_reporter->Shown().size();
}

TEST_F(MessagesTest, Error133ResetsEvaluatorBeforeTheBox) {
  g_hook_calls = 0;
  g_hook_reporter = &boxes_;
  SetExpressionResetHook(&ExpressionReset);
  ReportError(132);
  EXPECT_EQ(g_hook_calls, 0);
  ReportError(133);
  EXPECT_EQ(g_hook_calls, 1);
  EXPECT_EQ(g_boxes_at_hook, 1u);  // only the box of 132 was up yet
  EXPECT_EQ(boxes_.Shown().size(), 2u);
  Messages().QuietMessages = true;
  ReportError(133);
  EXPECT_EQ(g_hook_calls, 2);
}

TEST_F(MessagesTest, TargetErrorDuringRunIsShownButLeavesFlagClear) {
  dorvik::Run().TargetKind = kTargetSimulator;
  dorvik::Run().ProgramRunning = true;
  ReportError(107, "x");
  EXPECT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_EQ(Messages().LastErrorCode, 107);
  dorvik::Run().ProgramRunning = false;
  ReportError(107, "x");
  EXPECT_TRUE(Messages().ErrorFlag);
  // Only the monitor's reply is read.
  dorvik::Run().TargetKind = kTargetAduc;
  PutReply("ERR 1F BAD\r\n-");
  Link().ErrorReplyMark = 0;
  ReportError(107, "aduc");
  EXPECT_EQ(boxes_.Shown().back().Text, "Target error: \"aduc\"");
  EXPECT_EQ(Messages().TargetErrorNumber, 0);
}

TEST_F(MessagesTest, MonitorErrorReplyGivesNumberAndTextEndingBeforePromptOrCr) {
  dorvik::Run().TargetKind = kTargetMonitor;
  struct Case {
    std::string_view Reply;
    int32_t Mark;
    int32_t Count;
    uint16_t Number;
    std::string_view Shown;
  };
  const Case cases[] = {
      // RxCount - mark - 3 characters: the prompt's CR LF "-" are left out.
      {"xxERR 1F BAD ADDRESS\r\n-", 2, 23, 0x1F, "Target error: \"ERR 1F BAD ADDRESS\""},
      {"ERR 17", 0, 6, 0x17, "Target error: \"ERR\""},
      {"..ERR 17AB", 2, 10, 0x17, "Target error: \"ERR 1\""},
      {"ERR 0a X\rY\r\n-", 0, 14, 0x0A, "Target error: \"ERR 0a X\""},
      {"ERR F0 X\r\n-", 0, 11, 0xF0, "Target error: \"ERR F0 X\""},
      // The number must stand within what was received.
      {"ERR 2A", 0, 5, 0, "Target error: \"mine\""},
      {"ERR 2", 0, 5, 0, "Target error: \"mine\""},
      {"ERR G1 X\r\n-", 0, 11, 0, "Target error: \"mine\""},
      {"ERR ZZ WHAT\r\n-", 0, 14, 0, "Target error: \"mine\""},
  };
  for (const Case& c : cases) {
    PutReply(c.Reply);
    Messages().TargetErrorNumber = 5;
    Link().MonitorErrorReply = true;
    Link().ErrorReplyMark = c.Mark;
    Link().RxCount = c.Count;
    ReportError(107, "mine");
    EXPECT_EQ(Messages().TargetErrorNumber, c.Number) << c.Reply;
    EXPECT_EQ(boxes_.Shown().back().Text, c.Shown) << c.Reply;
    EXPECT_FALSE(Link().MonitorErrorReply);
    EXPECT_EQ(Link().RxCount, 0);
    EXPECT_EQ(Messages().LastErrorParams.Arg1, "mine");  // the caller's own argument is stored
  }
}

TEST_F(MessagesTest, MonitorErrorReplyMarksOutsideBufferAreSafe) {
  dorvik::Run().TargetKind = kTargetMonitor;
  struct Case { int32_t Mark; int32_t Count; };
  const Case cases[] = {{-10, 20}, {1020, 1024}, {1019, 5000}, {2000, 3000}, {0, -5}, {5, 7}};
  for (const Case& c : cases) {
    std::memset(Link().RxBuffer.data(), 'A', Link().RxBuffer.size());
    Link().ErrorReplyMark = c.Mark;
    Link().RxCount = c.Count;
    ReportError(107, "mine");
    EXPECT_LE(boxes_.Shown().back().Text.size(), 1024u + 20u);
  }
  // Hex digits right at the end of the buffer are the last ones readable.
  std::memset(Link().RxBuffer.data(), ' ', Link().RxBuffer.size());
  Link().RxBuffer[1022] = '4';
  Link().RxBuffer[1023] = '2';
  Link().ErrorReplyMark = 1018;
  Link().RxCount = 5000;
  ReportError(107, "mine");
  EXPECT_EQ(Messages().TargetErrorNumber, 0x42);
}

TEST_F(MessagesTest, CheckIOResultShowsFormatWithArgumentAndCodeOrTheSystemText) {
  EXPECT_FALSE(CheckIOResult("Error %s (%d)", "a"));  // success is quiet
  EXPECT_TRUE(boxes_.Shown().empty());
  platform::SetIOResult(2);
  EXPECT_TRUE(CheckIOResult("Error loading file %s (%d).", "a%s.hex"));
  EXPECT_EQ(Messages().LastIOResult, 2);
  EXPECT_FALSE(CheckIOResult("x", ""));  // the code was taken: a second check sees success
  platform::SetIOResult(2);
  EXPECT_TRUE(CheckIOResult("", ""));
  ASSERT_EQ(boxes_.Shown().size(), 2u);
  EXPECT_EQ(boxes_.Shown()[0].Text, "Error loading file a%s.hex (2).");
  EXPECT_EQ(boxes_.Shown()[0].Icon, BoxIcon::Stop);
  EXPECT_EQ(boxes_.Shown()[1].Caption, "Exception #2");
  EXPECT_EQ(boxes_.Shown()[1].Text, std::strerror(2));
}

TEST_F(MessagesTest, SyntaxErrorFollowsTheScanningContext) {
  struct Case { bool Parsing, AsmLine; int Expect; };
  const Case cases[] = {{true, true, 105}, {false, true, 109}, {false, false, 118}};
  for (const Case& c : cases) {
    Scanner().ParsingReply = c.Parsing;
    dorvik::Run().AsmLineMode = c.AsmLine;
    Scanner().ScanToken = 40;
    SyntaxError();
    EXPECT_EQ(Messages().LastErrorCode, c.Expect);
    EXPECT_EQ(Scanner().ScanToken, 0);
  }
  PlainSyntaxError();
  EXPECT_EQ(Messages().LastErrorCode, 118);
  FramingError();
  EXPECT_EQ(Messages().LastErrorCode, 105);
}

TEST_F(MessagesTest, DelayWaitsPastItsTimeAndFiresTimers) {
  int fired = 0;
  const auto t = platform::Pump().CreateTimer([&] { ++fired; }, 2);
  clock_.SetTickCount(1000);
  platform::Pump().EnableTimer(t, true);
  Delay(10);
  EXPECT_GE(clock_.TickCount(), 1011u);
  EXPECT_LE(clock_.TickCount(), 1013u);
  EXPECT_GE(fired, 4);
  // Across the tick counter's wrap.
  clock_.SetTickCount(0xFFFFFFF0u);
  Delay(40);
  EXPECT_GE(static_cast<uint32_t>(clock_.TickCount() - 0xFFFFFFF0u), 41u);
  EXPECT_LT(static_cast<uint32_t>(clock_.TickCount() - 0xFFFFFFF0u), 50u);
}

TEST_F(MessagesTest, PerfDelayWaitsCountOverRate) {
  ASSERT_TRUE(Messages().PerfCounterAvailable);
  EXPECT_EQ(Messages().PerfFrequency, 1'000'000);
  const uint64_t before = clock_.Micros();
  PerfDelay(11, 9600);  // 11/9600 s = 1146 us
  const uint64_t waited = clock_.Micros() - before;
  EXPECT_GE(waited, 1146u);
  EXPECT_LT(waited, 1160u);
  // Without a rate it returns at once.
  PerfDelay(5, 0);
  PerfDelay(5, -3);
  EXPECT_EQ(clock_.Micros() - before, waited);
}

}  // namespace
}  // namespace dorvik
