#pragma once
// The disassembler: the one to three code bytes of an instruction at a code address become one line of
// fixed columns. Columns (1-based): 1-4 address, 5 "=", 6-11 the code bytes without blanks, 14-19 the
// mnemonic padded to six characters, from 20 the operands. Numbers are upper-case hexadecimal without
// suffix: bytes in three digits (005), code addresses in five (01234), the word of MOV DPTR as #0 and four.

#include <cstdint>
#include <string>

namespace dorvik {

// Column positions of the line text (0-based offsets).
inline constexpr size_t kDisasBytesColumn = 5;
inline constexpr size_t kDisasMnemonicColumn = 13;
inline constexpr size_t kDisasOperandColumn = 19;

// Disassembles the instruction at `address` (low 16 bits used). `bytes` packs the opcode in bits 0-7, the
// first operand byte in bits 8-15 and the second in bits 16-23; bytes past the instruction are ignored.
void Disassemble(uint32_t address, std::string& text, uint32_t bytes);
std::string Disassemble(uint32_t address, uint32_t bytes);

// Target of a relative jump: `next` plus the signed displacement, modulo 65536.
constexpr uint16_t RelativeTarget(uint8_t displacement, uint32_t next) {
  return static_cast<uint16_t>(next + static_cast<int8_t>(displacement));
}

// Target of AJMP/ACALL: the 2 KB block of the next instruction, opcode bits 7-5 and the operand byte.
constexpr uint16_t AbsoluteTarget(uint8_t opcode, uint8_t low, uint32_t address) {
  return static_cast<uint16_t>(((address + 2) & 0xF800) + (opcode >> 5) * 256 + low);
}

}  // namespace dorvik
