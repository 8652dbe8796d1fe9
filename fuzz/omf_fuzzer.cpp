// The object-module reader on any bytes: each input read with every option on
// into a load image with guard bytes behind it. Every record must sum to zero
// with its checksum; so that the fuzzer reaches the records' fields, half of
// the inputs get their checksums set right before they are read. What was read
// is then walked as the symbol window and the typed reads walk it: the symbol
// tree, and each symbol's debug type as the elements it is read as.

#include <cstdlib>
#include <vector>

#include "debugger/toolviews.h"
#include "fuzz/engine_reset.h"
#include "lang/collections.h"
#include "lang/typetext.h"
#include "objfiles/omfreader.h"

namespace {

// Each record's last byte made its checksum, as far as the frames reach.
void SetChecksums(std::vector<uint8_t>& file) {
  size_t pos = 0;
  while (file.size() - pos >= 3) {
    const size_t length = file[pos + 1] | file[pos + 2] << 8;
    if (length == 0 || file.size() - pos - 3 < length) return;
    uint8_t sum = 0;
    for (size_t i = pos; i < pos + 3 + length - 1; ++i) sum = static_cast<uint8_t>(sum + file[i]);
    file[pos + 3 + length - 1] = static_cast<uint8_t>(0 - sum);
    pos += 3 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  fuzz::ResetEngine();
  static std::vector<uint8_t> memory(kLoadImageSize + 64);
  std::fill(memory.begin(), memory.end(), uint8_t{0xA5});
  ObjLoadOptions options;
  options.LoadAppend = size > 0 && (data[size - 1] & 1);  // the collections of the input before stay
  std::vector<uint8_t> file(data, data + size);
  if (size > 0 && (data[size - 1] & 2)) SetChecksums(file);
  ReadObjectModule(file, "F.OBJ", LoadImage(memory.data(), kLoadImageSize), options);
  for (size_t i = kLoadImageSize; i < memory.size(); ++i)
    if (memory[i] != 0xA5) std::abort();
  if (const auto& table = Collections().SymbolTable) {
    for (const tSymbolItem& s : table->Items) {
      uint8_t elem = 0;
      int32_t count = 0;
      if (DebugTypeElements(s.VarType, elem, count) && (count < 1 || count > kMaxTypedElements)) std::abort();
    }
    BuildSymbolTree(kAllModules);
  }
  return 0;
}
