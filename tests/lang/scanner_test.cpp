#include "lang/scanner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/lang_fixture.h"
#include "base/session.h"

namespace dorvik {
namespace {

using TokenList = std::vector<int>;

constexpr int kCR = tok::kEndOfLine;
constexpr int kNum = tok::kNumberValue;

enum ScanMode { kCommand, kReply, kAsmLine, kCStyle };

// Symbols of a loaded program: modules MAIN (lines 10, 11), OTHER (line 20) and NOLINES.
class Scan : public testing::LangTest {
 protected:
  // Every token of the line up to the end of line or an error.
  std::vector<int> Tokens(std::string_view text) {
    Line(text);
    std::vector<int> tokens;
    for (int i = 0; i < 64; ++i) {
      const uint8_t t = GetToken();
      tokens.push_back(t);
      if (t == tok::kEndOfLine || t == tok::kNone) break;
    }
    return tokens;
  }

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

// The tokens of data/numbers.txt, each with its value and space or its error.
TEST_F(Scan, NumbersOfTheDataFile) {
  std::ifstream in(std::string(DORVIK_SOURCE_DIR) + "/tests/lang/data/numbers.txt");
  dorvik::Run().CurrentPC = 0x1234;
  dorvik::Run().AsmLineAddress = 0x200;
  int rows = 0;
  for (std::string line; std::getline(in, line);) {
    const size_t arrow = line.find(" => ");
    if (line.empty() || line[0] == '#' || arrow == std::string::npos) continue;
    ++rows;
    std::istringstream head(line.substr(0, arrow)), result(line.substr(arrow + 4));
    std::string mode, text, value;
    int radix = 16, space = -1;
    head >> mode >> radix;
    std::getline(head >> std::ws, text);
    SCOPED_TRACE(line);
    Mode(mode == "reply" ? kReply : mode == "asm" ? kAsmLine : mode == "c" ? kCStyle : kCommand,
         static_cast<uint8_t>(radix));
    result >> value;
    if (value[0] == '#') {
      EXPECT_EQ(Tokens(text).back(), tok::kNone);
      EXPECT_EQ(LastError(), std::stoi(value.substr(1)));
      EXPECT_EQ(Scanner().ScanToken, tok::kNone);
      continue;
    }
    int token = kNum;
    if (value == "pc") {
      token = tok::kPC;
      result >> value;
    }
    result >> space;
    const size_t boxes = BoxesShown();
    Line(text);
    EXPECT_EQ(GetToken(), token);
    EXPECT_TRUE(value == "*" || Scanner().ExprValue == std::stold(value)) << double(Scanner().ExprValue);
    EXPECT_TRUE(space < 0 || Scanner().ValueSpace == space) << int(Scanner().ValueSpace);
    EXPECT_EQ(GetToken(), kCR);
    EXPECT_FALSE(Messages().ErrorFlag);
    EXPECT_EQ(BoxesShown(), boxes);  // the trial lookups leave nothing behind
  }
  EXPECT_GT(rows, 45);
}

TEST_F(Scan, TheExponentAtItsLimitAndTheTextsOfErrors) {
  Mode(kCommand, 16);
  Line("1.0E4900");
  EXPECT_EQ(GetToken(), kNum);
  EXPECT_GT(Scanner().ExprValue, 1e4899L);
  EXPECT_FALSE(Messages().ErrorFlag);
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
  // A character that is no punctuation of the language, a NUL byte inside the
  // line or a letter beyond ASCII, is token 0: a syntax error.
  for (const std::string_view text : {std::string_view("XBYTE 0\0= 1", 11), std::string_view("GO \xC3\xA9")}) {
    ResetState<MessageState>();
    EXPECT_EQ(Tokens(text).back(), tok::kNone) << text;
    EXPECT_EQ(LastError(), 118) << text;
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

}  // namespace
}  // namespace dorvik
