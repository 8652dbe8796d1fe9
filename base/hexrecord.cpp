#include "base/hexrecord.h"

namespace dorvik {

std::string HexRecordText(uint16_t address, uint8_t type, std::span<const uint8_t> data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(11 + 2 * data.size());
  text += ':';
  uint8_t sum = 0;
  const auto put = [&](uint8_t b) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
    sum = static_cast<uint8_t>(sum + b);
  };
  put(static_cast<uint8_t>(data.size()));
  put(static_cast<uint8_t>(address >> 8));
  put(static_cast<uint8_t>(address));
  put(type);
  for (uint8_t b : data) put(b);
  put(static_cast<uint8_t>(-sum));
  return text;
}

}  // namespace dorvik
