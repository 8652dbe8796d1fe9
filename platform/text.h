#pragma once

#include <algorithm>
#include <string_view>

namespace dorvik::platform {

// Equal texts when ASCII letters are compared without case.
inline bool SameText(std::string_view a, std::string_view b) {
  constexpr auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return upper(x) == upper(y); });
}

}  // namespace dorvik::platform
