#pragma once
// The serial links to the monitor board and the ADuC chip: the serial line
// and the byte transport under both links (every wait has a deadline and
// pumps messages), the monitor's text link and the ADuC's packet link.
// Received bytes are appended to Link().RxBuffer (RxCount) and taken at
// RxIndex; a reply longer than the buffer is an error, never a write past it.
// Send operations return true when the bytes went out.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dorvik {

// Deadlines
inline constexpr int32_t kMonitorCharTimeoutMs = 300;   // each character of a monitor reply
inline constexpr int32_t kLoadAckTimeoutMs = 2000;      // the monitor's acknowledgement of a HEX record
inline constexpr int32_t kAducReplyTimeoutMs = 500;     // each character of an ADuC reply
inline constexpr int32_t kAducBreakTimeoutMs = 2000;    // the ADuC's break report after a step or a halt
inline constexpr int32_t kAducRestartMs = 700;          // the ADuC's announcement after its reset

// Control bytes
inline constexpr uint8_t kXonByte = 17;
inline constexpr uint8_t kEscByte = 27;
inline constexpr uint8_t kNakByte = 21;
inline constexpr uint8_t kAckByte = 6;

// The line
// Opens the serial device at Baud (an open line is closed first); a failure
// reports error 100 with the operating system's text.
bool OpenLink(const std::string& device, int32_t baud);
void CloseLink();
bool LinkIsOpen();
// Replays Bytes as what the line receives, with no line under them: sends go
// nowhere and a wait for more ends at once (the fuzz harness of the reply
// parsers). CloseLink ends it.
void LinkReplayForTesting(std::span<const uint8_t> bytes);
// Makes the next Writes sends of more than one byte fail after BytesBefore
// of their bytes went out, as a line that found no room (error 104); single
// bytes (ESC, XON) pass. Tests only: a pseudo-terminal's writes never fail
// short of a hang-up.
void LinkFailWritesForTesting(int32_t writes, size_t bytesBefore);
// The device and speed of the open line ("" and 0 when closed).
std::string LinkDevice();
int32_t LinkBaud();

// Either link
// One byte on the line as it stands (the break byte of Esc, a control byte);
// true when it was sent, false while no line is open.
bool LinkSendByte(uint8_t byte);
// Bytes on the line in one piece (a download packet); true when all were sent.
bool LinkSendBytes(std::span<const uint8_t> bytes);
// The receive step: the next received character into LinkChar, RxIndex
// advanced; false (and ErrorFlag set, the failure reported) when none came:
// 161 when nothing at all came since the receive state was cleared, 103 when
// a reply stopped short.
bool LinkNextChar();
// Waits, pumping messages, until a character not yet taken is in the receive
// buffer or TimeoutMs passed; no report. False on the time-out or a closed line.
bool LinkAwaitChar(int32_t timeoutMs);
// Appends what arrived to the receive buffer without waiting; false when the
// line failed (reported) or the buffer overflowed (error 105).
// OverflowIsError false: a full buffer just stops the taking (the idle
// handler drops line noise itself).
bool LinkReceive(bool overflowIsError = true);
// Waits at most Ms for something to read on the line (no report; a wait loop's pause).
void LinkIdleWait(int32_t ms);
// Clears the receive state and drops what is still on its way.
void LinkClearReceive();

// Monitor board
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
// The address part of a memory command: space word, start, and " TO " end when they differ.
bool MonitorSendRange(uint8_t space, int32_t start, int32_t end);
// Sends the collected command line with its CR; false when ErrorFlag is set.
bool MonitorEndCommand();
// ESC on the line, then the prompt expected (receive counters cleared first).
bool MonitorEscape();
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
void MonitorWaitReply();
// Up to Count characters of the receive buffer from Start, before the first CR.
std::string MonitorReplyText(int32_t start, int32_t count);
bool MonitorReadBlock(uint8_t space, int32_t addr, int32_t count);
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

// ADuC chip
// One command frame (letter, argument, check byte) and its reply of Form:
// 0 none, kAckByte, 'Q' single byte, 'D' data block (Count bytes, 0: by the
// letter). The single byte's value, else 0.
uint8_t AdiCommand(char letter, uint8_t arg, uint8_t form, int32_t count = 0);
bool AdiReadBlock(uint8_t space, int32_t addr, int32_t count);
bool AdiReadTyped(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count);
bool AdiWriteCodeByte(uint16_t addr, uint8_t value);
// Code bytes within one 64-byte page of code memory.
bool AdiWriteCodePage(uint16_t addr, std::span<const uint8_t> bytes);
// External-data bytes: the data pointer set to Addr, the bytes, the transfer closed.
bool AdiWriteXData(uint32_t addr, std::span<const uint8_t> bytes);
// One byte of internal data, an SFR or EEPROM.
bool AdiWriteByte(uint8_t space, int32_t addr, uint8_t value);
// The go command 'S' from From.
bool AdiGo(uint16_t from);
// Loads the register shadows into the chip and starts it with StartLetter
// ('S' run, 'J' one instruction) at PC.
bool AdiStart(char startLetter, uint16_t pc);
// Stops the program ('R' with 'Q') and reads the register shadows;
// TargetReset: the chip answered 07H, it reset itself instead.
bool AdiHalt(bool& targetReset);
// One instruction at At ('J') and the chip's break report.
bool AdiStep(uint16_t at);
// The reset command 'Z'.
bool AdiReset();
// The break report at RxBuffer[At..At+6] (lead, ACC, PSW, R0, PC high, PC low,
// check) into the register shadow; AdjustPC: the reported PC is one past the break.
bool AdiTakeBreakReport(int32_t at, bool adjustPC);
// Refreshes the SFR shadows from the chip.
bool AdiReadSfrShadows();
// A download packet: 07H, Header, the count (data + 1), Command, the data and
// the check byte. Only header 0EH builds one; any other sends nothing.
bool AdiSendPacket(uint8_t header, char command, std::span<const uint8_t> data);
// Switches the chip's download speed (its Timer-3 setting) and the port to
// Baud; a chip that has not announced itself (TargetChipId empty) keeps the
// line's speed.
bool AdiSetDownloadSpeed(int32_t baud);
// After a failed download: the chip told to go back to Baud (unless it
// restarted, which puts it there) and the port at Baud whatever it answered.
void AdiRestoreLineSpeed(int32_t baud, bool chipRestarted);
// The received text from RxIndex - 1 on is the chip's announcement ("ADI 841"
// CR LF, waited for up to its end): TargetChipId set, the announcement counted.
bool AdiTakeAnnouncement(std::string& text);
// The Timer-3 setting of the chip TargetChipId for Baud; false when there is none.
bool AdiBaudTimerValues(int32_t baud, uint8_t& high, uint8_t& low);

// Received news for the idle handler
struct LinkNews {
  bool Banner = false;        // the monitor restarted: "OVIX-5..." (MonitorVersion, UserCodeStart set)
  bool Halted = false;        // the program stopped
  bool NoBreak = false;       // the monitor answered "NO BREAK"
  bool ChipAnnounced = false; // the ADuC announced itself (TargetChipId set)
  uint16_t HaltPC = 0;        // where it stopped
  std::string HaltReason;     // the monitor's reason ("BR0", "USER BREAK", ...)
  uint16_t UserCodeStart = 0; // from the banner, 0 when it names none
};
// Reads what arrived and parses it: the monitor's banner, "EXECUTION HALTED ",
// "NO BREAK", the ADuC's identification and break report. False when nothing new.
bool LinkTakeNews(LinkNews& news);

}  // namespace dorvik
