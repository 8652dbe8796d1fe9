#pragma once
// The engine wired as the workbench wires it, for the QtTest programs of the
// workbench: the simulator, the shipped processor database, the STEP loop's
// keys from the terminal model, and message boxes recorded.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "access/target.h"
#include "assembler/context.h"
#include "assembler/driver.h"
#include "base/mainform.h"
#include "base/runstate.h"
#include "base/session.h"
#include "debugger/runcontrol.h"
#include "debugger/terminal.h"
#include "debugger/statusfields.h"
#include "gui/main/mainwindow.h"
#include "lang/cpudb.h"
#include "platform/dialogs.h"
#include "platform/pump.h"
#include "platform/reporter.h"

namespace dorvik::testing {

// Without XDG_RUNTIME_DIR Qt makes its runtime folder in the temporary folder
// and leaves it there: the program gets one of its own, removed at its end.
inline const bool kOwnRuntimeDir = [] {
  if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) return true;
  static QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  return runtime.isValid();
}();

// A fresh session on the simulator; boxes go to Boxes (null: left as set).
inline bool StartEngine(platform::MessageReporter* boxes) {
  // The offscreen platform's notes about what it cannot do are no findings.
  static const bool quiet = [] {
    const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(previous);
    static QtMessageHandler kept = previous;
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
      if (!text.startsWith("This plugin does not support") && kept != nullptr) kept(type, context, text);
    });
    return true;
  }();
  (void)quiet;
  // Qt's own settings (the file dialogs' history) go to a folder of this
  // program's own, removed at its end, never into the user's configuration.
  static QTemporaryDir settings;
  static const bool settingsMoved = [] {
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
      QSettings::setPath(format, QSettings::UserScope, settings.path());
    return settings.isValid();
  }();
  if (!settingsMoved) return false;
  ResetSession();
  platform::ResetPump();
  InstallTargetAccess();
  platform::Pump().SetIdleHook(DebugViewsIdle);
  if (boxes != nullptr) platform::SetReporter(boxes);
  dorvik::Run().TargetKind = kTargetSimulator;
  dorvik::Run().TargetReady = true;
  return ReadCpuDatabase(std::string(DORVIK_BIN_DIR) + "/dorvik51.qpf") && LoadCpuDescription();
}

inline void StopEngine() {
  platform::SetReporter(nullptr);
  platform::SetDialogUi(nullptr);
  platform::ResetPump();
  ResetSession();
}

// A new main window in Main, shown; false when it was not exposed in time.
inline bool ShowMainWindow(std::unique_ptr<gui::MainWindow>& main) {
  main = std::make_unique<gui::MainWindow>();
  main->show();
  return QTest::qWaitForWindowExposed(main.get());
}

// Copies examples/<Example> to Source and assembles it there with its
// symbols, its object and its listing; false when the copy failed.
// Assembles a source with its object (symbols) and listing, as the examples' sessions do.
inline void AssembleWithDebug(const std::string& source) {
  auto context = std::make_unique<as::AsmContext>();
  as::AssembleFileWithControls(*context, source, "OBJECT DEBUG PRINT");
}

inline bool AssembleExample(const std::string& example, const std::string& source) {
  if (!QFile::copy(QString(DORVIK_SOURCE_DIR) + "/examples/" + QString::fromStdString(example),
                   QString::fromStdString(source)))
    return false;
  AssembleWithDebug(source);
  return true;
}

// Runs Act on the modal dialog that the next call opens (found by its
// object name once it is shown), so a test can drive an exec() loop. A failed
// check must not leave the test waiting in exec(): the dialog that Act left
// open after a failure is rejected, and so is another modal dialog still up
// kModalWaitMs after the call while the named one has not come (a failure).
constexpr qint64 kModalWaitMs = 5000;

inline void CloseModal(QWidget* w) {
  if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
  else w->close();
}

inline void WhenModal(const QString& name, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QElapsedTimer waited;
  waited.start();
  QObject::connect(timer, &QTimer::timeout, [timer, name, act, waited] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || w->objectName() != name) {
      if (w == nullptr || waited.elapsed() < kModalWaitMs) return;
      timer->stop();
      timer->deleteLater();
      const QString failure = "dialog " + w->objectName() + " open instead of " + name;
      CloseModal(w);
      QTest::qFail(qPrintable(failure), __FILE__, __LINE__);
      return;
    }
    timer->stop();
    timer->deleteLater();
    const QPointer<QWidget> open(w);
    act(w);
    if (QTest::currentTestFailed() && open && open->isVisible()) CloseModal(open);
  });
  timer->start();
}

// Presses the keys on Target one at each wait of the STEP loop for its key
// (a key pressed before it waits is not taken), so a slow step cannot lose one.
inline void WhenWaitingForKeys(QWidget* target, std::vector<Qt::Key> keys) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, target, keys, next = size_t{0}, pressed = false]() mutable {
    // The next key only once the loop took the last one, at its next wait.
    if (pressed && Terminal().KeyPressed) return;
    pressed = false;
    if (!Terminal().WaitingForKey) return;
    QTest::keyClick(target, keys[next]);
    pressed = true;
    if (++next < keys.size()) return;
    timer->stop();
    timer->deleteLater();
  });
  timer->start();
}
inline void WhenWaitingForKey(QWidget* target, Qt::Key key) { WhenWaitingForKeys(target, {key}); }

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace dorvik::testing
