// diz52: the built-in MCS-51/52/44 assembler as a command-line program.
//   diz52 SOURCE [CONTROL ...]
// The words after SOURCE form the invocation line (controls such as XREF,
// PAGEWIDTH(132), ERRORPRINT, NOOBJECT). Exit status: 0 no errors, 1 errors
// counted, 2 fatal stop (I/O error, invocation error, internal error, Ctrl+C).

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "assembler/context.h"
#include "assembler/driver.h"

namespace {

extern "C" void OnInterrupt(int) { dorvik::as::RequestAsmInterrupt(); }

// The status text uses CR LF line ends; the console gets plain line ends.
std::string ConsoleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      out += '\n';
    }
  }
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace dorvik::as;
  if (argc < 2) {
    std::cerr << "DIZ-52\n*** ERROR #2, DIZ-52 INVOCATION ERROR\nMISSING SOURCE FILE NAME\n"
              << "usage: diz52 SOURCE [CONTROL ...]\n";
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
  c.ConsoleOut = &std::cout;
  c.ProgressOut = [](const std::string& text) {
    for (char ch : text)
      if (ch != '\r') std::cout << ch;
    std::cout << std::flush;
  };
  const AsmRunResult result = AssembleFileWithControls(c, argv[1], controls);
  std::cout.flush();
  if (result.Fatal) {
    std::cerr << "DIZ-52\n" << ConsoleText(c.StatusText);
    return 2;
  }
  std::cout << ConsoleText(c.StatusText);
  return result.ErrorCount == 0 ? 0 : 1;
}
