// A program that writes its ports at every other instruction, run with GO in
// the workbench with the port window and an LED panel open against the same
// GO with them closed. The port window reads only after an instruction
// changed a port and at most once per repaint of the window, so the two
// rates should stay within 10%. Runs on Qt's offscreen platform unless
// another one is set.

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
#include "gui/hardware/eightled.h"
#include "gui/hardware/hardwaremenu.h"
#include "gui/main/mainwindow.h"
#include "gui/hardware/portwindow.h"
#include "lang/cpudb.h"
#include "lang/scanner.h"
#include "machine/images.h"
#include "machine/simulator.h"
#include "platform/pump.h"
#include "platform/reporter.h"
#include "vhw/hardware.h"

namespace {

using namespace dorvik;

platform::ScriptedReporter g_boxes;

void GoWritingPorts(benchmark::State& state, bool portViews) {
  bench::App("bench_ports");
  ResetSession();
  platform::ResetPump();
  InstallTargetAccess();
  vhw::InstallHardwareBus();
  platform::SetReporter(&g_boxes);
  platform::Pump().SetIdleHook(DebugViewsIdle);
  Run().TargetKind = kTargetSimulator;
  Run().TargetReady = true;
  auto window = std::make_unique<gui::MainWindow>();
  window->show();
  if (portViews) {
    window->Hardware()->ShowPortForm();
    window->Hardware()->ShowEightLED();
  }
  QCoreApplication::processEvents();
  // L: INC P1; INC P2; SJMP L
  const uint8_t code[] = {0x05, 0x90, 0x05, 0xA0, 0x80, 0xFA};
  for (size_t i = 0; i < sizeof code; ++i) Images().CodeImage[i] = code[i];
  CodeImageChanged();
  const uint64_t budget = static_cast<uint64_t>(state.range(0));
  uint64_t steps = 0;
  const uint32_t changes = PortViews().PortChanges;
  for (auto _ : state) {
    steps += bench::BudgetedGo(budget, [&] {
      Terminal().TerminalEcho = true;
      SetScanLine("GO FROM 0\r", false);
      window->ExecuteScannerLine();
    });
  }
  state.SetItemsProcessed(static_cast<int64_t>(steps));
  state.counters["port changes per GO"] =
      static_cast<double>(PortViews().PortChanges - changes) / static_cast<double>(state.iterations());
  window.reset();
  InstallBus(nullptr);
}

void BM_GoPortViewsClosed(benchmark::State& state) { GoWritingPorts(state, false); }
void BM_GoPortViewsOpen(benchmark::State& state) { GoWritingPorts(state, true); }
BENCHMARK(BM_GoPortViewsClosed)->Arg(20'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GoPortViewsOpen)->Arg(20'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
