#include "assembler/objwriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/context.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using Record = testutil::ObjRecord;

class ObjWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c.sym.SymbolArea = {kind::kEndMark};
    c.ModuleName = "BLINK";
    out = std::make_shared<std::ostringstream>();
    c.out.Files.Object = out;
    c.out.Files.ObjectOpen = true;
    c.Controls[static_cast<size_t>(ControlId::Debug)].On = false;
  }
  std::vector<Record> Written() { return testutil::ObjRecords(out->str()); }
  void Emit(uint32_t address, std::vector<uint8_t> bytes) { AddObjContent(c, address, bytes); }

  AsmContext c;
  std::shared_ptr<std::ostringstream> out;
};

TEST_F(ObjWriterTest, PublicListIsCutBeforeTheRecordLimit) {
  c.HasPublics = true;
  for (int i = 0; i < 200; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "PUBLIC_NAME_%03d", i);
    testutil::AppendSymbol(c, name, kind::kCode, static_cast<uint32_t>(i), 0, kScopePublic);
  }
  WriteObjectPrologue(c);
  size_t entries = 0, records = 0;
  for (const Record& rec : Written()) {
    if (rec.Type != kObjPublicDefs) continue;
    ++records;
    EXPECT_LT(rec.Content.size(), kObjListLimit);
    entries += rec.Content.size() / (6 + 15);
  }
  EXPECT_EQ(records, 3u);  // 97 entries of 21 bytes fit below 2047
  EXPECT_EQ(entries, 200u);
}

TEST_F(ObjWriterTest, LongContentContinuesWhereThePreviousRecordEnded) {
  WriteObjectPrologue(c);
  const std::vector<uint8_t> chunk(200, 0x55);
  uint32_t address = 0x1000;
  for (int i = 0; i < 12; ++i, address += 200) {
    c.LinesRead = static_cast<uint32_t>(i + 1);
    AddObjFixup(c, {.Offset = 1, .Kind = FixupKind::Word, .Segment = 1, .Value = i});
    Emit(address, chunk);
  }
  CloseObjectFile(c);
  const auto r = Written();
  uint32_t expected = 0x1000;
  size_t total = 0, fixups = 0;
  for (size_t i = 0; i < r.size(); ++i) {
    if (r[i].Type == kObjFixup) {
      ASSERT_GT(i, 0u);
      ASSERT_EQ(r[i - 1].Type, kObjContent);
      const size_t data = r[i - 1].Content.size() - 3;
      for (size_t e = 0; e < r[i].Content.size(); e += kObjFixupEntrySize) {
        const uint32_t refLoc = r[i].Content[e] | (r[i].Content[e + 1] << 8);
        EXPECT_LT(refLoc, data);  // refers to its own record's data
        EXPECT_EQ(refLoc % 200, 1u);
        ++fixups;
      }
    }
    if (r[i].Type != kObjContent) continue;
    EXPECT_LE(r[i].Content.size(), kObjContentCut + 200);
    EXPECT_EQ(r[i].Content[1] | (r[i].Content[2] << 8), expected);
    expected += static_cast<uint32_t>(r[i].Content.size() - 3);
    total += r[i].Content.size() - 3;
  }
  EXPECT_EQ(total, 2400u);
  EXPECT_EQ(fixups, 12u);
}

// Byte by byte: a record takes bytes until it holds 1784 (three of them its
// segment and offset); the next byte starts the following record.
TEST_F(ObjWriterTest, ContentRecordIsCutAtItsSize) {
  WriteObjectPrologue(c);
  for (uint32_t i = 0; i < kObjContentCut - 3 + 1; ++i) Emit(0x2000 + i, {static_cast<uint8_t>(i)});
  CloseObjectFile(c);
  std::vector<size_t> sizes;
  for (const Record& rec : Written())
    if (rec.Type == kObjContent) sizes.push_back(rec.Content.size());
  EXPECT_EQ(sizes, (std::vector<size_t>{kObjContentCut, 4}));
}

TEST_F(ObjWriterTest, ManyFixupsCutTheContentRecordBeforeTheirBufferOverflows) {
  WriteObjectPrologue(c);
  for (uint32_t i = 0; i < 400; ++i) {
    c.LinesRead = i + 1;
    AddObjFixup(c, {.Offset = 1, .Kind = FixupKind::Word, .Segment = 1});
    Emit(3 * i, {0x02, 0x00, 0x00});
  }
  CloseObjectFile(c);
  size_t fixups = 0, contents = 0;
  for (const Record& rec : Written()) {
    if (rec.Type == kObjFixup) {
      EXPECT_LE(rec.Content.size(), kObjContentCapacity);
      fixups += rec.Content.size() / kObjFixupEntrySize;
    }
    contents += rec.Type == kObjContent;
  }
  EXPECT_EQ(fixups, 400u);
  EXPECT_GE(contents, 2u);  // 1200 bytes would fit one record, 400 fixups do not
}

TEST_F(ObjWriterTest, RequestsOfALineThatEmittedNothingAreDropped) {
  WriteObjectPrologue(c);
  c.LinesRead = 3;
  AddObjFixup(c, {.Offset = 1, .Segment = 1});  // the line then failed and emitted nothing
  c.LinesRead = 4;
  Emit(0x0000, {0x00});
  CloseObjectFile(c);
  for (const Record& rec : Written()) EXPECT_NE(rec.Type, kObjFixup);
}

}  // namespace
}  // namespace dorvik::as
