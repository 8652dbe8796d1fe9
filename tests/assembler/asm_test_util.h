#pragma once
// Helpers of the assembler's tests: scratch folders, runs of the assembler on
// a source text or file, and its outputs read back (HEX into memory).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/asmsymbols.h"
#include "assembler/context.h"
#include "assembler/driver.h"
#include "platform/clock.h"

namespace dorvik::as::testutil {

namespace fs = std::filesystem;

inline constexpr const char* kQuiet = "NOPRINT NOOBJECT";

// A fresh folder in the build tree, keyed by the running test and NAME, so that
// parallel test programs and build folders never share one. The name is short:
// a control's file name parameter holds at most 82 characters.
inline fs::path ScratchDir(const std::string& name) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string key = std::string(info ? info->test_suite_name() : "") + "." + (info ? info->name() : "") + "." + name;
  char tag[24];
  std::snprintf(tag, sizeof tag, "%016zx", std::hash<std::string>{}(key));
  const fs::path dir = fs::path(DORVIK_BIN_DIR).parent_path() / "test_scratch" / tag;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Intel HEX text into an address -> byte map; every record's checksum and the
// end record are checked.
inline std::map<uint32_t, uint8_t> HexToMemory(const std::string& text, bool* endSeen = nullptr) {
  std::map<uint32_t, uint8_t> memory;
  if (endSeen) *endSeen = false;
  for (const std::string& line : SplitLines(text)) {
    if (line.empty()) continue;
    EXPECT_EQ(line[0], ':') << line;
    if (line.size() < 11 || line[0] != ':') continue;
    std::vector<uint8_t> bytes;
    for (size_t i = 1; i + 1 < line.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoul(line.substr(i, 2), nullptr, 16)));
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    EXPECT_EQ(sum, 0) << "checksum of " << line;
    const size_t count = bytes[0];
    EXPECT_EQ(bytes.size(), count + 5) << line;
    if (bytes.size() != count + 5) continue;
    const uint32_t address = (bytes[1] << 8) | bytes[2];
    if (bytes[3] == 1) {
      if (endSeen) *endSeen = true;
      continue;
    }
    for (size_t i = 0; i < count; ++i) memory[address + i] = bytes[4 + i];
  }
  return memory;
}

// Up to COUNT bytes from ADDRESS on; stops at the first address no record fills.
inline std::vector<uint8_t> BytesAt(const std::map<uint32_t, uint8_t>& memory, uint32_t address, size_t count) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < count; ++i) {
    auto it = memory.find(address + static_cast<uint32_t>(i));
    if (it == memory.end()) break;
    bytes.push_back(it->second);
  }
  return bytes;
}

// An object record: its type and content (without the checksum).
struct ObjRecord {
  uint8_t Type;
  std::vector<uint8_t> Content;
};

// Splits an object file into records; every frame must be whole and sum to zero.
inline std::vector<ObjRecord> ObjRecords(const std::string& bytes) {
  std::vector<ObjRecord> records;
  const auto at = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  for (size_t pos = 0; pos < bytes.size();) {
    const size_t length = pos + 3 <= bytes.size() ? at(pos + 1) | (at(pos + 2) << 8) : 0;
    if (length == 0 || pos + 3 + length > bytes.size()) {
      ADD_FAILURE() << "truncated record at " << pos;
      break;
    }
    uint8_t sum = 0;
    for (size_t i = pos; i < pos + 3 + length; ++i) sum = static_cast<uint8_t>(sum + at(i));
    EXPECT_EQ(sum, 0) << "record at " << pos;
    records.push_back({at(pos), std::vector<uint8_t>(bytes.begin() + pos + 3, bytes.begin() + pos + 2 + length)});
    pos += 3 + length;
  }
  return records;
}

// Appends a symbol record to the symbol area (before its end mark), as the
// statement processor leaves it; used to set up the output writers.
inline void AppendSymbol(AsmContext& c, const std::string& name, uint8_t kind, uint32_t value, uint8_t segment = 0,
                         uint8_t scope = kScopeLocal, uint8_t reloc = 0) {
  if (!c.sym.SymbolArea.empty() && c.sym.SymbolArea.back() == kind::kEndMark) c.sym.SymbolArea.pop_back();
  c.sym.SymbolArea.insert(c.sym.SymbolArea.end(),
                          {kind, 1, static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                           static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24), reloc,
                           segment, scope, static_cast<uint8_t>(name.size())});
  c.sym.SymbolArea.insert(c.sym.SymbolArea.end(), name.begin(), name.end());
  c.sym.SymbolArea.push_back(kind::kEndMark);
  if (name.size() > c.sym.LongestName) c.sym.LongestName = static_cast<uint8_t>(name.size());
}

// One assembly run with its own context.
struct Assembly {
  std::unique_ptr<AsmContext> Context = std::make_unique<AsmContext>();
  AsmRunResult Result;
  fs::path Dir;
  fs::path Source;

  AsmContext& C() const { return *Context; }
  const std::string& Status() const { return Context->StatusText; }
  std::vector<uint16_t> Codes() const {
    std::vector<uint16_t> codes;
    for (const auto& e : Context->ErrorLog) codes.push_back(e.Code);
    return codes;
  }
  size_t Count(uint16_t code) const {
    const auto codes = Codes();
    return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
  }
  bool Has(uint16_t code) const { return Count(code) > 0; }
  // The symbol's record; Kind 255 when there is none.
  AsmSymbolRec Symbol(const std::string& name) const {
    if (!FindAsmSymbol(C(), name)) return AsmSymbolRec{255, 0, 0, 0, 0, 0, ""};
    return SymbolAt(C(), C().sym.SymbolCursor);
  }
  std::string Output(const std::string& ext) const { return ReadFile(fs::path(Source).replace_extension(ext)); }
  std::vector<uint8_t> Bytes(uint32_t address, size_t count) const {
    return BytesAt(HexToMemory(Output(".hex")), address, count);
  }
};

// Assembles the file SOURCE with the invocation CONTROLS, as diz52 does.
inline Assembly AssembleAt(const fs::path& source, const std::string& controls) {
  Assembly a;
  a.Source = source;
  a.Dir = source.parent_path();
  a.Result = AssembleFileWithControls(a.C(), source.string(), controls);
  return a;
}

// Assembles TEXT written as file NAME into a scratch folder of its own.
inline Assembly Assemble(const std::string& text, const std::string& controls = kQuiet,
                         const std::string& name = "t.a51") {
  static int runs = 0;
  const fs::path dir = ScratchDir("run" + std::to_string(runs++));
  WriteFile(dir / name, text);
  return AssembleAt(dir / name, controls);
}

// A clock that moves Step ms each time it is read (drives the progress echo).
class SteppingClock : public platform::FakeClock {
 public:
  uint32_t TickCount() override {
    Advance(Step);
    return FakeClock::TickCount();
  }
  uint32_t Step = 100;
};

}  // namespace dorvik::as::testutil
