// The object-module reader: files built record by record for its edge cases,
// refused and damaged files, and the built-in assembler's object modules read
// back against its HEX output and listing.

#include "objfiles/omfreader.h"

#include <gtest/gtest.h>

#include <set>
#include <fstream>
#include <sstream>

#include "assembler/objwriter.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/session.h"
#include "lang/collections.h"
#include "lang/typetext.h"
#include "platform/reporter.h"
#include "tests/assembler/asm_test_util.h"
#include "tests/platform/scratch_dir.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Record builders
std::string Rec(uint8_t type, const Bytes& content) {
  return as::ObjFrame(type, content);
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Name(const std::string& s) {
  Bytes b{static_cast<uint8_t>(s.size())};
  b.insert(b.end(), s.begin(), s.end());
  return b;
}
Bytes W(uint16_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}
std::string Content(uint16_t offset, const Bytes& data) {
  return Rec(0x06, Cat({{0}, W(offset), data}));
}
Bytes Entry(uint8_t info, uint16_t offset, const std::string& name, uint8_t type = 0) {
  return Cat({{0, info}, W(offset), {type}, Name(name)});
}
std::string Debug(uint8_t defType, std::initializer_list<Bytes> entries) {
  Bytes b{defType};
  for (const Bytes& e : entries) b.insert(b.end(), e.begin(), e.end());
  return Rec(0x12, b);
}
std::string Public(std::initializer_list<Bytes> entries) {
  return Rec(0x16, Cat(entries));
}
std::string Scope(uint8_t blockType, const std::string& name) {
  return Rec(0x10, Cat({{blockType}, Name(name)}));
}
std::string Lines(std::initializer_list<std::pair<uint16_t, uint16_t>> lines) {
  Bytes b{3};
  for (auto [offset, line] : lines) b = Cat({b, {0}, W(offset), W(line)});
  return Rec(0x12, b);
}
std::string Types(const Bytes& descriptors) {
  return Rec(0x20, descriptors);
}
// A whole module: header, the records, module end.
std::string Module(std::initializer_list<std::string> records) {
  std::string file = Rec(0x02, Cat({Name("T"), {0xFD, 0}}));
  for (const std::string& r : records) file += r;
  return file + Rec(0x04, Cat({Name("T"), {0, 0, 0, 0}}));
}

class OmfReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    platform::SetReporter(&reporter_);
    memory_.assign(kLoadImageSize + kGuard, 0xA5);
  }
  void TearDown() override {
    platform::SetReporter(nullptr);
    ResetSession();
  }

  ObjLoadResult Load(const std::string& file, ObjLoadOptions options = {}) {
    reporter_.Clear();
    ResetState<MessageState>();
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    ObjLoadResult r =
        ReadObjectModule({bytes, file.size()}, "T.OBJ", LoadImage(memory_.data(), kLoadImageSize), options);
    for (size_t i = kLoadImageSize; i < memory_.size(); ++i)
      EXPECT_EQ(memory_[i], 0xA5) << "written past the image";
    EXPECT_EQ(r.Ok, !Messages().ErrorFlag);
    if (!r.Ok) {
      EXPECT_EQ(Messages().LastErrorCode, r.ErrorCode);
    }
    return r;
  }
  bool ImageUntouched() const {
    return std::all_of(memory_.begin(), memory_.begin() + kLoadImageSize,
                       [](uint8_t b) { return b == 0xFF; });
  }
  static const tSymbolItem& Sym(int i) { return Collections().SymbolTable->Items.at(static_cast<size_t>(i)); }
  static int SymbolCount() { return Collections().SymbolTable->Count(); }

  static constexpr size_t kGuard = 64;
  std::vector<uint8_t> memory_;
  platform::ScriptedReporter reporter_;
};

// Refused files (tests/objfiles/data/omf_refused.txt): the error, one box,
// nothing stored.
TEST_F(OmfReaderTest, RefusedFilesReportTheirErrorAndWriteNothing) {
  std::ifstream in(std::string(DORVIK_SOURCE_DIR) + "/tests/objfiles/data/omf_refused.txt");
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    ++cases;
    std::istringstream fields(line);
    std::string name, hex, file;
    int error = 0;
    fields >> name >> error >> hex;
    SCOPED_TRACE(name);
    for (size_t i = 0; i + 1 < hex.size(); i += 2) file += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    const ObjLoadResult r = Load(file);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.ErrorCode, error);
    EXPECT_FALSE(r.CodeStored);
    EXPECT_EQ(reporter_.Shown().size(), 1u);
    EXPECT_TRUE(std::all_of(memory_.begin(), memory_.end(), [](uint8_t b) { return b == 0xFF || b == 0xA5; }));
  }
  EXPECT_GE(cases, 26);
}

TEST_F(OmfReaderTest, ChecksumErrorEndsTheReadBeforeTheRecordTakesEffect) {
  std::string bad = Content(0x100, {1, 2});
  bad.back() = static_cast<char>(bad.back() + 1);
  const ObjLoadResult r =
      Load(Module({Content(0x10, {9}), bad, Content(0x200, {3}), Public({Entry(0, 5, "LATE")})}));
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.ErrorCode, err::kFileChecksumError);
  EXPECT_EQ(memory_[0x10], 9);
  EXPECT_EQ(memory_[0x100], 0xFF);
  EXPECT_EQ(memory_[0x200], 0xFF);
  EXPECT_EQ(r.HighestAddress, 0x10);
  EXPECT_EQ(SymbolCount(), 0);
}

TEST_F(OmfReaderTest, ContentFillsTheImageAndTheUsedRange) {
  const ObjLoadResult r =
      Load(std::string("\x70\x02\x00\x00\x00", 5) +
           Module({Content(0x0300, {1, 2, 3, 4}), Content(0xFFFE, {5, 6}), Content(0x0120, {7})}));
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(memory_[0x0300], 1);
  EXPECT_EQ(memory_[0x0303], 4);
  EXPECT_EQ(memory_[0xFFFF], 6);
  EXPECT_EQ(memory_[0x0304], 0xFF);
  EXPECT_EQ(r.LowestAddress, 0x0120);
  EXPECT_EQ(r.HighestAddress, 0xFFFF);
  EXPECT_TRUE(r.DebugInfoLoaded);

  // Code past 0FFFFH is counted, none of its record kept: the loader refuses the program by its size.
  std::fill(memory_.begin(), memory_.begin() + kLoadImageSize, uint8_t{0xFF});
  const ObjLoadResult past = Load(Module({Content(0xFFF0, std::vector<uint8_t>(31, 0xEE))}));
  ASSERT_TRUE(past.Ok);
  EXPECT_EQ(past.HighestAddress, 0x1000Eu);
  EXPECT_FALSE(past.CodeStored);
  EXPECT_EQ(memory_[0xFFF0], 0xFF);
}

// The start address: an LJMP at the reset address, else the first content record.
struct StartCase {
  const char* Name;
  std::string File;
  bool Append;
  bool Found;
  uint16_t Start;
};

TEST_F(OmfReaderTest, StartAddressComesOnlyFromAnLjmpAtZeroOrTheFirstContent) {
  const StartCase cases[] = {
      {"LjmpAtZero", Module({Content(0, {0x02, 0x12, 0x34}), Content(0x1234, {0})}), false, true, 0x1234},
      {"LjmpWhenAppending", Module({Content(0, {0x02, 0x12, 0x34})}), true, true, 0x1234},
      {"RetAtZeroIsNoJump", Module({Content(0, {0x22, 0x12, 0x34})}), false, true, 0x0000},
      {"ThreeBytesElsewhere", Module({Content(0x40, {0x02, 0x12, 0x34})}), false, true, 0x0040},
      {"FirstContentRecord", Module({Content(0x0200, {0}), Content(0x0100, {0})}), false, true, 0x0200},
      {"AppendKeepsTheCallersStart", Module({Content(0x0200, {0})}), true, false, 0},
      {"NoContent", Module({}), false, false, 0},
  };
  for (const StartCase& k : cases) {
    ObjLoadOptions o;
    o.LoadAppend = k.Append;
    const ObjLoadResult r = Load(k.File, o);
    ASSERT_TRUE(r.Ok) << k.Name;
    EXPECT_EQ(r.StartFound, k.Found) << k.Name;
    EXPECT_EQ(r.StartAddress, k.Start) << k.Name;
  }
}

TEST_F(OmfReaderTest, WithoutLoadCodeNothingIsStoredButSymbolsAreRead) {
  ObjLoadOptions o;
  o.LoadCode = false;
  const ObjLoadResult r = Load(Module({Debug(0, {Entry(0, 0x30, "START")}), Content(0x30, {1, 2})}), o);
  ASSERT_TRUE(r.Ok);
  EXPECT_TRUE(ImageUntouched());
  EXPECT_FALSE(r.CodeStored);
  EXPECT_EQ(r.HighestAddress, 0x31);
  ASSERT_EQ(SymbolCount(), 1);
  EXPECT_EQ(Sym(0).Name, "START");
}

// Symbols: name, class, value and nesting as the collections get them.
struct Expected {
  std::string Name;
  uint8_t Class;
  uint32_t Value;
  uint8_t Nesting = 0;
};

void ExpectSymbols(const std::vector<Expected>& expected, const char* what) {
  ASSERT_EQ(Collections().SymbolTable->Count(), static_cast<int>(expected.size())) << what;
  for (size_t i = 0; i < expected.size(); ++i) {
    const tSymbolItem& s = Collections().SymbolTable->Items[i];
    EXPECT_EQ(s.Name, expected[i].Name) << what << " #" << i;
    EXPECT_EQ(s.SymClass, expected[i].Class) << what << " " << s.Name;
    EXPECT_EQ(s.Value, expected[i].Value) << what << " " << s.Name;
    EXPECT_EQ(s.Nesting, expected[i].Nesting) << what << " " << s.Name;
  }
}

struct ScopeCase {
  const char* Name;
  std::string File;
  std::vector<Expected> Symbols;
};

TEST_F(OmfReaderTest, ScopesMatchProceduresWithTheirLabels) {
  const ScopeCase cases[] = {
      {"LabelWithTheModulesName",
       Module({Scope(0, "MAIN"), Debug(0, {Entry(0, 0x40, "MAIN"), Entry(2, 0x30, "MAIN")}),
               Content(0x10, {0}), Scope(3, "MAIN")}),
       {{"MAIN", 10, 0x40}, {"MAIN", 11, 0x40}, {"MAIN", 2, 0x30}}},
      {"BlockMatchesALabelIgnoringCase",
       Module({Scope(0, "M"), Public({Entry(0, 0x50, "Work")}), Scope(1, "WORK"), Scope(4, "WORK"),
               Content(0x10, {0})}),
       {{"M", 10, 0x10}, {"Work", 0x80 | 0x20, 0x50}, {"WORK", 0x80 | 13, 0x50, 1}, {"WORK", 14, 0}}},
      {"BlockWithoutALabelTakesTheNextContent",
       Module({Scope(0, "M"), Content(0x20, {0}), Scope(1, "P"), Scope(4, "P"), Content(0x80, {0})}),
       {{"M", 10, 0x20}, {"P", 0x8D, 0x80, 1}, {"P", 0xA0, 0x80, 0}, {"P", 14, 0}}},
      {"LabelsOfAnEarlierModuleDoNotMatch",
       Module({Scope(0, "A"), Debug(0, {Entry(0, 0x60, "P")}), Scope(0, "B"), Scope(1, "P"),
               Content(0x90, {0})}),
       {{"A", 10, 0}, {"P", 0, 0x60}, {"B", 10, 0x90}, {"P", 0x8D, 0x90, 1}, {"P", 0xA0, 0x90, 0}}},
      {"TheFirstLabelOfItsNameAlsoForALaterBlock",
       Module({Scope(0, "M"), Debug(0, {Entry(0, 0x50, "W"), Entry(0, 0x60, "w")}), Scope(1, "W"), Scope(4, "W"),
               Debug(0, {Entry(0, 0x70, "V")}), Scope(1, "V"), Scope(4, "V"), Scope(1, "W"), Scope(4, "W"),
               Content(0x10, {0})}),
       {{"M", 10, 0x10}, {"W", 0x20, 0x50}, {"w", 0, 0x60}, {"W", 13, 0x50, 1}, {"W", 14, 0}, {"V", 0x20, 0x70},
        {"V", 13, 0x70, 1}, {"V", 14, 0}, {"W", 13, 0x50, 1}, {"W", 14, 0}}},
      {"TheModulesEntryOnlyByItsExactName",
       Module({Scope(0, "M"), Debug(0, {Entry(0, 0x40, "M"), Entry(0, 0x44, "m")}), Scope(1, "m"), Scope(4, "m"),
               Scope(1, "M"), Scope(4, "M"), Content(0x10, {0})}),
       {{"M", 10, 0x10}, {"M", 0x20, 0x40}, {"m", 0x20, 0x44}, {"m", 13, 0x44, 1}, {"m", 14, 0},
        {"M", 13, 0x40, 1}, {"M", 14, 0}}},
      {"SegmentAndPublicDebugItems",
       Module({Debug(1, {Entry(0xFF, 0x10, "PUB")}), Debug(2, {Entry(1, 0x20, "SEG")}),
               Debug(0, {Entry(4, 5, "B")})}),
       {{"PUB", 0xA7, 0x10}, {"SEG", 0xC1, 0x20}, {"B", 4, 5}}},
  };
  for (const ScopeCase& k : cases) {
    ASSERT_TRUE(Load(k.File).Ok) << k.Name;
    ExpectSymbols(k.Symbols, k.Name);
  }
}

TEST_F(OmfReaderTest, OptionsDecideWhichRecordsAreRead) {
  const std::string file =
      Module({Scope(0, "M"), Public({Entry(0, 1, "PUB")}), Debug(0, {Entry(0, 2, "LOC")}),
              Lines({{0x10, 7}, {0x12, 8}}), Types({0x21, 4}), Content(0x10, {0, 0, 0})});
  struct {
    bool Symbols, Lines;
    std::vector<std::string> Names;
    int Types;
  } cases[] = {
      {true, true, {"M", "PUB", "LOC", "", ""}, 1},
      {false, true, {"PUB", "", ""}, 0},  // public records are read always
      {true, false, {"M", "PUB", "LOC"}, 1},
      {false, false, {"PUB"}, 0},
  };
  for (const auto& k : cases) {
    ObjLoadOptions o;
    o.LoadSymbols = k.Symbols;
    o.LoadLines = k.Lines;
    ASSERT_TRUE(Load(file, o).Ok);
    std::vector<std::string> names;
    for (const tSymbolItem& s : Collections().SymbolTable->Items) names.push_back(s.Name);
    EXPECT_EQ(names, k.Names) << k.Symbols << k.Lines;
    EXPECT_EQ(Collections().TypeDefs->Count(), k.Types);
  }
  ASSERT_TRUE(Load(file).Ok);
  const tSymbolItem& last = Sym(SymbolCount() - 1);
  EXPECT_EQ(last.SymClass, kClassLine);
  EXPECT_EQ(last.Value, 0x12u);
  EXPECT_EQ(last.Number, 8);
}

// Module items: one per content record of a module; a module without content spans FFFFH.
TEST_F(OmfReaderTest, ModulesTakeTheirRangesFromTheContentRecords) {
  struct Item {
    std::string Name;
    uint16_t Start, Stop;
    bool Flag;
  };
  const struct {
    const char* Name;
    std::string File;
    std::vector<Item> Items;
  } cases[] = {
      {"TwoContentRecords",
       Module({Scope(0, "A"), Content(0x10, {1, 2}), Content(0x40, {3}), Scope(3, "A")}),
       {{"", 0x10, 0x11, false}, {"A", 0x40, 0x40, true}}},
      {"NoContent",
       Module({Scope(0, "A"), Scope(3, "A"), Scope(0, "B"), Content(0x50, {1})}),
       {{"A", 0xFFFF, 0xFFFF, true}, {"B", 0x50, 0x50, true}}},
      {"ClosedByBlockType2WhenItsStartIsKnown",
       Module({Scope(0, "A"), Content(0x10, {1}), Rec(0x10, {2}), Content(0x20, {1, 2, 3})}),
       {{"A", 0x10, 0x10, true}}},
      {"NoScopeRecords", Module({Content(0x10, {1})}), {}},
  };
  for (const auto& k : cases) {
    ASSERT_TRUE(Load(k.File).Ok) << k.Name;
    const auto& items = Collections().ModuleTable->Items;
    ASSERT_EQ(items.size(), k.Items.size()) << k.Name;
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].Name, k.Items[i].Name) << k.Name << i;
      EXPECT_EQ(items[i].Start, k.Items[i].Start) << k.Name << i;
      EXPECT_EQ(items[i].Stop, k.Items[i].Stop) << k.Name << i;
      EXPECT_EQ(items[i].Flag, k.Items[i].Flag) << k.Name << i;
    }
  }
}

TEST_F(OmfReaderTest, AppendKeepsTheItemsOfTheLoadBefore) {
  ASSERT_TRUE(Load(Module({Public({Entry(0, 1, "ONE")})})).Ok);
  ObjLoadOptions o;
  o.LoadAppend = true;
  ASSERT_TRUE(Load(Module({Public({Entry(0, 2, "TWO")})}), o).Ok);
  EXPECT_EQ(SymbolCount(), 2);
  ASSERT_TRUE(Load(Module({Public({Entry(0, 3, "THREE")})})).Ok);
  EXPECT_EQ(SymbolCount(), 1);
}

TEST_F(OmfReaderTest, TypeNumbersMapToTheirItems) {
  // 32: generic pointer to int, 33: tag (no item), 34: array [3][4] of type 32,
  // 35: list of an int and a bit, 36: function returning 34 with parameters 35,
  // 37: structure with members 35, 38: spaced pointer to 34.
  const Bytes descriptors = Cat({{0x21, 4},
                                 {0x24, 0},
                                 Name("TAG"),
                                 {0x22, 2},
                                 W(3),
                                 W(4),
                                 {32},
                                 {0x20},
                                 W(2),
                                 W(0),
                                 {4},
                                 Name("A"),
                                 W(0),
                                 {1},
                                 Name("B"),
                                 {0x23, 34, 35},
                                 {0x25, 0, 0, 35, 0},
                                 {0x28, 0, 2, 2, 0, 0, 0, 0, 34},
                                 {0x99, 1, 2, 3}});
  ASSERT_TRUE(
      Load(Module({Types(descriptors), Public({Entry(2, 0x30, "V", 34), Entry(2, 0x31, "W", 38)})})).Ok);
  const auto& t = Collections().TypeDefs->Items;
  ASSERT_EQ(t.size(), 6u);
  EXPECT_EQ(t[0].TypeDefID, tTypeDef::tOldPointer);
  EXPECT_EQ(t[0].ResultType, 4);
  EXPECT_EQ(t[1].TypeDefID, tTypeDef::tArray);
  EXPECT_EQ(t[1].Dimensions, 2);
  EXPECT_EQ(t[1].DimensionSizes[0], 3);
  EXPECT_EQ(t[1].DimensionSizes[1], 4);
  EXPECT_EQ(t[1].ResultType, 32);
  EXPECT_EQ(t[2].ParamStr, "int  A, bit   B");
  EXPECT_EQ(t[3].TypeDefID, tTypeDef::tFunc);
  EXPECT_EQ(t[3].ResultType, 33);  // file number 34 is the second item
  EXPECT_EQ(t[3].EmbedTypeID, 34);
  EXPECT_EQ(t[4].EmbedTypeID, 34);
  EXPECT_EQ(t[5].TypeDefID, tTypeDef::tPointer);
  EXPECT_EQ(t[5].ResultType, 33);
  EXPECT_EQ(t[5].MSpace, 2);
  EXPECT_EQ(t[5].Size, 2);
  EXPECT_EQ(Sym(0).VarType, 33);
  EXPECT_EQ(Sym(1).VarType, 37);
}

TEST_F(OmfReaderTest, MoreDescriptorsThanTypeNumbersStayInsideTheMap) {
  Bytes descriptors;
  for (int i = 0; i < 400; ++i) descriptors = Cat({descriptors, {0x21, 4}});
  ASSERT_TRUE(Load(Module({Types(descriptors), Public({Entry(2, 1, "P", 255)})})).Ok);
  EXPECT_EQ(Collections().TypeDefs->Count(), 400);
  EXPECT_EQ(Sym(0).VarType, 255);  // number 255 is item 223
}

TEST_F(OmfReaderTest, AMissingFileIsError106) {
  test_util::ScratchDir dir;
  std::vector<uint8_t> image(kLoadImageSize);
  const ObjLoadResult r = ReadObjectFile(dir.File("none.obj"), LoadImage(image.data(), kLoadImageSize), {});
  EXPECT_EQ(r.ErrorCode, err::kFileNotExist);
  const std::string file = Module({Content(5, {0x77})});
  ASSERT_TRUE(ReadObjectFile(dir.Write("t.obj", file), LoadImage(image.data(), kLoadImageSize), {}).Ok);
  EXPECT_EQ(image[5], 0x77);
}

// Inputs that once took the reader seconds or without end (type records that
// refer to themselves): each file of the object fuzzer's corpus reads at once.
TEST_F(OmfReaderTest, FuzzCorpusFilesReadAtOnce) {
  // Each file as it is, and with every record's checksum set right (as the
  // fuzzer reads half of its inputs), so that the records' fields are read.
  const auto withChecksums = [](std::string file) {
    for (size_t pos = 0; file.size() - pos >= 3;) {
      const size_t length = static_cast<uint8_t>(file[pos + 1]) | static_cast<uint8_t>(file[pos + 2]) << 8;
      if (length == 0 || file.size() - pos - 3 < length) break;
      uint8_t sum = 0;
      for (size_t i = pos; i < pos + 2 + length; ++i) sum = static_cast<uint8_t>(sum + file[i]);
      file[pos + 2 + length] = static_cast<char>(0 - sum);
      pos += 3 + length;
    }
    return file;
  };
  for (const auto& entry : fs::directory_iterator(fs::path(DORVIK_SOURCE_DIR) / "fuzz/corpus/omf")) {
    const std::string file = as::testutil::ReadFile(entry.path());
    for (const std::string& input : {file, withChecksums(file)}) {
      const ObjLoadResult r = Load(input);
      EXPECT_TRUE(r.Ok || r.ErrorCode != 0) << entry.path();
    }
  }
  // A list whose member is of its own type, and a function of itself.
  ASSERT_TRUE(Load(Module({Types(Cat({{0x20}, W(1), W(0), {32}, Name("SELF"), {0x23, 33, 33}}))})).Ok);
  EXPECT_EQ(Collections().TypeDefs->Items.at(0).ParamStr, "<symbol>  SELF");
  std::string text;
  TypeDefText(33, true, text);
  EXPECT_EQ(text, "...   (...)");
}

// Damaged files: every byte changed and every length cut reads to a clear
// error or a whole module, never past the image.
TEST_F(OmfReaderTest, DamagedFilesEndInAClearErrorAndStayInsideTheImage) {
  const std::string good =
      as::testutil::ReadFile(fs::path(DORVIK_SOURCE_DIR) / "tests/assembler/data/blink.obj");
  const std::string typed = Module({Scope(0, "M"), Scope(1, "P"),
                                    Types(Cat({{0x22, 1}, W(9), {4}, {0x20}, W(1), W(0), {4}, Name("X")})),
                                    Lines({{1, 2}}), Content(0, {0x02, 0, 3})});
  const std::set<int> errors = {err::kFileNotValidObjectFile, err::kFileChecksumError,
                                err::kFileNonAbsoluteObjectFile};
  for (const std::string& original : {good, typed}) {
    ASSERT_TRUE(Load(original).Ok);
    for (size_t cut = 0; cut < original.size(); ++cut) {
      const ObjLoadResult r = Load(original.substr(0, cut));
      if (!r.Ok) {
        EXPECT_TRUE(errors.count(r.ErrorCode)) << "cut " << cut;
      }
    }
    for (size_t at = 0; at < original.size(); ++at)
      for (uint8_t x : {0x01, 0x80, 0xFF}) {
        std::string bad = original;
        bad[at] = static_cast<char>(bad[at] ^ x);
        const ObjLoadResult r = Load(bad);
        if (!r.Ok) {
          EXPECT_TRUE(errors.count(r.ErrorCode)) << "byte " << at;
        }
      }
  }
}

// Round trips: each source the assembler's tests keep (but errors.a51, whose
// doubly defined label the listing and object give differently), assembled to
// an object module and HEX file; the module read back gives the HEX file's image and
// the symbols its listing shows.
struct RoundTrip {
  const char* Name;
  const char* Controls;
  int Error;           // 0: reads whole
  bool Listed = true;  // the listing has a symbol table
};

// The listing's symbol table: name, class and value of each absolute symbol,
// and the module names.
struct ListedSymbols {
  std::vector<Expected> Symbols;
  std::vector<std::string> Modules;
};

ListedSymbols ReadListedSymbols(const std::string& listing) {
  ListedSymbols out;
  bool inTable = false;
  for (const std::string& line : as::testutil::SplitLines(listing)) {
    if (line.find("S Y M B O L") != std::string::npos) inTable = true;
    const std::string name = line.substr(0, line.find_first_of(" ."));
    if (!inTable || name.empty() ||
        name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_?") != std::string::npos)
      continue;
    // The columns after the name's dot leader.
    std::vector<std::string> t;
    std::istringstream in(line.substr(name.size()));
    for (std::string word; in >> word;)
      if (word.find_first_not_of('.') != std::string::npos) t.push_back(word);
    const auto hex = [](const std::string& w) { return static_cast<uint32_t>(std::stoul(w, nullptr, 16)); };
    if (t.size() >= 4 && t[1] == "ADDR" && t[3] == "A" && t[0].size() == 1) {
      const uint8_t cls = static_cast<uint8_t>(std::string("CXDIB").find(t[0][0]));
      uint32_t value = hex(t[2]);
      if (const size_t dot = t[2].find('.'); dot != std::string::npos)
        value = (value < 0x80 ? (value - 0x20) * 8 : value) + std::stoul(t[2].substr(dot + 1));
      out.Symbols.push_back({name, cls, value});
    } else if (t.size() >= 3 && t[0] == "NUMB" && t[2] == "A") {
      out.Symbols.push_back({name, kClassNumber, hex(t[1])});
    } else if (t.size() >= 2 && t[0] == "----" && t[1] == "----") {
      out.Modules.push_back(name);
    }
  }
  return out;
}

class RoundTripTest : public OmfReaderTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(RoundTripTest, ObjectGivesTheHexImageAndTheListedSymbols) {
  const RoundTrip& k = GetParam();
  const fs::path data = fs::path(DORVIK_SOURCE_DIR) / "tests/assembler/data";
  const fs::path dir = as::testutil::ScratchDir("roundtrip");
  for (const fs::directory_entry& e : fs::directory_iterator(data))
    if (e.path().extension() == ".a51" || e.path().extension() == ".inc")
      fs::copy_file(e.path(), dir / e.path().filename());
  const fs::path home = fs::current_path();
  fs::current_path(dir);
  const auto run =
      as::testutil::AssembleAt(std::string(k.Name) + ".a51", std::string(k.Controls) + " OBJECT DEBUG PRINT");
  fs::current_path(home);
  const std::string object = as::testutil::ReadFile(dir / (std::string(k.Name) + ".obj"));
  ASSERT_FALSE(object.empty());

  const ObjLoadResult r = Load(object);
  ASSERT_EQ(r.ErrorCode, k.Error);
  if (k.Error) return;
  ASSERT_TRUE(r.Ok);
  const auto hex = as::testutil::HexToMemory(as::testutil::ReadFile(dir / (std::string(k.Name) + ".hex")));
  for (uint32_t a = 0; a < kLoadImageSize; ++a) {
    const auto it = hex.find(a);
    ASSERT_EQ(memory_[a], it == hex.end() ? 0xFF : it->second) << "at " << a;
  }
  if (!hex.empty()) {
    EXPECT_EQ(r.HighestAddress, hex.rbegin()->first);
  }

  const ListedSymbols listed =
      ReadListedSymbols(as::testutil::ReadFile(dir / (std::string(k.Name) + ".lst")));
  EXPECT_EQ(!listed.Symbols.empty(), k.Listed);
  for (const Expected& e : listed.Symbols) {
    const auto& items = Collections().SymbolTable->Items;
    const auto it = std::find_if(items.begin(), items.end(), [&](const tSymbolItem& s) {
      return s.Name == e.Name && (s.SymClass & 0x1F) != kClassProcedure;
    });
    ASSERT_NE(it, items.end()) << e.Name;
    if ((it->SymClass & 0x1F) != 11) {
      EXPECT_EQ(it->SymClass & 7, e.Class) << e.Name;
    }
    EXPECT_EQ(it->Value, e.Value) << e.Name;
  }
  for (const std::string& name : listed.Modules) {
    const auto& items = Collections().SymbolTable->Items;
    EXPECT_TRUE(std::any_of(items.begin(), items.end(), [&](const tSymbolItem& s) {
      return s.Name == name && s.SymClass == kClassProcedure;
    })) << name;
  }
}

const RoundTrip kRoundTrips[] = {
    {"blink", "XREF", 0},       {"directives", "", 0},
    {"operators", "", 0},       {"invoke", "MODE(652)", 0, false},
    {"noprint", "", 0},         {"errors2", "", err::kFileNonAbsoluteObjectFile},
    {"controls", "", 0, false}, {"reloc", "", err::kFileNonAbsoluteObjectFile},
};  // clang-format keeps one source a line

INSTANTIATE_TEST_SUITE_P(Sources, RoundTripTest, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace dorvik

namespace dorvik {
namespace {

// The loaded modules against the project's module list.
struct ModuleCheckCase {
  const char* Name;
  std::vector<std::string> Project;
  std::vector<tModuleItem> Items;
  bool SourceLevel;
  std::vector<std::string> Boxes;  // captions of the warnings, in order
  std::string Added;               // the order check's result with Yes answered
  bool FromFolder = false;         // the project's sources found in its folder (name order)
};

TEST_F(OmfReaderTest, LoadedModulesAreCheckedAgainstTheProject) {
  const ModuleCheckCase cases[] = {
      {"NoProjectModules", {}, {{"A", 0, 1, true}}, false, {}, ""},
      {"SameOrder", {"a", "b"}, {{"A", 0, 1, true}, {"B", 2, 3, true}}, true, {}, ""},
      {"UnknownModule", {"A"}, {{"X", 0, 1, true}}, false, {"Warning #30"}, ""},
      {"UnknownAfterInclude", {"<include>"}, {{"X", 0, 1, true}}, true, {}, ""},
      {"UnlistedAfterTheLast", {"A"}, {{"A", 0, 1, true}, {"Z", 2, 3, true}}, true, {"Warning #41"}, "Z"},
      {"OtherOrder",
       {"A", "B", "C"},
       {{"A", 0, 1, true}, {"C", 2, 3, true}, {"B", 4, 5, true}},
       true,
       {"Warning #56"},
       ""},
      {"OutOfOrderAndUnknown",
       {"A", "B", "C"},
       {{"B", 0, 1, true}, {"A", 2, 3, true}},
       false,
       {"Warning #30"},
       ""},
      {"CompilerModulesPass", {"A"}, {{"A", 0, 1, true}, {"?C_START", 2, 3, true}}, true, {}, ""},
      {"UnnamedLastItem", {"A", "B"}, {{"A", 0, 1, true}, {"", 2, 3, false}}, false, {}, ""},
      // Sources of a folder take the program's order; one it lacks is still 30.
      {"FolderInProgramOrder",
       {"A", "B", "C", "D"},
       {{"C", 0, 1, true}, {"A", 2, 3, true}, {"B", 4, 5, true}},
       true, {}, "", true},
      {"FolderWithoutTheModule", {"A", "B"}, {{"B", 0, 1, true}, {"X", 2, 3, true}}, false, {"Warning #30"}, "", true},
  };
  for (const ModuleCheckCase& k : cases) {
    ResetSession();
    reporter_.Clear();
    for (const std::string& name : k.Project)
      Project().ProjectModules.push_back({name, name + ".a51", {}});
    Project().ModulesFromFolder = k.FromFolder;
    CreateSymbolCollections();
    Collections().ModuleTable->Items = k.Items;
    const bool sourceLevel = CheckObjectModules();
    EXPECT_EQ(sourceLevel, k.SourceLevel) << k.Name;
    reporter_.QueueAnswer(kResultYes);
    const std::string added = sourceLevel ? CheckObjectModuleOrder() : "";
    EXPECT_EQ(added, k.Added) << k.Name;
    std::vector<std::string> boxes;
    for (const auto& box : reporter_.Shown()) boxes.push_back(box.Caption);
    EXPECT_EQ(boxes, k.Boxes) << k.Name;
  }
}

}  // namespace
}  // namespace dorvik
