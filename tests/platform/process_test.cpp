#include "platform/process.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/platform/scratch_dir.h"

namespace dorvik::platform {
namespace {

namespace fs = std::filesystem;

class ProcessTest : public ::testing::Test {
 protected:
  ProcessResult Shell(const std::string& script, uint32_t timeout = 0) {
    ProcessRequest req;
    req.Argv = {"/bin/sh", "-c", script};
    req.Capture = true;
    req.TimeoutMs = timeout;
    return runner_.Run(req);
  }
  test_util::ScratchDir scratch_;
  const std::string& dir_ = scratch_.Path();
  PosixProcessRunner runner_;
};

TEST_F(ProcessTest, ExitStatusIsReported) {
  for (int code : {0, 1, 3, 127}) {
    const ProcessResult r = Shell("exit " + std::to_string(code));
    EXPECT_EQ(r.Status, ProcessStatus::Exited);
    EXPECT_EQ(r.ExitCode, code);
  }
}

TEST_F(ProcessTest, OutputIsCapturedWholeIncludingStderr) {
  const ProcessResult r =
      Shell("echo out; echo err 1>&2; i=0; while [ $i -lt 2000 ]; do echo line$i; i=$((i+1)); done");
  EXPECT_EQ(r.Status, ProcessStatus::Exited);
  EXPECT_EQ(r.Output.rfind("out\nerr\nline0\n", 0), 0u);
  EXPECT_NE(r.Output.find("line1999\n"), std::string::npos);
}

TEST_F(ProcessTest, TimeOutKillsTheCommandAndItsChildren) {
  const ProcessResult r = Shell("sleep 30 & sleep 30; echo never", 100);
  EXPECT_EQ(r.Status, ProcessStatus::TimedOut);
  // The caller's own stop, asked while the program runs.
  ProcessRequest req;
  req.Argv = {"/bin/sh", "-c", "sleep 30 & sleep 30"};
  int asked = 0;
  req.KeepWaiting = [&asked] { return ++asked < 3; };
  EXPECT_EQ(runner_.Run(req).Status, ProcessStatus::Stopped);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(r.Output.find("never"), std::string::npos);
}

TEST_F(ProcessTest, MissingProgramIsNotStarted) {
  ProcessRequest req;
  req.Argv = {dir_ + "/no-such-program"};
  const ProcessResult r = runner_.Run(req);
  EXPECT_EQ(r.Status, ProcessStatus::NotStarted);
  EXPECT_EQ(r.Error, ENOENT);
  req.Argv = {"dorvik-no-such-program-on-path"};
  EXPECT_EQ(runner_.Run(req).Status, ProcessStatus::NotStarted);
  req.Argv = {};
  EXPECT_EQ(runner_.Run(req).Status, ProcessStatus::NotStarted);
  // Nor is one whose folder or input file is missing.
  req.Argv = {"/bin/true"};
  req.WorkDir = dir_ + "/none";
  EXPECT_EQ(runner_.Run(req).Status, ProcessStatus::NotStarted);
  req.WorkDir.clear();
  req.StdinPath = dir_ + "/nothing";
  EXPECT_EQ(runner_.Run(req).Status, ProcessStatus::NotStarted);
}

TEST_F(ProcessTest, SignalIsToldApart) {
  const ProcessResult r = Shell("kill -TERM $$");
  EXPECT_EQ(r.Status, ProcessStatus::Signalled);
  EXPECT_EQ(r.ExitCode, 15);
}

TEST_F(ProcessTest, InputFileOutputFileAndFolder) {
  ProcessRequest req;
  req.Argv = {"/bin/sh", "-c", "cat; pwd"};
  req.StdinPath = scratch_.Write("in.txt", "hello\n");
  req.OutputPath = dir_ + "/out.txt";
  req.WorkDir = dir_;
  const ProcessResult r = runner_.Run(req);
  EXPECT_EQ(r.Status, ProcessStatus::Exited);
  EXPECT_EQ(test_util::ReadAll(dir_ + "/out.txt"), "hello\n" + fs::canonical(dir_).string() + "\n");
}

}  // namespace
}  // namespace dorvik::platform
