#include "gui/main/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <utility>

#include "access/backend.h"
#include "access/target.h"
#include "access/transport.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "project/project.h"
#include "base/runstate.h"
#include "debugger/breakpoints.h"
#include "debugger/executor.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "debugger/toolviews.h"
#include "debugger/editormodel.h"
#include "debugger/statusfields.h"
#include "debugger/commsettings.h"
#include "gui/debug/breakpointlist.h"
#include "gui/dialogs/commdialog.h"
#include "gui/debug/evaluatedialog.h"
#include "gui/debug/debugactions.h"
#include "gui/editor/editorpages.h"
#include "gui/editor/finddialog.h"
#include "gui/hardware/hardwaremenu.h"
#include "gui/projects/buildreport.h"
#include "gui/dialogs/lineasmdialog.h"
#include "gui/dialogs/loaddialog.h"
#include "gui/dialogs/qtchooser.h"
#include "gui/ground/chooser.h"
#include "gui/projects/projectactions.h"
#include "gui/projects/projectwnd.h"
#include "gui/dialogs/rangedlg.h"
#include "gui/dialogs/widgets.h"
#include "loader/loader.h"
#include "project/projectfile.h"
#include "lang/cpudb.h"
#include "lang/formatting.h"
#include "lang/scanner.h"
#include "machine/images.h"
#include "machine/opcodes.h"
#include "objfiles/listmap.h"
#include "platform/files.h"

namespace dorvik::gui {

namespace {

constexpr int kPumpIntervalMs = 10;  // the window's events while a command works
constexpr int kIdleIntervalMs = 20;  // the engine's timers and idle work at rest

// An item of Menu that runs Handler, with its object name and key.
template <typename Handler>
QAction* AddItem(QMenu* menu, const QString& text, const char* name, const QKeySequence& key, Handler handler) {
  QAction* action = menu->addAction(text, menu, handler);
  action->setObjectName(name);
  action->setShortcut(key);
  return action;
}

}  // namespace

QString CaptionText(uint8_t state) {
  switch (state) {
    case kCaptionRunning: return "Dorvik51 - Running";
    case kCaptionHalted: return "Dorvik51 - Halted";
    default: return "Dorvik51 - Reset";
  }
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      terminal_(new TerminalWindow(*this, this)),
      disas_(new DisasWindow(this)),
      watch_(new TWatchWnd(this)),
      userSym_(new TUserSymWin(this)),
      callStack_(new TCallStackWin(this)),
      loadDlg_(new TLoadDlg(this)) {
  for (int i = 0; i < tMemoryView::kViewCount; ++i) memViews_[static_cast<size_t>(i)] = new tMemoryView(i, this);
  setObjectName("MainForm");
  BuildCentre();
  // Every stop shows its source line in the pages, else in the disassembly
  // (through the user seam, as the engine's other needs of the user).
  InstallEditorServices();
  seam_ = std::make_unique<WorkbenchSeam>(*this);
  chooser_ = std::make_unique<QtChooser>();
  DockToolWindows();
  waitForm_ = new gui::WaitForm(this);
  userSym_->WaitForm = waitForm_;
  StartPumping();
  BuildMenus();
  // The status line's room is kept from the start: the first message of a
  // build would otherwise take it from the areas and move their stored places.
  statusBar()->show();
  SetTerminalVisible(true);
  // The status fields show values from the start, on every target (a board
  // is asked at its first stop: its line is not up yet).
  RefreshDebugViews(false);
  // A board's code is read once its line is up (SyncViews).
  shownLinkOpen_ = LinkIsOpen();
  if (ViewsMayRead()) disas_->FillFromAddress(static_cast<uint16_t>(Run().CurrentPC));
  SyncViews();
}

void MainWindow::BuildCentre() {
  auto* central = new QWidget(this);
  auto* box = new QVBoxLayout(central);
  statusPanel_ = new StatusPanel(central);
  box->addWidget(statusPanel_);
  pages_ = new EditorPages(*this);
  box->addWidget(pages_, 1);
  // The areas keep the widths given to them: the centre takes what they
  // leave, down to its least width, and never shares its wish for more
  // among them (which moved stored widths at every start). Its least width
  // holds every status field whole: the areas give way, not the values.
  central->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  central->setMinimumWidth(central->minimumSizeHint().width());
  setCentralWidget(central);
  // The default size before the areas are laid out: they open at their wishes.
  resize(1000, 700);
}

void MainWindow::DockToolWindows() {
  // A window dropped into an area that holds one already becomes a page
  // beside it, by the user's drag as by a restored layout.
  setDockOptions(dockOptions() | QMainWindow::ForceTabbedDocks);
  addDockWidget(Qt::BottomDockWidgetArea, terminal_);
  addDockWidget(Qt::LeftDockWidgetArea, disas_);
  // The other tool windows start hidden: the View menu or the project's layout shows them.
  const auto locate = [this](uint16_t address) {
    disas_->EnsureVisible();
    disas_->LocateAddress(address);
  };
  callStack_->ShowDisassembly = locate;
  userSym_->ShowDisassembly = locate;
  // Hidden before they dock: no page is made or repainted for them now.
  for (TDockableForm* w : std::initializer_list<TDockableForm*>{watch_, userSym_, callStack_}) {
    w->hide();
    addDockWidget(Qt::RightDockWidgetArea, w);
  }
  for (tMemoryView* w : memViews_) {
    w->hide();
    addDockWidget(Qt::BottomDockWidgetArea, w);
  }
}

void MainWindow::StartPumping() {
  // At rest the engine's timers and idle work run from here; while a command
  // works, the engine's pump hands the window its events (and at every wait
  // the engine makes through the user seam, see gui/ground/windowpump.h).
  connect(&idleTimer_, &QTimer::timeout, this, [this] {
    if (Executor().Running) return;
    platform::PumpMessages();
    platform::Pump().RunIdle();
    SyncViews();
  });
  idleTimer_.start(kIdleIntervalMs);
  pumpTimer_ = platform::Pump().CreateTimer(
      [this] {
        if (!Executor().Running || inPump_) return;
        inPump_ = true;
        QCoreApplication::processEvents();
        SyncViews();
        inPump_ = false;
      },
      kPumpIntervalMs, true);
  platform::Pump().EnableTimer(pumpTimer_, true);
}

MainWindow::~MainWindow() {
  chooser_.reset();
  seam_.reset();
  platform::Pump().DestroyTimer(pumpTimer_);
}

gui::FindDialog* MainWindow::FindDialog() {
  if (findDlg_ == nullptr) findDlg_ = new gui::FindDialog(*pages_, this);
  return findDlg_;
}

gui::FindInFilesDialog* MainWindow::FindInFilesDialog() {
  if (findInFilesDlg_ == nullptr) {
    findInFilesDlg_ = new gui::FindInFilesDialog(this);
    findInFilesDlg_->HitOpened = [this] { SyncViews(); };
  }
  return findInFilesDlg_;
}

bool MainWindow::CanClosePages() { return pages_->CanCloseAll(); }

void MainWindow::ClosePages() { pages_->CloseAll(); }

void MainWindow::ActivateEditor() {
  if (pages_ != nullptr) pages_->ActivateEditor(false);
}

void MainWindow::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  // Back in front: the active page's file may have changed meanwhile.
  if (e->type() == QEvent::ActivationChange && isActiveWindow() && !Messages().MessageBoxShowing &&
      !Executor().Running)
    ActivateEditor();
}

void MainWindow::BuildMenus() {
  const auto [file, exit] = BuildFileMenu();
  QMenu* view = BuildViewMenu();
  BuildDebugMenu(view);
  // The project actions put their items before Exit.
  projects_ = new ProjectActions(*this, *this, file, exit);
}

std::pair<QMenu*, QAction*> MainWindow::BuildFileMenu() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("FileMenu");
  AddItem(file, "&Open...", "FileOpen", QKeySequence::Open, [this] { pages_->OpenFileClick(); });
  AddItem(file, "&Save", "FileSave", QKeySequence::Save, [this] { pages_->SaveClick(); });
  AddItem(file, "Save &as...", "FileSaveAs", {}, [this] { pages_->SaveAsClick(); });
  AddItem(file, "&Close page", "FileClose", Qt::CTRL | Qt::Key_F4, [this] { pages_->CloseClick(); });
  file->addSeparator();
  AddItem(file, "&Find...", "EditFind", QKeySequence::Find, [this] {
    FindDialog()->show();
    FindDialog()->raise();
  });
  AddItem(file, "Find &next", "EditFindNext", Qt::Key_F3, [this] {
    if (!FindDialog()->FindNext()) FindDialog()->show();
  });
  AddItem(file, "Find in f&iles...", "EditFindInFiles", Qt::CTRL | Qt::SHIFT | Qt::Key_F, [this] {
    FindInFilesDialog()->show();
    FindInFilesDialog()->raise();
  });
  file->addSeparator();
  AddItem(file, "&Load...", "LoadProgram", {}, [this] { LoadProgramAction(); });
  AddItem(file, "Save &HEX...", "SaveHEX", {}, [this] { SaveHEXClick(); });
  return {file, AddItem(file, "E&xit", "FileExit1", {}, [this] { FileExit1Execute(); })};
}

QMenu* MainWindow::BuildViewMenu() {
  QMenu* view = menuBar()->addMenu("&View");
  AddItem(view, "&Terminal", "ViewTerminal", {}, [this] { terminal_->ShowTerminal(); });
  AddItem(view, "&Disassembly", "ViewDisassembly", {}, [this] { disas_->EnsureVisible(); });
  AddItem(view, "&Watches", "ViewWatches", {}, [this] {
    watch_->ShowDockable();
    watch_->RefreshWatches();
  });
  AddItem(view, "&Call Stack", "ViewCallStack", {}, [this] {
    callStack_->ShowDockable();
    callStack_->Refill();
  });
  AddItem(view, "&Symbols", "ViewSymbols", {}, [this] {
    userSym_->ShowDockable();
    userSym_->FillSymbolTree();
  });
  AddItem(view, "&Memory", "ViewMemory", {}, [this] { NewMemoryView(); });
  return view;
}

void MainWindow::BuildDebugMenu(QMenu* view) {
  QMenu* debug = menuBar()->addMenu("&Debug");
  debugMenu_ = debug;
  actions_ = new DebugActions(*this, *this, *disas_, *terminal_, debug);
  // The editor pages' caret line is the debug actions' cursor when it was used last.
  pages_->CaretMoved = [this] { actions_->SourceCursorMoved(); };
  pages_->LineDoubleClicked = [this] { actions_->ToggleBreakpointClick(); };
  pages_->CursorLineFound = [this](int32_t address, const std::string& location) {
    actions_->SetSourceCursor(address, location);
  };
  actions_->RefreshSourceCursor = [this] { pages_->UpdateCursorAddress(); };
  actions_->SourceCaret = [this] { return pages_->ActiveCaret(); };
  debug->addSeparator();
  AddItem(debug, "&Communication...", "tbSetCom", {}, [this] { tbSetComClick(); });
  AddItem(debug, "Line &Assembler...", "LineAssembler", {}, [this] { OpenLineAssembler(); });
  hardware_ = new HardwareMenu(*this, *this, view, debug);
  AddItem(debug, "&Breakpoints...", "BreakpointList", {}, [this] { OpenBreakpointList(); });
  AddItem(debug, "&Evaluate/Modify...", "EvaluateModify", {}, [this] { OpenEvaluate(); });
}

std::vector<TDockableForm*> MainWindow::ToolWindows() const {
  std::vector<TDockableForm*> windows{terminal_, disas_, watch_, userSym_, callStack_,
                                      memViews_[0], memViews_[1], memViews_[2], memViews_[3], memViews_[4]};
  if (projects_ != nullptr) {
    windows.push_back(projects_->Report());
    windows.push_back(projects_->ProjectWindow());
  }
  return windows;
}

TDockableForm* MainWindow::ToolWindow(const QString& name) const {
  for (TDockableForm* w : ToolWindows())
    if (w->objectName() == name) return w;
  return nullptr;
}

QLabel* MainWindow::StatusField(const std::string& name) const { return statusPanel_->Field(name); }

void MainWindow::ShowMenus(MenuState state) {
  if (state != menusShown_) {
    menusShown_ = state;
    for (QAction* action : shutForRun_)
      if (action != nullptr) action->setEnabled(true);
    shutForRun_.clear();
    menuBar()->setEnabled(state != MenuState::None);
  }
  if (state != MenuState::RunInputs) return;
  // The inputs driven by hand are for the running program: the way to them
  // stays open. Shut again at every sync, since a window enabled at the end
  // of a layout change enables its menus' top entries again.
  const QAction* inputs = hardware_ != nullptr ? hardware_->InputsMenu()->menuAction() : nullptr;
  const QAction* halt = actions_ != nullptr ? actions_->Halt : nullptr;
  const auto shut = [this](QAction* action) {
    if (!action->isEnabled()) return;
    if (std::find(shutForRun_.begin(), shutForRun_.end(), action) == shutForRun_.end()) shutForRun_.push_back(action);
    action->setEnabled(false);
  };
  for (QAction* top : menuBar()->actions())
    if (debugMenu_ == nullptr || top != debugMenu_->menuAction()) shut(top);
  if (debugMenu_ != nullptr)
    for (QAction* action : debugMenu_->actions())
      if (action != inputs && action != halt && !action->isSeparator()) shut(action);
}

void MainWindow::ShowBusy(bool busy) {
  busyShown_ = busy;
  // The rows, not the window: a layout change enables the window at its end.
  disas_->Rows()->setEnabled(!busy);
  // The terminal stays open to the keys: Esc and HALT stop a running program.
  statusPanel_->ShowBusy(busy);
  waitForm_->ShowBusy(busy);
}

void MainWindow::SyncViews() {
  const DebugStatusState& v = DebugStatus();
  if (v.Caption != shownCaption_) {
    shownCaption_ = v.Caption;
    setWindowTitle(CaptionText(v.Caption));
    if (v.Caption != kCaptionHalted) disas_->SetExecutionLine(-1);
  }
  // The status fields' one writer: at a refresh, and during a long run on
  // the simulator when the PC field follows the run.
  const bool following = FollowRunningPC();
  const bool refreshed = v.RefreshCount != shownRefresh_;
  if (following || refreshed) statusPanel_->Show(v, !refreshed);
  if (v.RefreshCount != shownRefresh_) {
    shownRefresh_ = v.RefreshCount;
    // Memory may have changed under the rows.
    disas_->Refresh();
    if (v.Caption == kCaptionHalted) disas_->SetExecutionLine(static_cast<int32_t>(Run().CurrentPC & 0xFFFF));
    toolViewsDue_ = true;
  }
  // A board's line came up: the disassembly reads the code it could not read before.
  if (LinkIsOpen() != shownLinkOpen_) {
    shownLinkOpen_ = LinkIsOpen();
    if (shownLinkOpen_ && ViewsMayRead()) disas_->FillFromAddress(static_cast<uint16_t>(Run().CurrentPC));
  }
  // The tool windows read when the target is at rest again, and not while
  // the load dialog is up (a load pending or under way: they read after it).
  if (toolViewsDue_ && ViewsMayRead() && !loadDlg_->isVisible()) RefreshToolWindows();
  // Another processor: its names are other symbols.
  if (CpuDb().CpuName != shownCpu_) {
    shownCpu_ = CpuDb().CpuName;
    if (userSym_->isVisible()) userSym_->FillSymbolTree();
  }
  disas_->Sync();
  if (MainForm().Busy != busyShown_) ShowBusy(MainForm().Busy);
  if (waitForm_->isVisible() && QApplication::activeModalWidget() != nullptr) waitForm_->hide();
  ShowMenus(!busyShown_ ? MenuState::All : Run().ProgramRunning ? MenuState::RunInputs : MenuState::None);
  pages_->Sync();
  if (actions_ != nullptr) {
    actions_->Sync();
    // Load and Save HEX work when the run actions do.
    for (const char* name : {"LoadProgram", "SaveHEX"})
      if (auto* action = findChild<QAction*>(name)) action->setEnabled(actions_->Run->isEnabled());
  }
  if (hardware_ != nullptr) hardware_->Sync();
  if (projects_ != nullptr) projects_->Sync();
  terminal_->Editor()->Render();
}

void MainWindow::RefreshToolWindows() {
  toolViewsDue_ = false;
  if (ToolViews().LoadCount != shownLoad_) {
    shownLoad_ = ToolViews().LoadCount;
    userSym_->AfterLoad();
    // A load without code leaves memory as it was: frozen or not, the views stay.
    if (!ToolViews().LoadedCode) {
      callStack_->Sync();
      watch_->RefreshWatches();
      return;
    }
  }
  callStack_->Sync();
  watch_->RefreshWatches();
  for (tMemoryView* view : memViews_) view->Sync();
}

void MainWindow::OpenMemoryView(int index, int64_t start, int64_t count, int64_t frozen, int64_t elemType,
                                int64_t space) {
  if (index < 0 || index >= tMemoryView::kViewCount) return;
  tMemoryView* view = memViews_[static_cast<size_t>(index)];
  view->SetViewParams({start, count, frozen, elemType, space});
  view->ShowDockable();
  view->ReadFromTarget();
}

void MainWindow::NewMemoryView() {
  for (tMemoryView* view : memViews_)
    if (view->isHidden()) {
      view->ShowDockable();
      view->ReadFromTarget();
      return;
    }
  ReportError(err::kTooManyMemoryViewers);
  Messages().ErrorFlag = false;
}

void MainWindow::OpenBreakpointList() {
  BreakpointListDialog dialog(this);
  dialog.ShowDisassembly = [this](uint16_t address) {
    disas_->EnsureVisible();
    disas_->LocateAddress(address);
  };
  dialog.exec();
  SyncViews();
}

void MainWindow::OpenEvaluate() {
  EvaluateDialog dialog(this);
  dialog.exec();
  SyncViews();
}

bool MainWindow::Guarded(const std::function<void()>& work) {
  const int32_t busyCount = MainForm().BusyCount;
  bool failed = false;
  try {
    work();
  } catch (const std::exception&) {
    failed = true;
  } catch (...) {
    failed = true;
  }
  if (failed) {
    while (MainForm().BusyCount > busyCount) EndBusy();
    Run().TargetBusy = false;
    ReportError(err::kDorvikInternalError);
    Messages().ErrorFlag = false;
  }
  SyncViews();
  return !failed;
}

void MainWindow::ExecuteScannerLine() {
  for (bool again = true; again;) {
    // The disassembly reads again in SyncViews when the command changed
    // something, and its breakpoint images when the breakpoints did.
    Guarded([] {
      GetToken();
      ExecuteCommand();
    });
    again = false;
    std::string line;
    while (!again && !dorvik::Terminal().ExitRequested && TakeTypeAhead(line))
      again = terminal_->EnterLine(line) == KeyAction::LineEntered;
  }
  if (dorvik::Terminal().ExitRequested) FileExit1Execute();
}

void MainWindow::LoadLayout(const std::string& projectFile) {
  platform::IniFile file;
  if (!file.Load(projectFile)) {
    platform::TakeIOResult();
    return;
  }
  struct Loading {
    Loading() { Docking().ProjectLoading = true; }
    ~Loading() { Docking().ProjectLoading = false; }
  } loading;
  // The main window's own place first: the areas' sizes are parts of it.
  if (LayoutEntry own; ParseLayoutValue(file.ReadString(kLayoutSection, objectName().toStdString()), own))
    setGeometry(PlacedOnScreen(geometry(), own, *this));
  // The docks' sizes are pixels of the laid-out window: it is shown before they are applied.
  if (!isVisible()) show();
  pages_->LoadPages(file);
  std::vector<char> sides;
  QList<QDockWidget*> sideWindows;
  QList<int> sideWidths;
  // In the order of their entries: the pages of an area come back in the order they had.
  for (TDockableForm* w : InEntryOrder(file, ToolWindows())) {
    LayoutEntry entry;
    const bool stored = ParseLayoutValue(file.ReadString(kLayoutSection, w->objectName().toStdString()), entry);
    // A window stored as shown comes on screen, also one that starts hidden;
    // one stored hidden goes before its place is applied (it sizes no area).
    if (stored && entry.Flag != 0 && w->isHidden()) w->show();
    if (stored && entry.Flag == 0) w->hide();
    w->Loaded = false;
    w->LoadLayout(file);
    if (stored && entry.Width && !w->isHidden() && !w->isFloating() && (entry.Side == 'L' || entry.Side == 'R') &&
        std::find(sides.begin(), sides.end(), entry.Side) == sides.end()) {
      sides.push_back(entry.Side);
      sideWindows.push_back(w);
      sideWidths.push_back(std::max(*entry.Width, 1));
    }
  }
  // Both side areas once more, at once: the one applied last took from the
  // first what the centre's least width did not leave them both.
  if (sideWindows.size() > 1) resizeDocks(sideWindows, sideWidths, Qt::Horizontal);
  hardware_->LoadLayout(file);
  watch_->LoadWatches(file);
}

bool MainWindow::SaveLayout(const std::string& projectFile) const {
  platform::IniFile file;
  // The rest of the project file must survive: one that exists but cannot be
  // read is not overwritten.
  if (!file.Load(projectFile)) {
    if (platform::FileExists(projectFile)) return false;
    platform::TakeIOResult();
  }
  LayoutEntry own;
  own.Left = geometry().left();
  own.Top = geometry().top();
  own.Width = geometry().width();
  own.Height = geometry().height();
  file.WriteString(kLayoutSection, objectName().toStdString(), LayoutValue(own));
  for (const TDockableForm* w : InPageOrder(ToolWindows())) {
    const std::string key = w->objectName().toStdString();
    LayoutEntry entry = w->CurrentLayout();
    // A window never opened in this session keeps its stored entry; without
    // one it has no place yet (its area opens at a third when it is opened).
    if (w->isHidden() && !w->ShownInSession) {
      if (!file.ReadString(kLayoutSection, key, "").empty()) continue;
      entry.Left = entry.Top = entry.Width = entry.Height = std::nullopt;
    }
    // Written anew at the end of the section: the pages' entries in the pages' order.
    file.DeleteKey(kLayoutSection, key);
    file.WriteString(kLayoutSection, key, LayoutValue(entry));
  }
  pages_->SavePages(file);
  hardware_->SaveLayout(file);
  watch_->SaveWatches(file);
  return file.Save(projectFile);
}

void MainWindow::LoadProgramAction() {
  const std::string name = Choosers().OpenFile({.Parent = this,
                                                .Caption = "Load program",
                                                .Start = Text(Project().Loader.LastLoadPath),
                                                .Filter = "Programs (*.hex *.ihx *.obj *.omf *.abs);;All files (*)"});
  if (!name.empty()) LoadProgram(name);
}

bool MainWindow::LoadProgram(const std::string& fileName, bool start) {
  // Without modules of its own, the project is the program's folder, as on the console.
  if (Project().ProjectModules.empty() || Project().ModulesFromFolder) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(fileName, ec);
    UseProgramFolderAsProject(ec ? fileName : full.lexically_normal().string());
  }
  Loader().LoadFileName = fileName;
  Project().Loader.LastLoadPath = fileName;
  if (projects_ != nullptr) projects_->AddRecent("FILE", fileName);
  bool loaded = false;
  Guarded([&] {
    loadDlg_->Prepare(TLoadDlg::Mode::Load);
    if (start) {
      // Loaded at once, as if Load were clicked: no event loop of the dialog
      // runs before the load (the windows would read the board meanwhile).
      loadDlg_->setModal(true);
      loadDlg_->show();
      loadDlg_->BtnLoadClick();
      loaded = loadDlg_->result() == 1;
      return;
    }
    loaded = loadDlg_->exec() == 1;
  });
  disas_->RecreateInterior();
  if (!disas_->isHidden()) disas_->SelectHostPage();
  disas_->LocateAddress(static_cast<uint16_t>(Run().CurrentPC));
  SyncViews();
  return loaded;
}

void MainWindow::SaveHEXClick() {
  const std::string name =
      Choosers().SaveFile({.Parent = this, .Caption = "Save HEX", .Filter = "Intel HEX (*.hex);;All files (*)"});
  if (name.empty()) return;
  const LoaderState& l = Loader();
  const bool loaded = l.ProjectLoaded && l.LowestAddress <= l.HighestAddress;
  RangeDlg range(loaded ? l.LowestAddress : 0, loaded ? l.HighestAddress - l.LowestAddress + 1 : 0x10000, this);
  if (range.exec() != 1) return;
  const int32_t start = range.RangeStart();
  const int32_t length = range.RangeLength();
  Loader().LoadFileName = name;
  Guarded([&] {
    loadDlg_->Prepare(TLoadDlg::Mode::SaveHex, start, length);
    loadDlg_->exec();
  });
}

void MainWindow::tbSetComClick() {
  TCommPortSelect dialog(this);
  const int result = dialog.exec();
  if (result != TCommPortSelect::kSetComParams && result != TCommPortSelect::kInitConnection) return;
  const CommSettings chosen = dialog.Chosen();
  const CommSettings& now = Comm().Applied;
  const bool changed =
      chosen.Port != now.Port || chosen.BaudRate != now.BaudRate || chosen.TargetKind != Run().TargetKind;
  if (changed || result == TCommPortSelect::kInitConnection) Guarded([&chosen] { ApplyCommSettings(chosen); });
  if (changed) {
    Project().ComPort = chosen.Port;
    Project().BaudRate = chosen.BaudRate;
    WriteProjectSettings(projects_->ProjectFile());
  }
  if (result == TCommPortSelect::kInitConnection) ProgramReset();
  disas_->RecreateInterior();
  SyncViews();
}

void MainWindow::OpenLineAssembler() {
  {
    LineAsmDialog dialog(this);
    dialog.Guard = [this](const std::function<void()>& work) { Guarded(work); };
    dialog.exec();
  }
  disas_->RecreateInterior();
  SyncViews();
}

void MainWindow::ProgramReset() {
  ClearLineMark(EditorModel().LocateLine);
  Guarded([] {
    const BusyPair busy;
    ResetTarget();
  });
  ClearSourceMarks();
  UpdateCaption(kCaptionReset);
  disas_->SetExecutionLine(-1);
  SyncViews();
}

void MainWindow::HoldInput(bool hold) {
  if (hold) {
    if (inputHolds_++ > 0) return;
    inputHeldHere_ = isEnabled();
    if (inputHeldHere_) setEnabled(false);
  } else if (inputHolds_ > 0 && --inputHolds_ == 0 && inputHeldHere_) {
    setEnabled(true);
  }
}

void MainWindow::FileExit1Execute() {
  if (Executor().Running) {
    // A command still works (a GO): it is stopped, and the window closes after it.
    dorvik::Terminal().ExitRequested = true;
    Run().UserBreak = true;
    return;
  }
  close();
}

void MainWindow::closeEvent(QCloseEvent* e) {
  if (Executor().Running) {
    dorvik::Terminal().ExitRequested = true;
    Run().UserBreak = true;
    e->ignore();
    return;
  }
  // A changed page is saved, dropped or keeps the window open, as the user answers.
  if (!pages_->CanCloseAll()) {
    e->ignore();
    return;
  }
  if (!projects_->CanClose()) {
    e->ignore();
    return;
  }
  projects_->SaveOnClose();
  e->accept();
}

}  // namespace dorvik::gui
