// Receivers of the hardware-access message: who gets it, what it carries, and
// what an external-data read of the simulator makes of the reply.

#include "vhw/hardware.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/messages.h"
#include "base/runstate.h"
#include "machine/simulator.h"
#include "access/target.h"
#include "base/session.h"

namespace dorvik::vhw {
namespace {

struct Message {
  uint32_t Address;
  uint8_t Space;
  uint8_t Data;
  bool operator==(const Message&) const = default;
};

// A receiver that records every message and drives `Drive` when the read
// strobe rises (P3 written with bit 7 set).
class FakeReceiver : public HardwareReceiver {
 public:
  explicit FakeReceiver(int32_t drive = kNoReply) : drive_(drive) {}
  int32_t HardwareAccess(uint32_t address, uint8_t space, uint8_t data) override {
    Received.push_back({address, space, data});
    if (space == kSpaceSfr && address == kP3Address && (data & kReadStrobe)) return drive_;
    return kNoReply;
  }
  std::vector<Message> Received;

 private:
  int32_t drive_;
};

class HardwareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    InstallHardwareBus();
    dorvik::Run().TargetKind = kTargetSimulator;
  }
  void TearDown() override {
    InstallBus(nullptr);
    ResetSession();
  }
};

// Showing and hiding

// The last shown receiver gets the messages, none while none is shown; a
// receiver hidden out of order (by identity, not a saved handle) never
// receives again.
TEST_F(HardwareTest, TheLastShownReceiverGetsTheMessages) {
  EXPECT_FALSE(HardwareActive());
  EXPECT_EQ(SendHardwareAccess(kSpaceXData, 0x1234, 0x55), kNoReply);
  EXPECT_EQ(ExternalReadCycle(0x1234, 0x42, 0xFF), 0x42);
  FakeReceiver a, b;
  ShowReceiver(a);
  ShowReceiver(b);
  SendHardwareAccess(kSpaceXData, 0x10, 1);
  EXPECT_TRUE(a.Received.empty());
  EXPECT_EQ(b.Received.size(), 1u);
  ShowReceiver(a);  // again: to the front, not listed twice
  SendHardwareAccess(kSpaceXData, 0x11, 2);
  EXPECT_EQ(a.Received.size(), 1u);
  HideReceiver(a);
  EXPECT_EQ(ForemostReceiver(), &b);
  ShowReceiver(a);
  HideReceiver(b);  // out of order: A stays in front
  SendHardwareAccess(kSpaceXData, 0x20, 3);
  HideReceiver(a);
  SendHardwareAccess(kSpaceXData, 0x21, 4);
  EXPECT_EQ(a.Received.size(), 2u);
  EXPECT_EQ(b.Received.size(), 1u);
  EXPECT_FALSE(HardwareActive());
  HideReceiver(a);  // hiding twice is harmless
  EXPECT_EQ(ForemostReceiver(), nullptr);
}

TEST_F(HardwareTest, RepliesOutsideAByteMeanNoReply) {
  struct Odd : HardwareReceiver {
    int32_t reply;
    int32_t HardwareAccess(uint32_t, uint8_t, uint8_t) override { return reply; }
  } odd;
  ShowReceiver(odd);
  for (int32_t reply : {-1, -2, 256, 0x7FFFFFFF}) {
    odd.reply = reply;
    EXPECT_EQ(SendHardwareAccess(kSpaceXData, 0, 0), kNoReply) << reply;
  }
  odd.reply = 0;
  EXPECT_EQ(SendHardwareAccess(kSpaceXData, 0, 0), 0);
  HideReceiver(odd);
}

// The read cycle

TEST_F(HardwareTest, ReadCycleSendsOpeningStrobeAndClosingMessages) {
  struct Case { uint8_t P3; std::vector<Message> Expected; };
  const Case cases[] = {
      // RD high in the port image: strobe falls, rises (result), no restore.
      {0xFF,
       {{0x1234, 0x81, 0x42}, {0xB0, 0x02, 0x7F}, {0xB0, 0x02, 0xFF}, {0x1234, 0x01, 0x42}}},
      // RD low in the port image: it rises for the read and the pin view goes back low.
      {0x35,
       {{0x1234, 0x81, 0x42}, {0xB0, 0x02, 0xB5}, {0x1234, 0x01, 0x42}, {0xB0, 0x02, 0x35}}},
  };
  for (const Case& c : cases) {
    FakeReceiver r(0x5A);
    ShowReceiver(r);
    EXPECT_EQ(ExternalReadCycle(0x1234, 0x42, c.P3), 0x5A);
    EXPECT_EQ(r.Received, c.Expected) << "P3 " << int(c.P3);
    HideReceiver(r);
  }
}

// Through the access layer and the simulator

TEST_F(HardwareTest, AccessLayerXDataReadTakesTheDrivenByte) {
  Images().XDataImage[0x8000] = 0x11;
  EXPECT_EQ(TargetReadByte(kSpaceXData, 0x8000), 0x11);  // nobody listens
  FakeReceiver r(0x5A);
  ShowReceiver(r);
  EXPECT_EQ(TargetReadByte(kSpaceXData, 0x8000), 0x5A);
  EXPECT_EQ(Images().XDataImage[0x8000], 0x11);  // the image is not written
  EXPECT_EQ(Images().SfrImage[sfr::P3], 0xFF);   // neither is the port
  Images().SuppressXDataIO = true;
  r.Received.clear();
  EXPECT_EQ(TargetReadByte(kSpaceXData, 0x8000), 0x11);
  EXPECT_TRUE(r.Received.empty());
  HideReceiver(r);
}

TEST_F(HardwareTest, SimulatedMovxReadTakesTheDrivenByteAndWritesSendNothing) {
  // MOV DPTR,#8000H; MOVX A,@DPTR; MOVX @DPTR,A
  const uint8_t program[] = {0x90, 0x80, 0x00, 0xE0, 0xF0};
  std::copy(std::begin(program), std::end(program), Images().CodeImage.begin());
  CodeImageChanged();
  SimReset();
  FakeReceiver r(0xC3);
  ShowReceiver(r);
  SimStep(static_cast<uint16_t>(Images().SimPC));
  SimStep(static_cast<uint16_t>(Images().SimPC));
  EXPECT_EQ(Images().SfrImage[sfr::ACC], 0xC3);
  EXPECT_EQ(r.Received.size(), 4u);
  r.Received.clear();
  SimStep(static_cast<uint16_t>(Images().SimPC));
  EXPECT_TRUE(r.Received.empty());
  EXPECT_EQ(Images().XDataImage[0x8000], 0xC3);
  HideReceiver(r);
}

}  // namespace
}  // namespace dorvik::vhw
