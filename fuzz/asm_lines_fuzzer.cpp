// The assembler on lines held in memory, as the line assembler runs it: the
// input's first three lines.

#include "assembler/driver.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  fuzz::ScratchFolder();
  fuzz::ClearScratchFolder();
  std::string text(fuzz::Text(data, size));
  fuzz::KeepFileNamesInside(text);  // control lines count as invocation lines
  std::vector<std::string> lines = fuzz::Lines(text, 3);
  lines.resize(3);
  as::AsmContext c;
  as::AssembleFile(c, "", &lines);
  return 0;
}
