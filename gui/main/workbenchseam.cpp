#include "gui/main/workbenchseam.h"

#include <QPushButton>
#include <QStatusBar>

#include "debugger/terminal.h"
#include "gui/debug/debugactions.h"
#include "gui/debug/disaswindow.h"
#include "gui/dialogs/loaddialog.h"
#include "gui/dialogs/widgets.h"
#include "gui/main/mainwindow.h"
#include "gui/projects/addfiletype.h"
#include "gui/projects/projectactions.h"
#include "loader/loader.h"
#include "workspace/build.h"

namespace dorvik::gui {

WorkbenchSeam::WorkbenchSeam(MainWindow& main) : main_(main), replaced_(SetUserSeam(this)) {}

WorkbenchSeam::~WorkbenchSeam() {
  if (&User() == this) SetUserSeam(replaced_);
}

bool WorkbenchSeam::KeepWaiting() {
  PumpWithWindowEvents();
  return !Build().StopRequested;
}

void WorkbenchSeam::ShowStatus(std::string_view text) {
  if (text.empty())
    main_.statusBar()->clearMessage();
  else
    main_.statusBar()->showMessage(Text(text));
}

std::string WorkbenchSeam::ChooseCompiler(std::string_view typeItem) { return TAdd_File_Type::AskCompiler(typeItem); }

void WorkbenchSeam::AddModuleToProject(const std::string& moduleName) {
  if (ProjectActions* projects = main_.Projects()) projects->ProjectManager(true, moduleName);
}

void WorkbenchSeam::ShowLoadProgress(const LoadProgress& progress) {
  TLoadDlg* dialog = main_.LoadDialog();
  switch (progress.Step) {
    case LoadStep::Address:
      dialog->ShowAddress(progress.Label, progress.Address);
      // Each address shown lets the Cancel button and Escape be seen.
      PumpWithWindowEvents();
      if (dialog->CancelPressed()) Loader().Cancelled = true;
      break;
    case LoadStep::Loaded: dialog->BtnLoad->show(); break;
    case LoadStep::Ended: dialog->hide(); break;
  }
}

void WorkbenchSeam::ShowDisassembly(uint16_t address) {
  DisasWindow* disas = main_.Disassembly();
  disas->EnsureVisible();
  disas->raise();
  disas->SetExecutionLine(address);
}

char WorkbenchSeam::ReadStepKey() {
  const DebugActions* actions = main_.Actions();
  if (actions != nullptr && actions->SteppingOnce()) return static_cast<char>(kKeyEsc);
  return ReadKey();
}

}  // namespace dorvik::gui
