#pragma once
// The assembler's character source (lines, comments, tabs, the listing copy
// of the line, the progress echo), numeric constants and operator precedence.

#include <cstdint>
#include <string_view>

#include "assembler/context.h"

namespace dorvik::as {

inline constexpr char kCR = '\r';
inline constexpr size_t kMaxSourceLine = 255;

// Characters
// Next character of the current input, reading a new line when the current
// one is used up (ScanChar is CR).
char ReadAsmSourceChar(AsmContext& c);
// The tokenizer's character source: filters characters, expands tabs into
// the listing copy, skips comments. Returns 0 after a syntax error on the line.
char GetAsmChar(AsmContext& c);
// Skips blanks and tabs at ScanChar.
void SkipAsmBlanks(AsmContext& c);
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
