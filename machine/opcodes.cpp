#include "machine/opcodes.h"

namespace dorvik {
namespace {

// Consistency of the table, checked while compiling.
constexpr bool RowsAreConsistent() {
  for (int op = 0; op < 256; ++op) {
    const OpcodeInfo& row = kOpcodeTable[op];
    if (row.Length != (row.Format >> 4) + 1) return false;
    if (row.Cycles != 1 && row.Cycles != 2 && row.Cycles != 4) return false;
    const bool isInstruction = row.Mnemonic >= tok::kACALL && row.Mnemonic <= tok::kXRL;
    if (!isInstruction && !(op == kBreakOpcode && row.Mnemonic == tok::kDB)) return false;
    for (int i = 0; i < 3; ++i) {
      if (row.Field[i] >= row.Length) return false;
    }
  }
  return true;
}
static_assert(RowsAreConsistent());
static_assert(Opcode(0x00).Name == "NOP" && Opcode(0xFF).Name == "MOV");
static_assert(Opcode(0xA4).Cycles == 4 && Opcode(0x84).Cycles == 4);

}  // namespace
}  // namespace dorvik
