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

// After a load
// Recomputes a used breakpoint after a load (see breaklocations.cpp).
void RelocateBreakpoint(tBreak& bp);

}  // namespace dorvik
