// Reading an object module of 10,000 code labels, 10,000 line numbers, 200
// procedure blocks matched to their labels and 40 KB of code: the file pass of
// a program load with symbols and lines (goal: under 20 ms). Its time grows
// with the symbols (20,000 against 60,000: at most 4.5 times), and the lookup
// of a name the program does not have does not grow with them (at most 2
// times).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "access/target.h"
#include "bench/growth.h"
#include "debugger/toolviews.h"
#include "assembler/objwriter.h"
#include "base/runstate.h"
#include "base/session.h"
#include "lang/collections.h"
#include "loader/loader.h"
#include "objfiles/omfreader.h"
#include "platform/dialogs.h"
#include "platform/reporter.h"

namespace {

using namespace dorvik;
using Bytes = std::vector<uint8_t>;

void Frame(std::string& file, uint8_t type, const Bytes& content) { file += as::ObjFrame(type, content); }

void PutWord(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void PutName(Bytes& b, const std::string& s) {
  b.push_back(static_cast<uint8_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}

// Labels code labels and as many line numbers, a procedure block for every
// fiftieth label.
std::string BuildObjectFile(int labels = 10000) {
  const int procedures = labels / 50;
  constexpr uint16_t kCode = 40000;
  std::string file;
  Bytes header;
  PutName(header, "BENCH");
  Frame(file, 0x02, header);
  Bytes scope{0};
  PutName(scope, "BENCH");
  Frame(file, 0x10, scope);
  // Labels in debug item records of about 2000 bytes each.
  Bytes symbols{0};
  for (int i = 0; i < labels; ++i) {
    symbols.insert(symbols.end(), {0, 0});
    PutWord(symbols, static_cast<uint16_t>(i * 4 % kCode));
    symbols.push_back(0);
    PutName(symbols, "LABEL_" + std::to_string(i));
    if (symbols.size() > 2000) {
      Frame(file, 0x12, symbols);
      symbols = {0};
    }
  }
  if (symbols.size() > 1) Frame(file, 0x12, symbols);
  for (int p = 0; p < procedures; ++p) {
    Bytes block{1};
    PutName(block, "label_" + std::to_string(p * (labels / procedures)));
    Frame(file, 0x10, block);
    Bytes end{4};
    PutName(end, "label_" + std::to_string(p * (labels / procedures)));
    Frame(file, 0x10, end);
  }
  Bytes lines{3};
  for (int i = 0; i < labels; ++i) {
    lines.push_back(0);
    PutWord(lines, static_cast<uint16_t>(i * 4 % kCode));
    PutWord(lines, static_cast<uint16_t>(i + 1));
    if (lines.size() > 2000) {
      Frame(file, 0x12, lines);
      lines = {3};
    }
  }
  if (lines.size() > 1) Frame(file, 0x12, lines);
  for (uint16_t at = 0; at < kCode; at += 1784) {
    Bytes content{0};
    PutWord(content, at);
    for (uint16_t i = 0; i < 1784 && at + i < kCode; ++i) content.push_back(static_cast<uint8_t>(at + i));
    Frame(file, 0x06, content);
  }
  Bytes end{3};
  PutName(end, "BENCH");
  Frame(file, 0x10, end);
  Frame(file, 0x04, header);
  return file;
}

void BM_ReadObjectModule(benchmark::State& state) {
  ResetSession();
  const std::string file = BuildObjectFile();
  std::vector<uint8_t> image(kLoadImageSize);
  for (auto _ : state) {
    const auto r = ReadObjectModule({reinterpret_cast<const uint8_t*>(file.data()), file.size()}, "BENCH.OBJ",
                                    LoadImage(image.data(), kLoadImageSize), {});
    if (!r.Ok) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(Collections().SymbolTable->Count());
  }
  state.counters["symbols"] = Collections().SymbolTable->Count();
  state.counters["bytes"] = static_cast<double>(file.size());
}
BENCHMARK(BM_ReadObjectModule)->Unit(benchmark::kMillisecond);

// The whole load of that file onto the simulator: file pass, transfer and
// the finishing stage with its module and breakpoint checks.
void BM_LoadObjectOntoSimulator(benchmark::State& state) {
  ResetSession();
  InstallTargetAccess();
  Run().TargetKind = kTargetSimulator;
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "dorvik_bench_omf.obj";
  std::ofstream(path, std::ios::binary) << BuildObjectFile();
  platform::ScriptedReporter boxes;
  platform::ScriptedDialogs dialogs;
  platform::SetReporter(&boxes);
  platform::SetDialogUi(&dialogs);
  Loader().LoadFileName = path.string();
  for (auto _ : state) {
    if (!LoadProgramFile()) state.SkipWithError("load failed");
    boxes.Clear();
    dialogs.InputsShown.clear();
  }
  platform::SetReporter(nullptr);
  platform::SetDialogUi(nullptr);
  state.counters["symbols"] = Collections().SymbolTable ? Collections().SymbolTable->Count() : 0;
}
BENCHMARK(BM_LoadObjectOntoSimulator)->Unit(benchmark::kMillisecond);

// The file pass at about 20,000 and 60,000 symbols (10,000 and 30,000 labels
// with their line numbers).
void BM_ReadObjectGrowth(benchmark::State& state) {
  ResetSession();
  std::vector<uint8_t> image(kLoadImageSize);
  const auto seconds = [&](int labels) {
    const std::string file = BuildObjectFile(labels);
    return bench::LeastCpuSeconds(5, [&] {
      const auto r = ReadObjectModule({reinterpret_cast<const uint8_t*>(file.data()), file.size()}, "BENCH.OBJ",
                                      LoadImage(image.data(), kLoadImageSize), {});
      if (!r.Ok) state.SkipWithError("read failed");
    });
  };
  for (auto _ : state) bench::ReportGrowth(state, seconds(10000), seconds(30000), 4.5);
}
BENCHMARK(BM_ReadObjectGrowth)->Iterations(1)->Unit(benchmark::kMillisecond);

// A name the program does not have (DF2H: a hex number without its leading
// zero) looked up 1,000 times with the PC in the module, at 20,000 and 60,000 symbols.
void BM_UnknownNameGrowth(benchmark::State& state) {
  ResetSession();
  InstallTargetAccess();
  Run().TargetKind = kTargetSimulator;
  platform::ScriptedReporter boxes;
  platform::SetReporter(&boxes);
  std::vector<uint8_t> image(kLoadImageSize);
  const auto seconds = [&](int labels) {
    const std::string file = BuildObjectFile(labels);
    ReadObjectModule({reinterpret_cast<const uint8_t*>(file.data()), file.size()}, "BENCH.OBJ",
                     LoadImage(image.data(), kLoadImageSize), {});
    Run().CurrentPC = 0x100;
    return bench::LeastCpuSeconds(5, [&] {
      for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(EvaluateForView("DF2H", true).Ok);
      boxes.Clear();
    });
  };
  for (auto _ : state) bench::ReportGrowth(state, seconds(10000), seconds(30000), 2);
  platform::SetReporter(nullptr);
}
BENCHMARK(BM_UnknownNameGrowth)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
