#include "core/evaluator.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/symbols.h"
#include "lang_fixture.h"

namespace dorvik {
namespace {

using Evaluate = testing::LangTest;

struct ValueCase {
  const char* text;
  long double value;
};

TEST_F(Evaluate, OperatorsAndPrecedence) {
  const ValueCase cases[] = {
      {"2+3*4", 14},
      {"10-4-3", 3},
      {"1+2*3*4", 25},  // grouped by the table: 1 + ((2*3)*4)
      {"2*3*4+1", 25},
      {"100/10/5", 2},
      {"1+2*3-4", 3},
      {"(1+2)*3", 9},
      {"-5+3", -2},
      {"+5", 5},
      {"-(2+3)*2", -10},
      {"7/2", 3.5L},
      {"NOT 0", -1},
      {"1<2", 4294967295.0L},
      {"2<1", 0},
      {"3 EQ 3", 4294967295.0L},
      {"3 = 3", 4294967295.0L},  // a whole line: "=" is the comparison
      {"3 == 4", 0},
      {"1+2 = 3", 4294967295.0L},
      {"2 = 1+1", 4294967295.0L},
      {"NOT 1 = 1", -4294967296.0L},  // NOT (1 = 1)
      {"(1 = 1) AND 1", 1},
      {"3<>4", 4294967295.0L},
      {"3 NE 3", 0},
      {"4>=4", 4294967295.0L},
      {"4 LE 3", 0},
      {"4 GT 3", 4294967295.0L},
      {"1+1 EQ 2", 4294967295.0L},   // comparisons bind looser than arithmetic
      {"NOT 1 EQ 1", -4294967296.0L},  // NOT (1 = 1)
      {"0FH AND 3CH", 0x0C},
      {"0FH OR 30H", 0x3F},
      {"0FH XOR 0FFH", 0xF0},
      {"0FH & 3CH | 40H", 0x4C},  // AND binds tighter than OR
      {"1 OR 2 AND 0", 1},
      {"1<2 AND 2<3", 4294967295.0L},  // comparisons feed AND
      {"(1<2) OR 0", 4294967295.0L},
      {"0FFFFFFFFH XOR 1", 4294967294.0L},
      {"TRUE", 4294967295.0L},
      {"FALSE", 0},
      {"BASE", 10},
      {"'A'", 65},
      {"'AB'", 0x4142},
      {"''''", 39},
      {"1.5*2", 3},
  };
  Formatting().DisplayRadix = 10;
  for (const ValueCase& c : cases) {
    EXPECT_EQ(Eval(c.text), c.value) << c.text;
    EXPECT_FALSE(Messages().ErrorFlag) << c.text << " error " << Messages().LastErrorCode;
    EXPECT_EQ(Evaluator().ExprDepth, 0) << c.text;
    EXPECT_EQ(Evaluator().OperatorDepth, 0) << c.text;
  }
}

struct ErrorCase {
  const char* text;
  int error;
};

TEST_F(Evaluate, EachFailureReportsItsNumberAndGivesZero) {
  const ErrorCase cases[] = {
      {"1.5 AND 1", 124},
      {"-1 OR 1", 124},
      {"4294967296 AND 1", 124},
      {"7/0", 127},
      {"CODE 10000H", 126},
      {"2+", 118},
      {"*3", 118},
      {"(1+2", 118},
      {"5 6", 118},
      {"''", 118},
      {"'ABC'", 118},
      {"BYTE XDATA 0FFFEH LENGTH 4", 162},
      {"BYTE XDATA 10H TO 0FH", 162},
      {"1 + BYTE XDATA 0 LENGTH 2", 118},  // a range only for the first operand
      {"NOT 1.0E19", 126},                  // no 64-bit complement beyond the integer range
      {"1 + NOT 1.0E19", 126},
  };
  for (const ErrorCase& c : cases) {
    ResetMessages();
    EXPECT_EQ(Eval(c.text), 0) << c.text;
    EXPECT_EQ(LastError(), c.error) << c.text;
    EXPECT_EQ(Scanner().ExprValue, 0) << c.text;
  }
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
}

TEST_F(Evaluate, ARangeStillEndsBeforeTheValuesOfAnAssignment) {
  // A memory command reads "XBYTE 0 TO 9", then "=" and its values; in a
  // whole-line evaluation the typed value is compared.
  for (int i = 0; i < 10; ++i) target_.Memory[1][i] = static_cast<uint8_t>(i);
  Line("XBYTE 0 TO 9 = 1,2,3");
  EXPECT_EQ(Expression(tok::kNone), 0);
  EXPECT_EQ(Evaluator().RangeEnd, 9);
  EXPECT_EQ(ValueList().Count(), 10);
  EXPECT_EQ(GetToken(), tok::kEqual);
  EXPECT_EQ(Eval("XBYTE 3 = 3"), 4294967295.0L);
  EXPECT_EQ(Eval("XBYTE 3 TO 4 = 4"), 0);
  EXPECT_EQ(Evaluator().RangeEnd, 4);
}

TEST_F(Evaluate, DivisionByZeroGivesTheLargestSingle) {
  Eval("0");
  EXPECT_EQ(ComputeOperator(5, 5, tok::kSlash, 0, 7), kDivideByZeroValue);
  EXPECT_EQ(LastError(), 127);
}

TEST_F(Evaluate, PrecedenceOfUnknownOperatorIsAnInternalError) {
  EXPECT_EQ(OperatorPrecedence(tok::kStar), 6);
  EXPECT_EQ(OperatorPrecedence(tok::kNOT), 3);
  EXPECT_EQ(OperatorPrecedence(tok::kNone), 0);
  EXPECT_EQ(OperatorPrecedence(tok::kComma), 0);
  EXPECT_EQ(LastError(), 143);
}

TEST_F(Evaluate, NestingDeeperThanSixteenLevels) {
  const std::string fifteen = std::string(15, '(') + "1" + std::string(15, ')');
  EXPECT_EQ(Eval(fifteen), 1);
  EXPECT_FALSE(Messages().ErrorFlag);
  const std::string sixteen = std::string(16, '(') + "1" + std::string(16, ')');
  EXPECT_EQ(Eval(sixteen), 0);
  EXPECT_EQ(LastError(), 133);
  EXPECT_EQ(BoxesShown(), 1u);  // reported once
  EXPECT_EQ(Evaluator().ExprDepth, 0);
  EXPECT_EQ(Evaluator().OperatorDepth, 0);
  // The next command starts afresh.
  EXPECT_EQ(Eval(fifteen), 1);
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(Evaluate, OperatorNestingIsLimitedToo) {
  // Every NOT in a right operand takes the tighter operators after it along:
  // one operator level more each time.
  auto chain = [](int n) {
    std::string text = "1+NOT 1";
    for (int i = 0; i < n; ++i) text += "*NOT 1";
    return text;
  };
  Eval(chain(10));
  EXPECT_FALSE(Messages().ErrorFlag);
  Eval(chain(20));
  EXPECT_EQ(LastError(), 133);
  EXPECT_EQ(BoxesShown(), 1u);
  EXPECT_EQ(Evaluator().ExprDepth, 0);
  EXPECT_EQ(Evaluator().OperatorDepth, 0);
  // Fifteen nested parentheses with an operator on every level still fit.
  std::string nested;
  for (int i = 0; i < 15; ++i) nested += "1+(";
  nested += "1" + std::string(15, ')');
  EXPECT_EQ(Eval(nested), 16);
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(Evaluate, EndTokenIsConsumedOrLeft) {
  Line("5)");
  EXPECT_EQ(Expression(tok::kRParen), 5);
  EXPECT_EQ(GetToken(), tok::kEndOfLine);
  Line("5,6");
  EXPECT_EQ(Expression(tok::kNone), 5);
  EXPECT_EQ(GetToken(), tok::kComma);
  EXPECT_EQ(Scanner().ExprValue, 5);
}

TEST_F(Evaluate, SpaceOfAddressArithmetic) {
  Eval("XDATA 100");
  EXPECT_EQ(Scanner().ExprValue, 65536 + 256);
  EXPECT_EQ(Eval("BIT 5"), 4 * 65536 + 5);
  EXPECT_EQ(Eval("EEPROM 0"), 7 * 65536);
  MainForm().CurrentPC = 0x40;
  EXPECT_EQ(Eval("$+2"), 0x42);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceCode);  // code address plus number
  EXPECT_EQ(Eval("$-$"), 0);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceNumber);
  EXPECT_EQ(Eval("'A'+1"), 66);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceCharacter);
}

TEST_F(Evaluate, RegistersComeFromTheTarget) {
  target_.Registers[tok::kR3] = 0x12;
  target_.Registers[tok::kDPTR] = 0x8000;
  target_.Registers[tok::kPC] = 0x777;
  EXPECT_EQ(Eval("R3"), 0x12);
  EXPECT_EQ(Evaluator().ValueType, tok::kR3);
  EXPECT_EQ(Eval("DPTR+R3*2"), 0x8024);
  EXPECT_EQ(Eval("PC"), 0x777);
  MainForm().CurrentPC = 0x40;
  EXPECT_EQ(Eval("$"), 0x40);  // "$" is the main window's PC
}

TEST_F(Evaluate, TypedReadsThroughTheTarget) {
  target_.Memory[1][0x100] = 0xAB;
  target_.Memory[1][0x101] = 0xCD;
  target_.Memory[0][0x10] = 0x12;
  target_.Memory[0][0x11] = 0x34;
  target_.Memory[3][0x30] = 0x55;
  EXPECT_EQ(Eval("BYTE XDATA 100H"), 0xAB);
  EXPECT_EQ(target_.TypedReads.back().Space, 1);
  EXPECT_EQ(target_.TypedReads.back().Type, tok::kBYTE);
  EXPECT_EQ(Evaluator().ValueType, tok::kBYTE);
  EXPECT_EQ(Eval("WORD XDATA 100H"), 0xABCD);
  EXPECT_EQ(Eval("WORD CODE 10H"), 0x1234);
  EXPECT_EQ(Eval("XBYTE 101H"), 0xCD);
  EXPECT_EQ(Eval("XWORD 100H"), 0xABCD);
  EXPECT_EQ(Eval("CBYTE 11H"), 0x34);
  EXPECT_EQ(Eval("BYTE 30H"), 0x55);  // no space: indirect data
  EXPECT_EQ(target_.TypedReads.back().Space, 3);
  EXPECT_EQ(Eval("INTEGER XDATA 100H"), static_cast<int16_t>(0xABCD));
  EXPECT_EQ(Eval("SHORTINT XDATA 100H"), static_cast<int8_t>(0xAB));
  EXPECT_EQ(Eval("DWORD CODE 10H"), 0x12340000);  // a doubleword, not a word
  EXPECT_EQ(target_.TypedReads.back().Type, tok::kDOUBLEWORD);
  EXPECT_EQ(Eval("1+BYTE XDATA 100H"), 0xAC);
}

TEST_F(Evaluate, ALaterTypedOperandReadsItsWholeAddress) {
  target_.Memory[1][0x1234] = 0x12;
  target_.Memory[1][0x1235] = 0x34;
  EXPECT_EQ(Eval("1+WORD XDATA 1234H"), 0x1235);
  EXPECT_EQ(target_.TypedReads.back().Start, 0x1234);
  EXPECT_EQ(target_.TypedReads.back().Length, 1);
}

TEST_F(Evaluate, FloatItemsConvertFromTheirSingleBits) {
  // 1.5 as a big-endian single.
  target_.Memory[1][0] = 0x3F;
  target_.Memory[1][1] = 0xC0;
  EXPECT_EQ(Eval("FLOAT XDATA 0"), 1.5L);
}

TEST_F(Evaluate, RangesWithLengthAndTo) {
  for (int i = 0; i < 8; ++i) target_.Memory[1][0x10 + i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(Eval("BYTE XDATA 10H LENGTH 4"), 1);
  EXPECT_EQ(ValueList().Count(), 4);
  EXPECT_EQ(ValueList().Items[3].Value, 4u);
  EXPECT_TRUE(Evaluator().RangeGiven);
  EXPECT_EQ(Evaluator().RangeKeyword, tok::kLENGTH);
  EXPECT_EQ(Evaluator().RangeStart, 0x10);
  EXPECT_EQ(Evaluator().RangeEnd, 0x13);

  EXPECT_EQ(Eval("WORD XDATA 10H LENGTH 2"), 0x0102);
  EXPECT_EQ(Evaluator().RangeEnd, 0x13);
  EXPECT_EQ(Evaluator().RangeLength, 2);

  EXPECT_EQ(Eval("WORD XDATA 10H TO 12H"), 0x0102);  // the end moves up to whole words
  EXPECT_EQ(Evaluator().RangeKeyword, tok::kTO);
  EXPECT_EQ(Evaluator().RangeEnd, 0x13);
  EXPECT_EQ(Evaluator().RangeLength, 2);
  EXPECT_EQ(ValueList().Items[1].Value, 0x0304u);

  EXPECT_EQ(Eval("BYTE XDATA 10H"), 1);
  EXPECT_FALSE(Evaluator().RangeGiven);
  EXPECT_EQ(Evaluator().RangeLength, 1);

  Eval("WORD XDATA 0FFFEH TO 0FFFEH");  // moving the end past FFFFH is still fine here
  EXPECT_FALSE(Messages().ErrorFlag);
  ResetMessages();
  Eval("LONGINT XDATA 0FFFEH");
  EXPECT_EQ(LastError(), 162);
}

TEST_F(Evaluate, ATypedAddressInAWrongSpace) {
  EXPECT_EQ(Eval("BYTE XDATA 'A'"), 0);
  EXPECT_EQ(LastError(), 133);
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
    if (Messages().ErrorFlag) {
      EXPECT_EQ(value, 0) << text;
    }
    EXPECT_EQ(Evaluator().ExprDepth, 0) << text;
    EXPECT_EQ(Evaluator().OperatorDepth, 0) << text;
  }
  ResumeMessages();
}

// Symbols

class EvaluateSymbols : public testing::LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    ResetSymbolLookup();
    CreateSymbolCollections();
    Add("MAIN", 0x100, kClassProcedure);
    Add("COUNT", 0x30, kClassData | kClassPublic);
    Add("FLAGS", 0x21, kClassData | kClassPublic);
    Add("TABLE", 0x800, kClassXData | kClassPublic);
    Add("", 0x100, kClassLine, 10);
    Add("", 0x103, kClassLine, 11);
    Add("DONE", 0x140, kClassCode | kClassPublic);
    MainForm().CurrentPC = 0x5000;
    target_.Memory[2][0x30] = 0x2A;
    target_.Memory[4][(0x21 - 0x20) * 8 + 3] = 1;
  }
  void Add(const char* name, uint32_t value, uint8_t cls, int32_t number = 0) {
    tSymbolItem& s = Collections().SymbolTable->Add();
    s.Name = name;
    s.Value = value;
    s.SymClass = cls;
    s.Number = number;
  }
};

TEST_F(EvaluateSymbols, ASymbolStandsForItsContents) {
  EXPECT_EQ(Eval("COUNT"), 0x2A);
  ASSERT_EQ(target_.SymbolReads.size(), 1u);
  EXPECT_EQ(target_.SymbolReads[0], "COUNT");
  EXPECT_EQ(Evaluator().ValueType, tok::kSymbol);
  EXPECT_EQ(Evaluator().RangeStart, 0x30);
  EXPECT_EQ(Eval("COUNT+1"), 0x2B);
}

TEST_F(EvaluateSymbols, InTheLineAssemblerASymbolIsItsAddress) {
  dorvik::Run().AsmLineMode = true;
  EXPECT_EQ(Eval("COUNT"), 0x30);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceData);
  EXPECT_TRUE(target_.SymbolReads.empty());
  EXPECT_EQ(Eval("DONE+2"), 0x142);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceCode);
}

TEST_F(EvaluateSymbols, WhileDisassemblingASymbolIsItsAddress) {
  Scanner().Disassembling = true;
  EXPECT_EQ(Eval("TABLE"), 0x800);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceXData);
}

TEST_F(EvaluateSymbols, QualifiedFormsGiveAddresses) {
  EXPECT_EQ(Eval(":MAIN"), 0x100);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceCode);
  EXPECT_EQ(Eval(":MAIN#11"), 0x103);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceCode);
  EXPECT_EQ(Eval(":MAIN.COUNT"), 0x2A);  // a module-qualified variable: its contents
}

TEST_F(EvaluateSymbols, BitSuffixReadsTheBit) {
  EXPECT_EQ(Eval("FLAGS.3"), 1);
  EXPECT_EQ(Eval("FLAGS.2"), 0);
  dorvik::Run().AsmLineMode = true;
  EXPECT_EQ(Eval("FLAGS.3"), (0x21 - 0x20) * 8 + 3);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceBit);
}

TEST_F(EvaluateSymbols, ABitSuffixNeedsABitAddressableByte) {
  // COUNT (30H) lies above the bit-addressable bytes 20H-2FH.
  EXPECT_EQ(Eval("COUNT.3"), 0);
  EXPECT_EQ(LastError(), 117);
  dorvik::Run().AsmLineMode = true;
  ResetMessages();
  EXPECT_EQ(Eval("COUNT.3"), 0);
  EXPECT_EQ(LastError(), 117);
}

TEST_F(EvaluateSymbols, PredefinedNamesAreReadAsOneByte) {
  SelectSmallCpu();
  target_.Memory[2][0xE0] = 0x99;
  EXPECT_EQ(Eval("ACC"), 0x99);
  dorvik::Run().AsmLineMode = true;
  EXPECT_EQ(Eval("ACC"), 0xE0);
}

TEST_F(EvaluateSymbols, AKeywordMayNameASymbol) {
  SelectSmallCpu();
  // TI is an abbreviation of TILL, but a predefined bit of the processor.
  target_.Memory[4][0x99] = 1;
  EXPECT_EQ(Eval("TI"), 1);
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(EvaluateSymbols, AnUnknownSymbolWarnsAndFails) {
  Formatting().DisplayRadix = 10;
  EXPECT_EQ(Eval("NOSUCH+1"), 0);
  EXPECT_EQ(LastError(), 137);
  EXPECT_EQ(Messages().LastWarningCode, 6);
}

}  // namespace
}  // namespace dorvik
