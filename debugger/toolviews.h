#pragma once
// What the debugger's tool windows read and change through the engine: an
// expression of a window evaluated without a box, a memory view's rows and
// its in-place writes, the disassembly's rows as fields, the call stack's
// entries, the symbol tree, and the breakpoint list. The windows draw these; the console's commands and the
// windows share the same readers.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "access/linerender.h"
#include "debugger/breakpoints.h"
#include "debugger/memcmds.h"
#include "lang/keywords.h"
#include "lang/valuelist.h"

namespace dorvik {

struct ToolViewsState {
  uint32_t GoCount = 0;      // GOs started: a window filled before one reads again
  int32_t LoadCount = 0;     // finished loads: the windows read again after one
  bool LoadedCode = false;   // the last load put code into the target
};

ToolViewsState& ToolViews();

// A load has ended (the loader's finishing stage).
void NoteProgramLoaded(bool withCode);
// The one rule of every view that reads the target. The views differ in one
// point: what runs while they read.
enum class ViewRead : uint8_t {
  // The debug windows: the target's state was read, no program runs (the
  // STEP loop waiting for its next key counts as stopped), no command talks to it.
  AtRest,
  // The port views and the virtual hardware: the simulated chip's pins at any
  // moment (its images, also during a run); a board only at rest, with no
  // command, load or build at work.
  Live,
  // A window the user moves through (the disassembly scrolled): at any
  // moment but while a target that runs the program itself runs it (its
  // line carries the run).
  Browse,
};
// A board is read only through its open line; no target has no pins.
bool ViewsMayRead(ViewRead read = ViewRead::AtRest);

// Expressions of a window
struct ViewValue {
  bool Ok = false;
  long double Value = 0;
  std::string Typed;  // the value list as the console shows it, or the number in the display radix
  std::string Error;  // the numbered message ("Error #118: Syntax Error"), once
};
// Evaluates Text with boxes off, keeping the command line's scanner and the
// flags as they were. SingleValue: a typed range of more than one element is
// error 133 (a watch, a field that takes one value).
ViewValue EvaluateForView(std::string_view text, bool singleValue);
// The text of the last error: "Error #" number ": " its message.
std::string LastErrorLine();
// The message of a window's change refused while the program runs or the
// target is busy (error 144), as a row shows it.
std::string BusyErrorLine();
// The hint of a word under the mouse in an editor page: a symbol of the
// loaded program (or a name of the processor) and its value as the evaluator
// reads it, its memory read only while the windows may read; "" for a word
// that names none.
std::string HintText(std::string_view word);
// A value in the display radix with its radix letter; a fraction in decimal.
std::string RadixValueText(long double value);
// The value in hexadecimal, decimal, octal and binary, and as a float, one per line.
std::vector<std::string> AllRadixTexts(long double value);

// Memory views
// The element types a memory view offers, in the order of its type box.
inline constexpr uint8_t kViewTypes[] = {tok::kBYTE,    tok::kCHAR,     tok::kSHORTINT, tok::kBOOLEAN,
                                         tok::kBIT,     tok::kWORD,     tok::kINTEGER,  tok::kADDRESS,
                                         tok::kDOUBLEWORD, tok::kLONGINT, tok::kFLOAT,  tok::kPOINTER};
// The spaces a memory view offers (CODE, XDATA, DATA, IDATA, BIT, EEPROM).
inline constexpr uint8_t kViewSpaces[] = {0, 1, 2, 3, 4, 7};
struct MemoryViewRow {
  int32_t Address = 0;
  std::vector<tValueItem> Items;
  bool Readable = true;
  int32_t Count = 0;  // elements the row stands for (also when unreadable)
};
struct MemoryViewRead {
  std::vector<MemoryViewRow> Rows;
  std::string Error;  // the first failure's message; the rows after it are unreadable
};
// Count elements of Type from Start in Space, in rows of the console's line
// width, read chunk by chunk; a range past the end of the space is error 162.
MemoryViewRead ReadMemoryView(uint8_t space, int32_t start, int32_t count, uint8_t type);
// The values of a row as the console prints them, and its character column.
std::string MemoryValueText(const tValueItem& item);
std::string MemoryCharsText(const std::vector<tValueItem>& items);
// Evaluates Text as one value and writes it as an element of Type at Addr
// of Space; false (Error set) when the text or the write fails.
bool WriteMemoryViewValue(uint8_t space, int32_t addr, uint8_t type, std::string_view text, std::string& error);

// The memory place an expression names (a program variable or a typed
// memory reference) takes Value as one element of its type; anything else is
// error 147. False (Error set) when nothing was written.
bool ModifyExpressionValue(std::string_view expression, std::string_view value, std::string& error);

// Disassembly rows
struct DisassemblyRow {
  uint16_t Address = 0;
  DisasFields Fields;   // only the address where no line could be decoded
  std::string Failure;  // on the last row when its read failed: the address and the message
};
struct DisassemblyRead {
  bool Read = false;  // false: a board runs the program (its link carries the run); nothing was read
  std::vector<DisassemblyRow> Rows;
  // The rendering's column flags: some line decoded since RedecodeDisassembly has a source reference / a label.
  bool SourceLineColumn = false;
  bool LabelColumn = false;
};
// Count rows of code from Address, one instruction each, up to 0FFFFH. The
// reads show no message and leave the message flags as they were; a read
// that fails ends the rows with a row saying why.
DisassemblyRead ReadDisassemblyRows(uint16_t address, int32_t count);
// Code changed: every line is decoded again, and the source-line and label
// columns are unused until a line shows one.
void RedecodeDisassembly();

// Call stack
struct CallStackEntry {
  uint32_t Address = 0;
  CodeAddressText Text;
  int32_t Procedure = -1;  // symbol index, -1 when none
};
// The return addresses on the stack from StackBase up to SP that follow a
// call into a procedure, then the current PC (one chunk of the stack, as
// CALLSTACK reads it). False when a read failed (the entries read so far stay).
bool ReadCallStack(std::vector<CallStackEntry>& entries);
// ReadCallStack for a window: boxes recorded, the command line's states kept;
// Sp: the stack pointer read. False (Error set) when a read failed.
bool ReadCallStackForView(std::vector<CallStackEntry>& entries, uint8_t& sp, std::string& error);
// The stack pointer for a window (0 when it cannot be read).
uint8_t ReadStackPointerForView();
// A line of the call stack as CALLSTACK prints it: "MODULE <PROC+0003> (0044)".
std::string CallStackLineText(const CallStackEntry& entry);
// Opens the entry's source line (through the symbol shown in its source: the
// line symbol of a C module, the nearest code label of an assembler one);
// false when it has none.
bool ShowCallStackEntryInSource(const CallStackEntry& entry);

// Symbol tree
struct SymbolNode {
  int32_t Symbol = -1;  // index in the symbol table
  std::string Name;
  std::string Address;  // in hexadecimal with its space
  std::string Class;    // "PROCEDURE", "CODE", "DATA", ...
  std::string Type;     // the type text ("" without a type)
  std::vector<SymbolNode> Children;
};
inline constexpr std::string_view kAllModules = "ALL MODULES";
// The module names of the loaded program, in their order.
std::vector<std::string> ProgramModuleNames();
// The modules (all, or the one named) with their procedures and symbols.
std::vector<SymbolNode> BuildSymbolTree(std::string_view module);
// The project module of the symbol's module and the symbol shown in its
// source; false when it has no source file.
bool ShowSymbolNodeInSource(int32_t symbol);

// Breakpoint list
struct BreakpointRow {
  std::string Name;  // "Br0".."Br9", "Arm"
  uint16_t Address = 0;
  std::string Location;
  bool Enabled = false;
};
std::vector<BreakpointRow> BreakpointRows();
// Enables, disables or clears the breakpoint named Name; false for no such one.
bool EnableBreakpointByName(std::string_view name, bool enable);
bool ClearBreakpointByName(std::string_view name);

}  // namespace dorvik
