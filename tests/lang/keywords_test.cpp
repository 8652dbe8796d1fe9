#include "lang/keywords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "tests/support/lang_fixture.h"

namespace dorvik {
namespace {

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
      {"_AT_", tok::kAT},        // the first row
      {"XWORD", tok::kXWORD},    // the last row, exact and abbreviated: no row after it
      {"XW", tok::kXWORD},
      {"XS", tok::kXSEG},        // the row before the last
      {"XWORDS", -1},
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

}  // namespace
}  // namespace dorvik
