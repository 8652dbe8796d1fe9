// The ALU's flags checked exhaustively against the carry chain of an 8-bit
// adder (carry into bit 4 for AC, into and out of bit 7 for OV and CY), and
// decimal adjust against decimal arithmetic.

#include "core/alu.h"

#include <gtest/gtest.h>

namespace dorvik::alu {
namespace {

// Carries of a + b + cin, seen bit by bit.
struct Chain {
  unsigned Sum;
  bool Carry4, Carry7, Carry8;
};
Chain AddChain(unsigned a, unsigned b, unsigned cin) {
  const unsigned sum = a + b + cin;
  const unsigned carries = a ^ b ^ sum;  // bit n: carry into bit n
  return {sum & 0xFF, ((carries >> 4) & 1u) != 0, ((carries >> 7) & 1u) != 0, ((sum >> 8) & 1u) != 0};
}

TEST(Alu, AddAndAddcFlagsFollowTheCarryChain) {
  for (unsigned a = 0; a < 256; ++a)
    for (unsigned b = 0; b < 256; ++b)
      for (unsigned cin = 0; cin < 2; ++cin) {
        const Chain ch = AddChain(a, b, cin);
        const Result r = Add(static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(cin), 0x3B);
        ASSERT_EQ(r.Value, ch.Sum) << a << "+" << b << "+" << cin;
        ASSERT_EQ((r.Psw & kCY) != 0, ch.Carry8) << a << "+" << b << "+" << cin;
        ASSERT_EQ((r.Psw & kAC) != 0, ch.Carry4) << a << "+" << b << "+" << cin;
        ASSERT_EQ((r.Psw & kOV) != 0, ch.Carry7 != ch.Carry8) << a << "+" << b << "+" << cin;
        ASSERT_EQ(r.Psw & 0x3B, 0x3B) << "other PSW bits are kept";
      }
}

TEST(Alu, SubbFlagsFollowTheBorrowChain) {
  // a - b - c is a + ~b + !c with every carry inverted into a borrow.
  for (unsigned a = 0; a < 256; ++a)
    for (unsigned b = 0; b < 256; ++b)
      for (unsigned bin = 0; bin < 2; ++bin) {
        const Chain ch = AddChain(a, ~b & 0xFF, 1 - bin);
        const Result r = Subb(static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(bin), 0x00);
        ASSERT_EQ(r.Value, ch.Sum) << a << "-" << b << "-" << bin;
        ASSERT_EQ((r.Psw & kCY) != 0, !ch.Carry8) << a << "-" << b << "-" << bin;
        ASSERT_EQ((r.Psw & kAC) != 0, !ch.Carry4) << a << "-" << b << "-" << bin;
        ASSERT_EQ((r.Psw & kOV) != 0, ch.Carry7 != ch.Carry8) << a << "-" << b << "-" << bin;
      }
}

struct FlagCase {
  uint8_t A, B, Carry;
  uint8_t Value, Psw;
};

TEST(Alu, CarryIntoTheLowNibbleSetsAc) {
  // With the carry set and a source nibble 0FH the nibble always carries/borrows.
  const FlagCase adds[] = {{0x00, 0x0F, 1, 0x10, kAC}, {0x70, 0x0F, 1, 0x80, kAC | kOV}, {0xF0, 0x0F, 1, 0x00, kCY | kAC}};
  for (const FlagCase& c : adds) {
    const Result r = Add(c.A, c.B, c.Carry, 0);
    EXPECT_EQ(r.Value, c.Value);
    EXPECT_EQ(r.Psw, c.Psw) << int(c.A) << "+" << int(c.B);
  }
  const FlagCase subs[] = {{0x20, 0x0F, 1, 0x10, kAC}, {0x0F, 0x0F, 1, 0xFF, kCY | kAC}, {0x80, 0x0F, 1, 0x70, kAC | kOV}};
  for (const FlagCase& c : subs) {
    const Result r = Subb(c.A, c.B, c.Carry, 0);
    EXPECT_EQ(r.Value, c.Value);
    EXPECT_EQ(r.Psw, c.Psw) << int(c.A) << "-" << int(c.B);
  }
}

uint8_t Bcd(unsigned v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); }

TEST(Alu, DecimalAdjustAfterAddGivesTheDecimalSum) {
  for (unsigned x = 0; x < 100; ++x)
    for (unsigned y = 0; y < 100; ++y)
      for (unsigned cin = 0; cin < 2; ++cin) {
        const Result sum = Add(Bcd(x), Bcd(y), static_cast<uint8_t>(cin), 0);
        const Result da = DecimalAdjust(sum.Value, sum.Psw);
        const unsigned total = x + y + cin;
        ASSERT_EQ(da.Value, Bcd(total % 100)) << x << "+" << y << "+" << cin;
        ASSERT_EQ((da.Psw & kCY) != 0, total >= 100) << x << "+" << y << "+" << cin;
      }
}

TEST(Alu, DecimalAdjustNeverClearsCarry) {
  EXPECT_EQ(DecimalAdjust(0x00, kCY).Psw & kCY, kCY);
  EXPECT_EQ(DecimalAdjust(0x00, kCY).Value, 0x60);
  EXPECT_EQ(DecimalAdjust(0x99, 0).Psw & kCY, 0);
}

TEST(Alu, MulAndDivAgainstPlainArithmetic) {
  for (unsigned a = 0; a < 256; ++a)
    for (unsigned b = 0; b < 256; ++b) {
      const MulDivResult m = Mul(static_cast<uint8_t>(a), static_cast<uint8_t>(b), kCY | kAC);
      ASSERT_EQ(m.A | m.B << 8, a * b);
      ASSERT_EQ(m.Psw, (a * b > 0xFF ? kOV : 0) | kAC) << "CY cleared, OV on a high byte, AC kept";
      const MulDivResult d = Div(static_cast<uint8_t>(a), static_cast<uint8_t>(b), kCY);
      if (b == 0) {
        ASSERT_EQ(d.A, a);
        ASSERT_EQ(d.B, 0);
        ASSERT_EQ(d.Psw, kOV);
      } else {
        ASSERT_EQ(d.A, a / b);
        ASSERT_EQ(d.B, a % b);
        ASSERT_EQ(d.Psw, 0);
      }
    }
}

TEST(Alu, ParityCountsOneBits) {
  for (unsigned v = 0; v < 256; ++v) EXPECT_EQ(Parity(static_cast<uint8_t>(v)), __builtin_popcount(v) & 1);
}

}  // namespace
}  // namespace dorvik::alu
