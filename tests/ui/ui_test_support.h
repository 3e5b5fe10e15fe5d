// Helpers for the UI suites: answering modal dialogs, a recording shell, a
// catalog-only ZIP writer, synthetic mouse events.
#pragma once

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
};
// An action for ModalAnswer that records a message box and presses its default
// (or first) button.
std::function<void(QWidget*)> CloseMessageBox(BoxSeen* seen);

// A shell that records what is asked of it and otherwise behaves as the real one.
class RecordingShell : public ui::ShellServices {
 public:
  int FileIconIndex(const std::string& name, bool folder) override;
  bool OpenWithAssociatedProgram(const QString& path) override;
  bool HasAssociatedProgram(const QString&) override { return hasProgram; }
  bool ChooseProgramAndOpen(QWidget*, const QString& path) override;
  Qt::DropAction StartFileDrag(QWidget*, QMimeData* data) override;
  std::vector<QList<QUrl>> dragged;  // the files of each drag
  std::vector<std::pair<std::string, bool>> iconRequests;
  std::vector<QString> opened;
  bool hasProgram = true;        // the desktop's answer for every type
  std::vector<QString> chosen;   // files handed to a program the user chose
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

// Synthetic mouse events on a widget (the grid's viewport).
void SendMouse(QWidget* target, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

}  // namespace vantelo::test
