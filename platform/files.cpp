#include "platform/files.h"

#include <sys/stat.h>

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

bool ReadWholeFile(const std::string& path, std::string& content) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    SetIOResult(FailureCode());
    return false;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) {
    SetIOResult(EIO);
    return false;
  }
  content = ss.str();
  return true;
}

bool WriteFileReplacing(const std::string& path, std::string_view content) {
  ReplacingFile file;
  return file.Create(path) && file.Write(content) && file.Commit();
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
