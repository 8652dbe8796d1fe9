#pragma once
// File names of the assembler: derived output names, base names, directory
// parts, and the opening of inputs and outputs (devices CON, PRN, NUL).

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "assembler/context.h"

namespace dorvik::as {

// Names ("/" separates directories; "\\" and a drive ":" are accepted too)
// Directory part including its last separator; empty when there is none.
std::string PathOfName(std::string_view name);
// Name with the last extension of its last component replaced by ext; the letter
// case of ext follows the old extension (lower when it was written in lower case).
std::string ChangeNameExt(std::string_view name, std::string_view ext);
// The last component up to its first ".".
std::string BaseNameOf(std::string_view name);

// Opening
// Opens an output by name (files in binary mode): CON/PRN go to c.ConsoleOut,
// NUL nowhere. Null on failure.
// A file is written under a temporary name: it replaces the named file only
// through CommitAsmOutput, and goes away unwritten when the run stops first.
std::shared_ptr<std::ostream> OpenAsmOutput(AsmContext& c, const std::string& path);
// Puts a finished output file in place of its name (a device needs nothing);
// false, with errno set, when that fails.
bool CommitAsmOutput(std::ostream* out);
// Opens an input by name: the devices CON, PRN and NUL read as empty. Null on
// failure.
std::shared_ptr<std::istream> OpenAsmInput(AsmContext& c, const std::string& path);
// The file in PATH's folder whose name equals PATH's name ignoring letter case
// (sources from other systems write $INCLUDE(PORTS.INC) for Ports.inc); empty
// when there is none.
std::string MatchNameIgnoringCase(const std::string& path);

}  // namespace dorvik::as
