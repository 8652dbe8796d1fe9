// The disassembly window's rows as the line rendering gives them: the code
// bytes, the source-line and label columns only once a line has a source
// reference or a label, the comments behind symbolic operands, the display
// options followed; after a load the program counter located and the window's
// page brought forward. The terminal's own popup menu.

#include <QContextMenuEvent>
#include <QPushButton>
#include <QMenu>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "base/runstate.h"
#include "debugger/terminal.h"
#include "debugger/toolviews.h"
#include "gui/debug/disaswindow.h"
#include "gui/dialogs/loaddialog.h"
#include "gui/main/mainwindow.h"
#include "lang/collections.h"
#include "project/projectfile.h"
#include "tests/support/gui_fixture.h"
#include "tests/support/scripted_chooser.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

class DisasWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(StartEngine(&boxes_));
    platform::SetDialogUi(&dialogs_);  // the stack question is cancelled
    QVERIFY(ShowMainWindow(main_));
    disas_ = main_->Disassembly();
    QVERIFY(dir_.isValid());
  }
  void cleanup() {
    main_.reset();
    StopEngine();
  }

  void plainCodeHasNoSourceOrLabelColumns() {
    // An immediate shown as a number gets the other radix; a jump target
    // without a symbol no comment in radix 16.
    Type("CBYTE 0 = 74,41,80,FC");
    disas_->LocateAddress(0);
    QCOMPARE(disas_->Columns().SourceLine, size_t{0});
    QCOMPARE(disas_->Columns().Label, size_t{0});
    QCOMPARE(Row(0), QString("0000H 7441    MOV     A,#041H ;#65T"));
    QCOMPARE(Row(2), QString("0002H 80FC    SJMP    00"));

    // BASE is followed without a refresh of the target: decimal numbers, the
    // immediate's comment in hexadecimal, the jump target's in hexadecimal.
    Type("BASE = DECIMAL");
    main_->SyncViews();
    QCOMPARE(Row(0), QString("0000H 7441    MOV     A,#065  ;#041H"));
    QCOMPARE(Row(2), QString("0002H 80FC    SJMP    00      ;00000H"));
  }

  void debugObjectShowsLinesLabelsAndComments() {
    LoadSum();
    // The assembler's object carries labels: the label column comes, no source-line column yet.
    QCOMPARE(disas_->Columns().SourceLine, size_t{0});
    QVERIFY(disas_->Columns().Label >= std::string("START:").size());
    // The program counter is located with the code that follows it in the rows.
    QCOMPARE(disas_->Rows()->currentItem()->data(Qt::UserRole).toInt(), 0x30);
    QVERIFY(disas_->RowOf(0x48) > disas_->RowOf(0x30));
    QVERIFY2(Row(0x30).contains(QRegularExpression(R"(^0030H 75815F  START: +MOV     SP,#05FH +;#95T$)")),
             qPrintable(Row(0x30)));

    // With the line numbers an object's line records give, the source-line column comes too.
    AddLineSymbols({{0x30, 11}, {0x33, 12}, {0x3A, 15}, {0x3D, 16}, {0x3E, 17}, {0x44, 23}});
    disas_->FillFromAddress(0x30);
    QVERIFY(disas_->Columns().SourceLine >= std::string(":SUM#15").size());
    const QRegularExpression call(R"(^003AH 120044  :SUM#15 +NEXT: +LCALL   ADDBYTE +;00044H \(:SUM#23\)$)");
    QVERIFY2(call.match(Row(0x3A)).hasMatch(), qPrintable(Row(0x3A)));
    // The columns line up whatever a row holds.
    QCOMPARE(Row(0x3D).indexOf("INC"), Row(0x3A).indexOf("LCALL"));
    QCOMPARE(Row(0x33).indexOf(";"), Row(0x3A).indexOf(";"));

    // DISABLE SYMBOLS: numbers at the next sync, the source reference stays.
    Type("DISABLE SYMBOLS");
    main_->SyncViews();
    QVERIFY2(Row(0x3A).contains(QRegularExpression(R"(LCALL   44 +;\(:SUM#23\)$)")), qPrintable(Row(0x3A)));
    Type("ENABLE SYMBOLS");
    main_->SyncViews();
    QVERIFY2(call.match(Row(0x3A)).hasMatch(), qPrintable(Row(0x3A)));
  }

  // A breakpoint changed by any road (here none that types a command) shows
  // at the next sync: set, disabled, cleared.
  void breakpointImagesFollowTheTableAtTheNextSync() {
    Type("CBYTE 0 = 00,00,00");
    disas_->LocateAddress(0);
    const auto dot = [this] { return disas_->Rows()->item(disas_->RowOf(1))->data(Qt::UserRole + 1).toInt(); };
    const std::vector<std::pair<std::function<void()>, int>> steps = {
        {[] { SetBreakpointAt(Breakpoints().BreakTable[0], 1, false); }, 1},
        {[] { EnableBreakpointByName("Br0", false); }, 2},
        {[] { ClearBreakpointByName("Br0"); }, 0},
    };
    for (const auto& [change, shown] : steps) {
      change();
      main_->SyncViews();
      QCOMPARE(dot(), shown);
    }
  }

  void loadBringsTheDisassemblyPageForward() {
    // The disassembly is a page behind the terminal.
    QVERIFY(main_->Terminal()->FormDockDrop(disas_, QPoint(2, 2)));
    QTabBar* bar = disas_->HostTabBar();
    QVERIFY(bar != nullptr);
    main_->Terminal()->SelectHostPage();
    QTest::qWait(20);
    QVERIFY(!PageInFront(bar, disas_));
    LoadSum();
    QVERIFY(PageInFront(bar, disas_));
    QCOMPARE(disas_->Rows()->currentItem()->data(Qt::UserRole).toInt(), 0x30);

    // A closed window stays closed, and is located when shown.
    disas_->close();
    LoadSum();
    QVERIFY(disas_->isHidden());
    disas_->EnsureVisible();
    QVERIFY(disas_->RowOf(0x30) >= 0);
  }

  void terminalPopupHasCloseOnly() {
    TerminalWindow* terminal = main_->Terminal();
    TerminalEdit* edit = terminal->Editor();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), edit->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(edit->viewport(), &click);
    QMenu* menu = terminal->terPopupMenu();
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().front()->text(), QString("Close"));
    menu->hide();

    // Close hides the window, and the console drops its output.
    terminal->terCloseItem()->trigger();
    QVERIFY(terminal->isHidden());
    QVERIFY(!dorvik::Terminal().Visible);
  }

 private:
  // Assembles examples/sum with its symbols and loads its object.
  void LoadSum() {
    const std::string source = (dir_.path() + "/sum.a51").toStdString();
    if (!QFile::exists(QString::fromStdString(source))) {
      QVERIFY(AssembleExample("sum/sum.a51", source));
      UseProgramFolderAsProject(source);
    }
    ScriptedChooser chooser;
    chooser.Files = {(dir_.path() + "/sum.obj").toStdString()};
    TLoadDlg* dlg = main_->LoadDialog();
    WhenModal("LoadDlg", [dlg](QWidget*) { QTest::mouseClick(dlg->BtnLoad, Qt::LeftButton); });
    main_->LoadProgramAction();
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Text), QString("Load succesful, last address used 004D"));
  }

  // Line symbols of module SUM as the loader adds them from line records; the lines are decoded again.
  void AddLineSymbols(const std::vector<std::pair<uint16_t, int32_t>>& lines) {
    for (const auto& [address, line] : lines) {
      tSymbolItem& item = Collections().SymbolTable->Add();
      item.SymClass = kClassLine;
      item.Value = address;
      item.Number = line;
    }
    disas_->RecreateInterior();
  }

  static bool PageInFront(QTabBar* bar, QWidget* page) {
    return bar->tabData(bar->currentIndex()).value<quintptr>() == reinterpret_cast<quintptr>(page);
  }

  void Type(const QString& line) {
    TerminalEdit* edit = main_->Terminal()->Editor();
    QTest::keyClicks(edit, line);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  QString Row(uint16_t address) const {
    const int row = disas_->RowOf(address);
    return row < 0 ? QString("(no row %1)").arg(address, 4, 16) : disas_->Rows()->item(row)->text();
  }

  platform::ScriptedReporter boxes_;
  platform::ScriptedDialogs dialogs_;
  std::unique_ptr<MainWindow> main_;
  DisasWindow* disas_ = nullptr;
  QTemporaryDir dir_;
};

QTEST_MAIN(DisasWindowTest)
#include "disaswindow_test.moc"
