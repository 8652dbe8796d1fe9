#include "lang/scanner_symbols.h"

#include <algorithm>

#include "lang/keywords.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "lang/scanner.h"
#include "lang/symbols.h"
#include "platform/text.h"

namespace dorvik {
namespace {

constexpr int kMaxLineDigits = 9;

bool Failed() { return Messages().ErrorFlag; }

uint8_t ClassOf(const tSymbolItem& s) { return s.SymClass & 15; }

// A module boundary in the flat table: a module or procedure symbol that
// names a module of the module table; without a module table every module or
// procedure symbol counts.
bool IsModuleSymbol(const tSymbolItem& s) {
  if (ClassOf(s) != kClassProcedure) return false;
  const auto& modules = Collections().ModuleTable;
  if (!modules || modules->Items.empty()) return true;
  return std::any_of(modules->Items.begin(), modules->Items.end(),
                     [&](const tModuleItem& m) { return platform::SameText(m.Name, s.Name); });
}

// Where the scanner stands, so that a lookup that reads on can be repeated.
struct ScanPoint {
  uint32_t Pos;
  char Char;
  std::string Ident;
  bool ErrorFlag;
  int32_t ErrorCode;

  static ScanPoint Here() {
    const ScannerState& s = Scanner();
    return {s.ScanPos, s.ScanChar, s.ScanIdent, Messages().ErrorFlag, Messages().LastErrorCode};
  }
  void Restore() const {
    ScannerState& s = Scanner();
    s.ScanPos = Pos;
    s.ScanChar = Char;
    s.ScanIdent = Ident;
    Messages().ErrorFlag = ErrorFlag;
    Messages().LastErrorCode = ErrorCode;
  }
};

// The token of a symbol found by a qualified lookup.
uint8_t QualifiedToken() {
  const tSymbolRef& ref = SymbolLookup().SymbolRef;
  const tSymbolItem* sym = SymbolAt(ref.Sym);
  SkipBlanks();
  if (sym && (sym->SymClass & 0x7F) == kClassAfterModule) return tok::kDot;
  return tok::kSymbol;
}

// ResolveQualified from the symbol after Start for the name in ScanIdent:
// first without boxes, then the local scopes, and only then once more with
// its messages, so that only a real failure is shown.
uint8_t QualifiedLookup(int32_t start, bool moduleGiven) {
  const ScanPoint point = ScanPoint::Here();
  Collections().FoundSymbol = start + 1;
  SuspendMessages();
  bool found = ResolveQualified();
  ResumeMessages();
  if (found) {
    Messages().ErrorFlag = point.ErrorFlag;
    Messages().LastErrorCode = point.ErrorCode;
    return QualifiedToken();
  }
  if (moduleGiven) {
    point.Restore();
    int32_t scope = kNoItem;
    SuspendMessages();
    found = FindLocalSymbol(scope) && SymbolAt(SymbolLookup().SymbolRef.Sym) != nullptr;
    ResumeMessages();
    if (found) {
      Messages().ErrorFlag = point.ErrorFlag;
      Messages().LastErrorCode = point.ErrorCode;
      return QualifiedToken();
    }
  }
  point.Restore();
  Collections().FoundSymbol = start + 1;
  if (ResolveQualified() && !Failed()) return QualifiedToken();
  if (!Failed()) ReportSymbolError();
  return tok::kNone;
}

// "#n": the line symbol of line n in the module (or procedure) at Module.
uint8_t LineReference(int32_t module, bool moduleGiven) {
  ScannerState& s = Scanner();
  std::string digits;
  while (IsDigit(s.ScanChar)) {
    digits += s.ScanChar;
    s.ScanChar = NextChar();
  }
  if (digits.empty() || digits.size() > kMaxLineDigits || !IsSeparator(s.ScanChar)) {
    SyntaxError();
    return tok::kNone;
  }
  const int32_t line = std::stoi(digits);
  const auto& table = *Collections().SymbolTable;
  const int32_t count = table.Count();
  const tSymbolItem& owner = table.Items[module];

  // Forward to the module's first line symbol, not past the next module.
  int32_t i = module + 1;
  while (i < count && ClassOf(table.Items[i]) != kClassLine && !IsModuleSymbol(table.Items[i])) ++i;
  if (i >= count || ClassOf(table.Items[i]) != kClassLine) {
    if (moduleGiven) {
      ReportError(err::kModuleNotContainLineInformation, owner.Name);
    } else {
      ReportWarning(warn::kNoModuleInformationFoundFor);
      Messages().ErrorFlag = true;
    }
    return tok::kNone;
  }
  // Then its line symbols, still inside the module.
  for (; i < count && !IsModuleSymbol(table.Items[i]); ++i) {
    const tSymbolItem& sym = table.Items[i];
    if (ClassOf(sym) == kClassLine && sym.Number == line) {
      Collections().FoundSymbol = i;
      SkipBlanks();
      if (Run().AsmLineMode) {
        s.ExprValue = sym.Value;
        s.ValueSpace = kValueSpaceCode;
        return tok::kNumberValue;
      }
      return tok::kHash;
    }
  }
  ReportError(err::kSpecifiedLineNumberNotExecutable);
  return tok::kNone;
}

// ":" module [ "." name | "#" line ].
uint8_t ModuleReference() {
  ScannerState& s = Scanner();
  SkipBlanks();
  if (s.ScanChar == '\r' || s.ScanChar == '\0') {
    ReportError(err::kModuleNameAttempted);
    return tok::kNone;
  }
  if (!IsIdentStart(s.ScanChar)) {
    SyntaxError();
    return tok::kNone;
  }
  ReadIdentifier();
  if (Failed()) return tok::kNone;
  s.NameFound = false;
  int32_t module = 0;
  if (!Collections().SymbolTable || !FindSymbol(module, kClassProcedure, kAnyClass)) {
    ReportError(s.NameFound ? err::kSymbolNotModuleName : err::kSymbolNotKnown, s.ScanIdent);
    return tok::kNone;
  }
  if (s.ScanChar == '.') {
    s.ScanChar = NextChar();
    if (!IsIdentStart(s.ScanChar)) {
      SyntaxError();
      return tok::kNone;
    }
    ReadIdentifier();
    if (Failed()) return tok::kNone;
    s.QualifiedLookup = true;
    // A qualified name stands for its address, as ".NAME" does.
    const uint8_t token = QualifiedLookup(module, true);
    return token == tok::kNone ? token : tok::kDot;
  }
  if (s.ScanChar == '#') {
    s.ScanChar = NextChar();
    return LineReference(module, true);
  }
  Collections().FoundSymbol = module;
  SkipBlanks();
  return tok::kColon;
}

// "." name: a name of the current procedure, or a dot-qualified name.
uint8_t ProcedureReference() {
  ScannerState& s = Scanner();
  if (!IsIdentStart(s.ScanChar)) {
    SyntaxError();
    return tok::kNone;
  }
  ReadIdentifier();
  if (Failed()) return tok::kNone;
  if (FindCurrentProcedure()) {
    s.QualifiedLookup = true;
    const uint8_t token = QualifiedLookup(Collections().FoundSymbol, false);
    return token == tok::kNone ? token : tok::kDot;
  }
  s.QualifiedLookup = false;
  SymbolLookup().SymbolRef = tSymbolRef{};
  if (!ResolveDottedName()) {
    if (!Failed()) ReportSymbolError();
    return tok::kNone;
  }
  SkipBlanks();
  return tok::kDot;
}

}  // namespace

uint8_t TrySymbolWord() { return ResolveSymbol(); }

void ReportWordSymbolError() { ReportSymbolError(); }

SymbolReference CurrentSymbolReference(uint8_t token) {
  SymbolReference ref;
  if (token == tok::kColon || token == tok::kHash) {
    ref.Symbol = SymbolAt(Collections().FoundSymbol);
    return ref;
  }
  const tSymbolRef& found = SymbolLookup().SymbolRef;
  ref.Symbol = SymbolAt(found.Sym);
  if (!ref.Symbol) ref.CpuEntry = found.CpuEntry;
  return ref;
}

uint8_t QualifiedReference(uint8_t token) {
  ScannerState& s = Scanner();
  SetBitContext(false);
  if (token == tok::kDot && s.ScanChar == ':') {
    s.ScanChar = NextChar();
    token = tok::kColon;
  }
  if (token == tok::kColon) return ModuleReference();
  if (token == tok::kDot) return ProcedureReference();
  if (!Collections().SymbolTable) {
    CheckSymbolTable();
    Messages().ErrorFlag = true;
    return tok::kNone;
  }
  if (!FindCurrentProcedure()) {
    if (!Failed()) {
      ReportWarning(warn::kNoModuleInformationFoundFor);
      Messages().ErrorFlag = true;
    }
    return tok::kNone;
  }
  return LineReference(Collections().FoundSymbol, false);
}

}  // namespace dorvik
