#pragma once
// No target: reads leave the buffers as they are, writes and runs do
// nothing, and every operation succeeds.

#include "access/backend.h"

namespace dorvik {

class NoTargetBackend final : public TargetBackend {
 public:
  TargetCapabilities Capabilities() const override;

  bool ReadBlock(uint8_t space, int32_t addr, int32_t count) override;
  bool ReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out) override;
  bool ReadTypedBlock(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) override;
  void WriteCodeByte(uint16_t addr, std::string_view valueText) override;

  void GetRegisters(tRegisterFrame& frame) override;
  RegisterRead ReadRegister(uint8_t regToken, int32_t& value) override;
  void SetRegister(uint8_t regToken, int32_t value) override;

  bool Go(uint16_t from, std::string_view till) override;
  HaltResult Halt() override;
  StepResult Step(uint16_t at, std::string& text) override;
  bool Reset() override;
  bool PlantBreak(uint8_t index, uint16_t address) override;
  bool LiftBreak(uint8_t index, uint16_t address) override;
};

}  // namespace dorvik
