#include "assembler/asmsymbols.h"

#include <gtest/gtest.h>

#include <cstring>

#include "assembler/controls.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

struct Area {
  Area() {
    SetControlDefaults(c);
    InitSymbolArea(c);
    c.AsmPass = 1;
  }
  void Insert(const std::string& name) {
    ASSERT_FALSE(FindAsmSymbol(c, name)) << name;
    InsertAsmSymbol(c, name);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (size_t p = 0; !IsEndMark(c, p); p = NextSymbolPos(c, p)) out.emplace_back(SymName(c, p));
    return out;
  }
  AsmContext c;
};

TEST(SymbolArea, InsertIntoEmptyAreaPlacesRecordFirst) {
  Area a;
  EXPECT_TRUE(IsEndMark(a.c, 0));
  EXPECT_EQ(SymbolCount(a.c), 0u);
  a.c.CurrentSegment.SegmentId = 3;
  a.c.CurrentSegment.RelocType = kRelInPage;
  a.Insert("START");
  EXPECT_EQ(a.Names(), std::vector<std::string>{"START"});
  EXPECT_EQ(SymKind(a.c, 0), kind::kUndefined);
  EXPECT_EQ(SymScope(a.c, 0), kScopeLocal);
  EXPECT_EQ(SymSegmentId(a.c, 0), 3);  // the new record takes the current segment
  EXPECT_EQ(SymRelocType(a.c, 0), kRelInPage);
  EXPECT_EQ(a.c.sym.SymbolEnd, 15u);
  EXPECT_TRUE(IsEndMark(a.c, a.c.sym.SymbolEnd));
  EXPECT_EQ(a.c.sym.LastSymbol, 0u);
}

TEST(SymbolArea, InsertBeforeMovesFollowingRecordsUnchanged) {
  Area a;
  a.Insert("MIDDLE");
  ASSERT_TRUE(FindAsmSymbol(a.c, "MIDDLE"));
  SetSymValue(a.c, a.c.sym.SymbolCursor, 0x12345678);
  SetSymKind(a.c, a.c.sym.SymbolCursor, kind::kCode);
  a.Insert("AAA");
  a.Insert("ZZZ");
  a.Insert("MID");  // a prefix sorts before the longer name
  EXPECT_EQ(a.Names(), (std::vector<std::string>{"AAA", "MID", "MIDDLE", "ZZZ"}));
  ASSERT_TRUE(FindAsmSymbol(a.c, "MIDDLE"));
  EXPECT_EQ(SymValue(a.c, a.c.sym.SymbolCursor), 0x12345678u);
  EXPECT_EQ(SymKind(a.c, a.c.sym.SymbolCursor), kind::kCode);
  EXPECT_EQ(a.c.sym.SymbolIndex, 3u);
  EXPECT_EQ(SymName(a.c, a.c.sym.LastSymbol), "ZZZ");
  EXPECT_EQ(a.c.sym.LongestName, 6);  // never decreases
}

TEST(SymbolArea, SearchLeavesTheCursorWhereTheNameBelongs) {
  Area a;
  for (const char* n : {"B", "D", "F"}) a.Insert(n);
  EXPECT_FALSE(FindAsmSymbol(a.c, "E"));
  EXPECT_EQ(SymName(a.c, a.c.sym.SymbolCursor), "F");
  EXPECT_EQ(a.c.sym.SymbolIndex, 3u);
  EXPECT_FALSE(FindAsmSymbol(a.c, "G"));
  EXPECT_EQ(a.c.sym.SymbolCursor, a.c.sym.SymbolEnd);
  EXPECT_FALSE(FindAsmSymbol(a.c, "A"));
  EXPECT_EQ(a.c.sym.SymbolCursor, 0u);
  EXPECT_TRUE(SymbolNameGreater("B", "AZZZ"));
  EXPECT_FALSE(SymbolNameGreater("SAME", "SAME"));
  EXPECT_TRUE(SymbolNameGreater("_", "Z"));
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
