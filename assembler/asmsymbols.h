#pragma once
// The assembler's symbol area: variable-length records kept sorted by name
// in one block, searched by name and extended by insertion at the cursor.

#include <cstdint>
#include <string>
#include <string_view>

#include "assembler/context.h"

namespace dorvik::as {

// Area set-up
// Empties the area: one end-mark record with the name " ".
void InitSymbolArea(AsmContext& c);

// Reading records
uint8_t SymKind(const AsmContext& c, size_t pos);
uint8_t SymFlags(const AsmContext& c, size_t pos);
uint32_t SymValue(const AsmContext& c, size_t pos);
uint8_t SymRelocType(const AsmContext& c, size_t pos);
uint8_t SymSegmentId(const AsmContext& c, size_t pos);
uint8_t SymScope(const AsmContext& c, size_t pos);
std::string_view SymName(const AsmContext& c, size_t pos);
AsmSymbolRec SymbolAt(const AsmContext& c, size_t pos);
bool IsEndMark(const AsmContext& c, size_t pos);
// Position of the record after the one at pos.
size_t NextSymbolPos(const AsmContext& c, size_t pos);
// Number of symbols in the area.
size_t SymbolCount(const AsmContext& c);

// Writing fields
void SetSymKind(AsmContext& c, size_t pos, uint8_t v);
void SetSymFlags(AsmContext& c, size_t pos, uint8_t v);
void SetSymValue(AsmContext& c, size_t pos, uint32_t v);
void SetSymRelocType(AsmContext& c, size_t pos, uint8_t v);
void SetSymSegmentId(AsmContext& c, size_t pos, uint8_t v);
void SetSymScope(AsmContext& c, size_t pos, uint8_t v);

// Search and insertion
// True when name a sorts after name b (byte codes; a longer name after its prefix).
bool SymbolNameGreater(std::string_view a, std::string_view b);
// Searches for name: the cursor ends at the record found or where it belongs.
bool FindAsmSymbol(AsmContext& c, std::string_view name);
// Inserts a new record for name at the cursor (Kind 7, Scope 2, segment of
// the current segment). Reports error 903 and stops the run when the area is full.
void InsertAsmSymbol(AsmContext& c, std::string_view name);
// The segment symbol with the given id; false when there is none.
bool FindSegmentSymbol(const AsmContext& c, uint8_t segmentId, size_t& pos);

}  // namespace dorvik::as
