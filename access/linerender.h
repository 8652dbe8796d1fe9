#pragma once
// Disassembly line rendering: fills the line item of a code address from its disassembler text. The
// label and source-line columns come from the program's symbols, the parsed instruction is copied into
// the item for the simulator, and the symbolic text with its comment is built for the disassembly window.
// Rendered text: the address, "H ", the six code-byte columns, four blanks, the mnemonic in columns
// 17-24 and the operands from column 25.

#include <cstdint>
#include <string>
#include <string_view>

#include "access/disasline.h"

namespace dorvik {

// The rendering's state; one instance, reached through LineRender().
struct LineRenderState {
  // Set by the line assembler while it runs: operands are rendered as plain numbers and get no comment.
  bool NoSymbolicOperands = false;
  // Columns of the disassembly window in use: some line has a source reference / a label.
  bool LineNumberColumnUsed = false;
  bool LabelColumnUsed = false;
};

LineRenderState& LineRender();


// Building a line item
// The label and source-line columns of the item's address, then ReparseDisasLine.
void BuildDisasLineLabels(tDisasLine& item);
// Parses the item's disassembler text (DisasText) into its decoded fields and renders it. The scanner's
// state is kept; a parse error is reported as message 105 and leaves the item without symbolic text.
void ReparseDisasLine(tDisasLine& item);
// The symbolic text (SourceLine) and Comment of the parsed instruction, after Head.
void RenderDisasLine(std::string_view head, tDisasLine& item);

// Pieces
// Appends one operand value; 0 shown as a number, 1 as a symbol, 2 as a line reference.
uint8_t RenderOperand(uint16_t value, uint8_t kind, uint16_t addr, std::string& line);
// The keyword text of a token up to its first blank; the carry (token 136, shared with DATA) is "C".
std::string TokenWord(uint8_t token);
// The first call for a line sets the comment to ";", each later call appends one blank.
void AddCommentSeparator(tDisasLine& item);

}  // namespace dorvik
