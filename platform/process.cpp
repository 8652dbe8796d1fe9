#include "platform/process.h"
#include "platform/replaceable.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace dorvik::platform {

namespace {

Replaceable<ProcessRunner> g_runner;

// How often a running program's caller is asked whether to go on waiting.
constexpr int64_t kKeepWaitingEveryMs = 20;

int64_t MillisNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// In the child after fork: only async-signal-safe calls. An errno that stops
// the start goes back through `report` (closed on exec).
[[noreturn]] void StartChild(const ProcessRequest& req, const std::vector<char*>& argv, int in_fd, int out_fd,
                             int report) {
  ::setpgid(0, 0);
  if (!req.WorkDir.empty() && ::chdir(req.WorkDir.c_str()) != 0) {
    const int e = errno;
    (void)!::write(report, &e, sizeof e);
    ::_exit(127);
  }
  ::dup2(in_fd, 0);
  if (out_fd >= 0) {
    ::dup2(out_fd, 1);
    ::dup2(out_fd, 2);
  }
  ::execvp(argv[0], argv.data());
  const int e = errno;
  (void)!::write(report, &e, sizeof e);
  ::_exit(127);
}

}  // namespace

ProcessResult PosixProcessRunner::Run(const ProcessRequest& req) {
  ProcessResult result;
  if (req.Argv.empty() || req.Argv[0].empty()) {
    result.Error = ENOENT;
    return result;
  }
  std::vector<char*> argv;
  for (const std::string& a : req.Argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int in_fd = ::open(req.StdinPath.empty() ? "/dev/null" : req.StdinPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (in_fd < 0) {
    result.Error = errno;
    return result;
  }
  int out_fd = -1;
  int capture[2] = {-1, -1};
  if (!req.OutputPath.empty()) {
    out_fd = ::open(req.OutputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  } else if (req.Capture) {
    if (::pipe2(capture, O_CLOEXEC) == 0) out_fd = capture[1];
  } else if (!req.InheritOutput) {
    out_fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  }
  const bool output_ready = out_fd >= 0 || (req.InheritOutput && req.OutputPath.empty() && !req.Capture);
  int report[2] = {-1, -1};
  if (!output_ready || ::pipe2(report, O_CLOEXEC) != 0) {
    result.Error = errno != 0 ? errno : EIO;
    CloseFd(in_fd);
    CloseFd(out_fd);
    CloseFd(capture[0]);
    return result;
  }

  const pid_t pid = ::fork();
  if (pid == 0) StartChild(req, argv, in_fd, out_fd, report[1]);
  const int fork_error = errno;
  if (pid > 0) ::setpgid(pid, pid);  // also here: a time-out may come before the child runs
  CloseFd(in_fd);
  CloseFd(out_fd);  // also the write end of the capture pipe
  CloseFd(report[1]);
  if (pid < 0) {
    result.Error = fork_error;
    CloseFd(capture[0]);
    CloseFd(report[0]);
    return result;
  }

  // The report pipe closes on a successful exec; an errno in it means no start.
  int start_error = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &start_error, sizeof start_error);
  } while (got < 0 && errno == EINTR);
  CloseFd(report[0]);
  if (got == static_cast<ssize_t>(sizeof start_error)) {
    CloseFd(capture[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.Error = start_error;
    return result;
  }

  const int64_t start = MillisNow();
  int status = 0;
  bool ended = false;
  bool timed_out = false;
  bool stopped = false;
  int64_t asked = start;
  while (!ended) {
    if (capture[0] >= 0) {
      pollfd p{capture[0], POLLIN, 0};
      if (::poll(&p, 1, 5) > 0) {
        char buf[4096];
        const ssize_t n = ::read(capture[0], buf, sizeof buf);
        if (n > 0)
          result.Output.append(buf, static_cast<size_t>(n));
        else if (n == 0)
          CloseFd(capture[0]);
      }
    } else {
      ::usleep(1000);
    }
    const pid_t w = ::waitpid(pid, &status, WNOHANG);
    if (w == pid) ended = true;
    if (!ended && req.TimeoutMs != 0 && MillisNow() - start >= static_cast<int64_t>(req.TimeoutMs)) {
      ::kill(-pid, SIGKILL);
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      ended = timed_out = true;
    }
    if (!ended && req.KeepWaiting && MillisNow() - asked >= kKeepWaitingEveryMs) {
      asked = MillisNow();
      if (!req.KeepWaiting()) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        ended = stopped = true;
      }
    }
  }
  // What the child wrote just before it ended; a grandchild that keeps the
  // pipe open must not hold us here.
  if (capture[0] >= 0) ::fcntl(capture[0], F_SETFL, O_NONBLOCK);
  while (capture[0] >= 0) {
    char buf[4096];
    const ssize_t n = ::read(capture[0], buf, sizeof buf);
    if (n > 0)
      result.Output.append(buf, static_cast<size_t>(n));
    else
      CloseFd(capture[0]);
  }

  if (timed_out) {
    result.Status = ProcessStatus::TimedOut;
  } else if (stopped) {
    result.Status = ProcessStatus::Stopped;
  } else if (WIFEXITED(status)) {
    result.Status = ProcessStatus::Exited;
    result.ExitCode = WEXITSTATUS(status);
  } else {
    result.Status = ProcessStatus::Signalled;
    result.ExitCode = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  return result;
}

ProcessRunner& Processes() {
  static PosixProcessRunner posix;
  return g_runner.Or(posix);
}

void SetProcessRunner(ProcessRunner* runner) {
  g_runner.Install(runner);
}

}  // namespace dorvik::platform
