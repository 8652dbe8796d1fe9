#pragma once
// The monitor board's text link: command lines, replies up to the prompt,
// the monitor's error replies, and its news for the idle handler.

#include <cstdint>
#include <string>
#include <string_view>

#include "access/transport.h"

namespace dorvik {

bool MonitorSendChar(char c);
bool MonitorSendString(std::string_view text);
bool MonitorSendSpace();
// The monitor's word of a keyword token, collected into the command line.
bool MonitorSendKeyword(uint8_t token);
// Two upper-case hex digits, "0" in front when the byte is above 9FH.
bool MonitorSendByte(uint8_t value);
std::string MonitorByteText(uint8_t value);
// Four hex digits, "0" in front when the word is above 9FH (00A0H goes out as 000A0).
bool MonitorSendWord(uint16_t value);
std::string MonitorWordText(uint16_t value);
// The address part of a memory command: space word, start, and " TO " end when
// they differ, or always with NamedEnd (a fill names its range).
bool MonitorSendRange(uint8_t space, int32_t start, int32_t end, bool namedEnd = false);
// Sends the collected command line with its CR; false when ErrorFlag is set.
bool MonitorEndCommand();
// ESC on the line, then the prompt expected (receive counters cleared first).
bool MonitorEscape();
// ESC after a failure that was already reported: no second message, the error stays.
void MonitorEscapeQuietly();
// XON on the line (a monitor whose output was held goes on).
bool MonitorSendXon();
// Reads as many characters as Text has and compares them upper-cased (error 105 when they differ).
bool MonitorExpect(std::string_view text);
bool MonitorExpectPrompt();
// Reads up to the prompt character; an error answer (NAK) reports 107 there.
bool MonitorWaitPrompt();
// Reads until C; a NAK skips the error answer, waits for the prompt and fails.
bool MonitorReadUntil(char c);
// Error 107 while the monitor answered with an error reply: the target's error
// number (into TargetErrorNumber) and its reply text as the message's argument.
void MonitorTakeErrorReply(std::string& arg1);
// Waits for a reply line (300 ms for its first character; XON when none came).
// False when the monitor refused (its error reported) or the line failed,
// also where a running program leaves the error flag clear after error 107.
bool MonitorWaitReply();
// Up to Count characters of the receive buffer from Start, before the first CR.
std::string MonitorReplyText(int32_t start, int32_t count);
// Out.size() bytes from Addr into Out (the receive state consumed).
bool MonitorReadBlock(uint8_t space, int32_t addr, std::span<uint8_t> out);
bool MonitorReadTyped(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count);
// The value of a register keyword, or false.
bool MonitorQueryRegister(uint8_t regToken, int32_t& value);
bool MonitorSetRegister(uint8_t regToken, int32_t value);
// "GO FROM", From, and the stop clause; true when the monitor answers "EXECUTION BEGUN".
bool MonitorGo(uint16_t from, std::string_view till);
// The run over a call: "G F", four hex digits of From, "T" and "BR1".
bool MonitorGoTillBr1(uint16_t from);
// Stops the program ('U', then ESC) and waits for the prompt.
bool MonitorHalt();
// The single-step command "S"; Line: the monitor's line of the instruction it stopped at.
bool MonitorSingleStep(std::string& line);
// "RES CH": the monitor restarts; Banner: its banner line (from "OVIX-5" on)
// and the line that follows it, as received.
bool MonitorReset(std::string& banner);
// The register list command and the monitor's two reply lines.
bool MonitorRegisterList(std::string& first, std::string& second);
// The monitor's banner line ("OVIX-52 V4.0 USER 0000"): its version digit and
// the start of user code (0 when it names none); false when it is no banner.
bool ParseMonitorBanner(std::string_view line, uint8_t& version, uint16_t& userStart);
// The bare BR query: the monitor's reply line ("" when it has no break switch).
bool MonitorBreakQuery(std::string& reply);

// The monitor's banner, "EXECUTION HALTED " and "NO BREAK" among the received lines.
bool MonitorTakeNews(LinkNews& news);

}  // namespace dorvik
