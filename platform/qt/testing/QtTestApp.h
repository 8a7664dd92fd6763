// A Qt application for GUI tests (offscreen when QT_QPA_PLATFORM says so): call
// EnsureQtApp() before using widgets. Created once per test binary, never destroyed
// before the end of the process.
#pragma once
#include <QApplication>

#include "platform/qt/QtUi.h"

namespace plat::testing {

inline QApplication* EnsureQtApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
  static int argc = 1;
  static char name[] = "tremvia-tests";
  static char* argv[] = {name, nullptr};
  auto* app = new QApplication(argc, argv);
  ForceCNumericLocale();
  return app;
}

}  // namespace plat::testing
