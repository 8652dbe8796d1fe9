#include "lang/collections.h"
#include "base/session.h"
#include "lang/symbols.h"

#include <gtest/gtest.h>

#include <string>

namespace dorvik {
namespace {

class CollectionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSession(); }
  void TearDown() override { ResetSession(); }
};

TEST(UpperCaseStrings, AddStoresUpperCaseAndStringIndexCountsTwoCharactersPerLineEnd) {
  tUpperCaseStrings list;
  EXPECT_EQ(list.StringIndex(1), -1);
  EXPECT_EQ(list.Add("ab"), 0);
  EXPECT_EQ(list.Add("Cd"), 1);
  EXPECT_EQ(list.Text(), "AB\r\nCD\r\n");
  struct Case { int32_t CharPos; int32_t Line; };
  for (Case c : {Case{0, -1}, Case{-3, -1}, Case{1, 0}, Case{4, 0}, Case{5, 1}, Case{7, 1}, Case{8, -1},
                 Case{100, -1}}) {
    EXPECT_EQ(list.StringIndex(c.CharPos), c.Line) << "CharPos " << c.CharPos;
  }
}

TEST(HintWindow, HundredCharactersWithBlanksMakeTwoLinesThirtySixPixelsHigh) {
  std::string text;
  while (text.size() < 100) text += "WORD12345 ";
  text.resize(100);
  TScriptWindow hint;
  hint.X = 10;
  hint.Y = 20;
  hint.Text = text;
  hint.LayoutText(2000, [](std::string_view s) { return static_cast<int32_t>(s.size()) * 7; });
  EXPECT_EQ(hint.Height, 36);
  EXPECT_EQ(hint.Top, 30);
  EXPECT_EQ(hint.Left, 15);
  auto lines = WrapHintText(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_LE(lines[0].size(), kHintWrapColumn);
  EXPECT_EQ(hint.Caption, lines[0] + "\r\n" + lines[1]);
  EXPECT_EQ(hint.Width, static_cast<int32_t>(std::max(lines[0].size(), lines[1].size())) * 7 + 5);
}

TEST(HintWindow, WrapBreaksAfterEqualsSignsKeepsLineEndsAndLongWords) {
  struct Case { std::string Text; std::vector<std::string> Lines; };
  const Case cases[] = {
      {std::string(60, 'X') + "=" + std::string(20, 'Y'), {std::string(60, 'X') + "=", std::string(20, 'Y')}},
      {"  A = 12H  ", {"A = 12H"}},
      {"FIRST\r\nSECOND", {"FIRST", "SECOND"}},
      {std::string(80, 'Z'), {std::string(80, 'Z')}},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapHintText(c.Text), c.Lines) << c.Text;
}

}  // namespace
}  // namespace dorvik
