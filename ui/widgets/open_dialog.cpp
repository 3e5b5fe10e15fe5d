#include "ui/widgets/open_dialog.h"

#include <QDir>
#include <QFileDialog>

namespace vantelo::ui {

QStringList TOpenDialog::NameFilters(const QString& filter) {
  QStringList result;
  const QStringList parts = filter.split('|');
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      const QString pattern = p.trimmed();
      if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*")) {
        patterns << QStringLiteral("*");
        continue;
      }
      patterns << pattern;
      if (pattern.toUpper() != pattern) patterns << pattern.toUpper();
    }
    // The description shows what matches: "All files (*)" on Linux.
    const int paren = description.indexOf(" (");
    if (paren >= 0) description.truncate(paren);
    result << description + " (" + patterns.join(' ') + ")";
  }
  return result;
}

bool TOpenDialog::Execute(QWidget* parent) {
  QFileDialog dialog(parent, Title);
  dialog.setObjectName(QStringLiteral("OpenZipDlg"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(NameFilters(Filter));
  dialog.setDirectory(InitialDir.isEmpty() ? QDir::currentPath() : InitialDir);
  if (!FileName.isEmpty()) dialog.selectFile(QFileInfo(FileName).fileName());
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  FileName = files.first();
  return true;
}

}  // namespace vantelo::ui
