#pragma once
// The console's start: its command line (a project file and a program to
// load), the project read, and the program loaded as the load dialog's Load
// button would, with the load's messages and the stack question in the
// console.

#include <string>

namespace dorvik::console {

struct StartOptions {
  std::string ProjectFile;  // --project FILE
  std::string Program;      // an Intel HEX or OMF-51 object file
  bool Help = false;
};

// "dorvik51 [--project FILE] [PROGRAM]". False with Error set on a usage error.
bool ParseStartArguments(int argc, char** argv, StartOptions& options, std::string& error);

// The usage text.
std::string StartUsage();

// In the console, before the first command: reads the project (a file that
// cannot be read is error 106), and loads the program given, or with the
// project's LoadAutomaticallyOnStart its LastLoadPath.
void StartSession(const StartOptions& options);

}  // namespace dorvik::console
