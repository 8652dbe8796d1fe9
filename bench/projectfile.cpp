// Reading a project file: 40,000 modules in under 100 ms, and the time grows
// with the number of modules, not with its square (10,000 against 40,000:
// at most 4 times, with room for the machine: 6).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/session.h"
#include "bench/growth.h"
#include "project/project.h"
#include "project/projectfile.h"

namespace {

using namespace dorvik;

constexpr double kGoalMs = 100;
constexpr double kRatioGoal = 6;

std::filesystem::path WriteProject(int64_t modules) {
  const auto path = std::filesystem::temp_directory_path() / ("bench_projectfile_" + std::to_string(modules) + ".qpc");
  std::ofstream out(path, std::ios::binary);
  out << "Target=VOV51\r\n[LOADER]\r\nCode=Yes\r\n[PROJECT]\r\n";
  for (int64_t i = 0; i < modules; ++i) out << "M" << i << "=src/m" << i << ".a51\r\n";
  return path;
}

double ReadSeconds(const std::filesystem::path& path) {
  return bench::LeastCpuSeconds(5, [&] {
    ResetSession();
    benchmark::DoNotOptimize(ReadProjectFile(path.string()));
  });
}

void BM_ReadProjectFile(benchmark::State& state) {
  const auto small = WriteProject(10000);
  const auto large = WriteProject(40000);
  for (auto _ : state) {
    const double s = ReadSeconds(small);
    const double l = ReadSeconds(large);
    bench::ReportGrowth(state, s, l, kRatioGoal);
    state.counters["goal_ms_40000"] = kGoalMs;
    if (l * 1e3 > kGoalMs) state.SetLabel("40,000 MODULES PAST THE 100 MS GOAL");
  }
  state.counters["modules"] = static_cast<double>(Project().ProjectModules.size());
  std::filesystem::remove(small);
  std::filesystem::remove(large);
}
BENCHMARK(BM_ReadProjectFile)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
