#pragma once
// The scanner's steps into the symbol lookups: a word tried as a symbol, the
// error of a word that is neither symbol nor number, and the qualified
// references that begin with ".", ":" or "#".

#include <cstdint>
#include <optional>

#include "lang/collections.h"
#include "lang/cpudb.h"

namespace dorvik {

// A word (in ScanIdent) looked up as a symbol: 58 with the symbol found, else 0.
uint8_t TrySymbolWord();
// The message for a word that was tried as a symbol and is no number either.
void ReportWordSymbolError();
// What the last symbol token (58, 11, 12, or 7 for a line) stands for: a
// program symbol or a predefined name of the processor.
struct SymbolReference {
  const tSymbolItem* Symbol = nullptr;
  std::optional<tCpuDefEntry> CpuEntry;
};
SymbolReference CurrentSymbolReference(uint8_t token);
// The reference after ".", ":" or "#" (already consumed): the token it gives.
uint8_t QualifiedReference(uint8_t token);

}  // namespace dorvik
