#include "gui/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <utility>

#include "access/backend.h"
#include "access/target.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "debugger/breakpoints.h"
#include "debugger/executor.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "debugger/views.h"
#include "debugger/commsettings.h"
#include "gui/commdialog.h"
#include "gui/debugactions.h"
#include "gui/buildreport.h"
#include "gui/loaddialog.h"
#include "gui/projectactions.h"
#include "gui/projectwnd.h"
#include "gui/rangedlg.h"
#include "gui/qtdialogs.h"
#include "gui/widgets.h"
#include "loader/loader.h"
#include "project/config.h"
#include "project/projectfile.h"
#include "lang/formatting.h"
#include "lang/scanner.h"
#include "machine/images.h"
#include "machine/opcodes.h"
#include "platform/files.h"

namespace dorvik::gui {

namespace {

constexpr int kPumpIntervalMs = 10;  // the window's events while a command works
constexpr int kIdleIntervalMs = 20;  // the engine's timers and idle work at rest
constexpr int kWaitFormDelayMs = 200;

// The status fields in the order the panel shows them.
constexpr const char* kStatusNames[] = {"PC", "ACC", "B", "SP", "DPTR", "PSW", "RBS", "CY", "AC", "F0",
                                        "OV", "P",   "R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7"};

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
      terminal_(new TerminalWindow(*this)),
      disas_(new DisasWindow(this)),
      loadDlg_(new TLoadDlg(this)) {
  setObjectName("MainForm");
  auto* central = new QWidget(this);
  auto* box = new QVBoxLayout(central);
  BuildStatusPanel(central);
  box->addWidget(statusPanel_);
  box->addStretch(1);
  setCentralWidget(central);
  // A window dropped into an area that holds one already becomes a page
  // beside it, by the user's drag as by a restored layout.
  setDockOptions(dockOptions() | QMainWindow::ForceTabbedDocks);
  addDockWidget(Qt::BottomDockWidgetArea, terminal_);
  addDockWidget(Qt::LeftDockWidgetArea, disas_);

  auto* wait = new QLabel("Wait please...", this, Qt::Tool | Qt::FramelessWindowHint);
  wait->setObjectName("WaitForm");
  wait->setAlignment(Qt::AlignCenter);
  wait->setMargin(16);
  wait->setFrameStyle(QFrame::Panel | QFrame::Raised);
  waitForm_ = wait;
  waitTimer_.setSingleShot(true);
  connect(&waitTimer_, &QTimer::timeout, this, [this] {
    if (!busyShown_ || Messages().MessageBoxShowing || Run().ProgramRunning) return;
    waitForm_->adjustSize();
    waitForm_->move(geometry().center() - waitForm_->rect().center());
    waitForm_->show();
  });
  // At rest the engine's timers and idle work run from here; while a command
  // works, the engine's pump hands the window its events.
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
  BuildMenus();
  resize(1000, 700);
  SetTerminalVisible(true);
  // The status fields show values from the start, on every target.
  RefreshDebugViews();
  disas_->FillFromAddress(static_cast<uint16_t>(Run().CurrentPC));
  SyncViews();
}

MainWindow::~MainWindow() { platform::Pump().DestroyTimer(pumpTimer_); }

void MainWindow::BuildStatusPanel(QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setObjectName("StatusPanel");
  panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* grid = new QGridLayout(panel);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  int n = 0;
  for (const char* name : kStatusNames) {
    auto* label = new QLabel(panel);
    label->setObjectName(QString("st") + name);
    label->setFont(fixed);
    grid->addWidget(label, n / 10, n % 10);
    statusFields_[name] = label;
    ++n;
  }
  statusPanel_ = panel;
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("FileMenu");
  file->addAction("&Load...", this, [this] { LoadProgramAction(); })->setObjectName("LoadProgram");
  file->addAction("Save &HEX...", this, [this] { SaveHEXClick(); })->setObjectName("SaveHEX");
  QAction* exit = file->addAction("E&xit", this, [this] { FileExit1Execute(); });
  exit->setObjectName("FileExit1");
  QMenu* view = menuBar()->addMenu("&View");
  view->addAction("&Terminal", this, [this] { terminal_->ShowTerminal(); })->setObjectName("ViewTerminal");
  view->addAction("&Disassembly", this, [this] { disas_->EnsureVisible(); })->setObjectName("ViewDisassembly");
  QMenu* debug = menuBar()->addMenu("&Debug");
  actions_ = new DebugActions(*this, debug);
  debug->addSeparator();
  debug->addAction("&Communication...", this, [this] { tbSetComClick(); })->setObjectName("tbSetCom");
  debug->addAction("Line &Assembler...", this, [this] { OpenLineAssembler(); })->setObjectName("LineAssembler");
  projects_ = new ProjectActions(*this, file, exit);
}

std::vector<TDockableForm*> MainWindow::ToolWindows() const {
  std::vector<TDockableForm*> windows{terminal_, disas_};
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

QLabel* MainWindow::StatusField(const std::string& name) const {
  const std::string bare = name.rfind("st", 0) == 0 ? name.substr(2) : name;
  const auto it = statusFields_.find(bare);
  return it == statusFields_.end() ? nullptr : it->second;
}

void MainWindow::ShowBusy(bool busy) {
  busyShown_ = busy;
  menuBar()->setEnabled(!busy);
  // The rows, not the window: a layout change enables the window at its end.
  disas_->Rows()->setEnabled(!busy);
  // The terminal stays open to the keys: Esc and HALT stop a running program.
  statusPanel_->setStyleSheet(busy ? "QLabel { color: red; }" : "");
  if (busy) {
    waitTimer_.start(kWaitFormDelayMs);
  } else {
    waitTimer_.stop();
    waitForm_->hide();
  }
}

void MainWindow::SyncViews() {
  const ViewsState& v = Views();
  if (v.Caption != shownCaption_) {
    shownCaption_ = v.Caption;
    setWindowTitle(CaptionText(v.Caption));
    if (v.Caption != kCaptionHalted) disas_->SetExecutionLine(-1);
  }
  if (v.RefreshCount != shownRefresh_) {
    shownRefresh_ = v.RefreshCount;
    for (const auto& [name, label] : statusFields_) {
      const auto it = v.StatusFields.find("st" + name);
      std::string text = it == v.StatusFields.end() ? name : it->second;
      std::replace(text.begin(), text.end(), '\r', ' ');
      label->setText(Text(text));
    }
    // Memory may have changed under the rows.
    disas_->Refresh();
    if (v.Caption == kCaptionHalted) disas_->SetExecutionLine(static_cast<int32_t>(Run().CurrentPC & 0xFFFF));
  }
  if (MainForm().Busy != busyShown_) ShowBusy(MainForm().Busy);
  if (actions_ != nullptr) actions_->Sync();
  terminal_->Editor()->Render();
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
    // something; its breakpoint images follow every command.
    Guarded([] {
      GetToken();
      ExecuteCommand();
    });
    disas_->ShowBreakpointImages();
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
  for (TDockableForm* w : ToolWindows()) {
    w->Loaded = false;
    w->LoadLayout(file);
    LayoutEntry entry;
    if (ParseLayoutValue(file.ReadString(kLayoutSection, w->objectName().toStdString()), entry) && entry.Flag == 0)
      w->hide();
  }
}

bool MainWindow::SaveLayout(const std::string& projectFile) const {
  platform::IniFile file;
  // The rest of the project file must survive: one that exists but cannot be
  // read is not overwritten.
  if (!file.Load(projectFile)) {
    if (platform::FileExists(projectFile)) return false;
    platform::TakeIOResult();
  }
  for (const TDockableForm* w : ToolWindows())
    file.WriteString(kLayoutSection, w->objectName().toStdString(), LayoutValue(w->CurrentLayout()));
  return file.Save(projectFile);
}

void MainWindow::LoadProgramAction() {
  std::string name;
  if (ChooseProgramFile) {
    name = ChooseProgramFile();
  } else {
    name = QFileDialog::getOpenFileName(this, "Load program", QString::fromStdString(Project().Loader.LastLoadPath),
                                        "Programs (*.hex *.ihx *.obj *.omf *.abs);;All files (*)")
               .toStdString();
  }
  if (!name.empty()) LoadProgram(name);
}

bool MainWindow::LoadProgram(const std::string& fileName, bool start) {
  Loader().LoadFileName = fileName;
  Project().Loader.LastLoadPath = fileName;
  if (projects_ != nullptr) projects_->AddRecent("FILE", fileName);
  bool loaded = false;
  Guarded([&] {
    loadDlg_->Prepare(TLoadDlg::Mode::Load);
    if (start) QTimer::singleShot(0, loadDlg_, [this] { loadDlg_->BtnLoadClick(); });
    loaded = loadDlg_->exec() == 1;
  });
  disas_->RecreateInterior();
  disas_->LocateAddress(static_cast<uint16_t>(Run().CurrentPC));
  SyncViews();
  return loaded;
}

void MainWindow::SaveHEXClick() {
  const std::string name =
      ChooseHexFile ? ChooseHexFile()
                    : QFileDialog::getSaveFileName(this, "Save HEX", {}, "Intel HEX (*.hex);;All files (*)").toStdString();
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
    WriteProjectSettings(ProjectFile);
  }
  if (result == TCommPortSelect::kInitConnection) ProgramReset();
  disas_->RecreateInterior();
  disas_->ShowBreakpointImages();
  SyncViews();
}

void MainWindow::OpenLineAssembler() {
  {
    LineAsmDialog dialog(this);
    dialog.exec();
  }
  disas_->RecreateInterior();
  SyncViews();
}

void MainWindow::ProgramReset() {
  Guarded([] {
    BeginBusy();
    struct Leave {
      ~Leave() { EndBusy(); }
    } leave;
    ResetTarget();
  });
  UpdateCaption(kCaptionReset);
  disas_->SetExecutionLine(-1);
  disas_->ShowBreakpointImages();
  SyncViews();
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
  if (projects_ != nullptr && !projects_->CanClose()) {
    e->ignore();
    return;
  }
  if (projects_ != nullptr) projects_->SaveOnClose();
  if (!ProjectFile.empty()) SaveLayout(ProjectFile);
  e->accept();
}

}  // namespace dorvik::gui
