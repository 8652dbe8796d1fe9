#include "lang/symbols.h"
#include "base/session.h"

#include <algorithm>

#include "lang/formatting.h"
#include "lang/keywords.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "lang/scanner.h"
#include "platform/text.h"

namespace dorvik {

namespace {

std::vector<tSymbolItem>* Table() {
  auto& t = Collections().SymbolTable;
  return t ? &t->Items : nullptr;
}

int32_t TableCount() {
  auto* t = Table();
  return t ? static_cast<int32_t>(t->size()) : 0;
}

// The symbol's class: the low 4 bits of SymClass.
uint8_t ClassOf(const tSymbolItem& s) {
  return s.SymClass & 0x0F;
}
bool IsPublic(const tSymbolItem& s) {
  return (s.SymClass & kClassPublic) != 0;
}
bool IsAddressable(const tSymbolItem& s) {
  return ClassOf(s) < 7;
}

// The indices of the symbols named UpperName (any case), ascending.
const std::vector<int32_t>& Named(const std::string& upperName) {
  static const std::vector<int32_t> kNone;
  auto& t = Collections().SymbolTable;
  return t ? t->Named(upperName) : kNone;
}

// The first procedure (module) symbol named exactly Name.
int32_t ProcedureNamed(std::string_view name) {
  auto* t = Table();
  for (int32_t i : Named(UpperCase(name)))
    if (ClassOf((*t)[i]) == kClassProcedure && (*t)[i].Name == name) return i;
  return kNoItem;
}

bool NameIs(const tSymbolItem& s, std::string_view upperName) {
  return platform::SameText(s.Name, upperName);
}

bool SymbolBitAddressable(const tSymbolItem& s) {
  return IsBitAddressable(ClassOf(s), s.Value);
}

bool CpuEntryAddressable(const tCpuDefEntry& e) {
  return (e.Kind & 7) <= kCpuSpaceNumber;
}

uint32_t CurrentAddress() {
  return Run().AsmLineMode ? Run().AsmLineAddress : Run().CurrentPC;
}

// The character after the current one, without moving.
char CharAfterCurrent() {
  const auto& s = Scanner();
  return s.ScanPos >= 1 && s.ScanPos - 1 < s.ScanLine.size() ? s.ScanLine[s.ScanPos - 1] : '\0';
}

// The first module of the module table whose range holds Addr.
int32_t ModuleAtAddress(uint32_t addr) {
  auto& m = Collections().ModuleTable;
  if (!m) return kNoItem;
  for (int32_t i = 0; i < m->Count(); ++i)
    if (ModuleHoldsAddress(m->Items[i], addr)) return i;
  return kNoItem;
}

std::string NumberText(uint32_t addr) {
  uint8_t radix = Formatting().DisplayRadix;
  return FormatNumber(radix, 16, true, static_cast<long double>(addr), radix == 16 && Run().AsmLineMode);
}

// The index after the symbol at I; after a whole scope when I begins one.
int32_t AfterSymbol(int32_t i) {
  auto* t = Table();
  if (!t || i < 0 || i >= TableCount() || ClassOf((*t)[i]) != kClassScopeBegin) return i + 1;
  int32_t depth = 0;
  for (; i < TableCount(); ++i) {
    uint8_t c = ClassOf((*t)[i]);
    if (c == kClassScopeBegin) ++depth;
    if (c == kClassScopeEnd && --depth == 0) break;
  }
  return i + 1;
}

}  // namespace

SymbolLookupState& SymbolLookup() {
  return CurrentSession().Get<SymbolLookupState>();
}


void FreeSymbolCollections() {
  Collections() = CollectionsState{};
  // The last lookup's result pointed into the freed tables.
  SymbolLookup().SymbolRef = tSymbolRef{};
}

bool CheckSymbolTable() {
  if (Collections().SymbolTable) return true;
  ReportWarning(SymbolLookup().DebugInfoLoaded ? warn::kSymbolTableEmpty
                                               : warn::kSymbolTableEmptyNoUserProgram);
  return false;
}

bool NextProcedureSymbol(int32_t& sym) {
  auto* t = Table();
  for (int32_t i = std::max(sym, 0); t && i < TableCount(); ++i) {
    if (ClassOf((*t)[i]) == kClassProcedure) {
      sym = i;
      return true;
    }
  }
  sym = kNoItem;
  return false;
}

bool ModuleHoldsAddress(const tModuleItem& module, uint32_t addr) {
  return module.Start <= addr && addr <= module.Stop;
}

bool FindProcedureAt(uint32_t addr) {
  auto& c = Collections();
  int32_t first = ModuleAtAddress(addr);
  c.FoundModule = first;
  if (first == kNoItem) return false;
  auto& modules = c.ModuleTable->Items;
  int32_t flagged = kNoItem;
  for (int32_t i = first; i < static_cast<int32_t>(modules.size()); ++i) {
    if (modules[i].Flag) {
      flagged = i;
      break;
    }
  }
  c.FoundModule = flagged;
  if (flagged == kNoItem) return false;
  if (const int32_t i = ProcedureNamed(modules[flagged].Name); i != kNoItem) {
    c.FoundSymbol = i;
    SymbolLookup().SymbolRef.Sym = i;
    return true;
  }
  ReportError(err::kInternalErrorWhenSeekingIn);
  return false;
}

bool FindCurrentProcedure() {
  return FindProcedureAt(CurrentAddress());
}

bool FindProcedureSymbol(std::string_view name) {
  const int32_t i = ProcedureNamed(name);
  if (i == kNoItem) return false;
  Collections().FoundSymbol = i;
  return true;
}

bool FindCpuSymbol(std::optional<size_t> start, std::string_view name) {
  auto at = FindCpuEntry(start.value_or(kCpuEntriesStart), name);
  if (!at) return false;
  auto& ref = SymbolLookup().SymbolRef;
  ref.CpuEntry = CpuEntryAt(*at);
  ref.Sym = kNoItem;
  ref.Proc = kNoItem;
  return true;
}

bool FindCpuSymbolByValue(uint16_t value, uint8_t kind) {
  auto at = FindCpuEntryByValue(value, kind);
  if (!at) return false;
  SymbolLookup().SymbolRef.CpuEntry = CpuEntryAt(*at);
  return true;
}

bool FindLineSymbol(uint32_t addr) {
  auto* t = Table();
  for (int32_t i = 0; t && i < TableCount(); ++i) {
    const auto& s = (*t)[i];
    if (ClassOf(s) == kClassProcedure) SymbolLookup().LastModuleName = s.Name;
    if (ClassOf(s) == kClassLine && s.Value == addr) {
      Collections().FoundSymbol = i;
      return true;
    }
  }
  return false;
}

uint16_t NearestLineSymbol() {
  auto* t = Table();
  if (!t) return kNoDistance;
  uint32_t pc = Run().CurrentPC;
  int32_t best = kNoItem;
  for (int32_t i = std::max(Collections().FoundSymbol, 0); i < TableCount(); ++i) {
    const auto& s = (*t)[i];
    if (ClassOf(s) == kClassLine && s.Value <= pc && (best == kNoItem || s.Value > (*t)[best].Value))
      best = i;
  }
  if (best == kNoItem) return kNoDistance;
  Collections().FoundSymbol = best;
  return static_cast<uint16_t>(std::min<uint32_t>(pc - (*t)[best].Value, kNoDistance));
}

bool FindSymbol(int32_t& sym, uint8_t wantClass, uint8_t endClass) {
  auto* t = Table();
  if (!t || t->empty()) return false;
  auto& c = Collections();
  if (c.FoundSymbol == kNoItem) c.FoundSymbol = 0;
  std::string name = UpperCase(Scanner().ScanIdent);
  int32_t i = std::max(sym, 0);
  c.FoundSymbol = std::min(i, TableCount() - 1);
  // A symbol of this level named Name: found; true when it has the class wanted.
  // Past the last symbol of that name nothing can match: the walk ends there
  // (at once for a name the program does not have).
  const std::vector<int32_t>& named = Named(name);
  if (named.empty() || named.back() < i) return false;
  const int32_t lastNamed = named.back();
  auto matches = [&](int32_t at, uint8_t cls) {
    if (!NameIs((*t)[at], name)) return false;
    c.FoundSymbol = at;
    Scanner().NameFound = true;
    if (wantClass != kAnyClass && wantClass != cls) return false;
    sym = at;
    SymbolLookup().SymbolRef.Sym = at;
    return true;
  };
  int32_t depth = 0;
  for (; i <= lastNamed; ++i) {
    uint8_t cls = ClassOf((*t)[i]);
    if (cls == endClass && (cls != kClassScopeEnd || depth == 0)) break;
    if (cls == kClassScopeBegin) {
      // A scope at this level may itself be the name wanted; its insides are skipped.
      if (depth == 0 && matches(i, cls)) return true;
      ++depth;
      continue;
    }
    if (cls == kClassScopeEnd) {
      if (depth > 0) --depth;
      continue;
    }
    if (depth > 0 || cls == kClassLine) continue;
    if (matches(i, cls)) return true;
  }
  return false;
}

bool FindPublicSymbol() {
  auto* t = Table();
  if (!t) return false;
  std::string name = UpperCase(Scanner().ScanIdent);
  bool bitContext = InBitContext();
  int32_t found = kNoItem;
  int32_t named = kNoItem;  // the last one of that name, usable or not (for the error)
  for (int32_t i : Named(name)) {
    const auto& s = (*t)[i];
    if (!IsPublic(s) || !IsAddressable(s)) continue;
    Scanner().NameFound = true;
    named = i;
    if (bitContext && !SymbolBitAddressable(s)) continue;
    found = i;
  }
  if (named != kNoItem) Collections().FoundSymbol = found != kNoItem ? found : named;
  if (found == kNoItem) return false;
  SymbolLookup().SymbolRef.Sym = found;
  return true;
}

bool FindLocalSymbol(int32_t& scopeSym) {
  if (!FindCurrentProcedure()) return false;
  Scanner().QualifierDepth = 0;
  // A name the program does not have is in no scope: no walk for it.
  if (Named(UpperCase(Scanner().ScanIdent)).empty()) return false;
  auto* t = Table();
  uint32_t pc = CurrentAddress();
  // The innermost scope at the PC among the current procedure's own scopes, so
  // that another procedure's locals never come into view.
  int32_t scope = kNoItem;
  for (int32_t i = Collections().FoundSymbol + 1; i < TableCount(); ++i) {
    const auto& s = (*t)[i];
    if (ClassOf(s) == kClassProcedure) break;
    if (ClassOf(s) == kClassScopeBegin && s.Value <= pc && (scope == kNoItem || s.Value >= (*t)[scope].Value))
      scope = i;
  }
  if (scope == kNoItem) return false;
  scopeSym = scope;
  int32_t from = scope + 1;
  return FindSymbol(from, kAnyClass, kClassScopeEnd);
}

bool ResolveQualified() {
  auto& sc = Scanner();
  auto& c = Collections();
  SetBitContext(false);
  sc.NameFound = false;
  int32_t start = c.FoundSymbol;
  int32_t moduleStart = start;
  uint8_t qualifiers = 0;
  while (sc.ScanChar == '.') {
    if (!IsIdentStart(CharAfterCurrent())) {
      NextChar();
      if (!ReadBitSuffix()) return false;
      break;
    }
    // The name before the "." is a scope of the current level.
    int32_t scope = start;
    if (!FindSymbol(scope, kClassScopeBegin, kClassProcedure)) {
      if (sc.NameFound)
        ReportError(err::kSymbolNotProcedureName, sc.ScanIdent);
      else
        ReportError(err::kSymbolNotKnown, sc.ScanIdent);
      return false;
    }
    start = scope + 1;
    ++qualifiers;
    NextChar();
    ReadIdentifier();
    if (Messages().ErrorFlag) return false;
  }
  sc.QualifierDepth = qualifiers;
  bool bitContext = InBitContext();
  int32_t from = qualifiers > 0 ? start : moduleStart;
  uint8_t endClass = qualifiers > 0 ? kClassScopeEnd : kClassProcedure;
  while (FindSymbol(from, kAnyClass, endClass)) {
    const auto& s = (*Table())[from];
    if (IsAddressable(s) && (!bitContext || SymbolBitAddressable(s))) {
      SymbolLookup().SymbolRef.Sym = from;
      return true;
    }
    from = AfterSymbol(from);
  }
  return LookupSymbol();
}

bool LookupSymbol() {
  SymbolLookup().SymbolRef = tSymbolRef{};
  bool bitContext = InBitContext();
  if (FindPublicSymbol()) return true;
  if (FindCpuSymbol(std::nullopt, Scanner().ScanIdent)) {
    const auto& e = *SymbolLookup().SymbolRef.CpuEntry;
    if (CpuEntryAddressable(e) && (!bitContext || IsBitAddressable(e.Kind & 7, e.Value))) return true;
  }
  SymbolLookup().SymbolRef.CpuEntry.reset();
  ReportSymbolError();
  return false;
}

bool ResolveDottedName() {
  auto& sc = Scanner();
  auto* t = Table();
  std::string name = UpperCase(sc.ScanIdent);
  // A module or procedure of that name: the rest of the chain is looked up inside it.
  for (int32_t i : Named(name)) {
    if (ClassOf((*t)[i]) == kClassProcedure) {
      if (sc.ScanChar != '.' || !IsIdentStart(CharAfterCurrent())) break;
      NextChar();
      ReadIdentifier();
      if (Messages().ErrorFlag) return false;
      Collections().FoundSymbol = i + 1;
      return ResolveQualified();
    }
  }
  // Otherwise a name with a bit suffix.
  if (sc.ScanChar == '.') {
    NextChar();
    if (!ReadBitSuffix()) return false;
  }
  return LookupSymbol();
}

uint8_t ResolveSymbol() {
  auto& sc = Scanner();
  auto& c = Collections();
  sc.NameFound = false;
  SetBitContext(false);
  SkipBlanks();
  SymbolLookup().SymbolRef = tSymbolRef{};
  if (sc.ScanChar == '.') {
    if (FindCurrentProcedure()) {
      sc.QualifiedLookup = true;
      c.FoundSymbol = SymbolLookup().SymbolRef.Sym + 1;
      return ResolveQualified() ? tok::kSymbol : 0;
    }
    sc.QualifiedLookup = false;
    return ResolveDottedName() ? tok::kSymbol : 0;
  }
  sc.QualifiedLookup = false;
  if (FindCurrentProcedure()) {
    int32_t proc = c.FoundSymbol;
    if (proc + 1 < TableCount()) {
      // The current procedure's own symbols, then its local scopes.
      int32_t from = proc + 1;
      while (FindSymbol(from, kAnyClass, kClassProcedure)) {
        if (IsAddressable((*Table())[from])) return tok::kSymbol;
        from = AfterSymbol(from);
      }
      int32_t scope = kNoItem;
      if (FindLocalSymbol(scope) && IsAddressable((*Table())[SymbolLookup().SymbolRef.Sym])) return tok::kSymbol;
      if (FindPublicSymbol()) return tok::kSymbol;
    }
  } else if (FindPublicSymbol()) {
    return tok::kSymbol;
  }
  if (FindCpuSymbol(std::nullopt, sc.ScanIdent)) return tok::kSymbol;
  return 0;
}

void ReportSymbolError() {
  const auto& sc = Scanner();
  const tSymbolItem* found = SymbolAt(Collections().FoundSymbol);
  if (sc.NameFound && found) {
    if (InBitContext())
      ReportError(ClassOf(*found) == kClassData ? err::kLocationNotBitAddressable
                                                : err::kOnChipDataSegmentAddress);
    else
      ReportError(err::kInternalErrorWhenSeekingIn);
    return;
  }
  if (!Collections().SymbolTable)
    CheckSymbolTable();
  else if (!sc.QualifiedLookup)
    ReportWarning(warn::kNoModuleInformationFoundFor);
  ReportError(err::kSymbolNotKnown, sc.ScanIdent);
}

uint16_t FindNearestSymbol(uint32_t addr, uint8_t cls, int32_t startSym, bool resume, bool userOnly,
                           uint8_t stopClass) {
  auto& ref = SymbolLookup().SymbolRef;
  tSymbolRef tracked = resume ? ref : tSymbolRef{};
  ref = tSymbolRef{};
  if (auto at = FindCpuEntryByValue(static_cast<uint16_t>(addr), cls); at && addr <= 0xFFFF)
    ref.CpuEntry = CpuEntryAt(*at);
  auto* t = Table();
  if (!t) return kNoDistance;
  int32_t i = std::max(startSym, 0);
  if (!resume) {
    tracked.Proc = kNoItem;
    tracked.Depth = 0;
    if (i < TableCount() && ClassOf((*t)[i]) == kClassProcedure) tracked.Proc = i++;
  }
  uint32_t best = kNoDistance;
  std::string cpuName = ref.CpuEntry ? ref.CpuEntry->Name : std::string();
  for (; i < TableCount(); ++i) {
    const auto& s = (*t)[i];
    uint8_t c = ClassOf(s);
    if (c == stopClass) break;
    if (c == kClassProcedure) tracked.Proc = i;
    if (c == kClassScopeBegin) {
      if (tracked.Depth >= kMaxOpenScopes - 1) {
        ReportError(err::kInternalErrorWhenSeekingIn);
        return kNoDistance;
      }
      tracked.Scopes[tracked.Depth++] = i;
    } else if (c == kClassScopeEnd) {
      if (tracked.Depth == 0) {
        ReportError(err::kInternalErrorWhenSeekingIn);
        return kNoDistance;
      }
      --tracked.Depth;
    }
    if (c == kClassLine && cls != kClassLine) continue;
    if ((cls != kAnyClass && c != cls) || s.Value > addr || addr - s.Value > best) continue;
    if (ref.CpuEntry && NameIs(s, cpuName)) {
      ref.Flag = 1;
      continue;
    }
    if (userOnly && c != kClassProcedure && !IsPublic(s)) continue;
    best = addr - s.Value;
    auto cpu = ref.CpuEntry;
    uint8_t flag = ref.Flag;
    ref = tracked;
    ref.Sym = i;
    ref.CpuEntry = cpu;
    ref.Flag = flag;
    if (best == 0) break;
  }
  return static_cast<uint16_t>(best);
}

bool HasSymbolAt(uint32_t addr, uint8_t cls, int32_t startSym) {
  if (FindNearestSymbol(addr, cls, startSym, false, false, kAnyClass) == 0) return true;
  return addr <= 0xFFFF && FindCpuEntryByValue(static_cast<uint16_t>(addr), cls).has_value();
}

std::string AddressToText(uint32_t addr, uint8_t cls, bool alwaysSymbolic) {
  auto& c = Collections();
  if (cls == kClassProcedure) {
    const int32_t first = ModuleAtAddress(addr);
    if (first == kNoItem || !FindProcedureAt(addr)) return "<unknown>";
    // An unnamed item (the code of an interrupt vector) is the procedure's module.
    const std::string& name = c.ModuleTable->Items[first].Name;
    return (name.empty() ? c.ModuleTable->Items[c.FoundModule].Name : name) + "." + (*Table())[c.FoundSymbol].Name;
  }
  bool symbolic = alwaysSymbolic || SymbolLookup().ShowSymbols;

  // The nearest candidate with its module and open scopes.
  auto* t = Table();
  int32_t best = kNoItem;
  uint32_t bestDistance = 0;
  std::string bestModule;
  std::array<int32_t, kMaxOpenScopes> scopes{};
  std::array<int32_t, kMaxOpenScopes> bestScopes{};
  size_t depth = 0;
  size_t bestDepth = 0;
  std::string module;
  for (int32_t i = 0; t && i < TableCount(); ++i) {
    const auto& s = (*t)[i];
    uint8_t sc = ClassOf(s);
    if (sc == kClassProcedure) module = s.Name;
    if (sc == kClassScopeBegin && depth < kMaxOpenScopes) scopes[depth++] = i;
    bool candidate = cls == kClassCodeOrLine ? (sc == kClassCode || sc == kClassLine) : sc == cls;
    if (candidate && s.Value <= addr) {
      uint32_t d = addr - s.Value;
      if (best == kNoItem || d < bestDistance || (d == bestDistance && s.SymClass == cls)) {
        best = i;
        bestDistance = d;
        bestModule = module;
        bestScopes = scopes;
        bestDepth = depth;
      }
    }
    if (sc == kClassScopeEnd && depth > 0) --depth;
  }
  Scanner().QualifierDepth = static_cast<uint8_t>(bestDepth);

  // Processor names of code, direct data and bits win, with symbols shown or not.
  if (addr <= 0xFFFF && (cls == kClassCode || cls == kClassData || cls == kClassBit)) {
    if (auto at = FindCpuEntryByValue(static_cast<uint16_t>(addr), cls)) return CpuEntryAt(*at)->Name;
    if (cls == kClassBit && addr >= 0x80 && addr <= 0xFF) {
      if (auto at = FindCpuEntryByValue(static_cast<uint16_t>(addr & 0xF8), kClassData))
        return CpuEntryAt(*at)->Name + "." + std::to_string(addr & 7);
    }
  }
  if (best == kNoItem) return alwaysSymbolic ? "<unknown>" : NumberText(addr);
  const auto& s = (*t)[best];
  if (ClassOf(s) == kClassLine) {
    if (!alwaysSymbolic && !SymbolLookup().ShowLines) return NumberText(addr);
    return ":" + bestModule + "#" + FormatNumber(10, 5, true, s.Number, false);
  }
  if (!symbolic) return NumberText(addr);
  if (cls == kClassBit && bestDistance != 0) {
    uint32_t byte = addr < 0x80 ? 0x20 + addr / 8 : addr & 0xF8;
    if (HasSymbolAt(byte, kClassData, 0))
      return AddressToText(byte, kClassData, alwaysSymbolic) + "." + std::to_string(addr & 7);
  }
  if (bestDistance >= 4 && !alwaysSymbolic) return NumberText(addr);
  std::string text;
  int32_t here = ModuleAtAddress(addr);
  std::string hereName = here == kNoItem ? std::string() : c.ModuleTable->Items[here].Name;
  if (!IsPublic(s) && !platform::SameText(bestModule, hereName))
    text.append(":").append(bestModule).append(".");
  for (size_t k = 0; k < bestDepth; ++k) text.append((*t)[bestScopes[k]].Name).append(".");
  if (ClassOf(s) == kClassScopeBegin) {
    if (!text.empty() && text.back() == '.') text.pop_back();
  } else {
    text += s.Name;
  }
  if (bestDistance != 0) {
    text += '+';
    text += FormatNumber(16, 4, true, bestDistance, true);
    if (bestDistance >= 10) text += "H";
  }
  return text;
}

const tModuleRec* FindModuleNode(std::string_view name) {
  for (const auto& node : Project().ProjectModules)
    if (platform::SameText(node.Name, name)) return &node;
  return nullptr;
}

const tModuleRec* FindModuleNodeByFile(std::string_view fileName) {
  if (!FindFileTypeOf(fileName)) return nullptr;
  const std::string& project = Project().ProjectFileName;
  std::string drive = project.size() >= 2 && project[1] == ':' ? project.substr(0, 2) : std::string("C:");
  for (const auto& node : Project().ProjectModules) {
    std::string stored = node.FileName;
    if (stored.size() >= 1 && stored[0] == '\\' && (stored.size() < 2 || stored[1] != '\\'))
      stored = drive + stored;
    if (platform::SameText(stored, fileName)) return &node;
  }
  return nullptr;
}

}  // namespace dorvik
