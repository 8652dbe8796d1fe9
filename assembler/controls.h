#pragma once
// Assembler controls: the control records and their defaults, the reading of
// control lines (and of the invocation line), and each control's effect.

#include <cstdint>
#include <string>
#include <string_view>

#include "assembler/context.h"

namespace dorvik::as {

// Control names
struct ControlNameRow {
  std::string_view Name;
  uint8_t Token;
};
inline constexpr size_t kControlNameCount = 75;
extern const ControlNameRow kControlNames[kControlNameCount];
inline constexpr uint8_t kFirstGeneralControl = 64;
// Token of a control name (whole-name match); 0 when unknown.
uint8_t LookupControlName(std::string_view upperName);

ControlRecord& Control(AsmContext& c, ControlId id);
const ControlRecord& Control(const AsmContext& c, ControlId id);

// Defaults of every record and of the values kept apart from them.
void SetControlDefaults(AsmContext& c);

// Reading
// Reads the rest of a control line ("$" already read) and applies each control.
void ProcessControlLine(AsmContext& c);
// Reads an invocation line (controls outside the source, e.g. the command
// line of the program) with the same reader. A bad control stops the run.
void ProcessInvocationLine(AsmContext& c, std::string_view text);

// File names
// Validates a file name; raises the control error on a bad one.
void CheckFileName(AsmContext& c, std::string_view name, bool isSource);
// Rejects the same name for two output files (or the source).
void CheckDuplicateFileNames(AsmContext& c);
// True for the device names CON, PRN, NUL.
bool IsDeviceName(std::string_view upperName);

}  // namespace dorvik::as
