#pragma once
// The engine's start-up state before each input, as the tests reset it, with
// the simulator as target; optionally a small processor and a few program
// symbols.

#include <cstdlib>
#include <tuple>

#include "access/lineparser.h"
#include "access/target.h"
#include "access/linkstate.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "base/session.h"
#include "fuzz/fuzz_support.h"
#include "lang/collections.h"
#include "lang/cpucompiler.h"
#include "lang/cpudb.h"
#include "lang/evaluator.h"
#include "lang/scanner.h"
#include "machine/simulator.h"

namespace dorvik::fuzz {

inline void ResetEngine() {
  ResetSession();
  InstallTargetAccess();
  Run().TargetKind = kTargetSimulator;
  Run().TargetReady = true;
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
  ResetState<MessageState>();
}

}  // namespace dorvik::fuzz
