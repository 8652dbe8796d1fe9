#pragma once
// Inside the object-module reader: the field reader that keeps
// every field within its record, and the type-definition records.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/omfrecords.h"
#include "objfiles/omfreader.h"

namespace dorvik {

// The content of one record, taken field by field; a field that runs past
// the content is refused (false) and takes nothing.
class ObjFields {
 public:
  explicit ObjFields(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Left() const { return bytes_.size() - pos_; }
  bool Byte(uint8_t& value) {
    if (Left() < 1) return false;
    value = bytes_[pos_++];
    return true;
  }
  // Little-endian.
  bool Word(uint16_t& value) {
    if (Left() < 2) return false;
    value = static_cast<uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
  }
  bool Skip(size_t count) {
    if (Left() < count) return false;
    pos_ += count;
    return true;
  }
  // A length byte and that many characters.
  bool Name(std::string& name) {
    if (Left() < 1 || Left() - 1 < bytes_[pos_]) return false;
    const size_t length = bytes_[pos_++];
    name.assign(reinterpret_cast<const char*>(bytes_.data() + pos_), length);
    pos_ += length;
    return true;
  }
  // What is left, taken whole.
  std::span<const uint8_t> Rest() {
    const auto rest = bytes_.subspan(pos_);
    pos_ = bytes_.size();
    return rest;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// A file type number as the collections know it: basic types (below 32) as
// they are, defined ones through the type map (0 when none was defined).
inline int32_t MappedType(const ObjReaderState& st, uint8_t number) {
  return number < 32 ? number : st.TypeMap[number];
}

// Type definitions record: its descriptors appended to TypeDefs. Returns 0,
// or the number of the error that ends the read (not reported yet).
int ReadTypeDefinitions(ObjFields& fields, ObjReaderState& st);

}  // namespace dorvik
