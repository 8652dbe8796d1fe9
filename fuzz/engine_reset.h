#pragma once
// The engine's start-up state before each input, as the tests reset it, with
// the simulator as target; optionally a small processor and a few program
// symbols. The disassembly's line cache is left alone: it is large, only code
// changes reach it, and those are announced (CodeImageChanged).

#include "core/collections.h"
#include "core/cpudb.h"
#include "core/evaluator.h"
#include "core/formatting.h"
#include "core/interrupts.h"
#include "core/lineparser.h"
#include "core/linerender.h"
#include "core/linkstate.h"
#include "core/messages.h"
#include "core/runstate.h"
#include "core/scanner.h"
#include "core/simulator.h"
#include "core/symbols.h"
#include "core/target.h"
#include "fuzz/fuzz_support.h"
#include "vhw/hardware.h"
#include "workbench/mainform.h"

namespace dorvik::fuzz {

inline void ResetEngine() {
  ResetMessages();
  ResetScanner();
  ResetEvaluator();
  ResetFormatting();
  ResetRunState();
  ResetLinkState();
  ResetCollections();
  ResetSymbolLookup();
  ResetCpuDb();
  ResetMainForm();
  ResetParsed();
  ResetLineRender();
  vhw::ResetHardware();
  ResetTargetState();
  ResetSimulator();
  ResetInterrupts();
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
  ResetMessages();
}

}  // namespace dorvik::fuzz
