#pragma once
// The face of the small shared dialogs (one-line input, name/value input,
// progress with Cancel). The dialogs' logic drives a DialogUi: one call per
// user interaction, so a console, a test script or a widget set can stand
// behind it.

#include <deque>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace dorvik::platform {

enum class DialogAction { Ok, Cancel, Browse };

// The one-line input dialog as shown: the combo's text and its history.
struct InputPrompt {
  std::string Caption;
  std::string Label;
  std::string Text;
  std::vector<std::string> History;
  bool BrowseVisible = true;
};

struct InputReply {
  DialogAction Action = DialogAction::Cancel;
  std::string Text;  // the combo's text when the button was pressed
};

// The name/value dialog as shown.
struct PairPrompt {
  std::string Caption;
  std::string NameLabel;
  std::string ValueLabel;
  std::string Name;
  std::string Value;
  std::vector<std::string> NameHistory;
  std::vector<std::string> ValueHistory;
  bool BrowseVisible = false;
};

struct PairReply {
  DialogAction Action = DialogAction::Cancel;
  std::string Name;
  std::string Value;
  bool NameEdited = false;  // the user typed in the name field
};

// The text an answer typed at a console prompt gives: an empty answer keeps
// Shown, "#n" takes history item n, every other answer is the text itself.
std::string DialogAnswer(std::string_view answer, const std::string& shown, const std::vector<std::string>& history);

class DialogUi {
 public:
  virtual ~DialogUi() = default;
  // Shows the dialog until the user presses a button.
  virtual InputReply AskInput(const InputPrompt& prompt) = 0;
  virtual PairReply AskPair(const PairPrompt& prompt) = 0;
  // An open dialog for one existing file; empty when none was chosen.
  virtual std::string BrowseFile(std::string_view title) = 0;
  // The progress dialog: shown, updated, polled for its Cancel button, hidden.
  virtual void ShowProgress(std::string_view caption) = 0;
  virtual void UpdateProgress(int position, int max) = 0;
  virtual bool CancelPressed() = 0;
  virtual void HideProgress() = 0;
};

// Prompts on the terminal. Input: an empty line keeps the shown text, "#n"
// takes history item n, end of input cancels; every other line is the text.
// The progress shows percentages; its Cancel is never pressed.
class ConsoleDialogs : public DialogUi {
 public:
  ConsoleDialogs(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
  InputReply AskInput(const InputPrompt& prompt) override;
  PairReply AskPair(const PairPrompt& prompt) override;
  std::string BrowseFile(std::string_view title) override;
  void ShowProgress(std::string_view caption) override;
  void UpdateProgress(int position, int max) override;
  bool CancelPressed() override { return false; }
  void HideProgress() override;

 private:
  // false at end of input.
  bool AskLine(std::string_view label, const std::string& shown, const std::vector<std::string>& history,
               std::string& text);
  std::istream& in_;
  std::ostream& out_;
  int last_percent_ = -1;
};

// Answers from queues and records what was shown (tests). An empty queue
// answers Cancel; BrowseFile answers "" ; Cancel is pressed at the poll
// numbered CancelAtPoll (1-based; 0 never).
class ScriptedDialogs : public DialogUi {
 public:
  InputReply AskInput(const InputPrompt& prompt) override;
  PairReply AskPair(const PairPrompt& prompt) override;
  std::string BrowseFile(std::string_view title) override;
  void ShowProgress(std::string_view caption) override;
  void UpdateProgress(int position, int max) override;
  bool CancelPressed() override;
  void HideProgress() override { ProgressVisible = false; }

  std::deque<InputReply> InputReplies;
  std::deque<PairReply> PairReplies;
  std::deque<std::string> BrowseReplies;
  int CancelAtPoll = 0;

  std::vector<InputPrompt> InputsShown;
  std::vector<PairPrompt> PairsShown;
  int Polls = 0;
  int ProgressPosition = 0;
  int ProgressMax = 0;
  bool ProgressVisible = false;
};

// The face in use: console dialogs on stdin/stdout unless one was set.
DialogUi& DialogFront();
void SetDialogUi(DialogUi* ui);

}  // namespace dorvik::platform
