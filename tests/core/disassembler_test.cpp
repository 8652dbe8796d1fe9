#include "core/disassembler.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "core/opcodes.h"

namespace dorvik {
namespace {

// Lines of the examples written with "_" for each blank.
std::string Blanks(std::string s) {
  for (char& c : s)
    if (c == '_') c = ' ';
  return s;
}

uint32_t Pack(uint8_t op, uint8_t b1 = 0, uint8_t b2 = 0) {
  return op | (b1 << 8) | (b2 << 16);
}

struct LineCase {
  uint32_t address;
  uint32_t bytes;
  const char* expected;  // whole line, "_" for blank
};

class DisassembleLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(DisassembleLines, GivesTheFixedColumnText) {
  const LineCase& c = GetParam();
  EXPECT_EQ(Disassemble(c.address, c.bytes), Blanks(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, DisassembleLines,
    ::testing::Values(LineCase{0x0000, Pack(0x00), "0000=00______NOP___"},
                      LineCase{0x0100, Pack(0xA5), "0100=A5______DB____0A5"},
                      LineCase{0x0100, Pack(0x80, 0xFE), "0100=80FE____SJMP__00100"},
                      LineCase{0xFFFF, Pack(0xD8, 0x00), "FFFF=D800____DJNZ__R0,00001"},
                      LineCase{0xFFFF, Pack(0xD8, 0xFE), "FFFF=D8FE____DJNZ__R0,0FFFF"},
                      LineCase{0x0000, Pack(0x85, 0x20, 0x30), "0000=852030__MOV___030,020"},
                      LineCase{0x0000, Pack(0x90, 0x12, 0x34), "0000=901234__MOV___DPTR,#01234"},
                      LineCase{0x0000, Pack(0x02, 0x12, 0x34), "0000=021234__LJMP__01234"},
                      LineCase{0x07FE, Pack(0x01, 0x05), "07FE=0105____AJMP__00805"},
                      LineCase{0x0000, Pack(0xE2), "0000=E2______MOVX__A,@R0"},
                      LineCase{0x0000, Pack(0xF0), "0000=F0______MOVX__@DPTR,A"},
                      LineCase{0x0200, Pack(0xB6, 0x12, 0xFD), "0200=B612FD__CJNE__@R0,#012,00200"},
                      LineCase{0x0100, Pack(0x75, 0x81, 0x2F), "0100=75812F__MOV___081,#02F"}));

INSTANTIATE_TEST_SUITE_P(OperandForms, DisassembleLines,
                         ::testing::Values(
                             // relative targets wrap at both ends of the address space
                             LineCase{0x0000, Pack(0x80, 0x80), "0000=8080____SJMP__0FF82"},
                             LineCase{0xFFF0, Pack(0x60, 0x7F), "FFF0=607F____JZ____00071"},
                             LineCase{0xFFFE, Pack(0x20, 0xE7, 0x01), "FFFE=20E701__JB____0E7,00002"},
                             LineCase{0x0001, Pack(0xD5, 0x30, 0xFA), "0001=D530FA__DJNZ__030,0FFFE"},
                             // AJMP/ACALL: page bits from the opcode, block of the next instruction
                             LineCase{0x1234, Pack(0xE1, 0x56), "1234=E156____AJMP__01756"},
                             LineCase{0xFFFE, Pack(0xF1, 0x00), "FFFE=F100____ACALL_00700"},
                             LineCase{0x0000, Pack(0x12, 0xAB, 0xCD), "0000=12ABCD__LCALL_0ABCD"},
                             // register, indirect and fixed forms
                             LineCase{0x0000, Pack(0x06), "0000=06______INC___@R0"},
                             LineCase{0x0000, Pack(0x1F), "0000=1F______DEC___R7"},
                             LineCase{0x0000, Pack(0x27), "0000=27______ADD___A,@R1"},
                             LineCase{0x0000, Pack(0x73), "0000=73______JMP___@A+DPTR"},
                             LineCase{0x0000, Pack(0x83), "0000=83______MOVC__A,@A+PC"},
                             LineCase{0x0000, Pack(0x93), "0000=93______MOVC__A,@A+DPTR"},
                             LineCase{0x0000, Pack(0x84), "0000=84______DIV___AB"},
                             LineCase{0x0000, Pack(0xA3), "0000=A3______INC___DPTR"},
                             LineCase{0x0000, Pack(0xC3), "0000=C3______CLR___C"},
                             LineCase{0x0000, Pack(0xE3), "0000=E3______MOVX__A,@R1"},
                             LineCase{0x0000, Pack(0xF2), "0000=F2______MOVX__@R0,A"},
                             LineCase{0x0000, Pack(0xFD), "0000=FD______MOV___R5,A"},
                             // direct, immediate and bit forms
                             LineCase{0x0000, Pack(0x05, 0x05), "0000=0505____INC___005"},
                             LineCase{0x0000, Pack(0x24, 0xFF), "0000=24FF____ADD___A,#0FF"},
                             LineCase{0x0000, Pack(0x42, 0xA0), "0000=42A0____ORL___0A0,A"},
                             LineCase{0x0000, Pack(0x43, 0x90, 0x0F), "0000=43900F__ORL___090,#00F"},
                             LineCase{0x0000, Pack(0x72, 0x07), "0000=7207____ORL___C,007"},
                             LineCase{0x0000, Pack(0xB0, 0xE7), "0000=B0E7____ANL___C,/0E7"},
                             LineCase{0x0000, Pack(0x92, 0x90), "0000=9290____MOV___090,C"},
                             LineCase{0x0000, Pack(0xD2, 0xAF), "0000=D2AF____SETB__0AF"},
                             LineCase{0x0000, Pack(0x78, 0x10), "0000=7810____MOV___R0,#010"},
                             LineCase{0x0000, Pack(0x77, 0x10), "0000=7710____MOV___@R1,#010"},
                             LineCase{0x0000, Pack(0x8A, 0x30), "0000=8A30____MOV___030,R2"},
                             LineCase{0x0000, Pack(0xA6, 0x30), "0000=A630____MOV___@R0,030"},
                             LineCase{0x0000, Pack(0xB5, 0x30, 0x00), "0000=B53000__CJNE__A,030,00003"},
                             LineCase{0x0000, Pack(0xBF, 0x01, 0x10), "0000=BF0110__CJNE__R7,#001,00013"}));

// Every opcode: the columns hold the address, the bytes of the instruction's length, the mnemonic in
// columns 14-19, and an operand text from column 20 exactly when the instruction has operands.
TEST(Disassemble, EveryOpcodeKeepsTheColumns) {
  for (int op = 0; op < 256; ++op) {
    SCOPED_TRACE(op);
    const OpcodeInfo& row = Opcode(static_cast<uint8_t>(op));
    const std::string text = Disassemble(0xABCD, Pack(static_cast<uint8_t>(op), 0x5A, 0xC3));
    ASSERT_GE(text.size(), 19u);
    EXPECT_EQ(text.substr(0, 5), "ABCD=");
    const std::string bytes = text.substr(5, 6);
    const std::string all =
        std::string(1, "0123456789ABCDEF"[op >> 4]) + "0123456789ABCDEF"[op & 15] + "5AC3";
    EXPECT_EQ(bytes, all.substr(0, row.Length * 2) + std::string(6 - row.Length * 2, ' '));
    EXPECT_EQ(text.substr(11, 2), "  ");
    std::string mnemonic = text.substr(13, 6);
    EXPECT_EQ(mnemonic.substr(0, row.Name.size()), row.Name);
    EXPECT_EQ(mnemonic.find_first_not_of(' ', row.Name.size()), std::string::npos);
    const bool hasOperands = row.Format != 0x01;
    EXPECT_EQ(text.size() > 19, hasOperands);
    if (hasOperands) {
      EXPECT_NE(text[19], ' ');
    }
  }
}

TEST(Disassemble, IgnoresBytesPastTheInstructionAndHighAddressBits) {
  EXPECT_EQ(Disassemble(0x10100, Pack(0x04, 0x12, 0x34)), Disassemble(0x0100, Pack(0x04)));
  EXPECT_EQ(Disassemble(0x0100, Pack(0x74, 0x12, 0x34)), Blanks("0100=7412____MOV___A,#012"));
}

TEST(Disassemble, ReusesTheCallersText) {
  std::string text = "left over from an earlier, much longer line of text";
  Disassemble(0, text, Pack(0x00));
  EXPECT_EQ(text, Blanks("0000=00______NOP___"));
}

}  // namespace
}  // namespace dorvik
