#include "gui/projects/projectactions.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "access/transport.h"
#include "base/dialogs.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "project/project.h"
#include "base/runprogram.h"
#include "base/runstate.h"
#include "base/text.h"
#include "base/userseam.h"
#include "workspace/openproject.h"
#include "debugger/breakpoints.h"
#include "debugger/commsettings.h"
#include "debugger/editormodel.h"
#include "gui/projects/buildreport.h"
#include "gui/ground/chooser.h"
#include "gui/ground/dockable.h"
#include "gui/ground/workbench.h"
#include "gui/projects/configdlg.h"
#include "gui/projects/projectdlg.h"
#include "gui/projects/projectwnd.h"
#include "gui/dialogs/widgets.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "project/projectfile.h"

namespace dorvik::gui {

namespace {

constexpr std::string_view kLastOpen = "LastOpen";
constexpr int kRecentCount = 8;
constexpr int kExecuteHistoryTag = 22;

// While a build or an executed program runs, the windows on screen when it
// began are drawn but read no input; every window the work shows meanwhile
// (its dialogs, their completion lists and popups, boxes, questions) takes
// input as usual. Esc in a window that reads none stops the work (between
// modules, or its running tool).
class StopOnEscape : public QObject {
 public:
  StopOnEscape() {
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->isVisible()) shut_.push_back(window);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
        break;
      default:
        return false;
    }
    // A window system's window hands the event on to its widget, judged then.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || std::find(shut_.begin(), shut_.end(), widget->window()) == shut_.end()) return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
      Build().StopRequested = true;
    return true;
  }

 private:
  std::vector<QPointer<QWidget>> shut_;
};

// Runs Work busy, the views synced first, with the window reading no input
// but Esc and its dialogs' meanwhile.
void RunWithoutInput(Workbench& bench, const std::function<void()>& work) {
  StopOnEscape escape;
  qApp->installEventFilter(&escape);
  bench.Guarded([&] {
    const BusyPair busy;
    bench.SyncViews();
    work();
  });
  qApp->removeEventFilter(&escape);
}

}  // namespace

ProjectActions::ProjectActions(Workbench& bench, QMainWindow& window, QMenu* file, QAction* before)
    : QObject(&window),
      bench_(bench),
      window_(window),
      report_(new BuildReport(&window)),
      projectWnd_(new ProjectWnd(&window)),
      shownReport_(Build().ReportRevision) {
  // Both start hidden in their areas (a project's layout may place them
  // elsewhere): the report shows itself when a build writes to it.
  window.addDockWidget(Qt::BottomDockWidgetArea, report_);
  window.addDockWidget(Qt::LeftDockWidgetArea, projectWnd_);
  report_->hide();
  projectWnd_->hide();
  // Their repaints after the change are due now, not at the next pump.
  platform::PumpMessages();
  auto add = [&](QMenu* menu, const QString& name, const QString& caption, auto slot, QAction* at = nullptr) {
    auto* action = new QAction(caption, menu);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, slot);
    if (at != nullptr)
      menu->insertAction(at, action);
    else
      menu->addAction(action);
    return action;
  };
  add(file, "FileNewProject", "&New project", [this] { NewProject(); }, before);
  add(file, "FileOpenProject", "&Open project...", [this] { OpenProjectAction(); }, before);
  add(file, "FileSaveProject", "&Save project", [this] { SaveProject(); }, before);
  add(file, "FileSaveProjectAs", "Save project &as...", [this] { SaveProjectAsAction(); }, before);
  add(file, "FileCloseProject", "&Close project", [this] { CloseProject(); }, before);
  QMenu* recentProjects = new QMenu("Recent &projects", file);
  recentProjects->setObjectName("RecentProjects");
  QMenu* recentFiles = new QMenu("Recent &files", file);
  recentFiles->setObjectName("RecentFiles");
  file->insertMenu(before, recentProjects);
  file->insertMenu(before, recentFiles);
  file->insertSeparator(before);
  connect(recentProjects, &QMenu::aboutToShow, this, [this, recentProjects] { FillRecentMenu(recentProjects, "Project"); });
  connect(recentFiles, &QMenu::aboutToShow, this, [this, recentFiles] { FillRecentMenu(recentFiles, "FILE"); });

  QMenu* project = window.menuBar()->addMenu("&Project");
  project->setObjectName("ProjectMenu");
  add(project, "ProjectManager", "&Manager...", [this] { ProjectManager(); });
  add(project, "ProjectOptions", "&Options...", [this] { Options(); });
  add(project, "ViewProjectWnd", "Project &list", [this] { projectWnd_->ShowDockable(); });
  add(project, "ViewBuildReport", "Build &report", [this] { report_->ShowDockable(); });

  QMenu* build = window.menuBar()->addMenu("&Build");
  build->setObjectName("BuildMenu");
  add(build, "actCompile", "&Compile", [this] { CompileActive(); })->setShortcut(QKeySequence("Ctrl+F9"));
  add(build, "actBuild", "&Build", [this] { BuildAction(); })->setShortcut(QKeySequence("Shift+F9"));
  add(build, "actBuildAndLoad", "Build and &load", [this] { BuildAndLoad(); });
  add(build, "actStopBuild", "&Stop", [this] { Stop(); });
  build->addSeparator();
  add(build, "Execute1", "&Execute...", [this] { Execute1Click(); });

  if (Project().FileTypeList.empty()) Project().FileTypeList = DefaultFileTypes();
  projectWnd_->Fill();
}

void ProjectActions::Sync() {
  if (Build().ReportRevision == shownReport_) return;
  shownReport_ = Build().ReportRevision;
  report_->Fill();
  if (!Build().Report.empty()) report_->ShowDockable();
}

void ProjectActions::ProjectChanged() {
  projectWnd_->Fill();
  bench_.SyncViews();
}

void ProjectActions::UseProjectFile(const std::string& projectFile) {
  projectFile_ = projectFile;
  if (!projectFile_.empty()) bench_.LoadLayout(projectFile_);
}

void ProjectActions::SaveCurrent() {
  if (projectFile_.empty()) return;
  if (WriteProject(projectFile_)) bench_.SaveLayout(projectFile_);
}

void ProjectActions::NewProject() {
  if (!bench_.CanClosePages()) return;
  SaveCurrent();
  bench_.ClosePages();
  dorvik::NewProject();
  projectFile_.clear();
  Build().Report.clear();
  report_->Fill();
  ProjectChanged();
}

bool ProjectActions::OpenProject(const std::string& path) {
  // The project in use is written first, as at the close; a project that
  // cannot be read leaves it in use.
  if (!platform::FileExists(path)) {
    ReportError(err::kCouldNotOpenConfigurationFile, path);
    return false;
  }
  // The pages of the project in use close (changed ones asked about first),
  // after the project kept which were open.
  if (!bench_.CanClosePages()) return false;
  SaveCurrent();
  bench_.ClosePages();
  if (!dorvik::OpenProject(path)) return false;
  // The project's target and line take effect as at start.
  const CommSettings wanted{Project().ComPort, Project().BaudRate, Run().TargetKind};
  const CommSettings& now = Comm().Applied;
  if (wanted.Port != now.Port || wanted.BaudRate != now.BaudRate || wanted.TargetKind != now.TargetKind)
    bench_.Guarded([&wanted] { ApplyCommSettings(wanted); });
  UseProjectFile(Project().ProjectFileName);
  AddRecent("Project", projectFile_);
  MarkAllBreakpoints();
  ProjectChanged();
  return true;
}

void ProjectActions::OpenProjectAction() {
  const std::string path = Choosers().OpenFile(
      {.Parent = &window_, .Caption = "Open project", .Filter = "Projects (*.QPC *.qpc);;All files (*)"});
  if (!path.empty()) OpenProject(path);
}

bool ProjectActions::SaveProject() {
  if (projectFile_.empty()) {
    SaveProjectAsAction();
    return !projectFile_.empty();
  }
  return SaveProjectAs(projectFile_);
}

bool ProjectActions::SaveProjectAs(const std::string& path) {
  if (path.empty()) return false;
  // A project saved under a new name keeps its modules where they are.
  Project().ModulesFromFolder = false;
  if (!WriteProject(path)) return false;
  bench_.SaveLayout(path);
  projectFile_ = path;
  Project().ProjectFileName = path;
  AddRecent("Project", path);
  return true;
}

void ProjectActions::SaveProjectAsAction() {
  std::string path = Choosers().SaveFile(
      {.Parent = &window_, .Caption = "Save project as", .Filter = "Projects (*.QPC);;All files (*)"});
  if (path.empty()) return;
  if (std::filesystem::path(path).extension().empty()) path += ".QPC";
  SaveProjectAs(path);
}

void ProjectActions::CloseProject() { NewProject(); }

bool ProjectActions::CanClose() {
  if (!projectFile_.empty() || Project().ProjectModules.empty()) return true;
  return IsYes(ReportWarning(warn::kNoProjectDefined));
}

void ProjectActions::SaveOnClose() {
  if (projectFile_.empty()) return;
  WriteProject(projectFile_);
  bench_.SaveLayout(projectFile_);
}

int ProjectActions::ProjectManager(bool fromLoader, const std::string& moduleName) {
  ProjectDlg dialog(&window_);
  dialog.AddingFromLoader = fromLoader;
  if (fromLoader) dialog.PrjManOpenDlgFileName = Text(moduleName + ".*");
  if (OnProjectDlg) OnProjectDlg(dialog);
  const int result = dialog.exec();
  if (result == 1) {
    Project().ProjectModules = dialog.Modules();
    Project().ModulesFromFolder = false;
    if (!projectFile_.empty()) WriteProject(projectFile_);
    ProjectChanged();
  }
  return result;
}

int ProjectActions::Options() {
  TConfigDlg dialog(&window_);
  const int result = dialog.exec();
  if (result == 1 && !projectFile_.empty()) WriteProject(projectFile_);
  if (result == 1) ProjectChanged();
  return result;
}

BuildOutcome ProjectActions::RunBuild(const std::function<BuildOutcome()>& work) {
  if (MainForm().Busy || Build().Building) return BuildOutcome::Failed;
  // The tools read the files: a changed page is saved first, or built as it is on disk (No), or the build stops (Cancel).
  if (!bench_.CanClosePages()) return BuildOutcome::Failed;
  BuildOutcome outcome = BuildOutcome::Failed;
  RunWithoutInput(bench_, [&] { outcome = work(); });
  Build().Building = false;
  report_->Fill();
  ProjectChanged();
  return outcome;
}

BuildOutcome ProjectActions::CompileActive() {
  const TEditSheet* page = PageAt(EditorModel().ActivePage);
  if (page == nullptr || page->FileName.empty()) {
    ReportWarning(warn::kNothingToDo);
    return BuildOutcome::Failed;
  }
  tModuleRec module{UpperCase(std::filesystem::path(page->FileName).stem().string()), page->FileName, {}};
  bool listed = false;
  for (const tModuleRec& m : Project().ProjectModules) {
    if (platform::SameFile(m.FileName, page->FileName)) {
      module = m;
      listed = true;
    }
  }
  if (!listed) ReportWarning(warn::kCompiledFileNotPartProject, page->FileName);
  return RunBuild([&] {
    if (Run().ProgramRunning) {
      ReportError(err::kCommandFormNotAllowedDuring);
      return BuildOutcome::Failed;
    }
    Build().Report.clear();
    Build().Building = true;
    const BuildOutcome outcome = CompileModule(module);
    Build().Building = false;
    User().ShowStatus("");
    return outcome;
  });
}

BuildOutcome ProjectActions::BuildAction() {
  return RunBuild([] { return BuildProject(false); });
}

bool ProjectActions::BuildAndLoad() {
  if (BuildAction() != BuildOutcome::Built) return false;
  const std::string program = ProgramToLoad();
  if (program.empty()) {
    const auto& modules = Project().ProjectModules;
    ReportError(err::kFileNotExist, modules.empty() ? std::string() : platform::ChangeFileExt(modules.front().FileName, ".obj"));
    return false;
  }
  return bench_.LoadProgram(program, true);
}

void ProjectActions::Execute1Click(const std::string& given) {
  std::string command = given;
  if (command.empty()) {
    TInputDialog& dialog = Dialogs().InputDialog;
    dialog.Caption = "Execute";
    dialog.BrowseVisible = true;
    dialog.comboBox1.Tag = kExecuteHistoryTag;
    dialog.comboBox1.Text.clear();
    const int result = dialog.ShowModal();
    if (result != kModalOk) return;
    command = TrimBlanks(dialog.Value);
  }
  if (command.empty()) return;
  // The line is closed while the program runs, so that it may use the port.
  const std::string device = LinkDevice();
  const int32_t baud = LinkBaud();
  if (!device.empty()) CloseLink();
  Build().StopRequested = false;
  RunWithoutInput(bench_, [&] {
    const ProgramRun run = RunProgramAndWait(command, true);
    if (run.Outcome == ProgramOutcome::RunnerMissing || run.OutputFile.empty()) return;
    Build().Report = {{command, {}, {}, {}, -1}};
    for (BuildReportLine& line : ReadProtocol(run.OutputFile, ".")) Build().Report.push_back(std::move(line));
    ++Build().ReportRevision;
  });
  Build().StopRequested = false;
  if (!device.empty()) OpenLink(device, baud);
}

void ProjectActions::AddRecent(const std::string& kind, const std::string& path) {
  const std::string& ini = MainForm().IniFileName;
  if (ini.empty() || path.empty()) return;
  std::error_code ec;
  const std::string full = std::filesystem::absolute(path, ec).lexically_normal().string();
  QStringList list = Recent(kind);
  list.removeAll(Text(full));
  list.prepend(Text(full));
  platform::IniFile file;
  if (!file.Load(ini)) {
    const bool exists = platform::FileExists(ini);
    platform::TakeIOResult();
    if (exists) return;
  }
  for (int i = 0; i < kRecentCount; ++i) {
    const std::string key = kind + std::to_string(i + 1);
    if (i < list.size())
      file.WriteString(kLastOpen, key, list[i].toStdString());
    else
      file.DeleteKey(kLastOpen, key);
  }
  if (!file.Save(ini)) platform::TakeIOResult();
}

QStringList ProjectActions::Recent(const std::string& kind) const {
  QStringList list;
  platform::IniFile file;
  if (!file.Load(MainForm().IniFileName)) {
    platform::TakeIOResult();
    return list;
  }
  for (int i = 0; i < kRecentCount; ++i) {
    const std::string value = file.ReadString(kLastOpen, kind + std::to_string(i + 1));
    if (!value.empty()) list << Text(value);
  }
  return list;
}

void ProjectActions::FillRecentMenu(QMenu* menu, const std::string& kind) {
  menu->clear();
  for (const QString& path : Recent(kind)) {
    const std::string file = path.toStdString();
    // An "&" of the name is shown, not taken as the accelerator mark.
    QString caption = path;
    caption.replace("&", "&&");
    if (kind == "Project")
      menu->addAction(caption, this, [this, file] { OpenProject(file); });
    else
      menu->addAction(caption, this, [this, file] { bench_.LoadProgram(file); });
  }
}

}  // namespace dorvik::gui
