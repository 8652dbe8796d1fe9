#include "base/runprogram.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/messages.h"
#include "platform/reporter.h"
#include "tests/platform/scratch_dir.h"
#include "base/mainform.h"
#include "base/session.h"

namespace dorvik {
namespace {

class RunProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    SetSettingsFileNames(dir_ + "/dorvik51", dir_);
    platform::SetReporter(&boxes_);
  }
  void TearDown() override {
    platform::SetReporter(nullptr);
    ResetSession();
  }
  std::string Protocol() { return test_util::ReadAll(MainForm().ErrorProtocolFile); }
  test_util::ScratchDir scratch_;
  const std::string& dir_ = scratch_.Path();
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
  // A visible run waits for the end too.
  EXPECT_EQ(RunProgramAndWait("exit 0", false).Outcome, ProgramOutcome::Ended);
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
  // So does a runner that is no program.
  const std::string fake = dir_ + "/not-executable";
  std::ofstream(fake) << "plain text\n";
  RunProgramConfig().CommandRunner = fake;
  const ProgramRun r2 = RunProgramAndWait("true", false);
  EXPECT_EQ(r2.Outcome, ProgramOutcome::RunnerMissing);
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

}  // namespace
}  // namespace dorvik
