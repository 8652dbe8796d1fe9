#include "assembler/asmsymbols.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "assembler/asmerrors.h"

namespace dorvik::as {

namespace {

constexpr size_t kEndMarkSize = 11;  // end-mark record with the name " "

void WriteEndMark(AsmContext& c, size_t pos) {
  uint8_t* p = c.sym.SymbolArea.data() + pos;
  std::memset(p, 0, kSymName);
  p[kSymKind] = kind::kEndMark;
  p[kSymNameLen] = 1;
  p[kSymName] = ' ';
}

}  // namespace

void InitSymbolArea(AsmContext& c) {
  c.sym.SymbolArea.assign(kSymbolAreaSize, 0);
  c.sym.SymbolOffsets.clear();
  WriteEndMark(c, 0);
  c.sym.SymbolCursor = 0;
  c.sym.SymbolIndex = 1;
  c.sym.SymbolEnd = 0;
  c.sym.LastSymbol = 0;
  c.sym.LongestName = 0;
}

uint8_t SymKind(const AsmContext& c, size_t pos) {
  return c.sym.SymbolArea[pos + kSymKind];
}
uint8_t SymFlags(const AsmContext& c, size_t pos) {
  return c.sym.SymbolArea[pos + kSymFlags];
}
uint32_t SymValue(const AsmContext& c, size_t pos) {
  const uint8_t* p = c.sym.SymbolArea.data() + pos + kSymValue;
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint8_t SymRelocType(const AsmContext& c, size_t pos) {
  return c.sym.SymbolArea[pos + kSymRelocType];
}
uint8_t SymSegmentId(const AsmContext& c, size_t pos) {
  return c.sym.SymbolArea[pos + kSymSegmentId];
}
uint8_t SymScope(const AsmContext& c, size_t pos) {
  return c.sym.SymbolArea[pos + kSymScope];
}
std::string_view SymName(const AsmContext& c, size_t pos) {
  return {reinterpret_cast<const char*>(c.sym.SymbolArea.data() + pos + kSymName),
          c.sym.SymbolArea[pos + kSymNameLen]};
}
bool IsEndMark(const AsmContext& c, size_t pos) { return SymKind(c, pos) == kind::kEndMark; }
size_t NextSymbolPos(const AsmContext& c, size_t pos) {
  return pos + kSymName + c.sym.SymbolArea[pos + kSymNameLen];
}
size_t SymbolCount(const AsmContext& c) {
  return c.sym.SymbolOffsets.size();
}

AsmSymbolRec SymbolAt(const AsmContext& c, size_t pos) {
  AsmSymbolRec r;
  r.Kind = SymKind(c, pos);
  r.Flags = SymFlags(c, pos);
  r.Value = SymValue(c, pos);
  r.RelocType = SymRelocType(c, pos);
  r.SegmentId = SymSegmentId(c, pos);
  r.Scope = SymScope(c, pos);
  r.Name = std::string(SymName(c, pos));
  return r;
}

void SetSymKind(AsmContext& c, size_t pos, uint8_t v) {
  c.sym.SymbolArea[pos + kSymKind] = v;
}
void SetSymFlags(AsmContext& c, size_t pos, uint8_t v) {
  c.sym.SymbolArea[pos + kSymFlags] = v;
}
void SetSymValue(AsmContext& c, size_t pos, uint32_t v) {
  uint8_t* p = c.sym.SymbolArea.data() + pos + kSymValue;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void SetSymRelocType(AsmContext& c, size_t pos, uint8_t v) {
  c.sym.SymbolArea[pos + kSymRelocType] = v;
}
void SetSymSegmentId(AsmContext& c, size_t pos, uint8_t v) {
  c.sym.SymbolArea[pos + kSymSegmentId] = v;
}
void SetSymScope(AsmContext& c, size_t pos, uint8_t v) {
  c.sym.SymbolArea[pos + kSymScope] = v;
}

bool SymbolNameGreater(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca > cb;
  }
  return a.size() > b.size();
}

bool FindAsmSymbol(AsmContext& c, std::string_view name) {
  // The area is sorted: a binary search over the record index finds the
  // record or the place where the name belongs.
  const auto it = std::lower_bound(
      c.sym.SymbolOffsets.begin(), c.sym.SymbolOffsets.end(), name,
      [&c](uint32_t pos, std::string_view n) { return SymbolNameGreater(n, SymName(c, pos)); });
  const size_t index = static_cast<size_t>(it - c.sym.SymbolOffsets.begin());
  c.sym.SymbolIndex = static_cast<uint32_t>(index + 1);
  if (it == c.sym.SymbolOffsets.end()) {
    c.sym.SymbolCursor = c.sym.SymbolEnd;
    return false;
  }
  c.sym.SymbolCursor = *it;
  return SymName(c, *it) == name;
}

void InsertAsmSymbol(AsmContext& c, std::string_view name) {
  assert(!name.empty() && name.size() <= 255);
  const size_t size = name.size() + kSymName;
  if (c.sym.SymbolEnd > kSymbolAreaLimit || c.sym.SymbolEnd + size + kEndMarkSize > kSymbolAreaSize) {
    ReportAsmError(c, asm_err::kInternalSymbolTableFull);  // internal errors end the run
    return;
  }
  const size_t cursor = c.sym.SymbolCursor;
  const bool atEnd = cursor == c.sym.SymbolEnd;
  if (atEnd)
    c.sym.LastSymbol = cursor;
  else
    c.sym.LastSymbol += size;
  uint8_t* base = c.sym.SymbolArea.data();
  std::memmove(base + cursor + size, base + cursor, c.sym.SymbolEnd + kEndMarkSize - cursor);
  uint8_t* p = base + cursor;
  p[kSymKind] = kind::kUndefined;
  p[kSymFlags] = 0;
  SetSymValue(c, cursor, 0);
  p[kSymRelocType] = c.CurrentSegment.RelocType;
  p[kSymSegmentId] = c.CurrentSegment.SegmentId;
  p[kSymScope] = kScopeLocal;
  p[kSymNameLen] = static_cast<uint8_t>(name.size());
  std::memcpy(p + kSymName, name.data(), name.size());
  c.sym.SymbolEnd += size;

  const size_t index = c.sym.SymbolIndex - 1;
  assert(index <= c.sym.SymbolOffsets.size());
  c.sym.SymbolOffsets.insert(c.sym.SymbolOffsets.begin() + static_cast<std::ptrdiff_t>(index),
                             static_cast<uint32_t>(cursor));
  for (size_t i = index + 1; i < c.sym.SymbolOffsets.size(); ++i)
    c.sym.SymbolOffsets[i] += static_cast<uint32_t>(size);
  if (name.size() > c.sym.LongestName) c.sym.LongestName = static_cast<uint8_t>(name.size());
}

bool FindSegmentSymbol(const AsmContext& c, uint8_t segmentId, size_t& pos) {
  for (uint32_t p : c.sym.SymbolOffsets) {
    if (SymKind(c, p) >= kind::kSegment && SymSegmentId(c, p) == segmentId) {
      pos = p;
      return true;
    }
  }
  return false;
}

}  // namespace dorvik::as
