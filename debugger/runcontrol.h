#pragma once
// Run control: GO, HALT, the steps and the target's reset, on every target
// kind through its backend (access/backend.h). The simulator's program runs
// here, in slices between which the message pump runs, so that the console
// can break it.

#include <cstdint>
#include <string>
#include <vector>

namespace dorvik {

// How a break is written after TILL (ParseBreakForm)
inline constexpr uint8_t kBreakFormBoth = '"';  // BR: both breakpoints
inline constexpr uint8_t kBreakFormBr0 = '#';
inline constexpr uint8_t kBreakFormBr1 = '$';
inline constexpr uint8_t kBreakFormAddress = 133;  // an expression


struct RunControlState {
  uint16_t PrevPC = 0;  // the instruction executed last (register PPC)
  char GoMode = 0;      // the last GO TILL: '"' both breakpoints, '#' BR0, 'a' FOREVER
  bool AllowHalt = false;      // the monitor is switched to "BR=ON" before a GO
  uint16_t UserCodeStart = 0;  // the monitor's start of user code (0: none)
  // The STEP loop waits for the user's step key (the user seam's
  // ReadStepKey): the program stands still between two steps.
  bool WaitingForStepKey = false;
  // Instructions the simulator runs between two pumps of the message queue.
  int32_t SliceSteps = 4096;
  // The addresses holding a planted break, in planting order.
  std::vector<uint16_t> PlantedAddresses;
  int32_t StepProcedure = -1;  // the procedure an LSTEP/PSTEP started in
  bool StepBroken = false;     // the last ExecuteStep was ended by the user's break
  std::string HaltReason;      // why the monitor says it stopped ("BR0", ...)
  // A console without an editor shows the execution point's source line as
  // "file:line: text" after a halt and after each step line (where the
  // editor would move its execution mark).
  bool PrintSourceLines = false;
};

RunControlState& RunControl();

// Handlers of the command table
void CmdGo();    // G, GO
void CmdHalt();  // H, HALT
void CmdStep();  // S, ST, STEP, TRACE, LSTEP, PSTEP
// HALT's work: the target stopped, the breaks taken out, the run state ended.
void HaltProgram();
// The idle handler's work for a target behind a serial link: its banner,
// announcement and halt report; Esc while the program runs halts it.
void LinkIdle();

// Starting, stepping, stopping
// Starts the program from the PC field; on the simulator runs it to its halt.
void StartProgram(std::string& text);
// BR, BR0, BR1 or an expression (kBreakForm...); 0 after an error. Value: the
// expression's code address. The token after the break is read.
uint8_t ParseBreakForm(uint16_t& value);
// One step of kind StepToken at Address; Text: the target's own line. False after an error.
bool ExecuteStep(uint8_t stepToken, uint16_t address, std::string& text);
bool SingleStep(uint16_t address, std::string& text);
// LSTEP/PSTEP go on until a line symbol or another procedure; Address becomes the PC.
bool StepDone(uint8_t stepToken, uint16_t& address);
// The monitor's 3-byte break at Address may cover a branch target or a RET: the user is asked.
bool CheckBreakPlacement(uint16_t address, bool checkBranches);
// The target's reset (RESET CPU and the main window's program reset).
void ResetTarget();
// Waits, with the idle handler's work, until the ADuC has announced itself
// again after AnnouncedBefore announcements, at most kChipRestartMs.
inline constexpr int32_t kChipRestartMs = 700;
void AwaitChipRestart(int32_t announcedBefore);
// "EXECUTION HALTED AT " and the PC field on a line of its own (the monitor
// adds why). Cause: 0 the monitor's reason, 1 the user's break, kCauseNotOurs
// the monitor's reason of a stop the debugger did not cause, else the token
// of the break register.
inline constexpr uint8_t kCauseNotOurs = 255;
void ReportHalt(uint8_t cause);
// The breaks of the last start taken out again, last planted first.
void RestoreBreakpoints();

// Step lines
// What a step printed: the line before it, "----->", the line after it, and the watch.
void ShowStepLine(uint8_t stepToken, uint16_t start, const std::string& watch, uint8_t watchRegister);
// The source line of the execution point on a line of its own, when the
// console prints them and the program was loaded with its sources and lines;
// true when a line was printed (it is not ended).
bool PrintExecutionSource();
// In the workbench: the execution point marked in its source (the page opened
// and scrolled there), else shown in the disassembly. Nothing on the console.
void ShowExecutionSource();

}  // namespace dorvik
