// The program loader on the simulator target: HEX and object files through
// the file pass, the transfer and the finishing stage; the options; damaged
// files leaving the target as it was; the stack question; the transfer range
// and record size a target is handed; the monitor records and ADuC packets.

#include "loader/loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../assembler/asm_test_util.h"
#include "../support/sim_fixture.h"
#include "../support/scripted_user.h"
#include "../support/simulator_forwarder.h"
#include "access/programload.h"
#include "base/hexrecord.h"
#include "project/project.h"
#include "debugger/breakpoints.h"
#include "debugger/memcmds.h"
#include "lang/collections.h"
#include "lang/formatting.h"
#include "objfiles/listmap.h"
#include "platform/dialogs.h"
#include "project/projectfile.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;
namespace tu = as::testutil;

// A HEX file of records (address, bytes) and the end record.
std::string Hex(std::initializer_list<std::pair<uint16_t, std::vector<uint8_t>>> records) {
  std::string text;
  for (const auto& [address, bytes] : records) text += HexRecordText(address, kHexTypeData, bytes) + "\r\n";
  return text + ":00000001FF\r\n";
}

class LoaderTest : public testing::SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    platform::SetDialogUi(&dialogs_);
    dir_ = tu::ScratchDir("load");
  }
  void TearDown() override {
    platform::SetDialogUi(nullptr);
    SimFixture::TearDown();
  }

  bool Load(const std::string& name, const std::string& content) {
    tu::WriteFile(dir_ / name, content);
    return LoadFile(dir_ / name);
  }
  bool LoadFile(const fs::path& path) {
    Loader().LoadFileName = path.string();
    return LoadProgramFile();
  }
  // The captions and texts of the boxes shown, one string each.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> out;
    for (const auto& b : boxes_.Shown()) out.push_back(b.Caption + ": " + b.Text);
    return out;
  }
  bool Shown(const std::string& prefix) const {
    const auto boxes = Boxes();
    return std::any_of(boxes.begin(), boxes.end(), [&](const std::string& b) { return b.rfind(prefix, 0) == 0; });
  }
  // The example program assembled into the scratch folder, which is its project.
  fs::path AssembleExample() {
    fs::copy_file(fs::path(DORVIK_SOURCE_DIR) / "examples/sum/sum.a51", dir_ / "sum.a51");
    const auto run = tu::AssembleAt(dir_ / "sum.a51", "OBJECT DEBUG PRINT");
    UseProgramFolderAsProject((dir_ / "sum.obj").string());
    return dir_ / "sum.obj";
  }

  platform::ScriptedDialogs dialogs_;
  fs::path dir_;
};

TEST_F(LoaderTest, HexFileFillsCodeSetsPcAndReportsTheLastAddressInTheRadix) {
  for (const uint8_t radix : {16, 10}) {
    testing::ResetMachine();
    boxes_.Clear();
    Formatting().DisplayRadix = radix;
    // The LJMP alone at the reset address names the start; there the stack
    // search passes MOV P0,#0FFH and MOV A,#81H and takes MOV SP,#2FH.
    ASSERT_TRUE(Load("p.hex", Hex({{0x0000, {0x02, 0x01, 0x2F}},
                                   {0x012F, {0x75, 0x80, 0xFF, 0x74, 0x81, 0x75, 0x81, 0x2F}}})));
    EXPECT_EQ(Images().CodeImage[0x12F], 0x75);
    EXPECT_EQ(dorvik::Run().CurrentPC, 0x12Fu);
    EXPECT_EQ(MemCmds().StackBase, 0x2F);
    const std::string last = radix == 16 ? "0136" : "00310";
    EXPECT_EQ(Boxes().front(), "Information: Load succesful, last address used " + last);
    EXPECT_EQ(boxes_.Shown().front().Icon, platform::BoxIcon::Information);
    // A HEX file has no symbols: source-level debugging stays off.
    EXPECT_TRUE(Shown("Warning #2:"));
    EXPECT_FALSE(ListMap().SourceLevelDebugging);
  }
}

TEST_F(LoaderTest, DamagedFilesLeaveTheTargetAsItWas) {
  // The code there jumps to 5A5AH; the program counter stays on 0050H.
  std::fill(Images().CodeImage.begin(), Images().CodeImage.end(), uint8_t{0x5A});
  Images().CodeImage[0] = 0x02;
  TargetSetRegister(tok::kPC, 0x50);
  std::string hex = Hex({{0x0000, {0x74, 0x01}}, {0x0010, {0x04}}});
  hex[hex.find("\r\n") - 1] ^= 1;  // the first record's checksum
  EXPECT_FALSE(Load("bad.hex", hex));
  EXPECT_TRUE(Shown("Error #119:"));

  // An object file whose first content record's checksum is wrong: 122, and no success.
  std::string object = tu::ReadFile(AssembleExample());
  size_t at = 0;
  while (static_cast<uint8_t>(object[at]) != 0x06) at += 3 + (static_cast<uint8_t>(object[at + 1]) | static_cast<uint8_t>(object[at + 2]) << 8);
  object[at + 2 + (static_cast<uint8_t>(object[at + 1]) | static_cast<uint8_t>(object[at + 2]) << 8)] ^= 0x40;
  EXPECT_FALSE(Load("bad.obj", object));
  EXPECT_TRUE(Shown("Error #122:"));
  EXPECT_FALSE(Load("bad.bin", std::string("\x03\x00\x00", 3)));
  EXPECT_TRUE(Shown("Error #121:"));
  // A folder, and a file far larger than any program, are refused unread.
  fs::create_directory(dir_ / "folder.hex");
  EXPECT_FALSE(LoadFile(dir_ / "folder.hex"));
  EXPECT_TRUE(Shown("Error #402: Cannot open file " + (dir_ / "folder.hex").string() + " (Is a directory)"));
  tu::WriteFile(dir_ / "big.hex", ":");
  fs::resize_file(dir_ / "big.hex", uintmax_t{1} << 30);
  EXPECT_FALSE(LoadFile(dir_ / "big.hex"));
  EXPECT_TRUE(Shown("Error #403: Error reading file " + (dir_ / "big.hex").string() + " (File too large)"));

  EXPECT_FALSE(Shown("Information:"));
  EXPECT_EQ(TargetRegisterValue(tok::kPC), 0x50);
  Images().CodeImage[0] = 0x5A;
  EXPECT_TRUE(std::all_of(Images().CodeImage.begin(), Images().CodeImage.end(), [](uint8_t b) { return b == 0x5A; }));
  EXPECT_EQ(Collections().SymbolTable, std::nullopt);
}

TEST_F(LoaderTest, ObjectFileBringsCodeSymbolsAndSourceLines) {
  const fs::path object = AssembleExample();
  ASSERT_TRUE(LoadFile(object));
  const auto hex = tu::HexToMemory(tu::ReadFile(dir_ / "sum.hex"));
  for (const auto& [address, byte] : hex) ASSERT_EQ(Images().CodeImage[address], byte) << address;
  EXPECT_EQ(dorvik::Run().CurrentPC, 0x30u);  // the LJMP at the reset address
  EXPECT_EQ(MemCmds().StackBase, 0x5F);
  EXPECT_TRUE(Loader().ProjectLoaded);
  EXPECT_TRUE(ListMap().SourceLevelDebugging);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Information: Load succesful, last address used 004D"});
}

// A file that cannot be read, or a program the target refuses (code past
// 64K), sends nothing: the program loaded before keeps its symbols, modules,
// source lines, range and breakpoints, and nothing asks about them.
TEST_F(LoaderTest, ARefusedLoadLeavesTheProgramBeforeWhole) {
  ASSERT_TRUE(LoadFile(AssembleExample()));
  tBreak& bp = Breakpoints().BreakTable[0];
  SetBreakpointAt(bp, 0x3E, false);
  ASSERT_EQ(bp.Location, ":SUM#17");
  const size_t symbols = Collections().SymbolTable->Items.size();
  const uint16_t lowest = Loader().LowestAddress;
  const uint32_t highest = Loader().HighestAddress;
  std::string damaged = Hex({{0x0000, {0x74, 0x01}}});
  damaged[damaged.find("\r\n") - 1] ^= 1;
  const std::pair<const char*, std::string> refused[] = {
      {"Error #164:", Hex({{0xFFF0, std::vector<uint8_t>(32, 0xEE)}})}, {"Error #119:", damaged}};
  for (const auto& [error, content] : refused) {
    SCOPED_TRACE(error);
    boxes_.Clear();
    EXPECT_FALSE(Load("refused.hex", content));
    EXPECT_TRUE(Shown(error));
    EXPECT_FALSE(Shown("Warning"));
    ASSERT_TRUE(Collections().SymbolTable && Collections().ModuleTable);
    EXPECT_EQ(Collections().SymbolTable->Items.size(), symbols);
    const auto& modules = Collections().ModuleTable->Items;
    EXPECT_TRUE(std::any_of(modules.begin(), modules.end(), [](const tModuleItem& m) { return m.Name == "SUM"; }));
    EXPECT_TRUE(ListMap().SourceLevelDebugging);
    EXPECT_TRUE(Loader().ProjectLoaded);
    EXPECT_EQ(Loader().LowestAddress, lowest);
    EXPECT_EQ(Loader().HighestAddress, highest);
    EXPECT_TRUE(bp.Used && bp.Address == 0x3E && bp.Location == ":SUM#17");
    EXPECT_EQ(Images().CodeImage[0x3E], 0xDE);  // DJNZ R6
  }
}

// The load dialog's face is reached through the user seam: the addresses
// loaded, the Load button shown after a load with code, the dialog hidden at
// the end, also after a damaged file.
TEST_F(LoaderTest, TheLoadDialogsFaceGoesThroughTheUserSeam) {
  testing::ScriptedUser user;
  ASSERT_TRUE(Load("p.hex", Hex({{0x0000, {0x02, 0x01, 0x2F}}, {0x012F, {0x75, 0x81, 0x2F}}})));
  ASSERT_FALSE(user.LoadAddresses.empty());
  EXPECT_EQ(user.LoadAddresses.front(), "Load address 00000");
  EXPECT_EQ(user.LoadButtonShows, 1);
  EXPECT_EQ(user.LoadDialogHides, 1);
  std::string hex = Hex({{0x0000, {0x74, 0x01}}});
  hex[hex.find("\r\n") - 1] ^= 1;
  EXPECT_FALSE(Load("bad.hex", hex));
  EXPECT_EQ(user.LoadButtonShows, 1);
  EXPECT_EQ(user.LoadDialogHides, 2);
}

TEST_F(LoaderTest, OptionsChooseWhatIsLoaded) {
  const fs::path object = AssembleExample();
  LoaderOptions& o = Project().Loader;
  o.LoadCode = o.LoadLines = o.LoadSymbols = false;
  EXPECT_FALSE(LoadFile(object));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Warning #35: Nothing to do. Configure load params by (un)checking some boxes."});

  // Symbols only: nothing reaches the target.
  boxes_.Clear();
  o.LoadSymbols = true;
  EXPECT_TRUE(LoadFile(object));
  EXPECT_EQ(Images().CodeImage[0x30], 0x00);
  EXPECT_TRUE(Loader().ProjectLoaded);
  EXPECT_GT(Collections().SymbolTable->Count(), 0);
  EXPECT_TRUE(Shown("Warning #38:"));  // no lines: no source-level debugging
  EXPECT_FALSE(ListMap().SourceLevelDebugging);
}

TEST_F(LoaderTest, StackQuestionIsAskedAgainUntilTheAnswerIsANumber) {
  dialogs_.InputReplies = {{platform::DialogAction::Ok, "zz"}, {platform::DialogAction::Ok, "20H"}};
  ASSERT_TRUE(Load("p.hex", Hex({{0x0000, {0x00, 0x00, 0x00}}})));
  ASSERT_EQ(dialogs_.InputsShown.size(), 2u);
  EXPECT_EQ(dialogs_.InputsShown[0].Caption, "Please, enter STACK value.");
  EXPECT_EQ(dialogs_.InputsShown[1].Text, "07H");
  EXPECT_EQ(MemCmds().StackBase, 0x20);

  const std::pair<const char*, int> answers[] = {{"07H", 7}, {"0ffh", 255}, {"32", 32}, {" 1AH ", 26},
                                                 {"1A", -1}, {"", -1},      {"H", -1},  {"123456", -1}};
  for (const auto& [text, want] : answers) {
    uint16_t value = 0;
    EXPECT_EQ(ParseStackText(text, value) ? value : -1, want) << text;
  }
}

TEST_F(LoaderTest, AppendKeepsTheCodeBesideTheLoadedBytes) {
  for (const bool append : {false, true}) {
    std::fill(Images().CodeImage.begin(), Images().CodeImage.end(), uint8_t{0x11});
    Project().Loader.LoadAppend = append;
    // A vector and code in the next page: the program between them stays with Append.
    ASSERT_TRUE(Load("p.hex", Hex({{0x0003, {0x02, 0x01, 0x05}}, {0x0105, {1, 2, 3}}})));
    EXPECT_EQ(Images().CodeImage[0x0003], 0x02);
    EXPECT_EQ(Images().CodeImage[0x0105], 1);
    EXPECT_EQ(Images().CodeImage[0x0040], append ? 0x11 : 0xFF);  // a fresh load replaces the pages
    EXPECT_EQ(Images().CodeImage[0x0104], append ? 0x11 : 0xFF);
    EXPECT_EQ(Images().CodeImage[0x0108], append ? 0x11 : 0xFF);
    EXPECT_EQ(Images().CodeImage[0x0200], 0x11);
  }
  Project().Loader.LoadAppend = false;
}

// Records what a load hands to the target.
class RecordingTarget : public testing::SimulatorForwarder {
 public:
  ProgramMemoryLimit ProgramMemory() const override { return Limit; }
  TransferResult TransferProgram(const ProgramTransfer& t) override {
    Sent.push_back({t.Lowest, t.Highest, t.MaxRecord});
    return Result;
  }
  struct Range {
    uint16_t Lowest, Highest, MaxRecord;
    bool operator==(const Range&) const = default;
  };
  ProgramMemoryLimit Limit;
  TransferResult Result = TransferResult::Done;
  std::vector<Range> Sent;
};

TEST_F(LoaderTest, TargetGetsTheRangeAndRecordSizeOfItsFamilyWithinItsMemory) {
  RecordingTarget target;
  SetBackendForTesting(kTargetSimulator, &target);
  const std::string program = Hex({{0x0105, {1, 2, 3}}});
  Target().CpuFamily = kFamilyAduc;  // whole pages
  EXPECT_TRUE(Load("p.hex", program));
  Target().CpuFamily = 1;
  EXPECT_TRUE(Load("p.hex", program));
  Target().CpuFamily = kFamilyOther;  // the record size of family 1 does not stay
  EXPECT_TRUE(Load("p.hex", program));
  using R = RecordingTarget::Range;
  EXPECT_EQ(target.Sent, (std::vector<R>{{0x0100, 0x01FF, 128}, {0x0105, 0x0107, 32}, {0x0105, 0x0107, 128}}));

  target.Limit = {.End = 0xE000, .SizeText = "56", .AbortWhenTooLong = true};
  EXPECT_TRUE(Load("p.hex", Hex({{0xDFFF, {0}}})));
  boxes_.Clear();
  EXPECT_FALSE(Load("p.hex", Hex({{0xE000, {0}}})));
  EXPECT_EQ(Boxes().front(),
            "Error #164: Object code too long (over 56k), recode the source file to allow debugging.");
  EXPECT_EQ(target.Sent.size(), 4u);
  // The ADuC's flash and the simulator's 64K, each by its last address; nothing is sent.
  target.Limit = {.End = 0xF800, .SizeText = "62"};
  EXPECT_TRUE(Load("p.hex", Hex({{0xF7FF, {0}}})));
  boxes_.Clear();
  EXPECT_FALSE(Load("p.hex", Hex({{0xF7FF, {0, 0}}})));
  EXPECT_EQ(Boxes().front(), "Error #164: Object code too long (over 62k), recode the source file to allow debugging.");
  target.Limit = {};
  boxes_.Clear();
  EXPECT_FALSE(Load("p.hex", Hex({{0xFFF0, std::vector<uint8_t>(32, 0xEE)}})));
  EXPECT_EQ(Boxes().front(), "Error #164: Object code too long (over 64k), recode the source file to allow debugging.");
  EXPECT_EQ(target.Sent.size(), 5u);

  // A transfer that failed has reported why: no success, no stack question, no other box.
  boxes_.Clear();
  dialogs_.InputsShown.clear();
  target.Result = TransferResult::Failed;
  EXPECT_FALSE(Load("p.hex", Hex({{0x0000, {0, 0, 0}}})));
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_TRUE(dialogs_.InputsShown.empty());
  SetBackendForTesting(kTargetSimulator, nullptr);
}

TEST(ProgramTransferTest, MonitorRecordsAndAducPackets) {
  std::vector<uint8_t> image(kProgramImageSize, 0xFF);
  for (size_t i = 0; i < 70; ++i) image[0x100 + i] = static_cast<uint8_t>(i);
  const std::span<const uint8_t, kProgramImageSize> all(image.data(), kProgramImageSize);
  const std::string records = MonitorLoadRecords(all, 0x100, 0x145, 32, false);
  std::string want;
  for (uint16_t at = 0x100; at <= 0x145; at = static_cast<uint16_t>(at + 32))
    want += HexRecordText(at, 0, std::span(image).subspan(at, std::min(32, 0x146 - at))) + "\r\n";
  EXPECT_EQ(records, want);
  EXPECT_EQ(MonitorLoadRecords(all, 0x100, 0x101, 128, true), ":02010000FFFFFF\r\n");

  const auto packet = AducPagePacket(1, all.subspan<0x100, kAducPageSize>());
  ASSERT_EQ(packet.size(), 3 + kAducPageSize + 1);
  EXPECT_EQ(packet[0], 0x07);
  EXPECT_EQ(packet[1], 'Q');
  uint8_t sum = 0;
  for (size_t i = 2; i < packet.size(); ++i) sum = static_cast<uint8_t>(sum + packet[i]);
  EXPECT_EQ(sum, 0);
}

}  // namespace
}  // namespace dorvik
