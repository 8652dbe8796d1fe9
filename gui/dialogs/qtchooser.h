#pragma once
// The choosers as the Qt dialogs answer them: Qt's file dialogs, and a small
// dialog with a validated field for a value. Made, it is the installed
// chooser (gui/ground/chooser.h) until it goes.

#include "gui/ground/chooser.h"

namespace dorvik::gui {

class QtChooser final : public Chooser {
 public:
  QtChooser();
  ~QtChooser() override;
  QtChooser(const QtChooser&) = delete;
  QtChooser& operator=(const QtChooser&) = delete;

  std::string OpenFile(const FileQuestion& question) override;
  std::string SaveFile(const FileQuestion& question) override;
  QStringList OpenFiles(const FileQuestion& question) override;
  std::optional<std::string> AskValue(const ValueQuestion& question) override;
};

}  // namespace dorvik::gui
