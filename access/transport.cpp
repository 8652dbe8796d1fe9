#include "access/transport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

#include "access/backend.h"
#include "access/linkstate.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "base/session.h"
#include "platform/files.h"
#include "platform/pump.h"
#include "platform/serialport.h"

namespace dorvik {

namespace {

// The open line.
struct SerialLinkState {
  platform::SerialPort Port;
  // Replay: received bytes given by a harness, no line under them.
  bool Replay = false;
  std::vector<uint8_t> ReplayBytes;
  size_t ReplayAt = 0;
  // Bytes of the last send that went out (all of them when it succeeded).
  size_t LastSent = 0;
  // Unfinished news while the program runs: how much had arrived, since when,
  // and whether XON went out for it.
  int32_t UnfinishedCount = -1;
  std::chrono::steady_clock::time_point UnfinishedSince{};
  bool UnfinishedXon = false;
  // Injected write failures (tests only): writes of more than one byte that
  // still fail, and how many of their bytes go out first.
  int32_t FailingWrites = 0;
  size_t BytesBeforeFailure = 0;
};

SerialLinkState& Serial() { return CurrentSession().Get<SerialLinkState>(); }

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

}  // namespace

// For the two links

void LinkPlaceBlock(std::span<const uint8_t> data) {
  LinkState& l = Link();
  const size_t n = std::min(data.size(), static_cast<size_t>(kRxBufferSize - 1));
  l.RxBuffer[0] = 0;
  std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n), l.RxBuffer.begin() + 1);
  l.RxCount = static_cast<int32_t>(n) + 1;
  l.RxIndex = l.RxCount;
}

int64_t LinkMsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

LinkWait LinkWaitForChar(int32_t timeoutMs, bool escEnds) {
  SerialLinkState& s = Serial();
  LinkState& l = Link();
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (!LinkIsOpen()) return LinkWait::Failed;
    if (!LinkReceive()) return LinkWait::Failed;
    if (l.RxIndex < l.RxCount) return LinkWait::Char;
    if (escEnds && Run().UserBreak) return LinkWait::Broken;
    if (s.Replay) return LinkWait::TimedOut;  // nothing more will come
    const int64_t waited = LinkMsSince(start);
    if (waited >= timeoutMs) return LinkWait::TimedOut;
    s.Port.WaitReadable(static_cast<int>(std::min<int64_t>(timeoutMs - waited, 5)));
    platform::PumpMessages();
  }
}

bool LinkSendBytes(std::span<const uint8_t> bytes) {
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

bool LinkSendText(std::string_view text) {
  return LinkSendBytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string LinkReceivedText(int32_t start, int32_t end) {
  const LinkState& l = Link();
  start = std::clamp(start, 0, kRxBufferSize);
  end = std::clamp(std::min(end, l.RxCount), start, kRxBufferSize);
  return std::string(l.RxBuffer.begin() + start, l.RxBuffer.begin() + end);
}



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

bool LinkBlockReadArguments(uint8_t& space, int32_t addr, int32_t count) {
  space &= 7;
  if (space == kSpaceDirect && addr < 0x80) space = kSpaceIData;
  if (count > 0 && count < kRxBufferSize) return true;
  ReportError(err::kDorvikInternalError);
  return false;
}

bool LinkOpenOrReported() {
  if (LinkIsOpen()) return true;
  ReportError(err::kTargetDeviceNotResponding);
  return false;
}

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
  return LinkSendBytes(std::span<const uint8_t>(&byte, 1));
}

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

bool LinkAwaitChar(int32_t timeoutMs) { return LinkWaitForChar(timeoutMs, false) == LinkWait::Char; }

bool LinkNextChar() {
  LinkState& l = Link();
  if (!LinkOpenOrReported()) return false;
  l.RxCount = std::clamp(l.RxCount, 0, kRxBufferSize);
  l.RxIndex = std::clamp(l.RxIndex, 0, l.RxCount);
  if (l.RxIndex >= l.RxCount) {
    const LinkHabits habits = CurrentBackend().Habits();
    LinkWait w = LinkWaitForChar(habits.CharTimeoutMs, false);
    if (w == LinkWait::TimedOut && habits.XonWhenSilent && !Serial().Replay && LinkSendByte(kXonByte)) {
      // A target whose output was held goes on at XON: one more wait.
      w = LinkWaitForChar(habits.CharTimeoutMs, false);
    }
    if (w != LinkWait::Char) {
      // A failed line has reported itself; a silent one is reported here.
      if (w == LinkWait::TimedOut)
        ReportError(l.RxCount == 0 ? err::kTargetDeviceNotResponding : err::kReceiveTimeout);
      else if (!Failed())
        ReportError(err::kTargetDeviceNotResponding);
      return false;
    }
  }
  l.LinkChar = static_cast<char>(l.RxBuffer[static_cast<size_t>(l.RxIndex++)]);
  return true;
}

void LinkPause(int32_t ms) {
  const auto start = std::chrono::steady_clock::now();
  while (LinkMsSince(start) < ms && !Serial().Replay && LinkReceive()) {
    Serial().Port.WaitReadable(5);
    platform::PumpMessages();
  }
}

bool LinkReplaying() { return Serial().Replay; }
size_t LinkLastSent() { return Serial().LastSent; }

bool LinkSetBaud(int32_t baud) {
  SerialLinkState& s = Serial();
  if (s.Port.SetBaud(baud)) return true;
  ReportPortError(s.Port.LastError());
  return false;
}

void LinkRestoreBaud(int32_t baud) {
  SerialLinkState& s = Serial();
  if (s.Port.IsOpen() && s.Port.Baud() != baud) s.Port.SetBaud(baud);
}

bool LinkTakeNews(LinkNews& news) {
  news = LinkNews{};
  if (!LinkIsOpen()) return false;
  LinkState& l = Link();
  SerialLinkState& s = Serial();
  // Half a buffer of what no news can be (line noise, a flood of bad bytes):
  // dropped; while the program runs it stands where its stop report should
  // (garbled news, reported by the one who ends the run), else it is reported.
  if (l.RxCount - l.RxIndex >= kRxBufferSize / 2) {
    l.RxCount = l.RxIndex = 0;
    s.Port.DiscardInput();
    s.UnfinishedCount = -1;
    if (Run().ProgramRunning) {
      news.Garbled = true;
      return true;
    }
    ReportError(err::kFramingError);
    return false;
  }
  if (!LinkReceive(false)) return false;
  if (CurrentBackend().TakeNews(news)) {
    s.UnfinishedCount = -1;
    return true;
  }
  if (!news.Unfinished || !Run().ProgramRunning) {
    s.UnfinishedCount = -1;
    return false;
  }
  // News that has begun: each new byte gives it the time of a reply's character again.
  const auto now = std::chrono::steady_clock::now();
  if (l.RxCount != s.UnfinishedCount) {
    s.UnfinishedCount = l.RxCount;
    s.UnfinishedSince = now;
    s.UnfinishedXon = false;
    return false;
  }
  const LinkHabits habits = CurrentBackend().Habits();
  if (LinkMsSince(s.UnfinishedSince) < habits.CharTimeoutMs) return false;
  if (habits.XonWhenSilent && !s.UnfinishedXon) {
    // A target that held its output goes on at XON: one more wait.
    s.UnfinishedXon = LinkSendByte(kXonByte);
    s.UnfinishedSince = now;
    if (s.UnfinishedXon) return false;
  }
  s.UnfinishedCount = -1;
  news.Unfinished = false;
  news.Garbled = true;
  return true;
}

}  // namespace dorvik
