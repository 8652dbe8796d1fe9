#pragma once
// The value list: the typed values that the last evaluation, memory read or
// step left behind, for the formatters and the memory commands.

#include <cstdint>
#include <vector>

namespace dorvik {

struct tValueItem {
  int32_t TypeToken = 0;  // 144 ADDRESS, 146 CHAR, 147 BYTE, ... 68 BIT
  uint32_t Value = 0;     // raw bits (a FLOAT as its single-precision pattern)
};

struct tValueList {
  int32_t ElemType = 0;
  std::vector<tValueItem> Items;
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
};

tValueList& ValueList();
void AppendValue(int32_t typeToken, uint32_t value);
// The numeric value of an item's raw bits by its type (FLOAT from its
// single-precision pattern, INTEGER, SHORTINT and LONGINT signed).
long double ItemValue(const tValueItem& item);
// Bytes of one element of a type token.
int ElementSize(int32_t typeToken);
// The low 32 bits of the integer part of an expression's value, as a target
// register or memory takes it; 0 for a value that is no number or lies beyond
// the 64-bit range.
uint32_t LowBits32(long double value);

}  // namespace dorvik
