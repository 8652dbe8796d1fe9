#include "assembler/asmerrors.h"

#include <gtest/gtest.h>

#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

TEST(AsmErrors, TableHasEveryRowInOrder) {
  EXPECT_EQ(std::size(kAsmErrorTable), 65u);
  for (size_t i = 1; i < std::size(kAsmErrorTable); ++i)
    EXPECT_LT(kAsmErrorTable[i - 1].Code, kAsmErrorTable[i].Code);
  EXPECT_EQ(AsmErrorText(111), "%7 CHARRACTER \"%C\" IN NUMERIC CONSTANT \"%B\", ZERO USED");
  EXPECT_EQ(AsmErrorText(903), "DIZ-52 INTERNAL ERROR (SYMBOL TABLE FULL)");
  EXPECT_TRUE(AsmErrorText(99).empty());
  EXPECT_EQ(SegmentWord(SegWord::InBolck), "INBOLCK");
  EXPECT_EQ(SegmentWord(SegWord::InBlock), "INBLOCK");
  EXPECT_EQ(InvocationErrorText(InvocationText::DuplicateControl),
            "DUPLICATE USE OF THE SAME CONTROL");
}

TEST(AsmErrors, PlaceholdersExpandFromTheContext) {
  AsmContext c;
  c.scan.ScanChar = '~';
  c.scan.AsmIdentifier = "FOO";
  c.CpuMode = 44;
  c.ErrorWord = "DATA";
  EXPECT_EQ(ExpandAsmMessage(c, 101), "ILLEGAL CHARACTER (7E)");
  EXPECT_EQ(ExpandAsmMessage(c, 136), "SYMBOL \"FOO\" ILLEGAL IN MODE 44");
  EXPECT_EQ(ExpandAsmMessage(c, 123), "DATA SEGMENT ADDRESS EXPECTED");
  EXPECT_EQ(ExpandAsmMessage(c, 109), "TEXT FOUND AFTER END STATEMENT - IGNORED");
}

TEST(AsmErrors, OneSyntaxErrorPerLineButOtherErrorsStillCount) {
  auto a = Assemble(" MOV A,,\n MOV A,300\n MOV A,UNDEF\n END\n");
  EXPECT_EQ(a.Codes(), (std::vector<uint16_t>{100, 115, 114}));
  // 115 leaves the line open for a following 114.
  auto b = Assemble(" DB 300, UNDEF\n END\n");
  EXPECT_EQ(b.Codes(), (std::vector<uint16_t>{115, 114}));
}

TEST(AsmErrors, ListingMarksTheSyntaxErrorColumn) {
  // The marker points at the token in error; at a narrow page width it breaks
  // into lines of the page width.
  struct Case {
    std::string Controls;
    std::string Source;
    size_t Column;  // of the offending token, 1-based
  };
  const Case cases[] = {{"NOOBJECT", " MOV A,#1 2", 11},
                        {"NOOBJECT PAGEWIDTH(64)", " DB 1," + std::string(40, ' ') + "2 3", 49}};
  for (const auto& k : cases) {
    auto a = Assemble(k.Source + "\n END\n", k.Controls);
    const auto lines = SplitLines(a.Output(".lst"));
    std::string marker;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].rfind("*** ____", 0) != 0) continue;
      for (size_t j = i; j < lines.size() && marker.find('^') == std::string::npos; ++j) {
        EXPECT_LE(lines[j].size(), a.C().PageWidth) << lines[j];
        marker += lines[j];
      }
      break;
    }
    EXPECT_EQ(marker.find('^'), 29 + k.Column - 1) << marker;
  }
}

// The closing line counts errors in the singular and the plural.
TEST(AsmErrors, ClosingLineCountsErrors) {
  for (const auto& [source, closing] : {std::pair{" END\n", "ASSEMBLY COMPLETE, No Errors Found"},
                                        std::pair{" MOV A,300\n END\n", "ASSEMBLY COMPLETE, 1 Error Found"},
                                        std::pair{" MOV A,300\n MOV A,300\n END\n", "ASSEMBLY COMPLETE, 2 Errors Found"}})
    EXPECT_NE(Assemble(source).Status().find(closing), std::string::npos) << source;
}

TEST(AsmErrors, LongMessagesWrapAtThePageWidth) {
  std::string name(32, 'N');
  auto a = Assemble("$PAGEWIDTH(64)\n MOV A,#" + name + "+" + name + "\n END\n", "NOOBJECT");
  const std::string lst = a.Output(".lst");
  // "*** ERROR #114, Line #2, UNDEFINED SYMBOL "N...N"" is 68 characters: cut after 64.
  const std::string full = "*** ERROR #114, Line #2, UNDEFINED SYMBOL \"" + name + "\"";
  EXPECT_NE(lst.find(full.substr(0, 64) + "\n" + full.substr(64)), std::string::npos) << lst;
}

}  // namespace
}  // namespace dorvik::as
