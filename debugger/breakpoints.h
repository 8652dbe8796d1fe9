#pragma once
// Breakpoints: the table of code breakpoints, the temporary breakpoint of run
// to cursor and of stepping over calls, the monitor's arm location, and the
// BR, BR0 and BR1 command.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "objfiles/sourcetext.h"

namespace dorvik {

// One breakpoint; records are copied whole.
struct tBreak {
  uint16_t Address = 0;
  bool Used = false;     // the slot holds a breakpoint
  bool Enabled = false;  // the breakpoint takes part in the next run
  std::string SavedBytes;  // code bytes under a planted break: "0" + two hex digits each, comma-separated
  tShowedLine Line;
  std::string Location;  // ":" module "#" line, ":" module "." label, or four hex digits
  bool Planted = false;  // the break is in place on the target
  bool Armed = false;    // the break opcode was written (ADuC and simulator)
  bool Absolute = false;  // set at an address without source
};

inline constexpr int kBreakTableSize = 10;

struct BreakpointState {
  std::array<tBreak, kBreakTableSize> BreakTable{};
  int32_t LastBreakIndex = 7;  // entries 0..LastBreakIndex are used (the monitor has 0 and 1)
  tBreak CursorBreakpoint;      // run to cursor, stepping over a call
  tBreak ArmBreak;              // the monitor's arm location (GO ... ARM)
  int32_t BreakpointIndex = 0;  // the entry being set or shown
  // Bumped by every change of the table that a view draws (set, clear,
  // enable, disable, relocate, load, another table size): the breakpoint
  // images redraw when it moved.
  uint32_t Revision = 0;
};

BreakpointState& Breakpoints();
// The table changed as a view draws it (see Revision).
inline void BreakpointsChanged() { ++Breakpoints().Revision; }
// The first free entry of the table (0..LastBreakIndex), or -1 when all are used.
int32_t FreeBreakpointSlot();
// The entry a new breakpoint takes: the first free one, else, when warning 26
// is answered Yes, the last one; -1 when the user keeps them all.
int32_t SlotForNewBreakpoint();

// Setting and showing
// Sets one record at Address: used and enabled, its location text and line
// mark from the disassembly line and the symbols. ShowLine opens the source.
void SetBreakpointAt(tBreak& bp, int32_t address, bool showLine);
// Frees one record: unused, disabled, its line mark removed.
void ClearBreakpoint(tBreak& bp);
// Prints one entry: "BR0 "/"BR1 " on a target with break registers, else
// "BREAK " and the index; then "=" and the location or "RESET ".
void ShowBreakpoint(uint8_t token);

// Handler of the command table: BR, BREAK, BR0, BR1.
void CmdBreak();

// Marks the line a breakpoint's location text names (":" module "#" line, or
// ":" module "." label), without a loaded program: a breakpoint read from the
// project shows in its source before the load relocates it.
void MarkBreakpointLocation(tBreak& bp);
// Takes every breakpoint's line mark away (a load without source lines).
void ClearBreakpointMarks();
// Redraws every breakpoint's line mark (after breakpoints changed).
void MarkAllBreakpoints();

// Pieces shared with run control
// A code address expression: with a space prefix the low 16 bits; without
// one beyond 0FFFFH error 162. The token after it is left unread.
bool ReadCodeAddress(uint16_t& addr);
// The 0-based index of the line that starts (after blanks) with Label and ":"; -1.
int32_t FindLabelLine(const std::vector<std::string>& lines, std::string_view label);

}  // namespace dorvik
