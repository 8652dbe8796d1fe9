#include "core/opcodes.h"

#include <gtest/gtest.h>

#include <set>

#include "core/keywords.h"

namespace dorvik {
namespace {

TEST(OpcodeTable, EveryMnemonicKeywordHasAnOpcode) {
  std::set<uint8_t> tokens;
  for (const OpcodeInfo& row : kOpcodeTable) tokens.insert(row.Mnemonic);
  for (uint8_t t = tok::kACALL; t <= tok::kXRL; ++t) EXPECT_TRUE(tokens.count(t)) << int(t);
  EXPECT_EQ(tokens.size(), 45u);  // the 44 mnemonics and DB
}

TEST(OpcodeTable, NamesAgreeWithTheKeywordTable) {
  for (int op = 0; op < 256; ++op) {
    const OpcodeInfo& row = Opcode(static_cast<uint8_t>(op));
    EXPECT_EQ(LastKeywordName(row.Mnemonic), row.Name) << op;
  }
}

TEST(OpcodeTable, UndefinedOpcodeIsADataByte) {
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
  EXPECT_EQ(lengths[3],
            24);  // LJMP LCALL JBC JB JNB ORL/ANL/XRL dir,# MOV dir,# dir,dir DPTR CJNE*12 DJNZ dir
  EXPECT_EQ(lengths[2], 91);
  EXPECT_EQ(lengths[1], 141);
  EXPECT_EQ(cycles[4], 2);  // MUL, DIV
  EXPECT_EQ(cycles[2], 92);
  EXPECT_EQ(Opcode(0xA2).Cycles, 1);  // MOV C,bit
  EXPECT_EQ(Opcode(0xA3).Cycles, 2);  // INC DPTR
  EXPECT_EQ(Opcode(0xE4).Cycles, 1);  // CLR A
}

TEST(OpcodeTable, RegisterFormsFollowTheOpcodeBits) {
  for (int op = 0; op < 256; ++op) {
    for (OperandForm f : Opcode(static_cast<uint8_t>(op)).Operands) {
      if (f == OperandForm::Rn) {
        EXPECT_TRUE(op & 8) << op;
      }
      if (f == OperandForm::AtRi) {
        EXPECT_TRUE((op & 0x0E) == 0x06 || (op & 0xE2) == 0xE2) << op;
      }
    }
  }
}

struct FlowCase {
  uint8_t opcode;
  FlowKind flow;
};

TEST(OpcodeTable, FlowKinds) {
  const FlowCase cases[] = {
      {0x11, FlowKind::Call},        {0x12, FlowKind::Call},        {0x01, FlowKind::Jump},
      {0x02, FlowKind::Jump},        {0x80, FlowKind::Jump},        {0x73, FlowKind::Jump},
      {0x22, FlowKind::Return},      {0x32, FlowKind::Return},      {0x10, FlowKind::Conditional},
      {0xB4, FlowKind::Conditional}, {0xD8, FlowKind::Conditional}, {0x70, FlowKind::Conditional},
      {0x00, FlowKind::None},        {0x83, FlowKind::None},        {0xA5, FlowKind::None},
  };
  for (const FlowCase& c : cases) EXPECT_EQ(Opcode(c.opcode).Flow, c.flow) << int(c.opcode);
}

TEST(OpcodeTable, FieldsLocateTheOperandBytes) {
  // MOV dir,dir keeps the source in the first operand byte and the destination in the second.
  EXPECT_EQ(Opcode(0x85).Field[0], 2);
  EXPECT_EQ(Opcode(0x85).Field[1], 1);
  // CJNE A,#data,rel: immediate first, displacement second.
  EXPECT_EQ(Opcode(0xB4).Field[1], 1);
  EXPECT_EQ(Opcode(0xB4).Field[2], 2);
  // ORL dir,#data
  EXPECT_EQ(Opcode(0x43).Field[0], 1);
  EXPECT_EQ(Opcode(0x43).Field[1], 2);
  // DJNZ Rn,rel uses its only operand byte.
  EXPECT_EQ(Opcode(0xD8).Operands[1], OperandForm::Relative);
  EXPECT_EQ(Opcode(0xD8).Field[1], 1);
}

}  // namespace
}  // namespace dorvik
