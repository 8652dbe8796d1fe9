#pragma once
// Reader of absolute OMF-51 object modules: the file pass of a program load.
// Content records go into the caller's 64 KB load image; scope, debug-item,
// public-definition and type-definition records go into the symbol
// collections (SymbolTable, ModuleTable, TypeDefs).
//
// Every field is taken only from the bytes its record holds: a record that
// runs past the file, a field that runs past its record, or a content record
// that would run past 0FFFFH ends the read with error 121 and writes nothing
// of that record. A record whose checksum is wrong (122, also the sign of a
// length that swallows the next record), a scope name that does not end its
// record (121) and a relocatable module (123) end the read too. After a failure the collections hold what was read
// before it; the loader drops them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dorvik {

inline constexpr size_t kLoadImageSize = 0x10000;
using LoadImage = std::span<uint8_t, kLoadImageSize>;

// The load options the reader follows.
struct ObjLoadOptions {
  bool LoadCode = true;     // content into the image
  bool LoadLines = true;    // line-number entries
  bool LoadSymbols = true;  // scope, debug symbol and type records (public records are read always)
  bool LoadAppend = false;  // keep the collections' items and the caller's start address
};

// What one read leaves for the loader.
struct ObjLoadResult {
  bool Ok = false;
  int ErrorCode = 0;                // the error reported; 0 for an I/O failure shown by CheckIOResult
  uint16_t LowestAddress = 0xFFFF;  // lowest address stored into the image
  uint32_t HighestAddress = 0;      // last address used by content records; above 0FFFFH past 64K
  bool CodeStored = false;          // some byte went into the image
  // First and last address of each content record stored: the bytes the file
  // holds (an appending load sends only these).
  std::vector<std::pair<uint16_t, uint16_t>> Stored;
  bool StartFound = false;          // StartAddress is set
  uint16_t StartAddress = 0;        // first content record, or the target of an LJMP at 0
  bool DebugInfoLoaded = false;     // the module end was reached
};

// The state of one read: the open module, the pending procedure block and
// the type numbering. One instance, reached through ObjReader().
struct ObjReaderState {
  std::string ModuleName;
  int32_t ModuleSymbol = -1;   // index in SymbolTable of the module's symbol
  int32_t CurrentModule = -1;  // index in ModuleTable of the item being filled
  bool ModuleOpen = false;
  bool ModuleHasContent = false;
  bool ModuleStartKnown = false;
  int32_t PendingProc = -1;  // a procedure block waiting for its address
  int32_t ProcPartner = -1;  // the label made for it
  bool ProcResolved = true;
  bool PublicEntries = false;
  bool SegmentEntries = false;
  int32_t BlockDepth = 0;               // nesting of the scope blocks read
  int32_t TypeIndex = 32;               // file number of the next type descriptor
  std::array<uint16_t, 256> TypeMap{};  // file type number -> TypeDefs index + 32
  // The module check after the load.
  std::vector<std::string> Skipped;  // project modules passed over (the first ten)
  int32_t LastChecked = -1;          // index of the last module item compared
};

ObjReaderState& ObjReader();

// Tells an object module by the first byte of its file.
bool IsObjectFileStart(uint8_t firstByte);

// Reads the object module FILE (named FILENAME in messages) into IMAGE and
// the symbol collections. Errors are reported by number.
ObjLoadResult ReadObjectModule(std::span<const uint8_t> file, std::string_view fileName, LoadImage image,
                               const ObjLoadOptions& options);
// The same for a file on disk: a missing file is error 106, a read failure
// the system's text.
ObjLoadResult ReadObjectFile(const std::string& fileName, LoadImage image, const ObjLoadOptions& options);

// Module check after a load, while SymbolTable holds symbols: the module
// items against the project's module list in order. False when source-level
// debugging must go off (no project modules, a module the project does not
// list: warning 30, an unnamed last item).
bool CheckObjectModules();
// The order check that follows while source-level debugging is on: warning 56
// when the loaded modules stand in another order than the project's, else
// warning 41 for a module the project does not list. Returns the module's name
// when the user chose to add it to the project, else an empty text.
std::string CheckObjectModuleOrder();

}  // namespace dorvik
