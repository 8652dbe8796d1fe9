#include "assembler/statements.h"

#include <gtest/gtest.h>

#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

TEST(Statements, ModuleNameDefaultsToTheSourceBaseName) {
  EXPECT_EQ(Assemble(" NOP\n END\n", kQuiet, "blink.a51").C().ModuleName, "BLINK");
  auto b = Assemble(" NAME MYMOD\n NOP\n END\n", kQuiet, "blink.a51");
  EXPECT_EQ(b.C().ModuleName, "MYMOD");
  EXPECT_EQ(b.Symbol("MYMOD").Kind, kind::kModuleName);
}

TEST(Statements, ExternalCountStopsAt255) {
  std::string src;
  for (int i = 0; i < 255; ++i) src += " EXTRN CODE (E" + std::to_string(i) + ")\n";
  src += " END\n";
  EXPECT_FALSE(Assemble(src).Has(132));
  EXPECT_TRUE(Assemble(" EXTRN CODE (EXTRA)\n" + src).Has(132));
}

TEST(SymbolArea, FullAreaStopsTheRunWithError903) {
  // 32-character labels take 42 bytes each: about 1560 fill the area.
  std::string src;
  for (int i = 0; i < 2000; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "L%031d", i);
    src += std::string(name) + ": NOP\n";
  }
  auto a = Assemble(src + " END\n", "");
  EXPECT_TRUE(a.Result.Fatal);
  EXPECT_TRUE(a.Has(903));
  EXPECT_LE(a.C().sym.SymbolEnd, kSymbolAreaSize);
  EXPECT_NE(a.Status().find("DIZ-52 INTERNAL ERROR (SYMBOL TABLE FULL)"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(a.Dir / "t.obj"));  // stopped in pass 1, before any output
}

}  // namespace
}  // namespace dorvik::as
