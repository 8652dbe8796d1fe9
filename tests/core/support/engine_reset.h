#pragma once
// Start-up state of the engine's modules, shared by the test fixtures and the
// fuzz harnesses (no GoogleTest here).

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
#include "vhw/hardware.h"
#include "workbench/mainform.h"

namespace dorvik::testing {

// The command language: messages, scanner, evaluator, symbols, processor database, line parser.
inline void ResetLanguage() {
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
}

// The simulator as the ready target, with fresh memories, interrupts and hardware.
inline void ResetSimulatedTarget() {
  vhw::ResetHardware();
  ResetTargetState();
  ResetSimulator();
  ResetInterrupts();
  Run().TargetKind = kTargetSimulator;
  Run().TargetReady = true;
}

}  // namespace dorvik::testing
