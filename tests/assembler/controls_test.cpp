#include "assembler/controls.h"

#include <gtest/gtest.h>

#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

TEST(Controls, XrefForcesSymbols) {
  for (const char* line : {"$NOSYMBOLS XREF\n END\n", "$XREF NOSYMBOLS\n END\n", "$NOSYMBOLS\n END\n"})
    EXPECT_EQ(Control(Assemble(line).C(), ControlId::Symbols).On, std::string(line).find("XREF") != std::string::npos)
        << line;
}

TEST(Controls, SourceLinesCannotChangeInvocationDefaults) {
  auto a = Assemble("$NOPRINT NOOBJECT NODEBUG\n END\n", "");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_TRUE(Control(a.C(), ControlId::Print).On);
  EXPECT_TRUE(Control(a.C(), ControlId::Object).On);
  EXPECT_FALSE(a.Output(".lst").empty());
}

// Any Linux file name is accepted; the derived outputs replace the last
// extension only. A name that names no file (empty, ".", "..", a folder) or
// holds a control character is refused.
TEST(Controls, FileNames) {
  for (const char* source : {"lab_1.0.asm", "x.fixed.a51", "prog.asm1", "with blank.a51", "noext"}) {
    const std::string base = fs::path(source).has_extension() ? fs::path(source).stem().string() : source;
    auto a = Assemble(" NOP\n END\n", "", source);
    EXPECT_FALSE(a.Result.Fatal) << source << a.Status();
    for (const char* ext : {".lst", ".obj", ".hex"})
      EXPECT_TRUE(fs::exists(a.Dir / (base + ext))) << source << ext;
  }
  const fs::path dir = ScratchDir("names");
  for (const std::string good : {"err.txt", "sub.d/e.r.r.log", "C:E.LOG", "NUL"}) {
    if (good.find('/') != std::string::npos) fs::create_directories(dir / "sub.d");
    const std::string name = good == "NUL" ? good : (dir / good).string();
    auto b = Assemble("$ERRORPRINT(" + name + ")\n END\n");
    EXPECT_FALSE(b.Result.Fatal) << good << b.Status();
  }
  for (const std::string bad : {"out/", "out/..", "a\tb"}) {
    auto c = Assemble("$ERRORPRINT(" + (dir / bad).string() + ")\n END\n", "NOPRINT");
    EXPECT_TRUE(c.Result.Fatal) << bad;
    EXPECT_NE(c.Status().find("ILLEGAL OR UNRECOGNIZABLE FILE NAME"), std::string::npos) << bad;
  }
  auto d = AssembleAt(dir / "folder/", kQuiet);
  EXPECT_TRUE(d.Result.Fatal);
  EXPECT_NE(d.Status().find("ILLEGAL OR UNRECOGNIZABLE SOURCE FILE NAME"), std::string::npos);
}

// An include name that does not exist as written finds the file whose name
// differs only in letter case; the devices read as empty files.
TEST(Controls, IncludeFindsANameInAnotherCaseAndReadsDevicesAsEmpty) {
  const fs::path dir = ScratchDir("case");
  WriteFile(dir / "Ports.inc", "LED EQU 90H\n");
  WriteFile(dir / "main.a51",
            "$INCLUDE(PORTS.INC)\n$INCLUDE(nul)\n$INCLUDE(CON)\n$INCLUDE(PRN:)\n"
            " SETB LED\n END\n");
  auto a = AssembleAt(dir / "main.a51", kQuiet);
  EXPECT_FALSE(a.Result.Fatal) << a.Status();
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("LED").Value, 0x90u);
  WriteFile(dir / "other.a51", "$INCLUDE(PORTS.H)\n END\n");
  auto b = AssembleAt(dir / "other.a51", kQuiet);
  EXPECT_TRUE(b.Result.Fatal);
  EXPECT_NE(b.Status().find("I/O ERROR ON INCLUDE FILE"), std::string::npos);
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
  // Control lines of an in-memory run count as invocation lines.
  std::vector<std::string> lines = {"$EJECT", " NOP", " END"};
  AsmContext c;
  EXPECT_TRUE(AssembleFile(c, "", &lines).Fatal);
  EXPECT_NE(c.StatusText.find("BAD CONTROL"), std::string::npos);
}

}  // namespace
}  // namespace dorvik::as
