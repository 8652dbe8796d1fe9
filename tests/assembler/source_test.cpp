#include "assembler/source.h"

#include <gtest/gtest.h>

#include "assembler/controls.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

// The listing copy of LINES after pass 2 reads them with tab width TABS.
std::string ListCopy(const std::string& line, uint8_t tabs = 8) {
  std::vector<std::string> lines{line};
  AsmContext c;
  SetControlDefaults(c);
  InitSymbolArea(c);
  c.AsmPass = 2;
  c.InMemoryLines = &lines;
  c.scan.ScanChar = kCR;
  c.TabSize = tabs;
  while (GetAsmChar(c) != kCR) {
  }
  return c.scan.ListLine;
}

TEST(Source, TabsExpandInTheListingCopyAndLongLinesAreCut) {
  EXPECT_EQ(ListCopy("\tX"), std::string(8, ' ') + "X");
  EXPECT_EQ(ListCopy("abc\tY"), "abc" + std::string(5, ' ') + "Y");
  EXPECT_EQ(ListCopy("a\tb", 4), "a   b");
  EXPECT_LE(ListCopy(std::string(5000, ';')).size(), 255u);
  // 254 characters and the line end fit; a longer line is cut with error 119.
  EXPECT_TRUE(Assemble(";" + std::string(253, 'X') + "\n END\n").Codes().empty());
  EXPECT_EQ(Assemble(";" + std::string(254, 'X') + "\n END\n").Codes(), std::vector<uint16_t>{119});
  // Windows line ends read as line ends.
  auto a = Assemble(" DB 'a;b' ; real comment\r\n END\r\n");
  EXPECT_TRUE(a.Codes().empty());
  EXPECT_EQ(a.Bytes(0, 3), (std::vector<uint8_t>{'a', ';', 'b'}));
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
