// A program loaded onto each fake serial target through the program
// transfer (HEX records to the monitor, page packets to the ADuC), then run
// to a breakpoint: the target's code memory holds the program, and the
// memory displays match the same program on the simulator target.

#include <gtest/gtest.h>

#include "../assembler/asm_test_util.h"
#include "../support/link_fixture.h"
#include "loader/loader.h"
#include "platform/dialogs.h"

namespace dorvik::testing {
namespace {

namespace tu = as::testutil;

class LinkTransferTest : public LinkTest, public ::testing::WithParamInterface<FakeTarget::Kind> {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    platform::SetDialogUi(&dialogs_);
    const auto source = tu::ReadFile(std::string(DORVIK_SOURCE_DIR) + "/examples/sum/sum.a51");
    const tu::Assembly a = tu::Assemble(source, "NOPRINT NOOBJECT HEX", "sum.a51");
    hex_ = (a.Dir / "sum.hex").string();
    ASSERT_FALSE(tu::ReadFile(hex_).empty());
  }
  void TearDown() override {
    platform::SetDialogUi(nullptr);
    LinkTest::TearDown();
  }
  bool Load() {
    Loader().LoadFileName = hex_;
    return LoadProgramFile();
  }
  // Runs the program to DONE and shows the total and the table.
  std::string RunToDone() {
    Output("GO FROM 0 TILL 42");
    if (dorvik::Run().ProgramRunning && !AwaitHalt()) return "no halt";
    return Output("DBYTE 40") + Output("CBYTE 49 TO 4D");
  }

  platform::ScriptedDialogs dialogs_;
  std::string hex_;
};

TEST_P(LinkTransferTest, ProgramLoadedRunsAsOnTheSimulator) {
  // On the simulator first.
  ASSERT_TRUE(Load());
  const std::vector<uint8_t> program(Images().CodeImage.begin(), Images().CodeImage.begin() + 0x4E);
  const std::string expected = RunToDone();
  ASSERT_NE(expected.find("IDATA  0040=0F"), std::string::npos) << expected;

  StartOn(GetParam());
  if (GetParam() == FakeTarget::Kind::Monitor) {
    Output("RESET CPU");  // the banner: a version 4 monitor acknowledges every record
    ASSERT_EQ(Link().MonitorVersion, 4);
  } else {
    Link().TargetChipId = "ADI 841";
  }
  ASSERT_TRUE(Load()) << TerminalText();
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0, 0x4E), program);
  EXPECT_EQ(RunToDone(), expected);
  EXPECT_TRUE(Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(BothTargets, LinkTransferTest,
                         ::testing::Values(FakeTarget::Kind::Monitor, FakeTarget::Kind::Aduc),
                         [](const auto& info) { return info.param == FakeTarget::Kind::Monitor ? "Monitor" : "Aduc"; });

}  // namespace
}  // namespace dorvik::testing
