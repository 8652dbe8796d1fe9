// Screenshots of the workbench for review (never compared): the main window
// with its docks after a short session, its debug tool bar, with the
// disassembly as a page of the bottom area, and with the terminal floating;
// a project built with an error (project list and build report) and the
// project's dialogs. Writes PNG files into the
// folder given as the argument (scripts/screenshots.sh runs it under Xvfb),
// or into a temporary folder of its own when run as a test.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <cstdio>

#include "base/mainform.h"
#include "base/projectlists.h"
#include "gui/addfiletype.h"
#include "gui/buildreport.h"
#include "gui/configdlg.h"
#include "gui/debugactions.h"
#include "gui/projectactions.h"
#include "gui/projectdlg.h"
#include "gui/projectwnd.h"
#include "gui/rangedlg.h"
#include "gui/mainwindow.h"
#include "lang/scanner.h"
#include "tests/support/gui_fixture.h"

using namespace dorvik;

namespace {

// The whole screen where a real display is there (floating windows too),
// else the main window alone.
bool Shoot(gui::MainWindow& main, const QDir& folder, const QString& name) {
  QTest::qWait(300);
  QPixmap shot;
  if (QGuiApplication::platformName() == "xcb" && main.screen() != nullptr) shot = main.screen()->grabWindow(0);
  if (shot.isNull()) shot = main.grab();
  const QString file = folder.filePath(name + ".png");
  const bool ok = !shot.isNull() && shot.save(file);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", file.toLocal8Bit().constData());
  return ok;
}

// A dialog shown without its own loop, grabbed alone.
bool ShootDialog(QWidget& dialog, const QDir& folder, const QString& name) {
  dialog.show();
  if (!QTest::qWaitForWindowExposed(&dialog)) return false;
  QTest::qWait(100);
  const QPixmap shot = dialog.grab();
  const QString file = folder.filePath(name + ".png");
  const bool ok = !shot.isNull() && shot.save(file);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", file.toLocal8Bit().constData());
  dialog.hide();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTemporaryDir temporary;
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path());
  if (!folder.exists() && !QDir().mkpath(folder.path())) return 1;
  platform::ScriptedReporter boxes;
  if (!testing::StartEngine(&boxes)) return 1;
  bool ok = true;
  {
    gui::MainWindow main;
    main.resize(1100, 750);
    main.move(20, 20);
    main.show();
    if (!QTest::qWaitForWindowExposed(&main)) return 1;
    for (const char* line : {"CBYTE 0 = 74,05,04,80,FD", "BR = 3", "GO", "R"}) {
      main.Terminal()->EnterLine(line);
      main.ExecuteScannerLine();
    }
    ok = Shoot(main, folder, "workbench-docked") && ok;
    {
      // With a caret line in the disassembly, so that its actions are on.
      main.Disassembly()->Rows()->setCurrentRow(1);
      const QPixmap bar = main.Actions()->ToolBar()->grab();
      const QString file = folder.filePath("workbench-toolbar.png");
      const bool saved = !bar.isNull() && bar.save(file);
      std::printf("%s %s\n", saved ? "wrote" : "could not write", file.toLocal8Bit().constData());
      ok = saved && ok;
    }
    main.Terminal()->FormDockDrop(main.Disassembly(), QPoint(2, 2));
    ok = Shoot(main, folder, "workbench-pages") && ok;
    main.Terminal()->close();
    main.Terminal()->ShowTerminal();
    main.Terminal()->move(main.geometry().center());
    ok = Shoot(main, folder, "workbench-floating") && ok;
  }
  testing::StopEngine();
  // A project of the example, built with an error: the project list, the
  // build report, and the project's dialogs.
  if (!testing::StartEngine(&boxes)) return 1;
  {
    QTemporaryDir work;
    MainForm().ErrorProtocolFile = work.filePath("$$ERR.$$$").toStdString();
    for (const char* file : {"main.a51", "defs.inc", "twice.inc"})
      QFile::copy(QString(DORVIK_SOURCE_DIR) + "/examples/multi/" + file, work.filePath(file));
    {
      QFile main(work.filePath("main.a51"));
      main.open(QIODevice::Append);
      main.write("        FOO     A\n");
    }
    gui::MainWindow main;
    main.resize(1100, 750);
    main.move(20, 20);
    main.show();
    if (!QTest::qWaitForWindowExposed(&main)) return 1;
    ProjectLists().ProjectModules = {{"MAIN", work.filePath("main.a51").toStdString(), {}}};
    gui::ProjectActions* projects = main.Projects();
    projects->ProjectWindow()->ShowDockable();
    projects->BuildAction();
    ok = Shoot(main, folder, "workbench-project") && ok;
    gui::ProjectDlg manager(&main);
    ok = ShootDialog(manager, folder, "project-manager") && ok;
    gui::TConfigDlg options(&main);
    const char* pages[] = {"options-file-types", "options-options", "options-environment"};
    for (int page = 0; page < 3; ++page) {
      options.Pages->setCurrentIndex(page);
      ok = ShootDialog(options, folder, pages[page]) && ok;
    }
    gui::TAdd_File_Type type(&main);
    type.SetFileType({kFileC, ".C", "sdcc -c"});
    ok = ShootDialog(type, folder, "add-file-type") && ok;
    gui::RangeDlg range(0, 0x100, &main);
    ok = ShootDialog(range, folder, "save-hex-range") && ok;
  }
  testing::StopEngine();
  return ok ? 0 : 1;
}
