// Screenshots of the workbench for review (never compared): the main window
// with its docks after a short session, its debug tool bar, the tool windows
// (watches, call stack, symbols, a memory view) and the breakpoint list and
// evaluate dialogs on the example program, with the
// disassembly as a page of the bottom area, and with the terminal floating. Writes PNG files into the
// folder given as the argument (scripts/screenshots.sh runs it under Xvfb),
// or into a temporary folder of its own when run as a test.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <cstdio>
#include <memory>

#include "assembler/context.h"
#include "assembler/driver.h"
#include "gui/breakpointlist.h"
#include "gui/debugactions.h"
#include "gui/evaluatedialog.h"
#include "gui/loaddialog.h"
#include "gui/mainwindow.h"
#include "project/projectfile.h"
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
    {
      // The tool windows on the example program, stopped inside ADDBYTE.
      QTemporaryDir work;
      const std::string source = work.filePath("sum.a51").toStdString();
      QFile::copy(QString(DORVIK_SOURCE_DIR) + "/examples/sum/sum.a51", QString::fromStdString(source));
      {
        auto context = std::make_unique<as::AsmContext>();
        as::AssembleFileWithControls(*context, source, "OBJECT DEBUG PRINT");
      }
      UseProgramFolderAsProject(source);
      testing::WhenModal("LoadDlg", [&main](QWidget*) { QTest::mouseClick(main.LoadDialog()->BtnLoad, Qt::LeftButton); });
      main.LoadProgram(work.filePath("sum.obj").toStdString());
      main.Watches()->AddWatch("TOTAL");
      main.Watches()->AddWatch("R7 + 1");
      main.Watches()->AddWatch("NOSUCH");
      main.Watches()->ShowDockable();
      main.CallStack()->ShowDockable();
      main.Symbols()->ShowDockable();
      main.OpenMemoryView(0, 0x40, 16, 0, 0, 2);
      main.MemoryView(0)->setFloating(true);
      main.MemoryView(0)->setGeometry(250, 190, 560, 150);
      for (const char* line : {"BR = NEXT", "GO", "BR = DONE"}) {
        main.Terminal()->EnterLine(line);
        main.ExecuteScannerLine();
      }
      QTimer::singleShot(50, [&main] { QTest::keyClick(main.Terminal()->Editor(), Qt::Key_Escape); });
      main.Terminal()->EnterLine("STEP");
      main.ExecuteScannerLine();
      ok = Shoot(main, folder, "tool-windows") && ok;
      gui::TBreakpointListDlg breakpoints(&main);
      breakpoints.show();
      breakpoints.move(main.geometry().center());
      ok = Shoot(main, folder, "breakpoint-list") && ok;
      breakpoints.hide();
      gui::TEvaluateDlg evaluate(&main);
      evaluate.ExpressionEdit->setText("DBYTE 40");
      evaluate.Evaluate();
      evaluate.show();
      evaluate.move(main.geometry().center());
      ok = Shoot(main, folder, "evaluate-modify") && ok;
      evaluate.hide();
      for (gui::TDockableForm* w : {static_cast<gui::TDockableForm*>(main.Watches()),
                                    static_cast<gui::TDockableForm*>(main.CallStack()),
                                    static_cast<gui::TDockableForm*>(main.Symbols()),
                                    static_cast<gui::TDockableForm*>(main.MemoryView(0))})
        w->hide();
    }
    main.Terminal()->FormDockDrop(main.Disassembly(), QPoint(2, 2));
    ok = Shoot(main, folder, "workbench-pages") && ok;
    main.Terminal()->close();
    main.Terminal()->ShowTerminal();
    main.Terminal()->move(main.geometry().center());
    ok = Shoot(main, folder, "workbench-floating") && ok;
  }
  testing::StopEngine();
  return ok ? 0 : 1;
}
