// The Extract button: the options dialog with the destination and password
// questions, the run with its progress window, the summary box (another
// password for entries a wrong one kept back, the folder extracted into) and
// the report window.
#include "ui/extract_workflow.h"

#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QDir>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSaveFile>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <thread>

#include "engine/engine.h"
#include "format/display_format.h"
#include "format/report_text.h"
#include "platform/platform.h"
#include "ui/dialogs/extract_options_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/destination_folder.h"
#include "ui/dialogs/report_dialog.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/password_question.h"
#include "ui/shell_services.h"
#include "ui/untrusted_text.h"

namespace vantelo::ui {

namespace {

QString Grouped(ZipSize value) { return QString::fromStdString(FmtThousands(value)); }

// What the batch's thread hands the GUI thread: the latest counts, and
// whether a showing of them is already queued. Counts that come faster than
// the GUI shows them replace each other instead of piling up in the queue.
struct PostedCounts {
  std::atomic<std::int32_t> files{0};
  std::atomic<ZipSize> bytes{0};
  std::atomic<bool> queued{false};
};

void CentreOnScreen(QWidget* window, QWidget* near) {
  QScreen* screen = near != nullptr ? near->screen() : nullptr;
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QSize size = window->frameGeometry().size().expandedTo(window->size());
  window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

// Keeps a start-up window above the main window without making it a child
// (the start-up owns and deletes the windows itself).
void StayAbove(QWidget* window, QWidget* owner) {
  if (owner == nullptr || window->parentWidget() != nullptr) return;
  owner->winId();
  window->winId();
  if (window->windowHandle() != nullptr && owner->windowHandle() != nullptr)
    window->windowHandle()->setTransientParent(owner->windowHandle());
}

}  // namespace

// ---- summary and report ------------------------------------------------------------

QString SummaryText(std::int32_t errorNo, const std::string& message, std::int32_t skipped,
                    std::uint32_t elapsedMs) {
  const QString ask = QStringLiteral("\r Would you like a report?");
  if (errorNo != 0) return QStringLiteral("ERROR! ") + EngineText(message) + ask;
  // The batch's summary, padded as the message box has always shown it.
  const QString status = QString::fromStdString(BatchSummaryText(errorNo, message, skipped)) +
                         (skipped == 1 ? QStringLiteral("   ") : QStringLiteral("  "));
  return status + QStringLiteral("   Elapsed time ") + Grouped(elapsedMs) + QStringLiteral(" ms") +
         ask;
}

QString BoxText(const QString& text) {
  QString shown = text;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

std::vector<std::string> BuildReportLines(bool selectedOnly, std::uint32_t elapsedMs) {
  return BuildReportLines(selectedOnly ? SelectedEntries() : AllEntries(), elapsedMs);
}

std::vector<std::string> BuildReportLines(const EntryFlags& candidates, std::uint32_t elapsedMs) {
  std::int32_t filesDone = 0;
  ZipSize bytesDone = 0;
  GetProgress(filesDone, bytesDone);
  const auto n = static_cast<std::int32_t>(std::min<std::size_t>(
      candidates.size(), static_cast<std::size_t>(std::max(GetEntryCount(), 0))));
  std::vector<std::string> lines;
  for (std::int32_t i = 0; i < n; ++i) {
    if (!candidates[static_cast<std::size_t>(i)]) continue;
    lines.push_back(ReportLine(GetEntryFolder(i) + GetEntryName(i), GetEntryStatus(i)));
    if (static_cast<std::int32_t>(lines.size()) >= filesDone) break;
  }
  for (std::string& line : ReportTotalLines(filesDone, bytesDone, GetSkippedCount(), elapsedMs))
    lines.push_back(std::move(line));
  return lines;
}

bool SaveReportLines(const std::vector<std::string>& lines, const QString& path,
                     QString* error) {
  QByteArray bytes;
  for (const std::string& line : lines) {
    bytes.append(line.data(), static_cast<qsizetype>(line.size()));
    bytes.append("\r\n", 2);
  }
  // Written beside the old file and renamed over it: a failed write leaves
  // the previous report whole rather than half a new one.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error != nullptr) *error = file.errorString();
    return false;
  }
  return true;
}

// ---- the Extract button ----------------------------------------------------------------

void TForm1::sbExtractClick() {
  // Windows not attached by the start-up (a main window on its own): make
  // them here, owned by this window.
  if (FExtrOpt == nullptr) FExtrOpt = new TFExtrOpt(this);
  if (FPgsInd == nullptr) FPgsInd = new TFPgsInd(this);
  if (Freport == nullptr) Freport = new TFreport(this);
  if (BatchRunning || FPgsInd->Running()) return;  // no second run from inside a run

  // 1, 2. The options dialog, preset to the selection and offering a folder
  // for the archive first. A destination or a password question answered No
  // or Cancel comes back to it with everything as it was.
  FExtrOpt->rgFiles->SetItemIndex(GetSelectedCount() == 0 ? 0 : 1);
  const QString archive = PathFromEngine(ShownArchive.empty() ? ZipFileName : ShownArchive);
  FExtrOpt->SetSuggestion(ArchiveSubfolder(archive),
                          EntriesShareOneTopFolder() ? ArchiveFolder(archive) : QString());
  StayAbove(FExtrOpt, this);
  BatchSettings run;
  MadeFolders made;
  for (;;) {
    const int result = FExtrOpt->exec();
    if (result != mrOk && result != mrYes) return;
    if (PrepareRun(result == mrYes, run, made)) break;
  }
  // 3. The destination history: a destination extracted into goes on top
  // unless it is the newest one already.
  if (!run.testOnly) FExtrOpt->RememberDestination(FExtrOpt->ddDir->currentText());

  for (;;) {
    // 4 - 8. The run.
    const std::int32_t errorNo = RunBatch(run);
    // A failed run takes back the folders made for it while they are empty.
    if (errorNo != 0) made.RemoveEmpty();

    // 9. The summary; after a run that ended, it also offers another password
    // for the entries a wrong one kept back, and the folder extracted into.
    const QString summary = SummaryText(errorNo, GetLastMessage(), GetSkippedCount(), ElapsedTime);
    std::vector<ExtraAnswer> extras;
    QString detail;
    EntryFlags badPassword;
    if (errorNo == 0) {
      badPassword = EntriesWithBadPassword(run.entries);
      if (CountOf(badPassword) > 0) {
        detail = BadPasswordLine(CountOf(badPassword));
        extras.push_back({QString::fromLatin1(kOtherPasswordButton), kAnswerOtherPassword});
      }
      if (!run.testOnly) extras.push_back({QString::fromLatin1(kOpenFolderButton), kAnswerOpenFolder});
    }
    const int answer = AskYesNo(this, errorNo != 0, BoxText(summary), extras, detail, StoppedBatchDetail(errorNo));
    if (answer == kAnswerOtherPassword) {
      QString password;
      if (!AskPassword(this, detail + QStringLiteral(" Another password:"), &password)) return;
      FExtrOpt->edPswd->setText(password);
      run.password = password.toStdString();
      run.entries = badPassword;
      run.selectedOnly = true;
      continue;
    }
    if (answer == kAnswerOpenFolder) {
      const QString folder =
          run.destination.empty() ? QDir::currentPath() : QDir::cleanPath(PathFromEngine(run.destination));
      if (SysImages != nullptr) SysImages->OpenFolder(folder);
      return;
    }
    if (answer != mrYes) return;
    break;
  }

  // 10. The report.
  ReportLines = BuildReportLines(run.entries, ElapsedTime);
  // The private temporary folder may have gone (a temp cleaner): make it
  // again rather than write anywhere else, and delete the report at exit.
  if (!EnsureTempDir()) {
    ShowErrorBox(this, QStringLiteral("ERROR! There is no temporary folder for the report file!"));
    return;
  }
  const std::string reportFile = TempDir + kReportFileName;
  if (std::find(TempFiles.begin(), TempFiles.end(), reportFile) == TempFiles.end())
    TempFiles.push_back(reportFile);
  const QString path = PathFromEngine(reportFile);
  QString error;
  if (!SaveReportLines(ReportLines, path, &error)) {
    ShowErrorBox(this, QStringLiteral("ERROR! Cannot write the report file ") + path +
                           QStringLiteral(": ") + error);
    return;
  }
  if (!Freport->LoadFromFile(path, &error)) {
    ShowErrorBox(this, QStringLiteral("ERROR! Cannot read the report file ") + path +
                           QStringLiteral(": ") + error);
    return;
  }
  Freport->Shell = SysImages;
  StayAbove(Freport, this);
  Freport->exec();
}

bool TForm1::PrepareRun(bool testOnly, BatchSettings& run, MadeFolders& made) {
  const QString text = FExtrOpt->ddDir->currentText();
  run.destination = EnginePath(text);
  run.testOnly = testOnly;
  run.overwrite = FExtrOpt->cbOver->isChecked();
  run.useFolderNames = FExtrOpt->cbUse->isChecked();
  run.selectedOnly = FExtrOpt->rgFiles->ItemIndex() == 1;
  run.entries = run.selectedOnly ? SelectedEntries() : AllEntries();
  SetUntrustedWindowTitle(FPgsInd, (testOnly ? QStringLiteral("Testing ")
                                              : QStringLiteral("Extracting from ")) +
                                        PathFromEngine(ZipFileName));

  // An extraction needs its folder: the suggested one is made on demand, any
  // other missing one after a question. Something else under that name, or a
  // folder that cannot be made, gets the error and the dialog again. A test
  // leaves the destination as it is.
  if (!testOnly && !run.destination.empty()) {
    const char separator = platform::NativeSeparator();
    if (run.destination.back() != separator) run.destination += separator;
    if (!platform::DirectoryExists(run.destination)) {
      const std::string bare = run.destination.substr(0, run.destination.size() - 1);
      const bool suggested = QDir::cleanPath(text) == QDir::cleanPath(FExtrOpt->Suggestion());
      const bool taken = !bare.empty() && platform::PathExists(bare);
      if (!taken && !suggested &&
          AskQuestion(this, QStringLiteral("Create Folder"),
                      QStringLiteral("The folder ") + text +
                          QStringLiteral(" does not exist. Create it?")) != mrYes)
        return false;
      if (taken || !made.Make(run.destination)) {
        ShowErrorBox(this, QStringLiteral("ERROR! Directory ") + PathFromEngine(run.destination) +
                               QStringLiteral(" does not exist!"));
        return false;
      }
    }
  }

  // Encrypted entries and no password: ask for it now rather than skip them.
  if (FExtrOpt->edPswd->text().isEmpty() && AnyEncrypted(run.entries)) {
    QString password;
    if (!AskPassword(this, EncryptedEntriesQuestion(), &password)) {
      made.RemoveEmpty();
      return false;
    }
    FExtrOpt->edPswd->setText(password);
  }
  run.password = FExtrOpt->edPswd->text().toStdString();
  return true;
}

std::int32_t TForm1::RunBatch(const BatchSettings& run) {
  // 6, 7. The run, with the progress window up from its start to its end. A
  // run over a set of entries of its own works on them as the selected ones.
  std::optional<SelectionSwap> swap;
  if (run.selectedOnly) swap.emplace(run.entries);
  StartTick = platform::TickCount();
  SelectedBytes = run.selectedOnly ? GetSelectedSize() : GetTotalSize();
  FPgsInd->stselfiles->setText(QStringLiteral("Selected files: ") +
                               Grouped(run.selectedOnly ? GetSelectedCount() : GetEntryCount()));
  FPgsInd->stselbytes->setText(QStringLiteral("Selected bytes: ") + Grouped(SelectedBytes));
  BatchRunning = true;
  FPgsInd->SetRunning(true);
  setCursor(Qt::BusyCursor);
  StayAbove(FPgsInd, this);
  CentreOnScreen(FPgsInd, this);

  // The batch runs on a thread of its own while this one goes on with the
  // event loop under the progress window, which is modal to the whole
  // program: no other window takes input or closes until the batch ends.
  // Meanwhile this thread asks the engine only what it answers during a
  // batch (the counts, the catalog) and RequestBreak (Cancel).
  QEventLoop loop;
  PostedCounts counts;
  // Runs on the batch's thread: it only posts the counts to this thread.
  const TProgressProc progress = [this, &loop, &counts] {
    std::int32_t files = 0;
    ZipSize bytes = 0;
    GetProgress(files, bytes);
    counts.files.store(files);
    counts.bytes.store(bytes);
    if (counts.queued.exchange(true)) return;
    QMetaObject::invokeMethod(
        &loop,
        [this, &counts] {
          counts.queued.store(false);
          ShowCounts(counts.files.load(), counts.bytes.load());
        },
        Qt::QueuedConnection);
  };
  std::int32_t errorNo = 0;
  std::exception_ptr failure;
  std::atomic<bool> ended{false};
  FPgsInd->show();
  FPgsInd->raise();
  FPgsInd->activateWindow();
  std::thread batch([&] {
    try {
      errorNo = run.selectedOnly ? ExtractSelected(run.destination, run.password, run.overwrite,
                                                   run.useFolderNames, run.testOnly, progress)
                                 : ExtractAll(run.destination, run.password, run.overwrite,
                                              run.useFolderNames, run.testOnly, progress);
    } catch (...) {
      failure = std::current_exception();
    }
    ended.store(true);
    // Queued behind every count posted before it.
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  // The loop also ends when the program is told to quit (every event loop
  // is then left): the batch stops at its next read instead of running on.
  if (!ended.load()) RequestBreak();
  batch.join();
  BatchRunning = false;
  FPgsInd->SetRunning(false);
  // 8.
  ElapsedTime = platform::TickCount() - StartTick;
  FPgsInd->hide();
  unsetCursor();
  if (failure) std::rethrow_exception(failure);
  return errorNo;
}

void TForm1::ShowProgress() {
  std::int32_t filesDone = 0;
  ZipSize bytesDone = 0;
  GetProgress(filesDone, bytesDone);
  ShowCounts(filesDone, bytesDone);
}

void TForm1::ShowCounts(std::int32_t filesDone, ZipSize bytesDone) {
  if (FPgsInd == nullptr) return;
  // 1, 2. Counts of this run and the share of bytes done, ties to even.
  std::int64_t percent = 0;
  if (SelectedBytes > 0)
    percent = RoundHalfEven(static_cast<double>(bytesDone) / static_cast<double>(SelectedBytes) * 100.0);
  // 3. Painted by the event loop, which runs beside the batch.
  FPgsInd->ShowCounts(Grouped(filesDone), Grouped(bytesDone),
                      static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100)));
}

void TForm1::closeEvent(QCloseEvent* event) {
  // The progress window is modal while a batch runs, so neither the user nor
  // the window system reaches this window; a close asked for by the program
  // itself waits for the batch too.
  if (BatchRunning) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

}  // namespace vantelo::ui
