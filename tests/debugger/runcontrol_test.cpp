// GO, HALT, the steps and the reset on the simulator, and on the monitor and
// ADuC kinds, whose closed line must fail at once with 161.

#include "debugger/runcontrol.h"

#include <algorithm>
#include <vector>

#include "access/target.h"
#include "base/mainform.h"
#include "debugger/breakpoints.h"
#include "debugger/views.h"
#include "lang/collections.h"
#include "lang/keywords.h"
#include "platform/pump.h"
#include "tests/debugger/symbol_tables.h"
#include "tests/support/link_fixture.h"

namespace dorvik {
namespace {

using testing::ConsoleTest;

struct Code {
  uint16_t At;
  std::vector<uint8_t> Bytes;
};

// 0000 MOV A,#1 / 0002 INC A / 0003 INC A / 0004 SJMP $
const std::vector<Code> kCounting = {{0x0000, {0x74, 0x01, 0x04, 0x04, 0x80, 0xFE}}};
// 0000 LCALL 0010H / 0003 NOP / 0004 SJMP $ ; 0010 INC A / 0011 RET
const std::vector<Code> kCalling = {{0x0000, {0x12, 0x00, 0x10, 0x00, 0x80, 0xFE}}, {0x0010, {0x04, 0x22}}};

class RunControlTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    platform::ResetPump();
    boxes_.Clear();
  }
  void TearDown() override {
    platform::ResetPump();
    ConsoleTest::TearDown();
  }
  void Load(const std::vector<Code>& program) {
    for (const Code& c : program) std::copy(c.Bytes.begin(), c.Bytes.end(), Images().CodeImage.begin() + c.At);
    CodeImageChanged();
  }
  // A one-shot pump timer that does What after Ms milliseconds.
  void After(uint32_t ms, std::function<void()> what) {
    const auto id = platform::Pump().CreateTimer(std::move(what), ms, false);
    platform::Pump().EnableTimer(id, true);
  }
  // Command with the answers to the questions it asks.
  std::string CommandAnswering(std::string_view line, std::initializer_list<int> answers) {
    TerminalState& t = Terminal();
    t.Lines = {std::string()};
    t.TerminalEcho = true;
    boxes_.Clear();
    for (int a : answers) boxes_.QueueAnswer(a);
    SetScanLine(UpperCase(line) + "\r", false);
    GetToken();
    ExecuteCommand();
    return TerminalText();
  }
  uint8_t Acc() const { return Images().SfrImage[sfr::ACC]; }
};

TEST_F(RunControlTest, GoForeverEndsAtAWrittenBreakOpcode) {
  Load({{0x0000, {0x04, 0x04, 0xA5, 0x04}}});
  EXPECT_EQ(Output("GO FOREVER"), "EXECUTION HALTED AT 0002\n");
  EXPECT_EQ(Acc(), 2);
  EXPECT_EQ(Images().CodeImage[2], 0xA5);  // the user's own byte stays
}

TEST_F(RunControlTest, BreakDisabledDuringTheRunIsStillRestored) {
  Load({{0x0000, {0x80, 0xFE}}, {0x0010, {0x04}}});
  Output("BR = 10");
  const auto before = Images().CodeImage;
  After(2, [] {
    Breakpoints().BreakTable[0].Enabled = false;
    dorvik::Run().UserBreak = true;
  });
  Output("GO");
  EXPECT_TRUE(Images().CodeImage == before);
}

// Step lines, written from the rendering of the code lines.
struct StepCase {
  const char* Line;
  const char* Output;
  int32_t Pc;
};

TEST_F(RunControlTest, TraceRunsARecursiveCallToItsOwnReturn) {
  // 0000 LCALL 0010H / 0003 SJMP $ ; 0010 DJNZ R7,0014H / 0012 SJMP 0016H / 0014 ACALL 0010H / 0016 RET
  Load({{0x0000, {0x12, 0x00, 0x10, 0x80, 0xFE}}, {0x0010, {0xDF, 0x02, 0x80, 0x02, 0x11, 0x10, 0x22}}});
  Images().IDataImage[7] = 3;
  Output("TRACE");
  EXPECT_EQ(Images().SimPC, 3);
  EXPECT_EQ(Images().IDataImage[7], 0);
  EXPECT_EQ(Images().SfrImage[sfr::SP], 7);
}

class LineStepTest : public RunControlTest {
 protected:
  // MAIN (0000-001F): line 10 at 0000 (the call), line 11 at 0003; SUB (0010-001F) without lines.
  void LoadSymbols() {
    testing::LoadSymbolTable({{"MAIN", kClassProcedure, 0x0000},
                              {"", kClassLine, 0x0000, 10},
                              {"", kClassLine, 0x0003, 11},
                              {"SUB", kClassProcedure, 0x0010}},
                             {{"MAIN", 0x0000, 0x000F, true}, {"SUB", 0x0010, 0x001F, true}});
  }
};

TEST_F(LineStepTest, LineStepsStopAtTheNextLine) {
  const std::vector<StepCase> cases = {
      {"PSTEP", "(:MAIN#10)----->(:MAIN#11)\n", 3},
      {"LSTEP", "(:MAIN#10)----->0010H INC     A\n", 0x10},  // the call is entered: another procedure
  };
  for (const StepCase& c : cases) {
    SCOPED_TRACE(c.Line);
    SetUp();
    Load(kCalling);
    LoadSymbols();
    EXPECT_EQ(Output(c.Line), c.Output);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Images().SimPC, c.Pc);
  }
}

TEST_F(RunControlTest, LineStepWithoutSymbolsAsksAndRunsUntilBroken) {
  Load({{0x0000, {0x80, 0xFE}}});
  After(5, [] { dorvik::Run().UserBreak = true; });
  CommandAnswering("LSTEP", {kResultYes});
  ASSERT_FALSE(boxes_.Shown().empty());
  EXPECT_EQ(boxes_.Shown().front().Caption.substr(boxes_.Shown().front().Caption.find('#')), "#45");
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
}

TEST_F(RunControlTest, ResetPutsTheSimulatorInItsResetState) {
  auto& s = Images().SfrImage;
  std::fill(s.begin(), s.end(), uint8_t{0x5A});
  Images().SimPC = 0x1234;
  ResetTarget();
  for (size_t a = 0x80; a < 0x100; ++a) {
    const uint8_t expected = a == sfr::SP ? 0x07 : (a == sfr::P0 || a == sfr::P1 || a == sfr::P2 || a == sfr::P3) ? 0xFF : 0;
    EXPECT_EQ(s[a], expected) << std::hex << a;
  }
  EXPECT_EQ(Images().SimPC, 0);
  EXPECT_EQ(RegisterText("PC"), "0000");
  EXPECT_EQ(RegisterText("SP"), "07");
}

TEST_F(RunControlTest, HaltStopsAndTakesTheBreaksOut) {
  dorvik::Run().ProgramRunning = true;
  Terminal().MonitorPrompt = "run>";
  EXPECT_EQ(Output("HALT"), "");
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
  EXPECT_EQ(Views().Caption, kCaptionHalted);
  Output("HALT 5");
  EXPECT_EQ(Errors(), std::vector<int>{118});
}

using BoardRunTest = testing::LinkTest;

// The ADuC's breaks: one address in two entries planted once, all lifted at
// the halt, the board's code as it was.
TEST_F(BoardRunTest, AducBreaksLeaveTheCodeAsItWas) {
  StartOn(testing::FakeTarget::Kind::Aduc);
  Fake().Poke(kSpaceCode, 0, {0x80, 0xFE});
  Fake().Poke(kSpaceCode, 0x10, {0x04, 0x05});
  for (const char* line : {"BR = 10", "BR = 10", "BR = 11", "GO"}) Output(line);
  EXPECT_TRUE(Errors().empty());
  EXPECT_TRUE(dorvik::Run().ProgramRunning);
  Output("HALT");
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x10, 2), (std::vector<uint8_t>{0x04, 0x05}));
  for (const tBreak& bp : Breakpoints().BreakTable) EXPECT_FALSE(bp.Planted || bp.Armed);
}

// The monitor's two break registers may not lie within three bytes of each other.
TEST_F(BoardRunTest, MonitorBreakpointsMayNotOverlap) {
  StartOn(testing::FakeTarget::Kind::Monitor);
  Output("BR1 = 1002");
  Output("BR0 = 1000");  // answered Yes: BR1 goes
  EXPECT_EQ(Breakpoints().BreakTable[0].Address, 0x1000);
  EXPECT_FALSE(Breakpoints().BreakTable[1].Used);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].Caption, "Warning #32");
  Output("BR1 = 1003");  // three bytes apart: no question
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_TRUE(Breakpoints().BreakTable[1].Used);
}

TEST_F(RunControlTest, HaltReportOnTheMonitorSaysWhy) {
  dorvik::Run().TargetKind = kTargetMonitor;
  Terminal().TerminalEcho = true;
  MainForm().CurrentPC = 0x1234;
  ReportHalt(1);
  EXPECT_EQ(TerminalText(), "EXECUTION HALTED AT 1234H BECAUSE OF USER BREAK\n");
}

}  // namespace
}  // namespace dorvik
