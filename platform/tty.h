#pragma once
// The terminal for the console: raw mode (restored on every exit path: normal
// return, exit(), exceptions that reach std::terminate and the signals that
// end the program), waiting on a descriptor with poll() and whole writes.

#include <cstddef>
#include <string_view>
#include <sys/types.h>

namespace dorvik::platform {

// True when Fd is a terminal.
bool IsTerminal(int fd);

// Raw mode on the terminal Fd: no canonical lines, no echo, no signal keys
// (Ctrl+C and Ctrl+Z arrive as bytes), no flow control, CR not turned into LF;
// output processing stays. Only one terminal is put in raw mode at a time.
class RawMode {
 public:
  RawMode() = default;
  ~RawMode() { Restore(); }
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;
  // False when Fd is no terminal or its modes cannot be set.
  bool Enter(int fd);
  // Puts the saved modes back (again and again harmless).
  void Restore();
  bool Active() const { return active_; }

 private:
  bool active_ = false;
};

// Installs, once, what restores the terminal when the program ends another
// way than by returning: atexit, std::terminate, and SIGHUP, SIGQUIT,
// SIGABRT, SIGSEGV, SIGBUS, SIGFPE and SIGILL (their default action follows).
// SIGINT never ends the program: it only counts (TakeInterrupt). SIGTERM asks
// the program to end cleanly (TerminationRequested); a second SIGTERM ends it
// at once.
void InstallExitGuards();
// True once for every SIGINT received since the last call.
bool TakeInterrupt();
// A SIGTERM has arrived.
bool TerminationRequested();

// Waits until Fd can be read or TimeoutMs passes (-1: no limit).
// 1 readable (or at its end), 0 time-out, -1 error.
int WaitReadable(int fd, int timeoutMs);
// What can be read now without waiting (at most Size bytes): the count,
// 0 at the end of the input, -1 when nothing is there yet.
ssize_t ReadAvailable(int fd, char* buffer, size_t size);
// All of Data, retrying short writes.
void WriteAll(int fd, std::string_view data);

}  // namespace dorvik::platform
