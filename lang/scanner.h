#pragma once
// The command scanner: turns one prepared command line into tokens
// (keywords, punctuation and operators, numbers, symbols of the loaded
// program). The evaluator, the command executor, the line parser and the
// processor-definition reader pull tokens from it.
//
// All scanner state is in one ScannerState reached through Scanner(); a user
// that scans a second line in the middle of another (line assembler, watches,
// hover evaluation) copies the struct and puts it back afterwards. The modes
// that others own are read where they live: AsmLineMode and AsmLineAddress
// (base/runstate.h).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text.h"
#include "lang/keywords.h"

namespace dorvik {

// Memory space codes of a value (ValueSpace, the low 3 bits of the space
// keywords).
inline constexpr uint8_t kValueSpaceCode = 0;
inline constexpr uint8_t kValueSpaceXData = 1;
inline constexpr uint8_t kValueSpaceData = 2;
inline constexpr uint8_t kValueSpaceIData = 3;
inline constexpr uint8_t kValueSpaceBit = 4;
inline constexpr uint8_t kValueSpaceNumber = 5;
inline constexpr uint8_t kValueSpacePort = 6;
inline constexpr uint8_t kValueSpaceEeprom = 7;
inline constexpr uint8_t kValueSpaceCharacter = 8;

// Nesting depths of the evaluator, and so the size of BitContext.
inline constexpr int kMaxExprDepth = 16;

struct ScannerState {
  // The line
  std::string ScanLine;   // the prepared line
  uint32_t ScanPos = 1;   // 1-based index of the next character of ScanLine
  char ScanChar = '\r';   // the current character (already taken from the line)

  // The current token
  uint8_t ScanToken = 0;
  std::string ScanIdent;          // the current word, upper case, at most 64 characters
  long double ExprValue = 0;      // value of the last number (and the evaluator's result)
  uint8_t ValueSpace = kValueSpaceNumber;
  uint16_t KeywordIndex = 0;      // row found by the last keyword search

  // Symbol references
  uint8_t QualifierDepth = 0;     // qualifiers walked in the current symbol reference
  std::array<bool, kMaxExprDepth + 1> BitContext{};  // by the evaluator's depth
  uint8_t BitContextDepth = 0;    // the evaluator's nesting depth, which it keeps here
  uint8_t BitNumber = 0;          // digit of the last ".n" bit suffix
  bool NameFound = false;         // the symbol search matched the name at all
  bool QualifiedLookup = false;   // the current reference was qualified

  // Modes set by the scanner's users
  bool ExactKeywordsOnly = false;  // processor-definition text: no abbreviations
  bool CStyleNumbers = false;      // processor-definition text: 0x... numbers
  bool Disassembling = false;      // the disassembly is being built
  // A target's reply is being parsed (set by the link that reads it): numbers
  // read hexadecimal, and a syntax error is a framing error.
  bool ParsingReply = false;
};

ScannerState& Scanner();

// Line input
// Prepares Line as the scanner input and reads its first character. With
// Normalize, blanks and control characters are trimmed, runs of blanks are
// squeezed and a comment ("/*" or "//" after the first character) is cut. The
// prepared line always ends with a CR, also when Line had none.
void SetScanLine(std::string_view line, bool normalize);
// The character at ScanPos (also stored in ScanChar); '\0' past the end.
char NextChar();
void SkipBlanks();

// Tokens
// The next token into ScanToken; at the end of the line 13, again and again.
// A failure reports its error and gives 0.
uint8_t GetToken();
// The next token without consuming it (symbol lookups it made stay).
uint8_t PeekToken();
// The next token must be the end of the line; otherwise one syntax error.
bool CheckEndOfLine();
// The next token must be ","; otherwise one syntax error.
bool ExpectComma();
// Display text of a token: 132 "BIT ", punctuation its character, any other
// token the name of the last keyword row with it, padded to 10 characters.
std::string TokenText(uint8_t token);

// Keyword search on ScanIdent
// True when a row accepts ScanIdent under the abbreviation rules; its row
// goes to KeywordIndex.
bool FindKeyword();
// -1 exact, the word's length for an abbreviation, 0 no match.
int MatchKeyword(std::string_view word, std::string_view name);

// Pieces of words
// Collects identifier characters, upper-cased, into ScanIdent; error 150 on
// the 65th character.
void ReadIdentifier();
// One character of a quoted text; '\0' at the closing quote.
char ReadStringChar();
// As ReadStringChar, but a CR ends the text (after its syntax error).
char ReadQuotedChar();
// The digit of a ".n" bit suffix; sets the bit context.
bool ReadBitSuffix();

// Bit context at the evaluator's current depth.
bool InBitContext();
void SetBitContext(bool on);

// Character and token classes
bool IsIdentStart(char c);
bool IsIdentChar(char c);
bool IsDigit(char c);
bool IsHexDigit(char c);
bool IsSeparator(char c);
// The expression operators: + - * / AND NOT OR XOR and the comparisons GT LT
// GE LE EQ NE ("<>" and friends). "=" (2) is not one: it ends an expression
// that an assignment may follow (the evaluator compares with it only where
// the end of the expression is fixed).
bool IsOperatorToken(uint8_t token);
bool IsBitAddressable(uint8_t space, uint32_t addr);

// Syntax errors
// The scanner's syntax error: 105 while a reply is parsed, 109 in line-assembly
// mode, else 118; then clears the scanner's current token.
int SyntaxError();
int PlainSyntaxError();  // error 118
int FramingError();      // error 105

}  // namespace dorvik
