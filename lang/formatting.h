#pragma once
// Number and value formatting: the fixed-width radix formatter with its short
// forms, single-precision texts, and the texts of typed values and of the
// value list in the display radix.

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

#include "lang/keywords.h"
#include "lang/valuelist.h"

namespace dorvik {

// Mode of FormatNumber: the radix in the low byte; this high byte for float text.
inline constexpr uint16_t kFloatMode = static_cast<uint16_t>(tok::kFLOAT) << 8;

struct FormattingState {
  uint8_t DisplayRadix = 16;  // radix of value lists: 2, 8, 10 or 16
  // First bytes of a 3-byte generic pointer, by memory type.
  std::bitset<256> CodePtrSelectors = std::bitset<256>().set(0).set(255);
  std::bitset<256> XDataPtrSelectors = std::bitset<256>().set(2);
  std::bitset<256> PDataPtrSelectors = std::bitset<256>().set(3);
  std::bitset<256> DataPtrSelectors = std::bitset<256>().set(1).set(4);
};

FormattingState& Formatting();


// Numbers
// Value in a radix (mode low byte, 2 to 36) in a field of Width digits; digits
// that do not fit are dropped; TrimZeros drops leading zeros; ZeroPrefix puts
// "0" after the sign. A value beyond 32 bits gives Width blanks. With
// kFloatMode: a decimal text (scientific above 1E18).
std::string FormatNumber(uint16_t mode, uint8_t width, bool trimZeros, long double value,
                         bool zeroPrefix);
std::string FormatHex2(uint8_t b);
std::string FormatHex4(uint16_t w);
std::string FormatDec5(uint16_t w);
// Text of a single-precision bit pattern, always 14 characters.
std::string FormatSingle(uint32_t bits);

// Typed values
// Compact text of a raw value by its type token.
std::string FormatTypedValue(uint8_t typeToken, uint32_t value);
// One value-list item in a radix (zero-padded to the type's width).
std::string FormatValue(const tValueItem& item, uint8_t radix);
// The whole value list in the display radix.
std::string FormatValueList();

// Text fields
// From 1-based position Start: blanks skipped, then the characters up to
// Delim, CR or the end, upper-cased.
std::string ExtractField(std::string_view s, size_t start, char delim);

}  // namespace dorvik
