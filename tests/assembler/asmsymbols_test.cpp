#include "assembler/asmsymbols.h"

#include <gtest/gtest.h>

#include <cstring>

#include "asm_test_util.h"
#include "assembler/controls.h"

namespace dorvik::as {
namespace {

using testing::Assemble;

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

TEST(SymbolArea, StartsWithTheEndMark) {
  Area a;
  EXPECT_TRUE(IsEndMark(a.c, 0));
  EXPECT_EQ(SymName(a.c, 0), " ");
  EXPECT_EQ(SymbolCount(a.c), 0u);
}

TEST(SymbolArea, InsertIntoEmptyAreaPlacesRecordFirst) {
  Area a;
  a.Insert("START");
  EXPECT_EQ(a.Names(), std::vector<std::string>{"START"});
  EXPECT_EQ(SymKind(a.c, 0), kind::kUndefined);
  EXPECT_EQ(SymScope(a.c, 0), kScopeLocal);
  EXPECT_EQ(a.c.SymbolEnd, 15u);
  EXPECT_TRUE(IsEndMark(a.c, a.c.SymbolEnd));
  EXPECT_EQ(a.c.LastSymbol, 0u);
}

TEST(SymbolArea, InsertBeforeMovesFollowingRecordsUnchanged) {
  Area a;
  a.Insert("MIDDLE");
  ASSERT_TRUE(FindAsmSymbol(a.c, "MIDDLE"));
  SetSymValue(a.c, a.c.SymbolCursor, 0x12345678);
  SetSymKind(a.c, a.c.SymbolCursor, kind::kCode);
  a.Insert("AAA");
  a.Insert("ZZZ");
  a.Insert("MID");  // a prefix sorts before the longer name
  EXPECT_EQ(a.Names(), (std::vector<std::string>{"AAA", "MID", "MIDDLE", "ZZZ"}));
  ASSERT_TRUE(FindAsmSymbol(a.c, "MIDDLE"));
  EXPECT_EQ(SymValue(a.c, a.c.SymbolCursor), 0x12345678u);
  EXPECT_EQ(SymKind(a.c, a.c.SymbolCursor), kind::kCode);
  EXPECT_EQ(a.c.SymbolIndex, 3u);
  EXPECT_EQ(SymName(a.c, a.c.LastSymbol), "ZZZ");
}

TEST(SymbolArea, SearchLeavesTheCursorWhereTheNameBelongs) {
  Area a;
  for (const char* n : {"B", "D", "F"}) a.Insert(n);
  EXPECT_FALSE(FindAsmSymbol(a.c, "E"));
  EXPECT_EQ(SymName(a.c, a.c.SymbolCursor), "F");
  EXPECT_EQ(a.c.SymbolIndex, 3u);
  EXPECT_FALSE(FindAsmSymbol(a.c, "G"));
  EXPECT_EQ(a.c.SymbolCursor, a.c.SymbolEnd);
  EXPECT_FALSE(FindAsmSymbol(a.c, "A"));
  EXPECT_EQ(a.c.SymbolCursor, 0u);
}

TEST(SymbolArea, NameOrder) {
  EXPECT_TRUE(SymbolNameGreater("AB", "A"));
  EXPECT_FALSE(SymbolNameGreater("A", "AB"));
  EXPECT_TRUE(SymbolNameGreater("B", "AZZZ"));
  EXPECT_FALSE(SymbolNameGreater("SAME", "SAME"));
  EXPECT_TRUE(SymbolNameGreater("_", "Z"));
}

TEST(SymbolArea, LongestNameNeverDecreases) {
  Area a;
  a.Insert("LONGNAME");
  a.Insert("X");
  EXPECT_EQ(a.c.LongestName, 8);
}

TEST(SymbolArea, NewRecordTakesTheCurrentSegment) {
  Area a;
  a.c.CurrentSegment.SegmentId = 3;
  a.c.CurrentSegment.RelocType = kRelInPage;
  a.Insert("R");
  EXPECT_EQ(SymSegmentId(a.c, 0), 3);
  EXPECT_EQ(SymRelocType(a.c, 0), kRelInPage);
}

TEST(SymbolArea, FullAreaStopsTheRunWithError903) {
  // 32-character labels take 42 bytes each: about 1560 fill the area.
  std::string src;
  for (int i = 0; i < 2000; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "L%031d", i);
    src += std::string(name) + ": NOP\n";
  }
  src += " END\n";
  auto a = Assemble("sym_full", src, "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Result.Fatal);
  EXPECT_TRUE(a.Has(903));
  EXPECT_LE(a.C().SymbolEnd, kSymbolAreaSize);
  EXPECT_NE(a.C().StatusText.find("SYMBOL TABLE FULL"), std::string::npos);
}

}  // namespace
}  // namespace dorvik::as
