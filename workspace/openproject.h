#pragma once
// The project as a whole: opening, creating and saving it, every section of
// the project file the engine keeps: those of the project's own state through
// project/projectfile.h, and here the two whose state lives in the layers
// below: the byte order and generic pointer options ([OPTIONS], the command
// language's) and the breakpoints ([DEBUG], the debugger's). The windows'
// sections are the workbench's own.
//
// [OPTIONS]: "IntMSBFirst", "FloatMSBFirst" (Yes/No) and the selector sets
// "CodePtrSelectors", "XDataPtrSelectors", "PDataPtrSelectors",
// "DataPtrSelectors" (byte values separated by commas).
// [DEBUG]: per used breakpoint n (0..9) "BreakN" = its address in four
// hexadecimal digits, a comma and its location text (a source breakpoint's
// line as its mark stands in the saved source), and for a line of an
// include file a comma and that file (relative to the project's folder);
// "BreakNEnabled" = TRUE or FALSE; "BreakNLineDeleted" = TRUE when the
// breakpoint's line was deleted (the next load asks warning 62). They are
// set again when the project opens, marked in their file, and the next load
// relocates them as it does every breakpoint.

#include <bitset>
#include <string>
#include <string_view>

#include "platform/ini.h"

namespace dorvik {

// Opens the project file Path: the symbol, module and type tables of the
// program loaded before are freed, then every section is read. Error 308
// (nothing changed) when the file cannot be read.
bool OpenProject(const std::string& path);
// An unnamed, empty project: no modules, the default file types, the
// default options; the loaded program's tables are freed.
void NewProject();

// Writes every section of the project into Path (other sections kept as
// they stand), through a temporary file, so a failed write leaves the old
// file whole: error 311 then, and false.
bool WriteProject(const std::string& path);

// The sections one by one (the tests and the options dialog use them);
// the options' pair also reads and writes [VARIABLES].
void ReadProjectOptions(const platform::IniFile& file);
void WriteProjectOptions(platform::IniFile& file);
// Path: the project file's (an include file's name is kept relative to its
// folder); empty: the open project's.
void ReadProjectBreakpoints(const platform::IniFile& file, const std::string& path = {});
void WriteProjectBreakpoints(platform::IniFile& file, const std::string& path = {});

// A selector set as written ("0,255") and read back; false for a text that
// is not a list of byte values.
std::string SelectorText(const std::bitset<256>& set);
bool ParseSelectorText(std::string_view text, std::bitset<256>& set);

}  // namespace dorvik
