#include "lang/cpucompiler.h"
#include "lang/cpudb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "lang/collections.h"
#include "base/dialogs.h"
#include "lang/formatting.h"
#include "base/messages.h"
#include "lang/scanner.h"
#include "platform/dialogs.h"
#include "platform/reporter.h"
#include "tests/platform/scratch_dir.h"
#include "base/session.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

fs::path ShippedDatabase() { return fs::path(DORVIK_BIN_DIR) / "dorvik51.qpf"; }

constexpr int32_t kAbsent = -1;

// One expected database name: Kind 0 leaves the kind unchecked, Value kAbsent
// means the name must not be there.
struct Want { const char* Name; uint8_t Kind; int32_t Value; };

void ExpectEntries(std::initializer_list<Want> wants, const std::string& where = "") {
  for (const Want& w : wants) {
    SCOPED_TRACE(where + " " + w.Name);
    auto e = FindCpuEntryByName(w.Name);
    if (w.Value == kAbsent) {
      EXPECT_FALSE(e);
      continue;
    }
    EXPECT_TRUE(e);
    if (!e) continue;
    if (w.Kind != 0) {
      EXPECT_EQ(e->Kind, w.Kind);
    }
    EXPECT_EQ(e->Value, w.Value);
  }
}

size_t EntryCount() {
  size_t count = 0;
  for (size_t p = kCpuEntriesStart; CpuEntryAt(p); p = NextCpuEntry(p)) ++count;
  return count;
}

class CpuDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    Quiet();
  }
  void TearDown() override {
    ResetSession();
  }
  static void Quiet() {
    ResetState<MessageState>();
    Messages().ShowMessageBoxes = false;
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

  // Compiles one record and makes its entries the current processor's.
  bool UseRecord(const std::vector<std::string>& lines) {
    auto bytes = CompileCpuRecord("T", lines, "t.def");
    if (!bytes) return false;
    EXPECT_EQ(bytes->back(), kCpuRecordEnd);
    CpuDb().CpuDefEntries.assign(bytes->begin() + 2, bytes->end());
    return true;
  }

  std::string Def(const std::string& text) {
    WriteText(dir_ / "new.def", text);
    return (dir_ / "new.def").string();
  }

  test_util::ScratchDir scratch_;
  const fs::path dir_ = scratch_.Path();
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
  ExpectEntries({{"P0", 0x32, 0x80}, {"TR0", 0x04, 0x8C}, {"T2CON", 0, kAbsent}});
  EXPECT_TRUE(IsCpuPredefinedName("acc"));
  EXPECT_FALSE(IsCpuPredefinedName("STACK"));

  const auto& db = CpuDb();
  EXPECT_EQ(db.ProcessorPorts.to_ulong(), 0x0Fu);
  ASSERT_EQ(db.MainPortMenu.size(), 4u);
  EXPECT_EQ(db.MainPortMenu[2].Caption, "Port 2");
  EXPECT_EQ(db.MainPortMenu[2].ComponentName, "Port21");
  EXPECT_EQ(db.MainPortMenu[2].Tag, 0xA0);
  EXPECT_FALSE(db.MainPortMenu[2].Checked);
  ASSERT_EQ(db.PortFormMenu.size(), 4u);
  EXPECT_TRUE(db.PortFormMenu[3].Checked);
  // The 552's ports 4 and 5 are listed but not checked; port 3 is the last checked.
  ASSERT_TRUE(SelectCpu("552"));
  EXPECT_EQ(db.ProcessorPorts.to_ulong(), 0x3Fu);
  ASSERT_EQ(db.PortFormMenu.size(), 6u);
  EXPECT_TRUE(db.PortFormMenu[3].Checked);
  EXPECT_FALSE(db.PortFormMenu[4].Checked);
  EXPECT_FALSE(db.PortFormMenu[5].Checked);
  EXPECT_EQ(db.MainPortMenu[5].Tag, 0xC4);
}

TEST_F(CpuDbTest, UnknownCpuGivesError130AndKeepsTheOldOne) {
  ASSERT_TRUE(ReadCpuDatabase(ShippedDatabase().string()));
  ASSERT_TRUE(SelectCpu("52"));
  // Names match exactly (no case folding) and are cut to 20 characters.
  for (const std::string& name : {std::string("8086"), std::string("aduc812"), std::string(30, 'X')}) {
    Quiet();
    EXPECT_FALSE(SelectCpu(name)) << name;
    EXPECT_EQ(Messages().LastErrorCode, 130) << name;
    EXPECT_EQ(CpuDb().CpuName, "52");
  }
  ExpectEntries({{"T2CON", 0, 0xC8}});
}

TEST_F(CpuDbTest, FirstRecordNot51GivesError300EvenWhenTheWantedOneIsFirstAndNoDatabase159) {
  UseDatabase({Record("52", {"SFR P0 = 80H;"}), Record("51", {"SFR P0 = 80H;"})});
  CpuDb().CpuName = "52";
  EXPECT_FALSE(LoadCpuDescription());
  EXPECT_EQ(Messages().LastErrorCode, 300);
  // A missing database is error 159.
  ResetState<CpuDbState>();
  EXPECT_FALSE(ReadCpuDatabase((dir_ / "none.qpf").string()));
  EXPECT_FALSE(LoadCpuDescription());
  EXPECT_EQ(Messages().LastErrorCode, 159);
  EXPECT_EQ(Messages().LastErrorParams.Arg1, (dir_ / "none.qpf").string());
}

// data/forms.def compiled as one record: its "//=" lines name the entries it must (not) hold.
TEST_F(CpuDbTest, StatementFormsOfTheDataFile) {
  std::ifstream in(fs::path(DORVIK_SOURCE_DIR) / "tests" / "lang" / "data" / "forms.def");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_TRUE(UseRecord(lines));
  int wants = 0;
  for (const std::string& line : lines) {
    if (!line.starts_with("//= ")) continue;
    ++wants;
    std::istringstream want(line.substr(4));
    std::string name, kind, value;
    want >> name >> kind >> value;
    if (kind == "-") {
      ExpectEntries({{name.c_str(), 0, kAbsent}});
    } else {
      ExpectEntries({{name.c_str(), static_cast<uint8_t>(std::stoul(kind, nullptr, 16)),
                      static_cast<int32_t>(std::stoul(value, nullptr, 16))}});
    }
  }
  EXPECT_GT(wants, 25);
  EXPECT_EQ(CompileCpuRecord("EMPTY", {"/* nothing */", "// here"}, "t.def"),
            (std::vector<uint8_t>{5, 'E', 'M', 'P', 'T', 'Y', 0xFF}));
}

TEST_F(CpuDbTest, DefinedNamesAreNotEnteredTwiceButDeclarationsRetypeThem) {
  ASSERT_TRUE(UseRecord({"sfr P1 = 90H;", "sfr P1 = 0A0H;", "xdata word P1;"}));
  ExpectEntries({{"P1", 0x51, 0x90}});
  EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(CpuDbTest, DeclarationsWithoutAnAddressEnterTheLastValueRead) {
  ASSERT_TRUE(UseRecord({"xdata char BUF;", "xdata byte TABLE[10H];", "idata byte OPEN[8;"}));
  ExpectEntries({{"BUF", 0x21, 0}, {"TABLE", 0x31, 0x10}, {"OPEN", 0x33, 8}});
}

TEST_F(CpuDbTest, PlainNumbersAreReadInTheCurrentRadix) {
  Formatting().DisplayRadix = 10;
  const bool ok = UseRecord({"sfr DEC = 80;", "sfr HEX = 80H;", "sfr C = 0x80;"});
  ResetState<FormattingState>();
  ASSERT_TRUE(ok);
  ExpectEntries({{"DEC", 0, 80}, {"HEX", 0, 0x80}, {"C", 0, 0x80}});
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
  ASSERT_TRUE(UseRecord({"sfr P0 = 80H;", "sbit P0_1 = P0^1;", "sfr NEXT = P0 + 1;"}));
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_FALSE(Messages().WarningFlag);
  EXPECT_TRUE(Messages().ShowMessageBoxes == false && Messages().MessageSuspendCount == 0);
  ASSERT_TRUE(Collections().SymbolTable);
  EXPECT_EQ(Collections().SymbolTable->Count(), 1);
  EXPECT_EQ(Scanner().ScanLine, scanner.ScanLine);
  EXPECT_EQ(Scanner().ScanPos, scanner.ScanPos);
  ExpectEntries({{"P0_1", 0, 0x81}, {"NEXT", 0, 0x81}});
  ResetState<CollectionsState>();
}

TEST_F(CpuDbTest, AStatementThatDoesNotParseNamesItsLine) {
  struct Case { std::vector<std::string> Lines; int Line; };
  for (const Case& c :
       {Case{{"sfr P0 = 80H;", "", "sfr = 90H;"}, 3}, Case{{"sfr P0 = 80H;", "/ bad"}, 2},
        Case{{"sbit X = UNKNOWN^1;"}, 1}, Case{{"sbit X = 81H^1;"}, 1}, Case{{"sfr X = 10000H;"}, 1},
        Case{{"sfr X", "= 80H"}, 1}, Case{{"MOV A,B;"}, 1}, Case{{"sfr P0 = 80H;", "sbit X = P0^8;"}, 2},
        Case{{"sfr X = 1 +;"}, 1}, Case{{"sfr X = 80H 1;"}, 1},
        // bytes on both sides of the bit-addressable ones, an SFR not at x0H or x8H
        Case{{"sbit X = 30H^0;"}, 1}, Case{{"sbit X = 1FH^7;"}, 1}, Case{{"sbit X = 89H^0;"}, 1}}) {
    SCOPED_TRACE(c.Lines.back());
    Quiet();
    EXPECT_FALSE(CompileCpuRecord("T", c.Lines, "bad.def"));
    EXPECT_EQ(Messages().LastErrorCode, 154);
    EXPECT_EQ(Messages().LastErrorParams.Arg1, std::to_string(c.Line));
    EXPECT_EQ(Messages().LastErrorParams.Arg2, "bad.def");
  }
}

TEST_F(CpuDbTest, CompilingAppendsARecordWritesTheFileAndSelectsIt) {
  UseDatabase({Record("51", {"sfr P0 = 80H;", "sfr P1 = 90H;"}), Record("52", {"sfr T2CON = 0C8H;"})});
  ASSERT_TRUE(CompileCpuDefinition("new1", Def("sfr P0 = 80H;\nsfr P4 = 0C0H;\n")));
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
  const std::string def = Def("sfr NEWREG = 2;");
  auto before = CpuDb().CpuDefBuffer;
  std::vector<std::string> asked;
  EXPECT_FALSE(CompileCpuDefinition("52", def, [&](std::string_view name) {
    asked.emplace_back(name);
    return kResultNo;
  }));
  EXPECT_EQ(asked, std::vector<std::string>{"52"});
  EXPECT_EQ(CpuDb().CpuDefBuffer, before);
  EXPECT_EQ(ReadBytes(dir_ / "db.qpf"), before);
  // Without a callback the question is warning 58; boxes are off, so it answers OK, which is not Yes.
  EXPECT_FALSE(CompileCpuDefinition("52", def));
  EXPECT_EQ(Messages().LastWarningCode, 58);
  EXPECT_EQ(Messages().LastWarningParams.Arg1, "52");

  ASSERT_TRUE(CompileCpuDefinition("52", def, [](std::string_view) { return kResultYes; }));
  EXPECT_EQ(CpuRecordNames(), (std::vector<std::string>{"51", "44", "52"}));
  ExpectEntries({{"NEWREG", 0, 2}, {"OLD", 0, kAbsent}});
}

TEST_F(CpuDbTest, Replacing51KeepsItFirst) {
  UseDatabase({Record("51", {"sfr P0 = 80H;"}), Record("52", {})});
  ASSERT_TRUE(CompileCpuDefinition("51", Def("sfr P0 = 80H;\nsfr P1 = 90H;"),
                                   [](std::string_view) { return kResultYes; }));
  EXPECT_EQ(CpuRecordNames(), (std::vector<std::string>{"51", "52"}));
  EXPECT_TRUE(SelectCpu("52"));
  EXPECT_TRUE(SelectCpu("51"));
  ExpectEntries({{"P1", 0, 0x90}});
}

TEST_F(CpuDbTest, FailedCompileLeavesFileAndBufferUnchanged) {
  UseDatabase({Record("51", {"sfr P0 = 80H;"})});
  auto before = CpuDb().CpuDefBuffer;
  EXPECT_FALSE(CompileCpuDefinition("X", Def("sfr P0 = 80H;\nsfr = ;\n")));
  EXPECT_EQ(Messages().LastErrorCode, 154);
  EXPECT_EQ(CpuDb().CpuDefBuffer, before);
  EXPECT_EQ(ReadBytes(dir_ / "db.qpf"), before);

  Quiet();
  EXPECT_FALSE(CompileCpuDefinition("X", (dir_ / "missing.def").string()));
  EXPECT_EQ(Messages().LastErrorCode, 402);
  EXPECT_EQ(CpuDb().CpuDefBuffer, before);
}

TEST_F(CpuDbTest, AnUnreadDatabaseOnDiskIsNotOverwritten) {
  WriteText(dir_ / "db.qpf", "precious");
  CpuDb().CpuDefFileName = (dir_ / "db.qpf").string();
  EXPECT_FALSE(CompileCpuDefinition("51", Def("sfr P0 = 80H;")));
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
  dlg.FillCpuList();
  EXPECT_EQ(dlg.CpuList, (std::vector<std::string>{"51", "52"}));
  EXPECT_EQ(dlg.ItemIndex, 1);

  const std::string def = Def("sfr XREG = 0C0H;");
  platform::ScriptedDialogs ui;
  platform::SetDialogUi(&ui);
  platform::ScriptedReporter reporter;
  platform::SetReporter(&reporter);
  Messages().ShowMessageBoxes = true;
  ResetState<DialogForms>();
  // Cancel changes nothing; OK on an existing name asks warning 58 (answered Yes).
  ui.PairReplies.push_back({platform::DialogAction::Cancel, "x1", def, true});
  EXPECT_FALSE(dlg.btnOtherClick());
  ui.PairReplies.push_back({platform::DialogAction::Ok, "52", def, true});
  reporter.QueueAnswer(kResultYes);
  bool ok = dlg.btnOtherClick();
  platform::SetDialogUi(nullptr);
  platform::SetReporter(nullptr);
  ASSERT_TRUE(ok);
  ASSERT_EQ(ui.PairsShown.size(), 2u);
  ASSERT_EQ(reporter.Shown().size(), 1u);
  EXPECT_EQ(reporter.Shown()[0].Caption, "Warning #58");
  EXPECT_EQ(dlg.CpuList, (std::vector<std::string>{"51", "52"}));
  EXPECT_EQ(CpuDb().CpuName, "52");
  ExpectEntries({{"XREG", 0, 0xC0}});
}

TEST_F(CpuDbTest, CompilerFrontEndBuildsADatabaseFromDefinitions) {
  const fs::path qpfc = fs::path(DORVIK_BIN_DIR) / "qpfc";
  ASSERT_TRUE(fs::exists(qpfc));
  WriteText(dir_ / "a.def", "sfr P0 = 80H;\nsfr P1 = 90H;\n");
  WriteText(dir_ / "b.def", "sfr P0 = 80H;\nsfr P4 = 0C0H;\n");
  WriteText(dir_ / "bad.def", "sfr P0 = ;\n");
  const std::string out = (dir_ / "out.qpf").string();
  auto run = [&](const std::string& records) {
    std::string command = "\"" + qpfc.string() + "\" \"" + out + "\" " + records + " 2>/dev/null";
    return std::system(command.c_str());
  };
  auto def = [&](const char* name) { return "\"" + (dir_ / name).string() + "\""; };
  ASSERT_EQ(run("51=" + def("a.def") + " X=" + def("b.def")), 0);
  ASSERT_TRUE(ReadCpuDatabase(out));
  EXPECT_EQ(CpuRecordNames(), (std::vector<std::string>{"51", "X"}));
  ASSERT_TRUE(SelectCpu("X"));
  EXPECT_TRUE(CpuDb().ProcessorPorts.test(4));

  // The first record must be "51"; a failed definition leaves no database behind.
  EXPECT_NE(run("X=" + def("b.def")), 0);
  EXPECT_NE(run("51=" + def("bad.def")), 0);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace dorvik
