#include "lang/typetext.h"
#include "base/session.h"

#include <gtest/gtest.h>

namespace dorvik {
namespace {

class TypeTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    CreateSymbolCollections();
  }
  void TearDown() override { ResetSession(); }

  // Adds a type record; returns its type number.
  uint16_t AddType(tTypeDef kind, uint16_t result, uint16_t embed = 0, uint8_t space = 0) {
    auto& t = Collections().TypeDefs->Add();
    t.TypeDefID = kind;
    t.ResultType = result;
    t.EmbedTypeID = embed;
    t.MSpace = space;
    return static_cast<uint16_t>(31 + Collections().TypeDefs->Count());
  }
  uint16_t AddArray3x4() {
    const uint16_t type = AddType(tTypeDef::tArray, 2);
    auto& a = Collections().TypeDefs->Items.back();
    a.Dimensions = 2;
    a.DimensionSizes[0] = 3;
    a.DimensionSizes[1] = 4;
    return type;
  }
  static std::string Text(uint16_t type, bool expand = false) {
    std::string s = "unchanged";
    TypeDefText(type, expand, s);
    return s;
  }
};

TEST_F(TypeTextTest, ArraysPointersAndFunctions) {
  EXPECT_EQ(Text(AddArray3x4()), "Array [3][4] of char ");

  EXPECT_EQ(Text(AddType(tTypeDef::tPointer, 4, 0, 2)), "int *XData");
  EXPECT_EQ(Text(AddType(tTypeDef::tPointer, 4, 0, 0)), "int *");
  EXPECT_EQ(Text(AddType(tTypeDef::tOldPointer, 5)), "word *");
  // Each row of the basic types; the numbers without a type leave the text as it was.
  const std::pair<uint16_t, const char*> basics[] = {
      {0, "<symbol> "}, {1, "BIT "},  {2, "char "},        {3, "byte "},  {4, "int "},     {5, "word "},
      {6, "long "},     {7, "doubleword "}, {8, "float "}, {9, "unchanged"}, {10, "unchanged"}, {11, "void "},
      {12, "float "},   {13, "unchanged"},  {31, "unchanged"}};
  for (const auto& [type, text] : basics) EXPECT_EQ(Text(type), text) << type;
  // Each pointer space, and none outside them.
  const std::pair<uint8_t, const char*> spaces[] = {{1, "byte *IData"}, {2, "byte *XData"}, {3, "byte *PData"},
                                                    {4, "byte *Data"},  {5, "byte *Code"},  {6, "byte *"}};
  for (const auto& [space, text] : spaces) EXPECT_EQ(Text(AddType(tTypeDef::tPointer, 3, 0, space)), text) << +space;

  const uint16_t params = AddType(tTypeDef::tParamRec, 0);
  Collections().TypeDefs->Items.back().ParamStr = "  char, int ";
  const uint16_t func = AddType(tTypeDef::tFunc, 1, params);
  EXPECT_EQ(Text(func, true), "bit   (char, int)");
  EXPECT_EQ(Text(func, false), "bit   ");
  EXPECT_EQ(Text(AddType(tTypeDef::tStructUnion, 0, params), true), "<struct/union> {char, int}");
}

TEST_F(TypeTextTest, UnknownAndMalformedTypes) {
  EXPECT_EQ(Text(40), "<symbol> ");
  AddType(static_cast<tTypeDef>(9), 0);
  EXPECT_EQ(Text(32), "");
  ResetState<CollectionsState>();
  EXPECT_EQ(Text(32), "<symbol> ");
}

TEST_F(TypeTextTest, CyclesAndSharedTypesStayBounded) {
  // Type 32 points to 33, which points back to 32.
  AddType(tTypeDef::tPointer, 33, 0, 2);
  AddType(tTypeDef::tArray, 32);
  EXPECT_EQ(Text(32, true), "Array  of ... *XData");
  const uint16_t self = AddType(tTypeDef::tStructUnion, 0);
  Collections().TypeDefs->Items.back().EmbedTypeID = self;
  EXPECT_EQ(Text(self, true), "<struct/union> {...}");
  // Each function returns and takes the one before: the full text would
  // double with every level.
  uint16_t f = AddType(tTypeDef::tFunc, 4, 4);
  for (int i = 0; i < 60; ++i) f = AddType(tTypeDef::tFunc, f, f);
  const std::string s = Text(f, true);
  EXPECT_LE(s.size(), kMaxTypeTextLength);
  EXPECT_EQ(s.substr(s.size() - 4), "... ");
}

TEST_F(TypeTextTest, SymbolsShowTheirTypeAndLocation) {
  tSymbolItem sym;
  sym.Name = "COUNT";
  sym.VarType = 4;
  std::string s;
  SymbolTypeText(sym, false, s);
  EXPECT_EQ(s, "int .COUNT");

  sym.Name = "BUF";
  sym.VarType = AddArray3x4();
  sym.Value = 0x30;
  sym.SymClass = 2;  // direct data
  SymbolTypeText(sym, false, s);
  EXPECT_EQ(s, "char RDAT 00030H LENG 12T");

  sym.VarType = AddType(tTypeDef::tPointer, 4, 0, 2);
  sym.SymClass = 1;  // external data
  sym.Value = 0x1234;
  SymbolTypeText(sym, false, s);
  EXPECT_EQ(s, "Pointer XDAT 01234H");
  // The space word of each class, from code on.
  const std::pair<uint8_t, const char*> classes[] = {{0, "Pointer CODE 01234H"}, {3, "Pointer IDAT 01234H"},
                                                     {7, "Pointer EEPR 01234H"}};
  for (const auto& [cls, text] : classes) {
    sym.SymClass = cls;
    SymbolTypeText(sym, false, s);
    EXPECT_EQ(s, text) << +cls;
  }

  sym.VarType = 77;
  SymbolTypeText(sym, false, s);
  EXPECT_EQ(s, "<symbol> ");
}

}  // namespace
}  // namespace dorvik
