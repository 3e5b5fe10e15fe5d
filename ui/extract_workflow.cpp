// The Extract button: the options dialog with the destination and password
// questions, the run with its progress window, the summary box (another
// password for entries a wrong one kept back, the folder extracted into) and
// the report window.
#include "ui/extract_workflow.h"

#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSaveFile>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <optional>

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

// While a batch runs, the progress window is the only one that takes input:
// every mouse, key, wheel, touch, shortcut and drop event meant for any other
// widget is dropped, and closing any other window is refused. The progress
// procedure may then pump the event queue without letting the user reach the
// main window's handlers (or close it) while the engine is suspended inside
// the run.
class RunInputGuard : public QObject {
 public:
  explicit RunInputGuard(TFPgsInd* progress) : progress_(progress) {
    progress_->SetRunning(true);
    qApp->installEventFilter(this);
  }
  ~RunInputGuard() override {
    qApp->removeEventFilter(this);
    if (progress_) progress_->SetRunning(false);
  }
  RunInputGuard(const RunInputGuard&) = delete;
  RunInputGuard& operator=(const RunInputGuard&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Close: {
        // Only real windows (the main window, dialogs) stay; tool tips and
        // pop-ups close as usual, and the progress window turns it into Cancel.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget == progress_.data() || !widget->isWindow()) return false;
        if (widget->windowType() != Qt::Window && widget->windowType() != Qt::Dialog) return false;
        event->ignore();  // QWidget::close() and the window manager both read this
        return true;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::ContextMenu:
      case QEvent::InputMethod:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::TouchCancel:
      case QEvent::TabletPress:
      case QEvent::TabletMove:
      case QEvent::TabletRelease:
      case QEvent::NativeGesture:
      case QEvent::Gesture:
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop:
        // Window objects pass input on to their widgets, which are judged here.
        if (qobject_cast<QWindow*>(watched) != nullptr) return false;
        return !InsideProgressWindow(watched);
      default:
        return false;
    }
  }

 private:
  bool InsideProgressWindow(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || !progress_) return false;
    return widget == progress_.data() || progress_->isAncestorOf(widget);
  }

  QPointer<TFPgsInd> progress_;
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
  if (FPgsInd->Running()) return;  // no second run from inside a run

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
  RunInputGuard guard(FPgsInd);
  BatchRunning = true;
  setCursor(Qt::BusyCursor);
  StayAbove(FPgsInd, this);
  CentreOnScreen(FPgsInd, this);
  FPgsInd->show();
  FPgsInd->raise();
  FPgsInd->repaint();
  QCoreApplication::processEvents();  // let it appear before the engine takes over
  const TProgressProc progress = [this] { ShowProgress(); };
  const std::int32_t errorNo =
      run.selectedOnly ? ExtractSelected(run.destination, run.password, run.overwrite,
                                         run.useFolderNames, run.testOnly, progress)
                       : ExtractAll(run.destination, run.password, run.overwrite,
                                    run.useFolderNames, run.testOnly, progress);
  BatchRunning = false;
  // 8.
  ElapsedTime = platform::TickCount() - StartTick;
  FPgsInd->hide();
  unsetCursor();
  return errorNo;
}

void TForm1::ShowProgress() {
  if (FPgsInd == nullptr) return;
  // 1, 2. Counts of this run and the share of bytes done, ties to even.
  std::int32_t filesDone = 0;
  ZipSize bytesDone = 0;
  GetProgress(filesDone, bytesDone);
  std::int64_t percent = 0;
  if (SelectedBytes > 0)
    percent = RoundHalfEven(static_cast<double>(bytesDone) / static_cast<double>(SelectedBytes) * 100.0);
  // 3.
  FPgsInd->stprocfiles->setText(Grouped(filesDone));
  FPgsInd->stprocbytes->setText(Grouped(bytesDone));
  FPgsInd->PgsBar->setValue(static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100)));
  // 4. Paint now, not through the queue.
  FPgsInd->repaint();
  // 5. Let the Cancel button have its input; the guard set up by the Extract
  // button keeps every other window's input and close requests out.
  if (FPgsInd->Running()) QCoreApplication::processEvents();
}

}  // namespace vantelo::ui
