// The console front end in-process: the input poll that the message pump runs
// while a command works (breaks, HALT, error 144, type-ahead), and the main
// loop on a pipe.

#include "console/frontend.h"

#include <chrono>
#include <string>
#include <thread>
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

TEST_F(FrontEndTest, ACommandFilesLinesWaitUntilTheRunEnds) {
  console::ConsoleFrontEnd front(in_[0], out_[1], false, false);
  CommandAtWork(true);
  Type("HALT\nCPU\n");
  EndInput();
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  platform::PumpMessages();
  EXPECT_FALSE(dorvik::Run().UserBreak) << "neither a line nor the end of the input stops the run";
  EXPECT_FALSE(Terminal().EndOfInput);
  CommandDone();
  EXPECT_EQ(front.Run(), 0);
  EXPECT_EQ(Output(), "hlt>HALT\nhlt>CPU\nCPU =51\nhlt>\n");
}

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

TEST_F(FrontEndTest, RawKeysDuringARunEchoBreakAndRunTheLinesAllowed) {
  console::ConsoleFrontEnd front(in_[0], out_[1], true, false);
  CommandAtWork(true);
  ShowCursor();
  Type("\x1b");
  front.PollDuringCommand();
  EXPECT_TRUE(dorvik::Run().UserBreak);
  dorvik::Run().UserBreak = false;
  Type("\x03");
  front.PollDuringCommand();
  EXPECT_TRUE(dorvik::Run().UserBreak);
  dorvik::Run().UserBreak = false;
  // Typed text shows as it is typed; Backspace, Home and Left edit it.
  Type("ASE\x1b[HB\x1b[D\x1b[DX\x7f");
  front.PollDuringCommand();
  EXPECT_EQ(Terminal().Lines.back(), "run>BASE");
  Type("\rDBYTE 0\rLOAD\rHA\r");
  front.PollDuringCommand();
  EXPECT_EQ(TerminalText(),
            "run>BASE\nBASE =HEX \nrun>DBYTE 0\nError #144: Command form not allowed during user program run\n"
            "run>LOAD\nError #118: Syntax Error\nrun>HA\n");
  EXPECT_TRUE(dorvik::Run().UserBreak) << "HA halts as HALT does";
  EXPECT_FALSE(Messages().ErrorFlag) << "the running command does not take the lines' errors as its own";
  dorvik::Run().UserBreak = false;
  Type("\x04");
  front.PollDuringCommand();
  EXPECT_TRUE(Terminal().ExitRequested && dorvik::Run().UserBreak) << "Ctrl+D ends the program, halting it";
  CommandDone();
}

TEST_F(FrontEndTest, TheEndOfATerminalsInputBreaksARunAndAnswersReadKey) {
  console::ConsoleFrontEnd front(in_[0], out_[1], true, false);
  CommandAtWork(true);
  EndInput();
  front.PollDuringCommand();
  EXPECT_TRUE(dorvik::Run().UserBreak) << "a running program is halted at the end of the input";
  EXPECT_TRUE(Terminal().EndOfInput);
  EXPECT_EQ(ReadKey(), 27);
  CommandDone();
}

TEST_F(FrontEndTest, ReadKeyTakesOnlyStepKeysOfPipedInput) {
  console::ConsoleFrontEnd front(in_[0], out_[1], false, false);
  CommandAtWork(false);
  Type("\n\x1b\nq\n");
  EXPECT_EQ(ReadKey(), '\r') << "an empty line is Enter";
  EXPECT_EQ(ReadKey(), 27);
  EXPECT_TRUE(dorvik::Run().UserBreak) << "ESC alone is Esc";
  dorvik::Run().UserBreak = false;
  EXPECT_EQ(ReadKey(), 27);
  EXPECT_FALSE(dorvik::Run().UserBreak) << "another line ends the loop without a break";
  EXPECT_EQ(ReadKey(), 27);
  CommandDone();
  EndInput();
  EXPECT_EQ(front.Run(), 0);
  EXPECT_NE(Output().find("hlt>q\n"), std::string::npos) << "the line stays a command";
}

TEST_F(FrontEndTest, QuestionsTakeTheirDefaultUnlessTheInputIsATerminal) {
  {
    console::ConsoleFrontEnd front(in_[0], out_[1], false, false);
    Terminal().Lines = {std::string()};
    Type("y\n");
    EXPECT_EQ(ReportWarning(warn::kNoProjectDefined), kResultNo);
    EXPECT_NE(TerminalText().find("(y/n)? n (input is not a terminal)\n"), std::string::npos) << TerminalText();
  }
  console::ConsoleFrontEnd front(in_[0], out_[1], true, false);
  Terminal().Lines = {std::string()};
  EXPECT_EQ(ReportWarning(warn::kNoProjectDefined), kResultYes) << "the line left by the pipe's question";
  Type("maybe\rn\r");
  EXPECT_EQ(ReportWarning(warn::kNoProjectDefined), kResultNo);
  const std::string text = TerminalText();
  EXPECT_NE(text.find("(y/n)? maybe\n(y/n)? n\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace dorvik::testing
