// The project file as a whole: every section the engine keeps round-trips,
// opening frees the loaded program's tables, and bad project files end in
// one numbered message with the old file left whole.

#include "workspace/openproject.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/messages.h"
#include "project/project.h"
#include "base/runstate.h"
#include "base/session.h"
#include "debugger/breakpoints.h"
#include "lang/collections.h"
#include "lang/formatting.h"
#include "lang/typedvalue.h"
#include "platform/reporter.h"
#include "tests/platform/scratch_dir.h"

namespace dorvik {
namespace {

class OpenProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    platform::SetReporter(&boxes_);
  }
  void TearDown() override {
    platform::SetReporter(nullptr);
    ResetSession();
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> c;
    for (const auto& box : boxes_.Shown()) c.push_back(box.Caption);
    return c;
  }
  test_util::ScratchDir dir_;
  platform::ScriptedReporter boxes_;
};

TEST_F(OpenProjectTest, EverySectionRoundTripsThroughTheFile) {
  const std::string path = dir_.File("TEST.QPC");
  NewProject();
  const std::string main = dir_.Write("src/main.a51", "");
  Project().ProjectModules = {{"MAIN", main, {}}, {"LIB", "/elsewhere/lib.a51", {}}};
  Project().FileTypeList.push_back({kFileC, ".C51", "sdcc -c"});
  Project().Loader.DownloadSpeed = 1;
  Project().Loader.LoadAutomaticallyOnStart = true;
  Project().Loader.LastLoadPath = dir_.File("src/main.obj");
  TypedValues().IntMSBFirst = false;
  TypedValues().FloatMSBFirst = false;
  Formatting().CodePtrSelectors = std::bitset<256>().set(7).set(200);
  Project().Variables = {{"D51INC", "/usr/share/inc"}, {"MODE", "a=b"}};
  tBreak& bp = Breakpoints().BreakTable[2];
  bp.Used = true;
  bp.Enabled = false;
  bp.Address = 0x30;
  bp.Location = ":MAIN.START";
  // A line of an include file, its mark moved two lines down by an edit that
  // deleted its line.
  const std::string include = dir_.Write("src/twice.inc", "");
  tBreak& inInclude = Breakpoints().BreakTable[3];
  inInclude.Used = inInclude.Enabled = true;
  inInclude.Address = 0x45;
  inInclude.Location = ":MAIN#3";
  inInclude.Line = {include, -1, 5, true};
  ASSERT_TRUE(WriteProject(path));
  const std::string text = test_util::ReadAll(path);
  for (const char* line : {"MAIN=src/main.a51\n", "LIB=/elsewhere/lib.a51\n", ".C51=3,sdcc -c\n", ".A51=1,diz52\n",
                           "IntMSBFirst=No\n", "FloatMSBFirst=No\n", "CodePtrSelectors=7,200\n", "D51INC=/usr/share/inc\n",
                           "MODE=a=b\n", "Break2=0030,:MAIN.START\n", "Break2Enabled=FALSE\n",
                           "Break3=0045,:MAIN#5,src/twice.inc\n", "Break3LineDeleted=TRUE\n", "Download Speed=57600\n",
                           "LastLoadPath=src/main.obj\n", "LoadAutomaticallyOnStart=Yes\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;

  NewProject();
  EXPECT_TRUE(Project().ProjectModules.empty());
  EXPECT_TRUE(TypedValues().IntMSBFirst);
  EXPECT_FALSE(Breakpoints().BreakTable[2].Used);
  ASSERT_TRUE(OpenProject(path));
  ASSERT_EQ(Project().ProjectModules.size(), 2u);
  EXPECT_EQ(Project().ProjectModules[0].FileName, main);
  EXPECT_EQ(Project().FileTypeList.back().Compiler, "sdcc -c");
  EXPECT_EQ(Project().Loader.DownloadSpeed, 1);
  EXPECT_TRUE(Project().Loader.LoadAutomaticallyOnStart);
  EXPECT_EQ(Project().Loader.LastLoadPath, dir_.File("src/main.obj"));
  EXPECT_FALSE(TypedValues().IntMSBFirst);
  EXPECT_FALSE(TypedValues().FloatMSBFirst);
  EXPECT_EQ(Formatting().CodePtrSelectors, std::bitset<256>().set(7).set(200));
  EXPECT_EQ(Project().Variables.size(), 2u);
  EXPECT_EQ(Project().Variables[1].second, "a=b");
  const tBreak& back = Breakpoints().BreakTable[2];
  EXPECT_TRUE(back.Used);
  EXPECT_FALSE(back.Enabled);
  EXPECT_EQ(back.Address, 0x30);
  EXPECT_EQ(back.Location, ":MAIN.START");
  const tBreak& included = Breakpoints().BreakTable[3];
  EXPECT_EQ(included.Location, ":MAIN#5");
  EXPECT_EQ(std::filesystem::path(included.Line.FileName).lexically_normal(), std::filesystem::path(include));
  EXPECT_EQ(included.Line.Line, 5);
  EXPECT_TRUE(included.Line.Deleted);
  EXPECT_FALSE(back.Line.Deleted);
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(OpenProjectTest, OpeningAProjectFreesTheLoadedProgramsTables) {
  const std::string path = dir_.Write("P.QPC", "Target=VOV51\n[PROJECT]\nA=a.a51\n");
  Collections().SymbolTable.emplace();
  Collections().ModuleTable.emplace();
  Collections().TypeDefs.emplace();
  ASSERT_TRUE(OpenProject(path));
  EXPECT_FALSE(Collections().SymbolTable.has_value());
  EXPECT_FALSE(Collections().ModuleTable.has_value());
  EXPECT_FALSE(Collections().TypeDefs.has_value());
}

TEST_F(OpenProjectTest, BadProjectFilesEndInOneMessageAndKeepTheOldFile) {
  // Unknown sections and duplicate modules: the first module kept, 307, the rest read.
  const std::string path =
      dir_.Write("P.QPC", "Target=VOV51\n[MINE]\nx=1\n[PROJECT]\nA=a.a51\nB=b.a51\na=other.a51\n[OPTIONS]\nIntMSBFirst=No\n"
                          "CodePtrSelectors=1,999\n");
  ASSERT_TRUE(OpenProject(path));
  ASSERT_EQ(Project().ProjectModules.size(), 2u);
  EXPECT_EQ(Project().ProjectModules[0].FileName, dir_.File("a.a51"));
  EXPECT_FALSE(TypedValues().IntMSBFirst);
  // A selector set with a value beyond a byte keeps the set in use.
  EXPECT_EQ(Formatting().CodePtrSelectors, FormattingState{}.CodePtrSelectors);
  ASSERT_TRUE(WriteProject(path));
  EXPECT_NE(test_util::ReadAll(path).find("[MINE]\nx=1\n"), std::string::npos);

  // A project file that cannot be read: 308, nothing changed.
  EXPECT_FALSE(OpenProject(dir_.File("missing.QPC")));
  EXPECT_EQ(Project().ProjectModules.size(), 2u);
  // One that cannot be written (a folder stands there): 311, the folder untouched.
  std::filesystem::create_directories(dir_.File("FOLDER.QPC"));
  EXPECT_FALSE(WriteProject(dir_.File("FOLDER.QPC")));
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("FOLDER.QPC")));
  // Nor through a temporary file in a folder that is a file.
  const std::string before = test_util::ReadAll(path);
  dir_.Write("plain", "x");
  EXPECT_FALSE(WriteProject(dir_.File("plain/NEW.QPC")));
  EXPECT_EQ(test_util::ReadAll(path), before);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Error #307", "Error #308", "Error #311", "Error #311"}));
}

TEST_F(OpenProjectTest, SelectorSetsAreListsOfByteValues) {
  std::bitset<256> set;
  EXPECT_TRUE(ParseSelectorText(" 0, 255 ,3", set));
  EXPECT_EQ(SelectorText(set), "0,3,255");
  EXPECT_TRUE(ParseSelectorText("", set));
  EXPECT_TRUE(set.none());
  set.set(1);
  EXPECT_FALSE(ParseSelectorText("256", set));
  EXPECT_FALSE(ParseSelectorText("1;2", set));
  EXPECT_FALSE(ParseSelectorText("-1", set));
  // Empty items make no list.
  for (const char* text : {",,1", "1,", ",2", "1,,2"}) EXPECT_FALSE(ParseSelectorText(text, set)) << text;
  EXPECT_EQ(SelectorText(set), "1");  // a refused text changes nothing
}

}  // namespace
}  // namespace dorvik
