// qpfc: compiles processor text definitions into a processor definition
// database, as the build does for the database beside the executables.
//
//   qpfc OUTPUT.QPF NAME=DEFINITION-FILE...
//
// The records are written in the order given; the first must be "51".

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "lang/cpucompiler.h"
#include "lang/cpudb.h"
#include "base/messages.h"
#include "base/session.h"

namespace {

constexpr const char* kUsage = "usage: qpfc OUTPUT.QPF 51=FILE [NAME=FILE]...\n";

// A bad command line: the usage on standard error, status 2.
int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

void PrintLastError(std::string_view name) {
  const auto& m = dorvik::Messages();
  const dorvik::tErrType* row = dorvik::FindErrorMessage(m.LastErrorCode);
  std::string text = row ? dorvik::FormatMessage(row->Text, m.LastErrorParams.Arg1, m.LastErrorParams.Arg2)
                         : std::string("error");
  std::fprintf(stderr, "qpfc: %.*s: Error #%d: %s\n", static_cast<int>(name.size()), name.data(),
               static_cast<int>(m.LastErrorCode), text.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 3) return Usage();
  std::string output = argv[1];
  std::error_code ec;
  std::filesystem::remove(output, ec);
  dorvik::ResetState<dorvik::CpuDbState>();
  dorvik::CpuDb().CpuDefFileName = output;
  dorvik::Messages().ShowMessageBoxes = false;
  for (int i = 2; i < argc; ++i) {
    std::string_view arg = argv[i];
    size_t eq = arg.find('=');
    if (eq == std::string_view::npos || eq == 0) return Usage();
    std::string_view name = arg.substr(0, eq);
    if (i == 2 && name != "51") {
      std::fprintf(stderr, "qpfc: the first record must be 51\n");
      return 1;
    }
    dorvik::Messages().ErrorFlag = false;
    if (!dorvik::CompileCpuDefinition(name, arg.substr(eq + 1), [](std::string_view) { return 7; })) {
      PrintLastError(name);
      std::filesystem::remove(output, ec);
      return 1;
    }
  }
  return 0;
}
