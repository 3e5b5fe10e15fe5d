#include "ui_test_support.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QImage>
#include <QTextDocument>
#include <QPushButton>
#include <QApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/test_support.h"
#include "ui/dialogs/progress_dialog.h"

namespace vantelo::test {

namespace {
void Poll(std::shared_ptr<bool> fired, std::shared_ptr<bool> alive,
          std::function<void(QWidget*)> action, int remainingMs) {
  if (!*alive || *fired) return;
  QWidget* modal = QApplication::activeModalWidget();
  // The progress window is modal for a batch and closes by itself.
  if (modal != nullptr && modal->isVisible() && qobject_cast<ui::TFPgsInd*>(modal) == nullptr) {
    *fired = true;
    action(modal);
    return;
  }
  if (remainingMs <= 0) return;
  QTimer::singleShot(10, [=] { Poll(fired, alive, action, remainingMs - 10); });
}
}  // namespace

ModalAnswer::ModalAnswer(std::function<void(QWidget*)> action, int timeoutMs)
    : fired_(std::make_shared<bool>(false)), alive_(std::make_shared<bool>(true)) {
  auto fired = fired_;
  auto alive = alive_;
  QTimer::singleShot(0, [=] { Poll(fired, alive, action, timeoutMs); });
}

ModalAnswer::~ModalAnswer() { *alive_ = false; }

std::function<void(QWidget*)> CloseMessageBox(BoxSeen* seen) {
  return [seen](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box == nullptr) {
      w->close();
      return;
    }
    seen->text = box->text();
    seen->title = box->windowTitle();
    seen->icon = box->icon();
    seen->buttons = static_cast<int>(box->standardButtons());
    seen->detail = box->detailedText();
    NoteTextLabels(box, seen);
    QAbstractButton* b = box->defaultButton();
    if (b == nullptr && !box->buttons().isEmpty()) b = box->buttons().first();
    if (b != nullptr) b->click();
    else box->done(0);
  };
}

void NoteTextLabels(QWidget* window, BoxSeen* seen) {
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (label->text().isEmpty()) continue;  // an icon
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(label);
    if (label->textFormat() != Qt::PlainText || reader == nullptr ||
        reader->text(QAccessible::Name) != label->text()) {
      seen->plainText = false;
      ADD_FAILURE() << "shown as markup or read otherwise: " << label->text().toStdString();
    }
  }
}

ResourceWatch::ResourceWatch() : asked_(std::make_shared<QList<QUrl>>()) {
  std::shared_ptr<QList<QUrl>> asked = asked_;
  QTextDocument::setDefaultResourceProvider([asked](const QUrl& url) -> QVariant {
    asked->append(url);
    QImage dot(1, 1, QImage::Format_ARGB32);
    dot.fill(Qt::transparent);
    return dot;
  });
}

ResourceWatch::~ResourceWatch() { QTextDocument::setDefaultResourceProvider(nullptr); }

QString ShownText(const QLabel* label) {
  const bool html = label->textFormat() == Qt::RichText ||
                    (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
  if (!html) return label->text();
  QTextDocument document;
  document.setHtml(label->text());
  return document.toPlainText();
}

int RecordingShell::FileIconIndex(const std::string& name, bool folder) {
  iconRequests.emplace_back(name, folder);
  return ShellServices::FileIconIndex(name, folder);
}

ui::LaunchOutcome RecordingShell::OpenWithAssociatedProgram(const QString& path) {
  opened.push_back(path);
  return openAnswer;
}

bool RecordingShell::OpenFolder(const QString& folder) {
  openedFolders.push_back(folder);
  return true;
}

ui::LaunchOutcome RecordingShell::ChooseProgramAndOpen(QWidget*, const QString& path) {
  chosen.push_back(path);
  if (chooseAnswers.empty()) return ui::LaunchOutcome::StartedBy(QStringLiteral("Chosen"));
  return chooseAnswers[std::min(chosen.size(), chooseAnswers.size()) - 1];
}

Qt::DropAction RecordingShell::StartFileDrag(QWidget*, QMimeData* data) {
  dragged.push_back(data->urls());
  delete data;
  return Qt::CopyAction;
}

void WriteCatalogZip(const std::string& path, const std::vector<FakeEntry>& entries) {
  std::string central;
  for (const FakeEntry& e : entries) {
    Put32(central, 0x02014B50);
    Put16(central, 20);                     // made by
    Put16(central, 20);                     // needed
    Put16(central, e.encrypted ? 1 : 0);    // flags
    Put16(central, e.packed == e.size ? 0 : 8);
    Put16(central, e.time);
    Put16(central, e.date);
    Put32(central, 0);                      // crc
    Put32(central, static_cast<std::uint32_t>(e.packed));
    Put32(central, static_cast<std::uint32_t>(e.size));
    Put16(central, static_cast<std::uint32_t>(e.name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, 0);
    Put32(central, 0);                      // local header offset
    central += e.name;
  }
  std::string file = central;
  Put32(file, 0x06054B50);
  Put16(file, 0);
  Put16(file, 0);
  Put16(file, static_cast<std::uint32_t>(entries.size()));
  Put16(file, static_cast<std::uint32_t>(entries.size()));
  Put32(file, static_cast<std::uint32_t>(central.size()));
  Put32(file, 0);
  Put16(file, 0);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
}

void SendMouse(QWidget* target, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  const QPointF local(pos);
  const QPointF global(target->mapToGlobal(pos));
  QMouseEvent event(type, local, global, button, buttons, modifiers);
  QApplication::sendEvent(target, &event);
}

bool UsePrivateDesktop(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::copy(DataPath("desktop"), folder, fs::copy_options::recursive, error);
  if (error) return false;
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  return setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1) == 0 &&
         setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1) == 0 &&
         setenv("PATH", (folder + "/bin:" + path).c_str(), 1) == 0 &&
         setenv("VANTELO_LAUNCH_LOG", (folder + "/launch.log").c_str(), 1) == 0;
}

std::string PrivateDesktopBin() {
  const char* data = std::getenv("XDG_DATA_HOME");
  return data != nullptr ? (std::filesystem::path(data).parent_path() / "bin").string() : "";
}

std::vector<std::string> LaunchLog() {
  std::vector<std::string> lines;
  const char* log = std::getenv("VANTELO_LAUNCH_LOG");
  if (log == nullptr) return lines;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Logged(const std::string& line) {
  const std::vector<std::string> lines = LaunchLog();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

OnlyPrivatePrograms::OnlyPrivatePrograms() : saved_(std::getenv("PATH") ? std::getenv("PATH") : "") {
  setenv("PATH", PrivateDesktopBin().c_str(), 1);
}

OnlyPrivatePrograms::~OnlyPrivatePrograms() { setenv("PATH", saved_.c_str(), 1); }

}  // namespace vantelo::test
