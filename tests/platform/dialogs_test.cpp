#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dorvik::platform {
namespace {

TEST(ConsoleDialogs, InputLineKeepsPicksOrReplacesText) {
  struct Case { std::string Input; DialogAction Action; std::string Text; };
  const Case cases[] = {
      {"\n", DialogAction::Ok, "shown"},    {"typed here\n", DialogAction::Ok, "typed here"},
      {"#2\n", DialogAction::Ok, "second"}, {"#3\n", DialogAction::Ok, "#3"},  // no such item: taken as text
      {"#x\n", DialogAction::Ok, "#x"},     {"", DialogAction::Cancel, ""},
      {"#1\n", DialogAction::Ok, "first"},  {"#0\n", DialogAction::Ok, "#0"},  // the first item, none before it
      {"#\n", DialogAction::Ok, "#"},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.Input);
    std::ostringstream out;
    ConsoleDialogs ui(in, out);
    const InputReply r = ui.AskInput({"Caption", "Address", "shown", {"first", "second"}, true});
    EXPECT_EQ(r.Action, c.Action) << c.Input;
    if (c.Action == DialogAction::Ok) {
      EXPECT_EQ(r.Text, c.Text) << c.Input;
    }
  }
}

TEST(ConsoleDialogs, PairAsksNameThenValue) {
  std::istringstream in("PATH\n/usr/bin\n");
  std::ostringstream out;
  ConsoleDialogs ui(in, out);
  PairPrompt p;
  p.Caption = "Add Environment Variable";
  p.NameLabel = "Name";
  p.ValueLabel = "Value";
  const PairReply r = ui.AskPair(p);
  EXPECT_EQ(r.Action, DialogAction::Ok);
  EXPECT_EQ(r.Name, "PATH");
  EXPECT_EQ(r.Value, "/usr/bin");
  EXPECT_TRUE(r.NameEdited);
  std::istringstream half("PATH\n");
  ConsoleDialogs ui2(half, out);
  EXPECT_EQ(ui2.AskPair(p).Action, DialogAction::Cancel);
}

TEST(ConsoleDialogs, ProgressPrintsEveryTenPerCent) {
  std::istringstream in;
  std::ostringstream out;
  ConsoleDialogs ui(in, out);
  ui.ShowProgress("Filling");
  for (int i = 0; i <= 100; ++i) ui.UpdateProgress(i, 100);
  ui.UpdateProgress(5, 0);
  EXPECT_EQ(out.str(), "Filling\n0%\n10%\n20%\n30%\n40%\n50%\n60%\n70%\n80%\n90%\n100%\n");
  EXPECT_FALSE(ui.CancelPressed());
}

}  // namespace
}  // namespace dorvik::platform
