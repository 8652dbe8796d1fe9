#pragma once
// The assembler's character source (lines, comments, tabs, the listing copy
// of the line, the progress echo), numeric constants and operator precedence.

#include <array>
#include <cstdint>
#include <string_view>

#include "assembler/asmmsg.h"
#include "assembler/context.h"

namespace dorvik::as {

inline constexpr char kCR = '\r';
inline constexpr size_t kMaxSourceLine = 255;

// Characters
// Next character of the current input, reading a new line when the current
// one is used up (ScanChar is CR).
char ReadAsmSourceChar(AsmContext& c);
// Characters that need no filtering: allowed in a source line, not a tab,
// not ";" and not CR.
inline constexpr std::array<bool, 256> kPlainAsmChars = [] {
  std::array<bool, 256> t{};
  for (int ch = '0'; ch <= '9'; ++ch) t[static_cast<size_t>(ch)] = true;
  for (int ch = 'A'; ch <= 'Z'; ++ch) t[static_cast<size_t>(ch)] = true;
  for (int ch = 'a'; ch <= 'z'; ++ch) t[static_cast<size_t>(ch)] = true;
  for (char ch : std::string_view(" ?\\_!#$&'()*+,-./:<=>@^|"))
    t[static_cast<unsigned char>(ch)] = true;
  return t;
}();
// Every other case of GetAsmChar.
char GetAsmCharSlow(AsmContext& c);
// The tokenizer's character source: filters characters, expands tabs into
// the listing copy, skips comments. Returns 0 after a syntax error on the line.
inline char GetAsmChar(AsmContext& c) {
  if (c.scan.ScanChar != kCR && c.line.LastAsmError != asm_err::kSyntaxError && !c.line.CommentSkip &&
      c.scan.SourceIndex < c.scan.LineBuffer.size()) {
    const char ch = c.scan.LineBuffer[c.scan.SourceIndex];
    if (kPlainAsmChars[static_cast<unsigned char>(ch)] && c.scan.ListLine.size() < kMaxSourceLine) {
      ++c.scan.SourceIndex;
      ++c.scan.Column;
      c.scan.ScanChar = ch;
      if (c.AsmPass == 2) c.scan.ListLine += ch;
      return ch;
    }
  }
  return GetAsmCharSlow(c);
}
// Skips blanks and tabs at ScanChar.
inline void SkipAsmBlanks(AsmContext& c) {
  while (c.scan.ScanChar == ' ' || c.scan.ScanChar == '\t') GetAsmChar(c);
}
// Reads the rest of the line (into the listing copy).
void SkipAsmLine(AsmContext& c);
// True while the current input has no more lines (end of the file or list).
bool AsmInputAtEnd(AsmContext& c);
// Characters allowed in a source line outside strings and comments.
bool IsAsmSourceChar(char ch);

// Numbers and precedence
uint8_t AsmDigitValue(char ch);
// A numeric constant with its radix suffix (H, D, O, B); reports errors 100,
// 103 and 111 and gives 0 for a bad constant.
int32_t AsmNumberValue(AsmContext& c, std::string_view text);
// Binding strength of an operator token; 0 for other tokens.
uint8_t AsmPrecedence(uint8_t token);

}  // namespace dorvik::as
