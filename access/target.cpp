#include "access/target.h"
#include "base/session.h"

#include <algorithm>
#include <charconv>

#include "lang/collections.h"
#include "lang/cpudb.h"
#include "machine/disassembler.h"
#include "access/disasline.h"
#include "lang/evaluator.h"
#include "lang/formatting.h"
#include "lang/keywords.h"
#include "access/linerender.h"
#include "machine/bus.h"
#include "access/links.h"
#include "base/linkstate.h"
#include "base/messages.h"
#include "machine/opcodes.h"
#include "base/runstate.h"
#include "lang/scanner.h"
#include "machine/simulator.h"
#include "lang/target_access.h"
#include "lang/typedvalue.h"

namespace dorvik {

namespace {

constexpr int kErrorFraming = 105;
constexpr int kErrorInternal = 143;
constexpr int kErrorNotForCpu = 131;

// Processors without timer 2: TM2 and RCAP2 are unknown there.
constexpr std::array<std::string_view, 7> kCpusWithoutTimer2 = {"51", "44", "652", "451", "452", "152", "51GA"};

bool HasNoTimer2() {
  const std::string& name = CpuDb().CpuName;
  return std::find(kCpusWithoutTimer2.begin(), kCpusWithoutTimer2.end(), name) != kCpusWithoutTimer2.end();
}

uint8_t RegisterBank() { return (Images().SfrImage[sfr::PSW] & 0x18) >> 3; }

// The simulator's bytes of one space.
bool ReadImages(uint8_t space, int32_t addr, std::span<uint8_t> out) {
  MemoryImages& m = Images();
  switch (space & 7) {
    case kSpaceCode:
      for (size_t i = 0; i < out.size(); ++i) {
        const int64_t a = int64_t{addr} + static_cast<int64_t>(i);
        out[i] = (a >= 0 && a <= 0xFFFF) ? m.CodeImage[static_cast<size_t>(a)] : 0xFF;
      }
      return true;
    case kSpaceXData:
      for (size_t i = 0; i < out.size(); ++i) {
        const int64_t a = int64_t{addr} + static_cast<int64_t>(i);
        if (a < 0 || a > 0xFFFF) {
          out[i] = 0xFF;
          continue;
        }
        uint8_t b = m.XDataImage[static_cast<size_t>(a)];
        if (!m.SuppressXDataIO) b = ExternalRead(static_cast<uint16_t>(a), b, m.SfrImage[sfr::P3]);
        out[i] = b;
      }
      return true;
    case kSpaceDirect:
    case kSpaceIData:
      // The transfer ends at FFH: later positions are not written.
      for (size_t i = 0; i < out.size(); ++i) {
        const int64_t a = int64_t{addr} + static_cast<int64_t>(i);
        if (a < 0 || a > 0xFF) break;
        const bool sfrSpace = (space & 7) == kSpaceDirect && a >= 0x80;
        out[i] = sfrSpace ? m.SfrImage[static_cast<size_t>(a)] : m.IDataImage[static_cast<size_t>(a)];
      }
      return true;
    default:
      // Bits are read through their bytes; paged external data and EEPROM
      // have no image: they read as FFH rather than as stale buffer bytes.
      std::fill(out.begin(), out.end(), uint8_t{0xFF});
      return true;
  }
}

// Byte address and space of a bit address.
struct BitPlace {
  uint8_t Space;
  int32_t Byte;
  uint8_t Mask;
};
BitPlace PlaceOfBit(int32_t bitAddr) {
  const uint8_t b = static_cast<uint8_t>(bitAddr);
  const uint8_t mask = static_cast<uint8_t>(1u << (b & 7));
  if (b < 0x80) return {kSpaceIData, 0x20 + b / 8, mask};
  return {kSpaceDirect, b & 0xF8, mask};
}

// Single: the byte is written alone (not as part of a longer value).
void WriteImageByte(uint8_t space, int32_t addr, uint8_t value, bool single) {
  MemoryImages& m = Images();
  switch (space) {
    case kSpaceCode:
      // Run control plants its breaks with single-byte code writes: the
      // simulator keeps the replaced byte, so a run resumed there executes it.
      if (value == kBreakOpcode && single) {
        PlantBreak(static_cast<uint16_t>(addr));
        CodeImageChanged(static_cast<uint16_t>(addr));
        break;
      }
      m.CodeImage[static_cast<size_t>(addr)] = value;
      CodeImageChanged(static_cast<uint16_t>(addr));
      break;
    case kSpaceXData:
      m.XDataImage[static_cast<size_t>(addr)] = value;
      break;
    case kSpaceDirect:
      if (addr < 0x80) {
        m.IDataImage[static_cast<size_t>(addr)] = value;
      } else {
        m.SfrImage[static_cast<size_t>(addr)] = value;
        if (addr == sfr::ACC || addr == sfr::PSW) UpdateParityFlag();  // P follows ACC
      }
      break;
    case kSpaceIData:
      m.IDataImage[static_cast<size_t>(addr)] = value;
      break;
    default:
      break;
  }
}

uint16_t BreakRegister(int index) {
  const TargetState& t = Target();
  if (t.BreakHooks.Get) return t.BreakHooks.Get(index);
  return t.BreakRegisters[static_cast<size_t>(index)];
}

void SetBreakRegister(int index, uint16_t address) {
  TargetState& t = Target();
  if (t.BreakHooks.Set)
    t.BreakHooks.Set(index, address);
  else
    t.BreakRegisters[static_cast<size_t>(index)] = address;
}

uint16_t Pair(uint8_t high, uint8_t low) {
  return static_cast<uint16_t>(TargetReadByte(kSpaceDirect, high) * 256 + TargetReadByte(kSpaceDirect, low));
}

void WritePair(uint8_t high, uint8_t low, int32_t value) {
  TargetWriteValue(kSpaceDirect, high, (value >> 8) & 0xFF, 1);
  TargetWriteValue(kSpaceDirect, low, value & 0xFF, 1);
}

// The high and low SFR of a 16-bit register token, or false.
bool PairOf(uint8_t token, uint8_t& high, uint8_t& low) {
  switch (token) {
    case tok::kAB: high = sfr::ACC, low = sfr::B; return true;
    case tok::kTM0: high = sfr::TH0, low = sfr::TL0; return true;
    case tok::kTM1: high = sfr::TH1, low = sfr::TL1; return true;
    case tok::kTM2: high = sfr::TH2, low = sfr::TL2; return true;
    case tok::kRCAP2: high = sfr::RCAP2H, low = sfr::RCAP2L; return true;
    default: return false;
  }
}

// One hexadecimal code byte of the breakpoint text ("0" and two hex digits), before the first comma.
bool ParseCodeByte(std::string_view text, uint8_t& value) {
  text = text.substr(0, text.find(','));
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  unsigned v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
  if (ec != std::errc() || end != text.data() + text.size() || v > 0xFF) return false;
  value = static_cast<uint8_t>(v);
  return true;
}

// The access layer as the evaluator sees it.
class LayerAccess final : public TargetAccess {
 public:
  int32_t RegisterValue(uint8_t regToken) override { return TargetRegisterValue(regToken); }
  uint8_t ReadByte(uint8_t space, uint32_t addr) override {
    return TargetReadByte(space, static_cast<int32_t>(addr));
  }
  void ReadTypedRange(uint8_t space, uint8_t typeToken) override {
    ValueList().Items.clear();
    int32_t addr = Evaluator().RangeStart;
    TargetReadTypedBlock(space, addr, typeToken, Evaluator().RangeLength);
  }
  // The symbol's first byte (its bit in the bit space) from its own space.
  void ReadSymbolValue(const tSymbolItem& symbol) override {
    ValueList().Items.clear();
    TargetReadByte(symbol.SymClass & 7, static_cast<int32_t>(symbol.Value));
  }
};

LayerAccess g_layerAccess;

}  // namespace

TargetState& Target() { return CurrentSession().Get<TargetState>(); }

void InstallTargetAccess() { SetTargetAccess(&g_layerAccess); }

// Reading

bool TargetReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out) {
  switch (Run().TargetKind) {
    case kTargetSimulator:
      return ReadImages(space, addr, out);
    case kTargetMonitor:
    case kTargetAduc: {
      if (out.size() >= static_cast<size_t>(kRxBufferSize)) {
        ReportError(kErrorInternal);
        return false;
      }
      const int32_t count = static_cast<int32_t>(out.size());
      const bool ok = Run().TargetKind == kTargetMonitor ? MonitorReadBlock(space, addr, count)
                                                          : AdiReadBlock(space, addr, count);
      if (!ok) return false;
      const auto& rx = Link().RxBuffer;
      std::copy(rx.begin() + 1, rx.begin() + 1 + count, out.begin());
      return true;
    }
    default:
      return true;
  }
}

bool TargetReadBlock(uint8_t space, int32_t addr, int32_t count) {
  if (count <= 0) return true;
  // RxBuffer is 1-based: positions 1..kRxBufferSize - 1 hold data.
  if (count >= kRxBufferSize) {
    ReportError(kErrorInternal);
    return false;
  }
  auto& rx = Link().RxBuffer;
  switch (Run().TargetKind) {
    case kTargetSimulator:
      return ReadImages(space, addr, std::span<uint8_t>(rx.data() + 1, static_cast<size_t>(count)));
    case kTargetMonitor:
      return MonitorReadBlock(space, addr, count);
    case kTargetAduc:
      return AdiReadBlock(space, addr, count);
    default:
      return true;
  }
}

uint8_t TargetReadByte(uint8_t space, int32_t addr) {
  space &= 7;
  if (space == kSpaceDirect && addr < 0x80) space = kSpaceIData;
  uint8_t mask = 0;
  if (space == kSpaceBit) {
    const BitPlace p = PlaceOfBit(addr);
    space = p.Space;
    addr = p.Byte;
    mask = p.Mask;
  }
  // An internal address past FFH reads nothing: FFH then, not a stale byte.
  Link().RxBuffer[1] = 0xFF;
  if (!TargetReadBlock(space, addr, 1)) {
    ReportError(kErrorFraming);
    return 0;
  }
  uint8_t value = Link().RxBuffer[1];
  if (mask) value = (value & mask) ? 1 : 0;
  Scanner().ExprValue = value;
  AppendValue(mask ? tok::kBIT : tok::kBYTE, value);
  return value;
}

bool TargetReadTypedBlock(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) {
  const uint8_t kind = Run().TargetKind;
  if (kind == kTargetMonitor) return MonitorReadTyped(space, addr, typeToken, count);
  if (kind == kTargetAduc) return AdiReadTyped(space, addr, typeToken, count);
  if (kind != kTargetSimulator || count <= 0) return true;
  if (count > 8 * kRxBufferSize) {  // more than the receive buffer holds, even as bits
    ReportError(kErrorInternal);
    return false;
  }
  space &= 7;
  const uint8_t elementSpace = space;  // the conversion takes bits from the bit space
  const uint8_t elementBytes = TypedValueSize(typeToken);
  uint8_t mask = 0xFF;
  int32_t bytes = count * elementBytes;
  if (typeToken == tok::kBIT || (space == kSpaceBit && elementBytes == 1)) {
    const BitPlace first = PlaceOfBit(addr);
    const BitPlace last = PlaceOfBit(addr + count - 1);
    // Bits past FFH wrap into the low bit addresses: read only up to the end of the first's space.
    const int32_t lastByte = last.Space == first.Space && last.Byte >= first.Byte ? last.Byte : first.Byte;
    space = first.Space;
    addr = first.Byte;
    mask = first.Mask;
    bytes = lastByte - first.Byte + 1;
  }
  if (bytes >= kRxBufferSize) {
    ReportError(kErrorInternal);
    return false;
  }
  auto& rx = Link().RxBuffer;
  std::fill(rx.begin() + 1, rx.begin() + 1 + bytes, uint8_t{0xFF});  // positions past an internal space's end
  if (!TargetReadBlock(space, addr, bytes)) return false;
  int32_t at = addr;
  BytesToValues(typeToken, bytes, count, std::span<const uint8_t>(rx.data() + 1, static_cast<size_t>(bytes)), at,
                mask, elementSpace);
  return true;
}

// Writing

void TargetWriteValue(uint8_t space, int32_t addr, int32_t value, uint8_t size) {
  if (Run().TargetKind != kTargetSimulator) return;
  space &= 7;
  if (space == kSpaceDirect && addr >= 0 && addr < 0x80) space = kSpaceIData;
  if (space == kSpaceBit) {
    const BitPlace p = PlaceOfBit(addr);
    uint8_t byte = TargetReadByte(p.Space, p.Byte);
    byte = value ? (byte | p.Mask) : (byte & static_cast<uint8_t>(~p.Mask));
    space = p.Space;
    addr = p.Byte;
    value = byte;
    size = 1;
  }
  if (space > kSpaceIData) return;
  const int32_t limit = space <= kSpaceXData ? 0xFFFF : 0xFF;
  for (int k = 0; k < size; ++k) {
    const int64_t a = int64_t{addr} + k;
    if (a < 0 || a > limit) break;
    const int shift = 8 * (size - 1 - k);
    const uint8_t b = shift < 32 ? static_cast<uint8_t>(static_cast<uint32_t>(value) >> shift) : 0;
    WriteImageByte(space, static_cast<int32_t>(a), b, size == 1);
  }
}

void TargetWriteCodeByte(uint16_t addr, std::string_view valueText) {
  const uint8_t kind = Run().TargetKind;
  if (kind == kTargetMonitor) {
    std::string command = "CB " + FormatHex4(addr);
    command += '=';
    command += valueText;
    command += '\r';
    if (MonitorSendString(command)) MonitorWaitPrompt();
    return;
  }
  if (kind != kTargetAduc && kind != kTargetSimulator) return;
  uint8_t value = 0;
  if (!ParseCodeByte(valueText, value)) {
    ReportError(kErrorInternal);
    return;
  }
  if (kind == kTargetAduc) {
    ValueList().Items.assign(1, tValueItem{tok::kBYTE, value});
    AdiWriteCodeByte(addr, value);
    return;
  }
  WriteImageByte(kSpaceCode, addr, value, true);
}

void CodeImageChanged(uint16_t addr) {
  Target().CodeCacheAddr = -1;
  DisasLines().InvalidateLines(addr);
  InvalidateDecoded(addr);
}

void CodeImageChanged() {
  Target().CodeCacheAddr = -1;
  DisasLines().InvalidateAll();
  InvalidateAllDecoded();
}

// Code lines

namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

std::string TextFromMnemonic(const std::string& line) {
  if (line.size() <= kDisasMnemonicColumn) return {};
  return std::string(Trimmed(std::string_view(line).substr(kDisasMnemonicColumn)));
}

// Reads the hex number of Len characters at Pos; -1 when it is not one.
int32_t HexField(const std::string& s, size_t pos, size_t len) {
  if (pos + len > s.size()) return -1;
  int32_t v = 0;
  for (size_t i = 0; i < len; ++i) {
    const uint8_t d = HexDigitValue(s[pos + i]);
    if (d > 15) return -1;
    v = v * 16 + d;
  }
  return v;
}

// Decodes Bytes at Addr into the line item; false when the text does not read back.
bool BuildLine(tDisasLine& item, uint16_t addr, uint32_t bytes) {
  const std::string text = Disassemble(addr, bytes);
  const int32_t address = HexField(text, 0, 4);
  if (address < 0) return false;
  std::array<uint8_t, 3> code{};
  uint8_t count = 0;
  for (size_t col = kDisasBytesColumn; count < 3 && col < kDisasBytesColumn + 6; col += 2) {
    if (col >= text.size() || text[col] == ' ') break;
    const int32_t b = HexField(text, col, 2);
    if (b < 0) return false;
    code[count++] = static_cast<uint8_t>(b);
  }
  if (count == 0) return false;
  item.Addr = static_cast<uint16_t>(address);
  item.BytesNo = count;
  item.OpCode = code[0];
  item.DisasText = text;
  item.SourceLine.clear();
  BuildDisasLineLabels(item);
  return true;
}

// The line's text from the mnemonic on: the symbolic rendering when there is one.
std::string LineText(const tDisasLine& item) {
  return TextFromMnemonic(item.SourceLine.empty() ? item.DisasText : item.SourceLine);
}

}  // namespace

std::string DisassembleLine(int32_t addr) {
  RunState& run = Run();
  const bool wasBusy = run.TargetBusy;
  run.TargetBusy = true;
  const uint16_t address = static_cast<uint16_t>(addr);
  tDisasLine& item = DisasLines().GetItem(address);
  std::string text;
  bool built = false;
  bool readable = true;
  if (item.IsDecoded()) {
    text = LineText(item);
    if (run.ProgramRunning) {
      run.TargetBusy = wasBusy;
      return text;
    }
    // Decoded again from the bytes the item holds.
    uint32_t bytes = item.OpCode;
    for (size_t k = 1; k < item.BytesNo; ++k) {
      const int32_t b = HexField(item.DisasText, kDisasBytesColumn + 2 * k, 2);
      if (b >= 0) bytes |= static_cast<uint32_t>(b) << (8 * k);
    }
    built = BuildLine(item, address, bytes);
  } else if (run.TargetReady) {
    TargetState& t = Target();
    if (t.CodeCacheAddr < 0 || addr < t.CodeCacheAddr || addr > t.CodeCacheAddr + 13) {
      if (!TargetReadBytes(kSpaceCode, address, t.CodeCache)) readable = false;
      else t.CodeCacheAddr = address;
    }
    if (readable) {
      const size_t at = static_cast<size_t>(address - t.CodeCacheAddr);
      const uint32_t bytes = t.CodeCache[at] | uint32_t{t.CodeCache[at + 1]} << 8 | uint32_t{t.CodeCache[at + 2]} << 16;
      built = BuildLine(item, address, bytes);
    }
  } else {
    readable = false;
  }
  if (built) {
    text = LineText(item);
  } else if (readable || item.IsDecoded()) {
    MessageState& m = Messages();
    item.Invalidate();
    text.clear();
    if (m.LastErrorCode == 107 && m.TargetErrorNumber == 17) {
      // The monitor reports its break opcode: shown as a data byte.
      const std::string line = FormatHex4(address) + "H A5        DB      0A5H";
      item.Addr = address;
      item.BytesNo = 1;
      item.OpCode = 0xA5;
      item.DisasText = line;
      item.SourceLine = line;
      Link().RxIndex = Link().RxCount;
      text = "DB      0A5H";
    } else if (m.ShowMessageBoxes) {
      ReportError(kErrorFraming);
    }
  }
  if (text.empty()) {
    // Message output is switched back on after a line that could not be shown.
    SuspendMessages();
    ResumeMessages();
  }
  run.TargetBusy = wasBusy;
  return text;
}

// Registers

void TargetGetRegisters(tRegisterFrame& frame) {
  LinkState& link = Link();
  link.RxIndex = 0;
  std::fill(link.RxBuffer.begin(), link.RxBuffer.begin() + 11, uint8_t{0});
  link.RxCount = 0;
  if (Run().TargetKind != kTargetSimulator) return;
  const TargetState& t = Target();
  const auto& s = Images().SfrImage;
  frame.DPTR = s[sfr::DPH] * 256u + s[sfr::DPL];
  if (t.CpuFamily == kFamilyAduc) {
    Target().TargetRegs.DPP = s[sfr::DPP];
    frame.DPTR |= uint32_t{s[sfr::DPP]} << 16;
  }
  frame.SP = s[sfr::SP];
  frame.PSW = s[sfr::PSW];
  frame.ACC = s[sfr::ACC];
  frame.B = s[sfr::B];
  frame.PC = static_cast<uint32_t>(Images().SimPC);
  const size_t base = 8u * ((frame.PSW & 0x18) >> 3);
  for (size_t n = 0; n < 8; ++n) frame.R[n] = Images().IDataImage[base + n];
}

int32_t TargetRegisterValue(uint8_t regToken) {
  ScannerState& scan = Scanner();
  scan.ScanToken = tok::kNumberValue;
  if ((regToken == tok::kTM2 || regToken == tok::kRCAP2) && HasNoTimer2()) {
    ReportError(kErrorNotForCpu);
    scan.ExprValue = 0;
    return 0;
  }
  uint8_t high = 0, low = 0;
  if ((regToken == tok::kAB || regToken == tok::kTM2 || regToken == tok::kRCAP2) && PairOf(regToken, high, low)) {
    const int32_t v = Pair(high, low);
    scan.ExprValue = v;
    return v;
  }
  const TargetState& t = Target();
  const uint8_t kind = Run().TargetKind;
  int32_t value = static_cast<int32_t>(scan.ExprValue);
  bool known = true;
  if (kind == kTargetMonitor) {
    if (!MonitorQueryRegister(regToken, value)) return 0;
  } else if (kind == kTargetAduc || kind == kTargetSimulator) {
    const bool sim = kind == kTargetSimulator;
    if (regToken >= tok::kR0 && regToken <= tok::kR7) {
      const uint8_t n = regToken - tok::kR0;
      if (!sim && n == 0) {
        value = t.TargetRegs.R0;
      } else {
        const uint8_t bank = sim ? RegisterBank() : static_cast<uint8_t>((t.TargetRegs.PSW & 0x18) >> 3);
        value = Images().IDataImage[8u * bank + n];
      }
    } else if (regToken == tok::kDPTR) {
      if (sim) {
        value = Images().SfrImage[sfr::DPH] * 256 + Images().SfrImage[sfr::DPL];
        if (t.CpuFamily == kFamilyAduc) value |= int32_t{Images().SfrImage[sfr::DPP]} << 16;
      } else {
        value = static_cast<int32_t>(t.TargetRegs.DPTR | (uint32_t{t.TargetRegs.DPP} << 16));
      }
    } else if (regToken == tok::kPC) {
      value = sim ? Images().SimPC : t.TargetRegs.PC;
    } else if (regToken == tok::kPPC) {
      value = Images().PrevPC;
    } else if (regToken == tok::kTM0 || regToken == tok::kTM1) {
      PairOf(regToken, high, low);
      value = Pair(high, low);
    } else if (regToken == tok::kBR0 || regToken == tok::kBR1) {
      value = BreakRegister(regToken - tok::kBR0);
    } else {
      known = false;
    }
  } else {
    known = false;
  }
  if (known) scan.ExprValue = value;
  return static_cast<int32_t>(scan.ExprValue);
}

bool TargetSetRegister(uint8_t regToken, int32_t value) {
  MessageState& m = Messages();
  const bool earlierError = m.ErrorFlag;
  m.ErrorFlag = false;
  if ((regToken == tok::kTM2 || regToken == tok::kRCAP2) && HasNoTimer2()) {
    ReportError(kErrorNotForCpu);
    return false;
  }
  TargetState& t = Target();
  const uint8_t kind = Run().TargetKind;
  uint8_t high = 0, low = 0;
  if (PairOf(regToken, high, low)) {
    WritePair(high, low, value);
  } else if (kind == kTargetMonitor) {
    MonitorSetRegister(regToken, value);
  } else if (kind == kTargetAduc) {
    if (regToken == tok::kR0) {
      t.TargetRegs.R0 = static_cast<uint8_t>(value);
    } else if (regToken > tok::kR0 && regToken <= tok::kR7) {
      const uint8_t bank = (t.TargetRegs.PSW & 0x18) >> 3;
      TargetWriteValue(kSpaceIData, 8 * bank + (regToken - tok::kR0), value, 1);
    } else if (regToken == tok::kDPTR) {
      t.TargetRegs.DPTR = static_cast<uint32_t>(value) & 0xFFFF;
      t.TargetRegs.DPP = static_cast<uint8_t>(value >> 16);
    } else if (regToken == tok::kPC) {
      t.TargetRegs.PC = static_cast<uint16_t>(value);
    }
  } else if (kind == kTargetSimulator) {
    if (regToken == tok::kPC) {
      Images().SimPC = value & 0xFFFF;
    } else if (regToken == tok::kPPC) {
      Images().PrevPC = static_cast<uint16_t>(value);
    } else if (regToken == tok::kBR0 || regToken == tok::kBR1) {
      SetBreakRegister(regToken - tok::kBR0, static_cast<uint16_t>(value));
    } else if (regToken >= tok::kR0 && regToken <= tok::kR7) {
      Images().IDataImage[8u * RegisterBank() + (regToken - tok::kR0)] = static_cast<uint8_t>(value);
    } else if (regToken == tok::kDPTR) {
      if (t.CpuFamily == kFamilyAduc) {
        t.TargetRegs.DPP = static_cast<uint8_t>(value >> 16);
        Images().SfrImage[sfr::DPP] = t.TargetRegs.DPP;
      }
      Images().SfrImage[sfr::DPH] = static_cast<uint8_t>(value >> 8);
      Images().SfrImage[sfr::DPL] = static_cast<uint8_t>(value);
    }
  }
  const bool ok = !m.ErrorFlag;
  m.ErrorFlag = m.ErrorFlag || earlierError;
  return ok;
}

}  // namespace dorvik
