// Code addresses to source lines through listings: the golden listings of the
// assembler tests and listings the assembler writes here, read back and
// matched against their sources.

#include "objfiles/listmap.h"

#include <gtest/gtest.h>

#include <set>

#include "assembler/driver.h"
#include "base/mainform.h"
#include "base/runstate.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/session.h"
#include "base/text.h"
#include "lang/collections.h"
#include "platform/reporter.h"
#include "tests/assembler/asm_test_util.h"
#include "tests/platform/scratch_dir.h"
#include "tests/support/scripted_user.h"

namespace dorvik {
namespace {

namespace tu = as::testutil;

std::vector<std::string> GoldenLines(const std::string& name) {
  return tu::SplitLines(tu::ReadFile(std::string(DORVIK_SOURCE_DIR) + "/tests/assembler/data/" + name));
}

// The 1-based source line the listing gives for Address, -1 when none.
int32_t SourceLineOf(const std::vector<std::string>& listing, const std::vector<std::string>& source,
                     uint32_t address, const SegmentStartFn& segments = {}) {
  int32_t index = -1;
  if (FindListingStatement(listing, address, segments, index) != ListingResult::kFound) return -1;
  const int32_t at = FindSourceLine(StatementAt(listing, kListingSourceColumn, index), source);
  return at < 0 ? -1 : at + 1;
}

class ListMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    platform::SetReporter(&reporter_);
  }
  void TearDown() override { platform::SetReporter(nullptr); }
  platform::ScriptedReporter reporter_;
};

// 0030H is also the location of the ORG line, and 0090H that of an equate:
// only a line with code is the statement of an address.
TEST_F(ListMapTest, BlinkAddressesMapToTheirStatements) {
  const auto listing = GoldenLines("blink.lst");
  int32_t index = -1;
  ASSERT_EQ(FindListingStatement(listing, 0x0030, {}, index), ListingResult::kFound);
  EXPECT_EQ(StatementAt(listing, kListingSourceColumn, index).Lines[2], "START: MOV SP,#5FH");
  for (const uint32_t address : {0x0031u, 0x0090u, 0xFFFFu})
    EXPECT_EQ(FindListingStatement(listing, address, {}, index), ListingResult::kNotFound) << address;
}

// Every code line of a golden listing leads back to the source line its line
// number names.
TEST_F(ListMapTest, EveryCodeLineOfTheGoldenListingsFindsItsSourceLine) {
  for (const char* name : {"blink", "directives", "operators"}) {
    SCOPED_TRACE(name);
    const auto listing = GoldenLines(std::string(name) + ".lst");
    const auto source = GoldenLines(std::string(name) + ".a51");
    std::set<uint32_t> seen;
    int checked = 0;
    for (const auto& line : listing) {
      if (line.size() < 30 || line.find('\f') != std::string::npos || line[5] == ' ') continue;
      const std::string location = line.substr(0, 4);
      const std::string number = TrimBlanks(line.substr(18, 7));
      if (location.find_first_not_of("0123456789ABCDEF") != std::string::npos || number.empty()) continue;
      const uint32_t address = std::stoul(location, nullptr, 16);
      if (!seen.insert(address).second) continue;
      EXPECT_EQ(SourceLineOf(listing, source, address), std::stoi(number)) << line;
      ++checked;
    }
    EXPECT_GT(checked, 5);
  }
}

TEST_F(ListMapTest, RelocatableCodeTakesItsSegmentStartFromTheSymbols) {
  const auto listing = GoldenLines("reloc.lst");
  const auto source = GoldenLines("reloc.a51");
  const SegmentStartFn segments = [](std::string_view name, uint32_t& start) {
    if (name == "PROG") start = 0x1000;
    else if (name == "CONST") start = 0x2000;
    else return false;
    return true;
  };
  struct Row {
    uint32_t Address;
    int32_t Line;
  };
  const Row rows[] = {{0x0000, 15}, {0x1000, 23}, {0x1006, 25}, {0x101D, 37}, {0x2000, 40},
                      {0x2002, 40},  // the DB's third byte, listed on a line of its own
                      {0x2003, 41}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Address);
    EXPECT_EQ(SourceLineOf(listing, source, row.Address, segments), row.Line);
  }
  // Without the segment's start no relocatable line is taken.
  EXPECT_EQ(SourceLineOf(listing, source, 0x1000), -1);
}

TEST_F(ListMapTest, ListingLinesAreReadByTheirColumns) {
  const std::string header = "LOC  OBJ            LINE     SOURCE";
  struct Row {
    std::vector<std::string> Lines;
    uint32_t Address;
    ListingResult Result;
    int32_t Index;
  };
  const Row rows[] = {
      // A statement naming an external assembler is no page header.
      {{header, "0000 020003            1     LJMP    A51START", "0003 00               2     A51START: NOP"},
       3, ListingResult::kFound, 2},
      {{header, "0000 00                1     NOP   ; ASM51 style", "0001 00               2     NOP"},
       1, ListingResult::kFound, 2},
      // A page break: its header lines are skipped up to the column titles.
      {{header, "0000 00                1     NOP", "\fMCS-51/52/44 Assembler    T    Page 2", "",
        "Windows A51 header line", header, "", "0001 00                2     RET"},
       1, ListingResult::kFound, 7},
      // An error line ends the search.
      {{header, "*** ERROR #100, Line #1, SYNTAX ERROR", "0000 00                1     NOP"},
       0, ListingResult::kErrors, -1},
      // A body line without a location is no listing line.
      {{header, "ZZZZ 00                1     NOP"}, 0, ListingResult::kNotListing, -1},
      // No column header: nothing is found.
      {{"0000 00                1     NOP"}, 0, ListingResult::kNotFound, -1},
      // The END statement ends the body; what follows is no listing line.
      {{header, "                       1             END", "REGISTER BANK USED: 0"}, 0,
       ListingResult::kNotFound, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Lines.back());
    int32_t index = -1;
    EXPECT_EQ(FindListingStatement(row.Lines, row.Address, {}, index), row.Result);
    EXPECT_EQ(index, row.Index);
  }
}

TEST_F(ListMapTest, LineClassesAndCollapsedTexts) {
  struct Row {
    const char* Line;
    const char* Collapsed;
    uint8_t Class;
  };
  const Row rows[] = {
      {"", "", kLineEmpty},
      {"  ; a comment", "; A COMMENT", kLineComment},
      {"%DEFINE (X) (1)", "%DEFINE (X) (1)", kLineMacro},
      {"$TITLE(LED BLINKER)", "$TITLE(LED BLINKER)", kLineControl},
      {"start:\tmov\tsp , #5fh", "START: MOV SP , #5FH", kLineLabel},
      {"LED     BIT     P1.0", "LED BIT P1.0", kLineSymbolDefinition},
      {"VALUE EQU 10H", "VALUE EQU 10H", kLineSymbolDefinition},
      {"PROG SEGMENT CODE", "PROG SEGMENT CODE", kLineSegmentDeclaration},
      {"\tdjnz r7,d2", "DJNZ R7,D2", kLineInstruction},
      {"  CSEG AT 0", "CSEG AT 0", kLineDirective},
      {"COUNT DATA 30H", "COUNT DATA 30H", kLineOther},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Line);
    EXPECT_EQ(CollapseBlanks(row.Line), row.Collapsed);
    EXPECT_EQ(ClassifySourceLine(CollapseBlanks(row.Line)), row.Class);
  }
}

TEST_F(ListMapTest, ContextSearchTellsEqualStatementsApart) {
  const std::vector<std::string> source = {
      "A:  NOP",  //
      "    INC R0",  //
      "    NOP",     // 2
      "    INC R1",  //
      "    NOP",     // 4
      "    INC R1",  //
      "    NOP",     // 6: same neighbours as 4
      "    INC R1",  //
      "    RET",
  };
  struct Row {
    int32_t Line;  // the statement's own 0-based line
    int32_t Expected;
  };
  for (const Row row : {Row{2, 2}, Row{4, 4}, Row{6, 6}, Row{8, 8}, Row{0, 0}}) {
    SCOPED_TRACE(row.Line);
    EXPECT_EQ(FindSourceLine(StatementAt(source, 0, row.Line), source), row.Expected);
  }
  // The statement's line was edited after assembly: its neighbours still find it.
  std::vector<std::string> changed = source;
  changed[1] = "    INC R7";
  EXPECT_EQ(FindSourceLine(StatementAt(source, 0, 1), changed), 1);
  EXPECT_EQ(FindSourceLine(tStatement{}, source), -1);
}

TEST_F(ListMapTest, ErrorLinesOfAListingLeadToTheirStatements) {
  test_util::ScratchDir dir;
  const std::string lst = dir.Write("errors.lst", tu::ReadFile(std::string(DORVIK_SOURCE_DIR) +
                                                               "/tests/assembler/data/errors.lst"));
  int32_t index = -1;
  tStatement statement;
  FindListingEntry(lst, "ERROR #104", index, statement);
  ASSERT_GE(index, 0);
  EXPECT_EQ(statement.Lines[2], "MOV A,#5/0 ; 104 DIVIDE BY ZERO");
  FindListingEntry(lst, "ERROR #100, LINE #4", index, statement);
  EXPECT_EQ(statement.Lines[2], "MOV A,#1 + ; 100 SYNTAX ERROR");
  FindListingEntry(lst, "NO SUCH TEXT", index, statement);
  EXPECT_EQ(index, -1);
  FindListingEntry(dir.File("missing.lst"), "ERROR", index, statement);
  EXPECT_EQ(index, -1);
}

// A program of one module, as the loader leaves it, over a source assembled here.
class ShowSourceTest : public ListMapTest {
 protected:
  void Load(const std::string& text, const std::string& controls = "NOOBJECT") {
    LoadAssembled(tu::Assemble(text, controls, "prog.a51"));
  }
  void LoadAssembled(tu::Assembly assembly) {
    run_ = std::make_unique<tu::Assembly>(std::move(assembly));
    Project().FileTypeList = {{kFileAssembler, ".A51", ""}};
    Project().ProjectModules = {{"PROG", run_->Source.string(), {}}};
    CreateSymbolCollections();
    auto& c = Collections();
    c.ModuleTable->Add() = {"PROG", 0x0000, 0x00FF, true};
    auto& proc = c.SymbolTable->Add();
    proc.Name = "PROG";
    proc.SymClass = kClassProcedure;
  }
  int32_t ShowAt(uint32_t pc, bool show) {
    dorvik::Run().CurrentPC = pc;
    tStatement statement;
    ShowSourceAtAddress(show, statement);
    return ExecLine().Line;
  }
  std::unique_ptr<tu::Assembly> run_;
};

TEST_F(ShowSourceTest, TheExecutionPointFollowsThePc) {
  // Short pages put page breaks between the statements.
  std::string text = "; two equal loops\n\tCSEG AT 0\n";
  for (int i = 0; i < 4; ++i) text += "L" + std::to_string(i) + ":\tNOP\n\tNOP\n\tINC R0\n";
  text += "\tEND\n";
  Load(text, "NOOBJECT PAGELENGTH(12)");
  ASSERT_NE(run_->Output(".lst").find('\f', 1), std::string::npos);
  testing::ScriptedUser user;
  const std::vector<uint16_t>& shown = user.Disassembly;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ShowAt(i * 3, true), 3 + i * 3);
    EXPECT_EQ(ShowAt(i * 3 + 1, true), 4 + i * 3);
    EXPECT_EQ(ShowAt(i * 3 + 2, true), 5 + i * 3);
  }
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(ExecLine().FileName, UpperCase(run_->Source.string()));
  // An address without a statement: the question, then the disassembly; no execution point.
  reporter_.QueueAnswer(platform::kBoxYes);
  EXPECT_EQ(ShowAt(0x80, true), -1);
  EXPECT_EQ(shown, std::vector<uint16_t>{0x80});
  // Outside every module: the disassembly at once.
  EXPECT_EQ(ShowAt(0x1000, true), -1);
  EXPECT_EQ(shown.size(), 2u);
}

// Once for the loaded program, whether the stop shows or not: not at every stop.
TEST_F(ShowSourceTest, AListingWithErrorsIsReportedOncePerProgram) {
  Load("\tCSEG AT 0\n\tMOV A,#1 +\n\tNOP\n\tEND\n");
  for (bool show : {false, true}) {
    ListMap().Reported.clear();  // as a load does
    reporter_.Clear();
    Messages().ErrorFlag = false;
    EXPECT_EQ(ShowAt(0, show), -1);
    EXPECT_TRUE(Messages().ErrorFlag);
    EXPECT_EQ(Messages().LastErrorCode, err::kListingFileReportsErrors);
    EXPECT_EQ(ShowAt(2, show), -1);
    EXPECT_EQ(reporter_.Shown().size(), 1u);
  }
}

// Equal statements in a run, and code of an include file, each at its own line.
TEST_F(ShowSourceTest, RunsOfEqualStatementsAndIncludedCodeShowTheirOwnLines) {
  const std::filesystem::path dir = tu::ScratchDir("include");
  tu::WriteFile(dir / "prog.a51", "\tCSEG AT 0\n\tNOP\n\tNOP\n\tNOP\n\tNOP\n$INCLUDE(sub.inc)\n\tNOP\n\tEND\n");
  tu::WriteFile(dir / "sub.inc", "; included\n\tNOP\n\tINC A\n\tNOP\n");
  LoadAssembled(tu::AssembleAt(dir / "prog.a51", "NOOBJECT"));
  // address -> file (0 the source, 1 the include) and 1-based line
  const struct {
    uint16_t Address;
    bool Included;
    int32_t Line;
  } rows[] = {{0, false, 2}, {1, false, 3}, {2, false, 4}, {3, false, 5},
              {4, true, 2},  {5, true, 3},  {6, true, 4},  {7, false, 7}};
  for (const auto& r : rows) {
    EXPECT_EQ(ShowAt(r.Address, false), r.Line) << r.Address;
    EXPECT_EQ(ListMap().ExecFileName.ends_with(r.Included ? "sub.inc" : "prog.a51"), true) << r.Address;
    // The same line both ways, as a breakpoint's mark and a source line's address.
    std::string file;
    int32_t line = 0;
    ASSERT_TRUE(SourceLineOfAddress(r.Address, file, line)) << r.Address;
    EXPECT_EQ(line, r.Line);
    EXPECT_TRUE(file.ends_with(r.Included ? "sub.inc" : "prog.a51")) << file;
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadFileLines(file, lines));
    uint16_t address = 0xFFFF;
    EXPECT_TRUE(ListingAddressOfSourceLine(Project().ProjectModules[0], file, lines, r.Line - 1, address));
    EXPECT_EQ(address, r.Address);
  }
  // Lines without code: a comment, the include control, END.
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadFileLines((dir / "sub.inc").string(), lines));
  uint16_t address = 0;
  EXPECT_FALSE(ListingAddressOfSourceLine(Project().ProjectModules[0], (dir / "sub.inc").string(), lines, 0, address));
  ASSERT_TRUE(ReadFileLines((dir / "prog.a51").string(), lines));
  for (int32_t index : {5, 7})
    EXPECT_FALSE(ListingAddressOfSourceLine(Project().ProjectModules[0], (dir / "prog.a51").string(), lines, index, address)) << index;
}

TEST_F(ShowSourceTest, WithoutAListingTheDisassemblyShowsTheAddress) {
  Load("\tCSEG AT 0\n\tNOP\n\tEND\n", "NOPRINT NOOBJECT");
  testing::ScriptedUser user;
  const std::vector<uint16_t>& shown = user.Disassembly;
  EXPECT_EQ(ShowAt(0, true), -1);
  EXPECT_EQ(ShowAt(0, false), -1);
  EXPECT_EQ(shown, std::vector<uint16_t>{0});
  Project().FileTypeList.clear();
  EXPECT_EQ(ShowAt(0, true), -1);
  EXPECT_EQ(Messages().LastErrorCode, err::kUnregisteredFileType);
}

}  // namespace
}  // namespace dorvik
