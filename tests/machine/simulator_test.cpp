// State vectors of the instruction simulator: initial registers and memory, one
// step, then the whole machine compared with the expected one (registers,
// memory, flags, next PC and machine cycles). One table per instruction family;
// together they cover all 256 opcodes.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "machine/alu.h"
#include "machine/opcodes.h"
#include "tests/support/sim_fixture.h"
#include "base/mainform.h"

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

void Put(MemoryImages& t, const Mem& m) {
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
      ADD_FAILURE() << name << ": " << what << "[" << std::hex << i << "H] = " << int(got[i])
                    << "H, expected " << int(want[i]) << "H";
      return;
    }
}

void RunVector(const Vec& v) {
  testing::ResetMachine();
  MemoryImages& t = Images();
  uint16_t at = v.Org;
  for (uint8_t b : v.Code) t.CodeImage[at++] = b;
  for (const Mem& m : v.Before) Put(t, m);
  CodeImageChanged();
  UpdateParityFlag();
  t.SimPC = v.Org;
  auto want = std::make_unique<MemoryImages>(t);
  for (const Mem& m : v.After) Put(*want, m);
  want->SfrImage[kPSW] =
      static_cast<uint8_t>((want->SfrImage[kPSW] & 0xFE) | alu::Parity(want->SfrImage[kACC]));

  EXPECT_EQ(SimStep(v.Org), StepResult::Executed) << v.Name;
  EXPECT_EQ(t.SimPC, v.NextPc) << v.Name;
  EXPECT_EQ(Simulator().LastCycles, v.Cycles) << v.Name;
  EXPECT_EQ(t.PrevPC, v.Org) << v.Name;
  ExpectSame(t.IDataImage, want->IDataImage, "IRAM", v.Name);
  ExpectSame(t.SfrImage, want->SfrImage, "SFR", v.Name);
  ExpectSame(t.XDataImage, want->XDataImage, "XDATA", v.Name);
  ExpectSame(t.CodeImage, want->CodeImage, "CODE", v.Name);
}

// A register row: one instruction family whose @R0/@R1 forms sit at opcode
// Base+6/+7 and R0..R7 forms at Base+8..0FH, expanded into a vector per form,
// in register bank 1. Space 'r' names the operand: Rn (08H+n), or the byte at
// 0C0H (above the SFR addresses) that Ri points at.
enum Forms { kAtRi = 1, kRn = 2, kBoth = 3 };
struct RegRow {
  const char* Name;
  uint8_t Base;
  int Forms;
  std::vector<uint8_t> Operands;  // the bytes after the opcode
  std::vector<Mem> Before;
  uint16_t NextPc;  // 0: the next instruction
  std::vector<Mem> After;
  uint8_t Cycles;
};

void Expand(std::vector<Vec>& to, const std::vector<RegRow>& rows) {
  for (const RegRow& row : rows)
    for (uint8_t k = 0; k < 10; ++k) {
      const bool ri = k < 2;
      const uint8_t n = ri ? k : k - 2;
      if (!(row.Forms & (ri ? kAtRi : kRn))) continue;
      const uint16_t operand = ri ? 0xC0 : 0x08 + n;
      Vec v{row.Name + std::string(ri ? "@R" : "R") + std::to_string(n), {uint8_t(row.Base + 6 + k)},
            {{'S', kPSW, 0x08}}, row.NextPc, {}, row.Cycles};
      v.Code.insert(v.Code.end(), row.Operands.begin(), row.Operands.end());
      if (ri) v.Before.push_back({'I', uint16_t(0x08 + n), uint8_t(operand)});
      if (!v.NextPc) v.NextPc = uint16_t(kOrg + v.Code.size());
      auto place = [operand](Mem m) { return m.Space == 'r' ? Mem{'I', operand, m.Value} : m; };
      for (const Mem& m : row.Before) v.Before.push_back(place(m));
      for (const Mem& m : row.After) v.After.push_back(place(m));
      to.push_back(v);
    }
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
  Expand(v, {
      {"ADD A,", 0x20, kBoth, {}, {{'r', 0, 0x0F}, {'S', kACC, 0x01}}, 0, {{'S', kACC, 0x10}, {'S', kPSW, 0x48}}, 1},
      {"ADDC A,", 0x30, kBoth, {}, {{'S', kPSW, 0x88}, {'r', 0, 0x01}, {'S', kACC, 0x01}}, 0, {{'S', kACC, 0x03}, {'S', kPSW, 0x08}}, 1},
      {"SUBB A,", 0x90, kBoth, {}, {{'r', 0, 0x01}, {'S', kACC, 0x10}}, 0, {{'S', kACC, 0x0F}, {'S', kPSW, 0x48}}, 1},
      {"INC ", 0x00, kBoth, {}, {{'r', 0, 0xFF}}, 0, {{'r', 0, 0x00}}, 1},
      {"DEC ", 0x10, kBoth, {}, {{'r', 0, 0x00}}, 0, {{'r', 0, 0xFF}}, 1},
  });
  return v;
}

// ANL/ORL/XRL rows share their layout: base+2 dir,A; +3 dir,#; +4 A,#; +5 A,dir; +6/7 A,@Ri; +8..F A,Rn.
void LogicRow(std::vector<Vec>& v, const std::string& n, uint8_t base, uint8_t (*op)(uint8_t, uint8_t)) {
  const uint8_t x = 0x5C, y = 0x36;
  const uint8_t r = op(x, y);
  const std::string a = n + " A,";
  Expand(v, {{a.c_str(), base, kBoth, {}, {{'r', 0, y}, {'S', kACC, x}}, 0, {{'S', kACC, r}}, 1}});
  v.insert(v.end(), {
      {n + " direct,A", {uint8_t(base + 2), 0x30}, {{'I', 0x30, x}, {'S', kACC, y}}, kOrg + 2, {{'I', 0x30, r}}, 1},
      {n + " direct,#", {uint8_t(base + 3), 0x30, y}, {{'I', 0x30, x}}, kOrg + 3, {{'I', 0x30, r}}, 2},
      {n + " port,# reads the latch", {uint8_t(base + 3), kP1, y}, {{'S', kP1, x}}, kOrg + 3, {{'S', kP1, r}}, 2},
      {n + " A,#", {uint8_t(base + 4), y}, {{'S', kACC, x}}, kOrg + 2, {{'S', kACC, r}}, 1},
      {n + " A,direct", {uint8_t(base + 5), 0x30}, {{'S', kACC, x}, {'I', 0x30, y}}, kOrg + 2, {{'S', kACC, r}}, 1},
  });
}

std::vector<Vec> LogicVectors() {
  std::vector<Vec> v = {
      {"CLR A", {0xE4}, {{'S', kACC, 0x5A}}, kOrg + 1, {{'S', kACC, 0x00}}, 1},
      {"CPL A", {0xF4}, {{'S', kACC, 0x5A}}, kOrg + 1, {{'S', kACC, 0xA5}}, 1},
      {"RR A", {0x03}, {{'S', kACC, 0x01}}, kOrg + 1, {{'S', kACC, 0x80}}, 1},
      {"RL A", {0x23}, {{'S', kACC, 0x81}}, kOrg + 1, {{'S', kACC, 0x03}}, 1},
      {"RRC A takes CY in, bit 0 out", {0x13}, {{'S', kACC, 0x01}, {'S', kPSW, 0x00}}, kOrg + 1, {{'S', kACC, 0x00}, {'S', kPSW, 0x80}}, 1},
      {"RRC A with CY", {0x13}, {{'S', kACC, 0x02}, {'S', kPSW, 0x80}}, kOrg + 1, {{'S', kACC, 0x81}, {'S', kPSW, 0x00}}, 1},
      {"RLC A", {0x33}, {{'S', kACC, 0x80}, {'S', kPSW, 0x00}}, kOrg + 1, {{'S', kACC, 0x00}, {'S', kPSW, 0x80}}, 1},
      {"RLC A with CY", {0x33}, {{'S', kACC, 0x40}, {'S', kPSW, 0x80}}, kOrg + 1, {{'S', kACC, 0x81}, {'S', kPSW, 0x00}}, 1},
      {"SWAP A", {0xC4}, {{'S', kACC, 0x12}}, kOrg + 1, {{'S', kACC, 0x21}}, 1},
  };
  LogicRow(v, "ORL", 0x40, [](uint8_t a, uint8_t b) -> uint8_t { return a | b; });
  LogicRow(v, "ANL", 0x50, [](uint8_t a, uint8_t b) -> uint8_t { return a & b; });
  LogicRow(v, "XRL", 0x60, [](uint8_t a, uint8_t b) -> uint8_t { return a ^ b; });
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
      {"MOVX A,@R0 uses P2 as page", {0xE2}, {{'S', kP2, 0x12}, {'I', 0x00, 0x34}, {'X', 0x1234, 0xE7}}, kOrg + 1, {{'S', kACC, 0xE7}}, 2},
      {"MOVX A,@R1 uses P2 as page", {0xE3}, {{'S', kP2, 0x12}, {'I', 0x01, 0x34}, {'X', 0x1234, 0xE7}}, kOrg + 1, {{'S', kACC, 0xE7}}, 2},
      {"MOVX @R0,A", {0xF2}, {{'S', kP2, 0x12}, {'I', 0x00, 0x34}, {'S', kACC, 0x7A}}, kOrg + 1, {{'X', 0x1234, 0x7A}}, 2},
      {"MOVX @R1,A", {0xF3}, {{'S', kP2, 0x12}, {'I', 0x01, 0x34}, {'S', kACC, 0x7A}}, kOrg + 1, {{'X', 0x1234, 0x7A}}, 2},
  };
  Expand(v, {
      {"MOV (#44H) ", 0x70, kBoth, {0x44}, {}, 0, {{'r', 0, 0x44}}, 1},
      {"MOV 30H,", 0x80, kBoth, {0x30}, {{'r', 0, 0x9C}}, 0, {{'I', 0x30, 0x9C}}, 2},
      {"MOV (30H) ", 0xA0, kBoth, {0x30}, {{'I', 0x30, 0x77}}, 0, {{'r', 0, 0x77}}, 2},
      {"MOV A,", 0xE0, kBoth, {}, {{'r', 0, 0x31}}, 0, {{'S', kACC, 0x31}}, 1},
      {"MOV (A) ", 0xF0, kBoth, {}, {{'S', kACC, 0x5E}}, 0, {{'r', 0, 0x5E}}, 1},
      {"XCH A,", 0xC0, kBoth, {}, {{'r', 0, 0x12}, {'S', kACC, 0x34}}, 0, {{'r', 0, 0x34}, {'S', kACC, 0x12}}, 1},
      {"XCHD A,", 0xD0, kAtRi, {}, {{'r', 0, 0x12}, {'S', kACC, 0x34}}, 0, {{'r', 0, 0x14}, {'S', kACC, 0x32}}, 1},
  });
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
  Expand(v, {
      {"CJNE (less than #40H) ", 0xB0, kBoth, {0x40, 0x05}, {{'r', 0, 0x3F}}, kOrg + 8, {{'S', kPSW, 0x88}}, 2},
      {"DJNZ ", 0xD0, kRn, {0xFE}, {{'r', 0, 0x00}}, kOrg, {{'r', 0, 0xFF}}, 2},
  });
  return v;
}

// Table families
struct Family {
  const char* Name;
  std::vector<Vec> (*Make)();
};
constexpr Family kFamilies[] = {
    {"Arithmetic", ArithmeticVectors}, {"Logic", LogicVectors}, {"Moves", MoveVectors}, {"Bits", BitVectors},
    {"Branches", BranchVectors},
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
  for (unsigned op = 0; op < 256; ++op)
    if (!seen.count(static_cast<uint8_t>(op)))
      ADD_FAILURE() << "no vector for opcode " << std::hex << op << "H";
}

// Behaviour around the steps

class SimulatorTest : public SimFixture {};

TEST_F(SimulatorTest, PlantedBreakStopsBeforeTheInstructionAndResumesWithIt) {
  Code(0x0000, {0x04, 0x75, 0x30, 0x99, 0x80, 0xFE});  // INC A; MOV 30H,#99H; SJMP $
  PlantBreak(0x0001);
  dorvik::Run().ProgramRunning = true;
  EXPECT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(Step(), StepResult::BreakOpcode);
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(T().SimPC, 0x0001);
  EXPECT_EQ(Iram(0x30), 0) << "the instruction under the break has not run";
  EXPECT_EQ(Simulator().InstructionCounter, 1u);
  // Resumed at the break: the original three-byte MOV runs, the break stays planted.
  EXPECT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(Iram(0x30), 0x99);
  EXPECT_EQ(T().SimPC, 0x0004);
  EXPECT_EQ(Simulator().LastCycles, 2);
  EXPECT_EQ(Simulator().InstructionCounter, 2u);
  EXPECT_EQ(TargetRegisterValue(91), 0x0001) << "PPC: the instruction executed last";
  EXPECT_EQ(T().CodeImage[0x0001], 0xA5);
  LiftBreak(0x0001);
  EXPECT_EQ(T().CodeImage[0x0001], 0x75);
  EXPECT_FALSE(IsBreakPlanted(0x0001));
  // A program loaded over a planted break is never undone by lifting it.
  PlantBreak(0x0004);
  T().CodeImage[0x0004] = 0x14;
  CodeImageChanged();
  LiftBreak(0x0004);
  EXPECT_EQ(T().CodeImage[0x0004], 0x14);
}

TEST_F(SimulatorTest, MovcReadsTheProgramsByteUnderAPlantedBreak) {
  // MOV DPTR,#0010H; CLR A; MOVC A,@A+DPTR; MOV R0,A; MOV A,#08H; MOVC A,@A+PC; (10H: 5AH, 11H: A5H)
  Code(0x0000, {0x90, 0x00, 0x10, 0xE4, 0x93, 0xF8, 0x74, 0x08, 0x83});
  Code(0x0010, {0x5A, 0xA5});
  PlantBreak(0x0010);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(Iram(0x00), 0x5A) << "MOVC A,@A+DPTR reads the program's byte, not the break";
  ASSERT_EQ(Step(), StepResult::Executed);
  ASSERT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(Sfr(0xE0), 0xA5) << "a break opcode the program holds itself is read as it is";
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
  // Writing the saved byte back forgets the break: the next pass runs the MOV.
  TargetWriteCodeByte(0x0000, "074");
  EXPECT_FALSE(IsBreakPlanted(0x0000));
  EXPECT_EQ(T().CodeImage[0x0000], 0x74);
  T().SimPC = 0;
  EXPECT_EQ(Step(), StepResult::Executed);
  // A longer value that holds the byte 0A5H is data, not a break.
  TargetWriteValue(kSpaceCode, 0x0010, 0x12A5, 2);
  EXPECT_FALSE(IsBreakPlanted(0x0011));
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

TEST_F(SimulatorTest, WritesToTheLastByteOfALineAreSeenByStepAndDisassembly) {
  Code(0x0020, {0x90, 0x12, 0x34});  // MOV DPTR,#1234H
  EXPECT_NE(DisassembleLine(0x0020).find("1234"), std::string::npos);
  auto step_at_20 = [] {
    T().SimPC = 0x0020;
    Step();
    return Sfr(0x82);
  };
  EXPECT_EQ(step_at_20(), 0x34);
  TargetWriteValue(kSpaceCode, 0x0022, 0x56, 1);  // through the layer
  EXPECT_NE(DisassembleLine(0x0020).find("1256"), std::string::npos);
  EXPECT_EQ(step_at_20(), 0x56);
  T().CodeImage[0x0022] = 0x78;  // behind the layer (a load, the line assembler), then announced
  CodeImageChanged(0x0022);
  EXPECT_NE(DisassembleLine(0x0020).find("1278"), std::string::npos)
      << "neither the line item nor the code cache is stale";
  EXPECT_EQ(step_at_20(), 0x78) << "nor the simulator's decoded line";
}

TEST_F(SimulatorTest, UserBreakOrAnotherTargetKindRunsNothingAndEndsTheRun) {
  Code(0, {0x04});
  dorvik::Run().UserBreak = true;
  dorvik::Run().ProgramRunning = true;
  EXPECT_EQ(Step(), StepResult::UserBreak);
  EXPECT_FALSE(dorvik::Run().ProgramRunning) << "a run loop that only tests ProgramRunning ends";
  dorvik::Run().UserBreak = false;
  dorvik::Run().TargetKind = kTargetMonitor;
  dorvik::Run().ProgramRunning = true;
  EXPECT_EQ(Step(), StepResult::Error);
  EXPECT_TRUE(Messages().ErrorFlag);
  ASSERT_EQ(boxes_.Shown().size(), 1u);
  EXPECT_NE(boxes_.Shown()[0].Caption.find("#143"), std::string::npos);
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Sfr(0xE0), 0);
  EXPECT_EQ(T().SimPC, 0);
}

TEST_F(SimulatorTest, ProgressAndPortListenersAreCalled) {
  static int progress = 0, ports = 0;
  static uint16_t shownPc = 0;
  progress = ports = 0;
  Simulator().ShowProgress = [](uint16_t pc) {
    ++progress;
    shownPc = pc;
  };
  Simulator().PortsChanged = [] { ++ports; };
  Code(0, {0x63, 0x90, 0x01, 0x00, 0x80, 0xFA});  // XRL P1,#1; NOP; SJMP 0
  for (int i = 0; i < 255; ++i) Step();
  EXPECT_EQ(progress, 0);
  Step();
  EXPECT_EQ(progress, 1);
  EXPECT_EQ(shownPc, 0x0003u) << "the PC after the 256th instruction";
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

TEST_F(SimulatorTest, ResetRestoresTheRegistersButNotMemory) {
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
