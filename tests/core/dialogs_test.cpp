#include "core/dialogs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "workbench/mainform.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;
using platform::DialogAction;

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string t = (fs::temp_directory_path() / "dorvik-dlg-XXXXXX").string();
    dir_ = ::mkdtemp(t.data());
    ResetMainForm();
    SetSettingsFileNames(dir_ + "/dorvik51", dir_);
    ResetDialogs();
    platform::SetDialogUi(&ui_);
  }
  void TearDown() override {
    platform::SetDialogUi(nullptr);
    fs::remove_all(dir_);
  }
  const std::string& HistoryFile() const { return MainForm().HistoryFileName; }
  void WriteHistory(const std::string& text) { std::ofstream(HistoryFile()) << text; }
  fs::file_time_type Stamp() const { return fs::last_write_time(HistoryFile()); }

  std::string dir_;
  platform::ScriptedDialogs ui_;
};

TEST_F(DialogsTest, InputWithKnownTextOnlySelectsItAndWritesNothing) {
  WriteHistory("[HISTORY]\n7H0=0\n7H1=1000H\n7H2=2000H\n");
  std::error_code ec;
  fs::last_write_time(HistoryFile(), fs::file_time_type::clock::now() - std::chrono::hours(1), ec);
  const auto before = Stamp();
  TInputDialog& d = Dialogs().InputDialog;
  d.comboBox1.Tag = 7;
  d.comboBox1.Text = "1000H";
  ui_.InputReplies.push_back({DialogAction::Ok, "1000H"});
  EXPECT_EQ(d.ShowModal(), kModalOk);
  EXPECT_EQ(d.Value, "1000H");
  EXPECT_EQ(ui_.InputsShown.at(0).History, (std::vector<std::string>{"1000H", "2000H"}));
  EXPECT_EQ(Stamp(), before);
}

TEST_F(DialogsTest, InputWithNewTextWritesHistory) {
  WriteHistory("[HISTORY]\n7H0=0\n7H1=1000H\n3H1=other\n");
  TInputDialog& d = Dialogs().InputDialog;
  d.comboBox1.Tag = 7;
  d.comboBox1.Text = "";
  ui_.InputReplies.push_back({DialogAction::Ok, "  3000H "});
  EXPECT_EQ(d.ShowModal(), kModalOk);
  EXPECT_EQ(d.Value, "3000H");
  HistoryCombo back;
  LoadHistory(back, 7);
  EXPECT_EQ(back.Items, (std::vector<std::string>{"3000H", "1000H"}));
  EXPECT_EQ(back.ItemIndex, 0);
  HistoryCombo other;
  LoadHistory(other, 3);
  EXPECT_EQ(other.Items, (std::vector<std::string>{"other"}));
}

TEST_F(DialogsTest, InputCallerTextGoesOnTopAndIsSavedEvenOnCancel) {
  TInputDialog& d = Dialogs().InputDialog;
  d.comboBox1.Tag = 2;
  d.comboBox1.Text = "FILL.X";
  EXPECT_EQ(d.ShowModal(), kModalCancel);  // the script has no answer: Cancel
  EXPECT_EQ(ui_.InputsShown.at(0).Text, "FILL.X");
  HistoryCombo back;
  LoadHistory(back, 2);
  EXPECT_EQ(back.Items, (std::vector<std::string>{"FILL.X"}));
}

TEST_F(DialogsTest, InputChoosingAnotherItemCountsAsChange) {
  WriteHistory("[HISTORY]\n7H0=0\n7H1=a\n7H2=b\n");
  TInputDialog& d = Dialogs().InputDialog;
  d.comboBox1.Tag = 7;
  d.comboBox1.Text = "";
  ui_.InputReplies.push_back({DialogAction::Cancel, "b"});
  EXPECT_EQ(d.ShowModal(), kModalCancel);
  HistoryCombo back;
  LoadHistory(back, 7);
  EXPECT_EQ(back.ItemIndex, 1);
}

TEST_F(DialogsTest, InputBrowseTakesTheFileAndStaysOpen) {
  TInputDialog& d = Dialogs().InputDialog;
  d.comboBox1.Tag = 4;
  d.comboBox1.Text = "";
  ui_.BrowseReplies.push_back("/src/blink.hex");
  ui_.InputReplies.push_back({DialogAction::Browse, ""});
  ui_.InputReplies.push_back({DialogAction::Ok, "/src/blink.hex"});
  EXPECT_EQ(d.ShowModal(), kModalOk);
  ASSERT_EQ(ui_.InputsShown.size(), 2u);
  EXPECT_EQ(ui_.InputsShown[1].Text, "/src/blink.hex");
  EXPECT_EQ(d.Value, "/src/blink.hex");
}

TEST_F(DialogsTest, InputBrowseOnAFaceWithoutTheButtonCancels) {
  TInputDialog& d = Dialogs().InputDialog;
  d.BrowseVisible = false;
  ui_.InputReplies.push_back({DialogAction::Browse, ""});
  ui_.InputReplies.push_back({DialogAction::Ok, "x"});
  EXPECT_EQ(d.ShowModal(), kModalCancel);
}

TEST_F(DialogsTest, CreateDialogSetsCaptionsAndSelection) {
  TInputDialog d;
  EXPECT_EQ(d.OkCaption, "OK");
  EXPECT_EQ(d.BrowseCaption, "Browse");
  EXPECT_EQ(d.CancelCaption, "Cancel");
  EXPECT_EQ(d.comboBox1.ItemIndex, -1);
  TInputDialog2 d2;
  EXPECT_EQ(d2.Caption, "Add Environment Variable");
  EXPECT_EQ(d2.lblName, "Name");
  EXPECT_EQ(d2.lblValue, "Value");
  EXPECT_FALSE(d2.BrowseVisible);
}

TEST_F(DialogsTest, PairBrowseWithoutNameEditNamesAfterTheFile) {
  TInputDialog2& d = Dialogs().InputDialog2;
  d.comboName.Tag = 30;
  d.ComboValue.Tag = 31;
  d.BrowseVisible = true;
  ui_.BrowseReplies.push_back("C:\\WORK\\MY.DEF");
  ui_.PairReplies.push_back({DialogAction::Browse, "", "", false});
  ui_.PairReplies.push_back({DialogAction::Ok, "MY", "C:\\WORK\\MY.DEF", false});
  EXPECT_EQ(d.ShowModal(), kModalOk);
  EXPECT_EQ(ui_.PairsShown.at(1).Name, "MY");
  EXPECT_EQ(ui_.PairsShown.at(1).Value, "C:\\WORK\\MY.DEF");
  EXPECT_EQ(d.comboName.Text, "MY");
  EXPECT_TRUE(d.NameChanged);
  HistoryCombo names;
  LoadHistory(names, 30);
  EXPECT_EQ(names.Items, (std::vector<std::string>{"MY"}));
}

TEST_F(DialogsTest, PairBrowseAfterNameEditKeepsTheName) {
  TInputDialog2& d = Dialogs().InputDialog2;
  d.comboName.Tag = 30;
  d.ComboValue.Tag = 31;
  d.BrowseVisible = true;
  ui_.BrowseReplies.push_back("/defs/adu.c841.def");
  ui_.PairReplies.push_back({DialogAction::Browse, "MINE", "", true});
  ui_.PairReplies.push_back({DialogAction::Ok, "MINE", "/defs/adu.c841.def", false});
  EXPECT_EQ(d.ShowModal(), kModalOk);
  EXPECT_EQ(d.comboName.Text, "MINE");
  EXPECT_EQ(d.ComboValue.Text, "/defs/adu.c841.def");
}

TEST_F(DialogsTest, PairBrowseNameStopsAtFirstDot) {
  TInputDialog2& d = Dialogs().InputDialog2;
  d.BrowseVisible = true;
  ui_.BrowseReplies.push_back("/defs/adu.c841.def");
  ui_.PairReplies.push_back({DialogAction::Browse, "", "", false});
  d.ShowModal();
  EXPECT_EQ(ui_.PairsShown.at(1).Name, "ADU");
}

TEST_F(DialogsTest, PairCancelWritesNothing) {
  TInputDialog2& d = Dialogs().InputDialog2;
  d.comboName.Tag = 30;
  d.ComboValue.Tag = 31;
  ui_.PairReplies.push_back({DialogAction::Cancel, "X", "Y", true});
  EXPECT_EQ(d.ShowModal(), kModalCancel);
  EXPECT_FALSE(platform::FileExists(HistoryFile()));
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
