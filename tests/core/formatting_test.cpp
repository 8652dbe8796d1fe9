#include "core/formatting.h"

#include <gtest/gtest.h>

#include "lang_fixture.h"

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
      {16, 4, false, 255, false, "00FF"},
      {16, 4, true, 255, false, "FF"},
      {16, 4, true, 255, true, "0FF"},
      {16, 4, true, 0, false, "0"},
      {10, 5, true, -42, false, "-42"},
      {10, 5, false, -42, false, "-00042"},
      {2, 8, false, 5, false, "00000101"},
      {8, 3, false, 8, false, "010"},
      {36, 2, false, 35, false, "0Z"},
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
  struct FloatCase {
    long double value;
    const char* text;
  };
  const FloatCase cases[] = {
      {3, "3.0"},
      {0.1L, "0.1"},
      {12, "12.0"},
      {1.5L, "1.5"},
      {-0.25L, "-0.25"},
      {0, "0.0"},
      {1e18L, "1000000000000000000.0"},
      {1e19L, "1.00000000000000E+0019"},
      {2.5e300L, "2.50000000000000E+0300"},
  };
  for (const FloatCase& c : cases)
    EXPECT_EQ(FormatNumber(kFloatMode | 10, 0, false, c.value, false), c.text);
  // Width, trimming and prefix do not apply.
  EXPECT_EQ(FormatNumber(kFloatMode, 2, true, 3, true), "3.0");
  // Very large negative values still give their text without overrunning.
  EXPECT_EQ(FormatNumber(kFloatMode, 0, false, -1e300L, false).substr(0, 4), "-100");
}

TEST(FormatNumber, ShortForms) {
  EXPECT_EQ(FormatHex2(0x0A), "0A");
  EXPECT_EQ(FormatHex4(0xBEEF), "BEEF");
  EXPECT_EQ(FormatHex4(0x12), "0012");
  EXPECT_EQ(FormatDec5(65535), "65535");
  EXPECT_EQ(FormatDec5(7), "7");
  EXPECT_EQ(FormatDec5(0), "0");
}

TEST(FormatSingle, FourteenCharacters) {
  EXPECT_EQ(FormatSingle(0x7F800000), "           INF");
  EXPECT_EQ(FormatSingle(0xFF800000), "          -INF");
  EXPECT_EQ(FormatSingle(0x7FC00000), "           NaN");
  EXPECT_EQ(FormatSingle(0x3FC00000), " 1.5000000E+00");  // 1.5
  EXPECT_EQ(FormatSingle(0xC2C80000), "-1.0000000E+02");  // -100
  EXPECT_EQ(FormatSingle(0x00000000), " 0.0000000E+00");
  EXPECT_EQ(FormatSingle(0x7F7FFFFF), " 3.4028234E+38");  // digits cut, not rounded
  EXPECT_EQ(FormatSingle(0x3DCCCCCD), " 1.0000000E-01");  // 0.1
  for (uint32_t bits : {0x3FC00000u, 0x00000001u, 0xFF7FFFFFu, 0x7FC00000u})
    EXPECT_EQ(FormatSingle(bits).size(), 14u);
}

using FormatTyped = testing::LangTest;

TEST_F(FormatTyped, CompactTextsByType) {
  struct TypedCase {
    uint8_t type;
    uint32_t value;
    const char* text;
  };
  const TypedCase cases[] = {
      {tok::kBYTE, 0x0A, "0A"},
      {tok::kBYTE, 0x1FF, "1FF"},
      {tok::kINTEGER, 0xFFFF, "    -1"},
      {tok::kINTEGER, 300, "   300"},
      {tok::kCHAR, 'A', "'A'"},
      {tok::kBIT, 1, "1"},
      {tok::kBOOLEAN, 0x100, " FALSE"},  // only the low byte counts
      {tok::kBOOLEAN, 2, "  TRUE"},
      {tok::kADDRESS, 0x12, "0012"},
      {tok::kWORD, 0xABCD, "ABCD"},
      {tok::kLONGINT, 0xFFFFFFFF, "         -1"},
      {tok::kDOUBLEWORD, 0x12345678, "12345678"},
      {tok::kFLOAT, 0x3FC00000, " 1.5000000E+00"},
      {tok::kSHORTINT, 0x80, "-128"},
      {tok::kPOINTER, 0x341202, "   XDATA 1234"},
      {tok::kPOINTER, 0x0000FF, "    CODE 0000"},
      {tok::kPOINTER, 0x000001, "    DATA 0000"},
      {tok::kPOINTER, 0x000003, "   PDATA 0000"},
      {tok::kPOINTER, 0x000009, "<unknown>0000"},
      {tok::kSTEP, 1, ""},
  };
  for (const TypedCase& c : cases) EXPECT_EQ(FormatTypedValue(c.type, c.value), c.text) << int(c.type);
}

TEST_F(FormatTyped, ValuesByTypeAndRadix) {
  struct ValueCase {
    int32_t type;
    uint32_t value;
    uint8_t radix;
    const char* text;
  };
  const ValueCase cases[] = {
      {tok::kINTEGER, 0xFFFF, 10, "-000001"},
      {tok::kWORD, 0xFFFF, 10, "65535"},
      {tok::kINTEGER, 5, 16, " 00005"},
      {tok::kBYTE, 0xA5, 2, "10100101"},
      {tok::kBYTE, 0xA5, 8, "245"},
      {tok::kSHORTINT, 0x7F, 10, " 0127"},
      {tok::kLONGINT, 1, 16, " 000000001"},
      {tok::kDOUBLEWORD, 0xDEADBEEF, 16, "DEADBEEF"},
      {tok::kADDRESS, 0x1234, 8, "011064"},
      {tok::kBIT, 1, 16, "1"},
      {tok::kBIT, 0, 16, "0"},
      {tok::kBOOLEAN, 1, 16, "TRUE "},
      {tok::kBOOLEAN, 0, 16, "FALSE"},
      {tok::kCHAR, 'x', 16, "x"},
      {tok::kFLOAT, 0x3FC00000, 10, " 1.5000000E+00"},
      {tok::kBYTE, 0x0F, 7, "00000000000000000000000000000021"},  // another radix: 32 digits
  };
  for (const ValueCase& c : cases)
    EXPECT_EQ(FormatValue({c.type, c.value}, c.radix), c.text) << c.type << " radix " << int(c.radix);
}

TEST_F(FormatTyped, MostNegativeValuesKeepTheirMagnitude) {
  EXPECT_EQ(FormatValue({tok::kLONGINT, 0x80000000}, 10), "-02147483648");
  EXPECT_EQ(FormatValue({tok::kLONGINT, 0x80000000}, 16), "-080000000");
  EXPECT_EQ(FormatValue({tok::kINTEGER, 0x8000}, 10), "-032768");
  EXPECT_EQ(FormatValue({tok::kINTEGER, 0x8000}, 2), "-01000000000000000");
  EXPECT_EQ(FormatValue({tok::kSHORTINT, 0x80}, 10), "-0128");
  EXPECT_EQ(FormatValue({tok::kSHORTINT, 0xFF}, 16), "-001");
}

TEST_F(FormatTyped, ValueListJoinedInTheDisplayRadix) {
  EXPECT_EQ(FormatValueList(), "");
  AppendValue(tok::kBYTE, 1);
  AppendValue(tok::kBYTE, 0xFF);
  EXPECT_EQ(FormatValueList(), "01, FF");
  Formatting().DisplayRadix = 10;
  EXPECT_EQ(FormatValueList(), "001, 255");
}

TEST_F(FormatTyped, CharacterListsAreQuotedStrings) {
  for (char c : {'A', 'B', 'C', '\0', 'D'}) AppendValue(tok::kCHAR, static_cast<uint8_t>(c));
  EXPECT_EQ(FormatValueList(), "'ABC'");
  ValueList().Items.clear();
  // Without a NUL every character stays and the closing quote follows.
  for (char c : {'A', 'B', 'C'}) AppendValue(tok::kCHAR, static_cast<uint8_t>(c));
  EXPECT_EQ(FormatValueList(), "'ABC'");
}

TEST(ExtractField, FromAPositionUpToTheDelimiter) {
  EXPECT_EQ(ExtractField("   abc def", 1, ' '), "ABC");
  EXPECT_EQ(ExtractField("x=12,y", 3, ','), "12");
  EXPECT_EQ(ExtractField("ab\rcd", 1, ','), "AB");
  EXPECT_EQ(ExtractField("", 1, ' '), "");
  EXPECT_EQ(ExtractField("abc", 10, ' '), "");
}

}  // namespace
}  // namespace dorvik
