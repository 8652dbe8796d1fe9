#include "assembler/symlisting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/context.h"
#include "assembler/listing.h"

namespace dorvik::as {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class SymListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c.SymbolArea = {kind::kEndMark};
    out = std::make_shared<std::ostringstream>();
    c.Out.Listing = out;
    c.Out.ListOpen = true;
    c.AsmPass = 2;
    c.EndSeen = true;
    Control(ControlId::Symbols).On = true;
    Control(ControlId::Paging).On = true;
    Control(ControlId::Date).Value = std::string(10, ' ');
  }
  ControlRecord& Control(ControlId id) { return c.Controls[static_cast<size_t>(id)]; }
  void Add(const std::string& name, uint8_t kind, uint32_t value, uint8_t segment = 0, uint8_t scope = kScopeLocal,
           uint8_t reloc = 0) {
    c.SymbolArea.pop_back();
    c.SymbolArea.insert(c.SymbolArea.end(), {kind, 1, static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), 0,
                                             0, reloc, segment, scope, static_cast<uint8_t>(name.size())});
    c.SymbolArea.insert(c.SymbolArea.end(), name.begin(), name.end());
    c.SymbolArea.push_back(kind::kEndMark);
    if (name.size() > c.LongestName) c.LongestName = static_cast<uint8_t>(name.size());
  }
  // The symbol lines of the section (between the heading and the bank line).
  std::vector<std::string> SymbolLines() {
    WriteSymbolTableListing(c);
    std::vector<std::string> result;
    bool in = false;
    for (const std::string& l : Lines(out->str())) {
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

TEST(SymbolColumnTest, WidthIsLongestNamePlusTwoAtLeastTenAndEven) {
  EXPECT_EQ(SymbolNameColumnWidth(1), 10);
  EXPECT_EQ(SymbolNameColumnWidth(8), 10);
  EXPECT_EQ(SymbolNameColumnWidth(9), 12);
  EXPECT_EQ(SymbolNameColumnWidth(10), 12);
  EXPECT_EQ(SymbolNameColumnWidth(31), 34);
}

TEST_F(SymListingTest, LeadersAlignTheTypeLetters) {
  Add("A_RATHER_LONG_NAME", kind::kCode, 0x1234);
  Add("X", kind::kNumber, 5);
  const auto lines = SymbolLines();
  ASSERT_EQ(lines.size(), 2u);
  // The longest name gets two columns of leader, shorter ones longer leaders.
  EXPECT_EQ(lines[0], "A_RATHER_LONG_NAME.   C ADDR    1234H   A        ");
  EXPECT_EQ(lines[1], "X . . . . . . . . .     NUMB    0005H   A        ");
}

TEST_F(SymListingTest, BitAddressesShowTheirByteAndBit) {
  Add("ABIT", kind::kBit, 0x0B);        // 21H.3
  Add("SFRBIT", kind::kBit, 0xD3);      // PSW.3
  Add("RELBIT", kind::kBit, 0x0B, 1);   // relocatable: byte offset 1
  Add("SEG1", kind::kSegment + kind::kData, 2, 1, kScopeLocal, kRelBitAddressable);
  const auto lines = SymbolLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "ABIT. . .   B ADDR    0021H.3 A        ");
  EXPECT_EQ(lines[1], "SFRBIT. .   B ADDR    00D0H.3 A        ");
  EXPECT_EQ(lines[2], "RELBIT. .   B ADDR    0001H.3 R        SEG=SEG1");
  EXPECT_EQ(lines[3], "SEG1. . .   D SEG     0002H            REL=BITADDRESSABLE");
}

TEST_F(SymListingTest, RegistersExternalsAndUndefinedSymbols) {
  Add("ACC_ALIAS", kind::kRegister, 10);
  Add("EXTFN", kind::kCode, 0, 2, kScopeExternal);
  Add("PTR", kind::kRegister, 3);
  Add("PUBVAR", kind::kData, 0x30, 0, kScopePublic);
  Add("UNDEF", kind::kUndefined, 0);
  const auto lines = SymbolLines();
  ASSERT_EQ(lines.size(), 5u);
  // "A" is one column shorter than "R3": the value field as the listing has it.
  EXPECT_EQ(lines[0], "ACC_ALIAS .     REG     A               ");
  EXPECT_EQ(lines[1], "EXTFN . . .   C ADDR    ----      EXT    ");
  EXPECT_EQ(lines[2], "PTR . . . .     REG     R3               ");
  EXPECT_EQ(lines[3], "PUBVAR. . .   D ADDR    0030H   A PUB    ");
  EXPECT_EQ(lines[4], "UNDEF . . .     ----    ----             ");
}

TEST_F(SymListingTest, CrossReferencesPutTheDefiningLineFirst) {
  Control(ControlId::Xref).On = true;
  Add("LOOP", kind::kCode, 0x10);
  Add("EXT", kind::kCode, 0, 2, kScopeExternal);
  // EXT (ordinal 2) is referred to but never defined in defining position.
  c.Xref = {{12, 1, 0}, {7, 1, 1}, {15, 1, 0}, {20, 2, 0}, {0, 0, 0}};
  const auto lines = SymbolLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "LOOP. . .   C ADDR    0010H   A          7#  12  15");
  EXPECT_EQ(lines[1], "EXT . . .   C ADDR    ----      EXT      20");
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
  EXPECT_FALSE(c.Out.ListOpen);
}

TEST_F(SymListingTest, BankLineNamesEveryUsedBank) {
  c.RegisterBanks = {true, false, true, false};
  c.ErrorCount = 2;
  WriteSymbolTableListing(c);
  const std::string text = out->str();
  EXPECT_NE(text.find("REGISTER BANKS USED: 0 2 \n"), std::string::npos);
  EXPECT_NE(text.find("ASSEMBLY COMPLETE, 2 ERRORS FOUND\n"), std::string::npos);
}

TEST_F(SymListingTest, LongTableContinuesWithItsHeadingOnEveryPage) {
  c.PageLength = 20;
  for (int i = 0; i < 40; ++i) Add("S" + std::to_string(100 + i), kind::kNumber, static_cast<uint32_t>(i));
  WriteSymbolTableListing(c);
  std::vector<std::string> pages;
  for (const std::string& l : Lines(out->str())) {
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
  c.Out.Listing.reset();
  c.Out.ListOpen = false;
  auto hex = std::make_shared<std::ostringstream>();
  c.Out.Hex = hex;
  c.Out.HexOpen = true;
  c.HexRequested = true;
  auto obj = std::make_shared<std::ostringstream>();
  c.Out.Object = obj;
  c.Out.ObjectOpen = true;
  c.ModuleName = "M";
  Add("X", kind::kNumber, 5);
  WriteSymbolTableListing(c);
  EXPECT_EQ(hex->str(), ":00000001FF\n");
  ASSERT_FALSE(obj->str().empty());
  EXPECT_EQ(static_cast<uint8_t>(obj->str()[0]), 0x04);
  EXPECT_FALSE(c.Out.HexOpen);
  EXPECT_FALSE(c.Out.ObjectOpen);
}

}  // namespace
}  // namespace dorvik::as
