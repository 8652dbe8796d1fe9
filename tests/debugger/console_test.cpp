// The executor's own rules (each command's console text is in the golden
// transcripts of tests/console/transcripts); the terminal console's model:
// the prompt, the hand-over of lines, ReadKey and the lazy speed calibration;
// the line assembler: statements become bytes at the evaluated address,
// failures write nothing, the histories reach the history file; the
// communication settings: OK applies the target kind, the breakpoint table's
// size and the line, the project's [COM] entries, the console's options.

#include "debugger/terminal.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "access/transport.h"
#include "assembler/context.h"
#include "base/mainform.h"
#include "base/runstate.h"
#include "console/commoptions.h"
#include "debugger/breakpoints.h"
#include "debugger/commsettings.h"
#include "debugger/executor.h"
#include "debugger/lineasm.h"
#include "lang/keywords.h"
#include "machine/images.h"
#include "platform/clock.h"
#include "platform/pump.h"
#include "platform/serialport.h"
#include "project/projectfile.h"
#include "tests/platform/scratch_dir.h"
#include "tests/support/console_fixture.h"

namespace dorvik::testing {
namespace {

class TerminalTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    platform::ResetPump();
    SetTerminalVisible(true);
  }
  void TearDown() override {
    platform::ResetPump();
    ConsoleTest::TearDown();
  }
  void Type(std::string_view text) {
    for (char c : text) DoOnKeyPressed(c);
  }
};

// The keys at the prompt are the pseudo-terminal runs' and the workbench's.
TEST_F(TerminalTest, ThePromptOnAFreshLine) {
  EXPECT_EQ(TerminalText(), "hlt>");
  // A bare prompt is replaced when the prompt changes; a short reply without CR is never lost.
  Terminal().Lines = {"hlt>"};
  Terminal().MonitorPrompt = std::string(kPromptRunning);
  ShowCursor();
  EXPECT_EQ(TerminalText(), "run>");
  Terminal().MonitorPrompt = "hlt>";
  Terminal().Lines = {"hlt>", "OK"};
  ShowCursor();
  EXPECT_EQ(TerminalText(), "hlt>\nOK\nhlt>") << "the prompt goes on a fresh line";
  Terminal().Lines = {"hlt>X"};
  ShowCursor();
  EXPECT_EQ(TerminalText(), "hlt>X\nhlt>") << "only a bare prompt is replaced";
}

TEST_F(TerminalTest, EscBreaksAndAltXEnds) {
  EXPECT_EQ(DoOnKeyDown(kKeyEsc), KeyAction::Break);
  EXPECT_TRUE(dorvik::Run().UserBreak);
  EXPECT_EQ(DoOnKeyDown('X', kModCtrl), KeyAction::None);
  EXPECT_FALSE(Terminal().ExitRequested);
  EXPECT_EQ(DoOnKeyDown('K', kModAlt), KeyAction::Exit);
  EXPECT_TRUE(Terminal().ExitRequested);
  Type("S");
  // Printable keys from the blank to the tilde are typed; control keys and DEL are not.
  Type(std::string("\x1f \x7f~\x01", 5));
  EXPECT_EQ(TerminalText(), "hlt>S ~");
  dorvik::Run().Tracing = true;
  EXPECT_EQ(DoOnKeyDown(kKeyEnter), KeyAction::None) << "Enter is ignored while tracing";
}

// While the program runs a line is HALT or one of its abbreviations (the
// other lines are the front end's, tests/console).
TEST_F(TerminalTest, WhileTheProgramRunsHaltAndItsAbbreviationsBreak) {
  Executor().Running = true;
  dorvik::Run().ProgramRunning = true;
  for (const char* line : {"h", "HA", "HALT"}) {
    dorvik::Run().UserBreak = false;
    EXPECT_EQ(HandToScanner(line), KeyAction::Break) << line;
    EXPECT_TRUE(dorvik::Run().UserBreak) << line;
  }
  Executor().Running = false;
  dorvik::Run().ProgramRunning = false;
}

TEST_F(TerminalTest, OutputNeedsEchoAndAVisibleConsole) {
  Terminal().Lines = {std::string()};
  OutText("NO ECHO");
  EXPECT_EQ(TerminalText(), "");
  Terminal().TerminalEcho = true;
  SetTerminalVisible(false);
  OutText("HIDDEN");
  EXPECT_EQ(TerminalText(), "") << "a hidden console drops output";
  SetTerminalVisible(true);
  OutText("SHOWN");
  EXPECT_EQ(TerminalText(), "hlt>SHOWN");
}

TEST_F(TerminalTest, ReadKeyWaitsThroughThePump) {
  platform::FakeClock clock;
  platform::SetClock(&clock);
  const auto timer = platform::Pump().CreateTimer([] { DoOnKeyPressed('Q'); }, 3, false);
  platform::Pump().EnableTimer(timer, true);
  Terminal().Lines = {std::string()};
  EXPECT_EQ(ReadKey(), 'Q');
  EXPECT_GE(clock.Sleeps(), 3u);
  EXPECT_EQ(TerminalText(), " ") << "the key is replaced by a blank";
  EXPECT_FALSE(Terminal().WaitingForKey);
  platform::SetClock(nullptr);
}

// A clock that moves 1 ms with every reading.
class SteppingClock : public platform::FakeClock {
 public:
  uint32_t TickCount() override {
    Advance(1);
    return FakeClock::TickCount();
  }
};

TEST_F(TerminalTest, CpuSpeedIsCalibratedOnFirstUseOnly) {
  EXPECT_FALSE(Terminal().CpuSpeedKnown) << "nothing is calibrated at start-up";
  SteppingClock clock;
  platform::SetClock(&clock);
  const int64_t speed = CpuSpeed();
  EXPECT_TRUE(Terminal().CpuSpeedKnown);
  EXPECT_EQ(speed, 0) << "1000 rounds in 1000 ms: (0.001)^2 / 1.9 rounds to 0";
  const uint64_t after = clock.Micros();
  CpuSpeed();
  EXPECT_EQ(clock.Micros(), after) << "the second call does not calibrate again";
  platform::SetClock(nullptr);
}

using ExecutorTest = ConsoleTest;

// The messages of lines no handler takes are in the errors transcript.
TEST_F(ExecutorTest, AFailedCommandLeavesTheExecutorIdleAndTheNextStartsClean) {
  Command("LOAD");
  EXPECT_EQ(Errors(), std::vector<int>{err::kSyntaxError});
  EXPECT_FALSE(Executor().Running);
  EXPECT_FALSE(dorvik::Run().TargetBusy);
  EXPECT_EQ(MainForm().BusyCount, 0);
  Command("");
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(Messages().ErrorFlag) << "each command starts clean";
}

TEST_F(ExecutorTest, TheExecutorIsNotReentered) {
  Executor().Running = true;
  SetScanLine("LOAD\r", false);
  GetToken();
  EXPECT_FALSE(ExecuteCommand());
  EXPECT_TRUE(Errors().empty());
  Executor().Running = false;
}

TEST_F(ExecutorTest, TargetCommandsWaitForAStoppedProgram) {
  dorvik::Run().ProgramRunning = true;
  for (const char* line : {"CPU", "R3", "GO", "STEP", "TRACE", "BR0", "BR = 5", "XBYTE 0", "XBYTE 0 = 1",
                           "CHECKSUM 0 TO 1", "STACK", "CALLSTACK", "REGISTERS"}) {
    Command(line);
    EXPECT_EQ(Errors(), std::vector<int>{err::kCommandFormNotAllowedDuring}) << line;
  }
  EXPECT_EQ(Command("BASE"), "BASE =HEX \nrun>") << "BASE needs no stopped target; the prompt is run>";
  EXPECT_TRUE(dorvik::Run().TargetBusy) << "TargetBusy stays set while the program runs";
  dorvik::Run().ProgramRunning = false;
}

TEST_F(ExecutorTest, EnableBreakpointsTakesUsed) {
  auto& table = Breakpoints().BreakTable;
  table[1].Used = true;
  Command("ENABLE BR0");
  EXPECT_FALSE(table[0].Enabled) << "breakpoint 0 is not set: Enabled takes Used";
  table[5].Used = true;
  Command("ENABLE BR");
  EXPECT_TRUE(table[1].Enabled && table[5].Enabled);
  EXPECT_FALSE(table[2].Enabled);
  Command("DISABLE BR1");
  EXPECT_FALSE(table[1].Enabled);
}

// The register line shows DPTR in four digits up to FFFFH, in six (with the ADuC's page) beyond.
TEST_F(ExecutorTest, TheDataPointerShowsItsPageOnlyAboveFFFFH) {
  Target().CpuFamily = kFamilyAduc;
  for (const auto& [value, text] : {std::pair{0x00FFFF, "DPTR=FFFF "}, {0x010000, "DPTR=010000 "}}) {
    ASSERT_TRUE(TargetSetRegister(tok::kDPTR, value));
    const std::string line = Output("R");
    EXPECT_NE(line.find(text), std::string::npos) << line;
  }
}

TEST_F(ExecutorTest, RbsOnTheAducKeepsTheRegisterShadow) {
  dorvik::Run().TargetKind = kTargetAduc;
  Command("RBS = 3");
  EXPECT_EQ(Target().TargetRegs.PSW & 0x18, 0x18);
}


constexpr uint8_t kUntouched = 0xA5;

class LineAsmTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    MainForm().HistoryFileName = dir_.File("DORVIK51.HST");
    Images().CodeImage.fill(kUntouched);
    CreateLineAssembler();
  }
  bool Assemble(const std::string& address, const std::string& statement) {
    LineAsm().Address.Text = address;
    LineAsm().Statement.Text = statement;
    return AssembleStatement();
  }
  std::vector<uint8_t> Code(uint32_t from, size_t count) const {
    const auto& image = Images().CodeImage;
    return {image.begin() + from, image.begin() + from + count};
  }
  test_util::ScratchDir dir_;
};

struct Case {
  const char* Address;
  const char* Statement;
  uint32_t At;                 // where the bytes must land
  std::vector<uint8_t> Bytes;  // empty: nothing may be written
  const char* Next;            // the address field afterwards
};

TEST_F(LineAsmTest, StatementsBecomeBytesAtTheEvaluatedAddress) {
  const Case cases[] = {
      {"100", "MOV A,#5", 0x100, {0x74, 0x05}, "0102"},
      {"100", "LJMP 1234H", 0x100, {0x02, 0x12, 0x34}, "0103"},
      {"100", "SJMP 0110H", 0x100, {0x80, 0x0E}, "0102"},
      {"100", "MOVC A,@A+DPTR", 0x100, {0x93}, "0101"},
      {"200", "MOV 30H,#0A5H", 0x200, {0x75, 0x30, 0xA5}, "0203"},
      {"0FFE", "LCALL 0", 0xFFE, {0x12, 0x00, 0x00}, "1001"},
      // the last register; a number that starts with a letter
      {"100", "MOV R7,A", 0x100, {0xFF}, "0101"},
      {"100", "LJMP 0A000H", 0x100, {0x02, 0xA0, 0x00}, "0103"},
      // An expression: its value is the address, not its text reread.
      {"80H+80H", "NOP", 0x100, {0x00}, "0101"},
      {"1000-(2*8)", "INC A", 0xFF0, {0x04}, "0FF1"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.Address) + ": " + k.Statement);
    Images().CodeImage.fill(kUntouched);
    ASSERT_TRUE(Assemble(k.Address, k.Statement)) << LineAsm().Result;
    EXPECT_EQ(Code(k.At, k.Bytes.size()), k.Bytes);
    EXPECT_EQ(Code(k.At + k.Bytes.size(), 1), std::vector<uint8_t>{kUntouched});
    EXPECT_EQ(Code(k.At - 1, 1), std::vector<uint8_t>{kUntouched});
    EXPECT_EQ(LineAsm().Address.Text, k.Next);
    EXPECT_EQ(dorvik::Run().AsmLineAddress, std::stoul(k.Next, nullptr, 16));
    EXPECT_FALSE(LineAsm().Result.empty());
    EXPECT_FALSE(dorvik::Run().AsmLineMode);
    EXPECT_FALSE(dorvik::Run().TargetBusy);
  }
  // The last code address takes a one-byte statement.
  Images().CodeImage.fill(kUntouched);
  ASSERT_TRUE(Assemble("0FFFF", "NOP")) << LineAsm().Result;
  EXPECT_EQ(Images().CodeImage[0xFFFF], 0x00);
}

TEST_F(LineAsmTest, FailuresWriteNothingAndSayWhy) {
  // The numbered box each failure shows ("" none: the address keeps the focus).
  const std::pair<Case, const char*> cases[] = {
      {{"100", "MOV @R2,A", 0x100, {}, "100"}, "Error #"},                         // no such operand
      {{"100", "SJMP 0300H", 0x100, {}, "100"}, "Error #109"},                     // target out of reach
      {{"100", "FROB A", 0x100, {}, "100"}, "Error #"},                            // no such mnemonic
      {{"100", "MOV A,", 0x100, {}, "100"}, "Error #"},                            // operand missing
      {{"XYZZY+", "NOP", 0x100, {}, "XYZZY+"}, ""},                                // address does not evaluate
      {{"12345H", "NOP", 0x2345, {}, "12345H"}, ""},                               // address beyond code memory
      {{"10000H", "NOP", 0x0000, {}, "10000H"}, ""},                               // the first address beyond it
  };
  for (const auto& [k, box] : cases) {
    SCOPED_TRACE(std::string(k.Address) + ": " + k.Statement);
    Images().CodeImage.fill(kUntouched);
    const std::vector<uint8_t> before = Code(k.At, 4);
    boxes_.Clear();
    EXPECT_FALSE(Assemble(k.Address, k.Statement));
    if (*box == 0) {
      EXPECT_TRUE(boxes_.Shown().empty());
    } else {
      ASSERT_EQ(boxes_.Shown().size(), 1u);
      EXPECT_EQ(boxes_.Shown()[0].Caption.rfind(box, 0), 0u) << boxes_.Shown()[0].Caption;
    }
    EXPECT_EQ(Code(k.At, 4), before);
    EXPECT_EQ(LineAsm().Address.Text, k.Next);
    EXPECT_TRUE(LineAsm().Lines.empty());
    EXPECT_EQ(LineAsm().Statement.Text, k.Statement);
    EXPECT_FALSE(dorvik::Run().AsmLineMode);
    EXPECT_FALSE(Messages().ErrorFlag);
  }
  EXPECT_TRUE(LineAsm().Statement.Items.empty());  // failed statements join no history
  EXPECT_FALSE(Assemble("100", "SJMP 0300H"));
  EXPECT_NE(LineAsm().Result.find("ERROR"), std::string::npos) << LineAsm().Result;  // the assembler's text
}

TEST_F(LineAsmTest, EmptyStatementShowsTheInstructionThereAndWritesNothing) {
  Images().CodeImage[0x100] = 0x74;
  Images().CodeImage[0x101] = 0x05;
  EXPECT_FALSE(Assemble("100", "  "));
  EXPECT_NE(LineAsm().Statement.Text.find("MOV"), std::string::npos) << LineAsm().Statement.Text;
  EXPECT_EQ(Code(0x100, 3), (std::vector<uint8_t>{0x74, 0x05, kUntouched}));
  EXPECT_TRUE(LineAsm().Lines.empty());
}

TEST_F(LineAsmTest, TheAssemblersOwnStateSurvives) {
  as::Asm().ModuleName = "OUTER";
  as::Asm().ErrorCount = 3;
  ASSERT_TRUE(Assemble("100", "NOP"));
  EXPECT_EQ(as::Asm().ModuleName, "OUTER");
  EXPECT_EQ(as::Asm().ErrorCount, 3u);
}

TEST_F(LineAsmTest, HistoriesGoToTheHistoryFileAndComeBack) {
  ASSERT_TRUE(Assemble("100", "MOV A,#5"));
  EXPECT_FALSE(Assemble("100", "MOV @R2,A"));
  ASSERT_TRUE(Assemble("200", "NOP"));
  DestroyLineAssembler();
  const std::string file = test_util::ReadAll(MainForm().HistoryFileName);
  EXPECT_NE(file.find("[HISTORY]"), std::string::npos) << file;
  EXPECT_NE(file.find("19H1=NOP"), std::string::npos) << file;
  EXPECT_NE(file.find("19H2=MOV A,#5"), std::string::npos) << file;
  EXPECT_EQ(file.find("@R2"), std::string::npos) << file;
  EXPECT_NE(file.find("18H1=200"), std::string::npos) << file;

  ResetState<LineAsmState>();
  CreateLineAssembler();
  EXPECT_EQ(LineAsm().Statement.Items, (std::vector<std::string>{"NOP", "MOV A,#5"}));
  EXPECT_EQ(LineAsm().Address.Items, (std::vector<std::string>{"200", "100"}));
  EXPECT_FALSE(LineAsm().HistoryChanged);
}

TEST_F(LineAsmTest, UnchangedHistoriesAreNotWritten) {
  DestroyLineAssembler();
  EXPECT_FALSE(std::filesystem::exists(MainForm().HistoryFileName));
}


class CommSettingsTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
  }
  void TearDown() override {
    CloseLink();
    close(master_);
    close(slave_);
    ConsoleTest::TearDown();
  }
  int master_ = -1, slave_ = -1;
};

// Cancel changing nothing is the workbench session's check.
TEST_F(CommSettingsTest, OkAppliesAll) {
  CommSetupDialog dialog;
  dialog.SelectTarget(0);
  dialog.SelectPort(ttyname(slave_));
  dialog.SelectBaud(9600);
  EXPECT_TRUE(dialog.Ok());
  EXPECT_EQ(dorvik::Run().TargetKind, kTargetMonitor);
  EXPECT_EQ(Breakpoints().LastBreakIndex, 1);
  EXPECT_TRUE(LinkIsOpen());
  EXPECT_EQ(LinkBaud(), 9600);

  // Back to the simulator: the line is closed, eight breakpoints again.
  CommSetupDialog back;
  back.SelectTarget(2);
  EXPECT_TRUE(back.Ok());
  EXPECT_EQ(Breakpoints().LastBreakIndex, 7);
  EXPECT_FALSE(LinkIsOpen());

  // Each target of the list, by its item and by its name in any case; an item
  // or a name outside them changes nothing.
  const std::tuple<int, const char*, uint8_t, uint8_t> targets[] = {
      {0, "OVIX52", kTargetMonitor, 1}, {1, " aduc ", kTargetAduc, 7}, {2, "Vov51", kTargetSimulator, 7}};
  for (const auto& [item, name, kind, lastBreak] : targets) {
    CommSetupDialog d;
    d.SelectTarget(item);
    EXPECT_EQ(d.Chosen().TargetKind, kind) << item;
    EXPECT_EQ(d.ChosenLastBreakIndex(), lastBreak) << item;
    EXPECT_EQ(CommSetupDialog::TargetList().at(static_cast<size_t>(item)), TrimBlanks(UpperCase(name)));
    d.SelectTarget(3);
    d.SelectTarget(-1);
    EXPECT_EQ(d.Chosen().TargetKind, kind) << item;
    uint8_t named = 99;
    EXPECT_TRUE(TargetKindOfName(name, named)) << name;
    EXPECT_EQ(named, kind) << name;
  }
  // COM and up to two digits name a serial device; a longer name is taken as it stands.
  EXPECT_EQ(PortDevice("com10"), platform::ComDevicePath(10, Comm().ComDevices));
  EXPECT_EQ(PortDevice("COM100"), "COM100");
  uint8_t named = 99;
  EXPECT_FALSE(TargetKindOfName("VOV52", named));
  EXPECT_EQ(named, 99);
  // The speeds offered: from 300 to 115200.
  EXPECT_EQ(CommSetupDialog().BaudList().front(), 300);
  EXPECT_EQ(CommSetupDialog().BaudList().back(), 115200);
}

// The project's own serial settings, when the command line names none.
TEST_F(CommSettingsTest, ProjectSettingsOpenTheLine) {
  dorvik::Run().TargetKind = kTargetMonitor;
  Project().ComPort = ttyname(slave_);
  Project().BaudRate = 4800;
  console::ApplyStartCommSettings();
  EXPECT_EQ(LinkBaud(), 4800);
  EXPECT_EQ(Breakpoints().LastBreakIndex, 1);
}

TEST_F(CommSettingsTest, ProjectComSection) {
  platform::IniFile file;
  std::string port;
  int32_t baud = 19200;
  WriteComSettings(file, "COM2", 57600);
  ReadComSettings(file, port, baud);
  EXPECT_EQ(port, "COM2");
  EXPECT_EQ(baud, 57600);
  WriteComSettings(file, "/dev/ttyUSB0", 115200);
  ReadComSettings(file, port, baud);
  EXPECT_EQ(port, "/dev/ttyUSB0");
  EXPECT_EQ(baud, 115200);
  // A speed that is not offered falls back to 19200 with message 101.
  file.WriteInteger("COM", "Baud", 12345);
  ReadComSettings(file, port, baud);
  EXPECT_EQ(baud, 19200);
  EXPECT_EQ(Errors(), std::vector<int>{err::kBadValueBaudCommunicationSpeed});
  // A port number that is no COM port is message 102, also with a sign; the port stays.
  file.WriteInteger("COM", "Baud", 19200);
  for (const char* bad : {"-5", "+3", "0", "100"}) {
    boxes_.Clear();
    file.WriteString("COM", "Port", bad);
    port = "COM2";
    ReadComSettings(file, port, baud);
    EXPECT_EQ(port, "COM2") << bad;
    EXPECT_EQ(Errors(), std::vector<int>{err::kBadCommunicationPortNumber}) << bad;
  }
}

TEST_F(CommSettingsTest, CommandLineOptions) {
  std::string device = ttyname(slave_);
  std::string a0 = "dorvik51", a1 = "--port", a3 = "--baud=38400", a4 = "PROGRAM.HEX", a5 = "--target", a6 = "adUC";
  char* argv[] = {a0.data(), a1.data(), device.data(), a3.data(), a4.data(), a5.data(), a6.data(), nullptr};
  int argc = 7;
  std::string error;
  ASSERT_TRUE(console::TakeCommOptions(argc, argv, error)) << error;
  EXPECT_EQ(argc, 2);  // the rest is left for the other options
  EXPECT_STREQ(argv[1], "PROGRAM.HEX");
  EXPECT_EQ(argv[2], nullptr);
  // Applied once the project is read: over its settings.
  EXPECT_EQ(dorvik::Run().TargetKind, kTargetSimulator);
  Project().BaudRate = 9600;
  console::ApplyStartCommSettings();
  EXPECT_EQ(dorvik::Run().TargetKind, kTargetAduc);
  EXPECT_EQ(LinkBaud(), 38400);
  EXPECT_EQ(LinkDevice(), device);

  std::string b1 = "--baud", b2 = "12000", c1 = "--target", c2 = "Z80", d1 = "--port";
  char* bad1[] = {a0.data(), b1.data(), b2.data(), nullptr};
  argc = 3;
  EXPECT_FALSE(console::TakeCommOptions(argc, bad1, error));
  EXPECT_NE(error.find("12000"), std::string::npos);
  char* bad2[] = {a0.data(), c1.data(), c2.data(), nullptr};
  argc = 3;
  EXPECT_FALSE(console::TakeCommOptions(argc, bad2, error));
  char* bad3[] = {a0.data(), d1.data(), nullptr};
  argc = 2;
  EXPECT_FALSE(console::TakeCommOptions(argc, bad3, error));
  EXPECT_EQ(error, "--port needs a value");
}

}  // namespace
}  // namespace dorvik::testing
