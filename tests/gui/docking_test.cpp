// The tool windows in the main window's dock areas: docking zones, one window
// alone in an area or several as pages, closing a page, and the [DORVIK]
// layout entries of the project file read and written.

#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "gui/dockable.h"
#include "gui/mainwindow.h"
#include "platform/ini.h"
#include "tests/support/gui_fixture.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

Q_DECLARE_METATYPE(dorvik::gui::DockZone)

class DockingTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(StartEngine(&boxes_));
    main_ = std::make_unique<MainWindow>();
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
  }
  void cleanup() {
    main_.reset();
    StopEngine();
  }

  void zones_data() {
    QTest::addColumn<QPoint>("mouse");
    QTest::addColumn<DockZone>("zone");
    QTest::addColumn<QRect>("rect");
    // A 500 x 400 client: fifths at 100 / 80, halves at 250 / 200.
    QTest::newRow("left") << QPoint(10, 10) << DockZone::Left << QRect(0, 0, 250, 400);
    QTest::newRow("left, last pixel") << QPoint(99, 399) << DockZone::Left << QRect(0, 0, 250, 400);
    QTest::newRow("top") << QPoint(200, 10) << DockZone::Top << QRect(0, 0, 500, 200);
    QTest::newRow("top, first column after left") << QPoint(100, 79) << DockZone::Top << QRect(0, 0, 500, 200);
    QTest::newRow("right") << QPoint(450, 300) << DockZone::Right << QRect(250, 0, 250, 400);
    QTest::newRow("bottom") << QPoint(200, 350) << DockZone::Bottom << QRect(0, 200, 500, 200);
    QTest::newRow("centre") << QPoint(250, 200) << DockZone::Client << QRect(100, 80, 300, 240);
    QTest::newRow("outside") << QPoint(500, 10) << DockZone::None << QRect(1, 2, 3, 4);
  }
  void zones() {
    QFETCH(QPoint, mouse);
    QFETCH(DockZone, zone);
    QFETCH(QRect, rect);
    QRect dockRect(1, 2, 3, 4);
    QCOMPARE(DockingZone(QSize(500, 400), mouse, dockRect), zone);
    QCOMPARE(dockRect, rect);
  }

  void zoneInScreenCoordinates() {
    TDockableForm* terminal = main_->Terminal();
    QRect rect;
    QCOMPARE(terminal->ComputeDockingRect(rect, QPoint(1, 1)), DockZone::Left);
    QCOMPARE(rect.topLeft(), terminal->mapToGlobal(QPoint(0, 0)));
  }

  void panelThenPagesThenPanel() {
    TDockableForm* terminal = main_->Terminal();
    TDockableForm* disas = main_->Disassembly();
    // Each alone in its area.
    QVERIFY(terminal->InDockSite() && !terminal->Docked());
    QCOMPARE(terminal->Host(), Qt::BottomDockWidgetArea);
    QCOMPARE(disas->Host(), Qt::LeftDockWidgetArea);
    // Dropped on the left zone of the terminal: both are pages of the bottom area.
    QVERIFY(terminal->FormDockDrop(disas, QPoint(2, 2)));
    QCOMPARE(disas->Host(), Qt::BottomDockWidgetArea);
    QVERIFY(terminal->Docked() && disas->Docked());
    // Closing one of the two pages leaves the other alone in the area.
    disas->close();
    QVERIFY(disas->isHidden());
    QVERIFY(terminal->InDockSite() && !terminal->Docked());
    QCOMPARE(terminal->Host(), Qt::BottomDockWidgetArea);
    // The closed window comes back floating at the main window's corner.
    disas->ShowDockable();
    QVERIFY(disas->isVisible() && disas->isFloating());
    QCOMPARE(disas->geometry().topLeft(), main_->geometry().topLeft());
    // A drop outside every zone does nothing.
    QVERIFY(!terminal->FormDockDrop(disas, QPoint(-5, -5)));
    QVERIFY(disas->isFloating());
  }

  void layoutValues_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("applies");
    QTest::addColumn<QString>("written");
    QTest::newRow("full") << "1,10,20,300,200" << true << "1,10,20,300,200";
    QTest::newRow("side") << "0,1,2,3,4,r" << true << "0,1,2,3,4,R";
    QTest::newRow("missing fields") << "1,,5,,7" << true << "1,,5,,7";
    QTest::newRow("flag only") << "1" << true << "1,,,,";
    QTest::newRow("not a number in place") << "1,x,5" << true << "1,,5,,";
    QTest::newRow("unknown side") << "1,1,2,3,4,Q" << true << "1,1,2,3,4";
    QTest::newRow("huge numbers held") << "1,2000000000,-9999999999,5,5" << true << "1,1000000,-1000000,5,5";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("first field not a number") << "abc,1,2,3,4" << false << "";
    QTest::newRow("first field empty") << ",1,2,3,4" << false << "";
  }
  void layoutValues() {
    QFETCH(QString, value);
    QFETCH(bool, applies);
    QFETCH(QString, written);
    LayoutEntry entry;
    QCOMPARE(ParseLayoutValue(value.toStdString(), entry), applies);
    if (applies) QCOMPARE(QString::fromStdString(LayoutValue(entry)), written);
  }

  void clamping() {
    const QRect screen(0, 0, 800, 600);
    QCOMPARE(ClampToScreen(QRect(-5000, 99999, 300, 200), screen), QRect(0, 400, 300, 200));
    QCOMPARE(ClampToScreen(QRect(10, 20, 3000, 200), screen), QRect(0, 20, 800, 200));
    QCOMPARE(ClampToScreen(QRect(10, 20, 300, 200), screen), QRect(10, 20, 300, 200));
  }

  void layoutReadAndWritten() {
    QTemporaryDir dir;
    const std::string project = dir.filePath("TEST.QPC").toStdString();
    WriteFile(project,
              "Target=VOV51\n[DORVIK]\nTerminalWindow=1,10,20,300,200\nDisasWindow=abc,1,2,3,4\n[LOADER]\nCode=Yes\n");
    main_->LoadLayout(project);
    TDockableForm* terminal = main_->Terminal();
    TDockableForm* disas = main_->Disassembly();
    QVERIFY(terminal->isFloating());
    QCOMPARE(terminal->geometry(), QRect(10, 20, 300, 200));
    // The value whose first field is not a number applied nothing.
    QCOMPARE(disas->Host(), Qt::LeftDockWidgetArea);
    // Applied once per showing.
    WriteFile(project, "[DORVIK]\nTerminalWindow=1,30,40,300,200\n");
    platform::IniFile again;
    QVERIFY(again.Load(project));
    terminal->LoadLayout(again);
    QCOMPARE(terminal->geometry().topLeft(), QPoint(10, 20));

    WriteFile(project, "Target=VOV51\n[DORVIK]\nDisasWindow=abc\n[LOADER]\nCode=Yes\n");
    QVERIFY(main_->SaveLayout(project));
    const std::string text = ReadFile(project);
    QVERIFY(text.find("Target=VOV51") != std::string::npos);
    QVERIFY(text.find("Code=Yes") != std::string::npos);
    QVERIFY(text.find("TerminalWindow=1,10,20,300,200\n") != std::string::npos);
    QVERIFY(text.find("DisasWindow=1,") != std::string::npos);
    QVERIFY(text.find(",L\n") != std::string::npos);

    // A fresh window restores the same places.
    main_.reset();
    main_ = std::make_unique<MainWindow>();
    main_->show();
    main_->LoadLayout(project);
    QVERIFY(main_->Terminal()->isFloating());
    QCOMPARE(main_->Terminal()->geometry(), QRect(10, 20, 300, 200));
    QCOMPARE(main_->Disassembly()->Host(), Qt::LeftDockWidgetArea);
  }

  void layoutClampedDockedAndHidden() {
    QTemporaryDir dir;
    const std::string project = dir.filePath("TEST.QPC").toStdString();
    WriteFile(project, "[DORVIK]\nTerminalWindow=1,-5000,99999,300,200\nDisasWindow=1,0,0,200,300,B\n");
    main_->LoadLayout(project);
    QVERIFY(main_->screen()->availableGeometry().contains(main_->Terminal()->geometry()));
    // Numbers too large for a window's coordinates are held, then clamped.
    WriteFile(project, "[DORVIK]\nTerminalWindow=1,2147483000,2147483000,2147483000,2147483000\n");
    main_->Terminal()->Loaded = false;
    main_->LoadLayout(project);
    QVERIFY(main_->screen()->availableGeometry().contains(main_->Terminal()->geometry()));
    WriteFile(project, "[DORVIK]\nTerminalWindow=1,-5000,99999,300,200\nDisasWindow=1,0,0,200,300,B\n");
    main_->Terminal()->Loaded = false;
    main_->LoadLayout(project);
    const QRect screen = main_->screen()->availableGeometry();
    QVERIFY(screen.contains(main_->Terminal()->geometry()));
    QCOMPARE(main_->Terminal()->geometry().size(), QSize(300, 200));
    // The side letter docks the window: the bottom area's only visible window.
    QCOMPARE(main_->Disassembly()->Host(), Qt::BottomDockWidgetArea);
    QVERIFY(!main_->Disassembly()->Docked());

    WriteFile(project, "[DORVIK]\nTerminalWindow=1,0,0,300,200,B\nDisasWindow=1,0,0,200,300,B\n");
    main_.reset();
    main_ = std::make_unique<MainWindow>();
    main_->show();
    main_->LoadLayout(project);
    QVERIFY(main_->Terminal()->Docked() && main_->Disassembly()->Docked());

    WriteFile(project, "[DORVIK]\nDisasWindow=0,0,0,200,300,L\n");
    main_->Disassembly()->Loaded = false;
    main_->LoadLayout(project);
    QVERIFY(main_->Disassembly()->isHidden());
    QVERIFY(ReadFile(project).find("DisasWindow=0,") != std::string::npos);
    QVERIFY(main_->SaveLayout(project));
    QVERIFY(ReadFile(project).find("DisasWindow=0,") != std::string::npos);
  }

 private:
  platform::ScriptedReporter boxes_;
  std::unique_ptr<MainWindow> main_;
};

QTEST_MAIN(DockingTest)
#include "docking_test.moc"
