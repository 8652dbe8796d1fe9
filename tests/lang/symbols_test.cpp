#include "lang/symbols.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lang/cpucompiler.h"
#include "lang/formatting.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "lang/scanner.h"
#include "platform/reporter.h"
#include "base/mainform.h"
#include "base/session.h"
#include "tests/support/symbol_tables.h"

namespace dorvik {
namespace {

constexpr uint8_t kPub = kClassPublic;

// A program of three modules: MAIN (0000-001F), PROC1 (0020-002F, with a
// local scope BLK) and OTHER (0100-01FF).
using Sym = testing::TestSymbol;

const std::vector<Sym> kProgram = {
    {"MAIN", kClassProcedure, 0x0000},     // 0
    {"", kClassLine, 0x0000, 10},          // 1
    {"LOOP", kClassCode, 0x0010},          // 2
    {"COUNT", kClassData | kPub, 0x30},    // 3
    {"", kClassLine, 0x0012, 12},          // 4
    {"BITX", kClassBit, 0x00},             // 5
    {"PROC1", kClassProcedure, 0x0020},    // 6
    {"COUNT", kClassData, 0x60},           // 7: local, hides the public ones
    {"BLK", kClassScopeBegin, 0x0020},     // 8
    {"TMP", kClassData, 0x40},             // 9
    {"", kClassScopeEnd, 0x0000},          // 10
    {"LOCALX", kClassData, 0x41},          // 11
    {"", kClassLine, 0x0022, 20},          // 12
    {"ENDP", kClassCode, 0x00FF},          // 13
    {"OTHER", kClassProcedure, 0x0100},    // 14
    {"COUNT", kClassData | kPub, 0x50},    // 15: the later public COUNT
    {"FLAGS", kClassData | kPub, 0x21},    // 16
    {"", kClassLine, 0x0100, 5},           // 17
    {"START", kClassCode | kPub, 0x0100},  // 18
};

class SymbolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    platform::SetReporter(&reporter_);
  }
  void TearDown() override {
    platform::SetReporter(nullptr);
    ResetSession();
  }

  void LoadProgram(const std::vector<Sym>& symbols = kProgram) {
    testing::LoadSymbolTable(symbols, {{"MAIN", 0x0000, 0x001F, true},
                                       {"PROC1", 0x0020, 0x002F, true},
                                       {"OTHER", 0x0100, 0x01FF, true}});
  }

  void LoadCpu51() {
    auto record = CompileCpuRecord("51",
                                   {"sfr P0 = 80H;", "sfr P1 = 90H;", "sfr TMOD = 89H;", "sfr TCON = 88H;",
                                    "sbit TR0 = TCON^4;", "sfr ACC = 0E0H;", "sfr COUNT = 0F0H;",
                                    "sfr LASTSFR = 0F8H;"},
                                   "51.def");
    ASSERT_TRUE(record);
    SetCpuDatabase(*record, "test.qpf");
    ASSERT_TRUE(SelectCpu("51"));
  }

  // The word at the start of Line, resolved as the scanner's symbol step does.
  uint8_t Resolve(const std::string& line) {
    SetScanLine(line + "\r", true);
    ReadIdentifier();
    return ResolveSymbol();
  }

  std::vector<std::string> Captions() const {
    std::vector<std::string> out;
    for (const auto& box : reporter_.Shown()) out.push_back(box.Caption);
    return out;
  }

  platform::ScriptedReporter reporter_;
};

TEST_F(SymbolsTest, NamesResolveThroughProcedureScopeAndModule) {
  LoadProgram();
  LoadCpu51();
  struct Case { uint16_t PC; const char* Word; int32_t Sym; bool Qualified; };
  const Case cases[] = {
      {0x5000, "COUNT", 15, false},        // public in two modules: the later one, before the processor's COUNT
      {0x0022, "count", 7, false},         // the current procedure's local hides the public one
      {0x0024, "TMP", 9, false},           // through the local scope
      {0x0024, "BLK.TMP", 9, true},        // qualified by the scope
      {0x5000, "PROC1.LOCALX", 11, false},  // by module, without a current procedure
      {0x5000, "FLAGS.2", 16, false},      // a bit of a bit-addressable public byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Word);
    dorvik::Run().CurrentPC = c.PC;
    ASSERT_EQ(Resolve(c.Word), tok::kSymbol);
    EXPECT_EQ(SymbolLookup().SymbolRef.Sym, c.Sym);
    EXPECT_FALSE(SymbolLookup().SymbolRef.CpuEntry);
    EXPECT_EQ(Scanner().QualifiedLookup, c.Qualified);
  }
  EXPECT_EQ(Collections().FoundSymbol, 16);
  // From another procedure the scope's locals are out of view.
  dorvik::Run().CurrentPC = 0x0105;
  Messages().ShowMessageBoxes = false;
  EXPECT_EQ(Resolve("TMP"), 0);
  int32_t scope = kNoItem;
  Scanner().ScanIdent = "TMP";
  EXPECT_FALSE(FindLocalSymbol(scope));
  // A module name without a "." is no qualifier: the word after the blank stays unread.
  SetScanLine("PROC1 LOCALX\r", true);
  ReadIdentifier();
  EXPECT_FALSE(ResolveDottedName());
  EXPECT_EQ(Scanner().ScanIdent, "PROC1");
}

TEST_F(SymbolsTest, NamesThatDoNotResolveReportTheirError) {
  LoadProgram();
  struct Case { uint16_t PC; const char* Word; int Error; const char* Arg; int32_t Found; };
  const Case cases[] = {
      {0x0024, "LOCALX.TMP", 140, "LOCALX", 11},  // the qualifier is no scope
      {0x0024, "NOPE.TMP", 137, "NOPE", kNoItem},
      {0x5000, "COUNT.2", 117, "", 15},  // 50H is not bit-addressable
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Word);
    ResetState<MessageState>();
    Messages().ShowMessageBoxes = false;
    Collections().FoundSymbol = kNoItem;
    dorvik::Run().CurrentPC = c.PC;
    EXPECT_EQ(Resolve(c.Word), 0);
    EXPECT_EQ(Messages().LastErrorCode, c.Error);
    EXPECT_EQ(*c.Arg ? Messages().LastErrorParams.Arg1 : std::string(), c.Arg);
    EXPECT_TRUE(c.Found == kNoItem || Collections().FoundSymbol == c.Found);
  }
}

TEST_F(SymbolsTest, UnknownNameGivesWarning6OrWithoutATable3ThenError137) {
  dorvik::Run().CurrentPC = 0x5000;
  EXPECT_EQ(Resolve("NOSUCH"), 0);
  ReportSymbolError();
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Warning #3", "Error #137"}));
  reporter_.Clear();
  SymbolLookup().DebugInfoLoaded = true;
  EXPECT_FALSE(CheckSymbolTable());
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Warning #2"}));
  reporter_.Clear();
  LoadProgram();  // outside every module
  EXPECT_EQ(Resolve("NOSUCH"), 0);
  ReportSymbolError();
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Warning #6", "Error #137"}));
  EXPECT_EQ(Messages().LastErrorParams.Arg1, "NOSUCH");
}

TEST_F(SymbolsTest, NameMatchedWithAWrongClassReports138Or117) {
  LoadProgram();
  Messages().ShowMessageBoxes = false;
  Scanner().ScanIdent = "PROC1";
  Scanner().NameFound = true;
  Collections().FoundSymbol = 6;
  ReportSymbolError();
  EXPECT_EQ(Messages().LastErrorCode, 138);
  Collections().FoundSymbol = 11;
  SetBitContext(true);
  ReportSymbolError();
  EXPECT_EQ(Messages().LastErrorCode, 117);
  Collections().FoundSymbol = 2;
  ReportSymbolError();
  EXPECT_EQ(Messages().LastErrorCode, 111);
}

TEST_F(SymbolsTest, ProceduresByAddress) {
  LoadProgram();
  ASSERT_TRUE(FindProcedureAt(0x0025));
  EXPECT_EQ(Collections().FoundModule, 1);
  EXPECT_EQ(Collections().FoundSymbol, 6);
  EXPECT_FALSE(FindProcedureAt(0x0050));
  EXPECT_EQ(Collections().FoundModule, kNoItem);
  dorvik::Run().CurrentPC = 0x0105;
  ASSERT_TRUE(FindCurrentProcedure());
  EXPECT_EQ(Collections().FoundSymbol, 14);
  dorvik::Run().AsmLineMode = true;
  dorvik::Run().AsmLineAddress = 0x0021;
  ASSERT_TRUE(FindCurrentProcedure());
  EXPECT_EQ(Collections().FoundSymbol, 6);
  int32_t sym = 7;
  ASSERT_TRUE(NextProcedureSymbol(sym));
  EXPECT_EQ(sym, 14);
  sym = 15;
  EXPECT_FALSE(NextProcedureSymbol(sym));
  EXPECT_EQ(sym, kNoItem);
}

TEST_F(SymbolsTest, LineSymbols) {
  LoadProgram();
  ASSERT_TRUE(FindLineSymbol(0x0022));
  EXPECT_EQ(Collections().FoundSymbol, 12);
  EXPECT_EQ(SymbolLookup().LastModuleName, "PROC1");
  EXPECT_FALSE(FindLineSymbol(0x0023));
  dorvik::Run().CurrentPC = 0x0015;
  Collections().FoundSymbol = 0;
  EXPECT_EQ(NearestLineSymbol(), 3);
  EXPECT_EQ(Collections().FoundSymbol, 4);
  dorvik::Run().CurrentPC = 0x0005;
  Collections().FoundSymbol = 2;
  EXPECT_EQ(NearestLineSymbol(), kNoDistance);
}

TEST_F(SymbolsTest, AddressTextsOfCodeDataAndBits) {
  LoadProgram();
  LoadCpu51();
  struct Case { uint32_t Addr; uint8_t Class; bool Always; const char* Text; };
  const Case cases[] = {
      {0x0010, kClassCode, false, "LOOP"}, {0x0012, kClassCode, false, "LOOP+02"},
      {0x001C, kClassCode, false, "1C"}, {0x002A, kClassCode, true, ":MAIN.LOOP+01AH"},
      {0x0100, kClassCode, false, "START"}, {0x0101, kClassCode, true, "START+01"},
      {0x0103, kClassCode, false, "START+03"}, {0x0020, kClassScopeBegin, false, "BLK"},
      // A local data symbol carries its module and scopes; a public one stands alone.
      {0x40, kClassData, false, ":PROC1.BLK.TMP"}, {0x40, kClassData, true, ":PROC1.BLK.TMP"},
      {0x22, kClassData, false, "FLAGS+01"}, {0x41, kClassData, true, ":PROC1.LOCALX"},
      {0x0A, kClassBit, false, "FLAGS.2"}, {0x8C, kClassBit, false, "TR0"}, {0x92, kClassBit, false, "P1.2"},
      {0x89, kClassData, false, "TMOD"},
      // a label up to 3 bytes away, then the number
      {0x0013, kClassCode, false, "LOOP+03"}, {0x0014, kClassCode, false, "14"},
      // a distance from ten on carries the suffix H
      {0x0019, kClassCode, true, "LOOP+09"}, {0x001A, kClassCode, true, "LOOP+0AH"},
      // the first bit of the SFRs, and the last of a register
      {0x80, kClassBit, false, "P0.0"}, {0x87, kClassBit, false, "P0.7"}, {0xE7, kClassBit, false, "ACC.7"},
  };
  for (const Case& c : cases) EXPECT_EQ(AddressToText(c.Addr, c.Class, c.Always), c.Text) << c.Addr;
}

TEST_F(SymbolsTest, AddressTextsWithoutSymbolsUseTheDisplayRadix) {
  EXPECT_EQ(AddressToText(0x1234, kClassCode, false), "1234");
  EXPECT_EQ(AddressToText(0x1234, kClassCode, true), "<unknown>");
  Formatting().DisplayRadix = 10;
  EXPECT_EQ(AddressToText(0x1234, kClassCode, false), "4660");
  Formatting().DisplayRadix = 16;
  dorvik::Run().AsmLineMode = true;
  EXPECT_EQ(AddressToText(0xA000, kClassCode, false), "0A000");
}

TEST_F(SymbolsTest, SymbolsAndLinesCanBeSwitchedOffAndProceduresCarryTheirModule) {
  LoadProgram();
  SymbolLookup().ShowSymbols = false;
  EXPECT_EQ(AddressToText(0x0010, kClassCode, false), "10");
  EXPECT_EQ(AddressToText(0x0010, kClassCode, true), "LOOP");
  EXPECT_EQ(AddressToText(0x0012, kClassCodeOrLine, false), ":MAIN#12");
  SymbolLookup().ShowLines = false;
  EXPECT_EQ(AddressToText(0x0012, kClassCodeOrLine, false), "12");
  EXPECT_EQ(AddressToText(0x0022, kClassCodeOrLine, true), ":PROC1#20");
  // A procedure's text carries its module.
  Collections().ModuleTable->Items.insert(Collections().ModuleTable->Items.begin() + 1,
                                          tModuleItem{"PART", 0x0020, 0x0030, false});
  EXPECT_EQ(AddressToText(0x0025, kClassProcedure, false), "PART.PROC1");
  EXPECT_EQ(AddressToText(0x5000, kClassProcedure, false), "<unknown>");
}

TEST_F(SymbolsTest, ProcessorNamesWinWhileSymbolsAreSwitchedOff) {
  LoadProgram();
  LoadCpu51();
  SymbolLookup().ShowSymbols = false;
  EXPECT_EQ(AddressToText(0xE0, kClassData, false), "ACC");
  EXPECT_EQ(AddressToText(0xE3, kClassBit, false), "ACC.3");
  EXPECT_EQ(AddressToText(0x80, kClassBit, false), "P0.0");  // the first SFR bit
  EXPECT_EQ(AddressToText(0x7F, kClassBit, false), "7F");    // the last bit below them
  EXPECT_EQ(AddressToText(0xFF, kClassBit, false), "LASTSFR.7");  // the last bit of all
  EXPECT_EQ(AddressToText(0x8C, kClassBit, false), "TR0");
  EXPECT_EQ(AddressToText(0x30, kClassData, false), "30") << "no processor name: the number";
}

TEST_F(SymbolsTest, NearestSymbolSkipsProgramSymbolsNamedLikeTheProcessorName) {
  LoadProgram({{"MAIN", kClassProcedure, 0}, {"COUNT", kClassData, 0xF0}});
  LoadCpu51();
  EXPECT_EQ(FindNearestSymbol(0xF0, kClassData, 0, false, false, kAnyClass), kNoDistance);
  EXPECT_EQ(SymbolLookup().SymbolRef.Flag, 1);
  ASSERT_TRUE(SymbolLookup().SymbolRef.CpuEntry);
  EXPECT_EQ(SymbolLookup().SymbolRef.CpuEntry->Name, "COUNT");
  EXPECT_TRUE(HasSymbolAt(0xF0, kClassData, 0));
}

TEST_F(SymbolsTest, TooManyOpenScopesAStrayScopeEndOrAModuleWithoutItsProcedureGive138) {
  std::vector<Sym> deep = {{"MAIN", kClassProcedure, 0}};
  for (int i = 0; i < 17; ++i) deep.push_back({"S", kClassScopeBegin, 0});
  deep.push_back({"X", kClassData, 5});
  LoadProgram(deep);
  Messages().ShowMessageBoxes = false;
  EXPECT_EQ(FindNearestSymbol(5, kClassData, 0, false, false, kAnyClass), kNoDistance);
  EXPECT_EQ(Messages().LastErrorCode, 138);
  ResetSession();
  Messages().ShowMessageBoxes = false;
  LoadProgram({{"MAIN", kClassProcedure, 0}, {"", kClassScopeEnd, 0}, {"X", kClassData, 5}});
  EXPECT_EQ(FindNearestSymbol(5, kClassData, 0, false, false, kAnyClass), kNoDistance);
  EXPECT_EQ(Messages().LastErrorCode, 138);
  ResetSession();
  LoadProgram({{"MAIN", kClassProcedure, 0}});
  Collections().ModuleTable->Items[2].Name = "GONE";
  EXPECT_FALSE(FindProcedureAt(0x0100));
  EXPECT_EQ(Messages().LastErrorCode, 138);
}

TEST_F(SymbolsTest, ProjectModuleNodes) {
  auto& p = Project();
  p.ProjectModules.push_back({"Main", "D:\\WORK\\MAIN.A51", {}});
  p.ProjectModules.push_back({"Other", "\\SRC\\OTHER.A51", {}});
  p.FileTypeList.push_back({kFileAssembler, ".A51", ""});
  p.ProjectFileName = "D:\\WORK\\DEMO.QPC";
  EXPECT_EQ(FindModuleNode("MAIN"), &p.ProjectModules[0]);
  EXPECT_EQ(FindModuleNode("NONE"), nullptr);
  EXPECT_EQ(FindModuleNodeByFile("d:\\work\\main.a51"), &p.ProjectModules[0]);
  EXPECT_EQ(FindModuleNodeByFile("D:\\SRC\\OTHER.A51"), &p.ProjectModules[1]);
  EXPECT_EQ(FindModuleNodeByFile("C:\\SRC\\OTHER.A51"), nullptr);
  EXPECT_EQ(FindModuleNodeByFile("D:\\WORK\\MAIN.TXT"), nullptr);
  p.ProjectFileName = "/home/demo.qpc";
  EXPECT_EQ(FindModuleNodeByFile("C:\\SRC\\OTHER.A51"), &p.ProjectModules[1]);
}

TEST_F(SymbolsTest, ProcedureSymbolsAndProcessorNamesAndValues) {
  LoadProgram();
  EXPECT_TRUE(CheckSymbolTable());
  ASSERT_TRUE(FindProcedureSymbol("OTHER"));
  EXPECT_EQ(Collections().FoundSymbol, 14);
  EXPECT_FALSE(FindProcedureSymbol("other"));  // case-sensitive
  LoadCpu51();
  EXPECT_FALSE(FindCpuSymbolByValue(0x8C, kClassData));
  ASSERT_TRUE(FindCpuSymbol(std::nullopt, "tmod"));
  EXPECT_EQ(SymbolLookup().SymbolRef.CpuEntry->Value, 0x89);
  EXPECT_EQ(SymbolLookup().SymbolRef.Sym, kNoItem);
  // Processor names resolve, with bit suffixes too.
  dorvik::Run().CurrentPC = 0;
  ASSERT_EQ(Resolve("ACC"), tok::kSymbol);
  ASSERT_TRUE(SymbolLookup().SymbolRef.CpuEntry);
  EXPECT_EQ(SymbolLookup().SymbolRef.CpuEntry->Value, 0xE0);
  ASSERT_EQ(Resolve("P1.3"), tok::kSymbol);
  EXPECT_EQ(SymbolLookup().SymbolRef.CpuEntry->Name, "P1");
  EXPECT_EQ(Scanner().BitNumber, 3);
  EXPECT_TRUE(InBitContext());
}

TEST_F(SymbolsTest, FreeingTheTablesForgetsTheLastLookup) {
  LoadProgram();
  dorvik::Run().CurrentPC = 0x5000;
  ASSERT_EQ(Resolve("START"), tok::kSymbol);
  ASSERT_NE(SymbolLookup().SymbolRef.Sym, kNoItem);
  FreeSymbolCollections();
  EXPECT_EQ(SymbolLookup().SymbolRef.Sym, kNoItem);
  EXPECT_EQ(Collections().FoundSymbol, kNoItem);
  // Cleared and filled again, as a load does: only the new names are found,
  // also one added after a lookup.
  LoadProgram();
  ASSERT_EQ(Resolve("START"), tok::kSymbol);
  Collections().SymbolTable->Clear();
  Collections().ModuleTable->Clear();
  testing::LoadSymbolTable({{"MAIN", kClassProcedure, 0}, {"FRESH", kClassCode | kPub, 0x10}}, {{"MAIN", 0, 0x1F, true}});
  Messages().ShowMessageBoxes = false;
  EXPECT_EQ(Resolve("START"), 0);
  ASSERT_EQ(Resolve("fresh"), tok::kSymbol);
  EXPECT_EQ(SymbolLookup().SymbolRef.Sym, 1);
  testing::LoadSymbolTable({{"LATER", kClassCode | kPub, 0x12}}, {});
  ASSERT_EQ(Resolve("LATER"), tok::kSymbol);
  EXPECT_EQ(SymbolLookup().SymbolRef.Sym, 2);
}

TEST_F(SymbolsTest, ANestedScopeOfTheSameNameStaysClosedOutsideItsRange) {
  LoadProgram({{"MAIN", kClassProcedure, 0x00},
               {"PROC1", kClassProcedure, 0x20},
               {"VAL", kClassScopeBegin, 0x28},
               {"VAL", kClassData, 0x45},
               {"", kClassScopeEnd, 0},
               {"OTHER", kClassProcedure, 0x100}});
  dorvik::Run().CurrentPC = 0x22;
  Messages().ShowMessageBoxes = false;
  EXPECT_EQ(Resolve("VAL"), 0);
  dorvik::Run().CurrentPC = 0x2A;
  ASSERT_EQ(Resolve("VAL"), tok::kSymbol);
  EXPECT_EQ(SymbolLookup().SymbolRef.Sym, 3);
}

}  // namespace
}  // namespace dorvik
