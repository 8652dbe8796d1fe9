#pragma once
// The project configuration file as the debugger reads it: the target kind,
// the serial speed, the load options, and the module list with the registered
// file types that source-level debugging maps code addresses through.
//
// Modules: section [PROJECT], one "NAME=FILE" entry per module (FILE relative
// to the project file's folder). A project without that section takes the
// assembler and C sources of its folder, one module each, named after the
// file (upper case, without extension).

#include <string>
#include <vector>

#include "base/projectlists.h"
#include "platform/ini.h"

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

// The unnamed project of a program given alone: the sources beside it.
void UseProgramFolderAsProject(const std::string& programPath);

}  // namespace dorvik
