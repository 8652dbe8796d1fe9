#include "gui/ground/chooser.h"

#include "platform/replaceable.h"

namespace dorvik::gui {

namespace {

// No one to ask: every question is cancelled.
class NoChooser final : public Chooser {
 public:
  std::string OpenFile(const FileQuestion&) override { return {}; }
  std::string SaveFile(const FileQuestion&) override { return {}; }
  QStringList OpenFiles(const FileQuestion&) override { return {}; }
  std::optional<std::string> AskValue(const ValueQuestion&) override { return std::nullopt; }
};

platform::Replaceable<Chooser> g_chooser;

}  // namespace

Chooser& Choosers() {
  static NoChooser none;
  return g_chooser.Or(none);
}

Chooser* SetChooser(Chooser* chooser) { return g_chooser.Install(chooser); }

}  // namespace dorvik::gui
