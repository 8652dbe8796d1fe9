#include "lang/evaluator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
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
  // Evaluates a whole line as one expression ended by the end of line.
  long double Eval(std::string_view text) {
    Messages().ErrorFlag = false;
    Line(text);
    return Expression(tok::kEndOfLine);
  }

  void SetUp() override {
    LangTest::SetUp();
    AddSymbol("MAIN", kClassProcedure, 0x100);
    AddSymbol("COUNT", kClassData | kClassPublic, 0x30);
    AddSymbol("FLAGS", kClassData | kClassPublic, 0x21);
    AddSymbol("TOPBITS", kClassData | kClassPublic, 0x2F);  // the last bit-addressable byte
    AddSymbol("BANK3", kClassData | kClassPublic, 0x1F);    // the byte below them
    AddSymbol("BITS0", kClassData | kClassPublic, 0x20);    // the first bit-addressable byte
    AddSymbol("RAM7F", kClassData | kClassPublic, 0x7F);    // the last byte below the SFRs
    AddSymbol("SFR80", kClassData | kClassPublic, 0x80);    // the first SFR
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
    put(3, 0x7F, {0x44});  // internal RAM and SFRs on both sides of 80H
    put(2, 0x7F, {0x33});
    put(3, 0x80, {0x66});
    put(2, 0x80, {0x77});
    put(4, (0x21 - 0x20) * 8 + 3, {1});  // FLAGS.3
    put(4, 0x7F, {1});                   // TOPBITS.7
    put(4, 0x99, {1});  // TI
  }
  void Mode(EvalMode mode) {
    ResetState<MessageState>();
    dorvik::Run().AsmLineMode = mode == kAsmLine;
    Scanner().Disassembling = mode == kDisassembling;
  }
};

// The expressions of data/expressions.txt, each with its value and space or its error.
TEST_F(Evaluate, ExpressionsOfTheDataFile) {
  std::ifstream in(std::string(DORVIK_SOURCE_DIR) + "/tests/lang/data/expressions.txt");
  SelectSmallCpu({"sfr ACC = 0xE0;", "sfr PSW = 0xD0;", "sfr SCON = 0x98;", "sbit TI = SCON^1;", "sbit PS = PSW^4;",
                  "#define MYNUM 0x1234", "LASTONE EQU 0x20;"});
  int rows = 0;
  for (std::string line; std::getline(in, line);) {
    const size_t arrow = line.find(" => ");
    if (line.empty() || line[0] == '#' || arrow == std::string::npos) continue;
    ++rows;
    const size_t blank = line.find(' ');
    const std::string mode = line.substr(0, blank), text = line.substr(blank + 1, arrow - blank - 1);
    std::istringstream result(line.substr(arrow + 4));
    std::string value;
    int space = -1;
    result >> value >> space;
    Mode(mode.starts_with("asm") ? kAsmLine : mode.starts_with("dis") ? kDisassembling : kCommand);
    Formatting().DisplayRadix = mode.ends_with("10") ? 10 : 16;
    const long double got = Eval(text);
    if (value[0] == '#') {
      EXPECT_EQ(got, 0) << text;
      EXPECT_EQ(LastError(), std::stoi(value.substr(1))) << text;
      EXPECT_EQ(Scanner().ExprValue, 0) << text;
      continue;
    }
    EXPECT_EQ(got, value == "T" ? kTrue : std::stold(value)) << text;
    EXPECT_FALSE(Messages().ErrorFlag) << text << " error " << Messages().LastErrorCode;
    EXPECT_TRUE(space < 0 || Scanner().ValueSpace == space) << text;
    EXPECT_EQ(Evaluator().ExprDepth, 0) << text;
    EXPECT_EQ(Evaluator().OperatorDepth, 0) << text;
  }
  EXPECT_GT(rows, 90);
  EXPECT_EQ(Messages().LastWarningCode, 6);  // the unknown symbol warns too
}

// Which reads go to the target, and what the evaluator keeps of the last value.
TEST_F(Evaluate, PrimariesReadThroughTheTarget) {
  SelectSmallCpu();
  Mode(kCommand);
  Eval("COUNT");
  Eval("COUNT+1");
  Eval(":MAIN.COUNT");
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

TEST_F(Evaluate, DivisionByZeroAndUnknownOperators) {
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

}  // namespace
}  // namespace dorvik
