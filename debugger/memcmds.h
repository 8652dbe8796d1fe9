#pragma once
// The memory, register-list and stack commands: typed memory shown and
// changed in every space, copies and fills, checksums, the stack and the
// call stack, and the register list.

namespace dorvik {

// Handlers of the command table
void CmdMemory();     // every type and memory keyword (ADDRESS ... XWORD)
void CmdCallStack();  // CALLSTACK
void CmdChecksum();   // CHECKSUM
void CmdRegisters();  // R, REGISTERS
void CmdStack();      // STACK

}  // namespace dorvik
