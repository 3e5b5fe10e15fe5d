// Opening an entry from the real main window: the entry goes alone into the
// private temporary folder and the shell is asked to open it (observed through
// the recording shell); folders, encrypted and damaged entries open nothing.
// open.zip: 0 notes.txt (encrypted), 1 readme.txt, 2 sub/, 3 sub/readme.txt.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <filesystem>
#include <functional>
#include <optional>
#include <memory>

#include "common/test_support.h"
#include "engine/engine.h"
#include "platform/interrupt_cleanup.h"
#include "ui/app_info.h"
#include "ui/application.h"
#include "ui/dialogs/program_chooser.h"
#include "ui/main_window.h"
#include "ui/widgets/draw_grid.h"
#include "ui_test_support.h"

namespace vantelo::ui {
namespace {

using test::BoxSeen;
using test::CloseMessageBox;
using test::DataPath;
using test::ModalAnswer;
using test::ReadFileBytes;

class OpenEntryTest : public ::testing::Test {
 protected:
  void Load(const char* archive) {
    form = std::make_unique<TForm1>(QStringList{QString::fromStdString(DataPath(archive))},
                                    &shell);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    grid = form->DrawGrid1;
    grid->setFocus();
  }
  void TearDown() override {
    form.reset();
    CloseArchive();
  }
  // Puts the cursor on a row with the keys (which leave the selection alone).
  void GoTo(int row) {
    QTest::keyClick(grid, Qt::Key_Home);
    for (int r = 1; r < row; ++r) QTest::keyClick(grid, Qt::Key_Down);
    ASSERT_EQ(grid->Row(), row);
  }
  std::size_t Listed(const std::string& path) const {
    return static_cast<std::size_t>(
        std::count(form->TempFiles.begin(), form->TempFiles.end(), path));
  }

  test::RecordingShell shell;
  std::unique_ptr<TForm1> form;
  DrawGrid* grid = nullptr;
};

TEST_F(OpenEntryTest, DoubleClickWritesTheEntryIntoTheTempFolderAndOpensIt) {
  Load("open.zip");
  const std::string path = form->TempDir + "readme.txt";
  std::filesystem::remove(path);
  const QPoint where = grid->CellRect(1, 2).center();
  // A real double click: press and release (the press moves the cursor there),
  // then the double-click press and its release.
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, where);
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, where);
  QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, where);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], PathFromEngine(path));
  EXPECT_EQ(ReadFileBytes(path), "Read me first.\n");
  EXPECT_EQ(form->TempFiles.back(), path);
  EXPECT_EQ(form->TempFiles.size(), 2u);  // after "$$report.txt"
}

TEST_F(OpenEntryTest, EnterOpensTheCursorEntryAndTheSameNameIsOverwritten) {
  Load("open.zip");
  GoTo(2);
  QTest::keyClick(grid, Qt::Key_Return);
  GoTo(4);  // sub/readme.txt: the same file name, no folder names
  QTest::keyClick(grid, Qt::Key_Enter);
  const std::string path = form->TempDir + "readme.txt";
  ASSERT_EQ(shell.opened.size(), 2u);
  EXPECT_EQ(shell.opened[1], PathFromEngine(path));
  EXPECT_EQ(ReadFileBytes(path), "The other readme.\n");
  EXPECT_EQ(Listed(path), 2u);
  EXPECT_FALSE(std::filesystem::exists(form->TempDir + "sub"));
  EXPECT_EQ(GetSelectedCount(), 0);  // opening selects nothing
}

TEST_F(OpenEntryTest, AFolderEntryShowsTheMessageAndOpensNothing) {
  Load("open.zip");
  GoTo(3);
  BoxSeen seen;
  ModalAnswer answer(CloseMessageBox(&seen));
  QTest::keyClick(grid, Qt::Key_Return);
  ASSERT_TRUE(answer.fired());
  EXPECT_EQ(seen.text, "There is nothing to do with folder");
  EXPECT_EQ(seen.title, ApplicationTitle());
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, static_cast<int>(QMessageBox::Ok));
  EXPECT_TRUE(shell.opened.empty());
  EXPECT_EQ(form->TempFiles.size(), 1u);
}

// Without a password the encrypted entry is skipped. An older file of the same
// name (an earlier open) must not be opened in its place.
TEST_F(OpenEntryTest, AnEncryptedEntryOpensNothingNew) {
  Load("open.zip");
  const std::string path = form->TempDir + "notes.txt";
  test::WriteFileBytes(path, "an older copy\n");
  GoTo(1);
  BoxSeen seen;
  ModalAnswer answer(CloseMessageBox(&seen));
  form->ExecFile();
  ASSERT_TRUE(answer.fired());
  EXPECT_EQ(seen.text, "ERROR! notes.txt: Skiped! Bad password.");
  EXPECT_EQ(seen.title, "Error");
  EXPECT_TRUE(shell.opened.empty());
  EXPECT_EQ(ReadFileBytes(path), "an older copy\n");
  EXPECT_EQ(Listed(path), 1u);  // still deleted at exit
  form.reset();
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(OpenEntryTest, EngineErrorsAndCrcFailuresShowAnErrorAndOpenNothing) {
  Load("open_bad.zip");
  {
    GoTo(2);  // packed.txt: PPMd
    BoxSeen seen;
    ModalAnswer answer(CloseMessageBox(&seen));
    form->ExecFile();
    ASSERT_TRUE(answer.fired());
    EXPECT_TRUE(seen.text.startsWith("ERROR! ")) << seen.text.toStdString();
    EXPECT_EQ(seen.text, QStringLiteral("ERROR! ") + EngineText(GetLastMessage()));
    EXPECT_EQ(seen.title, "Error");
    // The refused method is named beside the message, not in it.
    EXPECT_EQ(seen.detail, "method 98 (PPMd)");
    EXPECT_FALSE(std::filesystem::exists(form->TempDir + "packed.txt"));
    EXPECT_EQ(form->TempFiles.size(), 1u);
  }
  {
    GoTo(1);  // damaged.txt: written, but its CRC does not match
    BoxSeen seen;
    ModalAnswer answer(CloseMessageBox(&seen));
    form->ExecFile();
    ASSERT_TRUE(answer.fired());
    EXPECT_EQ(seen.text, "ERROR! damaged.txt: BAD CRC!");
    EXPECT_EQ(seen.detail, "");
    const std::string path = form->TempDir + "damaged.txt";
    if (std::filesystem::exists(path)) {
      EXPECT_EQ(Listed(path), 1u);
    }
  }
  EXPECT_TRUE(shell.opened.empty());
}

TEST_F(OpenEntryTest, OpeningTwiceListsThePathTwiceAndExitDeletesIt) {
  Load("open.zip");
  GoTo(2);
  form->ExecFile();
  form->ExecFile();
  const std::string dir = form->TempDir;
  const std::string path = dir + "readme.txt";
  EXPECT_EQ(Listed(path), 2u);
  EXPECT_EQ(shell.opened.size(), 2u);
  ASSERT_TRUE(std::filesystem::exists(path));
  form.reset();  // FormDestroy deletes the list in order; the repeat is skipped silently
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST_F(OpenEntryTest, ADeflatedEntryOpensDecoded) {
  Load("select30.zip");
  GoTo(5);
  form->ExecFile();
  ASSERT_EQ(shell.opened.size(), 1u);
  const std::string bytes = ReadFileBytes(form->TempDir + "f05.txt");
  EXPECT_EQ(bytes.size(), 1250u);
  EXPECT_EQ(bytes.substr(0, 16), "f05.txt f05.txt ");
}

TEST_F(OpenEntryTest, ARemovedTempFolderIsMadeAgain) {
  Load("open.zip");
  const std::string dir = form->TempDir;
  std::filesystem::remove_all(dir);
  GoTo(2);
  form->ExecFile();
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(ReadFileBytes(form->TempDir + "readme.txt"), "Read me first.\n");
}

// ---- no program for the type --------------------------------------------------

TEST_F(OpenEntryTest, ATypeWithoutAProgramSaysSoAndOffersToChooseOne) {
  shell.hasProgram = false;
  Load("open.zip");
  GoTo(2);  // readme.txt
  BoxSeen seen;
  ModalAnswer answer([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    seen.text = box->text();
    box->button(QMessageBox::Yes)->click();
  });
  QTest::keyClick(grid, Qt::Key_Return);
  ASSERT_TRUE(answer.fired());
  EXPECT_TRUE(seen.text.contains("(.txt)")) << seen.text.toStdString();
  EXPECT_TRUE(seen.text.contains("readme.txt"));
  EXPECT_TRUE(shell.opened.empty());
  ASSERT_EQ(shell.chosen.size(), 1u);
  EXPECT_EQ(shell.chosen[0].toStdString(), form->TempDir + "readme.txt");
}

// A program that does not start: named with the reason, and another may be
// chosen; No ends it.
TEST_F(OpenEntryTest, AProgramThatDoesNotStartIsNamedWithTheReason) {
  shell.openAnswer = LaunchOutcome::FailedFor(QStringLiteral("<b>Viewer</b>"),
                                              QStringLiteral("No such file or directory"));
  Load("open.zip");
  GoTo(2);  // readme.txt
  BoxSeen seen;
  ModalAnswer answer([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    seen.text = box->text();
    seen.title = box->windowTitle();
    seen.icon = box->icon();
    box->button(QMessageBox::No)->click();
  });
  QTest::keyClick(grid, Qt::Key_Return);
  ASSERT_TRUE(answer.fired());
  EXPECT_EQ(seen.text,
            "ERROR! \"<b>Viewer</b>\" could not be started to open \"readme.txt\": No such file or "
            "directory\n\nDo you want to choose another program?");
  EXPECT_EQ(seen.title, "Error");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(shell.opened.size(), 1u);
  EXPECT_TRUE(shell.chosen.empty());
}

TEST_F(OpenEntryTest, AfterAFailedChoiceAnotherMayBeChosenUntilOneStarts) {
  shell.openAnswer = LaunchOutcome::FailedFor(QStringLiteral("Viewer"), QString());
  shell.chooseAnswers = {LaunchOutcome::FailedFor(QStringLiteral("Other"), QStringLiteral("denied")),
                         LaunchOutcome::StartedBy(QStringLiteral("Third"))};
  Load("open.zip");
  GoTo(2);
  std::vector<QString> texts;
  std::function<void(QWidget*)> yes = [&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    texts.push_back(box->text());
    box->button(QMessageBox::Yes)->click();
  };
  // The second box is answered once the first has been.
  std::optional<ModalAnswer> second;
  ModalAnswer first([&](QWidget* w) {
    yes(w);
    second.emplace(yes);
  });
  form->ExecFile();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_TRUE(texts[0].contains(": the desktop gave no reason.")) << texts[0].toStdString();
  EXPECT_TRUE(texts[1].startsWith("ERROR! \"Other\" could not be started")) << texts[1].toStdString();
  EXPECT_EQ(shell.chosen.size(), 2u);
}

// ---- the desktop's own programs (the suite's private desktop) -----------------

class DesktopOpenTest : public OpenEntryTest {
 protected:
  void LoadWithDesktop(const char* archive) {
    form = std::make_unique<TForm1>(QStringList{QString::fromStdString(DataPath(archive))},
                                    &desktop);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    grid = form->DrawGrid1;
    grid->setFocus();
  }
  void GoToName(const std::string& name) {
    QTest::keyClick(grid, Qt::Key_Home);
    for (int i = 0; i < GetEntryCount() && GetEntryName(grid->Row() - 1) != name; ++i)
      QTest::keyClick(grid, Qt::Key_Down);
    ASSERT_EQ(GetEntryName(grid->Row() - 1), name);
  }
  ShellServices desktop;
};

TEST_F(DesktopOpenTest, EnterOpensTheEntryWithTheTypesDefaultProgram) {
  LoadWithDesktop("open.zip");
  GoTo(2);  // readme.txt: text/plain, whose default is Sample Viewer
  QTest::keyClick(grid, Qt::Key_Return);
  QTRY_VERIFY_WITH_TIMEOUT(test::Logged("viewer " + form->TempDir + "readme.txt"), 20000);
}

TEST_F(DesktopOpenTest, AFailedStartOffersTheChooserWhosePickOpensTheEntry) {
  LoadWithDesktop("demo.zip");
  GoToName("main.cpp");  // C++ source: Terminal Tool, which finds no terminal
  test::OnlyPrivatePrograms path;
  QString error;
  QStringList listed;
  auto pick = [&](QWidget* w) {
    auto* chooser = qobject_cast<ProgramChooser*>(w);
    ASSERT_NE(chooser, nullptr) << w->metaObject()->className();
    for (int i = 0; i < chooser->Programs->count(); ++i)
      listed << chooser->Programs->item(i)->text();
    chooser->Programs->setCurrentRow(static_cast<int>(listed.indexOf("Sample Viewer")));
    chooser->OpenButton->click();
  };
  std::optional<ModalAnswer> choose;  // armed once the error box is answered
  ModalAnswer answer([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    error = box->text();
    box->button(QMessageBox::Yes)->click();
    choose.emplace(pick);
  });
  QTest::keyClick(grid, Qt::Key_Return);
  ASSERT_TRUE(answer.fired());
  ASSERT_TRUE(choose && choose->fired());
  EXPECT_TRUE(error.startsWith("ERROR! \"Terminal Tool\" could not be started to open "
                               "\"main.cpp\": "))
      << error.toStdString();
  ASSERT_FALSE(listed.isEmpty());
  EXPECT_EQ(listed.first(), "Terminal Tool");
  QTRY_VERIFY_WITH_TIMEOUT(test::Logged("viewer " + form->TempDir + "main.cpp"), 20000);
}

// The name goes to the program as one argument, as it is: nothing in it is
// taken for quoting, a command or a field code of the desktop file's Exec line.
TEST_F(DesktopOpenTest, AnEntryNameOfQuotesAndFieldCodesReachesTheProgramWhole) {
  LoadWithDesktop("open_names.zip");
  const std::string name = "it's \"a\" $(touch pwned) %f & \u00fc.txt";
  GoToName(name);
  QTest::keyClick(grid, Qt::Key_Return);
  QTRY_VERIFY_WITH_TIMEOUT(test::Logged("viewer " + form->TempDir + name), 20000);
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_FALSE(std::filesystem::exists(form->TempDir + "pwned"));
}

// A type no program takes: the question, then the chooser with every program
// (icons included); the one picked opens the entry.
TEST_F(DesktopOpenTest, ATypeWithoutProgramsAsksThenListsEveryProgram) {
  LoadWithDesktop("open_names.zip");
  GoToName("lonely.orphan");
  QString question, prompt;
  QStringList listed;
  bool everyProgram = false, iconsDrawn = true;
  auto pick = [&](QWidget* w) {
    auto* chooser = qobject_cast<ProgramChooser*>(w);
    ASSERT_NE(chooser, nullptr) << w->metaObject()->className();
    prompt = chooser->Prompt->text();
    everyProgram = chooser->ShowAll->isChecked() && !chooser->ShowAll->isEnabled();
    for (int i = 0; i < chooser->Programs->count(); ++i) {
      listed << chooser->Programs->item(i)->text();
      iconsDrawn = iconsDrawn && !chooser->Programs->item(i)->icon().isNull();
    }
    chooser->Programs->setCurrentRow(static_cast<int>(listed.indexOf("Plain Editor")));
    chooser->OpenButton->click();
  };
  std::optional<ModalAnswer> choose;  // armed once the question is answered
  ModalAnswer answer([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    question = box->text();
    box->button(QMessageBox::Yes)->click();
    choose.emplace(pick);
  });
  QTest::keyClick(grid, Qt::Key_Return);
  ASSERT_TRUE(answer.fired());
  ASSERT_TRUE(choose && choose->fired());
  EXPECT_EQ(question,
            "There is no program associated with files of type Orphan sample (.orphan).\n\n"
            "Do you want to choose a program to open \"lonely.orphan\"?");
  EXPECT_TRUE(prompt.startsWith("No program is known for files of type Orphan sample (.orphan)."))
      << prompt.toStdString();
  EXPECT_TRUE(everyProgram);
  EXPECT_TRUE(listed.contains("Sample Viewer"));
  EXPECT_TRUE(listed.contains("Added Tool"));  // no Icon line: the generic program icon
  EXPECT_TRUE(iconsDrawn);
  QTRY_VERIFY_WITH_TIMEOUT(test::Logged("editor " + form->TempDir + "lonely.orphan"), 20000);
}

// ---- drag out and type-ahead ----------------------------------------------------

class DragOutTest : public OpenEntryTest {
 protected:
  QPoint Point(int row) { return grid->CellRect(1, row).center(); }
  void Drag(int row) {
    const QPoint from = Point(row);
    const QPoint to = from + QPoint(0, 3 * QApplication::startDragDistance());
    test::SendMouse(grid->viewport(), QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    test::SendMouse(grid->viewport(), QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    test::SendMouse(grid->viewport(), QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  }
};

TEST_F(DragOutTest, DraggingSelectedEntriesHandsOverTheirFilesAndKeepsTheSelection) {
  Load("open.zip");
  QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
  ASSERT_EQ(GetSelectedCount(), 4);
  BoxSeen seen;
  ModalAnswer answer(CloseMessageBox(&seen));  // notes.txt needs a password
  Drag(2);
  ASSERT_EQ(shell.dragged.size(), 1u);
  EXPECT_EQ(GetSelectedCount(), 4);
  EXPECT_EQ(grid->Row(), 1);  // the press moved nothing
  ASSERT_TRUE(answer.fired());
  EXPECT_TRUE(seen.text.contains("notes.txt")) << seen.text.toStdString();
  // Both readme.txt files, neither overwriting the other; no folder entry.
  std::vector<std::string> contents;
  for (const QUrl& url : shell.dragged[0]) {
    ASSERT_TRUE(url.isLocalFile());
    const std::string path = url.toLocalFile().toStdString();
    EXPECT_EQ(path.rfind(form->TempDir, 0), 0u) << path;
    EXPECT_EQ(std::filesystem::path(path).filename(), "readme.txt");
    contents.push_back(ReadFileBytes(path));
  }
  std::sort(contents.begin(), contents.end());
  EXPECT_EQ(contents, (std::vector<std::string>{"Read me first.\n", "The other readme.\n"}));
  // Everything goes at exit, folders included.
  const std::string dir = form->TempDir;
  form.reset();
  EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST_F(DragOutTest, ManyEntriesAreDraggedOutInOneBatch) {
  const test::TempFolder tmp;
  const std::string zip = tmp.file("many.zip");
  ASSERT_EQ(test::RunCommand("python3 " + DataPath("make-many-entries.py") + " " + zip + " 5000"), 0);
  form = std::make_unique<TForm1>(QStringList{QString::fromStdString(zip)}, &shell);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  grid = form->DrawGrid1;
  grid->setFocus();
  QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
  ASSERT_EQ(GetSelectedCount(), 5000);
  Drag(2);
  ASSERT_EQ(shell.dragged.size(), 1u);
  EXPECT_EQ(shell.dragged[0].size(), 5000);
  // The engine's counters are those of the last batch: it did every entry.
  std::int32_t files = 0;
  ZipSize bytes = 0;
  GetProgress(files, bytes);
  EXPECT_EQ(files, 5000);
  EXPECT_EQ(GetSelectedCount(), 5000);
  EXPECT_EQ(ReadFileBytes(shell.dragged[0].back().toLocalFile().toStdString()), "d/004999.txt");
}

TEST_F(DragOutTest, APressOnASelectedRowWithoutADragIsAClickAtTheRelease) {
  Load("open.zip");
  SetEntrySelected(1, true);  // row 2, the only one
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Point(2));
  EXPECT_TRUE(shell.dragged.empty());
  EXPECT_EQ(GetSelectedCount(), 0);  // clicking the single selected entry clears it
  EXPECT_EQ(grid->Row(), 2);
  // On an unselected row a drag is the usual drag-select, not a drag-out.
  Drag(3);
  EXPECT_TRUE(shell.dragged.empty());
  EXPECT_GT(grid->Row(), 3);
  EXPECT_EQ(GetSelectedCount(), 1);
}

TEST_F(DragOutTest, TypingTheFirstLettersMovesTheCursorToTheNextMatchingName) {
  Load("demo.zip");
  auto nameAtCursor = [&] { return GetEntryName(grid->Row() - 1); };
  QTest::keyClicks(grid, "m");
  EXPECT_EQ(nameAtCursor(), "manual.html");
  QTest::keyClicks(grid, "a");  // "ma": still manual.html
  EXPECT_EQ(nameAtCursor(), "manual.html");
  QTest::keyClicks(grid, "i");  // "mai"
  EXPECT_EQ(nameAtCursor(), "main.cpp");
  EXPECT_EQ(GetSelectedCount(), 0);  // only the cursor moves
  QTest::qWait(TypeAhead::kPauseMs + 100);
  QTest::keyClicks(grid, "R");  // a new search, from the row after the cursor, wrapping
  EXPECT_EQ(nameAtCursor(), "readme.txt");
  QTest::keyClicks(grid, "x");  // "rx": nothing starts so, the cursor stays
  EXPECT_EQ(nameAtCursor(), "readme.txt");
}

// ---- names that are HTML -------------------------------------------------------

// html_names.zip: 0 a heading with an image and a link (fine), 1 bold with an
// image of /dev/zero (bad CRC), 2 a heading with an image (a method no one
// decodes). Every place that shows a name shows it as written, as plain text,
// reads it so to assistive technologies and asks for no picture. Entry 1 is
// left out here: rendered as HTML its name reads /dev/zero without end, which
// would take the suite down instead of failing it.
class HostileNamesTest : public DragOutTest {
 protected:
  void LoadCopy(const std::string& name) {
    std::filesystem::copy_file(DataPath("hostile/html_names.zip"), dir.file(name));
    form = std::make_unique<TForm1>(QStringList{QString::fromStdString(dir.file(name))}, &shell);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    grid = form->DrawGrid1;
    grid->setFocus();
    ASSERT_EQ(GetEntryCount(), 3);
  }
  static QString Name(int index) { return EngineText(GetEntryName(index)); }

  test::ResourceWatch watch;
  test::TempFolder dir;
};

TEST_F(HostileNamesTest, TheWatchSeesThePictureOfRichText) {
  QLabel rich;
  rich.setText(QStringLiteral("<b>x</b><img src=\"watched.png\">"));
  rich.adjustSize();
  ASSERT_FALSE(watch.asked().isEmpty());
  EXPECT_EQ(watch.asked()[0].fileName(), "watched.png");
}

TEST_F(HostileNamesTest, TitleToolTipAndMessageBoxesShowNamesAsWritten) {
  const std::string archive = "[*]<h1>big<img src=\"x.png\"><a href=\"x\">a.zip";
  LoadCopy(archive);
  ASSERT_TRUE(Name(0).startsWith("<h1>")) << Name(0).toStdString();
  // The window's title and what a reader calls the window.
  const QString title = QString::fromStdString(archive) + " - " + QString::fromLatin1(kMainCaption);
  EXPECT_EQ(form->windowHandle()->title(), title);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(form.get())->text(QAccessible::Name), title);

  // The grid's tool tip for a name.
  const QPoint at = grid->CellRect(1, 1).center();
  QHelpEvent help(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
  QApplication::sendEvent(grid->viewport(), &help);
  QLabel* tip = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "qtooltip_label" && w->isVisible()) tip = qobject_cast<QLabel*>(w);
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(test::ShownText(tip), Name(0));
  QToolTip::hideText();

  // The open-entry error for an entry that cannot be decoded.
  BoxSeen refused;
  {
    ModalAnswer answer(CloseMessageBox(&refused));
    GoTo(3);
    QTest::keyClick(grid, Qt::Key_Return);
    ASSERT_TRUE(answer.fired());
  }
  const QString methodError = "ERROR! " + Name(2) + " is compressed with not supported old method!";
  EXPECT_EQ(refused.text, methodError);
  EXPECT_TRUE(refused.plainText);

  // The question for a type without a program.
  shell.hasProgram = false;
  BoxSeen question;
  {
    ModalAnswer answer([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      question.text = box->text();
      test::NoteTextLabels(box, &question);
      box->button(QMessageBox::No)->click();
    });
    GoTo(1);
    QTest::keyClick(grid, Qt::Key_Return);
    ASSERT_TRUE(answer.fired());
  }
  EXPECT_TRUE(question.text.endsWith("open \"" + Name(0) + "\"?")) << question.text.toStdString();
  EXPECT_TRUE(question.plainText);
  EXPECT_TRUE(shell.chosen.empty());

  // What a drag out could not hand over.
  BoxSeen drag;
  {
    ModalAnswer answer(CloseMessageBox(&drag));
    SetEntrySelected(0, true);
    SetEntrySelected(2, true);
    Drag(1);
    ASSERT_TRUE(answer.fired());
  }
  EXPECT_EQ(drag.text, methodError);
  EXPECT_TRUE(drag.plainText);

  // An archive that cannot be opened, named in the message.
  BoxSeen failed;
  const std::string gone = dir.file("<h2>gone<img src=\"y.png\">.zip");
  {
    ModalAnswer answer(CloseMessageBox(&failed));
    form->ZipFileName = gone;
    form->OpenZipFile();
    ASSERT_TRUE(answer.fired());
  }
  EXPECT_EQ(failed.text.toStdString(), "ERROR! Can not open file " + gone + " !");
  EXPECT_TRUE(failed.plainText);
  EXPECT_TRUE(watch.asked().isEmpty()) << watch.asked()[0].toString().toStdString();
}

// ---- interrupted after a drag out -------------------------------------------------

// Run only as a child of the test below: opens an entry and drags entries out
// (drag-1/ and drag-1/2/ for two entries of one name), adds a few deeper folders
// and a link to a folder outside, then raises the signal the parent names. The
// interrupt cleanup must remove the whole private folder and never follow the link.
TEST_F(DragOutTest, DISABLED_ChildDragsOutThenIsInterrupted) {
  const QByteArray tmp = qgetenv("VANTELO_CHILD_TMPDIR");
  const QByteArray outside = qgetenv("VANTELO_CHILD_OUTSIDE");
  const int signalNumber = qEnvironmentVariableIntValue("VANTELO_CHILD_SIGNAL");
  ASSERT_FALSE(tmp.isEmpty());
  ASSERT_GT(signalNumber, 0);
  qputenv("TMPDIR", tmp);  // before the window makes its private folder
  platform::InstallInterruptCleanup();
  Load("open.zip");
  GoTo(2);
  QTest::keyClick(grid, Qt::Key_Return);
  QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
  BoxSeen seen;
  ModalAnswer answer(CloseMessageBox(&seen));  // notes.txt needs a password
  Drag(2);
  ASSERT_TRUE(answer.fired());
  const std::filesystem::path drag = form->TempDir + "drag-1";
  ASSERT_TRUE(std::filesystem::exists(drag / "2" / "readme.txt"));
  std::filesystem::create_directories(drag / "a" / "b" / "c");
  test::WriteFileBytes((drag / "a" / "b" / "c" / "deep.txt").string(), "deep\n");
  ASSERT_TRUE(test::MakeLink(outside.toStdString(), drag / "a" / "outside", true));
  std::cout << "dragged out" << std::endl;
  raise(signalNumber);
  ADD_FAILURE() << "the signal did not end the process";
}

TEST(DragOutInterrupt, ASignalAfterADragRemovesTheWholeTemporaryFolder) {
  const std::string self = QCoreApplication::applicationFilePath().toStdString();
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(testing::Message() << "signal " << signalNumber);
    // The child's own temporary files (its settings, its copy of the desktop)
    // go to `scratch`, which it cannot clean up when signalled; `tmp` gets only
    // the program's private folder.
    test::TempFolder scratch, tmp, outside;
    test::WriteFileBytes(outside.file("keep.txt"), "kept\n");
    const std::string command =
        "TMPDIR='" + scratch.dir() + "' VANTELO_CHILD_TMPDIR='" + tmp.dir() +
        "' VANTELO_CHILD_OUTSIDE='" + outside.path().string() + "' VANTELO_CHILD_SIGNAL=" +
        std::to_string(signalNumber) + " '" + self +
        "' --gtest_also_run_disabled_tests --gtest_filter=DragOutTest.DISABLED_ChildDragsOutThenIsInterrupted"
        " 2>&1; echo \"status $?\"";
    std::string output;
    ASSERT_EQ(test::RunCommand(command, &output), 0);
    EXPECT_NE(output.find("dragged out"), std::string::npos) << output;
    EXPECT_NE(output.find("status " + std::to_string(128 + signalNumber)), std::string::npos) << output;
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
    for (const std::string& left : test::ListFiles(tmp.path())) ADD_FAILURE() << "left: " << left;
    EXPECT_EQ(ReadFileBytes(outside.file("keep.txt")), "kept\n");
  }
}

}  // namespace
}  // namespace vantelo::ui
