#include "lang/scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/lang_fixture.h"
#include "base/session.h"

namespace dorvik {
namespace {

using TokenList = std::vector<int>;

constexpr int kCR = tok::kEndOfLine;
constexpr int kNum = tok::kNumberValue;
constexpr long double kAny = -1;

enum ScanMode { kCommand, kReply, kAsmLine, kCStyle };

// Symbols of a loaded program: modules MAIN (lines 10, 11), OTHER (line 20) and NOLINES.
class Scan : public testing::LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    AddSymbol("MAIN", kClassProcedure, 0x100);
    AddSymbol("COUNT", kClassData | kClassPublic, 0x30);
    AddSymbol("GO", kClassData | kClassPublic, 0x31);
    AddSymbol("", kClassLine, 0x100, 10);
    AddSymbol("", kClassLine, 0x103, 11);
    AddSymbol("OTHER", kClassProcedure, 0x200);
    AddSymbol("", kClassLine, 0x200, 20);
    AddSymbol("NOLINES", kClassProcedure, 0x300);
    dorvik::Run().CurrentPC = 0x5000;  // outside every module
  }
  void Mode(ScanMode mode, uint8_t radix) {
    ResetState<MessageState>();
    Scanner().ParsingReply = mode == kReply;
    dorvik::Run().AsmLineMode = mode == kAsmLine;
    Scanner().CStyleNumbers = mode == kCStyle;
    Formatting().DisplayRadix = radix;
  }
};

TEST_F(Scan, NumberFormsRadicesAndModes) {
  struct ValueCase {
    ScanMode mode;
    uint8_t radix;
    std::string text;
    int token;
    long double value;
    int space;  // -1: not checked
  };
  const int kNumber = kValueSpaceNumber;
  const ValueCase cases[] = {
      {kCommand, 16, "0FFH", kNum, 255, kNumber},    {kCommand, 10, "0FFH", kNum, 255, kNumber},
      {kCommand, 16, "255T", kNum, 255, kNumber},    {kCommand, 16, "377O", kNum, 255, kNumber},
      {kCommand, 16, "11111111Y", kNum, 255, kNumber}, {kCommand, 16, "100", kNum, 256, kNumber},
      {kCommand, 16, "101B", kNum, 0x101B, kNumber},  // no B suffix: a hexadecimal digit
      {kCommand, 2, "101", kNum, 5, kNumber},        {kCommand, 8, "101", kNum, 65, kNumber},
      {kCommand, 10, "101", kNum, 101, kNumber},     {kCommand, 2, "1.5E3", kNum, 1500, kNumber},
      {kCommand, 16, "1.5e3", kNum, 1500, kNumber},  {kCommand, 16, "0.1", kNum, 0.1L, kNumber},
      {kCommand, 16, "2.5E-1", kNum, 0.25L, kNumber}, {kCommand, 10, "7.", kNum, 7, kNumber},
      {kCommand, 16, "0", kNum, 0, kNumber},
      {kCommand, 16, "12345678901234567890T", kNum, 12345678901234567890.0L, kNumber},
      {kCommand, 16, std::string(63, 'A') + "H", kNum, kAny, kNumber},  // 64 characters still fit
      {kCommand, 16, "FF", kNum, 255, kNumber},  // a hexadecimal word falls back to a number
      {kCStyle, 10, "0x1F", kNum, 31, kNumber},
      {kCommand, 16, "$", tok::kPC, 0x1234, kValueSpaceCode},  // the current program counter
      {kAsmLine, 16, "$", kNum, 0x200, -1},                    // the line assembler's address
      {kAsmLine, 16, ":MAIN#11", kNum, 0x103, kValueSpaceCode},  // a source line's address
      {kReply, 10, "ABCD", kNum, 0xABCD, -1},  // replies read words as hexadecimal numbers
      {kReply, 10, "PC", tok::kPC, kAny, -1},  // a keyword stays a keyword
  };
  dorvik::Run().CurrentPC = 0x1234;
  dorvik::Run().AsmLineAddress = 0x200;
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text + " radix " + std::to_string(c.radix));
    Mode(c.mode, c.radix);
    Line(c.text);
    EXPECT_EQ(GetToken(), c.token);
    EXPECT_TRUE(c.value == kAny || Scanner().ExprValue == c.value) << double(Scanner().ExprValue);
    EXPECT_TRUE(c.space < 0 || Scanner().ValueSpace == c.space) << int(Scanner().ValueSpace);
    EXPECT_EQ(GetToken(), kCR);
    EXPECT_FALSE(Messages().ErrorFlag);
  }
  EXPECT_EQ(BoxesShown(), 0u);  // the trial lookups leave nothing behind
  Mode(kCommand, 16);
  Line("1.0E4900");  // the exponent at its limit
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_GT(Scanner().ExprValue, 1e4899L);
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(Scan, EachFailureReportsItsNumber) {
  struct ErrorCase {
    ScanMode mode;
    uint8_t radix;
    std::string text;
    int error;
  };
  const ErrorCase cases[] = {
      {kCommand, 16, "19O", 118},  // 9 is no octal digit
      {kCommand, 16, "102Y", 118}, {kCommand, 10, "1A", 118},
      {kCommand, 16, "1.5E+3", 118},  // the plus sign is not skipped
      {kCommand, 16, "1.5E", 118}, {kCommand, 16, "1.5E4901", 125}, {kCommand, 16, "1.5E-4901", 125},
      {kCommand, 16, "\"12", 118},  // a quoted number
      {kCommand, 16, "Y", 118},     // a suffix letter alone: a syntax error, not an unknown symbol
      {kCommand, 16, "O", 118},     // (O is also an ambiguous abbreviation, tried as a symbol first)
      {kCommand, 10, "0x1F", 118},  // C-style numbers only while allowed
      {kCommand, 16, "1 % 2", 118},
      {kReply, 16, "1 % 2", 105},  // syntax errors follow the scanning context
      {kAsmLine, 16, "%", 109},
      {kCommand, 10, "ZZ", 137},  // no keyword, no symbol, no number
      {kCommand, 16, std::string(64, 'A') + "H", 150},
      {kCommand, 16, ":", 152},  // no module name at the end of the line
      {kCommand, 16, ":1", 118}, {kCommand, 16, ":NOSUCH", 137},
      {kCommand, 16, ":COUNT", 139},    // known, but not a module
      {kCommand, 16, ":MAIN#99", 141},  // no such line
      {kCommand, 16, ":MAIN#20", 141},  // line 20 belongs to the next module
      {kCommand, 16, ":NOLINES#1", 142},  // no line information
      {kCommand, 16, ":MAIN#1X", 118},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.text);
    Mode(c.mode, c.radix);
    EXPECT_EQ(Tokens(c.text).back(), tok::kNone);
    EXPECT_EQ(LastError(), c.error);
    EXPECT_EQ(Scanner().ScanToken, tok::kNone);
  }
  Mode(kCommand, 10);
  Tokens("ZZ");
  EXPECT_EQ(Messages().LastErrorParams.Arg1, "ZZ");
  Mode(kCommand, 16);
  EXPECT_EQ(Tokens("#10").back(), tok::kNone);  // a line of the current procedure: there is none
  EXPECT_EQ(Messages().LastWarningCode, 6);
  EXPECT_TRUE(Messages().ErrorFlag);
}

TEST_F(Scan, TokensOfALine) {
  const std::pair<const char*, TokenList> cases[] = {
      {"G 100", {tok::kGO, kNum, kCR}}, {"1<>2", {kNum, tok::kNE, kNum, kCR}},
      {"1<=2", {kNum, tok::kLE, kNum, kCR}}, {"1>=2", {kNum, tok::kGE, kNum, kCR}},
      {"1==2", {kNum, tok::kEqual, kNum, kCR}}, {"1=2", {kNum, tok::kEqual, kNum, kCR}},
      {"1<2>3", {kNum, tok::kLT, kNum, tok::kGT, kNum, kCR}},
      {"(1+2)*3/4-5", {tok::kLParen, kNum, tok::kPlus, kNum, tok::kRParen, tok::kStar, kNum, tok::kSlash,
                       kNum, tok::kMinus, kNum, kCR}},
      {"1 AND 2 OR NOT 3", {kNum, tok::kAND, kNum, tok::kOR, tok::kNOT, kNum, kCR}},
      {"?", {tok::kQuestion, kCR}},
      {"MOV A,@R0", {tok::kMOV, tok::kA, tok::kComma, tok::kAtSign, tok::kR0, kCR}},
      // a word that is no keyword resolves as a symbol; a quoted word is only a symbol
      {"COUNT+1", {tok::kSymbol, tok::kPlus, kNum, kCR}}, {"GO", {tok::kGO, kCR}},
      {"\"GO", {tok::kSymbol, kCR}}, {"COUNT<>\"GO", {tok::kSymbol, tok::kNE, tok::kSymbol, kCR}},
      {"COUNT==\"GO", {tok::kSymbol, tok::kEqual, tok::kSymbol, kCR}},
      {"COUNT:", {tok::kSymbol, tok::kColon, kCR}},  // a label colon after a symbol
  };
  for (const auto& [text, tokens] : cases) EXPECT_EQ(Tokens(text), tokens) << text;
  Line("\"GO");
  GetToken();
  ASSERT_NE(SymbolAt(SymbolLookup().SymbolRef.Sym), nullptr);
  EXPECT_EQ(SymbolAt(SymbolLookup().SymbolRef.Sym)->Name, "GO");
  // Module references find the module or its line.
  const std::tuple<const char*, int, const char*, uint32_t> modules[] = {
      {":MAIN", tok::kColon, "MAIN", 0x100}, {":MAIN#11", tok::kHash, "", 0x103},
      {".:OTHER#20 ", tok::kHash, "", 0x200}};
  for (const auto& [text, token, name, value] : modules) {
    Line(text);
    EXPECT_EQ(GetToken(), token) << text;
    const tSymbolItem* found = SymbolAt(Collections().FoundSymbol);
    ASSERT_NE(found, nullptr) << text;
    EXPECT_EQ(found->Name, name) << text;
    EXPECT_EQ(found->Value, value) << text;
  }
}

TEST_F(Scan, LinePreparation) {
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"  MOV   A , R0  \r", true, "MOV A,R0\r"},  // blanks squeezed
      {"G  100\r", true, "G 100\r"},
      {"G 100 // remark\r", true, "G 100\r"},  // comments cut
      {"G 100 /* remark // more */\r", true, "G 100\r"},
      {"// only a remark\r", true, "//only a remark\r"},  // a line that begins with one is not cut
      {"G 100\r", false, "G 100\r\r"},
      // a line without CR keeps its last character
      {"G 100", true, "G 100\r"}, {"G 100", false, "G 100\r"}, {"G 100 ", false, "G 100 \r"},
  };
  for (const auto& [text, normalize, expected] : cases) {
    SetScanLine(text, normalize);
    EXPECT_EQ(Scanner().ScanLine, expected) << text;
  }
  SetScanLine("", true);
  EXPECT_EQ(GetToken(), kCR);
  SetScanLine("G 100", false);
  EXPECT_EQ(GetToken(), tok::kGO);
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 0x100);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(GetToken(), kCR);  // the end of line stays at the end
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(Scan, PeekAndCopiedStateDoNotConsume) {
  Line("G 10, 20");
  EXPECT_EQ(PeekToken(), tok::kGO);
  EXPECT_EQ(PeekToken(), tok::kGO);
  EXPECT_EQ(GetToken(), tok::kGO);
  EXPECT_EQ(PeekToken(), kNum);
  EXPECT_EQ(Scanner().ScanToken, tok::kGO);
  EXPECT_EQ(GetToken(), kNum);
  // A scan in the middle of another is undone by copying the state.
  const ScannerState saved = Scanner();
  Line("HALT");
  EXPECT_EQ(GetToken(), tok::kHALT);
  Scanner() = saved;
  EXPECT_EQ(GetToken(), tok::kComma);
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 0x20);
}

TEST_F(Scan, ErrorsAreReportedOnceOrOnlyFlagged) {
  Line("5");
  GetToken();
  EXPECT_TRUE(CheckEndOfLine());
  Line("5 6");
  GetToken();
  EXPECT_FALSE(CheckEndOfLine());
  EXPECT_EQ(LastError(), 118);
  EXPECT_EQ(BoxesShown(), 1u);
  Line("5 6");
  GetToken();
  EXPECT_FALSE(ExpectComma());  // an error is already there: no second box
  EXPECT_EQ(BoxesShown(), 1u);
  ResetState<MessageState>();
  Line("5,6");
  GetToken();
  EXPECT_TRUE(ExpectComma());
  // Suppressed boxes only set the error flag.
  SuspendMessages();
  EXPECT_EQ(Tokens("%").back(), tok::kNone);
  ResumeMessages();
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(Messages().LastErrorCode, 0);
  // Quiet mode ends with the syntax error text.
  Messages().QuietMessages = true;
  Formatting().DisplayRadix = 10;
  EXPECT_EQ(Tokens("ZZ").back(), tok::kNone);
  EXPECT_EQ(Messages().LastMessageText, "Syntax Error");
  EXPECT_EQ(BoxesShown(), 1u);
}

TEST_F(Scan, QuotedTextAndBitSuffix) {
  Line("'a''b'x");
  EXPECT_EQ(GetToken(), tok::kQuote);
  for (char c : {'a', '\'', 'b', '\0'}) EXPECT_EQ(ReadStringChar(), c);
  EXPECT_EQ(Scanner().ScanChar, 'x');
  Line("'a");
  GetToken();
  EXPECT_EQ(ReadQuotedChar(), 'a');
  EXPECT_EQ(ReadQuotedChar(), '\0');  // the line ended inside the text
  EXPECT_EQ(LastError(), 118);
  ResetState<MessageState>();
  Line("3 ");
  EXPECT_TRUE(ReadBitSuffix());
  EXPECT_EQ(Scanner().BitNumber, 3);
  EXPECT_TRUE(InBitContext());
  Line("8");
  EXPECT_FALSE(ReadBitSuffix());
  EXPECT_EQ(LastError(), 118);
  ResetState<MessageState>();
  Line("3X");
  EXPECT_FALSE(ReadBitSuffix());
}

TEST(CharacterClasses, AsTheScannerSeesThem) {
  EXPECT_TRUE(IsIdentStart('a') && IsIdentStart('?') && IsIdentStart('_') && !IsIdentStart('1'));
  EXPECT_TRUE(IsIdentChar('1') && !IsIdentChar('.'));
  EXPECT_TRUE(IsSeparator('=') && !IsSeparator('.'));
  EXPECT_EQ(HexDigitValue('f'), 15);
  EXPECT_EQ(HexDigitValue('G'), 255);
  int operators = 0;
  for (int t = 0; t < 256; ++t) operators += IsOperatorToken(static_cast<uint8_t>(t));
  EXPECT_EQ(operators, 14);
}

TEST(IsBitAddressable, InternalRamAndEveryEighthRegister) {
  const std::tuple<uint8_t, uint32_t, bool> cases[] = {
      {2, 0x20, true},  {2, 0x2F, true},  {2, 0x30, false}, {2, 0x1F, false},
      {2, 0x80, true},  {2, 0x88, true},  {2, 0x81, false}, {5, 0xE0, true},
      {0x12, 0x20, true},  // only the low 4 bits count for the direct space
      {3, 0x20, false}, {0, 0x20, false}, {2, 0x100, false},
  };
  for (const auto& [space, addr, expected] : cases)
    EXPECT_EQ(IsBitAddressable(space, addr), expected) << int(space) << " " << addr;
}

// Random lines: the scanner always ends, never reads past its line.
TEST_F(Scan, RandomLinesNeverCrashOrHang) {
  std::mt19937 random(51);
  const std::string alphabet = "0123456789ABCDEFHOTYXabcz_?.:#$'\"+-*/<>=!&|^(),;@[]{} \t%~`\\";
  SuspendMessages();
  for (int n = 0; n < 3000; ++n) {
    std::string line;
    const int length = static_cast<int>(random() % 80);
    for (int i = 0; i < length; ++i) line += alphabet[random() % alphabet.size()];
    Messages().ErrorFlag = false;
    SetScanLine(line, random() % 2 == 0);
    int tokens = 0;
    while (tokens < 200) {
      const uint8_t t = GetToken();
      ++tokens;
      if (t == tok::kEndOfLine || t == tok::kNone || Messages().ErrorFlag) break;
    }
    EXPECT_LT(tokens, 200) << line;
  }
  ResumeMessages();
}

}  // namespace
}  // namespace dorvik
