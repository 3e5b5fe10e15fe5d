// Message boxes and modal results (the classic numbering: OK 1, Cancel 2,
// Yes 6, No 7).
#pragma once

#include <QString>

class QWidget;

namespace vantelo::ui {

// Modal results of the dialogs.
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// The error box: title "Error", error icon, one OK button.
void ShowErrorBox(QWidget* parent, const QString& text);
// A plain box: the given title, no icon, one OK button.
void ShowPlainBox(QWidget* parent, const QString& title, const QString& text);
// A question with Yes and No, as an error box (title "Error") or an information
// box (title "Information"); returns mrYes or mrNo (closing the box gives mrNo).
int AskYesNo(QWidget* parent, bool error, const QString& text);

}  // namespace vantelo::ui
