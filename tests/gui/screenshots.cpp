// Screenshots of the workbench for review (never compared): the main window
// with its docks after a short session, its debug tool bar, the tool windows
// (watches, call stack, symbols, a memory view) and the breakpoint list and
// evaluate dialogs on the example program, with the disassembly as a page of
// the bottom area, with the terminal floating, the disassembly of examples/sum
// with its labels and its source in an editor page after a load, the
// workbench with the port window and the virtual-hardware windows beside it;
// a project built with an error (project list and build report) and the
// project's dialogs. Writes PNG files into the
// folder given as the argument (scripts/screenshots.sh runs it under Xvfb),
// or into a temporary folder of its own when run as a test.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QTabWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <cstdio>
#include <memory>

#include "assembler/context.h"
#include "assembler/driver.h"
#include "base/mainform.h"
#include "project/project.h"
#include "gui/projects/addfiletype.h"
#include "gui/debug/breakpointlist.h"
#include "gui/projects/buildreport.h"
#include "gui/projects/configdlg.h"
#include "gui/debug/debugactions.h"
#include "gui/hardware/eightled.h"
#include "gui/debug/evaluatedialog.h"
#include "gui/editor/finddialog.h"
#include "gui/hardware/hardwaremenu.h"
#include "gui/dialogs/loaddialog.h"
#include "gui/hardware/portwindow.h"
#include "gui/projects/projectactions.h"
#include "gui/projects/projectdlg.h"
#include "gui/projects/projectwnd.h"
#include "gui/dialogs/rangedlg.h"
#include "gui/hardware/simform.h"
#include "gui/main/mainwindow.h"
#include "project/projectfile.h"
#include "lang/scanner.h"
#include "project/projectfile.h"
#include "tests/support/gui_fixture.h"
#include "vhw/hardware.h"

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
  platform::ScriptedDialogs dialogs;
  platform::SetDialogUi(&dialogs);
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
      testing::AssembleExample("sum/sum.a51", source);
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
      testing::WhenWaitingForKey(main.Terminal()->Editor(), Qt::Key_Escape);
      main.Terminal()->EnterLine("STEP");
      main.ExecuteScannerLine();
      ok = Shoot(main, folder, "tool-windows") && ok;
      gui::BreakpointListDialog breakpoints(&main);
      breakpoints.show();
      breakpoints.move(main.geometry().center());
      ok = Shoot(main, folder, "breakpoint-list") && ok;
      breakpoints.hide();
      gui::EvaluateDialog evaluate(&main);
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

    // examples/sum assembled with its symbols and loaded: the rows show the labels.
    main.Terminal()->close();
    main.Disassembly()->setFloating(false);
    main.addDockWidget(Qt::LeftDockWidgetArea, main.Disassembly());
    main.resizeDocks({main.Disassembly()}, {720}, Qt::Horizontal);
    const std::string source = QDir(temporary.path()).filePath("sum.a51").toStdString();
    testing::AssembleExample("sum/sum.a51", source);
    UseProgramFolderAsProject(source);
    gui::TLoadDlg* dlg = main.LoadDialog();
    testing::WhenModal("LoadDlg", [dlg](QWidget*) { QTest::mouseClick(dlg->BtnLoad, Qt::LeftButton); });
    main.LoadProgram(QDir(temporary.path()).filePath("sum.obj").toStdString());
    main.Disassembly()->FillFromAddress(0x30);
    ok = Shoot(main, folder, "disassembly-labels") && ok;
    // The source in its editor page, stopped at NEXT with a breakpoint on DONE.
    main.Terminal()->ShowTerminal();
    for (const char* line : {"BR = NEXT", "BR = DONE", "GO"}) {
      main.Terminal()->EnterLine(line);
      main.ExecuteScannerLine();
    }
    ok = Shoot(main, folder, "editor-pages") && ok;
    // The find dialogs: a search in the page, and one in the project's sources with its hits.
    {
      gui::FindDialog* find = main.FindDialog();
      find->comboText->setEditText("ADDBYTE");
      find->checkWholeWord->setChecked(true);
      find->show();
      gui::FindInFilesDialog* files = main.FindInFilesDialog();
      files->comboText->setEditText("R6");
      files->Search();
      files->show();
      QTest::qWait(100);
      for (QWidget* w : {static_cast<QWidget*>(find), static_cast<QWidget*>(files)}) {
        const QPixmap picture = w->grab();
        const QString file = folder.filePath("window-" + w->objectName() + ".png");
        const bool saved = !picture.isNull() && picture.save(file);
        std::printf("%s %s\n", saved ? "wrote" : "could not write", file.toLocal8Bit().constData());
        ok = saved && ok;
        w->hide();
      }
    }
    // The port window, an LED panel on P1 and the virtual hardware with its
    // switches read by the program (MOVX A,@DPTR; MOV P1,A) and its digit on P1.
    vhw::InstallHardwareBus();
    gui::HardwareMenu* hw = main.Hardware();
    hw->ShowPortForm();
    hw->ShowSimForm();
    hw->ShowEightLED();
    for (int bit : {1, 2, 4, 5}) hw->SimForm()->SetSwitch(bit, false);
    for (const char* line : {"CBYTE 100 = 90,80,00,E0,F5,90,80,FE", "BR = 106", "GO FROM 100"}) {
      main.Terminal()->EnterLine(line);
      main.ExecuteScannerLine();
    }
    hw->PortForm()->move(main.geometry().topRight() - QPoint(360, -120));
    hw->EightLED()->move(main.geometry().topRight() - QPoint(360, -300));
    hw->SimForm()->move(main.geometry().topRight() - QPoint(360, -430));
    ok = Shoot(main, folder, "workbench-hardware") && ok;
    for (QWidget* w : {static_cast<QWidget*>(hw->PortForm()), static_cast<QWidget*>(hw->EightLED()),
                       static_cast<QWidget*>(hw->SimForm())}) {
      const QPixmap picture = w->grab();
      const QString file = folder.filePath("window-" + w->objectName() + ".png");
      const bool saved = !picture.isNull() && picture.save(file);
      std::printf("%s %s\n", saved ? "wrote" : "could not write", file.toLocal8Bit().constData());
      ok = saved && ok;
    }
    // Debug | Write port | Port 1: the dialog with its validated field.
    QTimer::singleShot(300, [&folder, &ok] {
      QWidget* dialog = QApplication::activeModalWidget();
      const QPixmap picture = dialog != nullptr ? dialog->grab() : QPixmap();
      const QString file = folder.filePath("write-port.png");
      const bool saved = !picture.isNull() && picture.save(file);
      std::printf("%s %s\n", saved ? "wrote" : "could not write", file.toLocal8Bit().constData());
      ok = saved && ok;
      if (dialog != nullptr) dialog->close();
    });
    hw->WritePortClick(0x90, "Port 1");
    InstallBus(nullptr);
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
    Project().ProjectModules = {{"MAIN", work.filePath("main.a51").toStdString(), {}}};
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
