#include "assembler/driver.h"

#include <gtest/gtest.h>

#include <sstream>

#include "assembler/controls.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

TEST(Driver, MissingSourceStopsWithAnIOError) {
  AsmContext c;
  EXPECT_TRUE(AssembleFile(c, "/nonexistent/dir/none.a51", nullptr).Fatal);
  // Before the first pass the message has no line number.
  EXPECT_NE(c.StatusText.find("*** ERROR #1, DIZ-52 I/O ERROR ON SOURCE FILE (\"/NONEXISTENT"), std::string::npos)
      << c.StatusText;
  EXPECT_NE(c.StatusText.find("DIZ-52 TERMINATED"), std::string::npos);
}

// A context reused for another source starts clean.
TEST(Driver, RunsAreIndependent) {
  AsmContext c;
  const fs::path dir = ScratchDir("reuse");
  WriteFile(dir / "one.a51", "A1: NOP\n USING 3\n END\n");
  WriteFile(dir / "two.a51", " NOP\n END\n");
  AssembleFileWithControls(c, (dir / "one.a51").string(), kQuiet);
  AssembleFileWithControls(c, (dir / "two.a51").string(), kQuiet);
  EXPECT_FALSE(FindAsmSymbol(c, "A1"));
  EXPECT_FALSE(c.RegisterBanks[3]);
  EXPECT_TRUE(c.ErrorLog.empty());
}

// Ctrl+C: the statement loop sees the request and makes the fatal stop; every
// output is closed and the status text says why.
TEST(Driver, InterruptDuringTheRunStopsIt) {
  const fs::path dir = ScratchDir("ctrlc");
  std::string src;
  for (int i = 0; i < 2000; ++i) src += " NOP\n";
  WriteFile(dir / "t.a51", src + " END\n");
  SteppingClock clock;
  platform::SetClock(&clock);
  AsmContext c;
  // The interrupt arrives while the source is read (at the first progress echo).
  c.ProgressOut = [](const std::string&) { RequestAsmInterrupt(); };
  const auto r = AssembleFileWithControls(c, (dir / "t.a51").string(), "NOOBJECT");
  EXPECT_TRUE(r.Fatal);
  EXPECT_NE(c.StatusText.find("*** Ctrl C ***"), std::string::npos);
  EXPECT_FALSE(c.out.Files.ListOpen || c.out.Files.ObjectOpen || c.out.Files.HexOpen ||
               c.out.Files.ErrorPrintOpen);
  EXPECT_GT(r.LinesRead, 1u);
  EXPECT_LT(r.LinesRead, 2001u);
  c.ProgressOut = nullptr;
  const auto again = AssembleFileWithControls(c, (dir / "t.a51").string(), kQuiet);
  platform::SetClock(nullptr);
  EXPECT_FALSE(again.Fatal);  // the next run is not affected
  EXPECT_EQ(again.ErrorCount, 0u);
}

TEST(Driver, InterruptWhileTheLastLineIsReadStopsBeforePassTwo) {
  // 64 lines: the progress echo runs at the last one, where the interrupt arrives.
  const fs::path dir = ScratchDir("ctrlc_last");
  std::string src;
  for (int i = 0; i < 63; ++i) src += " NOP\n";
  WriteFile(dir / "t.a51", src + " END\n");
  SteppingClock clock;
  clock.Step = 1000;
  platform::SetClock(&clock);
  AsmContext c;
  c.ProgressOut = [&c](const std::string&) {
    if (c.AsmPass == 1 && c.LinesRead == 64) RequestAsmInterrupt();
  };
  const auto r = AssembleFileWithControls(c, (dir / "t.a51").string(), "NOOBJECT");
  platform::SetClock(nullptr);
  EXPECT_TRUE(r.Fatal);
  EXPECT_EQ(r.LinesRead, 64u);              // stopped at the end of pass 1
  EXPECT_FALSE(fs::exists(dir / "t.lst"));  // pass 2 never began
}

TEST(Driver, ContextCanBeSavedAndRestoredAroundANestedRun) {
  const fs::path dir = ScratchDir("nested");
  WriteFile(dir / "t.a51", "OUTER EQU 7\n END\n");
  AsmContext& c = Asm();
  ResetAsm();
  AssembleFileWithControls(c, (dir / "t.a51").string(), kQuiet);
  const AsmContext saved = c;
  std::vector<std::string> lines = {" CSEG AT 0", " NOP", " END"};
  AssembleFile(c, "", &lines);
  EXPECT_FALSE(FindAsmSymbol(c, "OUTER"));
  c = saved;
  ASSERT_TRUE(FindAsmSymbol(c, "OUTER"));
  EXPECT_EQ(SymValue(c, c.sym.SymbolCursor), 7u);
  ResetAsm();
}

}  // namespace
}  // namespace dorvik::as
