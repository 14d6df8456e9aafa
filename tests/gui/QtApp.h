#pragma once

#include <QApplication>
#include <QDir>

namespace kestrio::testing {

// The one application object widget tests need, on the offscreen platform, with fonts that do
// not depend on the machine's locale.
inline QApplication& qtApp() {
  static int argc = 1;
  static char name[] = "kestrio-gui-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: tearing it down after Qt's own globals at exit crashes, and the process
  // ends right after the tests anyway.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Where tests leave screenshots for people to look at (the build directory's screenshots/).
inline QString screenshotDirectory() {
  QString dir = qEnvironmentVariable("KESTRIO_SCREENSHOTS");
  if (dir.isEmpty()) dir = QDir::tempPath() + "/kestrio-screenshots";
  QDir().mkpath(dir);
  return dir;
}

}  // namespace kestrio::testing
