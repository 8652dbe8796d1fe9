// Faults of the line, injected through the fakes: silence, replies split into
// single bytes, garbage, refusals, replies longer than the receive buffer, the
// line closed in the middle of a transfer and of a run, a target that never
// halts. Each ends with a clear message within its time-out, the console
// takes the next command, and the target's memory holds nothing that was not
// asked for.

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/link_fixture.h"
#include "tests/support/scripted_user.h"

namespace dorvik::testing {
namespace {

using Clock = std::chrono::steady_clock;

class LinkFaultsTest : public LinkTest, public ::testing::WithParamInterface<FakeTarget::Kind> {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    StartOn(GetParam());
    for (uint16_t a = 0; a < 0x400; ++a) before_.push_back(uint8_t(a * 7));
    Fake().Poke(kSpaceXData, 0, before_);
    Fake().Poke(kSpaceCode, 0, {0x80, 0xFE});  // SJMP $: a program that never ends by itself
  }
  bool Monitor() const { return GetParam() == FakeTarget::Kind::Monitor; }

  // Runs Line and returns how long it took in ms.
  int64_t Timed(std::string_view line) {
    const auto start = Clock::now();
    out_ = Output(line);
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  }
  // External data as it was, except [From, To] which holds Value.
  void ExpectXData(uint16_t from = 1, uint16_t to = 0, uint8_t value = 0) {
    const std::vector<uint8_t> now = Fake().Memory(kSpaceXData, 0, 0x400);
    for (uint16_t a = 0; a < 0x400; ++a) {
      const uint8_t want = a >= from && a <= to ? value : before_[a];
      ASSERT_EQ(now[a], want) << "XDATA " << a;
    }
  }
  // The console takes the next command and the target answers it.
  void ExpectUsable() {
    Fake().SetFault(Fault::None);
    EXPECT_EQ(Output("XBYTE 10"), "XDATA  0010=70 ' p '\n");
    EXPECT_TRUE(Errors().empty());
  }

  std::vector<uint8_t> before_;
};

// A silent, garbled, refused or overlong answer to a read is one message
// within its time-out, never writes past the receive buffer, and a write
// that fails at its first command writes nothing more.
TEST_P(LinkFaultsTest, BadAnswerToAReadIsOneMessage) {
  struct Row {
    Fault fault;
    int monitorError, aducError;  // 0: a framing error or a receive time-out
  };
  const Row rows[] = {{Fault::Silent, err::kTargetDeviceNotResponding, err::kTargetDeviceNotResponding},
                      {Fault::Garbage, 0, 0},
                      {Fault::Nak, err::kTargetError, err::kFramingError},
                      {Fault::Overlong, 0, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(int(r.fault));
    Fake().SetFault(r.fault);
    EXPECT_LT(Timed("XBYTE 0 TO 3"), 1500);
    EXPECT_EQ(out_, "");
    ASSERT_FALSE(Errors().empty());
    const int e = Errors().front(), want = Monitor() ? r.monitorError : r.aducError;
    EXPECT_TRUE(want ? e == want : e == err::kFramingError || e == err::kReceiveTimeout) << e;
    EXPECT_LE(Link().RxCount, kRxBufferSize);
    ExpectUsable();
  }
  Fake().SetFault(Fault::Silent);
  EXPECT_LT(Timed("XBYTE 0 = 1, 2"), 1500);
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetDeviceNotResponding});
  ExpectXData();
  Fake().SetFault(Fault::Garbage);
  Output("XBYTE 100 TO 10F = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16");
  EXPECT_FALSE(Errors().empty());
  EXPECT_EQ(Fake().Memory(kSpaceXData, 0x108, 8), std::vector<uint8_t>(before_.begin() + 0x108, before_.begin() + 0x110));
  ExpectUsable();
}

// A dead target never looks like a step that was done; a silent, cut or
// refused step gives one message and leaves the target taking commands
// (the monitor back from its step mode).
TEST_P(LinkFaultsTest, FailedStepIsOneMessage) {
  struct Row {
    Fault fault;
    int monitorError, aducError;
    uint32_t passing = 0;  // commands that pass before the fault strikes
  };
  const Row rows[] = {{Fault::Silent, err::kTargetDeviceNotResponding, err::kTargetDeviceNotResponding},
                      {Fault::Cut, err::kReceiveTimeout, err::kReceiveTimeout},
                      {Fault::Nak, err::kTargetError, err::kFramingError},
                      // The PC set, then the step command itself refused.
                      {Fault::Nak, err::kTargetError, err::kFramingError, 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(int(r.fault) * 10 + int(r.passing));
    Fake().SetFault(r.fault, r.passing);
    EXPECT_LT(Timed("STEP FROM 0"), 6000);
    EXPECT_EQ(Errors(), std::vector<int>{Monitor() ? r.monitorError : r.aducError});
    EXPECT_EQ(out_.find("----->"), std::string::npos) << out_;
    EXPECT_FALSE(dorvik::Run().ProgramRunning);
    ExpectUsable();
  }
}

TEST_P(LinkFaultsTest, SplitRepliesStillRead) {
  Fake().SetFault(Fault::Split);
  EXPECT_EQ(Output("XBYTE 0 TO 3"), "XDATA  0000=00,07,0E,15 ' .... '\n");
  EXPECT_TRUE(Errors().empty());
  Output("XBYTE 8 = 55");
  ExpectXData(8, 8, 0x55);
}

TEST_P(LinkFaultsTest, LineClosedInTheMiddleOfATransfer) {
  Fake().SetFault(Fault::CloseAfter, 40);
  EXPECT_LT(Timed("XBYTE 200 TO 2FF = 1, 2, 3, 4, 5, 6, 7, 8, 9"), 2000);
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetDeviceNotResponding});
  EXPECT_FALSE(LinkIsOpen());
  // Every later command fails at once.
  EXPECT_LT(Timed("XBYTE 0"), 250);  // below either per-character deadline
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetDeviceNotResponding});
  // Whatever was written lies inside the range asked for.
  const std::vector<uint8_t> now = Fake().Memory(kSpaceXData, 0, 0x400);
  for (uint16_t a = 0; a < 0x400; ++a) {
    if (a < 0x200 || a > 0x2FF) {
      ASSERT_EQ(now[a], before_[a]) << a;
    }
  }
}

TEST_P(LinkFaultsTest, LineClosedWhileTheProgramRuns) {
  Output("GO FROM 0 FOREVER");
  ASSERT_TRUE(dorvik::Run().ProgramRunning);
  Fake().Hangup();
  EXPECT_TRUE(AwaitHalt(1000));
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetDeviceNotResponding});
  EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
  EXPECT_EQ(Output("XBYTE 0"), "");  // usable: the closed line is reported at once
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetDeviceNotResponding});
}

TEST_P(LinkFaultsTest, TargetThatNeverHalts) {
  Output("GO FROM 0 FOREVER");
  ASSERT_TRUE(dorvik::Run().ProgramRunning);
  Fake().SetFault(Fault::NeverHalt);
  EXPECT_LT(Timed("HALT"), 3000);
  EXPECT_FALSE(Errors().empty());
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
}

// A flood of bad bytes while the program runs stands where its stop report
// should: one message, and the program is halted.
TEST_P(LinkFaultsTest, FloodWhileRunningIsOneMessage) {
  Output("GO FROM 0 FOREVER");
  ASSERT_TRUE(dorvik::Run().ProgramRunning);
  boxes_.Clear();
  for (int i = 0; i < 10 && dorvik::Run().ProgramRunning; ++i) {
    Fake().SendUnsolicited(std::string(700, '#'));
    for (int k = 0; k < 20; ++k) {
      platform::Pump().RunIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  EXPECT_EQ(Errors(), std::vector<int>{err::kFramingError});
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_FALSE(Fake().Running());
  ExpectUsable();
}

// Esc while the program runs stops it, as HALT does.
TEST_P(LinkFaultsTest, EscHaltsARunningProgram) {
  Output("GO FROM 0 FOREVER");
  ASSERT_TRUE(dorvik::Run().ProgramRunning);
  DoOnKeyDown(kKeyEsc);
  EXPECT_TRUE(AwaitHalt(2000));
  EXPECT_FALSE(Fake().Running());
  EXPECT_TRUE(Errors().empty());
  ExpectUsable();
}

// Esc that ends a STEP loop, or pressed at the prompt, leaves the target at
// its prompt: the next command's reply is read whole, once.
TEST_P(LinkFaultsTest, EscEndingAStepLoopLeavesTheNextReplyWhole) {
  Fake().Poke(kSpaceCode, 0, {0x00, 0x00, 0x80, 0xFE});
  std::string wire;
  {
    testing::ScriptedUser user;
    user.StepKey = [] {
      DoOnKeyDown(kKeyEsc);
      return static_cast<char>(kKeyEsc);
    };
    wire = Wire("STEP FROM 0");
  }
  dorvik::Run().UserBreak = false;
  // The monitor's step ends with ESC and its prompt read; nothing is sent
  // after it whose reply no command would read.
  if (Monitor()) {
    const size_t stepEnd = wire.find("S\r\x1b");
    ASSERT_NE(stepEnd, std::string::npos) << wire;
    // The registers asked at the stop (REGI, its XON) end with their own ESC,
    // whose prompt is read.
    std::string after = wire.substr(stepEnd + 3);
    for (size_t at; (at = after.find("REGI\r")) != std::string::npos;) {
      size_t end = at + 5;
      while (end < after.size() && after[end] == '\x11') ++end;
      if (end < after.size() && after[end] == '\x1b') ++end;
      after.erase(at, end - at);
    }
    EXPECT_EQ(after.find('\x1b'), std::string::npos) << wire;
  }
  // Esc at the prompt, nothing running: the same.
  Fake().ClearReceived();
  DoOnKeyDown(kKeyEsc);
  dorvik::Run().UserBreak = false;
  if (Monitor()) {
    EXPECT_EQ(Fake().Received().find('\x1b'), std::string::npos);
  }
  const std::string registers = Output("R");
  EXPECT_EQ(registers.find("PC="), registers.rfind("PC=")) << registers;
  EXPECT_NE(registers.find("R7="), std::string::npos) << registers;
  EXPECT_TRUE(Errors().empty());
  ExpectUsable();
}

// A stop report that arrives garbled or cut ends the run's wait with one
// message within a bounded time; the target is then halted and asked for
// its registers, as after a Halt, and no break stays in its code.
TEST_P(LinkFaultsTest, GarbledOrCutStopReportEndsTheRun) {
  struct Row {
    Fault fault;
    uint8_t sp, dph, dpl, r7;
  };
  for (const Row& r : {Row{Fault::GarbledStop, 0x5F, 0x00, 0x4E, 0x0F}, Row{Fault::CutStop, 0x4A, 0x12, 0x34, 0x3C}}) {
    SCOPED_TRACE(int(r.fault));
    // MOV SP,#sp; MOV DPTR,#dptr; MOV R7,#r7; SJMP $ (the break on the SJMP)
    const std::vector<uint8_t> code{0x75, 0x81, r.sp, 0x90, r.dph, r.dpl, 0x7F, r.r7, 0x80, 0xFE};
    Fake().Poke(kSpaceCode, 0x20, code);
    Fake().SetFault(r.fault);
    Output("GO FROM 20 TILL 28");
    ASSERT_TRUE(dorvik::Run().ProgramRunning);
    const auto start = Clock::now();
    ASSERT_TRUE(AwaitHalt(3000));
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 2000);
    EXPECT_EQ(Errors(), std::vector<int>{err::kFramingError});
    EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
    EXPECT_FALSE(Fake().Running());
    EXPECT_EQ(Fake().Memory(kSpaceCode, 0x20, 10), code);
    EXPECT_EQ(RegisterText("SP"), FormatHex2(r.sp));
    EXPECT_EQ(RegisterText("DPTR"), FormatHex2(r.dph) + FormatHex2(r.dpl));
    EXPECT_EQ(RegisterText("R7"), FormatHex2(r.r7));
    if (Monitor()) {
      EXPECT_EQ(RegisterText("PC"), "0028");
    }
    ExpectUsable();
  }
}

// A start that the target refuses or leaves unanswered is one message, and
// code memory is as it was before GO (the ADuC's planted break taken out).
TEST_P(LinkFaultsTest, FailedStartLeavesTheCodeAsItWas) {
  Fake().Poke(kSpaceCode, 0, {0x74, 0x05, 0x04, 0x80, 0xFD});
  const std::vector<uint8_t> code = Fake().Memory(kSpaceCode, 0, 0x40);
  Output("BR0 = 3");
  const struct {
    Fault fault;
    int monitorError, aducError;
  } rows[] = {{Fault::StartRefused, err::kTargetError, err::kFramingError},
              {Fault::StartUnanswered, err::kTargetDeviceNotResponding, err::kTargetDeviceNotResponding}};
  for (const auto& r : rows) {
    SCOPED_TRACE(int(r.fault));
    Fake().SetFault(r.fault);
    EXPECT_LT(Timed("GO FROM 0"), 3000);
    EXPECT_EQ(Errors(), std::vector<int>{Monitor() ? r.monitorError : r.aducError});
    EXPECT_FALSE(dorvik::Run().ProgramRunning);
    EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
    EXPECT_FALSE(Fake().Running());
    EXPECT_EQ(Fake().Memory(kSpaceCode, 0, 0x40), code);
    EXPECT_EQ(Output("CBYTE 0 TO 4"), "CODE  0000=74,05,04,80,FD ' t...} '\n");
    ExpectUsable();
  }
  // The next GO runs to the break.
  Output("GO FROM 0");
  ASSERT_TRUE(AwaitHalt());
  EXPECT_EQ(dorvik::Run().CurrentPC, 3u);
  EXPECT_TRUE(Errors().empty());
}

// The ADuC's wait for the break report of a step ends at its deadline, or
// earlier on Esc.
TEST_P(LinkFaultsTest, StepThatNeverReportsEndsOnEscOrDeadline) {
  if (Monitor()) GTEST_SKIP() << "the monitor's step reply has its 300 ms deadline";
  Fake().SetFault(Fault::NeverHalt);
  const int64_t deadline = Timed("STEP FROM 0");
  EXPECT_GE(deadline, kAducBreakTimeoutMs);
  EXPECT_LT(deadline, kAducBreakTimeoutMs + 3000);
  EXPECT_FALSE(Errors().empty());
  // Esc pressed while it waits (a timer of the pump stands in for the key).
  platform::MessagePump& pump = platform::Pump();
  const platform::TimerId esc = pump.CreateTimer([] { dorvik::Run().UserBreak = true; }, 100, false);
  pump.EnableTimer(esc, true);
  EXPECT_LT(Timed("STEP FROM 0"), 1000);
  pump.DestroyTimer(esc);
  EXPECT_FALSE(Errors().empty());
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
}

INSTANTIATE_TEST_SUITE_P(BothTargets, LinkFaultsTest,
                         ::testing::Values(FakeTarget::Kind::Monitor, FakeTarget::Kind::Aduc),
                         [](const auto& info) { return info.param == FakeTarget::Kind::Monitor ? "Monitor" : "Aduc"; });

}  // namespace
}  // namespace dorvik::testing
