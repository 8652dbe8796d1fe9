// End-to-end runs of the real dorvik51 on a pseudo-terminal: raw keys at the
// prompt (Backspace, Home, Left), Esc and Ctrl+C that never end the program,
// and Ctrl+D and Alt+X that end it with the terminal's modes restored.
// Esc, Ctrl+C and a typed HALT stop a GO that runs forever. On pipes: the
// prompt shows while the console waits, a GO is waited for, and SIGINT and
// SIGTERM stop it and end the program; a command file longer than one read
// runs whole. On a fake monitor board: RBS before
// the first stop and a step that the board refuses.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

#include "tests/support/fake_targets.h"

namespace {

class PtyRun {
 public:
  // Pipes: standard input and output are two pipes instead of the terminal.
  explicit PtyRun(bool pipes = false, std::vector<std::string> args = {}) {
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (pipes) {
      if (pipe(in) != 0 || pipe(out) != 0) return;
      master_ = out[0];
      input_ = in[1];
    } else {
      if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
      tcgetattr(slave_, &before_);
      input_ = master_;
    }
    pid_ = fork();
    if (pid_ == 0 && pipes) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    } else if (pid_ == 0) {
      setsid();
      ioctl(slave_, TIOCSCTTY, 0);
      dup2(slave_, 0);
      dup2(slave_, 1);
      dup2(slave_, 2);
      close(master_);
      close(slave_);
    }
    if (pid_ == 0) {
      const std::string bin = std::string(DORVIK_BIN_DIR) + "/dorvik51";
      std::vector<char*> argv{const_cast<char*>(bin.c_str())};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(bin.c_str(), argv.data());
      _exit(127);
    }
    if (pipes) {
      close(in[0]);
      close(out[1]);
    }
  }
  ~PtyRun() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
    if (input_ >= 0 && input_ != master_) close(input_);
  }

  bool Started() const { return pid_ > 0; }

  void Send(const std::string& keys) { ASSERT_EQ(write(input_, keys.data(), keys.size()), ssize_t(keys.size())); }
  // Everything read so far.
  const std::string& Output() const { return output_; }

  // Reads until Text appears after what was waited for before (5 s at most).
  bool WaitFor(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
      const size_t at = output_.find(text, seen_);
      if (at != std::string::npos) {
        seen_ = at + text.size();
        return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[1024];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) return false;
      output_.append(buffer, static_cast<size_t>(n));
    }
  }

  // The exit status, or -1 when the program did not end within 5 s.
  int Wait() {
    for (int i = 0; i < 500; ++i) {
      int status = 0;
      // Keep the pty's buffer drained while the program ends.
      char buffer[1024];
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 0) > 0) {
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0) output_.append(buffer, static_cast<size_t>(n));
      }
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10000);
    }
    return -1;
  }

  void Signal(int sig) { kill(pid_, sig); }
  // The end of the input.
  void CloseInput() {
    if (input_ != master_) close(input_);
    input_ = -1;
  }

  bool Alive() { return waitpid(pid_, nullptr, WNOHANG) == 0; }

  // The terminal's modes now equal those before the program started.
  bool ModesRestored() {
    termios now{};
    tcgetattr(slave_, &now);
    const tcflag_t lmask = ICANON | ECHO | ISIG | IEXTEN;
    const tcflag_t imask = ICRNL | IXON;
    return (now.c_lflag & lmask) == (before_.c_lflag & lmask) && (now.c_iflag & imask) == (before_.c_iflag & imask) &&
           (before_.c_lflag & ICANON) != 0 && (before_.c_lflag & ECHO) != 0;
  }
  bool InRawMode() {
    termios now{};
    tcgetattr(slave_, &now);
    return (now.c_lflag & (ICANON | ECHO | ISIG)) == 0;
  }

 private:
  int master_ = -1;  // the terminal, or the output pipe
  int slave_ = -1;
  int input_ = -1;   // where keys are written
  pid_t pid_ = -1;
  bool exited_ = false;
  termios before_{};
  std::string output_;
  size_t seen_ = 0;
};

TEST(PtyTest, RawKeysAtThePrompt) {
  PtyRun run;
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  EXPECT_TRUE(run.InRawMode());
  // Backspace right after the prompt leaves it; the line still works.
  run.Send("\x7f" "CPU\r");
  ASSERT_TRUE(run.WaitFor("CPU =51"));
  ASSERT_TRUE(run.WaitFor("hlt>"));
  // Home goes to just after the prompt.
  run.Send("PU\x1b[HC\r");
  ASSERT_TRUE(run.WaitFor("CPU =51"));
  ASSERT_TRUE(run.WaitFor("hlt>"));
  // Left moves back within the line, never into the prompt.
  run.Send("CU\x1b[DP\r");
  ASSERT_TRUE(run.WaitFor("CPU =51"));
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("\x1b[D\x1b[D\x1b[D" "DEFINE\r");
  ASSERT_TRUE(run.WaitFor("DEFINECMD"));
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("\x04");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_TRUE(run.ModesRestored());
}

// Keys typed before the console has set up the terminal (in its first
// milliseconds) are kept and run as typed.
TEST(PtyTest, KeysTypedAtStartRun) {
  PtyRun run;
  ASSERT_TRUE(run.Started());
  run.Send("CPU\r");
  ASSERT_TRUE(run.WaitFor("CPU =51")) << run.Output();
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("\x04");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_TRUE(run.ModesRestored());
}

TEST(PtyTest, EscAndCtrlCDoNotEndTheProgram) {
  PtyRun run;
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("\x1b");
  usleep(100000);
  run.Send("\x03");
  usleep(100000);
  EXPECT_TRUE(run.Alive());
  run.Send("DEFINE\r");
  ASSERT_TRUE(run.WaitFor("DEFINECMD"));
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("\x04");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_TRUE(run.ModesRestored());
}

TEST(PtyTest, AltXEndsTheProgram) {
  PtyRun run;
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("\x1bx");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_TRUE(run.ModesRestored());
}

TEST(PtyTest, ATerminatingSignalRestoresTheTerminal) {
  PtyRun run;
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  EXPECT_TRUE(run.InRawMode());
  // The program ends by the signal's default action, the modes restored first.
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(), 128 + SIGTERM);
  EXPECT_TRUE(run.ModesRestored());
}

// An endless SJMP $ at 0000 started by GO; Keys stop it. The halt report
// stands on a line of its own and the stopped prompt follows.
void StopsAnEndlessRun(const std::string& keys) {
  PtyRun run;
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("CBYTE 0 = 80,FE\r");
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("GO\r");
  ASSERT_TRUE(run.WaitFor("run>"));
  // A line typed during the run gets 144; the run goes on.
  run.Send("XBYTE 0\r");
  ASSERT_TRUE(run.WaitFor("Error #144: Command form not allowed during user program run"));
  ASSERT_TRUE(run.WaitFor("run>"));
  EXPECT_TRUE(run.Alive());
  run.Send(keys);
  ASSERT_TRUE(run.WaitFor("EXECUTION HALTED AT 0000"));
  ASSERT_TRUE(run.WaitFor("\r\nhlt>"));
  run.Send("R\r");
  ASSERT_TRUE(run.WaitFor("PC=0000"));
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("\x04");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_TRUE(run.ModesRestored());
}

TEST(PtyTest, EscStopsARun) { StopsAnEndlessRun("\x1b"); }

TEST(PtyTest, CtrlCStopsARunAndTheProgramGoesOn) { StopsAnEndlessRun("\x03"); }

TEST(PtyTest, TypedHaltStopsARun) { StopsAnEndlessRun("HALT\r"); }

// During a run: typed text echoes after "run>" with Backspace and Left
// working; BASE runs, a command that needs a stopped target gets 144, a line
// that is no command 118; Alt+X ends the program, halting the run first.
TEST(PtyTest, LinesTypedDuringARun) {
  PtyRun run;
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("CBYTE 0 = 80,FE\rGO\r");
  ASSERT_TRUE(run.WaitFor("run>"));
  run.Send("XBYTE 0");
  ASSERT_TRUE(run.WaitFor("XBYTE 0"));
  run.Send("\r");
  ASSERT_TRUE(run.WaitFor("Error #144: Command form not allowed during user program run"));
  run.Send("BAE\x1b[DS\r");
  ASSERT_TRUE(run.WaitFor("BASE =HEX"));
  run.Send("DEFINEX\x7f\r");
  ASSERT_TRUE(run.WaitFor("DEFINECMD"));
  run.Send("LOAD\r");
  ASSERT_TRUE(run.WaitFor("Error #118: Syntax Error"));
  ASSERT_TRUE(run.WaitFor("run>"));
  run.Send("\x1bx");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_NE(run.Output().find("EXECUTION HALTED AT 0000"), std::string::npos);
  EXPECT_TRUE(run.ModesRestored());
}

// A TRACE over a call that never returns shows "run>"; Esc stops it where
// the program is. Ctrl+D in the STEP key loop ends the program.
TEST(PtyTest, LongStepShowsRunAndStopsAtEscCtrlDEndsTheKeyLoop) {
  PtyRun run;
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("CBYTE 0 = 12,00,05,00,00,80,0FE\rTRACE\r");
  ASSERT_TRUE(run.WaitFor("run>"));
  run.Send("\x1b");
  ASSERT_TRUE(run.WaitFor("0000H LCALL   05----->0005H SJMP    05"));
  ASSERT_TRUE(run.WaitFor("EXECUTION HALTED AT 0005"));
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("STEP\r");
  ASSERT_TRUE(run.WaitFor("0005H SJMP    05----->0005H SJMP    05"));
  run.Send("\x04");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_TRUE(run.ModesRestored());
}

// Ctrl+D during a GO ends the program.
TEST(PtyTest, CtrlDEndsARun) {
  PtyRun run;
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("CBYTE 0 = 80,FE\rGO\r");
  ASSERT_TRUE(run.WaitFor("run>"));
  run.Send("\x04");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_TRUE(run.ModesRestored());
}

// A command file on a pipe: the prompt is there before any line arrives; a
// GO that never halts holds the next line back; a signal stops it, ends the
// program cleanly with its status, and the held line never runs.
void SignalEndsAPipedRun(int sig, int status) {
  PtyRun run(true);
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("CBYTE 10 = 80,FE\nGO FROM 10\nR\n");
  ASSERT_TRUE(run.WaitFor("hlt>GO FROM 10\n"));
  usleep(100000);
  EXPECT_TRUE(run.Alive());
  run.Signal(sig);
  EXPECT_EQ(run.Wait(), status);
  ASSERT_TRUE(run.WaitFor("EXECUTION HALTED AT 0010\nhlt>\n"));
  EXPECT_EQ(run.Output().find("PC="), std::string::npos) << run.Output();
}

TEST(PipeTest, SigintStopsARunAndEndsWith130) { SignalEndsAPipedRun(SIGINT, 130); }

TEST(PipeTest, SigtermStopsARunAndEndsWith143) { SignalEndsAPipedRun(SIGTERM, 143); }

// A command file longer than one read: every line runs in its order, the
// step keys of STEP across the reads too, and a last line without its line end.
TEST(PipeTest, ACommandFileLongerThanOneReadRunsWhole) {
  PtyRun run(true);
  ASSERT_TRUE(run.Started());
  std::string script;
  for (int i = 0; i < 1000; ++i) script += "R3 = " + std::to_string(i % 100) + "\n";
  script += "CBYTE 0 = 80,0FE\nSTEP\n" + std::string(700, '\n') + "\x1b\nR4 = 7";
  ASSERT_GT(script.size(), 8192u);
  run.Send(script);
  run.CloseInput();
  ASSERT_TRUE(run.WaitFor("EXECUTION HALTED AT 0000\nhlt>R4 = 7\nhlt>\n"));
  EXPECT_EQ(run.Wait(), 0);
  const std::string& output = run.Output();
  const auto count = [&output](const std::string& text) {
    size_t n = 0;
    for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("hlt>R3 = "), 1000u);
  EXPECT_NE(output.find("hlt>R3 = 99\nhlt>R3 = 0\n"), std::string::npos);
  EXPECT_EQ(count("----->"), 701u);
}

// On a fake monitor board: RBS before any stop shows bank 0 without asking
// the board; a step command that the monitor refuses is one message (its own
// error text), the step ends, and the next command works.
TEST(PtyTest, MonitorBoardRbsAtStartAndRefusedStep) {
  dorvik::testing::FakeTarget fake(dorvik::testing::FakeTarget::Kind::Monitor);
  ASSERT_TRUE(fake.Started());
  fake.Poke(dorvik::kSpaceXData, 0, {0x5A});
  PtyRun run(false, {"--port", fake.Device(), "--target", "OVIX52"});
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("RBS\r");
  ASSERT_TRUE(run.WaitFor("RBS =0\r")) << run.Output();
  ASSERT_TRUE(run.WaitFor("hlt>"));
  fake.SetFault(dorvik::testing::Fault::Nak, 1);  // the PC goes in, the step command is refused
  run.Send("STEP FROM 0\r");
  ASSERT_TRUE(run.WaitFor("Error #107: Target error: \"ERR 05 COMMAND REFUSED\""));
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("XBYTE 0\r");
  ASSERT_TRUE(run.WaitFor("XDATA  0000=5A"));
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("\x04");
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_EQ(run.Output().find("Error #161"), std::string::npos) << run.Output();
  EXPECT_EQ(run.Output().find("----->"), std::string::npos) << run.Output();
  const std::string wire = fake.Received();
  EXPECT_NE(wire.find("PC=0000\rS\r\x1b"), std::string::npos) << wire;
}

// On both fake boards: a stop report that arrives garbled ends the run with
// one message and the prompt; a start the board refuses is one message and
// leaves code memory as it was (no break byte left in the ADuC's flash).
TEST(PtyTest, BoardGarbledStopAndRefusedStart) {
  using dorvik::testing::Fault;
  using dorvik::testing::FakeTarget;
  for (const bool monitor : {true, false}) {
    SCOPED_TRACE(monitor);
    FakeTarget fake(monitor ? FakeTarget::Kind::Monitor : FakeTarget::Kind::Aduc);
    ASSERT_TRUE(fake.Started());
    fake.Poke(dorvik::kSpaceCode, 0, {0x74, 0x05, 0x04, 0x80, 0xFD});
    PtyRun run(false, {"--port", fake.Device(), "--target", monitor ? "OVIX52" : "ADUC"});
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.WaitFor("hlt>"));
    fake.SetFault(Fault::GarbledStop);
    run.Send("GO FROM 0 TILL 3\r");
    ASSERT_TRUE(run.WaitFor("Error #105: Framing error (protocol)")) << run.Output();
    ASSERT_TRUE(run.WaitFor("hlt>")) << run.Output();
    EXPECT_FALSE(fake.Running());
    fake.SetFault(Fault::StartRefused);
    run.Send("GO FROM 0\r");
    ASSERT_TRUE(run.WaitFor(monitor ? "Error #107" : "Error #105")) << run.Output();
    ASSERT_TRUE(run.WaitFor("hlt>")) << run.Output();
    run.Send("CBYTE 0 TO 4\r");
    ASSERT_TRUE(run.WaitFor("CODE  0000=74,05,04,80,FD")) << run.Output();
    ASSERT_TRUE(run.WaitFor("hlt>"));
    run.Send("\x04");
    EXPECT_EQ(run.Wait(), 0);
    const std::string& out = run.Output();
    const size_t first = out.find("Error #");
    EXPECT_EQ(out.find("Error #", out.find("Error #", first + 1) + 1), std::string::npos) << out;
    EXPECT_EQ(fake.Memory(dorvik::kSpaceCode, 0, 5), (std::vector<uint8_t>{0x74, 0x05, 0x04, 0x80, 0xFD}));
  }
}

// Esc ending a STEP loop on a fake monitor board: the next R shows the whole
// register list once.
TEST(PtyTest, MonitorBoardEscEndingStepsLeavesTheNextReplyWhole) {
  dorvik::testing::FakeTarget fake(dorvik::testing::FakeTarget::Kind::Monitor);
  ASSERT_TRUE(fake.Started());
  fake.Poke(dorvik::kSpaceCode, 0, {0x00, 0x00, 0x80, 0xFE});
  PtyRun run(false, {"--port", fake.Device(), "--target", "OVIX52"});
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("hlt>"));
  run.Send("STEP FROM 0\r");
  ASSERT_TRUE(run.WaitFor("----->")) << run.Output();
  usleep(100000);
  run.Send("\x1b");
  ASSERT_TRUE(run.WaitFor("hlt>")) << run.Output();
  run.Send("R\r");
  ASSERT_TRUE(run.WaitFor("hlt>")) << run.Output();
  const std::string shown = run.Output().substr(run.Output().rfind("hlt>R"));
  EXPECT_EQ(shown.find("PC="), shown.rfind("PC=")) << shown;
  EXPECT_NE(shown.find("R7="), std::string::npos) << shown;
  run.Send("\x04");
  EXPECT_EQ(run.Wait(), 0);
}

}  // namespace
