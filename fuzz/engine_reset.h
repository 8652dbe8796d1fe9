#pragma once
// The engine's start-up state before each input, as the tests reset it, with
// the simulator as target; optionally a small processor and a few program
// symbols. The disassembly's line cache is left alone: it is large, only code
// changes reach it, and those are announced (CodeImageChanged).

#include <cstdlib>
#include <tuple>

#include "fuzz/fuzz_support.h"
#include "tests/core/support/engine_reset.h"

namespace dorvik::fuzz {

inline void ResetEngine() {
  testing::ResetLanguage();
  testing::ResetSimulatedTarget();
  InstallQuietReporter();
}

// A processor with a few predefined names and three program symbols, so that
// names in the input can resolve.
inline void LoadNames() {
  const auto record = CompileCpuRecord(
      "51", {"sfr ACC = 0xE0;", "sfr PSW = 0xD0;", "sfr SCON = 0x98;", "sbit TI = SCON^1;"}, "fuzz.def");
  if (!record) std::abort();
  SetCpuDatabase(*record, "fuzz.qpf");
  SelectCpu("51");
  CreateSymbolCollections();
  for (const auto& [name, cls, value] : {std::tuple{"INIT", kClassCode, 0x200}, {"COUNT", kClassData, 0x30},
                                         {"FLAG", kClassBit, 0x05}}) {
    tSymbolItem& s = Collections().SymbolTable->Add();
    s.Name = name;
    s.SymClass = static_cast<uint8_t>(cls | kClassPublic);
    s.Value = static_cast<uint32_t>(value);
  }
  ResetMessages();
}

}  // namespace dorvik::fuzz
