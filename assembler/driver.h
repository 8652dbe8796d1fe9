#pragma once
// The assembler's driver: a two-pass run over a source file, or over three
// lines held in memory for the line assembler.

#include <string>
#include <string_view>
#include <vector>

#include "assembler/context.h"

namespace dorvik::as {

// File mode: commandLine is the source file name. In-memory mode:
// commandLine is empty and lines holds the three lines to assemble (the
// listing writer adds the address and bytes as a fourth line).
AsmRunResult AssembleFile(AsmContext& c, std::string_view commandLine,
                          std::vector<std::string>* lines);

// File mode with controls given outside the source (the command line of a
// program): the source file and the invocation controls.
AsmRunResult AssembleFileWithControls(AsmContext& c, std::string_view sourcePath,
                                      std::string_view invocationControls);

}  // namespace dorvik::as
