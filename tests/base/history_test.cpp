#include "base/history.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/platform/scratch_dir.h"
#include "base/mainform.h"
#include "base/session.h"

namespace dorvik {
namespace {

class HistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    SetSettingsFileNames(dir_ + "/dorvik51", dir_);
    platform::TakeIOResult();
  }
  void TearDown() override { ResetSession(); }
  void WriteFile(const std::string& text) { std::ofstream(MainForm().HistoryFileName) << text; }
  std::string ReadFile() { return test_util::ReadAll(MainForm().HistoryFileName); }
  test_util::ScratchDir scratch_;
  const std::string& dir_ = scratch_.Path();
};

HistoryCombo ComboOf(std::vector<std::string> items, int index) {
  HistoryCombo c;
  c.Items = std::move(items);
  SelectItem(c, index);
  return c;
}

TEST_F(HistoryTest, AddTrimsAndRefusesEmptyText) {
  HistoryCombo c;
  EXPECT_FALSE(AddToHistory(c, "   \t", true));
  EXPECT_TRUE(c.Items.empty());
  EXPECT_TRUE(AddToHistory(c, "  MOV A,#1 \r\n", true));
  EXPECT_EQ(c.Items, (std::vector<std::string>{"MOV A,#1"}));
  EXPECT_EQ(c.ItemIndex, 0);
  EXPECT_EQ(c.Text, "MOV A,#1");
}

TEST_F(HistoryTest, TextAlreadyThereIsOnlySelected) {
  HistoryCombo c = ComboOf({"a", "b", "c"}, 0);
  EXPECT_FALSE(AddToHistory(c, " c ", true));
  EXPECT_EQ(c.Items, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(c.ItemIndex, 2);
  EXPECT_EQ(c.Text, "c");
  // Case counts: "C" is another text.
  EXPECT_TRUE(AddToHistory(c, "C", false));
  EXPECT_EQ(c.ItemIndex, 3);
}

TEST_F(HistoryTest, AtTopOrAppendedAndCutToTwenty) {
  HistoryCombo c;
  for (int i = 1; i <= 25; ++i) EXPECT_TRUE(AddToHistory(c, std::to_string(i), true));
  ASSERT_EQ(c.Items.size(), 20u);
  EXPECT_EQ(c.Items.front(), "25");
  EXPECT_EQ(c.Items.back(), "6");
  EXPECT_EQ(c.ItemIndex, 0);
  EXPECT_TRUE(AddToHistory(c, "end", false));
  ASSERT_EQ(c.Items.size(), 20u);
  EXPECT_EQ(c.Items[18], "7");  // the 20th item went to make room
  EXPECT_EQ(c.Items.back(), "end");
  EXPECT_EQ(c.ItemIndex, 19);
  EXPECT_EQ(c.Text, "end");
}

TEST_F(HistoryTest, MissingFileLoadsEmptyButAMissingFolderFailsTheSave) {
  HistoryCombo c = ComboOf({"x"}, 0);
  LoadHistory(c, 18);
  EXPECT_TRUE(c.Items.empty());
  EXPECT_EQ(c.ItemIndex, -1);
  EXPECT_EQ(c.Text, "");
  EXPECT_EQ(platform::TakeIOResult(), 0);
  SetSettingsFileNames(dir_ + "/none/dorvik51", dir_);
  EXPECT_FALSE(SaveHistory(ComboOf({"a"}, 0), 1));
  EXPECT_NE(platform::TakeIOResult(), 0);
}

TEST_F(HistoryTest, SaveThenLoadRoundTrips) {
  HistoryCombo c = ComboOf({"MOV A,#1", "NOP", "SJMP $"}, 1);
  ASSERT_TRUE(SaveHistory(c, 19));
  HistoryCombo d;
  LoadHistory(d, 19);
  EXPECT_EQ(d.Items, c.Items);
  EXPECT_EQ(d.ItemIndex, 1);
  EXPECT_EQ(d.Text, "NOP");
  EXPECT_FALSE(platform::FileExists(dir_ + "/dorvik51.TMP"));
  // A full history: its twentieth item, selected, goes and comes back.
  HistoryCombo full;
  for (int i = 1; i <= 20; ++i) full.Items.push_back("item" + std::to_string(i));
  SelectItem(full, 19);
  ASSERT_TRUE(SaveHistory(full, 19));
  LoadHistory(d, 19);
  EXPECT_EQ(d.Items, full.Items);
  EXPECT_EQ(d.ItemIndex, 19);
  EXPECT_EQ(d.Text, "item20");
}

TEST_F(HistoryTest, SaveKeepsOtherTagsLinesAndDropsOwnStaleOnes) {
  WriteFile(
      "[OTHER]\nkeep=1\n[HISTORY]\n1H0=0\n1H1=one\n18H0=2\n18H1=a\n18H2=b\n18H3=c\n"
      "180H1=x\n18HX=odd\n");
  HistoryCombo c = ComboOf({"new"}, 0);
  ASSERT_TRUE(SaveHistory(c, 18));
  EXPECT_EQ(ReadFile(), "[OTHER]\nkeep=1\n[HISTORY]\n1H0=0\n1H1=one\n180H1=x\n18HX=odd\n18H0=0\n18H1=new\n");
  HistoryCombo one;
  LoadHistory(one, 1);
  EXPECT_EQ(one.Items, (std::vector<std::string>{"one"}));
  HistoryCombo d;
  LoadHistory(d, 18);
  EXPECT_EQ(d.Items, (std::vector<std::string>{"new"}));
}

TEST_F(HistoryTest, LoadSkipsGapsAndBadIndex) {
  WriteFile("[HISTORY]\n5H0=7\n5H1=a\n5H3=c\n5H21=ignored\n");
  HistoryCombo c;
  LoadHistory(c, 5);
  EXPECT_EQ(c.Items, (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(c.ItemIndex, -1);  // index 7 is beyond the items
  WriteFile("[HISTORY]\n5H0=x\n5H1=a\n");
  LoadHistory(c, 5);
  EXPECT_EQ(c.ItemIndex, -1);
  // The last item is selected; the index just past it selects none.
  WriteFile("[HISTORY]\n5H0=1\n5H1=a\n5H2=b\n");
  LoadHistory(c, 5);
  EXPECT_EQ(c.ItemIndex, 1);
  EXPECT_EQ(c.Text, "b");
  WriteFile("[HISTORY]\n5H0=2\n5H1=a\n5H2=b\n");
  LoadHistory(c, 5);
  EXPECT_EQ(c.ItemIndex, -1);
  EXPECT_EQ(c.Text, "");
}

}  // namespace
}  // namespace dorvik
