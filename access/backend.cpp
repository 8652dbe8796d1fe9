#include "access/backend.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "access/linkstate.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "lang/keywords.h"
#include "lang/typedvalue.h"
#include "machine/images.h"
#include "machine/simulator.h"

namespace dorvik {

namespace {

// Wiring, not session state: which backend serves which kind, by kind number.
using BackendTable = std::array<TargetBackend*, 4>;

BackendTable OwnBackends() {
  BackendTable own{};
  own[kTargetMonitor] = &MonitorBackendInstance();
  own[kTargetNone] = &NoTargetBackendInstance();
  own[kTargetAduc] = &AducBackendInstance();
  own[kTargetSimulator] = &SimulatorBackendInstance();
  return own;
}

BackendTable& Backends() {
  static BackendTable backends = OwnBackends();
  return backends;
}

}  // namespace

// Which backend serves which kind

TargetBackend& BackendFor(uint8_t kind) {
  return kind < Backends().size() ? *Backends()[kind] : NoTargetBackendInstance();
}

TargetBackend& CurrentBackend() { return BackendFor(Run().TargetKind); }

TargetBackend* SetBackendForTesting(uint8_t kind, TargetBackend* backend) {
  if (kind >= Backends().size()) return nullptr;
  TargetBackend* previous = Backends()[kind];
  Backends()[kind] = backend ? backend : OwnBackends()[kind];
  return previous;
}

// What every backend does unless it does it otherwise

bool TargetBackend::ReadBytes(uint8_t space, int32_t addr, std::span<uint8_t> out) {
  // The receive buffer is 1-based: positions 1..kRxBufferSize - 1 hold data.
  if (out.size() >= static_cast<size_t>(kRxBufferSize)) {
    ReportError(err::kDorvikInternalError);
    return false;
  }
  const int32_t count = static_cast<int32_t>(out.size());
  if (!ReadBlock(space, addr, count)) return false;
  const auto& rx = Link().RxBuffer;
  std::copy(rx.begin() + 1, rx.begin() + 1 + count, out.begin());
  return true;
}

void TargetBackend::StartRun(uint16_t from, const RunHelpers& h) {
  if (!h.PlantBreaks() || !Go(from, {})) {
    h.RestoreBreaks();
    return;
  }
  h.RunHere(from);
}

bool TargetBackend::RunOverCall(uint16_t address, uint16_t ret, const RunHelpers& h) {
  // The subroutine has returned when the PC is back at Ret with the stack of the call.
  Run().ProgramRunning = true;
  h.CursorAtReturn(ret, true);
  RunCallHere(address, ret, h.SliceSteps, h.Between);
  Run().CurrentPC = static_cast<uint32_t>(Images().SimPC);
  return true;
}

bool TargetBackend::WriteBits(int32_t bitAddr, std::span<const uint8_t> bits, bool) {
  for (size_t i = 0; i < bits.size(); ++i) {
    const BitPlace place = PlaceOfBit(bitAddr + static_cast<int32_t>(i));
    uint8_t byte = 0;
    if (!TargetReadBytes(place.Space, place.Byte, std::span<uint8_t>(&byte, 1))) return false;
    byte = bits[i] ? (byte | place.Mask) : (byte & static_cast<uint8_t>(~place.Mask));
    if (!WriteBlock(place.Space, place.Byte, std::span<const uint8_t>(&byte, 1), false, {})) return false;
  }
  return true;
}

bool TargetBackend::ReadTypedBlock(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count) {
  if (count <= 0) return true;
  if (count > 8 * kRxBufferSize) {  // more than the receive buffer holds, even as bits
    ReportError(err::kDorvikInternalError);
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
    ReportError(err::kDorvikInternalError);
    return false;
  }
  auto& rx = Link().RxBuffer;
  std::fill(rx.begin() + 1, rx.begin() + 1 + bytes, uint8_t{0xFF});  // positions past an internal space's end
  if (!ReadBlock(space, addr, bytes)) return false;
  int32_t at = addr;
  BytesToValues(typeToken, bytes, count, std::span<const uint8_t>(rx.data() + 1, static_cast<size_t>(bytes)), at,
                mask, elementSpace);
  return true;
}

void TargetBackend::WriteByte(uint8_t, int32_t, uint8_t, bool) {}

bool TargetBackend::WriteBlock(uint8_t space, int32_t addr, std::span<const uint8_t> bytes, bool,
                               const WriteProgress&) {
  const TargetCapabilities caps = Capabilities();
  if (!caps.WritesValues) return true;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int32_t a = addr + static_cast<int32_t>(i);
    // Not Single: a user's 0A5H in code memory is a byte, not a planted break.
    WriteByte(space, a, bytes[i], false);
    if (caps.LocalImages && space == kSpaceDirect && (a == sfr::ACC || a == sfr::PSW)) UpdateParityFlag();
  }
  return true;
}

bool TargetBackend::CopyBlock(uint8_t dstSpace, int32_t dst, uint8_t srcSpace, int32_t src, int32_t count) {
  constexpr int32_t kChunk = 256;
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max(count, 0)));
  for (int32_t done = 0; done < count; done += kChunk) {
    const int32_t n = std::min(kChunk, count - done);
    if (!ReadBytes(srcSpace, src + done, std::span<uint8_t>(bytes.data() + done, static_cast<size_t>(n))))
      return false;
  }
  return WriteBlock(dstSpace, dst, bytes, false, {});
}

bool TargetBackend::RegisterLines(std::vector<std::string>& lines) {
  lines.clear();
  return true;
}

bool TargetBackend::SendCommandLine(std::string_view) { return false; }

// Shared by the layer and the backends

BitPlace PlaceOfBit(int32_t bitAddr) {
  const uint8_t b = static_cast<uint8_t>(bitAddr);
  const uint8_t mask = static_cast<uint8_t>(1u << (b & 7));
  if (b < 0x80) return {kSpaceIData, 0x20 + b / 8, mask};
  return {kSpaceDirect, b & 0xF8, mask};
}

bool FirstCodeByte(std::string_view text, uint8_t& value) {
  text = text.substr(0, text.find(','));
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  unsigned v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > 0xFF) {
    ReportError(err::kDorvikInternalError);
    return false;
  }
  value = static_cast<uint8_t>(v);
  return true;
}

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

uint16_t ReadPair(uint8_t high, uint8_t low) {
  return static_cast<uint16_t>(TargetReadByte(kSpaceDirect, high) * 256 + TargetReadByte(kSpaceDirect, low));
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

RegisterRead ReadCommonRegister(uint8_t regToken, int32_t& value) {
  uint8_t high = 0, low = 0;
  if (regToken == tok::kPPC) {
    value = Images().PrevPC;
  } else if ((regToken == tok::kTM0 || regToken == tok::kTM1) && PairOf(regToken, high, low)) {
    value = ReadPair(high, low);
  } else if (regToken == tok::kBR0 || regToken == tok::kBR1) {
    value = BreakRegister(regToken - tok::kBR0);
  } else {
    return RegisterRead::Unknown;
  }
  return RegisterRead::Value;
}

}  // namespace dorvik
