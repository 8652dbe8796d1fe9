#pragma once
// Statements and directives: one source line in either pass (labels, symbol
// definitions, data and storage, segments and location counters, module,
// external and public declarations, END, USING, instructions).

#include <cstdint>

#include "assembler/context.h"

namespace dorvik::as {

// Statements
void ProcessStatement(AsmContext& c);
// Clears the per-line state before a statement.
void ResetLineState(AsmContext& c);
// Ctrl+C (or Ctrl+Break) requested: the fatal stop with its status line.
void PollAsmAbort(AsmContext& c);

// Segments and location counters
// Slot of a segment type in the counter sets (CODE, DATA, IDATA, XDATA, BIT).
uint8_t CounterSlotOf(uint8_t segmentType);
void SelectAbsoluteSegment(AsmContext& c, uint8_t type);
void SetLocationCounter(AsmContext& c);
// Commits the code bytes or the reserved space of the line.
void EmitCode(AsmContext& c);
// Error 130/131 for a location outside the segment; true when in range.
bool CheckSegmentRange(AsmContext& c, uint64_t value, uint8_t type);
// Writes the pending object content record and HEX record (before a jump of
// the location counter in CODE).
void FlushCodeOutputs(AsmContext& c);
// Keeps the highest location of the relocatable segment in use in its symbol
// (at a segment change and at the end of a pass).
void SaveSegmentSize(AsmContext& c);

}  // namespace dorvik::as
