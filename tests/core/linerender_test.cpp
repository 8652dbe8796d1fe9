#include "core/linerender.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "core/collections.h"
#include "core/cpudb.h"
#include "core/disassembler.h"
#include "core/formatting.h"
#include "core/keywords.h"
#include "core/lineparser.h"
#include "core/linkstate.h"
#include "core/messages.h"
#include "core/opcodes.h"
#include "core/runstate.h"
#include "core/scanner.h"
#include "core/symbols.h"

namespace dorvik {
namespace {

// The instruction set table used as an encoder: the opcode whose operand forms take the parsed operands,
// with its operand bytes. Empty when no row or more than one row fits.
std::optional<std::array<uint8_t, 3>> EncodeWithTable(const ParsedInstruction& p, uint16_t addr) {
  if (p.ParsedFixedForm) {
    if (p.ParsedFixedText == "JMP     @A+DPTR") return std::array<uint8_t, 3>{0x73, 0, 0};
    if (p.ParsedFixedText == "MOVC    A,@A+PC") return std::array<uint8_t, 3>{0x83, 0, 0};
    if (p.ParsedFixedText == "MOVC    A,@A+DPTR") return std::array<uint8_t, 3>{0x93, 0, 0};
    return std::nullopt;
  }
  const bool has[3] = {p.ParsedHasOp1, p.ParsedHasOp2, p.ParsedHasOp3};
  const uint8_t token[3] = {p.ParsedOperand1, p.ParsedOperand2, p.ParsedOperand3};
  const uint16_t value[3] = {p.ParsedValue1, p.ParsedValue2, p.ParsedValue3};
  const uint8_t kind[3] = {p.ParsedKind1, p.ParsedKind2, p.ParsedKind3};
  const char prefix[3] = {p.ParsedPrefix1, p.ParsedPrefix2, 0};
  std::optional<std::array<uint8_t, 3>> found;
  int matches = 0;
  for (int op = 0; op < 256; ++op) {
    const OpcodeInfo& row = Opcode(static_cast<uint8_t>(op));
    if (row.Mnemonic != p.ParsedMnemonic) continue;
    std::array<uint8_t, 3> bytes{static_cast<uint8_t>(op), 0, 0};
    bool fits = true;
    for (int i = 0; i < 3 && fits; ++i) {
      const OperandForm f = row.Operands[i];
      if (!has[i]) {
        fits = f == OperandForm::None;
        continue;
      }
      const uint8_t at = row.Field[i];
      const bool number = token[i] == tok::kNumberValue;
      switch (f) {
        case OperandForm::None:
        case OperandForm::AtADptr:
        case OperandForm::AtAPc:
          fits = false;
          break;
        case OperandForm::A:
          fits = token[i] == tok::kA;
          break;
        case OperandForm::AB:
          fits = token[i] == tok::kAB;
          break;
        case OperandForm::C:
          fits = token[i] == tok::kC;
          break;
        case OperandForm::Dptr:
          fits = token[i] == tok::kDPTR && prefix[i] != '@';
          break;
        case OperandForm::AtDptr:
          fits = token[i] == tok::kDPTR && prefix[i] == '@';
          break;
        case OperandForm::Rn:
          fits = token[i] == tok::kR0 + (op & 7) && prefix[i] != '@';
          break;
        case OperandForm::AtRi:
          fits = token[i] == tok::kR0 + (op & 1) && prefix[i] == '@';
          break;
        case OperandForm::Direct:
          fits = number && kind[i] == kKindData && prefix[i] == 0;
          break;
        case OperandForm::Bit:
          fits = number && kind[i] == kKindBit && prefix[i] == 0;
          break;
        case OperandForm::NotBit:
          fits = number && kind[i] == kKindBit && prefix[i] == '/';
          break;
        case OperandForm::Immediate:
          fits = number && prefix[i] == '#';
          break;
        case OperandForm::Immediate16:
          fits = number && prefix[i] == '#';
          break;
        case OperandForm::DataByte:
          fits = number && value[i] == op;
          break;
        case OperandForm::Addr16:
          fits = number && kind[i] == kKindCode;
          break;
        case OperandForm::Addr11:
          fits = number && kind[i] == kKindCode &&
                 AbsoluteTarget(static_cast<uint8_t>(op), value[i] & 0xFF, addr) == value[i];
          break;
        case OperandForm::Relative: {
          const int distance = static_cast<int16_t>(static_cast<uint16_t>(value[i] - (addr + row.Length)));
          fits = number && kind[i] == kKindCode && distance >= -128 && distance <= 127;
          if (fits) bytes[at] = static_cast<uint8_t>(distance);
          continue;
        }
      }
      if (!fits) break;
      if (f == OperandForm::Immediate16 || f == OperandForm::Addr16) {
        bytes[1] = value[i] >> 8;
        bytes[2] = value[i] & 0xFF;
      } else if (at != 0) {
        bytes[at] = value[i] & 0xFF;
      }
    }
    if (fits) {
      found = bytes;
      ++matches;
    }
  }
  if (matches != 1) return std::nullopt;
  return found;
}

class LineRendering : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMessages();
    ResetScanner();
    ResetRunState();
    ResetLinkState();
    ResetParsed();
    ResetFormatting();
    ResetCollections();
    ResetSymbolLookup();
    ResetCpuDb();
    ResetLineRender();
  }

  // The line item of Addr decoded from Bytes, as the code-line reader builds it.
  tDisasLine& Decode(uint16_t addr, uint32_t bytes) {
    tDisasLine& item = DisasLines().GetItem(addr);
    item.Addr = addr;
    item.OpCode = bytes & 0xFF;
    item.BytesNo = Opcode(item.OpCode).Length;
    item.DisasText = Disassemble(addr, bytes);
    item.SourceLine = item.DisasText;
    BuildDisasLineLabels(item);
    return item;
  }

  // Module MAIN over 0000H-01FFH: procedure MAIN, label L1 at 0100H, line 12 at 0103H.
  void LoadSymbols() {
    CreateSymbolCollections();
    auto& c = Collections();
    tModuleItem& m = c.ModuleTable->Add();
    m.Name = "MAIN";
    m.Start = 0;
    m.Stop = 0x1FF;
    m.Flag = true;
    AddSymbol("MAIN", kClassProcedure, 0x100);
    AddSymbol("L1", kClassCode, 0x100);
    AddSymbol("COUNT", kClassData, 0x30);
    tSymbolItem& line = AddSymbol("", kClassLine, 0x103);
    line.Number = 12;
  }

  tSymbolItem& AddSymbol(const char* name, uint8_t cls, uint32_t value) {
    tSymbolItem& s = Collections().SymbolTable->Add();
    s.Name = name;
    s.SymClass = cls;
    s.Value = value;
    return s;
  }

  int Error() { return Messages().ErrorFlag ? Messages().LastErrorCode : 0; }
};

TEST_F(LineRendering, HeadColumnsAndOperandColumn) {
  const tDisasLine& item = Decode(0x0100, 0x2F8175);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(item.SourceLine, "0100H 75812F    MOV     081H,#02FH");
  EXPECT_EQ(item.SourceLine.find("MOV"), 16u);   // column 17
  EXPECT_EQ(item.SourceLine.find("081H"), 24u);  // column 25
  EXPECT_EQ(item.Comment, ";#47T");
  EXPECT_EQ(item.Mnemonic, tok::kMOV);
  EXPECT_EQ(item.Operand1, tok::kNumberValue);
  EXPECT_EQ(item.Value1, 0x81);
  EXPECT_EQ(item.Prefix2, '#');
  EXPECT_EQ(item.Value2, 0x2F);
}

TEST_F(LineRendering, ImmediateComments) {
  EXPECT_EQ(Decode(0, 0x4174).Comment, ";#65T");
  EXPECT_EQ(Decode(0, 0x0574).Comment, ";");
  Formatting().DisplayRadix = 10;
  const tDisasLine& item = Decode(0, 0x4174);
  EXPECT_EQ(item.SourceLine.substr(24), "A,#065");
  EXPECT_EQ(item.Comment, ";#041H");
  Formatting().DisplayRadix = 8;
  EXPECT_EQ(Decode(0, 0x4174).Comment, ";#041H #65T");
}

TEST_F(LineRendering, JumpTargetNearALabelAndOnASourceLine) {
  LoadSymbols();
  const tDisasLine& item = Decode(0x0101, 0x0080);  // SJMP to 0103H
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(item.SourceLine.substr(16), "SJMP    L1+03");
  EXPECT_EQ(item.TargetShownAsSymbol, 1);
  EXPECT_EQ(item.Comment, ";00103H (:MAIN#12)");
  EXPECT_EQ(item.Value1, 0x103);  // the simulator's target stays numeric
}

TEST_F(LineRendering, NumericTargetGetsNoCommentInRadix16) {
  const tDisasLine& item = Decode(0x0101, 0x0080);
  EXPECT_EQ(item.SourceLine.substr(16), "SJMP    0103H");
  EXPECT_EQ(item.Comment, "");
}

TEST_F(LineRendering, LabelsAndSourceLineColumns) {
  LoadSymbols();
  const tDisasLine& label = Decode(0x0100, 0x00);
  EXPECT_EQ(label.LabelStr, "L1:");
  EXPECT_TRUE(LineRender().LabelColumnUsed);
  EXPECT_FALSE(LineRender().LineNumberColumnUsed);
  const tDisasLine& line = Decode(0x0103, 0x00);
  EXPECT_EQ(line.SourceLineNo, ":MAIN#12");
  EXPECT_EQ(line.LabelStr, "");
  EXPECT_TRUE(LineRender().LineNumberColumnUsed);
}

// A procedure that begins without a label of its own is named by its procedure symbol.
TEST_F(LineRendering, ProcedureStartIsNamed) {
  LoadSymbols();
  AddSymbol("INIT", kClassProcedure, 0x180);
  const tDisasLine& start = Decode(0x0180, 0x00);
  EXPECT_EQ(start.LabelStr, "INIT:");
  const tDisasLine& call = Decode(0x0100, 0x800112);  // LCALL 0180H
  EXPECT_EQ(call.SourceLine.substr(16), "LCALL   INIT");
  EXPECT_EQ(call.Comment, ";00180H");
  EXPECT_EQ(Decode(0x0104, 0x00).LabelStr, "");
}

TEST_F(LineRendering, DataAddressByName) {
  LoadSymbols();
  EXPECT_EQ(Decode(0x0104, 0x30E5).SourceLine.substr(24), "A,COUNT");
  EXPECT_EQ(Decode(0x0104, 0x32E5).SourceLine.substr(24), "A,COUNT+02");
  EXPECT_EQ(Decode(0x0104, 0x70E5).SourceLine.substr(24), "A,070H");  // more than 30H away
}

TEST_F(LineRendering, SwitchedOffSymbolsGivePlainNumbers) {
  LoadSymbols();
  SymbolLookup().ShowSymbols = false;
  const tDisasLine& item = Decode(0x0101, 0x0080);
  EXPECT_EQ(item.SourceLine.substr(16), "SJMP    103");
  EXPECT_EQ(item.TargetShownAsSymbol, 0);
}

// Predefined names of the selected processor: registers by name, bits by name or as byte.bit.
TEST_F(LineRendering, ProcessorNames) {
  auto record = CompileCpuRecord(
      "51", {"sfr SP = 0x81;", "sfr IE = 0xA8;", "sfr ACC = 0xE0;", "sbit EA = IE^7;"}, "t.def");
  ASSERT_TRUE(record.has_value());
  SetCpuDatabase(*record, "t.qpf");
  ASSERT_TRUE(SelectCpu("51"));
  const tDisasLine& mov = Decode(0x0100, 0x2F8175);
  EXPECT_EQ(mov.SourceLine.substr(16), "MOV     SP,#02FH");
  EXPECT_TRUE(mov.Operand1ShownAsSymbol);
  EXPECT_EQ(Decode(0, 0xAFD2).SourceLine.substr(16), "SETB    EA");
  EXPECT_EQ(Decode(0, 0xE7B0).SourceLine.substr(16), "ANL     C,/ACC.7");
  EXPECT_EQ(Decode(0, 0xE0C0).SourceLine.substr(16), "PUSH    ACC");

  // The names parse back to the same addresses.
  dorvik::Run().AsmLineMode = true;
  SetScanLine("ANL C,/ACC.7\r", false);
  GetToken();
  ParseInstruction();
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Parsed().ParsedValue2, 0xE7);
  EXPECT_EQ(Parsed().ParsedKind2, kKindBit);
  EXPECT_EQ(Parsed().ParsedPrefix2, '/');
}

// The line assembler wants numbers it can parse back, also where symbols exist.
TEST_F(LineRendering, NoSymbolicOperandsKeepsNumbers) {
  LoadSymbols();
  LineRender().NoSymbolicOperands = true;
  const tDisasLine& item = Decode(0x0101, 0x0080);
  EXPECT_EQ(item.SourceLine.substr(16), "SJMP    0103H");
  EXPECT_EQ(item.Comment, "");
  EXPECT_EQ(Decode(0x0104, 0x30E5).SourceLine.substr(24), "A,030H");
}

// Lookups made only to show a line report nothing, even over a damaged symbol table.
TEST_F(LineRendering, DisplayLookupsReportNothing) {
  CreateSymbolCollections();
  AddSymbol("", kClassScopeEnd, 0);  // a scope end without its begin
  AddSymbol("L2", kClassCode | kClassPublic, 0x10);
  const tDisasLine& item = Decode(0x0000, 0x1002);  // LJMP 0010H
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_EQ(item.Mnemonic, tok::kLJMP);
  EXPECT_EQ(Collections().FoundSymbol, kNoItem);
}

// The carry shares its token with DATA; rendered it must read C.
TEST_F(LineRendering, CarryOperandIsC) {
  EXPECT_EQ(TokenWord(tok::kC), "C");
  EXPECT_EQ(TokenWord(tok::kMOV), "MOV");
  EXPECT_EQ(TokenWord(tok::kDPTR), "DPTR");
  EXPECT_EQ(Decode(0, 0xE7A2).SourceLine.substr(24), "C,0E7H");
  EXPECT_EQ(Decode(0, 0xE7B0).SourceLine.substr(24), "C,/0E7H");
  EXPECT_EQ(Decode(0, 0x00C3).SourceLine.substr(16), "CLR     C");
}

TEST_F(LineRendering, DataByteLine) {
  const tDisasLine& item = Decode(0x0100, 0xA5);
  EXPECT_EQ(item.SourceLine, "0100H A5        DB      0A5H");
  EXPECT_EQ(item.Mnemonic, tok::kDB);
  EXPECT_EQ(item.Comment, ";");
}

TEST_F(LineRendering, FixedForms) {
  EXPECT_EQ(Decode(0, 0x83).SourceLine.substr(16), "MOVC    A,@A+PC");
  EXPECT_EQ(Decode(0, 0x73).SourceLine.substr(16), "JMP     @A+DPTR");
  EXPECT_EQ(Decode(0, 0x93).SourceLine.substr(16), "MOVC    A,@A+DPTR");
}

// The reparse runs in the middle of a command line: the caller's scanner state must survive it.
TEST_F(LineRendering, KeepsTheCallersScannerState) {
  SetScanLine("G 100\r", true);
  ASSERT_EQ(GetToken(), tok::kG);
  Decode(0x0200, 0xFD12B6);
  EXPECT_FALSE(Scanner().Disassembling);
  EXPECT_FALSE(Link().ParsingReply);
  ASSERT_EQ(GetToken(), tok::kNumberValue);
  EXPECT_EQ(Scanner().ExprValue, 256);
}

// An error the caller had not yet handled must neither stop the decoding nor be lost.
TEST_F(LineRendering, DecodesDespiteAnEarlierError) {
  ReportError(118);
  const tDisasLine& item = Decode(0x0100, 0x0574);
  EXPECT_EQ(item.Mnemonic, tok::kMOV);
  EXPECT_EQ(item.Value2, 5);
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(Messages().LastErrorCode, 118);
}

TEST_F(LineRendering, UnreadableTextIsAFramingErrorAndGetsNoSymbolicText) {
  tDisasLine& item = DisasLines().GetItem(0x10);
  item.Addr = 0x10;
  item.DisasText = "0010=7412  MOV   A,#0Q2";
  item.SourceLine = "old";
  ReparseDisasLine(item);
  EXPECT_EQ(Error(), 105);
  EXPECT_EQ(item.SourceLine, "old");
  EXPECT_FALSE(Scanner().Disassembling);
}

// The reparse switches the disassembler's number reading on and off itself and leaves the line
// assembler's mode to its owner.
TEST_F(LineRendering, ReparseOwnsItsScanningModes) {
  tDisasLine& item = DisasLines().GetItem(0x40);
  item.Addr = 0x40;
  item.OpCode = 0x74;
  item.DisasText = Disassemble(0x40, 0xA574);
  ASSERT_FALSE(Scanner().Disassembling);
  dorvik::Run().AsmLineMode = true;
  ReparseDisasLine(item);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(item.Value2, 0xA5);
  EXPECT_TRUE(dorvik::Run().AsmLineMode);
  EXPECT_FALSE(Scanner().Disassembling);
  dorvik::Run().AsmLineMode = false;
  ReparseDisasLine(item);
  EXPECT_FALSE(dorvik::Run().AsmLineMode);
  EXPECT_EQ(item.SourceLine.substr(16), "MOV     A,#0A5H");
}

// A code write forgets the lines that cover the written byte, and only those.
TEST_F(LineRendering, InvalidateLinesForgetsTheCoveringItems) {
  Decode(0x0FFD, 0x1234 << 8 | 0x02);  // LJMP: covers 0FFDH-0FFFH
  Decode(0x0FFE, 0x00);
  Decode(0x0FFF, 0x0580);  // SJMP: covers 0FFFH-1000H
  Decode(0x1000, 0x00);
  DisasLines().InvalidateLines(0x1000);
  EXPECT_FALSE(DisasLines().GetItem(0x1000).IsDecoded());
  EXPECT_FALSE(DisasLines().GetItem(0x0FFF).IsDecoded());
  EXPECT_TRUE(DisasLines().GetItem(0x0FFE).IsDecoded());  // one byte: does not reach 1000H
  EXPECT_TRUE(DisasLines().GetItem(0x0FFD).IsDecoded());  // three bytes end at 0FFFH
  DisasLines().InvalidateLines(0x0FFF);
  EXPECT_FALSE(DisasLines().GetItem(0x0FFD).IsDecoded());
  Decode(0xFFFF, 0x0080);
  DisasLines().InvalidateLines(0x0000);  // the line before 0000H is at 0FFFFH
  EXPECT_FALSE(DisasLines().GetItem(0xFFFF).IsDecoded());
  DisasLines().InvalidateAll();
  EXPECT_FALSE(DisasLines().GetItem(0x0FFE).IsDecoded());
}

TEST_F(LineRendering, AssignCopiesTheSourceColumnsOnly) {
  LoadSymbols();
  const tDisasLine& from = Decode(0x0103, 0x0574);
  tDisasLine to;
  to.Value2 = 0x77;
  to.Comment = "kept";
  to.Assign(from);
  EXPECT_EQ(to.SourceLineNo, ":MAIN#12");
  EXPECT_EQ(to.SourceLine, from.SourceLine);
  EXPECT_EQ(to.BytesNo, 2);
  EXPECT_EQ(to.Addr, 0x0103);
  EXPECT_EQ(to.Value2, 0x77);
  EXPECT_EQ(to.Comment, "kept");
}

// Plain numbers for the line assembler: each rendered statement parses back to the same instruction.
TEST_F(LineRendering, EveryOpcodeRendersAndParsesBackAsAStatement) {
  LineRender().NoSymbolicOperands = true;
  for (int op = 0; op < 256; ++op) {
    SCOPED_TRACE(op);
    ResetMessages();
    const uint16_t addr = 0xFFFE;  // relative and in-block targets wrap
    const tDisasLine item = Decode(addr, op | 0x8000 | 0xF70000);
    ASSERT_EQ(Error(), 0) << item.DisasText;
    EXPECT_EQ(item.Mnemonic, Opcode(static_cast<uint8_t>(op)).Mnemonic);
    EXPECT_EQ(item.Comment, op == kBreakOpcode ? ";" : "");
    ASSERT_GE(item.SourceLine.size(), 17u);
    EXPECT_EQ(item.SourceLine.substr(0, 16), "FFFEH " + item.DisasText.substr(5, 6) + "    ");
    const std::string statement = item.SourceLine.substr(16);
    if (item.HasOp1) {
      EXPECT_EQ(statement.find_first_not_of(' ', 8), 8u) << statement;
    }

    dorvik::Run().AsmLineMode = true;
    SetScanLine(statement + "\r", false);
    GetToken();
    ParseInstruction();
    dorvik::Run().AsmLineMode = false;
    ASSERT_EQ(Error(), 0) << statement;
    const ParsedInstruction& p = Parsed();
    EXPECT_EQ(p.ParsedMnemonic, item.Mnemonic);
    EXPECT_EQ(p.ParsedOperand1, item.Operand1);
    EXPECT_EQ(p.ParsedOperand2, item.Operand2);
    EXPECT_EQ(p.ParsedOperand3, item.Operand3);
    EXPECT_EQ(p.ParsedValue1, item.Value1);
    EXPECT_EQ(p.ParsedValue2, item.Value2);
    EXPECT_EQ(p.ParsedValue3, item.Value3);
    EXPECT_EQ(p.ParsedPrefix1, item.Prefix1);
    EXPECT_EQ(p.ParsedPrefix2, item.Prefix2);

    // Assembled again from the parsed statement, the instruction has its original bytes.
    const auto bytes = EncodeWithTable(p, addr);
    ASSERT_TRUE(bytes.has_value()) << statement;
    const uint32_t original = op | 0x8000 | 0xF70000;
    for (int k = 0; k < item.BytesNo; ++k) EXPECT_EQ((*bytes)[k], (original >> (8 * k)) & 0xFF) << k;
  }
}

}  // namespace
}  // namespace dorvik
