#include "assembler/driver.h"

#include <gtest/gtest.h>

#include <sstream>

#include "asm_test_util.h"
#include "assembler/controls.h"
#include "platform/clock.h"

namespace dorvik::as {
namespace {

using testing::Assemble;
using testing::ReadText;

TEST(Driver, InMemoryModeReturnsAddressAndBytes) {
  std::vector<std::string> lines = {" CSEG AT 4096", " LJMP 1234H", " END"};
  AsmContext c;
  const auto r = AssembleFile(c, "", &lines);
  EXPECT_FALSE(r.Fatal);
  EXPECT_EQ(r.ErrorCount, 0u);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3].substr(0, 4), "1000");
  EXPECT_NE(lines[3].find("021234"), std::string::npos) << lines[3];
  EXPECT_FALSE(c.Out.ListOpen);
  EXPECT_FALSE(c.Out.ObjectOpen);
}

TEST(Driver, InMemoryModeReportsErrors) {
  std::vector<std::string> lines = {" CSEG AT 0", " MOV @R2,A", " END"};
  AsmContext c;
  const auto r = AssembleFile(c, "", &lines);
  EXPECT_FALSE(r.Fatal);
  EXPECT_EQ(r.ErrorCount, 1u);
  ASSERT_EQ(c.ErrorLog.size(), 1u);
  EXPECT_EQ(c.ErrorLog[0].Code, 100);
}

TEST(Driver, MissingSourceStopsWithAnIOError) {
  AsmContext c;
  const auto r = AssembleFile(c, "/nonexistent/dir/none.a51", nullptr);
  EXPECT_TRUE(r.Fatal);
  // Before the first pass the message has no line number.
  EXPECT_NE(c.StatusText.find("*** ERROR #1, DIZ-52 I/O ERROR ON SOURCE FILE (\"/NONEXISTENT"),
            std::string::npos)
      << c.StatusText;
  EXPECT_NE(c.StatusText.find("DIZ-52 TERMINATED"), std::string::npos);
}

TEST(Driver, OutputNamesFollowTheSourceAndItsCase) {
  auto a = Assemble("drv_names", " NOP\n END\n", "", "Blink.a51");
  EXPECT_FALSE(a.Result.Fatal);
  EXPECT_TRUE(std::filesystem::exists(a.Dir / "Blink.lst"));
  EXPECT_TRUE(std::filesystem::exists(a.Dir / "Blink.obj"));
  EXPECT_TRUE(std::filesystem::exists(a.Dir / "Blink.hex"));
  auto b = Assemble("drv_names_up", " NOP\n END\n", "", "BLINK.A51");
  EXPECT_TRUE(std::filesystem::exists(b.Dir / "BLINK.LST"));
  EXPECT_EQ(Control(b.C(), ControlId::Title).Value, "BLINK");
}

TEST(Driver, ListingToConsoleKeepsStatusQuiet) {
  std::ostringstream console;
  auto a = testing::Assembly{};
  a.Dir = testing::ScratchDir("drv_con");
  a.Source = a.Dir / "t.a51";
  testing::WriteText(a.Source, " NOP\n END\n");
  a.C().ConsoleOut = &console;
  a.Result = AssembleFileWithControls(a.C(), a.Source.string(), "PRINT(CON) NOOBJECT");
  EXPECT_FALSE(a.Result.Fatal);
  EXPECT_EQ(a.C().StatusText.find("Pass 2"), std::string::npos) << a.C().StatusText;
  EXPECT_EQ(a.C().StatusText.find("ASSEMBLY COMPLETE"), std::string::npos);
  EXPECT_NE(console.str().find("LOC  OBJ"), std::string::npos);
}

TEST(Driver, RunsAreIndependentAndReproducible) {
  const std::string src = "$XREF\n NAME M\nL: SJMP L\nX EQU 5\n DB 'abc'\n END\n";
  auto a = Assemble("drv_repro", src);
  const std::string lst1 = a.Output(".lst"), obj1 = a.Output(".obj");
  auto b = Assemble("drv_repro", src);
  EXPECT_EQ(lst1, b.Output(".lst"));
  EXPECT_EQ(obj1, b.Output(".obj"));
  // A context reused for another source starts clean.
  AsmContext c;
  auto dir = testing::ScratchDir("drv_reuse");
  testing::WriteText(dir / "one.a51", "A1: NOP\n USING 3\n END\n");
  testing::WriteText(dir / "two.a51", " NOP\n END\n");
  AssembleFileWithControls(c, (dir / "one.a51").string(), "NOPRINT NOOBJECT");
  AssembleFileWithControls(c, (dir / "two.a51").string(), "NOPRINT NOOBJECT");
  EXPECT_FALSE(FindAsmSymbol(c, "A1"));
  EXPECT_FALSE(c.RegisterBanks[3]);
  EXPECT_TRUE(c.ErrorLog.empty());
}

// A clock that moves Step ms each time it is read.
class SteppingClock : public platform::FakeClock {
 public:
  uint32_t TickCount() override {
    Advance(Step);
    return FakeClock::TickCount();
  }
  uint32_t Step = 100;
};

TEST(Driver, InterruptDuringTheRunStopsIt) {
  auto dir = testing::ScratchDir("drv_ctrlc");
  std::string src;
  for (int i = 0; i < 2000; ++i) src += " NOP\n";
  testing::WriteText(dir / "t.a51", src + " END\n");
  SteppingClock clock;
  platform::SetClock(&clock);
  AsmContext c;
  // The interrupt arrives while the source is read (at the first progress echo).
  c.ProgressOut = [](const std::string&) { RequestAsmInterrupt(); };
  const auto r = AssembleFileWithControls(c, (dir / "t.a51").string(), "NOPRINT NOOBJECT");
  EXPECT_TRUE(r.Fatal);
  EXPECT_NE(c.StatusText.find("*** Ctrl C ***"), std::string::npos);
  EXPECT_GT(r.LinesRead, 1u);
  EXPECT_LT(r.LinesRead, 2001u);
  c.ProgressOut = nullptr;
  const auto again = AssembleFileWithControls(c, (dir / "t.a51").string(), "NOPRINT NOOBJECT");
  platform::SetClock(nullptr);
  EXPECT_FALSE(again.Fatal);
  EXPECT_EQ(again.ErrorCount, 0u);
}

TEST(Driver, InterruptWhileTheLastLineIsReadStopsBeforePassTwo) {
  // 64 lines: the progress echo runs at the last one, where the interrupt arrives.
  auto dir = testing::ScratchDir("drv_ctrlc_last");
  std::string src;
  for (int i = 0; i < 63; ++i) src += " NOP\n";
  testing::WriteText(dir / "t.a51", src + " END\n");
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
  EXPECT_EQ(r.LinesRead, 64u);  // stopped at the end of pass 1
  EXPECT_FALSE(std::filesystem::exists(dir / "t.lst"));  // pass 2 never began
}

TEST(Driver, ContextCanBeSavedAndRestoredAroundANestedRun) {
  auto dir = testing::ScratchDir("drv_nested");
  testing::WriteText(dir / "t.a51", "OUTER EQU 7\n END\n");
  AsmContext& c = Asm();
  ResetAsm();
  AssembleFileWithControls(c, (dir / "t.a51").string(), "NOPRINT NOOBJECT");
  const AsmContext saved = c;
  std::vector<std::string> lines = {" CSEG AT 0", " NOP", " END"};
  AssembleFile(c, "", &lines);
  EXPECT_FALSE(FindAsmSymbol(c, "OUTER"));
  c = saved;
  ASSERT_TRUE(FindAsmSymbol(c, "OUTER"));
  EXPECT_EQ(SymValue(c, c.SymbolCursor), 7u);
  ResetAsm();
}

TEST(Driver, LinesAfterEndInIncludedFileEndTheIncludingFile) {
  auto dir = testing::ScratchDir("drv_end_inc");
  testing::WriteText(dir / "part.inc", " NOP\n END\n");
  testing::WriteText(dir / "t.a51", "$INCLUDE(part.inc)\n NOP\n END\n");
  AsmContext c;
  AssembleFileWithControls(c, (dir / "t.a51").string(), "NOPRINT NOOBJECT");
  ASSERT_EQ(c.ErrorLog.size(), 2u);
  EXPECT_EQ(c.ErrorLog[0].Code, 109);
  EXPECT_EQ(c.ErrorLog[1].Code, 109);
}

}  // namespace
}  // namespace dorvik::as
