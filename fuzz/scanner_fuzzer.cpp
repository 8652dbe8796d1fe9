// The command scanner and the expression evaluator on one command line:
// every token up to the end of the line or an error, then the line again as
// one expression.

#include "fuzz/engine_reset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  fuzz::ResetEngine();
  fuzz::LoadNames();
  const std::string line = std::string(fuzz::Text(data, size)) + "\r";
  SetScanLine(line, true);
  // A token takes at least one character, so the line bounds the loop.
  for (size_t i = 0; i <= line.size(); ++i) {
    const uint8_t token = GetToken();
    if (token == tok::kEndOfLine || token == tok::kNone || Messages().ErrorFlag) break;
  }
  ResetState<MessageState>();
  SetScanLine(line, true);
  Expression(tok::kEndOfLine);
  return 0;
}
