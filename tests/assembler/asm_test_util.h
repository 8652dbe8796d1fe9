#pragma once
// Helpers of the assembler's unit tests: run a source text through the
// assembler in a scratch directory, and read back the errors and outputs.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/asmsymbols.h"
#include "assembler/context.h"
#include "assembler/driver.h"

namespace dorvik::as::testing {

// A fresh directory inside the build tree, so that test runs of several build
// directories at the same time never share files.
inline std::filesystem::path ScratchDir(const std::string& name) {
  auto dir = std::filesystem::path(DORVIK_BIN_DIR).parent_path() / "test_scratch" / ("asm_" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline void WriteText(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// One assembly of a source text written to <scratch>/<file>.
struct Assembly {
  std::unique_ptr<AsmContext> Context = std::make_unique<AsmContext>();
  AsmRunResult Result;
  std::filesystem::path Dir;
  std::filesystem::path Source;

  AsmContext& C() { return *Context; }

  std::vector<uint16_t> Codes() const {
    std::vector<uint16_t> codes;
    for (const auto& e : Context->ErrorLog) codes.push_back(e.Code);
    return codes;
  }
  bool Has(uint16_t code) const {
    const auto codes = Codes();
    return std::find(codes.begin(), codes.end(), code) != codes.end();
  }
  size_t Count(uint16_t code) const {
    const auto codes = Codes();
    return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
  }
  // The symbol's record; Kind 255 when there is none.
  AsmSymbolRec Symbol(const std::string& name) {
    if (!FindAsmSymbol(C(), name)) return AsmSymbolRec{255, 0, 0, 0, 0, 0, ""};
    return SymbolAt(C(), C().SymbolCursor);
  }
  std::string Output(const std::string& ext) const {
    auto p = Source;
    p.replace_extension(ext);
    return ReadText(p);
  }
};

// Assembles TEXT as file NAME in a scratch directory named after TEST; the
// invocation controls default to no listing and no object unless given.
inline Assembly Assemble(const std::string& test, const std::string& text,
                         const std::string& controls = "", const std::string& name = "t.a51") {
  Assembly a;
  a.Dir = ScratchDir(test);
  a.Source = a.Dir / name;
  WriteText(a.Source, text);
  a.Result = AssembleFileWithControls(a.C(), a.Source.string(), controls);
  return a;
}

// COUNT bytes of a HEX file's image from ADDRESS on (0 where no record puts one).
inline std::vector<uint8_t> HexBytesAt(const std::string& hex, uint16_t address, size_t count) {
  std::vector<int> image(65536, -1);
  std::istringstream in(hex);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 11 || line[0] != ':') continue;
    const int n = std::stoi(line.substr(1, 2), nullptr, 16);
    const int addr = std::stoi(line.substr(3, 4), nullptr, 16);
    if (line.substr(7, 2) != "00") continue;
    for (int i = 0; i < n; ++i)
      image[(addr + i) & 0xFFFF] = std::stoi(line.substr(9 + 2 * i, 2), nullptr, 16);
  }
  std::vector<uint8_t> out;
  for (size_t i = 0; i < count; ++i) {
    const int v = image[(address + i) & 0xFFFF];
    out.push_back(v < 0 ? 0 : static_cast<uint8_t>(v));
  }
  return out;
}

}  // namespace dorvik::as::testing
