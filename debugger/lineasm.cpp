#include "debugger/lineasm.h"

#include <cstdio>
#include <utility>

#include "access/disasline.h"
#include "access/linerender.h"
#include "access/lineparser.h"
#include "access/target.h"
#include "assembler/asmerrors.h"
#include "assembler/context.h"
#include "assembler/driver.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "debugger/memcmds.h"
#include "lang/evaluator.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/valuelist.h"
#include "machine/images.h"

namespace dorvik {

LineAsmState& LineAsm() { return CurrentSession().Get<LineAsmState>(); }

namespace {

// Columns of an assembled line: the address, "=", up to three bytes, the
// instruction from this column on.
constexpr size_t kStatementColumn = 13;
constexpr std::string_view kAssemblyImpossibleText = "Assembly impossible";

// The target is being talked to, and the main window shows it is busy.
class BusyTarget {
 public:
  BusyTarget() { Run().TargetBusy = true; }
  ~BusyTarget() { Run().TargetBusy = false; }
  BusyTarget(const BusyTarget&) = delete;
  BusyTarget& operator=(const BusyTarget&) = delete;

 private:
  const BusyPair busy_;
};

std::string Hex4(uint32_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value & 0xFFFF));
  return text;
}

// A number as the assembler reads it: hexadecimal with the suffix H, a
// leading 0 when it would start with a letter.
std::string AsmNumber(uint16_t value) {
  std::string digits = Hex4(value);
  if (digits[0] > '9') digits.insert(0, "0");
  return digits + "H";
}

// The operand tokens of the line parser by their assembler names.
std::string OperandText(uint8_t token, uint16_t value) {
  if (token >= tok::kR0 && token <= tok::kR0 + 7) return "R" + std::to_string(token - tok::kR0);
  switch (token) {
    case tok::kNumberValue: return AsmNumber(value);
    case tok::kC: return "C";
    case tok::kA: return "A";
    case tok::kAB: return "AB";
    case tok::kDPTR: return "DPTR";
    case tok::kPC: return "PC";
    default: return TrimBlanks(TokenText(token));
  }
}

// The parsed instruction as one statement of the assembler: symbols are
// replaced by their values, so the assembler needs none of the debugger's.
std::string ComposeStatement(const ParsedInstruction& p) {
  if (p.ParsedFixedForm) return p.ParsedFixedText;
  std::string text = TrimBlanks(TokenText(p.ParsedMnemonic));
  for (size_t i = 0; i < 3; ++i) {
    if (!p.ParsedHasOp[i]) continue;
    text += i == 0 ? ' ' : ',';
    if (p.ParsedPrefix[i]) text += p.ParsedPrefix[i];
    text += OperandText(p.ParsedOperand[i], p.ParsedValue[i]);
  }
  return text;
}

struct Assembled {
  std::vector<uint8_t> Bytes;
  std::string Error;  // empty when the statement assembled cleanly
};

// Runs the assembler on the statement at the address in its in-memory mode.
// The assembler's context is the session's: the run is wrapped so that an
// assembly the user is in the middle of keeps its state.
Assembled RunAssembler(const std::string& statement, uint16_t address) {
  SavedStates<as::AsmContext> keep;
  as::ResetAsm();
  as::AsmContext& c = as::Asm();
  std::vector<std::string> lines = {"CSEG AT " + std::to_string(address), statement, "end"};
  const as::AsmRunResult run = as::AssembleFile(c, "", &lines);
  Assembled out;
  if (run.Fatal || run.ErrorCount > 0) {
    const uint16_t code = c.ErrorLog.empty() ? 0 : c.ErrorLog.front().Code;
    out.Error = code ? "*** ERROR #" + std::to_string(code) + ": " + as::ExpandAsmMessage(c, code)
                     : std::string(kAssemblyImpossibleText);
    return out;
  }
  // The listing text of the statement: address, blank, the object bytes in
  // columns 6 to 11. Anything but whole hexadecimal pairs writes nothing.
  const std::string listed = lines.size() > 3 ? lines[3] + std::string(11, ' ') : std::string(11, ' ');
  const std::string field = TrimBlanks(listed.substr(5, 6));
  if (field.empty() || field.size() % 2 != 0) {
    out.Error = std::string(kAssemblyImpossibleText);
    return out;
  }
  for (size_t i = 0; i < field.size(); i += 2) {
    if (!IsHexDigit(field[i]) || !IsHexDigit(field[i + 1])) {
      out.Bytes.clear();
      out.Error = std::string(kAssemblyImpossibleText);
      return out;
    }
    out.Bytes.push_back(static_cast<uint8_t>(std::stoi(field.substr(i, 2), nullptr, 16)));
  }
  return out;
}

// Code memory at the addresses changed: their decoded lines and the
// disassembler's cache are out of date.
void ForgetCode(uint16_t address, size_t count) {
  for (size_t i = 0; i < count; ++i) CodeImageChanged(static_cast<uint16_t>(address + i));
  Target().CodeCacheAddr = -1;
}

// The bytes through the memory commands' write path, so that every target
// kind takes them as a memory modification would.
bool WriteCode(uint16_t address, const std::vector<uint8_t>& bytes) {
  SavedStates<tValueList, MemCmdsState> keep;
  tValueList& list = ValueList();
  list.Items.clear();
  list.ElemType = tok::kBYTE;
  for (uint8_t b : bytes) AppendValue(tok::kBYTE, b);
  MemCmds().ValueIndex = static_cast<int32_t>(bytes.size());
  Messages().ErrorFlag = false;
  const bool ok = WriteMemoryList(kSpaceCode, address, false);
  ForgetCode(address, bytes.size());
  return ok && !Messages().ErrorFlag;
}

std::string InstructionAt(uint16_t address) { return TrimBlanks(DisassembleLine(address)); }

// While a statement is assembled, code lines show plain numbers: the
// instruction proposed for the next address goes back to the assembler,
// which knows none of the debugger's symbols. The disassembly and the
// console get their symbols back afterwards.
class PlainOperands {
 public:
  PlainOperands() : was_(std::exchange(LineRender().NoSymbolicOperands, true)) {}
  ~PlainOperands() { LineRender().NoSymbolicOperands = was_; }
  PlainOperands(const PlainOperands&) = delete;
  PlainOperands& operator=(const PlainOperands&) = delete;

 private:
  bool was_;
};

}  // namespace

void CreateLineAssembler() {
  LineAsmState& s = LineAsm();
  s.Address.Text.clear();
  s.Statement.Text.clear();
  s.Result.clear();
  LoadHistory(s.Address, kLineAsmAddressTag);
  LoadHistory(s.Statement, kLineAsmStatementTag);
  s.HistoryChanged = false;
}

void ShowLineAssembler() {
  Run().AsmLineAddress = static_cast<uint16_t>(Run().CurrentPC);
  LineAsm().Address.Text = Hex4(Run().AsmLineAddress);
}

void DestroyLineAssembler() {
  LineAsmState& s = LineAsm();
  if (s.HistoryChanged) {
    SaveHistory(s.Address, kLineAsmAddressTag);
    SaveHistory(s.Statement, kLineAsmStatementTag);
  }
  s.HistoryChanged = false;
}

bool AcceptAsmAddress() {
  LineAsmState& s = LineAsm();
  const std::string text = TrimBlanks(s.Address.Text);
  if (text.empty()) return false;
  long double value = 0;
  bool ok = false;
  {
    // The address field is evaluated in the middle of whatever the debugger
    // is doing; the scanner and the evaluator are left as they were.
    SavedStates<ScannerState, EvaluatorState> keep;
    SuspendMessages();
    Messages().ErrorFlag = false;
    Messages().WarningFlag = false;
    SetScanLine(text + "\r", true);
    value = Expression(tok::kEndOfLine);
    ok = !Messages().ErrorFlag && !Messages().WarningFlag;
    ResumeMessages();
  }
  Messages().ErrorFlag = false;
  Messages().WarningFlag = false;
  if (!ok || value < 0 || value > 0xFFFF) return false;
  // The address used is the one the expression gave, not the text reread.
  Run().AsmLineAddress = static_cast<uint16_t>(value);
  if (AddToHistory(s.Address, text, true)) s.HistoryChanged = true;
  return true;
}

bool AssembleStatement() {
  LineAsmState& s = LineAsm();
  const PlainOperands plain;
  s.Result.clear();
  if (!AcceptAsmAddress()) return false;  // the address field keeps the focus
  const uint16_t address = Run().AsmLineAddress;
  const std::string statement = TrimBlanks(s.Statement.Text);
  if (statement.empty()) {
    s.Statement.Text = InstructionAt(address);
    Messages().ErrorFlag = false;
    return false;
  }

  // The statement goes through the debugger's line parser, which knows the
  // debugger's symbols and reads "$" as the address being assembled.
  std::string composed;
  std::string error;
  {
    SavedStates<ScannerState, EvaluatorState, ParsedInstruction> keep;
    SuspendMessages();
    Messages().ErrorFlag = false;
    Run().AsmLineMode = true;
    SetScanLine(statement + "\r", false);
    GetToken();
    if (!Messages().ErrorFlag) ParseInstruction();
    if (Messages().ErrorFlag)
      error = Messages().LastMessageText;
    else
      composed = ComposeStatement(Parsed());
    Run().AsmLineMode = false;
    ResumeMessages();
  }
  // The parser's error, held back while it parsed, is shown as its numbered
  // message; an assembler error as "Assembly impossible", its text in the result.
  const int parseError = Messages().ErrorFlag ? Messages().LastErrorCode : 0;
  const auto params = Messages().LastErrorParams;
  Messages().ErrorFlag = false;
  if (!error.empty() || composed.empty()) {
    s.Result = error.empty() ? std::string(kAssemblyImpossibleText) : error;
    ReportError(parseError != 0 ? parseError : err::kAssemblyImpossible, params.Arg1, params.Arg2);
    Messages().ErrorFlag = false;
    return false;
  }

  BusyTarget busy;
  const Assembled code = RunAssembler(composed, address);
  if (!code.Error.empty()) {
    s.Result = code.Error;  // nothing is written
    ReportError(err::kAssemblyImpossible);
    Messages().ErrorFlag = false;
    return false;
  }
  if (!WriteCode(address, code.Bytes)) {
    s.Result = std::string(kDeviceNotResponding);
    Messages().ErrorFlag = false;
    return false;
  }
  if (AddToHistory(s.Statement, statement, true)) s.HistoryChanged = true;

  std::string object;
  for (uint8_t b : code.Bytes) object += Hex4(b).substr(2);
  std::string line = Hex4(address) + "=" + object;
  line.resize(kStatementColumn, ' ');
  s.Result = InstructionAt(address);
  s.Lines.push_back(line + s.Result);

  const uint16_t next = static_cast<uint16_t>(address + code.Bytes.size());
  Run().AsmLineAddress = next;
  s.Address.Text = Hex4(next);
  s.Statement.Text = InstructionAt(next);
  Messages().ErrorFlag = false;
  return true;
}

std::string StatementOfLine(std::string_view line) {
  return line.size() > kStatementColumn ? TrimBlanks(line.substr(kStatementColumn)) : std::string();
}

void SelectAssembledLine(size_t index) {
  LineAsmState& s = LineAsm();
  if (index < s.Lines.size()) s.Statement.Text = StatementOfLine(s.Lines[index]);
}

}  // namespace dorvik
