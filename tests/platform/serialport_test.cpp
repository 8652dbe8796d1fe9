// The termios serial port on a pseudo-terminal: raw bytes both ways, errors
// with the system's code, the end of the line seen as a failure, and the
// device names of the COM ports.

#include <gtest/gtest.h>

#include <cerrno>
#include <pty.h>
#include <unistd.h>

#include "platform/serialport.h"

namespace dorvik::platform {
namespace {

TEST(SerialPortTest, OpenFailuresKeepTheSystemsCode) {
  SerialPort port;
  EXPECT_FALSE(port.Open("/nonexistent/ttyS99", 19200));
  EXPECT_EQ(port.LastError(), ENOENT);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.Open("/dev/null", 12345));  // not a speed
  EXPECT_EQ(port.LastError(), EINVAL);
  EXPECT_FALSE(port.Open("/dev/null", 19200));  // not a terminal
  EXPECT_EQ(port.LastError(), ENOTTY);
  port.Close();  // closing a closed port does nothing
}

TEST(SerialPortTest, RawBytesBothWaysAndHangUp) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  SerialPort port;
  ASSERT_TRUE(port.Open(ttyname(slave), 115200));
  EXPECT_EQ(port.Baud(), 115200);
  const uint8_t out[] = {'\r', '\n', 0x00, 0x11, 0x13, 0x1B, 0xFF};
  ASSERT_TRUE(port.Write(out, 1000));
  uint8_t got[16] = {};
  ASSERT_EQ(read(master, got, sizeof got), ssize_t(sizeof out));  // nothing translated or eaten
  EXPECT_EQ(std::vector<uint8_t>(got, got + sizeof out), std::vector<uint8_t>(out, out + sizeof out));
  EXPECT_EQ(port.WaitReadable(10), 0);
  EXPECT_EQ(port.ReadAvailable(got, sizeof got), 0);  // nothing there yet: not the end
  ASSERT_EQ(write(master, "\r\x11\x03", 3), 3);
  EXPECT_EQ(port.WaitReadable(1000), 1);
  EXPECT_EQ(port.ReadAvailable(got, sizeof got), 3);
  EXPECT_EQ(got[0], '\r');
  EXPECT_EQ(got[1], 0x11);
  EXPECT_EQ(got[2], 0x03);
  EXPECT_TRUE(port.SetBaud(9600));
  close(slave);
  close(master);
  // The other end is gone: a failure, never "nothing there".
  EXPECT_NE(port.WaitReadable(100), 0);  // readable (its end) or failed
  EXPECT_EQ(port.ReadAvailable(got, sizeof got), -1);
  EXPECT_FALSE(port.Write(out, 100));
}

}  // namespace
}  // namespace dorvik::platform
