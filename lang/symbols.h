#pragma once
// Symbol lookups: names typed by the user resolved against the loaded
// program's symbol table and the selected processor's predefined names, and
// code or data addresses turned into symbolic texts.
//
// The symbol table is flat: modules and procedures (class 10), scope begins
// (13) and ends (14), line numbers (12) and data or code symbols follow each
// other in object-file order. The found symbol and module are indices in
// Collections(); the other results are in SymbolLookup().

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lang/collections.h"
#include "lang/cpudb.h"
#include "project/project.h"

namespace dorvik {

inline constexpr size_t kMaxOpenScopes = 16;
inline constexpr uint16_t kNoDistance = 65535;

// The result of a lookup.
struct tSymbolRef {
  int32_t Sym = kNoItem;                         // the symbol found
  int32_t Proc = kNoItem;                        // the enclosing procedure
  std::optional<tCpuDefEntry> CpuEntry;          // the processor's predefined name found
  uint8_t Flag = 0;                              // a program symbol had the name of the processor name found
  std::array<int32_t, kMaxOpenScopes> Scopes{};  // open scopes at the symbol
  uint8_t Depth = 0;
};

// State of the lookups; one instance, reached through SymbolLookup().
struct SymbolLookupState {
  tSymbolRef SymbolRef;
  std::string LastModuleName;  // the last module or procedure passed by FindLineSymbol
  // Set by the loader when the last load read an object file.
  bool DebugInfoLoaded = false;
  // Display options of ENABLE/DISABLE SYMBOLS and LINES.
  bool ShowSymbols = true;
  bool ShowLines = true;
};

SymbolLookupState& SymbolLookup();


// Frees the three tables (another program is loaded, a project is opened);
// the found symbol and module and the last lookup's result go with them.
void FreeSymbolCollections();

// Table and procedures
// True when a symbol table exists; otherwise warning 2 (object file loaded) or 3.
bool CheckSymbolTable();
// From Sym on, the first procedure symbol; kNoItem and false when none.
bool NextProcedureSymbol(int32_t& sym);
bool ModuleHoldsAddress(const tModuleItem& module, uint32_t addr);
// The procedure at Addr: FoundModule and FoundSymbol; error 138 when its symbol is missing.
bool FindProcedureAt(uint32_t addr);
// FindProcedureAt the current PC (the line assembler's address in its mode).
bool FindCurrentProcedure();
// The first procedure symbol named Name (case-sensitive) becomes FoundSymbol.
bool FindProcedureSymbol(std::string_view name);

// Processor names
// From Start (nullopt: the first entry) the entry named UpperCase(Name) becomes SymbolRef.CpuEntry.
bool FindCpuSymbol(std::optional<size_t> start, std::string_view name);
// The first entry of Kind (kind AND 7; 255 any) with Value becomes SymbolRef.CpuEntry.
bool FindCpuSymbolByValue(uint16_t value, uint8_t kind);

// Line numbers
// The first line symbol at Addr becomes FoundSymbol; LastModuleName follows the way.
bool FindLineSymbol(uint32_t addr);
// From FoundSymbol on, the line symbol nearest below the current PC; the distance or 65535.
uint16_t NearestLineSymbol();

// Names (the name is the scanner's ScanIdent)
// From Sym, the symbol of WantClass (255 any) named ScanIdent, not past EndClass
// (255 never stops); nested scopes and line symbols are skipped.
bool FindSymbol(int32_t& sym, uint8_t wantClass, uint8_t endClass);
// The last public addressable symbol named ScanIdent (bit-addressable in bit context).
bool FindPublicSymbol();
// The name inside the innermost scope at the current PC; ScopeSym the scope begin.
bool FindLocalSymbol(int32_t& scopeSym);
// The "." chain after a module or procedure; FoundSymbol is where the search begins.
bool ResolveQualified();
// A public program symbol, else a processor name; otherwise the symbol error.
bool LookupSymbol();
// A dot-qualified name when no procedure holds the current PC.
bool ResolveDottedName();
// The scanner's symbol step for the word in ScanIdent: 58 or 0.
uint8_t ResolveSymbol();
// The message for a failed lookup.
void ReportSymbolError();

// Addresses to texts
// The symbol of Class (255 any) nearest at or below Addr, from StartSym; the distance or 65535.
uint16_t FindNearestSymbol(uint32_t addr, uint8_t cls, int32_t startSym, bool resume, bool userOnly,
                           uint8_t stopClass);
bool HasSymbolAt(uint32_t addr, uint8_t cls, int32_t startSym);
// The symbolic text of Addr in Class (10 module.procedure, 15 code or line);
// without a near symbol the number in the display radix, "<unknown>" when AlwaysSymbolic.
std::string AddressToText(uint32_t addr, uint8_t cls, bool alwaysSymbolic);

// Project modules
// The project module named Name (without regard to case); nullptr when none.
const tModuleRec* FindModuleNode(std::string_view name);
// The project module whose source file is FileName (a registered file type only).
const tModuleRec* FindModuleNodeByFile(std::string_view fileName);

}  // namespace dorvik
