#pragma once
// End of pass 2: the missing-END check, closing of the error print, object and
// HEX outputs, and the symbol table section, register bank line and closing
// line of the listing.

#include <cstdint>
#include <string_view>

namespace dorvik::as {

struct AsmContext;

void WriteSymbolTableListing(AsmContext& cx);

// The name column width of the symbol table for a longest name: at least 8,
// plus 2, rounded up to an even number.
uint8_t SymbolNameColumnWidth(uint8_t longestName);

}  // namespace dorvik::as
