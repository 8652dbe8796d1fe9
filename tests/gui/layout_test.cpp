// The tool windows in the dock areas of the workbench: the dock zones, a
// window alone in an area, pages and back, the [DORVIK] layout entries (the
// entry format, memory views' values, clamping to the screen), the layout
// read and written and coming back the same at every start, and the layout
// restored and the pages repainted through the engine's message pump.

#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "gui/debug/memoryview.h"
#include "gui/ground/dockable.h"
#include "gui/main/mainwindow.h"
#include "platform/ini.h"
#include "platform/pump.h"
#include "project/project.h"
#include "tests/support/gui_fixture.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

Q_DECLARE_METATYPE(dorvik::gui::DockZone)

class LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(StartEngine(&boxes_));
    QVERIFY(ShowMainWindow(main_));
  }
  void cleanup() {
    main_.reset();
    StopEngine();
  }

  // The tool windows in the dock areas: zones, pages, the [DORVIK] layout
  // entries, the layout restored through the message pump.
  void zones_data() {
    QTest::addColumn<QPoint>("mouse");
    QTest::addColumn<DockZone>("zone");
    QTest::addColumn<QRect>("rect");
    // A 500 x 400 client: fifths at 100 / 80, halves at 250 / 200.
    QTest::newRow("left") << QPoint(10, 10) << DockZone::Left << QRect(0, 0, 250, 400);
    QTest::newRow("top") << QPoint(200, 10) << DockZone::Top << QRect(0, 0, 500, 200);
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
    QCOMPARE(disas->geometry().topLeft(), BelowMenu(disas->size()));
    QVERIFY(main_->screen()->availableGeometry().contains(disas->geometry()));
    // A drop outside every zone does nothing.
    QVERIFY(!terminal->FormDockDrop(disas, QPoint(-5, -5)));
    QVERIFY(disas->isFloating());
    // Dropped by the user's drag into the terminal's area: a page beside it.
    disas->setFloating(false);
    main_->addDockWidget(Qt::BottomDockWidgetArea, disas);
    QVERIFY(terminal->Docked() && disas->Docked());
  }

  void layoutValues_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("applies");
    QTest::addColumn<QString>("written");
    QTest::newRow("full") << "1,10,20,300,200" << true << "1,10,20,300,200";
    QTest::newRow("side") << "0,1,2,3,4,r" << true << "0,1,2,3,4,R";
    QTest::newRow("not a number in place") << "1,x,5" << true << "1,,5,,";
    QTest::newRow("unknown side") << "1,1,2,3,4,Q" << true << "1,1,2,3,4";
    QTest::newRow("huge numbers held") << "1,2000000000,-9999999999,5,5" << true << "1,1000000,-1000000,5,5";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("first field not a number") << "abc,1,2,3,4" << false << "";
  }
  void layoutValues() {
    QFETCH(QString, value);
    QFETCH(bool, applies);
    QFETCH(QString, written);
    LayoutEntry entry;
    QCOMPARE(ParseLayoutValue(value.toStdString(), entry), applies);
    if (applies) QCOMPARE(QString::fromStdString(LayoutValue(entry)), written);
  }

  void memoryViewValues_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("applies");
    QTest::addColumn<QString>("written");
    QTest::newRow("full") << "1,0,100,0,1,2,10,20,300,200,B" << true << "1,0,100,0,1,2,10,20,300,200,B";
    QTest::newRow("negative and large parameters") << "0,-1,99999999999,3,4,5,1,2,3,4"
                                                   << true << "0,-1,99999999999,3,4,5,1,2,3,4";
    QTest::newRow("a parameter not a number") << "1,5,,x,7,8,1,2,3,4" << true << "1,5,,,7,8,1,2,3,4";
    QTest::newRow("first field not a number") << "v,0,100,0,1,2,10,20,300,200" << false << "";
  }
  void memoryViewValues() {
    QFETCH(QString, value);
    QFETCH(bool, applies);
    QFETCH(QString, written);
    LayoutEntry entry;
    QCOMPARE(ParseLayoutValue(value.toStdString(), entry, LayoutKind::MemoryView), applies);
    if (!applies) return;
    QVERIFY(entry.HasViewParams);
    QCOMPARE(QString::fromStdString(LayoutValue(entry)), written);
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

  // The View menu makes a second window of an area a page of it; what the
  // exit writes comes back the same at every start (the main window's place
  // too): same windows, flags and sides, sizes within a few pixels, and no
  // page stores a place off the screen.
  void layoutComesBackTheSameAtEveryStart() {
    QTemporaryDir dir;
    const std::string project = dir.filePath("TEST.QPC").toStdString();
    WriteFile(project, "[Project]\n");
    main_->resize(760, 560);  // on the offscreen screen
    for (const char* name : {"ViewWatches", "ViewCallStack", "ViewMemory"}) main_->findChild<QAction*>(name)->trigger();
    QVERIFY(main_->Watches()->Docked() && main_->CallStack()->Docked());
    QCOMPARE(main_->Watches()->HostTabBar(), main_->CallStack()->HostTabBar());
    QVERIFY(main_->MemoryView(0)->Docked() && main_->Terminal()->Docked());
    // Wide areas, as the user drags them: the centre gets less than it would like.
    main_->resizeDocks({main_->Disassembly(), main_->Watches()}, {250, 250}, Qt::Horizontal);
    QTest::qWait(50);  // laid out, as at an exit
    QVERIFY(main_->SaveLayout(project));
    const auto entries = [&project] {
      platform::IniFile file;
      file.Load(project);
      std::map<std::string, LayoutEntry> read;
      for (const std::string& key : file.ReadSection(kLayoutSection)) {
        const LayoutKind kind = key.rfind("MemoryView", 0) == 0 ? LayoutKind::MemoryView : LayoutKind::Window;
        if (LayoutEntry e; ParseLayoutValue(file.ReadString(kLayoutSection, key), e, kind)) read[key] = e;
      }
      return read;
    };
    const std::map<std::string, LayoutEntry> first = entries();
    QVERIFY(first.count("MainForm") == 1);
    for (int start = 1; start <= 3; ++start) {
      main_.reset();
      main_ = std::make_unique<MainWindow>();
      main_->resize(700, 500);
      main_->LoadLayout(project);
      QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
      QCOMPARE(main_->size(), QSize(*first.at("MainForm").Width, *first.at("MainForm").Height));
      QVERIFY(main_->Watches()->Docked() && main_->CallStack()->Docked());
      QTest::qWait(50);
      QVERIFY(main_->SaveLayout(project));
      const std::map<std::string, LayoutEntry> now = entries();
      QCOMPARE(now.size(), first.size());
      for (const auto& [key, was] : first) {
        const LayoutEntry& is = now.at(key);
        const QString where = QString("start %1: %2 %3 was %4")
                                  .arg(start)
                                  .arg(QString::fromStdString(key), QString::fromStdString(LayoutValue(is)),
                                       QString::fromStdString(LayoutValue(was)));
        QVERIFY2(is.Flag == was.Flag && is.Side == was.Side, qPrintable(where));
        QVERIFY2(std::abs(*is.Width - *was.Width) <= 3 && std::abs(*is.Height - *was.Height) <= 3, qPrintable(where));
        if (is.Flag != 0 && is.Side != 0) QVERIFY2(*is.Left >= 0 && *is.Top >= 0, qPrintable(where));
      }
    }
  }

  // Where a window of Size floats when shown again: the main window's corner
  // below its menu bar, moved inside the screen.
  QPoint BelowMenu(QSize size) const {
    const QPoint corner = main_->geometry().topLeft() + QPoint(0, main_->menuWidget()->height());
    return ClampToScreen(QRect(corner, size), main_->screen()->availableGeometry()).topLeft();
  }

  void layoutClampedDockedAndHidden() {
    QTemporaryDir dir;
    const std::string project = dir.filePath("TEST.QPC").toStdString();
    WriteFile(project, "[DORVIK]\nTerminalWindow=1,-5000,99999,300,200\nDisasWindow=1,0,0,200,300,B\n");
    main_->LoadLayout(project);
    QCOMPARE(main_->Terminal()->geometry().size(), QSize(300, 200));
    QVERIFY(main_->screen()->availableGeometry().contains(main_->Terminal()->geometry()));
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

  void memoryViewEntryKeptOnSave() {
    QTemporaryDir dir;
    const std::string project = dir.filePath("TEST.QPC").toStdString();
    WriteFile(project, "[DORVIK]\nMemoryView1=1,0,100,0,1,2,10,20,300,200,B\nTerminalWindow=1,1,2,3,4\n");
    QVERIFY(main_->SaveLayout(project));
    QVERIFY(ReadFile(project).find("MemoryView1=1,0,100,0,1,2,10,20,300,200,B\n") != std::string::npos);
  }

  void hiddenWindowRestoredThroughPostedMessage() {
    QTemporaryDir dir;
    const std::string project = dir.filePath("TEST.QPC").toStdString();
    Project().ProjectFileName = project;
    WriteFile(project, "[DORVIK]\nDisasWindow=1,40,50,300,200\n");
    TDockableForm* disas = main_->Disassembly();
    disas->close();
    QCOMPARE(platform::Pump().PendingMessages(), size_t{0});
    disas->ShowDockable();
    // Shown at once where it was; the stored place comes with the message.
    QVERIFY(disas->isVisible() && !disas->Loaded);
    QCOMPARE(disas->geometry().topLeft(), BelowMenu(disas->size()));
    QCOMPARE(platform::Pump().PendingMessages(), size_t{1});
    platform::PumpMessages();
    QVERIFY(disas->Loaded && disas->isFloating());
    QCOMPARE(disas->geometry(), QRect(40, 50, 300, 200));
    // Stored as a page of the bottom area: restored there, then the page repainted.
    WriteFile(project, "[DORVIK]\nDisasWindow=1,0,0,200,300,B\n");
    disas->close();
    disas->ShowDockable();
    platform::PumpMessages();
    QVERIFY(disas->Docked() && main_->Terminal()->Docked());
    QCOMPARE(disas->Host(), Qt::BottomDockWidgetArea);
    QVERIFY(disas->isEnabled() && !disas->Updating);
    QTabBar* bar = disas->HostTabBar();
    QVERIFY(bar != nullptr);
    const int page = bar->currentIndex();
    QSignalSpy switches(bar, &QTabBar::currentChanged);
    QCOMPARE(platform::Pump().PendingMessages(), size_t{1});
    platform::PumpMessages();
    QCOMPARE(switches.count(), 2);
    QCOMPARE(bar->currentIndex(), page);
  }

  void pageRepaintedAfterLayoutChange() {
    TDockableForm* terminal = main_->Terminal();
    TDockableForm* disas = main_->Disassembly();
    QVERIFY(terminal->FormDockDrop(disas, QPoint(2, 2)));
    // However many dock notifications the drop caused: one repaint, posted at its end.
    QCOMPARE(platform::Pump().PendingMessages(), size_t{1});
    QTabBar* bar = disas->HostTabBar();
    QVERIFY(bar != nullptr && bar == terminal->HostTabBar());
    QSignalSpy switches(bar, &QTabBar::currentChanged);
    const int page = bar->currentIndex();
    platform::PumpMessages();
    QCOMPARE(switches.count(), 2);
    QCOMPARE(bar->currentIndex(), page);
    QCOMPARE(bar->tabData(page).value<quintptr>(), reinterpret_cast<quintptr>(disas));
  }

  void nestedLayoutUpdate() {
    TerminalWindow* terminal = main_->Terminal();
    main_->activateWindow();
    terminal->Editor()->setFocus();
    QTRY_VERIFY(terminal->Editor()->hasFocus());
    terminal->SetLayoutUpdate(true);
    terminal->SetLayoutUpdate(true);
    QVERIFY(terminal->Updating && !terminal->isEnabled());
    QCOMPARE(terminal->UpdateCount, 2);
    terminal->SetLayoutUpdate(false);
    QVERIFY(terminal->Updating && !terminal->isEnabled());
    terminal->SetLayoutUpdate(false);
    QVERIFY(!terminal->Updating && terminal->isEnabled());
    QCOMPARE(terminal->UpdateCount, 0);
    // The keys come back to the terminal.
    QVERIFY(terminal->Editor()->hasFocus());

    // A layout change that fails half-way leaves the window enabled.
    try {
      LayoutUpdate outer(*terminal);
      LayoutUpdate inner(*terminal);
      throw std::runtime_error("lost window");
    } catch (const std::runtime_error&) {
    }
    QVERIFY(!terminal->Updating && terminal->isEnabled());
    QCOMPARE(terminal->UpdateCount, 0);

    // The busy view's disabled rows outlast a layout change of their window.
    DisasWindow* disas = main_->Disassembly();
    BeginBusy();
    main_->SyncViews();
    { LayoutUpdate update(*disas); }
    QVERIFY(disas->isEnabled() && !disas->Rows()->isEnabled());
    EndBusy();
    main_->SyncViews();
    QVERIFY(disas->Rows()->isEnabled());
  }

 private:
  platform::ScriptedReporter boxes_;
  std::unique_ptr<MainWindow> main_;
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
