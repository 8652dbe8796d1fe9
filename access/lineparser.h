#pragma once
// The symbolic line parser: the text of one 8051 instruction becomes a mnemonic token and up to three
// operands with their tokens, values, memory kinds and prefixes. It parses the statements typed for the
// line assembler (Run().AsmLineMode set) and, while Scanner().Disassembling is set, the disassembler's own
// lines, whose numbers are plain hexadecimal.

#include <array>
#include <cstdint>
#include <string>

namespace dorvik {

// Memory kinds of parsed operand values.
inline constexpr uint8_t kKindData = 2;    // data address
inline constexpr uint8_t kKindBit = 4;     // bit address
inline constexpr uint8_t kKindNumber = 5;  // plain number
inline constexpr uint8_t kKindCode = 15;   // code address: jump or call target

// The parsed instruction. Every field is cleared at the start of a parse; after an error it holds what
// was parsed up to the error. The operands are at indexes 0..2, in the order they are written.
struct ParsedInstruction {
  uint8_t ParsedMnemonic = 0;  // token 208..251, or 138 for DB
  // 133 number, address or bit; 136 C; 137 A; 88 AB; 89 DPTR; 90 PC; 80..87 R0..R7
  std::array<uint8_t, 3> ParsedOperand{};
  std::array<uint16_t, 3> ParsedValue{};
  std::array<bool, 3> ParsedHasOp{};
  // The first: '@' or 0; the second: '#', '@', '/' or 0; the third: always 0.
  std::array<char, 3> ParsedPrefix{};
  std::array<uint8_t, 3> ParsedKind{kKindNumber, kKindNumber, kKindNumber};
  // JMP @A+DPTR, MOVC A,@A+DPTR and MOVC A,@A+PC are kept as one text.
  bool ParsedFixedForm = false;
  std::string ParsedFixedText;
};

ParsedInstruction& Parsed();


// Parsing
// The mnemonic token is in ScanToken (its word in ScanIdent): parses the operands from the scanner into
// Parsed(). Errors through the message service, ErrorFlag set.
void ParseInstruction();
// One operand; 133 with the value in ExprValue and the space in ValueSpace.
uint8_t ScanOperand();
// The token after the next one; the scanner is left as it was.
uint8_t PeekSecondToken();

}  // namespace dorvik
