// The editor pages of the workbench: a program debugged in its source (the
// execution line navy, breakpoints red, set with F5 on a source line, a step
// into an include file, the disassembly for a stop without a source line),
// breakpoints kept over a reload, files opened, edited, saved with a backup,
// read again when changed on disk, closed with the question, searched; and
// the files that cannot be edited refused with one message.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTextBlock>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>

#include "assembler/context.h"
#include "assembler/driver.h"
#include "base/mainform.h"
#include "base/messages.h"
#include "project/project.h"
#include "base/runstate.h"
#include "debugger/breakpoints.h"
#include "debugger/runcontrol.h"
#include "debugger/editormodel.h"
#include "debugger/toolviews.h"
#include "gui/debug/breakpointlist.h"
#include "gui/debug/debugactions.h"
#include "gui/editor/editorpages.h"
#include "gui/editor/finddialog.h"
#include "gui/dialogs/loaddialog.h"
#include "gui/dialogs/qtdialogs.h"
#include "gui/main/mainwindow.h"
#include "gui/projects/projectactions.h"
#include "gui/debug/terminaledit.h"
#include "objfiles/listmap.h"
#include "platform/ini.h"
#include "project/projectfile.h"
#include "workspace/openproject.h"
#include "tests/support/gui_fixture.h"
#include "tests/support/symbol_tables.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

namespace {

const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);
const QColor kSkyBlue(166, 202, 240);
const QColor kYellow(255, 255, 0);
const QColor kWhite(255, 255, 255);

}  // namespace

class EditorPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(StartEngine(&boxes_));
    QVERIFY(ShowMainWindow(main_));
    pages_ = main_->Pages();
    // The keys of the actions reach an active window.
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    QVERIFY(dir_.isValid());
  }
  void cleanup() {
    // A test that failed with a changed page must not leave a question behind.
    for (int32_t page = 0; page < pages_->Count(); ++page) pages_->Page(page)->document()->setModified(false);
    main_.reset();
    StopEngine();
  }

  // examples/sum: F5 on NEXT and on DONE, F9, and the stop marks line 15 navy
  // with DONE red; F7 moves the navy line into ADDBYTE; a reload keeps BR = NEXT.
  void stopsAreShownInTheSource() {
    const std::string source = Copy("sum/sum.a51", "sum.a51");
    CodeEditWidget* page = LoadInPage(source);
    QVERIFY(page != nullptr);
    page->GoToLine(15);
    QTest::keyClick(page, Qt::Key_F5);
    QVERIFY(Terminal().contains("BR = 003AH"));
    QCOMPARE(main_->Actions()->ToggleBreakpoint->text(), QString("Clear &breakpoint at :SUM#15"));
    page->GoToLine(19);
    QTest::keyClick(page, Qt::Key_F5);
    QCOMPARE(page->MarkColor(15), kRed);
    QCOMPARE(page->MarkColor(19), kRed);
    QTest::keyClick(page, Qt::Key_F9);
    QVERIFY(Terminal().contains("EXECUTION HALTED AT 003A"));
    QCOMPARE(page->MarkColor(15), kNavy);
    QCOMPARE(page->MarkColor(19), kRed);

    // The hint of a word under the mouse: a symbol with its value, nothing for other words.
    QCOMPARE(page->HintTimer()->interval(), 1500);
    auto pointAt = [page](int line, int column) {
      QTextCursor c(page->document()->findBlockByNumber(line - 1));
      c.setPosition(c.position() + column);
      return page->cursorRect(c).center() + QPoint(2, 0);
    };
    QVERIFY(page->ShowHintAt(pointAt(18, 17)));  // MOV TOTAL,R7
    QVERIFY2(page->Hint()->isVisible() && page->Hint()->text().startsWith("TOTAL: "), qPrintable(page->Hint()->text()));
    QCOMPARE(page->HintTimer()->interval(), 500);
    QVERIFY(page->ShowHintAt(pointAt(15, 22)));  // CALL ADDBYTE
    QVERIFY2(page->Hint()->text().contains("0044"), qPrintable(page->Hint()->text()));
    QVERIFY(!page->ShowHintAt(pointAt(21, 4)));  // "; adds": no symbol
    QVERIFY(!page->Hint()->isVisible());

    QTest::keyClick(page, Qt::Key_F7);
    QCOMPARE(Field("PC"), QString("PC 0044"));
    QCOMPARE(page->MarkColor(23), kNavy);
    QCOMPARE(page->MarkColor(15), kRed);  // the breakpoint shows again under the old execution line

    // A line without code sets nothing and says why.
    page->GoToLine(1);
    boxes_.Clear();
    QTest::keyClick(page, Qt::Key_F5);
    QCOMPARE(boxes_.Shown().size(), size_t{1});
    QCOMPARE(QString::fromStdString(boxes_.Shown()[0].Caption), QString("Warning #44"));

    // The same program loaded again: no question, the breakpoints of both
    // forms (a label, a module's label) still set and marked.
    Type("BR = :SUM.ADDBYTE");
    QCOMPARE(QString::fromStdString(Breakpoints().BreakTable[2].Location), QString(":SUM.ADDBYTE"));
    boxes_.Clear();
    Load(Path("sum.obj"));
    QCOMPARE(Breakpoints().BreakTable[2].Address, uint16_t{0x44});
    for (const auto& box : boxes_.Shown()) QVERIFY2(box.Caption != "Warning #62", box.Text.c_str());
    QCOMPARE(QString::fromStdString(Breakpoints().BreakTable[0].Location), QString(":SUM.NEXT"));
    QCOMPARE(QString::fromStdString(Breakpoints().BreakTable[1].Location), QString(":SUM.DONE"));
    QCOMPARE(pages_->Page(0)->MarkColor(15), kRed);

    // RESET shows where the program starts.
    Type("RESET CPU");
    QCOMPARE(pages_->Page(0)->MarkColor(8), kNavy);
  }

  // examples/sum: a breakpoint set on a source line without a label is a
  // source breakpoint of that line; the marks in every colour; a NOP typed
  // above moves band, dot and execution line together; the rebuild and load
  // move the breakpoint to the line's new address (also in [DEBUG]); a load
  // leaves no old execution line, and another program no old breakpoint line.
  // F5 on LJMP START at 0000H, where the module's name is the only symbol:
  // the breakpoint is its source line's, drawn on that line.
  void aLineOfTheModulesNameSymbolIsItsOwn() {
    const std::string source = Copy("sum/sum.a51", "sum.a51");
    CodeEditWidget* page = LoadInPage(source);
    QVERIFY(page != nullptr);
    page->GoToLine(8);
    QTest::keyClick(page, Qt::Key_F5);
    const tBreak& bp = Breakpoints().BreakTable[0];
    QCOMPARE(bp.Address, uint16_t{0});
    QCOMPARE(QString::fromStdString(bp.Location), QString(":SUM#8"));
    main_->SyncViews();
    QCOMPARE(page->MarkColor(8), kRed);
    QVERIFY(page->DotAt(8) == CodeEditWidget::Dot::kSolid);
  }

  void marksFollowTheProgram() {
    const std::string source = Copy("sum/sum.a51", "sum.a51");
    CodeEditWidget* page = LoadInPage(source);
    QVERIFY(page != nullptr);
    page->GoToLine(17);  // DJNZ R6,NEXT
    QTest::keyClick(page, Qt::Key_F5);
    const tBreak& bp = Breakpoints().BreakTable[0];
    QCOMPARE(bp.Address, uint16_t{0x3E});
    QCOMPARE(QString::fromStdString(bp.Location), QString(":SUM#17"));
    {
      BreakpointListDialog list(main_.get());
      QCOMPARE(list.Rows->item(0, 2)->text(), QString(":SUM#17"));
    }
    Type("BR = DONE");
    QTest::keyClick(page, Qt::Key_F9);
    QVERIFY(Terminal().contains("EXECUTION HALTED AT 003E"));
    SetLineMark(12, EditorModel().LocateLine, source, kLocateLineColor, false, false);
    main_->SyncViews();
    using Dot = CodeEditWidget::Dot;
    struct Row {
      int32_t Line;
      QColor Back, Text;
      Dot Shown;
    };
    const Row rows[] = {
        {17, kNavy, kYellow, Dot::kSolid},      // the execution line over a breakpoint: its dot stays
        {19, kRed, kWhite, Dot::kSolid},        // a breakpoint
        {12, kSkyBlue, kNavy, Dot::kNone},      // a located line
        {16, QColor(), QColor(), Dot::kNone},   // an unmarked line
    };
    for (const Row& r : rows) {
      QCOMPARE(page->MarkColor(r.Line), r.Back);
      QCOMPARE(page->MarkTextColor(r.Line), r.Text);
      QVERIFY(page->DotAt(r.Line) == r.Shown);
    }
    // A disabled breakpoint: a hollow dot, as in the disassembly; its line stays red.
    QVERIFY(EnableBreakpointByName("Br1", false));
    main_->SyncViews();
    QVERIFY(page->DotAt(19) == Dot::kHollow);
    QCOMPARE(DotPixel(page, 19), kWhite);  // as painted, not only as the model says
    QCOMPARE(page->MarkColor(19), kRed);
    QVERIFY(EnableBreakpointByName("Br1", true));
    main_->SyncViews();
    QCOMPARE(DotPixel(page, 19), kRed);
    ClearLineMark(EditorModel().LocateLine);
    main_->SyncViews();

    // A NOP typed above: band and dot move with their lines, the execution band too.
    page->GoToLine(16);
    QTest::keyClick(page, Qt::Key_End);
    QTest::keyClick(page, Qt::Key_Return);
    QTest::keyClicks(page, "\tNOP");
    QCOMPARE(page->MarkColor(18), kNavy);
    QVERIFY(page->DotAt(18) == Dot::kSolid);
    QCOMPARE(page->MarkColor(17), QColor());
    QVERIFY(page->DotAt(17) == Dot::kNone);
    QCOMPARE(page->MarkColor(20), kRed);
    QVERIFY(page->DotAt(20) == Dot::kSolid);
    {
      BreakpointListDialog list(main_.get());  // the line as the mark stands
      QCOMPARE(list.Rows->item(0, 2)->text(), QString(":SUM#18"));
    }
    // Saved, rebuilt, loaded: the breakpoint is on its line's new address.
    QVERIFY(pages_->SavePage(0));
    AssembleWithDebug(source);
    boxes_.Clear();
    Load(Path("sum.obj"));
    for (const auto& box : boxes_.Shown()) QVERIFY2(box.Caption.rfind("Warning", 0) != 0, box.Text.c_str());
    QCOMPARE(bp.Address, uint16_t{0x3F});
    QCOMPARE(QString::fromStdString(bp.Location), QString(":SUM#18"));
    QCOMPARE(Breakpoints().BreakTable[1].Address, uint16_t{0x43});
    QCOMPARE(page->MarkColor(18), kRed);
    QCOMPARE(page->MarkColor(20), kRed);
    QCOMPARE(Lines(page, kNavy), QList<int32_t>());
    QTest::keyClick(page, Qt::Key_F9);
    QVERIFY(Terminal().contains("EXECUTION HALTED AT 003F"));
    QCOMPARE(Lines(page, kNavy), QList<int32_t>({18}));
    platform::IniFile project;
    WriteProjectBreakpoints(project);
    QCOMPARE(QString::fromStdString(project.ReadString("DEBUG", "Break0")), QString("003F,:SUM#18"));

    // A load takes the execution line away; the next step shows one.
    QTest::keyClick(page, Qt::Key_F7);
    QCOMPARE(Lines(page, kNavy), QList<int32_t>({15}));
    Load(Path("sum.obj"));
    QCOMPARE(Lines(page, kNavy), QList<int32_t>());
    QTest::keyClick(page, Qt::Key_F7);
    QCOMPARE(Lines(page, kNavy).size(), 1);
    QTest::keyClick(page, Qt::Key_F7);
    QCOMPARE(Lines(page, kNavy).size(), 1);
    main_->Actions()->ResetClick();
    QCOMPARE(Lines(page, kNavy), QList<int32_t>({8}));
    // Another program: the old page keeps no breakpoint line (62 answered No keeps them).
    WriteFile(Path("t.a51"), "$DEBUG\n\tNAME T\n\tCSEG AT 0\n\tMOV SP,#60H\nL:\tSJMP L\n\tEND\n");
    AssembleWithDebug(Path("t.a51"));
    boxes_.Clear();
    for (int i = 0; i < 2; ++i) boxes_.QueueAnswer(platform::kBoxNo);
    Load(Path("t.obj"));
    QCOMPARE(Lines(page, kRed), QList<int32_t>());
    QCOMPARE(Lines(page, kNavy), QList<int32_t>());
    QVERIFY(bp.Used);
  }

  // Breakpoints read from the project show in their page before the load
  // and after it; F5 on such a line clears it, as on any drawn breakpoint.
  void restoredBreakpointsAreDrawn() {
    const std::string source = Copy("sum/sum.a51", "sum.a51");
    AssembleWithDebug(source);
    Project().ProjectModules = {{"SUM", source, {}}};
    platform::IniFile project;
    project.WriteString("DEBUG", "Break0", "003E,:SUM#17");
    project.WriteString("DEBUG", "Break1", "0042");  // a bare address, as older projects keep it
    ReadProjectBreakpoints(project);
    QVERIFY(pages_->OpenFile(source));
    CodeEditWidget* page = pages_->Page(0);
    QCOMPARE(page->MarkColor(17), kRed);
    boxes_.Clear();
    Load(Path("sum.obj"));
    for (const auto& box : boxes_.Shown()) QVERIFY2(box.Caption.rfind("Warning", 0) != 0, box.Text.c_str());
    QCOMPARE(Lines(page, kRed), QList<int32_t>({17, 19}));
    QVERIFY(page->DotAt(17) == CodeEditWidget::Dot::kSolid);
    QCOMPARE(QString::fromStdString(Breakpoints().BreakTable[1].Location), QString(":SUM#19"));
    page->GoToLine(17);
    QTest::keyClick(page, Qt::Key_F5);
    QVERIFY(!Breakpoints().BreakTable[0].Used);
    QCOMPARE(Lines(page, kRed), QList<int32_t>({19}));
    QTest::keyClick(page, Qt::Key_F5);
    QCOMPARE(Lines(page, kRed), QList<int32_t>({17, 19}));
  }

  // examples/sum with a project that loads sum.obj at start: F5 on DJNZ
  // (line 17) and MOVC (24), a NOP typed after line 14, saved, and exit
  // without a build. The project says where the marks stand in the saved
  // source; the restart's load of the old program keeps their instructions,
  // the Build and load places them from their lines. A load of another
  // program asks 62 for each (Yes clears), although it has no source lines.
  void anUnbuiltEditAndARestartKeepTheInstructions() {
    const std::string source = Copy("sum/sum.a51", "sum.a51");
    const std::string project = StartProject("SUM.QPC", "SUM=sum.a51\n", "sum.obj");
    CodeEditWidget* page = LoadInPage(source);
    QVERIFY(page != nullptr);
    for (int line : {17, 24}) {
      page->GoToLine(line);
      QTest::keyClick(page, Qt::Key_F5);
    }
    page->GoToLine(14);
    QTest::keyClick(page, Qt::Key_End);
    QTest::keyClick(page, Qt::Key_Return);
    QTest::keyClicks(page, "\tNOP");
    QCOMPARE(Lines(page, kRed), QList<int32_t>({18, 25}));
    QVERIFY(pages_->SavePage(0));
    boxes_.Clear();
    Restart(project);
    platform::IniFile saved;
    QVERIFY(saved.Load(project));
    QCOMPARE(QString::fromStdString(saved.ReadString("DEBUG", "Break0")), QString("003E,:SUM#18"));
    QCOMPARE(QString::fromStdString(saved.ReadString("DEBUG", "Break1")), QString("0045,:SUM#25"));
    page = PageOf("sum.a51");
    QVERIFY(page != nullptr);
    QCOMPARE(Lines(page, kRed), QList<int32_t>({18, 25}));
    QVERIFY(!Asked("Warning"));
    const tBreak& first = Breakpoints().BreakTable[0];
    const tBreak& second = Breakpoints().BreakTable[1];
    QCOMPARE(first.Address, uint16_t{0x3E});
    QCOMPARE(second.Address, uint16_t{0x45});
    QTest::keyClick(page, Qt::Key_F9);
    QVERIFY(Terminal().contains("EXECUTION HALTED AT 0045"));
    AssembleWithDebug(source);
    Load(Path("sum.obj"));
    QCOMPARE(first.Address, uint16_t{0x3F});
    QCOMPARE(QString::fromStdString(first.Location), QString(":SUM#18"));
    QCOMPARE(second.Address, uint16_t{0x46});
    QCOMPARE(Lines(page, kRed), QList<int32_t>({18, 25}));

    // Its line deleted: the next Build and load asks 62; No makes it an
    // address breakpoint, drawn on its address's line, and no start asks again.
    page->GoToLine(18);
    QTest::keyClick(page, Qt::Key_Home);
    QTest::keyClick(page, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(page, Qt::Key_Delete);
    QTest::keyClick(page, Qt::Key_Delete);
    QVERIFY(pages_->SavePage(0));
    AssembleWithDebug(source);
    boxes_.Clear();
    boxes_.QueueAnswer(platform::kBoxOk);  // the load's information
    boxes_.QueueAnswer(platform::kBoxNo);
    Load(Path("sum.obj"));
    QCOMPARE(Asked("Warning #62"), 1);
    QVERIFY(first.Used && first.Absolute);
    QCOMPARE(QString::fromStdString(first.Location), QString("003F"));
    QCOMPARE(Lines(page, kRed), QList<int32_t>({18, 24}));  // MOV TOTAL,R7 now at 003F
    boxes_.Clear();
    Restart(project);
    QVERIFY(!Asked("Warning"));
    QVERIFY(first.Used);
    QCOMPARE(first.Address, uint16_t{0x3F});

    // Another program (examples/multi's, no module of this project): 62 for each.
    for (const char* name : {"main.a51", "defs.inc", "twice.inc"}) Copy(std::string("multi/") + name, name);
    AssembleWithDebug(Path("main.a51"));
    boxes_.Clear();
    Load(Path("main.obj"));
    QCOMPARE(Asked("Warning #62"), 2);
    QVERIFY(!first.Used && !second.Used);
  }

  // examples/multi: F5 in twice.inc keeps the include file with the line in
  // [DEBUG]; three restarts ask nothing and draw it there; eight comment
  // lines above it, a rebuild and a restart keep it on its instruction.
  void anIncludeFilesBreakpointStaysInItsFile() {
    for (const char* name : {"main.a51", "defs.inc", "twice.inc"}) Copy(std::string("multi/") + name, name);
    const std::string project = StartProject("MULTI.QPC", "MAIN=main.a51\n", "main.obj");
    QVERIFY(LoadInPage(Path("main.a51")) != nullptr);
    QVERIFY(pages_->OpenFile(Path("twice.inc")));
    CodeEditWidget* page = PageOf("twice.inc");
    page->GoToLine(3);  // ADD A,ACC
    QTest::keyClick(page, Qt::Key_F5);
    const tBreak& bp = Breakpoints().BreakTable[0];
    QCOMPARE(bp.Address, uint16_t{0x45});
    QCOMPARE(QString::fromStdString(bp.Location), QString(":MAIN#3"));
    for (int start = 1; start <= 3; ++start) {
      boxes_.Clear();
      Restart(project);
      QVERIFY(!Asked("Warning"));
      platform::IniFile saved;
      QVERIFY(saved.Load(project));
      QCOMPARE(QString::fromStdString(saved.ReadString("DEBUG", "Break0")), QString("0045,:MAIN#3,twice.inc"));
      QVERIFY(bp.Used);
      QCOMPARE(bp.Address, uint16_t{0x45});
      QVERIFY(PageOf("twice.inc") != nullptr);
      QCOMPARE(Lines(PageOf("twice.inc"), kRed), QList<int32_t>({3}));
      QCOMPARE(Lines(PageOf("main.a51"), kRed), QList<int32_t>());
    }
    page = PageOf("twice.inc");
    page->GoToLine(1);
    QTest::keyClick(page, Qt::Key_Home);
    for (int comment = 1; comment <= 8; ++comment) {
      QTest::keyClicks(page, "; comment");
      QTest::keyClick(page, Qt::Key_Return);
    }
    QCOMPARE(Lines(page, kRed), QList<int32_t>({11}));
    QVERIFY(pages_->SavePage(pages_->currentIndex()));
    AssembleWithDebug(Path("main.a51"));
    boxes_.Clear();
    Restart(project);
    QVERIFY(!Asked("Warning"));
    QCOMPARE(bp.Address, uint16_t{0x45});
    QCOMPARE(QString::fromStdString(bp.Location), QString(":MAIN#11"));
    QCOMPARE(Lines(PageOf("twice.inc"), kRed), QList<int32_t>({11}));
    QCOMPARE(Lines(PageOf("main.a51"), kRed), QList<int32_t>());
  }

  // examples/multi: a step into code of an include file opens it with the mark.
  void aStepIntoAnIncludeFileOpensIt() {
    for (const char* name : {"main.a51", "defs.inc", "twice.inc"}) Copy(std::string("multi/") + name, name);
    AssembleWithDebug(Path("main.a51"));
    Load(Path("main.obj"));
    Type("GO TILL 35");
    QCOMPARE(pages_->Count(), 1);
    QCOMPARE(pages_->Page(0)->MarkColor(12), kNavy);  // CALL TWICE
    QTest::keyClick(pages_->Page(0), Qt::Key_F7);
    QCOMPARE(pages_->Count(), 2);
    QCOMPARE(pages_->currentIndex(), 1);
    QVERIFY(PageAt(1)->FileName.ends_with("twice.inc"));
    QCOMPARE(pages_->Page(1)->MarkColor(2), kNavy);  // TWICE: NOP
    QCOMPARE(pages_->Page(0)->MarkColor(12), kRed);  // TILL's breakpoint, under the execution line before
  }

  // A stop in a file whose page is open but behind another: the page comes to
  // the front with the navy line in view, at a breakpoint and at each step.
  void aStopInAPageBehindBringsItToTheFront() {
    for (const char* name : {"main.a51", "defs.inc"}) Copy(std::string("multi/") + name, name);
    QFile twice(QString::fromStdString(Path("twice.inc")));
    QVERIFY(twice.open(QIODevice::WriteOnly));
    twice.write(QByteArray("; twice.inc - A := 2 * A\n").append(QByteArray("; ...\n").repeated(80)));
    twice.write("TWICE:  NOP\n        ADD     A,ACC\n        NOP\n        RET\n");
    twice.close();
    AssembleWithDebug(Path("main.a51"));
    Load(Path("main.obj"));
    QVERIFY(pages_->OpenFile(Path("main.a51")));
    QVERIFY(pages_->OpenFile(Path("twice.inc")));
    CodeEditWidget* inc = pages_->Page(1);
    inc->GoToLine(83);  // ADD A,ACC
    QTest::keyClick(inc, Qt::Key_F5);
    inc->GoToLine(1);
    const auto inView = [this](int32_t page, int32_t line) {
      CodeEditWidget* editor = pages_->Page(page);
      const QRect at = editor->cursorRect(QTextCursor(editor->document()->findBlockByNumber(line - 1)));
      return pages_->currentIndex() == page && editor->isVisible() && editor->viewport()->rect().contains(at.center());
    };
    const auto mainInFront = [this] {
      pages_->tabBar()->setCurrentIndex(0);
      QCOMPARE(pages_->currentIndex(), 0);
    };
    mainInFront();
    QTest::keyClick(pages_->Page(0), Qt::Key_F9);
    QVERIFY2(Terminal().contains("EXECUTION HALTED AT 0045"), qPrintable(Terminal()));
    QCOMPARE(inc->MarkColor(83), kNavy);
    QVERIFY(inView(1, 83));
    mainInFront();
    QTest::keyClick(pages_->Page(0), Qt::Key_F7);
    QCOMPARE(inc->MarkColor(84), kNavy);
    QVERIFY(inView(1, 84));
    // A step back into the module's own file brings its page forward again.
    QTest::keyClick(inc, Qt::Key_F7);
    QTest::keyClick(inc, Qt::Key_F7);
    QCOMPARE(pages_->Page(0)->MarkColor(13), kNavy);
    QVERIFY(inView(0, 13));
  }

  // A mistyped command in the terminal shows its box; the keyboard is back in
  // the terminal after it, so the next command typed runs.
  void aMistypedCommandLeavesTheKeyboardInTheTerminal() {
    QtReporter reporter;
    platform::SetReporter(&reporter);
    QWidget* terminal = main_->Terminal()->Editor();
    QTest::mouseClick(terminal->window(), Qt::LeftButton);
    terminal->setFocus();
    QTRY_VERIFY(terminal->hasFocus());
    QString caption;
    WhenModal("MessageBox", [&](QWidget* w) {
      caption = w->windowTitle();
      QTest::keyClick(w, Qt::Key_Return);
    });
    QTest::keyClicks(QApplication::focusWidget(), "CBYTE 0 TO F");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(caption, QString("Error #118"));
    QApplication::processEvents();
    QVERIFY(QApplication::focusWidget() == terminal);
    QTest::keyClicks(QApplication::focusWidget(), "CBYTE 0");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY2(Terminal().contains("0000="), qPrintable(Terminal()));
    platform::SetReporter(&boxes_);
  }

  // A stop inside an instruction has no listing line: question 19, then the disassembly.
  void aStopWithoutASourceLineAsksAndShowsTheDisassembly() {
    WriteFile(Path("t.a51"), "$DEBUG\n\tNAME T\n\tCSEG AT 0\n\tSJMP MID+1\nMID:\tMOV A,#0\n\tSJMP $\n\tEND\n");
    AssembleWithDebug(Path("t.a51"));
    Load(Path("t.obj"));
    main_->Disassembly()->hide();
    boxes_.Clear();
    boxes_.QueueAnswer(platform::kBoxYes);
    Type("GO TILL 3");
    QCOMPARE(boxes_.Shown().size(), size_t{1});
    QCOMPARE(QString::fromStdString(boxes_.Shown()[0].Caption), QString("Warning #19"));
    QVERIFY(main_->Disassembly()->isVisible());
    QCOMPARE(main_->Disassembly()->ExecutionLine(), 3);
    QCOMPARE(ExecLine().Line, -1);
  }

  // A C module whose object has no line numbers: question 10, Yes shows the disassembly.
  void aCModuleWithoutLinesAsksAndShowsTheDisassembly() {
    WriteFile(Path("prog.c"), "void main(void) {\n  for (;;) ;\n}\n");
    Project().FileTypeList = {{kFileC, ".C", ""}};
    Project().ProjectModules = {{"PROG", Path("prog.c"), {}}};
    LoadSymbolTable({{"PROG", kClassProcedure, 0x0000}, {"MAIN", kClassCode, 0x0000}}, {{"PROG", 0x0000, 0x00FF, true}});
    ListMap().SourceLevelDebugging = true;
    Type("CBYTE 0 = 00,00,00,80,FE");
    main_->Disassembly()->hide();
    boxes_.Clear();
    boxes_.QueueAnswer(platform::kBoxYes);
    Type("GO TILL 2");
    QCOMPARE(boxes_.Shown().size(), size_t{1});
    QCOMPARE(QString::fromStdString(boxes_.Shown()[0].Caption), QString("Warning #10"));
    QCOMPARE(QString::fromStdString(boxes_.Shown()[0].Text), QString("Module PROG doesn't contain line information - continue?"));
    QVERIFY(main_->Disassembly()->isVisible());
    QCOMPARE(pages_->Count(), 0);
  }

  // Save writes the new text and keeps the old file as .BAK; Close asks about
  // a changed page; a page that cannot be written stays changed.
  void savingKeepsTheOldFileAndClosingAsks() {
    const std::string file = Path("a.a51");
    WriteFile(file, "\tNOP\r\n\tNOP\r\n");
    QVERIFY(pages_->OpenFile(file));
    CodeEditWidget* page = pages_->Page(0);
    page->moveCursor(QTextCursor::End);
    page->insertPlainText("\n\tINC A");
    QVERIFY(pages_->Modified(0));
    QCOMPARE(pages_->tabText(0), QString("a.a51 *"));
    QVERIFY(pages_->SavePage(0));
    QCOMPARE(QString::fromStdString(ReadFile(file)), QString("\tNOP\r\n\tNOP\r\n\tINC A\r\n"));
    QCOMPARE(QString::fromStdString(ReadFile(file + ".BAK")), QString("\tNOP\r\n\tNOP\r\n"));
    QVERIFY(!pages_->Modified(0));

    // A breakpoint's mark moved by a line typed above it.
    tBreak& bp = Breakpoints().BreakTable[0];
    bp.Used = true;
    SetLineMark(3, bp.Line, file, kBreakLineColor, false, false);
    page->moveCursor(QTextCursor::Start);
    page->insertPlainText("\tNOP\n");
    QCOMPARE(bp.Line.Line, 4);
    page->moveCursor(QTextCursor::End);
    page->insertPlainText("X");
    boxes_.QueueAnswer(platform::kBoxCancel);
    QVERIFY(!pages_->ClosePageAsk(0));
    QCOMPARE(pages_->Count(), 1);
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Caption), QString("Warning #37"));

    // A folder in the way: one message, the text and the changed state kept.
    boxes_.Clear();
    QDir(dir_.path()).mkdir("b.a51");
    QVERIFY(!pages_->SavePageAs(0, Path("b.a51")));
    QCOMPARE(boxes_.Shown().size(), size_t{1});
    QCOMPARE(QString::fromStdString(boxes_.Shown()[0].Caption), QString("Error #404"));
    QVERIFY(pages_->Modified(0));
    QVERIFY(page->toPlainText().endsWith("X"));

    boxes_.QueueAnswer(platform::kBoxNo);
    QVERIFY(pages_->ClosePageAsk(0));
    QCOMPARE(pages_->Count(), 0);
    QCOMPARE(QString::fromStdString(ReadFile(file)), QString("\tNOP\r\n\tNOP\r\n\tINC A\r\n"));
    // The edits dropped: the mark is back on its line of the file as saved.
    QCOMPARE(bp.Line.Line, 3);
    QVERIFY(!bp.Line.Deleted);
  }

  // The file's own line ends come back on save, also an empty last line, and
  // a line end typed at the page's end is kept.
  void savingKeepsTheFinalLineEnds() {
    struct Row {
      const char* Before;
      const char* Typed;  // at the page's end
      const char* After;
    };
    for (const Row& row : {Row{"\tNOP\n\n", "", "\tNOP\n\n"}, Row{"\tNOP\r\n\r\n\r\n", "", "\tNOP\r\n\r\n\r\n"},
                           Row{"\tNOP", "\n", "\tNOP\n"}, Row{"\tNOP\n", "\n", "\tNOP\n\n"},
                           Row{"\tNOP\n", "", "\tNOP\n"}, Row{"\tNOP", "", "\tNOP"}}) {
      const std::string file = Path("final.a51");
      WriteFile(file, row.Before);
      QVERIFY(pages_->OpenFile(file));
      CodeEditWidget* page = pages_->Page(0);
      page->moveCursor(QTextCursor::End);
      page->insertPlainText(row.Typed);
      QVERIFY(pages_->SavePage(0));
      QCOMPARE(QString::fromStdString(ReadFile(file)), QString(row.After));
      QVERIFY(pages_->ClosePageAsk(0));
    }
  }

  // A build reads the files: a changed page is asked about and saved first.
  void aBuildSavesTheChangedPageFirst() {
    const std::string source = Copy("sum/sum.a51", "sum.a51");
    UseProgramFolderAsProject(source);
    QVERIFY(pages_->OpenFile(source));
    pages_->Page(0)->moveCursor(QTextCursor::Start);
    pages_->Page(0)->insertPlainText("; edited\n");
    boxes_.Clear();
    boxes_.QueueAnswer(platform::kBoxYes);
    MainForm().ErrorProtocolFile = Path("$$ERR.$$$");
    QCOMPARE(main_->Projects()->CompileActive(), BuildOutcome::Built);
    QCOMPARE(QString::fromStdString(boxes_.Shown().at(0).Caption), QString("Warning #37"));
    QVERIFY(ReadFile(source).starts_with("; edited\n"));
    QVERIFY(ReadFile(Path("sum.lst")).find("; edited") != std::string::npos);
    // Cancel: nothing is built.
    pages_->Page(0)->insertPlainText("; again\n");
    boxes_.QueueAnswer(platform::kBoxCancel);
    QCOMPARE(main_->Projects()->CompileActive(), BuildOutcome::Failed);
    QVERIFY(ReadFile(source).find("; again") == std::string::npos);
  }

  // A file changed on disk asks when its page is activated; Yes reads it again.
  void aFileChangedOnDiskAsksToReadItAgain() {
    const std::string file = Path("c.a51");
    WriteFile(file, "\tNOP\n");
    QVERIFY(pages_->OpenFile(file));
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) - std::chrono::seconds(5));
    WriteFile(file, "\tRET\n");
    boxes_.Clear();
    boxes_.QueueAnswer(platform::kBoxYes);
    pages_->ActivateEditor(false);
    QCOMPARE(boxes_.Shown().size(), size_t{1});
    QCOMPARE(QString::fromStdString(boxes_.Shown()[0].Caption), QString("Warning #43"));
    QCOMPARE(pages_->Page(0)->toPlainText(), QString("\tRET"));
    pages_->ActivateEditor(false);  // asked once
    QCOMPARE(boxes_.Shown().size(), size_t{1});
  }

  // Every kind of edit reaches the engine's lines as it is made (the
  // search, the breakpoints and the commands read them), the page's other
  // lines as they were.
  void editsReachTheEngineAsTheyAreMade() {
    const std::string file = Path("e.a51");
    WriteFile(file, "ONE:\tNOP\r\nTWO:\tINC A\r\nTHREE:\tRET\r\n\r\nFOUR:\tSJMP FOUR\r\n");
    QVERIFY(pages_->OpenFile(file));
    CodeEditWidget* page = pages_->Page(0);
    const auto select = [page](int fromLine, int fromColumn, int toLine, int toColumn) {
      QTextCursor c(page->document()->findBlockByNumber(fromLine));
      c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, fromColumn);
      const QTextBlock to = page->document()->findBlockByNumber(toLine);
      c.setPosition(to.position() + toColumn, QTextCursor::KeepAnchor);
      page->setTextCursor(c);
    };
    struct Row {
      const char* What;
      std::function<void()> Edit;
    };
    const Row rows[] = {
        {"a key", [&] { select(1, 5, 1, 5), QTest::keyClicks(page, "X"); }},
        {"Enter in a line", [&] { select(2, 6, 2, 6), QTest::keyClick(page, Qt::Key_Return); }},
        {"Backspace joining two lines", [&] { select(3, 0, 3, 0), QTest::keyClick(page, Qt::Key_Backspace); }},
        {"lines pasted", [&] { select(0, 4, 0, 4), page->insertPlainText("\n\tMOV A,#1\n\tPASTED\n"); }},
        {"a selection over three lines typed over",
         [&] { select(1, 2, 3, 3), QTest::keyClicks(page, "TYPED"); }},
        {"undo", [&] { page->undo(); }},
        {"undo again", [&] { page->undo(); }},
        {"redo", [&] { page->redo(); }},
        {"the end's line end removed", [&] { page->moveCursor(QTextCursor::End), QTest::keyClick(page, Qt::Key_Backspace); }},
        {"all replaced", [&] { page->selectAll(), page->insertPlainText("NEW:\tNOP\n\tNEWEST"); }},
        {"all removed", [&] { page->selectAll(), QTest::keyClick(page, Qt::Key_Delete); }},
    };
    for (const Row& row : rows) {
      row.Edit();
      QCOMPARE(QString::fromStdString(PageAt(0)->Editor.Text("\n", false)) + " after " + row.What,
               page->toPlainText() + " after " + row.What);
    }
    // The search finds what was just typed.
    QTest::keyClicks(page, "TYPED");
    QTest::keyClick(page, Qt::Key_Return);
    QTest::keyClicks(page, "AGAIN");
    page->moveCursor(QTextCursor::Start);
    QVERIFY(pages_->FindNext("again", false, true));
    QCOMPARE(page->textCursor().blockNumber(), 1);
  }

  // Find in the page (match case, whole word) and in the project's sources.
  void findAndFindInFiles() {
    const std::string source = Copy("sum/sum.a51", "sum.a51");
    UseProgramFolderAsProject(source);
    QVERIFY(pages_->OpenFile(source));
    CodeEditWidget* page = pages_->Page(0);
    QVERIFY(pages_->FindNext("addbyte", false, true));
    QCOMPARE(page->textCursor().blockNumber(), 14);  // NEXT: CALL ADDBYTE
    QCOMPARE(page->textCursor().selectedText(), QString("ADDBYTE"));
    QVERIFY(pages_->FindNext("addbyte", false, true));
    QCOMPARE(page->textCursor().blockNumber(), 21);  // ADDBYTE:
    boxes_.QueueAnswer(platform::kBoxNo);
    QVERIFY(!pages_->FindNext("ADDBYTE", true, true));
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Caption), QString("Warning #28"));

    FindInFilesDialog* dlg = main_->FindInFilesDialog();
    dlg->comboText->setEditText("djnz");
    QCOMPARE(dlg->Search(), 1);
    QVERIFY2(dlg->listHits->item(0)->text().contains(QRegularExpression("sum.a51:17: +DJNZ +R6,NEXT$")),
             qPrintable(dlg->listHits->item(0)->text()));
    dlg->OpenHit(0);
    QCOMPARE(pages_->Page(0)->MarkColor(17), kSkyBlue);
    dlg->comboText->setEditText("nothing like it");
    QCOMPARE(dlg->Search(), 0);
  }

  // Missing, a folder, not text: one message each and no page; a file of too
  // many lines opens view-only after warning 31.
  void filesThatCannotBeEdited() {
    QDir(dir_.path()).mkdir("folder.a51");
    WriteFile(Path("binary.obj"), std::string("\x02\x00\x01", 3));
    const struct {
      std::string File;
      const char* Caption;
    } rows[] = {{Path("missing.a51"), "Error #402"}, {Path("folder.a51"), "Error #402"}, {Path("binary.obj"), "Error #402"}};
    for (const auto& row : rows) {
      boxes_.Clear();
      QVERIFY(!pages_->OpenFile(row.File));
      QCOMPARE(boxes_.Shown().size(), size_t{1});
      QCOMPARE(QString::fromStdString(boxes_.Shown()[0].Caption), QString(row.Caption));
      QCOMPARE(pages_->Count(), 0);
    }
    std::string longText;
    for (size_t i = 0; i <= kEditableLineLimit; ++i) longText += "\tNOP\n";
    WriteFile(Path("long.a51"), longText);
    boxes_.Clear();
    QVERIFY(pages_->OpenFile(Path("long.a51")));
    QCOMPARE(QString::fromStdString(boxes_.Shown().at(0).Caption), QString("Warning #31"));
    QVERIFY(pages_->Page(0)->isReadOnly());
  }

  // The open pages come back with the project, each at its caret line.
  void openPagesAreKeptInTheProject() {
    const std::string file = Path("d.a51");
    WriteFile(file, "\tNOP\n\tNOP\n\tRET\n");
    QVERIFY(pages_->OpenFile(file));
    // The same file by another name is the same page (the project may name it relatively).
    QCOMPARE(OpenFileInEditor(Path("./d.a51"), true), 0);
    QCOMPARE(pages_->Count(), 1);
    pages_->Page(0)->GoToLine(3);
    const std::string project = Path("p.QPC");
    WriteFile(project, "Target=VOV51\n");
    QVERIFY(main_->SaveLayout(project));
    main_.reset();
    ResetSession();
    InstallTargetAccess();
    main_ = std::make_unique<MainWindow>();
    pages_ = main_->Pages();
    main_->LoadLayout(project);
    QCOMPARE(pages_->Count(), 1);
    QCOMPARE(QString::fromStdString(PageAt(0)->FileName), QString::fromStdString(file));
    QCOMPARE(pages_->Page(0)->CaretLine(), 2);
  }

 private:
  std::string Path(const std::string& name) const { return (dir_.path() + "/" + QString::fromStdString(name)).toStdString(); }
  std::string Copy(const std::string& example, const std::string& name) {
    const std::string to = Path(name);
    QFile::remove(QString::fromStdString(to));  // an earlier case may have changed it
    QFile::copy(QString(DORVIK_SOURCE_DIR) + "/examples/" + QString::fromStdString(example), QString::fromStdString(to));
    return to;
  }
  void Load(const std::string& program) {
    WhenModal("LoadDlg", [this](QWidget*) { QTest::mouseClick(main_->LoadDialog()->BtnLoad, Qt::LeftButton); });
    QVERIFY(main_->LoadProgram(program));
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
  }
  // Source assembled with its debug information, its object loaded and the
  // source open in a page: that page, or nullptr.
  CodeEditWidget* LoadInPage(const std::string& source) {
    AssembleWithDebug(source);
    Load(std::filesystem::path(source).replace_extension(".obj").string());
    return pages_->OpenFile(source) ? pages_->Page(0) : nullptr;
  }
  // A project file in the test's folder with these modules, loading Program
  // at start; the workbench works on it (written when it closes).
  std::string StartProject(const std::string& name, const std::string& modules, const std::string& program) {
    const std::string project = Path(name);
    WriteFile(project, "[PROJECT]\n" + modules + "[LOADER]\nLoadAutomaticallyOnStart=TRUE\nLastLoadPath=" + program + "\n");
    OpenProject(project);
    Project().ProjectFileName = project;
    main_->Projects()->UseProjectFile(project);
    return project;
  }
  // File | Exit and a second workbench session on the same project file, as
  // the program starts: the project read, the window laid out, the program loaded.
  void Restart(const std::string& project) {
    QVERIFY(main_->close());
    main_.reset();
    StopEngine();
    QVERIFY(StartEngine(&boxes_));
    OpenProject(project);
    Project().ProjectFileName = project;
    main_ = std::make_unique<MainWindow>();
    main_->Projects()->UseProjectFile(project);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    pages_ = main_->Pages();
    const std::filesystem::path program(Project().Loader.LastLoadPath);
    main_->LoadProgram(program.is_absolute() ? program.string() : Path(program.string()), true);
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
  }
  // The page of a file of the test's folder, or nullptr.
  CodeEditWidget* PageOf(const std::string& name) const {
    for (int32_t page = 0; page < pages_->Count(); ++page)
      if (std::filesystem::path(PageAt(page)->FileName).filename() == name) return pages_->Page(page);
    return nullptr;
  }
  // How many boxes shown since the last Clear begin with Caption.
  int Asked(const std::string& caption) const {
    int count = 0;
    for (const auto& box : boxes_.Shown()) count += box.Caption.rfind(caption, 0) == 0 ? 1 : 0;
    return count;
  }
  void Type(const QString& line) {
    QTest::keyClicks(main_->Terminal()->Editor(), line);
    QTest::keyClick(main_->Terminal()->Editor(), Qt::Key_Return);
  }
  // The colour painted at the centre of a line's gutter dot.
  static QColor DotPixel(CodeEditWidget* page, int32_t line) {
    const QImage image = page->grab().toImage();
    const QTextCursor block(page->document()->findBlockByNumber(line - 1));
    const QRect inner = page->contentsRect();
    return image.pixelColor(inner.left() + 6, inner.top() + page->cursorRect(block).center().y());
  }
  // The 1-based lines of a page drawn in Colour.
  static QList<int32_t> Lines(const CodeEditWidget* page, const QColor& colour) {
    QList<int32_t> lines;
    for (int32_t line = 1; line <= page->blockCount(); ++line)
      if (page->MarkColor(line) == colour) lines << line;
    return lines;
  }
  QString Terminal() const { return main_->Terminal()->Editor()->toPlainText(); }
  QString Field(const std::string& name) const { return main_->StatusField("st" + name)->text(); }

  platform::ScriptedReporter boxes_;
  std::unique_ptr<MainWindow> main_;
  EditorPages* pages_ = nullptr;
  QTemporaryDir dir_;
};

QTEST_MAIN(EditorPagesTest)
#include "editorpages_test.moc"
