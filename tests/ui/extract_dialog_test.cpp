// The Extract dialog as people use it: the focus on opening, one Enter,
// forgetting a remembered destination, the destination suggested for the
// archive, the password question before a run and after a wrong password, and
// opening the folder extracted into.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QInputDialog>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStyleOptionButton>

#include <filesystem>
#include <string>

#include "common/extract_manifest.h"
#include "common/test_support.h"
#include "engine/engine.h"
#include "platform/platform.h"
#include "ui/application.h"
#include "ui/destination_folder.h"
#include "ui/dialogs/extract_options_dialog.h"
#include "ui/dialogs/report_dialog.h"
#include "ui/main_window.h"
#include "ui_test_support.h"
#include "workflow_script.h"

namespace vantelo::ui {
namespace {

using test::Answer;
using test::AnswerWith;
using test::Box;
using test::DataPath;
using test::MakeZip;
using test::ModalScript;
using test::Options;
using test::TempFolder;

std::uint32_t StillClock() { return 7000; }

// Records the password question and answers it with `password` (Cancel when null).
ModalScript::Action GivePassword(QString* question, const char* password) {
  return [question, password](QWidget* w) {
    auto* d = qobject_cast<QInputDialog*>(w);
    ASSERT_NE(d, nullptr) << "expected the password question, got " << w->metaObject()->className();
    EXPECT_EQ(d->windowTitle(), "Password");
    EXPECT_EQ(d->textEchoMode(), QLineEdit::Password);
    if (question != nullptr) *question = d->labelText();
    if (password == nullptr) return d->reject();
    d->setTextValue(QString::fromUtf8(password));
    d->accept();
  };
}

class ExtractDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetTickSource(StillClock); }
  void TearDown() override {
    platform::SetTickSource(nullptr);
    windows_ = {};
    CloseArchive();
  }
  TForm1& Open(const std::string& archive) {
    windows_ = CreateWindows({QString::fromStdString(archive)}, &shell_, false);
    return *windows_.Form1;
  }
  TFExtrOpt& Opt() { return *windows_.FExtrOpt; }
  QStringList ListItems() {
    QStringList items;
    for (int i = 0; i < Opt().ddDir->count(); ++i) items << Opt().ddDir->itemText(i);
    return items;
  }

  TempFolder tmp_;
  test::RecordingShell shell_;
  VanteloWindows windows_;
};

TEST_F(ExtractDialogTest, EveryOpeningStartsInTheDestinationBoxWithAFocusFrame) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:10"});
  TForm1& f = Open(zip);
  QWidget* focusAgain = nullptr;
  QString selected;
  bool frame = false;
  ModalScript s;
  // A test started with the mouse leaves the focus on "Test" when the dialog closes.
  s.Then([](QWidget* w) { QTest::mouseClick(static_cast<TFExtrOpt*>(w)->BitBtn3, Qt::LeftButton); })
      .Then(Answer(nullptr, QMessageBox::No))
      .Then([&](QWidget* w) {
        auto* d = static_cast<TFExtrOpt*>(w);
        focusAgain = d->focusWidget();
        selected = d->ddDir->lineEdit()->selectedText();
        QStyleOptionButton option;
        option.initFrom(d->BitBtn1);
        frame = (option.state & QStyle::State_KeyboardFocusChange) != 0;
        d->BitBtn2->click();
      });
  s.Start();
  f.sbExtractClick();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_TRUE(focusAgain == Opt().ddDir || focusAgain == Opt().ddDir->lineEdit())
      << (focusAgain ? focusAgain->objectName().toStdString() : "none");
  EXPECT_EQ(selected, Opt().ddDir->currentText());  // typing replaces the destination
  EXPECT_TRUE(frame);
}

TEST_F(ExtractDialogTest, OneEnterStartsTheRunEvenWhileTheBoxCompletesFromTheList) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:10"});
  TForm1& f = Open(zip);
  const QString remembered = QString::fromStdString(tmp_.file("remembered"));
  std::filesystem::create_directory(remembered.toStdString());
  Opt().SetHistory({remembered});
  QString completed;
  bool pending = false, closedByEnter = false;
  ModalScript s;
  s.Then([&](QWidget* w) {
     auto* d = static_cast<TFExtrOpt*>(w);
     d->ddDir->setEditText(QString());
     QTest::keyClicks(d->ddDir, remembered.left(remembered.size() - 4));
     completed = d->ddDir->currentText();
     pending = d->ddDir->lineEdit()->hasSelectedText();  // the inline completion
     QTest::keyClick(d->ddDir, Qt::Key_Return);
     closedByEnter = !d->isVisible();
     if (!closedByEnter) d->BitBtn2->click();  // swallowed: end the dialog here
   }).Then(Answer(nullptr, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  EXPECT_EQ(completed, remembered);
  EXPECT_TRUE(pending);
  ASSERT_TRUE(closedByEnter);
  ASSERT_EQ(s.Handled(), 2u);
  EXPECT_EQ(GetEntryStatus(0), "Ok.");
  EXPECT_TRUE(std::filesystem::exists(tmp_.path() / "remembered" / "a.txt"));
}

TEST_F(ExtractDialogTest, DeleteInTheOpenListForgetsARememberedDestinationOnly) {
  TFExtrOpt d;
  d.SetHistory({"/one", "/two", "/three"});
  d.SetSuggestion("/data/demo", QString());
  d.ddDir->setEditText("/typed");
  QSignalSpy changed(&d, &TFExtrOpt::HistoryChanged);
  d.show();
  d.ddDir->showPopup();
  QAbstractItemView* list = d.ddDir->view();
  list->setCurrentIndex(d.ddDir->model()->index(2, 0));  // "/two"
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(d.History(), QStringList({"/one", "/three"}));
  EXPECT_EQ(changed.count(), 1);
  list->setCurrentIndex(d.ddDir->model()->index(0, 0));  // the suggestion is not remembered
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(d.History(), QStringList({"/one", "/three"}));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(d.ddDir->currentText(), "/typed");
  d.ddDir->hidePopup();
}

TEST_F(ExtractDialogTest, TheArchivesNewFolderIsOfferedFirstAndMadeWithoutAQuestion) {
  const std::string zip = tmp_.file("demo.zip");
  MakeZip(zip, {"a.txt:3", "d/b.txt:4"});
  TForm1& f = Open(zip);
  Opt().SetHistory({"/somewhere/else"});
  Opt().ddDir->setEditText(QString());
  const QString into = QString::fromStdString(tmp_.file("demo"));
  QStringList offered;
  QString text;
  Box summary;
  ModalScript s;
  s.Then([&](QWidget* w) {
     offered = ListItems();
     text = Opt().ddDir->currentText();
     static_cast<TFExtrOpt*>(w)->BitBtn1->click();
   }).Then(Answer(&summary, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 2u);  // no question for the suggested folder
  EXPECT_EQ(offered, QStringList({into, "/somewhere/else"}));
  EXPECT_EQ(text, into);  // an empty box takes the suggestion
  EXPECT_EQ(summary.title, "Information");
  EXPECT_EQ(test::ReadFileBytes(tmp_.file("demo/d/b.txt")).size(), 4u);
  EXPECT_EQ(Opt().History().first(), into);
  EXPECT_EQ(ListItems(), QStringList({into, "/somewhere/else"}));  // not twice
}

TEST_F(ExtractDialogTest, EntriesInOneTopFolderAreOfferedTheArchivesOwnFolder) {
  const std::string zip = tmp_.file("proj-1.2.zip");
  MakeZip(zip, {"proj/", "proj/a.txt:3", "proj/src/b.c:4"});
  TForm1& f = Open(zip);
  const QString beside = QString::fromStdString(tmp_.path().string());
  const QString into = QString::fromStdString(tmp_.file("proj-1.2"));
  ModalScript s;
  QString withFolders, withoutFolders, typedStays;
  s.Then([&](QWidget* w) {
    auto* d = static_cast<TFExtrOpt*>(w);
    withFolders = d->ddDir->currentText();
    d->cbUse->setChecked(false);  // the entries would spill into the archive's folder
    withoutFolders = d->ddDir->currentText();
    d->ddDir->setEditText("/my/own");
    d->cbUse->setChecked(true);
    typedStays = d->ddDir->currentText();
    d->BitBtn2->click();
  });
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 1u);
  EXPECT_EQ(withFolders, beside);
  EXPECT_EQ(withoutFolders, into);
  EXPECT_EQ(typedStays, "/my/own");
  EXPECT_EQ(ListItems().first(), beside);
}

TEST_F(ExtractDialogTest, NamesOfTheNewFolderAndEntriesThatBringNoFolderOfTheirOwn) {
  EXPECT_EQ(ArchiveFolderName("/x/demo.zip"), "demo");
  EXPECT_EQ(ArchiveFolderName("/x/a.b.ZIP"), "a.b");
  EXPECT_EQ(ArchiveFolderName("/x/data"), "data_extracted");  // the archive's own name
  EXPECT_EQ(ArchiveFolderName("/x/.zip"), ".zip_extracted");
  EXPECT_EQ(ArchiveSubfolder("/x/demo.zip"), "/x/demo");
  EXPECT_EQ(ArchiveFolder("/demo.zip"), "/");
  const std::string zip = tmp_.file("t.zip");
  for (const auto& entries : std::vector<std::vector<std::string>>{
           {"top/a:1", "other/b:1"}, {"top/a:1", "b:1"}, {"../up/a:1", "../up/b:1"}, {"./a/b:1"}}) {
    MakeZip(zip, entries);
    ASSERT_EQ(OpenArchive(zip), 0);
    EXPECT_FALSE(EntriesShareOneTopFolder()) << entries.front();
  }
  MakeZip(zip, {"Top/a:1", "top/b/c:1"});  // names are compared as the grid shows them
  ASSERT_EQ(OpenArchive(zip), 0);
  EXPECT_TRUE(EntriesShareOneTopFolder());
}

TEST_F(ExtractDialogTest, EncryptedEntriesWithoutAPasswordAskForItBeforeTheRun) {
  TForm1& f = Open(DataPath("extract/7zz_zipcrypto.zip"));
  QString question;
  Box summary;
  ModalScript s;
  s.Then(Options(QString(), /*test=*/true))
      .Then(GivePassword(&question, "delta"))
      .Then(Answer(&summary, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 3u);
  EXPECT_EQ(question, "Some entries are encrypted. Password:");
  EXPECT_EQ(summary.text, "All is Ok!     Elapsed time 0 ms\n Would you like a report?");
  EXPECT_EQ(Opt().edPswd->text(), "delta");  // kept for the next run, as typed ones are

  // Cancel comes back to the dialog and runs nothing.
  for (int i = 0; i < GetEntryCount(); ++i) EXPECT_EQ(GetEntryStatus(i), "Ok.") << i;
  bool dialogAgain = false;
  ModalScript cancel;
  cancel.Then(Options(QString(), true))
      .Then(GivePassword(nullptr, nullptr))
      .Then([&](QWidget* w) {
        dialogAgain = qobject_cast<TFExtrOpt*>(w) != nullptr;
        QTest::keyClick(w, Qt::Key_Escape);
      });
  cancel.Start();
  f.sbExtractClick();
  ASSERT_EQ(cancel.Handled(), 3u);
  EXPECT_TRUE(dialogAgain);

  // Only the entries of the run count: the selected folder entry is not encrypted.
  SetEntrySelected(0, true);
  Box selectedOnly;
  ModalScript none;
  none.Then(Options(QString(), true, /*files=*/1)).Then(Answer(&selectedOnly, QMessageBox::No));
  none.Start();
  f.sbExtractClick();
  ASSERT_EQ(none.Handled(), 2u);
  EXPECT_EQ(selectedOnly.title, "Information");
}

// zip -e (a data descriptor on every entry) extracts through the dialog; a
// password with "é" typed in the dialog opens an archive that a Windows
// writer encrypted with its CP437 bytes.
TEST_F(ExtractDialogTest, ZipEArchivesAndAccentedPasswordsExtract) {
  TForm1& f = Open(DataPath("crypt_writers/zip_e.zip"));
  const QString dest = QString::fromStdString(tmp_.file("out"));
  std::filesystem::create_directory(tmp_.file("out"));
  Box summary;
  ModalScript s;
  s.Then(Options(dest, /*test=*/false, -1, true, QStringLiteral("pass123"))).Then(Answer(&summary, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 2u);
  EXPECT_EQ(summary.text.left(10), "All is Ok!");
  EXPECT_EQ(test::ListFiles(tmp_.file("out")),
            (std::vector<std::string>{"docs/empty.txt", "docs/notes.txt", "docs/sub/random.bin", "hello.txt"}));

  TForm1& g = Open(DataPath("crypt_writers/zip_cp437.zip"));
  Box accented;
  ModalScript t;
  t.Then(Options(QString(), /*test=*/true, -1, true, QString::fromUtf8("caf\xC3\xA9"))).Then(Answer(&accented, QMessageBox::No));
  t.Start();
  g.sbExtractClick();
  ASSERT_EQ(t.Handled(), 2u);
  EXPECT_EQ(accented.text, "All is Ok!     Elapsed time 0 ms\n Would you like a report?");
}

// WinZip AES entries (zip.js: AES-128 and AES-256, data descriptors) are
// encrypted entries like any other: the password is asked for once, the whole
// of it is used, and the files are what 7zz extracts.
TEST_F(ExtractDialogTest, AesEntriesExtractWithThePasswordAskedOnce) {
  TForm1& f = Open(DataPath("aes/zipjs_aes.zip"));
  const QString dest = QString::fromStdString(tmp_.file("out"));
  QString question;
  Box summary;
  ModalScript s;
  s.Then(Options(dest, /*test=*/false))
      .Then(Answer(nullptr, QMessageBox::Yes))  // make the missing folder
      .Then(GivePassword(&question, "Ünïcödé pässwörd, longer than thirty characters ✓"))
      .Then(Answer(&summary, QMessageBox::No));
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 4u);
  EXPECT_EQ(question, "Some entries are encrypted. Password:");
  EXPECT_TRUE(summary.text.startsWith("All is Ok!")) << summary.text.toStdString();
  for (const auto& e : test::ReadManifest(DataPath("aes/zipjs_aes.expect"))) {
    const std::string path = tmp_.file("out/" + e.path);
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << e.path;
    EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(path)), e.size) << e.path;
  }
}

TEST_F(ExtractDialogTest, AWrongPasswordIsOfferedAnotherForTheEntriesItKeptBack) {
  // readme.txt and the words are encrypted with "alpha", long.txt with "beta".
  TForm1& f = Open(DataPath("extract/7zz_multipass.zip"));
  const std::int32_t count = GetEntryCount();
  SetEntrySelected(count - 1, true);  // the user's selection, not this run's
  Box first, second;
  QString question;
  QString shown;
  ModalScript s;
  s.Then(Options(QString(), true, /*files=*/0, true, "alpha"))
      .Then(AnswerWith(&first, "Try Another Password"))
      .Then(GivePassword(&question, "beta"))
      .Then(Answer(&second, QMessageBox::Yes))
      .Then([&](QWidget* w) {
        shown = static_cast<TFreport*>(w)->RichEdit1->toPlainText();
        w->close();
      });
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 5u);
  EXPECT_EQ(first.text, "There is a skiped file!      Elapsed time 0 ms\n Would you like a report?");
  EXPECT_EQ(first.detail, "1 entry was skipped for a bad password.");
  EXPECT_EQ(question, "1 entry was skipped for a bad password. Another password:");
  EXPECT_EQ(second.text, "All is Ok!     Elapsed time 0 ms\n Would you like a report?");
  EXPECT_FALSE(second.buttons.contains("Try Another Password"));
  EXPECT_FALSE(second.buttons.contains("Open Folder"));  // a test extracted nothing
  for (std::int32_t i = 0; i < count; ++i) EXPECT_EQ(GetEntryStatus(i), "Ok.") << i;
  // The report is the second run's: the one entry run again.
  EXPECT_EQ(f.ReportLines.front(), "docs/sub/long.txt Ok.");
  EXPECT_EQ(f.ReportLines.size(), 6u);
  EXPECT_TRUE(shown.startsWith("docs/sub/long.txt Ok.\n"));
  EXPECT_EQ(GetSelectedCount(), 1);
  EXPECT_TRUE(GetEntrySelected(count - 1));
  EXPECT_EQ(Opt().edPswd->text(), "beta");
}

TEST_F(ExtractDialogTest, AnExtractionOffersToOpenItsFolder) {
  const std::string zip = tmp_.file("a.zip");
  MakeZip(zip, {"a.txt:10"});
  TForm1& f = Open(zip);
  Box summary;
  ModalScript s;
  s.Then(Options(QString::fromStdString(tmp_.path().string()) + "/", false))
      .Then(AnswerWith(&summary, "Open Folder"));
  s.Start();
  f.sbExtractClick();
  ASSERT_EQ(s.Handled(), 2u);
  EXPECT_TRUE(summary.detail.isEmpty());
  EXPECT_EQ(shell_.openedFolders, std::vector<QString>({QString::fromStdString(tmp_.path().string())}));
  EXPECT_TRUE(f.ReportLines.empty());  // no report was asked for

  // A run that failed offers neither.
  TForm1& g = Open(DataPath("extract/7zz_ppmd.zip"));
  Box failed;
  ModalScript e;
  e.Then(Options(QString::fromStdString(tmp_.path().string()), false)).Then(Answer(&failed, QMessageBox::No));
  e.Start();
  g.sbExtractClick();
  ASSERT_EQ(e.Handled(), 2u);
  // Yes and No, and the refused method's "Show Details..."; no "Open Folder".
  EXPECT_EQ(failed.buttons.size(), 3);
  EXPECT_FALSE(failed.buttons.contains("Open Folder"));
}

}  // namespace
}  // namespace vantelo::ui
