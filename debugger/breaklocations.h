#pragma once
// Where a breakpoint lies: its code bytes, its module and source line, the
// address of a source line, and its new place after a load.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "debugger/breakpoints.h"

namespace dorvik {

// Code bytes
// The code bytes of the instruction at Address: "0" and two hex digits each, comma-separated (at most 11 characters).
std::string GetCodeBytesText(uint16_t address);

// Source locations
// Finds the module and line of the breakpoint's address (the nearest line at
// or below it) and sets its location text; false when there is none.
bool ResolveBreakpointSource(tBreak& bp);
// The code address of line Index (0-based) of a source file whose lines are
// Lines, and its location text (":" module "#" line); false when the file is
// no module's or the line holds no code.
bool SourceLineAddress(std::string_view fileName, const std::vector<std::string>& lines, int32_t index,
                       uint16_t& address, std::string& location);

// A breakpoint just set at the code of a source line (the editor's caret)
// keeps that file and line: its mark there and Location (":" module "#"
// line, as SourceLineAddress gave it), whatever line the address maps back
// to. False when the location names no module's line.
bool KeepSourceLine(tBreak& bp, std::string_view fileName, std::string_view location);
// The location text the project keeps: a source breakpoint's line as its
// mark now stands (moved with the edits), else Location.
std::string SavedLocation(const tBreak& bp);

// After a load
// Recomputes a used breakpoint after a load (see breaklocations.cpp).
void RelocateBreakpoint(tBreak& bp);
// Every breakpoint after a load (entries 0..LastBreakIndex and the arm
// location): relocated when the program has source lines; without them the
// marks go, and a breakpoint of a module the program does not hold asks
// warning 62 all the same.
void RelocateBreakpoints(bool sourceLevel);

}  // namespace dorvik
