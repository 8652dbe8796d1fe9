#include "access/links.h"

#include "base/messages.h"
#include "base/msgids.h"

namespace dorvik {

namespace {
bool ClosedLine() {
  ReportError(err::kTargetDeviceNotResponding);
  return false;
}
}  // namespace

// No line is ever open yet: a byte has nowhere to go.
bool LinkSendByte(uint8_t) { return false; }
bool LinkSendBytes(std::span<const uint8_t>) { return false; }
bool LinkNextChar() { return ClosedLine(); }
bool LinkAwaitChar(int32_t) { return false; }

bool MonitorReadBlock(uint8_t, int32_t, int32_t) { return ClosedLine(); }
bool MonitorReadTyped(uint8_t, int32_t, uint8_t, int32_t) { return ClosedLine(); }
bool MonitorSendString(std::string_view) { return ClosedLine(); }
bool MonitorWaitPrompt() { return ClosedLine(); }
bool MonitorEscape() { return ClosedLine(); }
bool MonitorSendKeyword(uint8_t) { return ClosedLine(); }
bool MonitorEndCommand() { return ClosedLine(); }
bool MonitorExpect(std::string_view) { return ClosedLine(); }
bool MonitorQueryRegister(uint8_t, int32_t& value) {
  value = 0;
  return ClosedLine();
}
bool MonitorSetRegister(uint8_t, int32_t) { return ClosedLine(); }
bool MonitorGo(uint16_t, std::string_view) { return ClosedLine(); }
bool MonitorHalt() { return ClosedLine(); }
bool MonitorSingleStep(std::string& line) {
  line.clear();
  return ClosedLine();
}
bool MonitorReset(std::string& banner) {
  banner.clear();
  return ClosedLine();
}
bool MonitorRegisterList(std::string& first, std::string& second) {
  first.clear();
  second.clear();
  return ClosedLine();
}

bool AdiReadBlock(uint8_t, int32_t, int32_t) { return ClosedLine(); }
bool AdiReadTyped(uint8_t, int32_t, uint8_t, int32_t) { return ClosedLine(); }
bool AdiWriteCodeByte(uint16_t, uint8_t) { return ClosedLine(); }
bool AdiWriteCodePage(uint16_t, std::span<const uint8_t>) { return ClosedLine(); }
bool AdiWriteXData(uint32_t, std::span<const uint8_t>) { return ClosedLine(); }
bool AdiWriteByte(uint8_t, int32_t, uint8_t) { return ClosedLine(); }
bool AdiGo(uint16_t) { return ClosedLine(); }
bool AdiHalt(bool& targetReset) {
  targetReset = false;
  return ClosedLine();
}
bool AdiStep(uint16_t) { return ClosedLine(); }
bool AdiReset() { return ClosedLine(); }
bool AdiSendPacket(uint8_t, char, std::span<const uint8_t>) { return ClosedLine(); }
bool AdiSetDownloadSpeed(int32_t) { return ClosedLine(); }

}  // namespace dorvik
