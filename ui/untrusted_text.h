// Showing text that may hold entry names, archive names, paths or messages built
// from them. Qt takes a string as HTML when its first line looks like markup
// (Qt::mightBeRichText), and an archive chooses its names: rendered as rich
// text, a name could show headings, load local files as images or offer links.
// Every such text goes through these functions, which show it as written.
#pragma once

#include <QString>

class QLabel;
class QMessageBox;
class QWidget;

namespace vantelo::ui {

// A label showing `text` as plain text; its accessible name is the same text
// (not the label's text with its '&' taken as a mnemonic).
void ShowUntrustedText(QLabel* label, const QString& text);

// Every label of a message box (its text and its informative text, which Qt
// makes on demand) set to plain text; call it after the texts are set. The
// detailed text is a plain text view already.
void ShowUntrustedText(QMessageBox& box);

// A tool tip that shows `text` as written. Tool tips have no text format of
// their own: text Qt would take as HTML is escaped (line breaks kept).
QString UntrustedToolTip(const QString& text);
void SetUntrustedToolTip(QWidget* widget, const QString& text);

// A window title that shows `text` as written: "[*]" is Qt's placeholder for
// the modified mark, and doubled it stands for itself.
QString UntrustedWindowTitle(const QString& text);
void SetUntrustedWindowTitle(QWidget* widget, const QString& text);

}  // namespace vantelo::ui
