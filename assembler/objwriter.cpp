#include "assembler/objwriter.h"

#include <algorithm>
#include <ostream>

#include "assembler/asmerrors.h"
#include "assembler/context.h"
#include "assembler/controls.h"
#include "assembler/listing.h"
#include "assembler/symbolwalk.h"
#include "lang/collections.h"

namespace dorvik::as {

uint8_t ObjChecksum(uint8_t type, std::span<const uint8_t> content) {
  const size_t length = content.size() + 1;
  uint8_t sum = static_cast<uint8_t>(type + (length & 0xFF) + ((length >> 8) & 0xFF));
  for (uint8_t b : content) sum = static_cast<uint8_t>(sum + b);
  return static_cast<uint8_t>(-sum);
}

std::string ObjFrame(uint8_t type, std::span<const uint8_t> content) {
  const size_t length = content.size() + 1;
  std::string record;
  record.reserve(content.size() + 4);
  record += static_cast<char>(type);
  record += static_cast<char>(length & 0xFF);
  record += static_cast<char>((length >> 8) & 0xFF);
  for (uint8_t b : content) record += static_cast<char>(b);
  record += static_cast<char>(ObjChecksum(type, content));
  return record;
}

namespace {

bool ObjOpen(const AsmContext& cx) {
  return cx.out.Files.ObjectOpen && cx.out.Files.Object;
}

void Put16(std::vector<uint8_t>& v, uint32_t w) {
  v.push_back(static_cast<uint8_t>(w & 0xFF));
  v.push_back(static_cast<uint8_t>((w >> 8) & 0xFF));
}

void PutName(std::vector<uint8_t>& v, std::string_view name) {
  const size_t n = std::min<size_t>(name.size(), 255);
  v.push_back(static_cast<uint8_t>(n));
  v.insert(v.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(n));
}

// The module name; without a NAME statement the source's base name.
std::string ModuleName(const AsmContext& cx) {
  return UpperCase(cx.ModuleName.empty() ? cx.ModuleBaseName : cx.ModuleName);
}

void PollAbort(AsmContext& cx) {
  if (cx.CtrlCPressed || cx.CtrlBreakPressed) {
    WriteAsmText(cx, nullptr, cx.CtrlCPressed ? "*** Ctrl C ***" : "*** Ctrl Break ***");
    AsmFatalStop(cx);
  }
}

// Appends one entry to a list record; a record that would reach the limit is
// written first and continued in a fresh one that repeats LEAD.
void AddListEntry(AsmContext& cx, std::span<const uint8_t> lead, std::span<const uint8_t> entry) {
  ObjBuffer& r = cx.out.Object.Record;
  if (r.Content.size() + entry.size() >= kObjListLimit && r.Content.size() > lead.size()) {
    WriteObjRecord(cx, r);
    r.Content.assign(lead.begin(), lead.end());
  }
  r.Content.insert(r.Content.end(), entry.begin(), entry.end());
}

void WriteListRecord(AsmContext& cx, std::span<const uint8_t> lead) {
  ObjBuffer& r = cx.out.Object.Record;
  if (r.Content.size() > lead.size()) WriteObjRecord(cx, r);
  r.Content.clear();
}

// One record of symbols: TYPE with the leading bytes LEAD, one entry per
// symbol that SELECT accepts.
template <typename Select>
void WriteSymbolList(AsmContext& cx, uint8_t type, std::vector<uint8_t> lead, Select&& select) {
  BeginObjRecord(cx, type);
  cx.out.Object.Record.Content = lead;
  WalkSymbols(cx, [&](const AsmSymbolRec& s) {
    if (!select(s)) return;
    std::vector<uint8_t> entry;
    if (type == kObjExternalDefs) {
      entry = {s.SegmentId, static_cast<uint8_t>(s.Value & 0xFF), static_cast<uint8_t>(s.Kind & 7), 0};
    } else {
      entry = {s.SegmentId, static_cast<uint8_t>(s.Kind & 7)};
      Put16(entry, s.Value);
      entry.push_back(0);
    }
    PutName(entry, s.Name);
    AddListEntry(cx, lead, entry);
    PollAbort(cx);
  });
  WriteListRecord(cx, lead);
}

void WriteSegmentDefinitions(AsmContext& cx) {
  ObjBuffer& r = cx.out.Object.Record;
  r.Type = kObjSegmentDefs;
  r.Content.clear();
  for (const AsmSegmentEntry& piece : cx.SegmentTable) {
    if (piece.Type == kind::kEndMark || piece.Length == 0) continue;
    std::vector<uint8_t> entry = {0, piece.Type, 0, 0};
    Put16(entry, piece.Start);
    Put16(entry, piece.Length);
    entry.push_back(0);
    AddListEntry(cx, {}, entry);
  }
  WriteListRecord(cx, {});
  r.Type = kObjSegmentDefs;
  WalkSymbols(cx, [&](const AsmSymbolRec& s) {
    if ((s.Kind & 0x7F) < kind::kSegment) return;
    std::vector<uint8_t> entry = {s.SegmentId, static_cast<uint8_t>((s.Kind & 7) | (s.Value == 0 ? 0x80 : 0)),
                                  s.RelocType, 0};
    Put16(entry, 0);
    Put16(entry, s.Value);
    PutName(entry, s.Name);
    AddListEntry(cx, {}, entry);
  });
  WriteListRecord(cx, {});
}

void WriteBytes(AsmContext& cx, const std::string& bytes) {
  cx.out.Files.Object->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  CheckOutputIO(cx, cx.out.Files.Object.get());
}

}  // namespace

void WriteObjRecord(AsmContext& cx, ObjBuffer& record) {
  if (!ObjOpen(cx) || record.Content.empty()) return;
  WriteBytes(cx, ObjFrame(record.Type, record.Content));
  record.Content.clear();
  if (&record == &cx.out.Object.Record && record.Type == kObjContent)
    WriteObjRecord(cx, cx.out.Object.Fixups);
}

void BeginObjRecord(AsmContext& cx, uint8_t type) {
  if (!ObjOpen(cx)) return;
  ObjBuffer& r = cx.out.Object.Record;
  r.Type = type;
  r.Content.clear();
  switch (type) {
    case kObjModuleHeader:
      PutName(r.Content, ModuleName(cx));
      r.Content.push_back(0xFD);
      r.Content.push_back(0);
      WriteObjRecord(cx, r);
      break;
    case kObjModuleEnd: {
      PutName(r.Content, ModuleName(cx));
      uint8_t mask = 0;
      for (size_t bank = 0; bank < cx.RegisterBanks.size(); ++bank)
        if (cx.RegisterBanks[bank]) mask = static_cast<uint8_t>(mask | (1u << bank));
      r.Content.insert(r.Content.end(), {0, 0, mask, 0});
      WriteObjRecord(cx, r);
      break;
    }
    case kObjContent:
      cx.out.Object.ContentSegment = cx.CurrentSegment.SegmentId;
      cx.out.Object.ContentOffset = cx.CurrentSegment.Value & 0xFFFF;
      r.Content.push_back(cx.out.Object.ContentSegment);
      Put16(r.Content, cx.out.Object.ContentOffset);
      break;
    case kObjSegmentDefs:
      WriteSegmentDefinitions(cx);
      break;
    case kObjScope:
      r.Content.push_back(cx.out.Object.ScopeBeginNext ? 0 : 3);
      cx.out.Object.ScopeBeginNext = !cx.out.Object.ScopeBeginNext;
      PutName(r.Content, ModuleName(cx));
      WriteObjRecord(cx, r);
      break;
    default:
      break;
  }
}

void WriteObjectPrologue(AsmContext& cx) {
  if (!ObjOpen(cx)) return;
  cx.out.Object.Fixups.Type = kObjFixup;
  cx.out.Object.Fixups.Content.clear();
  cx.line.Fixups.clear();
  BeginObjRecord(cx, kObjModuleHeader);
  BeginObjRecord(cx, kObjSegmentDefs);
  if (cx.HasExternals)
    WriteSymbolList(cx, kObjExternalDefs, {}, [](const AsmSymbolRec& s) { return s.Scope == kScopeExternal; });
  if (cx.HasPublics)
    WriteSymbolList(cx, kObjPublicDefs, {}, [](const AsmSymbolRec& s) { return s.Scope == kScopePublic; });
  if (cx.Controls[static_cast<size_t>(ControlId::Debug)].On) {
    BeginObjRecord(cx, kObjScope);
    if (cx.HasPublics)
      WriteSymbolList(cx, kObjDebugItems, {1}, [](const AsmSymbolRec& s) { return s.Scope == kScopePublic; });
    WriteSymbolList(cx, kObjDebugItems, {2}, [](const AsmSymbolRec& s) { return s.Kind >= kind::kSegment; });
    WriteSymbolList(cx, kObjDebugItems, {0},
                    [](const AsmSymbolRec& s) { return s.Kind < kind::kSegment && s.Scope == kScopeLocal; });
    BeginObjRecord(cx, kObjScope);
  }
  cx.out.Object.Record.Type = kObjContent;
  cx.out.Object.Record.Content.clear();
}

void FlushObjContent(AsmContext& cx) {
  ObjBuffer& r = cx.out.Object.Record;
  if (r.Type == kObjContent && r.Content.size() > 3) WriteObjRecord(cx, r);
  r.Content.clear();
  cx.out.Object.Fixups.Content.clear();
}

void AddObjContent(AsmContext& cx, uint32_t address, std::span<const uint8_t> bytes) {
  ObjectState& o = cx.out.Object;
  std::vector<PendingFixup> pending;
  pending.swap(cx.line.Fixups);
  if (!ObjOpen(cx) || bytes.empty()) return;
  // Requests left over from an earlier line (one that emitted nothing) are dropped.
  std::erase_if(pending, [&](const PendingFixup& f) { return f.Line != cx.LinesRead; });
  address &= 0xFFFF;
  const uint8_t segment = cx.CurrentSegment.SegmentId;
  ObjBuffer& r = o.Record;
  if (r.Type == kObjContent && !r.Content.empty()) {
    const size_t data = r.Content.size() - 3;
    const bool follows = segment == o.ContentSegment && address == o.ContentOffset + data;
    if (!follows || r.Content.size() >= kObjContentCut || r.Content.size() + bytes.size() > kObjContentCapacity ||
        o.Fixups.Content.size() + kObjFixupEntrySize * pending.size() > kObjContentCapacity)
      FlushObjContent(cx);
  }
  if (r.Type != kObjContent || r.Content.empty()) {
    r.Type = kObjContent;
    r.Content.clear();
    o.ContentSegment = segment;
    o.ContentOffset = address;
    r.Content.push_back(segment);
    Put16(r.Content, address);
  }
  const size_t base = r.Content.size() - 3;
  r.Content.insert(r.Content.end(), bytes.begin(), bytes.end());
  o.Fixups.Type = kObjFixup;
  for (const PendingFixup& f : pending) {
    if (f.Position >= bytes.size()) continue;
    Put16(o.Fixups.Content, static_cast<uint32_t>(base + f.Position));
    o.Fixups.Content.insert(o.Fixups.Content.end(), {f.Kind, f.IdBlock, f.Id});
    Put16(o.Fixups.Content, f.Offset);
  }
}

// Requests of a statement without bytes are dropped with the empty span.
void AddObjContent(AsmContext& cx) {
  AddObjContent(cx, cx.line.StatementLocation, cx.line.EmittedBytes());
}

void AddObjFixup(AsmContext& cx, const AsmFixupRequest& request) {
  if (!ObjOpen(cx)) return;
  PendingFixup f;
  f.Position = request.Offset;
  f.Kind = static_cast<uint8_t>(request.Kind);
  if (request.External) {
    f.IdBlock = request.ExternalBlock;
    f.Id = request.ExternalId;
  } else {
    f.IdBlock = 1;
    f.Id = request.Segment;
  }
  f.Offset = static_cast<uint16_t>(request.Value - (request.Kind == FixupKind::Relative ? 1 : 0));
  f.Line = cx.LinesRead;
  if (!cx.line.Fixups.empty() && cx.line.Fixups.front().Line != f.Line) cx.line.Fixups.clear();
  cx.line.Fixups.push_back(f);
}

void MoveObjFixup(AsmContext& cx, uint8_t from, uint8_t to) {
  for (auto it = cx.line.Fixups.rbegin(); it != cx.line.Fixups.rend(); ++it) {
    if (it->Position == from) {
      it->Position = to;
      return;
    }
  }
}

void CloseObjectFile(AsmContext& cx) {
  if (!cx.out.Files.ObjectOpen) return;
  if (cx.out.Files.Object) {
    FlushObjContent(cx);
    BeginObjRecord(cx, kObjModuleEnd);
    cx.out.Files.Object->flush();
    CheckOutputIO(cx, cx.out.Files.Object.get());
    CommitAsmFile(cx, cx.out.Files.Object.get(), kKindObject, Control(cx, ControlId::Object).Value);
  }
  cx.out.Files.Object.reset();
  cx.out.Files.ObjectOpen = false;
}

}  // namespace dorvik::as
