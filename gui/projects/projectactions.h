#pragma once
// The workbench's project and build actions: File's New, Open, Save, Save
// as and Close project with the recent projects and files of the program's
// INI file ([LastOpen] "Project"n and "FILE"n), the Project menu (the
// project manager and the options), the Build menu (compile the active
// page's module, build, build and load, stop, execute a program), and the
// two tool windows they fill: the build report and the project list.

#include <cstdint>
#include <functional>
#include <string>

#include <QObject>
#include <QStringList>

#include "workspace/build.h"

class QAction;
class QMainWindow;
class QMenu;

namespace dorvik::gui {

class BuildReport;
class ProjectWnd;
class Workbench;

class ProjectActions : public QObject {
 public:
  // Adds the File menu's project items before Before, and the Project and
  // Build menus to Window's menu bar.
  ProjectActions(Workbench& bench, QMainWindow& window, QMenu* fileMenu, QAction* before);
  // The build report read again when the build changed it (the main window's SyncViews).
  void Sync();

  BuildReport* Report() const { return report_; }

  // The project file the workbench works on and keeps its layout in ("":
  // none, an unnamed project).
  const std::string& ProjectFile() const { return projectFile_; }
  // The project opened at start: its file is the workbench's, its layout applied.
  void UseProjectFile(const std::string& projectFile);
  ProjectWnd* ProjectWindow() const { return projectWnd_; }

  // File
  // An unnamed, empty project; the project in use is written first.
  void NewProject();
  bool OpenProject(const std::string& path);
  void OpenProjectAction();
  // Writes the project (and the window layout); an unnamed one asks for a name.
  bool SaveProject();
  bool SaveProjectAs(const std::string& path);
  void SaveProjectAsAction();
  // Writes the project and leaves an unnamed, empty one.
  void CloseProject();
  // The window may close: an unnamed project with modules asks warning 66.
  bool CanClose();
  // At the close: a named project is written, with the window layout.
  void SaveOnClose();

  // Project
  // The project manager; FromLoader with the module to add (question 41).
  int ProjectManager(bool fromLoader = false, const std::string& moduleName = {});
  int Options();

  // Build
  BuildOutcome CompileActive();
  BuildOutcome BuildAction();
  // Builds what is out of date, then loads the program with the load options.
  bool BuildAndLoad();
  // Stops a build between modules, or its running tool (Esc does the same).
  void Stop() {
    if (Build().Building) Build().StopRequested = true;
  }
  // Runs an external program with the serial line closed around it (as a
  // build's tool: hidden, with the time-out); its output goes to the report.
  void Execute1Click(const std::string& command = {});

  // Recent lists of the INI file: Kind "Project" or "FILE", newest first.
  void AddRecent(const std::string& kind, const std::string& path);
  QStringList Recent(const std::string& kind) const;

  // Runs on every project manager dialog before it is shown (tests).
  std::function<void(class ProjectDlg&)> OnProjectDlg;

 private:
  void ProjectChanged();
  // The named project in use written, with the window layout.
  void SaveCurrent();
  BuildOutcome RunBuild(const std::function<BuildOutcome()>& work);
  void FillRecentMenu(QMenu* menu, const std::string& kind);

  Workbench& bench_;
  QMainWindow& window_;
  std::string projectFile_;
  BuildReport* report_;
  ProjectWnd* projectWnd_;
  uint32_t shownReport_;  // the report revision the report window shows
};

}  // namespace dorvik::gui
