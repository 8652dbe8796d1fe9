#include "assembler/listing.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/asmerrors.h"
#include "assembler/context.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

ControlRecord& Control(AsmContext& c, ControlId id) { return c.Controls[static_cast<size_t>(id)]; }

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out = std::make_shared<std::ostringstream>();
    c.out.Files.Listing = out;
    c.out.Files.ListOpen = true;
    c.out.Listing.ToListing = true;
    c.AsmPass = 2;
    c.SourceOpen = true;
    Control(c, ControlId::List).On = true;
    Control(c, ControlId::Paging).On = true;
    Control(c, ControlId::Title).Value = "BLINK";
    Control(c, ControlId::Date).Value = std::string(10, ' ');
  }
  // One statement line as the statement processor leaves it.
  void Statement(uint8_t kind, std::string source, std::vector<uint8_t> bytes = {}, uint32_t location = 0) {
    ++c.LinesRead;
    c.line.LineKind = kind;
    c.scan.ListLine = std::move(source);
    c.line.StatementLocation = location;
    c.line.InstrLength = static_cast<uint32_t>(bytes.size());
    for (size_t i = 0; i < bytes.size() && i < 3; ++i) c.line.InstrBytes[i] = bytes[i];
    for (size_t i = 0; i < bytes.size(); ++i) c.line.DataBytes[i] = bytes[i];
    ListSourceLine(c);
  }
  std::vector<std::string> Written() { return testutil::SplitLines(out->str()); }

  AsmContext c;
  std::shared_ptr<std::ostringstream> out;
};

TEST_F(ListingTest, SixtyTwoLinePageHoldsHeaderAndFiftyEightLines) {
  c.PageLength = 62;
  ListPageHeader(c);
  for (int i = 0; i < 59; ++i) Statement(line::kEmpty, "");
  const auto lines = Written();
  // Header block of page 1 (4 lines), 58 source lines, then page 2's header.
  ASSERT_GE(lines.size(), 63u);
  EXPECT_EQ(lines[0][0], '\f');
  EXPECT_NE(lines[61][0], '\f');
  EXPECT_EQ(lines[62][0], '\f');
  EXPECT_NE(lines[62].find("Page 2"), std::string::npos);
}

TEST_F(ListingTest, WithoutPagingOnlyTheFirstHeaderIsPrinted) {
  Control(c, ControlId::Paging).On = false;
  c.PageLength = 10;
  ListPageHeader(c);
  for (int i = 0; i < 30; ++i) Statement(line::kEmpty, "; line");
  int headers = 0;
  for (const std::string& l : Written()) headers += !l.empty() && l[0] == '\f';
  EXPECT_EQ(headers, 1);
}

TEST_F(ListingTest, LongSourceLineContinuesIndentedWithNothingLost) {
  c.PageWidth = 80;
  std::string source;
  for (int i = 0; i < 120; ++i) source += static_cast<char>('a' + i % 26);
  Statement(line::kEmpty, source);
  const auto lines = Written();
  ASSERT_EQ(lines.size(), 3u);
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 80u);
    if (i > 0) {
      EXPECT_EQ(lines[i].substr(0, 30), std::string(30, ' '));
    }
    joined += lines[i].substr(i == 0 ? 29 : 30);
  }
  EXPECT_EQ(joined, source);
}

TEST_F(ListingTest, NolistHidesLinesButNotFaultyOnes) {
  Control(c, ControlId::List).On = false;
  Statement(line::kEmpty, "hidden");
  c.line.LineHasError = true;
  Statement(line::kEmpty, "faulty");
  const auto lines = Written();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("faulty"), std::string::npos);
}

TEST_F(ListingTest, FatalStopClosesEveryOutputAndAborts) {
  auto hex = std::make_shared<std::ostringstream>();
  c.out.Files.Hex = hex;
  c.out.Files.HexOpen = true;
  EXPECT_THROW(AsmFatalStop(c), AsmAbort);
  EXPECT_FALSE(c.out.Files.ListOpen);
  EXPECT_FALSE(c.out.Files.HexOpen);
  EXPECT_EQ(c.out.Files.Hex, nullptr);
  EXPECT_EQ(out->str(), " DIZ-52 TERMINATED\n");
  EXPECT_TRUE(hex->str().empty());  // no end record after a fatal stop
}

// A fatal stop while the status text is the current output: its lines go to
// the status text and also end the open listing.
TEST_F(ListingTest, FatalStopLinesAlsoEndTheOpenListing) {
  c.out.Listing.ToListing = false;
  auto failing = std::make_shared<std::ostringstream>();
  failing->setstate(std::ios::badbit);
  errno = ENOSPC;  // the reason a failed write leaves behind
  EXPECT_THROW(CheckAsmIO(c, *failing), AsmAbort);
  EXPECT_EQ(out->str(),
            "Exception " + std::to_string(ENOSPC) + ": " + std::strerror(ENOSPC) + "\n DIZ-52 TERMINATED\n");
  EXPECT_NE(c.StatusText.find(" DIZ-52 TERMINATED"), std::string::npos);
}

// The syntax error marker points at the token in error; at a narrow page
// width it and long messages break into lines of the page width.
using namespace testutil;

TEST(ListingErrors, ListingMarksTheSyntaxErrorColumn) {
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

TEST(ListingErrors, LongMessagesWrapAtThePageWidth) {
  std::string name(32, 'N');
  auto a = Assemble("$PAGEWIDTH(64)\n MOV A,#" + name + "+" + name + "\n END\n", "NOOBJECT");
  const std::string lst = a.Output(".lst");
  // "*** ERROR #114, Line #2, UNDEFINED SYMBOL "N...N"" is 68 characters: cut after 64.
  const std::string full = "*** ERROR #114, Line #2, UNDEFINED SYMBOL \"" + name + "\"";
  EXPECT_NE(lst.find(full.substr(0, 64) + "\n" + full.substr(64)), std::string::npos) << lst;
}

}  // namespace
}  // namespace dorvik::as
