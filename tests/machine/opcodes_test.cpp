#include "machine/opcodes.h"

#include <gtest/gtest.h>

#include <set>

#include "lang/keywords.h"

namespace dorvik {
namespace {

TEST(OpcodeTable, MnemonicsAgreeWithTheKeywordTable) {
  std::set<uint8_t> tokens;
  for (int op = 0; op < 256; ++op) {
    const OpcodeInfo& row = Opcode(static_cast<uint8_t>(op));
    tokens.insert(row.Mnemonic);
    EXPECT_EQ(LastKeywordName(row.Mnemonic), row.Name) << op;
  }
  for (uint8_t t = tok::kACALL; t <= tok::kXRL; ++t) EXPECT_TRUE(tokens.count(t)) << int(t);
  EXPECT_EQ(tokens.size(), 45u);  // the 44 mnemonics and DB
  // The undefined opcode is a data byte.
  const OpcodeInfo& row = Opcode(kBreakOpcode);
  EXPECT_EQ(row.Mnemonic, tok::kDB);
  EXPECT_EQ(row.Length, 1);
  EXPECT_EQ(row.Operands[0], OperandForm::DataByte);
}

}  // namespace
}  // namespace dorvik
