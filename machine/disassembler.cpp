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

// The register operand of the opcode: Rn when bit 3 is set, else @Ri.
void AppendRegister(std::string& s, uint8_t opcode) {
  if (opcode & 0x08) {
    s += 'R';
    s += static_cast<char>('0' + (opcode & 7));
  } else {
    s += "@R";
    s += static_cast<char>('0' + (opcode & 1));
  }
}

}  // namespace

void Disassemble(uint32_t address, std::string& text, uint32_t bytes) {
  const uint8_t opcode = bytes & 0xFF;
  const uint8_t byte1 = (bytes >> 8) & 0xFF;
  const uint8_t byte2 = (bytes >> 16) & 0xFF;
  const OpcodeInfo& row = Opcode(opcode);
  const uint8_t format = row.Format;
  const int operandBytes = format >> 4;
  const int form = format & 0x0F;
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

  // Operand values A and B.
  uint32_t a = 0;
  uint32_t b = 0;
  if (operandBytes == 1) {
    if (form == 1)
      a = AbsoluteTarget(opcode, byte1, address);
    else if (form == 5 || form == 12)
      a = RelativeTarget(byte1, address + 2);
    else
      a = byte1;
  } else if (operandBytes == 2) {
    if (form == 1 || form == 5) {
      a = byte1 * 256u + byte2;
    } else if (form == 3 || form == 4) {
      a = byte1;
      b = byte2;
    } else {
      a = byte1;
      b = RelativeTarget(byte2, address + 3);
    }
  }

  switch (format) {
    case 0x01:
      break;
    case 0x02:
      text += 'A';
      break;
    case 0x03:
      AppendRegister(text, opcode);
      break;
    case 0x04:
      text += "A,";
      AppendRegister(text, opcode);
      break;
    case 0x05:
      text += "@A+DPTR";
      break;
    case 0x06:
      text += "A,@A+PC";
      break;
    case 0x07:
      text += "AB";
      break;
    case 0x08:
      text += "A,@A+DPTR";
      break;
    case 0x09:
      text += "DPTR";
      break;
    case 0x0A:
      AppendByte(text, opcode);
      break;
    case 0x0B:
      text += 'C';
      break;
    case 0x0C:
      if ((opcode & 3) == 0)
        text += "A,@DPTR";
      else
        text += (opcode & 3) == 2 ? "A,@R0" : "A,@R1";
      break;
    case 0x0D:
      if ((opcode & 3) == 0)
        text += "@DPTR,A";
      else
        text += (opcode & 3) == 2 ? "@R0,A" : "@R1,A";
      break;
    case 0x0E:
      AppendRegister(text, opcode);
      text += ",A";
      break;
    case 0x11:
      AppendAddress(text, a);
      break;
    case 0x12:
      AppendByte(text, a);
      break;
    case 0x13:
      text += "A,#";
      AppendByte(text, a);
      break;
    case 0x14:
      text += "A,";
      AppendByte(text, a);
      break;
    case 0x15:
      AppendAddress(text, a);
      break;
    case 0x16:
      AppendByte(text, a);
      text += ",A";
      break;
    case 0x17:
      text += "C,";
      AppendByte(text, a);
      break;
    case 0x18:
      switch ((opcode >> 4) & 3) {
        case 0:
          AppendByte(text, a);
          text += ',';
          AppendRegister(text, opcode);
          break;
        case 2:
          AppendRegister(text, opcode);
          text += ',';
          AppendByte(text, a);
          break;
        case 3:
          AppendRegister(text, opcode);
          text += ",#";
          AppendByte(text, a);
          break;
        default:
          break;
      }
      break;
    case 0x19:
      AppendByte(text, a);
      text += ",C";
      break;
    case 0x1A:
      text += "C,/";
      AppendByte(text, a);
      break;
    case 0x1B:
      AppendByte(text, a);
      break;
    case 0x1C:
      AppendRegister(text, opcode);
      text += ',';
      AppendAddress(text, a);
      break;
    case 0x21:
      AppendAddress(text, a);
      break;
    case 0x22:
      AppendByte(text, a);
      text += ',';
      AppendAddress(text, b);
      break;
    case 0x23:
      AppendByte(text, a);
      text += ",#";
      AppendByte(text, b);
      break;
    case 0x24:
      AppendByte(text, b);
      text += ',';
      AppendByte(text, a);
      break;
    case 0x25:
      text += "DPTR,#0";
      AppendHex(text, a, 4);
      break;
    case 0x26:
      text += "A,#";
      AppendByte(text, a);
      text += ',';
      AppendAddress(text, b);
      break;
    case 0x27:
      text += "A,";
      AppendByte(text, a);
      text += ',';
      AppendAddress(text, b);
      break;
    case 0x28:
      AppendRegister(text, opcode);
      text += ",#";
      AppendByte(text, a);
      text += ',';
      AppendAddress(text, b);
      break;
    case 0x29:
      AppendByte(text, a);
      text += ',';
      AppendAddress(text, b);
      break;
    default:
      break;
  }
}

std::string Disassemble(uint32_t address, uint32_t bytes) {
  std::string text;
  Disassemble(address, text, bytes);
  return text;
}

}  // namespace dorvik
