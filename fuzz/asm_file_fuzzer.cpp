// The assembler in file mode: the input is the source file, assembled by the
// driver as the command-line program does, its outputs in the scratch folder.

#include "assembler/driver.h"
#include "fuzz/fuzz_support.h"

#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  const auto& folder = fuzz::ScratchFolder();
  fuzz::ClearScratchFolder();
  std::string source(fuzz::Text(data, size));
  fuzz::KeepFileNamesInside(source);
  std::ofstream(folder / "t.a51", std::ios::binary) << source;
  as::AsmContext c;
  as::AssembleFileWithControls(c, (folder / "t.a51").string(), "");
  return 0;
}
