#pragma once
// The built-in simulator as a debug target: its memory is the local images
// (machine/images.h) and it runs the program through machine/simulator.h.

#include "access/backend.h"

namespace dorvik {

class SimulatorBackend final : public TargetBackend {
 public:
  TargetCapabilities Capabilities() const override;

  bool ReadBlock(uint8_t space, int32_t addr, int32_t count) override;
  bool ReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out) override;
  void WriteByte(uint8_t space, int32_t addr, uint8_t value, bool single) override;
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
