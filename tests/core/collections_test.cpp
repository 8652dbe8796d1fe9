#include "core/collections.h"

#include <gtest/gtest.h>

#include <string>

namespace dorvik {
namespace {

class CollectionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCollections(); }
  void TearDown() override { ResetCollections(); }
};

TEST_F(CollectionsTest, SymbolAssignCopiesNameValueNestingClassButKeepsNumberAndType) {
  tSymbolItem source{"LOOP", 0x1234, 2, 0x80, 17, 40};
  tSymbolItem target{"OLD", 1, 1, 12, 99, 33};
  target.Assign(source);
  EXPECT_EQ(target.Name, "LOOP");
  EXPECT_EQ(target.Value, 0x1234u);
  EXPECT_EQ(target.Nesting, 2);
  EXPECT_EQ(target.SymClass, 0x80);
  EXPECT_EQ(target.Number, 99);
  EXPECT_EQ(target.VarType, 33);
}

TEST_F(CollectionsTest, ModuleAssignCopiesEveryField) {
  tModuleItem source{"MAIN", 0x100, 0x1FF, true};
  tModuleItem target;
  target.Assign(source);
  EXPECT_EQ(target.Name, "MAIN");
  EXPECT_EQ(target.Start, 0x100);
  EXPECT_EQ(target.Stop, 0x1FF);
  EXPECT_TRUE(target.Flag);
}

TEST_F(CollectionsTest, TypeDefAssignCopiesOnlyTheUsedDimensionSizes) {
  tTypeDefItem source;
  source.TypeName = "ARR";
  source.TypeDefID = tTypeDef::tArray;
  source.EmbedTypeID = 7;
  source.ResultType = 3;
  source.MSpace = 1;
  source.Size = 20;
  source.Dimensions = 2;
  source.ParamStr = "(a)";
  source.DimensionSizes[0] = 4;
  source.DimensionSizes[1] = 5;
  source.DimensionSizes[2] = 6;  // beyond Dimensions
  tTypeDefItem target;
  target.DimensionSizes[2] = -1;
  target.Assign(source);
  EXPECT_EQ(target.TypeName, "ARR");
  EXPECT_EQ(target.TypeDefID, tTypeDef::tArray);
  EXPECT_EQ(target.EmbedTypeID, 7);
  EXPECT_EQ(target.ResultType, 3);
  EXPECT_EQ(target.MSpace, 1);
  EXPECT_EQ(target.Size, 20);
  EXPECT_EQ(target.ParamStr, "(a)");
  EXPECT_EQ(target.DimensionSizes[0], 4);
  EXPECT_EQ(target.DimensionSizes[1], 5);
  EXPECT_EQ(target.DimensionSizes[2], -1);
}

TEST_F(CollectionsTest, DisplayNameFallsBackToTheItemKindWhenEmpty) {
  EXPECT_EQ(tTypeDefItem{}.DisplayName(), "TypeDef");
  EXPECT_EQ(tSymbolItem{}.DisplayName(), "tSymbolItem");
  tModuleItem m;
  m.Name = "X";
  EXPECT_EQ(m.DisplayName(), "X");
}

TEST_F(CollectionsTest, GetItemChecksTheRange) {
  TSymbolCollection symbols;
  symbols.Add().Name = "A";
  symbols.Add().Name = "B";
  ASSERT_EQ(symbols.Count(), 2);
  EXPECT_EQ(symbols.GetItem(1)->Name, "B");
  EXPECT_EQ(symbols.GetItem(2), nullptr);
  EXPECT_EQ(symbols.GetItem(-1), nullptr);
}

TEST_F(CollectionsTest, FreeingTheTablesDropsTheFoundItems) {
  CreateSymbolCollections();
  Collections().SymbolTable->Add().Name = "X";
  Collections().ModuleTable->Add().Name = "M";
  Collections().FoundSymbol = 0;
  Collections().FoundModule = 0;
  ASSERT_NE(SymbolAt(0), nullptr);
  FreeSymbolCollections();
  EXPECT_FALSE(Collections().SymbolTable);
  EXPECT_FALSE(Collections().ModuleTable);
  EXPECT_FALSE(Collections().TypeDefs);
  EXPECT_EQ(Collections().FoundSymbol, kNoItem);
  EXPECT_EQ(Collections().FoundModule, kNoItem);
  EXPECT_EQ(SymbolAt(0), nullptr);
  EXPECT_EQ(ModuleAt(0), nullptr);
}

TEST_F(CollectionsTest, CreateKeepsExistingTables) {
  CreateSymbolCollections();
  Collections().SymbolTable->Add().Name = "KEEP";
  CreateSymbolCollections();
  EXPECT_EQ(Collections().SymbolTable->Count(), 1);
}

TEST(UpperCaseStrings, AddStoresUpperCase) {
  tUpperCaseStrings list;
  EXPECT_EQ(list.Add("mov a,r0"), 0);
  EXPECT_EQ(list.Add("Loop:"), 1);
  EXPECT_EQ(list.Strings[0], "MOV A,R0");
  EXPECT_EQ(list.Strings[1], "LOOP:");
  EXPECT_EQ(list.Text(), "MOV A,R0\r\nLOOP:\r\n");
}

TEST(UpperCaseStrings, StringIndexCountsTwoCharactersPerLineEnd) {
  tUpperCaseStrings list;
  list.Add("AB");
  list.Add("CD");
  // Whole text "AB\r\nCD\r\n": 8 characters.
  struct Case {
    int32_t CharPos;
    int32_t Line;
  };
  for (Case c : {Case{0, -1}, Case{-3, -1}, Case{1, 0}, Case{4, 0}, Case{5, 1}, Case{7, 1}, Case{8, -1},
                 Case{100, -1}}) {
    EXPECT_EQ(list.StringIndex(c.CharPos), c.Line) << "CharPos " << c.CharPos;
  }
}

TEST(UpperCaseStrings, StringIndexOfAnEmptyListIsNone) {
  tUpperCaseStrings list;
  EXPECT_EQ(list.StringIndex(1), -1);
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

TEST(HintWindow, WrapBreaksAfterEqualsSigns) {
  std::string text = std::string(60, 'X') + "=" + std::string(20, 'Y');
  auto lines = WrapHintText(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(60, 'X') + "=");
  EXPECT_EQ(lines[1], std::string(20, 'Y'));
}

TEST(HintWindow, ShortTextIsTrimmedToOneLine) {
  auto lines = WrapHintText("  A = 12H  ");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "A = 12H");
}

TEST(HintWindow, ExistingLineEndsAreKept) {
  auto lines = WrapHintText("FIRST\r\nSECOND");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "SECOND");
}

TEST(HintWindow, AWordLongerThanTheColumnStaysWhole) {
  auto lines = WrapHintText(std::string(80, 'Z'));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), 80u);
}

TEST(HintWindow, StaysInsideTheParent) {
  TScriptWindow hint;
  hint.X = 380;
  hint.Text = "VALUE";
  hint.LayoutText(400, [](std::string_view s) { return static_cast<int32_t>(s.size()) * 10; });
  EXPECT_EQ(hint.Width, 55);
  EXPECT_EQ(hint.Left, 400 - 55);
  hint.Text = std::string(60, 'W');
  hint.LayoutText(400, [](std::string_view s) { return static_cast<int32_t>(s.size()) * 10; });
  EXPECT_EQ(hint.Left, 0);
}

TEST(CommForm, OwnsNoPortUntilOneIsCreated) {
  CommForm().CreateComm();
  EXPECT_EQ(CommForm().Port, nullptr);
  CommForm().Port = std::make_unique<tCommPort>();
  CommForm().DestroyComm();
  EXPECT_EQ(CommForm().Port, nullptr);
}

}  // namespace
}  // namespace dorvik
