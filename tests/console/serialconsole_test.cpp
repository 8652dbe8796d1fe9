// The real dorvik51 on a fake monitor board and a fake ADuC chip: the
// program of the command line loaded over the line, a run to a breakpoint
// seen by the console's own idle loop, memory shown from the board; a port
// that cannot be opened is reported and the console still takes commands.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "../assembler/asm_test_util.h"
#include "../support/fake_targets.h"

namespace dorvik::testing {
namespace {

namespace fs = std::filesystem;
namespace tu = as::testutil;

// Runs dorvik51 with Args in Dir; Input: shell commands whose output is its standard input.
std::string RunConsole(const fs::path& dir, const std::string& args, const std::string& input) {
  const std::string line =
      "cd '" + dir.string() + "' && (" + input + ") | '" + DORVIK_BIN_DIR + "/dorvik51' " + args + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  std::string output;
  char buffer[4096];
  size_t n = 0;
  while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  if (pipe) pclose(pipe);
  return output;
}

class SerialConsoleTest : public ::testing::TestWithParam<FakeTarget::Kind> {};

TEST_P(SerialConsoleTest, LoadRunAndShowOverTheLine) {
  const fs::path dir = tu::ScratchDir("serial");
  fs::copy_file(fs::path(DORVIK_SOURCE_DIR) / "examples/sum/sum.a51", dir / "sum.a51");
  tu::AssembleAt(dir / "sum.a51", "NOPRINT NOOBJECT HEX");
  FakeTarget fake(GetParam());
  ASSERT_TRUE(fake.Started());
  const bool monitor = GetParam() == FakeTarget::Kind::Monitor;
  const std::string target = std::string(" --target ") + (monitor ? "OVIX52" : "ADUC");
  // The reset: the monitor's banner (version 4 acknowledges records), the ADuC's announcement.
  const std::string reset = RunConsole(dir, "--port " + fake.Device() + " --baud 57600" + target,
                                       "printf 'RESET CPU\\n'; sleep 0.3; printf 'R3\\n'");
  EXPECT_EQ(reset.find("Error"), std::string::npos) << reset;
  if (monitor) {
    EXPECT_NE(reset.find("OVIX-52 V4.0 USER 0000"), std::string::npos) << reset;
  }
  // The program of the command line loaded over the line, a run to DONE that
  // the console's idle loop sees end, the total read from the board.
  // The target announces itself when the line opens: read before the load
  // (a version 4 monitor's acknowledgements, the ADuC's download speed).
  fake.AnnounceUntilSpokenTo(monitor ? "\r\nOVIX-52 V4.0 USER 0000\r\n-" : "ADI 841\r\n");
  const std::string run = RunConsole(dir, "--port " + fake.Device() + target + " sum.hex",
                                     "sleep 0.3; printf 'GO FROM 0 TILL 42\\n'; sleep 0.5; printf 'DBYTE 40\\n'");
  EXPECT_NE(run.find("Load succesful"), std::string::npos) << run;
  EXPECT_NE(run.find("EXECUTION HALTED AT 0042"), std::string::npos) << run;
  EXPECT_NE(run.find("IDATA  0040=0F"), std::string::npos) << run;
  EXPECT_EQ(fake.Memory(kSpaceIData, 0x40, 1), std::vector<uint8_t>{0x0F});
  EXPECT_EQ(run.find("Error"), std::string::npos) << run;
  if (!monitor) {
    // The download went at its own speed: the speed change packet, 115200's Timer-3 setting.
    EXPECT_NE(fake.Received().find(std::string("\x07\x0E\x03" "B\x82\x09", 6)), std::string::npos);
  }
}

TEST(SerialConsoleStartTest, PortThatCannotBeOpened) {
  const fs::path dir = tu::ScratchDir("noport");
  const std::string out = RunConsole(dir, "--port /nonexistent/ttyS9 --target OVIX52", "printf 'XBYTE 0\\nBASE\\n'");
  EXPECT_NE(out.find("Error #100: RS-232 initialization failed (Device not present?): No such file or directory"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Error #161: Target device is not responding"), std::string::npos) << out;
  EXPECT_NE(out.find("BASE =HEX"), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(BothTargets, SerialConsoleTest,
                         ::testing::Values(FakeTarget::Kind::Monitor, FakeTarget::Kind::Aduc),
                         [](const auto& info) { return info.param == FakeTarget::Kind::Monitor ? "Monitor" : "Aduc"; });

}  // namespace
}  // namespace dorvik::testing
