// diz52: the built-in MCS-51/52/44 assembler as a command-line program.
//   diz52 SOURCE [CONTROL ...]
// The words after SOURCE form the invocation line (controls such as XREF,
// PAGEWIDTH(132), ERRORPRINT, NOOBJECT). Exit status: 0 no errors, 1 errors
// counted, 2 fatal stop (I/O error, invocation error, internal error, Ctrl+C).

#include <csignal>
#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>

#include "assembler/context.h"
#include "assembler/driver.h"

namespace {

extern "C" void OnInterrupt(int) { dorvik::as::RequestAsmInterrupt(); }

// Standard output in the order things happen: the status text gathered so far
// ("Pass 1" ...) goes out before each write of a console file (PRINT, ERRORPRINT
// and the others with CON or PRN) and of the progress echo; the rest at the end.
// The status text's CR LF line ends become plain line ends.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(const std::string& status) : status_(status) {}

  // The status text not yet written; with FINAL a missing last line end is added.
  void FlushStatus(bool final) {
    for (; printed_ < status_.size(); ++printed_) {
      const char ch = status_[printed_];
      if (ch == '\r') continue;
      std::cout.put(ch);
      last_ = ch;
      statusLast_ = true;
    }
    if (final) {
      if (last_ != '\n') std::cout.put('\n');
      std::cout.flush();
    }
  }

 protected:
  int overflow(int ch) override {
    if (ch == traits_type::eof()) return traits_type::not_eof(ch);
    const char c = static_cast<char>(ch);
    return xsputn(&c, 1) == 1 ? ch : traits_type::eof();
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    FlushStatus(false);
    // Console text starts on a line of its own after a status text.
    if (statusLast_ && last_ != '\n') std::cout.put('\n');
    statusLast_ = false;
    if (n > 0) last_ = s[n - 1];
    return std::cout.write(s, n) ? n : 0;
  }
  int sync() override { return std::cout.flush() ? 0 : -1; }

 private:
  const std::string& status_;
  size_t printed_ = 0;
  char last_ = '\n';  // the last character written
  bool statusLast_ = false;  // it came from the status text
};

// The fatal stop's box text: the whole status text, plain line ends.
std::string BoxText(std::string_view text) {
  std::string out;
  for (char ch : text)
    if (ch != '\r') out += ch;
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}

constexpr std::string_view kUsage = "usage: diz52 SOURCE [CONTROL ...]\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace dorvik::as;
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::cout << kUsage;
    return 0;
  }
  if (argc < 2) {
    std::cerr << "DIZ-52\n*** ERROR #2, DIZ-52 INVOCATION ERROR\nMISSING SOURCE FILE NAME\n" << kUsage;
    return 2;
  }
  std::string controls;
  for (int i = 2; i < argc; ++i) {
    if (!controls.empty()) controls += ' ';
    controls += argv[i];
  }
  std::signal(SIGINT, OnInterrupt);

  ResetAsm();
  AsmContext& c = Asm();
  c.ProgramPath = argv[0];  // the invocation line names the program as it was started
  ConsoleBuffer buffer(c.StatusText);
  std::ostream console(&buffer);
  c.ConsoleOut = &console;
  c.ProgressOut = [&console](const std::string& text) {
    for (char ch : text)
      if (ch != '\r') console.put(ch);
    console.flush();
  };
  const AsmRunResult result = AssembleFileWithControls(c, argv[1], controls);
  console.flush();
  if (result.Fatal) {
    std::cerr << "DIZ-52\n" << BoxText(c.StatusText);
    return 2;
  }
  buffer.FlushStatus(true);
  return result.ErrorCount == 0 ? 0 : 1;
}
