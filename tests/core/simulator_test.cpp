// State vectors of the instruction simulator: initial registers and memory, one
// step, then the whole machine compared with the expected one (registers,
// memory, flags, next PC and machine cycles). One table per instruction family;
// together they cover all 256 opcodes.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/alu.h"
#include "core/opcodes.h"
#include "tests/core/support/sim_fixture.h"
#include "workbench/mainform.h"

namespace dorvik {
namespace {

using testing::SimFixture;

constexpr uint16_t kOrg = 0x0100;
constexpr uint8_t kACC = 0xE0, kPSW = 0xD0, kB = 0xF0, kSP = 0x81, kDPL = 0x82, kDPH = 0x83, kP1 = 0x90,
                  kP2 = 0xA0;

// A byte of the machine: 'I' internal RAM, 'S' SFR, 'X' external data, 'C' code.
struct Mem {
  char Space;
  uint16_t Addr;
  uint8_t Value;
};

struct Vec {
  std::string Name;
  std::vector<uint8_t> Code;  // at Org
  std::vector<Mem> Before;
  uint16_t NextPc;
  std::vector<Mem> After;  // every byte that changes (PSW.P is derived from ACC)
  uint8_t Cycles;
  uint16_t Org = kOrg;
};

void Put(TargetState& t, const Mem& m) {
  switch (m.Space) {
    case 'I': t.IDataImage[m.Addr & 0xFF] = m.Value; break;
    case 'S': t.SfrImage[m.Addr & 0xFF] = m.Value; break;
    case 'X': t.XDataImage[m.Addr] = m.Value; break;
    case 'C': t.CodeImage[m.Addr] = m.Value; break;
    default: FAIL() << "bad space " << m.Space;
  }
}

template <size_t N>
void ExpectSame(const std::array<uint8_t, N>& got, const std::array<uint8_t, N>& want, const char* what,
                const std::string& name) {
  for (size_t i = 0; i < N; ++i)
    if (got[i] != want[i]) {
      ADD_FAILURE() << name << ": " << what << "[" << std::hex << i << "H] = " << int(got[i]) << "H, expected "
                    << int(want[i]) << "H";
      return;
    }
}

std::set<uint8_t>& Covered() {
  static std::set<uint8_t> s;
  return s;
}

void RunVector(const Vec& v) {
  testing::ResetMachine();
  TargetState& t = Target();
  uint16_t at = v.Org;
  for (uint8_t b : v.Code) t.CodeImage[at++] = b;
  for (const Mem& m : v.Before) Put(t, m);
  CodeImageChanged();
  UpdateParityFlag();
  t.SimPC = v.Org;
  auto want = std::make_unique<TargetState>(t);
  for (const Mem& m : v.After) Put(*want, m);
  want->SfrImage[kPSW] = static_cast<uint8_t>((want->SfrImage[kPSW] & 0xFE) | alu::Parity(want->SfrImage[kACC]));

  const StepResult r = SimStep(v.Org);
  EXPECT_EQ(r, StepResult::Executed) << v.Name;
  EXPECT_EQ(t.SimPC, v.NextPc) << v.Name;
  EXPECT_EQ(Simulator().LastCycles, v.Cycles) << v.Name;
  EXPECT_EQ(t.PrevPC, v.Org) << v.Name;
  ExpectSame(t.IDataImage, want->IDataImage, "IRAM", v.Name);
  ExpectSame(t.SfrImage, want->SfrImage, "SFR", v.Name);
  ExpectSame(t.XDataImage, want->XDataImage, "XDATA", v.Name);
  ExpectSame(t.CodeImage, want->CodeImage, "CODE", v.Name);
  Covered().insert(v.Code.at(0));
}

std::string Hex(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v);
  return buf;
}

// Rn rows: eight vectors, register n of bank 1 (PSW 08H) at 08H + n.
std::vector<Vec> ForEachRn(uint8_t base, const std::function<Vec(uint8_t n)>& make) {
  std::vector<Vec> out;
  for (uint8_t n = 0; n < 8; ++n) {
    Vec v = make(n);
    v.Code.insert(v.Code.begin(), static_cast<uint8_t>(base + n));
    v.Before.push_back({'S', kPSW, 0x08});
    v.Name = v.Name + " R" + std::to_string(n);
    out.push_back(v);
  }
  return out;
}

// @Ri rows: R0 at 08H and R1 at 09H point at 40H.
std::vector<Vec> ForEachRi(uint8_t base, const std::function<Vec(uint8_t i)>& make) {
  std::vector<Vec> out;
  for (uint8_t i = 0; i < 2; ++i) {
    Vec v = make(i);
    v.Code.insert(v.Code.begin(), static_cast<uint8_t>(base + i));
    v.Name = v.Name + " @R" + std::to_string(i);
    out.push_back(v);
  }
  return out;
}

void Append(std::vector<Vec>& to, std::vector<Vec> from) {
  for (Vec& v : from) to.push_back(std::move(v));
}

// Makes PSW of the Rn vectors keep a given carry: PSW before := bank 1 | extra.
std::vector<Vec> WithPsw(std::vector<Vec> vs, uint8_t psw) {
  for (Vec& v : vs)
    for (Mem& m : v.Before)
      if (m.Space == 'S' && m.Addr == kPSW) m.Value = psw;
  return vs;
}

std::vector<Vec> ArithmeticVectors() {
  std::vector<Vec> v = {
      {"ADD A,#01H to 7FH: OV and AC", {0x24, 0x01}, {{'S', kACC, 0x7F}}, kOrg + 2, {{'S', kACC, 0x80}, {'S', kPSW, 0x44}}, 1},
      {"ADD A,#80H to 80H: CY and OV", {0x24, 0x80}, {{'S', kACC, 0x80}}, kOrg + 2, {{'S', kACC, 0x00}, {'S', kPSW, 0x84}}, 1},
      {"ADD A,#0FFH to 01H: CY and AC", {0x24, 0xFF}, {{'S', kACC, 0x01}}, kOrg + 2, {{'S', kACC, 0x00}, {'S', kPSW, 0xC0}}, 1},
      {"ADD clears stale flags", {0x24, 0x01}, {{'S', kACC, 0x01}, {'S', kPSW, 0xC4}}, kOrg + 2, {{'S', kACC, 0x02}, {'S', kPSW, 0x00}}, 1},
      {"ADD A,direct", {0x25, 0x30}, {{'S', kACC, 0x12}, {'I', 0x30, 0x34}}, kOrg + 2, {{'S', kACC, 0x46}}, 1},
      {"ADD A,direct SFR B", {0x25, kB}, {{'S', kACC, 0x12}, {'S', kB, 0x34}}, kOrg + 2, {{'S', kACC, 0x46}}, 1},
      {"ADDC with carry: AC from the carry into bit 4", {0x34, 0x0F}, {{'S', kACC, 0x00}, {'S', kPSW, 0x80}}, kOrg + 2, {{'S', kACC, 0x10}, {'S', kPSW, 0x40}}, 1},
      {"ADDC A,#0FFH with carry: 100H", {0x34, 0xFF}, {{'S', kACC, 0x00}, {'S', kPSW, 0x80}}, kOrg + 2, {{'S', kACC, 0x00}, {'S', kPSW, 0xC0}}, 1},
      {"ADDC A,direct 7FH+0+1: OV", {0x35, 0x30}, {{'S', kACC, 0x7F}, {'I', 0x30, 0x00}, {'S', kPSW, 0x80}}, kOrg + 2, {{'S', kACC, 0x80}, {'S', kPSW, 0x44}}, 1},
      {"ADDC 80H+0FFH+1: no OV", {0x34, 0xFF}, {{'S', kACC, 0x80}, {'S', kPSW, 0x80}}, kOrg + 2, {{'S', kACC, 0x80}, {'S', kPSW, 0xC0}}, 1},
      {"SUBB A,#01H from 90H", {0x94, 0x01}, {{'S', kACC, 0x90}}, kOrg + 2, {{'S', kACC, 0x8F}, {'S', kPSW, 0x40}}, 1},
      {"SUBB A,#01H from 80H: OV", {0x94, 0x01}, {{'S', kACC, 0x80}}, kOrg + 2, {{'S', kACC, 0x7F}, {'S', kPSW, 0x44}}, 1},
      {"SUBB with borrow, source 0FH: AC", {0x94, 0x0F}, {{'S', kACC, 0x20}, {'S', kPSW, 0x80}}, kOrg + 2, {{'S', kACC, 0x10}, {'S', kPSW, 0x40}}, 1},
      {"SUBB with borrow, equal operands: CY", {0x94, 0x33}, {{'S', kACC, 0x33}, {'S', kPSW, 0x80}}, kOrg + 2, {{'S', kACC, 0xFF}, {'S', kPSW, 0xC0}}, 1},
      {"SUBB A,direct 00H-01H", {0x95, 0x30}, {{'S', kACC, 0x00}, {'I', 0x30, 0x01}}, kOrg + 2, {{'S', kACC, 0xFF}, {'S', kPSW, 0xC0}}, 1},
      {"SUBB 7FH-0FFH: OV", {0x94, 0xFF}, {{'S', kACC, 0x7F}}, kOrg + 2, {{'S', kACC, 0x80}, {'S', kPSW, 0x84}}, 1},
      {"INC A wraps", {0x04}, {{'S', kACC, 0xFF}, {'S', kPSW, 0x80}}, kOrg + 1, {{'S', kACC, 0x00}}, 1},
      {"INC direct", {0x05, 0x30}, {{'I', 0x30, 0x7F}}, kOrg + 2, {{'I', 0x30, 0x80}}, 1},
      {"INC direct port reads the latch", {0x05, kP1}, {{'S', kP1, 0xFF}}, kOrg + 2, {{'S', kP1, 0x00}}, 1},
      {"DEC A wraps", {0x14}, {{'S', kACC, 0x00}}, kOrg + 1, {{'S', kACC, 0xFF}}, 1},
      {"DEC direct", {0x15, kB}, {{'S', kB, 0x00}}, kOrg + 2, {{'S', kB, 0xFF}}, 1},
      {"INC DPTR carries into DPH", {0xA3}, {{'S', kDPL, 0xFF}, {'S', kDPH, 0x12}}, kOrg + 1, {{'S', kDPL, 0x00}, {'S', kDPH, 0x13}}, 2},
      {"INC DPTR wraps at 0FFFFH", {0xA3}, {{'S', kDPL, 0xFF}, {'S', kDPH, 0xFF}}, kOrg + 1, {{'S', kDPL, 0x00}, {'S', kDPH, 0x00}}, 2},
      {"DA A after 15H+27H", {0xD4}, {{'S', kACC, 0x3C}}, kOrg + 1, {{'S', kACC, 0x42}}, 1},
      {"DA A 9AH: both nibbles and CY", {0xD4}, {{'S', kACC, 0x9A}}, kOrg + 1, {{'S', kACC, 0x00}, {'S', kPSW, 0x80}}, 1},
      {"DA A 99H unchanged", {0xD4}, {{'S', kACC, 0x99}}, kOrg + 1, {}, 1},
      {"DA A with AC: 38H+29H=61H", {0xD4}, {{'S', kACC, 0x61}, {'S', kPSW, 0x40}}, kOrg + 1, {{'S', kACC, 0x67}}, 1},
      {"DA A with CY keeps CY", {0xD4}, {{'S', kACC, 0x12}, {'S', kPSW, 0x80}}, kOrg + 1, {{'S', kACC, 0x72}}, 1},
      {"DA A low carry into high: 0FAH", {0xD4}, {{'S', kACC, 0xFA}}, kOrg + 1, {{'S', kACC, 0x60}, {'S', kPSW, 0x80}}, 1},
      {"MUL 10H*10H: OV", {0xA4}, {{'S', kACC, 0x10}, {'S', kB, 0x10}, {'S', kPSW, 0x80}}, kOrg + 1, {{'S', kACC, 0x00}, {'S', kB, 0x01}, {'S', kPSW, 0x04}}, 4},
      {"MUL 05H*06H", {0xA4}, {{'S', kACC, 0x05}, {'S', kB, 0x06}, {'S', kPSW, 0x04}}, kOrg + 1, {{'S', kACC, 0x1E}, {'S', kB, 0x00}, {'S', kPSW, 0x00}}, 4},
      {"DIV by zero: OV, A and B kept", {0x84}, {{'S', kACC, 0x12}, {'S', kB, 0x00}, {'S', kPSW, 0x80}}, kOrg + 1, {{'S', kPSW, 0x04}}, 4},
      {"DIV 0FBH/12H", {0x84}, {{'S', kACC, 0xFB}, {'S', kB, 0x12}, {'S', kPSW, 0x84}}, kOrg + 1, {{'S', kACC, 0x0D}, {'S', kB, 0x11}, {'S', kPSW, 0x00}}, 4},
  };
  Append(v, ForEachRi(0x26, [](uint8_t i) {
           return Vec{"ADD A,@Ri", {}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x40, 0x0F}, {'S', kACC, 0x01}}, kOrg + 1, {{'S', kACC, 0x10}, {'S', kPSW, 0x48}}, 1};
         }));
  Append(v, ForEachRn(0x28, [](uint8_t n) {
           return Vec{"ADD A,Rn", {}, {{'I', uint16_t(0x08 + n), uint8_t(0x10 + n)}, {'S', kACC, 0x20}}, kOrg + 1, {{'S', kACC, uint8_t(0x30 + n)}}, 1};
         }));
  Append(v, ForEachRi(0x36, [](uint8_t i) {
           return Vec{"ADDC A,@Ri", {}, {{'S', kPSW, 0x88}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x40, 0x01}, {'S', kACC, 0x01}}, kOrg + 1, {{'S', kACC, 0x03}, {'S', kPSW, 0x08}}, 1};
         }));
  Append(v, WithPsw(ForEachRn(0x38, [](uint8_t n) {
                      return Vec{"ADDC A,Rn", {}, {{'I', uint16_t(0x08 + n), n}, {'S', kACC, 0x10}}, kOrg + 1, {{'S', kACC, uint8_t(0x11 + n)}, {'S', kPSW, 0x08}}, 1};
                    }),
                    0x88));
  Append(v, ForEachRi(0x96, [](uint8_t i) {
           return Vec{"SUBB A,@Ri", {}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x40, 0x01}, {'S', kACC, 0x10}}, kOrg + 1, {{'S', kACC, 0x0F}, {'S', kPSW, 0x48}}, 1};
         }));
  Append(v, ForEachRn(0x98, [](uint8_t n) {
           return Vec{"SUBB A,Rn", {}, {{'I', uint16_t(0x08 + n), n}, {'S', kACC, 0x50}}, kOrg + 1, {{'S', kACC, uint8_t(0x50 - n)}, {'S', kPSW, uint8_t(n ? 0x48 : 0x08)}}, 1};
         }));
  Append(v, ForEachRi(0x06, [](uint8_t i) {
           return Vec{"INC @Ri", {}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x40, 0xFF}}, kOrg + 1, {{'I', 0x40, 0x00}}, 1};
         }));
  Append(v, ForEachRn(0x08, [](uint8_t n) {
           return Vec{"INC Rn", {}, {{'I', uint16_t(0x08 + n), 0xFF}}, kOrg + 1, {{'I', uint16_t(0x08 + n), 0x00}}, 1};
         }));
  Append(v, ForEachRi(0x16, [](uint8_t i) {
           return Vec{"DEC @Ri", {}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x40, 0x00}}, kOrg + 1, {{'I', 0x40, 0xFF}}, 1};
         }));
  Append(v, ForEachRn(0x18, [](uint8_t n) {
           return Vec{"DEC Rn", {}, {{'I', uint16_t(0x08 + n), 0x00}}, kOrg + 1, {{'I', uint16_t(0x08 + n), 0xFF}}, 1};
         }));
  return v;
}

// ANL/ORL/XRL rows share their layout: base+2 dir,A; +3 dir,#; +4 A,#; +5 A,dir; +6/7 A,@Ri; +8..F A,Rn.
std::vector<Vec> LogicRow(const char* name, uint8_t base, uint8_t (*op)(uint8_t, uint8_t)) {
  const uint8_t x = 0x5C, y = 0x36;
  const uint8_t r = op(x, y);
  const std::string n = name;
  std::vector<Vec> v = {
      {n + " direct,A", {uint8_t(base + 2), 0x30}, {{'I', 0x30, x}, {'S', kACC, y}}, kOrg + 2, {{'I', 0x30, r}}, 1},
      {n + " direct,#", {uint8_t(base + 3), 0x30, y}, {{'I', 0x30, x}}, kOrg + 3, {{'I', 0x30, r}}, 2},
      {n + " port,# reads the latch", {uint8_t(base + 3), kP1, y}, {{'S', kP1, x}}, kOrg + 3, {{'S', kP1, r}}, 2},
      {n + " A,#", {uint8_t(base + 4), y}, {{'S', kACC, x}}, kOrg + 2, {{'S', kACC, r}}, 1},
      {n + " A,direct", {uint8_t(base + 5), 0x30}, {{'S', kACC, x}, {'I', 0x30, y}}, kOrg + 2, {{'S', kACC, r}}, 1},
  };
  Append(v, ForEachRi(uint8_t(base + 6), [&](uint8_t i) {
           return Vec{n + " A,@Ri", {}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x40, y}, {'S', kACC, x}}, kOrg + 1, {{'S', kACC, r}}, 1};
         }));
  Append(v, ForEachRn(uint8_t(base + 8), [&](uint8_t k) {
           return Vec{n + " A,Rn", {}, {{'I', uint16_t(0x08 + k), y}, {'S', kACC, x}}, kOrg + 1, {{'S', kACC, r}}, 1};
         }));
  return v;
}

std::vector<Vec> LogicVectors() {
  std::vector<Vec> v;
  Append(v, LogicRow("ORL", 0x40, [](uint8_t a, uint8_t b) -> uint8_t { return a | b; }));
  Append(v, LogicRow("ANL", 0x50, [](uint8_t a, uint8_t b) -> uint8_t { return a & b; }));
  Append(v, LogicRow("XRL", 0x60, [](uint8_t a, uint8_t b) -> uint8_t { return a ^ b; }));
  Append(v, {
                {"CLR A", {0xE4}, {{'S', kACC, 0x5A}}, kOrg + 1, {{'S', kACC, 0x00}}, 1},
                {"CPL A", {0xF4}, {{'S', kACC, 0x5A}}, kOrg + 1, {{'S', kACC, 0xA5}}, 1},
                {"RR A", {0x03}, {{'S', kACC, 0x01}}, kOrg + 1, {{'S', kACC, 0x80}}, 1},
                {"RL A", {0x23}, {{'S', kACC, 0x81}}, kOrg + 1, {{'S', kACC, 0x03}}, 1},
                {"RRC A takes CY in, bit 0 out", {0x13}, {{'S', kACC, 0x01}, {'S', kPSW, 0x00}}, kOrg + 1, {{'S', kACC, 0x00}, {'S', kPSW, 0x80}}, 1},
                {"RRC A with CY", {0x13}, {{'S', kACC, 0x02}, {'S', kPSW, 0x80}}, kOrg + 1, {{'S', kACC, 0x81}, {'S', kPSW, 0x00}}, 1},
                {"RLC A", {0x33}, {{'S', kACC, 0x80}, {'S', kPSW, 0x00}}, kOrg + 1, {{'S', kACC, 0x00}, {'S', kPSW, 0x80}}, 1},
                {"RLC A with CY", {0x33}, {{'S', kACC, 0x40}, {'S', kPSW, 0x80}}, kOrg + 1, {{'S', kACC, 0x81}, {'S', kPSW, 0x00}}, 1},
                {"SWAP A", {0xC4}, {{'S', kACC, 0x12}}, kOrg + 1, {{'S', kACC, 0x21}}, 1},
            });
  return v;
}

std::vector<Vec> MoveVectors() {
  std::vector<Vec> v = {
      {"MOV A,#", {0x74, 0x7E}, {}, kOrg + 2, {{'S', kACC, 0x7E}}, 1},
      {"MOV direct,#", {0x75, 0x30, 0x55}, {}, kOrg + 3, {{'I', 0x30, 0x55}}, 2},
      {"MOV PSW,# keeps P to ACC", {0x75, kPSW, 0x00}, {{'S', kACC, 0x01}, {'S', kPSW, 0x18}}, kOrg + 3, {{'S', kPSW, 0x01}}, 2},
      {"MOV direct,direct: source first", {0x85, 0x30, 0x31}, {{'I', 0x30, 0x55}}, kOrg + 3, {{'I', 0x31, 0x55}}, 2},
      {"MOV DPTR,#", {0x90, 0x12, 0x34}, {}, kOrg + 3, {{'S', kDPH, 0x12}, {'S', kDPL, 0x34}}, 2},
      {"MOV A,direct", {0xE5, 0x30}, {{'I', 0x30, 0x99}}, kOrg + 2, {{'S', kACC, 0x99}}, 1},
      {"MOV direct,A", {0xF5, kB}, {{'S', kACC, 0x42}}, kOrg + 2, {{'S', kB, 0x42}}, 1},
      {"MOVC A,@A+PC", {0x83}, {{'S', kACC, 0x02}, {'C', kOrg + 3, 0x77}}, kOrg + 1, {{'S', kACC, 0x77}}, 2},
      {"MOVC A,@A+DPTR", {0x93}, {{'S', kACC, 0x05}, {'S', kDPH, 0x20}, {'S', kDPL, 0x00}, {'C', 0x2005, 0x99}}, kOrg + 1, {{'S', kACC, 0x99}}, 2},
      {"MOVC A,@A+PC at 0FFFFH wraps", {0x83}, {{'S', kACC, 0x02}, {'C', 0x0002, 0x6B}}, 0x0000, {{'S', kACC, 0x6B}}, 2, 0xFFFF},
      {"MOVC A,@A+DPTR wraps", {0x93}, {{'S', kACC, 0x02}, {'S', kDPH, 0xFF}, {'S', kDPL, 0xFF}, {'C', 0x0001, 0x3C}}, kOrg + 1, {{'S', kACC, 0x3C}}, 2},
      {"MOVX A,@DPTR", {0xE0}, {{'S', kDPH, 0x12}, {'S', kDPL, 0x34}, {'X', 0x1234, 0xAB}}, kOrg + 1, {{'S', kACC, 0xAB}}, 2},
      {"MOVX @DPTR,A", {0xF0}, {{'S', kDPH, 0xFF}, {'S', kDPL, 0xFF}, {'S', kACC, 0x5D}}, kOrg + 1, {{'X', 0xFFFF, 0x5D}}, 2},
      {"XCH A,direct", {0xC5, 0x30}, {{'S', kACC, 0x11}, {'I', 0x30, 0x22}}, kOrg + 2, {{'S', kACC, 0x22}, {'I', 0x30, 0x11}}, 1},
      {"PUSH direct", {0xC0, 0x30}, {{'I', 0x30, 0x55}}, kOrg + 2, {{'I', 0x08, 0x55}, {'S', kSP, 0x08}}, 2},
      {"PUSH with SP 0FFH wraps to 00H", {0xC0, 0x30}, {{'I', 0x30, 0x55}, {'S', kSP, 0xFF}}, kOrg + 2, {{'I', 0x00, 0x55}, {'S', kSP, 0x00}}, 2},
      {"PUSH SP stores the old SP", {0xC0, kSP}, {{'S', kSP, 0x20}}, kOrg + 2, {{'I', 0x21, 0x20}, {'S', kSP, 0x21}}, 2},
      {"POP direct", {0xD0, 0x30}, {{'S', kSP, 0x09}, {'I', 0x09, 0x66}}, kOrg + 2, {{'I', 0x30, 0x66}, {'S', kSP, 0x08}}, 2},
      {"POP SP leaves SP one below", {0xD0, kSP}, {{'S', kSP, 0x20}, {'I', 0x20, 0x55}}, kOrg + 2, {{'S', kSP, 0x1F}}, 2},
      {"POP ACC", {0xD0, kACC}, {{'S', kSP, 0x09}, {'I', 0x09, 0x03}}, kOrg + 2, {{'S', kACC, 0x03}, {'S', kSP, 0x08}}, 2},
      {"MOV 3-byte at 0FFFEH takes its operand from 0000H", {0x75, 0x30}, {{'C', 0x0000, 0x5A}}, 0x0001, {{'I', 0x30, 0x5A}}, 2, 0xFFFE},
  };
  Append(v, ForEachRi(0x76, [](uint8_t i) {
           return Vec{"MOV @Ri,#", {0x44}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), uint8_t(0x80 + i)}}, kOrg + 2, {{'I', uint16_t(0x80 + i), 0x44}}, 1};
         }));
  Append(v, ForEachRn(0x78, [](uint8_t n) {
           return Vec{"MOV Rn,#", {uint8_t(0xA0 + n)}, {}, kOrg + 2, {{'I', uint16_t(0x08 + n), uint8_t(0xA0 + n)}}, 1};
         }));
  Append(v, ForEachRi(0x86, [](uint8_t i) {
           return Vec{"MOV direct,@Ri", {0x30}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x40, 0x9C}}, kOrg + 2, {{'I', 0x30, 0x9C}}, 2};
         }));
  Append(v, ForEachRn(0x88, [](uint8_t n) {
           return Vec{"MOV direct,Rn", {0x30}, {{'I', uint16_t(0x08 + n), uint8_t(n + 1)}}, kOrg + 2, {{'I', 0x30, uint8_t(n + 1)}}, 2};
         }));
  Append(v, ForEachRi(0xA6, [](uint8_t i) {
           return Vec{"MOV @Ri,direct", {0x30}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x30, 0x9C}}, kOrg + 2, {{'I', 0x40, 0x9C}}, 2};
         }));
  Append(v, ForEachRn(0xA8, [](uint8_t n) {
           return Vec{"MOV Rn,direct", {0x30}, {{'I', 0x30, 0x77}}, kOrg + 2, {{'I', uint16_t(0x08 + n), 0x77}}, 2};
         }));
  Append(v, ForEachRi(0xE6, [](uint8_t i) {
           return Vec{"MOV A,@Ri", {}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0xC0}, {'I', 0xC0, 0x31}}, kOrg + 1, {{'S', kACC, 0x31}}, 1};
         }));
  Append(v, ForEachRn(0xE8, [](uint8_t n) {
           return Vec{"MOV A,Rn", {}, {{'I', uint16_t(0x08 + n), uint8_t(0x70 + n)}}, kOrg + 1, {{'S', kACC, uint8_t(0x70 + n)}}, 1};
         }));
  Append(v, ForEachRi(0xF6, [](uint8_t i) {
           return Vec{"MOV @Ri,A", {}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'S', kACC, 0x5E}}, kOrg + 1, {{'I', 0x40, 0x5E}}, 1};
         }));
  Append(v, ForEachRn(0xF8, [](uint8_t n) {
           return Vec{"MOV Rn,A", {}, {{'S', kACC, 0x5E}}, kOrg + 1, {{'I', uint16_t(0x08 + n), 0x5E}}, 1};
         }));
  Append(v, ForEachRi(0xE2, [](uint8_t i) {
           return Vec{"MOVX A,@Ri uses P2 as page", {}, {{'S', kPSW, 0x08}, {'S', kP2, 0x12}, {'I', uint16_t(0x08 + i), 0x34}, {'X', 0x1234, 0xE7}}, kOrg + 1, {{'S', kACC, 0xE7}}, 2};
         }));
  Append(v, ForEachRi(0xF2, [](uint8_t i) {
           return Vec{"MOVX @Ri,A", {}, {{'S', kPSW, 0x08}, {'S', kP2, 0x12}, {'I', uint16_t(0x08 + i), 0x34}, {'S', kACC, 0x7A}}, kOrg + 1, {{'X', 0x1234, 0x7A}}, 2};
         }));
  Append(v, ForEachRi(0xC6, [](uint8_t i) {
           return Vec{"XCH A,@Ri", {}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x40, 0x12}, {'S', kACC, 0x34}}, kOrg + 1, {{'I', 0x40, 0x34}, {'S', kACC, 0x12}}, 1};
         }));
  Append(v, ForEachRn(0xC8, [](uint8_t n) {
           return Vec{"XCH A,Rn", {}, {{'I', uint16_t(0x08 + n), 0x12}, {'S', kACC, 0x34}}, kOrg + 1, {{'I', uint16_t(0x08 + n), 0x34}, {'S', kACC, 0x12}}, 1};
         }));
  Append(v, ForEachRi(0xD6, [](uint8_t i) {
           return Vec{"XCHD A,@Ri", {}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x40}, {'I', 0x40, 0x12}, {'S', kACC, 0x34}}, kOrg + 1, {{'I', 0x40, 0x14}, {'S', kACC, 0x32}}, 1};
         }));
  return v;
}

std::vector<Vec> BitVectors() {
  // Bit 0BH is bit 3 of 21H; bit 0E3H is bit 3 of ACC; bit 97H is P1.7.
  return {
      {"SETB bit in RAM", {0xD2, 0x0B}, {}, kOrg + 2, {{'I', 0x21, 0x08}}, 1},
      {"SETB bit of ACC", {0xD2, 0xE3}, {}, kOrg + 2, {{'S', kACC, 0x08}}, 1},
      {"CLR port bit", {0xC2, 0x97}, {}, kOrg + 2, {{'S', kP1, 0x7F}}, 1},
      {"CPL bit", {0xB2, 0x0B}, {{'I', 0x21, 0x0C}}, kOrg + 2, {{'I', 0x21, 0x04}}, 1},
      {"SETB C", {0xD3}, {}, kOrg + 1, {{'S', kPSW, 0x80}}, 1},
      {"CLR C", {0xC3}, {{'S', kPSW, 0xC4}}, kOrg + 1, {{'S', kPSW, 0x44}}, 1},
      {"CPL C", {0xB3}, {{'S', kPSW, 0x40}}, kOrg + 1, {{'S', kPSW, 0xC0}}, 1},
      {"MOV C,bit", {0xA2, 0x0B}, {{'I', 0x21, 0x08}}, kOrg + 2, {{'S', kPSW, 0x80}}, 1},
      {"MOV bit,C", {0x92, 0x0B}, {{'S', kPSW, 0x80}}, kOrg + 2, {{'I', 0x21, 0x08}}, 2},
      {"MOV P,C leaves P to ACC", {0x92, 0xD0}, {{'S', kPSW, 0x80}, {'S', kACC, 0x00}}, kOrg + 2, {}, 2},
      {"ORL C,bit", {0x72, 0x0B}, {{'I', 0x21, 0x08}}, kOrg + 2, {{'S', kPSW, 0x80}}, 2},
      {"ORL C,/bit", {0xA0, 0x0B}, {{'I', 0x21, 0x00}}, kOrg + 2, {{'S', kPSW, 0x80}}, 2},
      {"ANL C,bit", {0x82, 0x0B}, {{'S', kPSW, 0x80}, {'I', 0x21, 0x00}}, kOrg + 2, {{'S', kPSW, 0x00}}, 2},
      {"ANL C,/bit", {0xB0, 0x0B}, {{'S', kPSW, 0x80}, {'I', 0x21, 0x00}}, kOrg + 2, {}, 2},
      {"ANL C,/bit set", {0xB0, 0x0B}, {{'S', kPSW, 0x80}, {'I', 0x21, 0x08}}, kOrg + 2, {{'S', kPSW, 0x00}}, 2},
  };
}

std::vector<Vec> BranchVectors() {
  std::vector<Vec> v = {
      {"NOP", {0x00}, {}, kOrg + 1, {}, 1},
      {"LJMP", {0x02, 0x12, 0x34}, {}, 0x1234, {}, 2},
      {"LCALL at 0FFFEH returns to 0001H", {0x12, 0x12}, {{'C', 0x0000, 0x34}}, 0x1234, {{'I', 0x08, 0x01}, {'I', 0x09, 0x00}, {'S', kSP, 0x09}}, 2, 0xFFFE},
      {"ACALL at 0FFFEH calls into block 0", {0xF1, 0x23}, {}, 0x0723, {{'I', 0x08, 0x00}, {'I', 0x09, 0x00}, {'S', kSP, 0x09}}, 2, 0xFFFE},
      {"LCALL pushes the return address", {0x12, 0x12, 0x34}, {}, 0x1234, {{'I', 0x08, 0x03}, {'I', 0x09, 0x01}, {'S', kSP, 0x09}}, 2},
      {"SJMP back to itself", {0x80, 0xFE}, {}, kOrg, {}, 2},
      {"SJMP across 0000H backwards", {0x80, 0xFC}, {}, 0xFFFE, {}, 2, 0x0000},
      {"SJMP across 0FFFFH forwards", {0x80, 0x02}, {}, 0x0002, {}, 2, 0xFFFE},
      {"JMP @A+DPTR", {0x73}, {{'S', kACC, 0x04}, {'S', kDPH, 0x20}}, 0x2004, {}, 2},
      {"JMP @A+DPTR wraps", {0x73}, {{'S', kACC, 0x03}, {'S', kDPH, 0xFF}, {'S', kDPL, 0xFE}}, 0x0001, {}, 2},
      {"JC taken", {0x40, 0x10}, {{'S', kPSW, 0x80}}, kOrg + 0x12, {}, 2},
      {"JC not taken", {0x40, 0x10}, {}, kOrg + 2, {}, 2},
      {"JNC taken backwards", {0x50, 0xF0}, {}, kOrg + 2 - 0x10, {}, 2},
      {"JNC not taken", {0x50, 0xF0}, {{'S', kPSW, 0x80}}, kOrg + 2, {}, 2},
      {"JZ taken", {0x60, 0x05}, {}, kOrg + 7, {}, 2},
      {"JZ not taken", {0x60, 0x05}, {{'S', kACC, 0x01}}, kOrg + 2, {}, 2},
      {"JNZ taken", {0x70, 0x05}, {{'S', kACC, 0x01}}, kOrg + 7, {}, 2},
      {"JNZ not taken", {0x70, 0x05}, {}, kOrg + 2, {}, 2},
      {"JB taken", {0x20, 0x0B, 0x05}, {{'I', 0x21, 0x08}}, kOrg + 8, {}, 2},
      {"JB not taken", {0x20, 0x0B, 0x05}, {}, kOrg + 3, {}, 2},
      {"JNB taken", {0x30, 0x0B, 0x05}, {}, kOrg + 8, {}, 2},
      {"JNB not taken", {0x30, 0x0B, 0x05}, {{'I', 0x21, 0x08}}, kOrg + 3, {}, 2},
      {"JBC taken clears the bit", {0x10, 0x0B, 0x05}, {{'I', 0x21, 0x09}}, kOrg + 8, {{'I', 0x21, 0x01}}, 2},
      {"JBC not taken", {0x10, 0x0B, 0x05}, {{'I', 0x21, 0x01}}, kOrg + 3, {}, 2},
      {"CJNE A,# less: CY, jump", {0xB4, 0x06, 0x05}, {{'S', kACC, 0x05}}, kOrg + 8, {{'S', kPSW, 0x80}}, 2},
      {"CJNE A,# equal: no jump, CY clear", {0xB4, 0x06, 0x05}, {{'S', kACC, 0x06}, {'S', kPSW, 0x80}}, kOrg + 3, {{'S', kPSW, 0x00}}, 2},
      {"CJNE A,direct greater", {0xB5, 0x30, 0x05}, {{'S', kACC, 0x07}, {'I', 0x30, 0x06}, {'S', kPSW, 0x84}}, kOrg + 8, {{'S', kPSW, 0x04}}, 2},
      {"DJNZ on a port reads the latch", {0xD5, kP1, 0x05}, {{'S', kP1, 0x01}}, kOrg + 3, {{'S', kP1, 0x00}}, 2},
      {"DJNZ on B jumps", {0xD5, kB, 0x05}, {{'S', kB, 0x00}}, kOrg + 8, {{'S', kB, 0xFF}}, 2},
      {"CJNE A,port: CY from the port byte", {0xB5, kP1, 0x05}, {{'S', kACC, 0x7F}}, kOrg + 8, {{'S', kPSW, 0x80}}, 2},
      {"DJNZ direct jumps", {0xD5, 0x30, 0xFD}, {{'I', 0x30, 0x02}}, kOrg, {{'I', 0x30, 0x01}}, 2},
      {"DJNZ direct falls through at 0", {0xD5, 0x30, 0xFD}, {{'I', 0x30, 0x01}}, kOrg + 3, {{'I', 0x30, 0x00}}, 2},
      {"RET", {0x22}, {{'S', kSP, 0x09}, {'I', 0x09, 0x12}, {'I', 0x08, 0x34}}, 0x1234, {{'S', kSP, 0x07}}, 2},
      {"RETI", {0x32}, {{'S', kSP, 0x09}, {'I', 0x09, 0x12}, {'I', 0x08, 0x34}}, 0x1234, {{'S', kSP, 0x07}}, 2},
      {"AJMP at 07FEH lands in the next 2K block", {0x01, 0x10}, {}, 0x0810, {}, 2, 0x07FE},
      {"AJMP at 0FFFEH wraps to block 0", {0x21, 0x10}, {}, 0x0110, {}, 2, 0xFFFE},
  };
  for (uint8_t page = 0; page < 8; ++page) {
    const uint8_t op = static_cast<uint8_t>(page << 5);
    v.push_back({"AJMP page " + std::to_string(page), {uint8_t(op | 0x01), 0x34}, {}, uint16_t(page * 0x100 + 0x34), {}, 2});
    v.push_back({"ACALL page " + std::to_string(page), {uint8_t(op | 0x11), 0x34}, {}, uint16_t(page * 0x100 + 0x34),
                 {{'I', 0x08, 0x02}, {'I', 0x09, 0x01}, {'S', kSP, 0x09}}, 2});
  }
  Append(v, ForEachRi(0xB6, [](uint8_t i) {
           return Vec{"CJNE @Ri,#", {0x40, 0x05}, {{'S', kPSW, 0x08}, {'I', uint16_t(0x08 + i), 0x50}, {'I', 0x50, 0x41}}, kOrg + 8, {}, 2};
         }));
  Append(v, ForEachRn(0xB8, [](uint8_t n) {
           return Vec{"CJNE Rn,#", {0x40, 0x05}, {{'I', uint16_t(0x08 + n), 0x3F}}, kOrg + 8, {{'S', kPSW, 0x88}}, 2};
         }));
  Append(v, ForEachRn(0xD8, [](uint8_t n) {
           return Vec{"DJNZ Rn", {0xFE}, {{'I', uint16_t(0x08 + n), 0x00}}, kOrg, {{'I', uint16_t(0x08 + n), 0xFF}}, 2};
         }));
  return v;
}

// Table families
struct Family {
  const char* Name;
  std::vector<Vec> (*Make)();
};
constexpr Family kFamilies[] = {
    {"Arithmetic", ArithmeticVectors}, {"Logic", LogicVectors}, {"Moves", MoveVectors},
    {"Bits", BitVectors},             {"Branches", BranchVectors},
};

class StateVectors : public ::testing::TestWithParam<Family> {};

TEST_P(StateVectors, OneStepGivesTheExpectedMachine) {
  for (const Vec& v : GetParam().Make()) RunVector(v);
}

INSTANTIATE_TEST_SUITE_P(Families, StateVectors, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family>& info) { return std::string(info.param.Name); });

TEST(StateVectorCoverage, EveryOpcodeHasAVector) {
  std::set<uint8_t> seen;
  for (const Family& f : kFamilies)
    for (const Vec& v : f.Make()) seen.insert(v.Code.at(0));
  seen.insert(0xA5);  // the break opcode has its own tests below
  std::string missing;
  for (unsigned op = 0; op < 256; ++op)
    if (!seen.count(static_cast<uint8_t>(op))) missing += Hex(op) + " ";
  EXPECT_TRUE(missing.empty()) << "no vector for " << missing;
}

// Behaviour around the steps

class SimulatorTest : public SimFixture {};

TEST_F(SimulatorTest, ParityFollowsAccAfterEveryInstruction) {
  Code(0, {0x74, 0x07, 0x75, 0xD0, 0x00, 0xE4});  // MOV A,#7; MOV PSW,#0; CLR A
  Step();
  EXPECT_EQ(Sfr(0xD0) & 1, 1);
  Step();
  EXPECT_EQ(Sfr(0xD0), 0x01) << "a PSW write cannot clear P while ACC has odd parity";
  Step();
  EXPECT_EQ(Sfr(0xD0) & 1, 0);
}

TEST_F(SimulatorTest, PlantedBreakStopsBeforeTheInstructionAndResumesWithIt) {
  Code(0x0000, {0x04, 0x04, 0x04, 0x80, 0xFE});  // INC A x3; SJMP $
  PlantBreak(0x0001);
  dorvik::Run().ProgramRunning = true;
  EXPECT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(Step(), StepResult::BreakOpcode);
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(T().SimPC, 0x0001);
  EXPECT_EQ(Sfr(0xE0), 1) << "the instruction under the break has not run";
  EXPECT_EQ(Simulator().InstructionCounter, 1u);
  // Resumed at the break: the original INC A runs, the break stays planted.
  EXPECT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(Sfr(0xE0), 2);
  EXPECT_EQ(T().SimPC, 0x0002);
  EXPECT_EQ(T().CodeImage[0x0001], 0xA5);
  LiftBreak(0x0001);
  EXPECT_EQ(T().CodeImage[0x0001], 0x04);
  EXPECT_FALSE(IsBreakPlanted(0x0001));
}

TEST_F(SimulatorTest, BreakOverAThreeByteInstructionResumesWithIt) {
  Code(0x0000, {0x75, 0x30, 0x99, 0x00});  // MOV 30H,#99H
  PlantBreak(0x0000);
  EXPECT_EQ(Step(), StepResult::BreakOpcode);
  EXPECT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(Iram(0x30), 0x99);
  EXPECT_EQ(T().SimPC, 3);
  EXPECT_EQ(Simulator().LastCycles, 2);
}

TEST_F(SimulatorTest, BreakOpcodeInTheProgramStopsAndIsSteppedOverAsOneByte) {
  Code(0x0000, {0xA5, 0x04});
  EXPECT_EQ(Step(), StepResult::BreakOpcode);
  EXPECT_EQ(T().SimPC, 0);
  EXPECT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(T().SimPC, 1);
  EXPECT_EQ(Sfr(0xE0), 0) << "0A5H changes no register";
}

TEST_F(SimulatorTest, BreakPlantedByACodeWriteResumesWithTheInstructionItReplaced) {
  // Run control plants through the access layer and writes the saved byte back after the stop.
  Code(0x0000, {0x74, 0x11, 0x04, 0x80, 0xFE});  // MOV A,#11H; INC A; SJMP $
  TargetWriteValue(kSpaceCode, 0x0000, kBreakOpcode, 1);
  EXPECT_EQ(Step(), StepResult::BreakOpcode);
  EXPECT_EQ(T().SimPC, 0);
  EXPECT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(Sfr(0xE0), 0x11) << "the two-byte MOV under the break ran";
  EXPECT_EQ(T().SimPC, 2);
  TargetWriteCodeByte(0x0000, "074");
  EXPECT_FALSE(IsBreakPlanted(0x0000));
  EXPECT_EQ(T().CodeImage[0x0000], 0x74);
  // A longer value that holds the byte 0A5H is data, not a break.
  TargetWriteValue(kSpaceCode, 0x0010, 0x12A5, 2);
  EXPECT_FALSE(IsBreakPlanted(0x0011));
}

TEST_F(SimulatorTest, RestoringAPlantedBreakByACodeWriteForgetsIt) {
  Code(0x0000, {0x04});
  PlantBreak(0x0000);
  TargetWriteCodeByte(0x0000, "004");
  EXPECT_FALSE(IsBreakPlanted(0x0000));
  EXPECT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(Sfr(0xE0), 1);
}

TEST_F(SimulatorTest, ALoadOverAPlantedBreakIsNeverUndoneByLiftingIt) {
  Code(0x0000, {0x04});
  PlantBreak(0x0000);
  T().CodeImage[0x0000] = 0x14;  // a new program loaded over it
  CodeImageChanged();
  LiftBreak(0x0000);
  EXPECT_EQ(T().CodeImage[0x0000], 0x14);
}

TEST_F(SimulatorTest, CodeWritesInvalidateTheDecodedLines) {
  Code(0x0000, {0x74, 0x11, 0x80, 0xFC});  // MOV A,#11H; SJMP 0
  Step();
  Step();
  EXPECT_EQ(Sfr(0xE0), 0x11);
  TargetWriteValue(kSpaceCode, 0x0001, 0x22, 1);  // the operand byte only
  Step();
  EXPECT_EQ(Sfr(0xE0), 0x22) << "a stale decoded line ran";
  Step();
  TargetWriteValue(kSpaceCode, 0x0000, 0x04, 1);  // opcode becomes INC A (1 byte)
  Step();
  EXPECT_EQ(Sfr(0xE0), 0x23);
  EXPECT_EQ(T().SimPC, 1);
}

TEST_F(SimulatorTest, WriteToTheLastByteOfAThreeByteInstructionIsSeen) {
  Code(0x0000, {0x02, 0x12, 0x34});  // LJMP 1234H
  Step();
  EXPECT_EQ(T().SimPC, 0x1234);
  TargetWriteValue(kSpaceCode, 0x0002, 0x56, 1);
  T().SimPC = 0;
  Step();
  EXPECT_EQ(T().SimPC, 0x1256);
}

TEST_F(SimulatorTest, CodeWriteInvalidatesTheDisassemblyLineItems) {
  Code(0x0010, {0x74, 0x11});
  EXPECT_FALSE(DisassembleLine(0x0010).empty());
  ASSERT_TRUE(DisasLines().GetItem(0x0010).IsDecoded());
  TargetWriteValue(kSpaceCode, 0x0011, 0x22, 1);
  EXPECT_FALSE(DisasLines().GetItem(0x0010).IsDecoded());
}

TEST_F(SimulatorTest, StepRecordsThePreviousPcAndCounts) {
  Code(0x0200, {0x00, 0x02, 0x03, 0x00});  // NOP; LJMP 0300H
  T().SimPC = 0x0200;
  Step();
  Step();
  EXPECT_EQ(T().PrevPC, 0x0201);
  EXPECT_EQ(T().SimPC, 0x0300);
  EXPECT_EQ(Simulator().InstructionCounter, 2u);
  EXPECT_EQ(TargetRegisterValue(91), 0x0201);  // PPC
}

TEST_F(SimulatorTest, UserBreakRunsNothing) {
  Code(0, {0x04});
  dorvik::Run().UserBreak = true;
  dorvik::Run().ProgramRunning = true;
  EXPECT_EQ(Step(), StepResult::UserBreak);
  EXPECT_FALSE(dorvik::Run().ProgramRunning) << "a run loop that only tests ProgramRunning ends";
  EXPECT_EQ(Sfr(0xE0), 0);
  EXPECT_EQ(T().SimPC, 0);
}

TEST_F(SimulatorTest, StepOnAnotherTargetKindStopsTheRunWithAMessage) {
  Code(0, {0x04});
  dorvik::Run().TargetKind = kTargetMonitor;
  dorvik::Run().ProgramRunning = true;
  EXPECT_EQ(Step(), StepResult::Error);
  EXPECT_TRUE(Messages().ErrorFlag);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_NE(boxes_.Shown()[0].Caption.find("#143"), std::string::npos);
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Sfr(0xE0), 0);
}

TEST_F(SimulatorTest, ProgressAndPortListenersAreCalled) {
  static int progress = 0, ports = 0;
  progress = ports = 0;
  Simulator().ShowProgress = [](uint16_t) { ++progress; };
  Simulator().PortsChanged = [] { ++ports; };
  Code(0, {0x63, 0x90, 0x01, 0x00, 0x80, 0xFA});  // XRL P1,#1; NOP; SJMP 0
  for (int i = 0; i < 255; ++i) Step();
  EXPECT_EQ(progress, 0);
  Step();
  EXPECT_EQ(progress, 1);
  EXPECT_EQ(MainForm().CurrentPC, 0x0003u) << "the PC after the 256th instruction";
  for (int i = 0; i < 256; ++i) Step();
  EXPECT_EQ(progress, 2);
  EXPECT_EQ(ports, 171) << "one call per XRL that changed P1";
}

TEST_F(SimulatorTest, RecordedReadsGoToTheValueList) {
  Simulator().RecordReads = true;
  Code(0, {0xE5, 0x30});  // MOV A,30H
  Iram(0x30) = 0x42;
  Step();
  ASSERT_EQ(ValueList().Count(), 1);
  EXPECT_EQ(ValueList().Items[0].Value, 0x42u);
}

TEST_F(SimulatorTest, MovxReadLetsTheVirtualHardwareAnswer) {
  struct Driver : vhw::HardwareReceiver {
    int32_t HardwareAccess(uint32_t, uint8_t space, uint8_t data) override {
      return space == vhw::kSpaceSfr && (data & vhw::kReadStrobe) ? 0x5A : vhw::kNoReply;
    }
  } driver;
  vhw::ShowReceiver(driver);
  Code(0, {0xE0, 0xE0});  // MOVX A,@DPTR twice
  T().XDataImage[0] = 0x11;
  Step();
  EXPECT_EQ(Sfr(0xE0), 0x5A);
  T().SuppressXDataIO = true;
  Step();
  EXPECT_EQ(Sfr(0xE0), 0x11);
  vhw::HideReceiver(driver);
}

TEST_F(SimulatorTest, MulAdvancesTimer0ByFourCyclesOnlyInTimerMode) {
  Code(0, {0xA4, 0xA4});
  Sfr(0x88) = 0x10;  // TR0
  Sfr(0x89) = 0x01;  // timer 0 mode 1
  Step();
  EXPECT_EQ(Sfr(0x8A), 4);
  Sfr(0x89) = 0x05;  // counter mode
  Step();
  EXPECT_EQ(Sfr(0x8A), 4);
}

TEST_F(SimulatorTest, ResetRestoresTheRegistersButNotMemory) {
  Code(0, {0x04});
  Sfr(0xE0) = 0x55;
  Iram(0x30) = 0x66;
  T().SimPC = 0x1234;
  Interrupts().InService = 0x02;
  SimReset();
  EXPECT_EQ(T().SimPC, 0);
  EXPECT_EQ(Sfr(0x81), 0x07);
  EXPECT_EQ(Sfr(0x80), 0xFF);
  EXPECT_EQ(Sfr(0xB0), 0xFF);
  EXPECT_EQ(Sfr(0xE0), 0x00);
  EXPECT_EQ(Iram(0x30), 0x66);
  EXPECT_FALSE(Interrupts().Entry(1).InService);
}

}  // namespace
}  // namespace dorvik
