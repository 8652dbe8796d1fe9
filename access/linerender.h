#pragma once
// Disassembly line rendering: fills the line item of a code address from its disassembler text. The
// label and source-line columns come from the program's symbols, the parsed instruction is copied into
// the item for the simulator, and the line's fields (code bytes, symbolic instruction, comment) are built
// first and then joined into the texts: the rendered text (the address, "H ", the six code-byte columns,
// four blanks, the mnemonic in columns 17-24 and the operands from column 25) and the console's text.
// The disassembly window shows the fields in its own columns.

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
// Every line is to be decoded again: no column is in use until a line shows one.
void ResetLineRenderColumns();

// A line's fields
struct DisasFields {
  std::string Address;      // four hex digits and "H"
  std::string CodeBytes;    // the instruction's bytes, two hex digits each
  std::string SourceLine;   // ":" module "#" line, when a line symbol lies at the address
  std::string Label;        // the label and ":", when a label lies at the address
  std::string Instruction;  // mnemonic and operands, symbolic where symbols are on
  std::string Comment;      // ";" and the numbers behind the symbolic operands
};
// The fields of a decoded line.
DisasFields LineFields(const tDisasLine& item);
// The rendered text: the address, "H ", the code bytes in six columns, four blanks, the instruction.
std::string JoinRenderedText(uint16_t addr, std::string_view codeBytes, std::string_view instruction);
// The console's text of a decoded line: the instruction, and after a blank its comment when an immediate
// is shown as a symbol (the comment then holds the number).
std::string ConsoleLineText(const tDisasLine& item);

// Building a line item
// The label and source-line columns of the item's address, then ReparseDisasLine.
void BuildDisasLineLabels(tDisasLine& item);
// Sets the line's plain fields from its disassembler text (DisasText): its code bytes and instruction,
// no comment and no rendered text; the rendering replaces them.
void PlainDisasLineFields(tDisasLine& item);
// Parses the item's disassembler text (DisasText) into its decoded fields and renders it. The scanner's
// state is kept; a parse error is reported as message 105 and leaves the item's fields and rendered text
// as they were.
void ReparseDisasLine(tDisasLine& item);
// The fields of the parsed instruction (Instruction and Comment, the code bytes from DisasText), joined
// into the rendered text (SourceLine).
void RenderDisasLine(tDisasLine& item);

// Pieces
// Appends one operand value; 0 shown as a number, 1 as a symbol, 2 as a line reference.
uint8_t RenderOperand(uint16_t value, uint8_t kind, uint16_t addr, std::string& line);
// The keyword text of a token up to its first blank; the carry (token 136, shared with DATA) is "C".
std::string TokenWord(uint8_t token);
// The first call for a line sets the comment to ";", each later call appends one blank.
void AddCommentSeparator(tDisasLine& item);

}  // namespace dorvik
