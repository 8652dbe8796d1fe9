#pragma once
// The link operations the target access layer calls for the monitor board and
// the ADuC chip. No serial line is opened by this program yet, so every
// operation sees a closed line: it reports "Target device is not responding"
// (161) and fails at once, without waiting.

#include <cstdint>
#include <string_view>

namespace dorvik {

inline constexpr int kErrorTargetNotResponding = 161;

// Monitor board
bool MonitorReadBlock(uint8_t space, int32_t addr, int32_t count);
bool MonitorReadTyped(uint8_t space, int32_t addr, uint8_t typeToken, int32_t count);
bool MonitorSendString(std::string_view text);
bool MonitorWaitPrompt();
// The value of a register keyword, or false.
bool MonitorQueryRegister(uint8_t regToken, int32_t& value);
bool MonitorSetRegister(uint8_t regToken, int32_t value);

// ADuC chip
bool AdiReadBlock(uint8_t space, int32_t addr, int32_t count);
bool AdiReadTyped(uint8_t space, int32_t addr, uint8_t typeToken, int32_t count);
bool AdiWriteCodeByte(uint16_t addr, uint8_t value);

}  // namespace dorvik
