#pragma once
// The console's stand-in for the communication set-up dialog: the options
// --port PATH (or COMn), --baud N and --target OVIX52|ADUC|VOV51 of the
// command line. They are taken out of the command line first; once the
// project is read they are applied over its [COM] and "Target=" settings, as
// the dialog's OK applies them.

#include <string>

namespace dorvik::console {

// Takes the communication options out of Argv (the rest stays, in order, for
// the other options) and keeps them. False with Error set when one is wrong.
bool TakeCommOptions(int& argc, char** argv, std::string& error);
// Applies the project's serial settings with the options taken over them;
// nothing when neither names a serial target. A port that cannot be opened is
// reported as the dialog reports it.
void ApplyStartCommSettings();

}  // namespace dorvik::console
