// A scripted session in the workbench on the simulator: commands typed into
// the terminal dock, a breakpoint, a GO to it, steps, a GO stopped with Esc;
// the status fields, the caption, the execution line and the terminal text
// checked; and the busy pair restored on every exit path. The debug actions
// (tool bar, Debug menu, keys, the disassembly's caret line) issue the same
// command lines, echoed in the terminal; the chip-type dialog selects and
// compiles processors.

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <stdexcept>

#include "access/links.h"
#include "access/target.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "debugger/breakpoints.h"
#include "debugger/executor.h"
#include "lang/scanner.h"
#include "gui/cpudialog.h"
#include "gui/debugactions.h"
#include "gui/mainwindow.h"
#include "tests/support/fake_targets.h"
#include "tests/support/gui_fixture.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

class SessionTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(StartEngine(&boxes_));
    main_ = std::make_unique<MainWindow>();
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    edit_ = main_->Terminal()->Editor();
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
    QTimer::singleShot(50, edit_, [this] { QTest::keyClick(edit_, Qt::Key_Return); });
    QTimer::singleShot(150, edit_, [this] { QTest::keyClick(edit_, Qt::Key_Escape); });
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
    Type("br = 3");
    Type("go from 0");
    QTRY_VERIFY_WITH_TIMEOUT(!dorvik::Run().ProgramRunning, 3000);
    QTRY_VERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());
    // The status fields: what the chip reported at its stop.
    QCOMPARE(Field("PC"), QString("PC 0003"));
    QCOMPARE(Field("ACC"), QString("ACC 06"));
    QCOMPARE(Field("SP"), QString("SP 07"));
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
    Type("go from 0 till 3");
    QTRY_VERIFY_WITH_TIMEOUT(!dorvik::Run().ProgramRunning, 3000);
    QTRY_VERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());
    QCOMPARE(Field("PC"), QString("PC 0003"));
    Type("go from 8 forever");
    QVERIFY(main_->BusyShown());
    monitor.StopByItself();
    QTRY_VERIFY_WITH_TIMEOUT(!dorvik::Run().ProgramRunning, 3000);
    QTRY_VERIFY(!main_->BusyShown() && main_->menuBar()->isEnabled());
    QCOMPARE(MainForm().BusyCount, 0);
    CloseLink();
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

    // F9 on the caret line sets a breakpoint there; F5 runs to it.
    DisasWindow* disas = main_->Disassembly();
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    disas->Rows()->setCurrentRow(disas->RowOf(6));
    QCOMPARE(a->CursorAddress(), 6);
    QCOMPARE(a->ToggleBreakpoint->text(), QString("Set &breakpoint at 0006"));
    QTest::keyClick(disas->Rows(), Qt::Key_F9);
    QVERIFY(Text().contains("hlt>BR = 0006H\nhlt>"));
    QCOMPARE(Dot(6), 1);
    QCOMPARE(a->ToggleBreakpoint->text(), QString("Clear &breakpoint at 0006"));
    QTest::keyClick(disas->Rows(), Qt::Key_F5);
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

 private:
  void Type(const QString& line) {
    QTest::keyClicks(edit_, line);
    QTest::keyClick(edit_, Qt::Key_Return);
  }
  QString Text() const { return edit_->toPlainText(); }
  QString Field(const std::string& name) const { return main_->StatusField("st" + name)->text(); }
  // The breakpoint image of the disassembly row of Address: 1 a red dot, 0 none.
  int Dot(uint16_t address) const {
    DisasWindow* disas = main_->Disassembly();
    return disas->Rows()->item(disas->RowOf(address))->data(Qt::UserRole + 1).toInt();
  }

  platform::ScriptedReporter boxes_;
  std::unique_ptr<MainWindow> main_;
  TerminalEdit* edit_ = nullptr;
};

QTEST_MAIN(SessionTest)
#include "session_test.moc"
