#pragma once
// The line assembler: one 8051 statement typed at a code address is parsed
// by the symbolic line parser, assembled by the built-in assembler on three
// lines held in memory, and its bytes written to code memory through the
// memory-command path; the address then moves past the statement, so that a
// program can be patched line by line. The dialog mirrors this state.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/history.h"

namespace dorvik {

// History tags of the two fields in the dialog-history file.
inline constexpr int kLineAsmAddressTag = 18;
inline constexpr int kLineAsmStatementTag = 19;

struct LineAsmState {
  HistoryCombo Address{{}, -1, {}, kLineAsmAddressTag};      // an expression
  HistoryCombo Statement{{}, -1, {}, kLineAsmStatementTag};  // the instruction
  // The code line of the assembled address, or why nothing was written.
  std::string Result;
  // The lines assembled so far: address, "=", the bytes, the instruction.
  std::vector<std::string> Lines;
  bool HistoryChanged = false;  // a history gained an entry since it was loaded
};

LineAsmState& LineAsm();

// The text shown when the target did not take the bytes.
inline constexpr std::string_view kDeviceNotResponding = "Device is not responding";

// The dialog's life: created (histories loaded), shown (the address is the
// current program counter), destroyed (histories saved when they changed).
void CreateLineAssembler();
void ShowLineAssembler();
void DestroyLineAssembler();

// Evaluates the address field. On success the address becomes AsmLineAddress
// and joins the address history; false (nothing changed) when the text does
// not evaluate to a code address.
bool AcceptAsmAddress();

// Assembles the statement field at the address field's address. An empty
// statement only shows the instruction found at the address. On success the
// bytes are in code memory, the line joins Lines, the address field shows the
// next address and the statement field the instruction found there. A
// statement that does not parse or assembles with errors writes nothing and
// leaves the error's text in Result. True when bytes were written.
bool AssembleStatement();

// The instruction text of an assembled line (for putting it back into the
// statement field when the line is selected).
std::string StatementOfLine(std::string_view line);
void SelectAssembledLine(size_t index);

}  // namespace dorvik
