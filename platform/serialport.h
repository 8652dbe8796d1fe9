#pragma once
// A serial port on a device path (POSIX termios): raw 8 data bits, no parity,
// one stop bit, no flow control, non-blocking. RTS and then DTR are raised
// when the port opens and dropped in the same order when it closes. Every
// failure keeps the operating system's error code, so the caller can report
// its text.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dorvik::platform {

class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort() { Close(); }
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens Path at Baud and raises RTS, then DTR; an open port is closed
  // first. A device without modem lines (a pseudo-terminal) opens all the
  // same. False: LastError() says why.
  bool Open(const std::string& path, int32_t baud);
  // Drops RTS, then DTR, and closes (nothing when the port is not open).
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  int32_t Baud() const { return baud_; }
  // Another speed on the open port.
  bool SetBaud(int32_t baud);

  // The modem lines. False when the port is closed or the device refused
  // (a device without modem lines: LastError() is ENOTTY or EINVAL).
  bool CommSetRts();
  bool CommClearRts();
  bool CommSetDtr();
  bool CommClearDtr();

  // Writes all of Bytes, waiting at most TimeoutMs for room; false on an error
  // or the time-out (LastError() is ETIMEDOUT then).
  bool Write(std::span<const uint8_t> bytes, int timeoutMs);
  // How many bytes of the last Write went out (all of them when it succeeded).
  size_t Written() const { return written_; }
  // What can be read now without waiting (at most Size bytes): the count, 0
  // when nothing is there, -1 when the line failed or hung up.
  long ReadAvailable(uint8_t* buffer, size_t size);
  // Waits until a byte can be read or TimeoutMs passes: 1 readable (or at its
  // end: the read then fails), 0 time-out, -1 failed.
  int WaitReadable(int timeoutMs);
  // Throws away what was received and not yet read.
  void DiscardInput();

  int LastError() const { return error_; }

 private:
  bool Fail();
  bool ModemLine(int line, bool raise);
  int fd_ = -1;
  int error_ = 0;
  std::string path_;
  int32_t baud_ = 0;
  size_t written_ = 0;
};

// True when Code is what a device without modem lines answers to their ioctls.
bool IsNoModemLines(int code);

// True when Baud is a speed the port can be set to.
bool IsSupportedBaud(int32_t baud);

// The device of port "COM" N (1-based) in Devices; the default list when it is
// empty: /dev/ttyS(N-1). Empty for N outside the list.
std::string ComDevicePath(int n, const std::vector<std::string>& devices = {});
// The serial devices that exist: /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM*, sorted.
std::vector<std::string> OfferedSerialDevices();

}  // namespace dorvik::platform
