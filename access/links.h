#pragma once
// The link operations the target backends and the program transfer call for
// the monitor board and the ADuC chip. No serial line is opened by this program yet, so every operation
// sees a closed line: it reports "Target device is not responding" and fails
// at once, without waiting.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dorvik {

// Either link
// One byte on the line as it stands (the break byte of Esc, a control byte);
// true when it was sent, false while no line is open.
bool LinkSendByte(uint8_t byte);
// Bytes on the line in one piece (a download packet); true when all were sent.
bool LinkSendBytes(std::span<const uint8_t> bytes);
// The receive step: the next received character into LinkChar, RxIndex
// advanced; false (and ErrorFlag set, the failure reported) when none came.
bool LinkNextChar();
// Waits, pumping messages, until a character not yet taken is in the receive
// buffer or TimeoutMs passed; no report. False on the time-out or a closed line.
bool LinkAwaitChar(int32_t timeoutMs);

// Monitor board
bool MonitorReadBlock(uint8_t space, int32_t addr, int32_t count);
bool MonitorReadTyped(uint8_t space, int32_t addr, uint8_t typeToken, int32_t count);
bool MonitorSendString(std::string_view text);
bool MonitorWaitPrompt();
// ESC on the line, then the prompt expected (receive counters cleared first).
bool MonitorEscape();
// The monitor's word of a keyword token, collected into the command line.
bool MonitorSendKeyword(uint8_t token);
// Sends the collected command line with its CR; false when ErrorFlag is set.
bool MonitorEndCommand();
// Reads as many characters as Text has and compares them upper-cased (error 105 when they differ).
bool MonitorExpect(std::string_view text);
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
// A download packet: 07H, Header, the count (data + 1), Command, the data and
// the check byte. Only header 0EH builds one; any other sends nothing.
bool AdiSendPacket(uint8_t header, char command, std::span<const uint8_t> data);
// Switches the chip's download speed (its Timer-3 setting) and the port to Baud.
bool AdiSetDownloadSpeed(int32_t baud);

}  // namespace dorvik
