// The port views' side of the target: pins driven by hand, port latches
// written with the inputs a falling pin gives, the simulator's count of port
// changes, and the bounded wait for a port read in progress.

#include "access/portviews.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/clock.h"
#include "platform/pump.h"
#include "tests/support/sim_fixture.h"

namespace dorvik {
namespace {

class PortViewsTest : public testing::SimFixture {};

// P3.2 and P3.5 go low: an INT0 edge and a timer 1 count; a pin that rises
// or a falling pin of another port gives nothing.
TEST_F(PortViewsTest, AFallingPinOfP3GivesItsInput) {
  Sfr(sfr::TCON) = 0x41;  // IT0, TR1
  Sfr(sfr::TMOD) = 0x50;  // timer 1 a 16-bit counter
  const uint32_t changes = PortViews().PortChanges;
  EXPECT_TRUE(WritePortLatch(sfr::P3, 0xDB));
  EXPECT_EQ(PortViews().PortChanges, changes + 1);  // the views read again
  EXPECT_EQ(Sfr(sfr::P3), 0xDB);
  EXPECT_EQ(Sfr(sfr::TCON), 0x43);
  EXPECT_EQ(Sfr(sfr::TL1), 1);
  Sfr(sfr::TCON) = 0x41;
  EXPECT_TRUE(WritePortLatch(sfr::P3, 0xFF));
  EXPECT_TRUE(WritePortLatch(sfr::P1, 0x00));
  EXPECT_EQ(Sfr(sfr::P1), 0x00);
  EXPECT_EQ(Sfr(sfr::TCON), 0x41);
  EXPECT_EQ(Sfr(sfr::TL1), 1);
}

TEST_F(PortViewsTest, TheSimulatorCountsInstructionsThatChangeAPort) {
  Code(0, {0x75, 0x90, 0x12, 0x75, 0x90, 0x12, 0xF5, 0xA0});  // MOV P1,#12H twice; MOV P2,A
  const uint32_t before = PortViews().PortChanges;
  for (int i = 0; i < 3; ++i) SimStep(static_cast<uint16_t>(T().SimPC));
  EXPECT_EQ(PortViews().PortChanges - before, 2u);  // the second MOV changed nothing
}

TEST_F(PortViewsTest, StoppingTheRefreshWaitsForAReadInProgressBoundedly) {
  const uint32_t& stops = PortViews().RefreshStops;
  const uint32_t before = stops;
  platform::FakeClock clock;
  platform::SetClock(&clock);
  // A view's read that ends 5 ms into the wait (a pump timer ends it).
  std::optional<PortViewRead> read(std::in_place);
  const platform::TimerId ends = platform::Pump().CreateTimer([&read] { read.reset(); }, 5, false);
  platform::Pump().EnableTimer(ends, true);
  StopPortRefresh();
  EXPECT_EQ(stops, before + 1);
  EXPECT_FALSE(read.has_value());
  EXPECT_EQ(PortViews().ReadsInProgress, 0);
  EXPECT_LT(clock.Micros(), uint64_t{100} * 1000);
  // A read that never ends: the wait gives up.
  {
    const PortViewRead endless;
    StopPortRefresh();
    EXPECT_GE(clock.Micros(), uint64_t{kPortReadWaitMs} * 1000);
    EXPECT_LT(clock.Micros(), uint64_t{kPortReadWaitMs + 100} * 1000);
  }
  platform::SetClock(nullptr);
  { const PortRefreshStopped stopped; }
  EXPECT_EQ(stops, before + 4);
}

}  // namespace
}  // namespace dorvik
