#pragma once
// The memory, register-list and stack commands: typed memory shown and
// changed in every space, copies and fills, checksums, the stack and the
// call stack, and the register list.
//
// A display line is the space keyword, a blank, the address in four hex
// digits, "=" and the values in the display radix separated by ","
// ("XDATA  0000=41,42,00 ' AB. '"): 16 values of one byte, 8 of two, 4 of
// four, 5 pointers per line. Byte lines end with the character column while
// ShowAscii is on; CHAR lines show only that column.
//
// REGISTERS, on a target without a register list of its own (the
// simulator), prints the values of the status fields on one line, always in
// hexadecimal, the registers R0-R7 of the bank PSW selects:
//   PC=0000 ACC=00 B=00 PSW=00 SP=07 DPTR=0000 R0=00 R1=00 ... R7=00
// (DPTR takes six digits when the data pointer has a page above 0FFFFH).

#include <cstdint>
#include <string>

#include "lang/valuelist.h"

namespace dorvik {

struct MemCmdsState {
  uint16_t StackBase = 7;  // SP at the start of the user program (the loader sets it)
  int32_t ValueIndex = 0;  // bytes (bits for a BIT list) that a write covers
  uint16_t ModStart = 0;   // the destination range of a modification
  uint16_t ModEnd = 0;
};

MemCmdsState& MemCmds();

// Handlers of the command table
void CmdMemory();     // every type and memory keyword (ADDRESS ... XWORD)
void CmdCallStack();  // CALLSTACK
void CmdChecksum();   // CHECKSUM
void CmdRegisters();  // R, REGISTERS
void CmdStack();      // STACK

// Reading in chunks
// One chunk of values of TypeToken from Addr up to the evaluator's RangeEnd,
// appended to the value list: at most the target's chunk (ReadChunk bytes),
// whole elements only. The number of elements read; 0 when the read failed
// (the list is then left as it was) or nothing was there.
int32_t ReadTypedBlock(uint8_t space, int32_t addr, uint8_t typeToken);
// The value list := RangeLength elements from RangeStart, chunk by chunk;
// it stops at the first chunk that reads nothing.
void ReadTypedRange(uint8_t space, uint8_t typeToken);

// Writing
// Writes ValueIndex bytes (bits for a BIT list) from Addr, taking the value
// list's items cyclically; Fill: one value for the whole range. An empty list
// writes nothing (warning 55). The range stops at the end of its space.
bool WriteMemoryList(uint8_t space, int32_t addr, bool fill);

// Texts
struct CodeAddressText {
  std::string Module;     // the module of the procedure; empty without symbols
  std::string Procedure;  // "name+offset" (hex); "<unknown>" without a procedure
  std::string Location;   // "module." and the line number or the address text
};
// Describes a candidate return address of the call stack: Addr is where the
// call would start. Always: describe it anyway (the current PC). The
// procedure's symbol index, or -1 when Addr follows no call or no procedure
// holds it.
int32_t DescribeCodeAddress(uint32_t addr, bool always, CodeAddressText& text);
// The text of a symbol's value (Sym: an index of the symbol table, or -1 for
// the processor name the last lookup found), its memory read when ReadValue.
void SymbolValueText(int32_t sym, bool readValue, std::string& text);
// One value-list item in the display radix, to the console.
void OutValue(const tValueItem& item);

}  // namespace dorvik
