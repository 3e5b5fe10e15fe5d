// The Extract button's workflow with the real windows: the options dialog,
// the destination rules, runs with the progress window, Cancel, the summary
// box, the report file and window, and printing.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <QAccessible>
#include <QAccessibleEvent>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "common/test_support.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "format/display_format.h"
#include "platform/platform.h"
#include "ui/accessible_text.h"
#include "ui/application.h"
#include "ui/dialogs/extract_options_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/dialogs/report_dialog.h"
#include "ui/extract_workflow.h"
#include "ui/main_window.h"
#include "ui/shell_services.h"
#include "ui/widgets/draw_grid.h"
#include "ui_test_support.h"
#include "workflow_script.h"

namespace vantelo::ui {
namespace {

using test::Answer;
using test::Box;
using test::MakeZip;
using test::ModalScript;
using test::Options;
using test::ReadFileBytes;
using test::RunCommand;
using test::TempFolder;

// Tick sources: a clock that stands still (no progress calls, elapsed 0) and
// one that jumps a second at every reading (every input refill is "late", so
// the progress procedure runs at each one). The batch reads the clock on its
// own thread, the workflow on the GUI thread.
//
// On the batch's thread the jumping clock is also a gate: each reading there
// waits for a turn of the GUI thread's event loop (GuiTurns), so the batch
// moves one input refill per turn and the tests' timers see it step by step,
// whatever the machine's speed.
std::atomic<std::uint32_t> g_ticks{0};
std::counting_semaphore<1> g_turn{0};
std::atomic<std::thread::id> g_guiThread;
std::atomic<int> g_batchThreadReadings{0};
std::uint32_t StillClock() { return 5000; }
std::uint32_t JumpingClock() {
  if (std::this_thread::get_id() != g_guiThread.load()) {
    ++g_batchThreadReadings;
    g_turn.acquire();
  }
  return g_ticks += 1000;
}

// Hands the batch's thread one clock reading per turn of the event loop.
class GuiTurns {
 public:
  GuiTurns() {
    g_guiThread = std::this_thread::get_id();
    QObject::connect(&timer_, &QTimer::timeout, [] { g_turn.try_acquire(), g_turn.release(); });
    timer_.start(0);
  }
  ~GuiTurns() {
    timer_.stop();
    g_turn.try_acquire();
  }

 private:
  QTimer timer_;
};

// Prints to a PDF file through the seam's own page layout.
class PdfShell : public ShellServices {
 public:
  explicit PdfShell(std::string path, bool hasPrinter = true)
      : path_(std::move(path)), hasPrinter_(hasPrinter) {}
  bool PrintDocument(QTextDocument& document, const QString& title) override {
    ++jobs;
    lastTitle = title;
    if (!hasPrinter_) return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path_));
    return PrintDocumentTo(printer, document, title);
  }
  int jobs = 0;
  QString lastTitle;

 private:
  std::string path_;
  bool hasPrinter_;
};

class ExtractWorkflowTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetTickSource(StillClock); }
  void TearDown() override {
    platform::SetTickSource(nullptr);
    windows_ = {};
    CloseArchive();
  }
  // The program's windows over `archive`, as the start-up makes them.
  TForm1& Open(const std::string& archive, ShellServices* shell = nullptr, bool show = false) {
    windows_ = CreateWindows({QString::fromStdString(archive)}, shell, show);
    if (show) {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(windows_.Form1.get()));
    }
    return *windows_.Form1;
  }
  TFExtrOpt& Opt() { return *windows_.FExtrOpt; }
  TFPgsInd& Pgs() { return *windows_.FPgsInd; }
  TFreport& Rep() { return *windows_.Freport; }
  QStringList History() { return Opt().History(); }
  QStringList ListItems() {
    QStringList items;
    for (int i = 0; i < Opt().ddDir->count(); ++i) items << Opt().ddDir->itemText(i);
    return items;
  }
  std::string Status(int i) { return GetEntryStatus(i); }

  TempFolder tmp_;
  VanteloWindows windows_;
};

TEST_F(ExtractWorkflowTest, RadioGroupIsPresetFromTheSelectionEveryTime) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:10", "b.txt:20"});
  TForm1& f = Open(zip);
  int seen = -2;
  {
    ModalScript s;
    s.Then([&](QWidget* w) {
      auto* d = static_cast<TFExtrOpt*>(w);
      seen = d->rgFiles->ItemIndex();
      d->rgFiles->SetItemIndex(1);  // the user's choice is not kept for next time
      QTest::mouseClick(d->BitBtn2, Qt::LeftButton);
    });
    s.Start();
    f.sbExtractClick();
  }
  EXPECT_EQ(seen, 0);
  SetEntrySelected(1, true);
  Opt().rgFiles->SetItemIndex(0);
  {
    ModalScript s;
    s.Then([&](QWidget* w) {
      seen = static_cast<TFExtrOpt*>(w)->rgFiles->ItemIndex();
      QTest::keyClick(w, Qt::Key_Escape);  // Esc is Cancel
    });
    s.Start();
    f.sbExtractClick();
  }
  EXPECT_EQ(seen, 1);
}

TEST_F(ExtractWorkflowTest, OptionsDialogLooksAsDefinedAndGivesTheModalResults) {
  TFExtrOpt& d = *new TFExtrOpt;
  std::unique_ptr<TFExtrOpt> owner(&d);
  EXPECT_EQ(d.windowTitle(), "How to Extract?");
  EXPECT_EQ(d.Label1->text(), "Extract To:");
  EXPECT_EQ(d.Label2->text(), "Password:");
  EXPECT_TRUE(d.ddDir->isEditable());
  EXPECT_EQ(d.ddDir->count(), 0);
  EXPECT_EQ(d.edPswd->echoMode(), QLineEdit::Password);
  EXPECT_EQ(d.edPswd->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, d.edPswd),
            '*');
  EXPECT_EQ(d.rgFiles->title(), "Files");
  EXPECT_EQ(d.rgFiles->Item(0)->text(), "All Files");
  EXPECT_EQ(d.rgFiles->Item(1)->text(), "Selected Files");
  EXPECT_EQ(d.GroupBox1->title(), "Options");
  EXPECT_EQ(d.cbOver->text(), "Overwrite Existing Files");
  EXPECT_EQ(d.cbUse->text(), "Use Folder Names");
  EXPECT_TRUE(d.cbOver->isChecked());
  EXPECT_TRUE(d.cbUse->isChecked());
  EXPECT_EQ(d.BitBtn1->text(), "Extract");
  EXPECT_TRUE(d.BitBtn1->isDefault());
  EXPECT_EQ(d.BitBtn3->text(), "Test");
  EXPECT_EQ(d.BitBtn2->text(), "Cancel");

  auto run = [&](const std::function<void(QWidget*)>& act) {
    ModalScript s;
    s.Then(act);
    s.Start();
    return d.exec();
  };
  EXPECT_EQ(run([&](QWidget*) { d.BitBtn1->click(); }), 1);
  EXPECT_EQ(run([&](QWidget*) { d.BitBtn3->click(); }), 6);
  EXPECT_EQ(run([&](QWidget*) { d.BitBtn2->click(); }), 2);
  EXPECT_EQ(run([&](QWidget* w) { w->close(); }), 2);
  // Enter in the destination box is the default button, and adds nothing to the list.
  EXPECT_EQ(run([&](QWidget*) {
              d.ddDir->setFocus();
              d.ddDir->setEditText(QStringLiteral("/somewhere"));
              QTest::keyClick(d.ddDir->lineEdit(), Qt::Key_Return);
            }),
            1);
  EXPECT_EQ(d.ddDir->count(), 0);
  EXPECT_EQ(d.ddDir->currentText(), "/somewhere");
}

TEST_F(ExtractWorkflowTest, CancelChangesNothing) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:10"});
  TForm1& f = Open(zip);
  const QString caption = Pgs().windowTitle();
  ModalScript s;
  s.Then([&](QWidget* w) {
    auto* d = static_cast<TFExtrOpt*>(w);
    d->ddDir->setEditText(QString::fromStdString(tmp_.dir()));
    QTest::mouseClick(d->BitBtn2, Qt::LeftButton);
  });
  s.Start();
  f.sbExtractClick();
  EXPECT_EQ(s.Handled(), 1u);
  EXPECT_EQ(History(), QStringList());  // no history entry
  EXPECT_EQ(Pgs().windowTitle(), caption);
  EXPECT_EQ(Status(0), "");  // no batch ran
  EXPECT_FALSE(std::filesystem::exists(tmp_.path() / "a.txt"));
  EXPECT_TRUE(f.ReportLines.empty());
}

TEST_F(ExtractWorkflowTest, DestinationHistoryComparesOnlyTheFirstItem) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:10"});
  TForm1& f = Open(zip);
  TempFolder out;
  for (const char* name : {"one", "Two", "ONE"}) std::filesystem::create_directory(out.path() / name);
  const QString base = QString::fromStdString(out.path().string()) + "/";
  auto run = [&](const QString& destination, bool test = false) {
    ModalScript s;
    s.Then(Options(destination, test)).Then(Answer(nullptr, QMessageBox::No));
    s.Start();
    f.sbExtractClick();
    EXPECT_EQ(s.Handled(), 2u);
  };
  {
    // Empty text, empty list: nothing added (the run extracts into the current folder).
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(out.path().string()));
    run(QString());
    QDir::setCurrent(cwd);
  }
  EXPECT_EQ(History(), QStringList());
  run(base + "one");
  EXPECT_EQ(History(), QStringList({base + "one"}));
  run(base + "one");  // same as the first item
  EXPECT_EQ(History(), QStringList({base + "one"}));
  run(base + "Two");
  EXPECT_EQ(History(), QStringList({base + "Two", base + "one"}));
  run(base + "one");  // equal to the second item: a second copy on top
  EXPECT_EQ(History(), QStringList({base + "one", base + "Two", base + "one"}));
  run(base + "ONE");  // case counts
  EXPECT_EQ(History().first(), base + "ONE");
  EXPECT_EQ(Opt().ddDir->currentText(), base + "ONE");
  run(base + "tested", /*test=*/true);  // a test uses no destination: not remembered
  EXPECT_EQ(History().first(), base + "ONE");
  EXPECT_EQ(History().size(), 4);
  // The list offers the archive's new folder first, then the history.
  EXPECT_EQ(ListItems(), QStringList({QString::fromStdString(tmp_.file("a")), base + "ONE",
                                      base + "one", base + "Two", base + "one"}));
}

TEST_F(ExtractWorkflowTest, MissingFolderIsMadeAfterTheQuestionAndThenRemembered) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"d/a.txt:10"});
  TForm1& f = Open(zip);
  // A typed name with markup in it is shown as typed.
  const QString typed = QString::fromStdString(tmp_.file("new/<b>deeper"));
  Box question, summary;
  ModalScript s;
  s.Then(Options(typed, false))
      .Then([&](QWidget* w) {
        EXPECT_TRUE(History().isEmpty());  // not remembered before it is used
        Answer(&question, QMessageBox::Yes)(w);
      })
      .Then(Answer(&summary, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_EQ(question.text, "The folder " + typed + " does not exist. Create it?");
  EXPECT_EQ(question.icon, QMessageBox::Question);
  EXPECT_EQ(question.format, Qt::PlainText);
  EXPECT_EQ(summary.text, "All is Ok!     Elapsed time 0 ms\n Would you like a report?");
  EXPECT_EQ(ReadFileBytes(tmp_.file("new/<b>deeper/d/a.txt")).size(), 10u);
  EXPECT_EQ(History(), QStringList({typed}));
}

TEST_F(ExtractWorkflowTest, MissingFolderAnsweredNoComesBackToTheDialogAsTyped) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:10"});
  TForm1& f = Open(zip);
  const QString typed = QString::fromStdString(tmp_.file("missing"));
  QString textAgain, passwordAgain;
  int filesAgain = -1;
  bool overwriteAgain = true;
  ModalScript s;
  s.Then(Options(typed, false, /*files=*/1, /*overwrite=*/false, "pw"))
      .Then(Answer(nullptr, QMessageBox::No))
      .Then([&](QWidget* w) {
        auto* d = qobject_cast<TFExtrOpt*>(w);
        ASSERT_NE(d, nullptr);
        textAgain = d->ddDir->currentText();
        passwordAgain = d->edPswd->text();
        filesAgain = d->rgFiles->ItemIndex();
        overwriteAgain = d->cbOver->isChecked();
        d->BitBtn2->click();
      });
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_EQ(textAgain, typed);
  EXPECT_EQ(passwordAgain, "pw");
  EXPECT_EQ(filesAgain, 1);
  EXPECT_FALSE(overwriteAgain);
  EXPECT_FALSE(std::filesystem::exists(typed.toStdString()));
  EXPECT_EQ(Status(0), "");
  EXPECT_TRUE(History().isEmpty());
}

TEST_F(ExtractWorkflowTest, FailedRunTakesBackTheFoldersItMade) {
  // The first entry's method is refused before anything is written.
  TForm1& f = Open(test::DataPath("extract/7zz_ppmd.zip"));
  const QString typed = QString::fromStdString(tmp_.file("made/for/it"));
  Box summary;
  ModalScript s;
  s.Then(Options(typed, false))
      .Then(Answer(nullptr, QMessageBox::Yes))
      .Then(Answer(&summary, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_EQ(summary.title, "Error");
  EXPECT_FALSE(std::filesystem::exists(tmp_.path() / "made"));
  EXPECT_TRUE(std::filesystem::exists(tmp_.path()));
}

TEST_F(ExtractWorkflowTest, AFileOrAFolderThatCannotBeMadeGivesTheErrorAndTheDialogAgain) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:10"});
  TForm1& f = Open(zip);
  test::WriteFileBytes(tmp_.file("plain"), "x");
  const QString base = QString::fromStdString(tmp_.path().string());
  struct Case {
    QString typed, shown;
    bool asked;  // a folder that is not there yet is offered first
  } cases[] = {{base + "/plain", base + "/plain/", false},
               {base + "/plain/", base + "/plain/", false},
               {base + "/plain/below", base + "/plain/below/", true}};
  for (const Case& c : cases) {
    Box box;
    bool dialogAgain = false;
    ModalScript s;
    s.Then(Options(c.typed, false));
    if (c.asked) s.Then(Answer(nullptr, QMessageBox::Yes));
    s.Then(Answer(&box, QMessageBox::Ok)).Then([&](QWidget* w) {
      dialogAgain = qobject_cast<TFExtrOpt*>(w) != nullptr;
      QTest::keyClick(w, Qt::Key_Escape);
    });
    s.Start();
    f.sbExtractClick();
    EXPECT_EQ(s.Handled(), c.asked ? 4u : 3u);
    EXPECT_EQ(box.title, "Error");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.text, "ERROR! Directory " + c.shown + " does not exist!");
    EXPECT_TRUE(dialogAgain);
    EXPECT_EQ(Status(0), "");  // the engine was not called
    EXPECT_TRUE(History().isEmpty());  // an unused destination is not remembered
  }
  EXPECT_EQ(ReadFileBytes(tmp_.file("plain")), "x");
  EXPECT_EQ(Pgs().windowTitle(), "Extracting from " + QString::fromStdString(zip));
  EXPECT_FALSE(Pgs().isVisible());
}

TEST_F(ExtractWorkflowTest, TestRunIntoAMissingFolderWorks) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"d/a.txt:1200", "d/b.txt:34"});
  TForm1& f = Open(zip);
  const std::string missing = tmp_.file("nowhere");
  Box box;
  ModalScript s;
  s.Then(Options(QString::fromStdString(missing), true)).Then(Answer(&box, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  EXPECT_EQ(box.title, "Information");
  EXPECT_EQ(box.icon, QMessageBox::Information);
  EXPECT_EQ(box.text, "All is Ok!     Elapsed time 0 ms\n Would you like a report?");
  EXPECT_EQ(Status(0), "Ok.");
  EXPECT_EQ(Status(1), "Ok.");
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(Pgs().windowTitle(), "Testing " + QString::fromStdString(zip));
  EXPECT_EQ(Pgs().stselfiles->text(), "Selected files: 2");
  EXPECT_EQ(Pgs().stselbytes->text(), "Selected bytes: 1,234");
  EXPECT_FALSE(Pgs().isVisible());
  EXPECT_FALSE(Pgs().Running());
}

// An archive named like markup, holding names that are markup: the progress
// window's title and the summary box show them as written and ask for no
// picture. (Entry 1 of html_names.zip is never named in the box: see
// HostileNamesTest.)
TEST_F(ExtractWorkflowTest, NamesThatAreHtmlShowAsWrittenInTheProgressTitleAndTheSummary) {
  test::ResourceWatch watch;
  const std::string zip = tmp_.file("[*]<h1>run<img src=\"x.png\">.zip");
  std::filesystem::copy_file(test::DataPath("hostile/html_names.zip"), zip);
  TForm1& f = Open(zip);
  test::BoxSeen summary;
  ModalScript s;
  s.Then(Options(QString::fromStdString(tmp_.dir()), true)).Then([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    summary.text = box->text();
    test::NoteTextLabels(box, &summary);
    box->button(QMessageBox::No)->click();
  });
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 2u);
  EXPECT_EQ(summary.text, "ERROR! " + QString::fromStdString(GetEntryName(2)) +
                              " is compressed with not supported old method!\n Would you like a report?");
  EXPECT_TRUE(summary.plainText);
  EXPECT_EQ(Pgs().windowHandle()->title(), "Testing " + QString::fromStdString(zip));
  EXPECT_TRUE(watch.asked().isEmpty());
}

TEST_F(ExtractWorkflowTest, SummaryTexts) {
  EXPECT_EQ(SummaryText(0, "", 0, 15),
            "All is Ok!     Elapsed time 15 ms\r Would you like a report?");
  EXPECT_EQ(SummaryText(0, "", 1, 1020),
            "There is a skiped file!      Elapsed time 1,020 ms\r Would you like a report?");
  EXPECT_EQ(SummaryText(0, "", 1500, 7),
            "There are 1500 skiped files!     Elapsed time 7 ms\r Would you like a report?");
  EXPECT_EQ(SummaryText(3, "User break!", 4, 7), "ERROR! User break!\r Would you like a report?");
  EXPECT_EQ(SummaryText(22, "Error in runtime info function", 0, 0),
            "ERROR! Error in runtime info function\r Would you like a report?");
  EXPECT_EQ(BoxText("a\r b"), "a\n b");
}

TEST_F(ExtractWorkflowTest, ReportOfARunWithASkippedEntryHasTheExactBytes) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"docs/readme.txt:1000", "docs/plan.doc:2345", "docs/"});
  TForm1& f = Open(zip);
  TempFolder out;
  std::filesystem::create_directories(out.path() / "docs");
  test::WriteFileBytes(out.file("docs/plan.doc"), "keep me");
  Box box;
  QString shown;
  ModalScript s;
  s.Then(Options(QString::fromStdString(out.path().string()), false, -1, /*overwrite=*/false))
      .Then(Answer(&box, QMessageBox::Yes))
      .Then([&](QWidget* w) {
        auto* r = qobject_cast<TFreport*>(w);
        ASSERT_NE(r, nullptr);
        shown = r->RichEdit1->toPlainText();
        QTest::mouseClick(r->Button1, Qt::LeftButton);
      });
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_EQ(box.title, "Information");
  EXPECT_EQ(box.text, "There is a skiped file!      Elapsed time 0 ms\n Would you like a report?");
  const std::string expected =
      "docs/readme.txt Ok.\r\n"
      "docs/plan.doc Skiped! File exists.\r\n"
      "docs/[FOLDER] Ok.\r\n"
      "-----------------------------Total:\r\n"
      "Processed files: 3\r\n"
      "Processed bytes: 3,345\r\n"
      "Skiped files: 1\r\n"
      "Elapsed time: 0 ms\r\n";
  EXPECT_EQ(ReadFileBytes(f.TempDir + "$$report.txt"), expected);
  EXPECT_EQ(shown.toStdString() + "\n", QString::fromStdString(expected).remove('\r').toStdString());
  EXPECT_EQ(ReadFileBytes(out.file("docs/plan.doc")), "keep me");
  EXPECT_EQ(f.ReportLines.size(), 8u);
  EXPECT_EQ(f.TempFiles.front(), f.TempDir + "$$report.txt");
}

TEST_F(ExtractWorkflowTest, ReportOfSelectedEntriesListsOnlyThem) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:5", "b.txt:6", "c.txt:7"});
  TForm1& f = Open(zip);
  SetEntrySelected(1, true);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(&box, QMessageBox::Yes)).Then([](QWidget* w) {
    w->close();
  });
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_EQ(Pgs().stselfiles->text(), "Selected files: 1");
  EXPECT_EQ(Pgs().stselbytes->text(), "Selected bytes: 6");
  EXPECT_EQ(f.ReportLines, (std::vector<std::string>{
                               "b.txt Ok.", "-----------------------------Total:",
                               "Processed files: 1", "Processed bytes: 6", "Skiped files: 0",
                               "Elapsed time: 0 ms"}));
}

TEST_F(ExtractWorkflowTest, EngineErrorIsTheErrorSummaryAndTheReportListsTheEntriesBegun) {
  TForm1& f = Open(test::DataPath("extract/bad_middle_header.zip"));
  ASSERT_GT(GetEntryCount(), 1);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(&box, QMessageBox::Yes)).Then([](QWidget* w) {
    w->close();
  });
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_EQ(box.title, "Error");
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.text, "ERROR! " + QString::fromStdString(GetLastMessage()) +
                          "\n Would you like a report?");
  EXPECT_FALSE(GetLastMessage().empty());
  std::int32_t files = 0;
  ZipSize bytes = 0;
  GetProgress(files, bytes);
  ASSERT_EQ(f.ReportLines.size(), static_cast<std::size_t>(files) + 5);
  EXPECT_EQ(f.ReportLines[static_cast<std::size_t>(files)], "-----------------------------Total:");
  EXPECT_EQ(f.ReportLines[static_cast<std::size_t>(files) + 1],
            "Processed files: " + std::to_string(files));
}

TEST_F(ExtractWorkflowTest, SelectedFilesWithNothingSelectedRunsNothing) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:5", "b.txt:6"});
  TForm1& f = Open(zip);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true, /*files=*/1)).Then(Answer(&box, QMessageBox::Yes)).Then(
      [](QWidget* w) { w->close(); });
  s.Start();
  f.sbExtractClick();
  EXPECT_EQ(box.text, "All is Ok!     Elapsed time 0 ms\n Would you like a report?");
  EXPECT_EQ(Pgs().stselfiles->text(), "Selected files: 0");
  EXPECT_EQ(Status(0), "");
  // Nothing is a candidate, so only the totals are listed.
  ASSERT_EQ(f.ReportLines.size(), 5u);
  EXPECT_EQ(f.ReportLines[1], "Processed files: 0");
}

TEST_F(ExtractWorkflowTest, ReportFileThatCannotBeWrittenGivesAnErrorAndNoWindow) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:5"});
  TForm1& f = Open(zip);
  // A folder where the report file should be: it cannot be replaced.
  const std::filesystem::path blocker = f.TempDir + "$$report.txt";
  std::filesystem::create_directory(blocker);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true))
      .Then(Answer(nullptr, QMessageBox::Yes))
      .Then(Answer(&box, QMessageBox::Ok))
      .Then([](QWidget* w) { w->close(); });  // a report window would land here
  s.Start();
  f.sbExtractClick();
  EXPECT_EQ(s.Handled(), 3u);
  EXPECT_EQ(box.title, "Error");
  EXPECT_TRUE(box.text.startsWith("ERROR! Cannot write the report file " +
                                  QString::fromStdString(f.TempDir) + "$$report.txt"))
      << box.text.toStdString();
  EXPECT_FALSE(Rep().isVisible());
  std::filesystem::remove(blocker);
}

TEST_F(ExtractWorkflowTest, ReportGoesToANewPrivateFolderWhenTheOldOneWentAway) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:5"});
  TForm1& f = Open(zip);
  const std::string old = f.TempDir;
  std::filesystem::remove_all(old);
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(nullptr, QMessageBox::Yes)).Then([](QWidget* w) {
    w->close();
  });
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_TRUE(platform::DirectoryExists(f.TempDir));
  const std::string report = f.TempDir + "$$report.txt";
  EXPECT_EQ(ReadFileBytes(report).substr(0, 11), "a.txt Ok.\r\n");
  EXPECT_EQ(f.TempFiles.back(), report);  // deleted at exit with the rest
}

// A long run: big stored entries refill the input many times, and the
// jumping clock makes every refill call the progress procedure. On one
// thread, so that every refill is one of the entry in hand (decoding ahead
// on other threads would leave the procedure a look per entry).
class LongRunTest : public ExtractWorkflowTest {
 protected:
  void SetUp() override {
    zip_ = tmp_.file("big.zip");
    MakeZip(zip_, {"one.bin:3000000", "two.bin:3000000", "three.bin:3000000", "four.bin:3000000"});
    g_ticks = 0;
    g_batchThreadReadings = 0;
    platform::SetTickSource(JumpingClock);
    SetThreadCount(1);
  }
  void TearDown() override {
    SetThreadCount(0);
    ExtractWorkflowTest::TearDown();
  }
  std::string zip_;
  GuiTurns turns_;
};

TEST_F(LongRunTest, CancelGivesUserBreakAndTheReportListsTheEntriesBegun) {
  TForm1& f = Open(zip_, nullptr, /*show=*/true);
  Pgs().stprocfiles->setText(QStringLiteral("-"));
  bool visibleInRun = false, cancelEnabled = false;
  QString caption;
  QTimer clicker;
  QObject::connect(&clicker, &QTimer::timeout, [&] {
    if (Pgs().stprocfiles->text() != "2") return;
    clicker.stop();
    visibleInRun = Pgs().isVisible();
    cancelEnabled = Pgs().PgsBtn->isEnabled();
    caption = Pgs().windowTitle();
    QTest::mouseClick(Pgs().PgsBtn, Qt::LeftButton);
  });
  clicker.start(0);
  Box box;
  QString shown;
  ModalScript s;
  s.Then(Options(QString(), true))
      .Then(Answer(&box, QMessageBox::Yes))
      .Then([&](QWidget* w) {
        shown = static_cast<TFreport*>(w)->RichEdit1->toPlainText();
        w->close();
      });
  s.Start();
  f.sbExtractClick();
  EXPECT_TRUE(visibleInRun);
  EXPECT_TRUE(cancelEnabled);
  EXPECT_EQ(caption, "Testing " + QString::fromStdString(zip_));
  EXPECT_EQ(box.title, "Error");
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.text, "ERROR! User break!\n Would you like a report?");
  ASSERT_GE(f.ReportLines.size(), 3u);
  EXPECT_EQ(f.ReportLines[0], "one.bin Ok.");
  EXPECT_EQ(f.ReportLines[1].rfind("two.bin ", 0), 0u);
  EXPECT_EQ(f.ReportLines[2], "-----------------------------Total:");
  EXPECT_EQ(f.ReportLines[3], "Processed files: 2");
  EXPECT_TRUE(shown.startsWith("one.bin Ok.\ntwo.bin "));
  EXPECT_EQ(Status(2), "");  // never begun
  EXPECT_FALSE(Pgs().isVisible());
}

TEST_F(LongRunTest, ProgressWindowFollowsTheRunAndTheMainWindowIsLocked) {
  TForm1& f = Open(zip_, nullptr, /*show=*/true);
  const int rows = f.DrawGrid1->RowCount();
  int calls = 0;
  bool closed = true, visible = false, modal = false;
  int lastPercent = -1;
  bool monotonic = true;
  QStringList files;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (!Pgs().Running()) return;
    ++calls;
    const int p = Pgs().PgsBar->value();
    if (p < lastPercent) monotonic = false;
    lastPercent = p;
    if (files.isEmpty() || files.last() != Pgs().stprocfiles->text())
      files << Pgs().stprocfiles->text();
    if (calls == 3) {
      // Everything the user could do to the main window mid-run goes nowhere
      // (input as the window system delivers it, to the window).
      QWindow* window = f.windowHandle();
      auto centre = [&](QWidget* w) { return w->mapTo(&f, w->rect().center()); };
      QTest::mouseClick(window, Qt::LeftButton, {}, centre(f.sbClose));
      QTest::mouseClick(window, Qt::LeftButton, {}, centre(f.sbExtract));
      QTest::keyClick(window, Qt::Key_Down);
      modal = QApplication::activeModalWidget() == &Pgs();
      closed = f.close();
      // The window system's close request (title-bar button, Alt+F4) too.
      QCloseEvent request;
      QApplication::sendEvent(f.windowHandle(), &request);
      closed = closed || request.isAccepted();
      visible = f.isVisible();
      // Closing the progress window means Cancel, not hiding it mid-run:
      // checked in its own test; here it must simply still be up.
    }
  });
  watcher.start(0);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(&box, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  watcher.stop();
  EXPECT_GT(calls, 10);
  EXPECT_FALSE(closed);
  EXPECT_TRUE(visible);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(monotonic);
  // The label counts the entries begun, one after the other (before the
  // first call it still shows the window's previous value).
  EXPECT_EQ(files.mid(files.size() - 4), QStringList({"1", "2", "3", "4"}))
      << files.join(" ").toStdString();
  EXPECT_EQ(box.text.left(12), "All is Ok!  ");
  EXPECT_EQ(s.Handled(), 2u);  // no second options dialog from the Extract click
  EXPECT_EQ(GetEntryCount(), 4);  // the Close click did not close the archive
  EXPECT_EQ(f.DrawGrid1->RowCount(), rows);
  EXPECT_EQ(f.DrawGrid1->Row(), 1);
  EXPECT_TRUE(f.close());  // after the run the window closes again
}

TEST_F(LongRunTest, ClosingTheProgressWindowMidRunCancels) {
  TForm1& f = Open(zip_, nullptr, /*show=*/true);
  bool stillVisible = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (!Pgs().Running() || Pgs().stprocfiles->text() != "1") return;
    closer.stop();
    Pgs().close();
    stillVisible = Pgs().isVisible();
  });
  Pgs().stprocfiles->setText(QStringLiteral("-"));
  closer.start(0);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(&box, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  EXPECT_TRUE(stillVisible);
  EXPECT_EQ(box.text, "ERROR! User break!\n Would you like a report?");
}

// The batch runs on a thread of its own: the GUI thread's event loop turns
// all through the run (a timer fires between the refills), and the clock is
// read on the batch's thread.
TEST_F(LongRunTest, TheEventLoopTurnsWhileTheBatchRunsOnItsOwnThread) {
  TForm1& f = Open(zip_, nullptr, /*show=*/true);
  int firedInRun = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (Pgs().Running() && f.BatchRunning) ++firedInRun;
  });
  timer.start(0);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(&box, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  EXPECT_EQ(box.text.left(12), "All is Ok!  ");
  EXPECT_GT(g_batchThreadReadings.load(), 40);  // every refill of four 3 MB entries
  EXPECT_GE(firedInRun, g_batchThreadReadings.load() / 2);
  EXPECT_FALSE(f.BatchRunning);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Escape in the progress window is Cancel: the window stays up until the
// batch has stopped, with "User break!".
TEST_F(LongRunTest, EscapeInTheProgressWindowCancels) {
  TForm1& f = Open(zip_, nullptr, /*show=*/true);
  bool stillVisible = false, stillRunning = false;
  QTimer escaper;
  QObject::connect(&escaper, &QTimer::timeout, [&] {
    if (!Pgs().Running() || Pgs().stprocfiles->text() != "1") return;
    escaper.stop();
    QTest::keyClick(Pgs().windowHandle(), Qt::Key_Escape);
    stillVisible = Pgs().isVisible();
    stillRunning = f.BatchRunning;
  });
  Pgs().stprocfiles->setText(QStringLiteral("-"));
  escaper.start(0);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(&box, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  EXPECT_TRUE(stillVisible);
  EXPECT_TRUE(stillRunning);
  EXPECT_EQ(box.text, "ERROR! User break!\n Would you like a report?");
  EXPECT_EQ(Status(3), "");  // never begun
}

// A screen reader hears the run: the bar's value changes and the processed
// counts, which read with their titles. (Qt sends these events to a reader
// itself; offscreen it has none, so they are seen as noted.)
std::vector<std::pair<QAccessible::Event, QObject*>> g_accessEvents;
void RecordAccessEvent(QAccessibleEvent* event) {
  g_accessEvents.emplace_back(event->type(), event->object());
}

TEST_F(LongRunTest, TheBarsValueAndTheCountsAreAnnounced) {
  TForm1& f = Open(zip_, nullptr, /*show=*/true);
  Pgs().ShowCounts(QStringLiteral("0"), QStringLiteral("0"), 0);
  g_accessEvents.clear();
  SetAccessibleChangeObserver(RecordAccessEvent);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(&box, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  SetAccessibleChangeObserver(nullptr);
  auto count = [&](QAccessible::Event type, QObject* object) {
    return std::count(g_accessEvents.begin(), g_accessEvents.end(), std::make_pair(type, object));
  };
  EXPECT_GE(count(QAccessible::ValueChanged, Pgs().PgsBar), 10);
  EXPECT_GE(count(QAccessible::NameChanged, Pgs().stprocfiles), 4);  // 1, 2, 3, 4
  EXPECT_GE(count(QAccessible::NameChanged, Pgs().stprocbytes), 10);
  QAccessibleInterface* files = QAccessible::queryAccessibleInterface(Pgs().stprocfiles);
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(files->text(QAccessible::Name), "Processed files: 4");
  QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Pgs().PgsBar);
  ASSERT_NE(bar, nullptr);
  ASSERT_NE(bar->valueInterface(), nullptr);
  EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), Pgs().PgsBar->value());
  EXPECT_EQ(Pgs().stprocbytes->accessibleName(), "Processed bytes: " + Pgs().stprocbytes->text());
  EXPECT_EQ(Pgs().stprocfiles->text(), "4");
}

// Whatever reaches the handlers while a batch runs leaves the catalog alone:
// Close, opening another archive, opening an entry, a second Extract.
TEST_F(ExtractWorkflowTest, WhileABatchRunsTheCatalogIsLeftAlone) {
  const std::string zip = tmp_.file("a.zip");
  const std::string other = tmp_.file("b.zip");
  MakeZip(zip, {"a.txt:10", "b.txt:20"});
  MakeZip(other, {"c.txt:30"});
  TForm1& f = Open(zip);
  f.BatchRunning = true;
  f.sbCloseClick();
  f.ZipFileName = other;
  f.OpenZipFile();
  f.ExecFile();
  f.sbExtractClick();  // no options dialog: nothing to answer it
  f.BatchRunning = false;
  EXPECT_EQ(GetEntryCount(), 2);
  EXPECT_EQ(GetEntryName(0), "a.txt");
  EXPECT_EQ(Status(f.EntryOfRow(f.DrawGrid1->Row())), "");  // not opened
  EXPECT_FALSE(std::filesystem::exists(f.TempDir + "a.txt"));
}

TEST_F(ExtractWorkflowTest, ProgressPercentageRoundsHalfToEvenAndZeroBytesKeepsZero) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:1000", "b.txt:2000"});
  TForm1& f = Open(zip);
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(nullptr, QMessageBox::No));
  s.Start();
  f.sbExtractClick();  // BytesDone is now 3000
  f.SelectedBytes = 8000;  // 37.5 %
  f.ShowProgress();
  EXPECT_EQ(Pgs().PgsBar->value(), 38);
  f.SelectedBytes = 24000;  // 12.5 %
  f.ShowProgress();
  EXPECT_EQ(Pgs().PgsBar->value(), 12);
  EXPECT_EQ(Pgs().stprocfiles->text(), "2");
  EXPECT_EQ(Pgs().stprocbytes->text(), "3,000");
  f.SelectedBytes = 0;
  f.ShowProgress();
  EXPECT_EQ(Pgs().PgsBar->value(), 0);
  // Past 32 bits: 3 GiB of 6 GiB done is half, and the count shows in full.
  DefaultSession().counters.bytesDone = ZipSize{3} << 30;
  f.SelectedBytes = ZipSize{6} << 30;
  f.ShowProgress();
  EXPECT_EQ(Pgs().PgsBar->value(), 50);
  EXPECT_EQ(Pgs().stprocbytes->text(), "3,221,225,472");
}

TEST_F(ExtractWorkflowTest, OnlyEmptyEntriesKeepTheBarAtZero) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"d/", "d/empty.txt:0"});
  TForm1& f = Open(zip);
  Pgs().PgsBar->setValue(0);
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(nullptr, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  EXPECT_EQ(f.SelectedBytes, 0);
  f.ShowProgress();
  EXPECT_EQ(Pgs().PgsBar->value(), 0);
  EXPECT_EQ(Pgs().stselbytes->text(), "Selected bytes: 0");
}

TEST_F(ExtractWorkflowTest, ReportWindowPrintsTheWholeTextAsOnePdfJob) {
  const std::string zip = tmp_.file("many.zip");
  std::vector<std::string> entries;
  for (int i = 0; i < 150; ++i) entries.push_back("folder/entry" + std::to_string(1000 + i) + ".txt:3");
  MakeZip(zip, entries);
  const std::string pdf = tmp_.file("report.pdf");
  PdfShell shell(pdf);
  TForm1& f = Open(zip, &shell);
  ModalScript s;
  s.Then(Options(QString(), true)).Then(Answer(nullptr, QMessageBox::Yes)).Then([](QWidget* w) {
    auto* r = static_cast<TFreport*>(w);
    QTest::mouseClick(r->Button2, Qt::LeftButton);
    QTest::mouseClick(r->Button1, Qt::LeftButton);
  });
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_EQ(shell.jobs, 1);
  EXPECT_TRUE(shell.lastTitle.startsWith("Vantelo report ")) << shell.lastTitle.toStdString();
  std::string info, text;
  ASSERT_EQ(RunCommand("pdfinfo '" + pdf + "'", &info), 0);
  const auto title = info.find("Title:");
  ASSERT_NE(title, std::string::npos) << info;
  EXPECT_EQ(info.substr(info.find_first_not_of(' ', title + 6), 15), "Vantelo report ") << info;
  const auto pages = info.find("Pages:");
  ASSERT_NE(pages, std::string::npos);
  EXPECT_GT(std::stoi(info.substr(pages + 6)), 1) << info;  // page by page
  ASSERT_EQ(RunCommand("pdftotext -layout '" + pdf + "' -", &text), 0);
  for (const std::string& line : f.ReportLines) EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(ExtractWorkflowTest, NoPrinterIsSaidInABox) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:5"});
  PdfShell shell(tmp_.file("never.pdf"), /*hasPrinter=*/false);
  TForm1& f = Open(zip, &shell);
  Box box;
  ModalScript s;
  s.Then(Options(QString(), true))
      .Then(Answer(nullptr, QMessageBox::Yes))
      .Then([](QWidget* w) {
        auto* r = static_cast<TFreport*>(w);
        QTimer::singleShot(0, r->Button2, [r] { r->Button2->click(); });
      })
      .Then(Answer(&box, QMessageBox::No))
      .Then([](QWidget* w) { static_cast<TFreport*>(w)->Button1->click(); });
  s.Start();
  f.sbExtractClick();
  EXPECT_EQ(s.Handled(), 5u);
  EXPECT_EQ(shell.jobs, 1);
  EXPECT_TRUE(box.text.startsWith("No printer is available")) << box.text.toStdString();
  EXPECT_FALSE(std::filesystem::exists(tmp_.file("never.pdf")));
}

TEST_F(ExtractWorkflowTest, NoPrinterOffersAPdfFile) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"only/entry.txt:5"});
  PdfShell shell(tmp_.file("never.pdf"), /*hasPrinter=*/false);
  TForm1& f = Open(zip, &shell);
  const std::string pdf = tmp_.file("saved.pdf");
  ModalScript s;
  s.Then(Options(QString(), true))
      .Then(Answer(nullptr, QMessageBox::Yes))
      .Then([](QWidget* w) {
        auto* r = static_cast<TFreport*>(w);
        QTimer::singleShot(0, r->Button2, [r] { r->Button2->click(); });
      })
      .Then(Answer(nullptr, QMessageBox::Yes))
      .Then([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr) << w->metaObject()->className();
        d->selectFile(QString::fromStdString(tmp_.file("saved")));  // ".pdf" is added
        static_cast<QDialog*>(d)->accept();
      })
      .Then([](QWidget* w) { static_cast<TFreport*>(w)->Button1->click(); });
  s.Start();
  f.sbExtractClick();
  EXPECT_EQ(s.Handled(), 6u);
  std::string text;
  ASSERT_EQ(RunCommand("pdftotext '" + pdf + "' -", &text), 0);
  EXPECT_NE(text.find("only/entry.txt Ok."), std::string::npos) << text;
  EXPECT_NE(text.find("Elapsed time: 0 ms"), std::string::npos) << text;
}

TEST_F(ExtractWorkflowTest, PrintTitleHasTheDateAndTimeWithoutAZone) {
  const QDateTime when(QDate(2026, 3, 4), QTime(13, 5, 9));
  const QString title = TFreport::PrintTitle(when);
  EXPECT_TRUE(title.startsWith("Vantelo report ")) << title.toStdString();
  EXPECT_TRUE(title.contains(QLocale::system().toString(when.date(), QLocale::ShortFormat)));
  EXPECT_TRUE(title.contains("05:09") || title.contains(":05:09")) << title.toStdString();
  EXPECT_FALSE(title.endsWith(' '));
}

}  // namespace
}  // namespace vantelo::ui
