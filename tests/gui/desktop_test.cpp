// The workbench as a user's desktop shows it, at the default window size:
// run offscreen and once more on a virtual X display with a window manager
// (ctest's gui_desktop_test_x11 through scripts/xwm-run.sh). The status
// fields whole beside both side areas, every tool window closed by its own
// close coming back from the View menu, no wait form left on screen after a
// build's question, and the [DORVIK] entries the same at every start after a
// session that built.

#include <QAbstractButton>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <signal.h>

#include <map>
#include <memory>
#include <string>

#include "base/runstate.h"
#include "gui/dialogs/qtdialogs.h"
#include "gui/projects/buildreport.h"
#include "gui/projects/projectactions.h"
#include "gui/projects/projectwnd.h"
#include "platform/ini.h"
#include "project/project.h"
#include "project/projectfile.h"
#include "tests/support/gui_fixture.h"
#include "workspace/openproject.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

namespace {

// On an X display: the state the X server holds of a window ("IsViewable",
// "IsUnMapped", ...), "NoWindow" when the server has none of that id (Qt
// may still take it for shown); "" offscreen or when it cannot be asked.
QString MapState(const QWidget* w) {
  if (QGuiApplication::platformName() != "xcb" || w->internalWinId() == 0) return {};
  QProcess info;
  info.start("xwininfo", {"-id", QString::number(w->internalWinId())});
  if (!info.waitForFinished(5000) || info.exitStatus() != QProcess::NormalExit) return {};
  const QRegularExpressionMatch m = QRegularExpression("Map State: (\\w+)").match(info.readAllStandardOutput());
  return m.hasMatch() ? m.captured(1) : QString("NoWindow");
}

// Two values of the entry Key: the same flag, side and view parameters, the
// place within Slack pixels.
bool SamePlace(const std::string& key, const std::string& is, const std::string& was, int slack) {
  if (slack == 0 || is == was) return is == was;
  const LayoutKind kind = key.rfind("MemoryView", 0) == 0 ? LayoutKind::MemoryView : LayoutKind::Window;
  LayoutEntry a, b;
  if (!ParseLayoutValue(is, a, kind) || !ParseLayoutValue(was, b, kind)) return false;
  if (a.Flag != b.Flag || a.Side != b.Side || a.ViewParams != b.ViewParams) return false;
  for (auto field : {&LayoutEntry::Left, &LayoutEntry::Top, &LayoutEntry::Width, &LayoutEntry::Height}) {
    if ((a.*field).has_value() != (b.*field).has_value()) return false;
    if ((a.*field).has_value() && std::abs(*(a.*field) - *(b.*field)) > slack) return false;
  }
  return true;
}

// A click of the left mouse button on W: through the X server where there is
// one, as the user's click comes (the window manager sees what follows it).
void Click(QWidget* w) {
  const QPoint at = w->mapToGlobal(w->rect().center());
  if (QGuiApplication::platformName() != "xcb" ||
      QProcess::execute("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
                                    "1"}) != 0)
    QTest::mouseClick(w, Qt::LeftButton);
}

// On the virtual display of scripts/xwm-run.sh: its window manager stopped
// while this lives (or till Resume), a busy one that sees a window's map and
// Qt's later hide of it at once.
class BusyWindowManager {
 public:
  BusyWindowManager() : pid_(qEnvironmentVariableIntValue("XWM_MANAGER_PID")) {
    if (pid_ <= 0 || QGuiApplication::platformName() != "xcb" || ::kill(pid_, SIGSTOP) != 0) pid_ = 0;
  }
  ~BusyWindowManager() { Resume(); }
  BusyWindowManager(const BusyWindowManager&) = delete;
  BusyWindowManager& operator=(const BusyWindowManager&) = delete;
  void Resume() {
    if (pid_ > 0) ::kill(pid_, SIGCONT);
    pid_ = 0;
  }

 private:
  pid_t pid_;
};

// The [DORVIK] entries of a project file.
std::map<std::string, std::string> LayoutEntries(const std::string& project) {
  platform::IniFile file;
  file.Load(project);
  std::map<std::string, std::string> entries;
  for (const auto& [key, value] : file.ReadSectionValues(kLayoutSection)) entries[key] = value;
  return entries;
}

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    boxes_.Clear();
    QVERIFY(dir_.isValid());
    QVERIFY(Engine());
    QVERIFY(ShowMainWindow(main_));
  }
  void cleanup() {
    main_.reset();
    StopEngine();
  }

  // Watches and Symbols on the right, the disassembly on the left: every
  // field shows its whole value, the one the console's R prints.
  void statusFieldsWholeBesideBothSideAreas() {
    QCOMPARE(main_->size(), QSize(1000, 700));
    for (const char* name : {"ViewWatches", "ViewSymbols"}) main_->findChild<QAction*>(name)->trigger();
    QTest::qWait(100);
    // MOV DPTR,#8000H; MOV A,#7AH; MOV SP,#5FH; SETB RS0; LJMP 0037H.
    for (const char* line : {"CBYTE 0 = 90,80,00,74,7A,75,81,5F,D2,D3,02,00,37", "GO TILL 37", "R"}) Type(line);
    QVERIFY(main_->Watches()->isVisible() && main_->Symbols()->isVisible() && main_->Disassembly()->isVisible());
    const QString text = main_->Terminal()->Editor()->toPlainText();
    const QRegularExpressionMatch r = QRegularExpression("PC=0037 ACC=7A B=00 PSW=09 SP=5F DPTR=8000 [^\n]*").match(text);
    QVERIFY2(r.hasMatch(), qPrintable(text));
    for (const QString& field : r.captured(0).split(' ')) {
      const QStringList pair = field.split('=');
      const QLabel* label = main_->StatusField(pair[0].toStdString());
      QVERIFY(label != nullptr);
      QCOMPARE(label->text(), pair[0] + " " + pair[1]);
      const int needed = label->fontMetrics().horizontalAdvance(label->text());
      QVERIFY2(label->contentsRect().width() >= needed,
               qPrintable(QString("%1: %2 px of %3").arg(label->text()).arg(label->contentsRect().width()).arg(needed)));
    }
  }

  // Each tool window closed by its own close (the dock's button, or the
  // window manager's close of a floating one) comes back from the View menu,
  // on screen.
  void toolWindowsClosedComeBackFromTheViewMenu() {
    const std::pair<TDockableForm*, const char*> windows[] = {
        {main_->Terminal(), "ViewTerminal"},   {main_->Disassembly(), "ViewDisassembly"},
        {main_->Watches(), "ViewWatches"},     {main_->CallStack(), "ViewCallStack"},
        {main_->Symbols(), "ViewSymbols"},     {main_->MemoryView(0), "ViewMemory"},
        {main_->Projects()->Report(), "ViewBuildReport"}, {main_->Projects()->ProjectWindow(), "ViewProjectWnd"}};
    for (const auto& [w, view] : windows) {
      QAction* action = main_->findChild<QAction*>(view);
      QVERIFY(action != nullptr);
      action->trigger();
      QTRY_VERIFY(w->isVisible());
      for (int round = 0; round < 2; ++round) {
        const QString where = w->objectName() + (round == 0 ? " docked" : " floating");
        const QSize own = w->size().boundedTo(main_->screen()->availableGeometry().size());
        if (w->isFloating()) {
          QVERIFY(w->windowHandle() != nullptr);
          w->windowHandle()->close();  // what the window manager's close does
        } else {
          auto* close = w->findChild<QAbstractButton*>("qt_dockwidget_closebutton");
          QVERIFY2(close != nullptr, qPrintable(where));
          Click(close);
        }
        QTRY_VERIFY2(w->isHidden(), qPrintable(where));
        QTest::qWait(100);  // the window manager has seen it go
        action->trigger();
        QTRY_VERIFY2(w->isVisible() && w->isFloating(), qPrintable(where));
        QVERIFY2(w->size() == own, qPrintable(where + QString(": %1x%2, was %3x%4").arg(w->width()).arg(w->height()).arg(own.width()).arg(own.height())));
        QTRY_VERIFY2(w->windowHandle() != nullptr && w->windowHandle()->isExposed(), qPrintable(where));
        const QString state = MapState(w);
        QVERIFY2(state.isEmpty() || state == "IsViewable", qPrintable(where + ": " + state));
      }
      w->close();
    }
  }

  // A build whose first module fails asks question 53 in a real box; the
  // wait form, due while the tool worked, is not left on screen after it.
  void noWaitFormLeftAfterABuildsQuestion() {
    QtReporter reporter;
    platform::SetReporter(&reporter);
    WriteFile(Path("a.c"), "int x\n");
    WriteFile(Path("b.a51"), "        NOP\n        END\n");
    Project().FileTypeList = DefaultFileTypes();
    for (tFileTypeRec& type : Project().FileTypeList)
      if (type.Extension == ".C") type.Compiler = "sleep 0.5; false";
    Project().ProjectModules = {{"A", Path("a.c"), {}}, {"B", Path("b.a51"), {}}};
    bool asked = false;
    // Busy through the build: the form's map and its hide reach it together.
    BusyWindowManager manager;
    WhenModal("MessageBox", [&asked, &manager](QWidget* w) {
      manager.Resume();
      auto* box = static_cast<QMessageBox*>(w);
      asked = box->windowTitle().contains("#53");
      QVERIFY2(asked, qPrintable(box->windowTitle() + ": " + box->text()));
      QTest::qWait(300);
      QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    main_->Projects()->BuildAction();
    QVERIFY(asked);
    QTest::qWait(400);
    QWidget* wait = main_->WaitForm();
    QVERIFY(!wait->isVisible());
    // Hidden on the X server as for Qt: neither left on screen nor taken
    // away with the manager's frame (its next show would reach nothing).
    const QString state = MapState(wait);
    QVERIFY2(state.isEmpty() || state == "IsUnMapped", qPrintable(state));
    // No window of the workbench but the main window is on screen.
    for (QWidget* top : QApplication::topLevelWidgets())
      QVERIFY2(top == main_.get() || !top->isVisible(), qPrintable(top->objectName()));
    platform::SetReporter(&boxes_);
  }

  // Three starts and exits of a project, the first with a build and three
  // pages on the right: the second and third write what the first wrote,
  // the pages come back in their order, and a window never opened keeps no
  // place (opened later, its area takes a third of the main window).
  void sameEntriesAtEveryStartAfterABuild() {
    const std::string project = Path("T.QPC");
    WriteFile(Path("main.a51"), "        NOP\n        END\n");
    WriteFile(project, "Target=VOV51\n[PROJECT]\nMAIN=main.a51\n");
    std::map<std::string, std::string> first;
    // On a screen smaller than the default window (offscreen) the areas are
    // squeezed to the centre's least width: a few pixels may change there.
    const bool fits = main_->screen()->availableGeometry().width() >= main_->width() + 100;
    const int slack = fits ? 0 : 3;
    for (int start = 1; start <= 3; ++start) {
      Start(project);
      TabOrder expected{"CallStackWin", "WatchWnd", "UserSymWin"};
      if (start == 1) {
        // The default size, on a screen that holds it (offscreen's does not).
        main_->resize(main_->size().boundedTo(main_->screen()->availableGeometry().size()));
        QCOMPARE(main_->Projects()->BuildAction(), BuildOutcome::Built);
        for (const char* name : {"ViewCallStack", "ViewWatches", "ViewSymbols"})
          main_->findChild<QAction*>(name)->trigger();
      }
      QTRY_COMPARE(Pages(main_->Watches()), expected);
      QTest::qWait(100);
      QVERIFY(main_->close());
      const std::map<std::string, std::string> entries = LayoutEntries(project);
      if (start == 1) {
        first = entries;
        QVERIFY2(first.at("ProjectWnd").find(",100,30") == std::string::npos, first.at("ProjectWnd").c_str());
        continue;
      }
      for (const auto& [key, value] : first)
        QVERIFY2(entries.count(key) == 1 && SamePlace(key, entries.at(key), value, slack),
                 qPrintable(QString("start %1: %2=%3, was %4")
                                .arg(start)
                                .arg(QString::fromStdString(key), QString::fromStdString(entries.count(key) ? entries.at(key) : ""),
                                     QString::fromStdString(value))));
    }
    // The project list, never opened, opens its empty area at a third (the
    // other side area closed: the centre can give that much).
    Start(project);
    TDockableForm* list = main_->Projects()->ProjectWindow();
    const Qt::DockWidgetArea area = main_->dockWidgetArea(list);
    QVERIFY(area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea);
    for (TDockableForm* w : main_->ToolWindows())
      if (w != list && !w->isHidden() && main_->dockWidgetArea(w) != Qt::BottomDockWidgetArea) w->close();
    main_->findChild<QAction*>("ViewProjectWnd")->trigger();
    QTest::qWait(200);
    platform::PumpMessages();
    QTRY_VERIFY(list->isVisible() && !list->isFloating());
    QTRY_VERIFY2(std::abs(list->width() - main_->width() / 3) <= 20, qPrintable(QString::number(list->width())));
  }

  // At start on a board whose line is not up yet, no disassembly row says
  // that a read failed: nothing was read.
  void boardDisassemblyEmptyBeforeItsLineIsUp() {
    main_.reset();
    StopEngine();
    QVERIFY(Engine());
    dorvik::Run().TargetKind = kTargetMonitor;
    QVERIFY(ShowMainWindow(main_));
    QTest::qWait(100);
    main_->SyncViews();
    const QListWidget* rows = main_->Disassembly()->Rows();
    for (int i = 0; i < rows->count(); ++i) QVERIFY2(!rows->item(i)->text().contains("Target"), qPrintable(rows->item(i)->text()));
    dorvik::Run().TargetKind = kTargetSimulator;
  }

 private:
  using TabOrder = QStringList;
  std::string Path(const std::string& name) const { return (dir_.path() + "/").toStdString() + name; }
  // A fresh engine whose files lie in the test's folder.
  bool Engine() {
    if (!StartEngine(&boxes_)) return false;
    MainForm().ErrorProtocolFile = Path("$$ERR.$$$");
    MainForm().IniFileName = Path("dorvik51-gui.INI");
    MainForm().HistoryFileName = Path("dorvik51-gui.HST");
    return true;
  }
  void Type(const char* line) {
    main_->Terminal()->EnterLine(line);
    main_->ExecuteScannerLine();
  }
  // A start of the workbench on Project, as the program makes it.
  void Start(const std::string& project) {
    main_.reset();
    StopEngine();
    QVERIFY(Engine());
    QVERIFY(OpenProject(project));
    Project().ProjectFileName = project;
    main_ = std::make_unique<MainWindow>();
    main_->Projects()->UseProjectFile(project);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
  }
  // The names of the pages of W's area, in the order of their tabs.
  static QStringList Pages(const TDockableForm* w) {
    QStringList names;
    const QTabBar* bar = w->HostTabBar();
    if (bar == nullptr) return names;
    for (int tab = 0; tab < bar->count(); ++tab)
      names << reinterpret_cast<const QWidget*>(bar->tabData(tab).value<quintptr>())->objectName();
    return names;
  }

  platform::ScriptedReporter boxes_;
  std::unique_ptr<MainWindow> main_;
  QTemporaryDir dir_;
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
