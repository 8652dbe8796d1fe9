#include "lang/formatting.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iomanip>
#include <sstream>

#include "tests/support/lang_fixture.h"

namespace dorvik {
namespace {

using FormatTyped = testing::LangTest;

uint8_t TypeToken(const std::string& name) {
  for (const KeywordRow& row : KeywordTable)
    if (row.Name == name) return row.Token;
  ADD_FAILURE() << "no type " << name;
  return 0;
}

// The texts of data/formats.txt (see its head for the form of a line).
TEST_F(FormatTyped, TextsOfTheDataFile) {
  std::ifstream in(std::string(DORVIK_SOURCE_DIR) + "/tests/lang/data/formats.txt");
  int rows = 0;
  for (std::string line; std::getline(in, line);) {
    const size_t arrow = line.find(" => ");
    if (line.empty() || line[0] == '#' || arrow == std::string::npos) continue;
    ++rows;
    std::istringstream head(line.substr(0, arrow)), tail(line.substr(arrow + 4));
    std::string kind, expected, a, b;
    tail >> std::quoted(expected);
    head >> kind;
    std::string got;
    if (kind == "number") {
      int radix = 0, width = 0, trim = 0, prefix = 0;
      head >> radix >> width >> trim >> prefix >> a;
      got = FormatNumber(static_cast<uint16_t>(radix), static_cast<uint8_t>(width), trim != 0, std::stold(a),
                         prefix != 0);
    } else if (kind == "float") {
      head >> a;
      got = FormatNumber(kFloatMode | 10, 0, false, std::stold(a), false);
    } else if (kind == "single") {
      head >> a;
      got = FormatSingle(static_cast<uint32_t>(std::stoul(a, nullptr, 0)));
    } else if (kind == "compact") {
      head >> a >> b;
      got = FormatTypedValue(TypeToken(a), static_cast<uint32_t>(std::stoul(b, nullptr, 0)));
    } else {
      int radix = 0;
      head >> a >> b >> radix;
      got = FormatValue({TypeToken(a), static_cast<uint32_t>(std::stoul(b, nullptr, 0))},
                        static_cast<uint8_t>(radix));
    }
    EXPECT_EQ(got, expected) << line;
  }
  EXPECT_GT(rows, 70);
  // Width, trimming and prefix do not apply to floats; very large negative ones still fit.
  EXPECT_EQ(FormatNumber(kFloatMode, 2, true, 3, true), "3.0");
  EXPECT_EQ(FormatNumber(kFloatMode, 0, false, -1e300L, false).substr(0, 4), "-100");
  for (uint32_t bits : {0x00000001u, 0xFF7FFFFFu}) EXPECT_EQ(FormatSingle(bits).size(), 14u);
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
