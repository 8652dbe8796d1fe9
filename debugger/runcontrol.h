#pragma once
// Run control: GO, HALT, the steps and the target's reset, on every target
// kind through its backend (access/backend.h).

namespace dorvik {

// Handlers of the command table
void CmdGo();    // G, GO
void CmdHalt();  // H, HALT
void CmdStep();  // S, ST, STEP, TRACE, LSTEP, PSTEP

// The target's reset (RESET CPU and the main window's program reset).
void ResetTarget();

}  // namespace dorvik
