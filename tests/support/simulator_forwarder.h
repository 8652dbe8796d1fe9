#pragma once
// A test backend that hands everything a backend must answer to the
// simulator's own backend; tests derive from it and override what they watch.

#include <string>
#include <string_view>

#include "access/backend.h"

namespace dorvik::testing {

class SimulatorForwarder : public TargetBackend {
 public:
  TargetCapabilities Capabilities() const override { return Sim().Capabilities(); }
  bool ReadBlock(uint8_t space, int32_t addr, int32_t count) override { return Sim().ReadBlock(space, addr, count); }
  void WriteCodeByte(uint16_t addr, std::string_view text) override { Sim().WriteCodeByte(addr, text); }
  void GetRegisters(tRegisterFrame& frame) override { Sim().GetRegisters(frame); }
  RegisterRead ReadRegister(uint8_t reg, int32_t& value) override { return Sim().ReadRegister(reg, value); }
  void SetRegister(uint8_t reg, int32_t value) override { Sim().SetRegister(reg, value); }
  bool Go(uint16_t from, std::string_view till) override { return Sim().Go(from, till); }
  HaltResult Halt() override { return Sim().Halt(); }
  StepResult Step(uint16_t at, std::string& text) override { return Sim().Step(at, text); }
  bool Reset() override { return Sim().Reset(); }
  bool PlantBreak(uint8_t index, uint16_t address) override { return Sim().PlantBreak(index, address); }
  bool LiftBreak(uint8_t index, uint16_t address) override { return Sim().LiftBreak(index, address); }

 protected:
  static TargetBackend& Sim() { return SimulatorBackendInstance(); }
};

}  // namespace dorvik::testing
