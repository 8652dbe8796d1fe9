// Simulated interrupts, timers and external inputs, driven through SimStep as a
// program would see them.

#include <gtest/gtest.h>

#include <array>

#include "tests/support/sim_fixture.h"
#include "base/session.h"

namespace dorvik {
namespace {

constexpr uint8_t TCON = 0x88, TMOD = 0x89, TL0 = 0x8A, TL1 = 0x8B, TH0 = 0x8C, TH1 = 0x8D, SCON = 0x98, IE = 0xA8,
                  P3 = 0xB0, IP = 0xB8, SP = 0x81, ACC = 0xE0;

class InterruptTest : public testing::SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    // Every vector holds INC A then RETI; the main program is a run of NOPs from 0100H.
    for (uint16_t v : kInterruptVectors) Code(v, {0x04, 0x32});
    T().SimPC = 0x0100;
  }
};

TEST_F(InterruptTest, AcceptedInterruptPushesThePcAndRunsTheHandlersFirstInstruction) {
  Sfr(IE) = 0x81;   // EA, EX0
  Sfr(TCON) = 0x03;  // IT0 edge mode, IE0 set
  Step();            // NOP at 0100H; the request is latched after it
  EXPECT_TRUE(Interrupts().Entry(0).Request);
  Step();            // accepted: call to 0003H, INC A runs
  EXPECT_EQ(Sfr(ACC), 1);
  EXPECT_EQ(T().SimPC, 0x0004);
  EXPECT_EQ(Sfr(SP), 0x09);
  EXPECT_EQ(Iram(0x08), 0x01);
  EXPECT_EQ(Iram(0x09), 0x01);
  EXPECT_EQ(Sfr(TCON) & 0x02, 0) << "acceptance clears IE0";
  EXPECT_TRUE(Interrupts().Entry(0).InService);
  // Kept as the chip counts (README): the vector call is two machine cycles.
  EXPECT_EQ(Simulator().LastCycles, 2 + 1) << "the hardware call takes two cycles";
  Step();  // RETI
  EXPECT_EQ(T().SimPC, 0x0101);
  EXPECT_FALSE(Interrupts().Entry(0).InService);
}

// A high-priority request wins over the polling order, a low one waits while
// a high handler runs (and one more instruction after its RETI), and a high
// request interrupts a low handler.
TEST_F(InterruptTest, PriorityComesBeforeThePollingOrder) {
  Code(0x0003, {0x04, 0x00, 0x32});  // INT0 handler: INC A; NOP; RETI
  Code(0x000B, {0x04, 0x00, 0x32});  // timer 0 handler: INC A; NOP; RETI
  Sfr(IE) = 0x83;                    // EA, EX0, ET0
  Sfr(IP) = 0x02;                    // timer 0 high
  Sfr(TCON) = 0x23;                  // IE0 and TF0
  Step();
  Step();
  // Kept as the chip does (README): the high request is taken first, the low one waits for its RETI.
  EXPECT_EQ(T().SimPC, 0x000C) << "timer 0 (high) first";
  EXPECT_EQ(Interrupts().InService, 0x02);
  Step();  // NOP in the high handler
  EXPECT_FALSE(Interrupts().Entry(0).Request) << "no low request is latched while a high handler runs";
  EXPECT_TRUE(Sfr(TCON) & 0x02) << "INT0's flag stays";
  Step();  // RETI
  EXPECT_EQ(T().SimPC, 0x0101);
  Step();  // kept as the chip does (README): one more instruction after RETI
  EXPECT_EQ(T().SimPC, 0x0102);
  EXPECT_EQ(Interrupts().InService, 0) << "INT0 not yet taken";
  Step();  // now INT0
  EXPECT_EQ(T().SimPC, 0x0004);
  Sfr(TCON) |= 0x20;  // TF0 while the low handler runs
  Step();             // its NOP; the high request is latched
  Step();
  EXPECT_EQ(T().SimPC, 0x000C);
  EXPECT_EQ(Interrupts().InService, 0x03);
  Step();  // NOP
  Step();  // RETI ends the high level only
  EXPECT_EQ(T().SimPC, 0x0005);
  EXPECT_EQ(Interrupts().InService, 0x01);
}

// A latched request is cancelled when its flag, its enable or EA goes before
// acceptance; the flag of a disabled source stays.
TEST_F(InterruptTest, RequestClearedBeforeAcceptanceIsCancelled) {
  struct Row {
    const char* Name;
    uint8_t Sfr, Value, WantTcon;
  };
  constexpr Row kRows[] = {
      {"TF0 cleared", TCON, 0x00, 0x00}, {"ET0 cleared", IE, 0x80, 0x20}, {"EA cleared", IE, 0x02, 0x20}};
  for (const Row& r : kRows) {
    T().SimPC = 0x0100;
    Sfr(IE) = 0x82;
    Sfr(TCON) = 0x20;
    Step();
    ASSERT_TRUE(Interrupts().Entry(1).Request) << r.Name;
    Sfr(r.Sfr) = r.Value;  // between the steps
    Step();
    EXPECT_EQ(T().SimPC, 0x0102) << r.Name << ": no call to 000BH";
    EXPECT_EQ(Sfr(TCON), r.WantTcon) << r.Name;
    EXPECT_FALSE(Interrupts().Entry(1).InService) << r.Name;
  }
}

// After a write to IE or IP one more instruction runs before an interrupt is accepted.
TEST_F(InterruptTest, WriteToIeOrIpHoldsOffOneMoreInstruction) {
  struct Row {
    const char* Name;
    std::initializer_list<uint8_t> Code;  // the write, then NOPs
    uint8_t Ie;
  };
  const Row rows[] = {{"MOV IE,#82H", {0x75, IE, 0x82, 0x00, 0x00}, 0x00},
                      {"SETB PT0", {0xD2, 0xB9, 0x00, 0x00}, 0x82}};
  for (const Row& r : rows) {
    ResetState<InterruptState>();
    Code(0x0100, r.Code);
    T().SimPC = 0x0100;
    Sfr(IE) = r.Ie;
    Sfr(TCON) = 0x20;
    Step();
    EXPECT_FALSE(Interrupts().Entry(1).Request) << r.Name;
    Step();
    EXPECT_EQ(T().SimPC, 0x0100 + r.Code.size() - 1) << r.Name << ": the NOP ran";
    Step();
    EXPECT_EQ(T().SimPC, 0x000C) << r.Name << ": accepted now";
  }
}

TEST_F(InterruptTest, SerialRequestComesBackAfterRetiWhileRiStays) {
  Sfr(IE) = 0x90;  // EA, ES
  Sfr(SCON) = 0x01;
  Step();
  Step();
  EXPECT_EQ(T().SimPC, 0x0024);
  EXPECT_EQ(Sfr(SCON), 0x01) << "the handler clears the serial flags";
  Step();  // RETI
  Step();  // one instruction of the main program
  Step();
  EXPECT_EQ(T().SimPC, 0x0024);
}

TEST_F(InterruptTest, Int0EdgeNeedsEdgeModeAndLevelModeFollowsThePin) {
  SimInt0Edge();
  SimInt1Edge();
  EXPECT_EQ(Sfr(TCON), 0x00) << "no edges in level mode";
  Sfr(TCON) = 0x05;  // IT0, IT1
  SimInt0Edge();
  EXPECT_EQ(Sfr(TCON), 0x07);
  SimInt1Edge();
  EXPECT_EQ(Sfr(TCON), 0x0F);

  Sfr(TCON) = 0x00;  // level mode: P3.2 low requests
  Sfr(IE) = 0x81;
  Sfr(P3) = 0xFB;
  Step();
  Step();
  EXPECT_EQ(T().SimPC, 0x0004);
}

// Counts of one timer by mode, run bit and gate: Ticks pulses from the start values.
struct TimerRow {
  const char* Name;
  uint8_t Tmod, Tcon, P3;
  int Timer, Ticks;
  uint8_t Tl, Th;          // start
  uint8_t WantTl, WantTh;  // after the ticks
  bool WantFlag;           // TF0 / TF1
};
constexpr TimerRow kTimerRows[] = {
    {"mode 2 counts up to 0FFH", 0x02, 0x10, 0xFF, 0, 15, 0xF0, 0xF0, 0xFF, 0xF0, false},
    {"mode 2 reloads from TH and sets TF", 0x02, 0x10, 0xFF, 0, 16, 0xF0, 0xF0, 0xF0, 0xF0, true},
    {"mode 0 clears TL's upper bits and carries", 0x00, 0x10, 0xFF, 0, 1, 0xFF, 0x00, 0x00, 0x01, false},
    {"mode 0 overflows after 1FFFH", 0x00, 0x10, 0xFF, 0, 1, 0x1F, 0xFF, 0x00, 0x00, true},
    {"mode 1 overflows after 0FFFFH", 0x10, 0x40, 0xFF, 1, 1, 0xFF, 0xFF, 0x00, 0x00, true},
    {"gate shut by INT1 low", 0x90, 0x40, 0xF7, 1, 1, 0xFF, 0xFF, 0xFF, 0xFF, false},
    {"gate open with INT1 high", 0x90, 0x40, 0xFF, 1, 1, 0xFF, 0xFF, 0x00, 0x00, true},
    {"gate shut by INT0 low", 0x09, 0x10, 0xFB, 0, 5, 0x00, 0x00, 0x00, 0x00, false},
    {"stopped without TR", 0x01, 0x40, 0xFF, 0, 5, 0x00, 0x00, 0x00, 0x00, false},
    {"timer 1 in mode 3 holds", 0x30, 0x40, 0xFF, 1, 300, 0x12, 0x00, 0x12, 0x00, false},
};

TEST_F(InterruptTest, TimersCountByModeRunBitAndGate) {
  for (const TimerRow& r : kTimerRows) {
    const uint8_t tl = r.Timer ? TL1 : TL0, th = r.Timer ? TH1 : TH0, tf = r.Timer ? 0x80 : 0x20;
    Sfr(TMOD) = r.Tmod;
    Sfr(TCON) = r.Tcon;
    Sfr(P3) = r.P3;
    Sfr(tl) = r.Tl;
    Sfr(th) = r.Th;
    for (int i = 0; i < r.Ticks; ++i) r.Timer ? SimTimer1Tick() : SimTimer0Tick();
    EXPECT_EQ(Sfr(tl), r.WantTl) << r.Name;
    EXPECT_EQ(Sfr(th), r.WantTh) << r.Name;
    EXPECT_EQ((Sfr(TCON) & tf) != 0, r.WantFlag) << r.Name;
  }
}

// Timer 0 in mode 3: TH0 counts machine cycles under TR1 and owns TF1; timer 1
// runs without TR1 and sets no flag, unless its own mode 3 stops it.
TEST_F(InterruptTest, Timer0Mode3Th0CountsCyclesUnderTr1AndOwnsTf1) {
  Code(0x0100, {0xA4, 0xA4, 0xA4});  // MUL AB: 4 cycles each
  Sfr(TMOD) = 0x13;                  // timer 1 mode 1, timer 0 mode 3
  Sfr(TCON) = 0x40;                  // TR1 only
  Sfr(TH0) = 0xFE;
  Step();
  EXPECT_EQ(Sfr(TH0), 0x02) << "TH0 counts 4 cycles under TR1";
  EXPECT_EQ(Sfr(TL0), 0x00) << "TL0 stays without TR0";
  EXPECT_EQ(Sfr(TCON), 0xC0) << "TF1 from TH0";
  Sfr(TCON) = 0x00;  // neither TR0 nor TR1
  Sfr(TH0) = 0x00;
  Sfr(TL1) = 0x10;
  Step();
  EXPECT_EQ(Sfr(TL1), 0x14) << "TR1 belongs to TH0 now";
  EXPECT_EQ(Sfr(TH0), 0x00) << "TH0 waits for TR1";
  Sfr(TCON) = 0x40;
  Sfr(TMOD) = 0x53;  // timer 1 counter mode 1: an external pulse overflows it
  Sfr(TH1) = Sfr(TL1) = 0xFF;
  SimTimer1Tick();
  EXPECT_EQ(Sfr(TL1), 0x00);
  EXPECT_EQ(Sfr(TCON), 0x40) << "timer 1 overflow sets no flag while timer 0 is in mode 3";
  EXPECT_EQ(Sfr(TH0), 0x00) << "external timer 1 pulses do not count TH0";
  Sfr(TMOD) = 0x33;  // timer 1 in its own mode 3: stopped
  Step();
  EXPECT_EQ(Sfr(TL1), 0x00);
  // TH0 counted up to 0FFH exactly: no overflow yet.
  Sfr(TMOD) = 0x13;
  Sfr(TCON) = 0x40;
  Sfr(TH0) = 0xFB;
  T().SimPC = 0x0100;
  Step();
  EXPECT_EQ(Sfr(TH0), 0xFF);
  EXPECT_EQ(Sfr(TCON), 0x40) << "TF1 waits for the overflow";
}

TEST_F(InterruptTest, TimerOverflowInterruptsTheProgramWithTimersAdvancedByTheCall) {
  Sfr(TMOD) = 0x01;
  Sfr(TH0) = 0xFF;
  Sfr(TL0) = 0xFF;
  Sfr(TCON) = 0x10;
  Sfr(IE) = 0x82;
  Step();  // NOP: overflow to 0000H, TF0
  EXPECT_EQ(Sfr(TL0), 0x00);
  Step();  // accepted: 2 call cycles + INC A
  EXPECT_EQ(T().SimPC, 0x000C);
  EXPECT_EQ(Sfr(TL0), 0x03);
  EXPECT_EQ(Sfr(TCON) & 0x20, 0);
}

TEST_F(InterruptTest, ProgramDrivingInt0LowIsAFallingEdge) {
  // CLR P3.2; NOP; SETB P3.2; CLR P3.2 in edge mode with EX0 enabled.
  Code(0x0100, {0xC2, 0xB2, 0x00});
  Sfr(TCON) = 0x01;  // IT0
  Sfr(IE) = 0x81;
  Step();
  EXPECT_TRUE(Sfr(TCON) & 0x02) << "IE0 from the pin the program drove low";
  Step();
  EXPECT_EQ(T().SimPC, 0x0004) << "accepted like any other edge";
  // Writing a pin that is already low, or raising it, is no edge.
  Code(0x0200, {0xC2, 0xB2, 0xD2, 0xB2, 0x75, 0xB0, 0xF7});  // CLR P3.2; SETB P3.2; MOV P3,#0F7H
  Sfr(IE) = 0x00;
  Sfr(TCON) = 0x05;  // IT0, IT1
  T().SimPC = 0x0200;
  Step();
  EXPECT_EQ(Sfr(TCON), 0x05) << "P3.2 was low already";
  Step();
  EXPECT_EQ(Sfr(TCON), 0x05) << "a rising pin";
  Step();
  EXPECT_EQ(Sfr(TCON), 0x0D) << "P3.3 fell: IE1";
}

TEST_F(InterruptTest, ProgramPulsesOnT0AndT1CountInCounterModeOnly) {
  // CPL P3.4 and CPL P3.5, four times each: two falling edges per pin.
  Code(0x0100, {0xB2, 0xB4, 0xB2, 0xB5, 0xB2, 0xB4, 0xB2, 0xB5, 0xB2, 0xB4, 0xB2, 0xB5, 0xB2, 0xB4, 0xB2, 0xB5});
  Sfr(TMOD) = 0x51;  // timer 0 timer mode 1, timer 1 counter mode 1
  Sfr(TCON) = 0x50;
  for (int i = 0; i < 8; ++i) Step();
  EXPECT_EQ(Sfr(TL1), 2) << "two falling edges of P3.5";
  EXPECT_EQ(Sfr(TL0), 8) << "timer 0 counts cycles, not its pin";
  EXPECT_EQ(Sfr(P3), 0xFF);
  Sfr(TMOD) = 0x15;  // timer 0 counter mode 1, timer 1 timer mode 1
  Sfr(TL0) = Sfr(TL1) = 0;
  T().SimPC = 0x0100;
  for (int i = 0; i < 8; ++i) Step();
  EXPECT_EQ(Sfr(TL0), 2) << "two falling edges of P3.4";
  EXPECT_EQ(Sfr(TL1), 8);
  Sfr(TCON) = 0x00;  // stopped counters ignore their pins
  T().SimPC = 0x0100;
  for (int i = 0; i < 8; ++i) Step();
  EXPECT_EQ(Sfr(TL0), 2);
}

// A step counts its machine cycles in one go where it can; cycle by cycle must
// give the same timers for every TMOD, run bits, gate pins and count near overflow.
TEST_F(InterruptTest, AStepCountsItsCyclesLikeOneCycleAtATime) {
  constexpr uint8_t kStarts[][2] = {{0x10, 0x20}, {0xFE, 0xFF}, {0x1E, 0xFF}, {0xFD, 0x80}};  // TL, TH
  auto timers = [] { return std::array<uint8_t, 5>{Sfr(TCON), Sfr(TL0), Sfr(TH0), Sfr(TL1), Sfr(TH1)}; };
  Code(0x0100, {0xA4});  // MUL AB: 4 cycles
  for (unsigned tmod = 0; tmod < 256; ++tmod)
    for (uint8_t tcon : {0x00, 0x10, 0x40, 0x50})
      for (uint8_t p3 : {0xFF, 0xF3})
        for (const auto& start : kStarts) {
          auto prepare = [&] {
            Sfr(TMOD) = static_cast<uint8_t>(tmod);
            Sfr(TCON) = tcon;
            Sfr(P3) = p3;
            Sfr(TL0) = Sfr(TL1) = start[0];
            Sfr(TH0) = Sfr(TH1) = start[1];
          };
          prepare();
          for (int i = 0; i < 4; ++i) SimRunTimers(1);
          const auto want = timers();
          prepare();
          T().SimPC = 0x0100;
          Step();
          ASSERT_EQ(timers(), want) << std::hex << "TCON TL0 TH0 TL1 TH1 with TMOD " << tmod << "H, TCON "
                                    << int(tcon) << "H, P3 " << int(p3) << "H, TL " << int(start[0]) << "H";
        }
}

TEST_F(InterruptTest, TimersCountAnInstructionsCyclesWithTheSfrsBeforeIt) {
  // SETB TR0; NOP; CLR TR0; NOP; then with the timer running: MOV TL0,#10H; NOP
  Code(0x0100, {0xD2, 0x8C, 0x00, 0xC2, 0x8C, 0x00, 0xD2, 0x8C, 0x75, 0x8A, 0x10, 0x00});
  Sfr(TMOD) = 0x01;
  Step();
  // Kept as the chip counts (README): the starting instruction's cycle is not counted.
  EXPECT_EQ(Sfr(TL0), 0) << "SETB TR0 does not count its own cycle";
  Step();
  EXPECT_EQ(Sfr(TL0), 1);
  Step();
  EXPECT_EQ(Sfr(TL0), 2) << "CLR TR0 counts its own cycle";
  Step();
  EXPECT_EQ(Sfr(TL0), 2);
  Step();  // SETB TR0
  Step();  // MOV TL0,#10H: two cycles counted, then the write
  EXPECT_EQ(Sfr(TL0), 0x10) << "the written count stays";
  Step();
  EXPECT_EQ(Sfr(TL0), 0x11);
}

}  // namespace
}  // namespace dorvik
