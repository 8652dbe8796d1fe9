#include "access/links.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <utility>
#include <vector>

#include "access/backend.h"
#include "access/target.h"
#include "base/linkstate.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "machine/images.h"
#include "platform/files.h"
#include "platform/pump.h"
#include "platform/serialport.h"

namespace dorvik {

namespace {

// The open line and what the ADuC link keeps between its commands.
struct SerialLinkState {
  platform::SerialPort Port;
  // Replay: received bytes given by a harness, no line under them.
  bool Replay = false;
  std::vector<uint8_t> ReplayBytes;
  size_t ReplayAt = 0;
  // An erased code page whose programming failed: its image, for the retry.
  int32_t PendingPage = -1;
  std::array<uint8_t, 64> PendingImage{};
  // Bytes of the last send that went out (all of them when it succeeded).
  size_t LastSent = 0;
  // The last 'R' was answered by the bare byte 07H (the chip reset itself).
  bool ChipResetReply = false;
  // Line noise while the program ran was reported (once per run).
  bool NoiseReported = false;
  // Injected write failures (tests only): writes of more than one byte that
  // still fail, and how many of their bytes go out first.
  int32_t FailingWrites = 0;
  size_t BytesBeforeFailure = 0;
};

SerialLinkState& Serial() { return CurrentSession().Get<SerialLinkState>(); }

using SteadyClock = std::chrono::steady_clock;

int64_t MsSince(SteadyClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

bool Failed() { return Messages().ErrorFlag; }

// Error 100 with the operating system's text after the catalogue's.
void ReportPortError(int code) {
  const std::string os = platform::OsErrorText(code);
  MessageState& m = Messages();
  const bool show = m.ShowMessageBoxes && !m.QuietMessages;
  SuspendMessages();
  ReportError(err::kRs232InitializationFailed, os);
  ResumeMessages();
  if (!show) return;
  const tErrType* row = FindErrorMessage(err::kRs232InitializationFailed);
  const std::string text = std::string(row ? row->Text : std::string_view{}) + ": %s";
  ShowMsg("Error", err::kRs232InitializationFailed, text, kKindOk, os, {});
}

// The line failed under a read or a write: a hung-up line is closed (the
// target is gone), a write that found no room in time is 104, anything else 100.
void LineFailed(int code) {
  if (code == EIO || code == ENXIO || code == EBADF) {
    Serial().Port.Close();
    ReportError(err::kTargetDeviceNotResponding);
  } else if (code == ETIMEDOUT) {
    ReportError(err::kTransmitTimeout);
  } else {
    ReportPortError(code);
  }
}

int32_t CharTimeoutMs() { return Run().TargetKind == kTargetAduc ? kAducReplyTimeoutMs : kMonitorCharTimeoutMs; }

enum class Wait : uint8_t { Char, TimedOut, Broken, Failed };

// Waits for a character not yet taken; EscEnds: the user's break ends the wait too.
Wait WaitForChar(int32_t timeoutMs, bool escEnds) {
  SerialLinkState& s = Serial();
  LinkState& l = Link();
  const auto start = SteadyClock::now();
  for (;;) {
    if (!LinkIsOpen()) return Wait::Failed;
    if (!LinkReceive()) return Wait::Failed;
    if (l.RxIndex < l.RxCount) return Wait::Char;
    if (escEnds && Run().UserBreak) return Wait::Broken;
    if (s.Replay) return Wait::TimedOut;  // nothing more will come
    const int64_t waited = MsSince(start);
    if (waited >= timeoutMs) return Wait::TimedOut;
    s.Port.WaitReadable(static_cast<int>(std::min<int64_t>(timeoutMs - waited, 5)));
    platform::PumpMessages();
  }
}

bool Send(std::span<const uint8_t> bytes) {
  SerialLinkState& s = Serial();
  s.LastSent = 0;
  if (s.Replay) {
    s.LastSent = bytes.size();
    return true;
  }
  if (!s.Port.IsOpen()) {
    ReportError(err::kTargetDeviceNotResponding);
    return false;
  }
  // Time for the bytes at the line's speed (10 bits each), and one second more.
  const int64_t ms = 1000 + static_cast<int64_t>(bytes.size()) * 10000 / std::max(s.Port.Baud(), 300);
  const int timeout = static_cast<int>(std::min<int64_t>(ms, 60000));
  if (s.FailingWrites > 0 && bytes.size() > 1) {
    // An injected failure: the first bytes go out, then the write fails as a line that found no room.
    --s.FailingWrites;
    const size_t part = std::min(s.BytesBeforeFailure, bytes.size() - 1);
    if (part && s.Port.Write(bytes.first(part), timeout)) s.LastSent = part;
    LineFailed(ETIMEDOUT);
    return false;
  }
  const bool ok = s.Port.Write(bytes, timeout);
  s.LastSent = s.Port.Written();
  if (ok) return true;
  LineFailed(s.Port.LastError());
  return false;
}

bool SendText(std::string_view text) {
  return Send(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// Received characters from Start up to End as text.
std::string ReceivedText(int32_t start, int32_t end) {
  const LinkState& l = Link();
  start = std::clamp(start, 0, kRxBufferSize);
  end = std::clamp(std::min(end, l.RxCount), start, kRxBufferSize);
  return std::string(l.RxBuffer.begin() + start, l.RxBuffer.begin() + end);
}

// Hex number of the whole text (1-4 digits); false when it is not one.
bool ParseHexWord(std::string_view text, uint16_t& value) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t v = 0;
  for (char c : text) {
    const uint8_t d = HexDigitValue(c);
    if (d > 15) return false;
    v = v * 16 + d;
  }
  if (v > 0xFFFF) return false;
  value = static_cast<uint16_t>(v);
  return true;
}

std::string TrimmedToken(uint8_t token) { return TrimBlanks(TokenText(token)); }

}  // namespace

// The line

bool OpenLink(const std::string& device, int32_t baud) {
  SerialLinkState& s = Serial();
  LinkClearReceive();
  if (s.Port.Open(device, baud)) return true;
  ReportPortError(s.Port.LastError());
  return false;
}

void CloseLink() {
  SerialLinkState& s = Serial();
  s.Port.Close();
  s.Replay = false;
}
bool LinkIsOpen() { return Serial().Port.IsOpen() || Serial().Replay; }

namespace {
// The space of a block read (a direct address below 80H is internal data)
// and its count, which must fit the receive buffer.
bool BlockReadArguments(uint8_t& space, int32_t addr, int32_t count) {
  space &= 7;
  if (space == kSpaceDirect && addr < 0x80) space = kSpaceIData;
  if (count > 0 && count < kRxBufferSize) return true;
  ReportError(err::kDorvikInternalError);
  return false;
}

// A closed line is reported: the target does not respond.
bool LineOpenOrReported() {
  if (LinkIsOpen()) return true;
  ReportError(err::kTargetDeviceNotResponding);
  return false;
}
}  // namespace

void LinkReplayForTesting(std::span<const uint8_t> bytes) {
  SerialLinkState& s = Serial();
  s.Port.Close();
  s.Replay = true;
  s.ReplayBytes.assign(bytes.begin(), bytes.end());
  s.ReplayAt = 0;
  Link().RxCount = Link().RxIndex = 0;
}
void LinkFailWritesForTesting(int32_t writes, size_t bytesBefore) {
  Serial().FailingWrites = writes;
  Serial().BytesBeforeFailure = bytesBefore;
}
std::string LinkDevice() { return LinkIsOpen() ? Serial().Port.Path() : std::string(); }
int32_t LinkBaud() { return LinkIsOpen() ? Serial().Port.Baud() : 0; }

// Either link

bool LinkSendByte(uint8_t byte) {
  if (!LinkIsOpen()) return false;
  return Send(std::span<const uint8_t>(&byte, 1));
}

bool LinkSendBytes(std::span<const uint8_t> bytes) { return Send(bytes); }

bool LinkReceive(bool overflowIsError) {
  SerialLinkState& s = Serial();
  LinkState& l = Link();
  l.RxCount = std::clamp(l.RxCount, 0, kRxBufferSize);
  l.RxIndex = std::clamp(l.RxIndex, 0, l.RxCount);
  if (s.Replay) {
    const size_t left = s.ReplayBytes.size() - s.ReplayAt;
    const size_t room = static_cast<size_t>(kRxBufferSize - l.RxCount);
    const size_t n = std::min(left, room);
    std::copy_n(s.ReplayBytes.begin() + static_cast<std::ptrdiff_t>(s.ReplayAt), n, l.RxBuffer.begin() + l.RxCount);
    s.ReplayAt += n;
    l.RxCount += static_cast<int32_t>(n);
    if (n < left) {
      s.ReplayAt = s.ReplayBytes.size();
      ReportError(err::kFramingError);
      return false;
    }
    return true;
  }
  if (!s.Port.IsOpen()) return false;
  for (;;) {
    if (l.RxCount >= kRxBufferSize) {
      // Full: any further byte belongs to a reply longer than the buffer.
      uint8_t probe[16];
      const long n = s.Port.ReadAvailable(probe, sizeof probe);
      if (n == 0 || (n > 0 && !overflowIsError)) return true;
      if (n < 0) {
        LineFailed(s.Port.LastError());
        return false;
      }
      s.Port.DiscardInput();
      ReportError(err::kFramingError);
      return false;
    }
    const long n = s.Port.ReadAvailable(l.RxBuffer.data() + l.RxCount, static_cast<size_t>(kRxBufferSize - l.RxCount));
    if (n < 0) {
      LineFailed(s.Port.LastError());
      return false;
    }
    if (n == 0) return true;
    l.RxCount += static_cast<int32_t>(n);
  }
}

void LinkIdleWait(int32_t ms) {
  SerialLinkState& s = Serial();
  if (s.Port.IsOpen()) s.Port.WaitReadable(ms);
}

void LinkClearReceive() {
  LinkState& l = Link();
  l.RxCount = 0;
  l.RxIndex = 0;
  l.ReplyMark = 0;
  l.MonitorErrorReply = false;
  l.LinkChar = 0;
  Serial().Port.DiscardInput();
}

bool LinkAwaitChar(int32_t timeoutMs) { return WaitForChar(timeoutMs, false) == Wait::Char; }

bool LinkNextChar() {
  LinkState& l = Link();
  if (!LineOpenOrReported()) return false;
  l.RxCount = std::clamp(l.RxCount, 0, kRxBufferSize);
  l.RxIndex = std::clamp(l.RxIndex, 0, l.RxCount);
  if (l.RxIndex >= l.RxCount) {
    Wait w = WaitForChar(CharTimeoutMs(), false);
    if (w == Wait::TimedOut && Run().TargetKind == kTargetMonitor && !Serial().Replay && MonitorSendXon()) {
      // A monitor whose output was held goes on at XON: one more wait.
      w = WaitForChar(kMonitorCharTimeoutMs, false);
    }
    if (w != Wait::Char) {
      // A failed line has reported itself; a silent one is reported here.
      if (w == Wait::TimedOut)
        ReportError(l.RxCount == 0 ? err::kTargetDeviceNotResponding : err::kReceiveTimeout);
      else if (!Failed())
        ReportError(err::kTargetDeviceNotResponding);
      return false;
    }
  }
  l.LinkChar = static_cast<char>(l.RxBuffer[static_cast<size_t>(l.RxIndex++)]);
  return true;
}

// Monitor board

namespace {

// Sends one command line with its CR. A line whose sending failed is sent
// again, up to three times: the error flag is cleared before each attempt, a
// line that went out in part is first broken off with ESC (the monitor drops
// it and answers with its prompt), only the last attempt shows its messages,
// and the last attempt's result is the result. What was still on its way
// from earlier replies is dropped first.
bool TransmitLine(std::string line) {
  if (UpperCase(line.substr(0, 3)) == "BIT") line = "R" + line;
  if (!LineOpenOrReported()) return false;
  MessageState& m = Messages();
  SerialLinkState& s = Serial();
  bool sent = false;
  bool partly = false;  // the failed attempt left part of a line with the monitor
  for (int attempt = 0; attempt < 3 && !sent; ++attempt) {
    const bool last = attempt == 2;
    if (!last) SuspendMessages();
    m.ErrorFlag = false;
    if (partly) {
      LinkSendByte(kEscByte);
      LinkAwaitChar(kMonitorCharTimeoutMs);
      m.ErrorFlag = false;
    }
    partly = false;
    LinkClearReceive();
    const RunState& run = Run();
    sent = true;
    if (run.AsmLineMode) {
      sent = SendText("ASM ORG 0" + FormatHex4(run.AsmLineAddress) + "\r");
      partly = sent || s.LastSent > 0;
      sent = sent && MonitorReadUntil(' ');
      if (sent) LinkClearReceive();
    }
    if (sent) {
      sent = SendText(line);
      partly = partly || (!sent && s.LastSent > 0);
    }
    if (!last) ResumeMessages();
    if (!LinkIsOpen()) break;  // the line is gone: no use trying again
  }
  if (!sent && partly && LinkIsOpen()) {
    // The next command must not find the broken-off line in front of it.
    LinkSendByte(kEscByte);
    LinkAwaitChar(kMonitorCharTimeoutMs);
    LinkClearReceive();
  }
  if (!sent && !Failed()) ReportError(err::kTargetDeviceNotResponding);
  return sent && !Failed();
}

// The monitor's error answer after a NAK: skipped up to its text, whose start
// is kept for error 107.
bool SkipErrorEcho() {
  LinkState& l = Link();
  l.MonitorErrorReply = true;
  auto skip = [](char c) { return c == '\n' || c == '\r' || c == static_cast<char>(kNakByte) || c == ' ' || c == '^'; };
  while (skip(l.LinkChar))
    if (!LinkNextChar()) return false;
  l.ErrorReplyMark = l.RxIndex - 1;
  return true;
}

// The reply before the prompt, from Start (CR LF "-" left out).
std::string ReplyBeforePrompt(int32_t start) {
  const LinkState& l = Link();
  return ReceivedText(start, std::max(l.RxIndex - 3, start));
}

// Back at the prompt with ESC after a failure that was already reported:
// no second message, the error stays.
void EscapeQuietly() {
  MessageState& m = Messages();
  SuspendMessages();
  const bool quiet = std::exchange(m.QuietMessages, true);
  MonitorEscape();
  m.QuietMessages = quiet;
  ResumeMessages();
  m.ErrorFlag = true;
}

// Waits Ms on the line, taking in what arrives.
void PauseOnLine(int32_t ms) {
  const auto start = SteadyClock::now();
  while (MsSince(start) < ms && !Serial().Replay && LinkReceive()) {
    Serial().Port.WaitReadable(5);
    platform::PumpMessages();
  }
}

// A reply line the monitor ends with CR LF and no prompt (the step, the
// register list, the BR query): Line, without the line ends around it.
// False (reported once) when it refused, stopped short or said nothing.
bool TakeReplyLine(std::string& line) {
  line.clear();
  const LinkState& l = Link();
  const int32_t from = l.RxIndex;
  MonitorWaitReply();
  if (Failed()) return false;
  if (l.RxCount == from) {
    ReportError(err::kTargetDeviceNotResponding);
    return false;
  }
  line = ReceivedText(from, l.RxCount);
  while (!line.empty() && (line.front() == '\n' || line.front() == '\r')) line.erase(0, 1);
  line = line.substr(0, line.find('\r'));
  return true;
}

// One command line, then the reply up to the prompt; Reply: the text before it.
bool Exchange(std::string_view line, std::string* reply = nullptr) {
  MonitorSendString(line);
  if (Failed() || !MonitorEndCommand() || !MonitorWaitPrompt()) return false;
  if (reply) *reply = ReplyBeforePrompt(0);
  return true;
}

// The monitor's word of a keyword token.
std::string MonitorWord(uint8_t token) {
  if (token == tok::kBR) return "BR";
  std::string word = TrimmedToken(token);
  if (word.rfind("BIT", 0) == 0) word = "R" + word.substr(0, 3);
  if (!Run().AsmLineMode && word.size() > 4) word.resize(4);
  return word;
}

constexpr int32_t kBreakQueryPauseMs = 100;  // after the BR query's reply, before its ESC
constexpr int32_t kMonitorReadPiece = 64;  // bytes per monitor read command (its reply fits the buffer)

// One read command of at most kMonitorReadPiece bytes, its data appended to Out.
bool ReadPiece(uint8_t space, int32_t addr, int32_t count, std::vector<uint8_t>& out) {
  std::string echo = MonitorWord(static_cast<uint8_t>(tok::kByteTypeBase + space)) + " " +
                     FormatHex4(static_cast<uint16_t>(addr)) + "=";
  if (!MonitorSendRange(space, addr, addr + count - 1) || !MonitorEndCommand() || !MonitorWaitPrompt()) return false;
  const std::string reply = ReplyBeforePrompt(0);
  if (UpperCase(reply.substr(0, echo.size())) != echo) {
    ReportError(err::kFramingError);
    return false;
  }
  // The data: two hex digits per byte, separated by blanks or commas.
  std::vector<uint8_t> bytes;
  for (size_t i = echo.size(); i < reply.size();) {
    const char c = reply[i];
    if (c == ' ' || c == ',') {
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') break;
    if (i + 1 >= reply.size() || HexDigitValue(c) > 15 || HexDigitValue(reply[i + 1]) > 15) {
      ReportError(err::kFramingError);
      return false;
    }
    bytes.push_back(static_cast<uint8_t>(HexDigitValue(c) * 16 + HexDigitValue(reply[i + 1])));
    i += 2;
  }
  if (static_cast<int32_t>(bytes.size()) != count) {
    ReportError(err::kFramingError);
    return false;
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
  return true;
}

// Data bytes into RxBuffer positions 1..Count, the receive state consumed.
void PlaceData(std::span<const uint8_t> data) {
  LinkState& l = Link();
  const size_t n = std::min(data.size(), static_cast<size_t>(kRxBufferSize - 1));
  l.RxBuffer[0] = 0;
  std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n), l.RxBuffer.begin() + 1);
  l.RxCount = static_cast<int32_t>(n) + 1;
  l.RxIndex = l.RxCount;
}

}  // namespace

bool MonitorSendChar(char c) {
  LinkState& l = Link();
  if (c != '\r') {
    l.MonitorCommandLine += c;
    return true;
  }
  std::string line = std::move(l.MonitorCommandLine);
  l.MonitorCommandLine.clear();
  return TransmitLine(line + '\r');
}

bool MonitorSendString(std::string_view text) {
  for (char c : text)
    if (!MonitorSendChar(c)) return false;
  return true;
}

bool MonitorSendSpace() { return MonitorSendChar(' '); }

bool MonitorSendKeyword(uint8_t token) { return MonitorSendString(MonitorWord(token)); }

std::string MonitorByteText(uint8_t value) { return (value > 0x9F ? "0" : "") + FormatHex2(value); }
std::string MonitorWordText(uint16_t value) { return (value > 0x9F ? "0" : "") + FormatHex4(value); }

bool MonitorSendByte(uint8_t value) { return MonitorSendString(MonitorByteText(value)); }
bool MonitorSendWord(uint16_t value) { return MonitorSendString(MonitorWordText(value)); }

bool MonitorSendRange(uint8_t space, int32_t start, int32_t end) {
  space &= 7;
  const bool byteAddress = space == kSpaceDirect || space == kSpaceIData || space == kSpaceBit;
  auto address = [&](int32_t a) {
    return byteAddress ? MonitorSendByte(static_cast<uint8_t>(a)) : MonitorSendWord(static_cast<uint16_t>(a));
  };
  if (!MonitorSendKeyword(static_cast<uint8_t>(tok::kByteTypeBase + space)) || !MonitorSendSpace() || !address(start))
    return false;
  if (end == start) return true;
  return MonitorSendSpace() && MonitorSendKeyword(tok::kTO) && MonitorSendSpace() && address(end);
}

bool MonitorEndCommand() { return MonitorSendChar('\r') && !Failed(); }

bool MonitorEscape() {
  LinkClearReceive();
  if (!LinkSendByte(kEscByte)) {
    if (!Failed()) ReportError(err::kTargetDeviceNotResponding);
    return false;
  }
  return MonitorExpectPrompt();
}

bool MonitorSendXon() { return LinkSendByte(kXonByte); }

bool MonitorExpect(std::string_view text) {
  std::string got;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!LinkNextChar()) return false;
    got += Link().LinkChar;
  }
  if (UpperCase(got) == text) return true;
  if (text != "\r\n-") {
    ReportError(err::kFramingError);
    return false;
  }
  // Room for an empty line before the prompt.
  return LinkNextChar() && LinkNextChar();
}

bool MonitorExpectPrompt() { return MonitorExpect("\r\n-"); }

bool MonitorWaitPrompt() {
  LinkState& l = Link();
  if (Run().TargetKind != kTargetMonitor) return false;
  l.LinkChar = 0;
  char before = '\n';
  // The prompt is "-" at the start of a line; a reply longer than the
  // buffer ends in an overflow error, so the loop is bounded.
  for (;;) {
    const char previous = l.LinkChar ? l.LinkChar : before;
    if (!LinkNextChar()) return false;
    if (l.LinkChar == static_cast<char>(kNakByte)) {
      if (!SkipErrorEcho()) return false;
      continue;
    }
    if (l.LinkChar == '-' && previous == '\n') break;
  }
  if (l.MonitorErrorReply) {
    ReportError(err::kTargetError);
    return false;
  }
  return true;
}

bool MonitorReadUntil(char c) {
  LinkState& l = Link();
  l.LinkChar = 0;
  if (c == 0) return true;
  while (l.LinkChar != c) {
    if (!LinkNextChar()) return false;
    if (l.LinkChar == static_cast<char>(kNakByte)) {
      if (SkipErrorEcho()) MonitorWaitPrompt();
      return false;
    }
  }
  return true;
}

void MonitorWaitReply() {
  Scanner().ParsingReply = true;
  // Nothing within 300 ms: a monitor whose output was held gets XON and one more wait.
  if (WaitForChar(kMonitorCharTimeoutMs, false) != Wait::Char &&
      (!MonitorSendXon() || WaitForChar(kMonitorCharTimeoutMs, false) != Wait::Char)) {
    Scanner().ParsingReply = false;
    return;
  }
  MonitorReadUntil('\n');
  Scanner().ParsingReply = false;
}

std::string MonitorReplyText(int32_t start, int32_t count) {
  const LinkState& l = Link();
  if (count <= 0) return {};
  start = std::clamp(start, 0, l.RxCount);
  const int32_t end = std::min<int64_t>(int64_t{start} + count, l.RxCount);
  std::string text = ReceivedText(start, end);
  return text.substr(0, text.find('\r'));
}

bool MonitorReadBlock(uint8_t space, int32_t addr, int32_t count) {
  LinkState& l = Link();
  l.RxCount = 0;
  l.RxIndex = 0;
  Messages().ErrorFlag = false;
  if (!BlockReadArguments(space, addr, count)) return false;
  std::vector<uint8_t> data;
  for (int32_t done = 0; done < count; done += kMonitorReadPiece)
    if (!ReadPiece(space, addr + done, std::min(kMonitorReadPiece, count - done), data)) return false;
  PlaceData(data);
  return true;
}

bool MonitorReadTyped(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) {
  // Bits are read through the bytes that hold them, like on every target.
  return BackendFor(kTargetMonitor).TargetBackend::ReadTypedBlock(space, addr, typeToken, count);
}

bool MonitorQueryRegister(uint8_t regToken, int32_t& value) {
  value = 0;
  std::string reply;
  if (!Exchange(MonitorWord(regToken), &reply)) return false;
  // "NAME=VALUE": the name must be the register's word, the value hex (or the reset answer).
  reply = UpperCase(TrimBlanks(reply.substr(0, reply.find('\r'))));
  const size_t eq = reply.find('=');
  const std::string name = TrimBlanks(reply.substr(0, std::min(eq, reply.size())));
  std::string expected = MonitorWord(regToken);
  const std::string text = eq == std::string::npos ? std::string() : TrimBlanks(reply.substr(eq + 1));
  uint16_t v = 0;
  if (eq == std::string::npos || name.substr(0, 4) != expected.substr(0, 4)) {
    ReportError(err::kFramingError);
    return false;
  }
  if (text.rfind("RESE", 0) == 0) {
    value = 0;
    return true;
  }
  if (!ParseHexWord(text, v)) {
    ReportError(err::kFramingError);
    return false;
  }
  value = v;
  return true;
}

bool MonitorSetRegister(uint8_t regToken, int32_t value) {
  return Exchange(MonitorWord(regToken) + "=" + MonitorWordText(static_cast<uint16_t>(value)));
}

bool MonitorGo(uint16_t from, std::string_view till) {
  const std::string line = MonitorWord(tok::kGO) + " " + MonitorWord(tok::kFROM) + " " + MonitorWordText(from) +
                           " " + std::string(till);
  return MonitorSendString(line) && MonitorEndCommand() && MonitorExpect("EXECUTION BEGUN");
}

bool MonitorGoTillBr1(uint16_t from) {
  const std::string line = "G F " + FormatHex4(from) + " T " + MonitorWord(tok::kBR1);
  return MonitorSendString(line) && MonitorEndCommand() && MonitorExpect("EXECUTION BEGUN");
}

bool MonitorHalt() {
  LinkClearReceive();
  if (!LineOpenOrReported()) return false;
  if (!LinkSendByte('U')) return false;
  // 100 ms for the monitor to stop the program, then ESC ends what it was doing.
  const auto start = SteadyClock::now();
  while (MsSince(start) < 100 && !Serial().Replay && LinkReceive()) {
    Serial().Port.WaitReadable(5);
    platform::PumpMessages();
  }
  if (Failed() || !LinkSendByte(kEscByte) || !MonitorWaitPrompt()) return false;
  const std::string text = ReceivedText(0, Link().RxCount);
  const size_t at = text.find("EXECUTION HALTED AT ");
  uint16_t pc = 0;
  if (at != std::string::npos && ParseHexWord(text.substr(at + 20, 4), pc)) {
    Run().CurrentPC = pc;
    Target().TargetRegs.PC = pc;
  }
  return true;
}

bool MonitorSingleStep(std::string& line) {
  line.clear();
  // "S" puts the monitor in its step mode: ESC brings it back to its prompt
  // whether the reply came or not.
  if (!MonitorSendString("S") || !MonitorEndCommand()) {
    if (LinkIsOpen()) EscapeQuietly();
    return false;
  }
  if (!TakeReplyLine(line)) {
    EscapeQuietly();
    return false;
  }
  uint16_t pc = 0;
  if (!ParseHexWord(line.substr(0, 4), pc)) {
    ReportError(err::kFramingError);
    EscapeQuietly();
    return false;
  }
  Run().CurrentPC = pc;
  Target().TargetRegs.PC = pc;
  return MonitorEscape();
}

bool MonitorReset(std::string& banner) {
  banner.clear();
  MonitorSendString("RES CH");
  if (Failed() || !MonitorEndCommand() || !MonitorExpect("\r\nOVIX-5") || !MonitorWaitPrompt()) return false;
  banner = ReplyBeforePrompt(2);
  uint16_t userStart = 0;
  uint8_t version = 0;
  if (ParseMonitorBanner(banner, version, userStart)) Link().MonitorVersion = version;
  return true;
}

bool MonitorRegisterList(std::string& first, std::string& second) {
  first.clear();
  second.clear();
  // The monitor holds its list after the first line until XON; ESC then
  // brings it back to its prompt.
  MonitorSendString(MonitorWord(tok::kREGISTERS));
  if (Failed() || !MonitorEndCommand()) return false;
  if (!TakeReplyLine(first)) {
    EscapeQuietly();
    return false;
  }
  // (A monitor that let both lines go already has the second one here.)
  if (!MonitorSendXon() || !TakeReplyLine(second)) {
    EscapeQuietly();
    return false;
  }
  return MonitorEscape();
}

bool MonitorBreakQuery(std::string& reply) {
  reply.clear();
  // The reply line, then after 100 ms ESC and the prompt; a refusal is error 107.
  MonitorSendString("BR");
  if (Failed() || !MonitorEndCommand()) return false;
  if (!TakeReplyLine(reply)) {
    EscapeQuietly();
    return false;
  }
  reply = TrimBlanks(reply);
  LinkClearReceive();
  PauseOnLine(kBreakQueryPauseMs);
  return MonitorEscape();
}

bool ParseMonitorBanner(std::string_view line, uint8_t& version, uint16_t& userStart) {
  const std::string text = UpperCase(line);
  if (text.find("OVIX-5") == std::string::npos) return false;
  version = 0;
  userStart = 0;
  const size_t v = text.find(" V");
  if (v != std::string::npos && v + 2 < text.size() && text[v + 2] >= '0' && text[v + 2] <= '9')
    version = static_cast<uint8_t>(text[v + 2] - '0');
  const size_t u = text.find("USER ");
  if (u != std::string::npos) ParseHexWord(text.substr(u + 5, 4), userStart);
  return true;
}

// ADuC chip

namespace {

uint8_t CheckOf(uint32_t sum) { return static_cast<uint8_t>(0x100 - (sum & 0xFF)); }

bool ProtocolFault() {
  ReportError(err::kFramingError);
  return false;
}

// Reply bytes taken with LinkNextChar.
bool Take(uint8_t& b) {
  if (!LinkNextChar()) return false;
  b = static_cast<uint8_t>(Link().LinkChar);
  return true;
}

bool IsShadowedSfr(uint8_t a) {
  return a == sfr::ACC || a == sfr::PSW || a == sfr::SP || a == sfr::DPL || a == sfr::DPH || a == sfr::DPP ||
         (a >= 0xBC && a <= 0xBF) || a == 0xC6 || a == 0xC7;
}

uint8_t* ShadowOf(uint8_t a) {
  tRegisterSet& r = Target().TargetRegs;
  switch (a) {
    case sfr::ACC: return &r.ACC;
    case sfr::PSW: return &r.PSW;
    case sfr::SP: return &r.SP;
    case sfr::DPP: return &r.DPP;
    case 0xBC: return &r.SfrBC;
    case 0xBD: return &r.SfrBD;
    case 0xBE: return &r.SfrBE;
    case 0xBF: return &r.SfrBF;
    case 0xC6: return &r.SfrC6;
    case 0xC7: return &r.SfrC7;
    default: return nullptr;
  }
}

uint8_t ShadowValue(uint8_t a) {
  const tRegisterSet& r = Target().TargetRegs;
  if (a == sfr::DPL) return static_cast<uint8_t>(r.DPTR);
  if (a == sfr::DPH) return static_cast<uint8_t>(r.DPTR >> 8);
  const uint8_t* p = ShadowOf(a);
  return p ? *p : 0;
}

void SetShadow(uint8_t a, uint8_t v) {
  tRegisterSet& r = Target().TargetRegs;
  if (a == sfr::DPL) r.DPTR = (r.DPTR & 0xFF00) | v;
  else if (a == sfr::DPH) r.DPTR = (r.DPTR & 0x00FF) | uint32_t{v} << 8;
  else if (uint8_t* p = ShadowOf(a)) *p = v;
}

uint8_t ReadSfr(uint8_t a) { return AdiCommand('V', a, 'Q'); }

bool StoreSfr(uint8_t a, uint8_t v) {
  AdiCommand('I', v, kAckByte);
  if (Failed()) return false;
  AdiCommand('F', a, kAckByte);
  return !Failed();
}

bool SetPointer(uint8_t space, uint32_t addr) {
  TargetState& t = Target();
  if (space == kSpaceCode) {
    t.AdiSavedCodeCtl = ReadSfr(0xA7);
    if (Failed() || !StoreSfr(0xA7, 0)) return false;
  } else {
    t.AdiSavedXdataCtl = ReadSfr(0xAF);
    if (Failed() || !StoreSfr(0xAF, 1) || !StoreSfr(sfr::DPP, static_cast<uint8_t>(addr >> 16))) return false;
  }
  return StoreSfr(sfr::DPL, static_cast<uint8_t>(addr)) && StoreSfr(sfr::DPH, static_cast<uint8_t>(addr >> 8));
}

bool RestorePointer(uint8_t space) {
  const TargetState& t = Target();
  return space == kSpaceCode ? StoreSfr(0xA7, t.AdiSavedCodeCtl) : StoreSfr(0xAF, t.AdiSavedXdataCtl);
}

constexpr int32_t kAducReadPiece = 255;  // bytes of one "Y"/"D" read (its count is one byte)

// Code or external data from Addr into Out, in reads of at most 255 bytes.
bool ReadSpace(uint8_t space, uint32_t addr, int32_t count, std::vector<uint8_t>& out) {
  for (int32_t done = 0; done < count; done += kAducReadPiece) {
    const int32_t n = std::min(kAducReadPiece, count - done);
    if (!SetPointer(space, addr + static_cast<uint32_t>(done))) return false;
    const char letter = space == kSpaceCode ? 'Y' : 'D';
    if (n == 1) {
      // One byte: the count 0, answered in the single-byte form.
      const uint8_t value = AdiCommand(letter, 0, 'Q');
      if (Failed()) return false;
      out.push_back(value);
    } else {
      AdiCommand(letter, static_cast<uint8_t>(n), 'D', n);
      if (Failed()) return false;
      const auto& rx = Link().RxBuffer;
      out.insert(out.end(), rx.begin() + 1, rx.begin() + 1 + n);
    }
    if (!RestorePointer(space)) return false;
  }
  return true;
}

bool SetFlashAddress(uint16_t addr) {
  if (!StoreSfr(0xC6, static_cast<uint8_t>(addr)) || !StoreSfr(0xC7, static_cast<uint8_t>(addr >> 8))) return false;
  // The chip's flash address registers are shadowed: the shadow follows.
  Target().TargetRegs.SfrC6 = static_cast<uint8_t>(addr);
  Target().TargetRegs.SfrC7 = static_cast<uint8_t>(addr >> 8);
  return true;
}

int32_t CountErased(const std::array<uint8_t, 64>& image, int32_t pos) {
  int32_t n = 0;
  while (pos + n < 64 && image[static_cast<size_t>(pos + n)] == 0xFF) ++n;
  return n;
}

// Programs an erased page from its image: leading erased bytes and runs of
// four or more are skipped, shorter runs are programmed like data.
bool WritePage(uint16_t page, const std::array<uint8_t, 64>& image) {
  int32_t pos = CountErased(image, 0);
  bool addressed = false;
  while (pos < 64) {
    const int32_t run = CountErased(image, pos);
    if (run >= 4) {
      pos += run;
      addressed = false;
      continue;
    }
    if (!addressed && !SetFlashAddress(static_cast<uint16_t>(page + pos))) return false;
    addressed = true;
    AdiCommand('A', image[static_cast<size_t>(pos)], kAckByte);
    if (Failed()) return false;
    ++pos;
  }
  return true;
}

}  // namespace

uint8_t AdiCommand(char letter, uint8_t arg, uint8_t form, int32_t count) {
  LinkClearReceive();
  if (!LinkIsOpen()) {
    ReportError(err::kTargetDeviceNotResponding);
    return 0;
  }
  const uint8_t l = static_cast<uint8_t>(letter);
  const std::array<uint8_t, 3> frame{l, arg, CheckOf(uint32_t{l} + arg)};
  if (!Send(frame)) return 0;
  uint8_t b = 0;
  switch (form) {
    case kAckByte:
      if (!Take(b)) return 0;
      if (b != kAckByte) ProtocolFault();
      return 0;
    case 'Q': {
      uint8_t value = 0, check = 0;
      if (!Take(b)) return 0;
      if (b == 0x07 && letter == 'R') {
        // The bare byte 07H: the chip reset itself.
        Serial().ChipResetReply = true;
        return 0x07;
      }
      if (b != l) return ProtocolFault(), 0;
      if (!Take(value) || !Take(check)) return 0;
      if (check != CheckOf(uint32_t{l} + value)) return ProtocolFault(), 0;
      return value;
    }
    case 'D': {
      if (count <= 0) count = letter == 'R' ? 255 : letter == 'V' ? 128 : 1;
      if (!Take(b)) return 0;
      if (b != l) return ProtocolFault(), 0;
      uint32_t sum = 0;
      for (int32_t i = 0; i < count; ++i) {
        if (!Take(b)) return 0;
        sum += b;
      }
      uint8_t check = 0, cr = 0, lf = 0;
      if (!Take(check) || !Take(cr) || !Take(lf)) return 0;
      if (check != CheckOf(sum) || cr != '\r' || lf != '\n') ProtocolFault();
      return 0;
    }
    default:
      return 0;
  }
}

bool AdiReadBlock(uint8_t space, int32_t addr, int32_t count) {
  // Also the shadowed registers: a closed line shows nothing as if it were read.
  if (!LineOpenOrReported()) return false;
  if (!BlockReadArguments(space, addr, count)) return false;
  std::vector<uint8_t> data;
  if (space == kSpaceCode || space == kSpaceXData) {
    if (!ReadSpace(space, static_cast<uint32_t>(addr), count, data)) return false;
  } else if (space == kSpaceDirect) {
    if (count == 1) {
      const uint8_t a = static_cast<uint8_t>(addr);
      data.push_back(IsShadowedSfr(a) ? ShadowValue(a) : ReadSfr(a));
    } else {
      // The dump holds SFR FFH first: copied out before the answer is built.
      AdiCommand('V', 0, 'D', 128);
      if (Failed()) return false;
      std::array<uint8_t, 128> dump{};
      std::copy(Link().RxBuffer.begin() + 1, Link().RxBuffer.begin() + 129, dump.begin());
      for (int32_t a = addr; a < addr + count && a <= 0xFF; ++a) {
        const uint8_t s = static_cast<uint8_t>(a);
        data.push_back(IsShadowedSfr(s) ? ShadowValue(s) : dump[static_cast<size_t>(0xFF - a)]);
      }
    }
  } else if (space == kSpaceIData) {
    if (count == 1) {
      data.push_back(addr == 0 ? Target().TargetRegs.R0 : AdiCommand('R', static_cast<uint8_t>(addr), 'Q'));
    } else {
      AdiCommand('R', 0, 'D', 255);
      if (Failed()) return false;
      std::array<uint8_t, 256> dump{};
      // RxBuffer[1] is IDATA FFH, RxBuffer[255] IDATA 01H.
      for (int32_t i = 1; i <= 255; ++i) dump[static_cast<size_t>(256 - i)] = Link().RxBuffer[static_cast<size_t>(i)];
      dump[0] = Target().TargetRegs.R0;
      for (int32_t a = addr; a < addr + count && a <= 0xFF; ++a) data.push_back(dump[static_cast<size_t>(a)]);
    }
  } else {
    // Paged external data and EEPROM are not the kernel's to read.
    ReportError(err::kSystemCommandNotSupported);
    return false;
  }
  if (Failed()) return false;
  PlaceData(data);
  return true;
}

bool AdiReadTyped(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) {
  return BackendFor(kTargetAduc).TargetBackend::ReadTypedBlock(space, addr, typeToken, count);
}

bool AdiWriteCodeByte(uint16_t addr, uint8_t value) {
  const uint8_t one[1] = {value};
  return AdiWriteCodePage(addr, one);
}

bool AdiWriteCodePage(uint16_t addr, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return true;
  // The lines of the page are decoded again, whatever the write's outcome.
  for (size_t i = 0; i < bytes.size(); ++i) CodeImageChanged(static_cast<uint16_t>(addr + i));
  const uint16_t page = addr & 0xFFC0;
  if ((addr & 0x3F) + bytes.size() > 64) {
    ReportError(err::kDorvikInternalError);
    return false;
  }
  SerialLinkState& s = Serial();
  std::array<uint8_t, 64> image{};
  bool erased = false;
  if (s.PendingPage == page) {
    // An earlier write erased this page and failed: its image is the page's contents.
    image = s.PendingImage;
    erased = true;
  } else {
    std::vector<uint8_t> old;
    if (!ReadSpace(kSpaceCode, page, 64, old)) return false;
    std::copy(old.begin(), old.end(), image.begin());
  }
  const size_t first = addr - page;
  bool onlyClears = !erased;
  for (size_t i = 0; i < bytes.size(); ++i)
    if ((image[first + i] & bytes[i]) != bytes[i]) onlyClears = false;
  if (onlyClears) {
    // Only 1 -> 0 changes: programmed in place, unchanged bytes skipped.
    bool addressed = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (image[first + i] == bytes[i]) {
        addressed = false;
        continue;
      }
      if (!addressed && !SetFlashAddress(static_cast<uint16_t>(addr + i))) return false;
      addressed = true;
      AdiCommand('A', bytes[i], kAckByte);
      if (Failed()) return false;
    }
    return true;
  }
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(first));
  if (!erased) {
    if (!SetFlashAddress(page)) return false;
    AdiCommand('P', 0, kAckByte);
    if (Failed()) return false;
  }
  // From the erase on, the page's contents live only in this image until it is programmed.
  s.PendingPage = page;
  s.PendingImage = image;
  if (!WritePage(page, image)) return false;
  s.PendingPage = -1;
  return true;
}

bool AdiWriteXData(uint32_t addr, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return true;
  if (!SetPointer(kSpaceXData, addr)) return false;
  for (uint8_t b : bytes) {
    AdiCommand('M', b, kAckByte);
    if (Failed()) return false;
  }
  return RestorePointer(kSpaceXData);
}

bool AdiWriteByte(uint8_t space, int32_t addr, uint8_t value) {
  if (!LineOpenOrReported()) return false;
  space &= 7;
  if (space == kSpaceDirect && addr < 0x80) space = kSpaceIData;
  const uint8_t a = static_cast<uint8_t>(addr);
  switch (space) {
    case kSpaceXData: {
      const uint8_t one[1] = {value};
      return AdiWriteXData(static_cast<uint32_t>(addr), one);
    }
    case kSpaceCode:
      return AdiWriteCodeByte(static_cast<uint16_t>(addr), value);
    case kSpaceIData:
      if (a == 0) {
        Target().TargetRegs.R0 = value;
        return true;
      }
      AdiCommand('I', a, kAckByte);
      if (!Failed()) AdiCommand('W', value, kAckByte);
      return !Failed();
    case kSpaceDirect:
      if (IsShadowedSfr(a)) {
        SetShadow(a, value);
        // DPP is also the chip's own (the kernel does not load it).
        return a == sfr::DPP ? StoreSfr(a, value) : true;
      }
      return StoreSfr(a, value);
    default:
      // Nothing would be written: say so instead of claiming the write.
      ReportError(err::kSystemCommandNotSupported);
      return false;
  }
}

bool AdiGo(uint16_t from) { return AdiStart('S', from); }

bool AdiStart(char startLetter, uint16_t pc) {
  // The code byte at the PC: the one a planted break replaced, else the
  // chip's. It is read before the shadows go in: a code read moves the
  // chip's data pointer, which then holds the user's DPTR.
  uint8_t code = 0;
  bool planted = false;
  for (const PlantedBreak& p : Target().AducPlanted)
    if (p.Address == pc) {
      code = p.Original;
      planted = true;
    }
  if (!planted) {
    if (!AdiReadBlock(kSpaceCode, pc, 1)) return false;
    code = Link().RxBuffer[1];
  }
  const tRegisterSet& r = Target().TargetRegs;
  const std::pair<uint8_t, uint8_t> stores[] = {
      {0xC6, r.SfrC6}, {0xBF, r.SfrBF}, {0xBE, r.SfrBE}, {0xBD, r.SfrBD}, {0xBC, r.SfrBC},
      {sfr::DPP, r.DPP}, {sfr::DPL, static_cast<uint8_t>(r.DPTR)}, {sfr::DPH, static_cast<uint8_t>(r.DPTR >> 8)},
      {sfr::SP, static_cast<uint8_t>(r.SP + 2)}, {0x8F, static_cast<uint8_t>(pc)}, {0x8E, static_cast<uint8_t>(pc >> 8)}};
  for (const auto& [a, v] : stores)
    if (!StoreSfr(a, v)) return false;
  AdiCommand('I', r.R0, kAckByte);
  if (!Failed()) AdiCommand('H', code, kAckByte);
  if (!Failed()) AdiCommand('T', r.ACC, kAckByte);
  if (!Failed()) AdiCommand(startLetter, r.PSW, kAckByte);
  return !Failed();
}

bool AdiTakeBreakReport(int32_t at, bool adjustPC) {
  const LinkState& l = Link();
  if (at < 0 || at + 7 > l.RxCount) return ProtocolFault();
  const auto byte = [&](int32_t i) { return l.RxBuffer[static_cast<size_t>(at + i)]; };
  uint32_t sum = 0;
  for (int32_t i = 1; i <= 5; ++i) sum += byte(i);
  if (byte(0) != 'B' || byte(6) != CheckOf(sum)) return ProtocolFault();
  tRegisterSet& r = Target().TargetRegs;
  r.ACC = byte(1);
  r.PSW = byte(2);
  r.R0 = byte(3);
  r.PC = static_cast<uint16_t>(byte(4) * 256 + byte(5) - (adjustPC ? 1 : 0));
  Run().CurrentPC = r.PC;
  return AdiReadSfrShadows();
}

bool AdiReadSfrShadows() {
  tRegisterSet& r = Target().TargetRegs;
  const uint8_t sp = ReadSfr(sfr::SP);
  if (Failed()) return false;
  r.SP = static_cast<uint8_t>(sp - 2);
  const uint8_t dph = ReadSfr(sfr::DPH);
  if (Failed()) return false;
  const uint8_t dpl = ReadSfr(sfr::DPL);
  if (Failed()) return false;
  r.DPTR = uint32_t{dph} << 8 | dpl;
  // C7H is not read back: its shadow is the flash address the debugger set.
  for (uint8_t a : {sfr::DPP, uint8_t{0xBC}, uint8_t{0xBD}, uint8_t{0xBE}, uint8_t{0xBF}, uint8_t{0xC6}}) {
    const uint8_t v = ReadSfr(a);
    if (Failed()) return false;
    SetShadow(a, v);
  }
  return true;
}

namespace {

// Waits for Count bytes of the receive buffer, at most TimeoutMs; Esc ends the wait.
bool AwaitCount(int32_t count, int32_t timeoutMs) {
  LinkState& l = Link();
  const auto start = SteadyClock::now();
  while (l.RxCount < count) {
    const int64_t left = timeoutMs - MsSince(start);
    if (left <= 0) {
      ReportError(l.RxCount <= 1 ? err::kTargetDeviceNotResponding : err::kReceiveTimeout);
      return false;
    }
    const int32_t before = l.RxIndex;
    l.RxIndex = l.RxCount;  // wait for news beyond what is there
    const Wait w = WaitForChar(static_cast<int32_t>(left), true);
    l.RxIndex = before;
    if (w == Wait::Broken) {
      ReportError(err::kReceiveTimeout);
      return false;
    }
    if (w == Wait::Failed) {
      if (!Failed()) ReportError(err::kTargetDeviceNotResponding);
      return false;
    }
    if (w == Wait::TimedOut) {
      ReportError(l.RxCount <= 1 ? err::kTargetDeviceNotResponding : err::kReceiveTimeout);
      return false;
    }
  }
  return true;
}

}  // namespace

bool AdiHalt(bool& targetReset) {
  targetReset = false;
  Serial().ChipResetReply = false;
  AdiCommand('R', 1, 'Q');
  if (Failed()) return false;
  if (Serial().ChipResetReply) {
    // The chip reset itself instead of halting (its announcement may follow).
    targetReset = true;
    return true;
  }
  // The single-byte answer; the stopped program's SFRs are read into the shadows.
  return AdiReadSfrShadows();
}

bool AdiStep(uint16_t at) {
  if (!AdiStart('J', at)) return false;
  if (!AwaitCount(8, kAducBreakTimeoutMs)) return false;
  return AdiTakeBreakReport(1, false);
}

bool AdiReset() {
  AdiCommand('Z', 0, 0);
  if (Failed()) return false;
  // The chip announces itself after its reset ("ADI 841" CR LF), within its restart time.
  const auto start = SteadyClock::now();
  do {
    LinkNews news;
    if (LinkTakeNews(news) && news.ChipAnnounced) {
      Target().CpuFamily = kFamilyAduc;
      return true;
    }
    if (Failed()) return false;
    LinkIdleWait(5);
  } while (MsSince(start) < kAducRestartMs);
  ReportError(err::kTargetDeviceNotResponding);
  return false;
}

bool AdiSendPacket(uint8_t header, char command, std::span<const uint8_t> data) {
  if (header != 0x0E || data.size() > 250) return false;
  std::vector<uint8_t> packet{0x07, 0x0E, static_cast<uint8_t>(data.size() + 1), static_cast<uint8_t>(command)};
  packet.insert(packet.end(), data.begin(), data.end());
  uint32_t sum = 0;
  for (size_t i = 2; i < packet.size(); ++i) sum += packet[i];
  packet.push_back(CheckOf(sum));
  return LinkSendBytes(packet);
}

bool AdiBaudTimerValues(int32_t baud, uint8_t& high, uint8_t& low) {
  struct Row {
    int32_t Baud;
    uint8_t High, Low, High834, Low834;
  };
  static constexpr Row kRows[] = {{9600, 0x85, 0x2D, 0x85, 0x12},
                                  {38400, 0x83, 0x2D, 0x83, 0x12},
                                  {57600, 0x83, 0x09, 0x82, 0x2D},
                                  {115200, 0x82, 0x09, 0x81, 0x2D}};
  const std::string& chip = Link().TargetChipId;
  const bool is834 = chip == "ADI 834";
  const bool known = is834 || chip == "ADI 841" || chip == "ADI 842" || chip == "ADI 843" || chip == "ADI 832";
  if (!known) return false;
  for (const Row& row : kRows)
    if (row.Baud == baud) {
      high = is834 ? row.High834 : row.High;
      low = is834 ? row.Low834 : row.Low;
      return true;
    }
  return false;
}

bool AdiSetDownloadSpeed(int32_t baud) {
  uint8_t high = 0, low = 0;
  // A chip that has not announced itself yet keeps the line's speed: its
  // Timer-3 setting is not known, and the download works at the speed in use.
  if (Link().TargetChipId.empty()) return LinkIsOpen() || (ReportError(err::kTargetDeviceNotResponding), false);
  if (!AdiBaudTimerValues(baud, high, low) || !platform::IsSupportedBaud(baud)) {
    ReportError(err::kBadValueBaudCommunicationSpeed);
    return false;
  }
  LinkClearReceive();
  const uint8_t data[2] = {high, low};
  if (!AdiSendPacket(0x0E, 'B', data)) return false;
  // The chip acknowledges at the old speed, then switches.
  if (!LinkAwaitChar(kLoadAckTimeoutMs)) {
    if (!Failed()) ReportError(err::kTargetDeviceNotResponding);
    return false;
  }
  if (!LinkNextChar()) return false;
  if (static_cast<uint8_t>(Link().LinkChar) != kAckByte) return ProtocolFault();
  SerialLinkState& s = Serial();
  if (!s.Port.SetBaud(baud)) {
    ReportPortError(s.Port.LastError());
    return false;
  }
  return true;
}

void AdiRestoreLineSpeed(int32_t baud, bool chipRestarted) {
  if (!chipRestarted) AdiSetDownloadSpeed(baud);
  SerialLinkState& s = Serial();
  if (s.Port.IsOpen() && s.Port.Baud() != baud) s.Port.SetBaud(baud);
  LinkClearReceive();
}

bool AdiTakeAnnouncement(std::string& text) {
  LinkState& l = Link();
  const int32_t at = l.RxIndex - 1;
  if (at < 0 || l.RxBuffer[static_cast<size_t>(at)] != 'A') return false;
  // The rest of the line, within the reply time-out.
  const auto start = SteadyClock::now();
  for (;;) {
    const std::string got = ReceivedText(at, l.RxCount);
    if (std::string_view("ADI ").substr(0, got.size()) != std::string_view(got).substr(0, 4)) return false;
    const size_t end = got.find('\r');
    if (end != std::string::npos) {
      text = got.substr(0, std::min<size_t>(end, 10));
      l.TargetChipId = text;
      ++l.ChipAnnouncements;
      return true;
    }
    if (got.size() > 12 || MsSince(start) > kAducReplyTimeoutMs) return false;
    LinkIdleWait(5);
    if (!LinkReceive()) return false;
  }
}

// Received news

bool LinkTakeNews(LinkNews& news) {
  news = LinkNews{};
  if (!LinkIsOpen()) return false;
  LinkState& l = Link();
  SerialLinkState& s = Serial();
  if (!Run().ProgramRunning) s.NoiseReported = false;
  // Half a buffer of what no news can be (line noise, a flood of bad bytes):
  // dropped, and reported once per run.
  if (l.RxCount - l.RxIndex >= kRxBufferSize / 2) {
    l.RxCount = l.RxIndex = 0;
    s.Port.DiscardInput();
    if (!s.NoiseReported) {
      s.NoiseReported = Run().ProgramRunning;
      ReportError(err::kFramingError);
    }
    return false;
  }
  if (!LinkReceive(false)) return false;
  if (Run().TargetKind == kTargetAduc) {
    // After a start command: its ACK at 0, then the break report.
    if (Run().ProgramRunning && l.RxCount >= 8 && l.RxBuffer[1] == 'B') {
      news.Halted = AdiTakeBreakReport(1, true);
      news.HaltPC = Target().TargetRegs.PC;
      return news.Halted;
    }
    const std::string text = ReceivedText(0, l.RxCount);
    const size_t at = text.find("ADI ");
    const size_t end = at == std::string::npos ? at : text.find('\r', at);
    if (end != std::string::npos) {
      l.TargetChipId = text.substr(at, std::min<size_t>(end - at, 10));
      ++l.ChipAnnouncements;
      news.ChipAnnounced = true;
      l.RxCount = l.RxIndex = 0;
      return true;
    }
    return false;
  }
  if (Run().TargetKind != kTargetMonitor) return false;
  // Whole lines from RxIndex on.
  for (;;) {
    const std::string text = ReceivedText(l.RxIndex, l.RxCount);
    const size_t lf = text.find('\n');
    if (lf == std::string::npos) break;
    std::string line = text.substr(0, lf);
    l.RxIndex += static_cast<int32_t>(lf + 1);
    while (!line.empty() && (line.back() == '\r' || line.front() == '-')) {
      if (line.back() == '\r') line.pop_back();
      else line.erase(0, 1);
    }
    const std::string upper = UpperCase(line);
    uint8_t version = 0;
    uint16_t userStart = 0;
    if (ParseMonitorBanner(upper, version, userStart)) {
      l.MonitorVersion = version;
      news.Banner = true;
      news.UserCodeStart = userStart;
      return true;
    }
    if (upper.find("NO BREAK") != std::string::npos) {
      news.NoBreak = true;
      return true;
    }
    const size_t h = upper.find("EXECUTION HALTED ");
    if (h != std::string::npos) {
      uint16_t pc = 0;
      const size_t a = upper.find("AT ", h);
      if (a != std::string::npos) ParseHexWord(upper.substr(a + 3, 4), pc);
      const size_t b = upper.find("BECAUSE OF ", h);
      news.HaltReason = b == std::string::npos ? std::string() : TrimBlanks(line.substr(b + 11));
      news.HaltPC = pc;
      news.Halted = true;
      return true;
    }
  }
  // Keep room: what was taken is dropped once the buffer fills up.
  if (l.RxIndex > 0 && l.RxCount > kRxBufferSize / 2) {
    std::copy(l.RxBuffer.begin() + l.RxIndex, l.RxBuffer.begin() + l.RxCount, l.RxBuffer.begin());
    l.RxCount -= l.RxIndex;
    l.RxIndex = 0;
  }
  return false;
}

}  // namespace dorvik
