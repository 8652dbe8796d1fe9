// The communication settings: the set-up dialog changes nothing until OK,
// OK applies the target kind, the breakpoint table's size and the line; a
// port that cannot be opened is reported with the system's text. The
// project file's [COM] entries and the console's command-line options.

#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include "access/links.h"
#include "console/commoptions.h"
#include "debugger/breakpoints.h"
#include "debugger/commsettings.h"
#include "project/config.h"
#include "tests/support/console_fixture.h"

namespace dorvik::testing {
namespace {

class CommSettingsTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
  }
  void TearDown() override {
    CloseLink();
    close(master_);
    close(slave_);
    ConsoleTest::TearDown();
  }
  int master_ = -1, slave_ = -1;
};

// Cancel changing nothing is the workbench session's check.
TEST_F(CommSettingsTest, OkAppliesAll) {
  CommSetupDialog dialog;
  dialog.SelectTarget(0);
  dialog.SelectPort(ttyname(slave_));
  dialog.SelectBaud(9600);
  EXPECT_TRUE(dialog.Ok());
  EXPECT_EQ(dorvik::Run().TargetKind, kTargetMonitor);
  EXPECT_EQ(Breakpoints().LastBreakIndex, 1);
  EXPECT_TRUE(LinkIsOpen());
  EXPECT_EQ(LinkBaud(), 9600);

  // Back to the simulator: the line is closed, eight breakpoints again.
  CommSetupDialog back;
  back.SelectTarget(2);
  EXPECT_TRUE(back.Ok());
  EXPECT_EQ(Breakpoints().LastBreakIndex, 7);
  EXPECT_FALSE(LinkIsOpen());
}

// The project's own serial settings, when the command line names none.
TEST_F(CommSettingsTest, ProjectSettingsOpenTheLine) {
  dorvik::Run().TargetKind = kTargetMonitor;
  Project().ComPort = ttyname(slave_);
  Project().BaudRate = 4800;
  console::ApplyStartCommSettings();
  EXPECT_EQ(LinkBaud(), 4800);
  EXPECT_EQ(Breakpoints().LastBreakIndex, 1);
}

TEST_F(CommSettingsTest, ProjectComSection) {
  platform::IniFile file;
  std::string port;
  int32_t baud = 19200;
  WriteComSettings(file, "COM2", 57600);
  ReadComSettings(file, port, baud);
  EXPECT_EQ(port, "COM2");
  EXPECT_EQ(baud, 57600);
  WriteComSettings(file, "/dev/ttyUSB0", 115200);
  ReadComSettings(file, port, baud);
  EXPECT_EQ(port, "/dev/ttyUSB0");
  EXPECT_EQ(baud, 115200);
  // A speed that is not offered falls back to 19200 with message 101.
  file.WriteInteger("COM", "Baud", 12345);
  ReadComSettings(file, port, baud);
  EXPECT_EQ(baud, 19200);
  EXPECT_EQ(Errors(), std::vector<int>{err::kBadValueBaudCommunicationSpeed});
}

TEST_F(CommSettingsTest, CommandLineOptions) {
  std::string device = ttyname(slave_);
  std::string a0 = "dorvik51", a1 = "--port", a3 = "--baud=38400", a4 = "PROGRAM.HEX", a5 = "--target", a6 = "adUC";
  char* argv[] = {a0.data(), a1.data(), device.data(), a3.data(), a4.data(), a5.data(), a6.data(), nullptr};
  int argc = 7;
  std::string error;
  ASSERT_TRUE(console::TakeCommOptions(argc, argv, error)) << error;
  EXPECT_EQ(argc, 2);  // the rest is left for the other options
  EXPECT_STREQ(argv[1], "PROGRAM.HEX");
  EXPECT_EQ(argv[2], nullptr);
  // Applied once the project is read: over its settings.
  EXPECT_EQ(dorvik::Run().TargetKind, kTargetSimulator);
  Project().BaudRate = 9600;
  console::ApplyStartCommSettings();
  EXPECT_EQ(dorvik::Run().TargetKind, kTargetAduc);
  EXPECT_EQ(LinkBaud(), 38400);
  EXPECT_EQ(LinkDevice(), device);

  std::string b1 = "--baud", b2 = "12000", c1 = "--target", c2 = "Z80", d1 = "--port";
  char* bad1[] = {a0.data(), b1.data(), b2.data(), nullptr};
  argc = 3;
  EXPECT_FALSE(console::TakeCommOptions(argc, bad1, error));
  EXPECT_NE(error.find("12000"), std::string::npos);
  char* bad2[] = {a0.data(), c1.data(), c2.data(), nullptr};
  argc = 3;
  EXPECT_FALSE(console::TakeCommOptions(argc, bad2, error));
  char* bad3[] = {a0.data(), d1.data(), nullptr};
  argc = 2;
  EXPECT_FALSE(console::TakeCommOptions(argc, bad3, error));
  EXPECT_EQ(error, "--port needs a value");
}

}  // namespace
}  // namespace dorvik::testing
