#pragma once
// The workbench's faces of the engine's dialogs: numbered message boxes as
// Qt message boxes, and the input and progress dialogs over their logic in
// base/dialogs.

#include <functional>
#include <memory>
#include <string>

#include "platform/dialogs.h"
#include "platform/reporter.h"

class QProgressDialog;

namespace dorvik::gui {

// Message boxes of the message service as modal Qt message boxes.
class QtReporter : public platform::MessageReporter {
 public:
  int ShowBox(const platform::MessageBox& box) override;
  // Runs when a box (not one shown inside another's) has closed: the main
  // window gives its editor page the keys back.
  std::function<void()> AfterBox;

 private:
  int depth_ = 0;  // boxes up, one inside the other
};

// The one-line input, the name/value input and the progress dialog.
class QtDialogs : public platform::DialogUi {
 public:
  QtDialogs();
  ~QtDialogs() override;
  platform::InputReply AskInput(const platform::InputPrompt& prompt) override;
  platform::PairReply AskPair(const platform::PairPrompt& prompt) override;
  std::string BrowseFile(std::string_view title) override;
  void ShowProgress(std::string_view caption) override;
  void UpdateProgress(int position, int max) override;
  bool CancelPressed() override;
  void HideProgress() override;
  QProgressDialog* Progress() const { return progress_.get(); }

 private:
  std::unique_ptr<QProgressDialog> progress_;
};

}  // namespace dorvik::gui
