#include "assembler/source.h"

#include <gtest/gtest.h>

#include "assembler/asmerrors.h"
#include "assembler/controls.h"
#include "assembler/tokenizer.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

// A context reading in-memory lines in pass 2.
struct Reader {
  explicit Reader(std::vector<std::string> text) : lines(std::move(text)) {
    SetControlDefaults(c);
    InitSymbolArea(c);
    c.AsmPass = 2;
    c.InMemoryLines = &lines;
    c.scan.ScanChar = kCR;
  }
  void SkipLine() {
    while (GetAsmChar(c) != kCR) {
    }
  }
  std::vector<std::string> lines;
  AsmContext c;
};

TEST(Source, NumberConstantsConvert) {
  const struct {
    const char* Text;
    int32_t Value;
    uint16_t Error;  // 0: none
  } cases[] = {{"0FFH", 255, 0},       {"0FF", 0, 111},         {"101B", 5, 0},
               {"12D", 12, 0},         {"17O", 15, 0},          {"18O", 0, 111},
               {"102B", 0, 111},       {"B", 0, 100},           {"H", 0, 100},
               {"12Q", 0, 100},        {"0FFFFFFFFH", -1, 0},   {"100000000H", 0, 103},
               {"99999999999", 0, 103}, {"", 0, 100}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Text);
    Reader r({"x"});
    GetAsmChar(r.c);
    EXPECT_EQ(AsmNumberValue(r.c, k.Text), k.Value);
    if (k.Error == 0) {
      EXPECT_TRUE(r.c.ErrorLog.empty());
    } else {
      EXPECT_EQ(r.c.ErrorLog.at(0).Code, k.Error);
    }
  }
}

TEST(Source, TabsExpandInTheListingCopy) {
  Reader r({"\tX", "abc\tY"});
  r.SkipLine();
  EXPECT_EQ(r.c.scan.ListLine, std::string(8, ' ') + "X");
  r.SkipLine();
  EXPECT_EQ(r.c.scan.ListLine, "abc" + std::string(5, ' ') + "Y");
  Reader narrow({"a\tb"});
  narrow.c.TabSize = 4;
  narrow.SkipLine();
  EXPECT_EQ(narrow.c.scan.ListLine, "a   b");
}

TEST(Source, CommentsAndStrings) {
  Reader r({"A;B", "'x;y'"});
  EXPECT_EQ(GetAsmChar(r.c), 'A');
  EXPECT_EQ(GetAsmChar(r.c), kCR);  // the comment is skipped
  EXPECT_EQ(r.c.scan.ListLine, "A;B");  // but listed
  EXPECT_EQ(GetAsmChar(r.c), '\'');
  r.c.line.InString = true;
  EXPECT_EQ(GetAsmChar(r.c), 'x');
  EXPECT_EQ(GetAsmChar(r.c), ';');
  auto a = Assemble(" DB 'a;b' ; real comment\r\n END\r\n");  // Windows line ends too
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Bytes(0, 3), (std::vector<uint8_t>{'a', ';', 'b'}));
}

TEST(Source, IllegalCharactersReadAsBlanks) {
  for (char ch : std::string_view(" azAZ09?\\_!#$&'()*+,-./:;<=>@^|")) EXPECT_TRUE(IsAsmSourceChar(ch)) << ch;
  for (char ch : std::string_view("\"%~`[]{}\t\x01\x7f\xe9")) EXPECT_FALSE(IsAsmSourceChar(ch)) << int(ch);
  Reader r({"A\"B%C"});
  std::string got;
  for (char ch = GetAsmChar(r.c); ch != kCR; ch = GetAsmChar(r.c)) got += ch;
  EXPECT_EQ(got, "A B C");
  ASSERT_EQ(r.c.ErrorLog.size(), 2u);
  EXPECT_EQ(r.c.ErrorLog[0].Code, 101);
  auto a = Assemble("\n\n\n\n\n\n\n\n\n\n\n NOP ~\n END\n");
  ASSERT_EQ(a.C().ErrorLog.size(), 1u);
  EXPECT_EQ(a.C().ErrorLog[0].Line, 12u);
  EXPECT_EQ(ExpandAsmMessage(a.C(), 101).substr(0, 17), "ILLEGAL CHARACTER");
}

TEST(Source, OverlongLinesAreCut) {
  Reader r({std::string(255, 'X')});
  GetAsmChar(r.c);
  EXPECT_EQ(r.c.scan.LineBuffer.size(), 255u);  // 254 characters and the CR
  EXPECT_EQ(r.c.scan.LineBuffer.back(), kCR);
  ASSERT_EQ(r.c.ErrorLog.size(), 1u);
  EXPECT_EQ(r.c.ErrorLog[0].Code, 119);
  Reader fits({std::string(254, 'X')});
  GetAsmChar(fits.c);
  EXPECT_TRUE(fits.c.ErrorLog.empty());
  Reader huge({std::string(5000, ';')});
  huge.SkipLine();
  EXPECT_LE(huge.c.scan.ListLine.size(), 255u);
}

TEST(Source, SyntaxErrorSilencesTheRestOfTheLine) {
  Reader r({"A B C"});
  GetAsmChar(r.c);
  AsmSyntaxError(r.c);
  EXPECT_EQ(GetAsmChar(r.c), 0);
  EXPECT_EQ(GetAsmToken(r.c), tok::kEol);
  EXPECT_EQ(Assemble(" MOV A,,B ) (\n END\n").Codes(), std::vector<uint16_t>{100});
  auto a = Assemble(" NOP\n\n NOP\n END\n");  // lines are counted per pass
  EXPECT_EQ(a.Result.LinesRead, 4u);
  EXPECT_NE(a.Status().find("4 Lines read"), std::string::npos);
}

TEST(Source, ProgressEchoShowsTheLineCountAboutEveryHalfSecond) {
  SteppingClock clock;
  platform::SetClock(&clock);
  std::string src;
  for (int i = 0; i < 400; ++i) src += " NOP\n";
  const fs::path dir = ScratchDir("echo");
  WriteFile(dir / "t.a51", src + " END\n");
  std::vector<std::string> echoes;
  AsmContext c;
  c.ProgressOut = [&echoes](const std::string& s) { echoes.push_back(s); };
  AssembleFileWithControls(c, (dir / "t.a51").string(), kQuiet);
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
