// A scripted session in the workbench on the simulator: commands typed into
// the terminal dock, a breakpoint, a GO to it, steps, a GO stopped with Esc;
// the status fields, the caption, the execution line and the terminal text
// checked; and the busy pair restored on every exit path.

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QMenuBar>
#include <QtTest>

#include <stdexcept>

#include "base/mainform.h"
#include "base/messages.h"
#include "debugger/executor.h"
#include "lang/scanner.h"
#include "gui/mainwindow.h"
#include "access/links.h"
#include "debugger/breakpoints.h"
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

  void hiddenTerminalDropsOutput() {
    main_->Terminal()->close();
    QVERIFY(!dorvik::Terminal().Visible);
    const size_t lines = dorvik::Terminal().Lines.size();
    SetScanLine("R\r", false);
    dorvik::Terminal().TerminalEcho = true;
    main_->ExecuteScannerLine();
    QCOMPARE(dorvik::Terminal().Lines.size(), lines);
    main_->Terminal()->ShowTerminal();
    QVERIFY(main_->Terminal()->isVisible() && dorvik::Terminal().Visible);
  }

 private:
  void Type(const QString& line) {
    QTest::keyClicks(edit_, line);
    QTest::keyClick(edit_, Qt::Key_Return);
  }
  QString Text() const { return edit_->toPlainText(); }
  QString Field(const std::string& name) const { return main_->StatusField("st" + name)->text(); }

  platform::ScriptedReporter boxes_;
  std::unique_ptr<MainWindow> main_;
  TerminalEdit* edit_ = nullptr;
};

QTEST_MAIN(SessionTest)
#include "session_test.moc"
