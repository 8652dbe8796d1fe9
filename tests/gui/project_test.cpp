// The workbench's projects and build through its real windows: a project made
// in the project manager, built, loaded and run; the build report leading to
// the source line of an error; the options dialog registering a file type and
// round-tripping the options through the project file; question 41's way into
// the project manager; Save HEX of a chosen range; the recent projects list.

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <memory>

#include "base/mainform.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/runstate.h"
#include "debugger/editormodel.h"
#include "gui/projects/addfiletype.h"
#include "gui/projects/buildreport.h"
#include "gui/projects/configdlg.h"
#include "gui/debug/terminaledit.h"
#include "gui/dialogs/loaddialog.h"
#include "gui/dialogs/rangedlg.h"
#include "gui/dialogs/validators.h"
#include "gui/editor/editorpages.h"
#include "gui/main/mainwindow.h"
#include "gui/projects/projectactions.h"
#include "gui/projects/projectdlg.h"
#include "gui/projects/projectwnd.h"
#include "lang/formatting.h"
#include "lang/typedvalue.h"
#include "base/userseam.h"
#include "loader/loader.h"
#include "platform/dialogs.h"
#include "platform/ini.h"
#include "tests/support/gui_fixture.h"
#include "tests/support/scripted_chooser.h"
#include "workspace/build.h"
#include "workspace/openproject.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

class ProjectTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    boxes_.Clear();
    QVERIFY(StartEngine(&boxes_));
    dirs_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dirs_->isValid());
    MainForm().ErrorProtocolFile = Path("$$ERR.$$$");
    MainForm().IniFileName = Path("dorvik51-gui.INI");
    QVERIFY(ShowMainWindow(main_));
    projects_ = main_->Projects();
    platform::SetDialogUi(&dialogs_);
    for (const char* file : {"main.a51", "defs.inc", "twice.inc"})
      QVERIFY(QFile::copy(QString(DORVIK_SOURCE_DIR) + "/examples/multi/" + file, dirs_->filePath(file)));
  }
  void cleanup() {
    main_.reset();
    StopEngine();
  }

  void newProjectBuiltLoadedAndRun() {
    projects_->NewProject();
    std::ofstream(Path("lib.a51")) << "        NAME    LIB\n        CSEG    AT 200H\n        RET\n        END\n";
    ScriptedChooser chooser;
    chooser.FileLists = {{dirs_->filePath("main.a51"), dirs_->filePath("lib.a51")}};
    WhenModal("ProjectDlg", [](QWidget* w) {
      auto* dlg = static_cast<ProjectDlg*>(w);
      QTest::mouseClick(dlg->btnAdd, Qt::LeftButton);
      QCOMPARE(dlg->ModuleList->count(), 2);
      QTest::mouseClick(dlg->btnOK, Qt::LeftButton);
    });
    QCOMPARE(projects_->ProjectManager(), 1);
    QCOMPARE(int(Project().ProjectModules.size()), 2);
    QCOMPARE(QString::fromStdString(Project().ProjectModules[1].Name), QString("LIB"));
    QCOMPARE(projects_->ProjectWindow()->Tree()->topLevelItemCount(), 2);
    // MAIN's include files are listed under it.
    QCOMPARE(projects_->ProjectWindow()->Tree()->topLevelItem(0)->childCount(), 2);

    QVERIFY(projects_->BuildAndLoad());
    QVERIFY(std::filesystem::exists(Path("lib.obj")));
    QVERIFY(Loader().ProjectLoaded);
    QCOMPARE(main_->StatusField("stPC")->text(), QString("PC 0030"));
    QVERIFY(projects_->Report()->isVisible());
    QVERIFY(projects_->Report()->Lines()->count() > 0);
    // One step (Esc then ends the stepping), then a run to a breakpoint.
    TerminalEdit* edit = main_->Terminal()->Editor();
    WhenWaitingForKey(edit, Qt::Key_Escape);
    QTest::keyClicks(edit, "STEP");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(main_->StatusField("stPC")->text(), QString("PC 0033"));
    for (const char* line : {"BR = DONE", "GO"}) {
      main_->Terminal()->EnterLine(line);
      main_->ExecuteScannerLine();
    }
    QVERIFY2(main_->Terminal()->Editor()->toPlainText().contains("EXECUTION HALTED AT 0042"),
             qPrintable(main_->Terminal()->Editor()->toPlainText()));
    QCOMPARE(main_->windowTitle(), QString("Dorvik51 - Halted"));
    // Nothing is out of date now: Build builds nothing.
    QCOMPARE(projects_->BuildAction(), BuildOutcome::Built);
    QCOMPARE(projects_->Report()->Lines()->count(), 0);

    // Closing an unnamed project with modules asks 66; No keeps the window.
    boxes_.Clear();
    boxes_.QueueAnswer(platform::kBoxNo);
    QVERIFY(!main_->close());
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Caption), QString("Warning #66"));
    // Saved under a name, it closes and is written.
    chooser.Files = {Path("NEW")};
    projects_->SaveProjectAsAction();
    QCOMPARE(QString::fromStdString(projects_->ProjectFile()), dirs_->filePath("NEW.QPC"));
    const std::string saved = ReadFile(Path("NEW.QPC"));
    QVERIFY(saved.find("[PROJECT]\nMAIN=main.a51\nLIB=lib.a51\n") != std::string::npos);
    // The two windows' places are kept in [DORVIK] as the others'.
    QVERIFY2(saved.find("\nBuildReport=1,") != std::string::npos && saved.find("\nProjectWnd=0,") != std::string::npos, saved.c_str());
    // The breakpoint set by BR = DONE, kept for the next session.
    QVERIFY2(saved.find("[DEBUG]\nBreak0=0042,:MAIN.DONE\nBreak0Enabled=TRUE\n") != std::string::npos, saved.c_str());
    QCOMPARE(projects_->Recent("Project").value(0), dirs_->filePath("NEW.QPC"));
  }

  void anErrorInTheReportOpensItsLine() {
    std::string text = ReadFile(Path("main.a51"));
    const std::string after = "        MOV     A,#SEED\n";
    const size_t at = text.find(after);
    QVERIFY(at != std::string::npos);
    text.insert(at + after.size(), "        FOO     A\n");
    WriteFile(Path("main.a51"), text);
    const int line = static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at + after.size()), '\n')) + 1;
    Project().ProjectModules = {{"MAIN", Path("main.a51"), {}}};
    const BuildOutcome outcome = projects_->BuildAction();
    QCOMPARE(outcome, BuildOutcome::Errors);
    QListWidget* lines = projects_->Report()->Lines();
    const auto rows = lines->findItems("*** ERROR", Qt::MatchStartsWith);
    QCOMPARE(int(rows.size()), 1);
    // Listing mode: the error line's statement found through its line number.
    const int errorRow = lines->row(rows.front());
    QVERIFY(projects_->Report()->OpenLine(errorRow));
    QCOMPARE(EditorModel().LocateLine.Line, line);
    QCOMPARE(QString::fromStdString(EditorModel().LocateLine.FileName).toUpper(), dirs_->filePath("main.a51").toUpper());
    QCOMPARE(LineMarkColor(EditorModel().LocateLine.Page, line), int64_t{kLocateLineColor});
    // The page shows it, sky blue.
    main_->SyncViews();
    QCOMPARE(main_->Pages()->currentIndex(), EditorModel().LocateLine.Page);
    QCOMPARE(main_->Pages()->Page(EditorModel().LocateLine.Page)->MarkColor(line), QColor(166, 202, 240));
    // Source mode: the statement line above it found in the source, by a double click or Enter.
    ClearLineMark(EditorModel().LocateLine);
    const QPoint where = lines->visualItemRect(lines->item(errorRow - 1)).center();
    QTest::mouseClick(lines->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(lines->viewport(), Qt::LeftButton, {}, where);
    QCOMPARE(EditorModel().LocateLine.Line, line);
    ClearLineMark(EditorModel().LocateLine);
    lines->setCurrentRow(errorRow - 1);
    QTest::keyClick(lines, Qt::Key_Return);
    QCOMPARE(EditorModel().LocateLine.Line, line);
    // A line that names no source opens nothing.
    QVERIFY(!projects_->Report()->OpenLine(0));
  }

  // Each box of the options is written to its own key and read back into its
  // own box; the others keep theirs.
  void eachOptionBoxHasItsOwnKey() {
    struct Option {
      const char* Box;
      const char* Section;
      const char* Key;
      bool (*Value)();
    };
    const Option options[] = {
        {"cbIntMSBFirst", "OPTIONS", "IntMSBFirst", [] { return TypedValues().IntMSBFirst; }},
        {"cbFloatMSBFirst", "OPTIONS", "FloatMSBFirst", [] { return TypedValues().FloatMSBFirst; }},
        {"cbLoadAutomatically", "LOADER", "LoadAutomaticallyOnStart",
         [] { return Project().Loader.LoadAutomaticallyOnStart; }},
    };
    const std::string path = dirs_->filePath("OPT.QPC").toStdString();
    for (const Option& changed : options) {
      QTest::qWait(0);
      const TypedValueOptions typed = TypedValues();
      const LoaderOptions loader = Project().Loader;
      std::vector<bool> before;
      for (const Option& o : options) before.push_back(o.Value());
      {
        TConfigDlg dlg(main_.get());
        auto* box = dlg.findChild<QCheckBox*>(changed.Box);
        QVERIFY(box != nullptr);
        box->setChecked(!box->isChecked());
        QVERIFY(dlg.Apply());
      }
      QVERIFY(WriteProject(path));
      platform::IniFile file;
      QVERIFY(file.Load(path));
      for (size_t i = 0; i < std::size(options); ++i) {
        const bool expected = &options[i] == &changed ? !before[i] : before[i];
        QCOMPARE(QString::fromStdString(file.ReadString(options[i].Section, options[i].Key)),
                 QString(expected ? "Yes" : "No"));
      }
      // Back: the engine as before, the file read, the box shows it.
      TypedValues() = typed;
      Project().Loader = loader;
      QVERIFY(dorvik::OpenProject(path));
      TConfigDlg shown(main_.get());
      for (size_t i = 0; i < std::size(options); ++i) {
        const bool expected = &options[i] == &changed ? !before[i] : before[i];
        QCOMPARE(options[i].Value(), expected);
        QCOMPARE(shown.findChild<QCheckBox*>(options[i].Box)->isChecked(), expected);
      }
      TypedValues() = typed;
      Project().Loader = loader;
    }
  }

  void optionsRegisterAFileTypeAndRoundTrip() {
    const std::string project = Path("OPT.QPC");
    WriteFile(project, "Target=VOV51\n[PROJECT]\nMAIN=main.a51\n");
    QVERIFY(projects_->OpenProject(project));
    // An unregistered extension: 314 in the manager, not added; a registered
    // include file is added without a message.
    WriteFile(Path("extra.s"), "        NOP\n        END\n");
    WriteFile(Path("defs.inc"), "SEED    EQU     5\n");
    {
      ProjectDlg dlg(main_.get());
      dlg.AddFiles({dirs_->filePath("extra.s")});
      QCOMPARE(dlg.ModuleList->count(), 1);
      QCOMPARE(QString::fromStdString(boxes_.Shown().back().Caption), QString("Error #314"));
      boxes_.Clear();
      dlg.AddFiles({dirs_->filePath("defs.inc")});
      QCOMPARE(dlg.ModuleList->count(), 2);
      QVERIFY(dlg.ModuleList->item(1)->text().endsWith("(Include)"));
      QVERIFY(boxes_.Shown().empty());
    }
    // The options dialog registers it with the built-in assembler, and sets the options.
    WhenModal("ConfigDlg", [](QWidget* w) {
      auto* dlg = static_cast<TConfigDlg*>(w);
      WhenModal("Add_File_Type", [](QWidget* t) {
        auto* add = static_cast<TAdd_File_Type*>(t);
        add->editExtension->setText("s");
        add->SelectTypeItem("assembler");
        add->editTool->setText("diz52");
        QTest::mouseClick(add->btnOK, Qt::LeftButton);
      });
      QTest::mouseClick(dlg->btnAddType, Qt::LeftButton);
      dlg->findChild<QRadioButton*>("Speed57600")->setChecked(true);
      dlg->cbLoadAutomatically->setChecked(true);
      dlg->editLastLoadPath->setText("main.obj");
      dlg->cbIntMSBFirst->setChecked(false);
      dlg->editDataPtrSelectors->setText("1,4,9");
      dlg->AddVariable();
      QCOMPARE(dlg->Variables->rowCount(), 1);
      QTest::mouseClick(dlg->btnOK, Qt::LeftButton);
    });
    // An environment variable through the name/value dialog, with its Browse button.
    dialogs_.PairReplies.push_back({platform::DialogAction::Ok, "D51INC", "/usr/share/inc", true});
    QCOMPARE(projects_->Options(), 1);
    QCOMPARE(QString::fromStdString(dialogs_.PairsShown.back().Caption), QString("Add Environment Variable"));
    QVERIFY(dialogs_.PairsShown.back().BrowseVisible);
    {
      ProjectDlg dlg(main_.get());
      dlg.AddFiles({dirs_->filePath("extra.s")});
      QCOMPARE(dlg.ModuleList->count(), 2);
    }
    // Written to the project file; a new project forgets, opening it brings all back.
    const std::string text = ReadFile(project);
    QVERIFY2(text.find(".S=1,diz52\n") != std::string::npos && text.find("Download Speed=57600\n") != std::string::npos,
             text.c_str());
    // A change not written yet is written when another project comes.
    TypedValues().FloatMSBFirst = false;
    projects_->NewProject();
    QVERIFY(ReadFile(project).find("FloatMSBFirst=No\n") != std::string::npos);
    QVERIFY(FindFileType(".S") == nullptr);
    QVERIFY(projects_->OpenProject(project));
    QVERIFY(FindFileType(".s") != nullptr);
    QCOMPARE(Project().Loader.DownloadSpeed, 1);
    QVERIFY(Project().Loader.LoadAutomaticallyOnStart);
    QCOMPARE(QString::fromStdString(Project().Loader.LastLoadPath), dirs_->filePath("main.obj"));
    QVERIFY(!TypedValues().IntMSBFirst);
    QVERIFY(!TypedValues().FloatMSBFirst);
    QCOMPARE(int(Project().Variables.size()), 1);
    // A project that is not there: 308, the one in use stays.
    QVERIFY(!projects_->OpenProject(Path("NONE.QPC")));
    QCOMPARE(QString::fromStdString(projects_->ProjectFile()), QString::fromStdString(project));
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Caption), QString("Error #308"));
    TConfigDlg shown(main_.get());
    QCOMPARE(shown.DownloadSpeedIndex(), 1);
    QCOMPARE(shown.editDataPtrSelectors->text(), QString("1,4,9"));
    // A selector beyond a byte keeps the dialog open on its field.
    shown.editDataPtrSelectors->setText("1,300");
    QVERIFY(!shown.Apply());
    QCOMPARE(shown.labelSelectorError->text(), QString("DATA pointer selectors: Error #118: Syntax Error"));
    // Typed as a user types them (the field drops what is no digit or comma):
    // no list of byte values, its field named, nothing applied.
    shown.editDataPtrSelectors->setText("1,4,9");
    const std::bitset<256> before = Formatting().CodePtrSelectors;
    for (const char* typed : {"zz,,-1", "abc,999"}) {
      shown.editCodePtrSelectors->clear();
      QTest::keyClicks(shown.editCodePtrSelectors, typed);
      shown.labelSelectorError->clear();
      QVERIFY2(!shown.Apply(), typed);
      QCOMPARE(shown.labelSelectorError->text(), QString("CODE pointer selectors: Error #118: Syntax Error"));
      QCOMPARE(Formatting().CodePtrSelectors, before);
    }
  }

  void executeRunsAProgramWithTheLineClosed() {
    projects_->Execute1Click("echo ran > " + Path("ran.txt") + "; echo shown");
    QCOMPARE(QString::fromStdString(ReadFile(Path("ran.txt"))), QString("ran\n"));
    // Its output is in the report.
    QCOMPARE(projects_->Report()->Lines()->count(), 2);
    QCOMPARE(projects_->Report()->Lines()->item(1)->text(), QString("shown"));
    // From the Execute dialog, which keeps its history.
    dialogs_.InputReplies.push_back({platform::DialogAction::Ok, "echo again > " + Path("again.txt")});
    projects_->Execute1Click();
    QVERIFY(std::filesystem::exists(Path("again.txt")));
  }

  void aTypeWithoutCompilerAsksForOne() {
    WriteFile(Path("c.c"), "int x;\n");
    Project().ProjectModules = {{"C", Path("c.c"), {}}};
    ScriptedChooser chooser;
    chooser.Files = {"/bin/true"};
    WhenModal("Add_File_Type", [](QWidget* w) {
      auto* add = static_cast<TAdd_File_Type*>(w);
      QCOMPARE(add->comboType->currentText(), QString("C"));
      QCOMPARE(add->editTool->text(), QString("/bin/true"));
      QTest::mouseClick(add->btnOK, Qt::LeftButton);
    });
    QCOMPARE(projects_->BuildAction(), BuildOutcome::Built);
    QCOMPARE(QString::fromStdString(FindFileType(".C")->Compiler), QString("/bin/true"));
  }

  // A dialog that a build opens takes its input, also in a completion list
  // that is a window of its own; the build goes on and File | Exit is obeyed.
  void aBuildsDialogTakesInputInItsLists() {
    WriteFile(Path("c.c"), "int x;\n");
    Project().ProjectModules = {{"C", Path("c.c"), {}}};
    bool waitFormOver = false;
    ScriptedChooser choosers;
    choosers.FileAnswer = [this, &waitFormOver](const FileQuestion&) {
      QDialog chooser(QApplication::activeWindow());
      auto* edit = new QLineEdit(&chooser);
      auto* completer = new QCompleter(QStringList{"/bin/true"}, edit);
      edit->setCompleter(completer);
      QTimer::singleShot(0, &chooser, [this, &waitFormOver, &chooser, edit, completer] {
        // The wait form, due meanwhile, covers no part of the dialog.
        QTest::qWait(400);
        waitFormOver = main_->WaitForm()->isVisible();
        // The list completes into the field that has the keys.
        QApplication::setActiveWindow(&chooser);
        edit->setFocus();
        QTest::keyClicks(edit, "/bin/tr");
        QAbstractItemView* list = completer->popup();
        if (list->isVisible())
          QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        QTest::keyClick(edit, Qt::Key_Escape);
      });
      chooser.exec();
      return edit->text().toStdString();
    };
    QString typed;
    WhenModal("Add_File_Type", [&typed](QWidget* w) {
      auto* add = static_cast<TAdd_File_Type*>(w);
      typed = add->editTool->text();
      QTest::mouseClick(add->btnOK, Qt::LeftButton);
    });
    const BuildOutcome outcome = projects_->BuildAction();
    QVERIFY(!waitFormOver);
    QCOMPARE(typed, QString("/bin/true"));
    QCOMPARE(outcome, BuildOutcome::Built);
    QCOMPARE(QString::fromStdString(FindFileType(".C")->Compiler), QString("/bin/true"));
    main_->FileExit1Execute();
    QVERIFY(!main_->isVisible());
  }

  void escStopsAToolThatHangs() {
    const std::string tool = Path("hang.sh");
    WriteFile(tool, "#!/bin/sh\nsleep 30\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    Project().FileTypeList = {{kFileC, ".C", tool}};
    WriteFile(Path("c.c"), "int x;\n");
    Project().ProjectModules = {{"C", Path("c.c"), {}}};
    // Keys typed meanwhile are not read; Esc stops the tool.
    TerminalEdit* edit = main_->Terminal()->Editor();
    QTimer::singleShot(100, edit, [edit] {
      QTest::keyClicks(edit, "GO");
      QTest::keyClick(edit, Qt::Key_Return);
    });
    QTimer::singleShot(300, main_.get(), [this] { QTest::keyClick(main_.get(), Qt::Key_Escape); });
    QElapsedTimer took;
    took.start();
    QCOMPARE(projects_->BuildAction(), BuildOutcome::Stopped);
    QVERIFY(took.elapsed() < 10000);
    QVERIFY2(boxes_.Shown().empty(), boxes_.Shown().empty() ? "" : boxes_.Shown().front().Text.c_str());
    QVERIFY(!main_->BusyShown());
    QVERIFY(!edit->toPlainText().contains("GO"));
    QCOMPARE(main_->windowTitle(), QString("Dorvik51 - Reset"));
  }

  void question41OpensTheManagerOnTheModule() {
    Project().ProjectModules = {{"MAIN", Path("main.a51"), {}}};
    WriteFile(Path("lib.a51"), "        RET\n        END\n");
    ScriptedChooser chooser;
    chooser.FileLists = {{dirs_->filePath("lib.a51")}};
    bool seen = false;
    projects_->OnProjectDlg = [&seen](ProjectDlg& dlg) {
      seen = true;
      QVERIFY(dlg.AddingFromLoader);
      QCOMPARE(dlg.PrjManOpenDlgFileName, QString("LIB.*"));
      // The open dialog comes up by itself; once its file is in, OK (Cancel
      // if it never is, and the module is missing below).
      auto* poll = new QTimer(&dlg);
      auto deadline = std::make_shared<QElapsedTimer>();
      deadline->start();
      QObject::connect(poll, &QTimer::timeout, &dlg, [&dlg, deadline] {
        if (dlg.ModuleList->count() == 2)
          dlg.btnOK->click();
        else if (deadline->elapsed() > 10000)
          dlg.btnCancel->click();
      });
      poll->start(10);
    };
    // What the loader calls when question 41 is answered Yes.
    User().AddModuleToProject("LIB");
    QVERIFY(seen);
    QCOMPARE(int(Project().ProjectModules.size()), 2);
    QCOMPARE(QString::fromStdString(Project().ProjectModules[1].Name), QString("LIB"));
  }

  // The build report is pulled by its revision when the main window syncs.
  void theReportFollowsItsRevision() {
    BuildReport* report = projects_->Report();
    QVERIFY(report->isHidden());
    Build().Report = {{"one", {}, {}, {}, -1}};
    main_->SyncViews();
    QVERIFY(report->isHidden());  // not bumped: not read
    ++Build().ReportRevision;
    main_->SyncViews();
    QVERIFY(!report->isHidden());
    QCOMPARE(report->Lines()->count(), 1);
  }

  // The engine's waits keep the window going through the platform pump, and
  // Esc's stop request is their answer.
  void waitsHandTheWindowItsEvents() {
    bool handled = false;
    QTimer::singleShot(0, main_.get(), [&handled] { handled = true; });
    QVERIFY(User().KeepWaiting());
    QVERIFY(handled);
    Build().StopRequested = true;
    QVERIFY(!User().KeepWaiting());
    Build().StopRequested = false;
  }

  // Started with a project named relative to the working folder, the
  // manager's Add and question 41's open in the project's folder.
  void addOpensInTheProjectsFolder() {
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dirs_->path()));
    Project().ProjectFileName = "p.QPC";
    Project().ProjectModules = {{"MAIN", Path("main.a51"), {}}};
    for (const bool fromLoader : {false, true}) {
      QString shown;
      projects_->OnProjectDlg = [&shown](ProjectDlg& dlg) {
        WhenModal("PrjManOpenDlg", [&shown, &dlg](QWidget* f) {
          // The folder the dialog shows ("Computer" at the file system's root).
          if (auto* lookIn = f->findChild<QComboBox*>("lookInCombo")) shown = lookIn->currentText();
          static_cast<QDialog*>(f)->reject();
          QTimer::singleShot(0, &dlg, [&dlg] { dlg.btnCancel->click(); });
        });
        if (!dlg.AddingFromLoader) QTimer::singleShot(0, &dlg, [&dlg] { dlg.btnAdd->click(); });
      };
      if (fromLoader)
        User().AddModuleToProject("LIB");
      else
        projects_->ProjectManager();
      QVERIFY2(!shown.isEmpty() && QFileInfo(shown).canonicalFilePath() == QFileInfo(dirs_->path()).canonicalFilePath(),
               qPrintable(shown));
    }
    projects_->OnProjectDlg = nullptr;
    QDir::setCurrent(before);
  }

  void saveHexOfAChosenRangeAndAutomaticLoad() {
    WriteFile(Path("p.hex"), ":03010000020100F9\r\n:00000001FF\r\n");
    // Loaded as on start: no click on Load.
    QVERIFY(main_->LoadProgram(Path("p.hex"), true));
    const std::string saved = Path("saved.hex");
    ScriptedChooser chooser;
    chooser.Files = {saved};
    WhenModal("RangeDlg", [this](QWidget* w) {
      auto* range = static_cast<RangeDlg*>(w);
      QCOMPARE(range->editStart->text(), QString("0100"));
      QCOMPARE(range->editEnd->text(), QString("0102"));
      // The last address below the first is refused, in the fields' hexadecimal; the dialog stays.
      range->editStart->setText("0102");
      range->editEnd->setText("0101");
      boxes_.Clear();
      QTest::mouseClick(range->btnOK, Qt::LeftButton);
      QVERIFY(range->isVisible());
      QCOMPARE(int(boxes_.Shown().size()), 1);
      QCOMPARE(QString::fromStdString(boxes_.Shown()[0].Text), QString("Value not in range 0102 .. FFFF."));
      // "GGGG" typed as the start leaves no address (its keys are dropped): refused as well.
      range->editStart->clear();
      range->editEnd->setText("0102");
      QTest::keyClicks(range->editStart, "GGGG");
      QTest::mouseClick(range->btnOK, Qt::LeftButton);
      QVERIFY(range->isVisible());
      QCOMPARE(int(boxes_.Shown().size()), 2);
      QCOMPARE(QString::fromStdString(boxes_.Shown()[1].Text), QString("Value not in range 0000 .. FFFF."));
      range->editStart->setText("0101");
      range->editEnd->setText("0102");
      WhenModal("LoadDlg", [](QWidget* d) { QTest::mouseClick(static_cast<TLoadDlg*>(d)->BtnLoad, Qt::LeftButton); });
      QTest::mouseClick(range->btnOK, Qt::LeftButton);
    });
    main_->SaveHEXClick();
    QCOMPARE(QString::fromStdString(ReadFile(saved)), QString(":020101000100FB\r\n:00000001FF\r\n"));
    QCOMPARE(projects_->Recent("FILE").value(0), dirs_->filePath("p.hex"));
  }

  // Each file-type kind: chosen by its name in the file-type dialog, written
  // to the project file as its digit, read back, shown by its name in the
  // options and again in the dialog.
  void eachFileTypeKindRoundTripsThroughTheProjectFile() {
    const char* names[] = {"Assembler", "PL/M", "C", "Include", "Link map", "Object", "Listing"};
    const std::string project = Path("KINDS.QPC");
    for (uint8_t kind = 1; kind <= 7; ++kind) {
      const QString name = names[kind - 1];
      const std::string ext = ".X" + std::to_string(kind);
      TAdd_File_Type add(main_.get());
      add.editExtension->setText(QString::fromStdString(ext));
      add.SelectTypeItem(name.toLower().toStdString());
      add.editTool->setText("tool");
      Project().FileTypeList = {add.FileType()};
      QVERIFY(WriteProject(project));
      QVERIFY2(ReadFile(project).find(ext + "=" + std::to_string(kind) + ",tool\n") != std::string::npos, qPrintable(name));
      projects_->NewProject();
      QVERIFY(projects_->OpenProject(project));
      const tFileTypeRec* back = FindFileType(ext);
      QVERIFY(back != nullptr && back->Kind == kind);
      TConfigDlg options(main_.get());
      QCOMPARE(options.FileTypes->item(0, 1)->text(), name);
      TAdd_File_Type shown(main_.get());
      shown.SetFileType(*back);
      QCOMPARE(shown.comboType->currentText(), name);
    }
  }

  // Each recent list: an entry that comes again (by another spelling of its
  // path too) moves to the top and is not listed twice; the eight newest are
  // kept; the other list stays as it was.
  void eachRecentListTakesAnEntryThatComesAgainOnTop() {
    const struct {
      std::string Kind, Other;
    } lists[] = {{"Project", "FILE"}, {"FILE", "Project"}};
    for (const auto& l : lists) {
      QFile::remove(dirs_->filePath("dorvik51-gui.INI"));
      projects_->AddRecent(l.Other, Path("other"));
      for (const char* name : {"a", "b", "c"}) projects_->AddRecent(l.Kind, Path(name));
      projects_->AddRecent(l.Kind, Path("x/../a"));
      QCOMPARE(projects_->Recent(l.Kind), QStringList({dirs_->filePath("a"), dirs_->filePath("c"), dirs_->filePath("b")}));
      for (int i = 0; i < 8; ++i) projects_->AddRecent(l.Kind, Path(QString::number(i)));
      QCOMPARE(projects_->Recent(l.Kind).size(), 8);
      QCOMPARE(projects_->Recent(l.Kind).front(), dirs_->filePath("7"));
      QCOMPARE(projects_->Recent(l.Other), QStringList({dirs_->filePath("other")}));
    }
  }

 private:
  std::string Path(const QString& name) const { return dirs_->filePath(name).toStdString(); }

  platform::ScriptedReporter boxes_;
  platform::ScriptedDialogs dialogs_;
  std::unique_ptr<MainWindow> main_;
  ProjectActions* projects_ = nullptr;
  std::unique_ptr<QTemporaryDir> dirs_;  // a fresh folder for each test
};

QTEST_MAIN(ProjectTest)
#include "project_test.moc"
