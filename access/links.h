#pragma once
// The link operations the target backends call for the monitor board and the
// ADuC chip. No serial line is opened by this program yet, so every operation
// sees a closed line: it reports "Target device is not responding" and fails
// at once, without waiting.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dorvik {

// Either link: one byte on the line as it stands (the break byte of Esc);
// nothing while no line is open.
void LinkSendByte(uint8_t byte);

// Monitor board
bool MonitorReadBlock(uint8_t space, int32_t addr, int32_t count);
bool MonitorReadTyped(uint8_t space, int32_t addr, uint8_t typeToken, int32_t count);
bool MonitorSendString(std::string_view text);
bool MonitorWaitPrompt();
// The value of a register keyword, or false.
bool MonitorQueryRegister(uint8_t regToken, int32_t& value);
bool MonitorSetRegister(uint8_t regToken, int32_t value);
// "GO FROM", From, and the stop clause; true when the monitor answers "EXECUTION BEGUN".
bool MonitorGo(uint16_t from, std::string_view till);
// Stops the program ('U', then ESC) and waits for the prompt.
bool MonitorHalt();
// The single-step command "S"; Line: the monitor's line of the instruction.
bool MonitorSingleStep(std::string& line);
// "RES CH": the monitor restarts; Banner: its banner line (from "OVIX-5" on)
// and the line that follows it, as received.
bool MonitorReset(std::string& banner);
// The register list command and the monitor's two reply lines.
bool MonitorRegisterList(std::string& first, std::string& second);

// ADuC chip
bool AdiReadBlock(uint8_t space, int32_t addr, int32_t count);
bool AdiReadTyped(uint8_t space, int32_t addr, uint8_t typeToken, int32_t count);
bool AdiWriteCodeByte(uint16_t addr, uint8_t value);
// Code bytes within one 64-byte page of code memory.
bool AdiWriteCodePage(uint16_t addr, std::span<const uint8_t> bytes);
// External-data bytes: the data pointer set to Addr, the bytes, the transfer closed.
bool AdiWriteXData(uint32_t addr, std::span<const uint8_t> bytes);
// One byte of internal data, an SFR or EEPROM.
bool AdiWriteByte(uint8_t space, int32_t addr, uint8_t value);
// The go command 'S' from From.
bool AdiGo(uint16_t from);
// Stops the program ('R' with 'Q') and reads the register shadows;
// TargetReset: the chip answered 07H, it reset itself instead.
bool AdiHalt(bool& targetReset);
// One instruction at At ('J') and the chip's break report.
bool AdiStep(uint16_t at);
// The reset command 'Z'.
bool AdiReset();

}  // namespace dorvik
