#include "access/linerender.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "machine/disassembler.h"
#include "tests/support/lang_fixture.h"
#include "base/session.h"

namespace dorvik {
namespace {

class LineRendering : public testing::LangTest {
 protected:
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

  // Module MAIN over 0000H-01FFH: procedures MAIN and INIT (0180H), label L1 at 0100H, line 12 at 0103H.
  void LoadSymbols() {
    CreateSymbolCollections();
    tModuleItem& m = Collections().ModuleTable->Add();
    m.Name = "MAIN";
    m.Start = 0;
    m.Stop = 0x1FF;
    m.Flag = true;
    AddSymbol("MAIN", kClassProcedure, 0x100);
    AddSymbol("L1", kClassCode, 0x100);
    AddSymbol("COUNT", kClassData, 0x30);
    AddSymbol("", kClassLine, 0x103, 12);
    AddSymbol("INIT", kClassProcedure, 0x180);
  }
};

// The statement from column 17 and the comment of a decoded line.
TEST_F(LineRendering, StatementsAndComments) {
  enum Symbols { kNone, kLoaded, kSwitchedOff, kNoSymbolicOperands };
  struct RenderCase {
    Symbols symbols;
    uint8_t radix;
    uint16_t addr;
    uint32_t bytes;
    const char* statement;  // nullptr: not checked
    const char* comment;
  };
  const RenderCase cases[] = {
      {kNone, 16, 0x0100, 0x2F8175, "MOV     081H,#02FH", ";#47T"}, {kNone, 16, 0, 0x4174, nullptr, ";#65T"},
      {kNone, 16, 0, 0x0574, nullptr, ";"}, {kNone, 10, 0, 0x4174, "MOV     A,#065", ";#041H"},
      {kNone, 8, 0, 0x4174, nullptr, ";#041H #65T"},
      {kNone, 8, 0, 0x0974, nullptr, ";#09"}, {kNone, 8, 0, 0x0A74, nullptr, ";#0AH #10T"},
      {kNone, 16, 0x0101, 0x0080, "SJMP    0103H", ""},  // a numeric target needs no comment in radix 16
      {kNone, 16, 0x0100, 0xA5, "DB      0A5H", ";"}, {kNone, 16, 0, 0x83, "MOVC    A,@A+PC", nullptr},
      {kNone, 16, 0, 0x73, "JMP     @A+DPTR", nullptr}, {kNone, 16, 0, 0x93, "MOVC    A,@A+DPTR", nullptr},
      // the carry shares its token with DATA; rendered it must read C
      {kNone, 16, 0, 0xE7A2, "MOV     C,0E7H", nullptr}, {kNone, 16, 0, 0xE7B0, "ANL     C,/0E7H", nullptr},
      {kNone, 16, 0, 0x00C3, "CLR     C", nullptr},
      {kLoaded, 16, 0x0101, 0x0080, "SJMP    L1+03", ";00103H (:MAIN#12)"},
      {kLoaded, 16, 0x0100, 0x800112, "LCALL   INIT", ";00180H"},  // a procedure by its name
      {kLoaded, 16, 0x0104, 0x30E5, "MOV     A,COUNT", nullptr},
      {kLoaded, 16, 0x0104, 0x32E5, "MOV     A,COUNT+02", nullptr},
      {kLoaded, 16, 0x0104, 0x70E5, "MOV     A,070H", nullptr},  // more than 30H away
      {kLoaded, 16, 0x0104, 0x60E5, "MOV     A,COUNT+030H", nullptr},  // 30H away: still by the name
      {kLoaded, 16, 0x0104, 0x61E5, "MOV     A,061H", nullptr},
      // the suffix H and the comment's other radix from ten on
      {kNone, 16, 0, 0x0974, "MOV     A,#09", ";"}, {kNone, 16, 0, 0x0A74, "MOV     A,#0AH", ";#10T"},
      {kNone, 10, 0, 0x0974, "MOV     A,#09", ";"}, {kNone, 10, 0, 0x0A74, "MOV     A,#010", ";#0AH"},
      {kSwitchedOff, 16, 0x0101, 0x0080, "SJMP    103", nullptr},
      // the line assembler wants numbers it can parse back, also where symbols exist
      {kNoSymbolicOperands, 16, 0x0101, 0x0080, "SJMP    0103H", ""},
      {kNoSymbolicOperands, 16, 0x0104, 0x30E5, "MOV     A,030H", nullptr},
      {kNoSymbolicOperands, 16, 0, 0x0974, "MOV     A,#09", ""},
      {kNoSymbolicOperands, 16, 0, 0x0A74, "MOV     A,#0AH", ""},
  };
  for (const RenderCase& c : cases) {
    SCOPED_TRACE(c.bytes);
    ResetSession();
    if (c.symbols != kNone) LoadSymbols();
    SymbolLookup().ShowSymbols = c.symbols != kSwitchedOff;
    LineRender().NoSymbolicOperands = c.symbols == kNoSymbolicOperands;
    Formatting().DisplayRadix = c.radix;
    const tDisasLine& item = Decode(c.addr, c.bytes);
    EXPECT_EQ(LastError(), 0);
    if (c.statement) {
      EXPECT_EQ(item.SourceLine.substr(16), c.statement);
    }
    if (c.comment) {
      EXPECT_EQ(item.Comment, c.comment);
    }
  }
}

TEST_F(LineRendering, SymbolicTargetsLabelsAndSourceLineColumns) {
  LoadSymbols();
  const tDisasLine& jump = Decode(0x0101, 0x0080);  // SJMP to 0103H
  EXPECT_EQ(jump.TargetShownAsSymbol, 1);
  EXPECT_EQ(jump.Value[0], 0x103);  // the simulator's target stays numeric
  EXPECT_EQ(Decode(0x0100, 0x00).LabelStr, "L1:");
  EXPECT_TRUE(LineRender().LabelColumnUsed);
  EXPECT_FALSE(LineRender().LineNumberColumnUsed);
  const tDisasLine& line = Decode(0x0103, 0x00);
  EXPECT_EQ(line.SourceLineNo, ":MAIN#12");
  EXPECT_EQ(line.LabelStr, "");
  EXPECT_TRUE(LineRender().LineNumberColumnUsed);
  // A procedure that begins without a label of its own is named by its procedure symbol.
  EXPECT_EQ(Decode(0x0180, 0x00).LabelStr, "INIT:");
  EXPECT_EQ(Decode(0x0104, 0x00).LabelStr, "");
  // Assign copies the source columns only.
  const tDisasLine& from = Decode(0x0103, 0x0574);
  tDisasLine to;
  to.Value[1] = 0x77;
  to.Comment = "kept";
  to.Assign(from);
  EXPECT_EQ(to.SourceLine, from.SourceLine);
  EXPECT_EQ(std::tuple(to.SourceLineNo, int(to.BytesNo), int(to.Addr), int(to.Value[1]), to.Comment),
            std::tuple(std::string(":MAIN#12"), 2, 0x0103, 0x77, std::string("kept")));
  SymbolLookup().ShowSymbols = false;
  EXPECT_EQ(Decode(0x0101, 0x0080).TargetShownAsSymbol, 0);
}

// The rendering builds a line's fields first: the rendered text is the address, the code bytes and the
// instruction joined, the console's text the instruction (with the comment behind an immediate shown as a
// symbol). Decoding without symbolic text keeps the disassembler's own fields.
TEST_F(LineRendering, FieldsJoinedAreTheRenderedAndTheConsolesText) {
  struct FieldsCase {
    bool symbols;
    uint16_t addr;
    uint32_t bytes;
    DisasFields fields;
    const char* console;
  };
  const FieldsCase cases[] = {
      {false, 0x0000, 0x4174, {"0000H", "7441", "", "", "MOV     A,#041H", ";#65T"}, "MOV     A,#041H"},
      {false, 0x0000, 0xC3, {"0000H", "C3", "", "", "CLR     C", ""}, "CLR     C"},
      {true, 0x0100, 0x2F8175, {"0100H", "75812F", "", "L1:", "MOV     081H,#02FH", ";#47T"}, "MOV     081H,#02FH"},
      {true, 0x0101, 0x0080, {"0101H", "8000", "", "", "SJMP    L1+03", ";00103H (:MAIN#12)"}, "SJMP    L1+03"},
      {true, 0x0103, 0x3074, {"0103H", "7430", ":MAIN#12", "", "MOV     A,#COUNT", ";#030H #48T"},
       "MOV     A,#COUNT ;#030H #48T"},
      {true, 0x0180, 0x22, {"0180H", "22", "", "INIT:", "RET", ""}, "RET"},
  };
  for (const FieldsCase& c : cases) {
    SCOPED_TRACE(c.console);
    ResetSession();
    if (c.symbols) LoadSymbols();
    const tDisasLine& item = Decode(c.addr, c.bytes);
    const DisasFields f = LineFields(item);
    EXPECT_EQ(std::tie(f.Address, f.CodeBytes, f.SourceLine, f.Label, f.Instruction, f.Comment),
              std::tie(c.fields.Address, c.fields.CodeBytes, c.fields.SourceLine, c.fields.Label,
                       c.fields.Instruction, c.fields.Comment));
    EXPECT_EQ(item.SourceLine, f.Address + " " + (f.CodeBytes + "      ").substr(0, 6) + "    " + f.Instruction);
    EXPECT_EQ(ConsoleLineText(item), c.console);
  }
  // Every instruction shape: the fields hold no blanks at their ends, and joined they are the rendered text.
  LoadSymbols();
  for (int op = 0; op < 256; ++op) {
    SCOPED_TRACE(op);
    const tDisasLine& item = Decode(0x0101, op | 0x0300 | 0x300000);
    const DisasFields f = LineFields(item);
    for (const std::string& field : {f.CodeBytes, f.Instruction, f.Comment}) {
      EXPECT_TRUE(field.empty() || (field.front() != ' ' && field.back() != ' ')) << '"' << field << '"';
    }
    EXPECT_EQ(JoinRenderedText(item.Addr, f.CodeBytes, f.Instruction), item.SourceLine);
  }
  // The monitor's break opcode is shown as a data byte in the same columns.
  EXPECT_EQ(JoinRenderedText(0x0100, "A5", "DB      0A5H"), "0100H A5        DB      0A5H");
  // Text the scanner cannot read: the disassembler's columns, no comment, no rendered text.
  tDisasLine& plain = DisasLines().GetItem(0x40);
  plain.DisasText = "0040=7412    MOV   A,#0Q2";
  plain.Comment = ";#18T";
  PlainDisasLineFields(plain);
  const DisasFields f = LineFields(plain);
  EXPECT_EQ(std::tie(f.CodeBytes, f.Instruction, f.Comment), std::tie("7412", "MOV   A,#0Q2", ""));
  EXPECT_EQ(plain.SourceLine, "");
  EXPECT_EQ(ConsoleLineText(plain), "MOV   A,#0Q2");
}

// Predefined names of the selected processor: registers by name, bits by name or as byte.bit.
TEST_F(LineRendering, ProcessorNames) {
  SelectSmallCpu({"sfr P0 = 0x80;", "sfr SP = 0x81;", "sfr IE = 0xA8;", "sfr ACC = 0xE0;", "sbit EA = IE^7;"});
  const tDisasLine& mov = Decode(0x0100, 0x2F8175);
  EXPECT_EQ(mov.SourceLine.substr(16), "MOV     SP,#02FH");
  EXPECT_TRUE(mov.Operand1ShownAsSymbol);
  EXPECT_EQ(Decode(0, 0xAFD2).SourceLine.substr(16), "SETB    EA");
  EXPECT_EQ(Decode(0, 0xE7B0).SourceLine.substr(16), "ANL     C,/ACC.7");
  EXPECT_EQ(Decode(0, 0xE0C0).SourceLine.substr(16), "PUSH    ACC");
  // The first SFR bit by its byte's name; the last bit below them has no name.
  EXPECT_EQ(Decode(0, 0x80D2).SourceLine.substr(16), "SETB    P0.0");
  EXPECT_EQ(Decode(0, 0x7FD2).SourceLine.substr(16), "SETB    07FH");
  // The names parse back to the same addresses.
  const ParsedInstruction& p = ParseStatement("ANL C,/ACC.7");
  ASSERT_EQ(LastError(), 0);
  EXPECT_EQ(p.ParsedValue[1], 0xE7);
  EXPECT_EQ(p.ParsedKind[1], kKindBit);
  EXPECT_EQ(p.ParsedPrefix[1], '/');
}

// Lookups made only to show a line report nothing, even over a damaged symbol table.
TEST_F(LineRendering, DisplayLookupsReportNothing) {
  AddSymbol("", kClassScopeEnd, 0);  // a scope end without its begin
  AddSymbol("L2", kClassCode | kClassPublic, 0x10);
  const tDisasLine& item = Decode(0x0000, 0x1002);  // LJMP 0010H
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_EQ(item.Mnemonic, tok::kLJMP);
  EXPECT_EQ(Collections().FoundSymbol, kNoItem);
}

// The reparse runs in the middle of a command line: the caller's scanner state must survive it, and
// an error the caller had not yet handled must neither stop the decoding nor be lost.
TEST_F(LineRendering, KeepsTheCallersScannerStateAndError) {
  SetScanLine("G 100\r", true);
  ASSERT_EQ(GetToken(), tok::kG);
  ReportError(118);
  const tDisasLine& item = Decode(0x0100, 0x0574);
  EXPECT_EQ(item.Mnemonic, tok::kMOV);
  EXPECT_EQ(item.Value[1], 5);
  EXPECT_EQ(LastError(), 118);
  EXPECT_FALSE(Scanner().Disassembling);
  EXPECT_FALSE(Scanner().ParsingReply);
  ASSERT_EQ(GetToken(), tok::kNumberValue);
  EXPECT_EQ(Scanner().ExprValue, 256);
}

// The reparse switches the disassembler's number reading on and off itself and leaves the line
// assembler's mode to its owner. Unreadable text is a framing error and gets no symbolic text.
TEST_F(LineRendering, ReparseOwnsItsScanningModes) {
  tDisasLine& item = DisasLines().GetItem(0x40);
  item.Addr = 0x40;
  item.OpCode = 0x74;
  item.DisasText = "0040=7412  MOV   A,#0Q2";
  item.SourceLine = "old";
  ReparseDisasLine(item);
  EXPECT_EQ(LastError(), 105);
  EXPECT_EQ(item.SourceLine, "old");
  EXPECT_FALSE(Scanner().Disassembling);
  ResetState<MessageState>();
  item.DisasText = Disassemble(0x40, 0xA574);
  dorvik::Run().AsmLineMode = true;
  ReparseDisasLine(item);
  EXPECT_EQ(LastError(), 0);
  EXPECT_EQ(item.Value[1], 0xA5);
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

// Plain numbers for the line assembler: each rendered statement parses back to the same instruction.
TEST_F(LineRendering, EveryOpcodeRendersParsesBackAndReencodes) {
  LineRender().NoSymbolicOperands = true;
  const uint16_t addr = 0xFFFE;  // relative and in-block targets wrap
  for (int op = 0; op < 256; ++op) {
    SCOPED_TRACE(op);
    ResetState<MessageState>();
    const uint32_t original = op | 0x8000 | 0xF70000;
    const tDisasLine item = Decode(addr, original);
    ASSERT_EQ(LastError(), 0) << item.DisasText;
    EXPECT_EQ(item.Mnemonic, Opcode(static_cast<uint8_t>(op)).Mnemonic);
    EXPECT_EQ(item.Comment, op == kBreakOpcode ? ";" : "");
    ASSERT_GE(item.SourceLine.size(), 17u);
    EXPECT_EQ(item.SourceLine.substr(0, 16), "FFFEH " + item.DisasText.substr(5, 6) + "    ");
    const std::string statement = item.SourceLine.substr(16);
    EXPECT_TRUE(!item.HasOp[0] || statement.find_first_not_of(' ', 8) == 8u) << statement;

    const ParsedInstruction& p = ParseStatement(statement);
    dorvik::Run().AsmLineMode = false;
    ASSERT_EQ(LastError(), 0) << statement;
    EXPECT_EQ(std::tuple(p.ParsedMnemonic, p.ParsedOperand, p.ParsedValue, p.ParsedPrefix),
              std::tuple(item.Mnemonic, item.Operand, item.Value, item.Prefix));
  }
}

}  // namespace
}  // namespace dorvik
