#pragma once
// How a cost grows with the size of the work: the same work measured at a
// small and a large size (the process's CPU time, every thread counted),
// and the ratio of the two printed next to the ratio it should stay under,
// so that a regression shows in the row.

#include <benchmark/benchmark.h>

#include <ctime>
#include <functional>

namespace dorvik::bench {

inline double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The least CPU time of Work over Runs runs: the run the machine disturbed least.
inline double LeastCpuSeconds(int runs, const std::function<void()>& work) {
  double least = 0;
  for (int i = 0; i < runs; ++i) {
    const double start = ProcessCpuSeconds();
    work();
    const double spent = ProcessCpuSeconds() - start;
    if (i == 0 || spent < least) least = spent;
  }
  return least;
}

// The two costs in milliseconds, their ratio and its goal; the label says
// when the ratio is past the goal.
inline void ReportGrowth(benchmark::State& state, double small, double large, double goal) {
  const double ratio = small > 0 ? large / small : 0;
  state.counters["small_ms"] = small * 1e3;
  state.counters["large_ms"] = large * 1e3;
  state.counters["ratio"] = ratio;
  state.counters["ratio_goal"] = goal;
  state.SetLabel(ratio <= goal ? "ratio within its goal" : "RATIO PAST ITS GOAL");
}

}  // namespace dorvik::bench
