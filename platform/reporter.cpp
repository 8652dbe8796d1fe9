#include "platform/reporter.h"
#include "platform/replaceable.h"

#include <cctype>
#include <iostream>
#include <string_view>

namespace dorvik::platform {

namespace {

Replaceable<MessageReporter> g_reporter;

struct Choice {
  char Key;
  int Result;
};

std::vector<Choice> ChoicesOf(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok:
      return {};
    case BoxButtons::OkCancel:
      return {{'o', kBoxOk}, {'c', kBoxCancel}};
    case BoxButtons::YesNo:
      return {{'y', kBoxYes}, {'n', kBoxNo}};
    case BoxButtons::YesNoCancel:
    case BoxButtons::YesNoCancelHelp:
      return {{'y', kBoxYes}, {'n', kBoxNo}, {'c', kBoxCancel}};
  }
  return {};
}

// Box texts may hold CR line breaks; the terminal wants LF.
std::string ConsoleText(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c == '\r') c = '\n';
  return s;
}

}  // namespace

int ConsoleReporter::ShowBox(const MessageBox& box) {
  out_ << box.Caption << ": " << ConsoleText(box.Text) << '\n';
  const std::vector<Choice> choices = ChoicesOf(box.Buttons);
  if (choices.empty()) {
    out_.flush();
    return kBoxOk;
  }
  std::string keys;
  for (const Choice& c : choices) {
    if (!keys.empty()) keys += '/';
    keys += c.Key;
  }
  for (;;) {
    out_ << '(' << keys << ")? " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
      out_ << '\n';
      // No one to ask: take the answer that does the least.
      for (const Choice& c : choices)
        if (c.Result == kBoxCancel) return kBoxCancel;
      return kBoxNo;
    }
    size_t i = 0;
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i == line.size()) continue;
    const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(line[i])));
    for (const Choice& c : choices)
      if (c.Key == key) return c.Result;
  }
}

int ScriptedReporter::ShowBox(const MessageBox& box) {
  shown_.push_back(box);
  if (!answers_.empty()) {
    const int result = answers_.front();
    answers_.pop_front();
    return result;
  }
  switch (box.Buttons) {
    case BoxButtons::Ok:
    case BoxButtons::OkCancel:
      return kBoxOk;
    default:
      return kBoxYes;
  }
}

MessageReporter& Reporter() {
  static ConsoleReporter console(std::cin, std::cout);
  return g_reporter.Or(console);
}

void SetReporter(MessageReporter* reporter) {
  g_reporter.Install(reporter);
}

}  // namespace dorvik::platform
