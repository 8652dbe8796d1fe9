// The BR commands, breakpoint records and their locations, breakpoint names
// and the source-location services.

#include "debugger/breakpoints.h"

#include <vector>

#include "access/target.h"
#include "base/mainform.h"
#include "base/projectlists.h"
#include "debugger/bpnames.h"
#include "debugger/views.h"
#include "lang/collections.h"
#include "tests/debugger/symbol_tables.h"
#include "tests/platform/scratch_dir.h"
#include "tests/support/console_fixture.h"

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
  ProjectLists().ProjectModules.push_back({"MAIN", source, "", ""});
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
}

// A label the module's page does not hold is looked for in its include files.
TEST_F(BreakpointsTest, LabelsAreFoundInTheModulesIncludeFiles) {
  LoadSymbols();
  const std::string include = WriteFile("parts.inc", "; the loop\n  loop: MOV A,#1\n");
  const std::string source = WriteFile("main.a51", "$INCLUDE(" + include + ")\nXLOOP: NOP\nEND\n");
  ProjectLists().ProjectModules.push_back({"MAIN", source, "", ""});
  ProjectLists().FileTypeList.push_back({kFileAssembler, ".A51", ""});
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

TEST_F(BreakpointsTest, ShowSymbolInSource) {
  LoadSymbols();
  ProjectLists().FileTypeList = {{kFileAssembler, ".A51", ""}, {kFileC, ".C", ""}};
  const std::string asmFile = WriteFile("main.a51", "; LOOP\n  NOP\nLOOP: SJMP LOOP\n");
  const std::string cFile = WriteFile("other.c", "int x;\nvoid run(void) {\n}\n");
  tSymbolItem loop{"LOOP", 0x10, 0, kClassCode, 0, 0};
  ShowSymbolInSource({"MAIN", asmFile, "", ""}, loop);
  EXPECT_EQ(Views().LocateLine.Line, 3);
  tSymbolItem line{"", 0x20, 0, kClassLine, 12, 0};
  ShowSymbolInSource({"MAIN", asmFile, "", ""}, line);
  EXPECT_EQ(Views().LocateLine.Line, 12);
  // A C function without a line symbol at its address: found by its name.
  tSymbolItem run{"run", 0x150, 0, kClassCode, 0, 0};
  ShowSymbolInSource({"OTHER", cFile, "", ""}, run);
  EXPECT_EQ(Views().LocateLine.Line, 2);
  EXPECT_EQ(Views().LocateLine.FileName, cFile);
  // An unregistered extension: error 314, and the caller goes on.
  ShowSymbolInSource({"OTHER", WriteFile("x.plm", "x"), "", ""}, run);
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

TEST_F(BreakpointsTest, StatusFieldsFollowTheRegisters) {
  Images().SfrImage[sfr::PSW] = 0x98;  // CY, bank 3
  Images().IDataImage[0x18] = 0x42;    // R0 of bank 3
  Images().SfrImage[sfr::DPH] = 0x12;
  Images().SfrImage[sfr::DPL] = 0x34;
  Images().SimPC = 0x0ABC;
  RefreshDebugViews();
  EXPECT_EQ(RegisterText("R0"), "42");
  EXPECT_EQ(RegisterText("RBS"), "3");
  EXPECT_EQ(RegisterText("CY"), "1");
  EXPECT_EQ(RegisterText("OV"), "0");
  EXPECT_EQ(RegisterText("DPTR"), "1234");
  EXPECT_EQ(RegisterText("PC"), "0ABC");
  EXPECT_EQ(MainForm().CurrentPC, 0x0ABCu);
  SetRegisterText("NOSUCH", "1");
  EXPECT_EQ(Views().StatusFields.count("stNOSUCH"), 0u);
}

TEST_F(BreakpointsTest, IdleHandlerEndsTheRunState) {
  Terminal().MonitorPrompt = "run>";
  DebugViewsIdle();
  EXPECT_EQ(Terminal().MonitorPrompt, "hlt>");
  EXPECT_EQ(Views().Caption, kCaptionHalted);
}

}  // namespace
}  // namespace dorvik
