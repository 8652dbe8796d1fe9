#include "platform/process.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace dorvik::platform {
namespace {

namespace fs = std::filesystem;

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string t = (fs::temp_directory_path() / "dorvik-proc-XXXXXX").string();
    dir_ = ::mkdtemp(t.data());
  }
  void TearDown() override { fs::remove_all(dir_); }
  ProcessResult Shell(const std::string& script, uint32_t timeout = 0) {
    ProcessRequest req;
    req.Argv = {"/bin/sh", "-c", script};
    req.Capture = true;
    req.TimeoutMs = timeout;
    return runner_.Run(req);
  }
  std::string dir_;
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
}

TEST_F(ProcessTest, MissingWorkDirIsNotStarted) {
  ProcessRequest req;
  req.Argv = {"/bin/true"};
  req.WorkDir = dir_ + "/none";
  EXPECT_EQ(runner_.Run(req).Status, ProcessStatus::NotStarted);
}

TEST_F(ProcessTest, SignalIsToldApart) {
  const ProcessResult r = Shell("kill -TERM $$");
  EXPECT_EQ(r.Status, ProcessStatus::Signalled);
  EXPECT_EQ(r.ExitCode, 15);
}

TEST_F(ProcessTest, InputFileOutputFileAndFolder) {
  { std::ofstream(dir_ + "/in.txt") << "hello\n"; }
  ProcessRequest req;
  req.Argv = {"/bin/sh", "-c", "cat; pwd"};
  req.StdinPath = dir_ + "/in.txt";
  req.OutputPath = dir_ + "/out.txt";
  req.WorkDir = dir_;
  const ProcessResult r = runner_.Run(req);
  EXPECT_EQ(r.Status, ProcessStatus::Exited);
  std::ifstream in(dir_ + "/out.txt");
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), "hello\n" + fs::canonical(dir_).string() + "\n");
}

TEST_F(ProcessTest, MissingInputFileIsNotStarted) {
  ProcessRequest req;
  req.Argv = {"/bin/true"};
  req.StdinPath = dir_ + "/nothing";
  EXPECT_EQ(runner_.Run(req).Status, ProcessStatus::NotStarted);
}

}  // namespace
}  // namespace dorvik::platform
