// Small utilities: text clean-up, bit helpers, file-type compilers, desktop
// associations and the compiler vendor from a tool's banner.

#include "lang/fileutil.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/messages.h"
#include "base/runprogram.h"
#include "project/project.h"
#include "tests/platform/scratch_dir.h"
#include "tests/support/scripted_user.h"
#include "base/mainform.h"
#include "base/session.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;

using TempTree = test_util::ScratchDir;

class FileUtilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
  }
  void TearDown() override {
    ResetSession();
  }
};

// Text clean-up and bits

// Compiler of a file type

TEST_F(FileUtilTest, CompilerIsTheLastOfItsKindUpToTheExtension) {
  TempTree tree;
  const std::string a51 = tree.Write("bin/a51", "");
  const std::string asm51 = tree.Write("bin/asm51", "");
  auto& list = Project().FileTypeList;
  list = {{kFileAssembler, ".A51", a51}, {kFileC, ".C", ""}, {kFileAssembler, ".ASM", asm51}, {kFileAssembler, ".S", ""}};
  std::string command;
  GetFileTypeCompiler(kFileAssembler, ".S", command);
  EXPECT_EQ(command, asm51);
  EXPECT_EQ(list[3].Compiler, asm51);  // the node without a compiler got it
  EXPECT_EQ(list[1].Compiler, "");     // other kinds are left alone
  command.clear();
  GetFileTypeCompiler(kFileAssembler, ".a51", command);  // the walk stops at the extension
  EXPECT_EQ(command, a51);
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(FileUtilTest, WithoutACompilerTheDialogIsAskedWithTheTypeItem) {
  TempTree tree;
  testing::ScriptedUser user;
  user.CompilerAnswer = tree.Write("bin/sdcc", "");
  Project().FileTypeList = {{kFileC, ".C", ""}, {kFileC, ".H51", ""}};
  std::string command;
  GetFileTypeCompiler(kFileC, ".C", command);
  EXPECT_EQ(user.CompilerItems, std::vector<std::string>{"C"});
  EXPECT_EQ(command, user.CompilerAnswer);
  EXPECT_EQ(Project().FileTypeList[1].Compiler, user.CompilerAnswer);

  // Cancelled: nothing changes, no error.
  user.CompilerAnswer.clear();
  Project().FileTypeList = {{kFileAssembler, ".A51", ""}};
  command.clear();
  GetFileTypeCompiler(kFileAssembler, ".A51", command);
  EXPECT_EQ(user.CompilerItems.back(), "Assembler");
  EXPECT_EQ(command, "");
  EXPECT_EQ(Project().FileTypeList[0].Compiler, "");
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(FileUtilTest, AMissingCompilerReportsError320AndIsNotHandedOn) {
  Project().FileTypeList = {{kFileAssembler, ".A51", "/no/such/dir/a51"}, {kFileAssembler, ".SRC", ""}};
  std::string command;
  GetFileTypeCompiler(kFileAssembler, ".A51", command);
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(Messages().LastErrorCode, 320);
  EXPECT_EQ(Messages().LastErrorParams.Arg1, ".A51");
  EXPECT_EQ(Project().FileTypeList[1].Compiler, "");
}

// Desktop association

class AssociationTest : public FileUtilTest {
 protected:
  void SetUp() override {
    FileUtilTest::SetUp();
    data_ = tree_.File("data");
    config_ = tree_.File("config");
    FileUtil().Association = AssociationDirs{{data_, tree_.File("data2")}, {config_}};
    tree_.Write("data/mime/globs2",
                "# comment\n50:text/x-dorvik-project:*.qpc\n40:text/plain:*.txt\n60:text/x-asm:*.a51\n"
                "10:text/x-low:*.a51\n50:text/x-case:*.Cs:cs\n");
    tree_.Write("config/mimeapps.list",
                "[Added Associations]\ntext/plain=wrong.desktop\n"
                "[Default Applications]\ntext/x-dorvik-project=missing.desktop;dorvik.desktop;\n"
                "text/x-asm=editor.desktop\n");
    tree_.Write("data2/applications/dorvik.desktop",
                "[Desktop Entry]\nName=Dorvik51\nExec=dorvik51 %f\nIcon=dorvik51\n[Desktop Action x]\nExec=other\n");
    tree_.Write("data/applications/editor.desktop", "[Desktop Entry]\nExec=editor %U\n");
  }
  TempTree tree_;
  std::string data_, config_;
};

TEST_F(AssociationTest, FindsTheDefaultApplicationOfTheExtension) {
  std::string open, icon;
  EXPECT_TRUE(GetFileAssociation(".QPC", open, icon));  // globs match without regard to case
  EXPECT_EQ(open, "dorvik51 %f");
  EXPECT_EQ(icon, "dorvik51");
  EXPECT_TRUE(GetFileAssociation("a51", open, icon));  // the higher weight wins; without the dot too
  EXPECT_EQ(open, "editor %U");
  EXPECT_EQ(icon, "");
}

TEST_F(AssociationTest, WithoutAnAssociationTheOldValuesStay) {
  std::string open, icon;
  EXPECT_FALSE(GetFileAssociation(".xyz", open, icon));
  open = "kept";
  EXPECT_TRUE(GetFileAssociation(".xyz", open, icon));
  EXPECT_EQ(open, "kept");
  // A known type without a default application clears both.
  EXPECT_FALSE(GetFileAssociation(".txt", open, icon));
  EXPECT_EQ(open, "");
  // Case-sensitive globs match only their own case.
  EXPECT_FALSE(GetFileAssociation(".cs", open, icon));
  EXPECT_FALSE(GetFileAssociation("", open, icon));
}

// Tool vendor

TEST_F(FileUtilTest, VendorFromTheBannerLines) {
  const struct {
    const char* Name;
    std::vector<std::string> Lines;
    uint8_t Current;
    uint8_t Expected;
  } cases[] = {
      {"sdcc", {"SDCC : MCS51 4.2.0 #13081 (LINUX)", "PUBLISHED UNDER GNU GPL"}, kToolUnknown, kToolUnknown},
      {"sdcc with blanks", {"", "THE SDCC COMPILER"}, kToolUnknown, kToolSdcc},
      {"keil at the end of its line", {"C51 COMPILER V9 (C) KEIL"}, kToolUnknown, kToolUnknown},
      {"keil word", {"A51 MACRO ASSEMBLER BY KEIL ELEKTRONIK"}, kToolUnknown, kToolKeil},
      {"intel", {"ISIS-II INTEL 8051 ASSEMBLER"}, kToolUnknown, kToolIntel},
      {"first hit wins", {"ASM51 INTEL ASSEMBLER", "BY SDCC PEOPLE "}, kToolUnknown, kToolIntel},
      {"copyright decides", {"C51 V9 BY KEIL", "COPYRIGHT KEIL", "MORE FROM SDCC"}, kToolUnknown, kToolKeil},
      {"copyright without a name", {"COPYRIGHT (C) SOMEONE", "COPYRIGHT SDCC"}, kToolUnknown, kToolUnknown},
      {"no hit keeps a known vendor", {"NOTHING HERE", "COPYRIGHT SDCC"}, kToolKeil, kToolKeil},
      {"empty", {}, kToolIntel, kToolIntel},
  };
  for (const auto& c : cases) EXPECT_EQ(VendorFromProtocol(c.Lines, c.Current), c.Expected) << c.Name;
}

TEST_F(FileUtilTest, DetectCompilerVendorStopsOnlyWhenThisRunCannotStart) {
  TempTree tree;
  MainForm().ErrorProtocolFile = tree.Write("$$ERR.$$$", "old banner of the INTEL tool \n");
  RunProgramConfig().CommandRunner = tree.File("no-such-shell");
  DetectCompilerVendor("anything");
  EXPECT_EQ(Messages().LastErrorCode, 406);
  EXPECT_EQ(FileUtil().ToolFamily, kToolUnknown);  // the old protocol is not read
  // A 406 left over from before does not stop the next detection.
  ResetState<RunProgramSettings>();
  DetectCompilerVendor("echo ' INTEL 8051 '");
  EXPECT_EQ(FileUtil().ToolFamily, kToolIntel);
}

}  // namespace
}  // namespace dorvik
