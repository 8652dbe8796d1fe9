#pragma once
// Object module writer (OMF-51 records): framing and checksum, the header,
// segment, external, public, debug and scope records, content records with
// their fixups, and the module end.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/omfrecords.h"

namespace dorvik::as {

struct AsmContext;
struct AsmFixupRequest;

// Buffer limits
inline constexpr size_t kObjContentCapacity = 2053;  // content bytes of one record
inline constexpr size_t kObjContentCut = 1784;  // a content record is written at this size
inline constexpr size_t kObjListLimit = 2047;  // list records are cut before this size
inline constexpr size_t kObjFixupEntrySize = 7;

// A record under construction: type and content (the length and checksum are
// added when it is written).
struct ObjBuffer {
  uint8_t Type = 0;
  std::vector<uint8_t> Content;
};

// A relocation request of the current statement, turned into a fixup entry
// once the statement's bytes have their place in a content record.
struct PendingFixup {
  uint8_t Position = 0;  // field position inside the statement's bytes
  uint8_t Kind = 0;  // REF TYP
  uint8_t IdBlock = 0;
  uint8_t Id = 0;
  uint16_t Offset = 0;
  uint32_t Line = 0;  // source line of the request; older ones are dropped
};

// The object file itself is the driver's AsmOutputs::Object.
struct ObjectState {
  ObjBuffer Record{kObjModuleHeader, {}};  // content or list record
  ObjBuffer Fixups{kObjFixup, {}};  // fixups of the content record in Record
  bool ScopeBeginNext = true;  // scope records alternate module begin / end
  uint32_t ContentOffset = 0;  // OFFSET of the open content record
  uint8_t ContentSegment = 0;  // SEG ID of the open content record
};

// Framing (pure)
// Two's complement of the 8-bit sum of type, length bytes and content.
uint8_t ObjChecksum(uint8_t type, std::span<const uint8_t> content);
// The whole record: type, REC LEN (content + 1), content, checksum.
std::string ObjFrame(uint8_t type, std::span<const uint8_t> content);

// Driver entries (nothing happens while the object file is not open)
// The records that precede the code: header, segment definitions, externals,
// publics and, under DEBUG, the scope and debug item records.
void WriteObjectPrologue(AsmContext& cx);
// The pending content record, the module end record; closes the file.
void CloseObjectFile(AsmContext& cx);
// Writes the open content record (with its fixups); the next bytes open a new one.
void FlushObjContent(AsmContext& cx);

// Statement entries (pass 2)
// The bytes of the statement just processed (instruction, DB or DW), placed at
// its location.
void AddObjContent(AsmContext& cx);
// Appends BYTES placed at ADDRESS in the current segment and attaches the
// statement's relocation requests. A new content record starts whenever ADDRESS
// does not follow the bytes already in the record or the segment changed.
void AddObjContent(AsmContext& cx, uint32_t address, std::span<const uint8_t> bytes);
// Records a relocation request of the current statement.
void AddObjFixup(AsmContext& cx, const AsmFixupRequest& request);
// Moves the request of field FROM to field TO (MOV dir,dir moves the destination).
void MoveObjFixup(AsmContext& cx, uint8_t from, uint8_t to);

// Record-level entries
void BeginObjRecord(AsmContext& cx, uint8_t type);
void WriteObjRecord(AsmContext& cx, ObjBuffer& record);

}  // namespace dorvik::as
