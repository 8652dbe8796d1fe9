#include "machine/disassembler.h"

#include <gtest/gtest.h>

#include <string>

#include "machine/opcodes.h"
#include "tests/support/lang_fixture.h"

namespace dorvik {
namespace {

using testing::Blanks;

uint32_t Pack(uint8_t op, uint8_t b1 = 0, uint8_t b2 = 0) { return op | (b1 << 8) | (b2 << 16); }

// Each line holds its own input: the address in columns 1-4, the bytes from column 6.
TEST(Disassemble, GivesTheFixedColumnText) {
  const char* lines[] = {
      "0000=00______NOP___", "0100=A5______DB____0A5", "0100=80FE____SJMP__00100",
      "FFFF=D800____DJNZ__R0,00001", "FFFF=D8FE____DJNZ__R0,0FFFF", "0000=852030__MOV___030,020",
      "0000=901234__MOV___DPTR,#01234", "0000=021234__LJMP__01234", "07FE=0105____AJMP__00805",
      "0000=E2______MOVX__A,@R0", "0000=F0______MOVX__@DPTR,A", "0200=B612FD__CJNE__@R0,#012,00200",
      "0100=75812F__MOV___081,#02F",
      // relative targets wrap at both ends of the address space
      "0000=8080____SJMP__0FF82", "FFF0=607F____JZ____00071", "FFFE=20E701__JB____0E7,00002",
      "0001=D530FA__DJNZ__030,0FFFE",
      // AJMP/ACALL: page bits from the opcode, block of the next instruction
      "1234=E156____AJMP__01756", "FFFE=F100____ACALL_00700", "0000=12ABCD__LCALL_0ABCD",
      // register, indirect and fixed forms
      "0000=06______INC___@R0", "0000=1F______DEC___R7", "0000=27______ADD___A,@R1",
      "0000=73______JMP___@A+DPTR", "0000=83______MOVC__A,@A+PC", "0000=93______MOVC__A,@A+DPTR",
      "0000=84______DIV___AB", "0000=A3______INC___DPTR", "0000=C3______CLR___C",
      "0000=E3______MOVX__A,@R1", "0000=F2______MOVX__@R0,A", "0000=FD______MOV___R5,A",
      // direct, immediate and bit forms
      "0000=0505____INC___005", "0000=24FF____ADD___A,#0FF", "0000=42A0____ORL___0A0,A",
      "0000=43900F__ORL___090,#00F", "0000=7207____ORL___C,007", "0000=B0E7____ANL___C,/0E7",
      "0000=9290____MOV___090,C", "0000=D2AF____SETB__0AF", "0000=7810____MOV___R0,#010",
      "0000=7710____MOV___@R1,#010", "0000=8A30____MOV___030,R2", "0000=A630____MOV___@R0,030",
      "0000=B53000__CJNE__A,030,00003", "0000=BF0110__CJNE__R7,#001,00013",
  };
  for (const std::string line : lines) {
    const uint32_t address = std::stoul(line.substr(0, 4), nullptr, 16);
    uint32_t bytes = 0;
    for (size_t i = 5, shift = 0; line[i] != '_'; i += 2, shift += 8)
      bytes |= std::stoul(line.substr(i, 2), nullptr, 16) << shift;
    EXPECT_EQ(Disassemble(address, bytes), Blanks(line));
  }
}

// Every opcode: the columns hold the address, the bytes of the instruction's length, the mnemonic in
// columns 14-19, and an operand text from column 20 exactly when the instruction has operands.
TEST(Disassemble, EveryOpcodeKeepsTheColumns) {
  for (int op = 0; op < 256; ++op) {
    SCOPED_TRACE(op);
    const OpcodeInfo& row = Opcode(static_cast<uint8_t>(op));
    const std::string text = Disassemble(0xABCD, Pack(static_cast<uint8_t>(op), 0x5A, 0xC3));
    ASSERT_GE(text.size(), 19u);
    EXPECT_EQ(text.substr(0, 5), "ABCD=");
    const std::string all =
        std::string(1, "0123456789ABCDEF"[op >> 4]) + "0123456789ABCDEF"[op & 15] + "5AC3";
    EXPECT_EQ(text.substr(5, 8), all.substr(0, row.Length * 2) + std::string(8 - row.Length * 2, ' '));
    const std::string mnemonic = text.substr(13, 6);
    EXPECT_EQ(mnemonic.substr(0, row.Name.size()), row.Name);
    EXPECT_EQ(mnemonic.find_first_not_of(' ', row.Name.size()), std::string::npos);
    const bool hasOperands = row.Format != 0x01;
    EXPECT_EQ(text.size() > 19, hasOperands);
    EXPECT_TRUE(!hasOperands || text[19] != ' ');
  }
}

TEST(Disassemble, IgnoresBytesPastTheInstructionHighAddressBitsAndOldText) {
  EXPECT_EQ(Disassemble(0x10100, Pack(0x04, 0x12, 0x34)), Disassemble(0x0100, Pack(0x04)));
  EXPECT_EQ(Disassemble(0x0100, Pack(0x74, 0x12, 0x34)), Blanks("0100=7412____MOV___A,#012"));
  std::string text = "left over from an earlier, much longer line of text";
  Disassemble(0, text, Pack(0x00));
  EXPECT_EQ(text, Blanks("0000=00______NOP___"));
}

}  // namespace
}  // namespace dorvik
