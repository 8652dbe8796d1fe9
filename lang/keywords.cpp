#include "lang/keywords.h"

namespace dorvik {

// The named punctuation tokens must agree with the table.
static_assert(PunctToken(',') == tok::kComma && PunctToken('=') == tok::kEqual);
static_assert(PunctToken('+') == tok::kPlus && PunctToken('-') == tok::kMinus);
static_assert(PunctToken('*') == tok::kStar && PunctToken('/') == tok::kSlash);
static_assert(PunctToken('#') == tok::kHash && PunctToken('\'') == tok::kQuote);
static_assert(PunctToken('@') == tok::kAtSign && PunctToken('.') == tok::kDot);
static_assert(PunctToken(':') == tok::kColon && PunctToken('\r') == tok::kEndOfLine);
static_assert(PunctToken('$') == tok::kDollar && PunctToken('(') == tok::kLParen);
static_assert(PunctToken(')') == tok::kRParen && PunctToken('&') == tok::kAmpersand);
static_assert(PunctToken('!') == tok::kBang && PunctToken('|') == tok::kBar);
static_assert(PunctToken('^') == tok::kCaret && PunctToken('>') == tok::kGreater);
static_assert(PunctToken('<') == tok::kLess && PunctToken('}') == tok::kRBrace);
static_assert(PunctToken('{') == tok::kLBrace && PunctToken('"') == tok::kDoubleQuote);
static_assert(PunctToken(';') == tok::kSemicolon && PunctToken('[') == tok::kLBracket);
static_assert(PunctToken(']') == tok::kRBracket && PunctToken('?') == tok::kQuestion);
static_assert(tok::kAND == tok::kAmpersand && tok::kOR == tok::kBar && tok::kXOR == tok::kCaret);
static_assert(tok::kNOT == tok::kBang && tok::kGT == tok::kGreater && tok::kLT == tok::kLess);
static_assert(tok::kNUMBER == tok::kNumberValue && tok::kCODE == tok::kSpaceBase);

KeywordMatch MatchKeywordName(std::string_view word, std::string_view name) {
  if (word.empty() || word.size() > kKeywordNameLength) return KeywordMatch::None;
  if (word == name) return KeywordMatch::Exact;
  if (word.size() < name.size() && name.substr(0, word.size()) == word)
    return KeywordMatch::Abbreviation;
  return KeywordMatch::None;
}

int FirstAcceptingRow(std::string_view word) {
  for (size_t i = 0; i < KeywordTable.size(); ++i)
    if (MatchKeywordName(word, KeywordTable[i].Name) != KeywordMatch::None)
      return static_cast<int>(i);
  return -1;
}

bool NextRowAccepts(std::string_view word, int row) {
  size_t next = static_cast<size_t>(row) + 1;
  return row >= 0 && next < KeywordTable.size() &&
         MatchKeywordName(word, KeywordTable[next].Name) != KeywordMatch::None;
}

std::string_view LastKeywordName(uint8_t token) {
  for (size_t i = KeywordTable.size(); i-- > 0;)
    if (KeywordTable[i].Token == token) return KeywordTable[i].Name;
  return KeywordTable[0].Name;
}

char PunctuationChar(uint8_t token) {
  for (const PunctuationPair& p : PunctuationTokens)
    if (p.Token == token) return p.Char;
  return 0;
}

}  // namespace dorvik
