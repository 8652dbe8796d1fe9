// Reading an object module of 10,000 code labels, 10,000 line numbers, 200
// procedure blocks matched to their labels and 40 KB of code: the file pass of
// a program load with symbols and lines (goal: under 20 ms).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "access/target.h"
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

std::string BuildObjectFile() {
  constexpr int kSymbols = 10000;
  constexpr int kProcedures = 200;
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
  for (int i = 0; i < kSymbols; ++i) {
    symbols.insert(symbols.end(), {0, 0});
    PutWord(symbols, static_cast<uint16_t>(i * 4));
    symbols.push_back(0);
    PutName(symbols, "LABEL_" + std::to_string(i));
    if (symbols.size() > 2000) {
      Frame(file, 0x12, symbols);
      symbols = {0};
    }
  }
  if (symbols.size() > 1) Frame(file, 0x12, symbols);
  for (int p = 0; p < kProcedures; ++p) {
    Bytes block{1};
    PutName(block, "label_" + std::to_string(p * (kSymbols / kProcedures)));
    Frame(file, 0x10, block);
    Bytes end{4};
    PutName(end, "label_" + std::to_string(p * (kSymbols / kProcedures)));
    Frame(file, 0x10, end);
  }
  Bytes lines{3};
  for (int i = 0; i < kSymbols; ++i) {
    lines.push_back(0);
    PutWord(lines, static_cast<uint16_t>(i * 4));
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

}  // namespace
