// The ALU's flags checked exhaustively against the carry chain of an 8-bit
// adder (carry into bit 4 for AC, into and out of bit 7 for OV and CY), and
// decimal adjust against decimal arithmetic.

#include "machine/alu.h"

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

// ADD/ADDC against a + b + c; SUBB against a - b - c, which is a + ~b + !c
// with every carry inverted into a borrow. AC with the carry set is the carry
// out of (borrow into) bit 3, which a source nibble 0FH always gives.
TEST(Alu, AddAddcAndSubbFlagsFollowTheCarryChain) {
  for (unsigned a = 0; a < 256; ++a)
    for (unsigned b = 0; b < 256; ++b)
      for (unsigned c = 0; c < 2; ++c) {
        const Chain add = AddChain(a, b, c);
        const Result r = Add(static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c), 0x3B);
        const uint8_t want_add =
            (add.Carry8 ? kCY : 0) | (add.Carry4 ? kAC : 0) | (add.Carry7 != add.Carry8 ? kOV : 0);
        ASSERT_EQ(r.Value, add.Sum) << a << "+" << b << "+" << c;
        ASSERT_EQ(r.Psw, want_add | 0x3B) << a << "+" << b << "+" << c << " (other PSW bits kept)";
        const Chain sub = AddChain(a, ~b & 0xFF, 1 - c);
        const Result s =
            Subb(static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c), 0x00);
        const uint8_t want_sub =
            (sub.Carry8 ? 0 : kCY) | (sub.Carry4 ? 0 : kAC) | (sub.Carry7 != sub.Carry8 ? kOV : 0);
        ASSERT_EQ(s.Value, sub.Sum) << a << "-" << b << "-" << c;
        ASSERT_EQ(s.Psw, want_sub) << a << "-" << b << "-" << c;
      }
}

uint8_t Bcd(unsigned v) {
  return static_cast<uint8_t>((v / 10) << 4 | (v % 10));
}

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
  EXPECT_EQ(DecimalAdjust(0x00, kCY).Psw & kCY, kCY) << "DA never clears CY";
}

TEST(Alu, MulAndDivAgainstPlainArithmetic) {
  for (unsigned a = 0; a < 256; ++a)
    for (unsigned b = 0; b < 256; ++b) {
      const MulDivResult m = Mul(static_cast<uint8_t>(a), static_cast<uint8_t>(b), kCY | kAC);
      ASSERT_EQ(m.A | m.B << 8, a * b);
      ASSERT_EQ(m.Psw, (a * b > 0xFF ? kOV : 0) | kAC) << "CY cleared, OV on a high byte, AC kept";
      const MulDivResult d = Div(static_cast<uint8_t>(a), static_cast<uint8_t>(b), kCY);
      const bool by_zero = b == 0;  // OV, A and B kept
      ASSERT_EQ(d.A, by_zero ? a : a / b) << a << "/" << b;
      ASSERT_EQ(d.B, by_zero ? 0 : a % b) << a << "/" << b;
      ASSERT_EQ(d.Psw, by_zero ? kOV : 0) << a << "/" << b;
    }
}

TEST(Alu, ParityCountsOneBits) {
  for (unsigned v = 0; v < 256; ++v) EXPECT_EQ(Parity(static_cast<uint8_t>(v)), __builtin_popcount(v) & 1);
}

}  // namespace
}  // namespace dorvik::alu
