#include "platform/serialport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace dorvik::platform {

namespace {

struct Speed {
  int32_t Baud;
  speed_t Code;
};
constexpr Speed kSpeeds[] = {{300, B300},     {600, B600},     {1200, B1200},   {2400, B2400},
                             {4800, B4800},   {9600, B9600},   {19200, B19200}, {38400, B38400},
                             {57600, B57600}, {115200, B115200}, {230400, B230400}};

bool SpeedCode(int32_t baud, speed_t& code) {
  for (const Speed& s : kSpeeds)
    if (s.Baud == baud) {
      code = s.Code;
      return true;
    }
  return false;
}

}  // namespace

bool IsNoModemLines(int code) { return code == ENOTTY || code == EINVAL; }

bool IsSupportedBaud(int32_t baud) {
  speed_t code{};
  return SpeedCode(baud, code);
}

bool SerialPort::Fail() {
  error_ = errno;
  return false;
}

bool SerialPort::Open(const std::string& path, int32_t baud) {
  Close();
  error_ = 0;
  speed_t code{};
  if (!SpeedCode(baud, code)) {
    error_ = EINVAL;
    return false;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail();
  struct termios t {};
  if (tcgetattr(fd, &t) != 0) {
    Fail();
    ::close(fd);
    return false;
  }
  cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  // VMIN 1 with O_NONBLOCK: no data reads as EAGAIN, so that 0 means the line's end.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (cfsetispeed(&t, code) != 0 || cfsetospeed(&t, code) != 0 || tcsetattr(fd, TCSANOW, &t) != 0) {
    Fail();
    ::close(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  baud_ = baud;
  // A device without modem lines (a pseudo-terminal) refuses them: that is no failure.
  if ((!CommSetRts() && !IsNoModemLines(error_)) || (!CommSetDtr() && !IsNoModemLines(error_))) {
    const int code = error_;
    ::close(fd_);
    fd_ = -1;
    error_ = code;
    return false;
  }
  error_ = 0;
  tcflush(fd, TCIFLUSH);
  return true;
}

void SerialPort::Close() {
  if (fd_ < 0) return;
  // The port closes whatever the lines answer.
  CommClearRts();
  CommClearDtr();
  ::close(fd_);
  fd_ = -1;
}

bool SerialPort::ModemLine(int line, bool raise) {
  if (fd_ < 0) {
    error_ = EBADF;
    return false;
  }
  int bits = line;
  if (ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &bits) != 0) return Fail();
  return true;
}

bool SerialPort::CommSetRts() { return ModemLine(TIOCM_RTS, true); }
bool SerialPort::CommClearRts() { return ModemLine(TIOCM_RTS, false); }
bool SerialPort::CommSetDtr() { return ModemLine(TIOCM_DTR, true); }
bool SerialPort::CommClearDtr() { return ModemLine(TIOCM_DTR, false); }

bool SerialPort::SetBaud(int32_t baud) {
  speed_t code{};
  if (fd_ < 0) {
    error_ = EBADF;
    return false;
  }
  if (!SpeedCode(baud, code)) {
    error_ = EINVAL;
    return false;
  }
  struct termios t {};
  if (tcgetattr(fd_, &t) != 0) return Fail();
  tcdrain(fd_);
  if (cfsetispeed(&t, code) != 0 || cfsetospeed(&t, code) != 0 || tcsetattr(fd_, TCSANOW, &t) != 0) return Fail();
  baud_ = baud;
  return true;
}

bool SerialPort::Write(std::span<const uint8_t> bytes, int timeoutMs) {
  written_ = 0;
  if (fd_ < 0) {
    error_ = EBADF;
    return false;
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      written_ = done;
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return Fail();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      error_ = ETIMEDOUT;
      return false;
    }
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return Fail();
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
      error_ = EIO;
      return false;
    }
  }
  return true;
}

long SerialPort::ReadAvailable(uint8_t* buffer, size_t size) {
  if (fd_ < 0) {
    error_ = EBADF;
    return -1;
  }
  const ssize_t n = ::read(fd_, buffer, size);
  if (n > 0) return static_cast<long>(n);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  // A hung-up line reads as its end (0) or fails with EIO.
  error_ = n == 0 ? EIO : errno;
  return -1;
}

int SerialPort::WaitReadable(int timeoutMs) {
  if (fd_ < 0) {
    error_ = EBADF;
    return -1;
  }
  pollfd p{fd_, POLLIN, 0};
  const int r = ::poll(&p, 1, std::max(timeoutMs, 0));
  if (r < 0) return errno == EINTR ? 0 : (Fail(), -1);
  if (r == 0) return 0;
  if (p.revents & POLLIN) return 1;
  error_ = EIO;
  return -1;
}

void SerialPort::DiscardInput() {
  if (fd_ < 0) return;
  tcflush(fd_, TCIFLUSH);
  uint8_t scratch[256];
  while (::read(fd_, scratch, sizeof scratch) > 0) {
  }
}

std::string ComDevicePath(int n, const std::vector<std::string>& devices) {
  if (n < 1) return {};
  if (devices.empty()) return "/dev/ttyS" + std::to_string(n - 1);
  if (static_cast<size_t>(n) > devices.size()) return {};
  return devices[static_cast<size_t>(n - 1)];
}

std::vector<std::string> OfferedSerialDevices() {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("ttyS", 0) == 0 || name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0)
      found.push_back(entry.path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace dorvik::platform
