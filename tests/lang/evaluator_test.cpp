#include "lang/evaluator.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/lang_fixture.h"
#include "base/session.h"

namespace dorvik {
namespace {

constexpr long double kTrue = 4294967295.0L;

enum EvalMode { kCommand, kAsmLine, kDisassembling };

// A loaded program's symbols and a target with registers and memory contents.
class Evaluate : public testing::LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    AddSymbol("MAIN", kClassProcedure, 0x100);
    AddSymbol("COUNT", kClassData | kClassPublic, 0x30);
    AddSymbol("FLAGS", kClassData | kClassPublic, 0x21);
    AddSymbol("TABLE", kClassXData | kClassPublic, 0x800);
    AddSymbol("", kClassLine, 0x100, 10);
    AddSymbol("", kClassLine, 0x103, 11);
    AddSymbol("DONE", kClassCode | kClassPublic, 0x140);
    dorvik::Run().CurrentPC = 0x40;
    target_.Registers = {{tok::kR3, 0x12}, {tok::kDPTR, 0x8000}, {tok::kPC, 0x777}};
    auto put = [&](int space, uint32_t addr, std::initializer_list<uint8_t> bytes) {
      for (uint8_t b : bytes) target_.Memory[space][addr++] = b;
    };
    put(1, 0x100, {0xAB, 0xCD});
    put(1, 0x1234, {0x12, 0x34});
    put(1, 0x0000, {0x3F, 0xC0});  // 1.5 as a big-endian single
    put(1, 0x0010, {1, 2, 3, 4, 5, 6, 7, 8});
    put(0, 0x10, {0x12, 0x34});
    put(3, 0x30, {0x55});
    put(2, 0x30, {0x2A});  // COUNT
    put(2, 0xE0, {0x99});  // ACC
    put(4, (0x21 - 0x20) * 8 + 3, {1});  // FLAGS.3
    put(4, 0x99, {1});  // TI
  }
  void Mode(EvalMode mode) {
    ResetState<MessageState>();
    dorvik::Run().AsmLineMode = mode == kAsmLine;
    Scanner().Disassembling = mode == kDisassembling;
  }
};

TEST_F(Evaluate, OperatorsAndPrecedence) {
  const std::pair<const char*, long double> cases[] = {
      {"2+3*4", 14}, {"10-4-3", 3}, {"100/10/5", 2}, {"1+2*3-4", 3}, {"(1+2)*3", 9},
      {"1+2*3*4", 25},  // grouped by the table: 1 + ((2*3)*4)
      {"2*3*4+1", 25}, {"-5+3", -2}, {"+5", 5}, {"-(2+3)*2", -10}, {"7/2", 3.5L}, {"1.5*2", 3},
      {"NOT 0", -1}, {"1<2", kTrue}, {"2<1", 0}, {"3 EQ 3", kTrue}, {"3 == 4", 0},
      {"3 = 3", kTrue},  // a whole line: "=" is the comparison
      {"1+2 = 3", kTrue}, {"2 = 1+1", kTrue}, {"(1 = 1) AND 1", 1}, {"3<>4", kTrue}, {"3 NE 3", 0},
      {"4>=4", kTrue}, {"4 LE 3", 0}, {"4 GT 3", kTrue},
      {"1+1 EQ 2", kTrue},  // comparisons bind looser than arithmetic
      {"NOT 1 = 1", -4294967296.0L}, {"NOT 1 EQ 1", -4294967296.0L},  // NOT (1 = 1)
      {"0FH AND 3CH", 0x0C}, {"0FH OR 30H", 0x3F}, {"0FH XOR 0FFH", 0xF0},
      {"0FH & 3CH | 40H", 0x4C}, {"1 OR 2 AND 0", 1},  // AND binds tighter than OR
      {"1<2 AND 2<3", kTrue}, {"(1<2) OR 0", kTrue},  // comparisons feed AND and OR
      {"0FFFFFFFFH XOR 1", 4294967294.0L}, {"TRUE", kTrue}, {"FALSE", 0}, {"BASE", 10},
      {"'A'", 65}, {"'AB'", 0x4142}, {"''''", 39},
  };
  Formatting().DisplayRadix = 10;
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(Eval(text), value) << text;
    EXPECT_FALSE(Messages().ErrorFlag) << text << " error " << Messages().LastErrorCode;
    EXPECT_EQ(Evaluator().ExprDepth, 0) << text;
    EXPECT_EQ(Evaluator().OperatorDepth, 0) << text;
  }
}

// Addresses, registers, typed reads through the target and symbols.
TEST_F(Evaluate, PrimariesAndTheirSpaces) {
  struct ValueCase {
    EvalMode mode;
    const char* text;
    long double value;
    int space;  // -1: not checked
  };
  const ValueCase cases[] = {
      {kCommand, "XDATA 100", 65536 + 256, -1}, {kCommand, "BIT 5", 4 * 65536 + 5, -1},
      {kCommand, "EEPROM 0", 7 * 65536, -1},
      {kCommand, "$+2", 0x42, kValueSpaceCode},  // a code address plus a number
      {kCommand, "$-$", 0, kValueSpaceNumber}, {kCommand, "'A'+1", 66, kValueSpaceCharacter},
      {kCommand, "R3", 0x12, -1}, {kCommand, "DPTR+R3*2", 0x8024, -1}, {kCommand, "PC", 0x777, -1},
      {kCommand, "$", 0x40, -1},  // "$" is the main window's PC
      {kCommand, "BYTE XDATA 100H", 0xAB, -1}, {kCommand, "WORD XDATA 100H", 0xABCD, -1},
      {kCommand, "WORD CODE 10H", 0x1234, -1}, {kCommand, "XBYTE 101H", 0xCD, -1},
      {kCommand, "XWORD 100H", 0xABCD, -1}, {kCommand, "CBYTE 11H", 0x34, -1},
      {kCommand, "BYTE 30H", 0x55, -1},  // no space: indirect data
      {kCommand, "INTEGER XDATA 100H", static_cast<int16_t>(0xABCD), -1},
      {kCommand, "SHORTINT XDATA 100H", static_cast<int8_t>(0xAB), -1},
      {kCommand, "DWORD CODE 10H", 0x12340000, -1},  // a doubleword, not a word
      {kCommand, "1+BYTE XDATA 100H", 0xAC, -1},
      {kCommand, "FLOAT XDATA 0", 1.5L, -1},  // from the single's bits
      {kCommand, "COUNT", 0x2A, -1},          // a symbol stands for its contents
      {kCommand, "COUNT+1", 0x2B, -1},
      {kCommand, ":MAIN", 0x100, kValueSpaceCode},  // qualified forms give addresses
      {kCommand, ":MAIN#11", 0x103, kValueSpaceCode},
      {kCommand, ":MAIN.COUNT", 0x30, -1},  // a module-qualified name: its address, as ".COUNT"
      {kCommand, "FLAGS.3", 1, -1}, {kCommand, "FLAGS.2", 0, -1},
      {kCommand, "ACC", 0x99, -1},  // predefined names are read as one byte
      {kCommand, "TI", 1, -1},      // an abbreviation of TILL, but a predefined bit
      {kAsmLine, "COUNT", 0x30, kValueSpaceData},  // in the line assembler a symbol is its address
      {kAsmLine, "DONE+2", 0x142, kValueSpaceCode},
      {kAsmLine, "FLAGS.3", (0x21 - 0x20) * 8 + 3, kValueSpaceBit}, {kAsmLine, "ACC", 0xE0, -1},
      {kDisassembling, "TABLE", 0x800, kValueSpaceXData},
  };
  SelectSmallCpu();
  for (const ValueCase& c : cases) {
    Mode(c.mode);
    EXPECT_EQ(Eval(c.text), c.value) << c.text;
    EXPECT_FALSE(Messages().ErrorFlag) << c.text << " error " << Messages().LastErrorCode;
    EXPECT_TRUE(c.space < 0 || Scanner().ValueSpace == c.space) << c.text;
  }
  Mode(kCommand);
  EXPECT_EQ(target_.SymbolReads, (std::vector<std::string>{"COUNT", "COUNT"}));
  Eval("R3");
  EXPECT_EQ(Evaluator().ValueType, tok::kR3);
  Eval("COUNT");
  EXPECT_EQ(Evaluator().ValueType, tok::kSymbol);
  EXPECT_EQ(Evaluator().RangeStart, 0x30);
  Eval("BYTE XDATA 100H");
  EXPECT_EQ(Evaluator().ValueType, tok::kBYTE);
  const std::tuple<const char*, uint8_t, uint8_t, int32_t> reads[] = {
      {"BYTE XDATA 100H", 1, tok::kBYTE, 0x100}, {"BYTE 30H", 3, tok::kBYTE, 0x30},
      {"DWORD CODE 10H", 0, tok::kDOUBLEWORD, 0x10},
      {"1+WORD XDATA 1234H", 1, tok::kWORD, 0x1234},  // a later typed operand reads its whole address
  };
  for (const auto& [text, space, type, start] : reads) {
    Eval(text);
    const auto& read = target_.TypedReads.back();
    EXPECT_EQ(std::tuple(int(read.Space), int(read.Type), read.Start, read.Length),
              std::tuple(int(space), int(type), start, 1))
        << text;
  }
}

TEST_F(Evaluate, EachFailureReportsItsNumberAndGivesZero) {
  const std::tuple<EvalMode, const char*, int> cases[] = {
      {kCommand, "1.5 AND 1", 124}, {kCommand, "-1 OR 1", 124}, {kCommand, "4294967296 AND 1", 124},
      {kCommand, "7/0", 127}, {kCommand, "CODE 10000H", 126},
      {kCommand, "2+", 118}, {kCommand, "*3", 118}, {kCommand, "(1+2", 118}, {kCommand, "5 6", 118},
      {kCommand, "''", 118}, {kCommand, "'ABC'", 118},
      {kCommand, "BYTE XDATA 0FFFEH LENGTH 4", 162}, {kCommand, "BYTE XDATA 10H TO 0FH", 162},
      {kCommand, "LONGINT XDATA 0FFFEH", 162},
      {kCommand, "1 + BYTE XDATA 0 LENGTH 2", 118},  // a range only for the first operand
      {kCommand, "NOT 1.0E19", 126},  // no 64-bit complement beyond the integer range
      {kCommand, "1 + NOT 1.0E19", 126},
      {kCommand, "BYTE XDATA 'A'", 133},  // a typed address in a wrong space
      {kCommand, "COUNT.3", 117},  // COUNT (30H) lies above the bit-addressable bytes 20H-2FH
      {kAsmLine, "COUNT.3", 117}, {kCommand, "NOSUCH+1", 137},
  };
  for (const auto& [mode, text, error] : cases) {
    Mode(mode);
    EXPECT_EQ(Eval(text), 0) << text;
    EXPECT_EQ(LastError(), error) << text;
    EXPECT_EQ(Scanner().ExprValue, 0) << text;
  }
  EXPECT_EQ(Messages().LastWarningCode, 6);  // the unknown symbol warns too
  // Division by zero gives the largest single.
  Mode(kCommand);
  EXPECT_EQ(ComputeOperator(5, 5, tok::kSlash, 0, 7), kDivideByZeroValue);
  EXPECT_EQ(LastError(), 127);
  // The precedence of an unknown operator is an internal error.
  EXPECT_EQ(OperatorPrecedence(tok::kStar), 6);
  EXPECT_EQ(OperatorPrecedence(tok::kNOT), 3);
  EXPECT_EQ(OperatorPrecedence(tok::kNone), 0);
  EXPECT_EQ(OperatorPrecedence(tok::kComma), 0);
  EXPECT_EQ(LastError(), 143);
}

TEST_F(Evaluate, EqualSignEndsAnExpressionThatAnAssignmentMayFollow) {
  // "=" separates a value from its assignment ("R0 = 5"): with an open end
  // the expression stops before it.
  Line("3=4");
  EXPECT_EQ(Expression(tok::kNone), 3);
  EXPECT_EQ(GetToken(), tok::kEqual);
  EXPECT_EQ(Expression(tok::kEndOfLine), 4);
  Line("3=4");
  EXPECT_EQ(Expression(tok::kEqual), 3);
  EXPECT_EQ(GetToken(), tok::kNumberValue);
  // Inside parentheses no assignment can follow: there it compares.
  Line("(2=2)+1=5");
  EXPECT_EQ(Expression(tok::kNone), 4294967296.0L);
  EXPECT_EQ(GetToken(), tok::kEqual);
  EXPECT_FALSE(Messages().ErrorFlag);
  // A memory command reads "XBYTE 0 TO 9", then "=" and its values; in a
  // whole-line evaluation the typed value is compared.
  for (int i = 0; i < 10; ++i) target_.Memory[1][i] = static_cast<uint8_t>(i);
  Line("XBYTE 0 TO 9 = 1,2,3");
  EXPECT_EQ(Expression(tok::kNone), 0);
  EXPECT_EQ(Evaluator().RangeEnd, 9);
  EXPECT_EQ(ValueList().Count(), 10);
  EXPECT_EQ(GetToken(), tok::kEqual);
  EXPECT_EQ(Eval("XBYTE 3 = 3"), kTrue);
  EXPECT_EQ(Eval("XBYTE 3 TO 4 = 4"), 0);
  EXPECT_EQ(Evaluator().RangeEnd, 4);
  // A given end token is consumed, an open end is left.
  Line("5)");
  EXPECT_EQ(Expression(tok::kRParen), 5);
  EXPECT_EQ(GetToken(), tok::kEndOfLine);
  Line("5,6");
  EXPECT_EQ(Expression(tok::kNone), 5);
  EXPECT_EQ(GetToken(), tok::kComma);
  EXPECT_EQ(Scanner().ExprValue, 5);
}

// Error 133 leaves no depth behind: the next command starts afresh.
TEST_F(Evaluate, NestingIsLimitedAndReportedOnce) {
  auto paren = [](int n) { return std::string(n, '(') + "1" + std::string(n, ')'); };
  // Every NOT in a right operand takes the tighter operators after it along: one operator level more.
  auto nots = [](int n) {
    std::string text = "1+NOT 1";
    for (int i = 0; i < n; ++i) text += "*NOT 1";
    return text;
  };
  std::string nested;  // fifteen nested parentheses with an operator on every level
  for (int i = 0; i < 15; ++i) nested += "1+(";
  nested += "1" + std::string(15, ')');
  const std::tuple<std::string, long double, int> cases[] = {
      {paren(15), 1, 0}, {paren(16), 0, 133}, {paren(15), 1, 0}, {nots(10), -1.0L, 0},
      {nots(20), 0, 133}, {nested, 16, 0},
  };
  size_t boxes = 0;
  for (const auto& [text, value, error] : cases) {
    const long double result = Eval(text);
    EXPECT_TRUE(value < 0 || result == value) << text;
    EXPECT_EQ(LastError(), error) << text;
    EXPECT_EQ(BoxesShown(), boxes += error != 0) << text;
    EXPECT_EQ(Evaluator().ExprDepth, 0) << text;
    EXPECT_EQ(Evaluator().OperatorDepth, 0) << text;
  }
}

TEST_F(Evaluate, RangesWithLengthAndTo) {
  struct RangeCase {
    const char* text;
    long double value;
    int keyword, end, length, second;  // keyword 0: no range given
  };
  const RangeCase cases[] = {
      {"BYTE XDATA 10H LENGTH 4", 1, tok::kLENGTH, 0x13, 4, 2},
      {"WORD XDATA 10H LENGTH 2", 0x0102, tok::kLENGTH, 0x13, 2, 0x0304},
      {"WORD XDATA 10H TO 12H", 0x0102, tok::kTO, 0x13, 2, 0x0304},  // the end moves up to whole words
      {"BYTE XDATA 10H", 1, 0, 0x10, 1, -1},
  };
  for (const RangeCase& c : cases) {
    EXPECT_EQ(Eval(c.text), c.value) << c.text;
    EXPECT_EQ(Evaluator().RangeGiven, c.keyword != 0) << c.text;
    EXPECT_TRUE(c.keyword == 0 || Evaluator().RangeKeyword == c.keyword) << c.text;
    EXPECT_EQ(Evaluator().RangeStart, 0x10) << c.text;
    EXPECT_EQ(Evaluator().RangeEnd, c.end) << c.text;
    EXPECT_EQ(Evaluator().RangeLength, c.length) << c.text;
    ASSERT_EQ(ValueList().Count(), c.length) << c.text;
    EXPECT_TRUE(c.second < 0 || ValueList().Items[1].Value == static_cast<uint32_t>(c.second)) << c.text;
  }
  Eval("WORD XDATA 0FFFEH TO 0FFFEH");  // moving the end past FFFFH is still fine here
  EXPECT_FALSE(Messages().ErrorFlag);
}

// Random expressions: every evaluation ends with both depths back at 0.
TEST_F(Evaluate, RandomExpressionsLeaveNoDepthBehind) {
  const char* pieces[] = {"1", "0FFH", "(", ")", "+", "-", "*", "/", "NOT ", " AND ", " OR ",
                          " XOR ", "<", ">=", " EQ ", "'A'", "BYTE XDATA ", "WORD CODE ",
                          " LENGTH 2", " TO 3", "R0", "$", "TRUE", "1.5", ",", "XDATA ", "="};
  std::mt19937 random(8051);
  SuspendMessages();
  for (int n = 0; n < 3000; ++n) {
    std::string text;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
    Messages().ErrorFlag = false;
    Line(text);
    const long double value = Expression(tok::kEndOfLine);
    EXPECT_TRUE(!Messages().ErrorFlag || value == 0) << text;
    EXPECT_EQ(Evaluator().ExprDepth, 0) << text;
    EXPECT_EQ(Evaluator().OperatorDepth, 0) << text;
  }
  ResumeMessages();
}

}  // namespace
}  // namespace dorvik
