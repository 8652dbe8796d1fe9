#include "assembler/controls.h"

#include <gtest/gtest.h>

#include "asm_test_util.h"

namespace dorvik::as {
namespace {

using testing::Assemble;
using testing::ReadText;
using testing::WriteText;

constexpr const char* kQuiet = "NOPRINT NOOBJECT";

TEST(Controls, NamesAreWholeWordsInAnyCase) {
  EXPECT_EQ(LookupControlName("PAGEWIDTH"), 47);
  EXPECT_EQ(LookupControlName("PW"), 47);
  EXPECT_EQ(LookupControlName("NOMOD51"), 41);
  EXPECT_EQ(LookupControlName("PAGEW"), 0);  // no prefix matching
  EXPECT_EQ(LookupControlName("LI"), LookupControlName("LIST"));
  auto a = Assemble("ctl_case", "$pagewidth(80) xref\n END\n", kQuiet);
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.C().PageWidth, 80);
  EXPECT_TRUE(Control(a.C(), ControlId::Xref).On);
}

struct RangeCase {
  const char* Control;
  bool Accepted;
};

class ControlRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(ControlRange, RejectsOutOfRangeParameters) {
  const auto& p = GetParam();
  auto a = Assemble("ctl_range", std::string("$") + p.Control + "\n NOP\n END\n", kQuiet);
  // A bad parameter on a source line stops pass 1 with error 3.
  EXPECT_EQ(a.Result.Fatal, !p.Accepted) << p.Control;
  EXPECT_EQ(a.Has(3), !p.Accepted) << p.Control;
  if (!p.Accepted) {
    EXPECT_NE(a.C().StatusText.find("DIZ-52 SEMANTIC ERROR"), std::string::npos);
    EXPECT_NE(a.C().StatusText.find("DIZ-52 TERMINATED"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, ControlRange,
    ::testing::Values(RangeCase{"PAGEWIDTH(80)", true}, RangeCase{"PAGEWIDTH(64)", true},
                      RangeCase{"PAGEWIDTH(63)", false}, RangeCase{"PAGEWIDTH(256)", false},
                      RangeCase{"PAGELENGTH(10)", true}, RangeCase{"PAGELENGTH(9)", false},
                      RangeCase{"MODE(53)", false}, RangeCase{"MODE(652)", true},
                      RangeCase{"MODE(44)", true}, RangeCase{"TABS(16)", true},
                      RangeCase{"TABS(0)", false}, RangeCase{"REGISTERBANK(0,3)", true},
                      RangeCase{"REGISTERBANK(4)", false}, RangeCase{"PAGEWIDTH", false},
                      RangeCase{"PAGEWIDTH(", false}, RangeCase{"DATE(TOOLONGDATE)", false},
                      RangeCase{"DATE(6.12.26)", true}, RangeCase{"XREF(1)", false}));

TEST(Controls, XrefForcesSymbols) {
  auto a = Assemble("ctl_xref", "$NOSYMBOLS XREF\n END\n", kQuiet);
  EXPECT_TRUE(Control(a.C(), ControlId::Symbols).On);
  auto b = Assemble("ctl_xref", "$XREF NOSYMBOLS\n END\n", kQuiet);
  EXPECT_TRUE(Control(b.C(), ControlId::Symbols).On);
  auto c = Assemble("ctl_xref", "$NOSYMBOLS\n END\n", kQuiet);
  EXPECT_FALSE(Control(c.C(), ControlId::Symbols).On);
}

TEST(Controls, InvocationLineFileNames) {
  auto a = Assemble("ctl_dup", " END\n", "PRINT(x.out) OBJECT(x.out)");
  EXPECT_TRUE(a.Result.Fatal);
  EXPECT_TRUE(a.Has(2));
  EXPECT_NE(a.C().StatusText.find("LISTING AND OBJECT"), std::string::npos) << a.C().StatusText;
  auto b = Assemble("ctl_dup", " END\n", "PRINT(CON) ERRORPRINT(CON) NOOBJECT");
  EXPECT_FALSE(b.Result.Fatal);
  auto c = Assemble("ctl_dup", " END\n", "PRINT NOPRINT");
  EXPECT_TRUE(c.Result.Fatal);  // the same control twice on the invocation line
  EXPECT_NE(c.C().StatusText.find("DUPLICATE USE OF THE SAME CONTROL"), std::string::npos);
}

TEST(Controls, SourceLinesCannotChangeInvocationDefaults) {
  auto a = Assemble("ctl_src", "$NOPRINT NOOBJECT NODEBUG\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_TRUE(Control(a.C(), ControlId::Print).On);
  EXPECT_TRUE(Control(a.C(), ControlId::Object).On);
  EXPECT_FALSE(a.Output(".lst").empty());
}

TEST(Controls, PrimaryControlAfterInstructionIsReportedOnceAndApplies) {
  auto a = Assemble("ctl_primary", " NOP\n$MODE(44)\nX EQU RTS\n END\n", kQuiet);
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{7});
  EXPECT_EQ(a.C().ErrorLog[0].Line, 2u);
  EXPECT_EQ(a.C().CpuMode, 44);
  EXPECT_EQ(a.Symbol("X").Value, 0xCDu);  // the later RTS row wins
}

TEST(Controls, RepeatedPrimaryControlIsMisplaced) {
  auto a = Assemble("ctl_repeat", "$MODE(52)\n$MODE(52)\n END\n", kQuiet);
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{9});
  EXPECT_EQ(a.C().ErrorLog[0].Line, 2u);
}

TEST(Controls, FileNames) {
  auto a = Assemble("ctl_names", "$ERRORPRINT(out/x.obj1)\n END\n", "NOPRINT");
  EXPECT_TRUE(a.Result.Fatal);
  EXPECT_NE(a.C().StatusText.find("ILLEGAL OR UNRECOGNIZABLE FILE NAME"), std::string::npos);
  for (const char* good : {"ERRORPRINT(err.txt)", "ERRORPRINT(sub/err.txt)", "ERRORPRINT(../e.x)",
                           "ERRORPRINT(C:E.LOG)", "ERRORPRINT(NUL)"}) {
    auto b = Assemble("ctl_names", std::string("$") + good + "\n END\n", "NOPRINT NOOBJECT");
    EXPECT_FALSE(b.Result.Fatal && b.C().StatusText.find("FILE NAME") != std::string::npos)
        << good << b.C().StatusText;
  }
  auto c = Assemble("ctl_names", " END\n", "NOPRINT NOOBJECT", "bad name.a51");
  EXPECT_TRUE(c.Result.Fatal);
  EXPECT_NE(c.C().StatusText.find("ILLEGAL OR UNRECOGNIZABLE SOURCE FILE NAME"), std::string::npos);
  auto d = Assemble("ctl_names", " END\n", "NOPRINT NOOBJECT", "prog.asm1");
  EXPECT_TRUE(d.Result.Fatal);
}

TEST(Controls, IncludeIsNotAllowedOnTheInvocationLine) {
  auto a = Assemble("ctl_inv_include", " END\n", "INCLUDE(x.inc)");
  EXPECT_TRUE(a.Result.Fatal);
  EXPECT_TRUE(a.Has(15));
  EXPECT_NE(a.C().StatusText.find("ILLEGAL USE OF CONTROL IN INVOCATION LINE"), std::string::npos);
}

TEST(Controls, InMemoryControlLinesCountAsInvocationLines) {
  std::vector<std::string> lines = {"$EJECT", " NOP", " END"};
  AsmContext c;
  const auto r = AssembleFile(c, "", &lines);
  EXPECT_TRUE(r.Fatal);
  EXPECT_NE(c.StatusText.find("BAD CONTROL"), std::string::npos);
}

TEST(Controls, EjectAndSaveRestore) {
  auto a = Assemble("ctl_eject", " NOP\n$EJECT\n$SAVE RESTORE\n NOP\n END\n", kQuiet);
  EXPECT_TRUE(a.Codes().empty());
  auto b = Assemble("ctl_eject", " END\n", "EJECT");
  EXPECT_TRUE(b.Result.Fatal);
  EXPECT_NE(b.C().StatusText.find("BAD CONTROL"), std::string::npos);
}

TEST(Controls, IncludesNestAndStopAtSixteenLevels) {
  auto dir = testing::ScratchDir("ctl_include_files");
  // inc1 includes inc2 ... inc17; each defines a label.
  for (int i = 1; i <= 17; ++i) {
    std::string text = "L" + std::to_string(i) + ": NOP\n";
    if (i < 17) text += "$INCLUDE(inc" + std::to_string(i + 1) + ".a51)\n";
    WriteText(dir / ("inc" + std::to_string(i) + ".a51"), text);
  }
  auto src = dir / "main.a51";
  WriteText(src, "$INCLUDE(inc1.a51)\n END\n");
  AsmContext c;
  const auto r = AssembleFileWithControls(c, src.string(), "NOPRINT NOOBJECT");
  EXPECT_FALSE(r.Fatal);
  ASSERT_EQ(c.ErrorLog.size(), 1u);
  EXPECT_EQ(c.ErrorLog[0].Code, 5);
  EXPECT_FALSE(FindAsmSymbol(c, "L17"));
  ASSERT_TRUE(FindAsmSymbol(c, "L16"));
  EXPECT_EQ(SymValue(c, c.SymbolCursor), 15u);
}

TEST(Controls, IncludeCycleIsAnErrorNotAHang) {
  auto dir = testing::ScratchDir("ctl_include_cycle");
  WriteText(dir / "a.inc", "$INCLUDE(b.inc)\n");
  WriteText(dir / "b.inc", "$INCLUDE(a.inc)\n");
  auto src = dir / "main.a51";
  WriteText(src, "$INCLUDE(a.inc)\n END\n");
  AsmContext c;
  const auto r = AssembleFileWithControls(c, src.string(), "NOPRINT NOOBJECT");
  EXPECT_TRUE(r.Fatal);
  EXPECT_NE(c.StatusText.find("DUPLICATE USE OF THE SAME FILE NAME FOR INCLUDE AND INCLUDE"),
            std::string::npos)
      << c.StatusText;
  auto self = Assemble("ctl_include_self", "$INCLUDE(t.a51)\n END\n", kQuiet);
  EXPECT_TRUE(self.Result.Fatal);
}

TEST(Controls, MissingIncludeFileStopsTheRun) {
  auto a = Assemble("ctl_include_missing", "$INCLUDE(nothere.inc)\n END\n", kQuiet);
  EXPECT_TRUE(a.Result.Fatal);
  EXPECT_NE(a.C().StatusText.find("I/O ERROR ON INCLUDE FILE"), std::string::npos);
}

TEST(Controls, IncludeLinesAreCountedAndListed) {
  auto dir = testing::ScratchDir("ctl_include_list");
  WriteText(dir / "defs.inc", "ONE EQU 1\nTWO EQU 2\n");
  auto src = dir / "main.a51";
  WriteText(src, "$INCLUDE(defs.inc)\n MOV A,#TWO\n END\n");
  AsmContext c;
  const auto r = AssembleFileWithControls(c, src.string(), "NOOBJECT");
  EXPECT_FALSE(r.Fatal);
  EXPECT_TRUE(c.ErrorLog.empty());
  EXPECT_EQ(r.LinesRead, 5u);
  const std::string lst = ReadText(dir / "main.lst");
  EXPECT_NE(lst.find("ONE EQU 1"), std::string::npos);
  EXPECT_NE(lst.find("7402"), std::string::npos);
}

TEST(Controls, SyntaxErrorsOnControlLines) {
  auto a = Assemble("ctl_syntax", "$ 123\n END\n", kQuiet);
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{100});
  auto b = Assemble("ctl_syntax", "$FOO\n END\n", kQuiet);
  EXPECT_TRUE(b.Result.Fatal);
  EXPECT_NE(b.C().StatusText.find("UNRECOGNIZABLE CONTROL"), std::string::npos);
  auto c = Assemble("ctl_syntax", "$XREF + SYMBOLS\n END\n", kQuiet);
  EXPECT_TRUE(c.Result.Fatal);
  EXPECT_NE(c.C().StatusText.find("ILLEGAL CHARACTER IN CONTROL LINE"), std::string::npos);
}

TEST(Controls, ModesKnowTheirPredefinedNames) {
  struct Case {
    const char* Mode;
    const char* Name;
    bool Known;
  };
  const Case cases[] = {{"51", "SCON", true},   {"44", "SCON", false}, {"52", "T2CON", true},
                        {"51", "T2CON", false}, {"252", "T2CON", true}, {"452", "RCAP2H", true},
                        {"552", "SBUF", true},  {"652", "TF2", true},  {"44", "SIUST", true},
                        {"52", "SIUST", false}, {"652", "RI", true},    {"44", "RI", false}};
  for (const auto& k : cases) {
    const std::string src = std::string("$MODE(") + k.Mode + ")\nX EQU " + k.Name + "\n END\n";
    auto a = Assemble("ctl_mode", src, kQuiet);
    EXPECT_EQ(!a.Has(114), k.Known) << k.Mode << " " << k.Name;
  }
  auto off = Assemble("ctl_mode", "$NOMODE\nX EQU P1\n END\n", kQuiet);
  EXPECT_TRUE(off.Has(114));
}

}  // namespace
}  // namespace dorvik::as
