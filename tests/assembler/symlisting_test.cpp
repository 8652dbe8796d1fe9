#include "assembler/symlisting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/context.h"
#include "assembler/listing.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using testutil::SplitLines;

class SymListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c.sym.SymbolArea = {kind::kEndMark};
    out = std::make_shared<std::ostringstream>();
    c.out.Files.Listing = out;
    c.out.Files.ListOpen = true;
    c.AsmPass = 2;
    c.EndSeen = true;
    Control(ControlId::Symbols).On = true;
    Control(ControlId::Paging).On = true;
    Control(ControlId::Date).Value = std::string(10, ' ');
  }
  ControlRecord& Control(ControlId id) { return c.Controls[static_cast<size_t>(id)]; }
  void Add(const std::string& name, uint8_t kind, uint32_t value, uint8_t segment = 0, uint8_t scope = kScopeLocal,
           uint8_t reloc = 0) {
    testutil::AppendSymbol(c, name, kind, value, segment, scope, reloc);
  }
  // The symbol lines of the section (between the heading and the bank line).
  std::vector<std::string> SymbolLines() {
    WriteSymbolTableListing(c);
    std::vector<std::string> result;
    bool in = false;
    for (const std::string& l : SplitLines(out->str())) {
      if (l.rfind("N A M E", 0) == 0) {
        in = true;
        continue;
      }
      if (l.find("REGISTER BANK") != std::string::npos) break;
      if (in && !l.empty()) result.push_back(l);
    }
    return result;
  }
  AsmContext c;
  std::shared_ptr<std::ostringstream> out;
};

// References that do not fit on the line continue on the next one; a number
// is never cut.
TEST_F(SymListingTest, LongReferenceListsWrapBetweenNumbers) {
  Control(ControlId::Xref).On = true;
  c.PageWidth = 64;
  Add("LOOP", kind::kCode, 0x10);
  std::string expected = "7#";
  c.sym.Xref = {{7, 1, 1}};
  for (uint32_t line = 9990; line < 10010; ++line) {
    c.sym.Xref.push_back({line, 1, 0});
    expected += " " + std::to_string(line);
  }
  c.sym.Xref.push_back({0, 0, 0});
  std::string all;
  for (const std::string& l : SymbolLines()) {
    EXPECT_LE(l.size(), 64u) << l;
    all += l + " ";
  }
  std::istringstream words(all.substr(all.find("A ") + 2));
  std::string got;
  for (std::string w; words >> w;) got += (got.empty() ? "" : " ") + w;
  EXPECT_EQ(got, expected);
}

TEST_F(SymListingTest, NosymbolsKeepsBankAndClosingLines) {
  Control(ControlId::Symbols).On = false;
  Add("X", kind::kNumber, 5);
  c.RegisterBanks = {false, false, false, false};
  c.ErrorCount = 1;
  WriteSymbolTableListing(c);
  const std::string text = out->str();
  EXPECT_EQ(text.find("S Y M B O L"), std::string::npos);
  EXPECT_NE(text.find("NO REGISTER BANKS USED\n"), std::string::npos);
  EXPECT_NE(text.find("ASSEMBLY COMPLETE, 1 ERROR FOUND\n"), std::string::npos);
  EXPECT_FALSE(c.out.Files.ListOpen);
}

TEST_F(SymListingTest, LongTableContinuesWithItsHeadingOnEveryPage) {
  c.PageLength = 20;
  for (int i = 0; i < 40; ++i) Add("S" + std::to_string(100 + i), kind::kNumber, static_cast<uint32_t>(i));
  WriteSymbolTableListing(c);
  std::vector<std::string> pages;
  for (const std::string& l : SplitLines(out->str())) {
    if (!l.empty() && l[0] == '\f') pages.emplace_back();
    if (!pages.empty()) pages.back() += l + "\n";
  }
  int symbolPages = 0;
  for (const std::string& page : pages) {
    if (page.find(" NUMB ") == std::string::npos) continue;
    ++symbolPages;
    EXPECT_NE(page.find("\nN A M E "), std::string::npos) << page;
    EXPECT_LE(std::count(page.begin(), page.end(), '\n'), 20);
  }
  EXPECT_GE(symbolPages, 3);
}

TEST_F(SymListingTest, ListingOffStillClosesObjectAndHexWithEndRecords) {
  c.out.Files.Listing.reset();
  c.out.Files.ListOpen = false;
  auto hex = std::make_shared<std::ostringstream>();
  c.out.Files.Hex = hex;
  c.out.Files.HexOpen = true;
  c.HexRequested = true;
  auto obj = std::make_shared<std::ostringstream>();
  c.out.Files.Object = obj;
  c.out.Files.ObjectOpen = true;
  c.ModuleName = "M";
  Add("X", kind::kNumber, 5);
  WriteSymbolTableListing(c);
  EXPECT_EQ(hex->str(), ":00000001FF\n");
  ASSERT_FALSE(obj->str().empty());
  EXPECT_EQ(static_cast<uint8_t>(obj->str()[0]), 0x04);
  EXPECT_FALSE(c.out.Files.HexOpen);
  EXPECT_FALSE(c.out.Files.ObjectOpen);
}

}  // namespace
}  // namespace dorvik::as
