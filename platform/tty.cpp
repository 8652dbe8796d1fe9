#include "platform/tty.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace dorvik::platform {

namespace {

// The saved modes, where the signal handlers can reach them.
struct termios g_saved {};
volatile sig_atomic_t g_saved_fd = -1;
std::atomic<int> g_interrupts{0};
volatile sig_atomic_t g_terminations = 0;
std::terminate_handler g_previous_terminate = nullptr;

void RestoreSaved() {
  const int fd = g_saved_fd;
  if (fd >= 0) tcsetattr(fd, TCSAFLUSH, &g_saved);
}

void OnFatalSignal(int sig) {
  RestoreSaved();  // tcsetattr is async-signal-safe
  signal(sig, SIG_DFL);
  raise(sig);
}

void OnInterrupt(int) { g_interrupts.fetch_add(1); }

// The first SIGTERM asks the program to end cleanly; a second one, when the
// first went unheeded, ends it by the default action.
void OnTerminationRequest(int sig) {
  if (g_terminations != 0) {
    OnFatalSignal(sig);
    return;
  }
  g_terminations = 1;
}

void OnTerminate() {
  RestoreSaved();
  if (g_previous_terminate != nullptr) g_previous_terminate();
  std::abort();
}

}  // namespace

bool IsTerminal(int fd) { return isatty(fd) == 1; }

bool RawMode::Enter(int fd) {
  if (active_ || !IsTerminal(fd)) return false;
  struct termios t {};
  if (tcgetattr(fd, &t) != 0) return false;
  g_saved = t;
  t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT);
  t.c_cflag |= CS8;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  g_saved_fd = fd;
  // At once, keeping what was typed before (the first keys are commands too).
  if (tcsetattr(fd, TCSANOW, &t) != 0) {
    g_saved_fd = -1;
    return false;
  }
  active_ = true;
  return true;
}

void RawMode::Restore() {
  if (!active_) return;
  RestoreSaved();
  g_saved_fd = -1;
  active_ = false;
}

void InstallExitGuards() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(RestoreSaved);
  g_previous_terminate = std::set_terminate(OnTerminate);
  struct sigaction fatal {};
  fatal.sa_handler = OnFatalSignal;
  sigemptyset(&fatal.sa_mask);
  for (int sig : {SIGHUP, SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaction(sig, &fatal, nullptr);
  struct sigaction interrupt {};
  interrupt.sa_handler = OnInterrupt;
  sigemptyset(&interrupt.sa_mask);
  sigaction(SIGINT, &interrupt, nullptr);
  struct sigaction terminate {};
  terminate.sa_handler = OnTerminationRequest;
  sigemptyset(&terminate.sa_mask);
  sigaction(SIGTERM, &terminate, nullptr);
}

bool TerminationRequested() { return g_terminations != 0; }

bool TakeInterrupt() {
  int n = g_interrupts.load();
  while (n > 0) {
    if (g_interrupts.compare_exchange_weak(n, 0)) return true;
  }
  return false;
}

int WaitReadable(int fd, int timeoutMs) {
  struct pollfd p {};
  p.fd = fd;
  p.events = POLLIN;
  const int r = poll(&p, 1, timeoutMs);
  if (r < 0) return errno == EINTR ? 0 : -1;
  if (r == 0) return 0;
  return 1;  // readable, hung up or in error: a read tells which
}

ssize_t ReadAvailable(int fd, char* buffer, size_t size) {
  if (WaitReadable(fd, 0) != 1) return -1;
  for (;;) {
    const ssize_t n = read(fd, buffer, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return -1;
    return 0;  // a failing input is its end (a pty whose other side closed: EIO)
  }
}

void WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace dorvik::platform
