// The UI suites run the real widgets under a QApplication (ctest sets
// QT_QPA_PLATFORM=offscreen; so does this file when nothing else is set), with
// settings kept in a temporary folder and the desktop's programs those of a
// private copy of data/desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

#include "ui_test_support.h"

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Programs and associations come from the fixture desktop, never the user's
  // own; set before anything asks the desktop, which reads them once.
  QTemporaryDir desktop;
  if (!desktop.isValid() || !vantelo::test::UsePrivateDesktop(desktop.path().toStdString()))
    return 1;
  QApplication app(argc, argv);
  // The program's saved settings go to a folder of this run, never to the user's own.
  QTemporaryDir settings;
  if (!settings.isValid()) return 1;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
