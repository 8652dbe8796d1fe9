#include "base/dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "tests/platform/scratch_dir.h"
#include "base/mainform.h"
#include "base/session.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;
using platform::DialogAction;

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    SetSettingsFileNames(dir_ + "/dorvik51", dir_);
    platform::SetDialogUi(&ui_);
  }
  void TearDown() override { platform::SetDialogUi(nullptr); }
  const std::string& HistoryFile() const { return MainForm().HistoryFileName; }
  void WriteHistory(const std::string& text) { std::ofstream(HistoryFile()) << text; }
  fs::file_time_type Stamp() const { return fs::last_write_time(HistoryFile()); }
  static TInputDialog& Input(int32_t tag, const std::string& text) {
    TInputDialog& d = Dialogs().InputDialog;
    d.comboBox1.Tag = tag;
    d.comboBox1.Text = text;
    return d;
  }
  static HistoryCombo History(int32_t tag) {
    HistoryCombo c;
    LoadHistory(c, tag);
    return c;
  }

  test_util::ScratchDir scratch_;
  const std::string& dir_ = scratch_.Path();
  platform::ScriptedDialogs ui_;
};

TEST_F(DialogsTest, InputWithKnownTextOnlySelectsItAndWritesNothing) {
  WriteHistory("[HISTORY]\n7H0=0\n7H1=1000H\n7H2=2000H\n");
  std::error_code ec;
  fs::last_write_time(HistoryFile(), fs::file_time_type::clock::now() - std::chrono::hours(1), ec);
  const auto before = Stamp();
  TInputDialog& d = Input(7, "1000H");
  ui_.InputReplies.push_back({DialogAction::Ok, "1000H"});
  EXPECT_EQ(d.ShowModal(), kModalOk);
  EXPECT_EQ(d.Value, "1000H");
  EXPECT_EQ(ui_.InputsShown.at(0).History, (std::vector<std::string>{"1000H", "2000H"}));
  EXPECT_EQ(Stamp(), before);
}

TEST_F(DialogsTest, InputWithNewTextWritesHistory) {
  WriteHistory("[HISTORY]\n7H0=0\n7H1=1000H\n3H1=other\n");
  TInputDialog& d = Input(7, "");
  ui_.InputReplies.push_back({DialogAction::Ok, "  3000H "});
  EXPECT_EQ(d.ShowModal(), kModalOk);
  EXPECT_EQ(d.Value, "3000H");
  EXPECT_EQ(History(7).Items, (std::vector<std::string>{"3000H", "1000H"}));
  EXPECT_EQ(History(7).ItemIndex, 0);
  EXPECT_EQ(History(3).Items, (std::vector<std::string>{"other"}));
}

TEST_F(DialogsTest, InputCallerTextGoesOnTopAndIsSavedEvenOnCancel) {
  TInputDialog& d = Input(2, "FILL.X");
  EXPECT_EQ(d.ShowModal(), kModalCancel);  // the script has no answer: Cancel
  EXPECT_EQ(ui_.InputsShown.at(0).Text, "FILL.X");
  EXPECT_EQ(History(2).Items, (std::vector<std::string>{"FILL.X"}));
}

TEST_F(DialogsTest, InputBrowseTakesTheFileAndStaysOpen) {
  TInputDialog& d = Input(4, "");
  ui_.BrowseReplies.push_back("/src/blink.hex");
  ui_.InputReplies.push_back({DialogAction::Browse, ""});
  ui_.InputReplies.push_back({DialogAction::Ok, "/src/blink.hex"});
  EXPECT_EQ(d.ShowModal(), kModalOk);
  ASSERT_EQ(ui_.InputsShown.size(), 2u);
  EXPECT_EQ(ui_.InputsShown[1].Text, "/src/blink.hex");
  EXPECT_EQ(d.Value, "/src/blink.hex");
  // Browse on a face without the button cancels.
  d.BrowseVisible = false;
  ui_.InputReplies.push_back({DialogAction::Browse, ""});
  ui_.InputReplies.push_back({DialogAction::Ok, "x"});
  EXPECT_EQ(d.ShowModal(), kModalCancel);
}

TEST_F(DialogsTest, PairBrowseNamesAfterTheFileUnlessTheNameWasEdited) {
  struct Case {
    std::string File, Typed;
    bool Edited;
    std::string Name;  // the name shown after browsing
  };
  const Case cases[] = {
      {"C:\\WORK\\MY.DEF", "", false, "MY"},
      {"/defs/adu.c841.def", "", false, "ADU"},  // up to the first dot
      {"/defs/adu.c841.def", "MINE", true, "MINE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File + " " + c.Typed);
    ResetState<DialogForms>();
    ui_ = platform::ScriptedDialogs();
    TInputDialog2& d = Dialogs().InputDialog2;
    d.comboName.Tag = 30;
    d.ComboValue.Tag = 31;
    d.BrowseVisible = true;
    ui_.BrowseReplies.push_back(c.File);
    ui_.PairReplies.push_back({DialogAction::Browse, c.Typed, "", c.Edited});
    ui_.PairReplies.push_back({DialogAction::Ok, c.Name, c.File, false});
    EXPECT_EQ(d.ShowModal(), kModalOk);
    EXPECT_EQ(ui_.PairsShown.at(1).Name, c.Name);
    EXPECT_EQ(ui_.PairsShown.at(1).Value, c.File);
    EXPECT_EQ(d.comboName.Text, c.Name);
    EXPECT_EQ(d.ComboValue.Text, c.File);
  }
  EXPECT_EQ(History(30).Items, (std::vector<std::string>{"MINE", "ADU", "MY"}));
}

TEST_F(DialogsTest, ProgressCancelStopsAFillAtTheNextStep) {
  TProgressDlg& p = Dialogs().ProgressDlg;
  ui_.CancelAtPoll = 3;
  p.Show("Fill");
  EXPECT_FALSE(p.Cancelled);
  int filled = 0;
  for (int step = 0; step < 100; ++step) {
    if (p.PollCancelled()) break;
    ++filled;
    p.SetProgress(step, 100);
  }
  p.Hide();
  EXPECT_EQ(filled, 2);
  EXPECT_TRUE(p.Cancelled);
  EXPECT_FALSE(ui_.ProgressVisible);
  // Showing again starts uncancelled.
  ui_.CancelAtPoll = 0;
  p.Show("Again");
  EXPECT_FALSE(p.PollCancelled());
}

}  // namespace
}  // namespace dorvik
