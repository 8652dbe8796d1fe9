#include "machine/disassembler.h"

#include "machine/opcodes.h"

namespace dorvik {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& s, uint32_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) s += kHexDigits[(value >> shift) & 0xF];
}

// A byte operand: three digits with a leading zero (005, 0A5).
void AppendByte(std::string& s, uint32_t value) {
  s += '0';
  AppendHex(s, value & 0xFF, 2);
}

// A code address: five digits with a leading zero (01234, 0FFFF).
void AppendAddress(std::string& s, uint32_t value) {
  s += '0';
  AppendHex(s, value & 0xFFFF, 4);
}

// One operand in its form. Value: the code byte the table names for it;
// Word: the two operand bytes, high byte first; Next: the address after the
// instruction.
void AppendOperand(std::string& s, OperandForm form, uint8_t opcode, uint8_t value, uint32_t word,
                   uint32_t address, uint32_t next) {
  using Opd = OperandForm;
  switch (form) {
    case Opd::None: break;
    case Opd::A: s += 'A'; break;
    case Opd::AB: s += "AB"; break;
    case Opd::C: s += 'C'; break;
    case Opd::Dptr: s += "DPTR"; break;
    case Opd::Rn:
      s += 'R';
      s += static_cast<char>('0' + (opcode & 7));
      break;
    case Opd::AtRi:
      s += "@R";
      s += static_cast<char>('0' + (opcode & 1));
      break;
    case Opd::AtDptr: s += "@DPTR"; break;
    case Opd::AtADptr: s += "@A+DPTR"; break;
    case Opd::AtAPc: s += "@A+PC"; break;
    case Opd::Direct:
    case Opd::Bit: AppendByte(s, value); break;
    case Opd::NotBit:
      s += '/';
      AppendByte(s, value);
      break;
    case Opd::Immediate:
      s += '#';
      AppendByte(s, value);
      break;
    case Opd::Immediate16:
      s += '#';
      AppendAddress(s, word);
      break;
    case Opd::Relative: AppendAddress(s, RelativeTarget(value, next)); break;
    case Opd::Addr11: AppendAddress(s, AbsoluteTarget(opcode, value, address)); break;
    case Opd::Addr16: AppendAddress(s, word); break;
    case Opd::DataByte: AppendByte(s, opcode); break;
  }
}

}  // namespace

void Disassemble(uint32_t address, std::string& text, uint32_t bytes) {
  const uint8_t opcode = bytes & 0xFF;
  const uint8_t byte1 = (bytes >> 8) & 0xFF;
  const uint8_t byte2 = (bytes >> 16) & 0xFF;
  const OpcodeInfo& row = Opcode(opcode);
  const int operandBytes = row.Format >> 4;
  address &= 0xFFFF;

  text.clear();
  AppendHex(text, address, 4);
  text += '=';
  AppendHex(text, opcode, 2);
  if (operandBytes >= 1)
    AppendHex(text, byte1, 2);
  else
    text += "  ";
  if (operandBytes >= 2)
    AppendHex(text, byte2, 2);
  else
    text += "  ";
  text += "  ";
  text += row.Name;
  text.append(6 - row.Name.size(), ' ');

  // The operands in source order, each rendered by its form from the code byte the table names.
  const uint32_t word = byte1 * 256u + byte2;
  for (size_t i = 0; i < row.Operands.size() && row.Operands[i] != OperandForm::None; ++i) {
    if (i > 0) text += ',';
    const uint8_t value = row.Field[i] == 2 ? byte2 : row.Field[i] == 1 ? byte1 : 0;
    AppendOperand(text, row.Operands[i], opcode, value, word, address, address + row.Length);
  }
}

std::string Disassemble(uint32_t address, uint32_t bytes) {
  std::string text;
  Disassemble(address, text, bytes);
  return text;
}

}  // namespace dorvik
