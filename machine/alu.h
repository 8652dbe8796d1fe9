#pragma once
// Flag arithmetic of the 8051 ALU: the results of ADD, ADDC, SUBB, DA, MUL and
// DIV and the PSW flags they leave, as the chip computes them. Each function
// takes the PSW before the instruction and returns it with only the flags the
// instruction affects changed (P is left to the caller: it follows ACC).

#include <cstdint>

namespace dorvik::alu {

inline constexpr uint8_t kCY = 0x80, kAC = 0x40, kOV = 0x04;

struct Result {
  uint8_t Value;
  uint8_t Psw;
};

// 1 when the byte holds an odd number of one bits.
constexpr uint8_t Parity(uint8_t v) {
  v ^= v >> 4;
  v ^= v >> 2;
  v ^= v >> 1;
  return v & 1;
}

// ADD (carryIn 0) and ADDC: CY carry out of bit 7, AC carry out of bit 3, OV
// signed overflow.
constexpr Result Add(uint8_t a, uint8_t b, uint8_t carryIn, uint8_t psw) {
  const unsigned sum = unsigned{a} + b + carryIn;
  const uint8_t r = static_cast<uint8_t>(sum);
  uint8_t f = psw & static_cast<uint8_t>(~(kCY | kAC | kOV));
  if (sum > 0xFF) f |= kCY;
  if ((a & 0x0F) + (b & 0x0F) + carryIn > 0x0F) f |= kAC;
  if (~(a ^ b) & (a ^ r) & 0x80) f |= kOV;
  return {r, f};
}

// SUBB: CY borrow into bit 7, AC borrow into bit 3, OV signed overflow.
constexpr Result Subb(uint8_t a, uint8_t b, uint8_t borrowIn, uint8_t psw) {
  const int diff = int{a} - b - borrowIn;
  const uint8_t r = static_cast<uint8_t>(diff);
  uint8_t f = psw & static_cast<uint8_t>(~(kCY | kAC | kOV));
  if (diff < 0) f |= kCY;
  if ((a & 0x0F) - (b & 0x0F) - borrowIn < 0) f |= kAC;
  if ((a ^ b) & (a ^ r) & 0x80) f |= kOV;
  return {r, f};
}

// DA A: decimal adjust after an addition; sets CY, never clears it.
constexpr Result DecimalAdjust(uint8_t a, uint8_t psw) {
  unsigned t = a;
  uint8_t f = psw;
  if ((t & 0x0F) > 9 || (psw & kAC)) {
    t += 6;
    if (t > 0xFF) f |= kCY;
  }
  if ((t & 0xF0) > 0x90 || (f & kCY)) t += 0x60;
  if (t >= 0x100) f |= kCY;
  return {static_cast<uint8_t>(t), f};
}

// MUL AB: B:A := A * B; CY 0, OV when the product exceeds 0FFH.
struct MulDivResult {
  uint8_t A;
  uint8_t B;
  uint8_t Psw;
};
constexpr MulDivResult Mul(uint8_t a, uint8_t b, uint8_t psw) {
  const unsigned p = unsigned{a} * b;
  uint8_t f = psw & static_cast<uint8_t>(~(kCY | kOV));
  if (p > 0xFF) f |= kOV;
  return {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), f};
}

// DIV AB: A := quotient, B := remainder; CY 0; by zero OV 1 and A, B unchanged.
constexpr MulDivResult Div(uint8_t a, uint8_t b, uint8_t psw) {
  uint8_t f = psw & static_cast<uint8_t>(~(kCY | kOV));
  if (b == 0) return {a, b, static_cast<uint8_t>(f | kOV)};
  return {static_cast<uint8_t>(a / b), static_cast<uint8_t>(a % b), f};
}

}  // namespace dorvik::alu
