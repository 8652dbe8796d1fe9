// The executor's own rules; each command's console text is in the golden
// transcripts of tests/console/transcripts.

#include "debugger/executor.h"

#include "base/mainform.h"
#include "debugger/breakpoints.h"
#include "tests/support/console_fixture.h"

namespace dorvik::testing {
namespace {

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
