#include "access/nobackend.h"

namespace dorvik {

TargetCapabilities NoTargetBackend::Capabilities() const { return {.HasTarget = false}; }

bool NoTargetBackend::ReadBlock(uint8_t, int32_t, int32_t) { return true; }
bool NoTargetBackend::ReadBytes(uint8_t, int32_t, std::span<uint8_t>) { return true; }
bool NoTargetBackend::ReadTypedBlock(uint8_t, int32_t&, uint8_t, int32_t) { return true; }
void NoTargetBackend::WriteCodeByte(uint16_t, std::string_view) {}

void NoTargetBackend::GetRegisters(tRegisterFrame&) {}
RegisterRead NoTargetBackend::ReadRegister(uint8_t, int32_t&) { return RegisterRead::Unknown; }
void NoTargetBackend::SetRegister(uint8_t, int32_t) {}

bool NoTargetBackend::Go(uint16_t, std::string_view) { return true; }
HaltResult NoTargetBackend::Halt() { return HaltResult::Halted; }
StepResult NoTargetBackend::Step(uint16_t, std::string& text) {
  text.clear();
  return StepResult::Executed;
}
bool NoTargetBackend::Reset() { return true; }
bool NoTargetBackend::PlantBreak(uint8_t, uint16_t) { return true; }
bool NoTargetBackend::LiftBreak(uint8_t, uint16_t) { return true; }

}  // namespace dorvik
