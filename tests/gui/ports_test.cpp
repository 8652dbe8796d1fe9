// The pins of the simulated chip in the workbench: the port menus of two
// processors, the port window following a program and driving pins, the
// inputs driven by hand (Debug | Inputs and the chords), the port window's
// refresh timer around a load and a HEX save, its [DORVIK] entry, and the
// virtual-hardware windows: the switch row answering a MOVX read, the LED
// panel lit after a GO, and a refused address.

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

#include "access/portviews.h"
#include "access/target.h"
#include "access/transport.h"
#include "assembler/context.h"
#include "assembler/driver.h"
#include "base/messages.h"
#include "base/runstate.h"
#include "debugger/statusfields.h"
#include "gui/debug/debugactions.h"
#include "gui/hardware/eightled.h"
#include "gui/hardware/hardwaremenu.h"
#include "gui/hardware/hwwidgets.h"
#include "gui/dialogs/loaddialog.h"
#include "gui/main/mainwindow.h"
#include "gui/hardware/portwindow.h"
#include "gui/hardware/simform.h"
#include "gui/dialogs/validators.h"
#include "lang/formatting.h"
#include "machine/images.h"
#include "platform/ini.h"
#include "vhw/hardware.h"
#include "tests/support/fake_targets.h"
#include "tests/support/gui_fixture.h"
#include "tests/support/scripted_chooser.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

class PortsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(StartEngine(&boxes_));
    vhw::InstallHardwareBus();
    platform::SetDialogUi(&dialogs_);  // the stack question is cancelled
    QVERIFY(ShowMainWindow(main_));
    hw_ = main_->Hardware();
    ports_ = hw_->PortForm();
    QVERIFY(dir_.isValid());
  }
  void cleanup() {
    main_.reset();
    InstallBus(nullptr);
    StopEngine();
  }

  // "Port n" items from the processor's definition: the 8051's four, and P4
  // too on a processor that has it; the port window's ports 0-3 start checked.
  void portMenusFollowTheProcessor() {
    QCOMPARE(Captions(hw_->PortPopupMenu()), QStringList({"Port 0...", "Port 1...", "Port 2...", "Port 3..."}));
    QAction* p1 = hw_->PortPopupMenu()->findChild<QAction*>("Port11");
    QVERIFY(p1 != nullptr);
    QCOMPARE(p1->data().toInt(), 0x90);
    QCOMPARE(Captions(ports_->PortPopupMenu()), QStringList({"Port 0", "Port 1", "Port 2", "Port 3"}));
    QCOMPARE(ports_->ShownPorts(), std::vector<uint16_t>({0x80, 0x90, 0xA0, 0xB0}));

    Type("CPU = 452");
    QCOMPARE(Captions(hw_->PortPopupMenu()).size(), 5);
    QAction* p4 = ports_->PortPopupMenu()->findChild<QAction*>("Port41");
    QVERIFY(p4 != nullptr && !p4->isChecked());
    QCOMPARE(p4->data().toInt(), 0xC0);
    QCOMPARE(ports_->ShownPorts().size(), size_t{4});
    p4->setChecked(true);  // shown: one more row
    QCOMPARE(ports_->ShownPorts().back(), uint16_t{0xC0});
    QVERIFY(ports_->PinButton(0xC0, 7) != nullptr);

    hw_->ShowEightLED();  // an LED panel on P4
    QComboBox* choice = hw_->EightLED()->Chooser()->Choice();
    choice->setCurrentIndex(choice->findText("Port 4"));
    emit choice->activated(choice->currentIndex());
    QCOMPARE(hw_->EightLED()->Display().Binding, (vhw::PartBinding{vhw::kSpaceSfr, 0xC0}));

    Type("CPU = 51");  // back: no P4 anywhere
    QCOMPARE(Captions(hw_->PortPopupMenu()).size(), 4);
    QVERIFY(ports_->PinButton(0xC0, 7) == nullptr);
    QCOMPARE(choice->count(), 5);  // four ports and XDATA, none chosen
    QCOMPARE(choice->currentIndex(), -1);
  }

  // The pin buttons follow a program that writes P1: at a stop, and during a
  // run, when the PC field shows the run's progress too.
  void pinButtonsFollowAProgramWritingP1() {
    ShowPortForm();
    Type("cbyte 0 = 75,90,55");     // MOV P1,#55H
    Type("cbyte 10 = 05,90,80,FC");  // L: INC P1; SJMP L
    main_->Actions()->StepClick("STEP");
    QCOMPARE(ports_->ValueLabel(0x90)->text(), QString("55"));
    QCOMPARE(ports_->PinButton(0x90, 0)->text(), QString("1"));
    QVERIFY(!ports_->PinButton(0x90, 0)->isChecked());
    QCOMPARE(ports_->PinButton(0x90, 1)->text(), QString("0"));
    QVERIFY(ports_->PinButton(0x90, 1)->isChecked());

    bool checked = false;
    // Once the PC field has left the last stop's PC (0003), however slow the start.
    TypeRun("go from 10", [this] { return Field("PC") != "PC 0003"; }, [this, &checked] {
      QCOMPARE(ports_->ValueLabel(0x90)->text(), Text(FormatHex2(Images().SfrImage[sfr::P1])));
      QCOMPARE(Field("PC"), "PC " + Text(FormatHex4(static_cast<uint16_t>(dorvik::Run().CurrentPC))));
      checked = true;
      dorvik::Run().UserBreak = true;
    });
    QVERIFY(checked);
    QCOMPARE(ports_->ValueLabel(0x90)->text(), Text(FormatHex2(Images().SfrImage[sfr::P1])));
  }

  // P3.2 driven low in the port window: an INT0 edge in edge mode (IE0 set),
  // nothing in level mode; a release gives no edge.
  void pinDrivenLowOnP32RaisesIE0InEdgeMode() {
    ShowPortForm();
    QTest::qWait(50);
    uint8_t* s = Images().SfrImage.data();
    s[sfr::TCON] = 0x01;  // IT0
    QTest::mouseClick(ports_->PinButton(0xB0, 2), Qt::LeftButton);
    QCOMPARE(s[sfr::P3], uint8_t{0xFB});
    QCOMPARE(s[sfr::TCON], uint8_t{0x03});
    QVERIFY(ports_->PinButton(0xB0, 2)->isChecked());
    s[sfr::TCON] = 0x01;
    QTest::mouseClick(ports_->PinButton(0xB0, 2), Qt::LeftButton);  // released
    QCOMPARE(s[sfr::P3], uint8_t{0xFF});
    QCOMPARE(s[sfr::TCON], uint8_t{0x01});
    s[sfr::TCON] = 0x00;  // level mode: the pin's level is the request
    QTest::mouseClick(ports_->PinButton(0xB0, 2), Qt::LeftButton);
    QCOMPARE(s[sfr::TCON], uint8_t{0x00});
  }

  // Debug | Inputs and the chords: INT0/INT1 edges set IE0/IE1 with IT0/IT1
  // set; the count pulses count only a timer in counter mode. Off the
  // simulator the items are off.
  void inputsItemsAndChords() {
    uint8_t* s = Images().SfrImage.data();
    s[sfr::TCON] = 0x05;
    hw_->InputAction(PinInput::Int0Edge)->trigger();
    QCOMPARE(s[sfr::TCON], uint8_t{0x07});
    hw_->InputAction(PinInput::Int1Edge)->trigger();
    QCOMPARE(s[sfr::TCON], uint8_t{0x0F});
    s[sfr::TMOD] = 0x55;  // both timers 16-bit counters
    s[sfr::TCON] = 0x50;  // TR0, TR1
    hw_->InputAction(PinInput::Timer0Pulse)->trigger();
    hw_->InputAction(PinInput::Timer1Pulse)->trigger();
    QCOMPARE(s[sfr::TL0], uint8_t{1});
    QCOMPARE(s[sfr::TL1], uint8_t{1});
    QCOMPARE(hw_->InputsMenu()->actions().size(), 4);

    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    QWidget* keys = main_->Disassembly()->Rows();
    s[sfr::TCON] = 0x55;
    QTest::keyClick(keys, Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(s[sfr::TCON], uint8_t{0x57});
    QTest::keyClick(keys, Qt::Key_F2, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(s[sfr::TCON], uint8_t{0x5F});
    QTest::keyClick(keys, Qt::Key_F11, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(keys, Qt::Key_F12, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(s[sfr::TL0], uint8_t{2});
    QCOMPARE(s[sfr::TL1], uint8_t{2});
    s[sfr::TMOD] = 0x11;  // timers: a pulse does not count
    QTest::keyClick(keys, Qt::Key_F11, Qt::ControlModifier | Qt::AltModifier);
    hw_->InputAction(PinInput::Timer1Pulse)->trigger();
    QCOMPARE(s[sfr::TL0], uint8_t{2});
    QCOMPARE(s[sfr::TL1], uint8_t{2});

    dorvik::Run().TargetKind = kTargetNone;
    main_->SyncViews();
    QVERIFY(!hw_->InputAction(PinInput::Int0Edge)->isEnabled());
    dorvik::Run().TargetKind = kTargetSimulator;
  }

  // The example with an INT0 handler: running, it takes the interrupt at the
  // INT0 edge of Debug | Inputs, each time.
  void theExampleTakesTheInterruptAtAnInt0Edge() {
    QVERIFY(LoadExample("int0"));
    Type("br = 41");  // ON_INT0
    for (uint8_t edges = 1; edges <= 2; ++edges) {
      // Once the run's menus are shown (the way to the item open during the
      // run, the rest shut) and the program waits at IDLE for edges (IT0, EX0
      // and EA set), however slow the start.
      const auto ready = [this] {
        bool runMenus = main_->menuBar()->isEnabled() && hw_->InputsMenu()->menuAction()->isEnabled() &&
                        !main_->findChild<QAction*>("tbSetCom")->isEnabled();
        for (QAction* top : main_->menuBar()->actions()) runMenus &= top->isEnabled() == (top->text() == "&Debug");
        const uint8_t* s = Images().SfrImage.data();
        return runMenus && (s[sfr::TCON] & 0x01) && (s[sfr::IE] & 0x81) == 0x81;
      };
      bool triggered = false;
      TypeRun("go", ready, [this, &triggered] {
        QAction* edge = hw_->InputAction(PinInput::Int0Edge);
        QVERIFY(edge->isEnabled());
        edge->trigger();
        triggered = true;
      });
      QVERIFY(triggered);
      QVERIFY2(Text().count("EXECUTION HALTED AT 0041") == edges, qPrintable(Text().right(120)));
      QVERIFY(main_->findChild<QAction*>("tbSetCom")->isEnabled());
      QCOMPARE(Images().IDataImage[0x30], uint8_t(edges - 1));  // the handler ran once per earlier edge
    }
  }

  // blink.a51 in the workbench: the port window shows P1.0 change at each pass of LOOP.
  void theBlinkExampleChangesP10AtEachPass() {
    QVERIFY(LoadExample("blink"));
    ShowPortForm();
    Type("br = 35");  // LOOP
    QString seen;
    for (int pass = 0; pass < 4; ++pass) {
      Type("go");
      seen += ports_->PinButton(0x90, 0)->text();
    }
    QCOMPARE(seen, QString("0101"));
  }

  // A board at rest: the port window reads its ports over the line, also
  // when they change by themselves; a line that dies is the one message of
  // the idle handler, and the window asks it nothing more; a board that stops
  // answering is one message, and the window waits for the next stop.
  void aBoardsPortsAndADeadLine() {
    FakeTarget fake(FakeTarget::Kind::Monitor);
    QVERIFY(fake.Started());
    dorvik::Run().TargetKind = kTargetMonitor;
    QVERIFY(OpenLink(fake.Device(), 19200));
    fake.Poke(kSpaceDirect, 0x90, {0x5A});
    ShowPortForm();
    QTRY_COMPARE(ports_->ValueLabel(0x90)->text(), QString("5A"));
    QVERIFY(ports_->RefreshTimer().isActive());
    fake.Poke(kSpaceDirect, 0x90, {0x3C});  // the board's port changes by itself: the timer sees it
    QTRY_COMPARE(ports_->ValueLabel(0x90)->text(), QString("3C"));
    // A board that stops answering on an open line: one message, no more polls until a stop.
    boxes_.Clear();
    fake.SetFault(Fault::Silent);
    QTRY_VERIFY_WITH_TIMEOUT(!boxes_.Shown().empty(), 5000);
    QTest::qWait(3 * kPortTimerMs);
    QCOMPARE(int(boxes_.Shown().size()), 1);
    QVERIFY(!ports_->RefreshTimer().isActive());
    QVERIFY(main_->isEnabled());
    fake.SetFault(Fault::None);
    fake.Poke(kSpaceDirect, 0x90, {0x3C});
    RefreshDebugViews();  // a stop
    QTRY_VERIFY(ports_->RefreshTimer().isActive());
    boxes_.Clear();
    fake.Hangup();
    QTRY_VERIFY_WITH_TIMEOUT(!boxes_.Shown().empty(), 5000);  // the idle handler finds the line dead
    QTest::qWait(3 * kPortTimerMs);
    QCOMPARE(int(boxes_.Shown().size()), 1);
    QCOMPARE(QString::fromStdString(boxes_.Shown().front().Caption), QString("Error #161"));
    QCOMPARE(ports_->ValueLabel(0x90)->text(), QString("3C"));
    QVERIFY(main_->isEnabled());
    CloseLink();
  }

  // The switch row answers the program's MOVX read of its address: the byte
  // lands in A, also with the LED panel shown in front of it; hidden, or with
  // the bus suppressed, the read yields the image byte.
  void switchRowAnswersAMovxRead() {
    TSimForm* sim = hw_->SimForm();
    hw_->ShowSimForm();
    QVERIFY(QTest::qWaitForWindowExposed(sim));
    QCOMPARE(sim->Switches().Address, uint16_t{0x8000});
    for (int bit : {0, 2, 4, 6}) QTest::mouseClick(sim->Switch(bit), Qt::LeftButton);  // closed: 0
    QCOMPARE(sim->Switches().Value, uint8_t{0xAA});
    sim->SetSwitch(7, false);
    sim->SetSwitch(4, true);
    QCOMPARE(sim->Switches().Value, uint8_t{0x3A});
    Images().XDataImage[0x8000] = 0x11;
    Type("cbyte 0 = 90,80,00,E0,E0,E0,80,FE");  // MOV DPTR,#8000H; MOVX A,@DPTR x3
    Step();
    Step();
    QCOMPARE(Field("ACC"), QString("ACC 3A"));

    hw_->ShowEightLED();  // in front: the message reaches the switches through it
    QVERIFY(QTest::qWaitForWindowExposed(hw_->EightLED()));
    sim->SetSwitch(0, true);
    Step();
    QCOMPARE(Field("ACC"), QString("ACC 3B"));
    Images().SuppressXDataIO = true;
    Step();
    QCOMPARE(Field("ACC"), QString("ACC 11"));
    Images().SuppressXDataIO = false;
    hw_->EightLED()->hide();
    sim->hide();
    Type("pc = 3");
    Step();
    QCOMPARE(Field("ACC"), QString("ACC 11"));
  }

  // The LED panel on P1 lights after a GO; wired to an external-data address
  // it shows the byte there; an address past FFFFH is refused with the
  // range and the panel stays wired as it was.
  void ledPanelAfterAGo() {
    TEightLED* led = hw_->EightLED();
    hw_->ShowEightLED();
    QVERIFY(QTest::qWaitForWindowExposed(led));
    QCOMPARE(led->Display().Binding, (vhw::PartBinding{vhw::kSpaceSfr, 0x90}));
    Type("cbyte 0 = 75,90,A5,80,FE");
    Type("br = 3");
    Type("go");
    QCOMPARE(led->Leds()->Value(), uint8_t{0xA5});

    BindingChooser* chooser = led->Chooser();
    chooser->AddressEdit()->setText("8000");
    QVERIFY(chooser->ApplyAddress());
    Images().XDataImage[0x8000] = 0x3C;
    main_->SyncViews();
    QCOMPARE(led->Leds()->Value(), uint8_t{0x3C});
    boxes_.Clear();
    chooser->AddressEdit()->setText("10000");
    QVERIFY(!chooser->ApplyAddress());
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Text), QString("Value not in range 0 .. 65535."));
    QCOMPARE(led->Display().Binding, (vhw::PartBinding{vhw::kSpaceXData, 0x8000}));
  }

  // Loads and HEX saves stop the refresh timer; the next read after them
  // starts it again at 500 ms.
  void timerStoppedAndRestartedAroundALoad() {
    QTimer& timer = ports_->RefreshTimer();
    QCOMPARE(timer.interval(), kPortTimerFirstMs);
    ShowPortForm();
    QTRY_COMPARE(timer.interval(), kPortTimerMs);
    QVERIFY(timer.isActive());
    const std::string hex = (dir_.path() + "/p.hex").toStdString();
    WriteFile(hex, ":03010000020100F9\r\n:00000001FF\r\n");
    bool stopped = false;
    WhenModal("LoadDlg", [&](QWidget*) {
      QTest::mouseClick(main_->LoadDialog()->BtnLoad, Qt::LeftButton);
      stopped = ports_->RefreshStopped();
    });
    QVERIFY(main_->LoadProgram(hex));
    QVERIFY(stopped);
    QVERIFY(timer.isActive() && timer.interval() == kPortTimerMs);

    ScriptedChooser chooser;
    chooser.Files = {(dir_.path() + "/saved.hex").toStdString()};
    stopped = false;
    WhenModal("RangeDlg", [](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>("btnOK"), Qt::LeftButton); });
    WhenModal("LoadDlg", [&](QWidget*) {
      QTest::mouseClick(main_->LoadDialog()->BtnLoad, Qt::LeftButton);
      stopped = ports_->RefreshStopped();
    });
    main_->SaveHEXClick();
    QVERIFY(stopped);
    main_->SyncViews();
    QVERIFY(timer.isActive());
  }

  // The port window floats; its entry in [DORVIK] holds the flag and its place.
  void placeKeptInTheProjectFile() {
    const std::string project = (dir_.path() + "/p.qpc").toStdString();
    WriteFile(project, "Target=VOV51\r\n[DORVIK]\r\nPortForm=1,100,120,330,180\r\n");
    main_->LoadLayout(project);
    QVERIFY(ports_->isVisible());
    QTRY_COMPARE(ports_->geometry().topLeft(), QPoint(100, 120));
    QVERIFY(main_->SaveLayout(project));
    platform::IniFile file;
    QVERIFY(file.Load(project));
    QCOMPARE(QString::fromStdString(file.ReadString("DORVIK", "PortForm")).section(',', 0, 2), QString("1,100,120"));
    ports_->hide();
    QVERIFY(main_->SaveLayout(project));
    QVERIFY(file.Load(project));
    QVERIFY(file.ReadString("DORVIK", "PortForm").starts_with("0,"));
    main_->LoadLayout(project);
    QVERIFY(!ports_->isVisible());
  }

  // Debug | Write port | Port n writes a hexadecimal byte; anything else is
  // the validator's message and nothing is written.
  void aPortWrittenFromTheMainMenu() {
    ScriptedChooser chooser;
    chooser.ValueAnswers = {"3c"};
    hw_->PortPopupMenu()->findChild<QAction*>("Port11")->trigger();
    QCOMPARE(QString::fromStdString(chooser.Values.back()), QString("Port 1=FF"));
    QCOMPARE(Images().SfrImage[sfr::P1], uint8_t{0x3C});
    for (const char* bad : {"1FF", "X1", ""}) {
      boxes_.Clear();
      QVERIFY(!hw_->WritePortValue(0x90, bad));
      QCOMPARE(int(boxes_.Shown().size()), 1);
    }
    QCOMPARE(QString::fromStdString(boxes_.Shown().back().Text), QString("Value not in range 0 .. 255."));
    QCOMPARE(Images().SfrImage[sfr::P1], uint8_t{0x3C});
    // The dialog itself: OK with "GG" gives the message while the dialog stays
    // open with the text; a good value then closes it and is written.
    bool stayed = false;
    WhenModal("PortValueDialog", [this, &stayed](QWidget* w) {
      auto* edit = w->findChild<TNumValidEdit*>("editPortValue");
      auto* ok = w->findChild<QPushButton*>("btnOK");
      QVERIFY(edit != nullptr && ok != nullptr);
      QCOMPARE(edit->text(), QString("3C"));
      boxes_.Clear();
      edit->setText("GG");
      QTest::mouseClick(ok, Qt::LeftButton);
      stayed = w->isVisible() && edit->text() == "GG" && boxes_.Shown().size() == 1 &&
               boxes_.Shown()[0].Text == "Value not in range 0 .. 255.";
      edit->setText("5A");
      QTest::mouseClick(ok, Qt::LeftButton);
    });
    hw_->PortPopupMenu()->findChild<QAction*>("Port11")->trigger();
    QVERIFY(stayed);
    QCOMPARE(Images().SfrImage[sfr::P1], uint8_t{0x5A});
  }

 private:
  // Examples/Name.a51 assembled into the test's folder and its HEX file loaded from the load dialog.
  bool LoadExample(const QString& name) {
    const QString source = dir_.path() + "/" + name + ".a51";
    if (!QFile::copy(QString(DORVIK_SOURCE_DIR) + "/examples/" + name + ".a51", source)) return false;
    {
      auto context = std::make_unique<as::AsmContext>();
      as::AssembleFileWithControls(*context, source.toStdString(), "");
    }
    WhenModal("LoadDlg", [this](QWidget*) { QTest::mouseClick(main_->LoadDialog()->BtnLoad, Qt::LeftButton); });
    return main_->LoadProgram((dir_.path() + "/" + name + ".hex").toStdString());
  }
  static QStringList Captions(QMenu* menu) {
    QStringList captions;
    for (QAction* a : menu->actions()) captions << a->text();
    return captions;
  }
  void ShowPortForm() {
    hw_->ShowPortForm();
    QVERIFY(QTest::qWaitForWindowExposed(ports_));
    main_->SyncViews();
  }
  void Type(const QString& line) {
    main_->Terminal()->EnterLine(line.toStdString());
    main_->ExecuteScannerLine();
  }
  void Step() { main_->Actions()->StepClick("STEP"); }
  // Types Line, a run, and during it does Act once Ready holds (polled with
  // the views synced); halts the run after 30 s when Ready never holds.
  void TypeRun(const QString& line, const std::function<bool()>& ready, const std::function<void()>& act) {
    QTimer poll;
    poll.setInterval(20);
    QElapsedTimer since;
    since.start();
    bool done = false;
    QObject::connect(&poll, &QTimer::timeout, main_.get(), [&] {
      if (done || !dorvik::Run().ProgramRunning) return;
      main_->SyncViews();
      if (since.hasExpired(30000))
        dorvik::Run().UserBreak = true;
      else if (ready())
        act();
      else
        return;
      done = true;
    });
    poll.start();
    Type(line);
  }
  QString Text() const { return main_->Terminal()->Editor()->toPlainText(); }
  QString Field(const std::string& name) const { return main_->StatusField("st" + name)->text(); }
  static QString Text(const std::string& s) { return QString::fromStdString(s); }

  platform::ScriptedReporter boxes_;
  platform::ScriptedDialogs dialogs_;
  std::unique_ptr<MainWindow> main_;
  HardwareMenu* hw_ = nullptr;
  TPortForm* ports_ = nullptr;
  QTemporaryDir dir_;
};

QTEST_MAIN(PortsTest)
#include "ports_test.moc"
