// Instruction encoding: operand forms, range and kind checks, the choice of
// the short or long form of JMP and CALL, and syntax errors.

#include "assembler/encoder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using namespace testutil;

struct EncodeCase {
  const char* Name;
  std::string Source;  // assembled from address 0 (a line of its own each)
  uint32_t Address;  // where the checked instruction stands
  std::vector<uint8_t> Bytes;
  std::vector<uint16_t> Errors;
};

const EncodeCase kCases[] = {
    // Operands and their ranges
    {"ImmediateKeepsLowByteSilently", " MOV A,#300", 0, {0x74, 0x2C}, {}},
    {"DirectAddressTruncatedWithError115", " MOV A,300", 0, {0xE5, 0x2C}, {115}},
    // A negative value is not above 255: its low byte, no message.
    {"NegativeDirectAddressIsItsLowByte", " MOV A,-1", 0, {0xE5, 0xFF}, {}},
    {"NegativeBitAddressIsItsLowByte", " SETB -1\n CLR -8", 0, {0xD2, 0xFF, 0xC2, 0xF8}, {}},
    {"BitAddressAbove255IsError115", " SETB 101H", 0, {0xD2, 0x01}, {115}},
    {"DirectToDirectSwapsTheBytes", " MOV 30H,40H", 0, {0x85, 0x40, 0x30}, {}},
    {"DirectImmediate", " MOV 30H,#40H", 0, {0x75, 0x30, 0x40}, {}},
    {"DirectFromRegisterAndIndirect", " MOV 30H,R5\n MOV 31H,@R1\n MOV 32H,A", 0,
     {0x8D, 0x30, 0x87, 0x31, 0xF5, 0x32}, {}},
    {"BitFromCarry", " MOV ACC.7,C", 0, {0x92, 0xE7}, {}},
    {"ComplementedBitWithBlanksBeforeSlash", " ANL C, /ACC.7\n ORL C,/20H.0", 0, {0xB0, 0xE7, 0xA0, 0x00}, {}},
    {"LogicalDirectForms", " ANL P1,#0FH\n ORL 30H,A\n XRL 31H,#1", 0,
     {0x53, 0x90, 0x0F, 0x42, 0x30, 0x63, 0x31, 0x01}, {}},
    {"DptrWordHighByteFirst", " MOV DPTR,#1234H", 0, {0x90, 0x12, 0x34}, {}},
    {"IncAndDecForms", " INC A\n INC DPTR\n INC @R0\n DEC R7\n DEC 30H", 0, {0x04, 0xA3, 0x06, 0x1F, 0x15, 0x30}, {}},
    {"MovcAndIndirectJump", " MOVC A,@A+PC\n MOVC A,@A+DPTR\n JMP @A+DPTR", 0, {0x83, 0x93, 0x73}, {}},
    {"MovxForms", " MOVX A,@DPTR\n MOVX A,@R1\n MOVX @DPTR,A\n MOVX @R0,A", 0, {0xE0, 0xE3, 0xF0, 0xF2}, {}},
    {"PredefinedNamesMatchWholeNames", "$MODE(52)\n MOV A,RCAP2L\n MOV A,RCAP2LX", 0, {0xE5, 0xCA, 0xE5, 0x00}, {114}},
    {"RegisterSymbolAsOperand", "PTR EQU R3\n MOV A,PTR", 0, {0xEB}, {}},
    {"BankRegisterAlias", " USING 1\n PUSH AR7", 0, {0xC0, 0x0F}, {}},
    {"CjneForms", "HERE: CJNE A,#5,HERE\n CJNE @R1,#6,HERE\n CJNE R2,#7,HERE\n CJNE A,30H,HERE", 0,
     {0xB4, 0x05, 0xFD, 0xB7, 0x06, 0xFA, 0xBA, 0x07, 0xF7, 0xB5, 0x30, 0xF4}, {}},
    {"DjnzForms", "L: DJNZ R7,L\n DJNZ 30H,L", 0, {0xDF, 0xFE, 0xD5, 0x30, 0xFB}, {}},
    {"BitJump", "L: JB P1.0,L\n JNB 20H.1,L\n JBC TF0,L", 0,
     {0x20, 0x90, 0xFD, 0x30, 0x01, 0xFA, 0x10, 0x8D, 0xF7}, {}},
    // Relative range
    {"SjmpReaches128Back", "T EQU 0\n ORG 126\n SJMP T", 126, {0x80, 0x80}, {}},
    {"Sjmp129BackIsError120", "T EQU 0\n ORG 127\n SJMP T", 127, {0x80, 0x00}, {120}},
    {"SjmpReaches127Ahead", " SJMP 129", 0, {0x80, 0x7F}, {}},
    {"Sjmp128AheadIsError120", " SJMP 130", 0, {0x80, 0x00}, {120}},
    // Absolute (11-bit) jumps
    {"AjmpInBlock", " AJMP 0234H", 0, {0x41, 0x34}, {}},
    {"AjmpAtBlockEndReachesOnlyTheNextBlock", " ORG 07FEH\n AJMP 0800H", 0x7FE, {0x01, 0x00}, {}},
    {"AjmpAtBlockEndMissesItsOwnBlock", " ORG 07FEH\n AJMP 0700H", 0x7FE, {0xE1, 0x00}, {120}},
    // Generic JMP and CALL
    {"JmpNearKnownTargetIsSjmp", "T EQU 100\n JMP T", 0, {0x80, 0x62}, {}},
    {"JmpFarKnownTargetInBlockIsAjmp", "T EQU 200\n JMP T", 0, {0x01, 0xC8}, {}},
    {"JmpOtherBlockIsLjmp", "T EQU 1000H\n JMP T", 0, {0x02, 0x10, 0x00}, {}},
    {"JmpForwardLabelIsLjmp", " JMP L\n NOP\nL: NOP", 0, {0x02, 0x00, 0x04}, {}},
    {"CallKnownTargetInBlockIsAcall", "T EQU 300H\n CALL T", 0, {0x71, 0x00}, {}},
    {"CallNearTargetIsStillAcall", "T EQU 10\n CALL T", 0, {0x11, 0x0A}, {}},
    {"CallOtherBlockIsLcall", "T EQU 0F000H\n CALL T", 0, {0x12, 0xF0, 0x00}, {}},
    // Kind checks and syntax
    {"CodeLabelAsDataAddressIsError123", "L: MOV A,L", 0, {0xE5, 0x00}, {123}},
    {"DataAddressAsJumpTargetIsError123", "V DATA 30H\n LJMP V", 0, {0x02, 0x00, 0x30}, {123}},
    {"IndirectThroughR2IsSyntaxError", " MOV @R2,A", 0, {}, {100}},
    {"ImmediateIncIsSyntaxError", " INC #1", 0, {}, {100}},
    {"MissingOperandIsSyntaxError", " ADD A,", 0, {}, {100}},
    {"TrailingTextIsSyntaxError", " NOP 5", 0, {}, {100}},
    {"XrlWithCarryIsSyntaxError", " XRL C,20H.0", 0, {}, {100}},
};

TEST(EncodeTest, BytesAndErrors) {
  for (const EncodeCase& k : kCases) {
    SCOPED_TRACE(k.Name);
    const Assembly a = Assemble(k.Source + "\n END\n");
    ASSERT_FALSE(a.Result.Fatal);
    EXPECT_EQ(a.Bytes(k.Address, k.Bytes.size()), k.Bytes);
    EXPECT_EQ(a.Codes(), k.Errors);
  }
}

TEST(EncodeRelocatableTest, JmpAndCallInARelocatableSegmentAreNeverAbsolute) {
  const Assembly a = Assemble(
      "PROG SEGMENT CODE\n RSEG PROG\nL: NOP\n ORG 200\n JMP L\n CALL L\nNEAR: JMP NEAR\nABS: JMP 0D0H\n END\n",
      "NOOBJECT");
  ASSERT_FALSE(a.Result.Fatal);
  EXPECT_EQ(a.Result.ErrorCount, 0u);
  std::map<std::string, std::string> objectColumn;
  for (const std::string& l : SplitLines(a.Output(".lst")))
    if (l.size() > 30 && l[4] == ' ' && std::isxdigit(static_cast<unsigned char>(l[0])))
      objectColumn[l.substr(29)] = l.substr(5, 10);
  EXPECT_EQ(objectColumn[" JMP L"], "020000   R");  // word fixup, value from the linker
  EXPECT_EQ(objectColumn[" CALL L"], "120000   R");
  EXPECT_EQ(objectColumn["NEAR: JMP NEAR"], "80FE      ");  // a near target in the same segment is still SJMP
  // A near absolute target: a displacement from the segment offset would be
  // wrong once the segment is placed, so the long form with a fixup.
  EXPECT_EQ(objectColumn["ABS: JMP 0D0H"], "020000   R");
}

// A relocatable byte operand: only a value above 255 is truncated (error 115).
TEST(EncodeRelocatableTest, RelocatableByteBelowZeroIsNoError) {
  const char* kHead = "PROG SEGMENT CODE\n RSEG PROG\nL1: NOP\n";
  EXPECT_TRUE(Assemble(std::string(kHead) + " MOV A,#L1-1\n MOV R0,#L1-100\n END\n").Codes().empty());
  EXPECT_EQ(Assemble(std::string(kHead) + " MOV A,#L1+256\n END\n").Codes(), std::vector<uint16_t>{115});
}

// The line assembler's in-memory run: the statement's address and bytes come
// back as a fourth line; no file is opened.
TEST(LineAssemblerTest, AddressAndBytesComeBackAsTheFourthLine) {
  struct Case {
    const char* Org;
    const char* Statement;
    const char* Expected;
    uint32_t Errors;
  } cases[] = {{"CSEG AT 256", "MOV A,#5", "0100 7405", 0},
               {" CSEG AT 4096", " LJMP 1234H", "1000 021234", 0},
               {"CSEG AT 256", "SJMP 0102H", "0100 8000", 0},
               {"CSEG AT 256", "JMP 0110H", "0100 800E", 0},
               {"CSEG AT 256", "MOVC A,@A+DPTR", "0100 93", 0},
               {" CSEG AT 0", " MOV @R2,A", nullptr, 1}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.Statement);
    std::vector<std::string> lines = {k.Org, k.Statement, "END"};
    AsmContext c;
    const AsmRunResult result = AssembleFile(c, "", &lines);
    EXPECT_FALSE(result.Fatal);
    EXPECT_EQ(result.ErrorCount, k.Errors);
    EXPECT_FALSE(c.out.Files.ListOpen || c.out.Files.ObjectOpen);
    if (k.Errors) {
      EXPECT_EQ(c.ErrorLog.at(0).Code, 100);
    } else {
      ASSERT_EQ(lines.size(), 4u);
      EXPECT_EQ(lines[3], k.Expected);
    }
  }
}

}  // namespace
}  // namespace dorvik::as
