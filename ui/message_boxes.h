// Message boxes and modal results (the classic numbering: OK 1, Cancel 2,
// Yes 6, No 7).
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

class QWidget;

namespace vantelo::ui {

// Modal results of the dialogs.
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrRetry = 4, mrYes = 6, mrNo = 7 };

// A button of a question beside Yes and No, and the result it gives.
struct ExtraAnswer {
  QString caption;
  int result;
};

// The error box: title "Error", error icon, one OK button; a detail text, when
// given, under the box's "Show Details..." button.
void ShowErrorBox(QWidget* parent, const QString& text, const QString& detail = QString());
// A plain box: the given title, no icon, one OK button.
void ShowPlainBox(QWidget* parent, const QString& title, const QString& text);
// A question with Yes and No, as an error box (title "Error") or an information
// box (title "Information"); returns mrYes or mrNo (closing the box gives mrNo).
// `details`, when given, is under the box's "Show Details..." button.
int AskYesNo(QWidget* parent, bool error, const QString& text, const QString& details = QString());
// A question with Yes and No under the given title and the question icon;
// returns mrYes or mrNo (Esc and closing the box give mrNo). `yesIsDefault`
// makes Yes the button Enter presses.
int AskQuestion(QWidget* parent, const QString& title, const QString& text, bool yesIsDefault = false);
// The same question with more buttons after Yes and No, each ending the box with
// its result, `detail` (when not empty) as a second paragraph below the text
// and `details` under "Show Details...".
int AskYesNo(QWidget* parent, bool error, const QString& text,
             const std::vector<ExtraAnswer>& extras, const QString& detail,
             const QString& details = QString());

// The detail shown beside the error that stopped the last batch: the method of
// the entry it stopped at when the method was refused ("method 98 (PPMd)"),
// otherwise empty.
QString StoppedBatchDetail(std::int32_t errorNo);

}  // namespace vantelo::ui
