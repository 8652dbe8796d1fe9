// The workbench's dialogs driven as a user would: the input dialog's history
// in the .HST file, message boxes, the progress dialog cancelling a fill, and
// the line assembler writing code memory; the validators.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>
#include <span>

#include "access/backend.h"
#include "base/dialogs.h"
#include "base/messages.h"
#include "base/msgids.h"
#include "debugger/executor.h"
#include "debugger/lineasm.h"
#include "gui/main/mainwindow.h"
#include "gui/dialogs/lineasmdialog.h"
#include "gui/dialogs/qtdialogs.h"
#include "gui/dialogs/validators.h"
#include "lang/scanner.h"
#include "machine/images.h"
#include "tests/support/gui_fixture.h"
#include "tests/support/simulator_forwarder.h"

using namespace dorvik;
using namespace dorvik::gui;
using namespace dorvik::testing;

namespace {

void Click(QWidget* dialog, const char* button) {
  auto* b = dialog->findChild<QPushButton*>(button);
  QVERIFY(b != nullptr);
  QTest::mouseClick(b, Qt::LeftButton);
}

void Retype(QComboBox* combo, const QString& text) {
  combo->lineEdit()->selectAll();
  QTest::keyClicks(combo, text);
}

// A linked target whose block writes go in chunks and report their progress;
// the user presses the progress dialog's Cancel after the third chunk.
class ChunkedTarget : public SimulatorForwarder {
 public:
  explicit ChunkedTarget(QtDialogs& dialogs) : dialogs_(dialogs) {}
  TargetCapabilities Capabilities() const override {
    TargetCapabilities caps = Sim().Capabilities();
    caps.HasTarget = true;
    caps.LocalImages = false;
    return caps;
  }
  bool WriteBlock(uint8_t, int32_t, std::span<const uint8_t> bytes, bool, const WriteProgress& progress) override {
    const int32_t total = static_cast<int32_t>(bytes.size());
    for (int32_t done = 0; done < total; done += 16) {
      Written += std::min(16, total - done);
      if (++Chunks == 3) {
        QProgressDialog* p = dialogs_.Progress();
        if (p != nullptr && p->isVisible())
          if (auto* cancel = p->findChild<QPushButton*>()) QTest::mouseClick(cancel, Qt::LeftButton);
      }
      if (progress && !progress(done + 16, total)) return false;
    }
    return true;
  }
  int Chunks = 0;
  int32_t Written = 0;

 private:
  QtDialogs& dialogs_;
};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    boxes_.Clear();
    QVERIFY(StartEngine(&boxes_));
    platform::SetDialogUi(&dialogs_);
    QVERIFY(dir_.isValid());
    MainForm().HistoryFileName = dir_.filePath("DORVIK.HST").toStdString();
  }
  void cleanup() { StopEngine(); }

  void inputDialogHistory() {
    const std::string hst = MainForm().HistoryFileName;
    WriteFile(hst, "[HISTORY]\n7H0=0\n7H1=other\n");
    TInputDialog& dialog = Dialogs().InputDialog;
    dialog.comboBox1.Tag = 5;
    dialog.comboBox1.Text = "first";
    WhenModal("InputDialog", [](QWidget* w) {
      auto* combo = w->findChild<QComboBox*>("comboBox1");
      QCOMPARE(combo->currentText(), QString("first"));
      Retype(combo, "typed");
      Click(w, "btnOK");
    });
    QCOMPARE(dialog.ShowModal(), kModalOk);
    QCOMPARE(dialog.Value, std::string("typed"));
    std::string text = ReadFile(hst);
    QVERIFY(text.find("5H1=typed") != std::string::npos);
    QVERIFY(text.find("7H1=other") != std::string::npos);  // the history's rules are base's (tests/base)
    WhenModal("InputDialog", [](QWidget* w) { Click(w, "btnCancel"); });
    QCOMPARE(dialog.ShowModal(), kModalCancel);
  }

  void pairDialogHistories() {
    TInputDialog2& dialog = Dialogs().InputDialog2;
    dialog.comboName.Tag = 8;
    dialog.ComboValue.Tag = 9;
    WhenModal("InputDialog2", [](QWidget* w) {
      Retype(w->findChild<QComboBox*>("comboName"), "PATH");
      Retype(w->findChild<QComboBox*>("ComboValue"), "/usr/bin");
      Click(w, "btnOK");
    });
    QCOMPARE(dialog.ShowModal(), kModalOk);
    QVERIFY(dialog.NameChanged);
    const std::string text = ReadFile(MainForm().HistoryFileName);
    QVERIFY(text.find("8H1=PATH") != std::string::npos);
    QVERIFY(text.find("9H1=/usr/bin") != std::string::npos);
  }

  void messageBoxes() {
    QtReporter reporter;
    platform::SetReporter(&reporter);
    QString caption, text;
    WhenModal("MessageBox", [&](QWidget* w) {
      auto* box = static_cast<QMessageBox*>(w);
      caption = box->windowTitle();
      text = box->text();
      QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    QCOMPARE(ReportError(err::kSyntaxError), platform::kBoxOk);
    QCOMPARE(caption, QString("Error #118"));
    QCOMPARE(text, QString("Syntax Error"));
    const std::pair<QMessageBox::StandardButton, int> answers[] = {
        {QMessageBox::Yes, platform::kBoxYes}, {QMessageBox::No, platform::kBoxNo}, {QMessageBox::Cancel, platform::kBoxCancel}};
    for (const auto& [button, result] : answers) {
      WhenModal("MessageBox", [button = button](QWidget* w) {
        QTest::mouseClick(static_cast<QMessageBox*>(w)->button(button), Qt::LeftButton);
      });
      QCOMPARE(reporter.ShowBox({"Question", "Go on?", platform::BoxButtons::YesNoCancel, platform::BoxIcon::Question}),
               result);
    }
    // A wait form up when a box comes (a long load's success box) goes; the
    // box is flagged, so the form is not shown again over it.
    QLabel wait("Wait please...", nullptr, Qt::Tool);
    wait.setObjectName("WaitForm");
    wait.show();
    bool flagged = false;
    bool waitShown = true;
    WhenModal("MessageBox", [&](QWidget* w) {
      flagged = Messages().MessageBoxShowing;
      waitShown = wait.isVisible();
      QTest::mouseClick(static_cast<QMessageBox*>(w)->button(QMessageBox::Ok), Qt::LeftButton);
    });
    ShowBox({"Information", "Load succesful, last address used 004D", platform::BoxButtons::Ok,
             platform::BoxIcon::Information});
    QVERIFY(flagged);
    QVERIFY(!waitShown);
    QVERIFY(!Messages().MessageBoxShowing);
    platform::SetReporter(&boxes_);
  }

  void progressCancelsFill() {
    ChunkedTarget target(dialogs_);
    SetBackendForTesting(kTargetMonitor, &target);
    dorvik::Run().TargetKind = kTargetMonitor;
    SetScanLine("XBYTE 0 TO 0FFF = 55\r", false);
    GetToken();
    ExecuteCommand();
    SetBackendForTesting(kTargetMonitor, nullptr);
    dorvik::Run().TargetKind = kTargetSimulator;
    // Cancel was pressed during the third chunk: the fill stopped there.
    QCOMPARE(target.Chunks, 3);
    QCOMPARE(target.Written, 48);
    QVERIFY(dialogs_.Progress() != nullptr && !dialogs_.Progress()->isVisible());
  }

  void lineAssembler() {
    MainWindow main;
    main.show();
    dorvik::Run().CurrentPC = 0x100;
    auto dialog = std::make_unique<LineAsmDialog>(&main);
    dialog->show();
    QCOMPARE(dialog->comboASMAddress->currentText(), QString("0100"));
    Retype(dialog->comboASMStatement, "mov a,#5");
    QTest::mouseClick(dialog->btnAssembly, Qt::LeftButton);
    QCOMPARE(Images().CodeImage[0x100], uint8_t{0x74});
    QCOMPARE(Images().CodeImage[0x101], uint8_t{0x05});
    QCOMPARE(dialog->comboASMAddress->currentText(), QString("0102"));
    QCOMPARE(dialog->AsmListBox->count(), 1);
    QVERIFY(dialog->staticASMResult->text().contains("MOV"));
    Retype(dialog->comboASMStatement, "LJMP 1234H");
    QTest::mouseClick(dialog->btnAssembly, Qt::LeftButton);
    QCOMPARE(dialog->comboASMAddress->currentText(), QString("0105"));

    // A statement that does not assemble writes nothing.
    const uint8_t before = Images().CodeImage[0x105];
    Retype(dialog->comboASMStatement, "FOO A");
    QTest::mouseClick(dialog->btnAssembly, Qt::LeftButton);
    QCOMPARE(Images().CodeImage[0x105], before);
    QVERIFY(!dialog->staticASMResult->text().isEmpty());
    QCOMPARE(dialog->AsmListBox->count(), 2);

    // What is typed is assembled: "LJM" is no "LJMP 1234H" from the history,
    // and the parser's error comes as a numbered box.
    const size_t boxes = boxes_.Shown().size();
    Retype(dialog->comboASMStatement, "LJM");
    QCOMPARE(dialog->comboASMStatement->currentText(), QString("LJM"));
    QTest::mouseClick(dialog->btnAssembly, Qt::LeftButton);
    QCOMPARE(Images().CodeImage[0x105], before);
    QVERIFY(boxes_.Shown().size() == boxes + 1 && boxes_.Shown().back().Caption.rfind("Error #", 0) == 0);

    // Selecting an assembled line puts its instruction back into the statement field.
    QTest::mouseClick(dialog->AsmListBox->viewport(), Qt::LeftButton, {},
                      dialog->AsmListBox->visualItemRect(dialog->AsmListBox->item(0)).center());
    QVERIFY(dialog->comboASMStatement->currentText().startsWith("MOV"));
    QVERIFY(!MainForm().Busy);
  }

  // Validators checked on whole texts (tables) and typed key by key into the
  // validated controls.
  void integerBases_data() {
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("bin 101") << 2 << "101" << true << 5.0;
    QTest::newRow("bin digit 2") << 2 << "102" << false << 0.0;
    QTest::newRow("bin 256") << 2 << "100000000" << false << 0.0;
    QTest::newRow("oct 377") << 8 << "377" << true << 255.0;
    QTest::newRow("oct 400") << 8 << "400" << false << 0.0;
    QTest::newRow("dec 255") << 10 << "255" << true << 255.0;
    QTest::newRow("dec -1") << 10 << "-1" << false << 0.0;
    QTest::newRow("dec 1.5") << 10 << "1.5" << false << 0.0;
    QTest::newRow("hex FF") << 16 << "FF" << true << 255.0;
    QTest::newRow("hex 0FFH") << 16 << "0FFH" << true << 255.0;
    QTest::newRow("hex 100") << 16 << "100" << false << 0.0;
    QTest::newRow("hex H alone") << 16 << "H" << false << 0.0;
    QTest::newRow("hex huge") << 16 << "FFFFFFFFFFFFFFFFFFFF" << false << 0.0;
  }
  void integerBases() {
    QFETCH(int, base);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, value);
    TRangeValidator v(kKindInteger, 0, 255);
    v.Base = static_cast<uint8_t>(base);
    QCOMPARE(v.IsValid(text.toStdString()), valid);
    if (valid) QCOMPARE(static_cast<double>(v.Result), value);
  }

  void hexRangeAndSet_data() {
    QTest::addColumn<bool>("set");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("FF") << false << "FF" << true;
    QTest::newRow("FFFF over the range") << false << "FFFF" << false;
    QTest::newRow("lower case") << false << "ff" << false;
    QTest::newRow("list") << true << "10,20..2F" << true;
    QTest::newRow("empty item") << true << "10,,20" << false;
    QTest::newRow("range without start") << true << "..20" << false;
    QTest::newRow("three points") << true << "10...20" << false;
    QTest::newRow("first item over") << true << "100,20" << false;
    QTest::newRow("range end over") << true << "20..100" << false;
  }
  void hexRangeAndSet() {
    QFETCH(bool, set);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    std::unique_ptr<TValidator> v = set ? std::make_unique<THEXSetValidator>(0, 0xFF)
                                        : std::make_unique<THEXRangeValidator>(0, 0xFF);
    QCOMPARE(v->IsValid(text.toStdString()), valid);
  }

  void floats_data() {
    QTest::addColumn<bool>("infiniteRange");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    const QString huge(40, '9');
    QTest::newRow("minus while typing") << false << "-" << true;
    QTest::newRow("2.5") << false << "2.5" << true;
    QTest::newRow("7.5 over") << false << "7.5" << false;
    QTest::newRow("two points") << false << "1.2.3" << false;
    QTest::newRow("infinite refused") << false << huge << false;
    QTest::newRow("infinite in an infinite range") << true << huge << true;
  }
  void floats() {
    QFETCH(bool, infiniteRange);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const long double inf = std::numeric_limits<long double>::infinity();
    TRangeValidator v(kKindFloat, infiniteRange ? -inf : 0, infiniteRange ? inf : 5);
    QCOMPARE(v.IsValid(text.toStdString()), valid);
  }

  void errorBoxes() {
    TRangeValidator f(kKindFloat, 0, 5);
    QVERIFY(!f.Validate("7.5", true));
    TRangeValidator i(kKindInteger, 0, 255);
    QVERIFY(!i.Validate("300", true));
    TFilterValidator filter(NumericChars);
    QVERIFY(!filter.Validate("12x4", true));
    QCOMPARE(filter.ErrorPos, 3);
    QVERIFY(!i.Validate("300", false));
    const auto& shown = boxes_.Shown();
    QCOMPARE(shown.size(), size_t{3});
    QCOMPARE(shown[0].Text, std::string("Value not in range 0.000 .. 5.000."));
    QCOMPARE(shown[1].Text, std::string("Value not in range 0 .. 255."));
    QCOMPARE(shown[2].Text, std::string("Invalid input character"));
    for (const auto& box : shown) {
      QCOMPARE(box.Caption, std::string("Validator"));
      QVERIFY(box.Icon == platform::BoxIcon::Exclamation);
    }
  }

  // What reaches the control when the keys are typed one by one.
  void typedKeyByKey_data() {
    QTest::addColumn<int>("kind");  // 0 combo box, 1 edit
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::newRow("combo numeric") << 0 << 10 << "1a2+.-x9" << "12+.-9";
    QTest::newRow("edit base 2") << 1 << 2 << "10291+" << "101";
    QTest::newRow("edit base 8") << 1 << 8 << "1789" << "17";
    QTest::newRow("edit base 16") << 1 << 16 << "0fgh" << "0fh";
    QTest::newRow("edit hex set") << 1 << 0 << "10,20..2fG" << "10,20..2";
  }
  void typedKeyByKey() {
    QFETCH(int, kind);
    QFETCH(int, base);
    QFETCH(QString, keys);
    QFETCH(QString, text);
    if (kind == 0) {
      TValidComboBox combo;
      QTest::keyClicks(&combo, keys);
      QCOMPARE(combo.currentText(), text);
      QTest::keyClick(&combo, Qt::Key_Backspace);
      QCOMPARE(combo.currentText(), text.chopped(1));
      return;
    }
    TNumValidEdit edit;
    if (base == 0) {
      edit.SetValidator(std::make_unique<THEXSetValidator>(0, 0xFF));
    } else {
      auto v = std::make_unique<TRangeValidator>(kKindInteger, 0, 0xFFFF);
      v->Base = static_cast<uint8_t>(base);
      edit.SetValidator(std::move(v));
    }
    QTest::keyClicks(&edit, keys);
    QCOMPARE(edit.text(), text);
  }

 private:
  platform::ScriptedReporter boxes_;
  QtDialogs dialogs_;
  QTemporaryDir dir_;
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
