// The communication set-up dialog: Cancel changing
// nothing, OK applying the target with its breakpoint count, and a port that
// cannot be opened reported with the system's text.

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include "base/runstate.h"
#include "debugger/breakpoints.h"
#include "debugger/commsettings.h"
#include "gui/commdialog.h"
#include "gui/mainwindow.h"
#include "tests/support/gui_fixture.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

class CommDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(StartEngine(&boxes_));
    main_ = std::make_unique<MainWindow>();
    main_->show();
  }
  void cleanup() {
    main_.reset();
    StopEngine();
  }

  void cancelChangesNothingOkApplies() {
    WhenModal("CommPortSelect", [](QWidget* w) {
      auto* dialog = static_cast<TCommPortSelect*>(w);
      dialog->comboTarget->setCurrentIndex(0);
      QCOMPARE(dialog->Chosen().TargetKind, kTargetMonitor);
      QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
    });
    main_->tbSetComClick();
    QCOMPARE(dorvik::Run().TargetKind, kTargetSimulator);
    QCOMPARE(Breakpoints().LastBreakIndex, 7);

    // OK with the monitor and no port: the target and its two breakpoints, no line.
    WhenModal("CommPortSelect", [](QWidget* w) {
      auto* dialog = static_cast<TCommPortSelect*>(w);
      dialog->comboTarget->setCurrentIndex(0);
      dialog->comboBaud->setCurrentText("9600");
      QTest::mouseClick(dialog->btnOK, Qt::LeftButton);
    });
    main_->tbSetComClick();
    QCOMPARE(dorvik::Run().TargetKind, kTargetMonitor);
    QCOMPARE(Breakpoints().LastBreakIndex, 1);
    QCOMPARE(Comm().Applied.BaudRate, 9600);

    // A device that is not there: error 100 with the system's text.
    boxes_.Clear();
    WhenModal("CommPortSelect", [](QWidget* w) {
      auto* dialog = static_cast<TCommPortSelect*>(w);
      dialog->comboPort->setEditText("/dev/dorvik-no-such-port");
      QTest::mouseClick(dialog->btnOK, Qt::LeftButton);
    });
    main_->tbSetComClick();
    QVERIFY(!boxes_.Shown().empty());
    QCOMPARE(QString::fromStdString(boxes_.Shown().front().Caption), QString("Error #100"));
    QVERIFY(QString::fromStdString(boxes_.Shown().front().Text).contains("No such file or directory"));
  }

 private:
  platform::ScriptedReporter boxes_;
  std::unique_ptr<MainWindow> main_;
};

QTEST_MAIN(CommDialogTest)
#include "commdialog_test.moc"
