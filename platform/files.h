#pragma once
// Files and operating-system error codes: the result code of the last file
// operation (taken once by the message service), the system's text for a
// code, and whole-file reads and replacing writes.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace dorvik::platform {

// Result code of the last file operation (0 = success); taking it resets it.
int TakeIOResult();
void SetIOResult(int code);

// The system's standard text for an error code.
std::string OsErrorText(int code);

bool FileExists(const std::string& path);
// The two names reach the same file: the same device and inode when both
// exist (links followed), else the same absolute name once links, "." and
// ".." are resolved.
bool SameFile(const std::string& a, const std::string& b);
// The name with its extension (after the last '.' of the file part) replaced;
// `ext` includes the dot, e.g. ".TMP".
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// The running program's own file (its settings and database lie beside it);
// Argv0 when the system does not tell.
std::string ProgramPath(const char* argv0);

// A file opened for reading: a regular file, a device or a pipe. A directory
// (EISDIR) or a socket (EINVAL) is refused like a file that cannot be opened,
// with the IO result set.
// Without opening it: EISDIR for a directory, EINVAL for a socket, 0 for a
// file that InputFile may open (or one that is not there: opening tells).
int InputKindError(const std::string& path);

class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  bool Open(const std::string& path);
  // The size of a regular file; 0 for a device or a pipe.
  uint64_t Size() const { return size_; }
  // Appends up to `count` further bytes to `out` (fewer at the end of the
  // file); false on a read error.
  bool Read(size_t count, std::string& out);
  // Appends the rest; more than `limit` bytes in all is refused (EFBIG)
  // before they are read.
  bool ReadRest(size_t limit, std::string& out);

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t read_ = 0;
};

inline constexpr size_t kNoSizeLimit = static_cast<size_t>(-1);

// Reads the whole file (see InputFile); false (and the IO result set) when it
// cannot, or when it holds more than `limit` bytes.
bool ReadWholeFile(const std::string& path, std::string& content, size_t limit = kNoSizeLimit);
// Writes `content` to the name with the extension .TMP, then puts that file
// in place of `path`; a failure leaves `path` as it was and sets the IO result.
bool WriteFileReplacing(const std::string& path, std::string_view content);
// As WriteFileReplacing, and the file that was there is kept as `backup`
// (copied over any older backup) before the new one takes its place.
bool WriteFileKeepingBackup(const std::string& path, std::string_view content, const std::string& backup);
// The time of the file's last change (nanoseconds); false when it has none.
bool FileModifiedTime(const std::string& path, int64_t& time);

// A file written piece by piece under the temporary name of WriteFileReplacing
// (a path whose extension is .TMP gets another .TMP) and put in place of its
// path only by Commit: until then the old file stays as it was, and a file not
// committed is removed. Each step that fails sets the IO result and returns
// false.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile() { Abandon(); }

  // Creates the temporary file for `path`.
  bool Create(const std::string& path);
  // Appends `text`; it has reached the file when this returns true.
  bool Write(std::string_view text);
  // Closes the temporary file and renames it over the path.
  bool Commit();
  // Closes and removes the temporary file (nothing when none is open).
  void Abandon();

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string temp_;
};

}  // namespace dorvik::platform
