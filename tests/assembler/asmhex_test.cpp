#include "assembler/asmhex.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/context.h"
#include "tests/assembler/asm_test_util.h"

namespace dorvik::as {
namespace {

using Bytes = std::vector<uint8_t>;

// A context whose HEX file is a string stream.
struct HexRun {
  HexRun() {
    c.out.Files.Hex = out;
    c.out.Files.HexOpen = true;
    c.HexRequested = true;
  }
  std::vector<std::string> Close() {
    CloseHexFile(c);
    return testutil::SplitLines(out->str());
  }
  AsmContext c;
  std::shared_ptr<std::ostringstream> out = std::make_shared<std::ostringstream>();
};

TEST(AsmHexTest, DataRecordLayout) {
  EXPECT_EQ(HexDataRecordText(0x0000, Bytes{0x02, 0x00, 0x30}), ":03000000020030CB");
  EXPECT_EQ(HexDataRecordText(0x1234, Bytes{0xFF}), ":01123400FFBA");
}

// Every byte is kept at its own address and the end record closes the file:
// after gaps (ORG, DS), an explicit flush and at the top of memory. After a
// relocatable segment the file has the code before it and no end record.
TEST(AsmHexTest, RecordsKeepEveryByteAndEndWithTheEndRecordUnlessRelocatable) {
  enum class Then { Nothing, Flush, Rseg };
  const struct {
    const char* Name;
    std::vector<std::pair<uint32_t, Bytes>> Adds;
    Then AfterFirst;
    std::vector<std::string> Expected;
  } cases[] = {
      {"NoCode", {}, Then::Nothing, {}},
      {"Gap", {{0x0000, {0x01, 0x02}}, {0x0010, {0x03}}, {0x0011, {0x04}}}, Then::Nothing,
       {":020000000102FB", ":020010000304E7"}},
      {"Flush", {{0x0000, {0xAA}}, {0x0001, {0xBB}}}, Then::Flush, {":01000000AA55", ":01000100BB43"}},
      {"Rseg", {{0x0000, {0x12, 0x34}}}, Then::Rseg, {":020000001234B8"}},  // and no end record
      {"TopOfMemory", {{0xFFFE, {1, 2, 3, 4}}}, Then::Nothing,
       {HexDataRecordText(0xFFFE, Bytes{1, 2}), HexDataRecordText(0x0000, Bytes{3, 4})}},
      {"Seventeen", {{0x0100, Bytes(17, 0x11)}}, Then::Nothing,
       {HexDataRecordText(0x0100, Bytes(16, 0x11)), ":0101100011DD"}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Name);
    HexRun run;
    for (size_t i = 0; i < k.Adds.size(); ++i) {
      AddHexBytes(run.c, k.Adds[i].first, k.Adds[i].second);
      if (i == 0 && k.AfterFirst == Then::Flush) FlushHexRecord(run.c);
      if (i == 0 && k.AfterFirst == Then::Rseg) {  // RSEG writes the record out; no further bytes come
        FlushHexRecord(run.c);
        run.c.HexEligible = false;
      }
    }
    auto expected = k.Expected;
    if (k.AfterFirst != Then::Rseg) expected.push_back(":00000001FF");
    EXPECT_EQ(run.Close(), expected);
    EXPECT_FALSE(run.c.out.Files.HexOpen);
  }
}

}  // namespace
}  // namespace dorvik::as
