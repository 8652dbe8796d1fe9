// The console front end in-process: lines typed while a command works run
// after it; questions on a terminal. Keys during runs, command files on pipes
// and the end of the input are the pseudo-terminal runs' (pty_test.cpp).

#include "console/frontend.h"

#include <string>
#include <unistd.h>

#include "base/runstate.h"
#include "debugger/executor.h"
#include "debugger/terminal.h"
#include "platform/pump.h"
#include "tests/support/console_fixture.h"

namespace dorvik::testing {
namespace {

class FrontEndTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    platform::ResetPump();
    ASSERT_EQ(pipe(in_), 0);
    ASSERT_EQ(pipe(out_), 0);
  }
  void TearDown() override {
    for (int fd : {in_[0], in_[1], out_[0], out_[1]})
      if (fd >= 0) close(fd);
    platform::ResetPump();
    ConsoleTest::TearDown();
  }
  void Type(const std::string& text) { ASSERT_EQ(write(in_[1], text.data(), text.size()), ssize_t(text.size())); }
  void EndInput() {
    close(in_[1]);
    in_[1] = -1;
  }
  std::string Output() {
    close(out_[1]);
    out_[1] = -1;
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(out_[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
  }
  // A command at work, as the run control's loop leaves it between slices.
  void CommandAtWork(bool programRunning) {
    Executor().Running = true;
    dorvik::Run().ProgramRunning = programRunning;
    if (programRunning) Terminal().MonitorPrompt = "run>";
  }
  void CommandDone() {
    Executor().Running = false;
    dorvik::Run().ProgramRunning = false;
    Terminal().MonitorPrompt = "hlt>";
  }

  int in_[2] = {-1, -1};
  int out_[2] = {-1, -1};
};

TEST_F(FrontEndTest, LinesTypedDuringACommandRunAfterIt) {
  console::ConsoleFrontEnd front(in_[0], out_[1], false, false);
  CommandAtWork(false);
  Type("CPU\n");
  front.PollDuringCommand();
  EXPECT_EQ(TerminalText(), "") << "nothing runs inside the command";
  EXPECT_FALSE(dorvik::Run().UserBreak);
  CommandDone();
  EndInput();
  EXPECT_EQ(front.Run(), 0);
  EXPECT_EQ(Output(), "hlt>CPU\nCPU =51\nhlt>\n");
}

// On a pipe a question takes its default (the pstep transcript); on a terminal
// it reads lines until one answers it.
TEST_F(FrontEndTest, QuestionsOnATerminalReadTheirAnswer) {
  console::ConsoleFrontEnd front(in_[0], out_[1], true, false);
  Terminal().Lines = {std::string()};
  Type("maybe\rn\r");
  EXPECT_EQ(ReportWarning(warn::kNoProjectDefined), kResultNo);
  const std::string text = TerminalText();
  EXPECT_NE(text.find("(y/n)? maybe\n(y/n)? n\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace dorvik::testing
