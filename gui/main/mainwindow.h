#pragma once
// The workbench's main window: the menus, the processor status fields, the
// editor pages in the centre, the left, right and bottom dock areas with the
// tool windows, the caption with the run state, and the busy pair's view
// with its wait form. It makes the windows and their actions and is the
// narrow centre they call back (gui/ground/workbench.h). The engine keeps
// what it shows as state (debugger/statusfields.h, base/mainform.h); the
// window shows it whenever a command ends, the program stops, or the busy
// state changes: never once per instruction.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include "gui/debug/callstackwindow.h"
#include "gui/debug/disaswindow.h"
#include "gui/ground/dockable.h"
#include "gui/ground/workbench.h"
#include "gui/main/statuspanel.h"
#include "gui/main/waitform.h"
#include "gui/main/workbenchseam.h"
#include "gui/debug/memoryview.h"
#include "gui/debug/symbolwindow.h"
#include "gui/debug/terminalwindow.h"
#include "gui/debug/watchwindow.h"
#include "platform/pump.h"

class QLabel;

namespace dorvik::gui {

class DebugActions;
class EditorPages;
class HardwareMenu;
class FindDialog;
class FindInFilesDialog;
class ProjectActions;
class QtChooser;
class TLoadDlg;

class MainWindow : public QMainWindow, public Workbench {
 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  TerminalWindow* Terminal() const { return terminal_; }
  DisasWindow* Disassembly() const { return disas_; }
  std::vector<TDockableForm*> ToolWindows() const;
  TWatchWnd* Watches() const { return watch_; }
  TCallStackWin* CallStack() const { return callStack_; }
  TUserSymWin* Symbols() const { return userSym_; }
  tMemoryView* MemoryView(int index) const { return memViews_.at(static_cast<size_t>(index)); }
  // (Re)opens memory view Index (0..4) with these view parameters and reads it.
  void OpenMemoryView(int index, int64_t start, int64_t count, int64_t frozen, int64_t elemType, int64_t space);
  // View|Memory: the first memory view not on screen; error 165 when all five are.
  void NewMemoryView();
  // Debug|Breakpoints and Debug|Evaluate/Modify.
  void OpenBreakpointList();
  void OpenEvaluate();
  // The tool windows read the engine again: call stack, watches, memory
  // views (after a stop, a command, or a load).
  void RefreshToolWindows();
  TDockableForm* ToolWindow(const QString& name) const;
  // The Debug menu's and tool bar's actions.
  DebugActions* Actions() const { return actions_; }
  // The editor pages in the centre.
  EditorPages* Pages() const { return pages_; }
  bool CanClosePages() override;
  void ClosePages() override;
  gui::FindDialog* FindDialog();
  gui::FindInFilesDialog* FindInFilesDialog();
  // The port window, the inputs driven by hand and the virtual-hardware windows.
  HardwareMenu* Hardware() const { return hardware_; }
  // The project and build actions with the build report and project list.
  ProjectActions* Projects() const { return projects_; }

  // The status field "st" + Name (nullptr when there is none).
  QLabel* StatusField(const std::string& name) const;
  QWidget* WaitForm() const { return waitForm_; }
  bool BusyShown() const { return busyShown_; }

  // The centre the windows call back (gui/ground/workbench.h).
  void SyncViews() override;
  bool Guarded(const std::function<void()>& work) override;
  void ExecuteScannerLine() override;
  // A flag 0 in an entry hides its window.
  void LoadLayout(const std::string& projectFile) override;
  bool SaveLayout(const std::string& projectFile) const override;
  void HoldInput(bool hold) override;

  // Actions
  // File|Load: a program file chosen (from LastLoadPath on) and loaded.
  void LoadProgramAction();
  bool LoadProgram(const std::string& fileName, bool start = false) override;
  // File|Save HEX: a range chosen in the range dialog (first offered: the
  // loaded program's, all of code memory when none was loaded) saved as HEX
  // through the load dialog in save mode.
  void SaveHEXClick();
  TLoadDlg* LoadDialog() const { return loadDlg_; }
  // Debug|Communication: the set-up dialog; a changed port, speed or target
  // is applied on OK, and "Init connection" applies and resets the target.
  void tbSetComClick();
  void OpenLineAssembler();
  void ProgramReset();
  void FileExit1Execute() override;
  // The editor page re-activated after a box or when the window comes to the front.
  void ActivateEditor();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  // The steps of the window's making.
  void BuildCentre();
  void DockToolWindows();
  void StartPumping();
  void BuildMenus();
  std::pair<QMenu*, QAction*> BuildFileMenu();  // the menu and its Exit
  QMenu* BuildViewMenu();
  void BuildDebugMenu(QMenu* view);
  void ShowBusy(bool busy);
  // The menus as the state allows: all at rest, none while busy, and while
  // the program runs only the Debug menu's Inputs (and Halt).
  enum class MenuState : uint8_t { All, None, RunInputs };
  void ShowMenus(MenuState state);

  TerminalWindow* terminal_;
  DisasWindow* disas_;
  TWatchWnd* watch_;
  TUserSymWin* userSym_;
  TCallStackWin* callStack_;
  std::array<tMemoryView*, tMemoryView::kViewCount> memViews_{};
  bool toolViewsDue_ = true;
  int32_t shownLoad_ = 0;
  std::string shownCpu_;
  TLoadDlg* loadDlg_;
  // The engine's needs of the user, answered by this window's parts.
  std::unique_ptr<WorkbenchSeam> seam_;
  // The file and value questions of the windows, answered by the Qt dialogs.
  std::unique_ptr<QtChooser> chooser_;
  DebugActions* actions_ = nullptr;
  EditorPages* pages_ = nullptr;
  gui::FindDialog* findDlg_ = nullptr;
  gui::FindInFilesDialog* findInFilesDlg_ = nullptr;
  HardwareMenu* hardware_ = nullptr;
  ProjectActions* projects_ = nullptr;
  StatusPanel* statusPanel_ = nullptr;
  gui::WaitForm* waitForm_ = nullptr;
  QTimer idleTimer_;
  platform::TimerId pumpTimer_ = 0;
  bool busyShown_ = false;
  int inputHolds_ = 0;
  bool inputHeldHere_ = false;  // the outermost hold turned the window off
  QMenu* debugMenu_ = nullptr;
  MenuState menusShown_ = MenuState::All;
  std::vector<QPointer<QAction>> shutForRun_;  // enabled before the run, disabled during it
  bool inPump_ = false;
  int32_t shownRefresh_ = -1;
  bool shownLinkOpen_ = false;  // a board's line as the disassembly last read through it
  int shownCaption_ = -1;
};

// The caption for a run state (kCaptionReset, ...).
QString CaptionText(uint8_t state);

}  // namespace dorvik::gui
