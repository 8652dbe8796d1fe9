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

// The HEX writer's records: at most sixteen bytes each, each byte at its own
// address also past FFFFH (where no source line takes the counter), and the
// end record. Gaps, ORG and RSEG are in the inline cases and golden files.
TEST(AsmHexTest, RecordsHoldSixteenBytesAndWrapAtFFFFH) {
  const struct {
    uint32_t Address;
    Bytes Data;
    std::vector<std::string> Expected;
  } cases[] = {
      {0xFFFE, {1, 2, 3, 4}, {":02FFFE000102FE", ":020000000304F7", ":00000001FF"}},
      {0x0100, Bytes(17, 0x11), {":1001000011111111111111111111111111111111DF", ":0101100011DD", ":00000001FF"}},
  };
  for (const auto& k : cases) {
    AsmContext c;
    auto out = std::make_shared<std::ostringstream>();
    c.out.Files.Hex = out;
    c.out.Files.HexOpen = true;
    c.HexRequested = true;
    AddHexBytes(c, k.Address, k.Data);
    CloseHexFile(c);
    EXPECT_EQ(testutil::SplitLines(out->str()), k.Expected);
    EXPECT_FALSE(c.out.Files.HexOpen);
  }
}

}  // namespace
}  // namespace dorvik::as
