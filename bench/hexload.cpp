// Loading a full 64 KB Intel HEX file (4096 records of 16 bytes, as the
// saver and the assembler write them) into the load image: from the file, and
// from its text already in memory; and the whole program load onto the
// simulator (file pass, transfer, finishing stage). The goal is under 5 ms per
// load. Saving the simulator's whole code memory as HEX is measured beside it.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "access/target.h"
#include "base/runstate.h"
#include "base/session.h"
#include "machine/images.h"
#include "loader/loader.h"
#include "objfiles/intelhex.h"
#include "platform/dialogs.h"
#include "platform/reporter.h"

namespace {

using namespace dorvik;
namespace fs = std::filesystem;

std::string FullHexText() {
  std::string text;
  std::array<uint8_t, 16> data{};
  for (uint32_t address = 0; address < kHexImageSize; address += data.size()) {
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((address + i) * 13 + (address >> 8));
    text += HexRecordText(static_cast<uint16_t>(address), kHexTypeData, data) + "\r\n";
  }
  return text + std::string(kHexEndRecordText) + "\r\n";
}

fs::path BenchFolder() {
  const fs::path dir = fs::temp_directory_path() / "dorvik_bench_hex";
  fs::create_directories(dir);
  return dir;
}

void StartEngine() {
  ResetSession();
  InstallTargetAccess();
  Run().TargetKind = kTargetSimulator;
}

void Load(benchmark::State& state, bool fromFile) {
  StartEngine();
  const std::string text = FullHexText();
  const std::string path = (BenchFolder() / "full.hex").string();
  std::ofstream(path, std::ios::binary) << text;
  static std::array<uint8_t, kHexImageSize> loadBuffer;
  HexLoadInfo info;
  for (auto _ : state) {
    const bool read = fromFile ? ReadHexFile(path, HexMemory::Code, loadBuffer, info)
                               : ReadHexText(text, path, HexMemory::Code, loadBuffer, info);
    if (!read || info.HighestAddress != 0xFFFF) state.SkipWithError("the generated file did not load");
    benchmark::DoNotOptimize(loadBuffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_LoadHexOntoSimulator(benchmark::State& state) {
  StartEngine();
  const std::string text = FullHexText();
  const std::string path = (BenchFolder() / "load.hex").string();
  std::ofstream(path, std::ios::binary) << text;
  // Boxes and the stack question are answered without a terminal.
  platform::ScriptedReporter boxes;
  platform::ScriptedDialogs dialogs;
  platform::SetReporter(&boxes);
  platform::SetDialogUi(&dialogs);
  Loader().LoadFileName = path;
  for (auto _ : state) {
    if (!LoadProgramFile()) state.SkipWithError("the generated file did not load");
    boxes.Clear();
    dialogs.InputsShown.clear();
  }
  platform::SetReporter(nullptr);
  platform::SetDialogUi(nullptr);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LoadHexOntoSimulator)->Unit(benchmark::kMillisecond);

void BM_HexFileIntoLoadImage(benchmark::State& state) { Load(state, true); }
BENCHMARK(BM_HexFileIntoLoadImage)->Unit(benchmark::kMillisecond);

void BM_HexTextIntoLoadImage(benchmark::State& state) { Load(state, false); }
BENCHMARK(BM_HexTextIntoLoadImage)->Unit(benchmark::kMillisecond);

void BM_SaveWholeCodeMemory(benchmark::State& state) {
  StartEngine();
  for (size_t a = 0; a < kHexImageSize; ++a) Images().CodeImage[a] = static_cast<uint8_t>(a * 13);
  const std::string path = (BenchFolder() / "saved.hex").string();
  for (auto _ : state)
    if (!SaveHexFile(path, 0, static_cast<int32_t>(kHexImageSize))) state.SkipWithError("the save failed");
}
BENCHMARK(BM_SaveWholeCodeMemory)->Unit(benchmark::kMillisecond);

}  // namespace
