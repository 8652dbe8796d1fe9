// The target functions keep what is alike for every kind; the monitor and
// ADuC see a closed line; the simulator's run control is the machine's.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "access/backend.h"
#include "lang/cpudb.h"
#include "lang/keywords.h"
#include "machine/opcodes.h"
#include "tests/support/sim_fixture.h"

namespace dorvik {
namespace {

struct Call {
  std::string Op;
  std::vector<int32_t> Args;
  bool operator==(const Call&) const = default;
};
void PrintTo(const Call& c, std::ostream* os) {
  *os << c.Op;
  for (int32_t a : c.Args) *os << ' ' << std::hex << a;
}
using Calls = std::vector<Call>;

// A target with flat memories (spaces 0-3) that records what the layer asks of it.
class FakeBackend final : public TargetBackend {
 public:
  TargetCapabilities Caps{.HasTarget = true, .WritesValues = true};
  Calls Seen;
  std::array<std::vector<uint8_t>, 4> Memory{std::vector<uint8_t>(0x10000), std::vector<uint8_t>(0x10000),
                                             std::vector<uint8_t>(0x100), std::vector<uint8_t>(0x100)};

  TargetCapabilities Capabilities() const override { return Caps; }
  bool ReadBlock(uint8_t space, int32_t addr, int32_t count) override {
    Seen.push_back({"ReadBlock", {space, addr, count}});
    for (int32_t i = 0; i < count; ++i) Link().RxBuffer[static_cast<size_t>(i) + 1] = Byte(space, addr + i);
    return true;
  }
  void WriteByte(uint8_t space, int32_t addr, uint8_t value, bool) override {
    Seen.push_back({"WriteByte", {space, addr, value}});
    Byte(space, addr) = value;
  }
  void WriteCodeByte(uint16_t addr, std::string_view) override { Seen.push_back({"WriteCodeByte", {addr}}); }
  void GetRegisters(tRegisterFrame&) override { Seen.push_back({"GetRegisters", {}}); }
  RegisterRead ReadRegister(uint8_t token, int32_t& value) override {
    Seen.push_back({"ReadRegister", {token}});
    return ReadCommonRegister(token, value);
  }
  void SetRegister(uint8_t token, int32_t value) override { Seen.push_back({"SetRegister", {token, value}}); }
  bool Go(uint16_t from, std::string_view) override { return Record("Go", from, true); }
  HaltResult Halt() override { return Record("Halt", 0, HaltResult::Halted); }
  StepResult Step(uint16_t at, std::string&) override { return Record("Step", at, StepResult::Executed); }
  bool Reset() override { return Record("Reset", 0, true); }
  bool PlantBreak(uint8_t, uint16_t address) override { return Record("PlantBreak", address, true); }
  bool LiftBreak(uint8_t, uint16_t address) override { return Record("LiftBreak", address, true); }

  uint8_t& Byte(uint8_t space, int32_t addr) {
    auto& m = Memory[space & 3];
    return m[static_cast<size_t>(addr) % m.size()];
  }

 private:
  template <class R>
  R Record(const char* op, int32_t arg, R result) {
    Seen.push_back({op, {arg}});
    return result;
  }
};

class BackendTest : public testing::SimFixture {
 protected:
  // Installs the fake for the monitor kind; its own backend comes back afterwards.
  FakeBackend& InstallFake() {
    SetBackendForTesting(kTargetMonitor, &fake_);
    dorvik::Run().TargetKind = kTargetMonitor;
    return fake_;
  }
  void TearDown() override {
    SetBackendForTesting(kTargetMonitor, nullptr);
    SimFixture::TearDown();
  }
  FakeBackend fake_;
};

TEST_F(BackendTest, BitsPairsAndTimer2AreTheLayersForEveryKind) {
  FakeBackend& fake = InstallFake();
  fake.Byte(kSpaceIData, 0x21) = 0x08;
  fake.Byte(kSpaceDirect, 0xE0) = 0x12;
  fake.Byte(kSpaceDirect, 0xF0) = 0x34;
  fake.Byte(kSpaceDirect, 0x8C) = 0x56;
  fake.Byte(kSpaceDirect, 0x8A) = 0x78;
  struct Row {
    const char* Name;
    std::function<int32_t()> Run;
    int32_t Want;
    Calls WantCalls;
    int32_t WantError = 0;
  };
  const Row rows[] = {
      {"bit 0BH is bit 3 of byte 21H", [] { return TargetReadByte(kSpaceBit, 0x0B); }, 1,
       {{"ReadBlock", {kSpaceIData, 0x21, 1}}}},
      {"bit 0AH is clear", [] { return TargetReadByte(kSpaceBit, 0x0A); }, 0, {{"ReadBlock", {kSpaceIData, 0x21, 1}}}},
      {"bit E3H is bit 3 of SFR E0H", [] { return TargetReadByte(kSpaceBit, 0xE3); }, 0,
       {{"ReadBlock", {kSpaceDirect, 0xE0, 1}}}},
      {"direct 7FH is internal RAM", [] { return TargetReadByte(kSpaceDirect, 0x7F); }, 0,
       {{"ReadBlock", {kSpaceIData, 0x7F, 1}}}},
      {"direct 80H is an SFR", [] { return TargetReadByte(kSpaceDirect, 0x80); }, 0,
       {{"ReadBlock", {kSpaceDirect, 0x80, 1}}}},
      {"a direct write to 7FH goes to internal RAM", [] { TargetWriteValue(kSpaceDirect, 0x7F, 5, 1); return 0; }, 0,
       {{"WriteByte", {kSpaceIData, 0x7F, 5}}}},
      {"a direct write to 80H goes to the SFR", [] { TargetWriteValue(kSpaceDirect, 0x80, 6, 1); return 0; }, 0,
       {{"WriteByte", {kSpaceDirect, 0x80, 6}}}},
      {"bit 00H is bit 0 of byte 20H", [] { return TargetReadByte(kSpaceBit, 0x00); }, 0,
       {{"ReadBlock", {kSpaceIData, 0x20, 1}}}},
      {"bit 7FH is bit 7 of byte 2FH", [] { return TargetReadByte(kSpaceBit, 0x7F); }, 0,
       {{"ReadBlock", {kSpaceIData, 0x2F, 1}}}},
      {"bit 80H is bit 0 of SFR 80H", [] { return TargetReadByte(kSpaceBit, 0x80); }, 0,
       {{"ReadBlock", {kSpaceDirect, 0x80, 1}}}},
      {"bit 8CH is bit 4 of SFR 88H", [] { return TargetReadByte(kSpaceBit, 0x8C); }, 0,
       {{"ReadBlock", {kSpaceDirect, 0x88, 1}}}},
      {"bit FFH is bit 7 of SFR F8H", [] { return TargetReadByte(kSpaceBit, 0xFF); }, 0,
       {{"ReadBlock", {kSpaceDirect, 0xF8, 1}}}},
      {"AB is read as two bytes", [] { return TargetRegisterValue(tok::kAB); }, 0x1234,
       {{"ReadBlock", {kSpaceDirect, 0xE0, 1}}, {"ReadBlock", {kSpaceDirect, 0xF0, 1}}}},
      {"TM0 through the shared pair read", [] { return TargetRegisterValue(tok::kTM0); }, 0x5678,
       {{"ReadRegister", {tok::kTM0}}, {"ReadBlock", {kSpaceDirect, 0x8C, 1}}, {"ReadBlock", {kSpaceDirect, 0x8A, 1}}}},
      {"TM1 is TH1:TL1", [] { return TargetRegisterValue(tok::kTM1); }, 0,
       {{"ReadRegister", {tok::kTM1}}, {"ReadBlock", {kSpaceDirect, 0x8D, 1}}, {"ReadBlock", {kSpaceDirect, 0x8B, 1}}}},
      {"TM1 written as two bytes, high first", [] { return int32_t{TargetSetRegister(tok::kTM1, 0xA1B2)}; }, 1,
       {{"WriteByte", {kSpaceDirect, 0x8D, 0xA1}}, {"WriteByte", {kSpaceDirect, 0x8B, 0xB2}}}},
      {"AB written as ACC and B", [] { return int32_t{TargetSetRegister(tok::kAB, 0x0102)}; }, 1,
       {{"WriteByte", {kSpaceDirect, 0xE0, 0x01}}, {"WriteByte", {kSpaceDirect, 0xF0, 0x02}}}},
      {"a bit write changes its byte", [] { TargetWriteValue(kSpaceBit, 0x0C, 1, 1); return 0; }, 0,
       {{"ReadBlock", {kSpaceIData, 0x21, 1}}, {"WriteByte", {kSpaceIData, 0x21, 0x18}}}},
      {"TM2 is unknown on the 51", [] { return TargetRegisterValue(tok::kTM2); }, 0, {}, err::kSymbolNotKnownForCurrent},
      {"RCAP2 cannot be set on the 51", [] { return int32_t{TargetSetRegister(tok::kRCAP2, 1)}; }, 0, {},
       err::kSymbolNotKnownForCurrent},
  };
  ASSERT_EQ(CpuDb().CpuName, "51");
  for (const Row& r : rows) {
    ResetState<MessageState>();
    fake.Seen.clear();
    EXPECT_EQ(r.Run(), r.Want) << r.Name;
    EXPECT_EQ(fake.Seen, r.WantCalls) << r.Name;
    EXPECT_EQ(Messages().LastErrorCode, r.WantError) << r.Name;
  }
  // The first and the last processor of those without timer 2, and one with it.
  for (const char* cpu : {"51", "44", "51GA", "52"}) {
    CpuDb().CpuName = cpu;
    ResetState<MessageState>();
    TargetRegisterValue(tok::kTM2);
    EXPECT_EQ(Messages().LastErrorCode, std::string_view(cpu) == "52" ? 0 : err::kSymbolNotKnownForCurrent) << cpu;
  }
  CpuDb().CpuName = "51";
  // A target that does not write values is not even read for a bit write.
  fake.Caps.WritesValues = false;
  fake.Seen.clear();
  TargetWriteValue(kSpaceBit, 0x0C, 1, 1);
  EXPECT_TRUE(TargetSetRegister(tok::kTM0, 0x1234));
  EXPECT_EQ(fake.Seen, Calls{});
}

TEST_F(BackendTest, MonitorAndAducSeeAClosedLine) {
  struct Row {
    const char* Name;
    std::function<bool()> Run;  // true when the operation succeeded
  };
  const Row rows[] = {
      {"block read", [] { return TargetReadBlock(kSpaceCode, 0, 4); }},
      {"bytes read",
       [] {
         std::array<uint8_t, 16> out{};
         return TargetReadBytes(kSpaceCode, 0, out);
       }},
      {"typed read",
       [] {
         int32_t addr = 0;
         return TargetReadTypedBlock(kSpaceXData, addr, tok::kWORD, 2);
       }},
      {"go", [] { return CurrentBackend().Go(0, "FOREVER"); }},
      {"halt", [] { return CurrentBackend().Halt() != HaltResult::Failed; }},
      {"step", [] {
         std::string text;
         return CurrentBackend().Step(0, text) != StepResult::Error;
       }},
      {"reset", [] { return CurrentBackend().Reset(); }},
      {"plant a break", [] { return CurrentBackend().PlantBreak(0, 0x100); }},
  };
  for (uint8_t kind : {kTargetMonitor, kTargetAduc}) {
    dorvik::Run().TargetKind = kind;
    for (const Row& r : rows) {
      ResetState<MessageState>();
      EXPECT_FALSE(r.Run()) << r.Name << ", kind " << int(kind);
      EXPECT_EQ(Messages().LastErrorCode, err::kTargetDeviceNotResponding) << r.Name << ", kind " << int(kind);
    }
    ResetState<MessageState>();
    EXPECT_EQ(TargetReadByte(kSpaceXData, 0x10), 0);
    EXPECT_EQ(Messages().LastErrorCode, err::kFramingError) << "a failed byte read is a framing error";
  }
}

TEST_F(BackendTest, SimulatorRunControlIsTheMachines) {
  TargetBackend& sim = CurrentBackend();
  ASSERT_TRUE(sim.Capabilities().LocalImages);
  Code(0x0000, {0x04, 0x04, 0x04});  // INC A three times
  ASSERT_TRUE(sim.PlantBreak(0, 0x0001));
  EXPECT_EQ(T().CodeImage[0x0001], kBreakOpcode);
  EXPECT_TRUE(sim.Go(0x0000, ""));
  std::string text;
  EXPECT_EQ(sim.Step(0x0000, text), StepResult::Executed);
  EXPECT_EQ(sim.Step(static_cast<uint16_t>(T().SimPC), text), StepResult::BreakOpcode);
  ASSERT_TRUE(sim.LiftBreak(0, 0x0001));
  EXPECT_EQ(T().CodeImage[0x0001], 0x04);
  EXPECT_EQ(DisassembleLine(0x0001).rfind("INC", 0), 0u) << "the line is decoded again";
  dorvik::Run().Executing = true;
  EXPECT_EQ(sim.Halt(), HaltResult::Halted);
  EXPECT_FALSE(dorvik::Run().Executing) << "the caller's run loop ends";
  Sfr(0x81) = 0x30;
  EXPECT_TRUE(sim.Reset());
  EXPECT_EQ(Sfr(0x81), 0x07);
  EXPECT_EQ(T().SimPC, 0);
}

}  // namespace
}  // namespace dorvik
