// The parts of the virtual-hardware windows: the switch row answers only the
// read cycles of its address, the byte displays keep what reaches their
// binding, and a window passes every message on to the one shown before it.

#include "vhw/parts.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "base/session.h"

namespace dorvik::vhw {
namespace {

// A window hosting the given parts.
class Window final : public PartHost {
 public:
  explicit Window(std::vector<HardwarePart*> parts) : parts_(std::move(parts)) {}

 protected:
  std::span<HardwarePart* const> Parts() const override { return parts_; }

 private:
  std::vector<HardwarePart*> parts_;
};

class PartsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSession(); }
  void TearDown() override { ResetSession(); }
};

TEST_F(PartsTest, SwitchesAnswerOnlyTheReadCyclesOfTheirAddress) {
  SwitchBank switches;
  switches.Value = 0x5A;
  Window window({&switches});
  ShowReceiver(window);
  EXPECT_EQ(ExternalReadCycle(0x8000, 0x11, 0xFF), 0x5A);
  EXPECT_EQ(ExternalReadCycle(0x8000, 0x11, 0x7F), 0x5A);  // RD low in the image: it rises all the same
  EXPECT_EQ(ExternalReadCycle(0x8001, 0x11, 0xFF), 0x11);
  // A strobe outside a cycle (a port byte sent to the windows) is no read.
  EXPECT_EQ(SendHardwareAccess(kSpaceSfr, kP3Address, 0xFF), kNoReply);
  switches.Address = 0x8001;
  EXPECT_EQ(ExternalReadCycle(0x8000, 0x11, 0xFF), 0x11);
  EXPECT_EQ(ExternalReadCycle(0x8001, 0x11, 0xFF), 0x5A);
  HideReceiver(window);
  EXPECT_EQ(ExternalReadCycle(0x8001, 0x11, 0xFF), 0x11);
}

TEST_F(PartsTest, DisplaysKeepTheBytesOfTheirBinding) {
  ByteDisplay port, xdata;
  xdata.Binding = {kSpaceXData, 0x9000};
  Window window({&port, &xdata});
  ShowReceiver(window);
  SendHardwareAccess(kSpaceSfr, 0x90, 0xA5);
  SendHardwareAccess(kSpaceSfr, 0xA0, 0x00);  // another port
  EXPECT_EQ(port.Value, 0xA5);
  EXPECT_EQ(port.Changes, 1u);
  SendHardwareAccess(kSpaceSfr, 0x90, 0xA5);  // the same byte: no change to draw
  EXPECT_EQ(port.Changes, 1u);
  ExternalReadCycle(0x9000, 0x3C, 0xFF);
  EXPECT_EQ(xdata.Value, 0x3C);
  EXPECT_EQ(port.Value, 0xA5);
  HideReceiver(window);
}

// The LED panel in front of the switches: the read still reaches them, and
// both windows see the port bytes; the front window's own answer wins.
TEST_F(PartsTest, AWindowPassesMessagesToTheOneShownBeforeIt) {
  SwitchBank back;
  back.Value = 0x42;
  ByteDisplay backDisplay, frontDisplay;
  Window behind({&back, &backDisplay});
  Window front({&frontDisplay});
  ShowReceiver(behind);
  ShowReceiver(front);
  EXPECT_EQ(ExternalReadCycle(0x8000, 0x00, 0xFF), 0x42);
  SendHardwareAccess(kSpaceSfr, 0x90, 0x81);
  EXPECT_EQ(frontDisplay.Value, 0x81);
  EXPECT_EQ(backDisplay.Value, 0x81);
  SwitchBank frontSwitches;
  frontSwitches.Value = 0x24;
  Window first({&frontSwitches});
  ShowReceiver(first);
  EXPECT_EQ(ExternalReadCycle(0x8000, 0x00, 0xFF), 0x24);
  HideReceiver(front);  // out of order: the chain closes up
  HideReceiver(first);
  EXPECT_EQ(ExternalReadCycle(0x8000, 0x00, 0xFF), 0x42);
  HideReceiver(behind);
}

}  // namespace
}  // namespace dorvik::vhw
