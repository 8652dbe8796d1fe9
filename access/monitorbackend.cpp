// The monitor program on a board as a debug target, reached through the
// monitor link (access/links.h). The monitor runs the program itself and keeps
// two break registers, BR0 and BR1.

#include "access/backend.h"

#include <cassert>

#include "access/links.h"
#include "lang/formatting.h"
#include "lang/keywords.h"

namespace dorvik {

namespace {

class MonitorBackend final : public TargetBackend {
 public:
  TargetCapabilities Capabilities() const override {
    return {.HasTarget = true, .LocalImages = false, .WritesValues = false, .RunsProgramItself = true,
            .BreakRegisters = true, .LastBreakIndex = 1};
  }

  // Memory

  bool ReadBlock(uint8_t space, int32_t addr, int32_t count) override {
    return MonitorReadBlock(space, addr, count);
  }

  bool ReadTypedBlock(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) override {
    return MonitorReadTyped(space, addr, typeToken, count);
  }

  // The monitor takes the whole text: "CB", the address, "=" and the bytes.
  void WriteCodeByte(uint16_t addr, std::string_view valueText) override {
    std::string command = "CB " + FormatHex4(addr);
    command += '=';
    command += valueText;
    command += '\r';
    if (MonitorSendString(command)) MonitorWaitPrompt();
  }

  // Registers: the halt reply fills the views; single registers are asked by keyword.

  void GetRegisters(tRegisterFrame&) override {}

  RegisterRead ReadRegister(uint8_t regToken, int32_t& value) override {
    return MonitorQueryRegister(regToken, value) ? RegisterRead::Value : RegisterRead::Failed;
  }

  void SetRegister(uint8_t regToken, int32_t value) override { MonitorSetRegister(regToken, value); }

  // Run control: the monitor runs the program and stops at BR0/BR1 itself.

  bool Go(uint16_t from, std::string_view till) override { return MonitorGo(from, till); }

  HaltResult Halt() override { return MonitorHalt() ? HaltResult::Halted : HaltResult::Failed; }

  StepResult Step(uint16_t, std::string& text) override {
    return MonitorSingleStep(text) ? StepResult::Executed : StepResult::Error;
  }

  bool Reset() override { return MonitorReset(); }

  bool PlantBreak(uint8_t index, uint16_t address) override {
    assert(index <= 1 && "the monitor has two break registers");
    return MonitorSetRegister(static_cast<uint8_t>(tok::kBR0 + index), address);
  }

  // The monitor takes its 3-byte break patches out itself when the program stops.
  bool LiftBreak(uint8_t, uint16_t) override { return true; }
};

}  // namespace

TargetBackend& MonitorBackendInstance() {
  static MonitorBackend backend;
  return backend;
}

}  // namespace dorvik
