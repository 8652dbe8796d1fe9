#pragma once
// The workbench's choosers as a test scripts them: installed for the object's
// lifetime, it records every question and answers from its queues, each
// answer taken once; a question whose queue is empty goes to the chooser it
// replaced (the main window's Qt dialogs).

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/ground/chooser.h"

namespace dorvik::testing {

class ScriptedChooser final : public gui::Chooser {
 public:
  ScriptedChooser() : replaced_(gui::SetChooser(this)) {}
  ~ScriptedChooser() override { gui::SetChooser(replaced_); }
  ScriptedChooser(const ScriptedChooser&) = delete;
  ScriptedChooser& operator=(const ScriptedChooser&) = delete;

  std::string OpenFile(const gui::FileQuestion& q) override {
    Asked.push_back(q);
    if (Files.empty() && FileAnswer) return FileAnswer(q);
    if (Files.empty()) return Replaced().OpenFile(q);
    return Take(Files);
  }
  std::string SaveFile(const gui::FileQuestion& q) override {
    Asked.push_back(q);
    if (Files.empty()) return Replaced().SaveFile(q);
    return Take(Files);
  }
  QStringList OpenFiles(const gui::FileQuestion& q) override {
    Asked.push_back(q);
    if (FileLists.empty()) return Replaced().OpenFiles(q);
    return Take(FileLists);
  }
  std::optional<std::string> AskValue(const gui::ValueQuestion& q) override {
    Values.push_back(q.Caption + "=" + q.Value);
    if (ValueAnswers.empty()) return Replaced().AskValue(q);
    return Take(ValueAnswers);
  }

  // The answers, in the order the questions come.
  std::deque<std::string> Files;  // OpenFile and SaveFile
  // A file to open chosen by the test's own dialog, once Files are used up.
  std::function<std::string(const gui::FileQuestion&)> FileAnswer;
  std::deque<QStringList> FileLists;  // OpenFiles
  std::deque<std::optional<std::string>> ValueAnswers;  // AskValue (nullopt: cancelled)
  // What was asked: the file questions, and each value question as "Caption=Value".
  std::vector<gui::FileQuestion> Asked;
  std::vector<std::string> Values;

 private:
  template <typename T>
  static T Take(std::deque<T>& queue) {
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
  }
  gui::Chooser& Replaced() { return replaced_ != nullptr ? *replaced_ : gui::Choosers(); }

  gui::Chooser* replaced_;
};

}  // namespace dorvik::testing
