#include "ui/settings_store.h"

#include <QComboBox>
#include <QFileInfo>
#include <QSettings>

#include "ui/application.h"
#include "ui/dialogs/extract_options_dialog.h"
#include "ui/main_window.h"

namespace vantelo::ui {

namespace {

const char kOrganization[] = "Vantelo";
const char kApplication[] = "Vantelo";
const char kOpenFolderKey[] = "OpenDialog/Folder";
const char kDestinationsKey[] = "ExtractOptions/Destinations";
const char kNameCharsetKey[] = "Names/Charset";

}  // namespace

QString LoadOpenFolder() {
  QSettings settings(QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication));
  return settings.value(QString::fromLatin1(kOpenFolderKey)).toString();
}

void SaveOpenFolder(const QString& folder) {
  QSettings settings(QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication));
  settings.setValue(QString::fromLatin1(kOpenFolderKey), folder);
}

QStringList LoadDestinationHistory() {
  QSettings settings(QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication));
  QStringList list = settings.value(QString::fromLatin1(kDestinationsKey)).toStringList();
  if (list.size() > kMaxSavedDestinations) list = list.mid(0, kMaxSavedDestinations);
  return list;
}

void SaveDestinationHistory(const QStringList& destinations) {
  QSettings settings(QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication));
  settings.setValue(QString::fromLatin1(kDestinationsKey),
                    destinations.mid(0, kMaxSavedDestinations));
}

void RestoreOpenFolder(TForm1& form) {
  const QString folder = LoadOpenFolder();
  // A folder that has gone since (an unplugged disk) leaves the default start.
  if (form.OpenZipDlg.InitialDir.isEmpty() && !folder.isEmpty() && QFileInfo(folder).isDir())
    form.OpenZipDlg.InitialDir = folder;
  form.KeepOpenFolder = true;
}

void RestoreDestinationHistory(TFExtrOpt& dialog) {
  if (dialog.History().isEmpty()) {
    const QStringList saved = LoadDestinationHistory();
    dialog.SetHistory(saved);
    if (!saved.isEmpty()) dialog.ddDir->setEditText(saved.first());
  }
  // Every change of the history is written at once: nothing should be lost if
  // the program ends abruptly.
  TFExtrOpt* owner = &dialog;
  QObject::connect(owner, &TFExtrOpt::HistoryChanged, owner,
                   [owner] { SaveDestinationHistory(owner->History()); });
}

QString LoadNameCharset() {
  QSettings settings(QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication));
  return settings.value(QString::fromLatin1(kNameCharsetKey)).toString();
}

void SaveNameCharset(const QString& charset) {
  QSettings settings(QString::fromLatin1(kOrganization), QString::fromLatin1(kApplication));
  settings.setValue(QString::fromLatin1(kNameCharsetKey), charset);
}

void RestoreNameCharset(TForm1& form) {
  QComboBox* box = form.cbNames;
  const int saved = box->findData(LoadNameCharset());
  if (saved >= 0) box->setCurrentIndex(saved);
  QObject::connect(box, &QComboBox::currentIndexChanged, box,
                   [box] { SaveNameCharset(box->currentData().toString()); });
}

void RestoreSettings(VanteloWindows& windows) {
  if (windows.Form1) RestoreOpenFolder(*windows.Form1);
  if (windows.Form1) RestoreNameCharset(*windows.Form1);
  if (windows.FExtrOpt) RestoreDestinationHistory(*windows.FExtrOpt);
}

void SaveSettings(const VanteloWindows& windows) {
  if (windows.Form1 && !windows.Form1->OpenZipDlg.FileName.isEmpty())
    SaveOpenFolder(QFileInfo(windows.Form1->OpenZipDlg.FileName).absolutePath());
  if (windows.FExtrOpt) SaveDestinationHistory(windows.FExtrOpt->History());
}

}  // namespace vantelo::ui
