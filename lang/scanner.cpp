#include "lang/scanner.h"
#include "base/session.h"

#include <charconv>
#include <cmath>
#include <string>

#include "lang/cpudb.h"
#include "lang/formatting.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "lang/scanner_symbols.h"

namespace dorvik {
namespace {

// Longest word (ScanIdent) and longest exponent word of a decimal fraction.
constexpr size_t kMaxWordLength = 64;
constexpr size_t kMaxExponentLength = 6;
// Largest decimal exponent an extended value can take.
constexpr int kMaxExponent = 4900;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// After one of these a squeezed run of blanks is dropped.
bool IsWordBreak(char c) {
  constexpr std::string_view kBreaks = "\t\n\r !\"#$%&'()*+,-./:;<=>?@[\\]^`{~";
  return kBreaks.find(c) != std::string_view::npos;
}

// ReadIdentifier that tells whether the word fitted.
bool ReadWord() {
  ScannerState& s = Scanner();
  s.ScanIdent.clear();
  while (IsIdentChar(s.ScanChar)) {
    if (s.ScanIdent.size() == kMaxWordLength) {
      ReportError(err::kTokenTooLong);
      return false;
    }
    s.ScanIdent += UpperChar(s.ScanChar);
    s.ScanChar = NextChar();
  }
  return true;
}

// A word or character that cannot be read: only the error flag while boxes
// are suppressed, else the symbol error (for a word tried as a symbol) or the
// syntax error; quiet mode ends with the syntax error's text.
uint8_t WordFailed(bool triedAsSymbol) {
  MessageState& m = Messages();
  if (!m.ShowMessageBoxes) {
    m.ErrorFlag = true;
  } else {
    if (triedAsSymbol)
      ReportWordSymbolError();
    else
      SyntaxError();
    m.ErrorFlag = true;
  }
  if (m.QuietMessages) SyntaxError();
  Scanner().ScanToken = tok::kNone;
  return tok::kNone;
}

// The digits after a decimal point and an optional exponent; Mantissa holds
// the digits before the point.
uint8_t ReadFraction(const std::string& mantissa) {
  ScannerState& s = Scanner();
  for (char c : mantissa)
    if (!IsDigit(c)) return WordFailed(false);
  std::string text = mantissa + '.';
  s.ScanChar = NextChar();
  while (IsDigit(s.ScanChar)) {
    if (text.size() == kMaxWordLength) {
      ReportError(err::kTokenTooLong);
      return s.ScanToken = tok::kNone;
    }
    text += s.ScanChar;
    s.ScanChar = NextChar();
  }
  if (s.ScanChar == 'E' || s.ScanChar == 'e') {
    s.ScanChar = NextChar();
    bool negative = false;
    if (s.ScanChar == '-') {
      negative = true;
      s.ScanChar = NextChar();
    }
    std::string exponent;
    while (IsIdentChar(s.ScanChar)) {
      exponent += s.ScanChar;
      s.ScanChar = NextChar();
    }
    if (exponent.empty()) return WordFailed(false);
    for (char c : exponent)
      if (!IsDigit(c)) return WordFailed(false);
    if (exponent.size() > kMaxExponentLength || std::stoi(exponent) > kMaxExponent) {
      ReportError(err::kFloatingPointExpressionOutRange);
      return s.ScanToken = tok::kNone;
    }
    text += 'E';
    if (negative) text += '-';
    text += exponent;
  }
  long double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // An underflow is a zero; an overflow cannot pass the exponent check.
    value = 0;
  } else if (ec != std::errc() || end != text.data() + text.size()) {
    return WordFailed(false);
  }
  s.ExprValue = value;
  s.ValueSpace = kValueSpaceNumber;
  SkipBlanks();
  return s.ScanToken = tok::kNumberValue;
}

// The word in ScanIdent as a number (radix suffix, decimal fraction, C form).
uint8_t ReadNumber(bool triedAsSymbol) {
  ScannerState& s = Scanner();
  unsigned radix = Scanner().ParsingReply ? 16 : Formatting().DisplayRadix;
  s.ExprValue = 0;
  std::string word = s.ScanIdent;
  if (word.empty()) return WordFailed(triedAsSymbol);
  bool suffix = true;
  switch (word.back()) {
    case 'H': radix = 16; break;
    case 'T': radix = 10; break;
    case 'O': radix = 8; break;
    case 'Y': radix = 2; break;
    default: suffix = false; break;
  }
  if (suffix) {
    // The suffix letter alone is no number, whatever it was tried as.
    if (word.size() == 1) return WordFailed(false);
    word.pop_back();
  } else if (s.ScanChar == '.') {
    return ReadFraction(word);
  }
  if (s.CStyleNumbers && word.size() >= 3 && word[0] == '0' && word[1] == 'X') {
    radix = 16;
    word[1] = '0';
  }
  if (radix < 2) return WordFailed(triedAsSymbol);
  long double value = 0;
  for (char c : word) {
    uint8_t digit = HexDigitValue(c);
    if (digit >= radix) return WordFailed(triedAsSymbol);
    value = value * radix + digit;
  }
  s.ExprValue = value;
  s.ValueSpace = kValueSpaceNumber;
  SkipBlanks();
  return s.ScanToken = tok::kNumberValue;
}

// A word that is no keyword: a symbol of the loaded program, else a number.
// The trial lookup shows no box and leaves no error behind; only when the
// number fails as well is the symbol error reported.
uint8_t ReadSymbolOrNumber() {
  ScannerState& s = Scanner();
  MessageState& m = Messages();
  const bool errorBefore = m.ErrorFlag;
  const int32_t codeBefore = m.LastErrorCode;
  SuspendMessages();
  uint8_t token = TrySymbolWord();
  ResumeMessages();
  if (token == tok::kSymbol) {
    SkipBlanks();
    return s.ScanToken = tok::kSymbol;
  }
  m.ErrorFlag = errorBefore;
  m.LastErrorCode = codeBefore;
  return ReadNumber(true);
}

uint8_t ReadWordToken() {
  ScannerState& s = Scanner();
  const bool quoted = s.ScanChar == '"';
  if (quoted) {
    s.ScanChar = NextChar();
    SkipBlanks();
  }
  if (!ReadWord()) return s.ScanToken = tok::kNone;
  if (s.ScanIdent.empty()) {
    SyntaxError();
    return s.ScanToken = tok::kNone;
  }
  if (!quoted && s.ScanIdent == "?") return s.ScanToken = tok::kQuestion;
  if (IsDigit(s.ScanIdent[0])) {
    if (quoted) {
      SyntaxError();
      return s.ScanToken = tok::kNone;
    }
    return ReadNumber(false);
  }
  if (!quoted) {
    if (FindKeyword()) {
      SkipBlanks();
      return s.ScanToken = KeywordTable[s.KeywordIndex].Token;
    }
    if (Scanner().ParsingReply) return ReadNumber(false);
  }
  return ReadSymbolOrNumber();
}

uint8_t ReadPunctuation(uint8_t previous) {
  ScannerState& s = Scanner();
  const char c = s.ScanChar;
  uint8_t token = PunctToken(c);
  if (token == tok::kNone) return WordFailed(false);
  if (token == tok::kEndOfLine) {
    s.ScanChar = ' ';
    return s.ScanToken = token;
  }
  if (token == tok::kDollar) {
    if (Run().AsmLineMode) {
      token = tok::kNumberValue;
      s.ExprValue = Run().AsmLineAddress;
    } else {
      token = tok::kPC;
      s.ExprValue = Run().CurrentPC;
    }
    s.ValueSpace = kValueSpaceCode;
  }
  s.ScanChar = NextChar();
  if (c == '<' && s.ScanChar == '>') {
    token = tok::kNE;
  } else if (c == '<' && s.ScanChar == '=') {
    token = tok::kLE;
  } else if (c == '>' && s.ScanChar == '=') {
    token = tok::kGE;
  } else if (c == '=' && s.ScanChar == '=') {
    token = tok::kEqual;
  } else {
    if (token == tok::kHash && Run().AsmLineMode) return s.ScanToken = token;
    if (token == tok::kColon && previous == tok::kSymbol) return s.ScanToken = token;
    if (token == tok::kDot || token == tok::kColon || token == tok::kHash) {
      s.ScanToken = token;
      return s.ScanToken = QualifiedReference(token);
    }
    return s.ScanToken = token;
  }
  s.ScanChar = NextChar();
  return s.ScanToken = token;
}

}  // namespace

ScannerState& Scanner() { return CurrentSession().Get<ScannerState>(); }


void SetScanLine(std::string_view line, bool normalize) {
  ScannerState& s = Scanner();
  const char last = line.empty() ? '\r' : line.back();
  if (normalize) {
    while (!line.empty() && static_cast<unsigned char>(line.front()) <= ' ') line.remove_prefix(1);
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ') line.remove_suffix(1);
  }
  s.ScanLine.clear();
  for (size_t i = 0; i < line.size();) {
    if (normalize && IsBlank(line[i])) {
      while (i < line.size() && IsBlank(line[i])) ++i;
      if (i < line.size() && IsIdentChar(line[i]) && !s.ScanLine.empty() &&
          !IsWordBreak(s.ScanLine.back()))
        s.ScanLine += ' ';
      continue;
    }
    s.ScanLine += line[i++];
  }
  size_t comment = s.ScanLine.find("/*");
  if (comment == std::string::npos) comment = s.ScanLine.find("//");
  if (comment != std::string::npos && comment >= 1) s.ScanLine.erase(comment);
  // The line ends with its CR again after trimming or a cut comment; a line
  // that came without one gets one, so that scanning always meets the end.
  if (last == '\r' || s.ScanLine.empty() || s.ScanLine.back() != '\r') s.ScanLine += '\r';
  s.ScanPos = 1;
  s.ScanChar = NextChar();
}

char NextChar() {
  ScannerState& s = Scanner();
  if (s.ScanPos > s.ScanLine.size()) return '\0';
  s.ScanChar = s.ScanLine[s.ScanPos - 1];
  ++s.ScanPos;
  return s.ScanChar;
}

void SkipBlanks() {
  ScannerState& s = Scanner();
  while (IsBlank(s.ScanChar)) s.ScanChar = NextChar();
}

uint8_t GetToken() {
  ScannerState& s = Scanner();
  s.QualifierDepth = 0;
  const uint8_t previous = s.ScanPos > 2 ? s.ScanToken : tok::kNone;
  SkipBlanks();
  // Past the end the line stays at its end. A NUL byte inside the line is a
  // character like any other that the language has no use for.
  if (s.ScanChar == '\0' && s.ScanPos > s.ScanLine.size()) return s.ScanToken = tok::kEndOfLine;
  if (IsIdentChar(s.ScanChar) || s.ScanChar == '"') return ReadWordToken();
  return ReadPunctuation(previous);
}

uint8_t PeekToken() {
  ScannerState& s = Scanner();
  const char scanChar = s.ScanChar;
  const uint32_t scanPos = s.ScanPos;
  const uint8_t scanToken = s.ScanToken;
  // Quietly: a word that is no symbol is reported once, when it is read.
  SavedMessageFlags flags;
  SuspendMessages();
  const uint8_t next = GetToken();
  ResumeMessages();
  s.ScanChar = scanChar;
  s.ScanPos = scanPos;
  s.ScanToken = scanToken;
  return next;
}

bool CheckEndOfLine() {
  if (GetToken() == tok::kEndOfLine) return !Messages().ErrorFlag;
  if (!Messages().ErrorFlag) SyntaxError();
  return false;
}

bool ExpectComma() {
  if (GetToken() == tok::kComma) return true;
  if (!Messages().ErrorFlag) SyntaxError();
  return false;
}

std::string TokenText(uint8_t token) {
  if (token == tok::kBOOLEAN) return "BIT ";
  if (token >= 1 && token <= 31) {
    char c = PunctuationChar(token);
    if (c != 0) return std::string(1, c);
  }
  std::string text(LastKeywordName(token));
  text.resize(kKeywordNameLength, ' ');
  return text;
}

int MatchKeyword(std::string_view word, std::string_view name) {
  switch (MatchKeywordName(word, name)) {
    case KeywordMatch::Exact: return -1;
    case KeywordMatch::Abbreviation: return static_cast<int>(word.size());
    case KeywordMatch::None: break;
  }
  return 0;
}

bool FindKeyword() {
  ScannerState& s = Scanner();
  const int row = FirstAcceptingRow(s.ScanIdent);
  if (row < 0) return false;
  s.KeywordIndex = static_cast<uint16_t>(row);
  if (MatchKeywordName(s.ScanIdent, KeywordTable[row].Name) == KeywordMatch::Exact) return true;
  if (s.ExactKeywordsOnly) return false;
  if (IsCpuPredefinedName(s.ScanIdent)) return false;
  return !NextRowAccepts(s.ScanIdent, row);
}

void ReadIdentifier() { ReadWord(); }

char ReadStringChar() {
  ScannerState& s = Scanner();
  if (s.ScanChar == '\r') SyntaxError();
  if (s.ScanChar == '\'') {
    s.ScanChar = NextChar();
    if (s.ScanChar != '\'') return '\0';
  }
  const char c = s.ScanChar;
  s.ScanChar = NextChar();
  return c;
}

char ReadQuotedChar() {
  ScannerState& s = Scanner();
  if (s.ScanChar == '\r' || s.ScanChar == '\0') {
    SyntaxError();
    return '\0';
  }
  return ReadStringChar();
}

bool ReadBitSuffix() {
  ScannerState& s = Scanner();
  if (s.ScanChar >= '0' && s.ScanChar <= '7') {
    s.BitNumber = static_cast<uint8_t>(s.ScanChar - '0');
    s.ScanChar = NextChar();
    if (IsSeparator(s.ScanChar)) {
      SetBitContext(true);
      return true;
    }
  }
  SyntaxError();
  return false;
}

bool InBitContext() {
  const uint8_t depth = Scanner().BitContextDepth;
  return depth <= kMaxExprDepth && Scanner().BitContext[depth];
}

void SetBitContext(bool on) {
  const uint8_t depth = Scanner().BitContextDepth;
  if (depth <= kMaxExprDepth) Scanner().BitContext[depth] = on;
}


bool IsIdentStart(char c) {
  c = UpperChar(c);
  return (c >= 'A' && c <= 'Z') || c == '?' || c == '_';
}

bool IsIdentChar(char c) { return IsIdentStart(c) || IsDigit(c); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return HexDigitValue(c) != 255; }

bool IsSeparator(char c) {
  return c == '\t' || c == '\r' || c == ' ' || c == ',' || c == ';' || c == '=';
}

bool IsOperatorToken(uint8_t token) {
  switch (token) {
    case 3: case 4: case 5: case 6: case 17: case 18: case 19: case 20:
    case 22: case 23: case 24: case 25: case 26: case 27:
      return true;
    default:
      return false;
  }
}

bool IsBitAddressable(uint8_t space, uint32_t addr) {
  if ((space & 15) != kValueSpaceData && space != kValueSpaceNumber) return false;
  if (addr > 255) return false;
  return addr < 128 ? (addr & 240) == 32 : (addr & 7) == 0;
}

// Syntax errors

int SyntaxError() {
  int result;
  if (Scanner().ParsingReply)
    result = ReportError(err::kFramingError);
  else if (Run().AsmLineMode)
    result = ReportError(err::kAssemblyImpossible);
  else
    result = ReportError(err::kSyntaxError);
  Scanner().ScanToken = 0;
  return result;
}

int PlainSyntaxError() { return ReportError(err::kSyntaxError); }

int FramingError() { return ReportError(err::kFramingError); }

}  // namespace dorvik
