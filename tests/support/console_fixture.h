#pragma once
// A debugger session on the simulator for the command tests: the shipped
// processor database, message boxes recorded, and lines run as the console
// runs them.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "access/target.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "base/session.h"
#include "base/text.h"
#include "debugger/executor.h"
#include "debugger/terminal.h"
#include "lang/cpudb.h"
#include "lang/scanner.h"
#include "machine/images.h"
#include "platform/reporter.h"

namespace dorvik::testing {

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession();
    InstallTargetAccess();
    platform::SetReporter(&boxes_);
    dorvik::Run().TargetKind = kTargetSimulator;
    dorvik::Run().TargetReady = true;
    ASSERT_TRUE(ReadCpuDatabase(std::string(DORVIK_BIN_DIR) + "/dorvik51.qpf"));
    ASSERT_TRUE(LoadCpuDescription());
  }
  void TearDown() override {
    platform::SetReporter(nullptr);
    ResetSession();
  }

  // One line as the console hands it over (upper-cased, CR appended, echo on);
  // what it printed, lines joined by '\n'.
  std::string Command(std::string_view line) {
    TerminalState& t = Terminal();
    t.Lines = {std::string()};
    t.TerminalEcho = true;
    boxes_.Clear();
    SetScanLine(UpperCase(line) + "\r", false);
    GetToken();
    ExecuteCommand();
    return TerminalText();
  }

  // What the line printed, without the prompt the console types after it.
  std::string Output(std::string_view line) {
    std::string text = Command(line);
    const std::string& prompt = Terminal().MonitorPrompt;
    if (text.size() >= prompt.size() && text.compare(text.size() - prompt.size(), prompt.size(), prompt) == 0)
      text.erase(text.size() - prompt.size());
    return text;
  }

  // The numbers of the error boxes the last command showed, in order.
  std::vector<int> Errors() const {
    std::vector<int> numbers;
    for (const auto& box : boxes_.Shown())
      if (box.Caption.rfind("Error #", 0) == 0) numbers.push_back(std::stoi(box.Caption.substr(7)));
    return numbers;
  }

  platform::ScriptedReporter boxes_;
};

}  // namespace dorvik::testing
