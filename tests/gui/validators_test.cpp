// Validators checked on whole texts (tables) and typed key by key into the
// validated controls.

#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

#include "base/session.h"
#include "gui/validators.h"
#include "platform/reporter.h"

using namespace dorvik;
using namespace dorvik::gui;

class ValidatorsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ResetSession();
    boxes_.Clear();
    platform::SetReporter(&boxes_);
  }
  void cleanup() { platform::SetReporter(nullptr); }

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
};

QTEST_MAIN(ValidatorsTest)
#include "validators_test.moc"
