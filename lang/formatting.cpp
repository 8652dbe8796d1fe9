#include "lang/formatting.h"
#include "base/session.h"
#include "base/text.h"

#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace dorvik {
namespace {

constexpr long double kMaxInt32 = 2147483647.0L;
constexpr long double kMaxUInt32 = 4294967295.0L;
constexpr long double kScientificAbove = 1e18L;

char DigitChar(unsigned digit) {
  return static_cast<char>(digit < 10 ? '0' + digit : 'A' + digit - 10);
}

std::string RightAligned(std::string text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// Decimal text of an extended value: 18 decimals with trailing zeros dropped
// (one kept after the point), or 1.00000000000000E+0018 above 1E18.
std::string FloatText(long double value) {
  // Room for the fixed text of the largest extended value.
  static char buffer[5100];
  std::string text;
  if (value > kScientificAbove && std::isfinite(value)) {
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    text.assign(buffer, r.ptr);
    const size_t e = text.find('e');
    std::string exponent = text.substr(e + 2);
    if (exponent.size() < 4) exponent.insert(0, 4 - exponent.size(), '0');
    text = text.substr(0, e) + 'E' + text[e + 1] + exponent;
  } else {
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 18);
    text.assign(buffer, r.ptr);
    if (text.find('.') != std::string::npos) {
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text += '0';
    }
  }
  return ExtractField(text, 1, ' ');
}

// The digit loop of an integer value already known to be at most 4294967295.
std::string IntegerText(unsigned radix, uint8_t width, bool trimZeros, uint64_t value,
                        bool negative, bool zeroPrefix) {
  std::string field(width, ' ');
  size_t leading = 0;
  for (size_t i = 1; i <= width; ++i) {
    if (trimZeros && i > 1 && value == 0) ++leading;
    field[width - i] = DigitChar(static_cast<unsigned>(value % radix));
    value /= radix;
  }
  std::string result;
  if (negative) result += '-';
  if (zeroPrefix) result += '0';
  result += field.substr(leading);
  return result;
}

const char* PointerSpaceText(uint8_t selector) {
  const FormattingState& f = Formatting();
  if (f.CodePtrSelectors.test(selector)) return "    CODE ";
  if (f.XDataPtrSelectors.test(selector)) return "   XDATA ";
  if (f.PDataPtrSelectors.test(selector)) return "   PDATA ";
  if (f.DataPtrSelectors.test(selector)) return "    DATA ";
  return "<unknown>";
}

// Digits of a value-list item by its type and the radix.
uint8_t ValueWidth(int32_t typeToken, uint8_t radix) {
  struct Widths { uint8_t r2, r8, r10, r16; };
  Widths w;
  switch (typeToken) {
    case tok::kLONGINT: case tok::kDOUBLEWORD: w = {32, 11, 10, 8}; break;
    case tok::kADDRESS: case tok::kINTEGER: case tok::kWORD: w = {16, 6, 5, 4}; break;
    case tok::kBYTE: case tok::kSHORTINT: w = {8, 3, 3, 2}; break;
    default: return 32;
  }
  switch (radix) {
    case 2: return w.r2;
    case 8: return w.r8;
    case 10: return w.r10;
    case 16: return w.r16;
    default: return 32;
  }
}

// A signed type: blank or "-" and the magnitude in one more digit than the
// unsigned width. The most negative value shows its true magnitude.
std::string SignedValue(uint32_t value, unsigned bits, uint8_t radix, uint8_t width) {
  const uint64_t signBit = uint64_t{1} << (bits - 1);
  const uint64_t mask = (uint64_t{1} << bits) - 1;
  uint64_t v = value & mask;
  std::string sign = " ";
  if (v & signBit) {
    sign = "-";
    v = (~v + 1) & mask;
    if (v == 0) v = signBit;
  }
  return sign + FormatNumber(radix, static_cast<uint8_t>(width + 1), false,
                             static_cast<long double>(v), false);
}

}  // namespace

FormattingState& Formatting() { return CurrentSession().Get<FormattingState>(); }


std::string FormatNumber(uint16_t mode, uint8_t width, bool trimZeros, long double value,
                         bool zeroPrefix) {
  if ((mode >> 8) == tok::kFLOAT) return FloatText(value);
  const unsigned radix = mode & 0xFF;
  assert(radix >= 2 && radix <= 36);
  const long double magnitude = std::fabs(value);
  if (radix < 2 || radix > 36 || !(magnitude <= kMaxUInt32)) {
    std::string blanks = zeroPrefix ? "0" : "";
    blanks.append(width, ' ');
    return blanks;
  }
  long double rounded = std::nearbyint(magnitude);
  if (magnitude <= kMaxInt32) {
    // Rounded as a signed 32-bit value: the sign goes with the rounding.
    rounded = std::nearbyint(value);
    const bool negative = rounded < 0;
    return IntegerText(radix, width, trimZeros, static_cast<uint64_t>(std::fabs(rounded)),
                       negative, zeroPrefix);
  }
  return IntegerText(radix, width, trimZeros, static_cast<uint64_t>(rounded), value < 0,
                     zeroPrefix);
}

std::string FormatHex2(uint8_t b) { return FormatNumber(16, 2, false, b, false); }

std::string FormatHex4(uint16_t w) { return FormatNumber(16, 4, false, w, false); }

std::string FormatDec5(uint16_t w) { return FormatNumber(10, 5, true, w, false); }

std::string FormatSingle(uint32_t bits) {
  const float value = std::bit_cast<float>(bits);
  if (std::isnan(value)) return "           NaN";
  if (std::isinf(value)) return value > 0 ? "           INF" : "          -INF";
  char buffer[64];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                         std::chars_format::scientific, 14);
  std::string text(buffer, r.ptr);
  std::string result = text[0] == '-' ? "-" : " ";
  if (text[0] == '-') text.erase(0, 1);
  const size_t e = text.find('e');
  const std::string exponent = text.substr(e + 2);
  result += text.substr(0, 9);  // first digit, point, 7 digits
  result += 'E';
  result += text[e + 1];
  result += exponent.substr(exponent.size() - 2);
  return result;
}

std::string FormatTypedValue(uint8_t typeToken, uint32_t value) {
  char buffer[32];
  switch (typeToken) {
    case tok::kBYTE:
      std::snprintf(buffer, sizeof buffer, "%02X", value);
      return buffer;
    case tok::kINTEGER:
      return RightAligned(std::to_string(static_cast<int16_t>(value & 0xFFFF)), 6);
    case tok::kCHAR:
      return std::string("'") + static_cast<char>(value & 0xFF) + "'";
    case tok::kBIT:
      return std::to_string(value);
    case tok::kBOOLEAN:
      return (value & 0xFF) != 0 ? "  TRUE" : " FALSE";
    case tok::kADDRESS:
    case tok::kWORD:
      std::snprintf(buffer, sizeof buffer, "%04X", value);
      return buffer;
    case tok::kLONGINT:
      return RightAligned(std::to_string(static_cast<int32_t>(value)), 11);
    case tok::kDOUBLEWORD:
      return FormatHex4(static_cast<uint16_t>(value >> 16)) + FormatHex4(static_cast<uint16_t>(value));
    case tok::kFLOAT:
      return FormatSingle(value);
    case tok::kSHORTINT:
      return RightAligned(std::to_string(static_cast<int8_t>(value & 0xFF)), 4);
    case tok::kPOINTER: {
      const uint16_t address =
          static_cast<uint16_t>(((value >> 8) & 0xFF) << 8 | ((value >> 16) & 0xFF));
      return PointerSpaceText(static_cast<uint8_t>(value & 0xFF)) + FormatHex4(address);
    }
    default:
      return {};
  }
}

std::string FormatValue(const tValueItem& item, uint8_t radix) {
  const uint8_t width = ValueWidth(item.TypeToken, radix);
  switch (item.TypeToken) {
    case tok::kLONGINT: return SignedValue(item.Value, 32, radix, width);
    case tok::kINTEGER: return SignedValue(item.Value, 16, radix, width);
    case tok::kSHORTINT: return SignedValue(item.Value, 8, radix, width);
    case tok::kDOUBLEWORD: return FormatNumber(radix, width, false, item.Value, false);
    case tok::kADDRESS:
    case tok::kWORD: return FormatNumber(radix, width, false, item.Value & 0xFFFF, false);
    case tok::kBYTE: return FormatNumber(radix, width, false, item.Value & 0xFF, false);
    case tok::kFLOAT: return FormatSingle(item.Value);
    case tok::kPOINTER: return FormatTypedValue(tok::kPOINTER, item.Value);
    case tok::kBIT: return item.Value != 0 ? "1" : "0";
    case tok::kBOOLEAN: {
      std::string text(LastKeywordName((item.Value & 0xFF) != 0 ? tok::kTRUE : tok::kFALSE));
      text.resize(5, ' ');
      return text;
    }
    case tok::kCHAR: return std::string(1, static_cast<char>(item.Value & 0xFF));
    default: return FormatNumber(radix, width, false, item.Value, false);
  }
}

std::string FormatValueList() {
  const tValueList& list = ValueList();
  if (list.Items.empty()) return {};
  std::string text;
  if (list.Items.front().TypeToken == tok::kCHAR) {
    // A string in quotes; it ends at its first NUL.
    text = "'";
    for (const tValueItem& item : list.Items) {
      const char c = static_cast<char>(item.Value & 0xFF);
      if (c == '\0') break;
      text += c;
    }
    return text + "'";
  }
  for (const tValueItem& item : list.Items) {
    if (!text.empty()) text += ", ";
    text += FormatValue(item, Formatting().DisplayRadix);
  }
  return text;
}

std::string ExtractField(std::string_view s, size_t start, char delim) {
  std::string field;
  size_t i = start == 0 ? 0 : start - 1;
  while (i < s.size() && s[i] == ' ') ++i;
  for (; i < s.size() && s[i] != delim && s[i] != '\r'; ++i) {
    field += UpperChar(s[i]);
  }
  return field;
}

}  // namespace dorvik
