// Settings kept from one run to the next (QSettings, organization and
// application "Vantelo"): the folder the Open dialog starts in, the
// extraction options dialog's destination history and the code page chosen
// for entry names. Within a run the windows
// follow their own rules; the store only loads the values at start-up and
// writes them back whenever they change and at exit.
#pragma once

#include <QString>
#include <QStringList>

namespace vantelo::ui {

struct VanteloWindows;
class TForm1;
class TFExtrOpt;

// At most this many destinations are kept between runs (the newest first);
// within a run the history grows as the Extract button's rule says, and its
// entries can be removed.
inline constexpr int kMaxSavedDestinations = 25;

QString LoadOpenFolder();
void SaveOpenFolder(const QString& folder);
QStringList LoadDestinationHistory();
void SaveDestinationHistory(const QStringList& destinations);

// The Open dialog's folder: the start folder on first use when the saved one
// still exists; from then on every chosen file saves its folder.
void RestoreOpenFolder(TForm1& form);
// The destination history: the saved list becomes the dialog's history (its
// newest item the box's text) and every change of the history is saved.
void RestoreDestinationHistory(TFExtrOpt& dialog);

// The "Names" drop-down's choice: an engine charset id, "" for Automatic.
QString LoadNameCharset();
void SaveNameCharset(const QString& charset);
// The saved choice is selected (an id no longer offered leaves Automatic) and
// every later choice is saved.
void RestoreNameCharset(TForm1& form);

// Start-up and exit of the program: both of the above for its windows, and
// the last values written back.
void RestoreSettings(VanteloWindows& windows);
void SaveSettings(const VanteloWindows& windows);

}  // namespace vantelo::ui
