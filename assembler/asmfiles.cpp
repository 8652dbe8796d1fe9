#include "assembler/asmfiles.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "lang/collections.h"
#include "platform/files.h"

namespace dorvik::as {

namespace {

bool IsSeparator(char ch) { return ch == '/' || ch == '\\' || ch == ':'; }

size_t LastComponentStart(std::string_view name) {
  for (size_t i = name.size(); i > 0; --i)
    if (IsSeparator(name[i - 1])) return i;
  return 0;
}

// A stream that accepts and drops everything (the device NUL).
class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type ch) override { return traits_type::not_eof(ch); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};
struct NullStream : std::ostream {
  NullStream() : std::ostream(nullptr) { rdbuf(&buffer); }
  NullBuffer buffer;
};

// An output file written under a temporary name beside it (the name with
// ".TMP" added) and put in place of its name only by Commit, so that a run
// that stops leaves no empty or partial file and the old one stays as it was.
class ReplacingOutput : public std::ofstream {
 public:
  explicit ReplacingOutput(std::string path)
      : std::ofstream(path + ".TMP", std::ios::out | std::ios::trunc | std::ios::binary),
        path_(std::move(path)),
        temp_(path_ + ".TMP") {}
  ~ReplacingOutput() override {
    if (!committed_) {
      close();
      std::remove(temp_.c_str());
    }
  }
  bool Commit() {
    close();
    committed_ = !fail() && std::rename(temp_.c_str(), path_.c_str()) == 0;
    return committed_;
  }

 private:
  std::string path_;
  std::string temp_;
  bool committed_ = false;
};

}  // namespace

std::string PathOfName(std::string_view name) {
  return std::string(name.substr(0, LastComponentStart(name)));
}

std::string BaseNameOf(std::string_view name) {
  std::string_view last = name.substr(LastComponentStart(name));
  return std::string(last.substr(0, last.find('.')));
}

std::string ChangeNameExt(std::string_view name, std::string_view ext) {
  const size_t start = LastComponentStart(name);
  // Only the last extension is replaced ("lab_1.0.asm" gives "lab_1.0.lst");
  // a leading "." starts no extension.
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot <= start) dot = std::string_view::npos;
  std::string_view old = dot == std::string_view::npos ? name.substr(start) : name.substr(dot + 1);
  bool lower = false;
  bool upper = false;
  for (char ch : old) {
    lower = lower || std::islower(static_cast<unsigned char>(ch));
    upper = upper || std::isupper(static_cast<unsigned char>(ch));
  }
  std::string out(name.substr(0, dot == std::string_view::npos ? name.size() : dot));
  out += '.';
  for (char ch : ext)
    out += lower && !upper ? static_cast<char>(std::tolower(static_cast<unsigned char>(ch))) : ch;
  return out;
}

std::shared_ptr<std::ostream> OpenAsmOutput(AsmContext& c, const std::string& path) {
  const std::string upper = UpperCase(path);
  if (upper == "CON" || upper == "PRN") {
    if (c.ConsoleOut) return std::shared_ptr<std::ostream>(c.ConsoleOut, [](std::ostream*) {});
    return std::make_shared<NullStream>();
  }
  if (upper == "NUL") return std::make_shared<NullStream>();
  // A folder or the like cannot take the output (opening its temporary name
  // would not tell).
  if (std::filesystem::is_directory(path)) {
    errno = EISDIR;
    return nullptr;
  }
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  errno = 0;
  // A device (or a pipe) is written as it is: it cannot be replaced.
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    auto f = std::make_shared<std::ofstream>(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!f->is_open()) return nullptr;
    return f;
  }
  // Through a link: the file it names is replaced, not the link.
  std::string target = path;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    const fs::path real = fs::weakly_canonical(path, ec);
    if (!ec) target = real.string();
  }
  auto f = std::make_shared<ReplacingOutput>(target);
  if (!f->is_open()) return nullptr;
  return f;
}

bool CommitAsmOutput(std::ostream* out) {
  auto* file = dynamic_cast<ReplacingOutput*>(out);
  if (file == nullptr) return true;
  errno = 0;
  return file->Commit();
}

std::shared_ptr<std::istream> OpenAsmInput(AsmContext&, const std::string& path) {
  // The devices read as empty: NUL holds nothing, PRN is written only, and a
  // run has no console to type into (both passes must read the same lines).
  const std::string upper = UpperCase(path);
  if (upper == "CON" || upper == "PRN" || upper == "NUL") return std::make_shared<std::istringstream>();
  // Only a file or a device: a folder would read as empty.
  if (const int error = platform::InputKindError(path); error != 0) {
    errno = error;
    return nullptr;
  }
  auto f = std::make_shared<std::ifstream>(path, std::ios::in | std::ios::binary);
  if (!f->is_open()) return nullptr;
  return f;
}

std::string MatchNameIgnoringCase(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path wanted(path);
  const std::string name = UpperCase(wanted.filename().string());
  const fs::path folder = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
  std::error_code ec;
  std::string found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string candidate = it->path().filename().string();
    // Of several matches the first in name order is taken, the same on every run.
    if (UpperCase(candidate) == name && (found.empty() || candidate < found)) found = candidate;
  }
  if (found.empty()) return {};
  return wanted.has_parent_path() ? (wanted.parent_path() / found).string() : found;
}

}  // namespace dorvik::as
