#pragma once
// Shared by the command-language and disassembly tests: a clean start of every
// module the scanner, evaluator, line parser and renderer touch, a fake target
// with flat memories and a small processor.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "lang/collections.h"
#include "lang/cpucompiler.h"
#include "lang/cpudb.h"
#include "access/disasline.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "access/lineparser.h"
#include "access/linerender.h"
#include "access/linkstate.h"
#include "base/messages.h"
#include "machine/opcodes.h"
#include "base/runstate.h"
#include "lang/scanner.h"
#include "lang/symbols.h"
#include "lang/target_access.h"
#include "platform/reporter.h"
#include "base/mainform.h"
#include "base/session.h"

namespace dorvik::testing {

// Flat memories by space; multi-byte values are big-endian, as the 8051
// compilers store them. A bit space byte holds one bit (0 or 1).
class FakeTarget final : public TargetAccess {
 public:
  std::map<uint8_t, int32_t> Registers;
  std::array<std::vector<uint8_t>, 8> Memory;
  struct TypedRead {
    uint8_t Space, Type;
    int32_t Start, Length;
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
    for (int32_t i = 0; i < e.RangeLength; ++i, addr += size) {
      uint32_t v = 0;
      for (int k = 0; k < size; ++k) v = v << 8 | Byte(space, addr + k);
      AppendValue(typeToken, v);
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

// Lines of the examples written with "_" for each blank.
inline std::string Blanks(std::string s) {
  for (char& c : s)
    if (c == '_') c = ' ';
  return s;
}

class LangTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    platform::SetReporter(&reporter_);
    previous_target_ = SetTargetAccess(&target_);
  }
  void TearDown() override {
    SetTargetAccess(previous_target_);
    platform::SetReporter(nullptr);
  }

  // Selects processor "51" defined by LINES (by default a few predefined names).
  void SelectSmallCpu(const std::vector<std::string>& lines = {"sfr ACC = 0xE0;", "sfr PSW = 0xD0;",
                                                               "sfr SCON = 0x98;", "sbit TI = SCON^1;",
                                                               "sbit PS = PSW^4;"}) {
    const auto record = CompileCpuRecord("51", lines, "test.def");
    ASSERT_TRUE(record.has_value());
    SetCpuDatabase(*record, "test.qpf");
    ASSERT_TRUE(SelectCpu("51"));
  }

  tSymbolItem& AddSymbol(const char* name, uint8_t cls, uint32_t value, int32_t number = 0) {
    if (!Collections().SymbolTable) CreateSymbolCollections();
    tSymbolItem& s = Collections().SymbolTable->Add();
    s.Name = name;
    s.SymClass = cls;
    s.Value = value;
    s.Number = number;
    return s;
  }

  // Scans a line prepared as the console does (normalized, with its CR).
  void Line(std::string_view text) { SetScanLine(std::string(text) + "\r", true); }

  // A statement typed for the line assembler, parsed into Parsed().
  const ParsedInstruction& ParseStatement(std::string_view text) {
    Messages().ErrorFlag = false;
    dorvik::Run().AsmLineMode = true;
    SetScanLine(std::string(text) + "\r", false);
    GetToken();
    if (!Messages().ErrorFlag) ParseInstruction();
    return Parsed();
  }

  int LastError() const { return Messages().ErrorFlag ? Messages().LastErrorCode : 0; }
  size_t BoxesShown() const { return reporter_.Shown().size(); }

  platform::ScriptedReporter reporter_;
  FakeTarget target_;
  TargetAccess* previous_target_ = nullptr;
};

}  // namespace dorvik::testing
