#include "platform/dialogs.h"
#include "platform/replaceable.h"

#include <charconv>
#include <iostream>

namespace dorvik::platform {

namespace {
Replaceable<DialogUi> g_ui;
}

std::string DialogAnswer(std::string_view answer, const std::string& shown, const std::vector<std::string>& history) {
  if (answer.empty()) return shown;
  if (answer[0] == '#' && answer.size() > 1) {
    size_t n = 0;
    const auto [end, ec] = std::from_chars(answer.data() + 1, answer.data() + answer.size(), n);
    if (ec == std::errc() && end == answer.data() + answer.size() && n >= 1 && n <= history.size())
      return history[n - 1];
  }
  return std::string(answer);
}

bool ConsoleDialogs::AskLine(std::string_view label, const std::string& shown,
                             const std::vector<std::string>& history, std::string& text) {
  for (size_t i = 0; i < history.size(); ++i) out_ << "  #" << i + 1 << ' ' << history[i] << '\n';
  out_ << label << " [" << shown << "]: " << std::flush;
  std::string line;
  if (!std::getline(in_, line)) {
    out_ << '\n';
    return false;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  text = DialogAnswer(line, shown, history);
  return true;
}

InputReply ConsoleDialogs::AskInput(const InputPrompt& prompt) {
  out_ << prompt.Caption << '\n';
  InputReply reply;
  reply.Action = AskLine(prompt.Label, prompt.Text, prompt.History, reply.Text) ? DialogAction::Ok
                                                                                : DialogAction::Cancel;
  return reply;
}

PairReply ConsoleDialogs::AskPair(const PairPrompt& prompt) {
  out_ << prompt.Caption << '\n';
  PairReply reply;
  if (!AskLine(prompt.NameLabel, prompt.Name, prompt.NameHistory, reply.Name) ||
      !AskLine(prompt.ValueLabel, prompt.Value, prompt.ValueHistory, reply.Value))
    return reply;
  reply.NameEdited = reply.Name != prompt.Name;
  reply.Action = DialogAction::Ok;
  return reply;
}

std::string ConsoleDialogs::BrowseFile(std::string_view title) {
  std::string name;
  if (!AskLine(title, {}, {}, name)) return {};
  return name;
}

void ConsoleDialogs::ShowProgress(std::string_view caption) {
  out_ << caption << '\n' << std::flush;
  last_percent_ = -1;
}

void ConsoleDialogs::UpdateProgress(int position, int max) {
  if (max <= 0) return;
  const int percent = static_cast<int>(static_cast<int64_t>(position) * 100 / max);
  if (last_percent_ >= 0 && percent / 10 == last_percent_ / 10) return;  // a line every ten per cent
  last_percent_ = percent;
  out_ << percent << "%\n" << std::flush;
}

void ConsoleDialogs::HideProgress() {
  out_ << std::flush;
}

InputReply ScriptedDialogs::AskInput(const InputPrompt& prompt) {
  InputsShown.push_back(prompt);
  if (InputReplies.empty()) return {DialogAction::Cancel, prompt.Text};
  InputReply r = InputReplies.front();
  InputReplies.pop_front();
  return r;
}

PairReply ScriptedDialogs::AskPair(const PairPrompt& prompt) {
  PairsShown.push_back(prompt);
  if (PairReplies.empty()) return {DialogAction::Cancel, prompt.Name, prompt.Value, false};
  PairReply r = PairReplies.front();
  PairReplies.pop_front();
  return r;
}

std::string ScriptedDialogs::BrowseFile(std::string_view) {
  if (BrowseReplies.empty()) return {};
  std::string r = BrowseReplies.front();
  BrowseReplies.pop_front();
  return r;
}

void ScriptedDialogs::ShowProgress(std::string_view) {
  ProgressVisible = true;
  Polls = 0;
}

void ScriptedDialogs::UpdateProgress(int position, int max) {
  ProgressPosition = position;
  ProgressMax = max;
}

bool ScriptedDialogs::CancelPressed() {
  ++Polls;
  return CancelAtPoll != 0 && Polls >= CancelAtPoll;
}

DialogUi& DialogFront() {
  static ConsoleDialogs console(std::cin, std::cout);
  return g_ui.Or(console);
}

void SetDialogUi(DialogUi* ui) {
  g_ui.Install(ui);
}

}  // namespace dorvik::platform
