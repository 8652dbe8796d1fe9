#pragma once
// The evaluator's way into the target: register values, the contents of
// program symbols and typed memory reads. The target access layer implements
// it for the real target kinds; tests plug in a fake. Reads leave their values
// in the evaluator's value list (lang/valuelist.h), as the layer's reads do.

#include <cstdint>

namespace dorvik {

struct tSymbolItem;

class TargetAccess {
 public:
  virtual ~TargetAccess() = default;

  // Registers
  // Value of a register token: R0-R7 (80-87), AB, DPTR, PC, PPC, TM0, TM1,
  // TM2, RCAP2 (88-95), RBS (48), BR0 and BR1 (35, 36). Errors are reported
  // through the message service (ErrorFlag set, result 0).
  virtual int32_t RegisterValue(uint8_t regToken) = 0;

  // Memory
  // One byte of a memory space (space 4: the bit, 0 or 1); appended to the
  // value list as one BYTE (or BIT) item.
  virtual uint8_t ReadByte(uint8_t space, uint32_t addr) = 0;
  // The value list := RangeLength elements of TypeToken read from RangeStart
  // (the evaluator's range variables) in Space.
  virtual void ReadTypedRange(uint8_t space, uint8_t typeToken) = 0;

  // Symbols
  // The value list := the contents of a program symbol, read with its own
  // debug type; the last item is the symbol's value.
  virtual void ReadSymbolValue(const tSymbolItem& symbol) = 0;
};

// The target the evaluator reads from. Never null: without a target set, a
// "no target" instance reads zeros and reports nothing.
TargetAccess& CurrentTargetAccess();
// Makes `target` current (nullptr: back to "no target"); returns the previous
// one so that a caller can put it back.
TargetAccess* SetTargetAccess(TargetAccess* target);

}  // namespace dorvik
