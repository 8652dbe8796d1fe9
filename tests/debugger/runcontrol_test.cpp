// GO, HALT, the steps and the reset on the simulator, and on the monitor and
// ADuC kinds, whose closed line must fail at once with 161.

#include "debugger/runcontrol.h"

#include <algorithm>
#include <map>
#include <array>
#include <utility>
#include <vector>

#include "access/backend.h"
#include "access/target.h"
#include "base/linkstate.h"
#include "base/mainform.h"
#include "debugger/breakpoints.h"
#include "debugger/views.h"
#include "lang/collections.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "platform/pump.h"
#include "tests/debugger/symbol_tables.h"
#include "tests/support/console_fixture.h"

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

TEST_F(RunControlTest, UserBreakFromThePumpEndsAnEndlessLoop) {
  Load({{0x0000, {0x80, 0xFE}}});
  After(5, [] { dorvik::Run().UserBreak = true; });
  EXPECT_EQ(Output("GO"), "EXECUTION HALTED AT 0000\n");
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_FALSE(dorvik::Run().Executing);
  EXPECT_FALSE(dorvik::Run().UserBreak);  // the next GO is not stopped by an old break
  EXPECT_EQ(Views().Caption, kCaptionHalted);
}

TEST_F(RunControlTest, BreakpointsStopBeforeTheirInstructionAndLeaveCodeAsItWas) {
  Load(kCounting);
  Output("BR = 2");
  Output("BR = 2");  // one address in two entries is planted once
  Output("BR = 3");
  const auto before = Images().CodeImage;
  EXPECT_EQ(Output("GO"), "EXECUTION HALTED AT 0002\n");
  EXPECT_EQ(Acc(), 1);
  EXPECT_TRUE(Images().CodeImage == before);
  // Started on a breakpoint, the run executes it first.
  EXPECT_EQ(Output("GO"), "EXECUTION HALTED AT 0003\n");
  EXPECT_EQ(Acc(), 2);
  EXPECT_TRUE(Images().CodeImage == before);
  for (const tBreak& bp : Breakpoints().BreakTable) EXPECT_FALSE(bp.Planted || bp.Armed);
  EXPECT_TRUE(Simulator().Planted.empty());
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

TEST_F(RunControlTest, ArmServesOneGoOnly) {
  Load(kCounting);
  Output("GO ARM 2 TILL 3");
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(Breakpoints().ArmBreak.Used);
  EXPECT_FALSE(Breakpoints().ArmBreak.Enabled);
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

TEST_F(RunControlTest, StepLoopGoesOnWhileTheKeyIsEnter) {
  Load(kCounting);
  RunControl().StepKeySource = []() -> char {
    static int n = 0;
    return static_cast<char>(++n < 3 ? kKeyEnter : kKeyEsc);
  };
  Output("STEP");
  EXPECT_EQ(Images().SimPC, 4);
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

// A linked target whose link answers: what run control asked of it.
class RecordingBackend final : public TargetBackend {
 public:
  explicit RecordingBackend(bool breakRegisters) : breakRegisters_(breakRegisters) {}
  TargetCapabilities Capabilities() const override {
    return {.HasTarget = true, .LocalImages = false, .WritesValues = false, .RunsProgramItself = true,
            .BreakRegisters = breakRegisters_, .LastBreakIndex = static_cast<uint8_t>(breakRegisters_ ? 1 : 7)};
  }
  bool ReadBlock(uint8_t space, int32_t addr, int32_t count) override {
    for (int32_t i = 0; i < count; ++i)
      Link().RxBuffer[static_cast<size_t>(i + 1)] = (space & 7) == kSpaceDirect
                                                        ? Direct[static_cast<uint8_t>(addr + i)]
                                                        : Images().CodeImage[static_cast<uint16_t>(addr + i)];
    return true;
  }
  bool WriteBlock(uint8_t space, int32_t addr, std::span<const uint8_t> bytes, bool, const WriteProgress&) override {
    for (uint8_t b : bytes) Calls.push_back("WRITE " + std::to_string(space) + " " + FormatHex4(addr++) + " " + FormatHex2(b));
    return true;
  }
  void WriteCodeByte(uint16_t, std::string_view) override {}
  void GetRegisters(tRegisterFrame&) override {}
  RegisterRead ReadRegister(uint8_t token, int32_t& value) override {
    value = Registers[token];
    return RegisterRead::Value;
  }
  void SetRegister(uint8_t, int32_t) override {}
  bool Go(uint16_t from, std::string_view till) override {
    Calls.push_back("GO " + FormatHex4(from) + " " + std::string(till));
    return true;
  }
  HaltResult Halt() override {
    Calls.push_back("HALT");
    return HaltResult::Halted;
  }
  StepResult Step(uint16_t, std::string& text) override {
    text.clear();
    return StepResult::Executed;
  }
  bool Reset() override { return true; }
  std::string TakeResetText() override { return std::exchange(ResetText, {}); }
  bool PlantBreak(uint8_t index, uint16_t address) override {
    Calls.push_back("PLANT " + std::to_string(index) + " " + FormatHex4(address));
    return true;
  }
  bool LiftBreak(uint8_t, uint16_t address) override {
    Calls.push_back("LIFT " + FormatHex4(address));
    return true;
  }
  std::vector<std::string> Calls;
  std::map<uint8_t, int32_t> Registers;
  std::string ResetText;
  std::array<uint8_t, 256> Direct{};

 private:
  bool breakRegisters_;
};

class LinkedTargetTest : public RunControlTest {
 protected:
  void Use(uint8_t kind, RecordingBackend& backend) {
    dorvik::Run().TargetKind = kind;
    SetBackendForTesting(kind, &backend);
    installed_ = kind;
  }
  void TearDown() override {
    SetBackendForTesting(installed_, nullptr);
    RunControlTest::TearDown();
  }
  uint8_t installed_ = kTargetMonitor;
};

// A monitor that reports having stopped on entering a call (the instruction it
// ran last is the call itself): TRACE takes the call back, with the pushed
// return address dropped from the stack through the target's own write.
TEST_F(LinkedTargetTest, TraceOnTheMonitorTakesBackAStopOnEnteringACall) {
  RecordingBackend monitor(true);
  Use(kTargetMonitor, monitor);
  Images().CodeImage[0] = 0x12;  // LCALL 0010H
  Images().CodeImage[2] = 0x10;
  monitor.Registers[tok::kPPC] = 0x0000;
  monitor.Registers[tok::kPC] = 0x0010;
  monitor.Direct[0x81] = 0x09;
  platform::Pump().SetIdleHook([] { dorvik::Run().ProgramRunning = false; });  // the halt arrives
  Command("TRACE FROM 0");
  platform::Pump().SetIdleHook({});
  EXPECT_EQ(monitor.Calls, (std::vector<std::string>{"GO 0000 TILL BR1", "WRITE 2 0081 07"}));
  EXPECT_EQ(MainForm().CurrentPC, 0u) << "the PC field is back on the call";
}

// RESET CPU on the monitor prints the banner it sent as it restarted.
TEST_F(LinkedTargetTest, MonitorResetShowsTheBanner) {
  RecordingBackend monitor(true);
  Use(kTargetMonitor, monitor);
  monitor.ResetText = "OVIX-52 V4\rREADY";
  EXPECT_EQ(Output("RESET CPU"), "OVIX-52 V4\nREADY\n");
  EXPECT_EQ(Output("RESET CPU"), "") << "taken once";
}

// The monitor's GO names its break registers in the stop clause.
TEST_F(LinkedTargetTest, MonitorGoNamesItsBreakRegisters) {
  struct Case {
    std::vector<const char*> Before;
    const char* Go;
    std::vector<std::string> Calls;
  };
  const std::vector<Case> cases = {
      {{}, "GO TILL 1234", {"PLANT 0 1234", "GO 0000 TILL BR0"}},
      {{}, "GO", {"GO 0000 FOREVER"}},
      {{"BR0 = 10", "BR1 = 20"}, "GO", {"PLANT 0 0010", "PLANT 1 0020", "GO 0000 TILL BR"}},
      {{"BR1 = 20"}, "GO FROM 5", {"PLANT 1 0020", "GO 0005 TILL BR1"}},
      {{"BR0 = 10"}, "GO ARM 5 TILL BR0", {"PLANT 0 0010", "GO 0000 ARM 0005 TILL BR0"}},
      // Breakpoint 0 used but disabled: the clause still names BR1 whole.
      {{"BR0 = 10", "DISABLE_BR0", "BR1 = 20"}, "GO ARM 5 TILL BR1", {"PLANT 1 0020", "GO 0000 ARM 0005 TILL BR1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Go);
    SetUp();
    RecordingBackend monitor(true);
    Use(kTargetMonitor, monitor);
    for (const char* line : c.Before) {
      if (std::string_view(line) == "DISABLE_BR0")
        Breakpoints().BreakTable[0].Enabled = false;
      else
        Output(line);
    }
    monitor.Calls.clear();
    EXPECT_EQ(Output(c.Go), "EXECUTION BEGUN\n");
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(monitor.Calls, c.Calls);
    EXPECT_TRUE(dorvik::Run().ProgramRunning);
    EXPECT_EQ(Terminal().MonitorPrompt, "run>");
    EXPECT_FALSE(Breakpoints().ArmBreak.Used);
    TearDown();
  }
}

TEST_F(LinkedTargetTest, MonitorNamesAPlantedRegisterAgainOnTheNextGo) {
  RecordingBackend monitor(true);
  Use(kTargetMonitor, monitor);
  Output("BR0 = 10");
  Output("GO");
  Output("HALT");
  monitor.Calls.clear();
  Output("GO");
  EXPECT_EQ(monitor.Calls, std::vector<std::string>{"GO 0000 TILL BR0"});
}

TEST_F(LinkedTargetTest, MonitorBreakpointsMayNotOverlap) {
  RecordingBackend monitor(true);
  Use(kTargetMonitor, monitor);
  Output("BR1 = 1002");
  Output("BR0 = 1000");  // answered Yes: BR1 goes
  EXPECT_EQ(Breakpoints().BreakTable[0].Address, 0x1000);
  EXPECT_FALSE(Breakpoints().BreakTable[1].Used);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].Caption.substr(boxes_.Shown()[0].Caption.find('#')), "#32");
  Output("BR1 = 1003");  // three bytes apart: no question
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_TRUE(Breakpoints().BreakTable[1].Used);
  // The monitor's form: the keyword, a blank, "=", the location or RESET.
  EXPECT_EQ(Output("BR0"), "BR0 =1000\n");
  Breakpoints().BreakTable[1].Used = false;
  EXPECT_EQ(Output("BR1"), "BR1 =RESET \n");
}

// The ADuC's breaks are planted once per address and lifted in reverse order at the halt.
TEST_F(LinkedTargetTest, ChipBreaksArePlantedOnceAndLiftedInReverse) {
  RecordingBackend chip(false);
  Use(kTargetAduc, chip);
  Output("BR = 10");
  Output("BR = 10");
  Output("BR = 20");
  Output("GO");
  EXPECT_TRUE(dorvik::Run().ProgramRunning);
  Output("HALT");
  EXPECT_EQ(chip.Calls, (std::vector<std::string>{"PLANT 0 0010", "PLANT 2 0020", "GO 0000 ", "HALT",
                                                  "LIFT 0020", "LIFT 0010"}));
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  for (const tBreak& bp : Breakpoints().BreakTable) EXPECT_FALSE(bp.Planted || bp.Armed);
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
