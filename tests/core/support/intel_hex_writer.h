#pragma once
// A small Intel HEX writer for test programs: one data record per run of up
// to 16 used bytes, then the end record.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace dorvik::testsupport {

inline std::string IntelHexRecord(uint16_t address, uint8_t type, std::span<const uint8_t> data) {
  std::vector<uint8_t> raw = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                              static_cast<uint8_t>(address & 0xFF), type};
  raw.insert(raw.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (uint8_t b : raw) sum = static_cast<uint8_t>(sum + b);
  raw.push_back(static_cast<uint8_t>(-sum));
  std::string line = ":";
  char hex[3];
  for (uint8_t b : raw) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    line += hex;
  }
  return line + "\n";
}

// Image: the 64K code image; used: which of its bytes the file must carry.
inline std::string IntelHexText(std::span<const uint8_t> image, const std::vector<bool>& used) {
  std::string text;
  size_t a = 0;
  while (a < image.size()) {
    if (!used[a]) {
      ++a;
      continue;
    }
    size_t end = a;
    while (end < image.size() && used[end] && end - a < 16) ++end;
    text += IntelHexRecord(static_cast<uint16_t>(a), 0, image.subspan(a, end - a));
    a = end;
  }
  return text + IntelHexRecord(0, 1, {});
}

}  // namespace dorvik::testsupport
