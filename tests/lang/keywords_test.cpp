#include "lang/keywords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "tests/support/lang_fixture.h"

namespace dorvik {
namespace {

TEST(KeywordTable, HoldsTheRowsInStoredOrder) {
  ASSERT_EQ(KeywordTable.size(), 224u);
  EXPECT_EQ(KeywordTable.front().Name, "_AT_");
  EXPECT_EQ(KeywordTable.front().Token, 168);
  EXPECT_EQ(KeywordTable.back().Name, "XWORD");
  EXPECT_EQ(KeywordTable.back().Token, 73);
  for (const KeywordRow& row : KeywordTable) {
    EXPECT_FALSE(row.Name.empty());
    EXPECT_LE(row.Name.size(), kKeywordNameLength) << row.Name;
  }
  auto index = [](std::string_view name) {
    return std::find_if(KeywordTable.begin(), KeywordTable.end(),
                        [&](const KeywordRow& r) { return r.Name == name; }) -
           KeywordTable.begin();
  };
  // The rows out of order stand where the search needs them.
  EXPECT_EQ(index("QUELM"), index("DEFINE") + 1);
  EXPECT_EQ(index("DIR"), index("QUELM") + 1);
  EXPECT_EQ(index("DOUBLEWORD"), index("DPTR") + 1);
  EXPECT_EQ(index("FLOAT"), index("FOREVER") + 1);
  EXPECT_EQ(index("MTYP"), index("MUL") + 1);
  // Apart from these the rows are alphabetical.
  const std::set<std::string_view> outOfOrder = {"_AT_", "DPTR", "FOREVER", "MUL", "QUELM"};
  std::string_view previous;
  for (const KeywordRow& row : KeywordTable) {
    if (outOfOrder.count(row.Name)) continue;
    EXPECT_LT(previous, row.Name);
    previous = row.Name;
  }
}

TEST(KeywordTable, TokensOthersRelyOn) {
  const std::pair<int, int> tokens[] = {
      {tok::kACALL, 208}, {tok::kXRL, 251}, {tok::kNUMBER, 133},     {tok::kC, 136},
      {tok::kDATA, 136},  {tok::kA, 137},   {tok::kDPTR, 89},        {tok::kAB, 88},
      {tok::kR0, 80},     {tok::kR7, 87},   {tok::kHISTORY_BU, 182}, {tok::kSYMBOLIC_R, 188},
      // synonyms share their token
      {tok::kBR, tok::kBREAK}, {tok::kS, tok::kSTEP}, {tok::kST, tok::kSTEP},
      {tok::kSY, tok::kSYMBOLS}, {tok::kEDIT, tok::kCONTROLS}, {tok::kSEGMENT, tok::kCSEG},
  };
  for (const auto& [token, expected] : tokens) EXPECT_EQ(token, expected);
  // Every mnemonic of the instruction set lies in 208..251.
  EXPECT_EQ(std::count_if(KeywordTable.begin(), KeywordTable.end(),
                          [](const KeywordRow& r) { return r.Token >= 208 && r.Token <= 251; }),
            44);
}

TEST(PunctuationTable, PairsInSearchOrder) {
  ASSERT_EQ(PunctuationTokens.size(), 29u);
  EXPECT_EQ(PunctuationTokens.front().Char, ',');
  EXPECT_EQ(PunctuationTokens.back().Char, ';');
  EXPECT_EQ(PunctuationTokens.back().Token, 28);
  // The second "=" is never found by the search, only by the token.
  EXPECT_EQ(PunctToken('='), 2);
  EXPECT_EQ(PunctuationChar(26), '=');
  EXPECT_EQ(PunctToken('?'), 176);
  EXPECT_EQ(PunctToken('\r'), 13);
  EXPECT_EQ(PunctToken('%'), 0);
  EXPECT_EQ(PunctToken('\0'), 0);
}

TEST(MatchKeywordName, ExactAbbreviationOrNone) {
  const std::tuple<const char*, const char*, KeywordMatch> cases[] = {
      {"STEP", "STEP", KeywordMatch::Exact}, {"STE", "STEP", KeywordMatch::Abbreviation},
      {"STEPS", "STEP", KeywordMatch::None}, {"SYMBOLIC_R", "SYMBOLIC_R", KeywordMatch::Exact},
      {"SYMBOLIC_RE", "SYMBOLIC_R", KeywordMatch::None},  // 11 characters never match
      {"", "STEP", KeywordMatch::None}, {"X", "STEP", KeywordMatch::None},
  };
  for (const auto& [word, name, match] : cases) EXPECT_EQ(MatchKeywordName(word, name), match) << word;
  // The search's numbers: -1 exact, the length of an abbreviation, 0 none.
  EXPECT_EQ(MatchKeyword("STEP", "STEP"), -1);
  EXPECT_EQ(MatchKeyword("ST", "STEP"), 2);
  EXPECT_EQ(MatchKeyword("SX", "STEP"), 0);
}

using KeywordSearch = testing::LangTest;

TEST_F(KeywordSearch, AbbreviationsAndTheirExceptions) {
  const std::pair<const char*, int> cases[] = {  // token -1: no keyword
      {"STA", tok::kSTACK},      // the next row STEP does not begin with STA
      {"STE", tok::kSTEP},
      {"DEF", tok::kDEFINE},     // QUELM, the next row, does not accept it
      {"Q", tok::kQUELM},
      {"D", tok::kD},            // an exact row wins at once
      {"SYMBO", tok::kSYMBOLS},  // an exact row of its own
      {"SYMBOLI", tok::kSYMBOLIC_R}, {"HISTORY_BU", tok::kHISTORY_BU},
      {"DO", tok::kDOUBLEWORD},  // DPTR, standing before it, does not accept DO
      {"DE", -1},                // DEC and DECIMAL both accept it
      {"DI", -1},                // DIR and DISABLE
      {"LI", -1},                // LINES and LIST
      {"SYMBOLIC_RE", -1}, {"ZZZ", -1},
  };
  for (const auto& [word, token] : cases) {
    Scanner().ScanIdent = word;
    const bool found = FindKeyword();
    EXPECT_EQ(found ? KeywordTable[Scanner().KeywordIndex].Token : -1, token) << word;
  }
  // Only exact words while abbreviations are not allowed.
  Scanner().ExactKeywordsOnly = true;
  Scanner().ScanIdent = "STA";
  EXPECT_FALSE(FindKeyword());
  Scanner().ScanIdent = "STACK";
  EXPECT_TRUE(FindKeyword());
}

TEST_F(KeywordSearch, APredefinedNameOfTheProcessorIsNoAbbreviation) {
  Scanner().ScanIdent = "PS";
  ASSERT_TRUE(FindKeyword());  // PSTEP without a processor
  EXPECT_EQ(KeywordTable[Scanner().KeywordIndex].Token, tok::kPSTEP);
  SelectSmallCpu();
  EXPECT_FALSE(FindKeyword());  // PS is a bit of the selected processor
  Scanner().ScanIdent = "PSTEP";
  EXPECT_TRUE(FindKeyword());  // an exact row stays a keyword
}

TEST(TokenText, LastRowPaddedPunctuationAndBit) {
  const std::pair<int, const char*> texts[] = {
      {47, "STEP      "}, {51, "SYMBOLS   "}, {34, "BREAK     "}, {132, "BIT "},
      {1, ","},           {26, "="},          {13, "\r"},
      {252, "_AT_      "},  // no row has it
  };
  for (const auto& [token, text] : texts) EXPECT_EQ(TokenText(token), text) << token;
}

}  // namespace
}  // namespace dorvik
