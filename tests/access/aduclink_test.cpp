// The ADuC packet link against the fake chip: the frames each command family
// sends (letter, argument, check byte), the console text, and the chip's
// memory afterwards.

#include <gtest/gtest.h>

#include "access/programload.h"
#include "lang/keywords.h"
#include "tests/support/link_fixture.h"

namespace dorvik::testing {
namespace {

// Frames as text: "V81 " for letter V, argument 81H (check bytes verified separately).
std::string Frames(const std::string& wire) {
  std::string out;
  for (size_t i = 0; i + 2 < wire.size() + 0; i += 3) {
    const uint8_t l = uint8_t(wire[i]), a = uint8_t(wire[i + 1]), c = uint8_t(wire[i + 2]);
    if (uint8_t(l + a + c) != 0) return out + "<bad check>";
    out += std::string(1, char(l)) + FormatHex2(a) + " ";
  }
  if (wire.size() % 3) out += "<rest>";
  return out;
}

class AducLinkTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    StartOn(FakeTarget::Kind::Aduc);
    Fake().Poke(kSpaceCode, 0, {0x74, 0x05, 0x04, 0x80, 0xFD, 0x12, 0x00, 0x10, 0x80, 0xFE});
    Fake().Poke(kSpaceCode, 0x10, {0x22});
    Fake().Poke(kSpaceXData, 0x100, {0x11, 0x22, 0x33, 0x44, 0xA0});
  }
};

// The data pointer set up around a read or write: its control SFR saved,
// DPP/DPL/DPH stored, the control SFR restored.
constexpr const char* kXPointer100 = "VAF I01 FAF I00 F84 I00 F82 I01 F83 ";
constexpr const char* kCodePointer0 = "VA7 I00 FA7 I00 F82 I00 F83 ";

TEST_F(AducLinkTest, MemoryFamiliesOnTheWire) {
  EXPECT_EQ(Frames(Wire("XBYTE 100 TO 104")), std::string(kXPointer100) + "D05 I00 FAF ");
  EXPECT_EQ(Out(), "XDATA  0100=11,22,33,44,A0 ' .\"3D  '\n");
  EXPECT_EQ(Frames(Wire("XBYTE 100 = 1, 2")), std::string(kXPointer100) + "M01 M02 I00 FAF ");
  EXPECT_EQ(Fake().Memory(kSpaceXData, 0x100, 3), (std::vector<uint8_t>{1, 2, 0x33}));
  // One code byte: "Y" with the count 0.
  EXPECT_EQ(Frames(Wire("CBYTE 1")), "VA7 I00 FA7 I01 F82 I00 F83 Y00 I00 FA7 ");
  EXPECT_EQ(Out(), "CODE  0001=05 ' . '\n");
  // Internal data: "I" address then "W"; read back with "R".
  EXPECT_EQ(Frames(Wire("RBYTE 30 = 5")), "I30 W05 ");
  EXPECT_EQ(Frames(Wire("RBYTE 30")), "R30 ");
  EXPECT_EQ(Out(), "IDATA  0030=05 ' . '\n");
  EXPECT_EQ(Frames(Wire("RBYTE 7F")), "R7F ");  // the last internal byte; 80H is an SFR
  EXPECT_EQ(Frames(Wire("RBYTE 80")), "V80 ");
  EXPECT_EQ(Frames(Wire("RBYTE 7F = 2")), "I7F W02 ");
  EXPECT_EQ(Frames(Wire("RBYTE 80 = 1")), "I01 F80 ");
  // An SFR: "I" value then "F" address; the shadowed ACC and R0 need no command at all.
  EXPECT_EQ(Frames(Wire("RBYTE 90 = 7")), "I07 F90 ");
  EXPECT_EQ(Fake().Memory(kSpaceDirect, 0x90, 1), std::vector<uint8_t>{7});
  EXPECT_EQ(Frames(Wire("RBYTE 0E0 = 42")), "");
  EXPECT_EQ(Frames(Wire("RBYTE 0E0")), "");
  EXPECT_EQ(Out(), "RDATA  00E0=42 ' B '\n");
  EXPECT_EQ(Frames(Wire("DBYTE 0")), "");
  // The shadows BCH-BFH need no command either; their neighbours go to the chip.
  EXPECT_EQ(Frames(Wire("RBYTE 0BC = 1")), "");
  EXPECT_EQ(Frames(Wire("RBYTE 0BF = 2")), "");
  EXPECT_EQ(Frames(Wire("RBYTE 0BB = 3")), "I03 FBB ");
  EXPECT_EQ(Frames(Wire("RBYTE 0C0 = 4")), "I04 FC0 ");
  // Several SFRs: the whole dump, the shadows put in.
  EXPECT_EQ(Frames(Wire("RBYTE 0DF TO 0E1")), "V00 ");
  EXPECT_EQ(Out(), "RDATA  00DF=00,42,00 ' .B. '\n");
  // R1-R7 are the chip's: through the link, not the local images.
  EXPECT_EQ(Frames(Wire("R3 = 9")), "I03 W09 ");
  EXPECT_EQ(Frames(Wire("R3")), "R03 ");
  EXPECT_EQ(Out(), "R3 =09\n");
  // Register pairs: ACC is the shadow's, B and the timer through the chip.
  Fake().ClearReceived();
  EXPECT_TRUE(TargetSetRegister(tok::kAB, 0x1234));
  EXPECT_EQ(Frames(Fake().Received()), "I34 FF0 ");
  EXPECT_EQ(Target().TargetRegs.ACC, 0x12);
  EXPECT_EQ(Fake().Memory(kSpaceDirect, 0xF0, 1), std::vector<uint8_t>{0x34});
  Fake().ClearReceived();
  EXPECT_TRUE(TargetSetRegister(tok::kTM0, 0x5678));
  EXPECT_EQ(Frames(Fake().Received()), "I56 F8C I78 F8A ");
  EXPECT_TRUE(Errors().empty());
}

// A single byte comes back as letter, value and check byte, the three adding
// up to 0 modulo 256; a block as letter, data, check byte, CR and LF. With a
// wrong check byte or line end nothing is taken, nor from a break report.
TEST_F(AducLinkTest, RepliesNeedTheirCheckByteAndLineEnd) {
  const uint8_t good[] = {'V', 0x55, 0x55}, bad[] = {'V', 0x55, 0x54};
  LinkReplayForTesting(good);
  EXPECT_EQ(Output("RBYTE 90"), "RDATA  0090=55 ' U '\n");
  EXPECT_TRUE(Errors().empty());
  LinkReplayForTesting(bad);
  EXPECT_EQ(Output("RBYTE 90"), "");
  EXPECT_EQ(Errors(), std::vector<int>{err::kFramingError});
  // The SFR dump: 128 bytes of 0, so the check byte is 0.
  std::vector<uint8_t> dump(129, 0);
  dump[0] = 'V';
  dump.insert(dump.end(), {0x00, '\r', '\n'});
  LinkReplayForTesting(dump);
  EXPECT_EQ(Output("RBYTE 90 TO 91"), "RDATA  0090=00,00 ' .. '\n");
  EXPECT_TRUE(Errors().empty());
  dump[130] = ' ';
  LinkReplayForTesting(dump);
  EXPECT_EQ(Output("RBYTE 90 TO 91"), "");
  EXPECT_EQ(Errors(), std::vector<int>{err::kFramingError});
  // A break report: "B", ACC, PSW, R0, PC high and low, check byte (63H here).
  const uint8_t report[] = {'B', 0x12, 0x34, 0x56, 0x01, 0x00, 0x62};
  std::copy(std::begin(report), std::end(report), Link().RxBuffer.begin());
  Link().RxCount = 7;
  Target().TargetRegs.PC = 0x1234;
  Messages().LastErrorCode = 0;
  EXPECT_FALSE(AducTakeBreakReport(0, false));
  EXPECT_EQ(Messages().LastErrorCode, err::kFramingError);
  EXPECT_EQ(Target().TargetRegs.PC, 0x1234);
}

// Code is flash: a write that only clears bits is programmed in place; one
// that sets a bit erases the page and programs it again from its image.
TEST_F(AducLinkTest, CodeWritesByPage) {
  EXPECT_EQ(Frames(Wire("CBYTE 2 = 0")), std::string(kCodePointer0) + "Y40 I00 FA7 I02 FC6 I00 FC7 A00 ");
  EXPECT_EQ(Fake().Memory(kSpaceCode, 2, 1), std::vector<uint8_t>{0});
  const std::string erase = Frames(Wire("CBYTE 2 = 4"));
  const std::string erased = std::string(kCodePointer0) + "Y40 I00 FA7 I00 FC6 I00 FC7 P00 I00 FC6 I00 FC7 A74 ";
  EXPECT_EQ(erase.substr(0, erased.size()), erased);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0, 11), (std::vector<uint8_t>{0x74, 0x05, 0x04, 0x80, 0xFD, 0x12, 0, 0x10, 0x80, 0xFE, 0}));
  // Across a page boundary: one page each.
  Fake().ClearReceived();
  Wire("CBYTE 3E TO 41 = 1, 2, 3, 4");
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x3E, 4), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0, 3), (std::vector<uint8_t>{0x74, 0x05, 0x04}));
  // A page programmed again: a run of three erased bytes is programmed like
  // data, a run of four is skipped and the address set anew after it.
  std::vector<uint8_t> page(64, 0xFF);
  const uint8_t head[] = {0x11, 0xFF, 0xFF, 0xFF, 0x22, 0xFF, 0xFF, 0xFF, 0xFF, 0x33};
  std::copy(std::begin(head), std::end(head), page.begin());
  Fake().Poke(kSpaceCode, 0x80, page);
  const std::string frames = Frames(Wire("CBYTE 80 = 15"));
  const std::string programmed = "I80 FC6 I00 FC7 A15 AFF AFF AFF A22 I89 FC6 I00 FC7 A33 ";
  ASSERT_GE(frames.size(), programmed.size());
  EXPECT_EQ(frames.substr(frames.size() - programmed.size()), programmed);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x80, 10),
            (std::vector<uint8_t>{0x15, 0xFF, 0xFF, 0xFF, 0x22, 0xFF, 0xFF, 0xFF, 0xFF, 0x33}));
  EXPECT_TRUE(Errors().empty());
}

// A page erased and then not programmed keeps its image: the retry programs
// the page from it instead of reading the erased flash back.
TEST_F(AducLinkTest, FailedWriteAfterEraseKeepsThePage) {
  Fake().SetFault(Fault::Nak, 16);  // the erase passes, the command after it is refused
  Wire("CBYTE 2 = 0FF");
  EXPECT_EQ(Errors(), std::vector<int>{err::kFramingError});
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0, 2), (std::vector<uint8_t>{0xFF, 0xFF}));  // erased
  EXPECT_EQ(Frames(Wire("CBYTE 2 = 0FF")).substr(0, 32), "I00 FC6 I00 FC7 A74 A05 AFF A80 ");
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0, 11),
            (std::vector<uint8_t>{0x74, 0x05, 0xFF, 0x80, 0xFD, 0x12, 0, 0x10, 0x80, 0xFE, 0}));
}

// Reads of more than 255 bytes are split; the count byte never wraps.
TEST_F(AducLinkTest, LongReadsAreSplit) {
  Fake().Poke(kSpaceXData, 0x1FF, {0x5A});
  Fake().ClearReceived();
  std::vector<uint8_t> bytes(300);
  ASSERT_TRUE(AducReadBlock(kSpaceXData, 0x100, bytes));
  const std::string frames = Frames(Fake().Received());
  EXPECT_NE(frames.find("DFF "), std::string::npos);
  EXPECT_NE(frames.find("D2D "), std::string::npos);  // 300 - 255 = 45
  EXPECT_EQ(bytes[0xFF], 0x5A);
  EXPECT_EQ(bytes[0], 0x11);
}

// GO plants the break opcode, loads the shadows and starts with 'S'; the
// break report comes through the idle handler, the code byte goes back.
TEST_F(AducLinkTest, GoToBreakStepAndReset) {
  Wire("BR = 3");
  const std::string go = Frames(Wire("GO"));
  const std::string start = "I00 FC6 I00 FBF I00 FBE I00 FBD I00 FBC I00 F84 I00 F82 I00 F83 I09 F81 I00 F8F I00 F8E ";
  EXPECT_NE(go.find(start), std::string::npos) << go;
  EXPECT_EQ(go.substr(go.size() - 16), "I00 H74 T00 S00 ");
  EXPECT_EQ(Fake().Memory(kSpaceCode, 3, 1), std::vector<uint8_t>{0xA5});
  ASSERT_TRUE(AwaitHalt());
  EXPECT_EQ(TerminalText(), "EXECUTION HALTED AT 0003\nhlt>");
  EXPECT_EQ(dorvik::Run().CurrentPC, 3u);
  EXPECT_EQ(Target().TargetRegs.ACC, 6);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 3, 1), std::vector<uint8_t>{0x80});  // the break is out again
  // STEP: 'J' and the break report, then the SFR shadows read back.
  const std::string step = Frames(Wire("STEP"));
  EXPECT_NE(step.find("T06 J00 V81 V83 V82 V84 VBC VBD VBE VBF VC6 "), std::string::npos) << step;
  EXPECT_EQ(step.find("VC7"), std::string::npos) << step;  // C7H is not read back
  EXPECT_EQ(Out(), "0003H SJMP    02----->0002H INC     A\n");
  EXPECT_EQ(Target().TargetRegs.PC, 2);
  // RESET: 'Z', then the chip's announcement is awaited; a chip that does not announce itself is reported.
  EXPECT_EQ(Frames(Wire("RESET CPU")), "Z00 ");
  EXPECT_EQ(Link().TargetChipId, "ADI 841");
  EXPECT_EQ(Target().CpuFamily, kFamilyAduc);
  EXPECT_TRUE(Errors().empty());
  Fake().SetFault(Fault::Silent);
  EXPECT_EQ(Frames(Wire("RESET CPU")), "Z00 ");
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetDeviceNotResponding});
  Fake().SetFault(Fault::None);
  // Paged external data and EEPROM: not supported, read or written; a checksum reads every space.
  for (const char* line : {"PBYTE 0", "EBYTE 0", "PWORD 0", "PBYTE 0 = 1"}) {
    Wire(line);
    EXPECT_EQ(Errors(), std::vector<int>{err::kSystemCommandNotSupported}) << line;
  }
  EXPECT_EQ(Output("CHECKSUM XBYTE 100 TO 104"), "CHECKSUM =014A\n");
}

// The program stops in register bank 1, 2 or 3: R0 comes with the break
// report, R1-R7 are read from that bank, and RBS shows it.
TEST_F(AducLinkTest, StopInAnotherBankShowsItsRegisters) {
  for (uint8_t bank = 1; bank <= 3; ++bank) {
    SCOPED_TRACE(int(bank));
    std::vector<uint8_t> registers;
    for (uint8_t n = 0; n < 8; ++n) registers.push_back(uint8_t(0x10 * bank + n));
    Fake().Poke(kSpaceIData, uint16_t(8 * bank), registers);
    Fake().Poke(kSpaceCode, 0x20, {0x75, 0xD0, uint8_t(bank << 3), 0x80, 0xFE});  // MOV PSW,#bank; SJMP $
    Wire("GO FROM 20 TILL 23");
    ASSERT_TRUE(AwaitHalt());
    EXPECT_EQ(RegisterText("RBS"), std::to_string(bank));
    for (uint8_t n = 0; n < 8; ++n)
      EXPECT_EQ(RegisterText("R" + std::to_string(n)), FormatHex2(registers[n])) << int(n);
    EXPECT_EQ(Output("R5"), "R5 =" + FormatHex2(registers[5]) + "\n");
    // A step in that bank.
    Wire("STEP FROM 20");
    EXPECT_EQ(RegisterText("RBS"), std::to_string(bank));
    EXPECT_EQ(RegisterText("R7"), FormatHex2(registers[7]));
    // Started in bank 0, halted after the program chose the bank (no break report).
    Wire("RBS = 0");
    Wire("DISABLE BR0");
    Wire("GO FROM 20");
    ASSERT_TRUE(dorvik::Run().ProgramRunning);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Wire("HALT");
    EXPECT_EQ(RegisterText("RBS"), std::to_string(bank));
    for (uint8_t n = 1; n < 8; ++n)
      EXPECT_EQ(RegisterText("R" + std::to_string(n)), FormatHex2(registers[n])) << int(n);
    EXPECT_TRUE(Errors().empty());
    Wire("ENABLE BR0");
  }
}

// The program starts with the user's data pointer: the code byte for "H" is
// read before the shadows go in, so nothing moves DPTR after DPL/DPH.
TEST_F(AducLinkTest, StartKeepsTheUsersDataPointer) {
  EXPECT_EQ(Frames(Wire("RBYTE 82 TO 83 = 34, 12")), "");  // the shadows alone
  const std::string step = Frames(Wire("STEP FROM 0"));
  EXPECT_NE(step.find("I34 F82 I12 F83 I09 F81 I00 F8F I00 F8E I00 H74 T00 J00 "), std::string::npos) << step;
  EXPECT_EQ(Frames(Wire("RBYTE 82 TO 83")), "V00 ");
  EXPECT_EQ(Out(), "RDATA  0082=34,12 ' 4. '\n");
  // One byte of XDATA: the count 0 and its single-byte answer.
  EXPECT_EQ(Frames(Wire("XBYTE 101")), "VAF I01 FAF I00 F84 I01 F82 I01 F83 D00 I00 FAF ");
  EXPECT_EQ(Out(), "XDATA  0101=22 ' \" '\n");
  EXPECT_TRUE(Errors().empty());
}

// TRACE runs a call through: the break opcode on the return address, 'S', the
// break report through the idle handler, the code byte back.
TEST_F(AducLinkTest, TraceRunsTheCallThroughAndHaltStopsTheChip) {
  Output("TRACE FROM 5");
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(dorvik::Run().CurrentPC, 8u);
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 8, 1), std::vector<uint8_t>{0x80});
  EXPECT_EQ(Fake().Memory(kSpaceDirect, sfr::SP, 1), std::vector<uint8_t>{7});  // the call returned
  // HALT: 'R' 01H stops the chip.
  Wire("GO FROM 8");
  EXPECT_TRUE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Frames(Wire("HALT")).substr(0, 4), "R01 ");
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(dorvik::Run().CurrentPC, 8u);
  EXPECT_FALSE(Fake().Running());
  EXPECT_TRUE(Errors().empty());
}

// A chip that resets itself when asked to stop answers 07H: the break goes
// back, the program is reset ('Z' last), and the chip's announcement is
// awaited; the registers are those of a program start.
TEST_F(AducLinkTest, HaltAnsweredByAResetResetsTheProgram) {
  Wire("BR = 3");
  Wire("GO FROM 8");
  ASSERT_TRUE(dorvik::Run().ProgramRunning);
  Target().TargetRegs.SP = 0x30;
  EXPECT_EQ(Fake().Memory(kSpaceCode, 3, 1), std::vector<uint8_t>{0xA5});
  Fake().SetFault(Fault::ResetOnHalt);
  const std::string halt = Frames(Wire("HALT"));
  EXPECT_EQ(halt.substr(0, 4), "R01 ") << halt;
  EXPECT_EQ(halt.substr(halt.size() - 4), "Z00 ") << halt;
  EXPECT_EQ(halt.find("V81"), std::string::npos) << halt;  // no shadows read from a chip that reset
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
  EXPECT_EQ(Link().ChipAnnouncements, 1);
  EXPECT_EQ(Link().TargetChipId, "ADI 841");
  EXPECT_EQ(dorvik::Run().CurrentPC, 0u);
  EXPECT_EQ(Target().TargetRegs.SP, 7);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 3, 1), std::vector<uint8_t>{0x80});
  EXPECT_FALSE(Fake().Running());
  // The console goes on: the program starts again from its reset PC.
  Fake().SetFault(Fault::None);
  Wire("GO TILL 3");
  ASSERT_TRUE(AwaitHalt());
  EXPECT_EQ(dorvik::Run().CurrentPC, 3u);
}

// A chip that restarts while the program runs announces itself: the run ends
// at the reset PC and the break goes back into its code.
TEST_F(AducLinkTest, RestartWhileRunningEndsTheRun) {
  Wire("BR = 3");
  Wire("GO FROM 8");
  ASSERT_TRUE(dorvik::Run().ProgramRunning);
  Fake().ResetByItself();
  ASSERT_TRUE(AwaitHalt());
  EXPECT_EQ(TerminalText(), "EXECUTION HALTED AT 0000\nhlt>");
  EXPECT_EQ(Link().TargetChipId, "ADI 841");
  EXPECT_EQ(Fake().Memory(kSpaceCode, 3, 1), std::vector<uint8_t>{0x80});
  EXPECT_TRUE(Errors().empty());
}

// Each failure of the download ends the load with one numbered message; the
// line is back at 9600 and takes the next command.
TEST_F(AducLinkTest, DownloadFailuresEndTheLoad) {
  static std::array<uint8_t, kProgramImageSize> image{};
  struct Row {
    Fault fault;
    uint32_t arg;  // packets that pass first (the speed change is the first)
    int error;
  };
  const Row rows[] = {
      {Fault::Nak, 1, err::kTargetError},       // the erase refused
      {Fault::Garbage, 1, err::kFramingError},  // garbage for the erase's acknowledgement
      {Fault::Refuse, 0, err::kTargetError},    // a page refused four times
      {Fault::Announce, 2, err::kTargetError},  // the chip restarted at the first page
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(int(r.fault));
    Link().TargetChipId = "ADI 841";
    Fake().SetFault(r.fault, r.arg);
    boxes_.Clear();
    EXPECT_NE(AducTransferProgram({.Image = image, .Lowest = 0, .Highest = 0x1FF, .FileName = "p.hex", .Progress = {}}), TransferResult::Done);
    EXPECT_EQ(Errors(), std::vector<int>{r.error});
    EXPECT_EQ(LinkBaud(), 9600);
    Fake().SetFault(Fault::None);
    EXPECT_EQ(Output("XBYTE 100"), "XDATA  0100=11 ' . '\n");
    EXPECT_TRUE(Errors().empty());
  }
}

TEST_F(AducLinkTest, DownloadPacketAndSpeed) {
  Fake().ClearReceived();
  EXPECT_TRUE(AducSendPacket(0x0E, 'C', {}));
  EXPECT_EQ(Fake().Received(), std::string("\x07\x0E\x01\x43\xBC", 5));
  EXPECT_FALSE(AducSendPacket(0x0F, 'C', {}));
  EXPECT_FALSE(AducSendPacket(0x0E, 'W', std::vector<uint8_t>(251)));  // more data than a packet holds
  EXPECT_EQ(Fake().Received(), std::string("\x07\x0E\x01\x43\xBC", 5));
  uint8_t high = 0, low = 0;
  Link().TargetChipId = "ADI 834";
  EXPECT_TRUE(AducBaudTimerValues(57600, high, low));
  EXPECT_EQ(high, 0x82);
  EXPECT_EQ(low, 0x2D);
  // Every speed row for the 834 and for each other chip the table knows.
  struct SpeedRow {
    const char* Chip;
    int32_t Baud;
    uint8_t High, Low;
  };
  const SpeedRow rows[] = {
      {"ADI 834", 9600, 0x85, 0x12},   {"ADI 834", 38400, 0x83, 0x12},  {"ADI 834", 115200, 0x81, 0x2D},
      {"ADI 841", 9600, 0x85, 0x2D},   {"ADI 842", 38400, 0x83, 0x2D},  {"ADI 843", 57600, 0x83, 0x09},
      {"ADI 832", 115200, 0x82, 0x09},
  };
  for (const SpeedRow& r : rows) {
    Link().TargetChipId = r.Chip;
    high = low = 0;
    EXPECT_TRUE(AducBaudTimerValues(r.Baud, high, low)) << r.Chip << " " << r.Baud;
    EXPECT_EQ(std::pair(int(high), int(low)), std::pair(int(r.High), int(r.Low))) << r.Chip << " " << r.Baud;
  }
  Link().TargetChipId = "ADI 831";  // a chip the table does not know
  EXPECT_FALSE(AducBaudTimerValues(9600, high, low));
  Link().TargetChipId = "ADI 841";
  EXPECT_FALSE(AducBaudTimerValues(19200, high, low));
  EXPECT_TRUE(AducSetDownloadSpeed(115200));
  EXPECT_EQ(LinkBaud(), 115200);
}

}  // namespace
}  // namespace dorvik::testing
