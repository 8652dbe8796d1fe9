#include "core/scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/symbols.h"
#include "lang_fixture.h"

namespace dorvik {
namespace {

using Scan = testing::LangTest;
using TokenList = std::vector<int>;

constexpr int kCR = tok::kEndOfLine;
constexpr int kNum = tok::kNumberValue;

TEST_F(Scan, CommandWithNumberInTheDisplayRadix) {
  EXPECT_EQ(Tokens("G 100"), (TokenList{tok::kGO, kNum, kCR}));
  Line("G 100");
  GetToken();
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 256);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceNumber);
  Line("G 100T");
  GetToken();
  GetToken();
  EXPECT_EQ(Scanner().ExprValue, 100);
  Line("STE 10");
  EXPECT_EQ(GetToken(), tok::kSTEP);
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 16);
}

struct NumberCase {
  const char* text;
  uint8_t radix;
  long double value;
};

TEST_F(Scan, NumberFormsAndRadices) {
  const NumberCase cases[] = {
      {"0FFH", 16, 255},   {"0FFH", 10, 255},  {"255T", 16, 255},   {"377O", 16, 255},
      {"11111111Y", 16, 255}, {"101B", 16, 0x101B},  // no B suffix: a hexadecimal digit
      {"101", 2, 5},       {"101", 8, 65},     {"101", 10, 101},    {"1.5E3", 2, 1500},
      {"1.5e3", 16, 1500}, {"0.1", 16, 0.1L},  {"2.5E-1", 16, 0.25L}, {"7.", 10, 7},
      {"0", 16, 0},        {"12345678901234567890T", 16, 12345678901234567890.0L},
  };
  for (const NumberCase& c : cases) {
    ResetMessages();
    Formatting().DisplayRadix = c.radix;
    Line(c.text);
    EXPECT_EQ(GetToken(), kNum) << c.text;
    EXPECT_EQ(Scanner().ExprValue, c.value) << c.text << " radix " << int(c.radix);
    EXPECT_EQ(GetToken(), kCR) << c.text;
    EXPECT_FALSE(Messages().ErrorFlag) << c.text;
  }
}

struct BadNumberCase {
  const char* text;
  uint8_t radix;
  int error;
};

TEST_F(Scan, BadNumbersReportTheirError) {
  const BadNumberCase cases[] = {
      {"19O", 16, 118},     // 9 is no octal digit
      {"102Y", 16, 118},
      {"1A", 10, 118},
      {"1.5E+3", 16, 118},  // the plus sign is not skipped
      {"1.5E", 16, 118},
      {"1.5E4901", 16, 125},
      {"1.5E-4901", 16, 125},
      {"\"12", 16, 118},    // a quoted number
      {"Y", 16, 118},       // a suffix letter alone: a syntax error, not an unknown symbol
      {"O", 16, 118},       // (O is also an ambiguous abbreviation, tried as a symbol first)
  };
  for (const BadNumberCase& c : cases) {
    ResetMessages();
    Formatting().DisplayRadix = c.radix;
    Line(c.text);
    EXPECT_EQ(GetToken(), tok::kNone) << c.text;
    EXPECT_EQ(LastError(), c.error) << c.text;
  }
}

TEST_F(Scan, ExponentAtTheLimitIsAccepted) {
  Line("1.0E4900");
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_GT(Scanner().ExprValue, 1e4899L);
}

TEST_F(Scan, CStyleNumbersOnlyWhileAllowed) {
  Formatting().DisplayRadix = 10;
  Line("0x1F");
  EXPECT_EQ(GetToken(), tok::kNone);
  ResetMessages();
  Scanner().CStyleNumbers = true;
  Line("0x1F");
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 31);
}

TEST_F(Scan, OperatorsAndTwoCharacterForms) {
  EXPECT_EQ(Tokens("1<>2"), (TokenList{kNum, tok::kNE, kNum, kCR}));
  EXPECT_EQ(Tokens("1<=2"), (TokenList{kNum, tok::kLE, kNum, kCR}));
  EXPECT_EQ(Tokens("1>=2"), (TokenList{kNum, tok::kGE, kNum, kCR}));
  EXPECT_EQ(Tokens("1==2"), (TokenList{kNum, tok::kEqual, kNum, kCR}));
  EXPECT_EQ(Tokens("1=2"), (TokenList{kNum, tok::kEqual, kNum, kCR}));
  EXPECT_EQ(Tokens("1<2>3"), (TokenList{kNum, tok::kLT, kNum, tok::kGT, kNum, kCR}));
  EXPECT_EQ(Tokens("(1+2)*3/4-5"),
            (TokenList{tok::kLParen, kNum, tok::kPlus, kNum, tok::kRParen, tok::kStar, kNum,
                       tok::kSlash, kNum, tok::kMinus, kNum, kCR}));
  EXPECT_EQ(Tokens("1 AND 2 OR NOT 3"),
            (TokenList{kNum, tok::kAND, kNum, tok::kOR, tok::kNOT, kNum, kCR}));
  EXPECT_EQ(Tokens("?"), (TokenList{tok::kQuestion, kCR}));
  EXPECT_EQ(Tokens("MOV A,@R0"),
            (TokenList{tok::kMOV, tok::kA, tok::kComma, tok::kAtSign, tok::kR0, kCR}));
}

TEST_F(Scan, UnknownCharacterIsASyntaxError) {
  EXPECT_EQ(Tokens("1 % 2"), (TokenList{kNum, tok::kNone}));
  EXPECT_EQ(LastError(), 118);
  EXPECT_EQ(Scanner().ScanToken, tok::kNone);
}

TEST_F(Scan, DollarIsTheCurrentProgramCounter) {
  MainForm().CurrentPC = 0x1234;
  Line("$");
  EXPECT_EQ(GetToken(), tok::kPC);
  EXPECT_EQ(Scanner().ExprValue, 0x1234);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceCode);
  dorvik::Run().AsmLineMode = true;
  dorvik::Run().AsmLineAddress = 0x200;
  Line("$");
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 0x200);
}

TEST_F(Scan, LinePreparationSqueezesBlanksAndCutsComments) {
  SetScanLine("  MOV   A , R0  \r", true);
  EXPECT_EQ(Scanner().ScanLine, "MOV A,R0\r");
  SetScanLine("G  100\r", true);
  EXPECT_EQ(Scanner().ScanLine, "G 100\r");
  SetScanLine("G 100 // remark\r", true);
  EXPECT_EQ(Scanner().ScanLine, "G 100\r");
  SetScanLine("G 100 /* remark // more */\r", true);
  EXPECT_EQ(Scanner().ScanLine, "G 100\r");
  SetScanLine("// only a remark\r", true);  // a line that begins with one is not cut
  EXPECT_EQ(Scanner().ScanLine, "//only a remark\r");
  SetScanLine("G 100\r", false);
  EXPECT_EQ(Scanner().ScanLine, "G 100\r\r");
}

TEST_F(Scan, ALineWithoutCarriageReturnKeepsItsLastCharacter) {
  SetScanLine("G 100", true);
  EXPECT_EQ(Scanner().ScanLine, "G 100\r");
  SetScanLine("G 100", false);
  EXPECT_EQ(Scanner().ScanLine, "G 100\r");
  SetScanLine("G 100 ", false);
  EXPECT_EQ(Scanner().ScanLine, "G 100 \r");
  SetScanLine("", true);
  EXPECT_EQ(GetToken(), kCR);
  SetScanLine("G 100", false);
  EXPECT_EQ(GetToken(), tok::kGO);
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 0x100);
  EXPECT_EQ(GetToken(), kCR);
}

TEST_F(Scan, EndOfLineStaysAtTheEnd) {
  Line("G");
  EXPECT_EQ(GetToken(), tok::kGO);
  EXPECT_EQ(GetToken(), kCR);
  EXPECT_EQ(GetToken(), kCR);
  EXPECT_EQ(GetToken(), kCR);
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(Scan, PeekDoesNotConsume) {
  Line("G 5");
  EXPECT_EQ(PeekToken(), tok::kGO);
  EXPECT_EQ(PeekToken(), tok::kGO);
  EXPECT_EQ(GetToken(), tok::kGO);
  EXPECT_EQ(PeekToken(), kNum);
  EXPECT_EQ(Scanner().ScanToken, tok::kGO);
  EXPECT_EQ(GetToken(), kNum);
}

TEST_F(Scan, AScanInTheMiddleOfAnotherIsUndoneByCopyingTheState) {
  Line("G 10, 20");
  EXPECT_EQ(GetToken(), tok::kGO);
  EXPECT_EQ(GetToken(), kNum);
  const ScannerState saved = Scanner();
  Line("HALT");
  EXPECT_EQ(GetToken(), tok::kHALT);
  Scanner() = saved;
  EXPECT_EQ(GetToken(), tok::kComma);
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 0x20);
}

TEST_F(Scan, EndOfLineAndCommaChecksReportOnce) {
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
  ResetMessages();
  Line("5,6");
  GetToken();
  EXPECT_TRUE(ExpectComma());
}

TEST_F(Scan, SyntaxErrorsFollowTheScanningContext) {
  Link().ParsingReply = true;
  Line("1 % 2");
  GetToken();
  EXPECT_EQ(GetToken(), tok::kNone);
  EXPECT_EQ(LastError(), 105);
  ResetMessages();
  Link().ParsingReply = false;
  dorvik::Run().AsmLineMode = true;
  Line("%");
  EXPECT_EQ(GetToken(), tok::kNone);
  EXPECT_EQ(LastError(), 109);
}

TEST_F(Scan, RepliesReadWordsAsHexadecimalNumbers) {
  Link().ParsingReply = true;
  Formatting().DisplayRadix = 10;
  Line("ABCD");
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 0xABCD);
  Line("PC");  // a keyword stays a keyword
  EXPECT_EQ(GetToken(), tok::kPC);
}

TEST_F(Scan, SuppressedBoxesOnlySetTheErrorFlag) {
  SuspendMessages();
  Line("%");
  EXPECT_EQ(GetToken(), tok::kNone);
  ResumeMessages();
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(Messages().LastErrorCode, 0);
  EXPECT_EQ(BoxesShown(), 0u);
}

TEST_F(Scan, QuietModeEndsWithTheSyntaxErrorText) {
  Messages().QuietMessages = true;
  Formatting().DisplayRadix = 10;
  Line("ZZ");  // no keyword, no symbol, no number
  EXPECT_EQ(GetToken(), tok::kNone);
  EXPECT_EQ(Messages().LastMessageText, "Syntax Error");
  EXPECT_EQ(BoxesShown(), 0u);
}

TEST_F(Scan, AnUnknownWordIsASymbolError) {
  Formatting().DisplayRadix = 10;
  Line("ZZ");
  EXPECT_EQ(GetToken(), tok::kNone);
  EXPECT_EQ(LastError(), 137);
  EXPECT_EQ(Messages().LastErrorParams.Arg1, "ZZ");
}

TEST_F(Scan, AHexadecimalWordFallsBackToANumber) {
  Line("FF");
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 255);
  EXPECT_FALSE(Messages().ErrorFlag);  // the trial lookup leaves nothing behind
  EXPECT_EQ(BoxesShown(), 0u);
}

TEST_F(Scan, WordsOfSixtyFiveCharactersAreTooLong) {
  Line(std::string(64, 'A') + "H");
  EXPECT_EQ(GetToken(), tok::kNone);
  EXPECT_EQ(LastError(), 150);
  ResetMessages();
  Line(std::string(63, 'A') + "H");
  EXPECT_EQ(GetToken(), kNum);
}

TEST_F(Scan, QuotedTextCharacters) {
  Line("'a''b'x");
  EXPECT_EQ(GetToken(), tok::kQuote);
  EXPECT_EQ(ReadStringChar(), 'a');
  EXPECT_EQ(ReadStringChar(), '\'');
  EXPECT_EQ(ReadStringChar(), 'b');
  EXPECT_EQ(ReadStringChar(), '\0');
  EXPECT_EQ(Scanner().ScanChar, 'x');
  Line("'a");
  GetToken();
  EXPECT_EQ(ReadQuotedChar(), 'a');
  EXPECT_EQ(ReadQuotedChar(), '\0');  // the line ended inside the text
  EXPECT_EQ(LastError(), 118);
}

TEST_F(Scan, BitSuffix) {
  Line("3 ");
  EXPECT_TRUE(ReadBitSuffix());
  EXPECT_EQ(Scanner().BitNumber, 3);
  EXPECT_TRUE(InBitContext());
  Line("8");
  EXPECT_FALSE(ReadBitSuffix());
  EXPECT_EQ(LastError(), 118);
  ResetMessages();
  Line("3X");
  EXPECT_FALSE(ReadBitSuffix());
}

TEST(CharacterClasses, AsTheScannerSeesThem) {
  EXPECT_TRUE(IsIdentStart('a'));
  EXPECT_TRUE(IsIdentStart('?'));
  EXPECT_TRUE(IsIdentStart('_'));
  EXPECT_FALSE(IsIdentStart('1'));
  EXPECT_TRUE(IsIdentChar('1'));
  EXPECT_FALSE(IsIdentChar('.'));
  EXPECT_EQ(HexDigitValue('f'), 15);
  EXPECT_EQ(HexDigitValue('G'), 255);
  EXPECT_TRUE(IsSeparator('='));
  EXPECT_FALSE(IsSeparator('.'));
  int operators = 0;
  for (int t = 0; t < 256; ++t) operators += IsOperatorToken(static_cast<uint8_t>(t));
  EXPECT_EQ(operators, 14);
}

TEST(IsBitAddressable, InternalRamAndEveryEighthRegister) {
  struct BitCase {
    uint8_t space;
    uint32_t addr;
    bool expected;
  };
  const BitCase cases[] = {
      {2, 0x20, true},  {2, 0x2F, true},  {2, 0x30, false}, {2, 0x1F, false},
      {2, 0x80, true},  {2, 0x88, true},  {2, 0x81, false}, {5, 0xE0, true},
      {0x12, 0x20, true},  // only the low 4 bits count for the direct space
      {3, 0x20, false}, {0, 0x20, false}, {2, 0x100, false},
  };
  for (const BitCase& c : cases)
    EXPECT_EQ(IsBitAddressable(c.space, c.addr), c.expected) << int(c.space) << " " << c.addr;
}

// Symbols of the loaded program

class ScanSymbols : public testing::LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    ResetSymbolLookup();
    CreateSymbolCollections();
    Add("MAIN", 0x100, kClassProcedure);
    Add("COUNT", 0x30, kClassData | kClassPublic);
    Add("GO", 0x31, kClassData | kClassPublic);
    Add("", 0x100, kClassLine, 10);
    Add("", 0x103, kClassLine, 11);
    Add("OTHER", 0x200, kClassProcedure);
    Add("", 0x200, kClassLine, 20);
    Add("NOLINES", 0x300, kClassProcedure);
    Add("LATE", 0x32, kClassData);
    MainForm().CurrentPC = 0x5000;  // outside every module
  }
  void Add(const char* name, uint32_t value, uint8_t cls, int32_t number = 0) {
    tSymbolItem& s = Collections().SymbolTable->Add();
    s.Name = name;
    s.Value = value;
    s.SymClass = cls;
    s.Number = number;
  }
};

TEST_F(ScanSymbols, AWordThatIsNoKeywordResolvesAsASymbol) {
  Line("COUNT+1");
  EXPECT_EQ(GetToken(), tok::kSymbol);
  EXPECT_EQ(SymbolAt(SymbolLookup().SymbolRef.Sym)->Name, "COUNT");
  EXPECT_EQ(GetToken(), tok::kPlus);
}

TEST_F(ScanSymbols, AQuotedWordIsOnlyASymbol) {
  EXPECT_EQ(Tokens("GO"), (TokenList{tok::kGO, kCR}));
  Line("\"GO");
  EXPECT_EQ(GetToken(), tok::kSymbol);
  EXPECT_EQ(SymbolAt(SymbolLookup().SymbolRef.Sym)->Name, "GO");
}

TEST_F(ScanSymbols, ComparisonsBetweenSymbols) {
  EXPECT_EQ(Tokens("COUNT<>\"GO"), (TokenList{tok::kSymbol, tok::kNE, tok::kSymbol, kCR}));
  EXPECT_EQ(Tokens("COUNT==\"GO"), (TokenList{tok::kSymbol, tok::kEqual, tok::kSymbol, kCR}));
}

TEST_F(ScanSymbols, ColonAfterASymbolIsALabelColon) {
  EXPECT_EQ(Tokens("COUNT:"), (TokenList{tok::kSymbol, tok::kColon, kCR}));
}

TEST_F(ScanSymbols, ModuleReferences) {
  Line(":MAIN");
  EXPECT_EQ(GetToken(), tok::kColon);
  EXPECT_EQ(SymbolAt(Collections().FoundSymbol)->Name, "MAIN");
  Line(":MAIN#11");
  EXPECT_EQ(GetToken(), tok::kHash);
  EXPECT_EQ(SymbolAt(Collections().FoundSymbol)->Value, 0x103u);
  Line(".:OTHER#20 ");
  EXPECT_EQ(GetToken(), tok::kHash);
  EXPECT_EQ(SymbolAt(Collections().FoundSymbol)->Value, 0x200u);
}

TEST_F(ScanSymbols, LineReferenceGivesTheAddressInTheLineAssembler) {
  dorvik::Run().AsmLineMode = true;
  Line(":MAIN#11");
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_EQ(Scanner().ExprValue, 0x103);
  EXPECT_EQ(Scanner().ValueSpace, kValueSpaceCode);
}

TEST_F(ScanSymbols, ModuleReferenceErrors) {
  struct ErrorCase {
    const char* line;
    int error;
  };
  const ErrorCase cases[] = {
      {":", 152},           // no module name at the end of the line
      {":1", 118},
      {":NOSUCH", 137},
      {":COUNT", 139},      // known, but not a module
      {":MAIN#99", 141},    // no such line
      {":MAIN#20", 141},    // line 20 belongs to the next module
      {":NOLINES#1", 142},  // no line information
      {":MAIN#1X", 118},
  };
  for (const ErrorCase& c : cases) {
    ResetMessages();
    Line(c.line);
    EXPECT_EQ(GetToken(), tok::kNone) << c.line;
    EXPECT_EQ(LastError(), c.error) << c.line;
  }
}

TEST_F(ScanSymbols, ALineOfTheCurrentProcedure) {
  MainForm().CurrentPC = 0x5000;
  Line("#10");
  EXPECT_EQ(GetToken(), tok::kNone);
  EXPECT_EQ(Messages().LastWarningCode, 6);
  EXPECT_TRUE(Messages().ErrorFlag);
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
