// A project file of arbitrary text opened (modules, file types, options,
// environment, breakpoints) and written back; the same text read as a
// tool's output into build report lines and as a listing's error lines.

#include <bitset>
#include <fstream>

#include "fuzz/fuzz_support.h"
#include "workspace/build.h"
#include "workspace/openproject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  const std::string_view text = fuzz::StartInScratchFolder(data, size);
  std::ofstream("P.QPC", std::ios::binary) << text;
  if (OpenProject("P.QPC")) WriteProject("Q.QPC");
  ReadProtocol("P.QPC", ".");
  std::ofstream("p.lst", std::ios::binary) << text;
  ListingErrors("p.lst", "p.a51");
  std::bitset<256> set;
  ParseSelectorText(text.substr(0, 64), set);
  return 0;
}
