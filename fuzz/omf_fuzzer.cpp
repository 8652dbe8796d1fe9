// The object-module reader on any bytes: each input read with every option on
// into a load image with guard bytes behind it.

#include <cstdlib>
#include <vector>

#include "fuzz/engine_reset.h"
#include "objfiles/omfreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  fuzz::ResetEngine();
  static std::vector<uint8_t> memory(kLoadImageSize + 64);
  std::fill(memory.begin(), memory.end(), uint8_t{0xA5});
  ObjLoadOptions options;
  options.LoadAppend = size > 0 && (data[size - 1] & 1);  // the collections of the input before stay
  ReadObjectModule({data, size}, "F.OBJ", LoadImage(memory.data(), kLoadImageSize), options);
  for (size_t i = kLoadImageSize; i < memory.size(); ++i)
    if (memory[i] != 0xA5) std::abort();
  return 0;
}
