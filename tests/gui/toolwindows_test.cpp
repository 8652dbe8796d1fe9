// The debugger's tool windows in the workbench on the simulator: memory
// views, watches, the call stack, the symbol window with its module box, the
// breakpoint list and the evaluate dialog, on examples/sum and on a C object
// module whose int, long, float and array variables are read with their
// types (in the windows and through the console); the [DORVIK] entries of
// all ten dockable windows read and written back.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "assembler/objwriter.h"
#include "project/project.h"
#include "debugger/breakpoints.h"
#include "debugger/runcontrol.h"
#include "debugger/toolviews.h"
#include "debugger/editormodel.h"
#include "objfiles/listmap.h"
#include "gui/debug/breakpointlist.h"
#include "gui/debug/evaluatedialog.h"
#include "gui/dialogs/loaddialog.h"
#include "gui/main/mainwindow.h"
#include "lang/formatting.h"
#include "machine/images.h"
#include "platform/ini.h"
#include "project/projectfile.h"
#include "tests/support/gui_fixture.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Name(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.insert(b.begin(), static_cast<uint8_t>(s.size()));
  return b;
}
Bytes W(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
// A public symbol entry: segment 0, its space, address, type number and name.
Bytes Entry(uint8_t space, uint16_t offset, const std::string& name, uint8_t type) {
  return Cat({{0, space}, W(offset), {type}, Name(name)});
}

// An absolute object module CVARS as a C compiler would write it: int I at
// DATA 30H, long L at 32H, float F at 36H, int A[3] at 3AH (type 32), and
// code that sets SP and stays in a loop.
std::string CModule() {
  std::string file = as::ObjFrame(0x02, Cat({Name("CVARS"), {0xFD, 0}}));
  file += as::ObjFrame(0x10, Cat({{0}, Name("CVARS")}));
  file += as::ObjFrame(0x20, Cat({{0x22, 1}, W(3), {4}}));
  file += as::ObjFrame(0x16, Cat({Entry(2, 0x30, "I", 4), Entry(2, 0x32, "L", 6), Entry(2, 0x36, "F", 8),
                                  Entry(2, 0x3A, "A", 32)}));
  file += as::ObjFrame(0x06, Cat({{0}, W(0), {0x02, 0x00, 0x03, 0x75, 0x81, 0x5F, 0x80, 0xFE}}));
  return file + as::ObjFrame(0x04, Cat({Name("CVARS"), {0, 0, 0, 0}}));
}

}  // namespace

class ToolWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    boxes_.Clear();
    QVERIFY(StartEngine(&boxes_));
    QVERIFY(ShowMainWindow(main_));
    QVERIFY(dir_.isValid());
  }
  void cleanup() {
    main_.reset();
    StopEngine();
  }

  // The walk: GO to NEXT, a STEP into ADDBYTE, GO TILL DONE.
  void sumViewsFollowTheProgram() {
    LoadSum();
    tMemoryView* view = main_->MemoryView(0);
    main_->OpenMemoryView(0, 0x40, 1, 0, 0, 2);  // DATA 40, one BYTE
    QCOMPARE(view->Table()->item(0, 1)->text(), QString("00"));
    TCallStackWin* calls = main_->CallStack();
    calls->ShowDockable();
    for (const char* line : {"BR = NEXT", "GO"}) Type(line);
    // At NEXT the stack holds no call yet (SP is the stack start).
    QCOMPARE(Rows(calls), QStringList());
    StepOnce();
    QCOMPARE(Rows(calls), QStringList({"SUM <SUM+3A> (003A)", "SUM <SUM+44> (0044)"}));
    // The call opens its line in the source, and its code in the disassembly.
    calls->ShowEntry(0);
    QCOMPARE(EditorModel().LocateLine.Line, 15);
    QVERIFY(QString::fromStdString(EditorModel().LocateLine.FileName).endsWith("sum.a51"));
    QCOMPARE(main_->Disassembly()->Rows()->currentItem()->data(Qt::UserRole).toInt(), 0x3A);
    Type("GO TILL DONE");
    QCOMPARE(view->Table()->item(0, 1)->text(), QString("0F"));
    QCOMPARE(view->Table()->item(0, 0)->text(), QString("0040"));
    // Back at the stack start after the return: no call.
    QCOMPARE(Rows(calls), QStringList());
  }

  // The call stack window keeps what it was filled at: the same stop reads
  // nothing again; a GO, or a load, since the fill does, SP and PC the same.
  void callStackRefilledAfterAGoOrALoad() {
    LoadSum();
    TCallStackWin* calls = main_->CallStack();
    calls->ShowDockable();
    calls->Sync();
    const auto mark = [calls] { calls->Rows()->addItem("not read again"); };
    mark();
    calls->Sync();
    QVERIFY(Rows(calls).contains("not read again"));
    ++ToolViews().GoCount;
    calls->Sync();
    QVERIFY(!Rows(calls).contains("not read again"));
    mark();
    NoteProgramLoaded(true);
    calls->Sync();
    QVERIFY(!Rows(calls).contains("not read again"));
  }

  // Between two steps of the STEP loop the program stands still: the windows follow each step.
  void windowsFollowEachStep() {
    LoadSum();
    TWatchWnd* watches = main_->Watches();
    watches->ShowDockable();
    watches->AddWatch("SP");
    for (const char* line : {"BR = NEXT", "GO"}) Type(line);
    QCOMPARE(watches->Rows()->topLevelItem(0)->text(1), QString("5F"));
    QString during;
    auto* wait = new QTimer(main_.get());
    wait->setInterval(5);
    connect(wait, &QTimer::timeout, [this, wait, watches, &during] {
      if (!dorvik::Terminal().WaitingForKey) return;
      wait->stop();
      // The loop waits: the windows have their refresh's time, then Esc ends it.
      QTimer::singleShot(50, main_.get(), [this, watches, &during] {
        during = watches->Rows()->topLevelItem(0)->text(1);
        QTest::keyClick(main_->Terminal()->Editor(), Qt::Key_Escape);
      });
    });
    wait->start();
    Type("STEP");
    QCOMPARE(during, QString("61"));
    QVERIFY(!RunControl().WaitingForStepKey);
  }

  void frozenViewsStayAndEditsAreWrittenAndReadBack() {
    LoadSum();
    main_->OpenMemoryView(0, 0x40, 4, 0, 0, 2);
    main_->OpenMemoryView(1, 0x40, 4, 1, 0, 2);  // frozen
    tMemoryView* live = main_->MemoryView(0);
    tMemoryView* frozen = main_->MemoryView(1);
    const int frozenReads = frozen->ReadCount;
    Type("DBYTE 40 = 11,22");
    QCOMPARE(live->Table()->item(0, 2)->text(), QString("22"));
    QCOMPARE(frozen->Table()->item(0, 2)->text(), QString("00"));
    QCOMPARE(frozen->ReadCount, frozenReads);
    // Edited in place: written through the access layer, read back.
    live->Table()->item(0, 3)->setText("7*6");
    QTest::qWait(100);
    QCOMPARE(Images().IDataImage[0x42], uint8_t{42});
    QCOMPARE(live->Table()->item(0, 3)->text(), QString("2A"));
    // A bad value writes nothing and says why once.
    live->Table()->item(0, 4)->setText("NOSUCH");
    QTest::qWait(100);
    QCOMPARE(Images().IDataImage[0x43], uint8_t{0});
    QCOMPARE(live->Status()->text(), QString("Error #137: Symbol \"NOSUCH\" not known"));
    // Reloading reads the live view again, not the frozen one.
    LoadSum();
    QCOMPARE(frozen->ReadCount, frozenReads);
    QVERIFY(live->ReadCount > 3);
  }

  // A stop tells only the cells whose text changed (the value and its row's
  // characters), and a column widens with a longer text.
  void memoryViewsRedrawWhatChanged() {
    LoadSum();
    main_->OpenMemoryView(0, 0x40, 32, 0, 0, 2);  // DATA 40, two rows of BYTEs
    tMemoryView* view = main_->MemoryView(0);
    QTableWidget* table = view->Table();
    QSignalSpy told(table, &QTableWidget::itemChanged);
    Type("DBYTE 51 = 41");
    QCOMPARE(told.count(), 2);
    QCOMPARE(table->item(1, 2)->text(), QString("41"));
    QCOMPARE(table->item(1, 17)->text(), QString(".A..............").left(table->item(1, 17)->text().size()));
    QCOMPARE(table->item(0, 2)->text(), QString("00"));
    StepOnce();
    QCOMPARE(told.count(), 2);  // the step changed nothing in the range
    // The same two rows as INTEGERs: longer texts, wider columns.
    const int narrow = table->columnWidth(1);
    main_->OpenMemoryView(0, 0x40, 16, 0, 6, 2);
    QCOMPARE(table->rowCount(), 2);
    const QString wide = table->item(0, 1)->text();
    QVERIFY(table->columnWidth(1) > narrow);
    QVERIFY(table->columnWidth(1) >= table->fontMetrics().horizontalAdvance(wide));
  }

  void badRangesShowOneMessage() {
    tMemoryView* view = main_->MemoryView(0);
    // The type box names each type once: BOOLEAN, then BIT.
    QCOMPARE(view->TypeBox()->itemText(3), QString("BOOLEAN"));
    QCOMPARE(view->TypeBox()->itemText(4), QString("BIT"));
    main_->OpenMemoryView(0, 0xF0, 0x20, 0, 0, 3);  // IDATA F0 past FFH
    QCOMPARE(view->Status()->text(), QString("Error #162: Partition bounds error"));
    QCOMPARE(view->Table()->rowCount(), 0);
    // The simulator has no EEPROM: it cannot be chosen, and a stored one says so once.
    const auto* spaces = qobject_cast<const QStandardItemModel*>(view->SpaceBox()->model());
    QVERIFY(!spaces->item(5)->isEnabled() && spaces->item(1)->isEnabled());
    main_->OpenMemoryView(0, 0, 16, 0, 0, 7);
    QCOMPARE(view->Status()->text(), QString("Error #145: System command not supported"));
    view->StartEdit()->setText("1+");
    view->ReadFromTarget();
    QVERIFY(view->Status()->text().startsWith("Error #118"));
    // A whole space of words reads in rows of eight.
    main_->OpenMemoryView(0, 0, 0x8000, 0, 5, 1);
    QCOMPARE(view->Table()->rowCount(), 0x1000);
    QCOMPARE(view->Status()->text(), QString());
  }

  // Each element type of the type box in its view: the first values of a
  // row with the blanks at their edges, the characters column (bytes and
  // characters only), and a row of the type's width, the next element on
  // a row of its own.
  void eachElementTypeShowsItsValuesAndRows() {
    const uint8_t pattern[] = {0x1F, 0x20, 0x7E, 0x7F, 0xC1, 0x80, 0x00, 0x01,
                               0x3F, 0xC0, 0x00, 0x00, 0x02, 0x12, 0x34, 0xFF};
    std::copy(std::begin(pattern), std::end(pattern), &Images().XDataImage[0x100]);
    Images().IDataImage[0x20] = 0x02;  // bits 0 and 1
    const QString chars = ". ~.A...?@....4.";
    const struct {
      int Type;  // place in the type box
      int Start, PerRow;
      QStringList First;
      QString Chars;
    } rows[] = {
        {0, 0x100, 16, {"1F", "20", "7E", "7F", "C1"}, chars},  // BYTE
        {1, 0x100, 16, {".", " ", "~", ".", "A"}, chars},        // CHAR
        {2, 0x103, 16, {" 07F", "-03F", "-080", " 000"}, ""},    // SHORTINT
        {3, 0x105, 16, {"TRUE ", "FALSE", "TRUE "}, ""},         // BOOLEAN
        {4, 0x000, 16, {"0", "1", "0"}, ""},                     // BIT
        {5, 0x102, 8, {"7E7F", "C180"}, ""},                     // WORD
        {6, 0x103, 8, {" 07FC1", "-08000"}, ""},                 // INTEGER
        {7, 0x10C, 8, {"0212", "34FF"}, ""},                     // ADDRESS
        {8, 0x100, 4, {"1F207E7F", "C1800001"}, ""},             // DOUBLEWORD
        {9, 0x104, 4, {"-03E7FFFFF", " 03FC00000"}, ""},         // LONGINT
        {10, 0x108, 4, {" 1.5000000E+00"}, ""},                  // FLOAT
        {11, 0x10C, 5, {"   XDATA 1234"}, ""},                   // POINTER
    };
    tMemoryView* view = main_->MemoryView(0);
    for (const auto& r : rows) {
      main_->OpenMemoryView(0, r.Start, r.PerRow + 1, 0, r.Type, 1);  // XDATA
      const QTableWidget* t = view->Table();
      QVERIFY2(t->rowCount() == 2, qPrintable(view->TypeBox()->itemText(r.Type)));
      for (int c = 0; c < r.First.size(); ++c) QCOMPARE(t->item(0, c + 1)->text(), r.First[c]);
      QCOMPARE(t->item(0, 17)->text(), r.Chars);
      QVERIFY(!t->item(0, r.PerRow)->text().isEmpty());
      QVERIFY(!t->item(1, 1)->text().isEmpty() && t->item(1, 2)->text().isEmpty());
    }
  }

  void aSixthMemoryViewIsError165() {
    for (int i = 0; i < 5; ++i) main_->NewMemoryView();
    for (int i = 0; i < 5; ++i) QVERIFY(main_->MemoryView(i)->isVisible());
    QVERIFY(boxes_.Shown().empty());
    main_->NewMemoryView();
    QCOMPARE(boxes_.Shown().size(), size_t{1});
    QVERIFY(boxes_.Shown().back().Caption.find("165") != std::string::npos);
    main_->MemoryView(2)->close();
    main_->NewMemoryView();
    QVERIFY(main_->MemoryView(2)->isVisible());
    QCOMPARE(boxes_.Shown().size(), size_t{1});
  }

  void watchesShowValuesAndErrorsAndAreKept() {
    LoadSum();
    TWatchWnd* watches = main_->Watches();
    watches->ShowDockable();
    for (const char* w : {"TOTAL", "R6 + 1", "NOSUCH", "DBYTE 40 TO 41", "(1"}) watches->AddWatch(w);
    watches->AddWatch("R7", false);
    Type("GO TILL DONE");
    QCOMPARE(Column(watches, 1), QStringList({"0F", "1H", "Error #137: Symbol \"NOSUCH\" not known",
                                              "Error #133: Expression too complex",
                                              "Error #118: Syntax Error", "<disabled>"}));
    watches->EnableWatch(5, true);
    QCOMPARE(watches->Rows()->topLevelItem(5)->text(1), QString("FH"));
    watches->EditWatch(1, "TOTAL * 2");
    QCOMPARE(watches->Rows()->topLevelItem(1)->text(1), QString("1EH"));
    watches->RemoveWatch(2);
    QCOMPARE(watches->Watches().size(), size_t{5});
    // Kept in the project file, and read back from it.
    const std::string project = (dir_.path() + "/W.QPC").toStdString();
    QVERIFY(main_->SaveLayout(project));
    watches->RemoveWatch(0);
    main_->LoadLayout(project);
    QCOMPARE(Column(watches, 0), QStringList({"TOTAL", "TOTAL * 2", "DBYTE 40 TO 41", "(1", "R7"}));
    // Edited in its row, and switched off by its check box.
    watches->Rows()->topLevelItem(0)->setText(0, "TOTAL + 1");
    QTest::qWait(20);
    QCOMPARE(watches->Watches()[0].Expression, std::string("TOTAL + 1"));
    QCOMPARE(watches->Rows()->topLevelItem(0)->text(1), QString("10H"));
    watches->Rows()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QTest::qWait(20);
    QVERIFY(!watches->Watches()[0].Enabled);
    QCOMPARE(watches->Rows()->topLevelItem(0)->text(1), QString("<disabled>"));
  }

  // A generic pointer's memory type, each kind by its first byte (the
  // default selector sets), with the blanks at its edges.
  void watchesShowEachPointerKind() {
    const struct {
      uint8_t Selector;
      const char* Shown;
    } kinds[] = {{0x00, "    CODE 1234"}, {0xFF, "    CODE 1234"}, {0x02, "   XDATA 1234"}, {0x03, "   PDATA 1234"},
                 {0x01, "    DATA 1234"}, {0x04, "    DATA 1234"}, {0x05, "<unknown>1234"}};
    TWatchWnd* watches = main_->Watches();
    QStringList expected;
    for (const auto& k : kinds) {
      const size_t at = 0x200 + 4 * watches->Watches().size();
      Images().XDataImage[at] = k.Selector;
      Images().XDataImage[at + 1] = 0x12;
      Images().XDataImage[at + 2] = 0x34;
      watches->AddWatch("POINTER XDATA " + FormatHex4(static_cast<uint16_t>(at)));
      expected << k.Shown;
    }
    QCOMPARE(Column(watches, 1), expected);
  }

  void symbolWindowShowsModulesAndTypes() {
    LoadSum();
    TUserSymWin* symbols = main_->Symbols();
    // Loaded with its source: a symbol of the tree is shown at its line.
    QVERIFY(symbols->TreeShowInSourceFile->isEnabled() && symbols->ListShowInSourceFile->isEnabled());
    symbols->ShowDockable();
    QTreeWidgetItem* sum = symbols->Tree()->topLevelItem(0);
    QVERIFY(sum != nullptr && sum->text(0) == "SUM");
    QTreeWidgetItem* addbyte = sum->child(0);
    QCOMPARE(addbyte->text(0) + " " + addbyte->text(1) + " " + addbyte->text(2), QString("ADDBYTE 0044H CODE"));
    symbols->Tree()->setCurrentItem(addbyte);
    symbols->TreeShowInSourceFile->trigger();
    QCOMPARE(EditorModel().LocateLine.Line, 22);
    // The list holds the children of the tree's current node.
    symbols->Tree()->setCurrentItem(sum);
    QCOMPARE(symbols->List()->count(), sum->childCount());
    // A C module without its source: the items are off.
    LoadC();
    QVERIFY(!symbols->TreeShowInSourceFile->isEnabled() && !symbols->ListShowInSourceFile->isEnabled());
    QCOMPARE(symbols->Options()->ModuleBox->count(), 2);
    QCOMPARE(symbols->Options()->ModuleBox->itemText(1), QString("CVARS"));
    QCOMPARE(symbols->ShownModule(), std::string("ALL MODULES"));
    QCOMPARE(symbols->Tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* module = symbols->Tree()->topLevelItem(0);
    QCOMPARE(module->text(0), QString("CVARS"));
    QStringList rows;
    for (int i = 0; i < module->childCount(); ++i)
      rows << module->child(i)->text(0) + " " + module->child(i)->text(1) + " " + module->child(i)->text(2) + " " +
                  module->child(i)->text(3);
    QCOMPARE(rows, QStringList({"I 30H DATA int", "L 32H DATA long", "F 36H DATA float",
                                "A 3AH DATA Array [3] of int"}));
    // The options dialog picks a module that is not there: the tree is empty.
    WhenModal("SymPropDlg", [symbols](QWidget* dialog) {
      symbols->Options()->ModuleBox->setCurrentIndex(1);
      static_cast<QDialog*>(dialog)->accept();
    });
    symbols->ShowOptions();
    QCOMPARE(symbols->ShownModule(), std::string("CVARS"));
    QCOMPARE(symbols->Tree()->topLevelItemCount(), 1);
  }

  void cVariablesReadWithTheirTypes() {
    LoadC();
    Type("DBYTE 30 = FF,FE, 00,01,00,00, 3F,C0,00,00, 00,05,FF,FF,01,00");
    // The console's R0 = name path: the whole value, not its first byte.
    Type("R0 = I");
    QCOMPARE(Field("R0"), QString("R0 FE"));
    Type("R0 = L / 1000H");
    QCOMPARE(Field("R0"), QString("R0 10"));
    Type("R0 = F * 2");
    QCOMPARE(Field("R0"), QString("R0 03"));
    TWatchWnd* watches = main_->Watches();
    watches->ShowDockable();
    for (const char* w : {"I", "L", "F", "A", "I + 3"}) watches->AddWatch(w);
    QCOMPARE(Column(watches, 1),
             QStringList({"-00002", " 000010000", " 1.5000000E+00", " 00005, -00001,  00100", "1H"}));
    // The evaluate dialog: every radix, and a modify that writes the variable.
    EvaluateDialog dialog(main_.get());
    dialog.ExpressionEdit->setText("L");
    dialog.Evaluate();
    QCOMPARE(dialog.Result->toPlainText(), QString(" 000010000\n10000H\n65536T\n200000Q\n10000000000000000B\n65536.0"));
    dialog.NewValueEdit->setText("-5");
    dialog.Modify();
    QCOMPARE(Images().IDataImage[0x32], uint8_t{0xFF});
    QCOMPARE(Images().IDataImage[0x35], uint8_t{0xFB});
    dialog.ExpressionEdit->setText("F");
    dialog.NewValueEdit->setText("0.25");
    dialog.Modify();
    QVERIFY(dialog.Result->toPlainText().startsWith(" 2.5000000E-01"));
    dialog.ExpressionEdit->setText("R0 + 1");
    dialog.Modify();
    QCOMPARE(dialog.Result->toPlainText(), QString("Error #147: Non changeable item"));
    // While the program runs nothing is read or written.
    Run().ProgramRunning = true;
    dialog.ExpressionEdit->setText("I");
    dialog.NewValueEdit->setText("7");
    dialog.Modify();
    QCOMPARE(dialog.Result->toPlainText(), QString("Error #144: Command form not allowed during user program run"));
    Run().ProgramRunning = false;
    QCOMPARE(Images().IDataImage[0x31], uint8_t{0xFE});
  }

  void breakpointListEnablesAndClears() {
    LoadSum();
    Type("BR = NEXT");
    Type("BR = DONE");
    BreakpointListDialog dialog(main_.get());
    QCOMPARE(dialog.Rows->rowCount(), 2);
    QCOMPARE(dialog.Rows->item(0, 0)->text(), QString("Br0"));
    QCOMPARE(dialog.Rows->item(0, 1)->text(), QString("003AH"));
    QCOMPARE(dialog.Rows->item(1, 3)->text(), QString("Enabled"));
    dialog.Rows->selectRow(0);
    dialog.EnableSelected(false);
    QCOMPARE(dialog.Rows->item(0, 3)->text(), QString("Disabled"));
    QVERIFY(!Breakpoints().BreakTable[0].Enabled);
    // The disabled one is passed: the run stops at DONE.
    Type("GO");
    QVERIFY(main_->Terminal()->Editor()->toPlainText().contains("EXECUTION HALTED AT 0042"));
    dialog.Fill();
    dialog.Rows->selectRow(1);
    dialog.ClearSelected();
    QCOMPARE(dialog.Rows->rowCount(), 1);
    QVERIFY(!Breakpoints().BreakTable[1].Used);
    uint16_t shown = 0;
    dialog.ShowDisassembly = [&shown](uint16_t a) { shown = a; };
    dialog.Rows->selectRow(0);
    dialog.GoToSelected();
    QCOMPARE(shown, uint16_t{0x3A});
  }

  // A window that opens an empty area takes a third of the main window.
  void anAreaOpensAtAThird() {
    main_->resize(1500, 800);
    QTest::qWait(20);
    TWatchWnd* watches = main_->Watches();
    watches->ShowDockable();
    QTest::qWait(20);
    QCOMPARE(main_->dockWidgetArea(watches), Qt::RightDockWidgetArea);
    QVERIFY2(std::abs(watches->width() - 500) <= 8, qPrintable(QString::number(watches->width())));
    // A second one joins it as a page and leaves the area as it is.
    main_->CallStack()->ShowDockable();
    QTest::qWait(20);
    QVERIFY(std::abs(watches->width() - 500) <= 8);
  }

  // A project whose [DORVIK] section shows the new windows floating opens
  // them on screen; all ten entries are written back, the memory view's
  // parameters included.
  void layoutOfAllTenWindowsRoundTrips() {
    const std::string project = (dir_.path() + "/L.QPC").toStdString();
    WriteFile(project,
              "[DORVIK]\nWatchWnd=1,30,40,250,200\nUserSymWin=1,60,70,260,210\nCallStackWin=1,90,100,270,220\n"
              "MemoryView1=1,64,16,0,5,1,120,130,600,230\nMemoryView2=0,0,8,1,0,3,0,0,100,100\n");
    Formatting().DisplayRadix = 10;  // the stored numbers do not depend on it
    main_->LoadLayout(project);
    for (const char* name : {"WatchWnd", "UserSymWin", "CallStackWin", "MemoryView1"}) {
      TDockableForm* w = main_->ToolWindow(name);
      QVERIFY2(w != nullptr && w->isVisible() && w->isFloating(), name);
    }
    QCOMPARE(main_->ToolWindow("WatchWnd")->geometry(), QRect(30, 40, 250, 200));
    tMemoryView* view = main_->MemoryView(0);
    QCOMPARE(view->SpaceBox()->currentText(), QString("XDATA"));
    QCOMPARE(view->TypeBox()->currentText(), QString("WORD"));
    QCOMPARE(view->Table()->rowCount(), 2);  // 16 words from 40H, eight to a row
    QCOMPARE(view->Table()->item(1, 0)->text(), QString("0050"));
    QVERIFY(main_->MemoryView(1)->isHidden() && main_->MemoryView(1)->Frozen());
    QVERIFY(main_->SaveLayout(project));
    platform::IniFile file;
    QVERIFY(file.Load(project));
    QCOMPARE(main_->ToolWindows().size(), size_t{12});  // and the build report and the project list
    for (TDockableForm* w : main_->ToolWindows())
      QVERIFY2(!file.ReadString("DORVIK", w->objectName().toStdString()).empty(), qPrintable(w->objectName()));
    QCOMPARE(file.ReadString("DORVIK", "WatchWnd"), std::string("1,30,40,250,200"));
    QCOMPARE(file.ReadString("DORVIK", "MemoryView1"), std::string("1,64,16,0,5,1,120,130,600,230"));
    QCOMPARE(file.ReadString("DORVIK", "MemoryView2"), std::string("0,0,8,1,0,3,0,0,100,100"));
  }

 private:
  void Type(const char* line) {
    main_->Terminal()->EnterLine(line);
    main_->ExecuteScannerLine();
  }
  // One STEP, ended by Esc as the key loop takes it.
  void StepOnce() {
    WhenWaitingForKey(main_->Terminal()->Editor(), Qt::Key_Escape);
    Type("STEP");
  }
  QString Field(const std::string& name) const { return main_->StatusField("st" + name)->text(); }
  static QStringList Rows(const TCallStackWin* w) {
    QStringList rows;
    for (int i = 0; i < w->Rows()->count(); ++i) rows << w->Rows()->item(i)->text();
    return rows;
  }
  static QStringList Column(const TWatchWnd* w, int column) {
    QStringList rows;
    for (int i = 0; i < w->Rows()->topLevelItemCount(); ++i) rows << w->Rows()->topLevelItem(i)->text(column);
    return rows;
  }
  void LoadFile(const std::string& path) {
    WhenModal("LoadDlg", [this](QWidget*) { QTest::mouseClick(main_->LoadDialog()->BtnLoad, Qt::LeftButton); });
    QVERIFY(main_->LoadProgram(path));
  }
  void LoadSum() {
    const std::string source = (dir_.path() + "/sum.a51").toStdString();
    if (!QFile::exists(QString::fromStdString(source))) QVERIFY(AssembleExample("sum/sum.a51", source));
    UseProgramFolderAsProject(source);
    LoadFile((dir_.path() + "/sum.obj").toStdString());
  }
  void LoadC() {
    const std::string path = (dir_.path() + "/cvars.obj").toStdString();
    WriteFile(path, CModule());
    LoadFile(path);
  }

  platform::ScriptedReporter boxes_;
  std::unique_ptr<MainWindow> main_;
  QTemporaryDir dir_;
};

QTEST_MAIN(ToolWindowsTest)
#include "toolwindows_test.moc"
