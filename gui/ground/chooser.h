#pragma once
// The workbench's choosers: a file to open, a file to save, several files to
// open, and a value typed in. The Qt dialogs answer them (gui/dialogs/
// qtchooser.h, installed by the main window for its lifetime); a test
// installs a scripted one. Without one installed every question is cancelled.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QString>
#include <QStringList>

class QWidget;

namespace dorvik::gui {

// A file question: the dialog's caption, the folder or file it starts at,
// its file-type filter, the file name selected first, and its object name.
struct FileQuestion {
  QWidget* Parent = nullptr;
  QString Caption{};
  QString Start{};
  QString Filter{};
  QString Selected{};
  QString Name{};
};

// A value question: a hexadecimal number of Low..High in a validated field,
// shown with Value at first. OK takes the text when Accept does (Accept shows
// its own message and the dialog stays open with the text otherwise).
struct ValueQuestion {
  QWidget* Parent = nullptr;
  std::string Caption{};
  std::string Label{};
  std::string Value{};
  uint16_t Low = 0;
  uint16_t High = 0xFF;
  std::function<bool(const std::string& text)> Accept{};
  QString Name{};       // the dialog's object name
  QString FieldName{};  // its field's
};

class Chooser {
 public:
  virtual ~Chooser() = default;
  // The file chosen ("" when cancelled).
  virtual std::string OpenFile(const FileQuestion& question) = 0;
  virtual std::string SaveFile(const FileQuestion& question) = 0;
  // The files chosen (none when cancelled).
  virtual QStringList OpenFiles(const FileQuestion& question) = 0;
  // The text taken (nullopt when cancelled).
  virtual std::optional<std::string> AskValue(const ValueQuestion& question) = 0;
};

// The installed chooser, or one that cancels every question.
Chooser& Choosers();
// Installs Chooser (nullptr: none); returns the one it replaced.
Chooser* SetChooser(Chooser* chooser);

}  // namespace dorvik::gui
