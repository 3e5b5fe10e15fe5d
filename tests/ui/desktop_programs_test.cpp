// The desktop's programs for a type of file and their start, as GIO answers
// them from the suite's private desktop (data/desktop: desktop files, their
// mimeinfo.cache and a mimeapps.list with a default, added and removed
// associations for each type), and the "Open With" chooser over them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/test_support.h"
#include "ui/desktop_programs.h"
#include "ui/dialogs/program_chooser.h"
#include "ui/shell_services.h"
#include "ui_test_support.h"

namespace vantelo::ui {
namespace {

using test::Logged;
using test::ModalAnswer;
using test::OnlyPrivatePrograms;

constexpr int kLaunchWaitMs = 20000;  // a started program writes its line at once

QStringList Names(const std::vector<DesktopProgram>& programs) {
  QStringList names;
  for (const DesktopProgram& p : programs) names << p.name;
  return names;
}

QStringList Rows(const QListWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
  return rows;
}

class DesktopProgramsTest : public ::testing::Test {
 protected:
  QString File(const std::string& name, const std::string& bytes = "text\n") {
    test::WriteFileBytes(dir.file(name), bytes);
    return QString::fromStdString(dir.file(name));
  }
  test::TempFolder dir;
  ShellServices shell;
};

TEST_F(DesktopProgramsTest, TheDefaultIsTheListedOneAndRemovedOrUninstalledProgramsAreLeftOut) {
  const std::optional<DesktopProgram> preferred =
      desktop::DefaultProgramFor(QStringLiteral("application/x-vantelo-sample"));
  ASSERT_TRUE(preferred.has_value());
  EXPECT_EQ(preferred->id, "vantelo-test-editor.desktop");
  EXPECT_EQ(preferred->name, "Plain Editor");
  // The default first, then the added association, then the programs whose
  // desktop files name the type; not the removed one, not the one whose
  // TryExec program is missing, not the hidden one.
  EXPECT_EQ(Names(desktop::ProgramsFor(QStringLiteral("application/x-vantelo-sample"))),
            (QStringList{"Plain Editor", "Added Tool", "Sample Viewer"}));
  EXPECT_FALSE(desktop::DefaultProgramFor(QStringLiteral("application/x-vantelo-nobody")));
  EXPECT_TRUE(desktop::ProgramsFor(QStringLiteral("application/x-vantelo-nobody")).empty());
}

TEST_F(DesktopProgramsTest, AFileTakesTheProgramsOfTheTypesItDerivesFrom) {
  // C++ source is text: its own default first, then text/plain's programs,
  // without the program removed from text/plain.
  const QString source = File("main.cpp", "int main() {}\n");
  EXPECT_EQ(ShellServices::FileMimeType(source), "text/x-c++src");
  const QStringList names = Names(shell.ProgramsForFile(source));
  ASSERT_FALSE(names.isEmpty());
  EXPECT_EQ(names.first(), "Terminal Tool");
  EXPECT_TRUE(names.contains("Sample Viewer")) << names.join(", ").toStdString();
  EXPECT_TRUE(names.contains("Added Tool"));
  EXPECT_FALSE(names.contains("Removed Reader"));
  // A name without an extension is typed by its contents.
  EXPECT_EQ(ShellServices::FileMimeType(File("LICENCE", "Permission is granted.\n")), "text/plain");
  EXPECT_TRUE(shell.HasAssociatedProgram(File("LICENCE")));
}

TEST_F(DesktopProgramsTest, AllProgramsAreThoseTheMenusShowByName) {
  const QStringList names = Names(desktop::AllPrograms());
  QStringList ours;
  for (const QString& n : names)
    if (QStringList{"Added Tool", "Plain Editor", "Removed Reader", "Sample Viewer", "Terminal Tool",
                    "Not Installed", "Hidden Helper"}
            .contains(n))
      ours << n;
  EXPECT_EQ(ours, (QStringList{"Added Tool", "Plain Editor", "Removed Reader", "Sample Viewer",
                               "Terminal Tool"}));
}

TEST_F(DesktopProgramsTest, TheAssociatedProgramStartsOnTheFile) {
  const QString text = File("readme.txt");
  ASSERT_TRUE(shell.HasAssociatedProgram(text));
  const LaunchOutcome outcome = shell.OpenWithAssociatedProgram(text);
  EXPECT_EQ(outcome.result, LaunchOutcome::Started);
  EXPECT_EQ(outcome.program, "Sample Viewer");
  QTRY_VERIFY_WITH_TIMEOUT(Logged("viewer " + text.toStdString()), kLaunchWaitMs);
}

TEST_F(DesktopProgramsTest, AProgramThatCannotStartIsNamedWithTheReason) {
  const QString source = File("main.cpp", "int main() {}\n");
  OnlyPrivatePrograms path;  // Terminal Tool needs a terminal program, and none is found
  const LaunchOutcome outcome = shell.OpenWithAssociatedProgram(source);
  EXPECT_EQ(outcome.result, LaunchOutcome::Failed);
  EXPECT_EQ(outcome.program, "Terminal Tool");
  EXPECT_FALSE(outcome.reason.isEmpty());
  // A desktop file that went away between the list and the choice.
  const LaunchOutcome gone = shell.OpenWithProgram(QStringLiteral("vantelo-test-gone.desktop"), source);
  EXPECT_EQ(gone.result, LaunchOutcome::Failed);
  EXPECT_EQ(gone.program, "vantelo-test-gone.desktop");
}

TEST_F(DesktopProgramsTest, AProgramFileStartsOnTheFileOrSaysWhyNot) {
  const QString text = File("notes.txt");
  // A program file gets the file as its one argument.
  const QString launcher = QString::fromStdString(test::PrivateDesktopBin() + "/vantelo-test-launch");
  LaunchOutcome outcome = shell.OpenWithExecutable(launcher, text);
  EXPECT_EQ(outcome.result, LaunchOutcome::Started);
  EXPECT_EQ(outcome.program, "vantelo-test-launch");
  QTRY_VERIFY_WITH_TIMEOUT(Logged(text.toStdString() + " "), kLaunchWaitMs);
  // A desktop file chosen as the program starts as that program.
  const QString editor = QString::fromLocal8Bit(std::getenv("XDG_DATA_HOME")) +
                         "/applications/vantelo-test-editor.desktop";
  outcome = shell.OpenWithExecutable(editor, text);
  EXPECT_EQ(outcome.result, LaunchOutcome::Started);
  EXPECT_EQ(outcome.program, "Plain Editor");
  QTRY_VERIFY_WITH_TIMEOUT(Logged("editor " + text.toStdString()), kLaunchWaitMs);
  // A file that is no program: refused with the system's reason.
  outcome = shell.OpenWithExecutable(File("not-a-program.sh", "echo hi\n"), text);
  EXPECT_EQ(outcome.result, LaunchOutcome::Failed);
  EXPECT_EQ(outcome.program, "not-a-program.sh");
  EXPECT_FALSE(outcome.reason.isEmpty());
  outcome = shell.OpenWithExecutable(File("broken.desktop", "[Desktop Entry]\nName=x\n"), text);
  EXPECT_EQ(outcome.result, LaunchOutcome::Failed);
}

// ---- the chooser -----------------------------------------------------------------

TEST_F(DesktopProgramsTest, TheChooserListsTheTypesProgramsAndOpensThePickedOne) {
  const QString text = File("readme.txt");
  QStringList forType, withAll;
  bool showAllStartsOff = false;
  ModalAnswer answer([&](QWidget* w) {
    auto* chooser = qobject_cast<ProgramChooser*>(w);
    ASSERT_NE(chooser, nullptr) << w->metaObject()->className();
    forType = Rows(chooser->Programs);
    showAllStartsOff = !chooser->ShowAll->isChecked() && chooser->ShowAll->isEnabled();
    EXPECT_EQ(chooser->Programs->currentRow(), 0);  // the default
    chooser->ShowAll->setChecked(true);
    withAll = Rows(chooser->Programs);
    chooser->ShowAll->setChecked(false);
    const int added = static_cast<int>(forType.indexOf("Added Tool"));
    chooser->Programs->setCurrentRow(added);
    chooser->OpenButton->click();
  });
  const LaunchOutcome outcome = shell.ChooseProgramAndOpen(nullptr, text);
  ASSERT_TRUE(answer.fired());
  ASSERT_GE(forType.size(), 2);
  EXPECT_EQ(forType[0], "Sample Viewer");
  EXPECT_EQ(forType[1], "Added Tool");
  EXPECT_FALSE(forType.contains("Plain Editor"));
  EXPECT_FALSE(forType.contains("Removed Reader"));
  EXPECT_TRUE(showAllStartsOff);
  // Every program once: those for the type first, then the rest.
  EXPECT_EQ(withAll.mid(0, forType.size()), forType);
  EXPECT_TRUE(withAll.contains("Plain Editor"));
  EXPECT_TRUE(withAll.contains("Removed Reader"));
  EXPECT_EQ(withAll.count("Sample Viewer"), 1);
  EXPECT_EQ(outcome.result, LaunchOutcome::Started);
  EXPECT_EQ(outcome.program, "Added Tool");
  QTRY_VERIFY_WITH_TIMEOUT(Logged("added " + text.toStdString()), kLaunchWaitMs);
}

TEST_F(DesktopProgramsTest, ATypeWithoutProgramsListsEveryProgramAndOtherPicksAFile) {
  const DesktopProgram viewer{QStringLiteral("v.desktop"), QStringLiteral("Viewer"), {}};
  const QString hostile = QStringLiteral("<b>bold</b><img src=\"x.png\">.xyz");
  int asked = 0;
  ProgramChooser chooser(nullptr, hostile, QStringLiteral("(.xyz)"), {}, [&] {
    ++asked;
    return std::vector<DesktopProgram>{viewer};
  });
  EXPECT_TRUE(chooser.ShowAll->isChecked());
  EXPECT_FALSE(chooser.ShowAll->isEnabled());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Rows(chooser.Programs), QStringList{"Viewer"});
  EXPECT_EQ(chooser.Prompt->textFormat(), Qt::PlainText);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(chooser.Prompt)->text(QAccessible::Name),
            chooser.Prompt->text());
  EXPECT_TRUE(chooser.Prompt->text().contains(hostile));
  EXPECT_TRUE(chooser.Prompt->text().startsWith("No program is known for files of type (.xyz)."));

  // "Other...": a cancelled file dialog goes back to the list; a chosen file ends it.
  const std::string program = dir.file("tool");
  test::WriteFileBytes(program, "");
  chooser.show();
  {
    ModalAnswer cancel([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    chooser.OtherButton->click();
    ASSERT_TRUE(cancel.fired());
  }
  EXPECT_TRUE(chooser.isVisible());
  ModalAnswer pick([&](QWidget* w) {
    auto* files = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(files, nullptr) << w->metaObject()->className();
    files->selectFile(QString::fromStdString(program));
    static_cast<QDialog*>(files)->accept();
  });
  chooser.OtherButton->click();
  ASSERT_TRUE(pick.fired());
  EXPECT_EQ(chooser.result(), QDialog::Accepted);
  EXPECT_EQ(chooser.ChosenExecutable().toStdString(), program);
  EXPECT_TRUE(chooser.ChosenProgramId().isEmpty());
}

}  // namespace
}  // namespace vantelo::ui
