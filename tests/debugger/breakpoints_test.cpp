// Breakpoints and run control on the console: the BR records and their
// source locations, breakpoint names and the source-location services; GO,
// HALT, the steps and the reset on the simulator, and the break rules of the
// boards through the fake boards. The command forms are in the console
// transcripts (tests/console/transcripts).

#include "debugger/breakpoints.h"
#include "debugger/runcontrol.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "access/target.h"
#include "base/runstate.h"
#include "project/project.h"
#include "debugger/bpnames.h"
#include "debugger/commsettings.h"
#include "debugger/toolviews.h"
#include "debugger/breaklocations.h"
#include "debugger/editormodel.h"
#include "debugger/statusfields.h"
#include "lang/collections.h"
#include "lang/keywords.h"
#include "objfiles/listmap.h"
#include "platform/pump.h"
#include "tests/platform/scratch_dir.h"
#include "tests/support/symbol_tables.h"
#include "tests/support/link_fixture.h"
#include "workspace/openproject.h"


namespace dorvik {
namespace {

using testing::ConsoleTest;

class BreakpointsTest : public ConsoleTest {
 protected:
  std::string WriteFile(const std::string& name, const std::string& text) { return dir_.Write(name, text); }
  std::vector<std::string> Questions() const {
    std::vector<std::string> captions;
    for (const auto& box : boxes_.Shown())
      if (box.Caption.rfind("Error", 0) != 0) captions.push_back(box.Caption.substr(box.Caption.find('#')));
    return captions;
  }
  // MAIN (0000-00FF): line 10 at 0000, LOOP at 0010, line 12 at 0020; OTHER (0100-01FF) without symbols.
  void LoadSymbols() {
    testing::LoadSymbolTable({{"MAIN", kClassProcedure, 0x0000},
                              {"", kClassLine, 0x0000, 10},
                              {"LOOP", kClassCode, 0x0010},
                              {"", kClassLine, 0x0020, 12}},
                             {{"MAIN", 0x0000, 0x00FF, true}, {"OTHER", 0x0100, 0x01FF, true}});
  }
  test_util::ScratchDir dir_;
};

TEST_F(BreakpointsTest, NinthBreakpointAsksWarning26) {
  for (int i = 0; i < 8; ++i) Output("BR = " + std::to_string(100 + i));  // hexadecimal: 0100H..0107H
  EXPECT_TRUE(Questions().empty());
  // Yes reuses entry 7 (No, keeping the table, is in the breakpoints transcript).
  Output("BR = 300");
  EXPECT_EQ(Questions(), std::vector<std::string>{"#26"});
  EXPECT_EQ(Breakpoints().BreakTable[7].Address, 0x300);
  EXPECT_EQ(Breakpoints().BreakpointIndex, 7);
}

TEST_F(BreakpointsTest, LocationsFromSourceLinesLabelsOrAddresses) {
  LoadSymbols();
  const std::string source = WriteFile("main.a51", "; LOOP: not here\nXLOOP: NOP\n   loop:  MOV A,#1\nEND\n");
  Project().ProjectModules.push_back({"MAIN", source, {}});
  const int32_t page = OpenFileInEditor(source, true);
  struct Case {
    uint16_t Address;
    const char* Location;
    bool Absolute;
    int32_t MarkedLine;
  };
  const std::vector<Case> cases = {
      {0x0000, ":MAIN#10", false, 10},
      {0x0010, ":MAIN.LOOP", false, 3},   // the label's own line, not XLOOP nor the comment
      {0x0015, ":MAIN#10", true, 10},     // the nearest line below, the address kept as absolute
      {0x0150, "0150", true, -1},         // a module without lines
      {0x0300, "0300", true, -1},         // no module
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Location);
    tBreak& bp = Breakpoints().BreakTable[2];
    SetBreakpointAt(bp, c.Address, false);
    EXPECT_TRUE(bp.Used && bp.Enabled);
    EXPECT_EQ(bp.Location, c.Location);
    EXPECT_EQ(bp.Absolute, c.Absolute);
    EXPECT_EQ(bp.Line.Line, c.MarkedLine);
    if (c.MarkedLine > 0) {
      EXPECT_EQ(LineMarkColor(page, c.MarkedLine), kBreakLineColor);
    }
  }
  // The last breakpoint moved: no mark of the earlier ones stays.
  EXPECT_EQ(LineMarkColor(page, 10), -1);
  EXPECT_EQ(LineMarkColor(page, 3), -1);
  // All marks drawn again: the last entry of the table is among them.
  SetBreakpointAt(Breakpoints().BreakTable[7], 0x0010, false);
  EditorModel().LineMarks[page].clear();
  MarkAllBreakpoints();
  EXPECT_EQ(LineMarkColor(page, 3), kBreakLineColor);
  // A closed page keeps its marks by file and line: they come back when it opens again.
  tBreak& bp = Breakpoints().BreakTable[2];
  SetBreakpointAt(bp, 0x0010, false);
  ClosePage(page);
  EXPECT_EQ(bp.Line.Page, -1);
  EXPECT_EQ(bp.Line.Line, 3);
  EXPECT_TRUE(EditorModel().LineMarks.empty() || EditorModel().LineMarks.begin()->second.empty());
  const int32_t again = OpenFileInEditor(source, true);
  EXPECT_EQ(bp.Line.Page, again);
  EXPECT_EQ(LineMarkColor(again, 3), kBreakLineColor);
  // Under the execution line the breakpoint shows again when that line goes.
  tShowedLine exec;
  SetLineMark(3, exec, source, kExecLineColor, true, true);
  EXPECT_EQ(LineMarkColor(again, 3), kExecLineColor);
  ClearLineMark(exec);
  EXPECT_EQ(LineMarkColor(again, 3), kBreakLineColor);
}

// Three pages, each with its own kind of mark: whichever page closes, every
// other page keeps its marks under its new index, and the closed page's mark
// keeps its file and line.
TEST_F(BreakpointsTest, EveryPagesMarksStayWhenAnotherPageCloses) {
  const std::string text = "a\nb\nc\nd\n";
  const std::string files[] = {WriteFile("a.a51", text), WriteFile("b.a51", text), WriteFile("c.a51", text)};
  tShowedLine* marks[] = {&ListMap().ExecLine, &Breakpoints().BreakTable[3].Line, &EditorModel().LocateLine};
  const uint32_t colors[] = {kExecLineColor, kBreakLineColor, kLocateLineColor};
  for (int32_t closed = 0; closed < 3; ++closed) {
    SCOPED_TRACE(closed);
    while (!EditorModel().Pages.empty()) ClosePage(0);
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(OpenFileInEditor(files[i], true), i);
      SetLineMark(i + 2, *marks[i], files[i], colors[i], true, false);
    }
    ClosePage(closed);
    for (int32_t i = 0; i < 3; ++i) {
      EXPECT_EQ(marks[i]->Line, i + 2);
      const int32_t page = i == closed ? -1 : i < closed ? i : i - 1;
      EXPECT_EQ(marks[i]->Page, page) << i;
      if (page >= 0) {
        EXPECT_EQ(LineMarkColor(page, i + 2), colors[i]) << i;
      }
    }
    EXPECT_EQ(EditorModel().LineMarks.count(2), 0u);
  }
}

// A label the module's page does not hold is looked for in its include files.
TEST_F(BreakpointsTest, LabelsAreFoundInTheModulesIncludeFiles) {
  LoadSymbols();
  const std::string include = WriteFile("parts.inc", "; the loop\n  loop: MOV A,#1\n");
  const std::string source = WriteFile("main.a51", "$INCLUDE(" + include + ")\nXLOOP: NOP\nEND\n");
  Project().ProjectModules.push_back({"MAIN", source, {}});
  Project().FileTypeList.push_back({kFileAssembler, ".A51", ""});
  OpenFileInEditor(source, true);
  tBreak& bp = Breakpoints().BreakTable[2];
  SetBreakpointAt(bp, 0x0010, false);
  EXPECT_EQ(bp.Location, ":MAIN.LOOP");
  EXPECT_EQ(bp.Line.FileName, include);
  EXPECT_EQ(bp.Line.Line, 2);
}

TEST_F(BreakpointsTest, CodeBytesTextCoversTheInstruction) {
  auto& code = Images().CodeImage;
  code[0] = 0x12, code[1] = 0x00, code[2] = 0x10;  // LCALL 0010H
  code[3] = 0x74, code[4] = 0xA5;                  // MOV A,#0A5H
  code[5] = 0x00;                                  // NOP
  CodeImageChanged();
  EXPECT_EQ(GetCodeBytesText(0), "012,000,010");
  EXPECT_EQ(GetCodeBytesText(3), "074,0A5");
  EXPECT_EQ(GetCodeBytesText(5), "000");
}

TEST_F(BreakpointsTest, RelocationFollowsTheLineOrAsks62) {
  LoadSymbols();
  tBreak& bp = Breakpoints().BreakTable[0];
  SetBreakpointAt(bp, 0x20, false);
  ASSERT_EQ(bp.Location, ":MAIN#12");
  bp.Enabled = false;
  // Reloaded: line 12 now at 0024.
  (*Collections().SymbolTable).Items[3].Value = 0x24;
  CodeImageChanged();
  RelocateBreakpoint(bp);
  EXPECT_EQ(bp.Address, 0x24);
  EXPECT_FALSE(bp.Enabled);  // its enable state stays
  // Reloaded without line 12: warning 62, Yes clears it.
  (*Collections().SymbolTable).Items[3].Number = 13;
  RelocateBreakpoint(bp);
  EXPECT_EQ(Questions(), std::vector<std::string>{"#62"});
  EXPECT_FALSE(bp.Used);
  // A label's breakpoint (":MAIN.LOOP") follows its label without a question.
  SetBreakpointAt(bp, 0x10, false);
  ASSERT_EQ(bp.Location, ":MAIN.LOOP");
  (*Collections().SymbolTable).Items[2].Value = 0x14;
  CodeImageChanged();
  RelocateBreakpoint(bp);
  EXPECT_EQ(bp.Address, 0x14);
  EXPECT_TRUE(bp.Used);
  EXPECT_EQ(Questions(), std::vector<std::string>{"#62"});
  // A breakpoint at a bare address looks for its source again: one that has
  // none asks 62 (No keeps it at its address), one inside a line keeps its address.
  SetBreakpointAt(bp, 0x150, false);
  boxes_.QueueAnswer(platform::kBoxNo);
  RelocateBreakpoint(bp);
  EXPECT_EQ(Questions(), (std::vector<std::string>{"#62", "#62"}));
  EXPECT_TRUE(bp.Used && bp.Address == 0x150 && bp.Location == "0150");
  SetBreakpointAt(bp, 0x15, false);
  RelocateBreakpoint(bp);
  EXPECT_EQ(Questions().size(), 2u);
  EXPECT_TRUE(bp.Used && bp.Address == 0x15 && bp.Location == ":MAIN#10");
  // A source breakpoint of a module the loaded program does not hold (another
  // program was loaded) asks 62, with source lines or without; No makes it an
  // address breakpoint, drawn on that address's line.
  boxes_.Clear();
  bp.Location = ":SUM#13";
  bp.Absolute = false;
  boxes_.QueueAnswer(platform::kBoxNo);
  RelocateBreakpoint(bp);
  EXPECT_EQ(Questions(), std::vector<std::string>{"#62"});
  EXPECT_TRUE(bp.Used && bp.Address == 0x15 && bp.Absolute);
  EXPECT_EQ(bp.Location, "0015");
  bp.Location = ":SUM.NEXT";
  bp.Absolute = false;
  RelocateBreakpoints(false);
  EXPECT_EQ(Questions(), (std::vector<std::string>{"#62", "#62"}));
  EXPECT_FALSE(bp.Used);
  // Its line deleted in the page: 62, not the line after it.
  SetBreakpointAt(bp, 0x24, false);
  ASSERT_EQ(bp.Location, ":MAIN#13");
  bp.Line.Deleted = true;
  RelocateBreakpoint(bp);
  EXPECT_EQ(Questions().size(), 3u);
  EXPECT_FALSE(bp.Used);
}

// Typing in a page moves the marks below the change with their lines (the
// breakpoint's band and dot, the execution line), until a load places them.
TEST_F(BreakpointsTest, MarksMoveWithTheEditedLines) {
  const std::string original = "A\nB\n\tDJNZ R6,X\nC\n";
  struct Edit {
    const char* Text;
    int32_t FirstChanged;
  };
  struct Case {
    const char* Name;
    std::vector<Edit> Edits;
    int32_t BreakLine, ExecLine;
    bool Deleted = false;  // the breakpoint's own line went
  };
  const std::vector<Case> cases = {
      {"a line typed above", {{"A\nB\nNOP\n\tDJNZ R6,X\nC\n", 2}}, 4, 5},
      {"Enter at the start of the line", {{"A\nB\n\n\tDJNZ R6,X\nC\n", 2}}, 4, 5},
      {"Enter at the end of the line above", {{"A\nB\n\n\tDJNZ R6,X\nC\n", 1}}, 4, 5},
      {"a line typed below", {{"A\nB\n\tDJNZ R6,X\nNOP\nC\n", 3}}, 3, 5},
      {"the line broken in its operands", {{"A\nB\n\tDJ\nNZ R6,X\nC\n", 2}}, 3, 5},
      {"NOP typed before it, then Enter",
       {{"A\nB\n\tNOP\tDJNZ R6,X\nC\n", 2}, {"A\nB\n\tNOP\n\tDJNZ R6,X\nC\n", 2}}, 4, 5},
      {"the line above deleted", {{"A\n\tDJNZ R6,X\nC\n", 1}}, 2, 3},
      {"its own line deleted", {{"A\nB\nC\n", 2}}, 3, 3, true},
      {"its own line and the one above deleted", {{"A\nC\n", 1}}, 2, 2, true},
      {"the whole text replaced (no hint)", {{"X\nY\nA\nB\n\tDJNZ R6,X\nC\n", -1}}, 5, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string source = WriteFile("edit.a51", original);
    const int32_t page = OpenFileInEditor(source, true);
    ReloadPage(page);
    tBreak& bp = Breakpoints().BreakTable[0];
    ClearBreakpoint(bp);
    bp.Used = bp.Enabled = true;
    SetLineMark(3, bp.Line, source, kBreakLineColor, false, false);
    SetLineMark(4, ListMap().ExecLine, source, kExecLineColor, false, false);
    // The editor hands over its text without the file's final line end.
    for (const Edit& e : c.Edits) {
      const std::string_view text = e.Text;
      EditPageText(page, text.substr(0, text.size() - 1), e.FirstChanged);
    }
    EXPECT_EQ(bp.Line.Line, c.BreakLine);
    EXPECT_EQ(bp.Line.Deleted, c.Deleted);
    EXPECT_EQ(ExecLine().Line, c.ExecLine);
    EXPECT_EQ(LineMarkColor(page, c.ExecLine), kExecLineColor);
    if (c.BreakLine != c.ExecLine) {
      EXPECT_EQ(LineMarkColor(page, c.BreakLine), kBreakLineColor);
    }
    ClearExecLine();
  }
}

TEST_F(BreakpointsTest, BreakpointByName) {
  BreakpointState& b = Breakpoints();
  const std::vector<std::pair<const char*, tBreak*>> cases = {
      {"Br3", &b.BreakTable[3]}, {"Br0", &b.BreakTable[0]}, {"Br9", &b.BreakTable[9]}, {"Arm", &b.ArmBreak},
      {"BR3", nullptr},          {"Br", nullptr},           {"Br10", nullptr},        {"ARM", nullptr},
      {"Bx3", nullptr},          {"BrX", nullptr},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(BreakpointByName(name), expected) << name;
}

// The windows redraw their breakpoint images when the table's revision moved:
// every kind of change must move it, whichever road it took.
TEST_F(BreakpointsTest, EveryChangeMovesTheRevision) {
  LoadSymbols();
  platform::IniFile project;
  project.WriteString("DEBUG", "Break2", "0010,:MAIN.LOOP");
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"BR = address", [this] { Output("BR = 20"); }},
      {"DISABLE BR", [this] { Output("DISABLE BR"); }},
      {"ENABLE BR", [this] { Output("ENABLE BR"); }},
      {"list: disable", [] { EXPECT_TRUE(EnableBreakpointByName("Br0", false)); }},
      {"list: clear", [] { EXPECT_TRUE(ClearBreakpointByName("Br0")); }},
      {"set", [] { SetBreakpointAt(Breakpoints().BreakTable[1], 0x10, false); }},
      {"relocate", [] { RelocateBreakpoint(Breakpoints().BreakTable[1]); }},
      {"clear", [] { ClearBreakpoint(Breakpoints().BreakTable[1]); }},
      {"table size", [] { ApplyCommSettings(Comm().Applied); }},
  };
  for (const auto& [name, change] : changes) {
    const uint32_t before = Breakpoints().Revision;
    change();
    EXPECT_NE(Breakpoints().Revision, before) << name;
  }
  const uint32_t before = Breakpoints().Revision;
  ReadProjectBreakpoints(project);
  EXPECT_NE(Breakpoints().Revision, before) << "project load";
  EXPECT_TRUE(Breakpoints().BreakTable[2].Used);
  EXPECT_EQ(FreeBreakpointSlot(), 0);
}

TEST_F(BreakpointsTest, ShowSymbolInSource) {
  LoadSymbols();
  Project().FileTypeList = {{kFileAssembler, ".A51", ""}, {kFileC, ".C", ""}};
  const std::string asmFile = WriteFile("main.a51", "; LOOP\n  NOP\nLOOP: SJMP LOOP\n");
  const std::string cFile = WriteFile("other.c", "int x;\nvoid run(void) {\n}\n");
  tSymbolItem loop{"LOOP", 0x10, 0, kClassCode, 0, 0};
  ShowSymbolInSource({"MAIN", asmFile, {}}, loop);
  EXPECT_EQ(EditorModel().LocateLine.Line, 3);
  tSymbolItem line{"", 0x20, 0, kClassLine, 12, 0};
  ShowSymbolInSource({"MAIN", asmFile, {}}, line);
  EXPECT_EQ(EditorModel().LocateLine.Line, 12);
  // A C function without a line symbol at its address: found by its name.
  tSymbolItem run{"run", 0x150, 0, kClassCode, 0, 0};
  ShowSymbolInSource({"OTHER", cFile, {}}, run);
  EXPECT_EQ(EditorModel().LocateLine.Line, 2);
  EXPECT_EQ(EditorModel().LocateLine.FileName, cFile);
  // An unregistered extension: error 314, and the caller goes on.
  ShowSymbolInSource({"OTHER", WriteFile("x.plm", "x"), {}}, run);
  EXPECT_EQ(Errors(), std::vector<int>{314});
  EXPECT_FALSE(Messages().ErrorFlag);
}

TEST_F(BreakpointsTest, SearchEditor) {
  TEditSheet sheet;
  TPoint found{5, 5};
  SearchEditor(sheet, "LOOP", {}, found, {0, 0});
  EXPECT_EQ(found, (TPoint{-1, -1}));
  sheet.Editor.Lines = {"start: nop", "  sjmp loop", "loop: inc a"};
  SearchEditor(sheet, "LOOP", {}, found, {0, 0});
  EXPECT_EQ(found, (TPoint{7, 1}));
  SearchEditor(sheet, "LOOP", {}, found, {8, 1});
  EXPECT_EQ(found, (TPoint{0, 2}));
  SearchEditor(sheet, "", {}, found, {0, 0});
  EXPECT_EQ(found, (TPoint{-1, -1}));
}

struct Code {
  uint16_t At;
  std::vector<uint8_t> Bytes;
};

// 0000 MOV A,#1 / 0002 INC A / 0003 INC A / 0004 SJMP $
const std::vector<Code> kCounting = {{0x0000, {0x74, 0x01, 0x04, 0x04, 0x80, 0xFE}}};
// 0000 LCALL 0010H / 0003 NOP / 0004 SJMP $ ; 0010 INC A / 0011 RET
const std::vector<Code> kCalling = {{0x0000, {0x12, 0x00, 0x10, 0x00, 0x80, 0xFE}}, {0x0010, {0x04, 0x22}}};
// 0000 ACALL 0010H / 0002 NOP / 0003 NOP / 0004 SJMP $ ; 0010 INC A / 0011 RET
const std::vector<Code> kAcalling = {{0x0000, {0x11, 0x10, 0x00, 0x00, 0x80, 0xFE}}, {0x0010, {0x04, 0x22}}};

class RunControlTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    platform::ResetPump();
    boxes_.Clear();
  }
  void TearDown() override {
    platform::ResetPump();
    ConsoleTest::TearDown();
  }
  void Load(const std::vector<Code>& program) {
    for (const Code& c : program) std::copy(c.Bytes.begin(), c.Bytes.end(), Images().CodeImage.begin() + c.At);
    CodeImageChanged();
  }
  // A one-shot pump timer that does What after Ms milliseconds.
  void After(uint32_t ms, std::function<void()> what) {
    const auto id = platform::Pump().CreateTimer(std::move(what), ms, false);
    platform::Pump().EnableTimer(id, true);
  }
  // Command with the answers to the questions it asks.
  std::string CommandAnswering(std::string_view line, std::initializer_list<int> answers) {
    TerminalState& t = Terminal();
    t.Lines = {std::string()};
    t.TerminalEcho = true;
    boxes_.Clear();
    for (int a : answers) boxes_.QueueAnswer(a);
    SetScanLine(UpperCase(line) + "\r", false);
    GetToken();
    ExecuteCommand();
    return TerminalText();
  }
  uint8_t Acc() const { return Images().SfrImage[sfr::ACC]; }
};

TEST_F(RunControlTest, BreakDisabledDuringTheRunIsStillRestored) {
  Load({{0x0000, {0x80, 0xFE}}, {0x0010, {0x04}}});
  Output("BR = 10");
  const auto before = Images().CodeImage;
  After(2, [] {
    Breakpoints().BreakTable[0].Enabled = false;
    dorvik::Run().UserBreak = true;
  });
  Output("GO");
  EXPECT_TRUE(Images().CodeImage == before);
}

// Step lines, written from the rendering of the code lines.
struct StepCase {
  const char* Line;
  const char* Output;
  int32_t Pc;
  const std::vector<Code>* Program = &kCalling;
  uint16_t NextLine = 3;  // the address of line 11 (line 12 follows one byte later)
};

class LineStepTest : public RunControlTest {
 protected:
  // MAIN (0000-001F): line 10 at 0000 (the call), line 11 at Next, 12 after it; SUB (0010-001F) without lines.
  void LoadSymbols(uint16_t next = 3) {
    testing::LoadSymbolTable({{"MAIN", kClassProcedure, 0x0000},
                              {"", kClassLine, 0x0000, 10},
                              {"", kClassLine, next, 11},
                              {"", kClassLine, static_cast<uint16_t>(next + 1), 12},
                              {"SUB", kClassProcedure, 0x0010}},
                             {{"MAIN", 0x0000, 0x000F, true}, {"SUB", 0x0010, 0x001F, true}});
  }
};

TEST_F(LineStepTest, LineStepsStopAtTheNextLine) {
  const std::vector<StepCase> cases = {
      {"PSTEP", "(:MAIN#10)----->(:MAIN#11)\n", 3},
      {"LSTEP", "(:MAIN#10)----->0010H INC     A\n", 0x10},  // the call is entered: another procedure
      {"PSTEP", "(:MAIN#10)----->(:MAIN#11)\n", 2, &kAcalling, 2},  // a two-byte call returns one byte sooner
  };
  for (const StepCase& c : cases) {
    SCOPED_TRACE(c.Line);
    SetUp();
    Load(*c.Program);
    LoadSymbols(c.NextLine);
    EXPECT_EQ(Output(c.Line), c.Output);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Images().SimPC, c.Pc);
  }
}

TEST_F(RunControlTest, LineStepWithoutSymbolsAsksAndRunsUntilBroken) {
  Load({{0x0000, {0x80, 0xFE}}});
  After(5, [] { dorvik::Run().UserBreak = true; });
  CommandAnswering("LSTEP", {kResultYes});
  ASSERT_FALSE(boxes_.Shown().empty());
  EXPECT_EQ(boxes_.Shown().front().Caption.substr(boxes_.Shown().front().Caption.find('#')), "#45");
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
}

TEST_F(RunControlTest, HaltStopsAndTakesTheBreaksOut) {
  dorvik::Run().ProgramRunning = true;
  Terminal().MonitorPrompt = "run>";
  EXPECT_EQ(Output("HALT"), "");
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
  EXPECT_EQ(DebugStatus().Caption, kCaptionHalted);
  Output("HALT 5");
  EXPECT_EQ(Errors(), std::vector<int>{118});
}

using BoardRunTest = testing::LinkTest;

// The ADuC's breaks: one address in two entries planted once, all lifted at
// the halt, the board's code as it was.
TEST_F(BoardRunTest, AducBreaksLeaveTheCodeAsItWas) {
  StartOn(testing::FakeTarget::Kind::Aduc);
  Fake().Poke(kSpaceCode, 0, {0x80, 0xFE});
  Fake().Poke(kSpaceCode, 0x10, {0x04, 0x05});
  for (const char* line : {"BR = 10", "BR = 10", "BR = 11", "GO"}) Output(line);
  EXPECT_TRUE(Errors().empty());
  EXPECT_TRUE(dorvik::Run().ProgramRunning);
  Output("HALT");
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x10, 2), (std::vector<uint8_t>{0x04, 0x05}));
  for (const tBreak& bp : Breakpoints().BreakTable) EXPECT_FALSE(bp.Planted || bp.Armed);
}

// The monitor's two break registers may not lie within three bytes of each other.
// A source breakpoint of the program loaded before, whose module the program
// now loaded does not hold: the load asks 62 (Yes clears it) although the new
// program has no source lines, and GO plants no break inside its LCALL.
TEST_F(BoardRunTest, AnotherProgramsBreakpointIsNotPlantedInItsCode) {
  StartOn(testing::FakeTarget::Kind::Aduc);
  Fake().Poke(kSpaceCode, 0, {0x80, 0xFE});
  Fake().Poke(kSpaceCode, 0x35, {0x12, 0x00, 0x44});  // LCALL 0044H
  Output("BR = 36");
  tBreak& bp = Breakpoints().BreakTable[0];
  bp.Location = ":SUM#13";
  bp.Absolute = false;
  testing::LoadSymbolTable({{"MAIN", kClassProcedure, 0x0000}}, {{"MAIN", 0x0000, 0x00FF, true}});
  RelocateBreakpoints(false);
  EXPECT_FALSE(bp.Used);
  Output("GO");
  EXPECT_TRUE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Fake().Memory(kSpaceCode, 0x35, 3), (std::vector<uint8_t>{0x12, 0x00, 0x44}));
  Output("HALT");
}

TEST_F(BoardRunTest, MonitorBreakpointsMayNotOverlap) {
  StartOn(testing::FakeTarget::Kind::Monitor);
  Output("BR1 = 1002");
  Output("BR0 = 1000");  // answered Yes: BR1 goes
  EXPECT_EQ(Breakpoints().BreakTable[0].Address, 0x1000);
  EXPECT_FALSE(Breakpoints().BreakTable[1].Used);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_EQ(boxes_.Shown()[0].Caption, "Warning #32");
  Output("BR1 = 1003");  // three bytes apart: no question
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_TRUE(Breakpoints().BreakTable[1].Used);
}

TEST_F(RunControlTest, HaltReportOnTheMonitorSaysWhy) {
  dorvik::Run().TargetKind = kTargetMonitor;
  Terminal().TerminalEcho = true;
  dorvik::Run().CurrentPC = 0x1234;
  ReportHalt(1);
  EXPECT_EQ(TerminalText(), "EXECUTION HALTED AT 1234H BECAUSE OF USER BREAK\n");
}

}  // namespace
}  // namespace dorvik
