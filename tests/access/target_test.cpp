// The target access layer over the simulator's images, and the closed line of
// the monitor and ADuC kinds.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "lang/cpudb.h"
#include "lang/keywords.h"
#include "lang/target_access.h"
#include "tests/support/sim_fixture.h"
#include "base/session.h"

namespace dorvik {
namespace {

class TargetTest : public testing::SimFixture {
 protected:
  static uint8_t Rx(int i) { return Link().RxBuffer[static_cast<size_t>(i)]; }
};

TEST_F(TargetTest, BlockReadsFollowTheSpaceAndStopAtItsEnd) {
  T().CodeImage[0xFFFE] = 0x12;
  T().CodeImage[0xFFFF] = 0x34;
  Iram(0x7F) = 0x11;
  Iram(0x80) = 0x22;
  Sfr(0x80) = 0x33;
  Iram(0xFE) = 1;
  Iram(0xFF) = 2;
  struct Row {
    const char* Name;
    uint8_t Space;
    int32_t Addr;
    std::vector<uint8_t> Want;  // 5AH: the buffer byte stays as it was
  };
  const Row rows[] = {
      {"code past the end gives FFH", kSpaceCode, 0xFFFE, {0x12, 0x34, 0xFF, 0xFF}},
      {"direct splits at 80H into the SFRs", kSpaceDirect, 0x7F, {0x11, 0x33}},
      {"indirect reaches the upper RAM", kSpaceIData, 0x7F, {0x11, 0x22}},
      {"internal read stops at FFH", kSpaceIData, 0xFE, {1, 2, 0x5A, 0x5A}},
      {"a space without an image reads as FFH", kSpacePagedXData, 0x10, {0xFF}},
  };
  for (const Row& r : rows) {
    Link().RxBuffer.fill(0x5A);
    EXPECT_TRUE(TargetReadBlock(r.Space, r.Addr, static_cast<int32_t>(r.Want.size()))) << r.Name;
    for (size_t i = 0; i < r.Want.size(); ++i)
      EXPECT_EQ(Rx(int(i) + 1), r.Want[i]) << r.Name << ", byte " << i;
  }
}

TEST_F(TargetTest, BlockLargerThanTheReceiveBufferIsRefused) {
  Link().RxBuffer[kRxBufferSize - 1] = 0x5A;
  EXPECT_FALSE(TargetReadBlock(kSpaceCode, 0, kRxBufferSize));
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(Rx(kRxBufferSize - 1), 0x5A);
  ResetState<MessageState>();
  EXPECT_TRUE(TargetReadBlock(kSpaceCode, 0, kRxBufferSize - 1));
  EXPECT_FALSE(Messages().ErrorFlag);
  int32_t addr = 0;
  EXPECT_FALSE(TargetReadTypedBlock(kSpaceXData, addr, tok::kLONGINT, 300));
  EXPECT_TRUE(Messages().ErrorFlag);
  ResetState<MessageState>();
  EXPECT_FALSE(TargetReadTypedBlock(kSpaceXData, addr, tok::kBYTE, 0x7FFFFFFF));
  EXPECT_EQ(ValueList().Count(), 0);
}

TEST_F(TargetTest, ByteAndBitReadsGoToTheValueListAndTheCurrentValue) {
  Iram(0x30) = 0x9C;
  Iram(0x21) = 0x08;
  Sfr(0xE0) = 0x08;
  EXPECT_EQ(TargetReadByte(kSpaceDirect, 0x30), 0x9C);
  EXPECT_EQ(Scanner().ExprValue, 0x9C);
  EXPECT_EQ(TargetReadByte(kSpaceBit, 0x0B), 1);
  EXPECT_EQ(TargetReadByte(kSpaceBit, 0x0A), 0);
  EXPECT_EQ(TargetReadByte(kSpaceBit, 0xE3), 1);
  EXPECT_EQ(Scanner().ExprValue, 1);
  ASSERT_EQ(ValueList().Count(), 4);
  EXPECT_EQ(std::tuple(ValueList().Items[0].TypeToken, ValueList().Items[0].Value, ValueList().Items[1].TypeToken),
            std::tuple(tok::kBYTE, 0x9Cu, tok::kBIT));
}

TEST_F(TargetTest, WriteValueIsBigEndianAndStopsAtTheImageEnd) {
  TargetWriteValue(kSpaceXData, 0x100, 0x12345678, 4);
  EXPECT_EQ(T().XDataImage[0x100], 0x12);
  EXPECT_EQ(T().XDataImage[0x103], 0x78);
  TargetWriteValue(kSpaceXData, 0xFFFF, 0x1234, 2);
  EXPECT_EQ(T().XDataImage[0xFFFF], 0x12);
  EXPECT_EQ(T().XDataImage[0x0000], 0x00) << "no wrap to 0000H";
  TargetWriteValue(kSpaceIData, 0xFF, 0xABCD, 2);
  EXPECT_EQ(Iram(0xFF), 0xAB);
  EXPECT_EQ(Iram(0x00), 0x00);
  TargetWriteValue(kSpaceXData, 0x200, 0x11, 6);  // wider than the value: leading zeros
  EXPECT_EQ(T().XDataImage[0x200], 0x00);
  EXPECT_EQ(T().XDataImage[0x205], 0x11);
  // ACC and PSW writes keep the parity flag.
  TargetWriteValue(kSpaceDirect, 0xE0, 0x01, 1);
  EXPECT_EQ(Sfr(0xD0) & 1, 1);
  TargetWriteValue(kSpaceDirect, 0xD0, 0x00, 1);
  EXPECT_EQ(Sfr(0xD0) & 1, 1);
}

TEST_F(TargetTest, WriteCodeByteTakesTheFirstByteOfTheText) {
  TargetWriteCodeByte(0x0100, "012,034");
  EXPECT_EQ(T().CodeImage[0x0100], 0x12);
  EXPECT_EQ(T().CodeImage[0x0101], 0x00);
  TargetWriteCodeByte(0x0100, "0ZZ");
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(T().CodeImage[0x0100], 0x12);
  ResetState<MessageState>();
  TargetWriteCodeByte(0x0100, "0FF");  // the largest byte
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_EQ(T().CodeImage[0x0100], 0xFF);
  TargetWriteCodeByte(0x0100, "100");  // no byte
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(T().CodeImage[0x0100], 0xFF);
}

TEST_F(TargetTest, RegisterFrameFollowsTheBank) {
  Sfr(0xD0) = 0x10;  // bank 2
  for (uint8_t n = 0; n < 8; ++n) Iram(0x10 + n) = n + 1;
  Sfr(0x83) = 0x12;
  Sfr(0x82) = 0x34;
  Sfr(0xE0) = 0xAA;
  Sfr(0xF0) = 0xBB;
  T().SimPC = 0x4321;
  tRegisterFrame f;
  Link().RxCount = 5;
  TargetGetRegisters(f);
  EXPECT_EQ(Link().RxCount, 0);
  EXPECT_EQ(std::tuple(int(f.R[0]), int(f.R[7]), int(f.DPTR), int(f.ACC), int(f.B), int(f.SP), int(f.PC)),
            std::tuple(1, 8, 0x1234, 0xAA, 0xBB, 0x07, 0x4321));
}

TEST_F(TargetTest, RegisterTokensReadAndWriteTheImages) {
  Messages().ErrorFlag = true;  // left from an earlier command
  Sfr(0xD0) = 0x08;
  EXPECT_TRUE(TargetSetRegister(tok::kR3, 0x5A));
  EXPECT_TRUE(Messages().ErrorFlag) << "the earlier error stays for its caller";
  EXPECT_EQ(Iram(0x0B), 0x5A);
  EXPECT_EQ(TargetRegisterValue(tok::kR3), 0x5A);
  EXPECT_EQ(CurrentTargetAccess().RegisterValue(tok::kR3), 0x5A) << "the evaluator reads through the layer";
  EXPECT_EQ(CurrentTargetAccess().ReadByte(kSpaceIData, 0x0B), 0x5A);
  EXPECT_EQ(Scanner().ExprValue, 0x5A);
  EXPECT_EQ(Scanner().ScanToken, tok::kNumberValue);
  // The last bank: R0 at 18H, R7 at 1FH.
  Sfr(0xD0) = 0x18;
  EXPECT_TRUE(TargetSetRegister(tok::kR7, 0x77));
  EXPECT_TRUE(TargetSetRegister(tok::kR0, 0x70));
  EXPECT_EQ(std::tuple(int(Iram(0x1F)), int(Iram(0x18))), std::tuple(0x77, 0x70));
  EXPECT_EQ(TargetRegisterValue(tok::kR7), 0x77);
  Sfr(0xD0) = 0x08;

  const std::pair<uint8_t, int32_t> pairs[] = {
      {tok::kTM0, 0x1234}, {tok::kAB, 0xA1B2}, {tok::kDPTR, 0x8765}, {tok::kBR1, 0x0400}};
  for (auto [token, value] : pairs) {
    EXPECT_TRUE(TargetSetRegister(token, value)) << int(token);
    EXPECT_EQ(TargetRegisterValue(token), value) << int(token);
  }
  EXPECT_EQ(Sfr(0x8C), 0x12) << "TM0 is TH0:TL0";
  EXPECT_EQ(Sfr(0x8A), 0x34);
  EXPECT_TRUE(TargetSetRegister(tok::kPC, 0x12345));
  EXPECT_EQ(T().SimPC, 0x2345) << "the PC stays within 64K";
  // The ADuC family's DPTR reads back its page.
  Target().CpuFamily = kFamilyAduc;
  EXPECT_TRUE(TargetSetRegister(tok::kDPTR, 0x123456));
  EXPECT_EQ(TargetRegisterValue(tok::kDPTR), 0x123456);
  tRegisterFrame f;
  TargetGetRegisters(f);
  EXPECT_EQ(f.DPTR, 0x123456u);
}

TEST_F(TargetTest, DisassembleLineGivesTheTextFromTheMnemonic) {
  Code(0x0010, {0x74, 0x11, 0x00});
  EXPECT_EQ(DisassembleLine(0x0010).rfind("MOV", 0), 0u);
  EXPECT_EQ(DisasLines().GetItem(0x0010).BytesNo, 2);
  dorvik::Run().TargetReady = false;
  EXPECT_TRUE(DisassembleLine(0x0000).empty()) << "it needs a ready target";
  EXPECT_FALSE(dorvik::Run().TargetBusy);
}

TEST_F(TargetTest, TypedBlockReadsWordsAndBitsAndStopsAtTheSpaceEnd) {
  for (uint8_t i = 0; i < 4; ++i) T().XDataImage[0x10 + i] = 0x12 + 0x22 * i;  // 12H 34H 56H 78H
  int32_t addr = 0x10;
  ASSERT_TRUE(TargetReadTypedBlock(kSpaceXData, addr, tok::kWORD, 2));
  ASSERT_EQ(ValueList().Count(), 2);
  EXPECT_EQ(ValueList().Items[0].Value, 0x1234u);
  EXPECT_EQ(ValueList().Items[1].Value, 0x5678u);

  ValueList().Items.clear();
  Iram(0x21) = 0x05;  // bits 08H..0FH: 1,0,1,0,...
  addr = 0x08;
  ASSERT_TRUE(TargetReadTypedBlock(kSpaceBit, addr, tok::kBIT, 4));
  EXPECT_EQ(addr, 0x21) << "the address becomes the first containing byte";
  ASSERT_EQ(ValueList().Count(), 4);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(ValueList().Items[i].Value, i % 2 ? 0u : 1u) << "bit " << i;

  // Past the end of an internal space: FFH, not a stale buffer byte.
  Link().RxBuffer.fill(0x5A);
  EXPECT_EQ(TargetReadByte(kSpaceIData, 0x100), 0xFF);
  Iram(0xFF) = 0x12;
  Link().RxBuffer.fill(0x5A);
  addr = 0xFF;
  ASSERT_TRUE(TargetReadTypedBlock(kSpaceIData, addr, tok::kWORD, 1));
  EXPECT_EQ(ValueList().Items.back().Value, 0x12FFu);
}

}  // namespace
}  // namespace dorvik

namespace dorvik::testing {
namespace {

// A register the target does not know leaves the evaluator's current value;
// a value beyond 32 bits (TRUE, a huge number, not a number) is taken by its
// low 32 bits or as 0, never converted out of range.
TEST(RegisterValueTest, TheCurrentValueIsTakenByItsLow32Bits) {
  ResetSession();
  dorvik::Run().TargetKind = kTargetNone;
  const struct {
    long double Current;
    int32_t Expected;
  } rows[] = {{4294967295.0L, -1}, {1e30L, 0}, {-2.0L, -2}, {0x12345678, 0x12345678}};
  for (const auto& row : rows) {
    Scanner().ExprValue = row.Current;
    EXPECT_EQ(TargetRegisterValue(tok::kRBS), row.Expected) << static_cast<double>(row.Current);
  }
  ResetSession();
}

}  // namespace
}  // namespace dorvik::testing
