#pragma once
// Instruction encoder: reads the operands of one instruction statement and
// leaves its one to three code bytes, with range checks, the short or long
// form of the generic JMP and CALL, and the relocation requests.

#include <cstdint>

namespace dorvik::as {

struct AsmContext;

// Mnemonic tokens of the assembler's reserved words (208..252).
inline constexpr uint8_t kFirstMnemonicToken = 208;
inline constexpr uint8_t kLastMnemonicToken = 252;

// Encodes the instruction whose mnemonic token was just read; a token outside
// 208..252 produces nothing.
void EncodeInstruction(AsmContext& cx, uint8_t mnemonic);

}  // namespace dorvik::as
