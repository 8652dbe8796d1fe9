#include "lang/collections.h"
#include "base/session.h"
#include "lang/symbols.h"

#include <gtest/gtest.h>

#include <string>

namespace dorvik {
namespace {

class CollectionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSession(); }
  void TearDown() override { ResetSession(); }
};

TEST_F(CollectionsTest, SymbolAssignKeepsNumberAndTypeAndTypeDefCopiesOnlyUsedDimensions) {
  tSymbolItem source{"LOOP", 0x1234, 2, 0x80, 17, 40};
  tSymbolItem target{"OLD", 1, 1, 12, 99, 33};
  target.Assign(source);
  EXPECT_EQ(target.Name, "LOOP");
  EXPECT_EQ(target.Value, 0x1234u);
  EXPECT_EQ(target.Nesting, 2);
  EXPECT_EQ(target.SymClass, 0x80);
  EXPECT_EQ(target.Number, 99);
  EXPECT_EQ(target.VarType, 33);

  tTypeDefItem array;
  array.TypeName = "ARR";
  array.Size = 20;
  array.Dimensions = 2;
  array.DimensionSizes = {4, 5, 6};  // the third is beyond Dimensions
  tTypeDefItem copy;
  copy.DimensionSizes[2] = -1;
  copy.Assign(array);
  EXPECT_EQ(copy.TypeName, "ARR");
  EXPECT_EQ(copy.Size, 20);
  EXPECT_EQ(copy.DimensionSizes[1], 5);
  EXPECT_EQ(copy.DimensionSizes[2], -1);
}

TEST_F(CollectionsTest, GetItemChecksTheRange) {
  TSymbolCollection symbols;
  symbols.Add().Name = "A";
  symbols.Add().Name = "B";
  EXPECT_EQ(symbols.GetItem(1)->Name, "B");
  EXPECT_EQ(symbols.GetItem(2), nullptr);
  EXPECT_EQ(symbols.GetItem(-1), nullptr);
}

TEST_F(CollectionsTest, FreeingTheTablesDropsTheFoundItemsAndCreateKeepsExistingOnes) {
  CreateSymbolCollections();
  Collections().SymbolTable->Add().Name = "X";
  CreateSymbolCollections();
  EXPECT_EQ(Collections().SymbolTable->Count(), 1);
  Collections().ModuleTable->Add().Name = "M";
  Collections().FoundSymbol = 0;
  Collections().FoundModule = 0;
  ASSERT_NE(SymbolAt(0), nullptr);
  FreeSymbolCollections();
  EXPECT_FALSE(Collections().SymbolTable || Collections().ModuleTable || Collections().TypeDefs);
  EXPECT_EQ(Collections().FoundSymbol, kNoItem);
  EXPECT_EQ(Collections().FoundModule, kNoItem);
  EXPECT_EQ(SymbolAt(0), nullptr);
  EXPECT_EQ(ModuleAt(0), nullptr);
}

TEST(UpperCaseStrings, AddStoresUpperCaseAndStringIndexCountsTwoCharactersPerLineEnd) {
  tUpperCaseStrings list;
  EXPECT_EQ(list.StringIndex(1), -1);
  EXPECT_EQ(list.Add("ab"), 0);
  EXPECT_EQ(list.Add("Cd"), 1);
  EXPECT_EQ(list.Text(), "AB\r\nCD\r\n");
  struct Case { int32_t CharPos; int32_t Line; };
  for (Case c : {Case{0, -1}, Case{-3, -1}, Case{1, 0}, Case{4, 0}, Case{5, 1}, Case{7, 1}, Case{8, -1},
                 Case{100, -1}}) {
    EXPECT_EQ(list.StringIndex(c.CharPos), c.Line) << "CharPos " << c.CharPos;
  }
}

TEST(HintWindow, HundredCharactersWithBlanksMakeTwoLinesThirtySixPixelsHigh) {
  std::string text;
  while (text.size() < 100) text += "WORD12345 ";
  text.resize(100);
  TScriptWindow hint;
  hint.X = 10;
  hint.Y = 20;
  hint.Text = text;
  hint.LayoutText(2000, [](std::string_view s) { return static_cast<int32_t>(s.size()) * 7; });
  EXPECT_EQ(hint.Height, 36);
  EXPECT_EQ(hint.Top, 30);
  EXPECT_EQ(hint.Left, 15);
  auto lines = WrapHintText(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_LE(lines[0].size(), kHintWrapColumn);
  EXPECT_EQ(hint.Caption, lines[0] + "\r\n" + lines[1]);
  EXPECT_EQ(hint.Width, static_cast<int32_t>(std::max(lines[0].size(), lines[1].size())) * 7 + 5);
}

TEST(HintWindow, WrapBreaksAfterEqualsSignsKeepsLineEndsAndLongWords) {
  struct Case { std::string Text; std::vector<std::string> Lines; };
  const Case cases[] = {
      {std::string(60, 'X') + "=" + std::string(20, 'Y'), {std::string(60, 'X') + "=", std::string(20, 'Y')}},
      {"  A = 12H  ", {"A = 12H"}},
      {"FIRST\r\nSECOND", {"FIRST", "SECOND"}},
      {std::string(80, 'Z'), {std::string(80, 'Z')}},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapHintText(c.Text), c.Lines) << c.Text;
}

TEST(HintWindow, StaysInsideTheParent) {
  TScriptWindow hint;
  hint.X = 380;
  hint.Text = "VALUE";
  auto width = [](std::string_view s) { return static_cast<int32_t>(s.size()) * 10; };
  hint.LayoutText(400, width);
  EXPECT_EQ(hint.Width, 55);
  EXPECT_EQ(hint.Left, 400 - 55);
  hint.Text = std::string(60, 'W');
  hint.LayoutText(400, width);
  EXPECT_EQ(hint.Left, 0);
}

}  // namespace
}  // namespace dorvik
