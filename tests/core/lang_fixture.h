#pragma once
// Shared by the command-language tests: a clean start of every module the
// scanner and the evaluator touch, a fake target with flat memories, and a
// small processor database.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/collections.h"
#include "core/cpudb.h"
#include "core/evaluator.h"
#include "core/formatting.h"
#include "core/linkstate.h"
#include "core/messages.h"
#include "core/runstate.h"
#include "core/scanner.h"
#include "core/symbols.h"
#include "core/target_access.h"
#include "platform/reporter.h"
#include "workbench/mainform.h"

namespace dorvik::testing {

// Flat memories by space; multi-byte values are big-endian, as the 8051
// compilers store them. A bit space byte holds one bit (0 or 1).
class FakeTarget final : public TargetAccess {
 public:
  std::map<uint8_t, int32_t> Registers;
  std::array<std::vector<uint8_t>, 8> Memory;
  struct TypedRead {
    uint8_t Space;
    uint8_t Type;
    int32_t Start;
    int32_t Length;
  };
  std::vector<TypedRead> TypedReads;
  std::vector<std::string> SymbolReads;

  FakeTarget() {
    for (auto& m : Memory) m.assign(0x10000, 0);
  }

  int32_t RegisterValue(uint8_t regToken) override { return Registers[regToken]; }

  uint8_t ReadByte(uint8_t space, uint32_t addr) override {
    const uint8_t b = Memory[space & 7][addr & 0xFFFF];
    AppendValue((space & 7) == 4 ? tok::kBIT : tok::kBYTE, b);
    return b;
  }

  void ReadTypedRange(uint8_t space, uint8_t typeToken) override {
    EvaluatorState& e = Evaluator();
    TypedReads.push_back({space, typeToken, e.RangeStart, e.RangeLength});
    ValueList().Items.clear();
    const int size = ElementSize(typeToken);
    uint32_t addr = static_cast<uint32_t>(e.RangeStart);
    for (int32_t i = 0; i < e.RangeLength; ++i) {
      uint32_t v = 0;
      if (typeToken == tok::kPOINTER) {
        v = Byte(space, addr) | Byte(space, addr + 1) << 8 | Byte(space, addr + 2) << 16;
      } else {
        for (int k = 0; k < size; ++k) v = v << 8 | Byte(space, addr + k);
      }
      AppendValue(typeToken, v);
      addr += size;
    }
  }

  void ReadSymbolValue(const tSymbolItem& symbol) override {
    SymbolReads.push_back(symbol.Name);
    ValueList().Items.clear();
    AppendValue(tok::kBYTE, Byte(symbol.SymClass & 7, symbol.Value));
  }

 private:
  uint32_t Byte(uint8_t space, uint32_t addr) { return Memory[space & 7][addr & 0xFFFF]; }
};

// One processor record "51" with a few predefined names.
inline std::vector<uint8_t> SmallCpuDatabase() {
  std::vector<uint8_t> db;
  auto name = [&](std::string_view n) {
    db.push_back(static_cast<uint8_t>(n.size()));
    db.insert(db.end(), n.begin(), n.end());
  };
  auto entry = [&](uint8_t kind, uint16_t value, std::string_view n) {
    db.push_back(kind);
    db.push_back(static_cast<uint8_t>(value & 0xFF));
    db.push_back(static_cast<uint8_t>(value >> 8));
    name(n);
  };
  name("51");
  entry(kCpuKindSfr, 0xE0, "ACC");
  entry(kCpuKindSfr, 0x90, "P1");
  entry(kCpuKindSfr, 0xD0, "PSW");
  entry(kCpuKindSbit, 0x99, "TI");
  entry(kCpuKindSbit, 0xD4, "PS");
  db.push_back(kCpuRecordEnd);
  return db;
}

class LangTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMessages();
    ResetScanner();
    ResetEvaluator();
    ResetFormatting();
    ResetRunState();
    ResetLinkState();
    ResetCollections();
    ResetSymbolLookup();
    ResetCpuDb();
    ResetMainForm();
    platform::SetReporter(&reporter_);
    previous_target_ = SetTargetAccess(&target_);
  }
  void TearDown() override {
    SetTargetAccess(previous_target_);
    platform::SetReporter(nullptr);
  }

  void SelectSmallCpu() {
    SetCpuDatabase(SmallCpuDatabase(), "test.qpf");
    ASSERT_TRUE(SelectCpu("51"));
  }

  // Scans a line prepared as the console does (normalized, with its CR).
  void Line(std::string_view text) { SetScanLine(std::string(text) + "\r", true); }

  // Every token of the line up to the end of line or an error.
  std::vector<int> Tokens(std::string_view text) {
    Line(text);
    std::vector<int> tokens;
    for (int i = 0; i < 64; ++i) {
      const uint8_t t = GetToken();
      tokens.push_back(t);
      if (t == tok::kEndOfLine || t == tok::kNone) break;
    }
    return tokens;
  }

  // Evaluates a whole line as one expression ended by the end of line.
  long double Eval(std::string_view text) {
    Messages().ErrorFlag = false;
    Line(text);
    return Expression(tok::kEndOfLine);
  }

  int LastError() const { return Messages().ErrorFlag ? Messages().LastErrorCode : 0; }
  size_t BoxesShown() const { return reporter_.Shown().size(); }

  platform::ScriptedReporter reporter_;
  FakeTarget target_;
  TargetAccess* previous_target_ = nullptr;
};

}  // namespace dorvik::testing
