#include "assembler/asmexpr.h"

#include <gtest/gtest.h>

#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

// Each expression is the operand of an EQU; the symbol keeps the value.
TEST(Expression, Evaluates) {
  const struct {
    const char* Expr;
    uint32_t Value;
  } cases[] = {{"1+2*3*4", 25},           {"2*3+4*5", 26},          {"10-2-3", 5},
               {"7/2", 3},                {"7 MOD 2", 1},           {"-7/2", 0xFFFFFFFDu},
               {"3 < 5", 0xFFFFFFFFu},    {"5 < 3", 0},             {"3 <> 5", 0xFFFFFFFFu},
               {"3 <= 3", 0xFFFFFFFFu},   {"-1 LT 0", 0xFFFFFFFFu}, {"4 EQ 4", 0xFFFFFFFFu},
               {"HIGH 1234H", 0x12},      {"LOW 1234H", 0x34},      {"1 + HIGH 1234H", 0x13},
               {"NOT 0", 0xFFFFFFFFu},    {"NOT 1 + 1", 0xFFFFFFFDu}, {"1 SHL 4", 16},
               {"80000000H SHR 31", 1},   {"0F0H AND 3CH", 0x30},   {"0F0H OR 0FH", 0xFF},
               {"0FFH XOR 0FH", 0xF0},    {"1 OR 2 AND 3", 3},      {"(1+2)*3", 9},
               {"((((1))))", 1},          {"'AB'", 0x4142},         {"'A'", 0x41},
               {"''", 0},                 {"''''", 0x27},           {"ACC.7", 0xE7},
               {"20H.0", 0},              {"21H.3", 0x0B},          {"P1.2", 0x92},
               {"(0-80000000H)/(0-1)", 0x80000000u}, {"101B+12D+17O", 5 + 12 + 15},
               {"1 SHL 2 + 1", 5},        {"3 <> 5 AND 1", 1},      {"LOW 1234H + 1", 0x35}};
  for (const auto& k : cases) {
    auto a = Assemble(std::string("X EQU ") + k.Expr + "\n END\n");
    EXPECT_EQ(a.Codes(), std::vector<uint16_t>{}) << k.Expr;
    EXPECT_EQ(a.Symbol("X").Value, k.Value) << k.Expr;
  }
}

TEST(Expression, ErrorsAreReportedByNumber) {
  const struct {
    const char* Line;
    uint16_t Code;
  } cases[] = {{"X EQU 5/0", 104},         {"X EQU 5 MOD 0", 104},    {"X EQU 'ABC'", 118},
               {"X EQU 30H.0", 125},       {"X EQU 80H.9", 126},      {"X EQU 81H.1", 125},
               {"X EQU FWD\nFWD EQU 1", 105}, {"X EQU 'AB", 117},     {"X EQU 1 +", 100},
               {"X EQU * 2", 100},         {"X EQU 100000000H", 103}, {"X EQU 0FF", 111},
               {"X EQU $)", 100},          {"X EQU 1 2", 100}};
  for (const auto& k : cases) {
    auto a = Assemble(std::string(k.Line) + "\n END\n");
    EXPECT_TRUE(a.Has(k.Code)) << k.Line;
    EXPECT_FALSE(a.Result.Fatal);
  }
}

// Fifteen nested parentheses are allowed, sixteen are too complex (202); deep
// nesting drops the line without overflowing the stack.
TEST(Expression, NestingIsBounded) {
  const auto nested = [](size_t n) { return "X EQU " + std::string(n, '(') + "1" + std::string(n, ')') + "\n END\n"; };
  auto ok = Assemble(nested(15));
  EXPECT_FALSE(ok.Has(202));
  EXPECT_EQ(ok.Symbol("X").Value, 1u);
  EXPECT_TRUE(Assemble(nested(16)).Has(202));
  auto a = Assemble("X EQU " + std::string(240, '(') + "\n NOP\n END\n");
  EXPECT_TRUE(a.Has(202));
  EXPECT_FALSE(a.Result.Fatal);
  // A chain of bit selections nests too.
  std::string bits = "X EQU 20H";
  for (int i = 0; i < 100; ++i) bits += ".0";
  EXPECT_FALSE(Assemble(bits + "\n END\n").Result.Fatal);
}

TEST(Expression, RelocatableArithmetic) {
  const std::string seg = "S SEGMENT CODE\n RSEG S\nL1: NOP\nL2: NOP\n";
  auto a = Assemble(seg + "D EQU L2 - L1\nE EQU L1 + 3\nF EQU 3 + L1\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("D").Value, 1u);
  EXPECT_EQ(a.Symbol("D").SegmentId, 0);  // the distance is absolute
  EXPECT_EQ(a.Symbol("E").SegmentId, a.Symbol("S").SegmentId);
  EXPECT_EQ(a.Symbol("E").Value, 3u);
  EXPECT_EQ(a.Symbol("F").Value, 3u);

  for (const char* bad : {"X EQU L1 + L2", "X EQU 5 - L1", "X EQU L1 * 2"}) {
    EXPECT_TRUE(Assemble(seg + bad + "\n END\n").Has(133)) << bad;
  }
  // An external never cancels against a segment, also not against the one
  // whose number equals the externals' ID BLK (2).
  const std::string ext = " EXTRN CODE (EXT, EXT2)\nS1 SEGMENT CODE\nS2 SEGMENT CODE\n RSEG S2\nL1: NOP\n";
  for (const char* line : {" MOV DPTR,#EXT - L1", " MOV DPTR,#L1 - EXT", " MOV DPTR,#EXT - EXT2",
                           " MOV DPTR,#(EXT + 1) - L1"})
    EXPECT_EQ(Assemble(ext + line + "\n END\n").Codes(), std::vector<uint16_t>{133}) << line;
  EXPECT_TRUE(Assemble(ext + " MOV DPTR,#EXT + 1\n MOV DPTR,#EXT - 1\n END\n").Codes().empty());
}

TEST(Expression, BitOfBitAddressableRelocatableSegment) {
  auto a = Assemble("FLAGS SEGMENT DATA BITADDRESSABLE\n RSEG FLAGS\nF0B: DS 2\nB1 BIT F0B.3\nB2 BIT F0B+1.1\n END\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("B1").Value, 3u);
  EXPECT_EQ(a.Symbol("B2").Value, 9u);
  EXPECT_EQ(a.Symbol("B1").Kind, kind::kBit);
}

TEST(Expression, UndefinedSymbolReportedInPassTwoOnly) {
  auto a = Assemble(" MOV A,NOWHERE\n END\n");
  EXPECT_EQ(a.Count(114), 1u);
  ASSERT_EQ(a.C().ErrorLog.size(), 1u);
  EXPECT_EQ(a.C().ErrorLog[0].Line, 1u);
}

}  // namespace
}  // namespace dorvik::as
