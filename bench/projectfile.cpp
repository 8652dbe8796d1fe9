// Reading a project file of 40,000 modules (goal: under 100 ms; the time
// grows with the file's size, not with its square).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "project/project.h"
#include "base/session.h"
#include "project/projectfile.h"

namespace {

using namespace dorvik;

void BM_ReadProjectFile(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "bench_projectfile.qpc";
  {
    std::ofstream out(path, std::ios::binary);
    out << "Target=VOV51\r\n[LOADER]\r\nCode=Yes\r\n[PROJECT]\r\n";
    for (int64_t i = 0; i < state.range(0); ++i) out << "M" << i << "=src/m" << i << ".a51\r\n";
  }
  for (auto _ : state) {
    ResetSession();
    benchmark::DoNotOptimize(ReadProjectFile(path.string()));
  }
  state.counters["modules"] = static_cast<double>(Project().ProjectModules.size());
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadProjectFile)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace
