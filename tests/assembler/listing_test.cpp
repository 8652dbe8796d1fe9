#include "assembler/listing.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/context.h"

namespace dorvik::as {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

ControlRecord& Control(AsmContext& c, ControlId id) { return c.Controls[static_cast<size_t>(id)]; }

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out = std::make_shared<std::ostringstream>();
    c.Out.Listing = out;
    c.Out.ListOpen = true;
    c.Listing.ToListing = true;
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
    c.LineKind = kind;
    c.ListLine = std::move(source);
    c.StatementLocation = location;
    c.InstrLength = static_cast<uint32_t>(bytes.size());
    for (size_t i = 0; i < bytes.size() && i < 3; ++i) c.InstrBytes[i] = bytes[i];
    for (size_t i = 0; i < bytes.size(); ++i) c.DataBytes[i] = bytes[i];
    ListSourceLine(c);
  }
  std::vector<std::string> Written() { return Lines(out->str()); }

  AsmContext c;
  std::shared_ptr<std::ostringstream> out;
};

TEST_F(ListingTest, PageHeaderEndsWithDateAndPageNumberAtTheRightMargin) {
  c.PageWidth = 80;
  Control(c, ControlId::Date).Value = "    06-12-26";
  ListPageHeader(c);
  ListPageHeader(c);
  const auto lines = Written();
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[0].size(), 81u);  // form feed + 80 columns
  EXPECT_EQ(lines[0].substr(0, 33), "\fMCS-51/52/44 Assembler    BLINK ");
  EXPECT_EQ(lines[0].substr(81 - 22), "    06-12-26    Page 1");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "LOC  OBJ            LINE     SOURCE");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4].substr(81 - 10), "    Page 2");
  EXPECT_EQ(c.Listing.LineOnPage, 4);
}

TEST_F(ListingTest, LongTitleIsCutToLeaveRoomForThePageNumber) {
  c.PageWidth = 64;
  Control(c, ControlId::Title).Value = std::string(100, 'T');
  ListPageHeader(c);
  const auto lines = Written();
  EXPECT_EQ(lines[0].size(), 65u);
  EXPECT_EQ(lines[0].substr(65 - 10), "    Page 1");
}

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

TEST_F(ListingTest, ColumnsOfAnInstructionLine) {
  c.AnyFixup = true;
  Statement(line::kInstruction, "START:  LJMP MAIN", {0x02, 0x01, 0x00}, 0x0000);
  c.AnyFixup = false;
  c.LineExternalRef = true;
  Statement(line::kInstruction, "        LCALL PUTC", {0x12, 0x00, 0x00}, 0x0003);
  const auto lines = Written();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "0000 020100   R        1     START:  LJMP MAIN");
  EXPECT_EQ(lines[1], "0003 120000   E        2             LCALL PUTC");
  EXPECT_EQ(lines[0].find("START"), 29u);  // source from column 30
}

TEST_F(ListingTest, PrefixOfEachStatementKind) {
  c.CurrentSegment.Value = 0x0100;
  Statement(line::kSegment, "CSEG AT 100H");
  c.DefinedValue = 0x30;
  c.DefinedKind = kind::kNumber;
  Statement(line::kDefinition, "COUNT EQU 30H");
  c.DefinedKind = kind::kRegister;
  Statement(line::kDefinition, "PTR EQU R0");
  Statement(line::kStorage, "BUF: DS 10", {}, 0x0040);
  Statement(line::kOrg, "ORG 100H");
  Statement(line::kDirective, "PUBLIC START");
  const auto lines = Written();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(0, 29), "----                   1     ");
  EXPECT_EQ(lines[1].substr(0, 29), "    0030               2     ");
  EXPECT_EQ(lines[2].substr(0, 29), "    REG                3     ");
  EXPECT_EQ(lines[3].substr(0, 29), "0040                   4     ");
  EXPECT_EQ(lines[4].substr(0, 29), "0100                   5     ");
  EXPECT_EQ(lines[5].substr(0, 29), "                       6     ");
}

TEST_F(ListingTest, IncludeLevelAndIncludeOpeningMarks) {
  c.Listing.IncludeOnLine = true;
  Statement(line::kDirective, "$INCLUDE(REGS.INC)");
  c.IncludeDepth = 1;
  Statement(line::kEmpty, "; included");
  c.IncludeDepth = 12;
  Statement(line::kEmpty, "; deep");
  const auto lines = Written();
  EXPECT_EQ(lines[0].substr(16, 13), "       1+1   ");
  EXPECT_EQ(lines[1].substr(16, 13), "+1     2     ");
  EXPECT_EQ(lines[2].substr(16, 13), "+12    3     ");
}

TEST_F(ListingTest, DbStringListsFourBytesPerLine) {
  std::vector<uint8_t> bytes(9);
  for (size_t i = 0; i < 9; ++i) {
    bytes[i] = static_cast<uint8_t>('A' + i);
    c.DataMarks[i] = 'S';
  }
  Statement(line::kDB, "DB 'ABCDEFGHI'", bytes, 0x0200);
  const auto lines = Written();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 16), "0200 41424344   ");
  EXPECT_EQ(lines[1], "0204 45464748");
  EXPECT_EQ(lines[2], "0208 49");
}

TEST_F(ListingTest, DbNumbersListOneBytePerLineAndDwOneWordPerLine) {
  c.DataMarks[0] = c.DataMarks[1] = 'A';
  Statement(line::kDB, "DB 1,2", {0x01, 0x02}, 0x0010);
  Statement(line::kDW, "DW 1234H,5678H", {0x12, 0x34, 0x56, 0x78}, 0x0012);
  const auto lines = Written();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 16), "0010 01         ");
  EXPECT_EQ(lines[1], "0011 02");
  EXPECT_EQ(lines[2].substr(0, 16), "0012 1234       ");
  EXPECT_EQ(lines[3], "0014 5678");
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
  c.LineHasError = true;
  Statement(line::kEmpty, "faulty");
  const auto lines = Written();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("faulty"), std::string::npos);
}

TEST_F(ListingTest, ErrorPrintGetsFaultyLinesAlsoWithTheListingOff) {
  auto errors = std::make_shared<std::ostringstream>();
  c.Out.ErrorPrint = errors;
  c.Out.ErrorPrintOpen = true;
  c.Out.Listing.reset();
  c.Out.ListOpen = false;
  Statement(line::kInstruction, "  MOV A,#1", {0x74, 0x01});
  c.LineHasError = true;
  Statement(line::kInstruction, "  MOV A,300", {0xE5, 0x2C});
  EXPECT_EQ(errors->str(), "0000 E52C              2       MOV A,300\n");
  EXPECT_TRUE(out->str().empty());
}

TEST_F(ListingTest, EjectStartsANewPageAfterTheLine) {
  c.EjectPending = true;
  Statement(line::kDirective, "$EJECT");
  const auto lines = Written();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1][0], '\f');
  EXPECT_FALSE(c.EjectPending);
}

TEST_F(ListingTest, FatalStopClosesEveryOutputAndAborts) {
  auto hex = std::make_shared<std::ostringstream>();
  c.Out.Hex = hex;
  c.Out.HexOpen = true;
  EXPECT_THROW(AsmFatalStop(c), AsmAbort);
  EXPECT_FALSE(c.Out.ListOpen);
  EXPECT_FALSE(c.Out.HexOpen);
  EXPECT_EQ(c.Out.Hex, nullptr);
  EXPECT_EQ(out->str(), " DIZ-52 TERMINATED\n");
  EXPECT_TRUE(hex->str().empty());  // no end record after a fatal stop
}

TEST_F(ListingTest, StatusTextLinesUseCrLf) {
  c.Listing.ToListing = false;
  WriteAsmText(c, "abc");
  WriteAsmText(c, "\r");
  ListTextLine(c, "def");
  EXPECT_EQ(c.StatusText, "abc\r\ndef\r\n");
}

}  // namespace
}  // namespace dorvik::as
