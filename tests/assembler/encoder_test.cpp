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
