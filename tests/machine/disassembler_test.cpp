#include "machine/disassembler.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "machine/opcodes.h"
#include "tests/support/lang_fixture.h"

namespace dorvik {
namespace {

using testing::Blanks;

uint32_t Pack(uint8_t op, uint8_t b1 = 0, uint8_t b2 = 0) { return op | (b1 << 8) | (b2 << 16); }

// Each line of the data file holds its own input and the expected text.
TEST(Disassemble, GivesTheFixedColumnText) {
  std::ifstream in(std::string(DORVIK_SOURCE_DIR) + "/tests/machine/data/disassembly.txt");
  int count = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    ++count;
    const uint32_t address = std::stoul(line.substr(0, 4), nullptr, 16);
    uint32_t bytes = 0;
    for (size_t i = 5, shift = 0; line[i] != '_'; i += 2, shift += 8)
      bytes |= std::stoul(line.substr(i, 2), nullptr, 16) << shift;
    EXPECT_EQ(Disassemble(address, bytes), Blanks(line));
  }
  EXPECT_GT(count, 40);
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
