#pragma once
// The user seam as a test scripts it: installed for the object's lifetime,
// it records what the engine asked of the user and answers from its fields.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/userseam.h"

namespace dorvik::testing {

class ScriptedUser final : public UserSeam {
 public:
  ScriptedUser() : replaced_(SetUserSeam(this)) {}
  ~ScriptedUser() override { SetUserSeam(replaced_); }
  ScriptedUser(const ScriptedUser&) = delete;
  ScriptedUser& operator=(const ScriptedUser&) = delete;

  // Waits: counted; OnWait runs at each, and the wait numbered StopAtWait
  // (1-based; 0 never) and every later one answers "stop".
  bool KeepWaiting() override {
    ++Waits;
    if (OnWait) OnWait();
    return StopAtWait == 0 || Waits < StopAtWait;
  }
  char ReadStepKey() override { return StepKey ? StepKey() : 27; }
  void ShowStatus(std::string_view text) override { Statuses.emplace_back(text); }
  std::string ChooseCompiler(std::string_view typeItem) override {
    CompilerItems.emplace_back(typeItem);
    return CompilerAnswer;
  }
  void AddModuleToProject(const std::string& moduleName) override { AddedModules.push_back(moduleName); }
  void ShowLoadProgress(const LoadProgress& progress) override {
    switch (progress.Step) {
      case LoadStep::Address:
        LoadAddresses.push_back(std::string(progress.Label) + " " + std::string(progress.Address));
        break;
      case LoadStep::Loaded: ++LoadButtonShows; break;
      case LoadStep::Ended: ++LoadDialogHides; break;
    }
  }
  void ShowDisassembly(uint16_t address) override { Disassembly.push_back(address); }

  int Waits = 0;
  int StopAtWait = 0;
  std::function<void()> OnWait;
  std::function<char()> StepKey;  // unset: Esc
  std::vector<std::string> Statuses;
  std::vector<std::string> CompilerItems;
  std::string CompilerAnswer;
  std::vector<std::string> AddedModules;
  std::vector<std::string> LoadAddresses;
  int LoadDialogHides = 0;
  int LoadButtonShows = 0;
  std::vector<uint16_t> Disassembly;

 private:
  UserSeam* replaced_;
};

}  // namespace dorvik::testing
