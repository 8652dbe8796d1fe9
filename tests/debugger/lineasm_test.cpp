// The line assembler on the simulator: statements become bytes in the code
// image at the evaluated address, the address moves past them, failures
// write nothing, and the two histories reach the history file.

#include <string>
#include <vector>

#include "assembler/context.h"
#include "base/mainform.h"
#include "debugger/lineasm.h"
#include "machine/images.h"
#include "tests/platform/scratch_dir.h"
#include "tests/support/console_fixture.h"

namespace dorvik::testing {
namespace {

constexpr uint8_t kUntouched = 0xA5;

class LineAsmTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    MainForm().HistoryFileName = dir_.File("DORVIK51.HST");
    Images().CodeImage.fill(kUntouched);
    CreateLineAssembler();
  }
  bool Assemble(const std::string& address, const std::string& statement) {
    LineAsm().Address.Text = address;
    LineAsm().Statement.Text = statement;
    return AssembleStatement();
  }
  std::vector<uint8_t> Code(uint32_t from, size_t count) const {
    const auto& image = Images().CodeImage;
    return {image.begin() + from, image.begin() + from + count};
  }
  test_util::ScratchDir dir_;
};

struct Case {
  const char* Address;
  const char* Statement;
  uint32_t At;                 // where the bytes must land
  std::vector<uint8_t> Bytes;  // empty: nothing may be written
  const char* Next;            // the address field afterwards
};

TEST_F(LineAsmTest, StatementsBecomeBytesAtTheEvaluatedAddress) {
  const Case cases[] = {
      {"100", "MOV A,#5", 0x100, {0x74, 0x05}, "0102"},
      {"100", "LJMP 1234H", 0x100, {0x02, 0x12, 0x34}, "0103"},
      {"100", "SJMP 0110H", 0x100, {0x80, 0x0E}, "0102"},
      {"100", "MOVC A,@A+DPTR", 0x100, {0x93}, "0101"},
      {"200", "MOV 30H,#0A5H", 0x200, {0x75, 0x30, 0xA5}, "0203"},
      {"0FFE", "LCALL 0", 0xFFE, {0x12, 0x00, 0x00}, "1001"},
      // An expression: its value is the address, not its text reread.
      {"80H+80H", "NOP", 0x100, {0x00}, "0101"},
      {"1000-(2*8)", "INC A", 0xFF0, {0x04}, "0FF1"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.Address) + ": " + k.Statement);
    Images().CodeImage.fill(kUntouched);
    ASSERT_TRUE(Assemble(k.Address, k.Statement)) << LineAsm().Result;
    EXPECT_EQ(Code(k.At, k.Bytes.size()), k.Bytes);
    EXPECT_EQ(Code(k.At + k.Bytes.size(), 1), std::vector<uint8_t>{kUntouched});
    EXPECT_EQ(Code(k.At - 1, 1), std::vector<uint8_t>{kUntouched});
    EXPECT_EQ(LineAsm().Address.Text, k.Next);
    EXPECT_EQ(dorvik::Run().AsmLineAddress, std::stoul(k.Next, nullptr, 16));
    EXPECT_FALSE(LineAsm().Result.empty());
    EXPECT_FALSE(dorvik::Run().AsmLineMode);
    EXPECT_FALSE(dorvik::Run().TargetBusy);
  }
}

TEST_F(LineAsmTest, FailuresWriteNothingAndSayWhy) {
  // The numbered box each failure shows ("" none: the address keeps the focus).
  const std::pair<Case, const char*> cases[] = {
      {{"100", "MOV @R2,A", 0x100, {}, "100"}, "Error #"},                         // no such operand
      {{"100", "SJMP 0300H", 0x100, {}, "100"}, "Error #109"},                     // target out of reach
      {{"100", "FROB A", 0x100, {}, "100"}, "Error #"},                            // no such mnemonic
      {{"100", "MOV A,", 0x100, {}, "100"}, "Error #"},                            // operand missing
      {{"XYZZY+", "NOP", 0x100, {}, "XYZZY+"}, ""},                                // address does not evaluate
      {{"12345H", "NOP", 0x2345, {}, "12345H"}, ""},                               // address beyond code memory
  };
  for (const auto& [k, box] : cases) {
    SCOPED_TRACE(std::string(k.Address) + ": " + k.Statement);
    Images().CodeImage.fill(kUntouched);
    const std::vector<uint8_t> before = Code(k.At, 4);
    boxes_.Clear();
    EXPECT_FALSE(Assemble(k.Address, k.Statement));
    if (*box == 0) {
      EXPECT_TRUE(boxes_.Shown().empty());
    } else {
      ASSERT_EQ(boxes_.Shown().size(), 1u);
      EXPECT_EQ(boxes_.Shown()[0].Caption.rfind(box, 0), 0u) << boxes_.Shown()[0].Caption;
    }
    EXPECT_EQ(Code(k.At, 4), before);
    EXPECT_EQ(LineAsm().Address.Text, k.Next);
    EXPECT_TRUE(LineAsm().Lines.empty());
    EXPECT_EQ(LineAsm().Statement.Text, k.Statement);
    EXPECT_FALSE(dorvik::Run().AsmLineMode);
    EXPECT_FALSE(Messages().ErrorFlag);
  }
  EXPECT_TRUE(LineAsm().Statement.Items.empty());  // failed statements join no history
  EXPECT_FALSE(Assemble("100", "SJMP 0300H"));
  EXPECT_NE(LineAsm().Result.find("ERROR"), std::string::npos) << LineAsm().Result;  // the assembler's text
}

TEST_F(LineAsmTest, EmptyStatementShowsTheInstructionThereAndWritesNothing) {
  Images().CodeImage[0x100] = 0x74;
  Images().CodeImage[0x101] = 0x05;
  EXPECT_FALSE(Assemble("100", "  "));
  EXPECT_NE(LineAsm().Statement.Text.find("MOV"), std::string::npos) << LineAsm().Statement.Text;
  EXPECT_EQ(Code(0x100, 3), (std::vector<uint8_t>{0x74, 0x05, kUntouched}));
  EXPECT_TRUE(LineAsm().Lines.empty());
}

TEST_F(LineAsmTest, TheAssemblersOwnStateSurvives) {
  as::Asm().ModuleName = "OUTER";
  as::Asm().ErrorCount = 3;
  ASSERT_TRUE(Assemble("100", "NOP"));
  EXPECT_EQ(as::Asm().ModuleName, "OUTER");
  EXPECT_EQ(as::Asm().ErrorCount, 3u);
}

TEST_F(LineAsmTest, HistoriesGoToTheHistoryFileAndComeBack) {
  ASSERT_TRUE(Assemble("100", "MOV A,#5"));
  EXPECT_FALSE(Assemble("100", "MOV @R2,A"));
  ASSERT_TRUE(Assemble("200", "NOP"));
  DestroyLineAssembler();
  const std::string file = test_util::ReadAll(MainForm().HistoryFileName);
  EXPECT_NE(file.find("[HISTORY]"), std::string::npos) << file;
  EXPECT_NE(file.find("19H1=NOP"), std::string::npos) << file;
  EXPECT_NE(file.find("19H2=MOV A,#5"), std::string::npos) << file;
  EXPECT_EQ(file.find("@R2"), std::string::npos) << file;
  EXPECT_NE(file.find("18H1=200"), std::string::npos) << file;

  ResetState<LineAsmState>();
  CreateLineAssembler();
  EXPECT_EQ(LineAsm().Statement.Items, (std::vector<std::string>{"NOP", "MOV A,#5"}));
  EXPECT_EQ(LineAsm().Address.Items, (std::vector<std::string>{"200", "100"}));
  EXPECT_FALSE(LineAsm().HistoryChanged);
}

TEST_F(LineAsmTest, UnchangedHistoriesAreNotWritten) {
  DestroyLineAssembler();
  EXPECT_FALSE(std::filesystem::exists(MainForm().HistoryFileName));
}

}  // namespace
}  // namespace dorvik::testing
