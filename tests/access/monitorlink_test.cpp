// The monitor text link against the fake monitor board: the exact bytes each
// command family puts on the wire and the console text it prints.

#include <gtest/gtest.h>

#include <algorithm>

#include "access/programload.h"
#include "lang/keywords.h"
#include "tests/support/link_fixture.h"

namespace dorvik::testing {
namespace {

class MonitorLinkTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    StartOn(FakeTarget::Kind::Monitor);
    // MOV A,#5; INC A; SJMP back to the INC; LCALL 0010H at 0005H; SJMP $ at 0008H; RET at 0010H.
    Fake().Poke(kSpaceCode, 0, {0x74, 0x05, 0x04, 0x80, 0xFD, 0x12, 0x00, 0x10, 0x80, 0xFE});
    Fake().Poke(kSpaceCode, 0x10, {0x22});
    Fake().Poke(kSpaceXData, 0x100, {0x11, 0x22, 0x33, 0x44, 0xA0});
  }
};

struct WireCase {
  const char* Line;
  const char* Wire;    // every byte sent, in order
  const char* Output;  // the console text, without the prompt
};

// One command of each family, in an order that builds on the one before.
constexpr WireCase kMonitorCases[] = {
    // The register bank before any stop has filled the status fields: bank 0,
    // nothing asked of the board; a bank set is the one shown.
    {"RBS", "", "RBS =0\n"},
    {"RBS = 2", "RBS=0002\r", ""},
    {"RBS", "", "RBS =2\n"},
    {"RBS = 0", "RBS=0000\r", ""},
    // Memory display: one read per chunk of 16 (16, 16, 8), addresses as words.
    {"XBYTE 100 TO 104", "XBYT 00100 TO 00104\r", "XDATA  0100=11,22,33,44,A0 ' .\"3D  '\n"},
    {"XBYTE 100 TO 127", "XBYT 00100 TO 0010F\rXBYT 00110 TO 0011F\rXBYT 00120 TO 00127\r",
     "XDATA  0100=11,22,33,44,A0,00,00,00,00,00,00,00,00,00,00,00 ' .\"3D ........... '\n"
     "XDATA  0110=00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00 ' ................ '\n"
     "XDATA  0120=00,00,00,00,00,00,00,00 ' ........ '\n"},
    // A word above 9FH gets a leading 0 as well.
    {"XBYTE 9F", "XBYT 009F\r", "XDATA  009F=00 ' . '\n"},
    {"XBYTE 0A0", "XBYT 000A0\r", "XDATA  00A0=00 ' . '\n"},
    // Direct data below 80H is read as indirect data; SFRs as direct data, addresses as bytes.
    {"RBYTE 30", "DBYT 30\r", "IDATA  0030=00 ' . '\n"},
    {"RBYTE 0A0", "RBYT 0A0\r", "RDATA  00A0=FF ' . '\n"},
    {"RBYTE 7F", "DBYT 7F\r", "IDATA  007F=00 ' . '\n"},
    {"RBYTE 80", "RBYT 80\r", "RDATA  0080=FF ' . '\n"},
    {"RBYTE 7F = 5", "DBYT 7F=05\r", ""},
    {"RBYTE 80 = 6", "RBYT 80=06\r", ""},
    // Writes: 8 values per command, XON after each but the last, bytes above 9FH with a leading 0.
    {"XBYTE 200 = 1, 2, 3, 4, 5, 6, 7, 8, 9, 0A0", "XBYT 00200=01,02,03,04,05,06,07,08\r\x11XBYT 00208=09,0A0\r", ""},
    {"XBYTE 210 = 1, 2, 3, 4, 5, 6, 7, 8", "XBYT 00210=01,02,03,04,05,06,07,08\r", ""},
    {"XBYTE 220 = 9F, 0A0", "XBYT 00220=9F,0A0\r", ""},
    // A fill: ranged commands of at most 256 bytes.
    {"XBYTE 300 TO 4FF = 55", "XBYT 00300 TO 003FF=55\rXBYT 00400 TO 004FF=55\r", ""},
    {"XBYTE 500 TO 5FF = 0AA", "XBYT 00500 TO 005FF=0AA\r", ""},
    // Every chunk of a fill is a range, also the last one of a single byte.
    {"XBYTE 700 TO 800 = 1", "XBYT 00700 TO 007FF=01\rXBYT 00800 TO 00800=01\r", ""},
    // A copy is the monitor's own.
    {"XBYTE 600 TO 603 = XBYTE 100 TO 103", "XBYT 00600=XBYT 00100 TO 00103\r\x11", ""},
    {"DBYTE 20 = 1", "DBYT 20=01\r", ""},
    // Registers by keyword; the register list's second line follows XON.
    {"R3 = 7", "R3=0007\r", ""},
    {"R3", "R3\r", "R3 =07\n"},
    // The register list: its first line, XON, the second line, ESC back to the prompt.
    {"REGISTERS", "REGI\r\x11\x1b",
     "PC=0000 ACC=00 B=00 PSW=00 SP=07 DPTR=0000\nR0=00 R1=00 R2=00 R3=07 R4=00 R5=00 R6=00 R7=00\n"},
    // The break registers: the BR query, BR0 set (its code line read), shown, dropped.
    // The BR query: its line, then ESC (after 100 ms) back to the prompt.
    {"BR", "BR\r\x1b", "BREAK =OFF\nBR0 =RESET \nBR1 =RESET \n"},
    {"BR = ON", "BR\r\x1b" "BR=ON\r\x11", ""},
    // Bits by their own addresses: read, written, filled as one line.
    {"BIT 0B = 1", "RBIT 0B=01\r", ""},
    {"BIT 0A TO 0C = 0, 1, 1", "RBIT 0A=00,01,01\r", ""},
    {"BIT 0A TO 0C", "RBIT 0A TO 0C\r", "BIT  000A=0,1,1\n"},
    {"BIT 0A0 TO 0A7 = 1", "RBIT 0A0 TO 0A7=01\r", ""},
    {"BR0 = 2", "CBYT 0002 TO 0011\r", ""},
    {"BR0", "", "BR0 =0002\n"},
    {"DISABLE BR0", "RESE BR0\r\x11", ""},
    // A reset is a stop: the register list is asked for the status fields.
    {"RESET CPU", "RES CH\rREGI\r\x11\x1b", "OVIX-52 V4.0 USER 0000\n"},
    {"CAUSE", "CAUS\r", "NONE\n"},
};

TEST_F(MonitorLinkTest, CommandFamiliesOnTheWire) {
  for (const WireCase& c : kMonitorCases) {
    EXPECT_EQ(Wire(c.Line), c.Wire) << c.Line;
    EXPECT_EQ(Out(), c.Output) << c.Line;
    EXPECT_TRUE(Errors().empty()) << c.Line;
  }
  EXPECT_EQ(Fake().Memory(kSpaceXData, 0x200, 10), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0xA0}));
  EXPECT_EQ(Fake().Memory(kSpaceXData, 0x4FF, 2), (std::vector<uint8_t>{0x55, 0xAA}));
  EXPECT_EQ(Fake().Memory(kSpaceXData, 0x600, 4), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
  // A register pair reaches the board through its two SFRs.
  Fake().ClearReceived();
  EXPECT_TRUE(TargetSetRegister(tok::kAB, 0x1234));
  EXPECT_EQ(Fake().Received(), "RBYT 0E0=12\rRBYT 0F0=34\r");
  EXPECT_EQ(Fake().Memory(kSpaceDirect, 0xE0, 1), std::vector<uint8_t>{0x12});
  EXPECT_EQ(Fake().Memory(kSpaceDirect, 0xF0, 1), std::vector<uint8_t>{0x34});
}

// GO TILL an address sets BR0 and names it; the halt report arrives through
// the idle handler, which prints it, clears the run state and types "hlt>".
TEST_F(MonitorLinkTest, GoTillBreakAndStep) {
  // The code line of the break (and the placement check's lines) are read first.
  EXPECT_EQ(Wire("GO TILL 3"), "CBYT 0003 TO 0012\rPC=0000\rCBYT 0003 TO 0004\rBR0=0003\rGO FROM 0000 TILL BR0\r");
  EXPECT_EQ(Out(), "EXECUTION BEGUN\n");
  EXPECT_TRUE(dorvik::Run().ProgramRunning);
  ASSERT_TRUE(AwaitHalt());
  EXPECT_EQ(TerminalText(), "EXECUTION BEGUN\nEXECUTION HALTED AT 0003H BECAUSE OF BR0 \nhlt>");
  EXPECT_EQ(dorvik::Run().CurrentPC, 3u);
  EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
  // STEP: "S", the monitor's stop line, ESC back to the prompt.
  EXPECT_EQ(Wire("STEP"), "PC=0003\rS\r\x1b" "REGI\r\x11\x1b" "CBYT 0002 TO 0011\r");
  EXPECT_EQ(Out(), "0003H SJMP    02----->0002H INC     A\n");
  EXPECT_EQ(dorvik::Run().CurrentPC, 2u);
  // Both break registers: "TILL BR"; an address at or above 0A0H goes out with a leading 0.
  Wire("BR1 = 0A0");
  EXPECT_EQ(Wire("GO FROM 5"), "PC=0005\rCBYT 000A0\rBR1=000A0\rGO FROM 0005 TILL BR\r");
  // HALT: 'U', ESC, and the register list for the status fields.
  EXPECT_EQ(Wire("HALT"), "U\x1b" "REGI\r\x11\x1b");
  EXPECT_EQ(dorvik::Run().CurrentPC, 8u);
}

// Run to cursor and a run over a call borrow a break register: the next GO
// sets the register of the breakpoint again.
TEST_F(MonitorLinkTest, BorrowedBreakRegistersAreSetAgain) {
  Wire("GO TILL 3");
  ASSERT_TRUE(AwaitHalt());
  tBreak& cursor = Breakpoints().CursorBreakpoint;
  cursor.Address = 2;
  cursor.Used = cursor.Enabled = true;
  EXPECT_NE(Wire("GO").find("BR0=0002\rGO FROM 0003 TILL BR0\r"), std::string::npos);
  ASSERT_TRUE(AwaitHalt());
  EXPECT_FALSE(cursor.Used);
  EXPECT_EQ(dorvik::Run().CurrentPC, 2u);
  EXPECT_NE(Wire("GO").find("BR0=0003\rGO FROM 0002 TILL BR0\r"), std::string::npos);
  ASSERT_TRUE(AwaitHalt());
  EXPECT_EQ(dorvik::Run().CurrentPC, 3u);
  Wire("BR1 = 0A0");
  EXPECT_NE(Wire("GO FROM 5").find("BR1=000A0\rGO FROM 0005 TILL BR\r"), std::string::npos);
  Wire("HALT");
  Wire("TRACE FROM 5");  // its run over the call puts the return address 0008H into BR1
  EXPECT_NE(Wire("GO FROM 5").find("BR1=000A0\rGO FROM 0005 TILL BR\r"), std::string::npos);
  Wire("HALT");
}

// TRACE runs a call through: BR1 on the return address, GO till BR1, the halt
// seen by the idle handler, PPC and PC asked.
TEST_F(MonitorLinkTest, TraceRunsTheCallThrough) {
  EXPECT_EQ(Wire("TRACE FROM 5"),
            "PC=0005\rCBYT 0005\rCBYT 0008 TO 0017\rBR1=0008\rG F 0005 T BR1\rPPC\rPC\rCBYT 0010\r"
            "REGI\r\x11\x1b" "CBYT 0005 TO 0014\r");
  EXPECT_EQ(Out(), "0005H LCALL   010H----->0010H RET\n                ----->0008H SJMP    08\n");
  EXPECT_EQ(dorvik::Run().CurrentPC, 8u);
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
}

// A call whose subroutine starts at its own return address: the monitor's
// break there stops the program on entering the call (PPC is the call). The
// step takes the call back: SP less the pushed return address, PC the call.
TEST_F(MonitorLinkTest, TraceStoppedOnCallEntryTakesTheCallBack) {
  Fake().Poke(kSpaceCode, 0x20, {0x12, 0x00, 0x23, 0x80, 0xFE});  // LCALL 0023H; SJMP $
  // The run over the call, PPC and PC asked, the call's line, SP read and written back, PC set.
  EXPECT_EQ(Wire("TRACE FROM 20"),
            "PC=0020\rCBYT 0020\rCBYT 0023 TO 0032\rBR1=0023\rG F 0020 T BR1\rPPC\rPC\r"
            "CBYT 0020 TO 002F\rCBYT 0020\rRBYT 81\rRBYT 81=07\rPC=0020\rREGI\r\x11\x1b");
  EXPECT_EQ(Out(), "0020H LCALL   023H----->0020H LCALL   023H\n");
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(dorvik::Run().CurrentPC, 0x20u);
  EXPECT_EQ(Fake().Pc(), 0x20);
  EXPECT_EQ(Fake().Memory(kSpaceDirect, sfr::SP, 1), std::vector<uint8_t>{0x07});
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
}

// "NO BREAK": the board stopped the program without a break of the
// debugger's. The idle handler asks where, ends the run and reports a halt
// that the debugger did not cause.
TEST_F(MonitorLinkTest, NoBreakEndsTheRun) {
  EXPECT_EQ(Wire("GO FROM 8 FOREVER"), "PC=0008\rGO FROM 0008 FOREVER\r");
  ASSERT_TRUE(dorvik::Run().ProgramRunning);
  Fake().ClearReceived();
  Fake().StopByItself();
  ASSERT_TRUE(AwaitHalt());
  EXPECT_EQ(Fake().Received(), "PC\rREGI\r\x11\x1b");
  EXPECT_EQ(TerminalText(), "EXECUTION BEGUN\nEXECUTION HALTED AT 0008H BECAUSE OF NO BREAK without Dorvik's Activity\nhlt>");
  EXPECT_EQ(dorvik::Run().CurrentPC, 8u);
  EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
  EXPECT_TRUE(Errors().empty());
  // Not while stopped: the news changes nothing.
  Fake().SendUnsolicited("\r\nNO BREAK\r\n-");
  for (int i = 0; i < 20; ++i) platform::Pump().RunIdle();
  EXPECT_EQ(TerminalText(), "EXECUTION BEGUN\nEXECUTION HALTED AT 0008H BECAUSE OF NO BREAK without Dorvik's Activity\nhlt>");
}

// The ARM address follows the same word form as FROM.
TEST_F(MonitorLinkTest, ArmAddressIsAWord) {
  Wire("BR0 = 2");
  EXPECT_EQ(Wire("GO ARM 0C0 TILL BR0"),
            "PC=0000\rCBYT 000C0 TO 000CF\rCBYT 000C0\rCBYT 0003 TO 0012\rCBYT 0002\rBR0=0002\r"
            "GO FROM 0000 ARM 000C0 TILL BR0\r");
  ASSERT_TRUE(AwaitHalt());
}

// An error answer (NAK and the monitor's text) is error 107 with that text;
// the break opcode's error "17" is read as hex.
TEST_F(MonitorLinkTest, ErrorAnswerIsTargetError) {
  EXPECT_EQ(Wire("EBYTE 0"), "EBYT 0000\r");
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetError});
  EXPECT_EQ(boxes_.Shown().back().Text, "Target error: \"ERR 04 NO EEPROM\"");
  EXPECT_EQ(Messages().TargetErrorNumber, 4);
  CloseLink();
  const std::string reply = "\x15" "ERR 17 BREAK CODE\r\n-";
  LinkReplayForTesting(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(reply.data()), reply.size()));
  EXPECT_FALSE(MonitorWaitPrompt());
  EXPECT_EQ(boxes_.Shown().back().Text, "Target error: \"ERR 17 BREAK CODE\"");
  EXPECT_EQ(Messages().TargetErrorNumber, 0x17);
}

// The monitor refusing a reset, a start or a load: error 107 with its text
// and code, once; the console goes on. A register list cut short is a reply
// that stopped (103), not a silent board.
TEST_F(MonitorLinkTest, RefusedResetGoAndLoadAreTargetErrors) {
  static std::array<uint8_t, kProgramImageSize> image{};
  const auto refused = [this](const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(Errors(), std::vector<int>{err::kTargetError});
    ASSERT_FALSE(boxes_.Shown().empty());
    EXPECT_EQ(boxes_.Shown().back().Text, "Target error: \"ERR 05 COMMAND REFUSED\"");
    EXPECT_EQ(Messages().TargetErrorNumber, 5);
    EXPECT_FALSE(dorvik::Run().ProgramRunning);
    EXPECT_EQ(Output("XBYTE 100"), "XDATA  0100=11 ' . '\n");
    EXPECT_TRUE(Errors().empty());
  };
  Fake().SetFault(Fault::Nak);
  EXPECT_EQ(Wire("RESET CPU"), "RES CH\r");
  refused("reset");
  Fake().SetFault(Fault::StartRefused);
  EXPECT_EQ(Wire("GO FROM 8"), "PC=0008\rGO FROM 0008 FOREVER\r");
  EXPECT_EQ(Out(), "");
  refused("go");
  Fake().SetFault(Fault::Nak);
  boxes_.Clear();
  EXPECT_NE(MonitorTransferProgram({.Image = image, .Lowest = 0, .Highest = 0xFF, .FileName = "p.hex", .Progress = {}}),
            TransferResult::Done);
  refused("load");
  Fake().SetFault(Fault::Cut);
  Wire("REGISTERS");
  EXPECT_EQ(Errors(), std::vector<int>{err::kReceiveTimeout});
  EXPECT_EQ(Output("XBYTE 100"), "XDATA  0100=11 ' . '\n");
}

// A reply is taken only as the answer to its question: a memory reply with a
// byte missing or a register reply naming another register is a framing error.
TEST_F(MonitorLinkTest, ReplyThatDoesNotAnswerTheQuestionIsAFramingError) {
  const struct {
    const char* Reply;
    bool Register;
    bool Taken;
    int32_t Value = 0x123;
  } cases[] = {{"PC=0123\r\n-", true, true},
               {"SP=0123\r\n-", true, false},
               {"XBYT 0100=11 22 33 44\r\n-", false, true},
               {"XBYT 0100=11 22 33\r\n-", false, false},
               // a word of up to five digits and up to FFFFH
               {"PC=FFFF\r\n-", true, true, 0xFFFF},
               {"PC=0FFFF\r\n-", true, true, 0xFFFF},
               {"PC=10000\r\n-", true, false},
               {"PC=00FFFF\r\n-", true, false}};
  CloseLink();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Reply);
    Messages().ErrorFlag = false;
    Messages().LastErrorCode = 0;
    const std::string_view reply(c.Reply);
    LinkReplayForTesting(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(reply.data()), reply.size()));
    int32_t value = 0;
    std::array<uint8_t, 4> bytes{};
    EXPECT_EQ(c.Register ? MonitorQueryRegister(tok::kPC, value) : MonitorReadBlock(kSpaceXData, 0x100, bytes), c.Taken);
    EXPECT_EQ(Messages().LastErrorCode, c.Taken ? 0 : err::kFramingError);
    if (c.Taken && c.Register) {
      EXPECT_EQ(value, c.Value);
    }
  }
}

// A refused HEX record stops the transfer at once: the monitor's error is
// shown, at most the record being sent goes out after it, and ESC brings the
// monitor back to its prompt.
TEST_F(MonitorLinkTest, RefusedRecordStopsTheTransfer) {
  static std::array<uint8_t, kProgramImageSize> image{};
  // A version 4 monitor whose banner was not read: its acknowledgements are taken as such.
  Link().MonitorVersion = 0;
  EXPECT_EQ(MonitorTransferProgram({.Image = image, .Lowest = 0, .Highest = 0x7FF, .FileName = "p.hex", .Progress = {}}),
            TransferResult::Done);
  EXPECT_EQ(Link().MonitorVersion, 4);
  // A version 4 monitor refuses instead of acknowledging; an older one answers only a refusal.
  for (const uint8_t version : {4, 3}) {
    SCOPED_TRACE(version);
    Link().MonitorVersion = version;
    if (version == 3) Fake().SetFault(Fault::Version3);
    Fake().SetFault(Fault::Nak, 3);  // LOAD and two records pass
    Fake().ClearReceived();
    boxes_.Clear();
    EXPECT_EQ(MonitorTransferProgram({.Image = image, .Lowest = 0, .Highest = 0x7FF, .FileName = "p.hex", .Progress = {}}),
              TransferResult::Aborted);
    EXPECT_EQ(Errors(), std::vector<int>{err::kTargetError});
    EXPECT_EQ(boxes_.Shown().back().Text, "Target error: \"ERR 06 CHECKSUM\"");
    const std::string wire = Fake().Received();
    EXPECT_LE(std::count(wire.begin(), wire.end(), ':'), 4) << wire;
    EXPECT_EQ(wire.back(), '\x1b');
    EXPECT_EQ(Output("XBYTE 100"), "XDATA  0100=11 ' . '\n");
    EXPECT_TRUE(Errors().empty());
  }
  // A refused BR query is the monitor's error, shown once.
  Fake().SetFault(Fault::Nak);
  EXPECT_EQ(Wire("BR"), "BR\r\x1b");
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetError});
}

// Code written on the board: its lines are decoded again, not taken from before.
TEST_F(MonitorLinkTest, CodeWriteForgetsTheLines) {
  EXPECT_NE(DisassembleLine(2).find("INC"), std::string::npos);
  Output("CBYTE 2 = 0");
  EXPECT_NE(DisassembleLine(2).find("NOP"), std::string::npos) << DisassembleLine(2);
  Output("BR0 = 2");  // the break's code bytes ("CB") go back when it is dropped
  Output("DISABLE BR0");
  EXPECT_TRUE(Errors().empty());
}

// A monitor whose output is held goes on at XON: a reply that did not start
// within 300 ms gets XON and one more wait, also the step's reply.
TEST_F(MonitorLinkTest, HeldOutputGoesOnAtXon) {
  Fake().SetFault(Fault::Hold);
  EXPECT_EQ(Wire("XBYTE 100"), "XBYT 00100\r\x11");
  EXPECT_EQ(Out(), "XDATA  0100=11 ' . '\n");
  Fake().SetFault(Fault::Hold);
  // The first XON after 300 ms of silence, the second the list's own after its first line.
  EXPECT_EQ(Wire("REGISTERS"), "REGI\r\x11\x11\x1b");
  EXPECT_EQ(Out(), "PC=0000 ACC=00 B=00 PSW=00 SP=07 DPTR=0000\nR0=00 R1=00 R2=00 R3=00 R4=00 R5=00 R6=00 R7=00\n");
  Fake().ClearReceived();
  Fake().SetFault(Fault::Hold);
  std::string line;
  EXPECT_TRUE(MonitorSingleStep(line));
  EXPECT_EQ(Fake().Received(), "S\r\x11\x1b");
  EXPECT_EQ(line, "0002 04    INC   A");
  EXPECT_EQ(dorvik::Run().CurrentPC, 2u);
  EXPECT_TRUE(Errors().empty());
  // Held for good: XON is sent once per wait, then the silence is reported.
  Fake().SetFault(Fault::Silent);
  EXPECT_EQ(Wire("XBYTE 100"), "XBYT 00100\r\x11");
  EXPECT_EQ(Errors(), std::vector<int>{err::kTargetDeviceNotResponding});
}

TEST_F(MonitorLinkTest, BannerAfterPowerUpSetsVersionAndUserCode) {
  Fake().SendUnsolicited("\r\nOVIX-52 V3.1 USER 8000\r\n-");
  for (int i = 0; i < 200 && RunControl().UserCodeStart == 0; ++i) {
    platform::Pump().RunIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(Link().MonitorVersion, 3);
  EXPECT_EQ(RunControl().UserCodeStart, 0x8000);
  EXPECT_EQ(Target().CpuFamily, kFamilyOther);
}

}  // namespace
}  // namespace dorvik::testing
