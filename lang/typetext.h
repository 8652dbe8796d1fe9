#pragma once
// Debug type texts: C-like display texts of the loaded program's debug types
// ("int ", "Array [3][4] of char ", "int *XData") and of a symbol with its type.

#include <cstddef>
#include <cstdint>
#include <string>

#include "lang/collections.h"

namespace dorvik {

// Bounds of one type text, whatever the type records say: a type met again
// inside itself (a cycle among the records) shows as "... ", and so does
// what lies past the expansions allowed; a longer text is cut, ending "... ".
inline constexpr int kMaxTypeExpansions = 64;
inline constexpr size_t kMaxTypeTextLength = 240;

// Text of a basic type (0..31); types without a text leave `s` as passed.
void BasicTypeText(uint16_t typeId, std::string& s);
// Text of any type number; `expand` asks for a function's parameter list and
// a struct's member list.
void TypeDefText(uint16_t typeId, bool expand, std::string& s);
// Text of a symbol's type, with its location for arrays and pointers.
void SymbolTypeText(const tSymbolItem& symbol, bool expand, std::string& s);

// Reading a variable by its type
// At most this many elements of an array are read (its first ones).
inline constexpr int32_t kMaxTypedElements = 256;
// The value-list type of one element of a debug type and the number of
// elements (an array's, at most kMaxTypedElements): char, int, long, float,
// pointers (a generic one as POINTER, a spaced one as its address) and arrays
// of them. False for a type without a plain value (void, a structure, a
// function, an unknown number).
bool DebugTypeElements(int32_t typeId, uint8_t& elemType, int32_t& count);

}  // namespace dorvik
