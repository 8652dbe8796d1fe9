#pragma once
// The program loader: brings an Intel HEX file or an absolute OMF-51 object
// module into the debug target. A load reads the whole file into a 64 KB
// buffer first (and, for an object module, the symbols, modules and types);
// only a file read without error is sent to the target, so a damaged file
// leaves the target as it was. A finishing stage then sets the program
// counter to the program start, checks the modules against the project,
// finds the stack start and refreshes the views.
//
// The options are the project's [LOADER] options (project/project.h); a load
// dialog writes its check boxes there before it starts the load. The dialog's
// face (the address loaded, hidden at the end) and question 41's Yes (the
// module goes to the project) reach the user through the user seam.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "project/project.h"

namespace dorvik {

struct LoaderState {
  std::string LoadFileName;
  bool LoadAborted = false;
  bool Cancelled = false;  // the dialog's Cancel button (Escape sets LoadAborted)
  bool ProjectLoaded = false;
  std::vector<uint8_t> LoadBuffer = std::vector<uint8_t>(0x10000, 0xFF);
  // 1 for each address of LoadBuffer that the file holds (an appending load sends only these).
  std::vector<uint8_t> LoadHeld = std::vector<uint8_t>(0x10000, 0);
  uint16_t LowestAddress = 0xFFFF;
  uint32_t HighestAddress = 0;  // above 0FFFFH: the program does not fit (error 164)
  uint16_t StartAddress = 0;
};

LoaderState& Loader();

// Loads Loader().LoadFileName with the project's options. True when the
// program reached the target (or, without code, the symbols were read).
bool LoadProgramFile();

// The load as every front end runs it (the console at its start, the
// workbench's load dialog): what a board sends when its line opens is taken
// in first (AwaitTargetBanner), then LoadProgramFile on FileName with the busy
// pair open and the target busy, so that no window reads it and the idle
// handler leaves its line to the transfer. True when the program was loaded.
bool LoadProgram(const std::string& fileName);
// A board that has not announced itself on its open line (the monitor's
// banner with its version, the ADuC's identification): its announcement is
// waited for, up to half a second; at once when it announced itself already.
void AwaitTargetBanner();

// The dialog's Cancel button, or a load that was aborted.
bool IsLoadCancelled();

// Drops the symbols read and marks the load aborted.
void AbortLoad();

// From Address on (at most 51 instructions, following LJMPs), the first MOV
// SP,#data: StackBase takes its data. False when there is none.
bool FindStackInit(uint16_t address);

// The stack question's answer: "nnH" (or "nnh") hexadecimal, else decimal.
// False for a text that is not a number.
bool ParseStackText(std::string_view text, uint16_t& value);

}  // namespace dorvik
