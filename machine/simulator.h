#pragma once
// Instruction simulator: executes the user program one instruction at a time
// on the memory images of the simulated processor (machine/images.h).

#include <cstdint>
#include <vector>

namespace dorvik {

// Why a step ended.
enum class StepResult : uint8_t {
  Executed,     // one instruction ran (after an accepted interrupt: the handler's first one)
  BreakOpcode,  // a break opcode (0A5H) at the PC stopped the run: a planted one before it (nothing ran,
                // the PC stays on it), one that no breakpoint planted after it ran as a one-byte line
  UserBreak,    // Escape was pressed before the step: nothing ran, the run stops
  Error,        // nothing could run (the target is not the simulator); a message was reported
};

// A break planted in code memory and the code byte it replaced.
struct PlantedBreak {
  uint16_t Address = 0;
  uint8_t Original = 0;
};

// The simulator's state; one instance, reached through Simulator().
struct SimState {
  uint64_t InstructionCounter = 0;  // instructions executed since program start
  uint8_t LastCycles = 0;           // machine cycles of the last step, interrupt call included
  // The break the last step stopped at (-1: none); the next step there runs
  // the instruction under it.
  int32_t StoppedAtBreak = -1;
  std::vector<PlantedBreak> Planted;

  // Listeners (null: nobody listens)
  void (*ShowProgress)(uint16_t pc) = nullptr;  // every 256 instructions, with the next PC
  void (*PortsChanged)() = nullptr;             // an instruction changed P0-P3
  // When set, each step empties the value list and appends every byte it reads.
  bool RecordReads = false;
};

SimState& Simulator();
// The simulator target's reset: PC 0, SFR reset values, requests and
// in-service states cleared. Memory images stay.
void SimReset();

// Stepping
// Runs one instruction at Pc (normally SimPC) and leaves the next PC in SimPC.
// A planted break opcode stops the step before anything runs; the next step
// from the same address runs the instruction under the break.
StepResult SimStep(uint16_t pc);
// PSW.P := parity of ACC.
void UpdateParityFlag();
bool IsTwoCycleOpcode(uint8_t opcode);

// Breaks planted by run control
// Writes 0A5H at Address and keeps the byte it replaced.
void PlantBreak(uint16_t address);
// Puts the replaced byte back.
void LiftBreak(uint16_t address);
bool IsBreakPlanted(uint16_t address);

// Decoded lines
// Code at Address changed: the decoded lines covering it (it and the two before) go.
void InvalidateDecoded(uint16_t address);
void InvalidateAllDecoded();

}  // namespace dorvik
