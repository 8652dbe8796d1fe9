// The target access layer over the simulator's images, and the closed line of
// the monitor and ADuC kinds.

#include <gtest/gtest.h>

#include <vector>

#include "core/cpudb.h"
#include "core/keywords.h"
#include "core/target_access.h"
#include "tests/core/support/sim_fixture.h"

namespace dorvik {
namespace {

class TargetTest : public testing::SimFixture {
 protected:
  static uint8_t Rx(int i) { return Link().RxBuffer[static_cast<size_t>(i)]; }
};

TEST_F(TargetTest, CodeReadPastTheEndGivesFF) {
  T().CodeImage[0xFFFE] = 0x12;
  T().CodeImage[0xFFFF] = 0x34;
  ASSERT_TRUE(TargetReadBlock(kSpaceCode, 0xFFFE, 4));
  EXPECT_EQ(Rx(1), 0x12);
  EXPECT_EQ(Rx(2), 0x34);
  EXPECT_EQ(Rx(3), 0xFF);
  EXPECT_EQ(Rx(4), 0xFF);
}

TEST_F(TargetTest, DirectSpaceSplitsAt80H) {
  Iram(0x7F) = 0x11;
  Iram(0x80) = 0x22;
  Sfr(0x80) = 0x33;
  ASSERT_TRUE(TargetReadBlock(kSpaceDirect, 0x7F, 2));
  EXPECT_EQ(Rx(1), 0x11);
  EXPECT_EQ(Rx(2), 0x33);
  ASSERT_TRUE(TargetReadBlock(kSpaceIData, 0x7F, 2));
  EXPECT_EQ(Rx(2), 0x22);
}

TEST_F(TargetTest, InternalReadStopsAtFFH) {
  Iram(0xFE) = 1;
  Iram(0xFF) = 2;
  Link().RxBuffer[3] = 0xAA;
  Link().RxBuffer[4] = 0xBB;
  EXPECT_TRUE(TargetReadBlock(kSpaceIData, 0xFE, 4));
  EXPECT_EQ(Rx(1), 1);
  EXPECT_EQ(Rx(2), 2);
  EXPECT_EQ(Rx(3), 0xAA);
  EXPECT_EQ(Rx(4), 0xBB);
}

TEST_F(TargetTest, ByteAndTypedReadsPastAnInternalSpaceGiveFFNotStaleBytes) {
  Link().RxBuffer.fill(0x5A);
  EXPECT_EQ(TargetReadByte(kSpaceIData, 0x100), 0xFF);
  Iram(0xFF) = 0x12;
  Link().RxBuffer.fill(0x5A);
  int32_t addr = 0xFF;
  ASSERT_TRUE(TargetReadTypedBlock(kSpaceIData, addr, tok::kWORD, 1));
  ASSERT_EQ(ValueList().Count(), 2);  // the byte read above, then the word
  EXPECT_EQ(ValueList().Items[1].Value, 0x12FFu);
}

TEST_F(TargetTest, BlockLargerThanTheReceiveBufferIsRefused) {
  Link().RxBuffer[kRxBufferSize - 1] = 0x5A;
  EXPECT_FALSE(TargetReadBlock(kSpaceCode, 0, kRxBufferSize));
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(Rx(kRxBufferSize - 1), 0x5A);
  ResetMessages();
  EXPECT_TRUE(TargetReadBlock(kSpaceCode, 0, kRxBufferSize - 1));
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(TargetTest, SpacesWithoutAnImageReadAsFF) {
  Link().RxBuffer[1] = 0x12;
  EXPECT_TRUE(TargetReadBlock(kSpacePagedXData, 0x10, 1));
  EXPECT_EQ(Rx(1), 0xFF);
}

TEST_F(TargetTest, BitReadsTheirContainingBytes) {
  Iram(0x21) = 0x08;
  Sfr(0xE0) = 0x08;
  EXPECT_EQ(TargetReadByte(kSpaceBit, 0x0B), 1);
  EXPECT_EQ(TargetReadByte(kSpaceBit, 0x0A), 0);
  EXPECT_EQ(TargetReadByte(kSpaceBit, 0xE3), 1);
  ASSERT_EQ(ValueList().Count(), 3);
  EXPECT_EQ(ValueList().Items[0].TypeToken, tok::kBIT);
  EXPECT_EQ(Scanner().ExprValue, 1);
}

TEST_F(TargetTest, ByteReadGoesToTheValueListAndTheCurrentValue) {
  Iram(0x30) = 0x9C;
  EXPECT_EQ(TargetReadByte(kSpaceDirect, 0x30), 0x9C);
  ASSERT_EQ(ValueList().Count(), 1);
  EXPECT_EQ(ValueList().Items[0].TypeToken, tok::kBYTE);
  EXPECT_EQ(ValueList().Items[0].Value, 0x9Cu);
  EXPECT_EQ(Scanner().ExprValue, 0x9C);
}

struct StrobeDriver : vhw::HardwareReceiver {
  std::vector<uint32_t> Seen;
  int32_t HardwareAccess(uint32_t address, uint8_t space, uint8_t data) override {
    Seen.push_back(uint32_t{space} << 24 | address);
    return space == vhw::kSpaceSfr && (data & vhw::kReadStrobe) ? 0x5A : vhw::kNoReply;
  }
};

TEST_F(TargetTest, ExternalDataReadOffersTheByteToTheVirtualHardware) {
  T().XDataImage[0x1234] = 0x11;
  EXPECT_EQ(TargetReadByte(kSpaceXData, 0x1234), 0x11) << "nobody listens: the image byte";
  StrobeDriver driver;
  vhw::ShowReceiver(driver);
  EXPECT_EQ(TargetReadByte(kSpaceXData, 0x1234), 0x5A);
  EXPECT_EQ(driver.Seen.front(), 0x81001234u);
  EXPECT_EQ(T().XDataImage[0x1234], 0x11) << "the image is not changed";
  EXPECT_EQ(Sfr(0xB0), 0xFF) << "the strobe does not change P3";
  T().SuppressXDataIO = true;
  driver.Seen.clear();
  EXPECT_EQ(TargetReadByte(kSpaceXData, 0x1234), 0x11);
  EXPECT_TRUE(driver.Seen.empty());
  vhw::HideReceiver(driver);
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
}

TEST_F(TargetTest, WriteValueOfABitChangesOnlyThatBit) {
  Iram(0x21) = 0xF0;
  TargetWriteValue(kSpaceBit, 0x0B, 1, 1);
  EXPECT_EQ(Iram(0x21), 0xF8);
  TargetWriteValue(kSpaceBit, 0x97, 0, 1);
  EXPECT_EQ(Sfr(0x90), 0x7F);
}

TEST_F(TargetTest, AccWriteKeepsParity) {
  TargetWriteValue(kSpaceDirect, 0xE0, 0x01, 1);
  EXPECT_EQ(Sfr(0xD0) & 1, 1);
  TargetWriteValue(kSpaceDirect, 0xD0, 0x00, 1);
  EXPECT_EQ(Sfr(0xD0) & 1, 1);
}

TEST_F(TargetTest, OtherKindsChangeNothingAndReportTheClosedLine) {
  for (uint8_t kind : {kTargetMonitor, kTargetAduc}) {
    ResetMessages();
    dorvik::Run().TargetKind = kind;
    TargetWriteValue(kSpaceXData, 0x10, 0x55, 1);
    EXPECT_EQ(T().XDataImage[0x10], 0);
    EXPECT_EQ(TargetReadByte(kSpaceXData, 0x10), 0);
    EXPECT_TRUE(Messages().ErrorFlag);
    EXPECT_EQ(Messages().LastErrorCode, 105) << "a failed read is a framing error";
    ResetMessages();
    EXPECT_FALSE(TargetReadBlock(kSpaceCode, 0, 4));
    EXPECT_EQ(Messages().LastErrorCode, 161);
  }
  dorvik::Run().TargetKind = kTargetNone;
  ResetMessages();
  EXPECT_TRUE(TargetReadBlock(kSpaceCode, 0, 4));
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(TargetTest, WriteCodeByteTakesTheFirstByteOfTheText) {
  TargetWriteCodeByte(0x0100, "012,034");
  EXPECT_EQ(T().CodeImage[0x0100], 0x12);
  EXPECT_EQ(T().CodeImage[0x0101], 0x00);
  TargetWriteCodeByte(0x0100, "0ZZ");
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(T().CodeImage[0x0100], 0x12);
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
  EXPECT_EQ(f.R[0], 1);
  EXPECT_EQ(f.R[7], 8);
  EXPECT_EQ(f.DPTR, 0x1234u);
  EXPECT_EQ(f.ACC, 0xAA);
  EXPECT_EQ(f.B, 0xBB);
  EXPECT_EQ(f.SP, 0x07);
  EXPECT_EQ(f.PC, 0x4321u);
}

TEST_F(TargetTest, RegisterTokensReadAndWriteTheImages) {
  Sfr(0xD0) = 0x08;
  EXPECT_TRUE(TargetSetRegister(tok::kR3, 0x5A));
  EXPECT_EQ(Iram(0x0B), 0x5A);
  EXPECT_EQ(TargetRegisterValue(tok::kR3), 0x5A);
  EXPECT_EQ(Scanner().ExprValue, 0x5A);
  EXPECT_EQ(Scanner().ScanToken, tok::kNumberValue);

  EXPECT_TRUE(TargetSetRegister(tok::kTM0, 0x1234));
  EXPECT_EQ(Sfr(0x8C), 0x12);
  EXPECT_EQ(Sfr(0x8A), 0x34);
  EXPECT_EQ(TargetRegisterValue(tok::kTM0), 0x1234);
  EXPECT_TRUE(TargetSetRegister(tok::kAB, 0xA1B2));
  EXPECT_EQ(TargetRegisterValue(tok::kAB), 0xA1B2);
  EXPECT_TRUE(TargetSetRegister(tok::kDPTR, 0x8765));
  EXPECT_EQ(TargetRegisterValue(tok::kDPTR), 0x8765);
  EXPECT_TRUE(TargetSetRegister(tok::kPC, 0x12345));
  EXPECT_EQ(T().SimPC, 0x2345) << "the PC stays within 64K";
  EXPECT_TRUE(TargetSetRegister(tok::kBR1, 0x0400));
  EXPECT_EQ(TargetRegisterValue(tok::kBR1), 0x0400);
}

TEST_F(TargetTest, DptrOfTheAducFamilyReadsBackItsPage) {
  T().CpuFamily = kFamilyAduc;
  EXPECT_TRUE(TargetSetRegister(tok::kDPTR, 0x123456));
  EXPECT_EQ(TargetRegisterValue(tok::kDPTR), 0x123456);
  tRegisterFrame f;
  TargetGetRegisters(f);
  EXPECT_EQ(f.DPTR, 0x123456u);
}

TEST_F(TargetTest, Timer2RegistersAreUnknownOnThe51) {
  ASSERT_EQ(CpuDb().CpuName, "51");
  EXPECT_EQ(TargetRegisterValue(tok::kTM2), 0);
  EXPECT_EQ(Messages().LastErrorCode, 131);
  ResetMessages();
  EXPECT_FALSE(TargetSetRegister(tok::kRCAP2, 1));
  EXPECT_EQ(Messages().LastErrorCode, 131);
}

TEST_F(TargetTest, SetRegisterReportsOnlyItsOwnError) {
  Messages().ErrorFlag = true;  // left from an earlier command
  EXPECT_TRUE(TargetSetRegister(tok::kR0, 1));
  EXPECT_TRUE(Messages().ErrorFlag) << "the earlier error stays for its caller";
}

TEST_F(TargetTest, TheEvaluatorReadsThroughTheLayer) {
  Iram(0x05) = 0x77;
  Sfr(0xD0) = 0x00;
  EXPECT_EQ(CurrentTargetAccess().RegisterValue(tok::kR5), 0x77);
  EXPECT_EQ(CurrentTargetAccess().ReadByte(kSpaceIData, 0x05), 0x77);
}

TEST_F(TargetTest, DisassembleLineGivesTheTextFromTheMnemonicAndFollowsCodeWrites) {
  Code(0x0010, {0x74, 0x11, 0x00});
  const std::string first = DisassembleLine(0x0010);
  EXPECT_EQ(first.rfind("MOV", 0), 0u) << first;
  EXPECT_NE(first.find("011"), std::string::npos) << first;
  EXPECT_EQ(DisasLines().GetItem(0x0010).BytesNo, 2);
  TargetWriteValue(kSpaceCode, 0x0011, 0x22, 1);
  const std::string second = DisassembleLine(0x0010);
  EXPECT_NE(second.find("022"), std::string::npos) << second;
  EXPECT_EQ(DisassembleLine(0x0012).rfind("NOP", 0), 0u);
}

TEST_F(TargetTest, LoaderWriteBehindTheLayerIsSeenOnceAnnounced) {
  Code(0x0020, {0x90, 0x12, 0x34});  // MOV DPTR,#1234H
  EXPECT_NE(DisassembleLine(0x0020).find("1234"), std::string::npos);
  T().SimPC = 0x0020;
  SimStep(0x0020);
  EXPECT_EQ(Sfr(0x82), 0x34);
  // The last byte of the line changes behind the layer (a load, the line assembler).
  T().CodeImage[0x0022] = 0x56;
  CodeImageChanged(0x0022);
  EXPECT_NE(DisassembleLine(0x0020).find("1256"), std::string::npos) << "neither the line item nor the code cache is stale";
  SimStep(0x0020);
  EXPECT_EQ(Sfr(0x82), 0x56) << "nor the simulator's decoded line";
}

TEST_F(TargetTest, TypedBlockReadsWordsAndBits) {
  T().XDataImage[0x10] = 0x12;
  T().XDataImage[0x11] = 0x34;
  T().XDataImage[0x12] = 0x56;
  T().XDataImage[0x13] = 0x78;
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
  EXPECT_EQ(ValueList().Items[0].Value, 1u);
  EXPECT_EQ(ValueList().Items[1].Value, 0u);
  EXPECT_EQ(ValueList().Items[2].Value, 1u);
  EXPECT_EQ(ValueList().Items[3].Value, 0u);
}

TEST_F(TargetTest, TypedBlockLargerThanTheBufferIsRefused) {
  int32_t addr = 0;
  EXPECT_FALSE(TargetReadTypedBlock(kSpaceXData, addr, tok::kLONGINT, 300));
  EXPECT_TRUE(Messages().ErrorFlag);
  ResetMessages();
  EXPECT_FALSE(TargetReadTypedBlock(kSpaceXData, addr, tok::kBYTE, 0x7FFFFFFF));
  EXPECT_EQ(ValueList().Count(), 0);
}

TEST_F(TargetTest, DisassembleLineNeedsAReadyTarget) {
  dorvik::Run().TargetReady = false;
  EXPECT_TRUE(DisassembleLine(0x0000).empty());
  EXPECT_FALSE(dorvik::Run().TargetBusy);
}

}  // namespace
}  // namespace dorvik
