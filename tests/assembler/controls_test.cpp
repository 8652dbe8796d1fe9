#include "assembler/controls.h"

#include <gtest/gtest.h>

#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

// Makes FOLDER the working folder while it lives.
class WorkingFolder {
 public:
  explicit WorkingFolder(const fs::path& folder) : before_(fs::current_path()) { fs::current_path(folder); }
  ~WorkingFolder() { fs::current_path(before_); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  fs::path before_;
};

TEST(Controls, NamesAreWholeWordsInAnyCase) {
  EXPECT_EQ(LookupControlName("PAGEWIDTH"), 47);
  EXPECT_EQ(LookupControlName("PW"), 47);
  EXPECT_EQ(LookupControlName("NOMOD51"), 41);
  EXPECT_EQ(LookupControlName("PAGEW"), 0);  // no prefix matching
  EXPECT_EQ(LookupControlName("LI"), LookupControlName("LIST"));
  auto a = Assemble("$pagewidth(80) xref\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.C().PageWidth, 80);
  EXPECT_TRUE(Control(a.C(), ControlId::Xref).On);
}

TEST(Controls, RejectsOutOfRangeParameters) {
  const struct {
    const char* Control;
    bool Accepted;
  } cases[] = {{"PAGEWIDTH(80)", true},     {"PAGEWIDTH(64)", true},   {"PAGEWIDTH(63)", false},
               {"PAGEWIDTH(256)", false},   {"PAGELENGTH(10)", true},  {"PAGELENGTH(9)", false},
               {"MODE(53)", false},         {"MODE(652)", true},       {"MODE(44)", true},
               {"TABS(16)", true},          {"TABS(0)", false},        {"REGISTERBANK(0,3)", true},
               {"REGISTERBANK(4)", false},  {"PAGEWIDTH", false},      {"PAGEWIDTH(", false},
               {"DATE(TOOLONGDATE)", false}, {"DATE(6.12.26)", true},  {"XREF(1)", false}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Control);
    auto a = Assemble(std::string("$") + k.Control + "\n NOP\n END\n");
    // A bad parameter on a source line stops pass 1 with error 3.
    EXPECT_EQ(a.Result.Fatal, !k.Accepted);
    EXPECT_EQ(a.Has(3), !k.Accepted);
    if (!k.Accepted) {
      EXPECT_NE(a.Status().find("DIZ-52 SEMANTIC ERROR"), std::string::npos);
      EXPECT_NE(a.Status().find("DIZ-52 TERMINATED"), std::string::npos);
    }
  }
}

TEST(Controls, XrefForcesSymbols) {
  for (const char* line : {"$NOSYMBOLS XREF\n END\n", "$XREF NOSYMBOLS\n END\n", "$NOSYMBOLS\n END\n"})
    EXPECT_EQ(Control(Assemble(line).C(), ControlId::Symbols).On, std::string(line).find("XREF") != std::string::npos)
        << line;
}

// Invocation lines that stop the run, with the text of the stop.
TEST(Controls, BadInvocationLinesAreFatal) {
  const struct {
    const char* Controls;
    const char* Text;
  } cases[] = {{"PRINT(x.out) OBJECT(x.out)", "DUPLICATE USE OF THE SAME FILE NAME FOR LISTING AND OBJECT"},
               {"PRINT NOPRINT", "DUPLICATE USE OF THE SAME CONTROL"},
               {"INCLUDE(x.inc)", "ILLEGAL USE OF CONTROL IN INVOCATION LINE"},
               {"EJECT", "BAD CONTROL"}};
  for (const auto& k : cases) {
    auto a = Assemble(" END\n", k.Controls);
    EXPECT_TRUE(a.Result.Fatal) << k.Controls;
    EXPECT_NE(a.Status().find(k.Text), std::string::npos) << a.Status();
  }
  EXPECT_TRUE(Assemble(" END\n", "PRINT(x.out) OBJECT(x.out)").Has(2));
  EXPECT_TRUE(Assemble(" END\n", "INCLUDE(x.inc)").Has(15));
  EXPECT_FALSE(Assemble(" END\n", "PRINT(CON) ERRORPRINT(CON) NOOBJECT").Result.Fatal);
  // Control lines of an in-memory run count as invocation lines.
  std::vector<std::string> lines = {"$EJECT", " NOP", " END"};
  AsmContext c;
  EXPECT_TRUE(AssembleFile(c, "", &lines).Fatal);
  EXPECT_NE(c.StatusText.find("BAD CONTROL"), std::string::npos);
}

TEST(Controls, SourceLinesCannotChangeInvocationDefaults) {
  auto a = Assemble("$NOPRINT NOOBJECT NODEBUG\n END\n", "");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_TRUE(Control(a.C(), ControlId::Print).On);
  EXPECT_TRUE(Control(a.C(), ControlId::Object).On);
  EXPECT_FALSE(a.Output(".lst").empty());
}

// Control errors found in pass 1 are reported once, on their line; a
// misplaced primary control still applies.
TEST(Controls, MisplacedPrimaryControlIsReportedOnce) {
  auto a = Assemble(" NOP\n$MODE(44)\nX EQU RTS\n END\n");
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{7});
  EXPECT_EQ(a.C().ErrorLog[0].Line, 2u);
  EXPECT_EQ(a.C().CpuMode, 44);
  EXPECT_EQ(a.Symbol("X").Value, 0xCDu);  // the later RTS row wins
  auto b = Assemble("$MODE(52)\n$MODE(52)\n END\n");
  EXPECT_EQ(b.Codes(), std::vector<uint16_t>{9});
  EXPECT_EQ(b.C().ErrorLog[0].Line, 2u);
  EXPECT_TRUE(Assemble(" NOP\n$EJECT\n$SAVE RESTORE\n NOP\n END\n").Codes().empty());
}

TEST(Controls, FileNames) {
  auto a = Assemble("$ERRORPRINT(out/x.obj1)\n END\n", "NOPRINT");
  EXPECT_TRUE(a.Result.Fatal);
  EXPECT_NE(a.Status().find("ILLEGAL OR UNRECOGNIZABLE FILE NAME"), std::string::npos);
  // Relative names resolve against the working folder: run from a scratch one.
  const fs::path home = ScratchDir("cwd");
  fs::create_directories(home / "work" / "sub");
  {
    const WorkingFolder in(home / "work");
    for (const char* good : {"ERRORPRINT(err.txt)", "ERRORPRINT(sub/err.txt)", "ERRORPRINT(../e.x)",
                             "ERRORPRINT(C:E.LOG)", "ERRORPRINT(NUL)"}) {
      auto b = Assemble(std::string("$") + good + "\n END\n");
      EXPECT_FALSE(b.Result.Fatal && b.Status().find("FILE NAME") != std::string::npos) << good << b.Status();
    }
  }
  for (const char* written : {"work/err.txt", "work/sub/err.txt", "e.x", "work/C:E.LOG"})
    EXPECT_TRUE(fs::exists(home / written)) << written;
  auto c = Assemble(" END\n", kQuiet, "bad name.a51");
  EXPECT_TRUE(c.Result.Fatal);
  EXPECT_NE(c.Status().find("ILLEGAL OR UNRECOGNIZABLE SOURCE FILE NAME"), std::string::npos);
  EXPECT_TRUE(Assemble(" END\n", kQuiet, "prog.asm1").Result.Fatal);
}

TEST(Controls, IncludesNestAndStopAtSixteenLevels) {
  const fs::path dir = ScratchDir("include");
  // inc1 includes inc2 ... inc17; each defines a label.
  for (int i = 1; i <= 17; ++i) {
    std::string text = "L" + std::to_string(i) + ": NOP\n";
    if (i < 17) text += "$INCLUDE(inc" + std::to_string(i + 1) + ".a51)\n";
    WriteFile(dir / ("inc" + std::to_string(i) + ".a51"), text);
  }
  WriteFile(dir / "main.a51", "$INCLUDE(inc1.a51)\n END\n");
  auto a = AssembleAt(dir / "main.a51", kQuiet);
  EXPECT_FALSE(a.Result.Fatal);
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{5});
  EXPECT_EQ(a.Symbol("L17").Kind, 255);
  EXPECT_EQ(a.Symbol("L16").Value, 15u);
}

TEST(Controls, IncludeCycleOrMissingFileStopsTheRun) {
  const fs::path dir = ScratchDir("cycle");
  WriteFile(dir / "a.inc", "$INCLUDE(b.inc)\n");
  WriteFile(dir / "b.inc", "$INCLUDE(a.inc)\n");
  WriteFile(dir / "main.a51", "$INCLUDE(a.inc)\n END\n");
  auto a = AssembleAt(dir / "main.a51", kQuiet);
  EXPECT_TRUE(a.Result.Fatal);
  EXPECT_NE(a.Status().find("DUPLICATE USE OF THE SAME FILE NAME FOR INCLUDE AND INCLUDE"), std::string::npos)
      << a.Status();
  EXPECT_TRUE(Assemble("$INCLUDE(t.a51)\n END\n").Result.Fatal);
  auto b = Assemble("$INCLUDE(nothere.inc)\n END\n");
  EXPECT_TRUE(b.Result.Fatal);
  EXPECT_NE(b.Status().find("I/O ERROR ON INCLUDE FILE"), std::string::npos);
}

TEST(Controls, SyntaxErrorsOnControlLines) {
  EXPECT_EQ(Assemble("$ 123\n END\n").Codes(), std::vector<uint16_t>{100});
  for (const auto& [line, text] : {std::pair{"$FOO\n END\n", "UNRECOGNIZABLE CONTROL"},
                                   std::pair{"$XREF + SYMBOLS\n END\n", "ILLEGAL CHARACTER IN CONTROL LINE"}}) {
    auto a = Assemble(line);
    EXPECT_TRUE(a.Result.Fatal) << line;
    EXPECT_NE(a.Status().find(text), std::string::npos) << a.Status();
  }
}

// Modes 252/452/552/652 know the 8052 names as mode 52 does; whole names only.
TEST(Controls, ModesKnowTheirPredefinedNames) {
  const struct {
    const char* Mode;
    const char* Name;
    bool Known;
  } cases[] = {{"51", "SCON", true},   {"44", "SCON", false}, {"52", "T2CON", true},
               {"51", "T2CON", false}, {"252", "T2CON", true}, {"452", "RCAP2H", true},
               {"552", "SBUF", true},  {"652", "TF2", true},  {"44", "SIUST", true},
               {"52", "SIUST", false}, {"652", "RI", true},    {"44", "RI", false}};
  for (const auto& k : cases) {
    auto a = Assemble(std::string("$MODE(") + k.Mode + ")\nX EQU " + k.Name + "\n END\n");
    EXPECT_EQ(!a.Has(114), k.Known) << k.Mode << " " << k.Name;
  }
  EXPECT_TRUE(Assemble("$NOMODE\nX EQU P1\n END\n").Has(114));
}

}  // namespace
}  // namespace dorvik::as
