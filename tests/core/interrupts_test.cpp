// Simulated interrupts, timers and external inputs, driven through SimStep as a
// program would see them.

#include <gtest/gtest.h>

#include "tests/core/support/sim_fixture.h"

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
  EXPECT_EQ(Simulator().LastCycles, 2 + 1) << "the hardware call takes two cycles";
  Step();  // RETI
  EXPECT_EQ(T().SimPC, 0x0101);
  EXPECT_FALSE(Interrupts().Entry(0).InService);
}

TEST_F(InterruptTest, HighPriorityWinsOverPollingOrder) {
  Sfr(IE) = 0x83;   // EA, EX0, ET0
  Sfr(IP) = 0x02;   // timer 0 high
  Sfr(TCON) = 0x23;  // IE0 and TF0
  Step();
  Step();
  EXPECT_EQ(T().SimPC, 0x000C) << "timer 0 (high) first";
  EXPECT_TRUE(Interrupts().Entry(1).InService);
  EXPECT_TRUE(Sfr(TCON) & 0x02) << "INT0 still waits";
}

TEST_F(InterruptTest, HighRequestInterruptsALowHandler) {
  Code(0x0003, {0x04, 0x00, 0x32});  // INT0 handler: INC A; NOP; RETI
  Sfr(IE) = 0x83;
  Sfr(TCON) = 0x03;  // IE0 (low)
  Step();
  Step();
  EXPECT_EQ(T().SimPC, 0x0004);
  Sfr(IP) = 0x02;     // timer 0 high
  Sfr(TCON) |= 0x20;  // TF0
  Step();             // NOP of the low handler; the high request is latched
  Step();
  EXPECT_EQ(T().SimPC, 0x000C);
  EXPECT_EQ(Interrupts().InService, 0x03);
}

TEST_F(InterruptTest, LowRequestWaitsWhileAHighHandlerRunsAndIsTakenAfterItsReti) {
  Code(0x000B, {0x04, 0x00, 0x32});  // timer 0 handler: INC A; NOP; RETI
  Sfr(IE) = 0x83;
  Sfr(IP) = 0x02;
  Sfr(TCON) = 0x20;  // TF0 (high)
  Step();
  Step();
  EXPECT_EQ(T().SimPC, 0x000C);
  Sfr(TCON) |= 0x03;  // INT0 edge now
  Step();             // NOP in the high handler
  EXPECT_FALSE(Interrupts().Entry(0).Request) << "no low request is latched while a high handler runs";
  EXPECT_TRUE(Sfr(TCON) & 0x02) << "its flag stays";
  Step();  // RETI
  EXPECT_EQ(T().SimPC, 0x0101);
  Step();  // one more instruction after RETI
  EXPECT_EQ(T().SimPC, 0x0102);
  Step();  // now INT0
  EXPECT_EQ(T().SimPC, 0x0004);
}

TEST_F(InterruptTest, RequestClearedBeforeAcceptanceIsCancelled) {
  Sfr(IE) = 0x82;
  Sfr(TCON) = 0x20;
  Step();
  ASSERT_TRUE(Interrupts().Entry(1).Request);
  Sfr(TCON) = 0x00;  // the flag goes away between the steps
  Step();
  EXPECT_EQ(T().SimPC, 0x0102);
  Sfr(TCON) = 0x20;
  Step();
  Sfr(IE) = 0x02;  // EA cleared
  Step();
  EXPECT_EQ(T().SimPC, 0x0104);
}

TEST_F(InterruptTest, WriteToIeHoldsOffOneMoreInstruction) {
  Code(0x0100, {0x75, IE, 0x82, 0x00, 0x00});  // MOV IE,#82H; NOP; NOP
  Sfr(TCON) = 0x20;
  Step();
  EXPECT_FALSE(Interrupts().Entry(1).Request);
  Step();  // NOP runs
  EXPECT_EQ(T().SimPC, 0x0104);
  Step();  // accepted now
  EXPECT_EQ(T().SimPC, 0x000C);
}

TEST_F(InterruptTest, WriteToIpHoldsOffOneMoreInstruction) {
  Code(0x0100, {0xD2, 0xB9, 0x00, 0x00});  // SETB PT0; NOP; NOP
  Sfr(IE) = 0x82;
  Sfr(TCON) = 0x20;
  Step();
  EXPECT_FALSE(Interrupts().Entry(1).Request);
  Step();
  EXPECT_EQ(T().SimPC, 0x0103);
  Step();
  EXPECT_EQ(T().SimPC, 0x000C);
  EXPECT_EQ(Interrupts().Entry(1).Priority, 1);
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
  EXPECT_EQ(Sfr(TCON), 0x00);
  Sfr(TCON) = 0x01;
  SimInt0Edge();
  EXPECT_EQ(Sfr(TCON), 0x03);
  SimInt1Edge();
  EXPECT_EQ(Sfr(TCON), 0x03);
  Sfr(TCON) = 0x04;
  SimInt1Edge();
  EXPECT_EQ(Sfr(TCON), 0x0C);

  Sfr(TCON) = 0x00;  // level mode: P3.2 low requests
  Sfr(IE) = 0x81;
  Sfr(P3) = 0xFB;
  Step();
  Step();
  EXPECT_EQ(T().SimPC, 0x0004);
}

TEST_F(InterruptTest, Timer0Mode2ReloadsAndSetsTf0) {
  Sfr(TMOD) = 0x02;
  Sfr(TH0) = 0xF0;
  Sfr(TL0) = 0xF0;
  Sfr(TCON) = 0x10;
  for (int i = 0; i < 15; ++i) SimTimer0Tick();
  EXPECT_EQ(Sfr(TL0), 0xFF);
  EXPECT_EQ(Sfr(TCON) & 0x20, 0);
  SimTimer0Tick();
  EXPECT_EQ(Sfr(TL0), 0xF0);
  EXPECT_EQ(Sfr(TCON) & 0x20, 0x20);
}

TEST_F(InterruptTest, Timer0Mode0Is13Bits) {
  Sfr(TMOD) = 0x00;
  Sfr(TCON) = 0x10;
  Sfr(TH0) = 0x00;
  Sfr(TL0) = 0xFF;  // upper bits of TL are cleared by the count
  SimTimer0Tick();
  EXPECT_EQ(Sfr(TH0), 0x01);
  EXPECT_EQ(Sfr(TL0), 0x00);
  Sfr(TH0) = 0xFF;
  Sfr(TL0) = 0x1F;
  SimTimer0Tick();
  EXPECT_EQ(Sfr(TH0), 0x00);
  EXPECT_EQ(Sfr(TL0), 0x00);
  EXPECT_EQ(Sfr(TCON) & 0x20, 0x20);
}

TEST_F(InterruptTest, Timer1Mode1OverflowAndGate) {
  Sfr(TMOD) = 0x90;  // GATE1, mode 1
  Sfr(TCON) = 0x40;
  Sfr(TH1) = 0xFF;
  Sfr(TL1) = 0xFF;
  Sfr(P3) = 0xF7;  // INT1 low: gated off
  SimTimer1Tick();
  EXPECT_EQ(Sfr(TL1), 0xFF);
  Sfr(P3) = 0xFF;
  SimTimer1Tick();
  EXPECT_EQ(Sfr(TL1), 0x00);
  EXPECT_EQ(Sfr(TH1), 0x00);
  EXPECT_EQ(Sfr(TCON) & 0x80, 0x80);
}

TEST_F(InterruptTest, Timer0Mode3Th0CountsCyclesUnderTr1AndOwnsTf1) {
  Code(0x0100, {0xA4});  // MUL AB: 4 cycles
  Sfr(TMOD) = 0x13;      // timer 1 mode 1, timer 0 mode 3
  Sfr(TCON) = 0x40;      // TR1 only
  Sfr(TH0) = 0xFE;
  Sfr(TH1) = 0xFF;
  Sfr(TL1) = 0xFF;
  Step();
  EXPECT_EQ(Sfr(TH0), 0x02) << "TH0 counts 4 cycles under TR1";
  EXPECT_EQ(Sfr(TL0), 0x00) << "TL0 stays without TR0";
  EXPECT_EQ(Sfr(TL1), 0x03) << "timer 1 still counts";
  EXPECT_EQ(Sfr(TCON) & 0x80, 0x80) << "TF1 from TH0";
  Sfr(TCON) = 0x40;
  Sfr(TH1) = 0xFF;
  Sfr(TL1) = 0xFF;
  Sfr(TH0) = 0x00;
  for (int i = 0; i < 2; ++i) SimTimer1Tick();
  EXPECT_EQ(Sfr(TCON) & 0x80, 0) << "timer 1 overflow sets no flag while timer 0 is in mode 3";
  EXPECT_EQ(Sfr(TH0), 0x00) << "external timer 1 pulses do not count TH0";
}

TEST_F(InterruptTest, Timer1Mode3HoldsItsCount) {
  Sfr(TMOD) = 0x30;
  Sfr(TCON) = 0x40;
  Sfr(TL1) = 0x12;
  for (int i = 0; i < 300; ++i) SimTimer1Tick();
  EXPECT_EQ(Sfr(TL1), 0x12);
  EXPECT_EQ(Sfr(TH1), 0x00);
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

TEST_F(InterruptTest, RetiEndsTheHighestLevelInService) {
  Interrupts().InService = 0x03;
  Interrupts().Priority = 0x02;
  SimReturnFromInterrupt();
  EXPECT_EQ(Interrupts().InService, 0x01);
  SimReturnFromInterrupt();
  EXPECT_EQ(Interrupts().InService, 0x00);
}

}  // namespace
}  // namespace dorvik
