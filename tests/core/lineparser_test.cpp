#include "core/lineparser.h"

#include <gtest/gtest.h>

#include <string>

#include "core/collections.h"
#include "core/disassembler.h"
#include "core/keywords.h"
#include "core/linkstate.h"
#include "core/messages.h"
#include "core/opcodes.h"
#include "core/runstate.h"
#include "core/scanner.h"

namespace dorvik {
namespace {

std::string Blanks(std::string s) {
  for (char& c : s)
    if (c == '_') c = ' ';
  return s;
}

class LineParser : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMessages();
    ResetScanner();
    ResetRunState();
    ResetLinkState();
    ResetParsed();
    ResetCollections();
  }

  // A disassembler line read back as the disassembly does: past the address and bytes, then the mnemonic.
  void ParseDisassembly(const std::string& text) {
    Link().ParsingReply = true;
    Scanner().Disassembling = true;
    SetScanLine(text + "\r", true);
    while (Scanner().ScanChar != ' ' && Scanner().ScanChar != '\r') NextChar();
    GetToken();
    if (!Messages().ErrorFlag) ParseInstruction();
    Scanner().Disassembling = false;
    Link().ParsingReply = false;
  }

  // A statement typed for the line assembler.
  void ParseStatement(const std::string& text) {
    Messages().ErrorFlag = false;
    dorvik::Run().AsmLineMode = true;
    SetScanLine(text + "\r", false);
    GetToken();
    if (!Messages().ErrorFlag) ParseInstruction();
  }

  const ParsedInstruction& P() { return Parsed(); }
  int Error() { return Messages().ErrorFlag ? Messages().LastErrorCode : 0; }
};

TEST_F(LineParser, ImmediateOfADisassemblyLine) {
  ParseDisassembly(Blanks("0000=74A5____MOV___A,#0A5"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedMnemonic, tok::kMOV);
  EXPECT_TRUE(P().ParsedHasOp1);
  EXPECT_EQ(P().ParsedOperand1, tok::kA);
  EXPECT_EQ(P().ParsedOperand2, tok::kNumberValue);
  EXPECT_EQ(P().ParsedValue2, 0xA5);
  EXPECT_EQ(P().ParsedPrefix2, '#');
  EXPECT_FALSE(P().ParsedHasOp3);
}

TEST_F(LineParser, FixedFormsHaveNoOperands) {
  ParseDisassembly(Blanks("0000=83______MOVC__A,@A+PC"));
  ASSERT_EQ(Error(), 0);
  EXPECT_TRUE(P().ParsedFixedForm);
  EXPECT_EQ(P().ParsedFixedText, "MOVC    A,@A+PC");
  EXPECT_FALSE(P().ParsedHasOp1);
  ParseDisassembly(Blanks("0000=73______JMP___@A+DPTR"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedFixedText, "JMP     @A+DPTR");
  ParseDisassembly(Blanks("0000=93______MOVC__A,@A+DPTR"));
  EXPECT_EQ(P().ParsedFixedText, "MOVC    A,@A+DPTR");
}

TEST_F(LineParser, CompareIndirectWithTarget) {
  ParseDisassembly(Blanks("0200=B612FD__CJNE__@R0,#012,00200"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedPrefix1, '@');
  EXPECT_EQ(P().ParsedOperand1, tok::kR0);
  EXPECT_EQ(P().ParsedPrefix2, '#');
  EXPECT_EQ(P().ParsedValue2, 0x12);
  EXPECT_EQ(P().ParsedOperand3, tok::kNumberValue);
  EXPECT_EQ(P().ParsedValue3, 0x200);
  EXPECT_EQ(P().ParsedKind3, kKindCode);
}

TEST_F(LineParser, DataByteLine) {
  ParseDisassembly(Blanks("0100=A5______DB____0A5"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedMnemonic, tok::kDB);
  EXPECT_EQ(P().ParsedOperand1, tok::kNumberValue);
  EXPECT_EQ(P().ParsedValue1, 0xA5);
  EXPECT_EQ(P().ParsedKind1, kKindNumber);
}

TEST_F(LineParser, OtherWordIsNoInstruction) {
  ParseDisassembly(Blanks("0100=A5______LIST__0A5"));
  EXPECT_EQ(Error(), 109);
}

TEST_F(LineParser, DisassemblySyntaxErrorIsAFramingError) {
  ParseDisassembly(Blanks("0100=7412____MOV___A,#0X2"));
  EXPECT_EQ(Error(), 105);
}

// A disassembler operand needs digits: a bare separator is no number 0.
TEST_F(LineParser, DisassemblyNumberNeedsDigits) {
  ParseDisassembly(Blanks("0000=7400____MOV___A,#,"));
  EXPECT_EQ(Error(), 105);
}

TEST_F(LineParser, KindsOfOperands) {
  ParseDisassembly(Blanks("0000=20E701__JB____0E7,00002"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedKind1, kKindBit);
  EXPECT_EQ(P().ParsedValue1, 0xE7);
  EXPECT_EQ(P().ParsedKind2, kKindCode);
  ParseDisassembly(Blanks("0000=852030__MOV___030,020"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedValue1, 0x30);
  EXPECT_EQ(P().ParsedKind1, kKindData);
  EXPECT_EQ(P().ParsedValue2, 0x20);
  EXPECT_EQ(P().ParsedKind2, kKindData);
  ParseDisassembly(Blanks("0000=9290____MOV___090,C"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedKind1, kKindBit);
  EXPECT_EQ(P().ParsedOperand2, tok::kC);
  ParseDisassembly(Blanks("0000=B0E7____ANL___C,/0E7"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedOperand1, tok::kC);
  EXPECT_EQ(P().ParsedPrefix2, '/');
  EXPECT_EQ(P().ParsedValue2, 0xE7);
  EXPECT_EQ(P().ParsedKind2, kKindBit);
  ParseDisassembly(Blanks("0000=A4______MUL___AB"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedOperand1, tok::kAB);
  ParseDisassembly(Blanks("0000=F0______MOVX__@DPTR,A"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedOperand1, tok::kDPTR);
  EXPECT_EQ(P().ParsedPrefix1, '@');
  EXPECT_EQ(P().ParsedOperand2, tok::kA);
}

// Operands a previous parse left behind must not survive into the next line.
TEST_F(LineParser, EveryFieldIsClearedAtTheStartOfAParse) {
  ParseDisassembly(Blanks("0200=B612FD__CJNE__@R0,#012,00200"));
  ASSERT_TRUE(P().ParsedHasOp3);
  ParseDisassembly(Blanks("0000=00______NOP___"));
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedOperand1, 0);
  EXPECT_EQ(P().ParsedOperand3, 0);
  EXPECT_EQ(P().ParsedValue2, 0);
  EXPECT_EQ(P().ParsedValue3, 0);
  EXPECT_FALSE(P().ParsedHasOp1);
  EXPECT_EQ(P().ParsedPrefix1, 0);
}

// The line assembler's own mode is not switched by the parser.
TEST_F(LineParser, LeavesTheLineAssemblerModeAlone) {
  ParseDisassembly(Blanks("0000=04______INC___A"));
  EXPECT_FALSE(dorvik::Run().AsmLineMode);
  ParseStatement("INC A");
  EXPECT_TRUE(dorvik::Run().AsmLineMode);
}

TEST_F(LineParser, StatementsOfTheLineAssembler) {
  ParseStatement("MOV A,#12H");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedValue2, 0x12);
  EXPECT_EQ(P().ParsedPrefix2, '#');
  ParseStatement("SJMP 100H+2");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedValue1, 0x102);
  EXPECT_EQ(P().ParsedKind1, kKindCode);
  ParseStatement("MOV 30H,40H");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedValue1, 0x30);
  EXPECT_EQ(P().ParsedValue2, 0x40);
  ParseStatement("MOV @R1,A");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedOperand1, tok::kR0 + 1);
  EXPECT_EQ(P().ParsedPrefix1, '@');
  ParseStatement("MOVC A,@A+DPTR");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedFixedText, "MOVC    A,@A+DPTR");
}

// Symbols stand for their addresses, checked against the operand's kind.
TEST_F(LineParser, SymbolsOfTheProgram) {
  CreateSymbolCollections();
  auto add = [](const char* name, uint8_t cls, uint32_t value) {
    tSymbolItem& s = Collections().SymbolTable->Add();
    s.Name = name;
    s.SymClass = cls;
    s.Value = value;
  };
  add("INIT", kClassCode | kClassPublic, 0x200);
  add("COUNT", kClassData | kClassPublic, 0x30);
  add("FLAG", kClassBit | kClassPublic, 0x05);
  ParseStatement("DJNZ R0,INIT");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedValue2, 0x200);
  EXPECT_EQ(P().ParsedKind2, kKindCode);
  ParseStatement("MOV A,COUNT");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedValue2, 0x30);
  EXPECT_EQ(P().ParsedKind2, kKindData);
  ParseStatement("CPL FLAG");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedValue1, 0x05);
  EXPECT_EQ(P().ParsedKind1, kKindBit);
  ParseStatement("MOV A,FLAG");
  EXPECT_EQ(Error(), 111);
  ParseStatement("SETB COUNT");
  EXPECT_EQ(Error(), 116);
  ParseStatement("SJMP COUNT");
  EXPECT_EQ(Error(), 114);
}

struct ErrorCase {
  const char* statement;
  int error;
};

class LineParserErrors : public LineParser, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(LineParserErrors, ReportsTheNumberedMessage) {
  ParseStatement(GetParam().statement);
  EXPECT_EQ(Error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Statements, LineParserErrors,
                         ::testing::Values(ErrorCase{"SWA A", 129},       // abbreviation of SWAP
                                           ErrorCase{"LIST A", 109},      // no instruction
                                           ErrorCase{"MOV @R2,A", 109},   // Ri only R0, R1
                                           ErrorCase{"ADD R0,A", 109},    // A first
                                           ErrorCase{"NOP A", 109},       // no operand
                                           ErrorCase{"JMP 100H", 109},    // only @A+DPTR
                                           ErrorCase{"MUL A", 109},       // AB only
                                           ErrorCase{"MOV A,R0 R1", 109}  // end of line expected
                                           ));

TEST_F(LineParser, EmptyStatementEndsTheExchange) {
  ParseStatement("");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedMnemonic, tok::kEndOfLine);
}

// A huge value must not overflow the conversion to a 16-bit operand.
TEST_F(LineParser, OutOfRangeValuesWrapIntoSixteenBits) {
  ParseStatement("MOV A,#1.0E30");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedPrefix2, '#');
  ParseStatement("MOV A,#10001H");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedValue2, 1);
}

// "#" followed by a signed number: the "-" after the mark must not turn "#-1" into one expression.
TEST_F(LineParser, ImmediateMayBeNegative) {
  ParseStatement("MOV A,#-1");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedPrefix2, '#');
  EXPECT_EQ(P().ParsedValue2, 0xFFFF);
  ParseStatement("CJNE @R1,#-2,100H");
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(P().ParsedValue2, 0xFFFE);
  EXPECT_EQ(P().ParsedValue3, 0x100);
}

// Every opcode, with representative operand bytes, parses back from its disassembly into the
// instruction's mnemonic, operands and values. The addresses make relative targets wrap below 0 and
// above 0FFFFH and move AJMP/ACALL into the next 2 KB block.
TEST_F(LineParser, EveryOpcodeParsesBack) {
  struct Where {
    uint16_t address;
    uint8_t byte1, byte2;
  };
  for (const Where w : {Where{0x07FE, 0x34, 0xC3}, Where{0x0001, 0xC3, 0x80}, Where{0xFFFF, 0x7F, 0x7F}}) {
    for (int op = 0; op < 256; ++op) {
      SCOPED_TRACE(op);
      ResetMessages();
      const std::string text = Disassemble(w.address, op | w.byte1 << 8 | w.byte2 << 16);
      ParseDisassembly(text);
      ASSERT_EQ(Error(), 0) << text;
      const OpcodeInfo& row = Opcode(static_cast<uint8_t>(op));
      EXPECT_EQ(P().ParsedMnemonic, row.Mnemonic);
      const bool fixed = row.Operands[0] == OperandForm::AtADptr || row.Operands[1] == OperandForm::AtADptr ||
                         row.Operands[1] == OperandForm::AtAPc;
      EXPECT_EQ(P().ParsedFixedForm, fixed);
      if (fixed) continue;
      const bool has[3] = {P().ParsedHasOp1, P().ParsedHasOp2, P().ParsedHasOp3};
      const uint8_t tokens[3] = {P().ParsedOperand1, P().ParsedOperand2, P().ParsedOperand3};
      const uint16_t values[3] = {P().ParsedValue1, P().ParsedValue2, P().ParsedValue3};
      for (int i = 0; i < 3; ++i) {
        const OperandForm form = row.Operands[i];
        EXPECT_EQ(has[i], form != OperandForm::None) << i;
        uint16_t expected = 0;
        uint8_t token = tok::kNumberValue;
        const uint8_t fieldByte = row.Field[i] == 1 ? w.byte1 : w.byte2;
        switch (form) {
          case OperandForm::None:
            token = 0;
            break;
          case OperandForm::A:
            token = tok::kA;
            break;
          case OperandForm::AB:
            token = tok::kAB;
            break;
          case OperandForm::C:
            token = tok::kC;
            break;
          case OperandForm::Dptr:
          case OperandForm::AtDptr:
            token = tok::kDPTR;
            break;
          case OperandForm::Rn:
            token = tok::kR0 + (op & 7);
            break;
          case OperandForm::AtRi:
            token = tok::kR0 + (op & 1);
            break;
          case OperandForm::Direct:
          case OperandForm::Bit:
          case OperandForm::NotBit:
          case OperandForm::Immediate:
            expected = fieldByte;
            break;
          case OperandForm::Immediate16:
          case OperandForm::Addr16:
            expected = w.byte1 << 8 | w.byte2;
            break;
          case OperandForm::Addr11:
            expected = AbsoluteTarget(op, w.byte1, w.address);
            break;
          case OperandForm::Relative:
            expected = (w.address + row.Length + int8_t(fieldByte)) & 0xFFFF;
            break;
          case OperandForm::DataByte:
            expected = op;
            break;
          default:
            break;
        }
        EXPECT_EQ(tokens[i], token) << i;
        EXPECT_EQ(values[i], expected) << i;
      }
    }
  }
}

// Relative targets and AJMP pages at the ends of the address space.
TEST_F(LineParser, TargetsWrapAroundTheAddressSpace) {
  ParseDisassembly(Disassemble(0xFFFE, 0x0580));  // SJMP: next 0000H + 5
  EXPECT_EQ(P().ParsedValue1, 0x0005);
  ParseDisassembly(Disassemble(0x0000, 0xFD80));  // SJMP: 0002H - 3
  EXPECT_EQ(P().ParsedValue1, 0xFFFF);
  ParseDisassembly(Disassemble(0xFFFE, 0x10E1));  // AJMP: block of 0000H, page 7
  EXPECT_EQ(P().ParsedValue1, 0x0710);
  ParseDisassembly(Disassemble(0x07FD, 0x1011));  // ACALL: next 07FFH stays in block 0
  EXPECT_EQ(P().ParsedValue1, 0x0010);
}

}  // namespace
}  // namespace dorvik
