#pragma once
// Typed value conversion: raw target bytes to typed items of the value list
// and a typed value list back to the raw bytes to write. The byte order of
// integers and of floats is a project option each.

#include <cstdint>
#include <span>

#include "lang/evaluator.h"

namespace dorvik {

// Byte-order options; one instance, reached through TypedValues().
struct TypedValueOptions {
  bool IntMSBFirst = true;    // ADDRESS, INTEGER, WORD, LONGINT, DOUBLEWORD: most significant byte first
  bool FloatMSBFirst = true;  // FLOAT: most significant byte first
};

TypedValueOptions& TypedValues();


// Bytes of one element of a type token (BIT and unknown types: 1).
uint8_t TypedValueSize(uint8_t typeToken);

// Reading
// Appends Count values of TypeToken, converted from the first LastIndex bytes
// of Bytes (Bytes[0] is the byte at the start address), to the value list.
// Elements are bits for BIT and for any type in the bit space: Mask is the
// bit of the first one within byte Addr, and both move on to the next bit.
// Stops early, without reading past the bytes given, when they run out.
void BytesToValues(uint8_t typeToken, int32_t lastIndex, int32_t count, std::span<const uint8_t> bytes,
                   int32_t& addr, uint8_t& mask, uint8_t space);

// Writing
// Turns the value list in place into a BYTE list of the raw bytes to write and
// returns it. Lists of one-byte types (CHAR, BYTE, BOOLEAN, SHORTINT) are left
// as they are; a BIT list packs eight items per byte (a rest of fewer than
// eight is dropped, so no bit outside the list is ever written).
tValueList& ValuesToBytes();

}  // namespace dorvik
