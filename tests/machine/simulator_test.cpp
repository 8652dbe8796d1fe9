// State vectors of the instruction simulator: initial registers and memory, one
// step, then the whole machine compared with the expected one (registers,
// memory, flags, next PC and machine cycles); together they cover all 256
// opcodes. Then the behaviour around the steps: breaks, code writes, listeners.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
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
constexpr uint8_t kACC = 0xE0, kPSW = 0xD0;

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

// The vectors of data/state_vectors.txt (see its head for the form of a line).
std::vector<Mem> Bytes(const std::string& field) {
  std::vector<Mem> out;
  std::istringstream in(field);
  for (std::string w; in >> w;)
    if (w != "-")
      out.push_back({w[0], static_cast<uint16_t>(std::stoul(w.substr(1, 4), nullptr, 16)),
                     static_cast<uint8_t>(std::stoul(w.substr(6), nullptr, 16))});
  return out;
}

std::vector<Vec> LoadVectors() {
  std::ifstream in(std::string(DORVIK_SOURCE_DIR) + "/tests/machine/data/state_vectors.txt");
  std::vector<Vec> out;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    for (size_t at = 0;;) {
      const size_t bar = line.find(" | ", at);
      f.push_back(line.substr(at, bar - at));
      if (bar == std::string::npos) break;
      at = bar + 3;
    }
    if (f.size() != 6) {
      ADD_FAILURE() << "bad line: " << line;
      continue;
    }
    Vec v{f[5], {}, Bytes(f[2]), 0, Bytes(f[4]), 0, static_cast<uint16_t>(std::stoul(f[0], nullptr, 16))};
    std::istringstream code(f[1]), next(f[3]);
    for (std::string b; code >> b;) v.Code.push_back(static_cast<uint8_t>(std::stoul(b, nullptr, 16)));
    unsigned pc = 0, cycles = 0;
    next >> std::hex >> pc >> std::dec >> cycles;
    v.NextPc = static_cast<uint16_t>(pc);
    v.Cycles = static_cast<uint8_t>(cycles);
    out.push_back(v);
  }
  return out;
}

TEST(StateVectors, OneStepGivesTheExpectedMachineAndEveryOpcodeHasAVector) {
  std::set<uint8_t> seen = {0xA5};  // the break opcode has its own tests below
  const std::vector<Vec> vectors = LoadVectors();
  EXPECT_GT(vectors.size(), 300u);
  for (const Vec& v : vectors) {
    RunVector(v);
    seen.insert(v.Code.at(0));
  }
  for (unsigned op = 0; op < 256; ++op)
    if (!seen.count(static_cast<uint8_t>(op))) ADD_FAILURE() << "no vector for opcode " << std::hex << op << "H";
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

// A 0A5H of the program's own (no breakpoint planted it) runs as a one-byte
// line and stops the run after it: the next step goes on behind it.
TEST_F(SimulatorTest, BreakOpcodeInTheProgramRunsAsOneByteAndStopsTheRunAfterIt) {
  Code(0x0000, {0xA5, 0x04});
  dorvik::Run().ProgramRunning = true;
  EXPECT_EQ(Step(), StepResult::BreakOpcode);
  EXPECT_EQ(T().SimPC, 1);
  EXPECT_FALSE(dorvik::Run().ProgramRunning);
  EXPECT_EQ(Sfr(0xE0), 0) << "0A5H changes no register";
  EXPECT_EQ(Step(), StepResult::Executed);
  EXPECT_EQ(T().SimPC, 2);
  EXPECT_EQ(Sfr(0xE0), 1);
}

TEST_F(SimulatorTest, BreakPlantedByACodeWriteResumesWithTheInstructionItReplaced) {
  // A one-byte value write of 0A5H is taken as a planted break; writing the
  // saved byte back forgets it (block writes: memcmds_test).
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
