// The console's start-up and a piped command script, measured on the real
// dorvik51 binary (beside this program's folder: ../bin/dorvik51).
// Start-up to the first prompt should stay well under 50 ms; a step from a
// pipe well under 1 ms; a script's time grows with its length (200,000 lines
// take at most 6 times what 50,000 take).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/growth.h"

namespace {

std::string Dorvik51() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path() / "bin" / "dorvik51").string();
}

// Runs dorvik51 with Input as its standard input; the bytes it printed.
size_t RunWithInput(const std::string& inputFile) {
  const std::string command = "'" + Dorvik51() + "' < '" + inputFile + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return 0;
  char buffer[8192];
  size_t total = 0, n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) total += n;
  pclose(pipe);
  return total;
}

std::string WriteScript(const std::string& name, int lines) {
  const std::string path = (std::filesystem::temp_directory_path() / name).string();
  std::ofstream out(path);
  static const char* const kCommands[] = {"CPU", "BASE", "R3 = 12", "R3", "RBS = 1", "RBS", "ENABLE SYMBOLS",
                                          "DEFINE", "", "LOAD"};
  for (int i = 0; i < lines; ++i) out << kCommands[i % 10] << '\n';
  return path;
}

// Start-up to the first prompt: empty input ends the program right after it.
void BM_StartupToFirstPrompt(benchmark::State& state) {
  const std::string input = WriteScript("dorvik51_bench_empty.in", 0);
  for (auto _ : state) benchmark::DoNotOptimize(RunWithInput(input));
  std::filesystem::remove(input);
}
BENCHMARK(BM_StartupToFirstPrompt)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Script1000Lines(benchmark::State& state) {
  const std::string input = WriteScript("dorvik51_bench_1000.in", 1000);
  size_t bytes = 0;
  for (auto _ : state) bytes = RunWithInput(input);
  state.counters["output_bytes"] = static_cast<double>(bytes);
  state.counters["lines_per_s"] = benchmark::Counter(1000.0 * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
  std::filesystem::remove(input);
}
BENCHMARK(BM_Script1000Lines)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same script at 50,000 and 200,000 lines (the wall time of the run:
// the console is another process).
void BM_ScriptGrowth(benchmark::State& state) {
  const std::string small = WriteScript("dorvik51_bench_50000.in", 50000);
  const std::string large = WriteScript("dorvik51_bench_200000.in", 200000);
  const auto seconds = [](const std::string& input) {
    double least = 0;
    for (int i = 0; i < 3; ++i) {
      const auto start = std::chrono::steady_clock::now();
      RunWithInput(input);
      const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (i == 0 || spent < least) least = spent;
    }
    return least;
  };
  for (auto _ : state) dorvik::bench::ReportGrowth(state, seconds(small), seconds(large), 6);
  std::filesystem::remove(small);
  std::filesystem::remove(large);
}
BENCHMARK(BM_ScriptGrowth)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// 20,000 steps of an SJMP $ from a pipe: one STEP and 19,999 empty lines (each steps again).
void BM_Steps20000FromAPipe(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() / "dorvik51_bench_steps.in").string();
  {
    std::ofstream out(path);
    out << "CBYTE 0 = 80,0FE\nSTEP\n" << std::string(19999, '\n');
  }
  for (auto _ : state) benchmark::DoNotOptimize(RunWithInput(path));
  state.counters["steps_per_s"] =
      benchmark::Counter(20000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  std::filesystem::remove(path);
}
BENCHMARK(BM_Steps20000FromAPipe)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
