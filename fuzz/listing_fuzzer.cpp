// A listing of arbitrary text read back: the statement of a few addresses
// (the first bytes choose them), the statement's context, its search in the
// same text taken as a source, the build report's error-line lookup, and
// the code address of a few source lines through it.

#include <fstream>

#include "fuzz/fuzz_support.h"
#include "objfiles/listmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  const std::string_view text = fuzz::StartInScratchFolder(data, size);
  std::vector<std::string> lines = fuzz::Lines(text, 4000);
  for (auto& line : lines)
    if (!line.empty() && line.back() == '\r') line.pop_back();
  const SegmentStartFn segments = [](std::string_view name, uint32_t& start) {
    start = static_cast<uint32_t>(name.size()) * 0x1000;
    return !name.empty();
  };
  for (size_t i = 0; i < 4; ++i) {
    const uint32_t address = size > 2 * i + 1 ? (data[2 * i] << 8 | data[2 * i + 1]) : 0;
    int32_t index = -1;
    if (FindListingStatement(lines, address, segments, index) != ListingResult::kFound) continue;
    const tStatement statement = StatementAt(lines, kListingSourceColumn, index);
    FindSourceLine(statement, lines);
  }
  FindSourceLine(StatementAt(lines, 0, static_cast<int32_t>(size % (lines.size() + 1))), lines);
  std::ofstream("f.lst", std::ios::binary) << text;
  int32_t index = -1;
  tStatement statement;
  FindListingEntry("f.lst", "ERROR", index, statement);
  FindListingEntry("f.lst", "LINE", index, statement);
  // A source line's code address through the listing (the text is the source too).
  const tModuleRec module{"F", "f.a51", {}};
  uint16_t address = 0;
  for (size_t i = 0; i < 3 && !lines.empty(); ++i)
    ListingAddressOfSourceLine(module, "f.a51", lines, static_cast<int32_t>((size + i * 7) % lines.size()), address);
  return 0;
}
