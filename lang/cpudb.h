#pragma once
// Processor definition database (.QPF): the records of every known 8051
// derivative with its predefined names (SFRs, bits, ports, constants), the
// selection of the current processor and the compiler of text definitions.
//
// Database layout, records back to back: name (length byte + characters),
// entries while the next byte is at most 254, one FFH byte. An entry is
// Kind (u8), Value (u16 little-endian), Name (length byte + at most 32
// characters). The first record is named "51".

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik {

// Entry kinds: low 3 bits the memory space, high nibble the data type.
inline constexpr uint8_t kCpuSpaceCode = 0;
inline constexpr uint8_t kCpuSpaceXData = 1;
inline constexpr uint8_t kCpuSpaceDirect = 2;
inline constexpr uint8_t kCpuSpaceIData = 3;
inline constexpr uint8_t kCpuSpaceBit = 4;
inline constexpr uint8_t kCpuSpaceNumber = 5;
inline constexpr uint8_t kCpuSpaceEeprom = 7;
inline constexpr uint8_t kCpuKindSfr = 0x32;    // direct space, unsigned byte
inline constexpr uint8_t kCpuKindSfr16 = 0x52;  // direct space, unsigned 16-bit
inline constexpr uint8_t kCpuKindSbit = 0x04;   // bit space
inline constexpr uint8_t kCpuKindData = 0x02;
inline constexpr uint8_t kCpuKindNumber = 0x05;
inline constexpr uint8_t kCpuRecordEnd = 0xFF;
inline constexpr size_t kCpuNameMax = 20;
inline constexpr size_t kCpuEntryNameMax = 32;
inline constexpr size_t kMaxPortNumber = 9;

// One predefined name, decoded from the database.
struct tCpuDefEntry {
  uint8_t Kind = 0;
  uint16_t Value = 0;
  std::string Name;
};

// One item of a port menu: caption "Port n", component name "Port" n "1", Tag the port's address.
struct CpuPortMenuItem {
  int32_t Port = 0;
  std::string Caption;
  std::string ComponentName;
  uint16_t Tag = 0;
  bool Checked = false;  // the port window's items start checked for ports 0..3
};

// The database and the selected processor; one instance, reached through CpuDb().
struct CpuDbState {
  std::string CpuDefFileName;                 // the database file beside the program
  bool BufferPresent = false;                 // the database was read at start-up
  std::vector<uint8_t> CpuDefBuffer;          // the whole database (CpuDefSize = its size)
  size_t CpuDefCursor = 0;                    // offset of the current record or entry
  std::string CpuName = "51";                 // the selected processor, at most 20 characters
  std::vector<uint8_t> CpuDefEntries;         // the selected record's entries with its FFH end
  std::bitset<256> ProcessorPorts{0x0F};      // port numbers the processor has
  std::vector<CpuPortMenuItem> MainPortMenu;  // the main window's port menu
  std::vector<CpuPortMenuItem> PortFormMenu;  // the port window's menu
  uint32_t PortMenuBuilds = 0;                // counts the refills of the two menus
  std::vector<std::string> CpuList;           // record names, as the selection dialog lists them
};

CpuDbState& CpuDb();


// Database
// The database beside the program: its path with the extension ".qpf".
std::string CpuDatabaseNameFor(std::string_view programPath);
// Reads the whole database file into CpuDefBuffer and lists its records;
// a missing or unreadable file leaves the buffer absent (error 159 later).
bool ReadCpuDatabase(std::string_view fileName);
// Uses Bytes as the database (as if read from FileName).
void SetCpuDatabase(std::vector<uint8_t> bytes, std::string_view fileName);
// Names of the database's records in order; empty when the buffer is corrupted.
std::vector<std::string> CpuRecordNames();

// Selection
// Puts CpuDefCursor on the record named CpuName; errors 300, 160 and 130.
bool FindCpuRecord();
// Makes CpuName's record current: its entries, the port set and the port menus.
bool LoadCpuDescription();
// The CPU = name command: selects Name (cut to 20 characters) or keeps the old one.
bool SelectCpu(std::string_view name);

// Predefined names of the selected processor (offsets into CpuDefEntries)
inline constexpr size_t kCpuEntriesStart = 0;
// The entry at Offset; nullopt at the end byte or outside the entries.
std::optional<tCpuDefEntry> CpuEntryAt(size_t offset);
// Offset of the entry after the one at Offset.
size_t NextCpuEntry(size_t offset);
// From Start on, the first entry named UpperCase(Name).
std::optional<size_t> FindCpuEntry(size_t start, std::string_view name);
// The first entry whose kind AND 7 equals Kind (255: any) and whose value equals Value.
std::optional<size_t> FindCpuEntryByValue(uint16_t value, uint8_t kind);
// True when Word (any case) is a predefined name of the selected processor.
bool IsCpuPredefinedName(std::string_view word);
// The value of the predefined name, nullopt when the processor has none.
std::optional<tCpuDefEntry> FindCpuEntryByName(std::string_view name);

// Storing compiled records
// Whether the database has a record named Name (upper case); nullopt after
// error 159 (a database on disk that was not read) or 160 (a damaged one).
std::optional<bool> HasCpuRecord(std::string_view name);
// Puts Record last in the database (a replaced "51" keeps its place as the
// first record), writes the database file through a .TMP copy and selects the
// name. A failure reports its error and leaves file, buffer and CpuName unchanged.
bool StoreCpuRecord(std::string_view name, const std::vector<uint8_t>& record);

}  // namespace dorvik
