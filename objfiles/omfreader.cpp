#include "objfiles/omfreader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>

#include "base/messages.h"
#include "base/session.h"
#include "base/text.h"
#include "lang/collections.h"
#include "lang/symbols.h"
#include "machine/opcodes.h"
#include "objfiles/omffields.h"
#include "platform/files.h"

namespace dorvik {

ObjReaderState& ObjReader() {
  return CurrentSession().Get<ObjReaderState>();
}

bool IsObjectFileStart(uint8_t firstByte) {
  return firstByte == kObjModuleHeader || firstByte == kObjSkipped;
}

namespace {

// Symbol classes the reader gives.
constexpr uint8_t kClassModuleEntry = 11;
constexpr uint8_t kClassMatchedLabel = 0x20;  // a code label that a procedure block matched
constexpr uint8_t kClassLoneBlock = 0x8D;     // a procedure block without a label of its name
constexpr uint8_t kClassBlockLabel = 0xA0;    // the label made for it
constexpr uint8_t kClassSegment = 0xC0;
constexpr uint8_t kClassKept = 0xA7;  // SYM INFO bits kept: space, bit 5, public

class ObjectReader {
 public:
  ObjectReader(std::span<const uint8_t> file, std::string_view fileName, LoadImage image,
               const ObjLoadOptions& options)
      : file_(file), fileName_(fileName), image_(image), options_(options), st_(ObjReader()) {}

  ObjLoadResult Read() {
    st_ = ObjReaderState{};
    if (ReadHeader() && StartCollections() && ReadRecords()) {
      if (st_.ModuleOpen) CloseModule();
      result_.DebugInfoLoaded = true;
      SymbolLookup().DebugInfoLoaded = true;
      result_.Ok = true;
    }
    return result_;
  }

 private:
  bool Fail(int code) {
    if (result_.ErrorCode == 0) {
      result_.ErrorCode = code;
      ReportError(code, code == err::kFileChecksumError ? std::string_view{} : fileName_);
    }
    return false;
  }
  bool Invalid() { return Fail(err::kFileNotValidObjectFile); }

  // Frame: optional skipped records (70H), then the module header (02H), whose
  // content is not interpreted.
  bool ReadHeader() {
    size_t pos = 0;
    if (file_.empty()) return Invalid();
    uint8_t type = file_[0];
    while (type == kObjSkipped) {
      if (file_.size() - pos < 3) return Invalid();
      const size_t length = file_[pos + 1] | (file_[pos + 2] << 8);
      pos += 3;
      if (file_.size() - pos < length + 1) return Invalid();
      pos += length;
      type = file_[pos];
    }
    if (type != kObjModuleHeader || file_.size() - pos < 3) return Invalid();
    const size_t length = file_[pos + 1] | (file_[pos + 2] << 8);
    pos += 3;
    if (file_.size() - pos < length) return Invalid();
    pos_ = pos + length;
    return true;
  }

  bool StartCollections() {
    CreateSymbolCollections();
    auto& c = Collections();
    if (!options_.LoadAppend) {
      c.SymbolTable->Clear();
      c.ModuleTable->Clear();
      c.TypeDefs->Clear();
      c.FoundSymbol = kNoItem;
      c.FoundModule = kNoItem;
      SymbolLookup().DebugInfoLoaded = false;
    }
    std::fill(image_.begin(), image_.end(), uint8_t{0xFF});
    return true;
  }

  // Records until the module end.
  bool ReadRecords() {
    for (;;) {
      if (file_.size() - pos_ < 3) return Invalid();
      const uint8_t type = file_[pos_];
      const size_t length = file_[pos_ + 1] | (file_[pos_ + 2] << 8);
      pos_ += 3;
      if (type == kObjModuleEnd) return true;
      // REC LEN counts the content and the checksum byte.
      if (length == 0 || file_.size() - pos_ < length) return Invalid();
      const auto record = file_.subspan(pos_ - 3, length + 3);
      ObjFields fields(file_.subspan(pos_, length - 1));
      pos_ += length;
      // Every record ends in its checksum: a length that does not frame the
      // record (one that swallows the next record, or stops short) shows here
      // before anything of it takes effect.
      uint8_t sum = 0;
      for (uint8_t b : record) sum = static_cast<uint8_t>(sum + b);
      if (sum != 0) return Fail(err::kFileChecksumError);
      bool ok = true;
      switch (type) {
        case kObjContent:
          ok = ReadContent(fields);
          break;
        case kObjScope:
          if (options_.LoadSymbols) ok = ReadScope(fields);
          break;
        case kObjDebugItems:
        case kObjDebugItems2:
          ok = ReadDebugItems(fields);
          break;
        case kObjPublicDefs:
          st_.PublicEntries = true;
          st_.SegmentEntries = false;
          ok = ReadSymbolEntries(fields);
          break;
        case kObjExternalDefs:
          ok = Fail(err::kFileNonAbsoluteObjectFile);
          break;
        case kObjTypeDefs:
          if (options_.LoadSymbols) {
            const int error = ReadTypeDefinitions(fields, st_);
            ok = error == 0 || Fail(error);
          }
          break;
        default:
          break;  // segment definitions and the rest: skipped whole
      }
      if (!ok) return false;
    }
  }

  // Content record: SEG ID, OFFSET, data. Checked whole before anything of it
  // takes effect.
  bool ReadContent(ObjFields& fields) {
    uint8_t segment = 0;
    uint16_t offset = 0;
    if (!fields.Byte(segment)) return Invalid();
    if (segment != 0) return Fail(err::kFileNonAbsoluteObjectFile);
    if (!fields.Word(offset)) return Invalid();
    const auto data = fields.Rest();
    // Code past 64K is only counted: the loader refuses the program for its
    // size (error 164), so none of this record's bytes is kept.
    const bool pastEnd = offset + data.size() > kLoadImageSize;

    const size_t n = data.size();
    const uint32_t end = static_cast<uint32_t>(n ? offset + n - 1 : offset);
    if (n && end >= result_.HighestAddress) result_.HighestAddress = end;
    const uint16_t last = static_cast<uint16_t>(std::min<uint32_t>(end, 0xFFFF));
    if (!st_.ProcResolved) {
      SymbolAt(st_.PendingProc)->Value = offset;
      if (tSymbolItem* partner = SymbolAt(st_.ProcPartner)) partner->Value = offset;
      st_.ProcResolved = true;
    }
    if (!firstContentSeen_ && !options_.LoadAppend) {
      result_.StartAddress = offset;
      result_.StartFound = true;
    }
    firstContentSeen_ = true;
    // Only an LJMP at the reset address gives the start.
    const std::optional<uint16_t> start = offset == 0 && n == 3 ? StartNamedAtReset(data) : std::nullopt;
    if (start) {
      result_.StartAddress = *start;
      result_.StartFound = true;
    }
    NoteModuleContent(offset, last);
    if (options_.LoadCode && n && !pastEnd) {
      std::copy(data.begin(), data.end(), image_.begin() + offset);
      result_.LowestAddress = std::min(result_.LowestAddress, offset);
      result_.Stored.emplace_back(offset, last);
      result_.CodeStored = true;
    }
    return true;
  }

  // The module ranges: each content record of an open module gets an item.
  void NoteModuleContent(uint16_t start, uint16_t stop) {
    auto& modules = *Collections().ModuleTable;
    if (st_.ModuleOpen) {
      if (!st_.ModuleStartKnown) {
        SymbolAt(st_.ModuleSymbol)->Value = start;
        st_.ModuleStartKnown = true;
      }
      if (st_.ModuleHasContent) {
        modules.Add();
        st_.CurrentModule = modules.Count() - 1;
      }
      tModuleItem& m = *ModuleAt(st_.CurrentModule);
      m.Start = start;
      m.Stop = stop;
      m.Flag = false;
    } else if (tModuleItem* m = ModuleAt(st_.CurrentModule); m && !m->Flag) {
      m->Start = start;
      m->Stop = stop;
      m->Flag = true;
      m->Name = st_.ModuleName;
      st_.ModuleStartKnown = false;
    }
    st_.ModuleHasContent = true;
  }

  void CloseModule() {
    if (tModuleItem* m = ModuleAt(st_.CurrentModule)) {
      if (!st_.ModuleHasContent) m->Start = m->Stop = 0xFFFF;
      m->Flag = true;
      m->Name = st_.ModuleName;
    }
    st_.ModuleOpen = false;
    st_.ModuleStartKnown = false;
  }

  int32_t AddSymbol(int32_t nesting, std::string name, uint8_t symClass) {
    auto& symbols = *Collections().SymbolTable;
    tSymbolItem& s = symbols.Add();
    s.Nesting = static_cast<uint8_t>(std::clamp(nesting, 0, 255));
    s.Name = std::move(name);
    s.SymClass = symClass;
    return symbols.Count() - 1;
  }

  // A name that must not be empty.
  bool TakeName(ObjFields& fields, std::string& name) {
    return fields.Name(name) && !name.empty() ? true : Invalid();
  }
  // The name that ends a scope record: the checksum must follow it.
  bool TakeLastName(ObjFields& fields, std::string& name) {
    return TakeName(fields, name) && (fields.Left() == 0 || Invalid());
  }

  // Scope definition: module and block begin and end.
  bool ReadScope(ObjFields& fields) {
    uint8_t blockType = 0;
    if (!fields.Byte(blockType)) return Invalid();
    std::string name;
    switch (blockType) {
      case 0: {
        st_.BlockDepth = 0;
        if (!TakeLastName(fields, name)) return false;
        if (st_.ModuleOpen) CloseModule();
        st_.ModuleName = name;
        st_.ModuleSymbol = AddSymbol(0, std::move(name), kClassProcedure);
        st_.ModuleStartKnown = false;
        Collections().ModuleTable->Add();
        st_.CurrentModule = Collections().ModuleTable->Count() - 1;
        st_.ModuleOpen = true;
        st_.ModuleHasContent = false;
        return true;
      }
      case 1:
        return ReadBlockBegin(fields);
      case 2:
        if (st_.ModuleOpen && st_.ModuleStartKnown) CloseModule();
        return true;
      case 4:
        --st_.BlockDepth;
        if (!TakeLastName(fields, name)) return false;
        AddSymbol(st_.BlockDepth, std::move(name), kClassScopeEnd);
        return true;
      default:
        return true;
    }
  }

  // The first symbol of the current module before Block that a procedure
  // block named Name takes: a code label of its name in any case, or the
  // module's entry of exactly its name. The module's symbols are indexed
  // once, as the blocks ask, so no block walks them.
  int32_t FirstBlockTarget(const std::string& name, int32_t block) {
    const int32_t from = st_.ModuleSymbol + 1;
    if (targets_.From != from) targets_ = BlockTargets{from, from, {}, {}};
    const auto& items = Collections().SymbolTable->Items;
    for (; targets_.Indexed < block; ++targets_.Indexed) {
      const tSymbolItem& f = items[static_cast<size_t>(targets_.Indexed)];
      const uint8_t cls = f.SymClass & 0x1F;
      if (cls == kClassCode)
        targets_.Labels.emplace(UpperCase(f.Name), targets_.Indexed);
      else if (cls == kClassModuleEntry)
        targets_.Entries.emplace(f.Name, targets_.Indexed);
    }
    const auto label = targets_.Labels.find(UpperCase(name));
    const auto entry = targets_.Entries.find(name);
    const int32_t l = label == targets_.Labels.end() ? kNoItem : label->second;
    const int32_t e = entry == targets_.Entries.end() ? kNoItem : entry->second;
    return l == kNoItem ? e : e == kNoItem ? l : std::min(l, e);
  }

  // A procedure block takes the value of the code label of its name in the
  // current module; without one, it and a label made for it wait for the next
  // content record.
  bool ReadBlockBegin(ObjFields& fields) {
    ++st_.BlockDepth;
    std::string name;
    if (!TakeLastName(fields, name)) return false;
    const int32_t block = AddSymbol(st_.BlockDepth, name, kClassScopeBegin);
    st_.PendingProc = block;
    st_.ProcResolved = false;
    auto& items = Collections().SymbolTable->Items;
    const int32_t found = FirstBlockTarget(name, block);
    if (found != kNoItem) {
      tSymbolItem& f = items[static_cast<size_t>(found)];
      const bool entry = (f.SymClass & 0x1F) == kClassModuleEntry;
      st_.ProcResolved = true;
      if (entry) st_.ModuleStartKnown = false;
      tSymbolItem& s = items[static_cast<size_t>(block)];
      s.Value = f.Value;
      s.SymClass = static_cast<uint8_t>(s.SymClass | (f.SymClass & kClassPublic));
      f.SymClass = static_cast<uint8_t>((f.SymClass & kClassPublic) | kClassMatchedLabel);
      return true;
    }
    st_.ProcPartner = AddSymbol(st_.BlockDepth - 1, name, kClassBlockLabel);
    SymbolAt(block)->SymClass = kClassLoneBlock;
    return true;
  }

  // Debug items: local, public or segment symbols, or line numbers.
  bool ReadDebugItems(ObjFields& fields) {
    st_.SegmentEntries = false;
    uint8_t defType = 0;
    if (!fields.Byte(defType)) return Invalid();
    switch (defType) {
      case 0:
      case 1:
        if (!options_.LoadSymbols) return true;
        st_.PublicEntries = defType == 1;
        return ReadSymbolEntries(fields);
      case 2:
        if (!options_.LoadSymbols) return true;
        st_.SegmentEntries = true;
        return ReadSymbolEntries(fields);
      case 3:
        if (!options_.LoadLines) return true;
        return ReadLineEntries(fields);
      default:
        return true;
    }
  }

  bool ReadSymbolEntries(ObjFields& fields) {
    while (fields.Left() > 0)
      if (!ReadSymbolEntry(fields)) return false;
    return true;
  }

  // SEG ID, SYM INFO, OFFSET, TYPE, NAME.
  bool ReadSymbolEntry(ObjFields& fields) {
    uint8_t segment = 0, info = 0, type = 0;
    uint16_t offset = 0;
    if (!fields.Byte(segment)) return Invalid();
    if (segment != 0) return Fail(err::kFileNonAbsoluteObjectFile);
    std::string name;
    if (!fields.Byte(info) || !fields.Word(offset) || !fields.Byte(type) || !TakeName(fields, name))
      return Invalid();
    uint8_t cls = info & kClassKept;
    if (st_.PublicEntries) cls |= kClassPublic;
    if (st_.SegmentEntries) cls |= kClassSegment;
    const bool moduleEntry = (cls & 0x1F) == kClassCode && name == st_.ModuleName;
    if (moduleEntry) cls = static_cast<uint8_t>((cls & kClassPublic) | kClassModuleEntry);
    const int32_t index = AddSymbol(st_.BlockDepth, std::move(name), cls);
    tSymbolItem& s = *SymbolAt(index);
    s.Value = offset;
    s.VarType = MappedType(st_, type);
    if (moduleEntry) {
      SymbolAt(st_.ModuleSymbol)->Value = offset;
      st_.ModuleStartKnown = true;
    }
    return true;
  }

  // SEG ID, OFFSET, LINE: one line symbol each.
  bool ReadLineEntries(ObjFields& fields) {
    while (fields.Left() > 0) {
      uint8_t segment = 0;
      uint16_t offset = 0, line = 0;
      if (!fields.Byte(segment)) return Invalid();
      if (segment != 0) return Fail(err::kFileNonAbsoluteObjectFile);
      if (!fields.Word(offset) || !fields.Word(line)) return Invalid();
      tSymbolItem& s = *SymbolAt(AddSymbol(st_.BlockDepth, {}, kClassLine));
      s.Value = offset;
      s.Number = line;
    }
    return true;
  }

  std::span<const uint8_t> file_;
  std::string_view fileName_;
  LoadImage image_;
  ObjLoadOptions options_;
  ObjReaderState& st_;
  ObjLoadResult result_;
  size_t pos_ = 0;
  bool firstContentSeen_ = false;
  // The current module's symbols a procedure block may take, by name.
  struct BlockTargets {
    int32_t From = -1;     // the module's first symbol
    int32_t Indexed = -1;  // the symbols before this one are in the maps
    std::unordered_map<std::string, int32_t> Labels;   // upper-cased name -> first code label
    std::unordered_map<std::string, int32_t> Entries;  // name -> first module entry
  } targets_;
};

}  // namespace

ObjLoadResult ReadObjectModule(std::span<const uint8_t> file, std::string_view fileName, LoadImage image,
                               const ObjLoadOptions& options) {
  return ObjectReader(file, fileName, image, options).Read();
}

ObjLoadResult ReadObjectFile(const std::string& fileName, LoadImage image, const ObjLoadOptions& options) {
  ObjLoadResult result;
  if (!platform::FileExists(fileName)) {
    result.ErrorCode = err::kFileNotExist;
    ReportError(err::kFileNotExist, fileName);
    return result;
  }
  std::string content;
  if (!platform::ReadWholeFile(fileName, content)) {
    CheckIOResult("Error loading file %s (%d).", fileName);
    return result;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(content.data());
  return ReadObjectModule({bytes, content.size()}, fileName, image, options);
}

}  // namespace dorvik
