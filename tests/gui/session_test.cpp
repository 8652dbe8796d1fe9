// A scripted session in the workbench on the simulator: commands typed into
// the terminal dock, a breakpoint, a GO to it, steps, a GO stopped with Esc;
// the status fields, the caption, the execution line and the terminal text
// checked; and the busy pair restored on every exit path. The debug actions
// (tool bar, Debug menu, keys, the disassembly's caret line) issue the same
// command lines, echoed in the terminal; the chip-type dialog selects and
// compiles processors. The communication set-up dialog and the load dialog
// (the dock areas and the window layout: layout_test.cpp).

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>

#include <stdexcept>

#include "access/transport.h"
#include "access/target.h"
#include "assembler/context.h"
#include "assembler/driver.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/runstate.h"
#include "debugger/breakpoints.h"
#include "debugger/commsettings.h"
#include "debugger/executor.h"
#include "gui/dialogs/commdialog.h"
#include "gui/dialogs/cpudialog.h"
#include "gui/debug/debugactions.h"
#include "gui/dialogs/loaddialog.h"
#include "gui/dialogs/lineasmdialog.h"
#include "gui/dialogs/qtdialogs.h"
#include "gui/dialogs/validators.h"
#include "gui/main/mainwindow.h"
#include "gui/debug/memoryview.h"
#include "gui/projects/projectactions.h"
#include "lang/scanner.h"
#include "loader/loader.h"
#include "machine/images.h"
#include "platform/ini.h"
#include "project/projectfile.h"
#include "workspace/openproject.h"
#include "tests/support/fake_targets.h"
#include "tests/support/gui_fixture.h"
#include "tests/support/scripted_chooser.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

class SessionTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(StartEngine(&boxes_));
    QVERIFY(ShowMainWindow(main_));
    edit_ = main_->Terminal()->Editor();
    dlg_ = main_->LoadDialog();
    platform::SetDialogUi(&dialogs_);  // the stack question is cancelled
    QVERIFY(dir_.isValid());
  }
  void cleanup() {
    main_.reset();
    StopEngine();
  }

  void breakpointGoAndStep() {
    QCOMPARE(Field("SP"), QString("SP 07"));  // values from the start
    Type("cbyte 0 = 74,05,04,80,FD");
    Type("br = 3");
    QCOMPARE(main_->Disassembly()->Rows()->item(main_->Disassembly()->RowOf(3))->data(Qt::UserRole + 1).toInt(), 1);
    Type("go");
    QVERIFY(Text().contains("EXECUTION HALTED AT 0003"));
    QCOMPARE(main_->windowTitle(), QString("Dorvik51 - Halted"));
    QCOMPARE(Field("PC"), QString("PC 0003"));
    QCOMPARE(Field("ACC"), QString("ACC 06"));
    QCOMPARE(main_->Disassembly()->ExecutionLine(), 3);

    // STEP steps again at every key and ends at Esc: one key Enter, then Esc.
    WhenWaitingForKeys(edit_, {Qt::Key_Return, Qt::Key_Escape});
    Type("step");
    QVERIFY(Text().contains("0003H SJMP"));
    QVERIFY(Text().contains("0002H INC"));
    QCOMPARE(Field("PC"), QString("PC 0003"));
    QCOMPARE(Field("ACC"), QString("ACC 07"));
    QCOMPARE(main_->Disassembly()->ExecutionLine(), 3);
    QVERIFY(Text().endsWith("hlt>"));
    QVERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());

    // The disassembly finds an address outside its rows.
    DisasWindow* disas = main_->Disassembly();
    disas->LocateAddress(0x1234);
    QCOMPARE(disas->Rows()->currentItem()->data(Qt::UserRole).toInt(), 0x1234);
    disas->LocateAddress(2);
    QVERIFY(disas->Rows()->currentItem()->text().contains("INC"));

    // Reset: the caption says so and the execution line goes.
    main_->ProgramReset();
    QCOMPARE(main_->windowTitle(), QString("Dorvik51 - Reset"));
    QCOMPARE(disas->ExecutionLine(), -1);
    QCOMPARE(Field("PC"), QString("PC 0000"));
  }

  void goStoppedByEsc() {
    Type("cbyte 10 = 80,FE");
    QTimer::singleShot(100, edit_, [this] {
      QCOMPARE(main_->windowTitle(), QString("Dorvik51 - Running"));
      QVERIFY(main_->BusyShown());
      QVERIFY(main_->Terminal()->isEnabled());  // the keys still reach the terminal
      QTest::keyClick(edit_, Qt::Key_Escape);
    });
    Type("go from 10");
    QCOMPARE(main_->windowTitle(), QString("Dorvik51 - Halted"));
    QCOMPARE(Field("PC"), QString("PC 0010"));
    QVERIFY(Text().endsWith("hlt>"));
    QVERIFY(!main_->BusyShown());
    QVERIFY(!main_->WaitForm()->isVisible());
  }

  // A board (the fake ADuC): a run's end ends the busy state, whichever way
  // it ends; a dead line is one message per command; code writes are seen.
  void boardRunsAndDeadLine() {
    FakeTarget fake(FakeTarget::Kind::Aduc);
    QVERIFY(fake.Started());
    dorvik::Run().TargetKind = kTargetAduc;
    Breakpoints().LastBreakIndex = 7;
    QVERIFY(OpenLink(fake.Device(), 19200));
    fake.Poke(kSpaceCode, 0, {0x74, 0x05, 0x04, 0x80, 0xFD});
    fake.Poke(kSpaceIData, 1, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77});
    fake.Poke(kSpaceDirect, sfr::B, {0x5B});
    Type("br = 3");
    Type("go from 0");
    QTRY_VERIFY_WITH_TIMEOUT(!dorvik::Run().ProgramRunning, 3000);
    QTRY_VERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());
    // The status fields: what the chip reported at its stop, and the rest asked of it.
    QCOMPARE(Field("PC"), QString("PC 0003"));
    QCOMPARE(Field("ACC"), QString("ACC 06"));
    QCOMPARE(Field("SP"), QString("SP 07"));
    QCOMPARE(Field("R1"), QString("R1 11"));
    QCOMPARE(Field("R7"), QString("R7 77"));
    QCOMPARE(Field("B"), QString("B 5B"));
    Type("disable br");
    Type("go from 2");
    QVERIFY(dorvik::Run().ProgramRunning);
    QVERIFY(main_->BusyShown());
    Type("halt");
    QTRY_VERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());
    QCOMPARE(MainForm().BusyCount, 0);
    // A code write: the disassembly decodes the line again.
    Type("cbyte 2 = 0");
    QTRY_VERIFY(main_->Disassembly()->Rows()->item(main_->Disassembly()->RowOf(2))->text().contains("NOP"));
    // The line goes dead while the program runs: the run and the busy state end.
    Type("go from 2");
    QVERIFY(main_->BusyShown());
    fake.Hangup();
    QTRY_VERIFY_WITH_TIMEOUT(!dorvik::Run().ProgramRunning, 3000);
    QTRY_VERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());
    // On the dead line each command is one message.
    for (const char* line : {"xbyte 0", "cbyte 0 to 3", "go from 0"}) {
      boxes_.Clear();
      Type(line);
      QCOMPARE(int(boxes_.Shown().size()), 1);
      QVERIFY(!main_->BusyShown());
    }
    CloseLink();

    // The monitor: the halt report and the board's own stop ("NO BREAK") end the busy state too.
    FakeTarget monitor(FakeTarget::Kind::Monitor);
    QVERIFY(monitor.Started());
    dorvik::Run().TargetKind = kTargetMonitor;
    Breakpoints().LastBreakIndex = 1;
    QVERIFY(OpenLink(monitor.Device(), 19200));
    monitor.Poke(kSpaceCode, 0, {0x74, 0x05, 0x04, 0x80, 0xFD, 0x00, 0x00, 0x00, 0x80, 0xFE});
    monitor.Poke(kSpaceIData, 1, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77});
    monitor.Poke(kSpaceDirect, sfr::DPL, {0x34, 0x12});
    monitor.Poke(kSpaceDirect, sfr::B, {0x5B});
    Type("go from 0 till 3");
    QTRY_VERIFY_WITH_TIMEOUT(!dorvik::Run().ProgramRunning, 3000);
    QTRY_VERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());
    // Every field after the stop: the monitor's register list.
    QCOMPARE(Field("PC"), QString("PC 0003"));
    QCOMPARE(Field("ACC"), QString("ACC 06"));
    QCOMPARE(Field("R3"), QString("R3 33"));
    QCOMPARE(Field("B"), QString("B 5B"));
    QCOMPARE(Field("DPTR"), QString("DPTR 1234"));
    QCOMPARE(Field("SP"), QString("SP 07"));
    boxes_.Clear();
    // A step follows as well.
    monitor.Poke(kSpaceIData, 3, {0x99});
    main_->Actions()->StepClick("STEP");
    QTRY_COMPARE(Field("R3"), QString("R3 99"));
    QCOMPARE(Field("ACC"), QString("ACC 06"));
    QVERIFY(boxes_.Shown().empty());
    Type("go from 8 forever");
    QVERIFY(main_->BusyShown());
    monitor.StopByItself();
    QTRY_VERIFY_WITH_TIMEOUT(!dorvik::Run().ProgramRunning, 3000);
    QTRY_VERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());
    QCOMPARE(MainForm().BusyCount, 0);
    CloseLink();
  }

  // On either board: a stop report that arrives garbled ends the run with one
  // message and every field shows the board's registers; a Halt (Esc) on the
  // monitor is followed by the register list; a refused start leaves the code.
  void boardGarbledStopAndHaltFillTheFields() {
    for (const bool monitor : {true, false}) {
      FakeTarget fake(monitor ? FakeTarget::Kind::Monitor : FakeTarget::Kind::Aduc);
      QVERIFY(OnBoard(fake, monitor));
      // MOV SP,#5FH; MOV DPTR,#004EH; MOV R7,#0FH; SJMP $
      const std::vector<uint8_t> code{0x75, 0x81, 0x5F, 0x90, 0x00, 0x4E, 0x7F, 0x0F, 0x80, 0xFE};
      fake.Poke(kSpaceCode, 0x40, code);
      fake.SetFault(Fault::GarbledStop);
      boxes_.Clear();
      Type("go from 40 till 48");
      QTRY_VERIFY_WITH_TIMEOUT(!dorvik::Run().ProgramRunning, 3000);
      QTRY_VERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());
      QCOMPARE(int(boxes_.Shown().size()), 1);
      QCOMPARE(QString::fromStdString(boxes_.Shown().front().Caption), QString("Error #105"));
      QCOMPARE(Field("SP"), QString("SP 5F"));
      QCOMPARE(Field("DPTR"), QString("DPTR 004E"));
      QCOMPARE(Field("R7"), QString("R7 0F"));
      QVERIFY(Text().endsWith("hlt>"));
      QTRY_VERIFY(main_->Actions()->Run->isEnabled());
      QCOMPARE(fake.Memory(kSpaceCode, 0x40, 10), code);
      // A run the user halts: the fields follow the program.
      fake.Poke(kSpaceCode, 0x41, {0x81, 0x3C, 0x90, 0x12, 0x34, 0x7F, 0x1E});
      Type("disable br");
      QTimer::singleShot(200, edit_, [this] { QTest::keyClick(edit_, Qt::Key_Escape); });
      Type("go from 40");
      QTRY_VERIFY_WITH_TIMEOUT(!dorvik::Run().ProgramRunning, 3000);
      QTRY_VERIFY(!main_->BusyShown());
      QCOMPARE(Field("SP"), QString("SP 3C"));
      QCOMPARE(Field("DPTR"), QString("DPTR 1234"));
      QCOMPARE(Field("R7"), QString("R7 1E"));
      if (monitor) QCOMPARE(Field("PC"), QString("PC 0048"));
      QTRY_VERIFY(main_->Actions()->Run->isEnabled());
      // A start the board refuses: one message, the code as it was.
      Type("enable br");
      fake.SetFault(Fault::StartRefused);
      boxes_.Clear();
      Type("go from 40");
      QCOMPARE(int(boxes_.Shown().size()), 1);
      QVERIFY(!dorvik::Run().ProgramRunning);
      QCOMPARE(fake.Memory(kSpaceCode, 0x48, 2), (std::vector<uint8_t>{0x80, 0xFE}));
      CloseLink();
    }
    dorvik::Run().TargetKind = kTargetSimulator;
  }

  // The real workbench with a project naming a board and its [COM] port opens the line at start.
  void projectBoardLineOpenedAtStart() {
    FakeTarget fake(FakeTarget::Kind::Aduc);
    QVERIFY(fake.Started());
    QTemporaryDir dir;
    const QString project = dir.filePath("BOARD.QPC");
    WriteFile(project.toStdString(), "Target=ADUC\n[COM]\nPort=" + fake.Device() + "\nBaud=19200\n");
    QProcess gui;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    gui.setProcessEnvironment(env);
    gui.start(QString(DORVIK_BIN_DIR) + "/dorvik51-gui", {project});
    QVERIFY(gui.waitForStarted());
    const QString fds = QString("/proc/%1/fd").arg(gui.processId());
    auto opened = [&] {
      for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::System | QDir::Files))
        if (fd.symLinkTarget() == QString::fromStdString(fake.Device())) return true;
      return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(opened(), 10000);
    gui.kill();
    gui.waitForFinished();
  }

  // A memory view on a board reads its range in the board's biggest blocks:
  // 16 bytes a command from the monitor, the ADuC's internal-data dump once.
  void boardViewsReadInTheBoardsBlocks() {
    for (const bool monitor : {true, false}) {
      FakeTarget fake(monitor ? FakeTarget::Kind::Monitor : FakeTarget::Kind::Aduc);
      QVERIFY(fake.Started());
      dorvik::Run().TargetKind = monitor ? kTargetMonitor : kTargetAduc;
      Breakpoints().LastBreakIndex = monitor ? 1 : 7;
      QVERIFY(OpenLink(fake.Device(), 19200));
      fake.Poke(kSpaceIData, 0x7F, {0xA7});
      main_->OpenMemoryView(0, 0, 0x80, 0, 0, 3);  // IDATA 0, 128 bytes
      tMemoryView* view = main_->MemoryView(0);
      fake.ClearReceived();
      view->ReadFromTarget();
      const std::string wire = fake.Received();
      QCOMPARE(view->Table()->item(7, 16)->text(), QString("A7"));
      QCOMPARE(view->Status()->text(), QString());
      const auto count = [&wire](const std::string& what) {
        size_t n = 0;
        for (size_t at = wire.find(what); at != std::string::npos; at = wire.find(what, at + 1)) ++n;
        return n;
      };
      if (monitor) {
        QCOMPARE(count("DBYT "), size_t{8});
        QCOMPARE(count("DBYT 70 TO 7F\r"), size_t{1});
      } else {
        QCOMPARE(count(std::string("R\x00\xAE", 3)), size_t{1});  // the dump, once
        QVERIFY2(wire.size() <= 3, wire.c_str());
      }
      main_->MemoryView(0)->close();
      CloseLink();
    }
    dorvik::Run().TargetKind = kTargetSimulator;
  }

  // Started with a project on a board that loads its program at start and
  // has a memory view stored: no view reads before the line is up and the
  // load has ended, no box, no "??"; the workbench's load takes the console's
  // road, again and again.
  void boardStartLoadsWithoutViewFailures() {
    for (const bool monitor : {true, false}) {
      FakeTarget fake(monitor ? FakeTarget::Kind::Monitor : FakeTarget::Kind::Aduc);
      QVERIFY(fake.Started());
      fake.Poke(kSpaceIData, 0x10, {0x12, 0x34});
      main_.reset();
      // 8 KB of code (NOPs after an LJMP 0003): a transfer that takes its time.
      std::string records = ":03000000020003F8\r\n";
      for (int at = 0x10; at < 0x2000; at += 16) {
        const int sum = 16 + (at >> 8) + (at & 0xFF);
        records += ":10" + QString::asprintf("%04X", at).toStdString() + "00" + std::string(32, '0') +
                   QString::asprintf("%02X", (0x100 - sum) & 0xFF).toStdString() + "\r\n";
      }
      const std::string hex = Write("p.hex", records + ":00000001FF\r\n");
      const std::string project = Write("BOARD.QPC", std::string("Target=") + (monitor ? "OVIX52" : "ADUC") +
                                                          "\n[COM]\nPort=" + fake.Device() +
                                                          "\nBaud=19200\n[LOADER]\nLoadAutomaticallyOnStart=Yes\n"
                                                          "LastLoadPath=" + hex +
                                                          "\n[DORVIK]\nMemoryView1=1,0,32,0,0,3,10,20,300,200,B\n");
      boxes_.Clear();
      // As the workbench starts: the project, the window with its layout, the line, the load.
      QVERIFY(OpenProject(project));
      main_ = std::make_unique<MainWindow>();
      main_->Projects()->UseProjectFile(project);
      main_->show();
      QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
      tMemoryView* view = main_->MemoryView(0);
      QVERIFY(view->isVisible());
      // Nothing read while the line is down: no message, no "??".
      QCOMPARE(view->ReadCount, 0);
      QCOMPARE(view->Status()->text(), QString());
      CommSettings settings;
      settings.TargetKind = dorvik::Run().TargetKind;
      settings.Port = Project().ComPort;
      settings.BaudRate = Project().BaudRate;
      main_->Guarded([&settings] { ApplyCommSettings(settings); });
      // The board announces itself a moment after its line opened (it
      // restarts as the line comes up): the load waits for that first.
      std::thread restart([&fake, monitor] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        fake.SendUnsolicited(monitor ? "\r\nOVIX-52 V4.0 USER 0000\r\n-" : "ADI 841\r\n");
      });
      struct Join {
        std::thread& T;
        ~Join() { T.join(); }
      } join{restart};
      for (int load = 0; load < 3; ++load) {
        QVERIFY(main_->LoadProgram(Project().Loader.LastLoadPath, true));
        QTest::qWait(20);
        // The load's own news only (its end, a program without symbols): no failure.
        for (const auto& box : boxes_.Shown())
          QVERIFY2(box.Caption == "Information" || box.Caption == "Warning #2",
                   qPrintable(QString::fromStdString(box.Caption + ": " + box.Text)));
      }
      QCOMPARE(fake.Memory(kSpaceCode, 0, 3), (std::vector<uint8_t>{0x02, 0x00, 0x03}));
      QTRY_VERIFY(view->ReadCount > 0);
      QCOMPARE(view->Status()->text(), QString());
      QCOMPARE(view->Table()->item(1, 1)->text(), QString("12"));
      for (int r = 0; r < view->Table()->rowCount(); ++r)
        for (int c = 1; c <= 16; ++c) QVERIFY(view->Table()->item(r, c)->text() != "??");
      main_.reset();
      CloseLink();
    }
    dorvik::Run().TargetKind = kTargetSimulator;
    QVERIFY(ShowMainWindow(main_));
    edit_ = main_->Terminal()->Editor();
  }

  void keysThatWouldDestroyThePrompt() {
    QTest::keyClick(edit_, Qt::Key_Backspace);
    QTest::keyClick(edit_, Qt::Key_Left);
    QTest::keyClicks(edit_, "r");
    QTest::keyClick(edit_, Qt::Key_Home);
    QTest::keyClick(edit_, Qt::Key_Backspace);
    QVERIFY(Text().endsWith("hlt>r"));
    QCOMPARE(edit_->textCursor().positionInBlock(), 4);
  }

  void busyPairRestoredOnEveryExit() {
    // A failure inside a busy section: the busy view ends and the error is reported.
    const bool ok = main_->Guarded([this] {
      BeginBusy();
      BeginBusy();
      main_->SyncViews();
      QVERIFY(main_->BusyShown());
      QVERIFY(!main_->menuBar()->isEnabled());
      throw std::runtime_error("lost link");
    });
    QVERIFY(!ok);
    QCOMPARE(MainForm().BusyCount, 0);
    QVERIFY(!main_->BusyShown());
    QVERIFY(main_->menuBar()->isEnabled() && main_->Disassembly()->isEnabled());
    QCOMPARE(boxes_.Shown().back().Caption, std::string("Error #143"));

    // The wait form comes after a while of being busy and goes with it.
    BeginBusy();
    main_->SyncViews();
    QTRY_VERIFY(main_->WaitForm()->isVisible());
    QCOMPARE(main_->StatusField("stPC")->parentWidget()->styleSheet().contains("red"), true);
    EndBusy();
    main_->SyncViews();
    QVERIFY(!main_->WaitForm()->isVisible());
    QVERIFY(main_->StatusField("stPC")->parentWidget()->styleSheet().isEmpty());
  }

  void debugActionsIssueTheirCommandLines() {
    // MOV A,#5; LCALL 0010; INC A; SJMP $ and at 0010: INC A; RET.
    Type("cbyte 0 = 74,05,12,00,10,04,80,FE");
    Type("cbyte 10 = 04,22");
    DebugActions* a = main_->Actions();
    QTest::keyClicks(edit_, "r");  // a half-typed line comes back after the action
    a->Step->trigger();
    QVERIFY(Text().contains("hlt>STEP\n0000H MOV     A,#05----->0002H LCALL"));
    QVERIFY(Text().endsWith("hlt>r"));
    QCOMPARE(Field("PC"), QString("PC 0002"));
    QTest::keyClick(edit_, Qt::Key_Backspace);
    a->Trace->trigger();
    QVERIFY(Text().contains("hlt>TRACE\n0002H LCALL"));
    QCOMPARE(Field("PC"), QString("PC 0005"));
    QCOMPARE(Field("ACC"), QString("ACC 06"));

    // F5 on the caret line sets a breakpoint there; F9 runs to it.
    DisasWindow* disas = main_->Disassembly();
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    disas->Rows()->setCurrentRow(disas->RowOf(6));
    QCOMPARE(a->CursorAddress(), 6);
    QCOMPARE(a->ToggleBreakpoint->text(), QString("Set &breakpoint at 0006"));
    QTest::keyClick(disas->Rows(), Qt::Key_F5);
    QVERIFY(Text().contains("hlt>BR = 0006H\nhlt>"));
    QCOMPARE(Dot(6), 1);
    QCOMPARE(a->ToggleBreakpoint->text(), QString("Clear &breakpoint at 0006"));
    QTest::keyClick(disas->Rows(), Qt::Key_F9);
    QVERIFY(Text().contains("hlt>GO\nEXECUTION HALTED AT 0006"));
    QCOMPARE(Field("ACC"), QString("ACC 07"));
    QCOMPARE(disas->ExecutionLine(), 6);

    a->Reset->trigger();
    QVERIFY(Text().endsWith("hlt>RESET CPU\nhlt>"));
    QCOMPARE(main_->windowTitle(), QString("Dorvik51 - Reset"));
    QCOMPARE(Field("PC"), QString("PC 0000"));
    QCOMPARE(disas->ExecutionLine(), -1);

    // A two-entry table (a board's break registers) is set by the entry's name.
    Breakpoints().LastBreakIndex = 1;
    disas->Rows()->setCurrentRow(disas->RowOf(2));
    a->ToggleBreakpoint->trigger();
    QVERIFY(Text().contains("hlt>BR1 = 0002H"));
    boxes_.QueueAnswer(platform::kBoxNo);  // both taken: warning 26, No sets nothing
    disas->Rows()->setCurrentRow(disas->RowOf(5));
    a->ToggleBreakpoint->trigger();
    QCOMPARE(boxes_.Shown().back().Caption, std::string("Warning #26"));
    QVERIFY(!Text().contains("= 0005H"));
  }

  void runHaltButtonFollowsTheRun() {
    DebugActions* a = main_->Actions();
    QToolButton* button = a->RunHaltButton();
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    QCOMPARE(button->defaultAction(), a->Run);
    QVERIFY(a->Run->isEnabled() && !a->Halt->isEnabled());
    Type("cbyte 0 = 80,FE");  // SJMP $

    // GO from the button: Halt while it runs, every other action off; Esc halts.
    bool checked = false;
    QTimer::singleShot(100, edit_, [&] {
      QCOMPARE(button->defaultAction(), a->Halt);
      QVERIFY(a->Halt->isEnabled());
      for (QAction* off : {a->Run, a->Step, a->Trace, a->Reset, a->ToggleBreakpoint, a->RunToCursor, a->SelectTarget1})
        QVERIFY(!off->isEnabled());
      checked = true;
      QTest::keyClick(edit_, Qt::Key_Escape);
    });
    button->click();
    QVERIFY(checked);
    QVERIFY(Text().contains("hlt>GO\nrun>HALT\nEXECUTION HALTED AT 0000"));
    QCOMPARE(button->defaultAction(), a->Run);
    QVERIFY(a->Run->isEnabled() && !a->Halt->isEnabled());

    // HALT typed in the terminal, and the button pressed while it shows Halt.
    QTimer::singleShot(100, edit_, [&] { Type("halt"); });
    Type("go");
    QCOMPARE(button->defaultAction(), a->Run);
    QTimer::singleShot(100, button, [&] { button->click(); });
    button->click();
    QVERIFY(Text().endsWith("hlt>GO\nrun>HALT\nEXECUTION HALTED AT 0000\nhlt>"));
    QCOMPARE(button->defaultAction(), a->Run);

    // A breakpoint stop.
    Type("cbyte 0 = 74,05,04,80,FD");
    Type("br = 3");
    button->click();
    QVERIFY(Text().endsWith("EXECUTION HALTED AT 0003\nhlt>"));
    QCOMPARE(button->defaultAction(), a->Run);

    // Busy: the run and breakpoint actions are off, and so is Halt.
    BeginBusy();
    main_->SyncViews();
    for (QAction* off : {a->Run, a->Halt, a->Step, a->Trace, a->Reset, a->ToggleBreakpoint, a->RunToCursor})
      QVERIFY(!off->isEnabled());
    EndBusy();
    main_->SyncViews();
    QVERIFY(a->Run->isEnabled() && a->Step->isEnabled());
  }

  void breakpointByDoubleClickAndRunToCursor() {
    Type("cbyte 0 = 74,05,04,04,04,80,FE");  // MOV A,#5; INC A (three times); SJMP $
    DebugActions* a = main_->Actions();
    QListWidget* rows = main_->Disassembly()->Rows();
    auto doubleClick = [&](uint16_t address) {
      const QPoint at = rows->visualItemRect(rows->item(main_->Disassembly()->RowOf(address))).center();
      QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseRelease(rows->viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(3);
    QVERIFY(Text().contains("hlt>BR = 0003H"));
    QCOMPARE(Dot(3), 1);
    QCOMPARE(a->CursorAddress(), 3);
    Type("br");
    QVERIFY(Text().contains("BREAK 0=0003"));
    doubleClick(3);
    QCOMPARE(Dot(3), 0);
    QVERIFY(!Breakpoints().BreakTable[0].Used);

    // Run to cursor stops at the caret line and leaves no breakpoint behind.
    rows->setCurrentRow(main_->Disassembly()->RowOf(4));
    a->RunToCursor->trigger();
    QVERIFY(Text().contains("hlt>GO\nEXECUTION HALTED AT 0004"));
    QCOMPARE(Field("ACC"), QString("ACC 07"));
    QVERIFY(!Breakpoints().CursorBreakpoint.Used);
    QCOMPARE(TargetReadByte(kSpaceCode, 4), 0x04);
    QCOMPARE(Dot(4), 0);
    Type("br");
    QVERIFY(Text().endsWith("BREAK 0=RESET \nhlt>"));
    QCOMPARE(a->CursorAddress(), 4);  // the caret line stays through the refills
  }

  void boardTakesTheSameCommandLines() {
    FakeTarget fake(FakeTarget::Kind::Monitor);
    QVERIFY(fake.Started());
    dorvik::Run().TargetKind = kTargetMonitor;
    Breakpoints().LastBreakIndex = 1;
    QVERIFY(OpenLink(fake.Device(), 19200));
    fake.Poke(kSpaceCode, 0, {0x80, 0xFE});  // SJMP $
    fake.ClearReceived();
    DebugActions* a = main_->Actions();
    // The GO returns with the program running on the board: the button shows Halt.
    a->Run->trigger();
    QVERIFY(Text().contains("hlt>GO\nEXECUTION BEGUN\nrun>"));
    // Nothing is read from the running board (the disassembly waits for the halt).
    QVERIFY(fake.Received().ends_with("GO FROM 0000 FOREVER\r"));
    QCOMPARE(a->RunHaltButton()->defaultAction(), a->Halt);
    QVERIFY(a->Halt->isEnabled() && !a->Run->isEnabled() && !a->Step->isEnabled());
    a->RunHaltButton()->click();
    QVERIFY(Text().contains("run>HALT\n"));
    QVERIFY(fake.Received().find("U\x1b") != std::string::npos);
    QVERIFY(!dorvik::Run().ProgramRunning);
    QCOMPARE(a->RunHaltButton()->defaultAction(), a->Run);
    // The halt ended the busy state the GO held: the run actions are back.
    QVERIFY(a->Run->isEnabled() && a->Step->isEnabled() && !a->Halt->isEnabled());
    CloseLink();
  }

  void chipTypeDialogSelectsAndCompiles() {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const std::filesystem::path database = folder / "dorvik51.qpf";
    std::filesystem::copy_file(std::string(DORVIK_BIN_DIR) + "/dorvik51.qpf", database);
    QVERIFY(ReadCpuDatabase(database.string()) && LoadCpuDescription());
    MainForm().HistoryFileName = (folder / "dorvik51.HST").string();
    WriteFile(folder / "bad.def", "sfr P0 = 80H;\nsfr = ;\n");
    WriteFile(folder / "my.def", "/* a test chip */\nsfr P0 = 80H;\nsfr MYREG = 0C1H;\n");
    platform::ScriptedDialogs dialogs;
    platform::SetDialogUi(&dialogs);
    DebugActions* a = main_->Actions();

    WhenModal("SelCPUDlg", [](QWidget* w) {
      auto* d = static_cast<TSelCPUDlg*>(w);
      QCOMPARE(d->windowTitle(), QString("Select chip type"));
      QCOMPARE(d->Chosen(), std::string("51"));
      d->CpuList->setCurrentItem(d->CpuList->findItems("52", Qt::MatchExactly).value(0));
      d->btnOK->click();
    });
    a->SelectTarget1->trigger();
    QVERIFY(Text().contains("hlt>CPU = 52\nhlt>"));
    QCOMPARE(CpuDb().CpuName, std::string("52"));

    // Other...: a bad definition is refused with its line; a good one is listed, selected and kept.
    dialogs.PairReplies = {{platform::DialogAction::Ok, "BAD", (folder / "bad.def").string(), true},
                           {platform::DialogAction::Ok, "MINE", (folder / "my.def").string(), true}};
    const std::string before = ReadFile(database);
    WhenModal("SelCPUDlg", [&](QWidget* w) {
      auto* d = static_cast<TSelCPUDlg*>(w);
      d->btnOther->click();
      QCOMPARE(boxes_.Shown().back().Text, "Line 2 in macro file " + (folder / "bad.def").string() + " bad");
      QCOMPARE(ReadFile(database), before);
      QCOMPARE(d->Chosen(), std::string("52"));
      d->btnOther->click();
      QCOMPARE(d->Chosen(), std::string("MINE"));
      d->btnOK->click();
    });
    a->SelectTarget1->trigger();
    QCOMPARE(dialogs.PairsShown.at(0).Caption, std::string("New CPU Type"));
    QVERIFY(dialogs.PairsShown.at(0).BrowseVisible);
    QVERIFY(Text().contains("hlt>CPU = MINE\nhlt>"));
    QCOMPARE(CpuDb().CpuName, std::string("MINE"));
    QCOMPARE(FindCpuEntryByName("MYREG").value().Value, 0xC1);
    QVERIFY(ReadFile(database).find("MINE") != std::string::npos);
  }

  // The communication set-up dialog applies the target or changes nothing.
  void cancelChangesNothingOkApplies() {
    WhenModal("CommPortSelect", [](QWidget* w) {
      auto* dialog = static_cast<TCommPortSelect*>(w);
      dialog->comboTarget->setCurrentIndex(0);
      QCOMPARE(dialog->Chosen().TargetKind, kTargetMonitor);
      QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
    });
    main_->tbSetComClick();
    QCOMPARE(dorvik::Run().TargetKind, kTargetSimulator);
    QCOMPARE(Breakpoints().LastBreakIndex, 7);

    // OK with the monitor and no port: the target and its two breakpoints, no line.
    WhenModal("CommPortSelect", [](QWidget* w) {
      auto* dialog = static_cast<TCommPortSelect*>(w);
      dialog->comboTarget->setCurrentIndex(0);
      dialog->comboBaud->setCurrentText("9600");
      QTest::mouseClick(dialog->btnOK, Qt::LeftButton);
    });
    main_->tbSetComClick();
    QCOMPARE(dorvik::Run().TargetKind, kTargetMonitor);
    QCOMPARE(Breakpoints().LastBreakIndex, 1);
    QCOMPARE(Comm().Applied.BaudRate, 9600);

    // A device that is not there: error 100 with the system's text.
    boxes_.Clear();
    WhenModal("CommPortSelect", [](QWidget* w) {
      auto* dialog = static_cast<TCommPortSelect*>(w);
      dialog->comboPort->setEditText("/dev/dorvik-no-such-port");
      QTest::mouseClick(dialog->btnOK, Qt::LeftButton);
    });
    main_->tbSetComClick();
    QVERIFY(!boxes_.Shown().empty());
    QCOMPARE(QString::fromStdString(boxes_.Shown().front().Caption), QString("Error #100"));
    QVERIFY(QString::fromStdString(boxes_.Shown().front().Text).contains("No such file or directory"));
  }

  // The load dialog: its boxes are the loader's options, its results, the HEX
  // save, and a session that loads the example from it and debugs it.
  void optionsAreTheCheckBoxesAndTheProjectKeys() {
    LoaderOptions& o = Project().Loader;
    o.LoadLines = false;
    o.LoadAppend = true;
    o.ClearCodeFlash = true;
    Target().CpuFamily = kFamilyOther;
    WhenModal("LoadDlg", [this](QWidget*) {
      QVERIFY(dlg_->cbNoLines->isChecked() && !dlg_->cbNoCode->isChecked() && dlg_->cbAppend->isChecked());
      QVERIFY(dlg_->cbClearCodeFlashBeforeLoad->isVisible() && !dlg_->cbClearDataFlash->isVisible());
      QCOMPARE(dlg_->cbClearCodeFlashBeforeLoad->text(), QString("Clear CODE FLASH"));
      // The boxes as the user leaves them are what the load takes.
      dlg_->cbNoLines->setChecked(false);
      dlg_->cbNoSymbols->setChecked(true);
      dlg_->cbAppend->setChecked(false);
      dlg_->cbXDATALoad->setChecked(true);
      QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton);
    });
    main_->LoadProgram(Write("x.hex", ":00000001FF\r\n"));
    QVERIFY(o.LoadLines && !o.LoadSymbols && !o.LoadAppend && o.LoadXData && o.ClearCodeFlash);
    // An ADuC-type processor shows the data flash box instead.
    Target().CpuFamily = kFamilyAduc;
    WhenModal("LoadDlg", [this](QWidget*) {
      QVERIFY(dlg_->cbClearDataFlash->isVisible() && !dlg_->cbClearCodeFlashBeforeLoad->isVisible());
      QCOMPARE(dlg_->cbClearDataFlash->text(), QString("Clear Data FLASH before load"));
      QTest::mouseClick(dlg_->BtnCancel, Qt::LeftButton);
    });
    QVERIFY(!main_->LoadProgram(Write("x.hex", ":00000001FF\r\n")));
  }

  // A load from the dialog writes the options and the program into the project.
  void aLoadWritesTheProjectsLoaderSection() {
    const std::string project = Write("p.qpc", "[DORVIK]\r\nx=1\r\n");
    Project().ProjectFileName = project;
    Project().Loader.LoadSymbols = true;
    WhenModal("LoadDlg", [this](QWidget*) {
      dlg_->cbNoSymbols->setChecked(true);
      QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton);
    });
    QVERIFY(main_->LoadProgram(Write("p.hex", ":03010000020100F9\r\n:00000001FF\r\n")));
    const QString text = QString::fromStdString(ReadFile(project));
    QVERIFY2(text.contains("\nSymbols=No\n") && text.contains("\nLastLoadPath=p.hex\n") && text.contains("x=1"),
             qPrintable(text));
  }

  void resultsOfALoad() {
    // Nothing selected: warning 35, and nothing loaded.
    LoaderOptions& o = Project().Loader;
    o.LoadCode = o.LoadLines = o.LoadSymbols = false;
    WhenModal("LoadDlg", [this](QWidget*) { QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton); });
    main_->LoadProgram(Write("x.hex", ":00000001FF\r\n"));
    QVERIFY(!Loader().ProjectLoaded);
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Caption), QString("Warning #35"));

    // Escape while the records load: the load ends (error 120), result 2, the code untouched.
    o = LoaderOptions{};
    std::string hex;
    for (int i = 0; i < 64; ++i) hex += ":0100" + QString::asprintf("%02X", i).toStdString() + "0055" +
                                        QString::asprintf("%02X", (0x100 - 1 - i - 0x55) & 0xFF).toStdString() + "\r\n";
    Images().CodeImage[5] = 0x11;
    WhenModal("LoadDlg", [this](QWidget*) {
      QTimer::singleShot(0, dlg_, [this] { QTest::keyClick(dlg_, Qt::Key_Escape); });
      QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton);
    });
    QVERIFY(!main_->LoadProgram(Write("long.hex", hex + ":00000001FF\r\n")));
    QCOMPARE(Images().CodeImage[5], uint8_t{0x11});
    QVERIFY(dlg_->BtnLoad->isEnabled() && dlg_->grpLoadParams->isEnabled());
    QCOMPARE(MainForm().BusyCount, 0);
  }

  void saveHexWritesTheLoadedRange() {
    WhenModal("LoadDlg", [this](QWidget*) { QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton); });
    QVERIFY(main_->LoadProgram(Write("p.hex", ":03010000020100F9\r\n:00000001FF\r\n")));
    const std::string saved = (dir_.path() + "/saved.hex").toStdString();
    ScriptedChooser chooser;
    chooser.Files = {saved};
    // The range dialog offers the loaded program's range.
    WhenModal("RangeDlg", [](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>("btnOK"), Qt::LeftButton); });
    WhenModal("LoadDlg", [this](QWidget*) {
      QCOMPARE(dlg_->BtnLoad->text(), QString("Save"));
      QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton);
    });
    main_->SaveHEXClick();
    QCOMPARE(QString::fromStdString(ReadFile(saved)), QString(":03010000020100F9\r\n:00000001FF\r\n"));
  }

  void sessionLoadsTheExampleAndDebugsIt() {
    const std::string source = (dir_.path() + "/sum.a51").toStdString();
    QVERIFY(AssembleExample("sum/sum.a51", source));
    UseProgramFolderAsProject(source);
    RunControl().PrintSourceLines = true;
    ScriptedChooser chooser;
    chooser.Files = {(dir_.path() + "/sum.obj").toStdString()};
    WhenModal("LoadDlg", [this](QWidget*) { QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton); });
    main_->LoadProgramAction();
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Text),
             QString("Load succesful, last address used 004D"));
    QCOMPARE(main_->StatusField("stPC")->text(), QString("PC 0030"));
    // The label cuts a long name in its middle; its tip holds the whole name.
    const QString object = dir_.path() + "/sum.obj";
    QCOMPARE(dlg_->StaticTextLoadFile->toolTip(), object);
    const QString shown = dlg_->StaticTextLoadFile->text();
    const QString head = shown.section(QChar(0x2026), 0, 0), tail = shown.section(QChar(0x2026), 1);
    QVERIFY2(shown == object || (shown.count(QChar(0x2026)) == 1 && object.startsWith(head) && object.endsWith(tail) &&
                                 tail.endsWith("/sum.obj")),
             qPrintable(shown));

    TerminalEdit* edit = main_->Terminal()->Editor();
    for (const char* line : {"BR = NEXT", "GO"}) {
      QTest::keyClicks(edit, line);
      QTest::keyClick(edit, Qt::Key_Return);
    }
    QVERIFY2(edit->toPlainText().contains("EXECUTION HALTED AT 003A\n" + dir_.path() + "/sum.a51:15: NEXT:   CALL    ADDBYTE"),
             qPrintable(edit->toPlainText()));
    QCOMPARE(main_->StatusField("stPC")->text(), QString("PC 003A"));
    QCOMPARE(main_->StatusField("stR6")->text(), QString("R6 05"));

    // One step into the subroutine, then Esc: its source line follows the step line.
    WhenWaitingForKey(edit, Qt::Key_Escape);
    QTest::keyClicks(edit, "STEP");
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY2(edit->toPlainText().contains("003AH LCALL   ADDBYTE----->0044H CLR     A\n" + dir_.path() +
                                          "/sum.a51:23: CLR     A"),
             qPrintable(edit->toPlainText()));
    QCOMPARE(main_->StatusField("stPC")->text(), QString("PC 0044"));
    QCOMPARE(main_->StatusField("stSP")->text(), QString("SP 61"));
  }

  // A patch with the line assembler leaves the disassembly's labels as they
  // were; the dialog itself proposes the next instruction with plain numbers.
  void lineAssemblerKeepsTheLabels() {
    QTemporaryDir folder;
    const std::string source = (folder.path() + "/sum.a51").toStdString();
    QVERIFY(QFile::copy(QString(DORVIK_SOURCE_DIR) + "/examples/sum/sum.a51", QString::fromStdString(source)));
    {
      auto context = std::make_unique<as::AsmContext>();
      as::AssembleFileWithControls(*context, source, "OBJECT DEBUG NOPRINT");
    }
    UseProgramFolderAsProject(source);
    ScriptedChooser chooser;
    chooser.Files = {(folder.path() + "/sum.obj").toStdString()};
    WhenModal("LoadDlg", [this](QWidget*) { QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton); });
    main_->LoadProgramAction();
    DisasWindow* disas = main_->Disassembly();
    const auto row = [disas](uint16_t address) {
      disas->LocateAddress(address);
      return disas->Rows()->item(disas->RowOf(address))->text();
    };
    QVERIFY2(row(0x3A).contains("LCALL   ADDBYTE"), qPrintable(row(0x3A)));
    QString proposed;
    WhenModal("AssemblyDialog", [&proposed](QWidget* w) {
      auto* dialog = static_cast<LineAsmDialog*>(w);
      dialog->comboASMAddress->setEditText("3D");
      dialog->comboASMStatement->setEditText("INC DPTR");
      QTest::mouseClick(dialog->btnAssembly, Qt::LeftButton);
      proposed = dialog->comboASMStatement->currentText();
      QTest::mouseClick(dialog->btnDone, Qt::LeftButton);
    });
    main_->OpenLineAssembler();
    QVERIFY2(proposed.contains("R6,03AH"), qPrintable(proposed));
    QVERIFY2(row(0x3A).contains("LCALL   ADDBYTE"), qPrintable(row(0x3A)));
    QVERIFY2(row(0x3E).contains("DJNZ    R6,NEXT"), qPrintable(row(0x3E)));
    // So does a second patch, and the console's code lines too.
    WhenModal("AssemblyDialog", [](QWidget* w) {
      auto* dialog = static_cast<LineAsmDialog*>(w);
      dialog->comboASMAddress->setEditText("3D");
      dialog->comboASMStatement->setEditText("INC DPTR");
      QTest::mouseClick(dialog->btnAssembly, Qt::LeftButton);
      QTest::mouseClick(dialog->btnDone, Qt::LeftButton);
    });
    main_->OpenLineAssembler();
    QVERIFY2(row(0x3E).contains("DJNZ    R6,NEXT"), qPrintable(row(0x3E)));
    QCOMPARE(Images().CodeImage[0x3D], uint8_t{0xA3});
  }

 private:
  std::string Write(const QString& name, const std::string& text) {
    const std::string path = (dir_.path() + "/" + name).toStdString();
    WriteFile(path, text);
    return path;
  }

  void Type(const QString& line) {
    QTest::keyClicks(edit_, line);
    QTest::keyClick(edit_, Qt::Key_Return);
  }
  QString Text() const { return edit_->toPlainText(); }
  // The engine on the fake board's line (the monitor or the ADuC).
  static bool OnBoard(const FakeTarget& fake, bool monitor) {
    dorvik::Run().TargetKind = monitor ? kTargetMonitor : kTargetAduc;
    Breakpoints().LastBreakIndex = monitor ? 1 : 7;
    return fake.Started() && OpenLink(fake.Device(), 19200);
  }
  QString Field(const std::string& name) const { return main_->StatusField("st" + name)->text(); }
  // The breakpoint image of the disassembly row of Address: 1 a red dot, 0 none.
  int Dot(uint16_t address) const {
    DisasWindow* disas = main_->Disassembly();
    return disas->Rows()->item(disas->RowOf(address))->data(Qt::UserRole + 1).toInt();
  }

  platform::ScriptedReporter boxes_;
  std::unique_ptr<MainWindow> main_;
  TerminalEdit* edit_ = nullptr;
  platform::ScriptedDialogs dialogs_;
  QTemporaryDir dir_;
  TLoadDlg* dlg_ = nullptr;
};

QTEST_MAIN(SessionTest)
#include "session_test.moc"
