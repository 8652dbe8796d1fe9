// What the tool windows read through the engine: a memory view's rows in the
// target's chunks and after a failed read, a window's expression evaluated
// without disturbing the command line, in-place writes, the call stack's
// entries against CALLSTACK, the disassembly's rows as the console's lines
// in fields, the symbol tree, the breakpoint list, the
// element types of the debug types, the one rule of when a view may read the
// target, and the virtual hardware fed from the target.

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <tuple>
#include <vector>

#include "access/backend.h"
#include "access/disasline.h"
#include "access/transport.h"
#include "base/mainform.h"
#include "debugger/breakpoints.h"
#include "debugger/hardwarefeed.h"
#include "debugger/runcontrol.h"
#include "debugger/toolviews.h"
#include "lang/collections.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/typetext.h"
#include "tests/support/chunked_simulator.h"
#include "tests/support/console_fixture.h"
#include "tests/support/simulator_forwarder.h"
#include "tests/support/symbol_tables.h"
#include "vhw/hardware.h"

namespace dorvik::testing {
namespace {

using ToolViewsTest = ConsoleTest;

TEST_F(ToolViewsTest, MemoryViewRowsFollowTheChunksAndStopAtAFailure) {
  ChunkedSimulator sim(16);
  SetBackendForTesting(kTargetSimulator, &sim);
  for (int i = 0; i < 40; ++i) Images().XDataImage[static_cast<size_t>(0x100 + i)] = static_cast<uint8_t>(i);
  MemoryViewRead r = ReadMemoryView(kSpaceXData, 0x100, 40, tok::kBYTE);
  EXPECT_EQ(sim.Counts, (std::vector<int32_t>{16, 16, 8}));
  ASSERT_EQ(r.Rows.size(), 3u);
  EXPECT_EQ(r.Rows[2].Address, 0x120);
  EXPECT_EQ(r.Rows[2].Items.size(), 8u);
  EXPECT_EQ(MemoryValueText(r.Rows[1].Items[15]), "1F");
  EXPECT_TRUE(r.Error.empty());
  // Words: eight to a row; a chunk of 16 bytes holds eight of them.
  sim.Counts.clear();
  r = ReadMemoryView(kSpaceXData, 0x100, 12, tok::kWORD);
  EXPECT_EQ(sim.Counts, (std::vector<int32_t>{8, 4}));
  ASSERT_EQ(r.Rows.size(), 2u);
  EXPECT_EQ(MemoryValueText(r.Rows[0].Items[0]), "0001");
  // The second read fails: one message, no more reads, the rows after it unreadable.
  sim.Counts.clear();
  sim.Fail = 2;
  r = ReadMemoryView(kSpaceXData, 0x100, 40, tok::kBYTE);
  SetBackendForTesting(kTargetSimulator, nullptr);
  EXPECT_EQ(sim.Counts.size(), 2u);
  EXPECT_EQ(r.Error, "Error #161: Target device is not responding");
  ASSERT_EQ(r.Rows.size(), 3u);
  EXPECT_TRUE(r.Rows[0].Readable);
  EXPECT_FALSE(r.Rows[1].Readable || r.Rows[2].Readable);
  EXPECT_TRUE(r.Rows[1].Items.empty());
  EXPECT_EQ(r.Rows[2].Count, 8);
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(ToolViewsTest, MemoryViewRangesInsideTheirSpace) {
  const struct {
    uint8_t Space;
    int32_t Start, Count;
    uint8_t Type;
    size_t Rows;
  } cases[] = {
      {kSpaceIData, 0xF0, 16, tok::kBYTE, 1},      {kSpaceIData, 0xF0, 17, tok::kBYTE, 0},
      {kSpaceDirect, 0x100, 1, tok::kBYTE, 0},     {kSpaceXData, 0, 0x10000, tok::kBYTE, 0x1000},
      {kSpaceXData, 0, 0x8001, tok::kWORD, 0},     {kSpaceCode, 0xFFFD, 1, tok::kPOINTER, 1},
      {kSpaceBit, 0, 256, tok::kBIT, 16},          {kSpaceXData, 0, 0, tok::kBYTE, 0},
  };
  for (const auto& c : cases) {
    const MemoryViewRead r = ReadMemoryView(c.Space, c.Start, c.Count, c.Type);
    EXPECT_EQ(r.Rows.size(), c.Rows) << int{c.Space} << " " << c.Start << " " << c.Count;
    EXPECT_EQ(r.Error.empty(), c.Rows != 0) << r.Error;
  }
  // Data below 80H is internal RAM; from 80H on the special function registers.
  Images().IDataImage[0x40] = 0x5A;
  EXPECT_EQ(MemoryValueText(ReadMemoryView(kSpaceDirect, 0x40, 1, tok::kBYTE).Rows.at(0).Items.at(0)), "5A");
  EXPECT_EQ(MemoryValueText(ReadMemoryView(kSpaceDirect, 0x81, 1, tok::kBYTE).Rows.at(0).Items.at(0)), "07");
  EXPECT_EQ(MemoryCharsText({{tok::kBYTE, 'A'}, {tok::kBYTE, 0x07}, {tok::kBYTE, 0xC2}}), "A.B");
}

TEST_F(ToolViewsTest, AWindowsExpressionLeavesTheCommandLineAsItWas) {
  Images().IDataImage[0x40] = 0x0F;
  SetScanLine("REGISTERS\r", false);
  const ViewValue v = EvaluateForView("DBYTE 40", true);
  EXPECT_TRUE(v.Ok);
  EXPECT_EQ(v.Typed, "0F");
  EXPECT_EQ(v.Value, 15);
  EXPECT_EQ(EvaluateForView("(DBYTE 40) + 1", true).Typed, "10H");
  EXPECT_EQ(EvaluateForView("3 / 2", true).Typed, "1.5");
  // A range is one value too many for a watch, not for the evaluate dialog.
  EXPECT_EQ(EvaluateForView("DBYTE 40 TO 41", true).Error, "Error #133: Expression too complex");
  EXPECT_TRUE(EvaluateForView("DBYTE 40 TO 41", false).Ok);
  EXPECT_EQ(EvaluateForView("", true).Error.rfind("Error #118", 0), 0u);
  // The command line goes on where it was, with no error left behind.
  EXPECT_EQ(GetToken(), tok::kREGISTERS);
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_FALSE(Evaluator().SingleValueOnly);
  EXPECT_TRUE(boxes_.Shown().empty());
  // In every radix; a negative number as its 32-bit pattern.
  EXPECT_EQ(AllRadixTexts(-1), (std::vector<std::string>{"FFFFFFFFH", "-1T", "37777777777Q",
                                                         "11111111111111111111111111111111B", "-1.0"}));
  EXPECT_EQ(AllRadixTexts(0.5), std::vector<std::string>{"0.5"});
}

TEST_F(ToolViewsTest, InPlaceWritesTakeTheElementsType) {
  std::string error;
  EXPECT_TRUE(WriteMemoryViewValue(kSpaceXData, 0x10, tok::kFLOAT, "1.5", error));
  EXPECT_EQ(std::vector<uint8_t>(&Images().XDataImage[0x10], &Images().XDataImage[0x14]),
            (std::vector<uint8_t>{0x3F, 0xC0, 0x00, 0x00}));
  EXPECT_TRUE(WriteMemoryViewValue(kSpaceXData, 0x20, tok::kINTEGER, "-2", error));
  EXPECT_EQ(Images().XDataImage[0x20], 0xFF);
  EXPECT_EQ(Images().XDataImage[0x21], 0xFE);
  EXPECT_TRUE(WriteMemoryViewValue(kSpaceBit, 0x09, tok::kBIT, "1", error));
  EXPECT_EQ(Images().IDataImage[0x21], 0x02);
  // Data below 80H is internal RAM.
  EXPECT_TRUE(WriteMemoryViewValue(kSpaceDirect, 0x30, tok::kBYTE, "41", error));
  EXPECT_EQ(Images().IDataImage[0x30], 0x41);
  // A bad value writes nothing.
  EXPECT_FALSE(WriteMemoryViewValue(kSpaceXData, 0x22, tok::kBYTE, "5 +", error));
  EXPECT_EQ(Images().XDataImage[0x22], 0);
  EXPECT_EQ(error.rfind("Error #118", 0), 0u);
  // Modify through what an expression names: a typed reference; a number is no place.
  EXPECT_TRUE(ModifyExpressionValue("XBYTE 22", "7", error));
  EXPECT_EQ(Images().XDataImage[0x22], 7);
  EXPECT_FALSE(ModifyExpressionValue("5", "7", error));
  EXPECT_EQ(error, "Error #147: Non changeable item");
  EXPECT_TRUE(boxes_.Shown().empty());
}

// The simulator with code reads that fail from FailFrom on, as a board of
// choice: one that runs the program itself when RunsItself.
class CodeFailingBoard final : public SimulatorForwarder {
 public:
  TargetCapabilities Capabilities() const override {
    TargetCapabilities caps = Sim().Capabilities();
    caps.RunsProgramItself = RunsItself;
    return caps;
  }
  bool ReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out) override {
    ++Reads;
    if (space != kSpaceCode || addr < FailFrom) return Sim().ReadBytes(space, addr, out);
    ReportError(err::kTargetDeviceNotResponding);
    return false;
  }
  int32_t FailFrom = 0x10000;
  bool RunsItself = false;
  int Reads = 0;
};

TEST_F(ToolViewsTest, DisassemblyRowsAreTheConsolesLinesAsFields) {
  LoadSymbolTable({{"MAIN", kClassProcedure, 0}, {"LOOP", kClassCode, 3}}, {{"MAIN", 0, 0xFF, true}});
  auto& code = Images().CodeImage;
  code[0] = 0x74, code[1] = 0x41, code[2] = 0x04, code[3] = 0x80, code[4] = 0xFE;  // MOV A,#41H; INC A; SJMP $
  CodeFailingBoard board;
  SetBackendForTesting(kTargetSimulator, &board);
  DisassemblyRead r = ReadDisassemblyRows(0, 3);
  ASSERT_TRUE(r.Read);
  ASSERT_EQ(r.Rows.size(), 3u);
  EXPECT_EQ(std::tie(r.Rows[1].Address, r.Rows[2].Address), std::tuple(2, 3));
  const DisasFields& loop = r.Rows[2].Fields;
  EXPECT_EQ(std::tie(loop.Address, loop.CodeBytes, loop.Label, loop.Instruction, loop.Comment),
            std::tie("0003H", "80FE", "LOOP:", "SJMP    LOOP", ";00003H"));
  EXPECT_EQ(r.Rows[0].Fields.Comment, ";#65T");
  EXPECT_TRUE(r.LabelColumn);
  EXPECT_FALSE(r.SourceLineColumn);
  // The console shows the same fields: TRACE's line is the address and the instruction.
  const DisasFields& mov = r.Rows[0].Fields;
  const DisasFields& inc = r.Rows[1].Fields;
  const std::string trace = Output("TRACE FROM 0");
  EXPECT_EQ(trace.substr(0, trace.find('\n')),
            mov.Address + " " + mov.Instruction + "----->" + inc.Address + " " + inc.Instruction);

  // A failed read ends the rows with one saying why; the caller's error and the flags stay as they were.
  CodeImageChanged();
  code.fill(0);
  board.FailFrom = 0x0E;  // the code cache's second read
  ReportError(err::kSyntaxError);
  boxes_.Clear();
  r = ReadDisassemblyRows(0, 20);
  ASSERT_EQ(r.Rows.size(), 15u);
  EXPECT_EQ(r.Rows[13].Fields.Instruction, "NOP");
  EXPECT_EQ(r.Rows[14].Address, 0x0E);
  EXPECT_EQ(r.Rows[14].Failure, "000EH  Target device is not responding");
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(Messages().LastErrorCode, err::kSyntaxError);
  EXPECT_FALSE(Messages().QuietMessages);
  EXPECT_TRUE(boxes_.Shown().empty());

  // A board that runs the program is not read.
  board.RunsItself = dorvik::Run().ProgramRunning = true;
  board.Reads = 0;
  EXPECT_FALSE(ReadDisassemblyRows(0, 3).Read);
  EXPECT_EQ(board.Reads, 0);
  dorvik::Run().ProgramRunning = false;

  // Decoded again: the label column is unused until a line shows a label.
  board.FailFrom = 0x10000;
  RedecodeDisassembly();
  EXPECT_FALSE(ReadDisassemblyRows(0x10, 3).LabelColumn);
  EXPECT_TRUE(ReadDisassemblyRows(0, 4).LabelColumn);
  SetBackendForTesting(kTargetSimulator, nullptr);
}

TEST_F(ToolViewsTest, CallStackEntriesAreTheLinesOfCallstack) {
  LoadSymbolTable({{"MAIN", kClassProcedure, 0x100}, {"SUB", kClassProcedure, 0x200}},
                  {{"MAIN", 0x100, 0x1FF, true}, {"SUB", 0x200, 0x2FF, true}});
  auto& code = Images().CodeImage;
  code[0x100] = 0x12, code[0x101] = 0x02, code[0x102] = 0x00;  // LCALL 0200H
  Images().IDataImage[8] = 0x03, Images().IDataImage[9] = 0x01;
  Images().SfrImage[sfr::SP] = 9;
  Images().SimPC = 0x210;
  std::vector<CallStackEntry> entries;
  ASSERT_TRUE(ReadCallStack(entries));
  std::string lines;
  for (const CallStackEntry& e : entries) lines += CallStackLineText(e) + "\n";
  EXPECT_EQ(lines, Output("CALLSTACK"));
  EXPECT_EQ(lines, "MAIN <MAIN+0> (0100)\nSUB <SUB+10> (0210)\n");
  EXPECT_EQ(SymbolAt(entries[0].Procedure)->Name, "MAIN");
  // A GO is counted: a window filled before it reads again.
  const uint32_t gos = ToolViews().GoCount;
  Output("GO TILL 210H");
  EXPECT_EQ(ToolViews().GoCount, gos + 1);
}

TEST_F(ToolViewsTest, SymbolTreeNestsBlocksUnderTheirModule) {
  LoadSymbolTable({{"M1", kClassProcedure, 0},
                   {"COUNT", kClassData, 0x30},
                   {"P", kClassScopeBegin, 0x10},
                   {"LOCAL", kClassIData, 0x40},
                   {"LINE", kClassLine, 0x10, 3},
                   {"P", kClassScopeEnd, 0},
                   {"P", kClassScopeEnd, 0},  // an end too many stays in the module
                   {"FLAG", kClassBit, 0x09},
                   {"M2", kClassProcedure, 0x100},
                   {"LIMIT", kClassNumber, 0x1234}},
                  {{"M1", 0, 0xFF, true}, {"M2", 0x100, 0x1FF, true}});
  const std::vector<SymbolNode> all = BuildSymbolTree(kAllModules);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].Class, "MODULE");
  ASSERT_EQ(all[0].Children.size(), 3u);
  EXPECT_EQ(all[0].Children[0].Address, "30H");
  EXPECT_EQ(all[0].Children[1].Name, "P");
  EXPECT_EQ(all[0].Children[1].Class, "BLOCK");
  ASSERT_EQ(all[0].Children[1].Children.size(), 1u);  // the line is left out
  EXPECT_EQ(all[0].Children[1].Children[0].Name, "LOCAL");
  EXPECT_EQ(all[0].Children[2].Class, "BIT");
  EXPECT_EQ(all[1].Children.at(0).Address, "1234H");
  const std::vector<SymbolNode> one = BuildSymbolTree("m2");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].Name, "M2");
  EXPECT_TRUE(BuildSymbolTree("NONE").empty());
  EXPECT_EQ(ProgramModuleNames(), (std::vector<std::string>{"M1", "M2"}));
}

TEST_F(ToolViewsTest, BreakpointListByName) {
  Output("BR = 100");
  Output("BR = 200");
  EXPECT_TRUE(EnableBreakpointByName("Br1", false));
  std::vector<BreakpointRow> rows = BreakpointRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Name, "Br0");
  EXPECT_EQ(rows[0].Address, 0x100);
  EXPECT_TRUE(rows[0].Enabled);
  EXPECT_FALSE(rows[1].Enabled);
  EXPECT_FALSE(EnableBreakpointByName("BR1", true));  // names are case-sensitive
  EXPECT_FALSE(ClearBreakpointByName("Br5"));          // not in use
  EXPECT_TRUE(ClearBreakpointByName("Br0"));
  rows = BreakpointRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Name, "Br1");
  Breakpoints().ArmBreak.Used = true;
  Breakpoints().ArmBreak.Address = 0x300;
  EXPECT_EQ(BreakpointRows().back().Name, "Arm");
  // Every entry up to the last one the target has, then Arm; none beyond it.
  struct Case {
    int32_t LastBreakIndex;
    std::vector<std::string> Names;
  };
  const std::vector<Case> cases = {
      {7, {"Br0", "Br1", "Br2", "Br3", "Br4", "Br5", "Br6", "Br7", "Arm"}},
      {1, {"Br0", "Br1", "Arm"}},
  };
  for (const Case& c : cases) {
    for (tBreak& bp : Breakpoints().BreakTable) bp.Used = bp.Enabled = true;
    Breakpoints().LastBreakIndex = c.LastBreakIndex;
    std::vector<std::string> names;
    for (const BreakpointRow& row : BreakpointRows()) names.push_back(row.Name);
    EXPECT_EQ(names, c.Names);
  }
}

// A C module's variables read with their debug types: by the console's
// expressions, by the symbol texts of the evaluate dialog and the hints.
TEST_F(ToolViewsTest, CVariablesReadWithTheirTypes) {
  LoadSymbolTable({{"CMOD", kClassProcedure, 0}, {"I", kClassData, 0x30}, {"F", kClassIData, 0x90},
                   {"V", kClassXData, 0x10}},
                  {{"CMOD", 0, 0xFF, true}});
  auto& items = Collections().SymbolTable->Items;
  items[1].VarType = 4;   // int
  items[2].VarType = 8;   // float
  items[3].VarType = 11;  // void: its address
  Images().IDataImage[0x30] = 0x01, Images().IDataImage[0x31] = 0x02;
  const uint8_t half[] = {0x3F, 0x00, 0x00, 0x00};  // 0.5
  std::memcpy(&Images().IDataImage[0x90], half, sizeof half);
  Output("R0 = I / 2");
  Output("R1 = F * 8");
  Output("R2 = V");
  EXPECT_EQ(Output("R"), "PC=0000 ACC=00 B=00 PSW=00 SP=07 DPTR=0000 R0=81 R1=04 R2=10 R3=00 R4=00 R5=00 R6=00 R7=00\n");
  std::string text;
  SymbolValueText(1, true, text);
  EXPECT_EQ(text, "RBYTE 0030H int =  00102");
  SymbolValueText(2, true, text);
  EXPECT_EQ(text, "DBYTE 0090H float =  5.0000000E-01");
  EXPECT_TRUE(boxes_.Shown().empty());
}

// Two modules with a variable of the same name: each symbol's text reads its own.
TEST_F(ToolViewsTest, ASymbolsTextReadsThatSymbol) {
  LoadSymbolTable({{"M1", kClassProcedure, 0}, {"I", kClassData, 0x30}, {"M2", kClassProcedure, 0x100},
                   {"I", kClassData, 0x40}},
                  {{"M1", 0, 0xFF, true}, {"M2", 0x100, 0x1FF, true}});
  Collections().SymbolTable->Items[1].VarType = 4;
  Collections().SymbolTable->Items[3].VarType = 4;
  Images().IDataImage[0x31] = 0x11;
  Images().IDataImage[0x41] = 0x22;
  std::string text;
  SymbolValueText(3, true, text);
  EXPECT_EQ(text, "RBYTE 0040H int =  00022");
  SymbolValueText(1, true, text);
  EXPECT_EQ(text, "RBYTE 0030H int =  00011");
}

TEST(DebugTypeElementsTest, EachTypeReadsAsItsElements) {
  ResetSession();
  CreateSymbolCollections();
  auto& types = *Collections().TypeDefs;
  auto add = [&types](tTypeDef kind, uint16_t result, uint8_t space, uint8_t size, std::vector<int32_t> dims) {
    tTypeDefItem& t = types.Add();
    t.TypeDefID = kind;
    t.ResultType = result;
    t.MSpace = space;
    t.Size = size;
    t.Dimensions = static_cast<uint8_t>(dims.size());
    for (size_t i = 0; i < dims.size(); ++i) t.DimensionSizes[i] = dims[i];
  };
  add(tTypeDef::tPointer, 4, 0, 3, {});          // 32: generic pointer
  add(tTypeDef::tPointer, 4, 2, 2, {});          // 33: xdata pointer
  add(tTypeDef::tPointer, 4, 4, 1, {});          // 34: data pointer
  add(tTypeDef::tArray, 8, 0, 0, {3, 4});        // 35: float [3][4]
  add(tTypeDef::tArray, 35, 0, 0, {100});        // 36: [100] of 35, more than are read
  add(tTypeDef::tArray, 37, 0, 0, {2});          // 37: of itself
  add(tTypeDef::tStructUnion, 0, 0, 0, {});      // 38
  const struct {
    int32_t Type;
    bool Plain;
    uint8_t Elem;
    int32_t Count;
  } cases[] = {
      {2, true, tok::kCHAR, 1},     {4, true, tok::kINTEGER, 1}, {6, true, tok::kLONGINT, 1},
      {8, true, tok::kFLOAT, 1},    {1, true, tok::kBIT, 1},     {11, false, 0, 0},
      {32, true, tok::kPOINTER, 1}, {33, true, tok::kWORD, 1},   {34, true, tok::kBYTE, 1},
      {35, true, tok::kFLOAT, 12},  {36, true, tok::kFLOAT, kMaxTypedElements},
      {37, false, 0, 0},            {38, false, 0, 0},           {99, false, 0, 0},
  };
  for (const auto& c : cases) {
    uint8_t elem = 0;
    int32_t count = 0;
    EXPECT_EQ(DebugTypeElements(c.Type, elem, count), c.Plain) << c.Type;
    if (c.Plain) {
      EXPECT_EQ(elem, c.Elem) << c.Type;
      EXPECT_EQ(count, c.Count) << c.Type;
    }
  }
  ResetSession();
}

// The simulator's images under the capabilities of a target of choice.
class PretendTarget final : public SimulatorForwarder {
 public:
  TargetCapabilities Capabilities() const override { return Caps; }
  TargetCapabilities Caps;
};

TEST_F(ToolViewsTest, ViewsMayReadByWhatRunsWhileTheyRead) {
  enum Kind { Sim, Board, None };
  struct Row {
    const char* State;
    Kind Target;
    bool LinkOpen, Ready, Running, Executing, TargetBusy, Command, MainBusy, StepKey;
    bool AtRest, Live, Browse;
  };
  // clang-format off
  const Row rows[] = {
      // state                          target link  ready  run    exec   busy   cmd    main   stepkey  rest   live   browse
      {"simulator at rest",             Sim,   false, true,  false, false, false, false, false, false,   true,  true,  true},
      {"simulator runs",                Sim,   false, true,  true,  true,  true,  false, true,  false,   false, true,  true},
      {"simulator in a command",        Sim,   false, true,  false, false, true,  true,  true,  false,   false, true,  true},
      {"simulator's STEP waits a key",  Sim,   false, true,  false, false, true,  true,  true,  true,    true,  true,  true},
      {"simulator while loading",       Sim,   false, true,  false, false, false, false, true,  false,   true,  true,  true},
      {"simulator's state not read",    Sim,   false, false, false, false, false, false, false, false,   false, true,  true},
      {"board at rest",                 Board, true,  true,  false, false, false, false, false, false,   true,  true,  true},
      {"board's line closed",           Board, false, true,  false, false, false, false, false, false,   false, false, true},
      {"board runs the program",        Board, true,  true,  true,  false, true,  false, true,  false,   false, false, false},
      {"board talked to",               Board, true,  true,  false, false, true,  false, false, false,   false, false, true},
      {"board while loading",           Board, true,  true,  false, false, false, false, true,  false,   true,  false, true},
      {"board's STEP waits a key",      Board, true,  true,  false, false, true,  true,  true,  true,    true,  false, true},
      {"board in a GO from the window", Board, true,  true,  false, true,  false, false, false, false,   false, true,  true},
      {"no target",                     None,  false, true,  false, false, false, false, false, false,   true,  false, true},
  };
  // clang-format on
  PretendTarget target;
  for (const Row& row : rows) {
    target.Caps = row.Target == Sim     ? SimulatorBackendInstance().Capabilities()
                  : row.Target == Board ? TargetCapabilities{.HasTarget = true, .RunsProgramItself = true}
                                        : TargetCapabilities{};
    SetBackendForTesting(kTargetSimulator, &target);
    row.LinkOpen ? LinkReplayForTesting({}) : CloseLink();
    RunState& run = dorvik::Run();
    run.TargetReady = row.Ready;
    run.ProgramRunning = row.Running;
    run.Executing = row.Executing;
    run.TargetBusy = row.TargetBusy;
    Executor().Running = row.Command;
    MainForm().Busy = row.MainBusy;
    RunControl().WaitingForStepKey = row.StepKey;
    EXPECT_EQ(ViewsMayRead(ViewRead::AtRest), row.AtRest) << row.State;
    EXPECT_EQ(ViewsMayRead(ViewRead::Live), row.Live) << row.State;
    EXPECT_EQ(ViewsMayRead(ViewRead::Browse), row.Browse) << row.State;
  }
  CloseLink();
  SetBackendForTesting(kTargetSimulator, nullptr);
}

// A window of virtual hardware: what reached it, as space and address.
class RecordingReceiver final : public vhw::HardwareReceiver {
 public:
  int32_t HardwareAccess(uint32_t address, uint8_t space, uint8_t data) override {
    Seen.push_back({space, address, data});
    return vhw::kNoReply;
  }
  using Access = std::tuple<uint8_t, uint32_t, uint8_t>;
  std::vector<Access> Seen;
};

TEST_F(ToolViewsTest, VirtualHardwareIsFedThePortsAndTheBoundExternalBytes) {
  vhw::ByteDisplay xdata;
  xdata.Binding = {vhw::kSpaceXData, 0x8000};
  vhw::ByteDisplay port;
  port.Binding = {vhw::kSpaceSfr, 0x90};
  const std::array<vhw::ByteDisplay*, 2> displays{&xdata, &port};
  Images().XDataImage[0x8000] = 0x3C;
  Images().SfrImage[0x90] = 0xA5;
  // Nobody listens: nothing is read.
  EXPECT_FALSE(FeedVirtualHardware(true, displays));

  RecordingReceiver receiver;
  vhw::ShowReceiver(receiver);
  // Nothing due at rest.
  EXPECT_FALSE(FeedVirtualHardware(false, displays));
  EXPECT_TRUE(receiver.Seen.empty());
  // Due: each port of the main menu as a port access, the external byte shown
  // without a bus cycle (no message for it), the display on a port left to the messages.
  ASSERT_TRUE(FeedVirtualHardware(true, displays));
  ASSERT_EQ(receiver.Seen.size(), CpuDb().MainPortMenu.size());
  EXPECT_EQ(std::ranges::count(receiver.Seen, RecordingReceiver::Access{vhw::kSpaceSfr, 0x90, 0xA5}), 1);
  EXPECT_EQ(xdata.Value, 0x3C);
  EXPECT_EQ(port.Value, 0xFF);
  EXPECT_FALSE(Images().SuppressXDataIO);
  // During a run on the simulator the external bytes follow at every feed.
  receiver.Seen.clear();
  Images().XDataImage[0x8000] = 0x3D;
  dorvik::Run().ProgramRunning = true;
  EXPECT_TRUE(FeedVirtualHardware(false, displays));
  EXPECT_TRUE(receiver.Seen.empty());
  EXPECT_EQ(xdata.Value, 0x3D);
  dorvik::Run().ProgramRunning = false;
  vhw::HideReceiver(receiver);
}

}  // namespace
}  // namespace dorvik::testing
