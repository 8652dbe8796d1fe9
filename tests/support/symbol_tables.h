#pragma once
// Symbol and module tables filled as the loader would fill them, for the tests
// of symbol lookups and breakpoints.

#include <cstdint>
#include <vector>

#include "access/target.h"
#include "lang/collections.h"

namespace dorvik::testing {

// A symbol of the tables the loader would fill.
struct TestSymbol {
  const char* Name;
  uint8_t Class;
  uint32_t Value;
  int32_t Number = 0;  // the source line of a line symbol
};

// Replaces the symbol and module tables as the loader would; the code lines are decoded again.
inline void LoadSymbolTable(const std::vector<TestSymbol>& symbols, const std::vector<tModuleItem>& modules) {
  CreateSymbolCollections();
  for (const TestSymbol& s : symbols) {
    auto& item = Collections().SymbolTable->Add();
    item.Name = s.Name;
    item.SymClass = s.Class;
    item.Value = s.Value;
    item.Number = s.Number;
  }
  for (const tModuleItem& m : modules) Collections().ModuleTable->Add() = m;
  CodeImageChanged();
}

}  // namespace dorvik::testing
