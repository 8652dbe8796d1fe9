// The processor-definition compiler on the input's lines; a record it accepts
// is selected as the processor.

#include "fuzz/engine_reset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  fuzz::ResetEngine();
  const auto record = CompileCpuRecord("FUZZ", fuzz::Lines(fuzz::Text(data, size), 4096), "fuzz.def");
  if (record) {
    SetCpuDatabase(*record, "fuzz.qpf");
    SelectCpu("FUZZ");
  }
  return 0;
}
