#pragma once
// The assembler's expression parser: integer expressions over numbers,
// strings, symbols and the location counter, with segment tracking, bit
// selection and relocation requests.

#include <cstdint>

#include "assembler/context.h"

namespace dorvik::as {

// Mode 0: an absolute 16-bit value; mode 1: a value known now, not external
// and not a segment name; mode 2: any value (operands, DB/DW).
inline constexpr int kExprAbsolute = 0;
inline constexpr int kExprKnown = 1;
inline constexpr int kExprAny = 2;

// Reads one expression; the result is also left in AsmValue/AsmValueKind.
int32_t AsmExpression(AsmContext& c, int mode);

}  // namespace dorvik::as
