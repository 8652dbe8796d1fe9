// Instructions per second of a GO on the simulator through the command
// executor, with two enabled breakpoints that are never reached and the
// message pump run between the slices (a periodic timer stands in for the
// console's key polling), against the raw SimStep rate of bench_simulator.
// Each iteration runs one GO of about Budget instructions: a pump timer
// ends it with the user's break.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "access/target.h"
#include "bench/budgeted_go.h"
#include "base/runstate.h"
#include "base/session.h"
#include "debugger/breakpoints.h"
#include "debugger/executor.h"
#include "debugger/runcontrol.h"
#include "lang/scanner.h"
#include "machine/images.h"
#include "machine/simulator.h"
#include "platform/pump.h"

namespace {

using namespace dorvik;

// A loop of everyday instructions: 0000 MOV R7,#0 / 0002 MOV A,R7 / 0003 ADD A,#3 /
// 0005 MOV R6,A / 0006 INC DPTR / 0007 DJNZ R7,0002H / 0009 SJMP 0000H.
// The breakpoints at 0100H and 0200H are never reached.
void LoadProgram() {
  const uint8_t code[] = {0x7F, 0x00, 0xEF, 0x24, 0x03, 0xFE, 0xA3, 0xDF, 0xF9, 0x80, 0xF5};
  for (size_t i = 0; i < sizeof code; ++i) Images().CodeImage[i] = code[i];
  CodeImageChanged();
}

void RunLine(const char* line) {
  SetScanLine(line, false);
  GetToken();
  ExecuteCommand();
}

void BM_GoWithBreakpoints(benchmark::State& state) {
  ResetSession();
  platform::ResetPump();
  InstallTargetAccess();
  Run().TargetKind = kTargetSimulator;
  Run().TargetReady = true;
  LoadProgram();
  RunLine("BR = 100\r");
  RunLine("BR = 200\r");
  // The console's key polling: a periodic timer that finds no key.
  uint64_t polls = 0;
  const auto poll = platform::Pump().CreateTimer([&] { ++polls; }, 10, true);
  platform::Pump().EnableTimer(poll, true);
  const uint64_t budget = static_cast<uint64_t>(state.range(0));
  uint64_t steps = 0;
  for (auto _ : state) steps += bench::BudgetedGo(budget, [] { RunLine("GO FROM 0\r"); });
  state.SetItemsProcessed(static_cast<int64_t>(steps));
  state.counters["polls"] = static_cast<double>(polls);
}
BENCHMARK(BM_GoWithBreakpoints)->Arg(20'000'000)->Unit(benchmark::kMillisecond);

// The same program stepped bare, for the ratio.
void BM_RawSimStep(benchmark::State& state) {
  ResetSession();
  Run().TargetKind = kTargetSimulator;
  LoadProgram();
  SimReset();
  MemoryImages& t = Images();
  uint64_t steps = 0;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) SimStep(static_cast<uint16_t>(t.SimPC));
    steps += 1000;
  }
  state.SetItemsProcessed(static_cast<int64_t>(steps));
}
BENCHMARK(BM_RawSimStep);

}  // namespace
