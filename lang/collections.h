#pragma once
// Shared collections of the loaded program's debug information (symbols,
// modules, debug types), the upper-casing string list, the layout of the
// evaluation hint window and the communication form's state.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text.h"

namespace dorvik {

// Symbol classes (low 4 bits of SymClass) and the public bit.
inline constexpr uint8_t kClassCode = 0;
inline constexpr uint8_t kClassXData = 1;
inline constexpr uint8_t kClassData = 2;
inline constexpr uint8_t kClassIData = 3;
inline constexpr uint8_t kClassBit = 4;
inline constexpr uint8_t kClassNumber = 5;
inline constexpr uint8_t kClassProcedure = 10;
inline constexpr uint8_t kClassLine = 12;
inline constexpr uint8_t kClassScopeBegin = 13;
inline constexpr uint8_t kClassScopeEnd = 14;
inline constexpr uint8_t kClassCodeOrLine = 15;   // lookup wildcard: code and line symbols
inline constexpr uint8_t kClassAfterModule = 32;  // lower 7 bits: returned as token 11 after ":module."
inline constexpr uint8_t kClassPublic = 0x80;
inline constexpr uint8_t kAnyClass = 255;

// One symbol of the loaded program.
struct tSymbolItem {
  std::string Name;  // as loaded; lookups compare upper-cased
  uint32_t Value = 0;
  uint8_t Nesting = 0;
  uint8_t SymClass = 0;
  int32_t Number = 0;   // source line of a line symbol
  int32_t VarType = 0;  // 0 none, below 32 basic, from 32 an entry of TypeDefs

  // Copies Name, Value, Nesting and SymClass; Number and VarType stay.
  void Assign(const tSymbolItem& source);
  std::string DisplayName() const;
};

// One module of the loaded program: its code address range.
struct tModuleItem {
  std::string Name;
  uint16_t Start = 0;
  uint16_t Stop = 0;
  bool Flag = false;  // the module has its own symbol record

  void Assign(const tModuleItem& source);
  std::string DisplayName() const;
};

// Debug type kinds.
enum class tTypeDef : uint8_t { tParamRec, tArray, tFunc, tStructUnion, tPointer, tOldPointer };

// One debug type of the loaded program.
struct tTypeDefItem {
  std::string TypeName = "TypeDef";
  tTypeDef TypeDefID = tTypeDef::tParamRec;
  uint16_t EmbedTypeID = 0;
  uint16_t ResultType = 0;
  uint8_t MSpace = 0;
  uint8_t Size = 0;
  uint8_t Dimensions = 0;
  std::string ParamStr;
  std::array<int32_t, 256> DimensionSizes{};

  // Copies every field; of the dimension sizes only the first Dimensions.
  void Assign(const tTypeDefItem& source);
  std::string DisplayName() const;
};

// An owned, ordered, index-addressed list of items of one kind.
template <class Item>
struct tItemCollection {
  std::vector<Item> Items;

  Item& Add() { return Items.emplace_back(); }
  // nullptr when Index is out of range.
  Item* GetItem(int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < Items.size() ? &Items[index] : nullptr;
  }
  const Item* GetItem(int32_t index) const {
    return index >= 0 && static_cast<size_t>(index) < Items.size() ? &Items[index] : nullptr;
  }
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  void Clear() { Items.clear(); }
};

// The symbol table: its items, and their indices by name for lookups that
// must not walk the table. The index follows the items as lookups ask for it
// (a name is set right after its Add, before any lookup).
struct TSymbolCollection : tItemCollection<tSymbolItem> {
  void Clear() {
    Items.clear();
    byName_.clear();
    indexed_ = 0;
  }
  // The indices of the symbols named UpperName without regard to case, ascending.
  const std::vector<int32_t>& Named(const std::string& upperName) const;

 private:
  mutable std::unordered_map<std::string, std::vector<int32_t>> byName_;
  mutable size_t indexed_ = 0;  // the items before this one are in byName_
};
using TModuleCollection = tItemCollection<tModuleItem>;
using tTypeDefCollection = tItemCollection<tTypeDefItem>;

// Index of no item (the nil of FoundSymbol and FoundModule).
inline constexpr int32_t kNoItem = -1;

// The loaded program's debug information; one instance, reached through Collections().
// The tables exist only while a program with debug information is loaded.
struct CollectionsState {
  std::optional<TSymbolCollection> SymbolTable;
  std::optional<TModuleCollection> ModuleTable;
  std::optional<tTypeDefCollection> TypeDefs;
  int32_t FoundSymbol = kNoItem;  // index into SymbolTable
  int32_t FoundModule = kNoItem;  // index into ModuleTable
};

CollectionsState& Collections();

// Creates the tables that do not exist yet (the loader fills them).
void CreateSymbolCollections();

// Symbol at Index of SymbolTable, nullptr when there is none.
tSymbolItem* SymbolAt(int32_t index);
tModuleItem* ModuleAt(int32_t index);

// Text helpers of the symbol and processor names

// A string list that stores its lines upper-cased.
class tUpperCaseStrings {
 public:
  int32_t Add(std::string_view s);
  // Index of the line that holds 1-based character position CharPos of the
  // whole text, each line counted with its CR LF; -1 for 0 or past the end.
  int32_t StringIndex(int32_t charPos) const;
  // The whole text, every line ended by CR LF.
  std::string Text() const;
  int32_t Count() const { return static_cast<int32_t>(Strings.size()); }

  std::vector<std::string> Strings;
};

// The multi-line hint that shows an evaluated word under the mouse: where it
// goes and how large it is. The text width comes from the caller's font.
struct TScriptWindow {
  int32_t X = 0;  // anchor point in the parent's coordinates
  int32_t Y = 0;
  std::string Text;

  // Laid-out result.
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  std::string Caption;  // the wrapped text, lines joined by CR LF

  using TextWidthFn = std::function<int32_t(std::string_view)>;
  void LayoutText(int32_t parentWidth, const TextWidthFn& textWidth);
};

inline constexpr size_t kHintWrapColumn = 64;
inline constexpr int32_t kHintLineHeight = 17;
// Wraps Text at Column characters, breaking after blanks or "=" signs; the
// blanks at a break are dropped. Existing line ends are kept.
std::vector<std::string> WrapHintText(std::string_view text, size_t column = kHintWrapColumn);

// The serial-port object owned by the communication form (the port itself is
// built by the serial layer).
class tCommPort {
 public:
  virtual ~tCommPort() = default;
};

// The communication form's state: the port it owns, none until one is created.
struct tCommForm {
  std::unique_ptr<tCommPort> Port;

  void CreateComm() { Port.reset(); }
  void DestroyComm() { Port.reset(); }
};

tCommForm& CommForm();

}  // namespace dorvik
