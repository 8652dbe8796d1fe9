#include "gui/debug/debugactions.h"

#include <QAction>
#include <QMainWindow>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "base/mainform.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "base/runstate.h"
#include "debugger/breaklocations.h"
#include "debugger/breakpoints.h"
#include "debugger/executor.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "debugger/statusfields.h"
#include "gui/debug/disaswindow.h"
#include "gui/debug/terminalwindow.h"
#include "gui/dialogs/cpudialog.h"
#include "gui/ground/workbench.h"
#include "gui/dialogs/widgets.h"
#include "lang/fileutil.h"
#include "lang/formatting.h"
#include "lang/symbols.h"

namespace dorvik::gui {

namespace {

// The red dot of a breakpoint, as the disassembly shows it.
QIcon BreakpointIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(128, 0, 0));
  p.setBrush(QColor(255, 0, 0));
  p.drawEllipse(2, 2, 12, 12);
  return QIcon(pixmap);
}

// The breakpoint table's used entry at Address, or nullptr.
tBreak* BreakpointAt(uint16_t address) {
  BreakpointState& b = Breakpoints();
  for (int32_t i = 0; i <= b.LastBreakIndex && i < kBreakTableSize; ++i) {
    tBreak& bp = b.BreakTable[static_cast<size_t>(i)];
    if (bp.Used && bp.Address == address) return &bp;
  }
  return nullptr;
}

// The breakpoint drawn on a 1-based line of an editor page, or nullptr.
tBreak* BreakpointDrawnAt(int32_t page, int32_t line) {
  BreakpointState& b = Breakpoints();
  for (int32_t i = 0; i <= b.LastBreakIndex && i < kBreakTableSize; ++i) {
    tBreak& bp = b.BreakTable[static_cast<size_t>(i)];
    if (bp.Used && page >= 0 && bp.Line.Page == page && bp.Line.Line == line) return &bp;
  }
  return nullptr;
}

}  // namespace

std::string CodeAddressText(uint16_t address) {
  const std::string digits = FormatHex4(address);
  return (digits[0] > '9' ? "0" : "") + digits + "H";
}

DebugActions::DebugActions(Workbench& bench, QMainWindow& window, DisasWindow& disas, TerminalWindow& terminal,
                           QMenu* menu)
    : QObject(&window), bench_(bench), window_(window), disas_(disas), terminal_(terminal) {
  QStyle* style = window.style();
  // SP_CustomBase: no icon.
  auto make = [&](const char* name, const QString& text, QStyle::StandardPixmap icon,
                  std::initializer_list<QKeySequence> keys, auto handler) {
    auto* action = new QAction(style->standardIcon(icon), text, &window_);
    action->setObjectName(name);
    action->setShortcuts(QList<QKeySequence>(keys));
    // The keys work wherever the focus is in the main window, also while the menus are off.
    window_.addAction(action);
    connect(action, &QAction::triggered, this, handler);
    menu->addAction(action);
    return action;
  };
  Run = make("RunProgram", "&Run", QStyle::SP_MediaPlay, {Qt::Key_F9}, [this] { RunClick(); });
  Halt = make("HaltProgram", "&Halt", QStyle::SP_MediaStop, {Qt::SHIFT | Qt::Key_F5, Qt::Key_Escape},
              [this] { HaltClick(); });
  Step = make("StepInstruction", "&Step", QStyle::SP_ArrowDown, {Qt::Key_F7, Qt::Key_F11},
              [this] { StepClick("STEP"); });
  Trace = make("TraceInstruction", "&Trace (over calls)", QStyle::SP_MediaSkipForward,
               {Qt::Key_F8, Qt::Key_F10}, [this] { StepClick("TRACE"); });
  RunToCursor = make("RunToCursor", "Run to &cursor", QStyle::SP_MediaSeekForward, {Qt::Key_F4},
                     [this] { RunToCursorClick(); });
  ToggleBreakpoint = make("ToggleBreakpoint", "Toggle &breakpoint", QStyle::SP_CustomBase, {Qt::Key_F5},
                          [this] { ToggleBreakpointClick(); });
  ToggleBreakpoint->setIcon(BreakpointIcon());
  ToggleBreakpoint->setIconText("Breakpoint");  // the tool bar's short text; the menu names the address
  menu->addSeparator();
  Reset = make("ProgramReset", "Res&et", QStyle::SP_BrowserReload, {Qt::CTRL | Qt::Key_F2},
               [this] { ResetClick(); });
  SelectTarget1 = make("SelectTarget1", "Select chip &type...", QStyle::SP_CustomBase, {},
                       [this] { SelectTarget1Click(); });
  Halt->setEnabled(false);

  toolBar_ = new QToolBar("Debug", &window);
  toolBar_->setObjectName("DebugToolBar");
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  runHalt_ = new QToolButton(toolBar_);
  runHalt_->setObjectName("tbRunHalt");
  runHalt_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  runHalt_->setDefaultAction(Run);
  toolBar_->addWidget(runHalt_);
  toolBar_->addAction(Step);
  toolBar_->addAction(Trace);
  toolBar_->addAction(RunToCursor);
  toolBar_->addAction(ToggleBreakpoint);
  toolBar_->addSeparator();
  toolBar_->addAction(Reset);
  window.addToolBar(Qt::TopToolBarArea, toolBar_);

  // The disassembly's caret line is the cursor address; a double click toggles its breakpoint.
  QListWidget* rows = disas_.Rows();
  // The rows' caret is the cursor when the user moves it there, not when a
  // stop moves it while an editor page's line is the cursor.
  connect(rows, &QListWidget::currentItemChanged, this, [this, rows] {
    if (!fromSource_ || rows->hasFocus()) UpdateCursorAddress();
  });
  connect(rows, &QListWidget::itemDoubleClicked, this, [this, rows](QListWidgetItem* item) {
    rows->setCurrentItem(item);
    ToggleBreakpointClick();
  });
}

void DebugActions::Issue(const std::string& line) {
  TerminalState& t = dorvik::Terminal();
  KeyAction action;
  std::string typed;
  if (t.Visible) {
    // On a prompt line of its own, without what the user was typing there.
    if (t.PromptLength == 0) ShowCursor();
    typed = EditedLine();
    DoOnKeyDown(kKeyEnd);
    while (t.Caret > t.PromptLength) DoOnKeyDown(kKeyBackspace);
    action = terminal_.EnterLine(line);
  } else {
    // A closed terminal drops the echo; the command runs all the same.
    action = HandToScanner(line);
  }
  if (action != KeyAction::LineEntered) {
    terminal_.Editor()->Render();
    return;
  }
  bench_.ExecuteScannerLine();
  if (t.Visible && !typed.empty() && !t.WaitingForKey) {
    for (char c : typed) DoOnKeyPressed(c);
    terminal_.Editor()->Render();
  }
}

tBreak* DebugActions::DrawnAtCaret() const {
  if (!fromSource_ || !SourceCaret) return nullptr;
  const tShowedLine caret = SourceCaret();
  return BreakpointDrawnAt(caret.Page, caret.Line);
}

void DebugActions::UpdateDebugActions(bool enable, bool partial) {
  const bool atCursor = cursor_ >= 0;
  QString where = atCursor ? " at " + Text(FormatHex4(static_cast<uint16_t>(cursor_))) : QString();
  if (fromSource_) where = " at " + Text(location_);
  if (!atCursor)
    ToggleBreakpoint->setText("Toggle &breakpoint");
  else if (BreakpointAt(static_cast<uint16_t>(cursor_)) != nullptr || DrawnAtCaret() != nullptr)
    ToggleBreakpoint->setText("Clear &breakpoint" + where);
  else
    ToggleBreakpoint->setText("Set &breakpoint" + where);
  ToggleBreakpoint->setToolTip(Text(StripAmpersand(ToggleBreakpoint->text().toStdString())));
  // On a source line without code the action says why nothing is set.
  ToggleBreakpoint->setEnabled(enable && (atCursor || fromSource_));
  if (partial) return;
  for (QAction* action : {Run, Step, Trace, Reset, SelectTarget1}) action->setEnabled(enable);
  RunToCursor->setEnabled(enable && atCursor);
}

void DebugActions::SourceCursorMoved() {
  if (fromSource_) return;
  fromSource_ = true;
  cursor_ = -1;
  location_.clear();
  UpdateDebugActions(Run->isEnabled(), true);
}

void DebugActions::SetSourceCursor(int32_t address, const std::string& location) {
  cursor_ = address;
  fromSource_ = true;
  location_ = location;
  UpdateDebugActions(Run->isEnabled(), true);
  RunToCursor->setEnabled(Run->isEnabled() && cursor_ >= 0);
}

void DebugActions::UpdateCursorAddress() {
  const QListWidgetItem* item = disas_.Rows()->currentItem();
  cursor_ = item != nullptr ? item->data(Qt::UserRole).toInt() : -1;
  fromSource_ = false;
  UpdateDebugActions(Run->isEnabled(), true);
  RunToCursor->setEnabled(Run->isEnabled() && cursor_ >= 0);
}

void DebugActions::Sync() {
  const RunState& run = dorvik::Run();
  const bool running = run.ProgramRunning;
  UpdateDebugActions(!running && !run.TargetBusy && !MainForm().Busy && !Executor().Running, false);
  Halt->setEnabled(running);
  QAction* shown = running ? Halt : Run;
  if (runHalt_->defaultAction() != shown) runHalt_->setDefaultAction(shown);
}

void DebugActions::RunClick() {
  if (!Run->isEnabled()) return;
  Issue("GO");
}

void DebugActions::HaltClick() {
  if (dorvik::Run().Tracing || dorvik::Terminal().WaitingForKey) {
    // The step loop waits for its key: Halt ends it as Esc does.
    DoOnKeyDown(kKeyEsc);
    terminal_.Editor()->Render();
    return;
  }
  if (!dorvik::Run().ProgramRunning) return;
  Issue("HALT");
}

void DebugActions::StepClick(const char* word) {
  if (!Step->isEnabled()) return;
  // The step loop reads Esc after its first step: no key is waited for.
  struct Once {
    bool& Flag;
    bool Saved;
    ~Once() { Flag = Saved; }
  } keep{steppingOnce_, steppingOnce_};
  steppingOnce_ = true;
  Issue(word);
}

void DebugActions::ResetClick() {
  if (!Reset->isEnabled()) return;
  Issue("RESET CPU");
  UpdateCaption(kCaptionReset);
  disas_.SetExecutionLine(-1);
  disas_.LocateAddress(static_cast<uint16_t>(dorvik::Run().CurrentPC));
  bench_.SyncViews();
}

void DebugActions::ToggleBreakpointClick() {
  if (!ToggleBreakpoint->isEnabled()) return;
  RefreshCursor();
  // A breakpoint drawn on the caret line is the one F5 clears there, wherever
  // the listing now puts the line's code.
  tBreak* drawn = DrawnAtCaret();
  if (drawn == nullptr && cursor_ >= 0) drawn = BreakpointAt(static_cast<uint16_t>(cursor_));
  if (drawn != nullptr) {
    // No command clears one entry: the breakpoint list's own way.
    ClearBreakpoint(*drawn);
    bench_.SyncViews();
    RefreshCursor();
    return;
  }
  if (cursor_ < 0) {
    // An editor line of no module, or one without code: nothing is set.
    if (fromSource_)
      ReportWarning(FindModuleNodeByFile(location_.substr(0, location_.rfind(':'))) || location_.starts_with(":")
                        ? warn::kNoSymbolicInformationFoundFor
                        : warn::kNoModuleInformationFoundFor);
    return;
  }
  const uint16_t address = static_cast<uint16_t>(cursor_);
  // A table of two entries (break registers) is set by name; a larger one
  // takes its next free entry (and asks when there is none).
  const BreakpointState& b = Breakpoints();
  std::string word = "BR";
  if (b.LastBreakIndex <= 1) {
    const int32_t slot = SlotForNewBreakpoint();
    if (slot < 0) return;
    word += std::to_string(slot);
  }
  Issue(word + " = " + CodeAddressText(address));
  // Set from a source line: the breakpoint stays on the caret's file and
  // line (an include file's, say), not the line its address maps back to.
  if (fromSource_ && SourceCaret)
    if (tBreak* set = BreakpointAt(address)) {
      KeepSourceLine(*set, SourceCaret().FileName, location_);
      bench_.SyncViews();
    }
  RefreshCursor();
}

void DebugActions::RefreshCursor() {
  if (fromSource_) {
    if (RefreshSourceCursor) RefreshSourceCursor();
  } else
    UpdateCursorAddress();
}

void DebugActions::RunToCursorClick() {
  RefreshCursor();
  if (cursor_ < 0 || !RunToCursor->isEnabled()) return;
  tBreak& cursor = Breakpoints().CursorBreakpoint;
  cursor = tBreak{};
  cursor.Address = static_cast<uint16_t>(cursor_);
  cursor.Used = true;
  cursor.Enabled = true;
  cursor.Location = FormatHex4(cursor.Address);
  Issue("GO");
  // The stop frees it; a GO that did not start leaves none behind either.
  if (!dorvik::Run().ProgramRunning) cursor.Used = false;
}

void DebugActions::SelectTarget1Click() {
  if (!SelectTarget1->isEnabled()) return;
  std::string name;
  {
    TSelCPUDlg dialog(&window_);
    if (dialog.exec() != TSelCPUDlg::kOk) return;
    name = dialog.Chosen();
  }
  if (!name.empty()) Issue("CPU = " + name);
}

}  // namespace dorvik::gui
