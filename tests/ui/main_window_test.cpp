// The main window: start-up, the two window states, Open, Close, About, the temporary
// folder and files.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <filesystem>
#include <memory>
#include <sys/stat.h>

#include "common/test_support.h"
#include "engine/engine.h"
#include "platform/platform.h"
#include "ui/app_info.h"
#include "ui/application.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/extract_options_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/dialogs/report_dialog.h"
#include "ui/main_window.h"
#include "ui/widgets/draw_grid.h"
#include "ui/widgets/status_bar.h"
#include "ui_test_support.h"
#include "workflow_script.h"

namespace vantelo::ui {
namespace {

using test::BoxSeen;
using test::CloseMessageBox;
using test::DataPath;
using test::ModalAnswer;

QString QData(const char* name) { return QString::fromStdString(DataPath(name)); }

constexpr const char* kNotZipMessage =
    "ERROR! This is not a ZIP file or the structure of ZIP file is damaged!";

class MainWindowTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseArchive(); }

  static void ExpectEmpty(TForm1& f) {
    EXPECT_EQ(f.DrawGrid1->RowCount(), 1);
    EXPECT_EQ(f.DrawGrid1->FixedRows(), 0);
    EXPECT_EQ(f.PanelText(0), "Total: 0 files");
    EXPECT_EQ(f.PanelText(1), "Selected: 0 files");
    EXPECT_FALSE(f.sbExtract->isEnabled());
    EXPECT_FALSE(f.sbAdd->isEnabled());
    EXPECT_FALSE(f.sbRng->isEnabled());
    EXPECT_TRUE(f.sbOpen->isEnabled());
    EXPECT_TRUE(f.sbClose->isEnabled());
    EXPECT_TRUE(f.sbHelp->isEnabled());
  }
  static void ExpectDemoLoaded(TForm1& f) {
    EXPECT_EQ(f.DrawGrid1->RowCount(), 17);
    EXPECT_EQ(f.DrawGrid1->FixedRows(), 1);
    EXPECT_EQ(f.DrawGrid1->Row(), 1);
    EXPECT_EQ(f.DrawGrid1->Col(), 0);
    EXPECT_EQ(f.DrawGrid1->TopRow(), 1);
    EXPECT_EQ(f.DrawGrid1->RowHeight(0), 20);
    EXPECT_EQ(f.DrawGrid1->RowHeight(1), 16);
    EXPECT_EQ(f.PanelText(0), "Total: 16 files  -  71,424 bytes");
    EXPECT_EQ(f.PanelText(1), "Selected: 0 files");
    EXPECT_TRUE(f.sbExtract->isEnabled());
    EXPECT_TRUE(f.sbAdd->isEnabled());
    EXPECT_TRUE(f.sbRng->isEnabled());
    EXPECT_EQ(f.LastRow, -1);
  }
};

TEST_F(MainWindowTest, StartWithoutArgumentsIsEmpty) {
  TForm1 f;
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  ExpectEmpty(f);
  EXPECT_EQ(f.windowTitle(), QString::fromLatin1(kMainCaption));
  EXPECT_TRUE(f.windowTitle().startsWith("Vantelo 0.91 - Demo of Korvane Unzip Library - "));
  EXPECT_EQ(f.ZipFileName, "");
  EXPECT_EQ(f.focusWidget(), f.DrawGrid1);
  EXPECT_FALSE(f.SkipSelect);
  // The defined layout.
  EXPECT_EQ(f.DrawGrid1->ColCount(), 8);
  const int widths[] = {20, 100, 70, 80, 90, 45, 90, 200};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(f.DrawGrid1->ColWidth(i), widths[i]) << i;
  EXPECT_EQ(f.DrawGrid1->DefaultRowHeight(), 16);
  EXPECT_EQ(f.DrawGrid1->RowHeight(0), 20);
  EXPECT_EQ(f.Panel1->height(), 72);
  EXPECT_EQ(f.StatusBar1->height(), 23);
  EXPECT_EQ(f.StatusBar1->Panel(0)->width(), 300);
  EXPECT_EQ(f.GroupBox2->title(), "Zip file");
  EXPECT_EQ(f.GroupBox3->title(), "Selection");
  EXPECT_EQ(f.GroupBox3->width(), 141);
  EXPECT_EQ(f.sbOpen->text(), "Open  ");
  EXPECT_EQ(f.sbExtract->text(), "Extract");
  EXPECT_EQ(f.sbClose->text(), "Close");
  EXPECT_EQ(f.sbHelp->text(), "About");
  EXPECT_EQ(f.sbAdd->text(), "Additive");
  EXPECT_EQ(f.sbRng->text(), "Range");
  for (QToolButton* b : {f.sbOpen, f.sbExtract, f.sbClose, f.sbHelp, f.sbAdd, f.sbRng}) {
    EXPECT_FALSE(b->icon().isNull()) << b->text().toStdString();
    EXPECT_EQ(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
  }
  EXPECT_EQ(f.sbOpen->size(), QSize(52, 42));
  EXPECT_EQ(f.sbAdd->size(), QSize(65, 42));
  EXPECT_EQ(f.OpenZipDlg.Title, "Open Zip Archive");
  EXPECT_EQ(f.centralWidget()->height() + f.StatusBar1->height(), 333);
  EXPECT_EQ(f.width(), 530);
}

TEST_F(MainWindowTest, EveryControlHasAnAccessibleNameAndDescription) {
  TForm1 f;
  TFExtrOpt options;
  TFPgsInd progress;
  TFreport report;
  TFAbout about;
  int checked = 0;
  for (QWidget* window : std::initializer_list<QWidget*>{&f, &options, &progress, &report, &about}) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                           qobject_cast<QProgressBar*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                           qobject_cast<DrawGrid*>(w) ||
                           (qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w->parent()));
      if (!control) continue;
      ++checked;
      QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
      ASSERT_NE(iface, nullptr);
      const std::string what = w->objectName().toStdString() + " in " + window->objectName().toStdString();
      EXPECT_FALSE(iface->text(QAccessible::Name).trimmed().isEmpty()) << what;
      EXPECT_FALSE(iface->text(QAccessible::Description).isEmpty()) << what;
      // A button's shortcut is part of its description.
      if (const auto* b = qobject_cast<QAbstractButton*>(w); b && !b->shortcut().isEmpty()) {
        EXPECT_TRUE(iface->text(QAccessible::Description)
                        .endsWith("(" + b->shortcut().toString(QKeySequence::NativeText) + ")"))
            << what;
      }
    }
  }
  EXPECT_GE(checked, 20);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(f.DrawGrid1)->text(QAccessible::Name),
            "Archive entries");
  EXPECT_EQ(QAccessible::queryAccessibleInterface(f.sbOpen)->text(QAccessible::Name), "Open");
  // The progress window's bar reads as its value.
  progress.PgsBar->setValue(42);
  QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(progress.PgsBar);
  ASSERT_NE(bar->valueInterface(), nullptr);
  EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 42);
  EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 100);
}

TEST_F(MainWindowTest, SelectionTogglesAreIndependentAndSticky) {
  TForm1 f({QData("demo.zip")});
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  QTest::mouseClick(f.sbAdd, Qt::LeftButton);
  EXPECT_TRUE(f.sbAdd->isChecked());
  QTest::mouseClick(f.sbRng, Qt::LeftButton);
  EXPECT_TRUE(f.sbAdd->isChecked());
  EXPECT_TRUE(f.sbRng->isChecked());
  QTest::mouseClick(f.sbAdd, Qt::LeftButton);
  EXPECT_FALSE(f.sbAdd->isChecked());
  EXPECT_TRUE(f.sbRng->isChecked());
  // EmptyGrid keeps the pressed state.
  f.sbCloseClick();
  EXPECT_TRUE(f.sbRng->isChecked());
}

TEST_F(MainWindowTest, StartWithAnArchiveShowsItsEntries) {
  TForm1 f({QData("demo.zip")});
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  ExpectDemoLoaded(f);
  EXPECT_EQ(f.ZipFileName, DataPath("demo.zip"));
  EXPECT_EQ(GetEntryCount(), 16);
}

TEST_F(MainWindowTest, FurtherArgumentsAreIgnored) {
  TForm1 f({QData("demo.zip"), QData("zip_plain.zip")});
  ExpectDemoLoaded(f);
}

TEST_F(MainWindowTest, StartWithANonZipFileShowsTheErrorAndOpensEmpty) {
  BoxSeen seen;
  ModalAnswer answer(CloseMessageBox(&seen));
  TForm1 f({QData("bad_notzip.txt")});
  ASSERT_TRUE(answer.fired());
  EXPECT_EQ(seen.text, kNotZipMessage);
  EXPECT_EQ(seen.title, "Error");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, static_cast<int>(QMessageBox::Ok));
  EXPECT_EQ(f.ZipFileName, DataPath("bad_notzip.txt"));
  ExpectEmpty(f);
}

TEST_F(MainWindowTest, AnArchiveWithoutEntriesLooksEmpty) {
  BoxSeen unexpected;
  ModalAnswer guard(CloseMessageBox(&unexpected));  // no message is expected
  TForm1 f({QData("py_empty.zip")});
  EXPECT_FALSE(guard.fired());
  ExpectEmpty(f);
}

TEST_F(MainWindowTest, TotalsUseCommaGroups) {
  test::TempFolder dir;
  test::WriteCatalogZip(dir.file("big.zip"), {{"a.bin", 1000000, 1000, 0x2845, 0x48A3},
                                              {"b.bin", 48576, 48576, 0x2845, 0x48A3},
                                              {"c.bin", 0, 0, 0x2845, 0x48A3}});
  {
    TForm1 f({QString::fromStdString(dir.file("big.zip"))});
    EXPECT_EQ(f.PanelText(0), "Total: 3 files  -  1,048,576 bytes");
  }
  // Beyond 4 GiB (a sparse ZIP64 archive): the true total.
  ASSERT_EQ(test::RunCommand("python3 " + test::DataPath("make-large-zip.py") + " " +
                             dir.file("large.zip")),
            0);
  TForm1 f({QString::fromStdString(dir.file("large.zip"))});
  EXPECT_EQ(f.PanelText(0), "Total: 2 files  -  4,294,971,423 bytes");
}

TEST_F(MainWindowTest, OpenCancelledChangesNothing) {
  TForm1 f({QData("demo.zip")});
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  QString title;
  QStringList filters;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    title = dlg->windowTitle();
    filters = dlg->nameFilters();
    dlg->reject();
  });
  f.sbOpenClick();
  ASSERT_TRUE(answer.fired());
  EXPECT_EQ(title, "Open Zip Archive");
  ASSERT_EQ(filters.size(), 2);
  EXPECT_TRUE(filters[0].startsWith("Zip file (*.zip"));
  EXPECT_EQ(filters[1], "All files (*)");  // matches every file, also names without a dot
  ExpectDemoLoaded(f);
  EXPECT_EQ(f.ZipFileName, DataPath("demo.zip"));
}

TEST_F(MainWindowTest, OpenChoosesAnArchiveAndStartsNextTimeInItsFolder) {
  test::TempFolder dir;
  std::filesystem::copy_file(DataPath("zip_plain.zip"), dir.file("plain.zip"));
  TForm1 f;
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  const QString chosen = QString::fromStdString(dir.file("plain.zip"));
  ModalAnswer first([&](QWidget* w) {
    auto* dlg = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    dlg->selectFile(chosen);
    QMetaObject::invokeMethod(dlg, "accept");
  });
  f.sbOpenClick();
  ASSERT_TRUE(first.fired());
  EXPECT_EQ(f.ZipFileName, dir.file("plain.zip"));
  EXPECT_EQ(f.DrawGrid1->RowCount(), GetEntryCount() + 1);
  EXPECT_GT(GetEntryCount(), 0);
  EXPECT_TRUE(f.sbExtract->isEnabled());

  QString startDir;
  ModalAnswer second([&](QWidget* w) {
    auto* dlg = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    startDir = dlg->directory().absolutePath();
    dlg->reject();
  });
  f.sbOpenClick();
  ASSERT_TRUE(second.fired());
  EXPECT_EQ(startDir.toStdString(), dir.path().string());
  EXPECT_EQ(f.OpenZipDlg.InitialDir.toStdString(), dir.path().string());
}

// Answers the error box like CloseMessageBox, then the recovery question that
// follows it (when one does) with `recover`.
class ErrorThenQuestion {
 public:
  explicit ErrorThenQuestion(bool recover)
      : first_(std::make_unique<ModalAnswer>([this, recover](QWidget* w) {
          CloseMessageBox(&error)(w);
          second_ = std::make_unique<ModalAnswer>([this, recover](QWidget* box) {
            auto* question = qobject_cast<QMessageBox*>(box);
            if (question == nullptr) {
              box->close();
              return;
            }
            this->question.text = question->text();
            this->question.title = question->windowTitle();
            this->question.buttons = static_cast<int>(question->standardButtons());
            question->button(recover ? QMessageBox::Yes : QMessageBox::No)->click();
          }, 2000);
        })) {}
  bool asked() const { return second_ != nullptr && second_->fired(); }
  BoxSeen error, question;

 private:
  std::unique_ptr<ModalAnswer> first_, second_;
};

// The shown archive stays open and usable after a failed open: the engine
// keeps its catalog (not the failed file's), with the selection as it was; a
// damaged archive is offered for recovery first, and No keeps the window too.
void ExpectFailedOpenKeepsDemo(const char* badFile, bool asksToRecover = false) {
  TForm1 f({QData("demo.zip")});
  SetEntrySelected(2, true);
  f.ShowSelectedTotals();
  const QString selected = f.PanelText(1);
  ErrorThenQuestion answers(false);
  f.ZipFileName = DataPath(badFile);
  f.OpenZipFile();
  const BoxSeen& seen = answers.error;
  EXPECT_TRUE(seen.text.startsWith("ERROR! ")) << seen.text.toStdString();
  EXPECT_EQ(answers.asked(), asksToRecover);
  if (asksToRecover) {
    EXPECT_EQ(answers.question.text, kRecoverQuestion);
  }
  EXPECT_EQ(f.ZipFileName, DataPath("demo.zip"));
  EXPECT_EQ(f.DrawGrid1->RowCount(), GetEntryCount() + 1);
  EXPECT_EQ(f.PanelText(0), "Total: 16 files  -  71,424 bytes");
  EXPECT_EQ(f.PanelText(1), selected);
  EXPECT_EQ(GetSelectedCount(), 1);
  EXPECT_TRUE(GetEntrySelected(2));
  test::TempFolder out;
  for (std::int32_t i = 0; i < GetEntryCount(); ++i) {
    if (GetEntryEncrypted(i) || GetEntryName(i) == kFolderName) continue;
    ASSERT_EQ(ExtractEntry(i, out.path().string() + "/", "", true, false, true, nullptr), 0)
        << GetLastMessage();
    EXPECT_EQ(GetEntryStatus(i), kStatusOk) << GetEntryName(i);
  }
}

TEST_F(MainWindowTest, FailedOpenKeepsTheWindowAsItWas) {
  ExpectFailedOpenKeepsDemo("bad_notzip.txt");
  BoxSeen seen;
  ModalAnswer answer(CloseMessageBox(&seen));
  TForm1 f({QData("demo.zip")});
  f.ZipFileName = DataPath("bad_notzip.txt");
  f.OpenZipFile();
  EXPECT_EQ(seen.text, kNotZipMessage);
}

TEST_F(MainWindowTest, FailedOpenThatDropsTheEntriesKeepsTheShownArchiveToo) {
  ExpectFailedOpenKeepsDemo("bad_central_signature.zip", true);
}

// A cut-off archive: the error box, then the question; Yes lists every entry
// found, the status bar says the archive is recovered, and a test run gives
// the complete entries "Ok." and the cut one "BAD CRC!". A failed open after
// it keeps the recovered archive shown.
TEST_F(MainWindowTest, ACutArchiveIsRecoveredAfterTheQuestion) {
  test::TempFolder dir;
  std::string bytes = test::ReadFileBytes(DataPath("recovery/zip_plain.zip"));
  bytes.resize(7000);  // inside last.txt, the last entry
  const std::string cut = dir.file("cut.zip");
  test::WriteFileBytes(cut, bytes);
  TForm1 f({QData("demo.zip")});
  {
    ErrorThenQuestion answers(true);
    f.ZipFileName = cut;
    f.OpenZipFile();
    EXPECT_EQ(answers.error.text, kNotZipMessage);
    ASSERT_TRUE(answers.asked());
    EXPECT_EQ(answers.question.text, kRecoverQuestion);
    EXPECT_EQ(answers.question.title, "Damaged archive");
    EXPECT_EQ(answers.question.buttons, static_cast<int>(QMessageBox::Yes | QMessageBox::No));
  }
  ASSERT_TRUE(IsArchiveRecovered());
  EXPECT_EQ(GetEntryCount(), 7);
  EXPECT_EQ(f.DrawGrid1->RowCount(), 8);
  EXPECT_TRUE(f.PanelText(0).startsWith("Total: 7 files  -  ")) << f.PanelText(0).toStdString();
  EXPECT_TRUE(f.PanelText(0).endsWith("  -  recovered")) << f.PanelText(0).toStdString();
  EXPECT_EQ(f.windowTitle(), "cut.zip - " + QString::fromLatin1(kMainCaption));
  EXPECT_EQ(ExtractAll("", "", true, true, true, nullptr), 0);
  for (std::int32_t i = 0; i < 6; ++i) EXPECT_EQ(GetEntryStatus(i), kStatusOk) << i;
  EXPECT_EQ(GetEntryStatus(6), kStatusBadCrc);

  BoxSeen seen;
  {
    ModalAnswer answer(CloseMessageBox(&seen));
    f.ZipFileName = DataPath("bad_notzip.txt");
    f.OpenZipFile();
    ASSERT_TRUE(answer.fired());
  }
  EXPECT_TRUE(IsArchiveRecovered());
  EXPECT_EQ(GetEntryCount(), 7);
  EXPECT_TRUE(f.PanelText(0).endsWith("  -  recovered"));
}

// A failed open reads nothing again: with another archive written over the
// shown one's file, the grid still lists the same rows, cursor, selection,
// filter and sort, and the title still names it.
TEST_F(MainWindowTest, FailedOpenKeepsTheRowsWithoutReadingTheShownFileAgain) {
  test::TempFolder dir;
  const std::string shown = dir.file("shown.zip");
  std::filesystem::copy_file(DataPath("demo.zip"), shown);
  TForm1 f({QString::fromStdString(shown)});
  f.SortByColumn(4, true);
  f.ShowFindBar();
  f.edFind->setText(QStringLiteral("data"));
  ASSERT_GT(f.DrawGrid1->RowCount(), 3);
  ASSERT_LT(f.DrawGrid1->RowCount(), 17);
  ASSERT_TRUE(f.DrawGrid1->ResetCursor(1, 3));
  SetEntrySelected(f.EntryOfRow(2), true);
  f.ShowSelectedTotals();
  auto rows = [&f] {
    QStringList r;
    for (int row = 1; row < f.DrawGrid1->RowCount(); ++row)
      r << f.CellDisplayText(1, row) + "|" + f.CellDisplayText(4, row);
    return r;
  };
  const QStringList before = rows();
  const QString panels = f.PanelText(0) + f.PanelText(1) + f.PanelText(2);
  std::filesystem::copy_file(DataPath("open.zip"), shown,
                             std::filesystem::copy_options::overwrite_existing);
  {
    BoxSeen seen;
    ModalAnswer answer(CloseMessageBox(&seen));
    f.ZipFileName = DataPath("bad_notzip.txt");
    f.OpenZipFile();
    ASSERT_TRUE(answer.fired());
  }
  EXPECT_EQ(rows(), before);
  EXPECT_EQ(f.DrawGrid1->Row(), 3);
  EXPECT_EQ(f.PanelText(0) + f.PanelText(1) + f.PanelText(2), panels);
  EXPECT_EQ(GetSelectedCount(), 1);
  EXPECT_TRUE(GetEntrySelected(f.EntryOfRow(2)));
  EXPECT_EQ(f.edFind->text(), "data");
  EXPECT_TRUE(f.FindBar->isVisibleTo(&f));
  EXPECT_EQ(f.Rows.SortColumn(), 4);
  EXPECT_EQ(f.windowTitle(), "shown.zip - " + QString::fromLatin1(kMainCaption));
  EXPECT_EQ(f.ZipFileName, shown);
}

// The shown archive's file cut to nothing meanwhile: a failed open still
// leaves it listed (the window shows what it showed), and a run over it says
// what went wrong instead of passing for an empty success.
TEST_F(MainWindowTest, FailedOpenAfterTheShownArchiveWasCutKeepsItListedAndARunSaysWhy) {
  test::TempFolder dir;
  const std::string gone = dir.file("gone.zip");
  std::filesystem::copy_file(DataPath("demo.zip"), gone);
  TForm1 f({QString::fromStdString(gone)});
  ASSERT_EQ(f.DrawGrid1->RowCount(), 17);
  test::WriteFileBytes(gone, "");
  {
    BoxSeen seen;
    ModalAnswer answer(CloseMessageBox(&seen));
    f.ZipFileName = DataPath("bad_notzip.txt");
    f.OpenZipFile();
    ASSERT_TRUE(answer.fired());
  }
  EXPECT_EQ(f.DrawGrid1->RowCount(), 17);
  EXPECT_EQ(GetEntryCount(), 16);
  EXPECT_EQ(f.windowTitle(), "gone.zip - " + QString::fromLatin1(kMainCaption));
  test::Box box;
  test::ModalScript script;
  script.Then(test::Options(QString(), true, -1, true, QStringLiteral("any")))
      .Then(test::Answer(&box, QMessageBox::No));
  script.Start();
  f.sbExtractClick();
  ASSERT_EQ(script.Handled(), 2u);
  EXPECT_NE(GetLastMessage(), "");
  EXPECT_EQ(box.text, "ERROR! " + QString::fromStdString(GetLastMessage()) +
                          "\n Would you like a report?");
  EXPECT_EQ(f.DrawGrid1->RowCount(), 17);
}

// A recovery that finds nothing (the file went away before Yes) cannot leave
// the engine without the shown archive: it is read again, its selection back.
TEST_F(MainWindowTest, ARecoveryThatFailsKeepsTheShownArchive) {
  test::TempFolder dir;
  std::string bytes = test::ReadFileBytes(DataPath("recovery/zip_plain.zip"));
  bytes.resize(7000);
  const std::string cut = dir.file("cut.zip");
  test::WriteFileBytes(cut, bytes);
  TForm1 f({QData("demo.zip")});
  SetEntrySelected(2, true);
  f.ShowSelectedTotals();
  const QString selected = f.PanelText(1);
  test::Box error, question, failure;
  test::ModalScript script;
  script.Then(test::Answer(&error, QMessageBox::Ok))
      .Then([&](QWidget* w) {
        std::filesystem::remove(cut);
        test::Answer(&question, QMessageBox::Yes)(w);
      })
      .Then(test::Answer(&failure, QMessageBox::Ok));
  script.Start();
  f.ZipFileName = cut;
  f.OpenZipFile();
  ASSERT_EQ(script.Handled(), 3u);
  EXPECT_EQ(question.text, kRecoverQuestion);
  EXPECT_TRUE(failure.text.startsWith("ERROR! Can not open file")) << failure.text.toStdString();
  EXPECT_FALSE(IsArchiveRecovered());
  EXPECT_EQ(GetEntryCount(), 16);
  EXPECT_EQ(f.DrawGrid1->RowCount(), 17);
  EXPECT_EQ(GetSelectedCount(), 1);
  EXPECT_TRUE(GetEntrySelected(2));
  EXPECT_EQ(f.PanelText(1), selected);
  EXPECT_EQ(f.ZipFileName, DataPath("demo.zip"));
  EXPECT_EQ(f.windowTitle(), "demo.zip - " + QString::fromLatin1(kMainCaption));
}

TEST_F(MainWindowTest, CloseEmptiesTheWindowAndClosesTheArchive) {
  TForm1 f({QData("demo.zip")});
  f.sbCloseClick();
  ExpectEmpty(f);
  EXPECT_EQ(GetEntryCount(), 0);
  BoxSeen unexpected;
  ModalAnswer guard(CloseMessageBox(&unexpected));
  f.sbCloseClick();  // without an archive: no message
  EXPECT_FALSE(guard.fired());
  ExpectEmpty(f);
}

// The title and the grid's description name the archive shown, and only that one.
TEST_F(MainWindowTest, TitleAndGridDescriptionNameTheOpenArchive) {
  const QString caption = QString::fromLatin1(kMainCaption);
  TForm1 f({QData("demo.zip")});
  EXPECT_EQ(f.windowTitle(), "demo.zip - " + caption);
  EXPECT_TRUE(f.DrawGrid1->accessibleDescription().startsWith("The entries of demo.zip. "))
      << f.DrawGrid1->accessibleDescription().toStdString();
  {
    BoxSeen seen;
    ModalAnswer answer(CloseMessageBox(&seen));
    f.ZipFileName = DataPath("bad_notzip.txt");
    f.OpenZipFile();
    ASSERT_TRUE(answer.fired());
  }
  EXPECT_EQ(f.windowTitle(), "demo.zip - " + caption);  // still the one shown
  f.sbCloseClick();
  EXPECT_EQ(f.windowTitle(), caption);
  EXPECT_TRUE(f.DrawGrid1->accessibleDescription().startsWith("The entries of the open archive. "));

  // A name holding Qt's modified-mark placeholder or markup shows as it is.
  test::TempFolder dir;
  const std::string odd = dir.file("odd[*]<b>name.zip");
  std::filesystem::copy_file(DataPath("demo.zip"), odd);
  f.ZipFileName = odd;
  f.OpenZipFile();
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  EXPECT_EQ(f.windowHandle()->title(), "odd[*]<b>name.zip - " + caption);
}

// ---- keyboard ----------------------------------------------------------------------

class KeyboardTest : public MainWindowTest {
 protected:
  void Show(TForm1& f) {
    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    f.DrawGrid1->setFocus();
  }
};

TEST_F(KeyboardTest, TabGoesThroughTheButtonsInOrderAndBackToTheGrid) {
  TForm1 f({QData("demo.zip")});
  Show(f);
  const std::vector<QWidget*> order = {f.sbOpen, f.sbExtract, f.sbClose, f.sbHelp,
                                       f.sbAdd,  f.sbRng,     f.cbNames, f.DrawGrid1};
  for (QWidget* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
  // A click on a button leaves the focus in the grid (the selection keys work on).
  QTest::mouseClick(f.sbAdd, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), f.DrawGrid1);
  // Return on a focused button presses it.
  f.sbClose->setFocus();
  QTest::keyClick(f.sbClose, Qt::Key_Return);
  QTRY_COMPARE(f.DrawGrid1->RowCount(), 1);
}

TEST_F(KeyboardTest, ShortcutsAreShownInTheToolTipsAndWork) {
  TForm1 f({QData("demo.zip")});
  Show(f);
  EXPECT_EQ(f.sbOpen->text(), "Open  ");
  EXPECT_TRUE(f.sbOpen->toolTip().contains("Ctrl+O"));
  EXPECT_TRUE(f.sbExtract->toolTip().contains("Ctrl+E"));
  EXPECT_TRUE(f.sbClose->toolTip().contains("Ctrl+W"));
  EXPECT_TRUE(f.sbHelp->toolTip().contains("F1"));
  EXPECT_TRUE(f.sbAdd->toolTip().contains("Ctrl+A"));

  QTest::keyClick(f.DrawGrid1, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(GetSelectedCount(), 16);
  EXPECT_EQ(f.PanelText(1), "Selected: 16 files  -  71,424 bytes");

  for (auto [key, mods] : {std::pair{Qt::Key_O, Qt::ControlModifier},
                           std::pair{Qt::Key_E, Qt::ControlModifier},
                           std::pair{Qt::Key_F1, Qt::NoModifier}}) {
    QString seen;
    ModalAnswer answer([&](QWidget* w) {
      seen = QString::fromLatin1(w->metaObject()->className());
      w->close();
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    });
    QTest::keyClick(f.DrawGrid1, key, mods);
    QTRY_VERIFY(answer.fired());
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    EXPECT_FALSE(seen.isEmpty()) << key;
  }
  QTest::keyClick(f.DrawGrid1, Qt::Key_W, Qt::ControlModifier);
  QTRY_COMPARE(f.DrawGrid1->RowCount(), 1);
  // Extract has nothing to do in the empty window: its shortcut does nothing.
  BoxSeen unexpected;
  ModalAnswer guard(CloseMessageBox(&unexpected), 300);
  QTest::keyClick(f.DrawGrid1, Qt::Key_E, Qt::ControlModifier);
  QTest::qWait(400);
  EXPECT_FALSE(guard.fired());
}

TEST_F(KeyboardTest, CtrlHeldIntoAShortcutsDialogDoesNotStickTheAdditiveToggle) {
  TForm1 f({QData("demo.zip")});
  Show(f);
  QTest::keyPress(f.DrawGrid1, Qt::Key_Control);
  EXPECT_TRUE(f.sbAdd->isChecked());
  ModalAnswer answer([](QWidget* w) {
    if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
  });
  QTest::keyClick(f.DrawGrid1, Qt::Key_O, Qt::ControlModifier);
  QTRY_VERIFY(answer.fired());
  // The release went to the dialog: the grid took the lost focus for it.
  EXPECT_FALSE(f.sbAdd->isChecked());
}

TEST_F(MainWindowTest, LongStatusTextNeverWidensTheWindow) {
  TForm1 f({QData("demo.zip")});
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  const int minimum = f.minimumSizeHint().width();
  f.StatusBar1->SetPanelText(1, QStringLiteral("Selected: 65,535 files  -  2,147,483,647 bytes") +
                                    QString(40, QLatin1Char('x')));
  QApplication::processEvents();
  QTest::qWait(50);
  EXPECT_EQ(f.width(), 530);
  EXPECT_LE(f.minimumSizeHint().width(), minimum);
  EXPECT_LE(f.minimumSizeHint().width(), 530);
}

TEST_F(MainWindowTest, AboutShowsTheAboutBox) {
  VanteloWindows w = CreateWindows({}, nullptr, true);
  QString caption;
  QSize size;
  QStringList texts;
  ModalAnswer answer([&](QWidget* dlg) {
    auto* about = qobject_cast<TFAbout*>(dlg);
    ASSERT_NE(about, nullptr);
    caption = about->windowTitle();
    size = about->size();
    for (QLabel* l : {about->Label1, about->Label2, about->Label3, about->Label4, about->Label5})
      texts << l->text();
    EXPECT_EQ(about->Label1->font().pixelSize(), 20);
    EXPECT_EQ(about->Label2->font().pixelSize(), 16);
    about->OKButton->click();
  });
  w.Form1->sbHelpClick();
  ASSERT_TRUE(answer.fired());
  EXPECT_EQ(caption, "About Vantelo");
  EXPECT_EQ(size, QSize(434, 331));
  EXPECT_EQ(texts[0], "Vantelo");
  EXPECT_EQ(texts[1], "Demo of Korvane Unzip Library");
  EXPECT_TRUE(texts[4].contains("@"));
}

TEST_F(MainWindowTest, StartUpCreatesEveryWindowAndShowsOnlyTheMainOne) {
  VanteloWindows w = CreateWindows({QData("demo.zip")}, nullptr, true);
  ASSERT_TRUE(w.Form1 && w.FPgsInd && w.Freport && w.FExtrOpt && w.FAbout);
  EXPECT_TRUE(w.Form1->isVisible());
  EXPECT_FALSE(w.FPgsInd->isVisible());
  EXPECT_FALSE(w.Freport->isVisible());
  EXPECT_FALSE(w.FExtrOpt->isVisible());
  EXPECT_FALSE(w.FAbout->isVisible());
  EXPECT_EQ(w.Form1->FAbout, w.FAbout.get());
  EXPECT_EQ(w.Form1->FPgsInd, w.FPgsInd.get());
  EXPECT_EQ(w.Form1->Freport, w.Freport.get());
  EXPECT_EQ(w.Form1->FExtrOpt, w.FExtrOpt.get());
  EXPECT_EQ(w.FPgsInd->windowTitle(), "Progress Indicator");
  EXPECT_EQ(w.Freport->windowTitle(), "Report");
  EXPECT_EQ(w.FExtrOpt->windowTitle(), "How to Extract?");
  EXPECT_EQ(w.Form1->DrawGrid1->RowCount(), 17);
  EXPECT_TRUE(ApplicationTitle().startsWith("Vantelo 0.91 - Demo of Korvane UnZip Library - "));
}

TEST_F(MainWindowTest, TemporaryFolderIsPrivate) {
  TForm1 f;
  ASSERT_FALSE(f.TempDir.empty());
  EXPECT_EQ(f.TempDir.back(), '/');
  struct stat st {};
  ASSERT_EQ(::stat(f.TempDir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, ::getuid());
  ASSERT_EQ(f.TempFiles.size(), 1u);
  EXPECT_EQ(f.TempFiles[0], f.TempDir + "$$report.txt");
}

TEST_F(MainWindowTest, TemporaryFilesAndTheFolderAreDeletedAtExit) {
  std::string dir, report, viewed;
  {
    auto f = std::make_unique<TForm1>();
    dir = f->TempDir;
    report = f->TempFiles[0];
    viewed = dir + "notes.txt";
    test::WriteFileBytes(report, "report\r\n");
    test::WriteFileBytes(viewed, "viewed");
    f->TempFiles.push_back(viewed);
    f->TempFiles.push_back(viewed);              // opened twice: listed twice
    f->TempFiles.push_back(dir + "missing.txt");  // never written: skipped silently
    ASSERT_TRUE(platform::FileExists(report));
  }
  EXPECT_FALSE(platform::FileExists(report));
  EXPECT_FALSE(platform::FileExists(viewed));
  EXPECT_FALSE(platform::PathExists(dir));
}

TEST_F(MainWindowTest, OnlyFilesInsideTheTemporaryFolderAreDeleted) {
  test::TempFolder elsewhere;
  const std::string outside = elsewhere.file("$$report.txt");
  test::WriteFileBytes(outside, "a user's file");
  {
    TForm1 f;
    f.TempFiles.push_back(outside);
  }
  EXPECT_TRUE(platform::FileExists(outside));
  std::string dir;
  {
    TForm1 f;
    dir = f.TempDir;
    f.TempDir.clear();  // as if no private folder could be made
    f.TempFiles = {"$$report.txt", outside};
  }
  EXPECT_TRUE(platform::FileExists(outside));
  platform::RemoveEmptyDirectory(dir);
}

TEST_F(MainWindowTest, ReportNeverWrittenIsNoProblemAtExit) {
  std::string dir;
  {
    TForm1 f;
    dir = f.TempDir;
  }
  EXPECT_FALSE(platform::PathExists(dir));
  TForm1 again;  // a later window gets a folder again
  EXPECT_TRUE(platform::DirectoryExists(again.TempDir));
}

TEST_F(MainWindowTest, FolderWithForeignFilesIsLeftInPlace) {
  std::string dir;
  {
    TForm1 f;
    dir = f.TempDir;
    test::WriteFileBytes(dir + "other.txt", "not ours");
  }
  EXPECT_TRUE(platform::FileExists(dir + "other.txt"));
  platform::RemoveFile(dir + "other.txt");
  platform::RemoveEmptyDirectory(dir);
}

}  // namespace
}  // namespace vantelo::ui
