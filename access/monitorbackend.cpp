#include "access/monitorbackend.h"

#include <cassert>

#include "access/links.h"
#include "lang/formatting.h"
#include "lang/keywords.h"

namespace dorvik {

TargetCapabilities MonitorBackend::Capabilities() const {
  return {.HasTarget = true, .LocalImages = false, .WritesValues = false, .RunsProgramItself = true,
          .BreakRegisters = true, .LastBreakIndex = 1};
}

// Memory

bool MonitorBackend::ReadBlock(uint8_t space, int32_t addr, int32_t count) {
  return MonitorReadBlock(space, addr, count);
}

bool MonitorBackend::ReadTypedBlock(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) {
  return MonitorReadTyped(space, addr, typeToken, count);
}

// The monitor takes the whole text: "CB", the address, "=" and the bytes.
void MonitorBackend::WriteCodeByte(uint16_t addr, std::string_view valueText) {
  std::string command = "CB " + FormatHex4(addr);
  command += '=';
  command += valueText;
  command += '\r';
  if (MonitorSendString(command)) MonitorWaitPrompt();
}

// Registers: the halt reply fills the views; single registers are asked by keyword.

void MonitorBackend::GetRegisters(tRegisterFrame&) {}

RegisterRead MonitorBackend::ReadRegister(uint8_t regToken, int32_t& value) {
  return MonitorQueryRegister(regToken, value) ? RegisterRead::Value : RegisterRead::Failed;
}

void MonitorBackend::SetRegister(uint8_t regToken, int32_t value) { MonitorSetRegister(regToken, value); }

// Run control: the monitor runs the program and stops at BR0/BR1 itself.

bool MonitorBackend::Go(uint16_t from, std::string_view till) { return MonitorGo(from, till); }

HaltResult MonitorBackend::Halt() { return MonitorHalt() ? HaltResult::Halted : HaltResult::Failed; }

StepResult MonitorBackend::Step(uint16_t, std::string& text) {
  return MonitorSingleStep(text) ? StepResult::Executed : StepResult::Error;
}

bool MonitorBackend::Reset() { return MonitorReset(); }

bool MonitorBackend::PlantBreak(uint8_t index, uint16_t address) {
  assert(index <= 1 && "the monitor has two break registers");
  return MonitorSetRegister(static_cast<uint8_t>(tok::kBR0 + index), address);
}

// The monitor takes its 3-byte break patches out itself when the program stops.
bool MonitorBackend::LiftBreak(uint8_t, uint16_t) { return true; }

}  // namespace dorvik
