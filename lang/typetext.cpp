#include "lang/typetext.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "lang/formatting.h"
#include "lang/keywords.h"
#include "lang/scanner.h"

namespace dorvik {

namespace {

constexpr uint16_t kFirstDefinedType = 32;
constexpr char kUnknownType[] = "<symbol> ";
constexpr char kCutType[] = "... ";  // a type met again inside itself, or a text cut short

// The first four characters of a keyword's display text ("BIT ", "XDAT", "LENG").
std::string KeywordWord(uint8_t token) { return TokenText(token).substr(0, 4); }

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

const char* PointerSpaceWord(uint8_t space) {
  switch (space) {
    case 1: return "IData";
    case 2: return "XData";
    case 3: return "PData";
    case 4: return "Data";
    case 5: return "Code";
    default: return "";
  }
}

// The type item of a defined type number, or nullptr (then the text is "<symbol> ").
const tTypeDefItem* DefinedType(uint32_t typeId) {
  const auto& types = Collections().TypeDefs;
  if (!types) return nullptr;
  return types->GetItem(static_cast<int32_t>(typeId) - kFirstDefinedType);
}

bool KnownKind(const tTypeDefItem& t) { return static_cast<uint8_t>(t.TypeDefID) <= 5; }

// One text being built: the types being expanded (a type met again inside
// itself is a cycle) and the number of types it may still expand. Both keep
// the work and the text linear however the type records refer to each other.
struct TypeWalk {
  std::vector<uint16_t> open;
  int budget = kMaxTypeExpansions;
};

// Cuts a text that grew too long, marking the cut.
std::string Bounded(std::string s) {
  if (s.size() > kMaxTypeTextLength) {
    s.resize(kMaxTypeTextLength - std::string_view(kCutType).size());
    s += kCutType;
  }
  return s;
}

std::string TypeText(uint16_t typeId, bool expand, TypeWalk& walk);
std::string DefinedTypeText(const tTypeDefItem& t, bool expand, TypeWalk& walk);

std::string ExpandedText(uint16_t typeId, TypeWalk& walk) { return Trimmed(TypeText(typeId, true, walk)); }

// The texts that TypeDefText and SymbolTypeText share: parameter records,
// functions and structures.
std::string SharedKindText(const tTypeDefItem& t, bool expand, TypeWalk& walk) {
  switch (t.TypeDefID) {
    case tTypeDef::tParamRec: return Trimmed(t.ParamStr) + " ";
    case tTypeDef::tFunc: {
      std::string s = TypeText(t.ResultType, true, walk);
      if (s == "BIT ") s = "bit ";
      s += "  ";
      if (expand) {
        s += "(";
        if (t.EmbedTypeID != 0) s += ExpandedText(t.EmbedTypeID, walk);
        s += ")";
      }
      return s;
    }
    case tTypeDef::tStructUnion: {
      std::string s = "<struct/union> ";
      if (expand) s += "{" + ExpandedText(t.EmbedTypeID, walk) + "}";
      return s;
    }
    default: return {};
  }
}

std::string OldPointerText(const tTypeDefItem& t) {
  std::string s;
  BasicTypeText(t.ResultType, s);
  return s + "*";
}

std::string TypeText(uint16_t typeId, bool expand, TypeWalk& walk) {
  std::string s;
  if (typeId < kFirstDefinedType) {
    BasicTypeText(typeId, s);
    return s;
  }
  const tTypeDefItem* t = DefinedType(typeId);
  if (!t) return kUnknownType;
  if (!KnownKind(*t)) return {};
  if (walk.budget <= 0 || std::find(walk.open.begin(), walk.open.end(), typeId) != walk.open.end())
    return kCutType;
  --walk.budget;
  walk.open.push_back(typeId);
  std::string text = Bounded(DefinedTypeText(*t, expand, walk));
  walk.open.pop_back();
  return text;
}

std::string DefinedTypeText(const tTypeDefItem& t, bool expand, TypeWalk& walk) {
  std::string s;
  switch (t.TypeDefID) {
    case tTypeDef::tArray: {
      s = "Array ";
      for (int i = 0; i < t.Dimensions; ++i) s += "[" + std::to_string(t.DimensionSizes[i]) + "]";
      return s + " of " + TypeText(t.ResultType, true, walk);
    }
    case tTypeDef::tPointer:
      return TypeText(t.ResultType, true, walk) + "*" + PointerSpaceWord(t.MSpace);
    case tTypeDef::tOldPointer: return OldPointerText(t);
    default: return SharedKindText(t, expand, walk);
  }
}

std::string HexAddress(uint32_t value) { return "0" + FormatHex4(static_cast<uint16_t>(value)) + "H"; }

}  // namespace

void BasicTypeText(uint16_t typeId, std::string& s) {
  switch (typeId) {
    case 0: s = kUnknownType; break;
    case 1: s = KeywordWord(tok::kBIT); break;
    case 2: s = "char "; break;
    case 3: s = "byte "; break;
    case 4: s = "int "; break;
    case 5: s = "word "; break;
    case 6: s = "long "; break;
    case 7: s = "doubleword "; break;
    case 8:
    case 12: s = "float "; break;
    case 11: s = "void "; break;
    default: break;
  }
}

void TypeDefText(uint16_t typeId, bool expand, std::string& s) {
  if (typeId < kFirstDefinedType) {
    BasicTypeText(typeId, s);
    return;
  }
  TypeWalk walk;
  s = TypeText(typeId, expand, walk);
}

void SymbolTypeText(const tSymbolItem& symbol, bool expand, std::string& s) {
  const int32_t n = symbol.VarType;
  if (n >= 0 && n < kFirstDefinedType) {
    BasicTypeText(static_cast<uint16_t>(n), s);
    s += "." + symbol.Name;
    return;
  }
  const tTypeDefItem* t = n < 0 ? nullptr : DefinedType(static_cast<uint32_t>(n));
  if (!t) {
    s = kUnknownType;
    return;
  }
  if (!KnownKind(*t)) {
    s.clear();
    return;
  }
  TypeWalk walk;
  walk.open.push_back(static_cast<uint16_t>(n));
  const std::string space = KeywordWord(static_cast<uint8_t>(tok::kCODE + (symbol.SymClass & 7)));
  switch (t->TypeDefID) {
    case tTypeDef::tArray: {
      long long elements = 1;
      for (int i = 0; i < t->Dimensions; ++i) elements *= t->DimensionSizes[i];
      s = TypeText(t->ResultType, true, walk) + space + " " + HexAddress(symbol.Value) + " " +
          KeywordWord(tok::kLENGTH) + " " + std::to_string(elements) + "T";
      return;
    }
    case tTypeDef::tPointer: s = "Pointer " + space + " " + HexAddress(symbol.Value); return;
    case tTypeDef::tOldPointer: s = OldPointerText(*t); return;
    default: s = Bounded(SharedKindText(*t, expand, walk)); return;
  }
}

bool DebugTypeElements(int32_t typeId, uint8_t& elemType, int32_t& count) {
  count = 1;
  // An array of arrays multiplies its dimensions; the walk is bounded for
  // type records that refer to themselves.
  for (int depth = 0; depth < 8; ++depth) {
    if (typeId >= 0 && typeId < kFirstDefinedType) {
      switch (typeId) {
        case 1: elemType = tok::kBIT; return true;
        case 2: elemType = tok::kCHAR; return true;
        case 3: elemType = tok::kBYTE; return true;
        case 4: elemType = tok::kINTEGER; return true;
        case 5: elemType = tok::kWORD; return true;
        case 6: elemType = tok::kLONGINT; return true;
        case 7: elemType = tok::kDOUBLEWORD; return true;
        case 8:
        case 12: elemType = tok::kFLOAT; return true;
        default: return false;
      }
    }
    const tTypeDefItem* t = typeId < 0 ? nullptr : DefinedType(static_cast<uint32_t>(typeId));
    if (!t) return false;
    switch (t->TypeDefID) {
      case tTypeDef::tOldPointer: elemType = tok::kPOINTER; return true;
      case tTypeDef::tPointer: {
        // A generic pointer holds its space in a third byte; a pointer into
        // one space is its address there (one byte for the internal spaces).
        const uint8_t size = t->Size != 0 ? t->Size : t->MSpace == 0 ? 3 : (t->MSpace == 2 || t->MSpace == 5) ? 2 : 1;
        elemType = size >= 3 ? tok::kPOINTER : size == 2 ? tok::kWORD : tok::kBYTE;
        return true;
      }
      case tTypeDef::tArray:
        for (int i = 0; i < t->Dimensions; ++i)
          count = static_cast<int32_t>(std::clamp<int64_t>(int64_t{count} * std::max(t->DimensionSizes[i], 1), 1,
                                                           kMaxTypedElements));
        typeId = t->ResultType;
        break;
      default: return false;
    }
  }
  return false;
}

}  // namespace dorvik
