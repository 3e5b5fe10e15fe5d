// The Extract button: the options dialog, the run with its progress window,
// the summary box and the report window.
#include "ui/extract_workflow.h"

#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSaveFile>
#include <QScreen>
#include <QWindow>

#include <algorithm>

#include "engine/engine.h"
#include "format/display_format.h"
#include "format/report_text.h"
#include "platform/platform.h"
#include "ui/dialogs/extract_options_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/dialogs/report_dialog.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

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
  std::int32_t filesDone = 0;
  ZipSize bytesDone = 0;
  GetProgress(filesDone, bytesDone);
  const std::int32_t n = GetEntryCount();
  std::vector<std::string> lines;
  for (std::int32_t i = 0; i < n; ++i) {
    if (selectedOnly && !GetEntrySelected(i)) continue;
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

  // 1, 2. The options dialog, preset to the selection.
  FExtrOpt->rgFiles->SetItemIndex(GetSelectedCount() == 0 ? 0 : 1);
  StayAbove(FExtrOpt, this);
  const int result = FExtrOpt->exec();
  if (result != mrOk && result != mrYes) return;

  // 3. The destination history: only the first item is compared.
  QComboBox* ddDir = FExtrOpt->ddDir;
  const QString text = ddDir->currentText();
  const QString first = ddDir->count() > 0 ? ddDir->itemText(0) : QString();
  if (text != first) {
    ddDir->insertItem(0, text);
    ddDir->setCurrentIndex(0);
  }

  // 4, 5. Destination and kind of run.
  std::string destination = EnginePath(text);
  const bool testOnly = result == mrYes;
  FPgsInd->setWindowTitle((testOnly ? QStringLiteral("Testing ")
                                    : QStringLiteral("Extracting from ")) +
                          PathFromEngine(ZipFileName));
  if (!testOnly && !destination.empty()) {
    const char separator = platform::NativeSeparator();
    if (destination.back() != separator) destination += separator;
    if (!platform::DirectoryExists(destination)) {
      ShowErrorBox(this, QStringLiteral("ERROR! Directory ") + PathFromEngine(destination) +
                             QStringLiteral(" does not exist!"));
      return;
    }
  }

  // 6, 7. The run, with the progress window up from its start to its end.
  StartTick = platform::TickCount();
  const bool all = FExtrOpt->rgFiles->ItemIndex() != 1;
  SelectedBytes = all ? GetTotalSize() : GetSelectedSize();
  FPgsInd->stselfiles->setText(QStringLiteral("Selected files: ") +
                               Grouped(all ? GetEntryCount() : GetSelectedCount()));
  FPgsInd->stselbytes->setText(QStringLiteral("Selected bytes: ") + Grouped(SelectedBytes));
  const std::string password = FExtrOpt->edPswd->text().toStdString();
  const bool overwrite = FExtrOpt->cbOver->isChecked();
  const bool useFolderNames = FExtrOpt->cbUse->isChecked();
  std::int32_t errorNo = 0;
  {
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
    errorNo = all ? ExtractAll(destination, password, overwrite, useFolderNames, testOnly, progress)
                  : ExtractSelected(destination, password, overwrite, useFolderNames, testOnly,
                                    progress);
    BatchRunning = false;
    // 8.
    ElapsedTime = platform::TickCount() - StartTick;
    FPgsInd->hide();
    unsetCursor();
  }

  // 9. The summary.
  const QString summary = SummaryText(errorNo, GetLastMessage(), GetSkippedCount(), ElapsedTime);
  if (AskYesNo(this, errorNo != 0, BoxText(summary)) != mrYes) return;

  // 10. The report.
  ReportLines = BuildReportLines(!all, ElapsedTime);
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
