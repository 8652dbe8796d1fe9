#pragma once
// The 8051 instruction set: one table of 256 rows indexed by opcode. The disassembler, the line parser,
// the simulator's cycle counting and the assembler's encoder all read it, so they cannot drift apart.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "lang/keywords.h"

namespace dorvik {

// How an instruction changes the flow of control.
enum class FlowKind : uint8_t { None, Jump, Conditional, Call, Return };

// Operand forms. Rn: register from opcode bits 0-2; AtRi: @R0/@R1 from opcode bit 0; AtDptr: @DPTR;
// AtADptr/AtAPc: @A+DPTR/@A+PC; Direct: data address byte; Bit: bit address; NotBit: "/"bit;
// Immediate: "#" byte; Immediate16: "#" word, high byte first; Relative: signed displacement from the
// next instruction; Addr11: in-block target (opcode bits 7-5 and one byte); Addr16: absolute target, high
// byte first; DataByte: the opcode itself shown as data (DB).
enum class OperandForm : uint8_t {
  None, A, AB, C, Dptr, Rn, AtRi, AtDptr, AtADptr, AtAPc,
  Direct, Bit, NotBit, Immediate, Immediate16, Relative, Addr11, Addr16, DataByte
};

// One row of the instruction set.
struct OpcodeInfo {
  std::string_view Name;                // mnemonic as written in the disassembly
  uint8_t Mnemonic;                     // keyword token ACALL..XRL, DB for the undefined opcode A5H
  uint8_t Length;                       // instruction bytes, 1..3
  uint8_t Format;                       // disassembler format code LF: L operand bytes, F operand form
  uint8_t Cycles;                       // machine cycles: 1, 2 or 4
  FlowKind Flow;
  std::array<OperandForm, 3> Operands;  // in source order
  std::array<uint8_t, 3> Field;         // code byte (1 or 2) holding each operand's value, 0 for none
};

namespace opcode_rows {
using Flow = FlowKind;
using Opd = OperandForm;
// clang-format off
inline constexpr std::array<OpcodeInfo, 256> kRows = {{
    {"NOP", tok::kNOP, 1, 0x01, 1, Flow::None, {Opd::None, Opd::None, Opd::None}, {0, 0, 0}},  // 00H
    {"AJMP", tok::kAJMP, 2, 0x11, 2, Flow::Jump, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 01H
    {"LJMP", tok::kLJMP, 3, 0x21, 2, Flow::Jump, {Opd::Addr16, Opd::None, Opd::None}, {1, 0, 0}},  // 02H
    {"RR", tok::kRR, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // 03H
    {"INC", tok::kINC, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // 04H
    {"INC", tok::kINC, 2, 0x12, 1, Flow::None, {Opd::Direct, Opd::None, Opd::None}, {1, 0, 0}},  // 05H
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::AtRi, Opd::None, Opd::None}, {0, 0, 0}},  // 06H
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::AtRi, Opd::None, Opd::None}, {0, 0, 0}},  // 07H
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 08H
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 09H
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 0AH
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 0BH
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 0CH
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 0DH
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 0EH
    {"INC", tok::kINC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 0FH
    {"JBC", tok::kJBC, 3, 0x22, 2, Flow::Conditional, {Opd::Bit, Opd::Relative, Opd::None}, {1, 2, 0}},  // 10H
    {"ACALL", tok::kACALL, 2, 0x11, 2, Flow::Call, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 11H
    {"LCALL", tok::kLCALL, 3, 0x21, 2, Flow::Call, {Opd::Addr16, Opd::None, Opd::None}, {1, 0, 0}},  // 12H
    {"RRC", tok::kRRC, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // 13H
    {"DEC", tok::kDEC, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // 14H
    {"DEC", tok::kDEC, 2, 0x12, 1, Flow::None, {Opd::Direct, Opd::None, Opd::None}, {1, 0, 0}},  // 15H
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::AtRi, Opd::None, Opd::None}, {0, 0, 0}},  // 16H
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::AtRi, Opd::None, Opd::None}, {0, 0, 0}},  // 17H
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 18H
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 19H
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 1AH
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 1BH
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 1CH
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 1DH
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 1EH
    {"DEC", tok::kDEC, 1, 0x03, 1, Flow::None, {Opd::Rn, Opd::None, Opd::None}, {0, 0, 0}},  // 1FH
    {"JB", tok::kJB, 3, 0x22, 2, Flow::Conditional, {Opd::Bit, Opd::Relative, Opd::None}, {1, 2, 0}},  // 20H
    {"AJMP", tok::kAJMP, 2, 0x11, 2, Flow::Jump, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 21H
    {"RET", tok::kRET, 1, 0x01, 2, Flow::Return, {Opd::None, Opd::None, Opd::None}, {0, 0, 0}},  // 22H
    {"RL", tok::kRL, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // 23H
    {"ADD", tok::kADD, 2, 0x13, 1, Flow::None, {Opd::A, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 24H
    {"ADD", tok::kADD, 2, 0x14, 1, Flow::None, {Opd::A, Opd::Direct, Opd::None}, {0, 1, 0}},  // 25H
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 26H
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 27H
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 28H
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 29H
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 2AH
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 2BH
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 2CH
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 2DH
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 2EH
    {"ADD", tok::kADD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 2FH
    {"JNB", tok::kJNB, 3, 0x22, 2, Flow::Conditional, {Opd::Bit, Opd::Relative, Opd::None}, {1, 2, 0}},  // 30H
    {"ACALL", tok::kACALL, 2, 0x11, 2, Flow::Call, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 31H
    {"RETI", tok::kRETI, 1, 0x01, 2, Flow::Return, {Opd::None, Opd::None, Opd::None}, {0, 0, 0}},  // 32H
    {"RLC", tok::kRLC, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // 33H
    {"ADDC", tok::kADDC, 2, 0x13, 1, Flow::None, {Opd::A, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 34H
    {"ADDC", tok::kADDC, 2, 0x14, 1, Flow::None, {Opd::A, Opd::Direct, Opd::None}, {0, 1, 0}},  // 35H
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 36H
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 37H
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 38H
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 39H
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 3AH
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 3BH
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 3CH
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 3DH
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 3EH
    {"ADDC", tok::kADDC, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 3FH
    {"JC", tok::kJC, 2, 0x15, 2, Flow::Conditional, {Opd::Relative, Opd::None, Opd::None}, {1, 0, 0}},  // 40H
    {"AJMP", tok::kAJMP, 2, 0x11, 2, Flow::Jump, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 41H
    {"ORL", tok::kORL, 2, 0x16, 1, Flow::None, {Opd::Direct, Opd::A, Opd::None}, {1, 0, 0}},  // 42H
    {"ORL", tok::kORL, 3, 0x23, 2, Flow::None, {Opd::Direct, Opd::Immediate, Opd::None}, {1, 2, 0}},  // 43H
    {"ORL", tok::kORL, 2, 0x13, 1, Flow::None, {Opd::A, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 44H
    {"ORL", tok::kORL, 2, 0x14, 1, Flow::None, {Opd::A, Opd::Direct, Opd::None}, {0, 1, 0}},  // 45H
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 46H
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 47H
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 48H
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 49H
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 4AH
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 4BH
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 4CH
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 4DH
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 4EH
    {"ORL", tok::kORL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 4FH
    {"JNC", tok::kJNC, 2, 0x15, 2, Flow::Conditional, {Opd::Relative, Opd::None, Opd::None}, {1, 0, 0}},  // 50H
    {"ACALL", tok::kACALL, 2, 0x11, 2, Flow::Call, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 51H
    {"ANL", tok::kANL, 2, 0x16, 1, Flow::None, {Opd::Direct, Opd::A, Opd::None}, {1, 0, 0}},  // 52H
    {"ANL", tok::kANL, 3, 0x23, 2, Flow::None, {Opd::Direct, Opd::Immediate, Opd::None}, {1, 2, 0}},  // 53H
    {"ANL", tok::kANL, 2, 0x13, 1, Flow::None, {Opd::A, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 54H
    {"ANL", tok::kANL, 2, 0x14, 1, Flow::None, {Opd::A, Opd::Direct, Opd::None}, {0, 1, 0}},  // 55H
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 56H
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 57H
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 58H
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 59H
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 5AH
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 5BH
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 5CH
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 5DH
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 5EH
    {"ANL", tok::kANL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 5FH
    {"JZ", tok::kJZ, 2, 0x15, 2, Flow::Conditional, {Opd::Relative, Opd::None, Opd::None}, {1, 0, 0}},  // 60H
    {"AJMP", tok::kAJMP, 2, 0x11, 2, Flow::Jump, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 61H
    {"XRL", tok::kXRL, 2, 0x16, 1, Flow::None, {Opd::Direct, Opd::A, Opd::None}, {1, 0, 0}},  // 62H
    {"XRL", tok::kXRL, 3, 0x23, 2, Flow::None, {Opd::Direct, Opd::Immediate, Opd::None}, {1, 2, 0}},  // 63H
    {"XRL", tok::kXRL, 2, 0x13, 1, Flow::None, {Opd::A, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 64H
    {"XRL", tok::kXRL, 2, 0x14, 1, Flow::None, {Opd::A, Opd::Direct, Opd::None}, {0, 1, 0}},  // 65H
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 66H
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 67H
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 68H
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 69H
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 6AH
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 6BH
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 6CH
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 6DH
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 6EH
    {"XRL", tok::kXRL, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 6FH
    {"JNZ", tok::kJNZ, 2, 0x15, 2, Flow::Conditional, {Opd::Relative, Opd::None, Opd::None}, {1, 0, 0}},  // 70H
    {"ACALL", tok::kACALL, 2, 0x11, 2, Flow::Call, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 71H
    {"ORL", tok::kORL, 2, 0x17, 2, Flow::None, {Opd::C, Opd::Bit, Opd::None}, {0, 1, 0}},  // 72H
    {"JMP", tok::kJMP, 1, 0x05, 2, Flow::Jump, {Opd::AtADptr, Opd::None, Opd::None}, {0, 0, 0}},  // 73H
    {"MOV", tok::kMOV, 2, 0x13, 1, Flow::None, {Opd::A, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 74H
    {"MOV", tok::kMOV, 3, 0x23, 2, Flow::None, {Opd::Direct, Opd::Immediate, Opd::None}, {1, 2, 0}},  // 75H
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::AtRi, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 76H
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::AtRi, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 77H
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::Rn, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 78H
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::Rn, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 79H
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::Rn, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 7AH
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::Rn, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 7BH
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::Rn, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 7CH
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::Rn, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 7DH
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::Rn, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 7EH
    {"MOV", tok::kMOV, 2, 0x18, 1, Flow::None, {Opd::Rn, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 7FH
    {"SJMP", tok::kSJMP, 2, 0x15, 2, Flow::Jump, {Opd::Relative, Opd::None, Opd::None}, {1, 0, 0}},  // 80H
    {"AJMP", tok::kAJMP, 2, 0x11, 2, Flow::Jump, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 81H
    {"ANL", tok::kANL, 2, 0x17, 2, Flow::None, {Opd::C, Opd::Bit, Opd::None}, {0, 1, 0}},  // 82H
    {"MOVC", tok::kMOVC, 1, 0x06, 2, Flow::None, {Opd::A, Opd::AtAPc, Opd::None}, {0, 0, 0}},  // 83H
    {"DIV", tok::kDIV, 1, 0x07, 4, Flow::None, {Opd::AB, Opd::None, Opd::None}, {0, 0, 0}},  // 84H
    {"MOV", tok::kMOV, 3, 0x24, 2, Flow::None, {Opd::Direct, Opd::Direct, Opd::None}, {2, 1, 0}},  // 85H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::AtRi, Opd::None}, {1, 0, 0}},  // 86H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::AtRi, Opd::None}, {1, 0, 0}},  // 87H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::Rn, Opd::None}, {1, 0, 0}},  // 88H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::Rn, Opd::None}, {1, 0, 0}},  // 89H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::Rn, Opd::None}, {1, 0, 0}},  // 8AH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::Rn, Opd::None}, {1, 0, 0}},  // 8BH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::Rn, Opd::None}, {1, 0, 0}},  // 8CH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::Rn, Opd::None}, {1, 0, 0}},  // 8DH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::Rn, Opd::None}, {1, 0, 0}},  // 8EH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Direct, Opd::Rn, Opd::None}, {1, 0, 0}},  // 8FH
    {"MOV", tok::kMOV, 3, 0x25, 2, Flow::None, {Opd::Dptr, Opd::Immediate16, Opd::None}, {0, 1, 0}},  // 90H
    {"ACALL", tok::kACALL, 2, 0x11, 2, Flow::Call, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // 91H
    {"MOV", tok::kMOV, 2, 0x19, 2, Flow::None, {Opd::Bit, Opd::C, Opd::None}, {1, 0, 0}},  // 92H
    {"MOVC", tok::kMOVC, 1, 0x08, 2, Flow::None, {Opd::A, Opd::AtADptr, Opd::None}, {0, 0, 0}},  // 93H
    {"SUBB", tok::kSUBB, 2, 0x13, 1, Flow::None, {Opd::A, Opd::Immediate, Opd::None}, {0, 1, 0}},  // 94H
    {"SUBB", tok::kSUBB, 2, 0x14, 1, Flow::None, {Opd::A, Opd::Direct, Opd::None}, {0, 1, 0}},  // 95H
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 96H
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // 97H
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 98H
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 99H
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 9AH
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 9BH
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 9CH
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 9DH
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 9EH
    {"SUBB", tok::kSUBB, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // 9FH
    {"ORL", tok::kORL, 2, 0x1A, 2, Flow::None, {Opd::C, Opd::NotBit, Opd::None}, {0, 1, 0}},  // A0H
    {"AJMP", tok::kAJMP, 2, 0x11, 2, Flow::Jump, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // A1H
    {"MOV", tok::kMOV, 2, 0x17, 1, Flow::None, {Opd::C, Opd::Bit, Opd::None}, {0, 1, 0}},  // A2H
    {"INC", tok::kINC, 1, 0x09, 2, Flow::None, {Opd::Dptr, Opd::None, Opd::None}, {0, 0, 0}},  // A3H
    {"MUL", tok::kMUL, 1, 0x07, 4, Flow::None, {Opd::AB, Opd::None, Opd::None}, {0, 0, 0}},  // A4H
    {"DB", tok::kDB, 1, 0x0A, 1, Flow::None, {Opd::DataByte, Opd::None, Opd::None}, {0, 0, 0}},  // A5H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::AtRi, Opd::Direct, Opd::None}, {0, 1, 0}},  // A6H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::AtRi, Opd::Direct, Opd::None}, {0, 1, 0}},  // A7H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Rn, Opd::Direct, Opd::None}, {0, 1, 0}},  // A8H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Rn, Opd::Direct, Opd::None}, {0, 1, 0}},  // A9H
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Rn, Opd::Direct, Opd::None}, {0, 1, 0}},  // AAH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Rn, Opd::Direct, Opd::None}, {0, 1, 0}},  // ABH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Rn, Opd::Direct, Opd::None}, {0, 1, 0}},  // ACH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Rn, Opd::Direct, Opd::None}, {0, 1, 0}},  // ADH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Rn, Opd::Direct, Opd::None}, {0, 1, 0}},  // AEH
    {"MOV", tok::kMOV, 2, 0x18, 2, Flow::None, {Opd::Rn, Opd::Direct, Opd::None}, {0, 1, 0}},  // AFH
    {"ANL", tok::kANL, 2, 0x1A, 2, Flow::None, {Opd::C, Opd::NotBit, Opd::None}, {0, 1, 0}},  // B0H
    {"ACALL", tok::kACALL, 2, 0x11, 2, Flow::Call, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // B1H
    {"CPL", tok::kCPL, 2, 0x1B, 1, Flow::None, {Opd::Bit, Opd::None, Opd::None}, {1, 0, 0}},  // B2H
    {"CPL", tok::kCPL, 1, 0x0B, 1, Flow::None, {Opd::C, Opd::None, Opd::None}, {0, 0, 0}},  // B3H
    {"CJNE", tok::kCJNE, 3, 0x26, 2, Flow::Conditional, {Opd::A, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // B4H
    {"CJNE", tok::kCJNE, 3, 0x27, 2, Flow::Conditional, {Opd::A, Opd::Direct, Opd::Relative}, {0, 1, 2}},  // B5H
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::AtRi, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // B6H
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::AtRi, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // B7H
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::Rn, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // B8H
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::Rn, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // B9H
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::Rn, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // BAH
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::Rn, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // BBH
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::Rn, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // BCH
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::Rn, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // BDH
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::Rn, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // BEH
    {"CJNE", tok::kCJNE, 3, 0x28, 2, Flow::Conditional, {Opd::Rn, Opd::Immediate, Opd::Relative}, {0, 1, 2}},  // BFH
    {"PUSH", tok::kPUSH, 2, 0x12, 2, Flow::None, {Opd::Direct, Opd::None, Opd::None}, {1, 0, 0}},  // C0H
    {"AJMP", tok::kAJMP, 2, 0x11, 2, Flow::Jump, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // C1H
    {"CLR", tok::kCLR, 2, 0x1B, 1, Flow::None, {Opd::Bit, Opd::None, Opd::None}, {1, 0, 0}},  // C2H
    {"CLR", tok::kCLR, 1, 0x0B, 1, Flow::None, {Opd::C, Opd::None, Opd::None}, {0, 0, 0}},  // C3H
    {"SWAP", tok::kSWAP, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // C4H
    {"XCH", tok::kXCH, 2, 0x14, 1, Flow::None, {Opd::A, Opd::Direct, Opd::None}, {0, 1, 0}},  // C5H
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // C6H
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // C7H
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // C8H
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // C9H
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // CAH
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // CBH
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // CCH
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // CDH
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // CEH
    {"XCH", tok::kXCH, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // CFH
    {"POP", tok::kPOP, 2, 0x12, 2, Flow::None, {Opd::Direct, Opd::None, Opd::None}, {1, 0, 0}},  // D0H
    {"ACALL", tok::kACALL, 2, 0x11, 2, Flow::Call, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // D1H
    {"SETB", tok::kSETB, 2, 0x1B, 1, Flow::None, {Opd::Bit, Opd::None, Opd::None}, {1, 0, 0}},  // D2H
    {"SETB", tok::kSETB, 1, 0x0B, 1, Flow::None, {Opd::C, Opd::None, Opd::None}, {0, 0, 0}},  // D3H
    {"DA", tok::kDA, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // D4H
    {"DJNZ", tok::kDJNZ, 3, 0x29, 2, Flow::Conditional, {Opd::Direct, Opd::Relative, Opd::None}, {1, 2, 0}},  // D5H
    {"XCHD", tok::kXCHD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // D6H
    {"XCHD", tok::kXCHD, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // D7H
    {"DJNZ", tok::kDJNZ, 2, 0x1C, 2, Flow::Conditional, {Opd::Rn, Opd::Relative, Opd::None}, {0, 1, 0}},  // D8H
    {"DJNZ", tok::kDJNZ, 2, 0x1C, 2, Flow::Conditional, {Opd::Rn, Opd::Relative, Opd::None}, {0, 1, 0}},  // D9H
    {"DJNZ", tok::kDJNZ, 2, 0x1C, 2, Flow::Conditional, {Opd::Rn, Opd::Relative, Opd::None}, {0, 1, 0}},  // DAH
    {"DJNZ", tok::kDJNZ, 2, 0x1C, 2, Flow::Conditional, {Opd::Rn, Opd::Relative, Opd::None}, {0, 1, 0}},  // DBH
    {"DJNZ", tok::kDJNZ, 2, 0x1C, 2, Flow::Conditional, {Opd::Rn, Opd::Relative, Opd::None}, {0, 1, 0}},  // DCH
    {"DJNZ", tok::kDJNZ, 2, 0x1C, 2, Flow::Conditional, {Opd::Rn, Opd::Relative, Opd::None}, {0, 1, 0}},  // DDH
    {"DJNZ", tok::kDJNZ, 2, 0x1C, 2, Flow::Conditional, {Opd::Rn, Opd::Relative, Opd::None}, {0, 1, 0}},  // DEH
    {"DJNZ", tok::kDJNZ, 2, 0x1C, 2, Flow::Conditional, {Opd::Rn, Opd::Relative, Opd::None}, {0, 1, 0}},  // DFH
    {"MOVX", tok::kMOVX, 1, 0x0C, 2, Flow::None, {Opd::A, Opd::AtDptr, Opd::None}, {0, 0, 0}},  // E0H
    {"AJMP", tok::kAJMP, 2, 0x11, 2, Flow::Jump, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // E1H
    {"MOVX", tok::kMOVX, 1, 0x0C, 2, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // E2H
    {"MOVX", tok::kMOVX, 1, 0x0C, 2, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // E3H
    {"CLR", tok::kCLR, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // E4H
    {"MOV", tok::kMOV, 2, 0x14, 1, Flow::None, {Opd::A, Opd::Direct, Opd::None}, {0, 1, 0}},  // E5H
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // E6H
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::AtRi, Opd::None}, {0, 0, 0}},  // E7H
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // E8H
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // E9H
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // EAH
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // EBH
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // ECH
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // EDH
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // EEH
    {"MOV", tok::kMOV, 1, 0x04, 1, Flow::None, {Opd::A, Opd::Rn, Opd::None}, {0, 0, 0}},  // EFH
    {"MOVX", tok::kMOVX, 1, 0x0D, 2, Flow::None, {Opd::AtDptr, Opd::A, Opd::None}, {0, 0, 0}},  // F0H
    {"ACALL", tok::kACALL, 2, 0x11, 2, Flow::Call, {Opd::Addr11, Opd::None, Opd::None}, {1, 0, 0}},  // F1H
    {"MOVX", tok::kMOVX, 1, 0x0D, 2, Flow::None, {Opd::AtRi, Opd::A, Opd::None}, {0, 0, 0}},  // F2H
    {"MOVX", tok::kMOVX, 1, 0x0D, 2, Flow::None, {Opd::AtRi, Opd::A, Opd::None}, {0, 0, 0}},  // F3H
    {"CPL", tok::kCPL, 1, 0x02, 1, Flow::None, {Opd::A, Opd::None, Opd::None}, {0, 0, 0}},  // F4H
    {"MOV", tok::kMOV, 2, 0x16, 1, Flow::None, {Opd::Direct, Opd::A, Opd::None}, {1, 0, 0}},  // F5H
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::AtRi, Opd::A, Opd::None}, {0, 0, 0}},  // F6H
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::AtRi, Opd::A, Opd::None}, {0, 0, 0}},  // F7H
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::Rn, Opd::A, Opd::None}, {0, 0, 0}},  // F8H
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::Rn, Opd::A, Opd::None}, {0, 0, 0}},  // F9H
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::Rn, Opd::A, Opd::None}, {0, 0, 0}},  // FAH
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::Rn, Opd::A, Opd::None}, {0, 0, 0}},  // FBH
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::Rn, Opd::A, Opd::None}, {0, 0, 0}},  // FCH
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::Rn, Opd::A, Opd::None}, {0, 0, 0}},  // FDH
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::Rn, Opd::A, Opd::None}, {0, 0, 0}},  // FEH
    {"MOV", tok::kMOV, 1, 0x0E, 1, Flow::None, {Opd::Rn, Opd::A, Opd::None}, {0, 0, 0}},  // FFH
}};
// clang-format on
}  // namespace opcode_rows

// The table and its lookup
inline constexpr const std::array<OpcodeInfo, 256>& kOpcodeTable = opcode_rows::kRows;
constexpr const OpcodeInfo& Opcode(uint8_t opcode) { return kOpcodeTable[opcode]; }

// The start that the code at the reset address names: the target of an LJMP
// standing there, nothing otherwise. Code: the bytes from the reset address on.
// The HEX and object readers and the loader all decide the start by it.
constexpr std::optional<uint16_t> StartNamedAtReset(std::span<const uint8_t> code) {
  if (code.size() < 3 || Opcode(code[0]).Mnemonic != tok::kLJMP) return std::nullopt;
  return static_cast<uint16_t>(code[1] << 8 | code[2]);
}

// The opcode that MCS-51 leaves undefined; shown as a data byte and planted as the break opcode.
inline constexpr uint8_t kBreakOpcode = 0xA5;

}  // namespace dorvik
