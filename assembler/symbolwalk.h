#pragma once
// Reading the symbol area record by record, in area order (for the writers
// that walk every symbol: object records and the symbol table listing).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "assembler/context.h"

namespace dorvik::as {

// Decodes the record at POS; false at the end mark or past the area.
inline bool ReadSymbolRecord(const std::vector<uint8_t>& area, size_t pos, AsmSymbolRec& rec, size_t& next) {
  if (pos + kSymName > area.size() || area[pos + kSymKind] == kind::kEndMark) return false;
  const size_t n = area[pos + kSymNameLen];
  if (pos + kSymName + n > area.size()) return false;
  rec.Kind = area[pos + kSymKind];
  rec.Flags = area[pos + kSymFlags];
  rec.Value = static_cast<uint32_t>(area[pos + kSymValue]) | (static_cast<uint32_t>(area[pos + kSymValue + 1]) << 8) |
              (static_cast<uint32_t>(area[pos + kSymValue + 2]) << 16) |
              (static_cast<uint32_t>(area[pos + kSymValue + 3]) << 24);
  rec.RelocType = area[pos + kSymRelocType];
  rec.SegmentId = area[pos + kSymSegmentId];
  rec.Scope = area[pos + kSymScope];
  rec.Name.assign(reinterpret_cast<const char*>(area.data() + pos + kSymName), n);
  next = pos + kSymName + n;
  return true;
}

// Calls VISIT(rec) for every symbol in area order.
template <typename Visit>
void WalkSymbols(const AsmContext& cx, Visit&& visit) {
  AsmSymbolRec rec;
  size_t pos = 0, next = 0;
  while (ReadSymbolRecord(cx.sym.SymbolArea, pos, rec, next)) {
    visit(rec);
    pos = next;
  }
}

}  // namespace dorvik::as
