#pragma once
// The pieces the memory commands share: a typed memory operand read from the
// command line (keyword, space and range) and the display lines of values.

#include <cstdint>
#include <vector>

#include "lang/valuelist.h"

namespace dorvik {

// A typed range in one memory space, clipped to the end of that space.
struct MemoryOperand {
  uint8_t Space = 0;
  uint8_t Type = 0;  // element type token (BIT, BYTE, WORD, ... or the type keyword)
  int32_t Start = 0;
  int32_t End = 0;
  int32_t Length = 0;  // elements
  bool RangeGiven = false;
};

// The last address of a memory space.
int32_t SpaceEnd(uint8_t space);
// After the keyword Token (a memory keyword or a type keyword, whose space
// word may follow): the address and optional range. The evaluator's range
// variables hold the result too. Direct data below 80H is indirect data; a
// range past the end of its space is clipped; a start past it (162) or a
// space the target has no memory for (145) is an error.
bool ReadMemoryOperand(uint8_t token, MemoryOperand& op);
// Display lines of Items (values of Type read from Addr in Space).
void PrintMemoryLines(uint8_t space, int32_t addr, uint8_t type, const std::vector<tValueItem>& items);

}  // namespace dorvik
