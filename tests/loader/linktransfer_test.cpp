// A program loaded onto each fake serial target through the program
// transfer (HEX records to the monitor, page packets to the ADuC), then run
// to a breakpoint: the target's code memory holds the program, and the
// memory displays match the same program on the simulator target.

#include <gtest/gtest.h>

#include <algorithm>

#include "../assembler/asm_test_util.h"
#include "../support/link_fixture.h"
#include "access/programload.h"
#include "base/hexrecord.h"
#include "loader/loader.h"
#include "project/project.h"
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

// A module appended to a program in another part of the same page: the
// program's bytes stay. The monitor gets records only for the module's bytes;
// the ADuC's page packet carries the program's bytes read back from the chip,
// and a page the module does not touch is not written.
TEST_P(LinkTransferTest, AppendedModuleKeepsTheProgramBesideIt) {
  StartOn(GetParam());
  const bool monitor = GetParam() == FakeTarget::Kind::Monitor;
  if (monitor) {
    Output("RESET CPU");
    ASSERT_EQ(Link().MonitorVersion, 4);
  } else {
    Link().TargetChipId = "ADI 841";
  }
  std::vector<uint8_t> program(0x30), page1(16, 0x5A);
  for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<uint8_t>(0xA0 + i);
  Fake().Poke(kSpaceCode, 0x40, program);
  Fake().Poke(kSpaceCode, 0x180, page1);
  const std::vector<uint8_t> vector0{0x02, 0x01, 0x00}, vector1{0x02, 0x01, 0x08}, code{0xE4, 0xF5, 0x90, 0x32};
  std::string text = HexRecordText(0x0003, kHexTypeData, vector0) + "\r\n" +
                     HexRecordText(0x000B, kHexTypeData, vector1) + "\r\n" +
                     HexRecordText(0x0200, kHexTypeData, code) + "\r\n:00000001FF\r\n";
  const auto file = tu::ScratchDir("append") / "isr.hex";
  tu::WriteFile(file, text);
  hex_ = file.string();
  Project().Loader.LoadAppend = true;
  Fake().ClearReceived();
  const bool loaded = Load();
  Project().Loader.LoadAppend = false;
  ASSERT_TRUE(loaded) << TerminalText();
  const std::string wire = Fake().Received();
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x40, 0x30), program);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x180, 16), page1);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x03, 3), vector0);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x0B, 3), vector1);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x200, 4), code);
  if (monitor) {
    // Three data records and the end record.
    EXPECT_EQ(std::count(wire.begin(), wire.end(), ':'), 4) << wire;
    EXPECT_NE(wire.find(HexRecordText(0x0200, kHexTypeData, code)), std::string::npos) << wire;
  } else {
    // Pages 0 and 2 only; page 0 carries the program read back.
    EXPECT_EQ(wire.find(std::string("\x07Q\x01", 3)), std::string::npos);
    const size_t page0 = wire.find(std::string("\x07Q\x00", 3));
    ASSERT_NE(page0, std::string::npos);
    ASSERT_GE(wire.size(), page0 + 3 + kAducPageSize);
    EXPECT_EQ(wire.substr(page0 + 3 + 0x40, program.size()), std::string(program.begin(), program.end()));
    EXPECT_NE(wire.find(std::string("\x07Q\x02", 3)), std::string::npos);
  }
  EXPECT_TRUE(Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(BothTargets, LinkTransferTest,
                         ::testing::Values(FakeTarget::Kind::Monitor, FakeTarget::Kind::Aduc),
                         [](const auto& info) { return info.param == FakeTarget::Kind::Monitor ? "Monitor" : "Aduc"; });

}  // namespace
}  // namespace dorvik::testing
