#pragma once
// Run state of the debugger: what the user program and the target are doing,
// and which kind of target the debugger talks to.

#include <cstdint>

namespace dorvik {

// Target kinds, as the project file's "Target=" line names them.
inline constexpr uint8_t kTargetMonitor = 0;    // "OVIX52", the monitor board
inline constexpr uint8_t kTargetNone = 1;       // no target; written as nothing
inline constexpr uint8_t kTargetAduc = 2;       // "ADUC"
inline constexpr uint8_t kTargetSimulator = 3;  // "VOV51", the built-in simulator

struct RunState {
  bool ProgramRunning = false;  // the user program runs
  bool Executing = false;       // a GO or step action is in progress
  bool Tracing = false;         // the interactive STEP/TRACE loop
  bool UserBreak = false;       // Escape was pressed
  bool TargetBusy = false;      // the target is being talked to
  bool TargetReady = false;     // the target's state was read; views may read it
  uint8_t TargetKind = kTargetSimulator;
  // The current program counter: "$" of the command language, the default
  // address of the line assembler; set by the register refresh, the loader
  // and the simulator's progress listener.
  uint32_t CurrentPC = 0;
  // Set while the line assembler parses a statement (the scanner reports
  // "Assembly impossible" then, and the monitor link sends whole mnemonics).
  bool AsmLineMode = false;
  uint16_t AsmLineAddress = 0;
};

RunState& Run();

}  // namespace dorvik
