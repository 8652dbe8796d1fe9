#include "lang/cpudb.h"
#include "base/session.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/text.h"
#include "lang/keywords.h"
#include "base/messages.h"
#include "platform/files.h"

namespace dorvik {

namespace {

// Walking the raw bytes of a database or an entry list; every step is checked
// against the end, so a truncated or damaged file is reported, never overrun.

// Offset after the entry at Pos, nullopt when it runs past Size.
std::optional<size_t> EntryEnd(const std::vector<uint8_t>& bytes, size_t pos) {
  if (pos + 4 > bytes.size()) return std::nullopt;
  size_t end = pos + 4 + bytes[pos + 3];
  if (end > bytes.size()) return std::nullopt;
  return end;
}

struct RecordSpan {
  std::string Name;
  size_t Start = 0;    // the name's length byte
  size_t Entries = 0;  // the first entry
  size_t End = 0;      // after the FFH byte
};

// The record at Pos, nullopt when it runs past the end of the bytes.
std::optional<RecordSpan> RecordAt(const std::vector<uint8_t>& bytes, size_t pos) {
  if (pos >= bytes.size()) return std::nullopt;
  RecordSpan r;
  r.Start = pos;
  size_t nameEnd = pos + 1 + bytes[pos];
  if (nameEnd > bytes.size()) return std::nullopt;
  r.Name.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos + 1),
                bytes.begin() + static_cast<std::ptrdiff_t>(nameEnd));
  r.Entries = nameEnd;
  size_t p = nameEnd;
  while (p < bytes.size() && bytes[p] != kCpuRecordEnd) {
    auto next = EntryEnd(bytes, p);
    if (!next) return std::nullopt;
    p = *next;
  }
  if (p >= bytes.size()) return std::nullopt;
  r.End = p + 1;
  return r;
}

// Every record of the bytes, nullopt when one of them is damaged.
std::optional<std::vector<RecordSpan>> AllRecords(const std::vector<uint8_t>& bytes) {
  std::vector<RecordSpan> records;
  size_t pos = 0;
  while (pos < bytes.size()) {
    auto r = RecordAt(bytes, pos);
    if (!r) return std::nullopt;
    pos = r->End;
    records.push_back(std::move(*r));
  }
  return records;
}

tCpuDefEntry DecodeEntry(const std::vector<uint8_t>& bytes, size_t pos) {
  tCpuDefEntry e;
  e.Kind = bytes[pos];
  e.Value = static_cast<uint16_t>(bytes[pos + 1] | (bytes[pos + 2] << 8));
  e.Name.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                bytes.begin() + static_cast<std::ptrdiff_t>(pos + 4 + bytes[pos + 3]));
  return e;
}

void RebuildPortMenus() {
  auto& db = CpuDb();
  db.ProcessorPorts.reset();
  db.MainPortMenu.clear();
  db.PortFormMenu.clear();
  ++db.PortMenuBuilds;
  for (size_t n = 0; n <= kMaxPortNumber; ++n) {
    std::string digit = std::to_string(n);
    std::string portName = std::string(1, 'P').append(digit);
    auto at = FindCpuEntry(kCpuEntriesStart, portName);
    if (!at) continue;
    db.ProcessorPorts.set(n);
    CpuPortMenuItem item;
    item.Port = static_cast<int32_t>(n);
    item.Caption = std::string("Port ").append(digit);
    item.ComponentName = std::string("Port").append(digit).append("1");
    item.Tag = CpuEntryAt(*at)->Value;
    db.MainPortMenu.push_back(item);
    item.Checked = n < 4;
    db.PortFormMenu.push_back(item);
  }
}

// The whole file as bytes; false (and no pending file result) when it cannot be read.
bool ReadDatabaseFile(const std::string& fileName, std::vector<uint8_t>& bytes) {
  std::string content;
  if (!platform::ReadWholeFile(fileName, content)) {
    platform::TakeIOResult();
    return false;
  }
  bytes.assign(content.begin(), content.end());
  return true;
}

// Replaces the file through a .TMP copy; false (and no pending file result) on failure.
bool WriteDatabaseFile(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (platform::WriteFileReplacing(fileName, content)) return true;
  platform::TakeIOResult();
  return false;
}

}  // namespace

CpuDbState& CpuDb() {
  return CurrentSession().Get<CpuDbState>();
}


std::string CpuDatabaseNameFor(std::string_view programPath) {
  return std::filesystem::path(programPath).replace_extension(".qpf").string();
}

bool ReadCpuDatabase(std::string_view fileName) {
  auto& db = CpuDb();
  db.CpuDefFileName = std::string(fileName);
  db.CpuDefBuffer.clear();
  db.BufferPresent = ReadDatabaseFile(db.CpuDefFileName, db.CpuDefBuffer);
  if (!db.BufferPresent) db.CpuDefBuffer.clear();
  db.CpuDefCursor = 0;
  db.CpuList = CpuRecordNames();
  return db.BufferPresent;
}

void SetCpuDatabase(std::vector<uint8_t> bytes, std::string_view fileName) {
  auto& db = CpuDb();
  db.CpuDefFileName = std::string(fileName);
  db.CpuDefBuffer = std::move(bytes);
  db.BufferPresent = true;
  db.CpuDefCursor = 0;
  db.CpuList = CpuRecordNames();
}

std::vector<std::string> CpuRecordNames() {
  std::vector<std::string> names;
  if (auto records = AllRecords(CpuDb().CpuDefBuffer))
    for (auto& r : *records) names.push_back(r.Name);
  return names;
}

bool FindCpuRecord() {
  auto& db = CpuDb();
  db.CpuDefCursor = 0;
  if (!db.BufferPresent) return false;
  const auto& bytes = db.CpuDefBuffer;
  auto first = RecordAt(bytes, 0);
  if (!first) {
    ReportError(
        bytes.empty() ? err::kProcessorDefinitionFileCorrupted : err::kFileNotSupportedProcessorDefinition,
        db.CpuDefFileName);
    return false;
  }
  if (first->Name != "51") {
    ReportError(err::kProcessorDefinitionFileCorrupted, db.CpuDefFileName);
    return false;
  }
  size_t pos = 0;
  while (true) {
    auto r = RecordAt(bytes, pos);
    if (!r) {
      ReportError(err::kFileNotSupportedProcessorDefinition, db.CpuDefFileName);
      return false;
    }
    if (r->Name == db.CpuName) {
      db.CpuDefCursor = pos;
      return true;
    }
    pos = r->End;
    if (pos >= bytes.size()) {
      ReportError(err::kBadCpuCode);
      return false;
    }
  }
}

bool LoadCpuDescription() {
  auto& db = CpuDb();
  if (!db.BufferPresent) {
    ReportError(err::kCouldNotOpenProcessorDefinition, db.CpuDefFileName);
    return false;
  }
  if (!FindCpuRecord()) return false;
  auto r = RecordAt(db.CpuDefBuffer, db.CpuDefCursor);
  db.CpuDefEntries.assign(db.CpuDefBuffer.begin() + static_cast<std::ptrdiff_t>(r->Entries),
                          db.CpuDefBuffer.begin() + static_cast<std::ptrdiff_t>(r->End));
  RebuildPortMenus();
  return true;
}

bool SelectCpu(std::string_view name) {
  auto& db = CpuDb();
  std::string old = db.CpuName;
  db.CpuName = std::string(name.substr(0, kCpuNameMax));
  if (!db.BufferPresent) {
    ReportError(err::kCouldNotOpenProcessorDefinition, db.CpuDefFileName);
    db.CpuName = old;
    return false;
  }
  if (!FindCpuRecord()) {
    db.CpuName = old;
    return false;
  }
  return LoadCpuDescription();
}

std::optional<tCpuDefEntry> CpuEntryAt(size_t offset) {
  const auto& entries = CpuDb().CpuDefEntries;
  if (offset >= entries.size() || entries[offset] == kCpuRecordEnd) return std::nullopt;
  if (!EntryEnd(entries, offset)) return std::nullopt;
  return DecodeEntry(entries, offset);
}

size_t NextCpuEntry(size_t offset) {
  const auto& entries = CpuDb().CpuDefEntries;
  if (offset >= entries.size() || entries[offset] == kCpuRecordEnd) return entries.size();
  return EntryEnd(entries, offset).value_or(entries.size());
}

std::optional<size_t> FindCpuEntry(size_t start, std::string_view name) {
  std::string wanted = UpperCase(name);
  const auto& entries = CpuDb().CpuDefEntries;
  for (size_t p = start; p < entries.size() && entries[p] != kCpuRecordEnd; p = NextCpuEntry(p)) {
    auto end = EntryEnd(entries, p);
    if (!end) break;
    std::string_view entryName(reinterpret_cast<const char*>(entries.data()) + p + 4, entries[p + 3]);
    if (entryName == wanted) return p;
  }
  return std::nullopt;
}

std::optional<size_t> FindCpuEntryByValue(uint16_t value, uint8_t kind) {
  const auto& entries = CpuDb().CpuDefEntries;
  for (size_t p = kCpuEntriesStart; p < entries.size() && entries[p] != kCpuRecordEnd; p = NextCpuEntry(p)) {
    auto e = CpuEntryAt(p);
    if (!e) break;
    if ((kind == 255 || (e->Kind & 7) == kind) && e->Value == value) return p;
  }
  return std::nullopt;
}

bool IsCpuPredefinedName(std::string_view word) {
  return FindCpuEntry(kCpuEntriesStart, word).has_value();
}

std::optional<tCpuDefEntry> FindCpuEntryByName(std::string_view name) {
  auto at = FindCpuEntry(kCpuEntriesStart, name);
  if (!at) return std::nullopt;
  return CpuEntryAt(*at);
}

// Storing compiled records

std::optional<bool> HasCpuRecord(std::string_view name) {
  auto& db = CpuDb();
  // An unread database that exists on disk is never overwritten by one record.
  if (!db.BufferPresent && platform::FileExists(db.CpuDefFileName)) {
    ReportError(err::kCouldNotOpenProcessorDefinition, db.CpuDefFileName);
    return std::nullopt;
  }
  const auto records = AllRecords(db.BufferPresent ? db.CpuDefBuffer : std::vector<uint8_t>{});
  if (!records) {
    ReportError(err::kFileNotSupportedProcessorDefinition, db.CpuDefFileName);
    return std::nullopt;
  }
  return std::any_of(records->begin(), records->end(), [&](const RecordSpan& r) { return r.Name == name; });
}

bool StoreCpuRecord(std::string_view name, const std::vector<uint8_t>& record) {
  auto& db = CpuDb();
  const std::vector<uint8_t> base = db.BufferPresent ? db.CpuDefBuffer : std::vector<uint8_t>{};
  const auto records = AllRecords(base);
  if (!records) {
    ReportError(err::kFileNotSupportedProcessorDefinition, db.CpuDefFileName);
    return false;
  }
  std::optional<RecordSpan> old;
  for (auto& r : *records)
    if (r.Name == name) old = r;
  // The new record goes last; a replaced "51" keeps its place as the first record.
  std::vector<uint8_t> rebuilt;
  if (old && old->Start == 0) {
    rebuilt = record;
    rebuilt.insert(rebuilt.end(), base.begin() + static_cast<std::ptrdiff_t>(old->End), base.end());
  } else {
    rebuilt = base;
    if (old)
      rebuilt.erase(rebuilt.begin() + static_cast<std::ptrdiff_t>(old->Start),
                    rebuilt.begin() + static_cast<std::ptrdiff_t>(old->End));
    rebuilt.insert(rebuilt.end(), record.begin(), record.end());
  }
  if (!WriteDatabaseFile(db.CpuDefFileName, rebuilt)) {
    ReportError(err::kErrorWritingFile, db.CpuDefFileName);
    return false;
  }
  db.CpuDefBuffer = std::move(rebuilt);
  db.BufferPresent = true;
  db.CpuList = CpuRecordNames();
  // Until a "51" record exists the database is not complete; the name is selected later.
  if (db.CpuList.empty() || db.CpuList.front() != "51") return true;
  db.CpuName = std::string(name);
  return LoadCpuDescription();
}

}  // namespace dorvik
