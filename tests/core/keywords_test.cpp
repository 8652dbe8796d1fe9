#include "core/keywords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "lang_fixture.h"

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
}

TEST(KeywordTable, OutOfOrderRowsStandWhereTheSearchNeedsThem) {
  auto index = [](std::string_view name) {
    return std::find_if(KeywordTable.begin(), KeywordTable.end(),
                        [&](const KeywordRow& r) { return r.Name == name; }) -
           KeywordTable.begin();
  };
  EXPECT_EQ(index("QUELM"), index("DEFINE") + 1);
  EXPECT_EQ(index("DIR"), index("QUELM") + 1);
  EXPECT_EQ(index("DOUBLEWORD"), index("DPTR") + 1);
  EXPECT_EQ(index("FLOAT"), index("FOREVER") + 1);
  EXPECT_EQ(index("MTYP"), index("MUL") + 1);
  // Apart from these the rows are alphabetical.
  std::set<std::string_view> outOfOrder = {"_AT_", "DPTR", "FOREVER", "MUL", "QUELM"};
  std::string_view previous;
  for (const KeywordRow& row : KeywordTable) {
    if (outOfOrder.count(row.Name)) continue;
    EXPECT_LT(previous, row.Name);
    previous = row.Name;
  }
}

TEST(KeywordTable, TokensOthersRelyOn) {
  EXPECT_EQ(tok::kACALL, 208);
  EXPECT_EQ(tok::kXRL, 251);
  EXPECT_EQ(tok::kNUMBER, 133);
  EXPECT_EQ(tok::kC, 136);
  EXPECT_EQ(tok::kDATA, 136);
  EXPECT_EQ(tok::kA, 137);
  EXPECT_EQ(tok::kDPTR, 89);
  EXPECT_EQ(tok::kAB, 88);
  EXPECT_EQ(tok::kR0, 80);
  EXPECT_EQ(tok::kR7, 87);
  EXPECT_EQ(tok::kHISTORY_BU, 182);
  EXPECT_EQ(tok::kSYMBOLIC_R, 188);
  // Synonyms share their token.
  EXPECT_EQ(tok::kBR, tok::kBREAK);
  EXPECT_EQ(tok::kS, tok::kSTEP);
  EXPECT_EQ(tok::kST, tok::kSTEP);
  EXPECT_EQ(tok::kSY, tok::kSYMBOLS);
  EXPECT_EQ(tok::kEDIT, tok::kCONTROLS);
  EXPECT_EQ(tok::kSEGMENT, tok::kCSEG);
  // Every mnemonic of the instruction set lies in 208..251.
  int mnemonics = 0;
  for (const KeywordRow& row : KeywordTable)
    if (row.Token >= 208 && row.Token <= 251) ++mnemonics;
  EXPECT_EQ(mnemonics, 44);
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

struct MatchCase {
  const char* word;
  const char* name;
  KeywordMatch match;
};

TEST(MatchKeywordName, ExactAbbreviationOrNone) {
  const MatchCase cases[] = {
      {"STEP", "STEP", KeywordMatch::Exact},
      {"STE", "STEP", KeywordMatch::Abbreviation},
      {"STEPS", "STEP", KeywordMatch::None},
      {"SYMBOLIC_R", "SYMBOLIC_R", KeywordMatch::Exact},
      {"SYMBOLIC_RE", "SYMBOLIC_R", KeywordMatch::None},  // 11 characters never match
      {"", "STEP", KeywordMatch::None},
      {"X", "STEP", KeywordMatch::None},
  };
  for (const MatchCase& c : cases)
    EXPECT_EQ(MatchKeywordName(c.word, c.name), c.match) << c.word << " / " << c.name;
}

using KeywordSearch = testing::LangTest;

struct SearchCase {
  const char* word;
  int token;  // -1: no keyword
};

TEST_F(KeywordSearch, AbbreviationsAndTheirExceptions) {
  const SearchCase cases[] = {
      {"STA", tok::kSTACK},      // the next row STEP does not begin with STA
      {"STE", tok::kSTEP},
      {"DEF", tok::kDEFINE},     // QUELM, the next row, does not accept it
      {"Q", tok::kQUELM},
      {"D", tok::kD},            // an exact row wins at once
      {"SYMBO", tok::kSYMBOLS},  // an exact row of its own
      {"SYMBOLI", tok::kSYMBOLIC_R},
      {"HISTORY_BU", tok::kHISTORY_BU},
      {"DO", tok::kDOUBLEWORD},  // DPTR, standing before it, does not accept DO
      {"DE", -1},                // DEC and DECIMAL both accept it
      {"DI", -1},                // DIR and DISABLE
      {"LI", -1},                // LINES and LIST
      {"SYMBOLIC_RE", -1},
      {"ZZZ", -1},
  };
  for (const SearchCase& c : cases) {
    Scanner().ScanIdent = c.word;
    const bool found = FindKeyword();
    EXPECT_EQ(found, c.token >= 0) << c.word;
    if (found && c.token >= 0) {
      EXPECT_EQ(KeywordTable[Scanner().KeywordIndex].Token, c.token) << c.word;
    }
  }
}

TEST_F(KeywordSearch, ExactKeywordsOnlyRefusesAbbreviations) {
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

TEST(MatchKeyword, NumbersAsTheSearchReportsThem) {
  EXPECT_EQ(MatchKeyword("STEP", "STEP"), -1);
  EXPECT_EQ(MatchKeyword("ST", "STEP"), 2);
  EXPECT_EQ(MatchKeyword("SX", "STEP"), 0);
}

TEST(TokenText, LastRowPaddedPunctuationAndBit) {
  EXPECT_EQ(TokenText(47), "STEP      ");
  EXPECT_EQ(TokenText(51), "SYMBOLS   ");
  EXPECT_EQ(TokenText(34), "BREAK     ");
  EXPECT_EQ(TokenText(132), "BIT ");
  EXPECT_EQ(TokenText(1), ",");
  EXPECT_EQ(TokenText(26), "=");
  EXPECT_EQ(TokenText(13), "\r");
  EXPECT_EQ(TokenText(252), "_AT_      ");  // no row has it
}

}  // namespace
}  // namespace dorvik
