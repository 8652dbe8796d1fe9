// Include and define scanning over files written in a scratch folder.

#include "objfiles/includescan.h"

#include <gtest/gtest.h>

#include "project/project.h"
#include "base/session.h"
#include "objfiles/sourcetext.h"
#include "tests/platform/scratch_dir.h"

namespace dorvik {
namespace {

using Names = std::vector<std::string>;

class IncludeScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    Project().FileTypeList = {
        {kFileAssembler, ".A51", ""}, {kFileC, ".C", ""}, {kFileInclude, ".INC", ""}, {kFileC, ".H", ""}};
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
  }
  void TearDown() override { std::filesystem::current_path(old_); }
  Names Scan(const std::string& file, bool recurse, const std::string& defaultExt = {}) {
    Names list;
    ScanIncludeFiles(file, &list, recurse, defaultExt);
    return list;
  }
  test_util::ScratchDir dir_;
  std::filesystem::path old_;
};

TEST_F(IncludeScanTest, IncludeStatementsOfEachKind) {
  struct Row {
    const char* File;
    const char* Text;
    Names Expected;
  };
  const Row rows[] = {
      {"a.a51", "$include(regs.inc)\n\tNOP\n $INCLUDE(late.inc)\n$INCLUDE( regs.inc )\n", {"regs.inc", "regs.inc"}},
      {"b.a51", ".include \"x.inc\"\ninclude \"y.inc\"\nINCLUDE \"open.inc\n", {"x.inc", "y.inc", "open.inc"}},
      {"c.a51", "$INCLUDE(%MACRO)\n$INCLUDE()\n", {}},
      {"d.c", "#include <stdio.h>\n  #include \"my.h\"\n#include\n#include NAME\n", {"stdio.h", "my.h", "AME"}},
      {"e.plm", "$INCLUDE(regs.inc)\n", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.File);
    dir_.Write(row.File, row.Text);
    EXPECT_EQ(Scan(row.File, false), row.Expected);
  }
  EXPECT_EQ(Scan("missing.a51", true), Names{});
  // An include file scanned as the kind of the default extension.
  dir_.Write("regs.inc", "$INCLUDE(bits.inc)\n");
  EXPECT_EQ(Scan("regs.inc", false), Names{});
  EXPECT_EQ(Scan("regs.inc", false, ".A51"), Names{"bits.inc"});
  EXPECT_EQ(Scan("regs.xyz", false, ".A51"), Names{});
}

TEST_F(IncludeScanTest, IncludedFilesAreFoundByTheirNamesAsWritten) {
  dir_.Write("main.a51", "$INCLUDE(Sub/Part.A51)\n");
  dir_.Write("Sub/Part.A51", "$INCLUDE(sub/deep.a51)\n");     // folder matches only as written
  dir_.Write("Sub/DEEP.A51", "$INCLUDE(never.a51)\n");
  dir_.Write("part2.a51", "$INCLUDE(SUB/PART.A51)\n");        // exact name missing: same name in other case
  ScanIncludeFiles("main.a51", nullptr, true);
  EXPECT_EQ(IncludeScan().IncludeFileList, (Names{"Sub/Part.A51", "sub/deep.a51"})) << "names as written";
  IncludeScan().IncludeFileList.clear();
  std::filesystem::rename(dir_.File("Sub/Part.A51"), dir_.File("Sub/part.a51"));
  ScanIncludeFiles("main.a51", nullptr, true);
  EXPECT_EQ(IncludeScan().IncludeFileList, (Names{"Sub/Part.A51", "sub/deep.a51"}));
}

TEST_F(IncludeScanTest, ACycleOfIncludesEnds) {
  dir_.Write("a.a51", "$INCLUDE(b.a51)\n$INCLUDE(a.a51)\n");
  dir_.Write("b.a51", "$INCLUDE(A.A51)\n$INCLUDE(c.a51)\n");
  dir_.Write("c.a51", "; nothing\n");
  ScanIncludeFiles("a.a51", nullptr, true);
  EXPECT_EQ(IncludeScan().IncludeFileList, (Names{"b.a51", "A.A51", "c.a51", "a.a51"}));
  dir_.Write("x.a51", "$INCLUDE(x.a51) %DEFINE (ONE) (1)\n%IN $INCLUDE(y.a51)\n");
  dir_.Write("y.a51", "$INCLUDE(x.a51)\n");
  CollectIncludesAndDefines("x.a51", true);
  EXPECT_EQ(IncludeScan().IncludeFileList, (Names{"X.A51", "Y.A51", "X.A51"}));
}

TEST_F(IncludeScanTest, DefinesAndIncludesAnywhereInALine) {
  dir_.Write("m.a51",
             "%*DEFINE (ignored) (x)\n"
             "%IN %DEFINE (Alpha) (1)\n"
             "%IN\t%SET (Beta, 2)\n"
             "%INX %DEFINE (Gamma) (3)\n"
             "  MOV A,#1 $INCLUDE(inner.inc)\n");
  dir_.Write("inner.inc", "%IN %SET(Delta,4)\n");
  IncludeScan().DefineNameList = {"OLD"};
  CollectIncludesAndDefines("m.a51", true);
  EXPECT_EQ(IncludeScan().DefineNameList, (Names{"ALPHA", "BETA", "DELTA"}));
  EXPECT_EQ(IncludeScan().IncludeFileList, Names{"INNER.INC"});
  CollectIncludesAndDefines("missing.a51", false);
  EXPECT_EQ(IncludeScan().IncludeFileList, Names{"INNER.INC"});
}

TEST_F(IncludeScanTest, DollarWordsAndPageTexts) {
  dir_.Write("w.a51", "; first\r\n$nomod51\r\n");
  EXPECT_EQ(FindDollarWordInFile("w.a51", "NOMOD51"), 9);
  EXPECT_EQ(FindDollarWordInFile("w.a51", "MOD51"), -1);
  EXPECT_EQ(FindDollarWordInFile("none.a51", "MOD51"), -1);
  // An open editor page wins over the file on disk, and needs no file.
  const std::vector<std::string> page = {"$INCLUDE(edited.inc)"};
  SourceText().PageLines = [&](std::string_view name, bool, int32_t& number) -> const std::vector<std::string>* {
    number = 0;
    return name == "w.a51" || name == "unsaved.a51" ? &page : nullptr;
  };
  EXPECT_EQ(Scan("w.a51", false), Names{"edited.inc"});
  EXPECT_EQ(Scan("unsaved.a51", false), Names{"edited.inc"});
}

}  // namespace
}  // namespace dorvik
