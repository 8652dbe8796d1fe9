// The status fields and the caption: the registers read into the fields,
// the PC field that follows a run on the simulator, and the idle handler's
// end of a run.

#include "debugger/statusfields.h"

#include <cstdint>
#include <utility>

#include "base/runstate.h"
#include "debugger/terminal.h"
#include "lang/formatting.h"
#include "machine/images.h"
#include "tests/support/link_fixture.h"

namespace dorvik {
namespace {

using StatusFieldsTest = testing::ConsoleTest;

TEST_F(StatusFieldsTest, StatusFieldsFollowTheRegisters) {
  Images().SfrImage[sfr::PSW] = 0x98;  // CY, bank 3
  Images().IDataImage[0x18] = 0x42;    // R0 of bank 3
  Images().SfrImage[sfr::DPH] = 0x12;
  Images().SfrImage[sfr::DPL] = 0x34;
  Images().SimPC = 0x0ABC;
  RefreshDebugViews();
  EXPECT_EQ(RegisterText("R0"), "42");
  EXPECT_EQ(RegisterText("RBS"), "3");
  EXPECT_EQ(RegisterText("CY"), "1");
  EXPECT_EQ(RegisterText("OV"), "0");
  EXPECT_EQ(RegisterText("DPTR"), "1234");
  EXPECT_EQ(RegisterText("PC"), "0ABC");
  EXPECT_EQ(dorvik::Run().CurrentPC, 0x0ABCu);
  // R7 of bank 3 is the last register byte; each flag field shows its own PSW bit.
  Images().IDataImage[0x1F] = 0x77;
  RefreshDebugViews();
  EXPECT_EQ(RegisterText("R7"), "77");
  const std::pair<uint8_t, const char*> flags[] = {{0x80, "CY"}, {0x40, "AC"}, {0x20, "F0"}, {0x04, "OV"}, {0x01, "P"}};
  for (const auto& [bit, name] : flags) {
    Images().SfrImage[sfr::PSW] = bit;
    RefreshDebugViews();
    for (const auto& [other, field] : flags) EXPECT_EQ(RegisterText(field), other == bit ? "1" : "0") << name;
    EXPECT_EQ(RegisterText("PSW"), FormatHex2(bit));
    EXPECT_EQ(RegisterText("RBS"), "0");
  }
  SetRegisterText("NOSUCH", "1");
  EXPECT_EQ(DebugStatus().StatusFields.count("stNOSUCH"), 0u);
  // During a run on the simulator the PC field follows the reported PC; at rest it waits for the refresh.
  dorvik::Run().CurrentPC = 0x0123;
  EXPECT_FALSE(FollowRunningPC());
  EXPECT_EQ(RegisterText("PC"), "0ABC");
  dorvik::Run().ProgramRunning = true;
  EXPECT_TRUE(FollowRunningPC());
  dorvik::Run().ProgramRunning = false;
  EXPECT_EQ(RegisterText("PC"), "0123");
}

TEST_F(StatusFieldsTest, IdleHandlerEndsTheRunState) {
  Terminal().MonitorPrompt = "run>";
  DebugViewsIdle();
  EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
  EXPECT_EQ(DebugStatus().Caption, kCaptionHalted);
}

}  // namespace
}  // namespace dorvik
