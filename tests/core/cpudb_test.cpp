#include "core/cpudb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/collections.h"
#include "core/dialogs.h"
#include "core/formatting.h"
#include "core/messages.h"
#include "core/scanner.h"
#include "platform/dialogs.h"
#include "platform/reporter.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

fs::path ShippedDatabase() {
  return fs::path(DORVIK_BIN_DIR) / "dorvik51.qpf";
}

class CpuDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCpuDb();
    ResetMessages();
    Messages().ShowMessageBoxes = false;
    dir_ = fs::temp_directory_path() /
           ("dorvik_cpudb_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
            "_" + std::to_string(std::random_device{}()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    ResetCpuDb();
    ResetMessages();
  }

  // A database of the given records, written to the temp folder and read.
  void UseDatabase(const std::vector<std::vector<uint8_t>>& records) {
    std::vector<uint8_t> bytes;
    for (const auto& r : records) bytes.insert(bytes.end(), r.begin(), r.end());
    std::ofstream(dir_ / "db.qpf", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(ReadCpuDatabase((dir_ / "db.qpf").string()));
  }

  std::vector<uint8_t> Record(const std::string& name, const std::vector<std::string>& lines) {
    auto r = CompileCpuRecord(name, lines, "test.def");
    EXPECT_TRUE(r.has_value()) << name;
    return r.value_or(std::vector<uint8_t>{});
  }

  std::optional<tCpuDefEntry> Entry(const std::string& name) { return FindCpuEntryByName(name); }

  fs::path dir_;
};

TEST_F(CpuDbTest, ShippedDatabaseStartsWith51AndHoldsEveryProcessor) {
  ASSERT_TRUE(ReadCpuDatabase(ShippedDatabase().string())) << ShippedDatabase();
  auto names = CpuRecordNames();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.front(), "51");
  for (const char* cpu : {"51", "52", "44", "451", "452", "152", "252", "552", "652", "ADUC812", "ADUC831",
                          "ADUC832", "ADUC841", "ADUC842"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), cpu), names.end()) << cpu;
  }
  EXPECT_EQ(CpuDb().CpuList, names);
}

TEST_F(CpuDbTest, Cpu51GivesFourPortsAndTheUsualNames) {
  ASSERT_TRUE(ReadCpuDatabase(ShippedDatabase().string()));
  ASSERT_TRUE(SelectCpu("51"));
  struct Name {
    const char* Text;
    uint8_t Kind;
    uint16_t Value;
  };
  for (Name n :
       {Name{"P0", 0x32, 0x80}, Name{"P1", 0x32, 0x90}, Name{"P2", 0x32, 0xA0}, Name{"P3", 0x32, 0xB0},
        Name{"ACC", 0x32, 0xE0}, Name{"B", 0x32, 0xF0}, Name{"PSW", 0x32, 0xD0}, Name{"SP", 0x32, 0x81},
        Name{"TMOD", 0x32, 0x89}, Name{"SBUF", 0x32, 0x99}, Name{"TR0", 0x04, 0x8C}, Name{"EA", 0x04, 0xAF},
        Name{"CY", 0x04, 0xD7}, Name{"RI", 0x04, 0x98}, Name{"RD", 0x04, 0xB7}}) {
    auto e = Entry(n.Text);
    ASSERT_TRUE(e) << n.Text;
    EXPECT_EQ(e->Kind, n.Kind) << n.Text;
    EXPECT_EQ(e->Value, n.Value) << n.Text;
  }
  EXPECT_FALSE(Entry("T2CON"));
  EXPECT_TRUE(IsCpuPredefinedName("acc"));
  EXPECT_FALSE(IsCpuPredefinedName("STACK"));

  const auto& db = CpuDb();
  EXPECT_EQ(db.ProcessorPorts.count(), 4u);
  for (int n = 0; n < 4; ++n) EXPECT_TRUE(db.ProcessorPorts.test(n));
  ASSERT_EQ(db.MainPortMenu.size(), 4u);
  EXPECT_EQ(db.MainPortMenu[2].Caption, "Port 2");
  EXPECT_EQ(db.MainPortMenu[2].ComponentName, "Port21");
  EXPECT_EQ(db.MainPortMenu[2].Tag, 0xA0);
  EXPECT_FALSE(db.MainPortMenu[2].Checked);
  ASSERT_EQ(db.PortFormMenu.size(), 4u);
  EXPECT_TRUE(db.PortFormMenu[3].Checked);
}

TEST_F(CpuDbTest, DerivativesHaveTheirOwnRegistersAndBits) {
  ASSERT_TRUE(ReadCpuDatabase(ShippedDatabase().string()));
  struct Name {
    const char* Cpu;
    const char* Text;
    uint16_t Value;  // 0 = the processor has no such name
  };
  for (Name n : {Name{"44", "STS", 0xC8},
                 Name{"44", "TBF", 0xCF},
                 Name{"44", "NSNR", 0xD8},
                 Name{"44", "SCON", 0},
                 Name{"44", "RI", 0},
                 Name{"451", "P6", 0xD8},
                 Name{"451", "CSR", 0xE8},
                 Name{"152", "P5", 0x91},
                 Name{"152", "P6", 0xA1},
                 Name{"152", "GMOD", 0x84},
                 Name{"152", "IPN1", 0xF8},
                 Name{"152", "EDMA1", 0xCC},
                 Name{"152", "LNI", 0xDF},
                 Name{"252", "CCAP4H", 0xFE},
                 Name{"252", "CR", 0xDE},
                 Name{"552", "P5", 0xC4},
                 Name{"552", "CTH3", 0xCF},
                 Name{"552", "CML0", 0xA9},
                 Name{"552", "EAD", 0xAE},
                 Name{"552", "T2OV", 0xCF},
                 Name{"652", "ES1", 0xAD},
                 Name{"ADUC812", "WDR1", 0xC3},
                 Name{"ADUC812", "WDWR", 0},
                 Name{"ADUC812", "PADC", 0xBE},
                 Name{"ADUC831", "WDWR", 0xC0},
                 Name{"ADUC841", "T3CON", 0x9E},
                 Name{"ADUC842", "PLLCON", 0xD7}}) {
    ASSERT_TRUE(SelectCpu(n.Cpu)) << n.Cpu;
    auto e = Entry(n.Text);
    if (n.Value == 0) {
      EXPECT_FALSE(e) << n.Cpu << " " << n.Text;
    } else {
      ASSERT_TRUE(e) << n.Cpu << " " << n.Text;
      EXPECT_EQ(e->Value, n.Value) << n.Cpu << " " << n.Text;
    }
  }
  ASSERT_TRUE(SelectCpu("152"));
  EXPECT_EQ(CpuDb().ProcessorPorts.to_ulong(), 0x6Fu);  // ports 0-3, 5 and 6
}

TEST_F(CpuDbTest, AducChipHasItsPeripheralRegisters) {
  ASSERT_TRUE(ReadCpuDatabase(ShippedDatabase().string()));
  ASSERT_TRUE(SelectCpu("ADUC812"));
  EXPECT_EQ(CpuDb().CpuName, "ADUC812");
  auto adccon2 = Entry("ADCCON2");
  ASSERT_TRUE(adccon2);
  EXPECT_EQ(adccon2->Value, 0xD8);
  auto adci = Entry("ADCI");
  ASSERT_TRUE(adci);
  EXPECT_EQ(adci->Kind, 0x04);
  EXPECT_EQ(adci->Value, 0xDF);
  EXPECT_EQ(Entry("DPP")->Value, 0x84);
  EXPECT_EQ(Entry("T2CON")->Value, 0xC8);
  EXPECT_EQ(CpuDb().ProcessorPorts.count(), 4u);
  ASSERT_TRUE(SelectCpu("ADUC842"));
  EXPECT_EQ(Entry("PLLCON")->Value, 0xD7);
}

TEST_F(CpuDbTest, ExtraPortsGiveMoreMenuItems) {
  ASSERT_TRUE(ReadCpuDatabase(ShippedDatabase().string()));
  ASSERT_TRUE(SelectCpu("451"));
  const auto& db = CpuDb();
  EXPECT_EQ(db.ProcessorPorts.count(), 7u);
  ASSERT_EQ(db.PortFormMenu.size(), 7u);
  EXPECT_EQ(db.PortFormMenu[4].Tag, 0xC0);
  EXPECT_FALSE(db.PortFormMenu[4].Checked);
  EXPECT_TRUE(db.PortFormMenu[0].Checked);
}

TEST_F(CpuDbTest, UnknownCpuGivesError130AndKeepsTheOldOne) {
  ASSERT_TRUE(ReadCpuDatabase(ShippedDatabase().string()));
  ASSERT_TRUE(SelectCpu("52"));
  EXPECT_FALSE(SelectCpu("8086"));
  EXPECT_EQ(Messages().LastErrorCode, 130);
  EXPECT_EQ(CpuDb().CpuName, "52");
  EXPECT_TRUE(Entry("T2CON"));
}

TEST_F(CpuDbTest, NamesAreMatchedExactlyAndCutTo20Characters) {
  ASSERT_TRUE(ReadCpuDatabase(ShippedDatabase().string()));
  EXPECT_FALSE(SelectCpu("aduc812"));
  EXPECT_EQ(Messages().LastErrorCode, 130);
  ResetMessages();
  Messages().ShowMessageBoxes = false;
  EXPECT_FALSE(SelectCpu(std::string(30, 'X')));
  EXPECT_EQ(CpuDb().CpuName, "51");
}

TEST_F(CpuDbTest, FirstRecordNot51IsRefusedWithError300EvenWhenTheWantedOneIsFirst) {
  UseDatabase({Record("52", {"SFR P0 = 80H;"}), Record("51", {"SFR P0 = 80H;"})});
  CpuDb().CpuName = "52";
  EXPECT_FALSE(LoadCpuDescription());
  EXPECT_EQ(Messages().LastErrorCode, 300);
}

TEST_F(CpuDbTest, MissingDatabaseGivesError159) {
  EXPECT_FALSE(ReadCpuDatabase((dir_ / "none.qpf").string()));
  EXPECT_FALSE(LoadCpuDescription());
  EXPECT_EQ(Messages().LastErrorCode, 159);
  EXPECT_EQ(Messages().LastErrorParams.Arg1, (dir_ / "none.qpf").string());
}

TEST_F(CpuDbTest, TruncatedDatabaseIsReportedNotOverrun) {
  auto bytes = ReadBytes(ShippedDatabase());
  ASSERT_GT(bytes.size(), 100u);
  // Cut inside the first record.
  SetCpuDatabase(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 300), "cut.qpf");
  CpuDb().CpuName = "ADUC842";
  EXPECT_FALSE(LoadCpuDescription());
  EXPECT_TRUE(Messages().LastErrorCode == 160 || Messages().LastErrorCode == 300);
}

TEST_F(CpuDbTest, DamagedDatabasesNeverCrash) {
  auto bytes = ReadBytes(ShippedDatabase());
  ASSERT_FALSE(bytes.empty());
  std::mt19937 rng(51);
  for (int round = 0; round < 300; ++round) {
    auto damaged = bytes;
    if (round % 2 == 0) {
      damaged.resize(rng() % damaged.size());
    } else {
      for (int k = 0; k < 4; ++k) damaged[rng() % damaged.size()] = static_cast<uint8_t>(rng());
    }
    ResetCpuDb();
    Messages().ErrorFlag = false;
    SetCpuDatabase(damaged, "damaged.qpf");
    CpuDb().CpuName = round % 3 == 0 ? "51" : "ADUC842";
    if (LoadCpuDescription()) {
      // What loads can be walked to its end.
      size_t count = 0;
      for (size_t p = kCpuEntriesStart; CpuEntryAt(p); p = NextCpuEntry(p)) ++count;
      EXPECT_LT(count, damaged.size());
      IsCpuPredefinedName("P1");
      FindCpuEntryByValue(0x80, 2);
    } else {
      EXPECT_TRUE(Messages().ErrorFlag);
    }
  }
}

TEST_F(CpuDbTest, StatementFormsGiveTheirKindsAndValues) {
  auto bytes = Record("T", {
                               "sfr P0 = 0x80;",
                               "SFR16 DPTR16 = 82H;",
                               "sbit EA = 0AFH;",
                               "sbit TR1 = P0^6;",
                               "SBIT X3 = P0.3;",
                               "sfr RAMB = 21H;",
                               "sbit RB5 = RAMB^5;",
                               "CY BIT 0D7H;",
                               "REG7 DATA 7;",
                               "LIMIT EQU 100T;",
                               "#define BAUD 0x1200",
                               "sfr NEXT = P0 + 2;",
                               "#define SCALED (LIMIT*2-8)/4",
                               "#define BAD 1/0",
                               "#define HUGE 0FFFFFFFFH*0FFFFFFFFH",
                           });
  // The record alone: its entries, then FFH.
  ASSERT_EQ(bytes.back(), kCpuRecordEnd);
  CpuDb().CpuDefEntries.assign(bytes.begin() + 2, bytes.end());
  struct Want {
    const char* Name;
    uint8_t Kind;
    uint16_t Value;
  };
  for (Want w :
       {Want{"P0", 0x32, 0x80}, Want{"DPTR16", 0x52, 0x82}, Want{"EA", 0x04, 0xAF}, Want{"TR1", 0x04, 0x86},
        Want{"X3", 0x04, 0x83}, Want{"RB5", 0x04, 0x0D}, Want{"CY", 0x04, 0xD7}, Want{"REG7", 0x02, 0x07},
        Want{"LIMIT", 0x05, 100}, Want{"BAUD", 0x05, 0x1200}, Want{"NEXT", 0x32, 0x82}}) {
    auto e = Entry(w.Name);
    ASSERT_TRUE(e) << w.Name;
    EXPECT_EQ(e->Kind, w.Kind) << w.Name;
    EXPECT_EQ(e->Value, w.Value) << w.Name;
  }
  EXPECT_FALSE(Entry("BAD"));
  EXPECT_FALSE(Entry("HUGE"));
}

TEST_F(CpuDbTest, CDeclarationsSetSpaceAndType) {
  struct Case {
    const char* Line;
    uint8_t Kind;
    uint16_t Value;
  };
  for (Case c :
       {Case{"xdata X _at_ 0x8000;", 0x41, 0x8000}, Case{"data unsigned char X _at_ 30H;", 0x32, 0x30},
        Case{"idata char X _at_ 80H;", 0x23, 0x80}, Case{"code word X _at_ 100H;", 0x50, 0x100},
        Case{"eeprom integer X _at_ 10H;", 0x47, 0x10},
        Case{"xdata unsigned integer X[10] _at_ 2000H;", 0x51, 0x2000},
        Case{"extern xdata longint X _at_ 4;", 0x51, 4}, Case{"xdata unsigned longint X _at_ 4;", 0x71, 4},
        Case{"rdata doubleword X _at_ 40H;", 0x72, 0x40}, Case{"float X _at_ 8;", 0x80, 8},
        Case{"xdata pointer X _at_ 9;", 0xD1, 9}, Case{"bit boolean X _at_ 3;", 0x34, 3},
        Case{"unsigned shortint xdata X _at_ 5;", 0x31, 5}}) {
    ResetMessages();
    Messages().ShowMessageBoxes = false;
    auto bytes = CompileCpuRecord("T", {c.Line}, "t.def");
    ASSERT_TRUE(bytes) << c.Line;
    CpuDb().CpuDefEntries.assign(bytes->begin() + 2, bytes->end());
    auto e = Entry("X");
    ASSERT_TRUE(e) << c.Line;
    EXPECT_EQ(e->Kind, c.Kind) << c.Line;
    EXPECT_EQ(e->Value, c.Value) << c.Line;
  }
}

TEST_F(CpuDbTest, DefinedNamesAreNotEnteredTwiceButDeclarationsRetypeThem) {
  auto bytes = CompileCpuRecord("T", {"sfr P1 = 90H;", "sfr P1 = 0A0H;", "xdata word P1;"}, "t.def");
  ASSERT_TRUE(bytes);
  CpuDb().CpuDefEntries.assign(bytes->begin() + 2, bytes->end());
  auto e = Entry("P1");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Value, 0x90);
  EXPECT_EQ(e->Kind, 0x51);
  size_t count = 0;
  for (size_t p = kCpuEntriesStart; CpuEntryAt(p); p = NextCpuEntry(p)) ++count;
  EXPECT_EQ(count, 1u);
}

TEST_F(CpuDbTest, DeclarationsWithoutAnAddressEnterTheLastValueRead) {
  auto bytes =
      CompileCpuRecord("T", {"xdata char BUF;", "xdata byte TABLE[10H];", "idata byte OPEN[8;"}, "t.def");
  ASSERT_TRUE(bytes);
  CpuDb().CpuDefEntries.assign(bytes->begin() + 2, bytes->end());
  for (auto [name, kind, value] :
       {std::tuple{"BUF", 0x21, 0}, std::tuple{"TABLE", 0x31, 0x10}, std::tuple{"OPEN", 0x33, 8}}) {
    auto e = Entry(name);
    ASSERT_TRUE(e) << name;
    EXPECT_EQ(e->Kind, kind) << name;
    EXPECT_EQ(e->Value, value) << name;
  }
}

TEST_F(CpuDbTest, PlainNumbersAreReadInTheCurrentRadix) {
  Formatting().DisplayRadix = 10;
  auto bytes = CompileCpuRecord("T", {"sfr DEC = 80;", "sfr HEX = 80H;", "sfr C = 0x80;"}, "t.def");
  ResetFormatting();
  ASSERT_TRUE(bytes);
  CpuDb().CpuDefEntries.assign(bytes->begin() + 2, bytes->end());
  EXPECT_EQ(Entry("DEC")->Value, 80);
  EXPECT_EQ(Entry("HEX")->Value, 0x80);
  EXPECT_EQ(Entry("C")->Value, 0x80);
}

TEST_F(CpuDbTest, CompilingLeavesTheLoadedProgramAndTheScannerAlone) {
  // A loaded program's symbol of the same name does not stand for the one defined.
  CreateSymbolCollections();
  auto& sym = Collections().SymbolTable->Add();
  sym.Name = "P0";
  sym.SymClass = 2 | kClassPublic;
  sym.Value = 0x33;
  SetScanLine("GO FROM 100\r", true);
  const ScannerState scanner = Scanner();
  auto bytes = CompileCpuRecord("T", {"sfr P0 = 80H;", "sbit P0_1 = P0^1;", "sfr NEXT = P0 + 1;"}, "t.def");
  ASSERT_TRUE(bytes);
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_FALSE(Messages().WarningFlag);
  EXPECT_TRUE(Messages().ShowMessageBoxes == false && Messages().MessageSuspendCount == 0);
  ASSERT_TRUE(Collections().SymbolTable);
  EXPECT_EQ(Collections().SymbolTable->Count(), 1);
  EXPECT_EQ(Scanner().ScanLine, scanner.ScanLine);
  EXPECT_EQ(Scanner().ScanPos, scanner.ScanPos);
  CpuDb().CpuDefEntries.assign(bytes->begin() + 2, bytes->end());
  EXPECT_EQ(Entry("P0_1")->Value, 0x81);
  EXPECT_EQ(Entry("NEXT")->Value, 0x81);
  ResetCollections();
}

TEST_F(CpuDbTest, CommentsDirectivesAndContinuationLines) {
  auto bytes = CompileCpuRecord("T",
                                {
                                    "$NOMOD51",
                                    "// a remark",
                                    "/* a remark",
                                    "   over lines */",
                                    "#pragma something",
                                    "#define",
                                    "sfr\tWIDE",
                                    "  = 0x99; sfr NARROW = 98H; // trailing",
                                    "sfr AFTER = /* inside */ 97H;",
                                    "",
                                },
                                "t.def");
  ASSERT_TRUE(bytes);
  CpuDb().CpuDefEntries.assign(bytes->begin() + 2, bytes->end());
  EXPECT_EQ(Entry("WIDE")->Value, 0x99);
  EXPECT_EQ(Entry("NARROW")->Value, 0x98);
  EXPECT_EQ(Entry("AFTER")->Value, 0x97);
}

TEST_F(CpuDbTest, OnlyCommentsMakeARecordWithoutEntries) {
  auto bytes = CompileCpuRecord("EMPTY", {"/* nothing */", "// here"}, "t.def");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, (std::vector<uint8_t>{5, 'E', 'M', 'P', 'T', 'Y', 0xFF}));
}

TEST_F(CpuDbTest, AStatementThatDoesNotParseNamesItsLine) {
  struct Case {
    std::vector<std::string> Lines;
    int Line;
  };
  for (const Case& c :
       {Case{{"sfr P0 = 80H;", "", "sfr = 90H;"}, 3}, Case{{"sfr P0 = 80H;", "/ bad"}, 2},
        Case{{"sbit X = UNKNOWN^1;"}, 1}, Case{{"sbit X = 81H^1;"}, 1}, Case{{"sfr X = 10000H;"}, 1},
        Case{{"sfr X", "= 80H"}, 1}, Case{{"MOV A,B;"}, 1}, Case{{"sfr P0 = 80H;", "sbit X = P0^8;"}, 2},
        Case{{"sfr X = 1 +;"}, 1}, Case{{"sfr X = 80H 1;"}, 1}}) {
    ResetMessages();
    Messages().ShowMessageBoxes = false;
    EXPECT_FALSE(CompileCpuRecord("T", c.Lines, "bad.def")) << c.Lines.back();
    EXPECT_EQ(Messages().LastErrorCode, 154) << c.Lines.back();
    EXPECT_EQ(Messages().LastErrorParams.Arg1, std::to_string(c.Line)) << c.Lines.back();
    EXPECT_EQ(Messages().LastErrorParams.Arg2, "bad.def");
  }
}

TEST_F(CpuDbTest, CompilingAppendsARecordWritesTheFileAndSelectsIt) {
  UseDatabase({Record("51", {"sfr P0 = 80H;", "sfr P1 = 90H;"}), Record("52", {"sfr T2CON = 0C8H;"})});
  WriteText(dir_ / "new.def", "sfr P0 = 80H;\nsfr P4 = 0C0H;\n");
  ASSERT_TRUE(CompileCpuDefinition("new1", (dir_ / "new.def").string()));
  EXPECT_EQ(CpuDb().CpuName, "NEW1");
  EXPECT_EQ(CpuRecordNames(), (std::vector<std::string>{"51", "52", "NEW1"}));
  EXPECT_EQ(CpuDb().CpuList, CpuRecordNames());
  EXPECT_EQ(ReadBytes(dir_ / "db.qpf"), CpuDb().CpuDefBuffer);
  EXPECT_TRUE(CpuDb().ProcessorPorts.test(4));
  EXPECT_FALSE(CpuDb().ProcessorPorts.test(1));
  EXPECT_FALSE(fs::exists(dir_ / "db.qpf.TMP"));
}

TEST_F(CpuDbTest, ReplacingAsksWarning58AndMovesTheRecordLast) {
  UseDatabase({Record("51", {"sfr P0 = 80H;"}), Record("52", {"sfr OLD = 1;"}), Record("44", {})});
  WriteText(dir_ / "new.def", "sfr NEWREG = 2;");
  auto before = CpuDb().CpuDefBuffer;
  std::vector<std::string> asked;
  EXPECT_FALSE(CompileCpuDefinition("52", (dir_ / "new.def").string(), [&](std::string_view name) {
    asked.emplace_back(name);
    return kResultNo;
  }));
  EXPECT_EQ(asked, std::vector<std::string>{"52"});
  EXPECT_EQ(CpuDb().CpuDefBuffer, before);
  EXPECT_EQ(ReadBytes(dir_ / "db.qpf"), before);

  ASSERT_TRUE(
      CompileCpuDefinition("52", (dir_ / "new.def").string(), [](std::string_view) { return kResultYes; }));
  EXPECT_EQ(CpuRecordNames(), (std::vector<std::string>{"51", "44", "52"}));
  EXPECT_TRUE(Entry("NEWREG"));
  EXPECT_FALSE(Entry("OLD"));
}

TEST_F(CpuDbTest, ReplacingTheQuestionWithoutACallbackUsesWarning58) {
  UseDatabase({Record("51", {}), Record("52", {})});
  WriteText(dir_ / "new.def", "");
  // Boxes are off: the question answers OK, which is not Yes.
  EXPECT_FALSE(CompileCpuDefinition("52", (dir_ / "new.def").string()));
  EXPECT_EQ(Messages().LastWarningCode, 58);
  EXPECT_EQ(Messages().LastWarningParams.Arg1, "52");
}

TEST_F(CpuDbTest, Replacing51KeepsItFirst) {
  UseDatabase({Record("51", {"sfr P0 = 80H;"}), Record("52", {})});
  WriteText(dir_ / "new.def", "sfr P0 = 80H;\nsfr P1 = 90H;");
  ASSERT_TRUE(
      CompileCpuDefinition("51", (dir_ / "new.def").string(), [](std::string_view) { return kResultYes; }));
  EXPECT_EQ(CpuRecordNames(), (std::vector<std::string>{"51", "52"}));
  EXPECT_TRUE(SelectCpu("52"));
  EXPECT_TRUE(SelectCpu("51"));
  EXPECT_TRUE(Entry("P1"));
}

TEST_F(CpuDbTest, FailedCompileLeavesFileAndBufferUnchanged) {
  UseDatabase({Record("51", {"sfr P0 = 80H;"})});
  auto before = CpuDb().CpuDefBuffer;
  WriteText(dir_ / "bad.def", "sfr P0 = 80H;\nsfr = ;\n");
  EXPECT_FALSE(CompileCpuDefinition("X", (dir_ / "bad.def").string()));
  EXPECT_EQ(Messages().LastErrorCode, 154);
  EXPECT_EQ(CpuDb().CpuDefBuffer, before);
  EXPECT_EQ(ReadBytes(dir_ / "db.qpf"), before);

  ResetMessages();
  Messages().ShowMessageBoxes = false;
  EXPECT_FALSE(CompileCpuDefinition("X", (dir_ / "missing.def").string()));
  EXPECT_EQ(Messages().LastErrorCode, 402);
  EXPECT_EQ(CpuDb().CpuDefBuffer, before);
}

TEST_F(CpuDbTest, AnUnreadDatabaseOnDiskIsNotOverwritten) {
  WriteText(dir_ / "db.qpf", "precious");
  CpuDb().CpuDefFileName = (dir_ / "db.qpf").string();
  WriteText(dir_ / "new.def", "sfr P0 = 80H;");
  EXPECT_FALSE(CompileCpuDefinition("51", (dir_ / "new.def").string()));
  EXPECT_EQ(Messages().LastErrorCode, 159);
  auto kept = ReadBytes(dir_ / "db.qpf");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "precious");
}

TEST_F(CpuDbTest, ShippedDefinitionCompilesToTheShippedRecord) {
  // The build's database came from these texts through the same compiler.
  ASSERT_TRUE(ReadCpuDatabase(ShippedDatabase().string()));
  auto definition = fs::path(DORVIK_SOURCE_DIR) / "data" / "cpu" / "aduc831.def";
  std::ifstream in(definition);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  auto record = CompileCpuRecord("ADUC831", lines, definition.string());
  ASSERT_TRUE(record);
  const auto& db = CpuDb().CpuDefBuffer;
  EXPECT_NE(std::search(db.begin(), db.end(), record->begin(), record->end()), db.end());
}

TEST_F(CpuDbTest, SelectionDialogListsTheDatabaseAndCompilesOther) {
  UseDatabase({Record("51", {"sfr P0 = 80H;"}), Record("52", {})});
  ASSERT_TRUE(SelectCpu("52"));
  auto& dlg = SelCPUDlg();
  dlg.DialogCreate();
  EXPECT_EQ(dlg.Caption, "Select chip type");
  EXPECT_EQ(dlg.OkCaption, "OK");
  EXPECT_EQ(dlg.CancelCaption, "Cancel");
  dlg.FillCpuList();
  EXPECT_EQ(dlg.CpuList, (std::vector<std::string>{"51", "52"}));
  EXPECT_EQ(dlg.ItemIndex, 1);

  WriteText(dir_ / "x.def", "sfr XREG = 0C0H;");
  platform::ScriptedDialogs ui;
  platform::SetDialogUi(&ui);
  platform::ScriptedReporter reporter;
  platform::SetReporter(&reporter);
  Messages().ShowMessageBoxes = true;
  ResetDialogs();
  // Cancel changes nothing; OK on an existing name asks warning 58 (answered Yes).
  ui.PairReplies.push_back({platform::DialogAction::Cancel, "x1", (dir_ / "x.def").string(), true});
  EXPECT_FALSE(dlg.btnOtherClick());
  ui.PairReplies.push_back({platform::DialogAction::Ok, "52", (dir_ / "x.def").string(), true});
  reporter.QueueAnswer(kResultYes);
  bool ok = dlg.btnOtherClick();
  platform::SetDialogUi(nullptr);
  platform::SetReporter(nullptr);
  ASSERT_TRUE(ok);
  ASSERT_EQ(ui.PairsShown.size(), 2u);
  EXPECT_EQ(ui.PairsShown[0].Caption, "New CPU Type");
  EXPECT_EQ(ui.PairsShown[0].NameLabel, "CPU designation");
  EXPECT_EQ(ui.PairsShown[0].ValueLabel, "CPU definition file");
  ASSERT_EQ(reporter.Shown().size(), 1u);
  EXPECT_EQ(reporter.Shown()[0].Caption, "Warning #58");
  EXPECT_EQ(dlg.CpuList, (std::vector<std::string>{"51", "52"}));
  EXPECT_EQ(CpuDb().CpuName, "52");
  EXPECT_EQ(Entry("XREG")->Value, 0xC0);
}

TEST_F(CpuDbTest, GarbledDefinitionsNeverCrash) {
  const std::vector<std::string> pieces = {
      "SFR",      "SBIT", "SFR16", "X",  "P0", "=",       "^",   ".",  "7",    "9",     "0x",
      "80H",      ";",    "/*",    "*/", "//", "#DEFINE", "[",   "]",  "_AT_", "XDATA", "CHAR",
      "UNSIGNED", "(",    ")",     "+",  "-",  "EQU",     "BIT", "\t", "$"};
  std::mt19937 rng(8051);
  for (int round = 0; round < 500; ++round) {
    std::vector<std::string> lines;
    for (int l = 0; l < 4; ++l) {
      std::string line;
      for (int k = rng() % 8; k > 0; --k) line += pieces[rng() % pieces.size()] + (rng() % 2 ? " " : "");
      lines.push_back(line);
    }
    ResetMessages();
    Messages().ShowMessageBoxes = false;
    auto record = CompileCpuRecord("G", lines, "g.def");
    if (record) {
      ASSERT_GE(record->size(), 3u);
      EXPECT_EQ(record->back(), kCpuRecordEnd);
    } else {
      EXPECT_EQ(Messages().LastErrorCode, 154);
    }
  }
}

TEST(CpuDatabaseName, SitsBesideTheProgram) {
  EXPECT_EQ(CpuDatabaseNameFor("/opt/d/bin/dorvik51"), "/opt/d/bin/dorvik51.qpf");
  EXPECT_EQ(CpuDatabaseNameFor("/opt/d/bin/dorvik51.exe"), "/opt/d/bin/dorvik51.qpf");
}

TEST_F(CpuDbTest, CompilerFrontEndBuildsADatabaseFromDefinitions) {
  const fs::path qpfc = fs::path(DORVIK_BIN_DIR) / "qpfc";
  ASSERT_TRUE(fs::exists(qpfc));
  WriteText(dir_ / "a.def", "sfr P0 = 80H;\nsfr P1 = 90H;\n");
  WriteText(dir_ / "b.def", "sfr P0 = 80H;\nsfr P4 = 0C0H;\n");
  WriteText(dir_ / "bad.def", "sfr P0 = ;\n");
  auto run = [&](const std::string& args) {
    std::string command = "\"" + qpfc.string() + "\" " + args + " 2>/dev/null";
    return std::system(command.c_str());
  };
  const std::string out = (dir_ / "out.qpf").string();
  ASSERT_EQ(
      run("\"" + out + "\" 51=\"" + (dir_ / "a.def").string() + "\" X=\"" + (dir_ / "b.def").string() + "\""),
      0);
  ASSERT_TRUE(ReadCpuDatabase(out));
  EXPECT_EQ(CpuRecordNames(), (std::vector<std::string>{"51", "X"}));
  ASSERT_TRUE(SelectCpu("X"));
  EXPECT_TRUE(CpuDb().ProcessorPorts.test(4));

  // The first record must be "51"; a failed definition leaves no database behind.
  EXPECT_NE(run("\"" + out + "\" X=\"" + (dir_ / "b.def").string() + "\""), 0);
  EXPECT_NE(run("\"" + out + "\" 51=\"" + (dir_ / "bad.def").string() + "\""), 0);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace dorvik
