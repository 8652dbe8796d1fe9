#include "access/programload.h"

#include <algorithm>

#include "access/monitorlink.h"
#include "access/aduclink.h"
#include "access/target.h"
#include "base/hexrecord.h"
#include "access/linkstate.h"
#include "base/messages.h"
#include "lang/keywords.h"
#include "machine/images.h"

namespace dorvik {

namespace {

constexpr uint8_t kAck = 6;
constexpr int32_t kAckTimeoutMs = 2000;
constexpr int32_t kAducAttempts = 4;
constexpr int32_t kRecordAnswerMs = 5;  // a monitor's refusal of a record, when it sends no acknowledgements
constexpr int32_t kLinkBaud = 9600;  // the ADuC link's speed outside a download
// Error 107's text for a packet the chip refused (NAK).
constexpr std::string_view kAducRefusedText = "NAK";

// Cuts Lowest..Highest into records of at most MaxRecord bytes.
template <typename Fn>
bool ForEachRecord(uint16_t lowest, uint16_t highest, uint16_t maxRecord, Fn&& fn) {
  const uint32_t size = std::max<uint16_t>(maxRecord, 1);
  for (uint32_t at = lowest; at <= highest;) {
    const uint32_t count = std::min<uint32_t>(size, uint32_t{highest} + 1 - at);
    if (!fn(static_cast<uint16_t>(at), count)) return false;
    at += count;
  }
  return true;
}

// Whether the file holds Address: every address without Append.
bool Held(const ProgramTransfer& t, uint32_t address) {
  return !t.Append || t.Held.empty() || (address < t.Held.size() && t.Held[address] != 0);
}

// The range's runs of held bytes, each cut into records of at most MaxRecord bytes.
template <typename Fn>
bool ForEachHeldRecord(const ProgramTransfer& t, Fn&& fn) {
  for (uint32_t at = t.Lowest; at <= t.Highest;) {
    if (!Held(t, at)) {
      ++at;
      continue;
    }
    uint32_t end = at;
    while (end < t.Highest && Held(t, end + 1)) ++end;
    if (!ForEachRecord(static_cast<uint16_t>(at), static_cast<uint16_t>(end), t.MaxRecord, fn)) return false;
    at = end + 1;
  }
  return true;
}

// The pages of an ADuC download and the bytes they carry (Image): with
// Append a page without a held byte is not written, and a page the file
// holds in part carries the chip's own bytes where the file has none, read
// back before anything is written (consecutive pages together, in blocks as
// big as the link reads). False when a read failed (the link reported why).
bool AducPagesToWrite(const ProgramTransfer& t, std::vector<uint8_t>& image, std::vector<uint32_t>& pages) {
  image.assign(t.Image.begin(), t.Image.end());
  std::vector<uint32_t> partial;
  for (uint32_t page = t.Lowest >> 8; page <= uint32_t{t.Highest} >> 8; ++page) {
    uint32_t held = 0;
    for (uint32_t a = page * kAducPageSize; a < (page + 1) * kAducPageSize; ++a) held += Held(t, a) ? 1 : 0;
    if (held == 0) continue;
    pages.push_back(page);
    if (held < kAducPageSize) partial.push_back(page);
  }
  constexpr uint32_t kReadBlock = kRxBufferSize - 1;
  for (size_t i = 0; i < partial.size();) {
    size_t j = i;
    while (j + 1 < partial.size() && partial[j + 1] == partial[j] + 1) ++j;
    const uint32_t from = partial[i] * kAducPageSize;
    const uint32_t to = (partial[j] + 1) * kAducPageSize;
    std::vector<uint8_t> chip(to - from);
    for (uint32_t at = from; at < to; at += kReadBlock) {
      const std::span<uint8_t> block(chip.data() + (at - from), std::min(kReadBlock, to - at));
      Messages().ErrorFlag = false;
      if (!AducReadBlock(kSpaceCode, static_cast<int32_t>(at), block) || Messages().ErrorFlag) return false;
    }
    for (uint32_t a = from; a < to; ++a)
      if (!Held(t, a)) image[a] = chip[a - from];
    i = j + 1;
  }
  return true;
}

// The monitor's side of a HEX download: every character checked against what
// came back, records acknowledged by monitor version 4.
class MonitorSender {
 public:
  explicit MonitorSender(const ProgramTransfer& t) : t_(t) {}

  TransferResult Send() {
    if (t_.ClearCodeFlash) {
      const bool cleared = ForEachHeldRecord(t_, [&](uint16_t at, uint32_t count) {
        const std::vector<uint8_t> fill(count, 0xFF);
        return Record(at, kHexTypeData, fill) && Shown(at, true);
      });
      if (!cleared) return result_;
    }
    const bool sent = ForEachHeldRecord(t_, [&](uint16_t at, uint32_t count) {
      return Record(at, kHexTypeData, t_.Image.subspan(at, count)) && Shown(at, false);
    });
    if (!sent) return result_;
    // The end record, then the monitor leaves its load mode with its prompt.
    if (!Record(0, kHexTypeEnd, {})) return result_;
    return MonitorWaitPrompt() && !Messages().ErrorFlag ? TransferResult::Done : TransferResult::Failed;
  }

 private:
  bool Shown(uint16_t at, bool clearing) {
    if (!t_.Progress || t_.Progress(at, clearing)) return true;
    ReportError(err::kErrorWhileFile, "loading", t_.FileName);
    MonitorEscape();
    return Fail(TransferResult::Aborted);
  }

  bool Fail(TransferResult result) {
    result_ = result;
    return false;
  }

  // Something came back that was not asked for: the monitor refused the
  // record. Its error reply is read up to its prompt (which reports it); an
  // ESC then clears what it got of the record being sent.
  bool Refused() {
    MessageState& m = Messages();
    if (MonitorWaitPrompt() && !m.ErrorFlag) ReportError(err::kFramingError);
    MonitorEscapeQuietly();
    return Fail(TransferResult::Aborted);
  }

  // What arrived is taken in first: the monitor's answer stops the transfer at once.
  bool NothingReceived() {
    if (!LinkReceive()) return Fail(TransferResult::Aborted);
    LinkState& l = Link();
    if (l.MonitorVersion != 4 && l.RxIndex < l.RxCount && l.RxBuffer[static_cast<size_t>(l.RxIndex)] == '.') {
      // A version 4 monitor whose banner was not read acknowledges its records:
      // taken as such, and awaited from the next record on.
      l.MonitorVersion = 4;
      ++l.RxIndex;
    }
    return l.RxCount == l.RxIndex || Refused();
  }

  bool SendChar(char c) {
    if (LinkSendByte(static_cast<uint8_t>(c))) return true;
    Messages().ErrorFlag = true;
    return Fail(TransferResult::Failed);
  }

  // The acknowledgement '.' of a data record, within its time-out.
  bool Acknowledged() {
    if (!LinkAwaitChar(kAckTimeoutMs)) {
      if (!Messages().ErrorFlag) ReportError(err::kReceiveTimeout);
      return Fail(TransferResult::Aborted);
    }
    if (!LinkNextChar()) return Fail(TransferResult::Aborted);
    if (Link().LinkChar != '.') {
      --Link().RxIndex;  // the answer is the monitor's error reply: read from its start
      return Refused();
    }
    Link().RxCount = 0;
    Link().RxIndex = 0;
    return true;
  }

  // The record's text goes out a byte (two digits) at a time, each after the
  // check that the monitor did not refuse what came before.
  bool Record(uint16_t address, uint8_t type, std::span<const uint8_t> data) {
    const std::string text = HexRecordText(address, type, data);
    if (!NothingReceived() || !SendChar(text[0])) return false;
    for (size_t i = 1; i + 1 < text.size(); i += 2)
      if (!NothingReceived() || !SendChar(text[i]) || !SendChar(text[i + 1])) return false;
    if (type == kHexTypeData && Link().MonitorVersion == 4 && !Acknowledged()) return false;
    if (!SendChar('\r') || !NothingReceived() || !SendChar('\n')) return false;
    // Without acknowledgements the monitor gets a moment to refuse the
    // record before the next one goes out (the line's buffer takes a whole
    // file at once).
    // After the end record the monitor's prompt comes (awaited by the caller).
    if (type == kHexTypeEnd) return true;
    if (Link().MonitorVersion != 4) LinkAwaitChar(kRecordAnswerMs);
    return NothingReceived();
  }

  const ProgramTransfer& t_;
  TransferResult result_ = TransferResult::Failed;
};

}  // namespace

uint16_t TransferRecordSize(uint8_t cpuFamily) { return cpuFamily == 1 ? 32 : 128; }

std::string MonitorLoadRecords(std::span<const uint8_t, kProgramImageSize> image, uint16_t lowest, uint16_t highest,
                               uint16_t maxRecord, bool fill) {
  std::string text;
  ForEachRecord(lowest, highest, maxRecord, [&](uint16_t at, uint32_t count) {
    const std::vector<uint8_t> ones(count, 0xFF);
    text += HexRecordText(at, kHexTypeData, fill ? std::span<const uint8_t>(ones) : image.subspan(at, count));
    text += "\r\n";
    return true;
  });
  return text;
}

std::vector<uint8_t> AducPagePacket(uint8_t page, std::span<const uint8_t, kAducPageSize> bytes) {
  std::vector<uint8_t> packet{0x07, 'Q', page};
  uint8_t sum = page;
  for (uint8_t b : bytes) {
    packet.push_back(b);
    sum = static_cast<uint8_t>(sum + b);
  }
  packet.push_back(static_cast<uint8_t>(0 - sum));
  return packet;
}

int32_t AducDownloadBaud(int choice) {
  switch (choice) {
    case 1: return 57600;
    case 2: return 38400;
    default: return 115200;
  }
}

TransferResult MonitorBeginLoad(std::string_view) {
  MessageState& m = Messages();
  if (!MonitorEscape() || m.ErrorFlag) return TransferResult::Aborted;
  if (!MonitorSendKeyword(tok::kLOAD) || !MonitorEndCommand()) {
    MonitorWaitPrompt();
    return TransferResult::Aborted;
  }
  // The reply line with its CR LF: what comes after it answers the records.
  if (!MonitorExpect("HEX LOAD MODE") || !MonitorReadUntil('\n')) return TransferResult::Failed;
  // What the monitor said beyond its reply is not a record's answer.
  Link().RxCount = Link().RxIndex;
  return TransferResult::Done;
}

TransferResult MonitorTransferProgram(const ProgramTransfer& transfer) {
  CodeImageChanged();
  if (const TransferResult begun = MonitorBeginLoad(transfer.FileName); begun != TransferResult::Done) return begun;
  return MonitorSender(transfer).Send();
}

TransferResult AducTransferProgram(const ProgramTransfer& t) {
  CodeImageChanged();
  MessageState& m = Messages();
  bool restarted = false;
  // The answer to a packet: ACK; a refusal, garbage or the chip's
  // announcement (it reset itself) is reported here, silence by the link.
  auto acknowledged = [&] {
    if (!LinkNextChar()) return false;
    if (static_cast<uint8_t>(Link().LinkChar) == kAck) return !m.ErrorFlag;
    std::string announcement;
    restarted = AducTakeAnnouncement(announcement);
    if (restarted) ReportError(err::kTargetError, announcement);
    else if (static_cast<uint8_t>(Link().LinkChar) == kNakByte) ReportError(err::kTargetError, kAducRefusedText);
    else ReportError(err::kFramingError);
    return false;
  };
  // Back at the link's speed; after a failure without a further message.
  auto done = [&](TransferResult result) {
    if (result == TransferResult::Done) return AducSetDownloadSpeed(kLinkBaud) ? result : TransferResult::Failed;
    const bool error = m.ErrorFlag;
    SuspendMessages();
    const bool quiet = m.QuietMessages;
    m.QuietMessages = true;
    AducRestoreLineSpeed(kLinkBaud, restarted);
    m.QuietMessages = quiet;
    ResumeMessages();
    m.ErrorFlag = error;
    return result;
  };
  std::vector<uint8_t> image;
  std::vector<uint32_t> pages;
  if (!AducPagesToWrite(t, image, pages)) return TransferResult::Failed;
  // A chip that did not take the download speed still runs at the link's.
  if (!AducSetDownloadSpeed(AducDownloadBaud(t.DownloadSpeed))) return TransferResult::Failed;
  if (!t.Append) {
    LinkClearReceive();
    if (!AducSendPacket(0x0E, t.ClearDataFlash ? 'A' : 'C', {}) || !acknowledged()) return done(TransferResult::Failed);
  }
  for (const uint32_t page : pages) {
    const std::span<const uint8_t, kAducPageSize> bytes(image.data() + page * kAducPageSize, kAducPageSize);
    const std::vector<uint8_t> packet = AducPagePacket(static_cast<uint8_t>(page), bytes);
    // The first attempts fail quietly: the line may only have dropped a byte.
    // A chip that restarted is not asked again.
    bool sent = false;
    const bool shown = m.ShowMessageBoxes;
    for (int32_t attempt = 1; attempt <= kAducAttempts && !sent && !restarted; ++attempt) {
      m.ShowMessageBoxes = shown && attempt == kAducAttempts;
      m.ErrorFlag = false;
      LinkClearReceive();
      sent = LinkSendBytes(packet) && acknowledged();
      // A restart is shown whichever attempt met it.
      if (restarted && attempt < kAducAttempts) {
        m.ShowMessageBoxes = shown;
        std::string announcement = Link().TargetChipId;
        ReportError(err::kTargetError, announcement);
      }
    }
    m.ShowMessageBoxes = shown;
    if (!sent) return done(TransferResult::Failed);
    if (t.Progress && !t.Progress(static_cast<uint16_t>(page << 8), false)) {
      ReportError(err::kErrorWhileFile, "loading", t.FileName);
      m.ErrorFlag = false;
      return done(TransferResult::Aborted);
    }
  }
  return done(TransferResult::Done);
}

TransferResult SimulatorTransferProgram(const ProgramTransfer& t) {
  MemoryImages& images = Images();
  uint32_t first = t.Lowest & 0xFF00u;
  uint32_t last = t.Highest | 0xFFu;
  if (t.Append) {
    first = t.Lowest;
    last = t.Highest;
  } else if (t.ClearCodeFlash) {
    std::fill(images.CodeImage.begin(), images.CodeImage.end(), uint8_t{0xFF});
  }
  for (uint32_t at = first; at <= last;) {
    const uint32_t end = std::min(last, at | 0xFFu);
    for (uint32_t a = at; a <= end; ++a)
      if (Held(t, a)) images.CodeImage[a] = t.Image[a];
    if (t.Progress && !t.Progress(static_cast<uint16_t>(at & 0xFF00u), false)) {
      CodeImageChanged();
      ReportError(err::kErrorWhileFile, "loading", t.FileName);
      return TransferResult::Aborted;
    }
    at = end + 1;
  }
  CodeImageChanged();
  return TransferResult::Done;
}

}  // namespace dorvik
