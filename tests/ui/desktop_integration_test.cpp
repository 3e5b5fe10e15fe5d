// Desktop integration: the application icon, a file dropped on the main
// window, settings kept between runs, and `vantelo --help` / `--version`.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <filesystem>
#include <memory>

#include "common/test_support.h"
#include "engine/engine.h"
#include "ui/application.h"
#include "ui/dialogs/extract_options_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/main_window.h"
#include "ui/settings_store.h"
#include "ui/widgets/draw_grid.h"
#include "ui_test_support.h"

namespace vantelo::ui {
namespace {

using test::BoxSeen;
using test::CloseMessageBox;
using test::DataPath;
using test::ModalAnswer;
using test::RunCommand;

constexpr const char* kNotZipMessage =
    "ERROR! This is not a ZIP file or the structure of ZIP file is damaged!";

QUrl FileUrl(const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); }

// Sends a drag entering the window and, if `drop`, the drop that ends it, as
// the windowing system delivers them. Returns whether the drag was accepted.
struct DropResult {
  bool enterAccepted = false;
  bool dropAccepted = false;
};
DropResult SendDrop(QWidget& target, const QList<QUrl>& urls, bool drop = true) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint at(target.width() / 2, target.height() / 2);
  DropResult result;
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  enter.setAccepted(false);
  QApplication::sendEvent(&target, &enter);
  result.enterAccepted = enter.isAccepted();
  if (!drop) return result;
  QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                     Qt::NoModifier);
  dropped.setAccepted(false);
  QApplication::sendEvent(&target, &dropped);
  result.dropAccepted = dropped.isAccepted();
  return result;
}

class DesktopIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The suite's main() sends settings to a temporary folder; make sure of it
    // before anything is written.
    QSettings settings(QStringLiteral("Vantelo"), QStringLiteral("Vantelo"));
    ASSERT_FALSE(settings.fileName().startsWith(QDir::homePath() + "/.config"))
        << settings.fileName().toStdString();
    settings.clear();
  }
  void TearDown() override {
    QSettings(QStringLiteral("Vantelo"), QStringLiteral("Vantelo")).clear();
    CloseArchive();
  }
};

TEST_F(DesktopIntegrationTest, WindowAndApplicationCarryTheIcon) {
  TForm1 f;
  EXPECT_FALSE(f.windowIcon().isNull());
  const QList<QSize> sizes = f.windowIcon().availableSizes();
  for (int size : {16, 32, 48, 64, 128, 256}) EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
  EXPECT_FALSE(f.windowIcon().pixmap(QSize(32, 32)).isNull());

  SetApplicationTitle(*qApp);
  EXPECT_FALSE(QApplication::windowIcon().isNull());
  EXPECT_EQ(QGuiApplication::desktopFileName(), "vantelo");  // data/vantelo.desktop
}

TEST_F(DesktopIntegrationTest, DroppedArchiveOpensAsTheOpenButtonWould) {
  TForm1 f;
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  // Drags go to the first widget that takes drops: the window, over the grid too.
  EXPECT_TRUE(f.acceptDrops());
  EXPECT_FALSE(f.DrawGrid1->acceptDrops());
  EXPECT_FALSE(f.DrawGrid1->viewport()->acceptDrops());
  const DropResult r = SendDrop(f, {FileUrl(DataPath("demo.zip"))});
  EXPECT_TRUE(r.enterAccepted);
  EXPECT_TRUE(r.dropAccepted);
  QTRY_COMPARE(f.DrawGrid1->RowCount(), 17);
  EXPECT_EQ(f.ZipFileName, DataPath("demo.zip"));
  EXPECT_EQ(f.DrawGrid1->FixedRows(), 1);
  EXPECT_EQ(f.PanelText(0), "Total: 16 files  -  71,424 bytes");
  EXPECT_EQ(f.PanelText(1), "Selected: 0 files");
  EXPECT_TRUE(f.sbExtract->isEnabled());
  EXPECT_TRUE(f.sbAdd->isEnabled());
  EXPECT_TRUE(f.sbRng->isEnabled());
  EXPECT_EQ(GetEntryCount(), 16);

  // A second drop replaces the archive; the first local file of several counts,
  // folders and remote locations are passed over.
  test::TempFolder dir;
  std::filesystem::copy_file(DataPath("zip_plain.zip"), dir.file("plain.zip"));
  SendDrop(f, {QUrl(QStringLiteral("https://example.org/a.zip")), FileUrl(dir.path().string()),
               FileUrl(dir.file("plain.zip")), FileUrl(DataPath("demo.zip"))});
  QTRY_COMPARE(f.ZipFileName, dir.file("plain.zip"));
  EXPECT_EQ(f.DrawGrid1->RowCount(), GetEntryCount() + 1);
  EXPECT_NE(GetEntryCount(), 16);
  // The Open dialog's own folder is not changed by a drop.
  EXPECT_TRUE(f.OpenZipDlg.FileName.isEmpty());
}

TEST_F(DesktopIntegrationTest, DroppedFileThatIsNotAnArchiveShowsTheErrorBox) {
  TForm1 f({QString::fromStdString(DataPath("demo.zip"))});
  BoxSeen seen;
  ModalAnswer answer(CloseMessageBox(&seen));
  const DropResult r = SendDrop(f, {FileUrl(DataPath("bad_notzip.txt"))});
  EXPECT_TRUE(r.dropAccepted);
  QTRY_VERIFY(answer.fired());
  EXPECT_EQ(seen.text, kNotZipMessage);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(f.ZipFileName, DataPath("demo.zip"));  // as after a failed Open: still shown
  EXPECT_EQ(f.DrawGrid1->RowCount(), GetEntryCount() + 1);
  EXPECT_EQ(f.PanelText(0), "Total: 16 files  -  71,424 bytes");
}

TEST_F(DesktopIntegrationTest, NothingToOpenIsRefusedAtTheDragAlready) {
  TForm1 f;
  test::TempFolder dir;
  for (const QList<QUrl>& urls :
       {QList<QUrl>{}, QList<QUrl>{QUrl(QStringLiteral("https://example.org/a.zip"))},
        QList<QUrl>{FileUrl(dir.path().string())}}) {
    BoxSeen unexpected;
    ModalAnswer guard(CloseMessageBox(&unexpected), 200);
    const DropResult r = SendDrop(f, urls);
    EXPECT_FALSE(r.enterAccepted);
    EXPECT_FALSE(r.dropAccepted);
    QTest::qWait(250);
    EXPECT_FALSE(guard.fired());
  }
  EXPECT_TRUE(f.ZipFileName.empty());
  EXPECT_EQ(f.DrawGrid1->RowCount(), 1);
}

TEST_F(DesktopIntegrationTest, DropWhileABatchRunsDoesNothing) {
  VanteloWindows w = CreateWindows({}, nullptr, false);
  TForm1& f = *w.Form1;
  BoxSeen unexpected;
  ModalAnswer guard(CloseMessageBox(&unexpected), 300);

  // The engine is at work (the flag the engine calls raise).
  f.BatchRunning = true;
  DropResult r = SendDrop(f, {FileUrl(DataPath("demo.zip"))});
  EXPECT_FALSE(r.enterAccepted);
  EXPECT_FALSE(r.dropAccepted);
  f.BatchRunning = false;

  // The progress window is up for the whole of an Extract or Test run.
  w.FPgsInd->show();
  r = SendDrop(f, {FileUrl(DataPath("bad_notzip.txt"))});
  EXPECT_FALSE(r.dropAccepted);
  w.FPgsInd->hide();

  // A drop taken just before a batch starts does not open once it runs.
  r = SendDrop(f, {FileUrl(DataPath("demo.zip"))});
  EXPECT_TRUE(r.dropAccepted);
  f.BatchRunning = true;
  QTest::qWait(350);
  f.BatchRunning = false;

  EXPECT_FALSE(guard.fired());
  EXPECT_TRUE(f.ZipFileName.empty());
  EXPECT_EQ(f.DrawGrid1->RowCount(), 1);
  EXPECT_EQ(GetEntryCount(), 0);
}

// Posts a drop of `data` on `target` the moment `watched` is shown.
class DropWhenShown : public QObject {
 public:
  DropWhenShown(QWidget* watched, QWidget* target, const QMimeData* data)
      : target_(target), data_(data) {
    watched->installEventFilter(this);
  }
  bool posted = false;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show && !posted) {
      posted = true;
      QCoreApplication::postEvent(
          target_, new QDropEvent(QPointF(10, 10), Qt::CopyAction, data_, Qt::LeftButton,
                                  Qt::NoModifier));
    }
    return false;
  }

 private:
  QWidget* target_;
  const QMimeData* data_;
};

TEST_F(DesktopIntegrationTest, DropDuringARealTestRunIsNotOpened) {
  VanteloWindows w = CreateWindows({QString::fromStdString(DataPath("demo.zip"))}, nullptr, false);
  QMimeData data;
  data.setUrls({FileUrl(DataPath("bad_notzip.txt"))});
  // The drop arrives while the progress window is up, when the run lets
  // events through.
  DropWhenShown dropper(w.FPgsInd.get(), w.Form1.get(), &data);
  std::unique_ptr<ModalAnswer> summary;
  bool summarySeen = false;
  ModalAnswer options([&](QWidget* widget) {
    ASSERT_EQ(widget, w.FExtrOpt.get());
    summary = std::make_unique<ModalAnswer>([&](QWidget* next) {
      auto* msg = qobject_cast<QMessageBox*>(next);
      ASSERT_NE(msg, nullptr);
      summarySeen = true;
      EXPECT_TRUE(msg->text().contains("Would you like a report?")) << msg->text().toStdString();
      msg->button(QMessageBox::No)->click();
    });
    w.FExtrOpt->edPswd->setText(QStringLiteral("vantelo"));  // no password question
    w.FExtrOpt->BitBtn3->click();  // Test
  });
  w.Form1->sbExtractClick();
  ASSERT_TRUE(options.fired());
  EXPECT_TRUE(dropper.posted);
  QTRY_VERIFY(summarySeen);
  // Had the drop been kept for later, the bad file's error box would come now.
  BoxSeen late;
  ModalAnswer lateBox(CloseMessageBox(&late), 300);
  QTest::qWait(350);
  EXPECT_FALSE(lateBox.fired()) << late.text.toStdString();
  EXPECT_EQ(w.Form1->ZipFileName, DataPath("demo.zip"));
  EXPECT_EQ(w.Form1->DrawGrid1->RowCount(), 17);
}

TEST_F(DesktopIntegrationTest, OpenFolderSurvivesARestart) {
  test::TempFolder dir;
  std::filesystem::copy_file(DataPath("zip_plain.zip"), dir.file("plain.zip"));
  {
    VanteloWindows w = CreateWindows({}, nullptr, false);
    RestoreSettings(w);
    EXPECT_TRUE(w.Form1->OpenZipDlg.InitialDir.isEmpty());  // nothing saved yet
    ModalAnswer choose([&](QWidget* widget) {
      auto* dlg = qobject_cast<QFileDialog*>(widget);
      ASSERT_NE(dlg, nullptr);
      dlg->selectFile(QString::fromStdString(dir.file("plain.zip")));
      QMetaObject::invokeMethod(dlg, "accept");
    });
    w.Form1->sbOpenClick();
    ASSERT_TRUE(choose.fired());
    EXPECT_EQ(w.Form1->ZipFileName, dir.file("plain.zip"));
    EXPECT_EQ(LoadOpenFolder().toStdString(), dir.path().string());  // saved at once
  }
  CloseArchive();

  // The next run starts the dialog there.
  VanteloWindows w = CreateWindows({}, nullptr, false);
  RestoreSettings(w);
  EXPECT_EQ(w.Form1->OpenZipDlg.InitialDir.toStdString(), dir.path().string());
  QString startDir;
  ModalAnswer look([&](QWidget* widget) {
    auto* dlg = qobject_cast<QFileDialog*>(widget);
    ASSERT_NE(dlg, nullptr);
    startDir = dlg->directory().absolutePath();
    dlg->reject();
  });
  w.Form1->sbOpenClick();
  ASSERT_TRUE(look.fired());
  EXPECT_EQ(startDir.toStdString(), dir.path().string());
  EXPECT_TRUE(w.Form1->ZipFileName.empty());  // cancelled: nothing changed
}

TEST_F(DesktopIntegrationTest, VanishedOpenFolderLeavesTheDefaultStart) {
  {
    test::TempFolder gone;
    SaveOpenFolder(QString::fromStdString(gone.path().string()));
  }
  TForm1 f;
  RestoreOpenFolder(f);
  EXPECT_TRUE(f.OpenZipDlg.InitialDir.isEmpty());
}

TEST_F(DesktopIntegrationTest, DestinationHistorySurvivesARestart) {
  QStringList seen;
  {
    VanteloWindows w = CreateWindows({}, nullptr, false);
    RestoreSettings(w);
    QComboBox* box = w.FExtrOpt->ddDir;
    EXPECT_EQ(box->count(), 0);
    // The Extract button's rule inserts at the top; repeats further down stay.
    w.FExtrOpt->RememberDestination(QStringLiteral("/data/one"));
    w.FExtrOpt->RememberDestination(QStringLiteral("/data/Two"));
    w.FExtrOpt->RememberDestination(QStringLiteral("/data/one"));
    EXPECT_EQ(LoadDestinationHistory(),
              QStringList({"/data/one", "/data/Two", "/data/one"}));  // saved at each change
  }
  VanteloWindows w = CreateWindows({}, nullptr, false);
  RestoreSettings(w);
  QComboBox* box = w.FExtrOpt->ddDir;
  for (int i = 0; i < box->count(); ++i) seen << box->itemText(i);
  EXPECT_EQ(seen, QStringList({"/data/one", "/data/Two", "/data/one"}));
  EXPECT_EQ(box->currentText(), "/data/one");  // the newest destination is offered

  // Only the newest destinations are kept between runs.
  QStringList many;
  for (int i = 0; i < kMaxSavedDestinations + 10; ++i) many << QStringLiteral("/d/%1").arg(i);
  SaveDestinationHistory(many);
  EXPECT_EQ(LoadDestinationHistory(), many.mid(0, kMaxSavedDestinations));
}

// Only a destination extracted into is remembered: a test run leaves it out.
TEST_F(DesktopIntegrationTest, DestinationOfARealExtractionIsSavedAndATestRunsIsNot) {
  VanteloWindows w = CreateWindows({QString::fromStdString(DataPath("demo.zip"))}, nullptr, false);
  RestoreSettings(w);
  test::TempFolder out;
  const QString into = QString::fromStdString(out.path().string());
  auto run = [&](const QString& destination, QPushButton* button) {
    std::unique_ptr<ModalAnswer> summary;
    bool summarySeen = false;
    ModalAnswer options([&](QWidget* widget) {
      ASSERT_EQ(widget, w.FExtrOpt.get());
      w.FExtrOpt->ddDir->setEditText(destination);
      w.FExtrOpt->edPswd->setText(QStringLiteral("vantelo"));
      summary = std::make_unique<ModalAnswer>([&](QWidget* next) {
        auto* msg = qobject_cast<QMessageBox*>(next);
        ASSERT_NE(msg, nullptr);
        summarySeen = true;
        msg->button(QMessageBox::No)->click();  // no report
      });
      button->click();
    });
    w.Form1->sbExtractClick();
    ASSERT_TRUE(options.fired());
    QTRY_VERIFY(summarySeen);
  };
  run(into, w.FExtrOpt->BitBtn1);  // Extract
  EXPECT_EQ(LoadDestinationHistory(), QStringList({into}));
  EXPECT_TRUE(std::filesystem::exists(out.path() / "vantelo demo" / "secret.txt"));
  run(QStringLiteral("/nowhere/tested"), w.FExtrOpt->BitBtn3);  // Test
  EXPECT_EQ(LoadDestinationHistory(), QStringList({into}));
}

TEST(DesktopProgram, HelpAndVersionExitWithoutAWindow) {
  const std::string program = test::BinaryPath("vantelo");
  // No display of any kind: the options must answer before one is needed.
  const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=none ";
  std::string out;
  EXPECT_EQ(RunCommand(env + program + " --version", &out), 0);
  EXPECT_EQ(out, "vantelo 0.91\n");
  for (const char* option : {" --help", " -h"}) {
    EXPECT_EQ(RunCommand(env + program + option, &out), 0) << option;
    EXPECT_EQ(out.rfind("usage: vantelo [ARCHIVE]\n", 0), 0u) << out;
    EXPECT_NE(out.find("--version"), std::string::npos);
  }
  EXPECT_EQ(InfoOptionOutput("--version"), std::optional<std::string>("vantelo 0.91\n"));
  // Anything else is an archive to open, options included.
  EXPECT_FALSE(InfoOptionOutput("archive.zip").has_value());
  EXPECT_FALSE(InfoOptionOutput("--helpme").has_value());
  EXPECT_FALSE(InfoOptionOutput("").has_value());
}

TEST_F(DesktopIntegrationTest, NamesChoiceSurvivesARestart) {
  {
    VanteloWindows w = CreateWindows({}, nullptr, false);
    RestoreSettings(w);
    EXPECT_EQ(w.Form1->cbNames->currentIndex(), 0);
    w.Form1->cbNames->setCurrentIndex(w.Form1->cbNames->findData(QStringLiteral("CP866")));
    EXPECT_EQ(LoadNameCharset(), "CP866");  // saved at once
  }
  VanteloWindows w = CreateWindows({QString::fromStdString(DataPath("names/cp1251.zip"))},
                                   nullptr, false);
  RestoreSettings(w);
  EXPECT_EQ(w.Form1->cbNames->currentText(), "Cyrillic (866)");
  EXPECT_EQ(GetNameCharset(), "CP866");  // the archive opened before is read again with it
  EXPECT_EQ(GetEntryName(2), "╧ЁштхЄ ьшЁ.doc");
  w.Form1->cbNames->setCurrentIndex(0);
  EXPECT_EQ(LoadNameCharset(), "");
  EXPECT_EQ(GetEntryName(2), "Привет мир.doc");
}

}  // namespace
}  // namespace vantelo::ui
