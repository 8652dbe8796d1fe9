#pragma once
// The byte transport under the monitor link and the ADuC link: the serial
// line, every wait with a deadline that pumps messages, and the received
// bytes, appended to Link().RxBuffer (RxCount) and taken at RxIndex; a reply
// longer than the buffer is an error, never a write past it. Send operations
// return true when the bytes went out. How long a reply's character may take
// and whether a silent line gets XON is the current backend's (Habits).

#include <chrono>
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

// For the two links
// How a wait for a character ended.
enum class LinkWait : uint8_t { Char, TimedOut, Broken, Failed };
// Waits for a character not yet taken; EscEnds: the user's break ends the wait too.
LinkWait LinkWaitForChar(int32_t timeoutMs, bool escEnds);
bool LinkSendText(std::string_view text);
// Bytes of the last send that went out (all of them when it succeeded).
size_t LinkLastSent();
// True while a harness replays the received bytes (no line under them).
bool LinkReplaying();
// Received characters from Start up to End as text.
std::string LinkReceivedText(int32_t start, int32_t end);
// The space of a block read (a direct address below 80H is internal data)
// and its count, which must fit the receive buffer.
bool LinkBlockReadArguments(uint8_t& space, int32_t addr, int32_t count);
// A closed line is reported: the target does not respond.
bool LinkOpenOrReported();
// Waits Ms on the line, taking in what arrives.
void LinkPause(int32_t ms);
// The port at Baud (error 100 when it refuses); LinkRestoreBaud: without a
// report, and only when the line is open at another speed.
bool LinkSetBaud(int32_t baud);
void LinkRestoreBaud(int32_t baud);
// Data bytes into RxBuffer positions 1..Count, the receive state consumed.
void LinkPlaceBlock(std::span<const uint8_t> data);
int64_t LinkMsSince(std::chrono::steady_clock::time_point start);

// Received news for the idle handler
struct LinkNews {
  bool Banner = false;        // the monitor restarted: "OVIX-5..." (MonitorVersion, UserCodeStart set)
  bool Halted = false;        // the program stopped
  bool NoBreak = false;       // the monitor answered "NO BREAK"
  bool ChipAnnounced = false; // the ADuC announced itself (TargetChipId set)
  uint16_t HaltPC = 0;        // where it stopped
  std::string HaltReason;     // the monitor's reason ("BR0", "USER BREAK", ...)
  uint16_t UserCodeStart = 0; // from the banner, 0 when it names none
  // While the program runs: what arrived cannot be its stop report (garbled,
  // or begun and then silent for longer than a reply's character may take).
  bool Garbled = false;
  bool Unfinished = false;    // (backend to transport) news has begun and is not complete yet
};
// Reads what arrived (line noise dropped: Garbled while the program runs,
// else reported) and lets the current backend parse it
// (TargetBackend::TakeNews). False when nothing new.
// News begun while the program runs that stays unfinished past the
// backend's character time-out (XON first where its habit is to send one)
// is Garbled.
bool LinkTakeNews(LinkNews& news);

}  // namespace dorvik
