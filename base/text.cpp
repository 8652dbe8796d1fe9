#include "base/text.h"

#include <cctype>

namespace dorvik {

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string TrimBlanks(std::string_view s) {
  size_t first = 0;
  while (first < s.size() && static_cast<unsigned char>(s[first]) <= ' ') ++first;
  size_t last = s.size();
  while (last > first && static_cast<unsigned char>(s[last - 1]) <= ' ') --last;
  return std::string(s.substr(first, last - first));
}

uint8_t HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  return 255;
}

}  // namespace dorvik
