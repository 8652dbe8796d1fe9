// The line under the monitor link: a command line whose sending failed is
// sent again (write failures injected in the transport, since a
// pseudo-terminal's writes never fail short of a hang-up), and the modem
// lines of the serial port, which a pseudo-terminal refuses.

#include <gtest/gtest.h>

#include <cerrno>
#include <pty.h>
#include <unistd.h>

#include "platform/serialport.h"
#include "tests/support/link_fixture.h"

namespace dorvik::testing {
namespace {

class LineRetryTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    StartOn(FakeTarget::Kind::Monitor);
    Fake().Poke(kSpaceXData, 0x100, {0x11});
  }
};

struct RetryCase {
  int32_t Failures;    // writes of the line that fail
  size_t BytesBefore;  // bytes of each failing write that went out
  const char* Wire;    // every byte the monitor received
  bool Shown;          // the failure reached the user (error 104, once)
};

// ESC only breaks off a line that went out in part; the first two attempts
// fail quietly; after the third, a broken-off line is ended too.
constexpr RetryCase kRetryCases[] = {
    {1, 0, "XBYT 00100\r", false},
    {1, 4, "XBYT\x1b" "XBYT 00100\r", false},
    {2, 4, "XBYT\x1b" "XBYT\x1b" "XBYT 00100\r", false},
    {3, 0, "", true},
    {3, 6, "XBYT 0\x1b" "XBYT 0\x1b" "XBYT 0\x1b", true},
};

TEST_F(LineRetryTest, FailedLineIsSentAgain) {
  for (const RetryCase& c : kRetryCases) {
    SCOPED_TRACE(c.Wire);
    LinkFailWritesForTesting(c.Failures, c.BytesBefore);
    EXPECT_EQ(Wire("XBYTE 100"), c.Wire);
    if (c.Shown) {
      EXPECT_EQ(Out(), "");
      EXPECT_EQ(Errors(), std::vector<int>{err::kTransmitTimeout});
    } else {
      EXPECT_EQ(Out(), "XDATA  0100=11 ' . '\n");
      EXPECT_TRUE(Errors().empty());
    }
    // Message boxes are on again and nothing is left over for the next command.
    EXPECT_EQ(Messages().MessageSuspendCount, 0);
    EXPECT_TRUE(Messages().ShowMessageBoxes);
    boxes_.Clear();
    EXPECT_EQ(Wire("XBYTE 100"), "XBYT 00100\r");
    EXPECT_EQ(Out(), "XDATA  0100=11 ' . '\n");
    EXPECT_TRUE(Errors().empty());
  }
}

// A pseudo-terminal has no modem lines: it refuses them, which the open takes
// in its stride; a closed port refuses them as closed.
TEST(ModemLinesTest, RefusedByAPseudoTerminal) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  platform::SerialPort port;
  ASSERT_TRUE(port.Open(ttyname(slave), 19200));
  EXPECT_EQ(port.LastError(), 0);
  for (bool (platform::SerialPort::*line)() : {&platform::SerialPort::CommSetRts, &platform::SerialPort::CommClearRts,
                                               &platform::SerialPort::CommSetDtr, &platform::SerialPort::CommClearDtr}) {
    EXPECT_FALSE((port.*line)());
    EXPECT_TRUE(platform::IsNoModemLines(port.LastError())) << port.LastError();
  }
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.CommSetRts());
  EXPECT_EQ(port.LastError(), EBADF);
  close(slave);
  close(master);
}

}  // namespace
}  // namespace dorvik::testing
