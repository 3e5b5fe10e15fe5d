// The UI suites run the real widgets under a QApplication (ctest sets
// QT_QPA_PLATFORM=offscreen; so does this file when nothing else is set), with
// settings kept in a temporary folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  // The program's saved settings go to a folder of this run, never to the user's own.
  QTemporaryDir settings;
  if (!settings.isValid()) return 1;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
