// The lines a step prints: where it started, "----->", where it stopped, and
// the watched value. Both halves render the code line the same way, from the
// symbolic disassembly line.

#include <optional>

#include "access/target.h"
#include "base/runstate.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/session.h"
#include "base/text.h"
#include "base/userseam.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "lang/collections.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/symbols.h"
#include "machine/images.h"
#include "objfiles/listmap.h"
#include "objfiles/sourcetext.h"

namespace dorvik {

namespace {

std::string CodeLine(uint16_t address) { return FormatHex4(address) + "H " + DisassembleLine(address); }

// "(:MODULE#line)" when a line symbol sits at Address; "" otherwise.
std::string SourceLine(uint16_t address) {
  if (!Collections().SymbolTable) return {};
  MessageState& m = Messages();
  const bool savedError = m.ErrorFlag;
  SuspendMessages();
  const bool found = FindLineSymbol(address);
  ResumeMessages();
  m.ErrorFlag = savedError;
  const tSymbolItem* line = found ? SymbolAt(Collections().FoundSymbol) : nullptr;
  if (!line) return {};
  return "(:" + SymbolLookup().LastModuleName + "#" + std::to_string(line->Number % 100000) + ")";
}

std::string LineOf(uint8_t stepToken, uint16_t address) {
  if (stepToken == tok::kLSTEP || stepToken == tok::kPSTEP) {
    std::string source = SourceLine(address);
    if (!source.empty()) return source;
  }
  return CodeLine(address);
}

bool IsWordRegister(uint8_t token) { return token != tok::kRBS && !(token >= tok::kR0 && token <= tok::kR7); }

// The watch's value: registers in hexadecimal, anything else in the display
// radix. Nothing when it cannot be read: its one message has been given (on a
// line of its own, after the step line), and the steps go on.
std::optional<std::string> WatchValue(const std::string& watch, uint8_t watchRegister) {
  if (watchRegister) {
    const int32_t value = TargetRegisterValue(watchRegister);
    return IsWordRegister(watchRegister) ? FormatHex4(static_cast<uint16_t>(value))
                                         : FormatHex2(static_cast<uint8_t>(value));
  }
  // The watch is read in the middle of the step command's own line.
  SavedStates<ScannerState, EvaluatorState, tValueList> saved;
  const SavedMessageFlags outcome;  // the step's own outcome stays as it was
  Messages().ErrorFlag = false;
  SetScanLine(watch + "\r", false);
  ValueList().Items.clear();  // only what this watch reads is shown
  const long double value = Expression(tok::kEndOfLine);
  if (Messages().ErrorFlag) return std::nullopt;
  // Memory is shown as its type is, zero-padded to the type's width.
  const tValueList& list = ValueList();
  if (!list.Items.empty()) return FormatValue(list.Items.back(), Formatting().DisplayRadix);
  return TrimBlanks(FormatNumber(Formatting().DisplayRadix, 8, true, value, false));
}

}  // namespace

void ShowStepLine(uint8_t stepToken, uint16_t start, const std::string& watch, uint8_t watchRegister) {
  const uint16_t pc = static_cast<uint16_t>(Run().CurrentPC);
  const uint16_t prev = RunControl().PrevPC;
  OutText(LineOf(stepToken, start));
  OutText("----->");
  if (stepToken == tok::kTRACE && prev != start) {
    OutText(CodeLine(prev));
    NewLine();
    OutText(std::string(16, ' '));
    OutText("----->");
  }
  OutText(LineOf(stepToken, pc));
  if (watch.empty()) return;
  if (const std::optional<std::string> value = WatchValue(watch, watchRegister)) OutText(",(" + *value + ")");
}

void ShowExecutionSource() {
  if (!User().ShowsSourceInEditor()) return;
  MessageState& m = Messages();
  const bool savedError = m.ErrorFlag;
  if (!ListMap().SourceLevelDebugging) {
    // No sources to show: the disassembly shows the stop.
    ClearExecLine();
    User().ShowDisassembly(static_cast<uint16_t>(Run().CurrentPC));
  } else {
    tStatement statement;
    ShowSourceAtAddress(true, statement);
  }
  m.ErrorFlag = savedError;
}

bool PrintExecutionSource() {
  ShowExecutionSource();
  if (!RunControl().PrintSourceLines || !ListMap().SourceLevelDebugging) return false;
  if (!User().ShowsSourceInEditor()) {
    MessageState& m = Messages();
    const bool savedError = m.ErrorFlag;
    tStatement statement;
    // A stop outside the sources shows nothing; the mapping's own messages
    // (a listing with errors, an unregistered file type) come once.
    ShowSourceAtAddress(false, statement);
    m.ErrorFlag = savedError;
  }
  const tShowedLine& at = ExecLine();
  // The mark keeps the name upper-cased; the module list has it as written.
  std::string fileName = at.FileName;
  for (const tModuleRec& module : Project().ProjectModules)
    if (UpperCase(module.FileName) == UpperCase(at.FileName)) fileName = module.FileName;
  // An include file has no module: its name as the mapping found it.
  if (!ListMap().ExecFileName.empty()) fileName = ListMap().ExecFileName;
  std::vector<std::string> lines;
  int32_t page = -1;
  if (at.Line < 1 || !ReadSourceLines(fileName, false, lines, page) || at.Line > static_cast<int32_t>(lines.size()))
    return false;
  const std::string existing = ExistingFileName(fileName);
  std::string text = lines[static_cast<size_t>(at.Line - 1)];
  for (char& c : text)
    if (c == '\t') c = ' ';
  const std::string shown = TrimBlanks(text);
  if (!Terminal().Lines.back().empty()) NewLine();
  OutText((existing.empty() ? fileName : existing) + ":" + std::to_string(at.Line) + ": " + shown);
  return true;
}

}  // namespace dorvik
