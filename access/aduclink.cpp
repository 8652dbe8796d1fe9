#include "access/aduclink.h"

#include <algorithm>
#include <array>
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
#include "base/session.h"
#include "base/text.h"
#include "lang/keywords.h"
#include "machine/images.h"
#include "platform/pump.h"
#include "platform/serialport.h"

namespace dorvik {

namespace {

// What the ADuC link keeps between its commands.
struct AducLinkState {
  // An erased code page whose programming failed: its image, for the retry.
  int32_t PendingPage = -1;
  std::array<uint8_t, 64> PendingImage{};
  // The last 'R' was answered by the bare byte 07H (the chip reset itself).
  bool ChipResetReply = false;
};

AducLinkState& AducLink() { return CurrentSession().Get<AducLinkState>(); }

bool Failed() { return Messages().ErrorFlag; }


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

uint8_t ReadSfr(uint8_t a) { return AducCommand('V', a, 'Q'); }

bool StoreSfr(uint8_t a, uint8_t v) {
  AducCommand('I', v, kAckByte);
  if (Failed()) return false;
  AducCommand('F', a, kAckByte);
  return !Failed();
}

bool SetPointer(uint8_t space, uint32_t addr) {
  TargetState& t = Target();
  if (space == kSpaceCode) {
    t.AducSavedCodeCtl = ReadSfr(0xA7);
    if (Failed() || !StoreSfr(0xA7, 0)) return false;
  } else {
    t.AducSavedXdataCtl = ReadSfr(0xAF);
    if (Failed() || !StoreSfr(0xAF, 1) || !StoreSfr(sfr::DPP, static_cast<uint8_t>(addr >> 16))) return false;
  }
  return StoreSfr(sfr::DPL, static_cast<uint8_t>(addr)) && StoreSfr(sfr::DPH, static_cast<uint8_t>(addr >> 8));
}

bool RestorePointer(uint8_t space) {
  const TargetState& t = Target();
  return space == kSpaceCode ? StoreSfr(0xA7, t.AducSavedCodeCtl) : StoreSfr(0xAF, t.AducSavedXdataCtl);
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
      const uint8_t value = AducCommand(letter, 0, 'Q');
      if (Failed()) return false;
      out.push_back(value);
    } else {
      AducCommand(letter, static_cast<uint8_t>(n), 'D', n);
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
    AducCommand('A', image[static_cast<size_t>(pos)], kAckByte);
    if (Failed()) return false;
    ++pos;
  }
  return true;
}

}  // namespace

uint8_t AducCommand(char letter, uint8_t arg, uint8_t form, int32_t count) {
  LinkClearReceive();
  if (!LinkIsOpen()) {
    ReportError(err::kTargetDeviceNotResponding);
    return 0;
  }
  const uint8_t l = static_cast<uint8_t>(letter);
  const std::array<uint8_t, 3> frame{l, arg, CheckOf(uint32_t{l} + arg)};
  if (!LinkSendBytes(frame)) return 0;
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
        AducLink().ChipResetReply = true;
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

bool AducReadBlock(uint8_t space, int32_t addr, std::span<uint8_t> out) {
  const int32_t count = static_cast<int32_t>(std::min(out.size(), size_t{kRxBufferSize}));
  // Also the shadowed registers: a closed line shows nothing as if it were read.
  if (!LinkOpenOrReported()) return false;
  if (!LinkBlockReadArguments(space, addr, count)) return false;
  std::vector<uint8_t> data;
  if (space == kSpaceCode || space == kSpaceXData) {
    if (!ReadSpace(space, static_cast<uint32_t>(addr), count, data)) return false;
  } else if (space == kSpaceDirect) {
    if (count == 1) {
      const uint8_t a = static_cast<uint8_t>(addr);
      data.push_back(IsShadowedSfr(a) ? ShadowValue(a) : ReadSfr(a));
    } else {
      // The dump holds SFR FFH first: copied out before the answer is built.
      AducCommand('V', 0, 'D', 128);
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
      data.push_back(addr == 0 ? Target().TargetRegs.R0 : AducCommand('R', static_cast<uint8_t>(addr), 'Q'));
    } else {
      AducCommand('R', 0, 'D', 255);
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
  std::copy_n(data.begin(), std::min(data.size(), out.size()), out.begin());
  LinkPlaceBlock(data);
  return true;
}

bool AducReadTyped(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) {
  return AducBackendInstance().TargetBackend::ReadTypedBlock(space, addr, typeToken, count);
}

bool AducWriteCodeByte(uint16_t addr, uint8_t value) {
  const uint8_t one[1] = {value};
  return AducWriteCodePage(addr, one);
}

bool AducWriteCodePage(uint16_t addr, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return true;
  // The lines of the page are decoded again, whatever the write's outcome.
  for (size_t i = 0; i < bytes.size(); ++i) CodeImageChanged(static_cast<uint16_t>(addr + i));
  const uint16_t page = addr & 0xFFC0;
  if ((addr & 0x3F) + bytes.size() > 64) {
    ReportError(err::kDorvikInternalError);
    return false;
  }
  AducLinkState& s = AducLink();
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
      AducCommand('A', bytes[i], kAckByte);
      if (Failed()) return false;
    }
    return true;
  }
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(first));
  if (!erased) {
    if (!SetFlashAddress(page)) return false;
    AducCommand('P', 0, kAckByte);
    if (Failed()) return false;
  }
  // From the erase on, the page's contents live only in this image until it is programmed.
  s.PendingPage = page;
  s.PendingImage = image;
  if (!WritePage(page, image)) return false;
  s.PendingPage = -1;
  return true;
}

bool AducWriteXData(uint32_t addr, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return true;
  if (!SetPointer(kSpaceXData, addr)) return false;
  for (uint8_t b : bytes) {
    AducCommand('M', b, kAckByte);
    if (Failed()) return false;
  }
  return RestorePointer(kSpaceXData);
}

bool AducWriteByte(uint8_t space, int32_t addr, uint8_t value) {
  if (!LinkOpenOrReported()) return false;
  space &= 7;
  if (space == kSpaceDirect && addr < 0x80) space = kSpaceIData;
  const uint8_t a = static_cast<uint8_t>(addr);
  switch (space) {
    case kSpaceXData: {
      const uint8_t one[1] = {value};
      return AducWriteXData(static_cast<uint32_t>(addr), one);
    }
    case kSpaceCode:
      return AducWriteCodeByte(static_cast<uint16_t>(addr), value);
    case kSpaceIData:
      if (a == 0) {
        Target().TargetRegs.R0 = value;
        return true;
      }
      AducCommand('I', a, kAckByte);
      if (!Failed()) AducCommand('W', value, kAckByte);
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

bool AducGo(uint16_t from) { return AducStart('S', from); }

bool AducStart(char startLetter, uint16_t pc) {
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
    if (!AducReadBlock(kSpaceCode, pc, std::span<uint8_t>(&code, 1))) return false;
  }
  const tRegisterSet& r = Target().TargetRegs;
  const std::pair<uint8_t, uint8_t> stores[] = {
      {0xC6, r.SfrC6}, {0xBF, r.SfrBF}, {0xBE, r.SfrBE}, {0xBD, r.SfrBD}, {0xBC, r.SfrBC},
      {sfr::DPP, r.DPP}, {sfr::DPL, static_cast<uint8_t>(r.DPTR)}, {sfr::DPH, static_cast<uint8_t>(r.DPTR >> 8)},
      {sfr::SP, static_cast<uint8_t>(r.SP + 2)}, {0x8F, static_cast<uint8_t>(pc)}, {0x8E, static_cast<uint8_t>(pc >> 8)}};
  for (const auto& [a, v] : stores)
    if (!StoreSfr(a, v)) return false;
  AducCommand('I', r.R0, kAckByte);
  if (!Failed()) AducCommand('H', code, kAckByte);
  if (!Failed()) AducCommand('T', r.ACC, kAckByte);
  if (!Failed()) AducCommand(startLetter, r.PSW, kAckByte);
  return !Failed();
}

namespace {

// The 7 bytes at RxBuffer[At] are a break report: its lead byte and its check byte.
bool IsBreakReport(int32_t at) {
  const LinkState& l = Link();
  if (at < 0 || at + 7 > l.RxCount) return false;
  const auto byte = [&](int32_t i) { return l.RxBuffer[static_cast<size_t>(at + i)]; };
  uint32_t sum = 0;
  for (int32_t i = 1; i <= 5; ++i) sum += byte(i);
  return byte(0) == 'B' && byte(6) == CheckOf(sum);
}

}  // namespace

bool AducTakeBreakReport(int32_t at, bool adjustPC) {
  const LinkState& l = Link();
  if (!IsBreakReport(at)) return ProtocolFault();
  const auto byte = [&](int32_t i) { return l.RxBuffer[static_cast<size_t>(at + i)]; };
  tRegisterSet& r = Target().TargetRegs;
  r.ACC = byte(1);
  r.PSW = byte(2);
  r.R0 = byte(3);
  r.PC = static_cast<uint16_t>(byte(4) * 256 + byte(5) - (adjustPC ? 1 : 0));
  Run().CurrentPC = r.PC;
  return AducReadSfrShadows();
}

bool AducReadSfrShadows() {
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
  const auto start = std::chrono::steady_clock::now();
  while (l.RxCount < count) {
    const int64_t left = timeoutMs - LinkMsSince(start);
    if (left <= 0) {
      ReportError(l.RxCount <= 1 ? err::kTargetDeviceNotResponding : err::kReceiveTimeout);
      return false;
    }
    const int32_t before = l.RxIndex;
    l.RxIndex = l.RxCount;  // wait for news beyond what is there
    const LinkWait w = LinkWaitForChar(static_cast<int32_t>(left), true);
    l.RxIndex = before;
    if (w == LinkWait::Broken) {
      ReportError(err::kReceiveTimeout);
      return false;
    }
    if (w == LinkWait::Failed) {
      if (!Failed()) ReportError(err::kTargetDeviceNotResponding);
      return false;
    }
    if (w == LinkWait::TimedOut) {
      ReportError(l.RxCount <= 1 ? err::kTargetDeviceNotResponding : err::kReceiveTimeout);
      return false;
    }
  }
  return true;
}

}  // namespace

bool AducHalt(bool& targetReset) {
  targetReset = false;
  AducLink().ChipResetReply = false;
  AducCommand('R', 1, 'Q');
  if (Failed()) return false;
  if (AducLink().ChipResetReply) {
    // The chip reset itself instead of halting (its announcement may follow).
    targetReset = true;
    return true;
  }
  // The single-byte answer; the stopped program's SFRs are read into the
  // shadows, and its PSW (no break report brings it): R1-R7 are those of the
  // bank the program left selected.
  if (!AducReadSfrShadows()) return false;
  const uint8_t psw = ReadSfr(sfr::PSW);
  if (Failed()) return false;
  Target().TargetRegs.PSW = psw;
  return true;
}

bool AducStep(uint16_t at) {
  if (!AducStart('J', at)) return false;
  if (!AwaitCount(8, kAducBreakTimeoutMs)) return false;
  return AducTakeBreakReport(1, false);
}

bool AducReset() {
  AducCommand('Z', 0, 0);
  if (Failed()) return false;
  // The chip announces itself after its reset ("ADI 841" CR LF), within its restart time.
  const auto start = std::chrono::steady_clock::now();
  do {
    LinkNews news;
    if (LinkTakeNews(news) && news.ChipAnnounced) {
      Target().CpuFamily = kFamilyAduc;
      return true;
    }
    if (Failed()) return false;
    LinkIdleWait(5);
  } while (LinkMsSince(start) < kAducRestartMs);
  ReportError(err::kTargetDeviceNotResponding);
  return false;
}

bool AducSendPacket(uint8_t header, char command, std::span<const uint8_t> data) {
  if (header != 0x0E || data.size() > 250) return false;
  std::vector<uint8_t> packet{0x07, 0x0E, static_cast<uint8_t>(data.size() + 1), static_cast<uint8_t>(command)};
  packet.insert(packet.end(), data.begin(), data.end());
  uint32_t sum = 0;
  for (size_t i = 2; i < packet.size(); ++i) sum += packet[i];
  packet.push_back(CheckOf(sum));
  return LinkSendBytes(packet);
}

bool AducBaudTimerValues(int32_t baud, uint8_t& high, uint8_t& low) {
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

bool AducSetDownloadSpeed(int32_t baud) {
  uint8_t high = 0, low = 0;
  // A chip that has not announced itself yet keeps the line's speed: its
  // Timer-3 setting is not known, and the download works at the speed in use.
  if (Link().TargetChipId.empty()) return LinkIsOpen() || (ReportError(err::kTargetDeviceNotResponding), false);
  if (!AducBaudTimerValues(baud, high, low) || !platform::IsSupportedBaud(baud)) {
    ReportError(err::kBadValueBaudCommunicationSpeed);
    return false;
  }
  LinkClearReceive();
  const uint8_t data[2] = {high, low};
  if (!AducSendPacket(0x0E, 'B', data)) return false;
  // The chip acknowledges at the old speed, then switches.
  if (!LinkAwaitChar(kLoadAckTimeoutMs)) {
    if (!Failed()) ReportError(err::kTargetDeviceNotResponding);
    return false;
  }
  if (!LinkNextChar()) return false;
  if (static_cast<uint8_t>(Link().LinkChar) != kAckByte) return ProtocolFault();
  return LinkSetBaud(baud);
}

void AducRestoreLineSpeed(int32_t baud, bool chipRestarted) {
  if (!chipRestarted) AducSetDownloadSpeed(baud);
  LinkRestoreBaud(baud);
  LinkClearReceive();
}

bool AducTakeAnnouncement(std::string& text) {
  LinkState& l = Link();
  const int32_t at = l.RxIndex - 1;
  if (at < 0 || l.RxBuffer[static_cast<size_t>(at)] != 'A') return false;
  // The rest of the line, within the reply time-out.
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const std::string got = LinkReceivedText(at, l.RxCount);
    if (std::string_view("ADI ").substr(0, got.size()) != std::string_view(got).substr(0, 4)) return false;
    const size_t end = got.find('\r');
    if (end != std::string::npos) {
      text = got.substr(0, std::min<size_t>(end, 10));
      l.TargetChipId = text;
      ++l.ChipAnnouncements;
      return true;
    }
    if (got.size() > 12 || LinkMsSince(start) > kAducReplyTimeoutMs) return false;
    LinkIdleWait(5);
    if (!LinkReceive()) return false;
  }
}

bool AducTakeNews(LinkNews& news) {
  LinkState& l = Link();
  if (Run().ProgramRunning) {
    // After the start command's ACK only the break report or the chip's
    // announcement (it restarted) may come; anything else is a report that
    // arrived garbled.
    const int32_t at = l.RxIndex;
    const std::string text = LinkReceivedText(at, l.RxCount);
    if (text.empty()) return false;
    if (text[0] == 'B') {
      if (text.size() < 7) {
        news.Unfinished = true;
        return false;
      }
      if (!IsBreakReport(at)) {
        news.Garbled = true;
        return true;
      }
      // The stop is known from here on, also when reading the shadows fails (reported).
      AducTakeBreakReport(at, true);
      news.Halted = true;
      news.HaltPC = Target().TargetRegs.PC;
      return true;
    }
    constexpr std::string_view kHead = "ADI ";
    const size_t n = std::min(text.size(), kHead.size());
    const size_t end = text.find('\r');
    if (text.substr(0, n) != kHead.substr(0, n) || (end == std::string::npos && text.size() > 12)) {
      news.Garbled = true;
      return true;
    }
    if (end == std::string::npos) {
      news.Unfinished = true;
      return false;
    }
  }
  const std::string text = LinkReceivedText(0, l.RxCount);
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

}  // namespace dorvik
