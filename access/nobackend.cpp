// No target: reads leave the buffers as they are, writes and runs do
// nothing, and every operation succeeds.

#include "access/backend.h"

namespace dorvik {

namespace {

class NoTargetBackend final : public TargetBackend {
 public:
  TargetCapabilities Capabilities() const override { return {.HasTarget = false, .ReadChunk = 0}; }

  bool ReadBlock(uint8_t, int32_t, int32_t) override { return true; }
  bool ReadBytes(uint8_t, int32_t, std::span<uint8_t>) override { return true; }
  bool ReadTypedBlock(uint8_t, int32_t&, uint8_t, int32_t) override { return true; }
  void WriteCodeByte(uint16_t, std::string_view) override {}

  void GetRegisters(tRegisterFrame&) override {}
  RegisterRead ReadRegister(uint8_t, int32_t&) override { return RegisterRead::Unknown; }
  void SetRegister(uint8_t, int32_t) override {}

  bool Go(uint16_t, std::string_view) override { return true; }
  HaltResult Halt() override { return HaltResult::Halted; }
  StepResult Step(uint16_t, std::string& text) override {
    text.clear();
    return StepResult::Executed;
  }
  bool Reset() override { return true; }
  bool PlantBreak(uint8_t, uint16_t) override { return true; }
  bool LiftBreak(uint8_t, uint16_t) override { return true; }
};

}  // namespace

TargetBackend& NoTargetBackendInstance() {
  static NoTargetBackend backend;
  return backend;
}

}  // namespace dorvik
