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

TEST_F(ListingTest, WithoutPagingOnlyTheFirstHeaderIsPrinted) {
  Control(c, ControlId::Paging).On = false;
  c.PageLength = 10;
  ListPageHeader(c);
  for (int i = 0; i < 30; ++i) Statement(line::kEmpty, "; line");
  int headers = 0;
  for (const std::string& l : Written()) headers += !l.empty() && l[0] == '\f';
  EXPECT_EQ(headers, 1);
}

// An error message of the page width plus two characters stays on one line;
// one character more and it continues on a line of its own.
TEST_F(ListingTest, ErrorMessagesContinueOnlyBeyondThePageWidthPlusTwo) {
  c.scan.Reporting = true;
  c.LinesRead = 12;
  const auto report = [this](size_t width) {
    c.PageWidth = static_cast<uint8_t>(width);
    c.line.LastAsmError = 0;
    out->str("");
    ReportAsmError(c, asm_err::kValueTruncatedToByte);
    std::vector<std::string> lines;
    for (const std::string& l : Written())
      if (!l.empty()) lines.push_back(l);
    return lines;
  };
  const std::vector<std::string> whole = report(255);
  ASSERT_EQ(whole.size(), 1u);
  const std::string& text = whole[0];
  EXPECT_EQ(text.rfind("*** ERROR #115, Line #12, ", 0), 0u) << text;
  EXPECT_EQ(report(text.size() - 2), whole);
  EXPECT_EQ(report(text.size() - 3),
            (std::vector<std::string>{text.substr(0, text.size() - 3), text.substr(text.size() - 3)}));
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

}  // namespace
}  // namespace dorvik::as
