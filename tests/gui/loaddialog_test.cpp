// The load dialog: the options shown as its check boxes and read back by the
// load, the flash box of the processor family, the dialog's results (Escape
// during a load, nothing to do), the HEX save, and a session that loads the
// example from the dialog and debugs it in the terminal dock.

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

#include "assembler/context.h"
#include "assembler/driver.h"
#include "base/projectlists.h"
#include "base/runstate.h"
#include "gui/loaddialog.h"
#include "gui/mainwindow.h"
#include "loader/loader.h"
#include "machine/images.h"
#include "platform/ini.h"
#include "project/config.h"
#include "project/projectfile.h"
#include "tests/support/gui_fixture.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

class LoadDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(StartEngine(&boxes_));
    platform::SetDialogUi(&dialogs_);  // the stack question is cancelled
    QVERIFY(dir_.isValid());
    main_ = std::make_unique<MainWindow>();
    main_->show();
    dlg_ = main_->LoadDialog();
  }
  void cleanup() {
    main_.reset();
    StopEngine();
  }

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
    ProjectLists().ProjectFileName = project;
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
    main_->ChooseHexFile = [saved] { return saved; };
    WhenModal("LoadDlg", [this](QWidget*) {
      QCOMPARE(dlg_->BtnLoad->text(), QString("Save"));
      QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton);
    });
    main_->SaveHEXClick();
    QCOMPARE(QString::fromStdString(ReadFile(saved)), QString(":03010000020100F9\r\n:00000001FF\r\n"));
  }

  void sessionLoadsTheExampleAndDebugsIt() {
    const std::string source = (dir_.path() + "/sum.a51").toStdString();
    QVERIFY(QFile::copy(QString(DORVIK_SOURCE_DIR) + "/examples/sum/sum.a51", QString::fromStdString(source)));
    {
      auto context = std::make_unique<as::AsmContext>();
      as::AssembleFileWithControls(*context, source, "OBJECT DEBUG PRINT");
    }
    UseProgramFolderAsProject(source);
    RunControl().PrintSourceLines = true;
    main_->ChooseProgramFile = [this] { return (dir_.path() + "/sum.obj").toStdString(); };
    WhenModal("LoadDlg", [this](QWidget*) { QTest::mouseClick(dlg_->BtnLoad, Qt::LeftButton); });
    main_->LoadProgramAction();
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Text),
             QString("Load succesful, last address used 004D"));
    QCOMPARE(main_->StatusField("stPC")->text(), QString("PC 0030"));
    QCOMPARE(dlg_->StaticTextLoadFile->text(), dir_.path() + "/sum.obj");

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
    QTimer::singleShot(50, edit, [edit] { QTest::keyClick(edit, Qt::Key_Escape); });
    QTest::keyClicks(edit, "STEP");
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY2(edit->toPlainText().contains("003AH LCALL   ADDBYTE----->0044H CLR     A\n" + dir_.path() +
                                          "/sum.a51:23: CLR     A"),
             qPrintable(edit->toPlainText()));
    QCOMPARE(main_->StatusField("stPC")->text(), QString("PC 0044"));
    QCOMPARE(main_->StatusField("stSP")->text(), QString("SP 61"));
  }

 private:
  std::string Write(const QString& name, const std::string& text) {
    const std::string path = (dir_.path() + "/" + name).toStdString();
    WriteFile(path, text);
    return path;
  }

  platform::ScriptedReporter boxes_;
  platform::ScriptedDialogs dialogs_;
  QTemporaryDir dir_;
  std::unique_ptr<MainWindow> main_;
  TLoadDlg* dlg_ = nullptr;
};

QTEST_MAIN(LoadDialogTest)
#include "loaddialog_test.moc"
