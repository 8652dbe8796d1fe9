// The memory, stack and register commands beyond their console transcript
// (tests/console/transcripts/memory.*): the target's byte order, the chunks
// that reads take, the call stack, and the link targets failing cleanly.

#include <vector>

#include "access/backend.h"
#include "debugger/breakpoints.h"
#include "debugger/memcmds.h"
#include "debugger/statusfields.h"
#include "lang/collections.h"
#include "lang/formatting.h"
#include "lang/typedvalue.h"
#include "machine/simulator.h"
#include "tests/support/chunked_simulator.h"
#include "tests/support/console_fixture.h"

namespace dorvik::testing {
namespace {

using MemCmdsTest = ConsoleTest;

TEST_F(MemCmdsTest, WordsFollowTheTargetsByteOrder) {
  TypedValues().IntMSBFirst = false;
  Output("XWORD 0 = 1234");
  Output("LONGINT XDATA 2 = 12345678");
  EXPECT_EQ(std::vector<uint8_t>(Images().XDataImage.begin(), Images().XDataImage.begin() + 6),
            (std::vector<uint8_t>{0x34, 0x12, 0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(Output("XWORD 0"), "XDATA  0000=1234\n");
}

// A code write of the one byte 0A5H from a memory command is the program's
// own byte, not a planted break (that is a value write of the access layer:
// simulator_test): a GO runs it as a one-byte line and stops behind it.
TEST_F(MemCmdsTest, AOneByteCodeWriteOf0A5HIsTheProgramsOwnByte) {
  Output("CBYTE 0 = 74,11,04,A5");  // MOV A,#11H; INC A; then a 0A5H of its own
  Output("CBYTE 0 = A5");
  EXPECT_FALSE(IsBreakPlanted(0x0000));
  EXPECT_EQ(Images().CodeImage[0x0000], 0xA5);
  EXPECT_EQ(Output("GO"), "EXECUTION HALTED AT 0001\n");
  EXPECT_EQ(Images().SfrImage[0xE0], 0x00) << "the MOV it replaced did not run";
  EXPECT_EQ(Images().CodeImage[0x0000], 0xA5);
}

class ChunkedTest : public MemCmdsTest {
 protected:
  void TearDown() override {
    SetBackendForTesting(kTargetSimulator, nullptr);
    MemCmdsTest::TearDown();
  }
  ChunkedSimulator& Spy(int32_t chunk) {
    spy_ = std::make_unique<ChunkedSimulator>(chunk);
    SetBackendForTesting(kTargetSimulator, spy_.get());
    return *spy_;
  }
  std::unique_ptr<ChunkedSimulator> spy_;
};

TEST_F(ChunkedTest, ReadsInTheTargetsChunks) {
  const struct {
    int32_t Chunk;
    const char* Line;
    std::vector<int32_t> Counts;
  } cases[] = {
      {16, "XBYTE 0 TO 27", {16, 16, 8}},          // a 40-byte display on the monitor
      {16, "XBYTE 0 TO 0F", {16}},                 // exactly one chunk
      {16, "POINTER XDATA 0 TO 1D", {5, 5}},       // whole pointers: 15 bytes a chunk
      {16, "XWORD 0 TO 13", {8, 2}},
      {16, "BIT 0 TO 1F", {16, 16}},
      {128, "XBYTE 0 TO 0FF", {128, 128}},
      {0, "XBYTE 0 TO 0FF", {256}},                 // no limit
      {16, "CHECKSUM XDATA 0 TO 10", {16, 1}},
      {16, "STACK", {8}},                           // SP 07H: the whole stack
  };
  for (const auto& c : cases) {
    ChunkedSimulator& spy = Spy(c.Chunk);
    Output(c.Line);
    EXPECT_EQ(spy.Counts, c.Counts) << c.Line;
    EXPECT_TRUE(Errors().empty()) << c.Line;
  }
  Spy(16);
  EXPECT_EQ(Output("XBYTE 0 TO 27"),
            "XDATA  0000=00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00 ' ................ '\n"
            "XDATA  0010=00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00 ' ................ '\n"
            "XDATA  0020=00,00,00,00,00,00,00,00 ' ........ '\n");
}

TEST_F(ChunkedTest, StackIsOneChunkEndingAtSp) {
  Spy(16);
  Images().SfrImage[sfr::SP] = 0x30;
  Images().IDataImage[0x21] = 0x5A;
  Images().IDataImage[0x30] = 0xA5;
  const std::string out = Output("STACK");
  EXPECT_EQ(out.substr(0, 16), "SP STACK \n21 5A\n");
  EXPECT_EQ(out.substr(out.size() - 6), "30 A5\n");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 17);
}

TEST_F(ChunkedTest, FailedReadStopsWithoutStaleValues) {
  ChunkedSimulator& spy = Spy(16);
  spy.Fail = 2;
  Images().XDataImage[0] = 0x11;
  EXPECT_EQ(Output("XBYTE 0 TO 1F"),
            "XDATA  0000=11,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00 ' ................ '\n");
  EXPECT_EQ(Errors(), std::vector<int>{161});
  // A checksum over part of the range is none: nothing is printed.
  spy.Counts.clear();
  EXPECT_EQ(Output("CHECKSUM XDATA 0 TO 1F"), "");
  EXPECT_EQ(Errors(), std::vector<int>{161});
  // A source that cannot be read writes nothing.
  spy.Counts.clear();
  Output("XBYTE 100 TO 11F = 1, XBYTE 0 TO 1F");
  EXPECT_EQ(Images().XDataImage[0x100], 0);
}

// The one home of the closed line: on the monitor and the ADuC every command
// that needs the target reports 161 at once, prints nothing, starts nothing.
TEST_F(MemCmdsTest, LinkTargetsFailCleanly) {
  const char* lines[] = {
      "XBYTE 0",           "XBYTE 0 TO 3F",     "XBYTE 0 = 1",   "XBYTE 0 TO 1FF = 55", "XWORD 0 = 1234",
      "XBYTE 0 TO 0F = XBYTE 100 TO 10F",       "CBYTE 0 TO 3 = 1, 2, 3, 4",          "DBYTE 20 = 1",
      "RBYTE 90 = 1",      "BIT 0 TO 3 = 1",    "EBYTE 0 = 1",   "CHECKSUM 0 TO 3",     "STACK",
      "CALLSTACK",         "REGISTERS",         "GO",            "GO TILL 100",         "STEP",
      "TRACE",             "HALT",              "RESET CPU",     "CAUSE",               "DISABLE BR0",
  };
  for (uint8_t kind : {kTargetMonitor, kTargetAduc}) {
    for (const char* line : lines) {
      const std::string_view l = line;
      if (kind == kTargetAduc && (l == "CAUSE" || l == "DISABLE BR0")) continue;  // the monitor's own
      SetUp();
      dorvik::Run().TargetKind = kind;
      const std::string out = Output(line);
      EXPECT_EQ(out.find_first_not_of('\n'), std::string::npos) << int{kind} << ": " << line << ": " << out;
      EXPECT_EQ(Errors(), std::vector<int>{161}) << int{kind} << ": " << line;
      EXPECT_FALSE(dorvik::Run().ProgramRunning);
      EXPECT_NE(DebugStatus().Caption, kCaptionRunning) << int{kind} << ": " << line;
      EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
      EXPECT_EQ(Images().XDataImage[0], 0);
    }
  }
  // A GO with a breakpoint to plant in the ADuC's code: one message, not one per read.
  SetUp();
  dorvik::Run().TargetKind = kTargetAduc;
  tBreak& bp = Breakpoints().BreakTable[0];
  bp.Used = bp.Enabled = true;
  bp.Address = 5;
  Output("GO");
  EXPECT_EQ(Errors(), std::vector<int>{161});
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
}

TEST_F(MemCmdsTest, NoTargetShowsNothing) {
  dorvik::Run().TargetKind = kTargetNone;
  for (const char* line : {"XBYTE 0 TO 3", "CHECKSUM 0 TO 3", "REGISTERS"}) {
    EXPECT_EQ(Output(line), "") << line;
    EXPECT_TRUE(Errors().empty()) << line;
  }
}

// A program of three procedures; LEAF is running, called by ACALL from SUB,
// which MAIN called by LCALL.
class CallStackTest : public MemCmdsTest {
 protected:
  void SetUp() override {
    MemCmdsTest::SetUp();
    CreateSymbolCollections();
    CollectionsState& c = Collections();
    for (const auto& [name, start] : {std::pair{"LEAF", 0x0000}, {"MAIN", 0x0100}, {"SUB", 0x0200}}) {
      const auto first = static_cast<uint16_t>(start);
      c.ModuleTable->Items.push_back({name, first, static_cast<uint16_t>(first + 0xFF), true});
      tSymbolItem& proc = c.SymbolTable->Add();
      proc.Name = name;
      proc.Value = static_cast<uint32_t>(start);
      proc.SymClass = kClassProcedure;
    }
    auto& code = Images().CodeImage;
    code[0x100] = 0x12, code[0x101] = 0x02, code[0x102] = 0x00;  // LCALL 0200H, returns to 0103H
    code[0x210] = 0x11, code[0x211] = 0x50;                      // ACALL 0050H, returns to 0212H
    Images().SimPC = 0x55;
  }
};

TEST_F(CallStackTest, WalksTheReturnAddressesItRead) {
  auto& idata = Images().IDataImage;
  idata[8] = 0x77;  // not a return address
  idata[9] = 0x03, idata[0x0A] = 0x01;
  idata[0x0B] = 0x12, idata[0x0C] = 0x02;
  Images().SfrImage[sfr::SP] = 0x0C;
  EXPECT_EQ(Output("CALLSTACK"),
            "MAIN <MAIN+0> (0100)\n"
            "SUB <SUB+F> (020F)\n"
            "LEAF <LEAF+55> (0055)\n");
  // SP at the stack's base: nothing at all.
  Images().SfrImage[sfr::SP] = 7;
  EXPECT_EQ(Output("CALLSTACK"), "");
  // One byte above it: no return address, the PC's line alone.
  Images().SfrImage[sfr::SP] = 8;
  EXPECT_EQ(Output("CALLSTACK"), "LEAF <LEAF+55> (0055)\n");
  // The stack base that the loader set.
  MemCmds().StackBase = 0x0A;
  Images().SfrImage[sfr::SP] = 0x0C;
  EXPECT_EQ(Output("CALLSTACK"), "SUB <SUB+F> (020F)\nLEAF <LEAF+55> (0055)\n");
  // An ACALL with page bits (ACALL 0750H at 0220H) is a call as well, shown three
  // bytes before its return address as every call.
  Images().CodeImage[0x220] = 0xF1, Images().CodeImage[0x221] = 0x50;
  idata[0x0B] = 0x22;  // returns to 0222H
  EXPECT_EQ(Output("CALLSTACK"), "SUB <SUB+1F> (021F)\nLEAF <LEAF+55> (0055)\n");
}

// An interrupt vector's code is an unnamed module item before its module's
// own: the handler's lines name the module as every other line does.
TEST_F(CallStackTest, AVectorsLineNamesItsModule) {
  CollectionsState& c = Collections();
  c.ModuleTable->Items.push_back({"", 0x0300, 0x0302, false});
  c.ModuleTable->Items.push_back({"ISR", 0x0310, 0x03FF, true});
  tSymbolItem& proc = c.SymbolTable->Add();
  proc.Name = "ISR";
  proc.Value = 0x0300;
  proc.SymClass = kClassProcedure;
  Images().SimPC = 0x0301;
  Images().SfrImage[sfr::SP] = 8;
  EXPECT_EQ(Output("CALLSTACK"), "ISR <ISR+1> (0301)\n");
}

TEST_F(CallStackTest, WalksOnlyTheChunkItRead) {
  ChunkedSimulator spy(16);
  SetBackendForTesting(kTargetSimulator, &spy);
  auto& idata = Images().IDataImage;
  idata[8] = 0x03, idata[9] = 0x01;        // read: the first 16 bytes above the base
  idata[0x1A] = 0x12, idata[0x1B] = 0x02;  // not read
  Images().SfrImage[sfr::SP] = 0x1B;
  const std::string out = Output("CALLSTACK");
  SetBackendForTesting(kTargetSimulator, nullptr);
  EXPECT_EQ(spy.Counts, std::vector<int32_t>{16});
  EXPECT_EQ(out, "MAIN <MAIN+0> (0100)\nLEAF <LEAF+55> (0055)\n");
}

TEST_F(CallStackTest, SymbolValueTexts) {
  CollectionsState& c = Collections();
  auto add = [&](const char* name, uint32_t value, uint8_t cls) {
    tSymbolItem& s = c.SymbolTable->Add();
    s.Name = name;
    s.Value = value;
    s.SymClass = cls;
    return c.SymbolTable->Count() - 1;
  };
  const int32_t number = add("LIMIT", 0x1234, kClassNumber);
  const int32_t byte = add("COUNT", 0x30, kClassIData);
  const int32_t bit = add("FLAG", 0x09, kClassBit);
  Images().IDataImage[0x30] = 0x42;
  Images().IDataImage[0x21] = 0x02;  // bit 09H
  const struct {
    int32_t Sym;
    bool Read;
    uint8_t Radix;
    const char* Text;
  } cases[] = {
      {number, true, 16, "1234"}, {number, true, 10, "04660"}, {0, true, 16, "Code 0H"},
      {2, false, 16, "Code 200H"}, {2, false, 10, "Code 512T"}, {byte, true, 16, "42"},
      {byte, false, 16, "00"},     {bit, true, 16, "BIT 09H = 1"},
  };
  for (const auto& t : cases) {
    Formatting().DisplayRadix = t.Radix;
    std::string text;
    SymbolValueText(t.Sym, t.Read, text);
    EXPECT_EQ(text, t.Text) << t.Sym << " radix " << int{t.Radix};
  }
}

}  // namespace
}  // namespace dorvik::testing
