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

TEST(OpcodeTable, LengthsAndCyclesMatchTheInstructionSet) {
  int lengths[4] = {};
  int cycles[5] = {};
  for (const OpcodeInfo& row : kOpcodeTable) {
    ++lengths[row.Length];
    ++cycles[row.Cycles];
  }
  // 3 bytes: LJMP LCALL JBC JB JNB ORL/ANL/XRL dir,# MOV dir,# dir,dir DPTR CJNE*12 DJNZ dir
  EXPECT_EQ(lengths[3], 24);
  EXPECT_EQ(lengths[2], 91);
  EXPECT_EQ(lengths[1], 141);
  EXPECT_EQ(cycles[4], 2);  // MUL, DIV
  EXPECT_EQ(cycles[2], 92);
  EXPECT_EQ(Opcode(0xA2).Cycles, 1);  // MOV C,bit
  EXPECT_EQ(Opcode(0xA3).Cycles, 2);  // INC DPTR
  EXPECT_EQ(Opcode(0xE4).Cycles, 1);  // CLR A
}

TEST(OpcodeTable, FlowKinds) {
  const std::pair<uint8_t, FlowKind> cases[] = {
      {0x11, FlowKind::Call},        {0x12, FlowKind::Call},        {0x01, FlowKind::Jump},
      {0x02, FlowKind::Jump},        {0x80, FlowKind::Jump},        {0x73, FlowKind::Jump},
      {0x22, FlowKind::Return},      {0x32, FlowKind::Return},      {0x10, FlowKind::Conditional},
      {0xB4, FlowKind::Conditional}, {0xD8, FlowKind::Conditional}, {0x70, FlowKind::Conditional},
      {0x00, FlowKind::None},        {0x83, FlowKind::None},        {0xA5, FlowKind::None},
  };
  for (const auto& [opcode, flow] : cases) EXPECT_EQ(Opcode(opcode).Flow, flow) << int(opcode);
}

}  // namespace
}  // namespace dorvik
