#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace dorvik::platform {

namespace {

int g_io_result = 0;

// errno of a failed call; a failure must never read as success.
int FailureCode() {
  return errno != 0 ? errno : EIO;
}

}  // namespace

int TakeIOResult() {
  const int code = g_io_result;
  g_io_result = 0;
  return code;
}

void SetIOResult(int code) {
  g_io_result = code;
}

std::string OsErrorText(int code) {
  return std::strerror(code);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  const bool hasA = ::stat(a.c_str(), &sa) == 0;
  const bool hasB = ::stat(b.c_str(), &sb) == 0;
  if (hasA && hasB) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (hasA != hasB) return false;
  std::error_code ea, eb;
  const auto fa = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ea), ea);
  const auto fb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, eb), eb);
  return !ea && !eb && fa == fb;
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  std::string out(path);
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) out.resize(dot);
  out += ext;
  return out;
}

std::string ProgramPath(const char* argv0) {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(argv0) : self.string();
}

namespace {

int KindError(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (S_ISSOCK(st.st_mode)) return EINVAL;
  return 0;
}

}  // namespace

int InputKindError(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? KindError(st) : 0;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::Open(const std::string& path) {
  errno = 0;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) {
    SetIOResult(FailureCode());
    return false;
  }
  struct stat st {};
  int refused = 0;
  if (::fstat(fd_, &st) != 0)
    refused = FailureCode();
  else
    refused = KindError(st);
  if (refused != 0) {
    ::close(fd_);
    fd_ = -1;
    SetIOResult(refused);
    return false;
  }
  // Reads wait for their data again (a device).
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  size_ = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  return true;
}

bool InputFile::Read(size_t count, std::string& out) {
  char buffer[16384];
  while (count > 0) {
    errno = 0;
    const ssize_t n = ::read(fd_, buffer, std::min(count, sizeof buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetIOResult(FailureCode());
      return false;
    }
    if (n == 0) break;
    out.append(buffer, static_cast<size_t>(n));
    read_ += static_cast<uint64_t>(n);
    count -= static_cast<size_t>(n);
  }
  return true;
}

bool InputFile::ReadRest(size_t limit, std::string& out) {
  if (size_ > limit) {
    SetIOResult(EFBIG);
    return false;
  }
  // A device tells no size: read one byte past the limit to see it.
  const size_t before = out.size();
  const size_t want = limit == kNoSizeLimit ? kNoSizeLimit : limit - std::min<uint64_t>(read_, limit) + 1;
  if (!Read(want, out)) return false;
  if (limit != kNoSizeLimit && read_ > limit) {
    out.resize(before);
    SetIOResult(EFBIG);
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& content, size_t limit) {
  InputFile file;
  std::string text;
  if (!file.Open(path) || !file.ReadRest(limit, text)) return false;
  content = std::move(text);
  return true;
}

bool WriteFileReplacing(const std::string& path, std::string_view content) {
  ReplacingFile file;
  return file.Create(path) && file.Write(content) && file.Commit();
}

bool WriteFileKeepingBackup(const std::string& path, std::string_view content, const std::string& backup) {
  ReplacingFile file;
  if (!file.Create(path) || !file.Write(content)) return false;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    // A copy, so that the file stays whole until the new one is renamed over it.
    std::filesystem::copy_file(path, backup, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
      SetIOResult(ec.value());
      return false;
    }
  }
  return file.Commit();
}

bool FileModifiedTime(const std::string& path, int64_t& time) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  time = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

bool ReplacingFile::Create(const std::string& path) {
  Abandon();
  path_ = path;
  temp_ = ChangeFileExt(path, ".TMP");
  if (temp_ == path) temp_ += ".TMP";  // never the file itself: it stays until Commit
  errno = 0;
  file_ = std::fopen(temp_.c_str(), "wb");
  if (file_ == nullptr) {
    SetIOResult(FailureCode());
    return false;
  }
  return true;
}

bool ReplacingFile::Write(std::string_view text) {
  if (file_ == nullptr) {
    SetIOResult(EBADF);
    return false;
  }
  errno = 0;
  // Flushed at once: a full disk shows at the write that hit it.
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
    SetIOResult(FailureCode());
    return false;
  }
  return true;
}

bool ReplacingFile::Commit() {
  if (file_ == nullptr) {
    SetIOResult(EBADF);
    return false;
  }
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed || std::rename(temp_.c_str(), path_.c_str()) != 0) {
    SetIOResult(FailureCode());
    std::remove(temp_.c_str());
    return false;
  }
  return true;
}

void ReplacingFile::Abandon() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::remove(temp_.c_str());
}

}  // namespace dorvik::platform
