#pragma once
// Text helpers of names and numbers as the engine compares and reads them.

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvik {

// The letters a-z upper-cased, every other character as it is.
inline char UpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
// ASCII upper case, as names are compared.
std::string UpperCase(std::string_view s);
// Without leading and trailing blanks and control characters.
std::string TrimBlanks(std::string_view s);
// The value of a hexadecimal digit (either case); 255 for any other character.
uint8_t HexDigitValue(char c);

}  // namespace dorvik
