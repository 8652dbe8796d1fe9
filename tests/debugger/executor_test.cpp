#include "debugger/executor.h"

#include "base/mainform.h"
#include "debugger/breakpoints.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/symbols.h"
#include "tests/support/console_fixture.h"

namespace dorvik::testing {
namespace {

using ExecutorTest = ConsoleTest;

TEST_F(ExecutorTest, TheTableHasItsRowsInOrder) {
  const auto& table = CommandTable();
  EXPECT_EQ(table.front().Token, tok::kADDRESS);
  EXPECT_EQ(table[4].Token, tok::kBR);
  EXPECT_EQ(table[33].Token, tok::kR0);
  EXPECT_EQ(table[41].Token, tok::kBIT) << "the second BIT row, never reached";
  EXPECT_EQ(table.back().Token, tok::kXWORD);
}

TEST_F(ExecutorTest, LinesNoHandlerTakesAreSyntaxErrorsUnlessTheyReportedTheirOwn) {
  Command("LOAD");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
  Command("NOSUCHNAME");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSymbolNotKnown}) << "an unknown symbol is its error alone";
  Command("");
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(Messages().ErrorFlag) << "each command starts clean";
}

TEST_F(ExecutorTest, TheExecutorIsNotReentered) {
  Executor().Running = true;
  SetScanLine("LOAD\r", false);
  GetToken();
  EXPECT_FALSE(ExecuteCommand());
  EXPECT_TRUE(Errors().empty());
  Executor().Running = false;
}

}  // namespace
}  // namespace dorvik::testing

namespace dorvik::testing {
namespace {

using CommandsTest = ConsoleTest;

TEST_F(CommandsTest, BaseShowsAndSetsTheDisplayRadix) {
  EXPECT_EQ(Command("BASE"), "BASE =HEX \nhlt>");
  Command("BASE = BINARY");
  EXPECT_EQ(Formatting().DisplayRadix, 2);
  EXPECT_EQ(Command("BASE"), "BASE =BINARY \nhlt>") << "the keyword BASE, a blank, '=', BINARY and a blank";
  Command("BASE = DEC");
  EXPECT_EQ(Formatting().DisplayRadix, 10);
  Command("BASE = OCTAL");
  EXPECT_EQ(Command("BASE"), "BASE =OCTAL \nhlt>");
  Command("BASE = HEX");
  EXPECT_EQ(Formatting().DisplayRadix, 16);
  // Numbers are typed in the display radix: 10 is sixteen here.
  Command("BASE = 10");
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Formatting().DisplayRadix, 16);
  Command("BASE = 0AH");
  EXPECT_EQ(Formatting().DisplayRadix, 10);
}

TEST_F(CommandsTest, InvalidBasesAndForms) {
  Command("BASE = 12");
  EXPECT_EQ(Errors(), std::vector<int>{err::kInvalidBase});
  EXPECT_EQ(Formatting().DisplayRadix, 16) << "the radix stays";
  Command("BASE HEX");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError}) << "a missing '='";
  Command("BASE = CPU");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
}

TEST_F(CommandsTest, CpuShowsAndSelectsTheProcessor) {
  EXPECT_EQ(Command("CPU"), "CPU =51\nhlt>");
  Command("CPU = 52");
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(CpuDb().CpuName, "52");
  EXPECT_EQ(Command("CPU"), "CPU =52\nhlt>");
  Command("CPU = NOSUCHCPU");
  EXPECT_FALSE(Errors().empty());
  EXPECT_EQ(CpuDb().CpuName, "52") << "the old name is put back";
  Command("CPU = 52 1");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
}

TEST_F(CommandsTest, EnableAndDisableSwitchTheOptions) {
  Command("DISABLE SYMBOLS");
  EXPECT_FALSE(SymbolLookup().ShowSymbols);
  Command("ENABLE SY");
  EXPECT_TRUE(SymbolLookup().ShowSymbols);
  Command("DISABLE LINES");
  EXPECT_FALSE(SymbolLookup().ShowLines);
  Command("DISABLE TRACE");
  EXPECT_FALSE(Executor().TraceOption);
  Command("DISABLE ASCII");
  EXPECT_FALSE(Executor().ShowAscii);
  Command("ENABLE ASCII");
  EXPECT_TRUE(Executor().ShowAscii);
  Command("ENABLE ASCII 1");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
  Command("ENABLE CPU");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
}

TEST_F(CommandsTest, EnableBreakpointsTakesUsedAndDisableClears) {
  auto& table = Breakpoints().BreakTable;
  table[1].Used = true;
  Command("ENABLE BR0");
  EXPECT_FALSE(table[0].Enabled) << "breakpoint 0 is not set: Enabled takes Used";
  Command("ENABLE BR1");
  EXPECT_TRUE(table[1].Enabled);
  Command("DISABLE BR1");
  EXPECT_FALSE(table[1].Enabled);
  table[5].Used = true;
  Command("ENABLE BR");
  EXPECT_TRUE(table[1].Enabled);
  EXPECT_TRUE(table[5].Enabled);
  EXPECT_FALSE(table[2].Enabled);
  Command("DISABLE BR");
  EXPECT_FALSE(table[1].Enabled);
  EXPECT_FALSE(table[5].Enabled);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CommandsTest, DisableBreakpointsOnTheMonitorSendsThroughItsClosedLine) {
  dorvik::Run().TargetKind = kTargetMonitor;
  Command("DISABLE BR0");
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetDeviceNotResponding});
  Command("CAUSE");
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetDeviceNotResponding});
}

TEST_F(CommandsTest, CauseOnTheSimulatorDoesNothing) {
  EXPECT_EQ(Command("CAUSE"), "hlt>");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CommandsTest, RegistersOfTheCurrentBank) {
  Images().IDataImage[0x13] = 0x5A;
  Images().SfrImage[sfr::PSW] = 0x10;  // bank 2
  EXPECT_EQ(Command("R3"), "R3 =5A\nhlt>") << "R3 of bank 2 is IDATA 13H";
  Command("R4 = 12");
  EXPECT_EQ(Images().IDataImage[0x14], 0x12);
  Command("R4 = ");
  EXPECT_FALSE(Errors().empty());
}

TEST_F(CommandsTest, RbsChangesTheTargetsBankBits) {
  EXPECT_EQ(Command("RBS"), "RBS =0\nhlt>");
  Images().SfrImage[sfr::PSW] = 0x81;  // CY and P stay
  Command("RBS = 2");
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Images().SfrImage[sfr::PSW] & 0x18, 0x10);
  EXPECT_EQ(Images().SfrImage[sfr::PSW] & 0x80, 0x80);
  EXPECT_EQ(Command("RBS"), "RBS =2\nhlt>");
  Command("R3 = 77");
  EXPECT_EQ(Images().IDataImage[0x13], 0x77);
}

TEST_F(CommandsTest, RbsAboveThreeIsRefused) {
  Command("RBS = 4");
  EXPECT_EQ(Errors(), std::vector<int>{err::kNumberTooLarge});
  EXPECT_EQ(Images().SfrImage[sfr::PSW] & 0x18, 0);
}

TEST_F(CommandsTest, RbsOnTheAducKeepsTheRegisterShadow) {
  dorvik::Run().TargetKind = kTargetAduc;
  Command("RBS = 3");
  EXPECT_EQ(Target().TargetRegs.PSW & 0x18, 0x18);
}

TEST_F(CommandsTest, ResetForms) {
  Command("RESET");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
  Command("RESET CHAR");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError}) << "only the abbreviation CH";
  Command("RESET QUELM NOINIT");
  EXPECT_TRUE(Errors().empty());
  Command("RESET QUELM");
  EXPECT_TRUE(Errors().empty());
  Command("RESET QUELM OTHER");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
  Command("RESET CPU");
  for (int e : Errors()) EXPECT_NE(e, err::kSyntaxError);
  Command("RESET CH");
  for (int e : Errors()) EXPECT_NE(e, err::kSyntaxError);
}

TEST_F(CommandsTest, GrDefineAndSend) {
  EXPECT_EQ(Command("GR"), "hlt>");
  Command("GR 1");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
  EXPECT_EQ(Command("DEFINE"), "DEFINECMD\nhlt>");
  EXPECT_EQ(Command("SEND ANYTHING AT ALL"), "hlt>");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CommandsTest, TargetCommandsWaitForAStoppedProgram) {
  dorvik::Run().ProgramRunning = true;
  Command("CPU");
  EXPECT_EQ(Errors(), std::vector<int>{err::kCommandFormNotAllowedDuring});
  Command("R3");
  EXPECT_EQ(Errors(), std::vector<int>{err::kCommandFormNotAllowedDuring});
  EXPECT_EQ(Command("BASE"), "BASE =HEX \nrun>") << "BASE needs no stopped target; the prompt is run>";
  EXPECT_TRUE(dorvik::Run().TargetBusy) << "TargetBusy stays set while the program runs";
  dorvik::Run().ProgramRunning = false;
}

TEST_F(CommandsTest, ThePromptFollowsOnAFreshLine) {
  TerminalState& t = Terminal();
  t.Lines = {"hlt>", "REPLY"};  // a short reply without CR
  t.TerminalEcho = true;
  SetScanLine("GR\r", false);
  GetToken();
  ExecuteCommand();
  EXPECT_EQ(TerminalText(), "hlt>\nREPLY\nhlt>");
  EXPECT_FALSE(t.TerminalEcho) << "echo ends with the command";
}

TEST_F(CommandsTest, ACommandLeavesTheExecutorIdle) {
  Command("LOAD");
  EXPECT_FALSE(Executor().Running);
  EXPECT_FALSE(dorvik::Run().TargetBusy);
  EXPECT_EQ(MainForm().BusyCount, 0);
}

}  // namespace
}  // namespace dorvik::testing
