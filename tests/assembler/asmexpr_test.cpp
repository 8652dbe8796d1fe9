#include "assembler/asmexpr.h"

#include <gtest/gtest.h>

#include "asm_test_util.h"

namespace dorvik::as {
namespace {

using testing::Assemble;

struct ExprCase {
  const char* Expr;
  uint32_t Value;
};

// Each expression is the operand of an EQU; the symbol keeps the value.
class ExpressionValue : public ::testing::TestWithParam<ExprCase> {};

TEST_P(ExpressionValue, Evaluates) {
  const auto& p = GetParam();
  auto a = Assemble("expr_value", std::string("X EQU ") + p.Expr + "\n END\n", "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Codes().empty()) << p.Expr << " error " << (a.Codes().empty() ? 0 : a.Codes()[0]);
  EXPECT_EQ(a.Symbol("X").Value, p.Value) << p.Expr;
}

INSTANTIATE_TEST_SUITE_P(
    Operators, ExpressionValue,
    ::testing::Values(ExprCase{"1+2*3*4", 25}, ExprCase{"2*3+4*5", 26}, ExprCase{"10-2-3", 5},
                      ExprCase{"7/2", 3}, ExprCase{"7 MOD 2", 1}, ExprCase{"-7/2", 0xFFFFFFFDu},
                      ExprCase{"3 < 5", 0xFFFFFFFFu}, ExprCase{"5 < 3", 0},
                      ExprCase{"3 <> 5", 0xFFFFFFFFu}, ExprCase{"3 <= 3", 0xFFFFFFFFu},
                      ExprCase{"-1 LT 0", 0xFFFFFFFFu}, ExprCase{"4 EQ 4", 0xFFFFFFFFu},
                      ExprCase{"HIGH 1234H", 0x12}, ExprCase{"LOW 1234H", 0x34},
                      ExprCase{"1 + HIGH 1234H", 0x13}, ExprCase{"NOT 0", 0xFFFFFFFFu},
                      ExprCase{"NOT 1 + 1", 0xFFFFFFFDu}, ExprCase{"1 SHL 4", 16},
                      ExprCase{"80000000H SHR 31", 1}, ExprCase{"0F0H AND 3CH", 0x30},
                      ExprCase{"0F0H OR 0FH", 0xFF}, ExprCase{"0FFH XOR 0FH", 0xF0},
                      ExprCase{"1 OR 2 AND 3", 3}, ExprCase{"(1+2)*3", 9},
                      ExprCase{"((((1))))", 1}, ExprCase{"'AB'", 0x4142},
                      ExprCase{"'A'", 0x41}, ExprCase{"''", 0}, ExprCase{"''''", 0x27},
                      ExprCase{"ACC.7", 0xE7}, ExprCase{"20H.0", 0}, ExprCase{"21H.3", 0x0B},
                      ExprCase{"P1.2", 0x92}, ExprCase{"(0-80000000H)/(0-1)", 0x80000000u},
                      ExprCase{"101B+12D+17O", 5 + 12 + 15}));

struct ErrorCase {
  const char* Line;
  uint16_t Code;
};

class ExpressionError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ExpressionError, Reports) {
  const auto& p = GetParam();
  auto a = Assemble("expr_error", std::string(p.Line) + "\n END\n", "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Has(p.Code)) << p.Line;
  EXPECT_FALSE(a.Result.Fatal);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ExpressionError,
    ::testing::Values(ErrorCase{"X EQU 5/0", 104}, ErrorCase{"X EQU 5 MOD 0", 104},
                      ErrorCase{"X EQU 'ABC'", 118}, ErrorCase{"X EQU 30H.0", 125},
                      ErrorCase{"X EQU 80H.9", 126}, ErrorCase{"X EQU 81H.1", 125},
                      ErrorCase{"X EQU FWD\nFWD EQU 1", 105}, ErrorCase{"X EQU 'AB", 117},
                      ErrorCase{"X EQU 1 +", 100}, ErrorCase{"X EQU * 2", 100},
                      ErrorCase{"X EQU 100000000H", 103}, ErrorCase{"X EQU 0FF", 111},
                      ErrorCase{"X EQU $)", 100}, ErrorCase{"X EQU 1 2", 100}));

TEST(Expression, SixteenNestedParenthesesAreTooComplexFifteenAreNot) {
  const std::string fifteen = std::string(15, '(') + "1" + std::string(15, ')');
  const std::string sixteen = std::string(16, '(') + "1" + std::string(16, ')');
  auto ok = Assemble("expr_nest", "X EQU " + fifteen + "\n END\n", "NOPRINT NOOBJECT");
  EXPECT_FALSE(ok.Has(202));
  EXPECT_EQ(ok.Symbol("X").Value, 1u);
  auto bad = Assemble("expr_nest", "X EQU " + sixteen + "\n END\n", "NOPRINT NOOBJECT");
  EXPECT_TRUE(bad.Has(202));
}

TEST(Expression, DeepNestingDropsTheLineWithoutOverflowingTheStack) {
  const std::string deep = std::string(240, '(');
  auto a = Assemble("expr_deep", "X EQU " + deep + "\n NOP\n END\n", "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Has(202));
  EXPECT_FALSE(a.Result.Fatal);
  // A chain of bit selections nests too.
  std::string bits = "X EQU 20H";
  for (int i = 0; i < 100; ++i) bits += ".0";
  auto b = Assemble("expr_deep", bits + "\n END\n", "NOPRINT NOOBJECT");
  EXPECT_FALSE(b.Result.Fatal);
}

TEST(Expression, RelocatableArithmetic) {
  const std::string src =
      "S SEGMENT CODE\n"
      " RSEG S\n"
      "L1: NOP\n"
      "L2: NOP\n"
      "D EQU L2 - L1\n"
      "E EQU L1 + 3\n"
      "F EQU 3 + L1\n"
      " END\n";
  auto a = Assemble("expr_reloc", src, "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("D").Value, 1u);
  EXPECT_EQ(a.Symbol("D").SegmentId, 0);  // the distance is absolute
  EXPECT_EQ(a.Symbol("E").SegmentId, a.Symbol("S").SegmentId);
  EXPECT_EQ(a.Symbol("E").Value, 3u);
  EXPECT_EQ(a.Symbol("F").Value, 3u);

  for (const char* bad : {"X EQU L1 + L2", "X EQU 5 - L1", "X EQU L1 * 2"}) {
    auto b = Assemble("expr_reloc", "S SEGMENT CODE\n RSEG S\nL1: NOP\nL2: NOP\n" +
                                        std::string(bad) + "\n END\n",
                      "NOPRINT NOOBJECT");
    EXPECT_TRUE(b.Has(133)) << bad;
  }
  // An external never cancels against a segment, also not against the one
  // whose number equals the externals' ID BLK (2).
  const std::string ext =
      " EXTRN CODE (EXT, EXT2)\nS1 SEGMENT CODE\nS2 SEGMENT CODE\n RSEG S2\nL1: NOP\n";
  for (const char* line : {" MOV DPTR,#EXT - L1", " MOV DPTR,#L1 - EXT", " MOV DPTR,#EXT - EXT2",
                           " MOV DPTR,#(EXT + 1) - L1"}) {
    auto b = Assemble("expr_ext", ext + line + "\n END\n", "NOPRINT NOOBJECT");
    EXPECT_EQ(b.Codes(), std::vector<uint16_t>{133}) << line;
  }
  auto fine = Assemble("expr_ext", ext + " MOV DPTR,#EXT + 1\n MOV DPTR,#EXT - 1\n END\n",
                       "NOPRINT NOOBJECT");
  EXPECT_TRUE(fine.Codes().empty());
}

TEST(Expression, BitOfBitAddressableRelocatableSegment) {
  const std::string src =
      "FLAGS SEGMENT DATA BITADDRESSABLE\n"
      " RSEG FLAGS\n"
      "F0B: DS 2\n"
      "B1 BIT F0B.3\n"
      "B2 BIT F0B+1.1\n"
      " END\n";
  auto a = Assemble("expr_bitseg", src, "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("B1").Value, 3u);
  EXPECT_EQ(a.Symbol("B2").Value, 9u);
  EXPECT_EQ(a.Symbol("B1").Kind, kind::kBit);
}

TEST(Expression, UndefinedSymbolReportedInPassTwoOnly) {
  auto a = Assemble("expr_undef", " MOV A,NOWHERE\n END\n", "NOPRINT NOOBJECT");
  EXPECT_EQ(a.Count(114), 1u);
  ASSERT_EQ(a.C().ErrorLog.size(), 1u);
  EXPECT_EQ(a.C().ErrorLog[0].Line, 1u);
}

TEST(Expression, LocationCounterIsTheStatementAddress) {
  auto a = Assemble("expr_dollar", " ORG 100H\nHERE EQU $\nNEXT EQU $+2\n END\n",
                    "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Symbol("HERE").Value, 0x100u);
  EXPECT_EQ(a.Symbol("NEXT").Value, 0x102u);
}

}  // namespace
}  // namespace dorvik::as
