// The workbench: start of the main window to idle, and a GO on the simulator
// with the windows open against the same GO without them (the console's
// rate, as bench_rungo measures it). The views are refreshed when the program
// stops, never per instruction, so the two rates should stay within 10%.
// A step (F7) with five open memory views of 256 bytes costs at most half
// again what it costs with none; a key typed into a page of 60,000 lines at
// most twice what it costs in one of 2,000 lines.
// Runs on Qt's offscreen platform unless another one is set.

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "access/target.h"
#include "bench/budgeted_go.h"
#include "bench/growth.h"
#include "bench/qt_app.h"
#include "base/runstate.h"
#include "base/session.h"
#include "debugger/executor.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "debugger/statusfields.h"
#include "gui/debug/debugactions.h"
#include "gui/editor/editorpages.h"
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

// F7 with Views memory views of 256 bytes of IDATA open: the process's CPU
// time of a step and of the window's drawing after it; Reads counts the
// views' reads.
double StepSeconds(int views, int& reads) {
  StartEngine();
  gui::MainWindow window;
  window.show();
  // A loop that changes two registers and DPTR at every pass.
  const uint8_t code[] = {0x7F, 0x00, 0xEF, 0x24, 0x03, 0xFE, 0xA3, 0xDF, 0xF9, 0x80, 0xF5};
  for (size_t i = 0; i < sizeof code; ++i) Images().CodeImage[i] = code[i];
  CodeImageChanged();
  for (int i = 0; i < views; ++i) window.OpenMemoryView(i, 0, 256, 0, 0, 3);
  QCoreApplication::processEvents();
  QAction* step = window.Actions()->Step;
  constexpr int kSteps = 100;
  const auto readsSoFar = [&] {
    int n = 0;
    for (int i = 0; i < views; ++i) n += window.MemoryView(i)->ReadCount;
    return n;
  };
  const int before = readsSoFar();
  const double seconds = bench::LeastCpuSeconds(3, [&] {
    for (int i = 0; i < kSteps; ++i) {
      step->trigger();
      QCoreApplication::processEvents();
    }
  });
  reads = readsSoFar() - before;
  return seconds / kSteps;
}

void BM_StepWithMemoryViews(benchmark::State& state) {
  bench::App("bench_gui");
  int reads = 0;
  StepSeconds(0, reads);  // the first window pays for the fonts and styles
  for (auto _ : state) {
    const double none = StepSeconds(0, reads);
    const double one = StepSeconds(1, reads);
    const double five = StepSeconds(5, reads);
    bench::ReportGrowth(state, none, five, 1.5);
    state.counters["step_ms_0_views"] = none * 1e3;
    state.counters["step_ms_1_view"] = one * 1e3;
    state.counters["step_ms_5_views"] = five * 1e3;
    state.counters["view_reads_per_step_5_views"] = reads / 300.0;
  }
}
BENCHMARK(BM_StepWithMemoryViews)->Iterations(1)->Unit(benchmark::kMillisecond);

// A key (Key, typed 100 times) in the middle of a page of Lines lines: the
// process's CPU time of a key and of the drawing after it.
double KeySeconds(int lines, Qt::Key key, const QString& text) {
  StartEngine();
  const auto path = std::filesystem::temp_directory_path() / ("bench_gui_page_" + std::to_string(lines) + ".a51");
  {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < lines; ++i) out << "L" << i << ":\tMOV\tA,#" << (i % 200) << "\t; line " << i << "\n";
  }
  gui::MainWindow window;
  window.show();
  gui::EditorPages* pages = window.Pages();
  pages->OpenFile(path.string());
  gui::CodeEditWidget* page = pages->Page(0);
  page->GoToLine(lines / 2);
  QCoreApplication::processEvents();
  constexpr int kKeys = 100;
  const double seconds = bench::LeastCpuSeconds(3, [&] {
    for (int i = 0; i < kKeys; ++i) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
      QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
      QCoreApplication::sendEvent(page, &press);
      QCoreApplication::sendEvent(page, &release);
      QCoreApplication::processEvents();
    }
  });
  window.Pages()->CloseAll();
  std::filesystem::remove(path);
  return seconds / kKeys;
}

void BM_KeyInLongPage(benchmark::State& state) {
  bench::App("bench_gui");
  for (auto _ : state) bench::ReportGrowth(state, KeySeconds(2000, Qt::Key_X, "X"), KeySeconds(60000, Qt::Key_X, "X"), 2);
}
BENCHMARK(BM_KeyInLongPage)->Iterations(1)->Unit(benchmark::kMillisecond);

// Enter in the same pages: a line more each time, the marks below move.
void BM_EnterInLongPage(benchmark::State& state) {
  bench::App("bench_gui");
  for (auto _ : state)
    bench::ReportGrowth(state, KeySeconds(2000, Qt::Key_Return, "\r"), KeySeconds(60000, Qt::Key_Return, "\r"), 2);
}
BENCHMARK(BM_EnterInLongPage)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
