// The symbolic line parser on a disassembly line, read as the disassembly
// reads its own lines back: past the address and bytes, then the mnemonic and
// its operands.

#include "fuzz/engine_reset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  fuzz::ResetEngine();
  fuzz::LoadNames();
  Scanner().ParsingReply = true;
  Scanner().Disassembling = true;
  SetScanLine(std::string(fuzz::Text(data, size)) + "\r", true);
  while (Scanner().ScanChar != ' ' && Scanner().ScanChar != '\r' && Scanner().ScanChar != '\0') NextChar();
  GetToken();
  if (!Messages().ErrorFlag) ParseInstruction();
  return 0;
}
