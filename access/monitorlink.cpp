#include "access/monitorlink.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "access/backend.h"
#include "access/linkstate.h"
#include "access/target.h"
#include "access/transport.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "base/text.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "machine/images.h"
#include "platform/pump.h"

namespace dorvik {

namespace {

bool Failed() { return Messages().ErrorFlag; }

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



// Sends one command line with its CR. A line whose sending failed is sent
// again, up to three times: the error flag is cleared before each attempt, a
// line that went out in part is first broken off with ESC (the monitor drops
// it and answers with its prompt), only the last attempt shows its messages,
// and the last attempt's result is the result. What was still on its way
// from earlier replies is dropped first.
bool TransmitLine(std::string line) {
  if (UpperCase(line.substr(0, 3)) == "BIT") line = "R" + line;
  if (!LinkOpenOrReported()) return false;
  MessageState& m = Messages();
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
      sent = LinkSendText("ASM ORG 0" + FormatHex4(run.AsmLineAddress) + "\r");
      partly = sent || LinkLastSent() > 0;
      sent = sent && MonitorReadUntil(' ');
      if (sent) LinkClearReceive();
    }
    if (sent) {
      sent = LinkSendText(line);
      partly = partly || (!sent && LinkLastSent() > 0);
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
  return LinkReceivedText(start, std::max(l.RxIndex - 3, start));
}

// Waits Ms on the line, taking in what arrives.
void PauseOnLine(int32_t ms) {
  LinkPause(ms);
}

// A reply line the monitor ends with CR LF and no prompt (the step, the
// register list, the BR query): Line, without the line ends around it.
// False (reported once) when it refused, stopped short or said nothing. A
// refusal fails the command also during a step, where error 107 leaves the
// error flag clear: the message box took the received text with it.
bool TakeReplyLine(std::string& line) {
  line.clear();
  const LinkState& l = Link();
  const int32_t from = l.RxIndex;
  if (!MonitorWaitReply() || Failed()) return false;
  if (l.RxCount == from) {
    // Silent from the start, or a reply that stopped short (a line of it came).
    ReportError(from > 0 ? err::kReceiveTimeout : err::kTargetDeviceNotResponding);
    return false;
  }
  line = LinkReceivedText(from, l.RxCount);
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


}  // namespace

void MonitorEscapeQuietly() {
  {
    const SilencedMessages silenced;
    MonitorEscape();
  }
  Messages().ErrorFlag = true;
}

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

bool MonitorSendRange(uint8_t space, int32_t start, int32_t end, bool namedEnd) {
  space &= 7;
  const bool byteAddress = space == kSpaceDirect || space == kSpaceIData || space == kSpaceBit;
  auto address = [&](int32_t a) {
    return byteAddress ? MonitorSendByte(static_cast<uint8_t>(a)) : MonitorSendWord(static_cast<uint16_t>(a));
  };
  if (!MonitorSendKeyword(static_cast<uint8_t>(tok::kByteTypeBase + space)) || !MonitorSendSpace() || !address(start))
    return false;
  if (end == start && !namedEnd) return true;
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
    if (Link().LinkChar == static_cast<char>(kNakByte)) {
      // The monitor refused: its error answer up to the prompt is error 107.
      if (SkipErrorEcho()) MonitorWaitPrompt();
      return false;
    }
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

bool MonitorWaitReply() {
  Scanner().ParsingReply = true;
  // Nothing within 300 ms: a monitor whose output was held gets XON and one more wait.
  if (LinkWaitForChar(kMonitorCharTimeoutMs, false) != LinkWait::Char &&
      (!MonitorSendXon() || LinkWaitForChar(kMonitorCharTimeoutMs, false) != LinkWait::Char)) {
    Scanner().ParsingReply = false;
    return !Failed();
  }
  const bool read = MonitorReadUntil('\n');
  Scanner().ParsingReply = false;
  return read;
}

std::string MonitorReplyText(int32_t start, int32_t count) {
  const LinkState& l = Link();
  if (count <= 0) return {};
  start = std::clamp(start, 0, l.RxCount);
  const int32_t end = std::min<int64_t>(int64_t{start} + count, l.RxCount);
  std::string text = LinkReceivedText(start, end);
  return text.substr(0, text.find('\r'));
}

bool MonitorReadBlock(uint8_t space, int32_t addr, std::span<uint8_t> out) {
  const int32_t count = static_cast<int32_t>(std::min(out.size(), size_t{kRxBufferSize}));
  LinkState& l = Link();
  l.RxCount = 0;
  l.RxIndex = 0;
  Messages().ErrorFlag = false;
  if (!LinkBlockReadArguments(space, addr, count)) return false;
  std::vector<uint8_t> data;
  for (int32_t done = 0; done < count; done += kMonitorReadPiece)
    if (!ReadPiece(space, addr + done, std::min(kMonitorReadPiece, count - done), data)) return false;
  std::copy(data.begin(), data.end(), out.begin());
  LinkPlaceBlock(data);
  return true;
}

bool MonitorReadTyped(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) {
  // Bits are read through the bytes that hold them, like on every target.
  return MonitorBackendInstance().TargetBackend::ReadTypedBlock(space, addr, typeToken, count);
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
  if (!LinkOpenOrReported()) return false;
  if (!LinkSendByte('U')) return false;
  // 100 ms for the monitor to stop the program, then ESC ends what it was doing.
  LinkPause(100);
  if (Failed() || !LinkSendByte(kEscByte) || !MonitorWaitPrompt()) return false;
  const std::string text = LinkReceivedText(0, Link().RxIndex);
  const size_t at = text.find("EXECUTION HALTED AT ");
  if (at == std::string::npos) return true;  // it had stopped: the prompt answered the ESC
  uint16_t pc = 0;
  if (ParseHexWord(text.substr(at + 20, 4), pc)) {
    Run().CurrentPC = pc;
    Target().TargetRegs.PC = pc;
  }
  // The halt report ends with a prompt; the one that answers the ESC follows
  // (the next command must not take it for the start of its reply).
  return MonitorWaitPrompt();
}

bool MonitorSingleStep(std::string& line) {
  line.clear();
  // "S" puts the monitor in its step mode: ESC brings it back to its prompt
  // whether the reply came or not.
  if (!MonitorSendString("S") || !MonitorEndCommand()) {
    if (LinkIsOpen()) MonitorEscapeQuietly();
    return false;
  }
  if (!TakeReplyLine(line)) {
    MonitorEscapeQuietly();
    return false;
  }
  uint16_t pc = 0;
  if (!ParseHexWord(line.substr(0, 4), pc)) {
    ReportError(err::kFramingError);
    MonitorEscapeQuietly();
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
    MonitorEscapeQuietly();
    return false;
  }
  // (A monitor that let both lines go already has the second one here.)
  if (!MonitorSendXon() || !TakeReplyLine(second)) {
    MonitorEscapeQuietly();
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
    MonitorEscapeQuietly();
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

namespace {

// The lines the monitor sends of its own accord, by their heads.
constexpr std::string_view kNewsHeads[] = {"EXECUTION HALTED ", "NO BREAK", "OVIX-5"};

// Text (upper case) that is, or can still become, the head of news.
bool CanBeNews(std::string_view text) {
  for (std::string_view head : kNewsHeads) {
    const size_t n = std::min(text.size(), head.size());
    if (text.substr(0, n) == head.substr(0, n)) return true;
  }
  return false;
}

}  // namespace

bool MonitorTakeNews(LinkNews& news) {
  LinkState& l = Link();
  const bool running = Run().ProgramRunning;
  // Whole lines from RxIndex on.
  for (;;) {
    const std::string text = LinkReceivedText(l.RxIndex, l.RxCount);
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
    // While the program runs only its stop report may come (and empty lines,
    // the prompt): any other line is a report that arrived garbled.
    if (running && !TrimBlanks(line).empty()) {
      news.Garbled = true;
      return true;
    }
  }
  if (running) {
    // The line begun: the head of a report so far, or garbage.
    std::string rest = UpperCase(LinkReceivedText(l.RxIndex, l.RxCount));
    rest.erase(0, std::min(rest.find_first_not_of("\r\n-"), rest.size()));
    if (!rest.empty()) {
      if (!CanBeNews(rest)) {
        news.Garbled = true;
        return true;
      }
      news.Unfinished = true;
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

// Error 107 from the monitor: the target's error number stands 4 places after
// the start of its error reply, and the reply text is the message's argument.
// Only received characters are read; an error number that is no hex number
// leaves the argument as it is.
void MonitorTakeErrorReply(std::string& arg1) {
  LinkState& link = Link();
  const int64_t received = std::min<int64_t>(std::max(link.RxCount, 0), kRxBufferSize);
  const int64_t mark = link.ErrorReplyMark;
  const int64_t at = mark + 4;
  uint8_t hi = 255, lo = 255;
  if (mark >= 0 && at + 1 < received) {
    hi = HexDigitValue(static_cast<char>(link.RxBuffer[static_cast<size_t>(at)]));
    lo = HexDigitValue(static_cast<char>(link.RxBuffer[static_cast<size_t>(at + 1)]));
  }
  if (hi > 15 || lo > 15) {
    Messages().TargetErrorNumber = 0;
  } else {
    Messages().TargetErrorNumber = static_cast<uint16_t>(hi * 16 + lo);
    const int64_t count = std::min<int64_t>(int64_t{link.RxCount} - mark - 3, received - mark);
    if (count <= 0) {
      arg1 = "<unknown>";
    } else {
      arg1.clear();
      for (int64_t i = mark; i < mark + count; ++i) {
        const char c = static_cast<char>(link.RxBuffer[static_cast<size_t>(i)]);
        if (c == '\r') break;
        arg1 += c;
      }
    }
  }
  link.MonitorErrorReply = false;
}

}  // namespace dorvik
