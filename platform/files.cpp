#include "platform/files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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
  const std::string tmp = ChangeFileExt(path, ".TMP");
  errno = 0;
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) {
    SetIOResult(FailureCode());
    return false;
  }
  const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  const int write_error = FailureCode();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    SetIOResult(!written ? write_error : FailureCode());
    std::remove(tmp.c_str());
    return false;
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    SetIOResult(FailureCode());
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace dorvik::platform
