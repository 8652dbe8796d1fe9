#include "assembler/source.h"

#include <gtest/gtest.h>

#include "asm_test_util.h"
#include "assembler/asmerrors.h"
#include "assembler/asmsymbols.h"
#include "assembler/controls.h"
#include "assembler/tokenizer.h"
#include "platform/clock.h"

namespace dorvik::as {
namespace {

using testing::Assemble;

// A context reading in-memory lines in the given pass.
struct Reader {
  explicit Reader(std::vector<std::string> text, uint8_t pass = 2) : lines(std::move(text)) {
    SetControlDefaults(c);
    InitSymbolArea(c);
    c.AsmPass = pass;
    c.InMemoryLines = &lines;
    c.ScanChar = kCR;
  }
  std::vector<std::string> lines;
  AsmContext c;
};

struct NumberCase {
  const char* Text;
  int32_t Value;
  uint16_t Error;  // 0: none
};

class NumberConstant : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberConstant, Converts) {
  const auto& p = GetParam();
  Reader r({"x"});
  GetAsmChar(r.c);
  EXPECT_EQ(AsmNumberValue(r.c, p.Text), p.Value) << p.Text;
  if (p.Error == 0)
    EXPECT_TRUE(r.c.ErrorLog.empty()) << p.Text;
  else
    EXPECT_EQ(r.c.ErrorLog.at(0).Code, p.Error) << p.Text;
}

INSTANTIATE_TEST_SUITE_P(
    Radixes, NumberConstant,
    ::testing::Values(NumberCase{"0FFH", 255, 0}, NumberCase{"0FF", 0, 111},
                      NumberCase{"101B", 5, 0}, NumberCase{"12D", 12, 0},
                      NumberCase{"17O", 15, 0}, NumberCase{"18O", 0, 111},
                      NumberCase{"102B", 0, 111}, NumberCase{"B", 0, 100},
                      NumberCase{"H", 0, 100}, NumberCase{"12Q", 0, 100},
                      NumberCase{"0FFFFFFFFH", -1, 0}, NumberCase{"100000000H", 0, 103},
                      NumberCase{"99999999999", 0, 103}, NumberCase{"", 0, 100}));

TEST(Source, PrecedenceTable) {
  EXPECT_EQ(AsmPrecedence(tok::kOr), 1);
  EXPECT_EQ(AsmPrecedence(tok::kXor), 1);
  EXPECT_EQ(AsmPrecedence(tok::kAnd), 2);
  EXPECT_EQ(AsmPrecedence(tok::kNot), 3);
  EXPECT_EQ(AsmPrecedence(tok::kNe), 4);
  EXPECT_EQ(AsmPrecedence(tok::kMinus), 5);
  EXPECT_EQ(AsmPrecedence(tok::kShr), 6);
  EXPECT_EQ(AsmPrecedence(tok::kLow), 7);
  EXPECT_EQ(AsmPrecedence(tok::kComma), 0);
  EXPECT_EQ(AsmPrecedence(tok::kValue), 0);
}

TEST(Source, TabsExpandInTheListingCopy) {
  Reader r({"\tX", "abc\tY"});
  while (GetAsmChar(r.c) != kCR) {
  }
  EXPECT_EQ(r.c.ListLine, std::string(8, ' ') + "X");
  while (GetAsmChar(r.c) != kCR) {
  }
  EXPECT_EQ(r.c.ListLine, "abc" + std::string(5, ' ') + "Y");
  Reader narrow({"a\tb"});
  narrow.c.TabSize = 4;
  while (GetAsmChar(narrow.c) != kCR) {
  }
  EXPECT_EQ(narrow.c.ListLine, "a   b");
}

TEST(Source, CommentsAndStrings) {
  Reader r({"A;B", "'x;y'"});
  EXPECT_EQ(GetAsmChar(r.c), 'A');
  EXPECT_EQ(GetAsmChar(r.c), kCR);  // the comment is skipped
  EXPECT_EQ(r.c.ListLine, "A;B");   // but listed
  EXPECT_EQ(GetAsmChar(r.c), '\'');
  r.c.InString = true;
  EXPECT_EQ(GetAsmChar(r.c), 'x');
  EXPECT_EQ(GetAsmChar(r.c), ';');
  auto a = Assemble("src_string", " DB 'a;b' ; real comment\n END\n", "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(testing::HexBytesAt(a.Output(".hex"), 0, 3), (std::vector<uint8_t>{'a', ';', 'b'}));
}

TEST(Source, IllegalCharactersReadAsBlanks) {
  Reader r({"A\"B%C"});
  std::string got;
  for (char ch = GetAsmChar(r.c); ch != kCR; ch = GetAsmChar(r.c)) got += ch;
  EXPECT_EQ(got, "A B C");
  ASSERT_EQ(r.c.ErrorLog.size(), 2u);
  EXPECT_EQ(r.c.ErrorLog[0].Code, 101);
  auto a = Assemble("src_illegal", "\n\n\n\n\n\n\n\n\n\n\n NOP ~\n END\n", "NOPRINT NOOBJECT");
  ASSERT_EQ(a.C().ErrorLog.size(), 1u);
  EXPECT_EQ(a.C().ErrorLog[0].Line, 12u);
  EXPECT_EQ(ExpandAsmMessage(a.C(), 101).substr(0, 17), "ILLEGAL CHARACTER");
}

TEST(Source, SourceCharacterSet) {
  for (char ch : std::string_view(" azAZ09?\\_!#$&'()*+,-./:;<=>@^|"))
    EXPECT_TRUE(IsAsmSourceChar(ch)) << ch;
  for (char ch : std::string_view("\"%~`[]{}\t\x01\x7f"))
    EXPECT_FALSE(IsAsmSourceChar(ch)) << int(ch);
  EXPECT_FALSE(IsAsmSourceChar(static_cast<char>(0xE9)));
}

TEST(Source, OverlongLinesAreCut) {
  const std::string exact(255, 'X');
  Reader r({exact});
  GetAsmChar(r.c);
  EXPECT_EQ(r.c.LineBuffer.size(), 255u);  // 254 characters and the CR
  EXPECT_EQ(r.c.LineBuffer.back(), kCR);
  ASSERT_EQ(r.c.ErrorLog.size(), 1u);
  EXPECT_EQ(r.c.ErrorLog[0].Code, 119);
  Reader fits({std::string(254, 'X')});
  GetAsmChar(fits.c);
  EXPECT_TRUE(fits.c.ErrorLog.empty());
  Reader huge({std::string(5000, ';')});
  while (GetAsmChar(huge.c) != kCR) {
  }
  EXPECT_LE(huge.c.ListLine.size(), 255u);
}

TEST(Source, SyntaxErrorSilencesTheRestOfTheLine) {
  Reader r({"A B C"});
  GetAsmChar(r.c);
  AsmSyntaxError(r.c);
  EXPECT_EQ(GetAsmChar(r.c), 0);
  EXPECT_EQ(GetAsmToken(r.c), tok::kEol);
  auto a = Assemble("src_syntax", " MOV A,,B ) (\n END\n", "NOPRINT NOOBJECT");
  EXPECT_EQ(a.Codes(), std::vector<uint16_t>{100});
}

TEST(Source, LinesAreCountedPerPass) {
  auto a = Assemble("src_count", " NOP\n\n NOP\n END\n", "NOPRINT NOOBJECT");
  EXPECT_EQ(a.Result.LinesRead, 4u);
  EXPECT_NE(a.C().StatusText.find("4 Lines read"), std::string::npos);
}

TEST(Source, WindowsLineEndsAreAccepted) {
  auto a = Assemble("src_crlf", " MOV A,#1\r\n END\r\n", "NOPRINT NOOBJECT");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(testing::HexBytesAt(a.Output(".hex"), 0, 2), (std::vector<uint8_t>{0x74, 0x01}));
}

// A clock that moves 100 ms each time it is read.
class SteppingClock : public platform::FakeClock {
 public:
  uint32_t TickCount() override {
    Advance(100);
    return FakeClock::TickCount();
  }
};

TEST(Source, ProgressEchoShowsTheLineCountAboutEveryHalfSecond) {
  SteppingClock clock;
  platform::SetClock(&clock);
  std::string src;
  for (int i = 0; i < 400; ++i) src += " NOP\n";
  src += " END\n";
  auto dir = testing::ScratchDir("src_echo");
  testing::WriteText(dir / "t.a51", src);
  std::vector<std::string> echoes;
  AsmContext c;
  c.ProgressOut = [&echoes](const std::string& s) { echoes.push_back(s); };
  AssembleFileWithControls(c, (dir / "t.a51").string(), "NOPRINT NOOBJECT");
  const size_t bothPasses = echoes.size();
  echoes.clear();
  AssembleFileWithControls(c, (dir / "t.a51").string(), "PRINT(CON) NOOBJECT");
  platform::SetClock(nullptr);
  EXPECT_GE(bothPasses, 4u);
  // With the listing on the console only pass 1 echoes.
  EXPECT_GE(echoes.size(), 2u);
  EXPECT_LT(echoes.size(), bothPasses);
  int last = 0;
  for (const auto& e : echoes) {
    ASSERT_GE(e.size(), 3u);
    EXPECT_EQ(e.front(), '(');
    EXPECT_EQ(e.back(), ')');
    const int n = std::stoi(e.substr(1, e.size() - 2));
    EXPECT_GT(n, last);
    last = n;
  }
}

}  // namespace
}  // namespace dorvik::as
