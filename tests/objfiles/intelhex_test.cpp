// Intel HEX reading into a load image and saving of code memory: the record
// rules, every fault refused before anything reaches the caller's image, round
// trips with the assembler's HEX output and with the saver, damaged files, and
// a save that fails halfway leaving the old file as it was.

#include "objfiles/intelhex.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "access/backend.h"
#include "tests/assembler/asm_test_util.h"
#include "tests/platform/scratch_dir.h"
#include "tests/support/simulator_forwarder.h"
#include "tests/support/sim_fixture.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;
using test_util::ReadAll;
using test_util::ScratchDir;

const fs::path kGolden = fs::path(DORVIK_SOURCE_DIR) / "tests" / "assembler" / "data";

// A load image between two guard areas that no read may touch.
class GuardedImage {
 public:
  explicit GuardedImage(uint8_t fill = 0x5A) : bytes_(kGuard + kHexImageSize + kGuard, kGuardByte) {
    std::fill(bytes_.begin() + kGuard, bytes_.begin() + kGuard + kHexImageSize, fill);
  }
  HexImage Span() { return HexImage(bytes_.data() + kGuard, kHexImageSize); }
  uint8_t operator[](size_t at) const { return bytes_[kGuard + at]; }
  std::vector<uint8_t> Contents() const {
    return std::vector<uint8_t>(bytes_.begin() + kGuard, bytes_.begin() + kGuard + kHexImageSize);
  }
  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (bytes_[i] != kGuardByte || bytes_[kGuard + kHexImageSize + i] != kGuardByte) return false;
    return true;
  }

 private:
  static constexpr size_t kGuard = 256;
  static constexpr uint8_t kGuardByte = 0xC3;
  std::vector<uint8_t> bytes_;
};

std::string Record(uint16_t address, uint8_t type, std::vector<uint8_t> data) {
  return HexRecordText(address, type, data) + "\r\n";
}
const std::string kEnd = std::string(kHexEndRecordText) + "\r\n";

// 0FFH everywhere but at the bytes given.
std::vector<uint8_t> FreshImage(const std::map<uint32_t, uint8_t>& bytes) {
  std::vector<uint8_t> image(kHexImageSize, 0xFF);
  for (const auto& [address, value] : bytes) image.at(address) = value;
  return image;
}

class IntelHexTest : public testing::SimFixture {
 protected:
  // Reads Text as file "t.hex"; the image starts as 5AH throughout.
  bool Read(const std::string& text, HexMemory memory = HexMemory::Code, const HexProgress& progress = {}) {
    Messages().ErrorFlag = false;
    boxes_.Clear();
    return ReadHexText(text, "t.hex", memory, image_.Span(), info_, progress);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : boxes_.Shown()) texts.push_back(box.Text);
    return texts;
  }
  void ExpectRefused(int code, const std::string& text) {
    EXPECT_TRUE(Messages().ErrorFlag);
    EXPECT_EQ(Messages().LastErrorCode, code);
    EXPECT_EQ(Texts(), std::vector<std::string>{text});
    EXPECT_EQ(image_.Contents(), std::vector<uint8_t>(kHexImageSize, 0x5A)) << "the caller's image changed";
    EXPECT_TRUE(image_.GuardsIntact());
  }

  GuardedImage image_;
  HexLoadInfo info_;
};

// The record format

// Texts that load: the image (0FFH but at the bytes given), the start and the
// used range. Only an LJMP (02H, not RET 22H) alone in a record at 0000H names
// the start; else it is the end record's address.
TEST_F(IntelHexTest, GoodTextsLoadTheirBytesStartAndRange) {
  std::string lower = Record(0x10, 0, {0xAB, 0xCD, 0xEF, 0x01}) + kEnd;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const struct {
    std::string Text;
    std::map<uint32_t, uint8_t> Bytes;
    bool StartFound;
    uint16_t Start, Lowest;
    uint32_t Highest;
  } cases[] = {
      {":0300000002012FCB\r\n:00000001FF\r\n", {{0, 0x02}, {1, 0x01}, {2, 0x2F}}, true, 0x012F, 0, 2},
      {Record(0, 0, {0x22, 0x01, 0x2F}) + Record(0x0040, 1, {}), {{0, 0x22}, {1, 0x01}, {2, 0x2F}}, false, 0x40, 0, 2},
      {Record(3, 0, {0x02, 0x01, 0x2F}) + Record(0, 0, {0x02, 0x01, 0x2F, 0x00}) + kEnd,
       {{0, 2}, {1, 1}, {2, 0x2F}, {3, 0}, {4, 1}, {5, 0x2F}}, false, 0, 0, 5},
      {Record(0, 0, {0x02, 0x12, 0x34}) + Record(0x0100, 1, {}), {{0, 2}, {1, 0x12}, {2, 0x34}}, true, 0x1234, 0, 2},
      {lower, {{0x10, 0xAB}, {0x11, 0xCD}, {0x12, 0xEF}, {0x13, 0x01}}, false, 0, 0x10, 0x13},
      {Record(0x0100, 0, {}) + kEnd, {}, false, 0, 0x100, 0xFF},  // an empty record moves only the highest address
      {Record(0x0010, 0, {1, 2}) + Record(0x0005, 0, {}) + kEnd, {{0x10, 1}, {0x11, 2}}, false, 0, 5, 0x11},
      // Blanks and line ends between records, text after a checksum and after the end record are skipped.
      {"\r\n :01002000558A  \n\n \t\r\n:010021006678\n" + kEnd + ":zz garbage", {{0x20, 0x55}, {0x21, 0x66}}, false, 0,
       0x20, 0x21},
      {":01002000558A ; the first byte\r\n:010021006678:010022007766\t x\n" + kEnd + " ; end",
       {{0x20, 0x55}, {0x21, 0x66}, {0x22, 0x77}}, false, 0, 0x20, 0x22},
      {Record(0xFFFE, 0, {0x11, 0x22}) + kEnd, {{0xFFFE, 0x11}, {0xFFFF, 0x22}}, false, 0, 0xFFFE, 0xFFFF},
      // Code past FFFFH is read whole and counted, none of it kept: the loader refuses it by its size.
      {Record(0, 0, {1}) + Record(0xFFFF, 0, {0x11, 0x22}) + kEnd, {{0, 1}}, false, 0, 0, 0x10000},
      {Record(0xFFF0, 0, std::vector<uint8_t>(32, 0xEE)) + kEnd, {}, false, 0, 0xFFF0, 0x1000F},
      {Record(0xFFFF, 0, std::vector<uint8_t>(255, 0xEE)) + kEnd, {}, false, 0, 0xFFFF, 0x100FD},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Text.substr(0, 60));
    ASSERT_TRUE(Read(k.Text));
    EXPECT_EQ(image_.Contents(), FreshImage(k.Bytes));
    EXPECT_TRUE(image_.GuardsIntact());
    EXPECT_EQ(info_.StartFound, k.StartFound);
    EXPECT_EQ(info_.StartAddress, k.Start);
    EXPECT_EQ(info_.LowestAddress, k.Lowest);
    EXPECT_EQ(info_.HighestAddress, k.Highest);
    EXPECT_FALSE(Messages().ErrorFlag);
    EXPECT_TRUE(boxes_.Shown().empty());
  }
}

// Faults (tests/objfiles/data/hex_refused.txt): refused whole with the
// number of the faulty line, the caller's image untouched.
TEST_F(IntelHexTest, FaultyTextsAreRefusedWhole) {
  std::ifstream in(std::string(DORVIK_SOURCE_DIR) + "/tests/objfiles/data/hex_refused.txt");
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    ++cases;
    SCOPED_TRACE(line.substr(0, 60));
    const size_t memoryEnd = line.find(' ', line.find(' ') + 1);
    std::string text;
    for (size_t i = memoryEnd + 1; i < line.size(); ++i) {
      if (line[i] != '\\' || ++i == line.size()) text += line[i];
      else text += line[i] == 'r' ? '\r' : line[i] == 'n' ? '\n' : line[i] == 't' ? '\t' : line[i];
    }
    const int faulty = std::stoi(line);
    EXPECT_FALSE(Read(text, line.find(" xdata ") == line.find(' ') ? HexMemory::XData : HexMemory::Code));
    if (faulty == 0) {
      ExpectRefused(err::kFileNotValidObjectFile, "File t.hex is not valid object file");
    } else {
      ExpectRefused(err::kFileNotCorrectHexFile, "File t.hex:" + std::to_string(faulty) + " is not correct HEX file");
    }
  }
  EXPECT_GE(cases, 26);
  // What the pass had found before the fault is still told, for the program counter.
  EXPECT_FALSE(Read(Record(0, 0, {0x02, 0x01, 0x00}) + Record(0x100, 0, {1}) + ":02020000ZZ11CC\r\n" + kEnd));
  EXPECT_TRUE(info_.StartFound);
  EXPECT_EQ(info_.StartAddress, 0x0100);
}

TEST_F(IntelHexTest, ACancelAfterARecordEndsTheLoadWithError120) {
  std::vector<uint16_t> shown;
  const HexProgress cancelSecond = [&shown](uint16_t address) {
    shown.push_back(address);
    return shown.size() < 2;
  };
  EXPECT_FALSE(Read(Record(0x10, 0, {1}) + Record(0x20, 0, {2}) + Record(0x30, 0, {3}) + kEnd, HexMemory::Code,
                    cancelSecond));
  ExpectRefused(err::kErrorWhileFile, "Error while loading file t.hex, processing aborted by the user");
  EXPECT_EQ(shown, (std::vector<uint16_t>{0x10, 0x20}));
}

// External data

TEST_F(IntelHexTest, XDataRecordsGoOverTheImageAndKeepTheRest) {
  ASSERT_TRUE(Read(Record(0, 0, {0x02, 0x12, 0x34}) + Record(0x8000, 0, {0xAA}) + kEnd, HexMemory::XData));
  std::vector<uint8_t> expected(kHexImageSize, 0x5A);
  expected[0] = 0x02, expected[1] = 0x12, expected[2] = 0x34, expected[0x8000] = 0xAA;
  EXPECT_EQ(image_.Contents(), expected);
  // Data are not code: no start from them and no code range.
  EXPECT_FALSE(info_.StartFound);
  EXPECT_EQ(info_.LowestAddress, 0xFFFF);
  EXPECT_EQ(info_.HighestAddress, 0x8000);
}

TEST_F(IntelHexTest, AnXDataLoadFillsTheSimulatorsImageAndNeverCodeMemory) {
  Images().CodeImage.fill(0x11);
  Images().XDataImage.fill(0x22);
  ASSERT_TRUE(LoadHexXData(Record(0x0100, 0, {1, 2}) + kEnd, "x.hex", info_));
  EXPECT_EQ(Images().XDataImage[0x0100], 1);
  EXPECT_EQ(Images().XDataImage[0x0101], 2);
  EXPECT_EQ(Images().XDataImage[0x0102], 0x22);
  for (uint8_t b : Images().CodeImage) ASSERT_EQ(b, 0x11);
}

TEST_F(IntelHexTest, AnXDataLoadOnATargetWithoutLocalImagesChecksTheFileAndStoresNothing) {
  dorvik::Run().TargetKind = kTargetMonitor;
  Images().XDataImage.fill(0x22);
  EXPECT_TRUE(LoadHexXData(Record(0x0100, 0, {1, 2}) + kEnd, "x.hex", info_));
  EXPECT_EQ(info_.HighestAddress, 0x0101);
  EXPECT_FALSE(LoadHexXData(Record(0x0100, 0, {1, 2}), "x.hex", info_));
  EXPECT_EQ(Messages().LastErrorCode, err::kFileNotValidObjectFile);
  for (uint8_t b : Images().XDataImage) ASSERT_EQ(b, 0x22);
}

// Files

TEST_F(IntelHexTest, AFileThatCannotBeReadIsReportedWithItsCode) {
  ScratchDir dir;
  EXPECT_FALSE(ReadHexFile(dir.File("missing.hex"), HexMemory::Code, image_.Span(), info_));
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Error loading file " + dir.File("missing.hex") + " (2)."});
  EXPECT_EQ(image_.Contents(), std::vector<uint8_t>(kHexImageSize, 0x5A));
}

// Round trips with the assembler's HEX output: every golden HEX file reads
// into the image its object module's content records hold (where the
// assembly wrote one), and into the bytes its records name; a file without an
// end record (the output stops at a relocatable segment) is refused.
TEST_F(IntelHexTest, TheAssemblersGoldenHexFilesReadBackIntoTheSameCodeImage) {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kGolden)) {
    if (entry.path().extension() != ".hex") continue;
    ++files;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string text = ReadAll(entry.path().string());
    bool endSeen = false;
    const std::map<uint32_t, uint8_t> records = as::testutil::HexToMemory(text, &endSeen);
    const bool read = Read(text);
    if (!endSeen) {
      EXPECT_FALSE(read);
      EXPECT_EQ(Messages().LastErrorCode, err::kFileNotValidObjectFile);
      continue;
    }
    ASSERT_TRUE(read) << (Texts().empty() ? "" : Texts()[0]);
    EXPECT_EQ(image_.Contents(), FreshImage(records));
    EXPECT_EQ(info_.LowestAddress, records.begin()->first);
    EXPECT_EQ(info_.HighestAddress, records.rbegin()->first);

    const fs::path object = fs::path(entry.path()).replace_extension(".obj");
    if (!fs::exists(object)) continue;
    std::map<uint32_t, uint8_t> content;
    for (const auto& r : as::testutil::ObjRecords(ReadAll(object.string()))) {
      if (r.Type != 0x06) continue;
      const uint32_t offset = r.Content.at(1) | r.Content.at(2) << 8;
      for (size_t i = 3; i < r.Content.size(); ++i) content[offset + i - 3] = r.Content[i];
    }
    EXPECT_EQ(image_.Contents(), FreshImage(content)) << "against " << object.filename();
  }
  EXPECT_GE(files, 8);
}

// Damaged files: each byte changed three ways, and the file cut at every
// length. Each gives a clear error or the same image; no write outside it.
TEST_F(IntelHexTest, EveryByteFlippedAndEveryCutGivesAnErrorOrTheSameImage) {
  const std::string good = ReadAll((kGolden / "directives.hex").string());
  ASSERT_TRUE(Read(good));
  const std::vector<uint8_t> loaded = image_.Contents();
  const auto check = [&](const std::string& text, const std::string& what) {
    image_ = GuardedImage();
    const bool read = Read(text);
    ASSERT_TRUE(image_.GuardsIntact()) << what;
    if (read) {
      ASSERT_EQ(image_.Contents(), loaded) << what;
      ASSERT_FALSE(Messages().ErrorFlag) << what;
      return;
    }
    ASSERT_TRUE(Messages().ErrorFlag) << what;
    ASSERT_TRUE(Messages().LastErrorCode == err::kFileNotCorrectHexFile ||
                Messages().LastErrorCode == err::kFileNotValidObjectFile)
        << what;
    ASSERT_EQ(boxes_.Shown().size(), 1u) << what;
    ASSERT_EQ(image_.Contents(), std::vector<uint8_t>(kHexImageSize, 0x5A)) << what;
  };
  int refused = 0;
  for (size_t at = 0; at < good.size(); ++at) {
    for (uint8_t mask : {0x01, 0x20, 0xFF}) {
      std::string bad = good;
      bad[at] = static_cast<char>(bad[at] ^ mask);
      check(bad, "byte " + std::to_string(at) + " ^ " + std::to_string(mask));
      if (HasFailure()) return;
      refused += Messages().ErrorFlag;
    }
  }
  // Only line ends changed into other blanks, digits changed in case and the
  // end record's line end may pass: nearly every change is refused.
  EXPECT_GT(refused, static_cast<int>(2 * good.size()));
  for (size_t length = 0; length < good.size() && !HasFailure(); ++length)
    check(good.substr(0, length), "cut " + std::to_string(length));
}

// Saving

// A target whose code memory is the simulator's, read in blocks of ReadChunk;
// a read numbered FailAt fails (reporting 103 itself when Reports).
class BlockTarget final : public testing::SimulatorForwarder {
 public:
  TargetCapabilities Capabilities() const override {
    TargetCapabilities caps = Sim().Capabilities();
    caps.ReadChunk = ReadChunk;
    return caps;
  }
  bool ReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out) override {
    Reads.push_back({addr, static_cast<int32_t>(out.size())});
    if (static_cast<int>(Reads.size()) == FailAt) {
      if (Reports) ReportError(err::kReceiveTimeout);
      return false;
    }
    return Sim().ReadBytes(space, addr, out);
  }

  int32_t ReadChunk = 128;
  int FailAt = 0;
  bool Reports = false;
  std::vector<std::pair<int32_t, int32_t>> Reads;  // address, count
};

class SaveHexTest : public IntelHexTest {
 protected:
  void SetUp() override {
    IntelHexTest::SetUp();
    SetBackendForTesting(kTargetSimulator, &target_);
    for (size_t a = 0; a < kHexImageSize; ++a) Images().CodeImage[a] = static_cast<uint8_t>(a * 7 + (a >> 8));
    CodeImageChanged();
    path_ = dir_.File("out.hex");
  }
  void TearDown() override {
    SetBackendForTesting(kTargetSimulator, nullptr);
    IntelHexTest::TearDown();
  }
  bool Save(int32_t start, int32_t length, const HexProgress& progress = {}) {
    boxes_.Clear();
    return SaveHexFile(path_, start, length, progress);
  }
  // The old file stays as it was and no temporary file is left beside it.
  void ExpectOldFileKept(const std::string& old) {
    EXPECT_EQ(ReadAll(path_), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1);
  }

  BlockTarget target_;
  ScratchDir dir_;
  std::string path_;
};

TEST_F(SaveHexTest, ARangeIsCutIntoRecordsOf16BytesPerBlockThenTheEndRecord) {
  for (int32_t chunk : {128, 16}) {
    target_.ReadChunk = chunk;
    ASSERT_TRUE(Save(0x0000, 0x23));
    const auto& code = Images().CodeImage;
    const auto bytes = [&code](size_t from, size_t n) { return std::vector<uint8_t>(&code[from], &code[from + n]); };
    EXPECT_EQ(ReadAll(path_), Record(0x0000, 0, bytes(0, 16)) + Record(0x0010, 0, bytes(16, 16)) +
                                  Record(0x0020, 0, bytes(32, 3)) + ":00000001FF\r\n")
        << chunk;
  }
  EXPECT_EQ(target_.Reads.back(), (std::pair<int32_t, int32_t>{0x20, 3}));
  EXPECT_EQ(Record(0, 0, {0x02, 0x01, 0x2F}), ":0300000002012FCB\r\n");
}

TEST_F(SaveHexTest, TheWholeCodeMemorySavedReadsBackIntoTheSameImage) {
  ASSERT_TRUE(Save(0, 0x10000));
  ASSERT_TRUE(ReadHexFile(path_, HexMemory::Code, image_.Span(), info_));
  EXPECT_TRUE(std::equal(Images().CodeImage.begin(), Images().CodeImage.end(), image_.Contents().begin()));
  EXPECT_EQ(info_.LowestAddress, 0x0000);
  EXPECT_EQ(info_.HighestAddress, 0xFFFF);
  EXPECT_EQ(target_.Reads.size(), 512u);
}

TEST_F(SaveHexTest, ARangeIsCutAtFFFFH) {
  ASSERT_TRUE(Save(0xFFF0, 0x100));
  const auto& code = Images().CodeImage;
  EXPECT_EQ(ReadAll(path_), Record(0xFFF0, 0, std::vector<uint8_t>(&code[0xFFF0], &code[0xFFF0] + 16)) + kEnd);
  ASSERT_TRUE(Save(0, 0));
  EXPECT_EQ(ReadAll(path_), kEnd);
}

TEST_F(SaveHexTest, NothingIsWrittenWhileTheProgramRuns) {
  dir_.Write("out.hex", "old");
  dorvik::Run().ProgramRunning = true;
  EXPECT_FALSE(Save(0, 16));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Command form not allowed during user program run"});
  EXPECT_FALSE(Messages().ErrorFlag);
  ExpectOldFileKept("old");
  EXPECT_TRUE(target_.Reads.empty());
}

TEST_F(SaveHexTest, AReadThatGivesNothingEndsTheSaveWithOneReport) {
  dir_.Write("out.hex", "old");
  target_.FailAt = 3;
  EXPECT_FALSE(Save(0, 0x1000));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Target device is not responding"});
  EXPECT_EQ(target_.Reads.size(), 3u);
  ExpectOldFileKept("old");
  EXPECT_FALSE(dorvik::Run().TargetBusy);
}

TEST_F(SaveHexTest, AReadFailureTheLinkReportedIsNotReportedAgain) {
  dir_.Write("out.hex", "old");
  target_.FailAt = 1;
  target_.Reports = true;
  EXPECT_FALSE(Save(0, 0x1000));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Receiv timeout"});
  ExpectOldFileKept("old");
}

TEST_F(SaveHexTest, WithoutATargetNothingIsReadAndTheSaveFailsOnce) {
  SetBackendForTesting(kTargetSimulator, nullptr);
  dorvik::Run().TargetKind = kTargetNone;
  EXPECT_FALSE(Save(0, 0x100));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Target device is not responding"});
  EXPECT_FALSE(fs::exists(path_));
  EXPECT_TRUE(fs::is_empty(dir_.Path()));
}

TEST_F(SaveHexTest, AWriteErrorEndsTheSaveWithOneReportAndNoEndRecord) {
  dir_.Write("out.hex", "old");
  // The file may grow to 1000 bytes: a full disk in small.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  rlimit small = limit;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = Save(0, 0x1000);
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(saved);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Error writting to file " + path_ + " (" + std::to_string(EFBIG) + ")."});
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_LT(target_.Reads.size(), 32u) << "the save went on after the write error";
  ExpectOldFileKept("old");
}

TEST_F(SaveHexTest, AFileThatCannotBeCreatedIsReportedAndNothingIsRead) {
  path_ = dir_.File("no/such/folder/out.hex");
  EXPECT_FALSE(Save(0, 0x100));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Error creating file " + path_ + " (" + std::to_string(ENOENT) + ")."});
  EXPECT_TRUE(target_.Reads.empty());
}

TEST_F(SaveHexTest, ACancelEndsTheSaveWithError120) {
  dir_.Write("out.hex", "old");
  std::vector<uint16_t> shown;
  EXPECT_FALSE(Save(0, 0x100, [&shown](uint16_t address) {
    shown.push_back(address);
    return address < 0x40;
  }));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Error while saving file " + path_ + ", processing aborted by the user"});
  EXPECT_EQ(shown, (std::vector<uint16_t>{0x00, 0x10, 0x20, 0x30, 0x40}));
  ExpectOldFileKept("old");
}

TEST_F(SaveHexTest, ASuccessfulSaveReplacesTheOldFileAndClearsTheFlags) {
  dir_.Write("out.hex", "old");
  Messages().WarningFlag = true;
  ASSERT_TRUE(Save(0x10, 2));
  EXPECT_EQ(ReadAll(path_), Record(0x10, 0, {Images().CodeImage[0x10], Images().CodeImage[0x11]}) + kEnd);
  EXPECT_FALSE(Messages().ErrorFlag);
  EXPECT_FALSE(Messages().WarningFlag);
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace dorvik
