#include "access/lineparser.h"

#include <gtest/gtest.h>

#include <string>

#include "machine/disassembler.h"
#include "tests/support/lang_fixture.h"
#include "base/session.h"

namespace dorvik {
namespace {

using testing::Blanks;

// Operand I (0..2) of a parsed instruction.
struct ParsedOperand {
  bool Has;
  uint8_t Token;
  uint16_t Value;
  char Prefix;
  uint8_t Kind;  // in ExpectedOperand: 0 where any kind will do
};
inline ParsedOperand OperandOf(const ParsedInstruction& p, int i) {
  const size_t k = static_cast<size_t>(i);
  return {p.ParsedHasOp[k], p.ParsedOperand[k], p.ParsedValue[k], p.ParsedPrefix[k], p.ParsedKind[k]};
}

// What the line parser gives for an operand of form F in opcode OP, its value aside.
inline ParsedOperand ExpectedOperand(OperandForm f, int op) {
  constexpr uint8_t kNum = tok::kNumberValue;
  switch (f) {
    case OperandForm::None: return {false, 0, 0, 0, 0};
    case OperandForm::A: return {true, tok::kA, 0, 0, 0};
    case OperandForm::AB: return {true, tok::kAB, 0, 0, 0};
    case OperandForm::C: return {true, tok::kC, 0, 0, 0};
    case OperandForm::Dptr: return {true, tok::kDPTR, 0, 0, 0};
    case OperandForm::AtDptr: return {true, tok::kDPTR, 0, '@', 0};
    case OperandForm::Rn: return {true, static_cast<uint8_t>(tok::kR0 + (op & 7)), 0, 0, 0};
    case OperandForm::AtRi: return {true, static_cast<uint8_t>(tok::kR0 + (op & 1)), 0, '@', 0};
    case OperandForm::Direct: return {true, kNum, 0, 0, kKindData};
    case OperandForm::Bit: return {true, kNum, 0, 0, kKindBit};
    case OperandForm::NotBit: return {true, kNum, 0, '/', kKindBit};
    case OperandForm::Immediate:
    case OperandForm::Immediate16: return {true, kNum, 0, '#', 0};
    case OperandForm::Addr11:
    case OperandForm::Addr16:
    case OperandForm::Relative: return {true, kNum, 0, 0, kKindCode};
    default: return {true, kNum, 0, 0, kKindNumber};  // a data byte
  }
}
// JMP @A+DPTR and MOVC A,@A+PC / A,@A+DPTR parse as one fixed text.
inline bool IsFixedForm(const OpcodeInfo& row) {
  return row.Operands[0] == OperandForm::AtADptr || row.Operands[1] == OperandForm::AtADptr ||
         row.Operands[1] == OperandForm::AtAPc;
}

class LineParser : public testing::LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    AddSymbol("INIT", kClassCode | kClassPublic, 0x200);
    AddSymbol("COUNT", kClassData | kClassPublic, 0x30);
    AddSymbol("FLAG", kClassBit | kClassPublic, 0x05);
  }

  // A disassembler line read back as the disassembly does: past the address and bytes, then the mnemonic.
  const ParsedInstruction& ParseDisassembly(const std::string& text) {
    Scanner().ParsingReply = true;
    Scanner().Disassembling = true;
    SetScanLine(text + "\r", true);
    while (Scanner().ScanChar != ' ' && Scanner().ScanChar != '\r') NextChar();
    GetToken();
    if (!Messages().ErrorFlag) ParseInstruction();
    Scanner().Disassembling = false;
    Scanner().ParsingReply = false;
    return Parsed();
  }
};

// Every opcode, with representative operand bytes, parses back from its disassembly into the
// instruction's mnemonic and operands: tokens, prefixes, kinds and values. The addresses make relative
// targets wrap below 0 and above 0FFFFH and move AJMP/ACALL into the next 2 KB block.
TEST_F(LineParser, EveryOpcodeParsesBack) {
  struct Where {
    uint16_t address;
    uint8_t byte1, byte2;
  };
  for (const Where w : {Where{0x07FE, 0x34, 0xC3}, Where{0x0001, 0xC3, 0x80}, Where{0xFFFF, 0x7F, 0x7F}}) {
    for (int op = 0; op < 256; ++op) {
      SCOPED_TRACE(op);
      ResetState<MessageState>();
      const std::string text = Disassemble(w.address, op | w.byte1 << 8 | w.byte2 << 16);
      const ParsedInstruction& p = ParseDisassembly(text);
      ASSERT_EQ(LastError(), 0) << text;
      const OpcodeInfo& row = Opcode(static_cast<uint8_t>(op));
      EXPECT_EQ(p.ParsedMnemonic, row.Mnemonic);
      EXPECT_EQ(p.ParsedFixedForm, IsFixedForm(row));
      if (p.ParsedFixedForm) {
        EXPECT_EQ(p.ParsedFixedText, (std::string(row.Name) + "        ").substr(0, 8) + text.substr(19));
        EXPECT_FALSE(p.ParsedHasOp[0]);
        continue;
      }
      for (int i = 0; i < 3; ++i) {
        const OperandForm form = row.Operands[i];
        const uint8_t fieldByte = row.Field[i] == 1 ? w.byte1 : w.byte2;
        uint16_t expected = 0;
        switch (form) {
          case OperandForm::Direct:
          case OperandForm::Bit:
          case OperandForm::NotBit:
          case OperandForm::Immediate: expected = fieldByte; break;
          case OperandForm::Immediate16:
          case OperandForm::Addr16: expected = w.byte1 << 8 | w.byte2; break;
          case OperandForm::Addr11: expected = AbsoluteTarget(op, w.byte1, w.address); break;
          case OperandForm::Relative: expected = (w.address + row.Length + int8_t(fieldByte)) & 0xFFFF; break;
          case OperandForm::DataByte: expected = op; break;
          default: break;
        }
        const ParsedOperand o = OperandOf(p, i);
        const ParsedOperand want = ExpectedOperand(form, op);
        EXPECT_EQ(std::tuple(o.Has, o.Token, o.Value, o.Prefix),
                  std::tuple(want.Has, want.Token, expected, want.Prefix))
            << i;
        EXPECT_TRUE(want.Kind == 0 || o.Kind == want.Kind) << i;
      }
    }
  }
}

// Operands a previous parse left behind must not survive into the next line.
TEST_F(LineParser, EveryFieldIsClearedAtTheStartOfAParse) {
  ASSERT_TRUE(ParseDisassembly(Blanks("0200=B612FD__CJNE__@R0,#012,00200")).ParsedHasOp[2]);
  const ParsedInstruction& p = ParseDisassembly(Blanks("0000=00______NOP___"));
  ASSERT_EQ(LastError(), 0);
  for (int i = 0; i < 3; ++i) {
    const ParsedOperand o = OperandOf(p, i);
    EXPECT_EQ(std::tuple(o.Has, int(o.Token), int(o.Value), int(o.Prefix)), std::tuple(false, 0, 0, 0)) << i;
  }
}

// Statements typed for the line assembler; symbols stand for their addresses.
TEST_F(LineParser, StatementsOfTheLineAssembler) {
  constexpr int kAny = -1;
  struct OperandCase {
    const char* statement;
    int index;  // 0..2
    uint8_t token;
    int value;
    char prefix;
    uint8_t kind;  // 0: any
  };
  constexpr uint8_t kNum = tok::kNumberValue;
  const OperandCase cases[] = {
      {"MOV A,#12H", 1, kNum, 0x12, '#', 0}, {"SJMP 100H+2", 0, kNum, 0x102, 0, kKindCode},
      {"MOV 30H,40H", 0, kNum, 0x30, 0, kKindData}, {"MOV 30H,40H", 1, kNum, 0x40, 0, kKindData},
      {"MOV @R1,A", 0, tok::kR0 + 1, kAny, '@', 0}, {"DJNZ R0,INIT", 1, kNum, 0x200, 0, kKindCode},
      {"MOV A,COUNT", 1, kNum, 0x30, 0, kKindData}, {"CPL FLAG", 0, kNum, 0x05, 0, kKindBit},
      // "#" followed by a signed number: "#-1" is no expression of its own
      {"MOV A,#-1", 1, kNum, 0xFFFF, '#', 0}, {"CJNE @R1,#-2,100H", 1, kNum, 0xFFFE, '#', 0},
      {"CJNE @R1,#-2,100H", 2, kNum, 0x100, 0, kKindCode},
      // a huge value must not overflow the conversion to a 16-bit operand
      {"MOV A,#10001H", 1, kNum, 1, '#', 0}, {"MOV A,#1.0E30", 1, kNum, kAny, '#', 0},
  };
  for (const OperandCase& c : cases) {
    SCOPED_TRACE(c.statement);
    const ParsedOperand o = OperandOf(ParseStatement(c.statement), c.index);
    ASSERT_EQ(LastError(), 0);
    EXPECT_EQ(o.Token, c.token);
    EXPECT_TRUE(c.value == kAny || o.Value == c.value) << o.Value;
    EXPECT_EQ(o.Prefix, c.prefix);
    EXPECT_TRUE(c.kind == 0 || o.Kind == c.kind) << int(o.Kind);
  }
  EXPECT_EQ(ParseStatement("MOVC A,@A+DPTR").ParsedFixedText, "MOVC    A,@A+DPTR");
  // An empty statement ends the exchange.
  EXPECT_EQ(ParseStatement("").ParsedMnemonic, tok::kEndOfLine);
  EXPECT_EQ(LastError(), 0);
}

TEST_F(LineParser, EachFailureReportsItsNumber) {
  struct ErrorCase {
    bool disassembly;
    const char* text;
    int error;
  };
  const ErrorCase cases[] = {
      {true, "0100=A5______LIST__0A5", 109},     // no instruction
      {true, "0100=7412____MOV___A,#0X2", 105},  // a syntax error in a disassembly line: framing
      {true, "0000=7400____MOV___A,#,", 105},    // a bare separator is no number 0
      {false, "SWA A", 129},                     // abbreviation of SWAP
      {false, "LIST A", 109},
      {false, "MOV @R2,A", 109},    // Ri only R0, R1
      {false, "ADD R0,A", 109},     // A first
      {false, "NOP A", 109},        // no operand
      {false, "JMP 100H", 109},     // only @A+DPTR
      {false, "MUL A", 109},        // AB only
      {false, "MOV A,R0 R1", 109},  // end of line expected
      {false, "MOV A,FLAG", 111},   // symbols checked against the operand's kind
      {false, "SETB COUNT", 116}, {false, "SJMP COUNT", 114},
  };
  for (const ErrorCase& c : cases) {
    ResetState<MessageState>();
    if (c.disassembly) {
      ParseDisassembly(Blanks(c.text));
    } else {
      ParseStatement(c.text);
    }
    EXPECT_EQ(LastError(), c.error) << c.text;
  }
}

}  // namespace
}  // namespace dorvik
