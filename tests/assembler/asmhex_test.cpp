#include "assembler/asmhex.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/context.h"

namespace dorvik::as {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// All bytes of a record, count to checksum, sum to 0 modulo 256.
bool RecordSumsToZero(const std::string& line) {
  if (line.size() < 11 || line[0] != ':' || line.size() % 2 == 0) return false;
  unsigned sum = 0;
  for (size_t i = 1; i + 1 < line.size(); i += 2) sum += std::stoul(line.substr(i, 2), nullptr, 16);
  return sum % 256 == 0;
}

class AsmHexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out = std::make_shared<std::ostringstream>();
    c.Out.Hex = out;
    c.Out.HexOpen = true;
    c.HexRequested = true;
  }
  void Add(uint32_t address, std::vector<uint8_t> bytes) { AddHexBytes(c, address, bytes); }
  std::vector<std::string> Close() {
    CloseHexFile(c);
    return Lines(out->str());
  }
  AsmContext c;
  std::shared_ptr<std::ostringstream> out;
};

TEST(HexRecordTextTest, DataRecordLayout) {
  const std::vector<uint8_t> bytes = {0x02, 0x00, 0x30};
  EXPECT_EQ(HexDataRecordText(0x0000, bytes), ":03000000020030CB");
  const std::vector<uint8_t> one = {0xFF};
  EXPECT_EQ(HexDataRecordText(0x1234, one), ":01123400FFBA");
}

TEST_F(AsmHexTest, ModuleWithoutCodeHoldsOnlyTheEndRecord) {
  EXPECT_EQ(Close(), (std::vector<std::string>{":00000001FF"}));
  EXPECT_FALSE(c.Out.HexOpen);
}

TEST_F(AsmHexTest, SeventeenBytesGiveASixteenAndAOneByteRecord) {
  std::vector<uint8_t> bytes(17);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  Add(0x0100, bytes);
  const auto lines = Close();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 9), ":10010000");
  EXPECT_EQ(lines[1].substr(0, 9), ":01011000");
  for (size_t i = 0; i < 2; ++i) EXPECT_TRUE(RecordSumsToZero(lines[i])) << lines[i];
  EXPECT_EQ(lines[2], ":00000001FF");
}

TEST_F(AsmHexTest, AGapClosesTheRecordAndTheNextByteStartsAtItsOwnAddress) {
  Add(0x0000, {0x01, 0x02});
  Add(0x0010, {0x03});  // ORG or DS in between, flushed or not
  Add(0x0011, {0x04});
  const auto lines = Close();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], ":020000000102FB");
  EXPECT_EQ(lines[1], ":020010000304E7");
}

TEST_F(AsmHexTest, ExplicitFlushBeforeAJumpKeepsEveryByte) {
  Add(0x0000, {0xAA});
  FlushHexRecord(c);
  Add(0x0001, {0xBB});
  const auto lines = Close();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], ":01000000AA55");
  EXPECT_EQ(lines[1], ":01000100BB43");
}

TEST_F(AsmHexTest, PendingBytesAndTheEndRecordSurviveARelocatableSegment) {
  Add(0x0000, {0x12, 0x34});
  c.HexEligible = false;  // RSEG: no further bytes are offered
  const auto lines = Close();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], ":020000001234B8");
  EXPECT_EQ(lines[1], ":00000001FF");
}

TEST_F(AsmHexTest, RecordDoesNotWrapFromTheTopOfMemory) {
  Add(0xFFFE, {1, 2, 3, 4});
  const auto lines = Close();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 9), ":02FFFE00");
  EXPECT_EQ(lines[1].substr(0, 9), ":02000000");
}

TEST_F(AsmHexTest, StatementBytesComeFromTheContext) {
  c.LineKind = line::kInstruction;
  c.StatementLocation = 0x20;
  c.InstrBytes = {0x02, 0x12, 0x34};
  c.InstrLength = 3;
  AddHexBytes(c);
  c.LineKind = line::kDB;
  c.StatementLocation = 0x23;
  c.DataBytes[0] = 'H';
  c.DataBytes[1] = 'i';
  c.InstrLength = 2;
  AddHexBytes(c);
  const auto lines = Close();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], HexDataRecordText(0x20, std::vector<uint8_t>{0x02, 0x12, 0x34, 'H', 'i'}));
}

TEST_F(AsmHexTest, NothingHappensWithoutARequestedFile) {
  c.HexRequested = false;
  Add(0, {1});
  CloseHexFile(c);
  EXPECT_TRUE(out->str().empty());
}

}  // namespace
}  // namespace dorvik::as
