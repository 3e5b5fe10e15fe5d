// Accessible names and descriptions of the windows' controls: what a screen
// reader says for a control, beyond its caption.
#pragma once

#include <QString>

class QWidget;

namespace vantelo::ui {

// Sets a control's accessible name and description; an empty one is left to
// Qt, which reads the caption or the label's text as the name and the tool tip
// as the description. A button's keyboard shortcut, when it has one, is added
// to the description: "Open a ZIP archive (Ctrl+O)".
void SetAccessibleText(QWidget* widget, const QString& name, const QString& description);

}  // namespace vantelo::ui
