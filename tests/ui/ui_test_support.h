// Helpers for the UI suites: answering modal dialogs, a recording shell, a
// catalog-only ZIP writer, synthetic mouse events.
#pragma once

#include <QLabel>
#include <QList>
#include <QMouseEvent>
#include <QUrl>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/shell_services.h"

namespace vantelo::test {

// Answers the next modal widget (QApplication::activeModalWidget) from a timer:
// `action` gets it and must close it. Keep the object alive until the modal
// call has returned; `fired()` tells whether a modal appeared.
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(QWidget*)> action, int timeoutMs = 5000);
  ~ModalAnswer();
  bool fired() const { return *fired_; }

 private:
  std::shared_ptr<bool> fired_;
  std::shared_ptr<bool> alive_;
};

// Text, title and icon of a QMessageBox, captured by CloseMessageBox.
struct BoxSeen {
  QString text;
  QString title;
  int icon = -1;  // QMessageBox::Icon
  int buttons = 0;
  QString detail;  // the detailed text under "Show Details..."
  // Every label with text shows it as plain text, and assistive technologies
  // read exactly that text.
  bool plainText = true;
};
// Fills seen->plainText from the labels of a message box (or any window).
void NoteTextLabels(QWidget* window, BoxSeen* seen);
// An action for ModalAnswer that records a message box and presses its default
// (or first) button.
std::function<void(QWidget*)> CloseMessageBox(BoxSeen* seen);

// Records every resource (the picture of an <img> tag, a style sheet) that
// rich text asks for while it lives, and answers each with a 1x1 image so
// that no file is read.
class ResourceWatch {
 public:
  ResourceWatch();
  ~ResourceWatch();
  ResourceWatch(const ResourceWatch&) = delete;
  ResourceWatch& operator=(const ResourceWatch&) = delete;
  const QList<QUrl>& asked() const { return *asked_; }

 private:
  std::shared_ptr<QList<QUrl>> asked_;
};

// The text a label shows, as a reader sees it (markup rendered when the label
// takes its text as HTML).
QString ShownText(const QLabel* label);

// A shell that records what is asked of it and otherwise behaves as the real one.
class RecordingShell : public ui::ShellServices {
 public:
  int FileIconIndex(const std::string& name, bool folder) override;
  ui::LaunchOutcome OpenWithAssociatedProgram(const QString& path) override;
  bool OpenFolder(const QString& folder) override;
  bool HasAssociatedProgram(const QString&) override { return hasProgram; }
  ui::LaunchOutcome ChooseProgramAndOpen(QWidget*, const QString& path) override;
  Qt::DropAction StartFileDrag(QWidget*, QMimeData* data) override;
  std::vector<QList<QUrl>> dragged;  // the files of each drag
  std::vector<std::pair<std::string, bool>> iconRequests;
  std::vector<QString> opened;
  std::vector<QString> openedFolders;
  bool hasProgram = true;        // the desktop's answer for every type
  std::vector<QString> chosen;   // files handed to a program the user chose
  // The answers to opening: by the type's program, then by each choice in turn
  // (after the last, every choice is the last answer). Default: started.
  ui::LaunchOutcome openAnswer = ui::LaunchOutcome::StartedBy(QStringLiteral("Recorder"));
  std::vector<ui::LaunchOutcome> chooseAnswers;
};

// One entry of a catalog-only archive (central directory and end record only:
// enough for listing, not for extraction).
struct FakeEntry {
  std::string name;
  std::int32_t size = 0;
  std::int32_t packed = 0;
  std::uint16_t date = 0;
  std::uint16_t time = 0;
  bool encrypted = false;
};
void WriteCatalogZip(const std::string& path, const std::vector<FakeEntry>& entries);

// The fixture desktop (data/desktop, made by make-desktop-fixtures.sh) copied
// to `folder` and made this process's: XDG_DATA_HOME, XDG_CONFIG_HOME, its
// bin/ first on PATH, VANTELO_LAUNCH_LOG. Called by main() before anything
// reads them.
bool UsePrivateDesktop(const std::string& folder);
// The private desktop's bin/ folder (vantelo-test-launch).
std::string PrivateDesktopBin();
// The lines the fixture programs have written so far ("viewer /tmp/.../x.txt").
std::vector<std::string> LaunchLog();
// Whether a fixture program has written `line`.
bool Logged(const std::string& line);
// PATH holds only the private desktop's bin/ while it lives: its programs are
// found, a terminal program is not.
class OnlyPrivatePrograms {
 public:
  OnlyPrivatePrograms();
  ~OnlyPrivatePrograms();
  OnlyPrivatePrograms(const OnlyPrivatePrograms&) = delete;
  OnlyPrivatePrograms& operator=(const OnlyPrivatePrograms&) = delete;

 private:
  std::string saved_;
};

// Synthetic mouse events on a widget (the grid's viewport).
void SendMouse(QWidget* target, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

}  // namespace vantelo::test
