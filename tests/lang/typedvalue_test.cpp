// Raw target bytes to typed values and back, in both byte orders.

#include "lang/typedvalue.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

#include "lang/keywords.h"
#include "access/target.h"
#include "base/session.h"

namespace dorvik {
namespace {

class TypedValueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
  }
  void TearDown() override { ResetSession(); }

  std::vector<uint32_t> Read(uint8_t type, int32_t count, const std::vector<uint8_t>& bytes, uint8_t space = kSpaceIData) {
    ValueList().Items.clear();
    int32_t addr = 0x30;
    uint8_t mask = 1;
    BytesToValues(type, static_cast<int32_t>(bytes.size()), count, bytes, addr, mask, space);
    std::vector<uint32_t> values;
    for (const tValueItem& item : ValueList().Items) {
      EXPECT_EQ(item.TypeToken, type);
      values.push_back(item.Value);
    }
    return values;
  }

  std::vector<uint8_t> Write(uint8_t type, const std::vector<uint32_t>& values) {
    tValueList& list = ValueList();
    list.ElemType = type;
    list.Items.clear();
    for (uint32_t v : values) list.Items.push_back({type, v});
    tValueList& result = ValuesToBytes();
    EXPECT_EQ(&result, &list);
    std::vector<uint8_t> bytes;
    for (const tValueItem& item : result.Items) bytes.push_back(static_cast<uint8_t>(item.Value));
    return bytes;
  }
};

struct OrderCase {
  const char* Name;
  uint8_t Type;
  bool IntMsb;
  bool FloatMsb;
  uint32_t Value;
  std::vector<uint8_t> Bytes;
};

TEST_F(TypedValueTest, EachTypeReadsAndWritesInItsByteOrder) {
  const uint32_t one = std::bit_cast<uint32_t>(1.0f);
  const OrderCase cases[] = {
      {"WORD msb", tok::kWORD, true, true, 0x1234, {0x12, 0x34}},
      {"WORD lsb", tok::kWORD, false, true, 0x1234, {0x34, 0x12}},
      {"INTEGER msb", tok::kINTEGER, true, false, 0xFFFE, {0xFF, 0xFE}},
      {"ADDRESS lsb", tok::kADDRESS, false, true, 0xBEEF, {0xEF, 0xBE}},
      {"LONGINT msb", tok::kLONGINT, true, true, 0x12345678, {0x12, 0x34, 0x56, 0x78}},
      {"LONGINT lsb", tok::kLONGINT, false, true, 0x12345678, {0x78, 0x56, 0x34, 0x12}},
      {"DOUBLEWORD msb", tok::kDOUBLEWORD, true, false, 0xA1B2C3D4, {0xA1, 0xB2, 0xC3, 0xD4}},
      {"FLOAT msb", tok::kFLOAT, false, true, one, {0x3F, 0x80, 0x00, 0x00}},
      {"FLOAT lsb", tok::kFLOAT, true, false, one, {0x00, 0x00, 0x80, 0x3F}},
      {"POINTER", tok::kPOINTER, true, true, 0x01A0B0, {0xB0, 0xA0, 0x01}},
      {"POINTER other order option", tok::kPOINTER, false, false, 0x01A0B0, {0xB0, 0xA0, 0x01}},
  };
  for (const OrderCase& c : cases) {
    TypedValues().IntMSBFirst = c.IntMsb;
    TypedValues().FloatMSBFirst = c.FloatMsb;
    EXPECT_EQ(Write(c.Type, {c.Value}), c.Bytes) << c.Name;
    EXPECT_EQ(ValueList().ElemType, tok::kBYTE) << c.Name;
    EXPECT_EQ(Read(c.Type, 1, c.Bytes), std::vector<uint32_t>{c.Value}) << c.Name;
  }
}

TEST_F(TypedValueTest, SeveralValuesFollowEachOtherAndSignedOnesAreZeroExtended) {
  EXPECT_EQ(Write(tok::kWORD, {0x0102, 0x0304}), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(Read(tok::kWORD, 2, {1, 2, 3, 4}), (std::vector<uint32_t>{0x0102, 0x0304}));
  EXPECT_EQ(Read(tok::kPOINTER, 2, {1, 2, 3, 4, 5, 6}), (std::vector<uint32_t>{0x030201, 0x060504}));
  EXPECT_EQ(Read(tok::kSHORTINT, 1, {0xFF}), std::vector<uint32_t>{0xFF});
  EXPECT_EQ(Read(tok::kINTEGER, 1, {0x80, 0x00}), std::vector<uint32_t>{0x8000});
}

TEST_F(TypedValueTest, ListsLongerThanTheReceiveBufferConvertWhole) {
  // 600 LONGINTs are 2400 bytes, more than the link's 1024-byte receive buffer.
  std::vector<uint32_t> values;
  for (uint32_t i = 0; i < 600; ++i) values.push_back(i << 20 | i);
  const std::vector<uint8_t> bytes = Write(tok::kLONGINT, values);
  ASSERT_EQ(bytes.size(), 2400u);
  EXPECT_EQ(bytes[4 * 599 + 2], 0x02);  // 599 = 257H, most significant byte first
  EXPECT_EQ(bytes[4 * 599 + 3], 0x57);
  EXPECT_EQ(Read(tok::kLONGINT, 600, bytes), values);
}

TEST_F(TypedValueTest, BitListsPackEightItemsPerByteFirstInBitZero) {
  EXPECT_EQ(Write(tok::kBIT, {1, 0, 1, 0, 0, 0, 0, 1}), std::vector<uint8_t>{0x85});
  EXPECT_EQ(Write(tok::kBIT, {1, 1, 1}), std::vector<uint8_t>{});  // fewer than eight: nothing to write
  EXPECT_EQ(Write(tok::kBIT, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 1}), (std::vector<uint8_t>{0x00, 0x03}));
}

TEST_F(TypedValueTest, BitsStartAtTheMaskAndMoveAddressAndMaskOn) {
  struct Case {
    uint8_t Type, Space;
    int32_t Count;
    uint8_t Mask, MaskAfter;
    int32_t AddrAfter;
    std::vector<uint32_t> Bits;
  };
  const Case cases[] = {
      // From bit 5: bits 5, 6, 7, then bit 0 of the next byte.
      {tok::kBIT, kSpaceIData, 4, 0x20, 0x02, 0x22, {1, 0, 1, 1}},
      // Byte types in the bit space are bits too.
      {tok::kBYTE, kSpaceBit, 3, 0x20, 0x01, 0x22, {1, 0, 1}},
  };
  const std::vector<uint8_t> bytes = {0b10100000, 0b00000001};
  for (const Case& c : cases) {
    ValueList().Items.clear();
    int32_t addr = 0x21;
    uint8_t mask = c.Mask;
    BytesToValues(c.Type, 2, c.Count, bytes, addr, mask, c.Space);
    std::vector<uint32_t> bits;
    for (const tValueItem& item : ValueList().Items) {
      EXPECT_EQ(item.TypeToken, tok::kBIT);
      bits.push_back(item.Value);
    }
    EXPECT_EQ(bits, c.Bits) << int(c.Type);
    EXPECT_EQ(addr, c.AddrAfter) << int(c.Type);
    EXPECT_EQ(mask, c.MaskAfter) << int(c.Type);
  }
}

TEST_F(TypedValueTest, NeverReadsPastTheBytesGiven) {
  // More values asked than the bytes hold: only whole values are made.
  EXPECT_EQ(Read(tok::kLONGINT, 3, {1, 2, 3, 4, 5, 6}), std::vector<uint32_t>{0x01020304});
  EXPECT_EQ(Read(tok::kWORD, 2, {7}), std::vector<uint32_t>{});
  // A last index beyond the span is cut to the span.
  ValueList().Items.clear();
  const std::vector<uint8_t> two = {0xAA, 0xBB};
  int32_t addr = 0;
  uint8_t mask = 1;
  BytesToValues(tok::kBYTE, 100, 5, two, addr, mask, kSpaceIData);
  EXPECT_EQ(ValueList().Items.size(), 2u);
  // A last index below the span's size limits the bytes used.
  ValueList().Items.clear();
  BytesToValues(tok::kBIT, 1, 16, two, addr, mask, kSpaceIData);
  EXPECT_EQ(ValueList().Items.size(), 8u);
  // A mask without any bit starts at bit 0 instead of looping.
  ValueList().Items.clear();
  mask = 0;
  BytesToValues(tok::kBIT, 2, 2, two, addr, mask, kSpaceIData);
  EXPECT_EQ(ValueList().Items.size(), 2u);
}

}  // namespace
}  // namespace dorvik
