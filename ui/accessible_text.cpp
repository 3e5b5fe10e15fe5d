#include "ui/accessible_text.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QKeySequence>
#include <QWidget>

namespace vantelo::ui {

void SetAccessibleText(QWidget* widget, const QString& name, const QString& description) {
  if (widget == nullptr) return;
  if (!name.isEmpty()) widget->setAccessibleName(name);
  QString text = description;
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
    const QString keys = button->shortcut().toString(QKeySequence::NativeText);
    if (!keys.isEmpty()) text += QStringLiteral(" (") + keys + QStringLiteral(")");
  }
  if (!text.isEmpty()) widget->setAccessibleDescription(text);
}

namespace {
AccessibleChangeObserver& ChangeObserver() {
  static AccessibleChangeObserver observer;
  return observer;
}
}  // namespace

void SetAccessibleChangeObserver(AccessibleChangeObserver observer) {
  ChangeObserver() = std::move(observer);
}

void NoteAccessibleChange(QAccessibleEvent& event) {
  if (ChangeObserver()) ChangeObserver()(&event);
}

}  // namespace vantelo::ui
