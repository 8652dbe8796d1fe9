#include "core/runprogram.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/messages.h"
#include "platform/reporter.h"
#include "workbench/mainform.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;

class RunProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string t = (fs::temp_directory_path() / "dorvik-run-XXXXXX").string();
    dir_ = ::mkdtemp(t.data());
    ResetMainForm();
    SetSettingsFileNames(dir_ + "/dorvik51", dir_);
    ResetRunProgramConfig();
    ResetMessages();
    platform::SetReporter(&boxes_);
  }
  void TearDown() override {
    platform::SetReporter(nullptr);
    ResetRunProgramConfig();
    fs::remove_all(dir_);
  }
  std::string Protocol() {
    std::ifstream in(MainForm().ErrorProtocolFile);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string dir_;
  platform::ScriptedReporter boxes_;
};

TEST_F(RunProgramTest, HiddenRunEndsWithStatusAndOutputInProtocol) {
  const ProgramRun r = RunProgramAndWait("echo SDCC banner; echo oops 1>&2; exit 4", true);
  EXPECT_EQ(r.Outcome, ProgramOutcome::Ended);
  EXPECT_EQ(r.ExitCode, 4);
  EXPECT_EQ(r.Result(), 0);
  EXPECT_EQ(Protocol(), "SDCC banner\noops\n");
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(RunProgramTest, MissingRunnerReports406) {
  RunProgramConfig().CommandRunner = dir_ + "/no-shell";
  const ProgramRun r = RunProgramAndWait("true", true);
  EXPECT_EQ(r.Outcome, ProgramOutcome::RunnerMissing);
  EXPECT_EQ(r.Result(), -1);
  EXPECT_EQ(Messages().LastErrorCode, 406);
  EXPECT_TRUE(Messages().ErrorFlag);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].Caption, "Error #406");
}

TEST_F(RunProgramTest, RunnerThatCannotStartReports406) {
  const std::string fake = dir_ + "/not-executable";
  std::ofstream(fake) << "plain text\n";
  RunProgramConfig().CommandRunner = fake;
  const ProgramRun r = RunProgramAndWait("true", false);
  EXPECT_EQ(r.Outcome, ProgramOutcome::RunnerMissing);
  EXPECT_EQ(Messages().LastErrorCode, 406);
}

TEST_F(RunProgramTest, MissingProgramIsToldApart) {
  const ProgramRun r = RunProgramAndWait(dir_ + "/no-compiler -v", true);
  EXPECT_EQ(r.Outcome, ProgramOutcome::ProgramMissing);
  EXPECT_EQ(r.Result(), -1);
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(RunProgramTest, HiddenRunTimesOutWithError108) {
  RunProgramConfig().HiddenTimeoutMs = 100;
  const ProgramRun r = RunProgramAndWait("sleep 20", true);
  EXPECT_EQ(r.Outcome, ProgramOutcome::TimedOut);
  EXPECT_EQ(r.Result(), -1);
  EXPECT_EQ(Messages().LastErrorCode, 108);
}

TEST_F(RunProgramTest, VisibleRunWaitsForTheEnd) {
  const ProgramRun r = RunProgramAndWait("exit 0", false);
  EXPECT_EQ(r.Outcome, ProgramOutcome::Ended);
  EXPECT_EQ(r.ExitCode, 0);
}

}  // namespace
}  // namespace dorvik
