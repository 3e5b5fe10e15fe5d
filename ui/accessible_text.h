// Accessible names and descriptions of the windows' controls: what a screen
// reader says for a control, beyond its caption.
#pragma once

#include <QString>

#include <functional>

class QAccessibleEvent;
class QWidget;

namespace vantelo::ui {

// Sets a control's accessible name and description; an empty one is left to
// Qt, which reads the caption or the label's text as the name and the tool tip
// as the description. A button's keyboard shortcut, when it has one, is added
// to the description: "Open a ZIP archive (Ctrl+O)".
void SetAccessibleText(QWidget* widget, const QString& name, const QString& description);

// Changes that Qt announces to screen readers by itself (a name set with
// setAccessibleName, a progress bar's value) are also noted here, for an
// observer that sees them where the platform has no accessibility and Qt
// drops its events (offscreen tests). Empty: none.
using AccessibleChangeObserver = std::function<void(QAccessibleEvent* event)>;
void SetAccessibleChangeObserver(AccessibleChangeObserver observer);
void NoteAccessibleChange(QAccessibleEvent& event);

}  // namespace vantelo::ui
