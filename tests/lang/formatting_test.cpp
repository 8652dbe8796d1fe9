#include "lang/formatting.h"

#include <gtest/gtest.h>

#include "tests/support/lang_fixture.h"

namespace dorvik {
namespace {

struct NumberCase {
  uint16_t mode;
  uint8_t width;
  bool trim;
  long double value;
  bool zeroPrefix;
  const char* text;
};

TEST(FormatNumber, RadixWidthTrimAndPrefix) {
  const NumberCase cases[] = {
      {16, 4, false, 255, false, "00FF"}, {16, 4, true, 255, false, "FF"}, {16, 4, true, 255, true, "0FF"},
      {16, 4, true, 0, false, "0"}, {10, 5, true, -42, false, "-42"}, {10, 5, false, -42, false, "-00042"},
      {2, 8, false, 5, false, "00000101"}, {8, 3, false, 8, false, "010"}, {36, 2, false, 35, false, "0Z"},
      {16, 2, false, 0x1234, false, "34"},  // digits that do not fit are dropped
      {16, 8, false, 4294967295.0L, false, "FFFFFFFF"},
      {16, 8, false, 2147483648.0L, false, "80000000"},  // the extended branch
      {10, 10, true, -3000000000.0L, false, "-3000000000"},
      {16, 4, false, 2.5L, false, "0002"},  // rounded half to even
      {16, 4, false, 3.5L, false, "0004"},
      {16, 4, false, 4294967296.0L, false, "    "},  // beyond 32 bits: blanks
      {16, 4, false, -4294967296.0L, false, "    "},
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(FormatNumber(c.mode, c.width, c.trim, c.value, c.zeroPrefix), c.text)
        << "radix " << (c.mode & 0xFF) << " width " << int(c.width) << " value "
        << static_cast<double>(c.value);
  }
}

TEST(FormatNumber, FloatText) {
  const std::pair<long double, const char*> cases[] = {
      {3, "3.0"}, {0.1L, "0.1"}, {12, "12.0"}, {1.5L, "1.5"}, {-0.25L, "-0.25"}, {0, "0.0"},
      {1e18L, "1000000000000000000.0"}, {1e19L, "1.00000000000000E+0019"},
      {2.5e300L, "2.50000000000000E+0300"},
  };
  for (const auto& [value, text] : cases)
    EXPECT_EQ(FormatNumber(kFloatMode | 10, 0, false, value, false), text) << double(value);
  // Width, trimming and prefix do not apply.
  EXPECT_EQ(FormatNumber(kFloatMode, 2, true, 3, true), "3.0");
  // Very large negative values still give their text without overrunning.
  EXPECT_EQ(FormatNumber(kFloatMode, 0, false, -1e300L, false).substr(0, 4), "-100");
}

TEST(FormatSingle, FourteenCharacters) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0x7F800000, "           INF"}, {0xFF800000, "          -INF"}, {0x7FC00000, "           NaN"},
      {0x3FC00000, " 1.5000000E+00"},  // 1.5
      {0xC2C80000, "-1.0000000E+02"},  // -100
      {0x00000000, " 0.0000000E+00"},
      {0x7F7FFFFF, " 3.4028234E+38"},  // digits cut, not rounded
      {0x3DCCCCCD, " 1.0000000E-01"},  // 0.1
  };
  for (const auto& [bits, text] : cases) EXPECT_EQ(FormatSingle(bits), text) << bits;
  for (uint32_t bits : {0x00000001u, 0xFF7FFFFFu}) EXPECT_EQ(FormatSingle(bits).size(), 14u);
}

using FormatTyped = testing::LangTest;

TEST_F(FormatTyped, CompactTextsByType) {
  const std::tuple<uint8_t, uint32_t, const char*> cases[] = {
      {tok::kBYTE, 0x0A, "0A"}, {tok::kBYTE, 0x1FF, "1FF"}, {tok::kINTEGER, 0xFFFF, "    -1"},
      {tok::kINTEGER, 300, "   300"}, {tok::kCHAR, 'A', "'A'"}, {tok::kBIT, 1, "1"},
      {tok::kBOOLEAN, 0x100, " FALSE"},  // only the low byte counts
      {tok::kBOOLEAN, 2, "  TRUE"}, {tok::kADDRESS, 0x12, "0012"}, {tok::kWORD, 0xABCD, "ABCD"},
      {tok::kLONGINT, 0xFFFFFFFF, "         -1"}, {tok::kDOUBLEWORD, 0x12345678, "12345678"},
      {tok::kFLOAT, 0x3FC00000, " 1.5000000E+00"}, {tok::kSHORTINT, 0x80, "-128"},
      {tok::kPOINTER, 0x341202, "   XDATA 1234"}, {tok::kPOINTER, 0x0000FF, "    CODE 0000"},
      {tok::kPOINTER, 0x000001, "    DATA 0000"}, {tok::kPOINTER, 0x000003, "   PDATA 0000"},
      {tok::kPOINTER, 0x000009, "<unknown>0000"}, {tok::kSTEP, 1, ""},
  };
  for (const auto& [type, value, text] : cases) EXPECT_EQ(FormatTypedValue(type, value), text) << int(type);
}

TEST_F(FormatTyped, ValuesByTypeAndRadix) {
  const std::tuple<int32_t, uint32_t, uint8_t, const char*> cases[] = {
      {tok::kINTEGER, 0xFFFF, 10, "-000001"}, {tok::kWORD, 0xFFFF, 10, "65535"},
      {tok::kINTEGER, 5, 16, " 00005"}, {tok::kBYTE, 0xA5, 2, "10100101"}, {tok::kBYTE, 0xA5, 8, "245"},
      {tok::kSHORTINT, 0x7F, 10, " 0127"}, {tok::kLONGINT, 1, 16, " 000000001"},
      {tok::kDOUBLEWORD, 0xDEADBEEF, 16, "DEADBEEF"}, {tok::kADDRESS, 0x1234, 8, "011064"},
      {tok::kBIT, 1, 16, "1"}, {tok::kBIT, 0, 16, "0"}, {tok::kBOOLEAN, 1, 16, "TRUE "},
      {tok::kBOOLEAN, 0, 16, "FALSE"}, {tok::kCHAR, 'x', 16, "x"},
      {tok::kFLOAT, 0x3FC00000, 10, " 1.5000000E+00"},
      {tok::kBYTE, 0x0F, 7, "00000000000000000000000000000021"},  // another radix: 32 digits
      // the most negative values keep their magnitude
      {tok::kLONGINT, 0x80000000, 10, "-02147483648"}, {tok::kLONGINT, 0x80000000, 16, "-080000000"},
      {tok::kINTEGER, 0x8000, 10, "-032768"}, {tok::kINTEGER, 0x8000, 2, "-01000000000000000"},
      {tok::kSHORTINT, 0x80, 10, "-0128"}, {tok::kSHORTINT, 0xFF, 16, "-001"},
  };
  for (const auto& [type, value, radix, text] : cases)
    EXPECT_EQ(FormatValue({type, value}, radix), text) << type << " radix " << int(radix);
}

TEST_F(FormatTyped, ValueListsJoinedInTheDisplayRadixOrQuoted) {
  EXPECT_EQ(FormatValueList(), "");
  AppendValue(tok::kBYTE, 1);
  AppendValue(tok::kBYTE, 0xFF);
  EXPECT_EQ(FormatValueList(), "01, FF");
  Formatting().DisplayRadix = 10;
  EXPECT_EQ(FormatValueList(), "001, 255");
  // Characters are one quoted string up to a NUL; without one every character stays.
  for (const std::string& text : {std::string("ABC\0D", 5), std::string("ABC")}) {
    ValueList().Items.clear();
    for (char c : text) AppendValue(tok::kCHAR, static_cast<uint8_t>(c));
    EXPECT_EQ(FormatValueList(), "'ABC'");
  }
}

TEST(ExtractField, FromAPositionUpToTheDelimiter) {
  const std::tuple<const char*, int, char, const char*> cases[] = {
      {"   abc def", 1, ' ', "ABC"}, {"x=12,y", 3, ',', "12"}, {"ab\rcd", 1, ',', "AB"},
      {"", 1, ' ', ""}, {"abc", 10, ' ', ""},
  };
  for (const auto& [text, from, delimiter, field] : cases)
    EXPECT_EQ(ExtractField(text, from, delimiter), field) << text;
}

}  // namespace
}  // namespace dorvik
