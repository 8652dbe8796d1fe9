// The workbench: start of the main window to idle, and a GO on the simulator
// with the windows open against the same GO without them (the console's
// rate, as bench_rungo measures it). The views are refreshed when the program
// stops, never per instruction, so the two rates should stay within 10%.
// Runs on Qt's offscreen platform unless another one is set.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdint>
#include <memory>

#include "access/target.h"
#include "bench/budgeted_go.h"
#include "bench/qt_app.h"
#include "base/runstate.h"
#include "base/session.h"
#include "debugger/executor.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "debugger/statusfields.h"
#include "gui/main/mainwindow.h"
#include "lang/scanner.h"
#include "machine/images.h"
#include "machine/simulator.h"
#include "platform/pump.h"
#include "platform/reporter.h"

namespace {

using namespace dorvik;

platform::ScriptedReporter g_boxes;

void StartEngine() {
  ResetSession();
  platform::ResetPump();
  InstallTargetAccess();
  platform::SetReporter(&g_boxes);
  platform::Pump().SetIdleHook(DebugViewsIdle);
  Run().TargetKind = kTargetSimulator;
  Run().TargetReady = true;
}

void RunLine(const char* line) {
  SetScanLine(line, false);
  GetToken();
  ExecuteCommand();
}

void BM_StartToIdle(benchmark::State& state) {
  bench::App("bench_gui");
  StartEngine();
  for (auto _ : state) {
    gui::MainWindow window;
    window.show();
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(window.isVisible());
  }
}
BENCHMARK(BM_StartToIdle)->Unit(benchmark::kMillisecond);

// The loop of bench_rungo with two breakpoints never reached; each GO ends
// with the user's break once Budget instructions ran.
void GoLoop(benchmark::State& state, bool windows) {
  bench::App("bench_gui");
  StartEngine();
  std::unique_ptr<gui::MainWindow> window;
  platform::TimerId poll = 0;
  if (windows) {
    window = std::make_unique<gui::MainWindow>();
    window->show();
    QCoreApplication::processEvents();
  } else {
    // The console's key polling: a periodic timer that finds no key.
    poll = platform::Pump().CreateTimer([] {}, 10, true);
    platform::Pump().EnableTimer(poll, true);
  }
  const uint8_t code[] = {0x7F, 0x00, 0xEF, 0x24, 0x03, 0xFE, 0xA3, 0xDF, 0xF9, 0x80, 0xF5};
  for (size_t i = 0; i < sizeof code; ++i) Images().CodeImage[i] = code[i];
  CodeImageChanged();
  RunLine("BR = 100\r");
  RunLine("BR = 200\r");
  const uint64_t budget = static_cast<uint64_t>(state.range(0));
  uint64_t steps = 0;
  const int32_t refreshes = DebugStatus().RefreshCount;
  for (auto _ : state) {
    steps += bench::BudgetedGo(budget, [&] {
      if (windows) {
        Terminal().TerminalEcho = true;
        SetScanLine("GO FROM 0\r", false);
        window->ExecuteScannerLine();
      } else {
        RunLine("GO FROM 0\r");
      }
    });
  }
  state.SetItemsProcessed(static_cast<int64_t>(steps));
  state.counters["refreshes per GO"] =
      static_cast<double>(DebugStatus().RefreshCount - refreshes) / static_cast<double>(state.iterations());
  window.reset();
  if (poll != 0) platform::Pump().DestroyTimer(poll);
}

void BM_GoConsole(benchmark::State& state) { GoLoop(state, false); }
void BM_GoWorkbench(benchmark::State& state) { GoLoop(state, true); }
BENCHMARK(BM_GoConsole)->Arg(20'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GoWorkbench)->Arg(20'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
