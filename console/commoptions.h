#pragma once
// The console's stand-in for the communication set-up dialog: the options
// --port PATH (or COMn), --baud N and --target OVIX52|ADUC|VOV51 of the
// command line, applied as the dialog's OK applies them.

#include <string>

namespace dorvik::console {

// Takes the communication options out of Argv (the rest stays, in order, for
// the other options) and applies them. False with Error set when an option
// is wrong; a port that cannot be opened is reported as the dialog reports it.
bool TakeCommOptions(int& argc, char** argv, std::string& error);

}  // namespace dorvik::console
