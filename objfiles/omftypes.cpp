// Type definitions records: one descriptor after another, each defined type
// appended to TypeDefs and numbered in the file from 32 on.

#include <array>
#include <string>

#include "base/msgids.h"
#include "lang/collections.h"
#include "lang/keywords.h"
#include "lang/scanner.h"
#include "lang/typetext.h"
#include "objfiles/omffields.h"

namespace dorvik {

namespace {

// Descriptor codes
constexpr uint8_t kTypeList = 0x20;
constexpr uint8_t kTypeGenericPointer = 0x21;
constexpr uint8_t kTypeArray = 0x22;
constexpr uint8_t kTypeFunction = 0x23;
constexpr uint8_t kTypeTag = 0x24;
constexpr uint8_t kTypeStructure = 0x25;
constexpr uint8_t kTypeSpacedPointer = 0x28;

constexpr int kOk = 0;
constexpr int kInvalid = err::kFileNotValidObjectFile;

// The member text of a list: its type's text, a blank and its name.
std::string MemberText(const ObjReaderState& st, uint8_t type, const std::string& name) {
  std::string text;
  TypeDefText(static_cast<uint16_t>(MappedType(st, type)), false, text);
  if (text == TokenText(tok::kBIT).substr(0, 4)) text = "bit  ";
  return text + " " + name;
}

// A new item numbered TypeIndex; numbers past the map's end get no entry.
tTypeDefItem& AddType(ObjReaderState& st, tTypeDef kind) {
  auto& types = *Collections().TypeDefs;
  tTypeDefItem& item = types.Add();
  item.TypeDefID = kind;
  const int32_t mapped = types.Count() - 1 + 32;
  if (st.TypeIndex < static_cast<int32_t>(st.TypeMap.size()) && mapped <= 0xFFFF)
    st.TypeMap[static_cast<size_t>(st.TypeIndex)] = static_cast<uint16_t>(mapped);
  ++st.TypeIndex;
  return item;
}

// One descriptor. Ends (false) the record's descriptors at an unknown code.
int ReadDescriptor(ObjFields& f, ObjReaderState& st, bool& more) {
  uint8_t code = 0, a = 0, b = 0, c = 0;
  uint16_t word = 0;
  if (!f.Byte(code)) return kInvalid;
  switch (code) {
    case kTypeList: {
      uint16_t count = 0;
      if (!f.Word(count)) return kInvalid;
      std::string params;
      for (uint32_t i = 0; i < count; ++i) {
        std::string name;
        if (!f.Word(word) || !f.Byte(a) || !f.Name(name)) return kInvalid;
        if (i) params += ", ";
        params += MemberText(st, a, name);
      }
      AddType(st, tTypeDef::tParamRec).ParamStr = std::move(params);
      return kOk;
    }
    case kTypeGenericPointer: {
      if (!f.Byte(a)) return kInvalid;
      tTypeDefItem& t = AddType(st, tTypeDef::tOldPointer);
      t.ResultType = static_cast<uint16_t>(MappedType(st, a));
      t.Size = 3;
      return kOk;
    }
    case kTypeArray: {
      uint8_t dims = 0;
      if (!f.Byte(dims)) return kInvalid;
      std::array<int32_t, 256> bounds{};
      for (size_t i = 0; i < dims; ++i) {
        if (!f.Word(word)) return kInvalid;
        bounds[i] = word;
      }
      if (!f.Byte(a)) return kInvalid;
      tTypeDefItem& t = AddType(st, tTypeDef::tArray);
      t.Dimensions = dims;
      t.DimensionSizes = bounds;
      t.ResultType = static_cast<uint16_t>(MappedType(st, a));
      return kOk;
    }
    case kTypeFunction: {
      if (!f.Byte(a) || !f.Byte(b)) return kInvalid;
      tTypeDefItem& t = AddType(st, tTypeDef::tFunc);
      t.ResultType = static_cast<uint16_t>(MappedType(st, a));
      t.EmbedTypeID = static_cast<uint16_t>(MappedType(st, b));
      return kOk;
    }
    case kTypeTag: {
      std::string name;
      if (!f.Byte(a) || !f.Name(name) || name.empty()) return kInvalid;
      ++st.TypeIndex;  // a number without an item
      return kOk;
    }
    case kTypeStructure: {
      if (!f.Byte(a) || !f.Byte(b) || !f.Byte(c) || !f.Byte(a)) return kInvalid;
      tTypeDefItem& t = AddType(st, tTypeDef::tStructUnion);
      t.ResultType = 0;
      t.EmbedTypeID = static_cast<uint16_t>(MappedType(st, c));
      return kOk;
    }
    case kTypeSpacedPointer: {
      uint8_t size = 0, space = 0;
      if (!f.Byte(a) || !f.Byte(size) || !f.Byte(space) || !f.Skip(4) || !f.Byte(b)) return kInvalid;
      tTypeDefItem& t = AddType(st, tTypeDef::tPointer);
      t.ResultType = static_cast<uint16_t>(MappedType(st, b));
      t.MSpace = space;
      t.Size = size;
      return kOk;
    }
    default:
      f.Rest();
      more = false;
      return kOk;
  }
}

}  // namespace

int ReadTypeDefinitions(ObjFields& fields, ObjReaderState& st) {
  st.TypeIndex = 32;
  bool more = true;
  while (more && fields.Left() > 0)
    if (const int error = ReadDescriptor(fields, st, more); error != kOk) return error;
  return kOk;
}

}  // namespace dorvik
