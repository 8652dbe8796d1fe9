#pragma once
// The project file's reader and writer for the sections the project's state
// holds: the "Target=" line, [COM], [LOADER], [PROJECT], [FileTypes] and
// [VARIABLES]. The sections whose state lives higher ([OPTIONS], [DEBUG]) are
// read and written by workspace/openproject.h, the windows' own sections
// ([DORVIK], [FILES], [WATCHES]) by their windows; README.md's table "The
// project file" lists them all.
//
// Modules: section [PROJECT], one "NAME=FILE" entry per module (FILE relative
// to the project file's folder). A project without that section takes the
// assembler and C sources of its folder, one module each, named after the
// file (upper case, without extension).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "project/project.h"

namespace dorvik {

// The registered file types when a project names none.
std::vector<tFileTypeRec> DefaultFileTypes();

// The assembler and C sources of Folder as modules, in name order.
std::vector<tModuleRec> SourceModulesIn(const std::string& folder);

// Reads the project file Path into the session: ProjectFileName, the module
// list and file types, the target kind, [COM] "Baud" and [LOADER]. False (and
// nothing changed) when the file cannot be read.
bool ReadProjectFile(const std::string& path);

// Writes the session's target, [COM] settings and [LOADER] options into the
// project file Path (its other lines kept; LastLoadPath relative to the
// project's folder when it lies there). A file whose text would not change is
// not written again. False when it could not be read or written.
bool WriteProjectSettings(const std::string& path);

// [FileTypes]: one "EXT=KIND,COMPILER" line per registered type (KIND 1
// assembler ... 7 listing); a line with another kind is skipped.
std::vector<tFileTypeRec> ReadFileTypes(const platform::IniFile& file);
void WriteFileTypes(platform::IniFile& file, const std::vector<tFileTypeRec>& types);
// [PROJECT]: the module list, file names relative to Path's folder where they lie in it.
void WriteModules(platform::IniFile& file, const std::string& path);

// [LOADER]: Booleans written "Yes"/"No"; a key that is missing or unreadable
// keeps the option as it is.
void ReadLoaderOptions(const platform::IniFile& file, LoaderOptions& options);
void WriteLoaderOptions(platform::IniFile& file, const LoaderOptions& options);

// The "Target=" line before the first section: "OVIX52" 0, "ADUC" 2,
// "VOV51" 3 (any case); kind 1 (no target) is written as nothing. Another
// text keeps `current`.
uint8_t ReadTargetKind(const platform::IniFile& file, uint8_t current);
void WriteTargetKind(platform::IniFile& file, uint8_t kind);

// [COM] "Baud"; a missing or non-numeric value keeps `current`.
int32_t ReadBaudRate(const platform::IniFile& file, int32_t current);

// The serial settings of [COM]: "Baud" (one of the ten speeds offered; another
// number falls back to 19200 with message 101) and "Port" (the port number,
// 1 = COM1, or a device path). Missing keys keep what is passed in.
void ReadComSettings(const platform::IniFile& file, std::string& port, int32_t& baud);
void WriteComSettings(platform::IniFile& file, const std::string& port, int32_t baud);

// [VARIABLES]: one "NAME=VALUE" line per environment variable, in order; a
// blank name is skipped. Writing replaces the section.
void ReadVariables(const platform::IniFile& file);
void WriteVariables(platform::IniFile& file);

// The unnamed project of a program given alone: the sources beside it.
void UseProgramFolderAsProject(const std::string& programPath);

}  // namespace dorvik
