// The termios serial port on a pseudo-terminal: raw bytes both ways, errors
// with the system's code, the end of the line seen as a failure, and the
// device names of the COM ports.

#include <gtest/gtest.h>

#include <cerrno>
#include <pty.h>
#include <termios.h>
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
  // Every speed of the table reaches the line as its own rate; the neighbours
  // of the first and the last are refused and leave the rate as it was.
  const std::pair<int32_t, speed_t> speeds[] = {{300, B300},     {600, B600},       {1200, B1200},
                                                {2400, B2400},   {4800, B4800},     {9600, B9600},
                                                {19200, B19200}, {38400, B38400},   {57600, B57600},
                                                {115200, B115200}, {230400, B230400}};
  for (const auto& [baud, code] : speeds) {
    ASSERT_TRUE(port.SetBaud(baud)) << baud;
    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), code) << baud;
    EXPECT_EQ(port.Baud(), baud);
  }
  for (int32_t baud : {150, 460800}) {
    EXPECT_FALSE(IsSupportedBaud(baud)) << baud;
    EXPECT_FALSE(port.SetBaud(baud)) << baud;
    EXPECT_EQ(port.Baud(), 230400);
  }
  close(slave);
  close(master);
  // The other end is gone: a failure, never "nothing there".
  EXPECT_NE(port.WaitReadable(100), 0);  // readable (its end) or failed
  EXPECT_EQ(port.ReadAvailable(got, sizeof got), -1);
  EXPECT_FALSE(port.Write(out, 100));
}

}  // namespace
}  // namespace dorvik::platform
