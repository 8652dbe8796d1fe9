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

// Control lines of an in-memory run count as invocation lines.
TEST(Controls, InMemoryControlLinesAreInvocationLines) {
  std::vector<std::string> lines = {"$EJECT", " NOP", " END"};
  AsmContext c;
  EXPECT_TRUE(AssembleFile(c, "", &lines).Fatal);
  EXPECT_NE(c.StatusText.find("BAD CONTROL"), std::string::npos);
}

}  // namespace
}  // namespace dorvik::as
