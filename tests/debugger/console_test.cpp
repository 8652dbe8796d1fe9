// The executor's own rules (each command's console text is in the golden
// transcripts of tests/console/transcripts) and the terminal console's model:
// the prompt, the key rules, the hand-over of lines to the scanner, ReadKey
// and the lazy speed calibration.

#include "debugger/terminal.h"

#include "base/mainform.h"
#include "base/runstate.h"
#include "debugger/breakpoints.h"
#include "debugger/executor.h"
#include "lang/keywords.h"
#include "platform/clock.h"
#include "platform/pump.h"
#include "tests/support/console_fixture.h"

namespace dorvik::testing {
namespace {

class TerminalTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    platform::ResetPump();
    SetTerminalVisible(true);
  }
  void TearDown() override {
    platform::ResetPump();
    ConsoleTest::TearDown();
  }
  void Type(std::string_view text) {
    for (char c : text) DoOnKeyPressed(c);
  }
};

// The keys at the prompt are the pseudo-terminal runs' and the workbench's.
TEST_F(TerminalTest, ThePromptOnAFreshLine) {
  EXPECT_EQ(TerminalText(), "hlt>");
  // A bare prompt is replaced when the prompt changes; a short reply without CR is never lost.
  Terminal().Lines = {"hlt>"};
  Terminal().MonitorPrompt = std::string(kPromptRunning);
  ShowCursor();
  EXPECT_EQ(TerminalText(), "run>");
  Terminal().MonitorPrompt = "hlt>";
  Terminal().Lines = {"hlt>", "OK"};
  ShowCursor();
  EXPECT_EQ(TerminalText(), "hlt>\nOK\nhlt>") << "the prompt goes on a fresh line";
  Terminal().Lines = {"hlt>X"};
  ShowCursor();
  EXPECT_EQ(TerminalText(), "hlt>X\nhlt>") << "only a bare prompt is replaced";
}

TEST_F(TerminalTest, EscBreaksAndAltXEnds) {
  EXPECT_EQ(DoOnKeyDown(kKeyEsc), KeyAction::Break);
  EXPECT_TRUE(dorvik::Run().UserBreak);
  EXPECT_EQ(DoOnKeyDown('X', kModCtrl), KeyAction::None);
  EXPECT_FALSE(Terminal().ExitRequested);
  EXPECT_EQ(DoOnKeyDown('K', kModAlt), KeyAction::Exit);
  EXPECT_TRUE(Terminal().ExitRequested);
  Type("S");
  dorvik::Run().Tracing = true;
  EXPECT_EQ(DoOnKeyDown(kKeyEnter), KeyAction::None) << "Enter is ignored while tracing";
}

// While the program runs a line is HALT or one of its abbreviations (the
// other lines are the front end's, tests/console).
TEST_F(TerminalTest, WhileTheProgramRunsHaltAndItsAbbreviationsBreak) {
  Executor().Running = true;
  dorvik::Run().ProgramRunning = true;
  for (const char* line : {"h", "HA", "HALT"}) {
    dorvik::Run().UserBreak = false;
    EXPECT_EQ(HandToScanner(line), KeyAction::Break) << line;
    EXPECT_TRUE(dorvik::Run().UserBreak) << line;
  }
  Executor().Running = false;
  dorvik::Run().ProgramRunning = false;
}

TEST_F(TerminalTest, OutputNeedsEchoAndAVisibleConsole) {
  Terminal().Lines = {std::string()};
  OutText("NO ECHO");
  EXPECT_EQ(TerminalText(), "");
  Terminal().TerminalEcho = true;
  SetTerminalVisible(false);
  OutText("HIDDEN");
  EXPECT_EQ(TerminalText(), "") << "a hidden console drops output";
  SetTerminalVisible(true);
  OutText("SHOWN");
  EXPECT_EQ(TerminalText(), "hlt>SHOWN");
}

TEST_F(TerminalTest, ReadKeyWaitsThroughThePump) {
  platform::FakeClock clock;
  platform::SetClock(&clock);
  const auto timer = platform::Pump().CreateTimer([] { DoOnKeyPressed('Q'); }, 3, false);
  platform::Pump().EnableTimer(timer, true);
  Terminal().Lines = {std::string()};
  EXPECT_EQ(ReadKey(), 'Q');
  EXPECT_GE(clock.Sleeps(), 3u);
  EXPECT_EQ(TerminalText(), " ") << "the key is replaced by a blank";
  EXPECT_FALSE(Terminal().WaitingForKey);
  platform::SetClock(nullptr);
}

// A clock that moves 1 ms with every reading.
class SteppingClock : public platform::FakeClock {
 public:
  uint32_t TickCount() override {
    Advance(1);
    return FakeClock::TickCount();
  }
};

TEST_F(TerminalTest, CpuSpeedIsCalibratedOnFirstUseOnly) {
  EXPECT_FALSE(Terminal().CpuSpeedKnown) << "nothing is calibrated at start-up";
  SteppingClock clock;
  platform::SetClock(&clock);
  const int64_t speed = CpuSpeed();
  EXPECT_TRUE(Terminal().CpuSpeedKnown);
  EXPECT_EQ(speed, 0) << "1000 rounds in 1000 ms: (0.001)^2 / 1.9 rounds to 0";
  const uint64_t after = clock.Micros();
  CpuSpeed();
  EXPECT_EQ(clock.Micros(), after) << "the second call does not calibrate again";
  platform::SetClock(nullptr);
}

using ExecutorTest = ConsoleTest;

TEST_F(ExecutorTest, LinesNoHandlerTakesAreSyntaxErrorsUnlessTheyReportedTheirOwn) {
  Command("LOAD");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
  EXPECT_FALSE(Executor().Running);
  EXPECT_FALSE(dorvik::Run().TargetBusy);
  EXPECT_EQ(MainForm().BusyCount, 0);
  Command("NOSUCHNAME");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSymbolNotKnown}) << "an unknown symbol is its error alone";
  Command("");
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(Messages().ErrorFlag) << "each command starts clean";
  Command("CPU = NOSUCHCPU");
  EXPECT_FALSE(Errors().empty());
  EXPECT_EQ(CpuDb().CpuName, "51") << "the old name is put back";
  for (const char* line : {"RESET CPU", "RESET CH"}) {
    Command(line);
    for (int e : Errors()) EXPECT_NE(e, err::kSyntaxError) << line;
  }
}

TEST_F(ExecutorTest, TheExecutorIsNotReentered) {
  Executor().Running = true;
  SetScanLine("LOAD\r", false);
  GetToken();
  EXPECT_FALSE(ExecuteCommand());
  EXPECT_TRUE(Errors().empty());
  Executor().Running = false;
}

TEST_F(ExecutorTest, TargetCommandsWaitForAStoppedProgram) {
  dorvik::Run().ProgramRunning = true;
  for (const char* line : {"CPU", "R3", "GO", "STEP", "TRACE", "BR0", "BR = 5"}) {
    Command(line);
    EXPECT_EQ(Errors(), std::vector<int>{err::kCommandFormNotAllowedDuring}) << line;
  }
  EXPECT_EQ(Command("BASE"), "BASE =HEX \nrun>") << "BASE needs no stopped target; the prompt is run>";
  EXPECT_TRUE(dorvik::Run().TargetBusy) << "TargetBusy stays set while the program runs";
  dorvik::Run().ProgramRunning = false;
}

TEST_F(ExecutorTest, EnableBreakpointsTakesUsed) {
  auto& table = Breakpoints().BreakTable;
  table[1].Used = true;
  Command("ENABLE BR0");
  EXPECT_FALSE(table[0].Enabled) << "breakpoint 0 is not set: Enabled takes Used";
  table[5].Used = true;
  Command("ENABLE BR");
  EXPECT_TRUE(table[1].Enabled && table[5].Enabled);
  EXPECT_FALSE(table[2].Enabled);
  Command("DISABLE BR1");
  EXPECT_FALSE(table[1].Enabled);
}

TEST_F(ExecutorTest, RbsOnTheAducKeepsTheRegisterShadow) {
  dorvik::Run().TargetKind = kTargetAduc;
  Command("RBS = 3");
  EXPECT_EQ(Target().TargetRegs.PSW & 0x18, 0x18);
}

}  // namespace
}  // namespace dorvik::testing
