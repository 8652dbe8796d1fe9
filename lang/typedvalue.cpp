#include "lang/typedvalue.h"
#include "base/session.h"

#include <vector>

#include "lang/evaluator.h"
#include "lang/keywords.h"

namespace dorvik {

namespace {

// Reads bytes of a span from the front, never past its end.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool Has(size_t n) const { return index_ + n <= bytes_.size(); }
  uint8_t Byte() { return bytes_[index_++]; }
  // Two bytes by IntMSBFirst.
  uint32_t Word() {
    const uint32_t first = Byte();
    const uint32_t second = Byte();
    return TypedValues().IntMSBFirst ? (first << 8 | second) : (second << 8 | first);
  }
  // Two words by IntMSBFirst.
  uint32_t DoubleWord() {
    const uint32_t first = Word();
    const uint32_t second = Word();
    return TypedValues().IntMSBFirst ? (first << 16 | second) : (second << 16 | first);
  }
  // N bytes, the first the most (msbFirst) or the least significant.
  uint32_t Bytes(int n, bool msbFirst) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      const uint32_t b = Byte();
      v = msbFirst ? (v << 8 | b) : (v | b << (8 * i));
    }
    return v;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t index_ = 0;
};

// Bit number of a bit mask: its highest set bit (bit 0 for no bit at all).
int BitOfMask(uint8_t mask) {
  int bit = 0;
  while (mask > 1) {
    mask >>= 1;
    ++bit;
  }
  return bit;
}

void AppendBits(int32_t count, ByteReader& in, int32_t& addr, uint8_t& mask) {
  int bit = BitOfMask(mask);
  int32_t made = 0;
  while (made < count && in.Has(1)) {
    const uint8_t byte = in.Byte();
    for (; bit < 8 && made < count; ++bit, ++made) AppendValue(tok::kBIT, (byte >> bit) & 1);
    if (bit == 8) {
      bit = 0;
      ++addr;
    }
  }
  mask = static_cast<uint8_t>(1u << bit);
}

void PutBytes(std::vector<uint8_t>& out, uint32_t value, int n, bool msbFirst) {
  for (int i = 0; i < n; ++i) {
    const int shift = msbFirst ? 8 * (n - 1 - i) : 8 * i;
    out.push_back(static_cast<uint8_t>(value >> shift));
  }
}

}  // namespace

TypedValueOptions& TypedValues() { return CurrentSession().Get<TypedValueOptions>(); }

uint8_t TypedValueSize(uint8_t typeToken) { return static_cast<uint8_t>(ElementSize(typeToken)); }

void BytesToValues(uint8_t typeToken, int32_t lastIndex, int32_t count, std::span<const uint8_t> bytes,
                   int32_t& addr, uint8_t& mask, uint8_t space) {
  if (lastIndex < 0) lastIndex = 0;
  if (static_cast<size_t>(lastIndex) < bytes.size()) bytes = bytes.first(static_cast<size_t>(lastIndex));
  ByteReader in(bytes);
  if (typeToken == tok::kBIT || (space & 7) == kValueSpaceBit) {
    AppendBits(count, in, addr, mask);
    return;
  }
  const uint8_t size = TypedValueSize(typeToken);
  for (int32_t i = 0; i < count && in.Has(size); ++i) {
    uint32_t value = 0;
    switch (typeToken) {
      case tok::kADDRESS:
      case tok::kINTEGER:
      case tok::kWORD:
        value = in.Word();
        break;
      case tok::kLONGINT:
      case tok::kDOUBLEWORD:
        value = in.DoubleWord();
        break;
      case tok::kFLOAT:
        value = in.Bytes(4, TypedValues().FloatMSBFirst);
        break;
      case tok::kPOINTER:
        value = in.Bytes(3, false);
        break;
      default:  // BOOLEAN, CHAR, BYTE, SHORTINT (zero-extended, as every item)
        value = in.Byte();
        break;
    }
    AppendValue(typeToken, value);
  }
}

tValueList& ValuesToBytes() {
  tValueList& list = ValueList();
  std::vector<uint8_t> out;
  switch (list.ElemType) {
    case tok::kBIT: {
      const size_t whole = list.Items.size() / 8;
      for (size_t k = 0; k < whole; ++k) {
        uint8_t byte = 0;
        for (size_t j = 0; j < 8; ++j) byte |= static_cast<uint8_t>((list.Items[8 * k + j].Value & 1) << j);
        out.push_back(byte);
      }
      break;
    }
    case tok::kADDRESS:
    case tok::kINTEGER:
    case tok::kWORD:
      for (const tValueItem& item : list.Items) PutBytes(out, item.Value, 2, TypedValues().IntMSBFirst);
      break;
    case tok::kLONGINT:
    case tok::kDOUBLEWORD:
      for (const tValueItem& item : list.Items) PutBytes(out, item.Value, 4, TypedValues().IntMSBFirst);
      break;
    case tok::kFLOAT:
      for (const tValueItem& item : list.Items) PutBytes(out, item.Value, 4, TypedValues().FloatMSBFirst);
      break;
    case tok::kPOINTER:
      for (const tValueItem& item : list.Items) PutBytes(out, item.Value, 3, false);
      break;
    default:
      return list;
  }
  list.ElemType = tok::kBYTE;
  list.Items.clear();
  for (uint8_t b : out) list.Items.push_back({tok::kBYTE, b});
  return list;
}

}  // namespace dorvik
