#pragma once
// The application object of the workbench's benchmarks, made at the first
// call with Name as the program's name; on Qt's offscreen platform unless
// another one is set.

#include <QApplication>

#include <string>

namespace dorvik::bench {

inline QApplication& App(const char* name) {
  static std::string program = name;
  static int argc = 1;
  static char* argv[] = {program.data(), nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

}  // namespace dorvik::bench
