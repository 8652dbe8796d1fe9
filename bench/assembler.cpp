// Assembler throughput: source lines per second on a generated 50,000-line
// source of mixed instructions and directives, with listing and object on.
// The same program in the dialect of as31 is written beside it (bench.asm)
// for a side-by-side timing by hand: as31 -l -Fhex bench.asm

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "assembler/context.h"
#include "assembler/driver.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLines = 50000;

// One group of ten lines in both dialects: seven instructions and data
// lines (10 bytes), a comment, an empty line and a label every other group,
// so that 50,000 lines fit in 64 KB of code and the symbol area.
void AppendGroup(int g, std::string& ours, std::string& theirs) {
  char b[1024];
  const int v = g % 200;
  const int label = g / 2;
  const std::string labelText = g % 2 == 0 ? "L" + std::to_string(label) + ":" : "";
  std::snprintf(b, sizeof b,
                "; group %d\n"
                "%-8sMOV     A,#%d\n"
                "        ADD     A,30H\n"
                "        MOV     R%d,A\n"
                "        DJNZ    R7,L%d\n"
                "        INC     DPTR\n"
                "        DB      %d\n"
                "\n"
                "        CPL     C               ; toggle\n"
                "        ORL     A,#LIMIT\n",
                g, labelText.c_str(), v, g % 8, label, v);
  ours += b;
  std::snprintf(b, sizeof b,
                "; group %d\n"
                "%s\tmov a,#%d\n"
                "\tadd a,30h\n"
                "\tmov r%d,a\n"
                "\tdjnz r7,L%d\n"
                "\tinc dptr\n"
                "\t.db %d\n"
                "\n"
                "\tcpl c\t\t; toggle\n"
                "\torl a,#LIMIT\n",
                g, labelText.c_str(), v, g % 8, label, v);
  theirs += b;
}

void BM_AssembleWithListingAndObject(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / "dorvik_bench_asm";
  fs::create_directories(dir);
  std::string ours = "LIMIT   EQU     99\n", theirs = "\t.equ LIMIT, 99\n";
  for (int g = 0; g < kLines / 10; ++g) AppendGroup(g, ours, theirs);
  ours += "        END\n";  // with LIMIT: 50,002 lines
  theirs += "\t.end\n";
  std::ofstream(dir / "bench.a51", std::ios::binary) << ours;
  std::ofstream(dir / "bench.asm", std::ios::binary) << theirs;
  const fs::path home = fs::current_path();
  fs::current_path(dir);
  uint32_t lines = 0;
  for (auto _ : state) {
    dorvik::as::ResetAsm();
    dorvik::as::AsmContext& c = dorvik::as::Asm();
    std::ostringstream console;
    c.ConsoleOut = &console;
    const dorvik::as::AsmRunResult result = dorvik::as::AssembleFileWithControls(c, "bench.a51", "PRINT OBJECT");
    if (result.Fatal || result.ErrorCount != 0) state.SkipWithError("the generated source did not assemble cleanly");
    lines = result.LinesRead;
    benchmark::DoNotOptimize(lines);
  }
  fs::current_path(home);
  state.counters["lines"] = lines;
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(dir.string());
}
BENCHMARK(BM_AssembleWithListingAndObject)->Unit(benchmark::kMillisecond);

}  // namespace
