// Whether the desktop has a program for a file's type, and choosing one: the
// freedesktop.org application files (*.desktop MimeType lines, mimeapps.list
// associations) for the file's MIME type and the types it derives from.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QSet>
#include <QFile>
#include <QList>
#include <QStandardPaths>

#include "ui/shell_services.h"

#include <utility>

namespace vantelo::ui {

namespace {

// The MIME type names that count for a file: its own, its aliases and ancestors.
QSet<QString> TypeNamesOf(const QString& path) {
  const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
  QSet<QString> names;
  if (!type.isValid() || type.isDefault()) return names;  // octet streams have no owner
  names.insert(type.name());
  for (const QString& n : type.aliases()) names.insert(n);
  for (const QString& n : type.allAncestors())
    if (n != QStringLiteral("application/octet-stream")) names.insert(n);
  return names;
}

bool ListsAny(const QString& list, const QSet<QString>& names) {
  for (const QString& n : list.split(QLatin1Char(';'), Qt::SkipEmptyParts))
    if (names.contains(n.trimmed())) return true;
  return false;
}

// The "key=value" lines of one [group] of a freedesktop.org key file (desktop
// files, mimeapps.list). Not QSettings: it takes ';' for a comment and ',' for
// a list separator, both of which these files use inside values.
QList<std::pair<QString, QString>> GroupLines(const QString& file, const QString& group) {
  QList<std::pair<QString, QString>> lines;
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) return lines;
  bool inGroup = false;
  while (!in.atEnd()) {
    const QString line = QString::fromUtf8(in.readLine()).trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
      continue;
    }
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (!inGroup || line.startsWith(QLatin1Char('#')) || eq <= 0) continue;
    lines.append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
  }
  return lines;
}

// A desktop file that may be shown and names one of the types.
bool DesktopFileHandles(const QString& file, const QSet<QString>& names) {
  bool hasExec = false, handles = false;
  for (const auto& [key, value] : GroupLines(file, QStringLiteral("Desktop Entry"))) {
    if (key == QStringLiteral("Hidden") && value == QStringLiteral("true")) return false;
    if (key == QStringLiteral("Exec")) hasExec = !value.isEmpty();
    if (key == QStringLiteral("MimeType")) handles = ListsAny(value, names);
  }
  return hasExec && handles;
}

// An association the user or the system made in a mimeapps.list file.
bool MimeAppsAssociates(const QString& file, const QSet<QString>& names) {
  for (const char* group : {"Default Applications", "Added Associations"})
    for (const auto& [key, value] : GroupLines(file, QString::fromLatin1(group)))
      if (names.contains(key) && !value.isEmpty()) return true;
  return false;
}

}  // namespace

bool ShellServices::HasAssociatedProgram(const QString& path) {
  const QSet<QString> names = TypeNamesOf(path);
  if (names.isEmpty()) return false;
  QStringList lists;
  for (QStandardPaths::StandardLocation where :
       {QStandardPaths::GenericConfigLocation, QStandardPaths::ApplicationsLocation})
    for (const QString& dir : QStandardPaths::standardLocations(where))
      lists << dir + QStringLiteral("/mimeapps.list");
  for (const QString& file : lists)
    if (QFileInfo::exists(file) && MimeAppsAssociates(file, names)) return true;
  for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
    QDir apps(dir);
    for (const QString& name : apps.entryList({QStringLiteral("*.desktop")}, QDir::Files))
      if (DesktopFileHandles(apps.filePath(name), names)) return true;
  }
  return false;
}

bool ShellServices::ChooseProgramAndOpen(QWidget* parent, const QString& path) {
  const QString program = QFileDialog::getOpenFileName(
      parent, QStringLiteral("Choose a program to open %1").arg(QFileInfo(path).fileName()),
      QStringLiteral("/usr/bin"));
  if (program.isEmpty()) return false;
  return QProcess::startDetached(program, {path});
}

QString ShellServices::FileTypeName(const QString& path) {
  const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
  const QString suffix = QFileInfo(path).suffix();
  const QString name = type.isValid() && !type.isDefault() ? type.comment() : QString();
  if (suffix.isEmpty()) return name.isEmpty() ? QStringLiteral("without an extension") : name;
  const QString ext = QStringLiteral("(.") + suffix + QStringLiteral(")");
  return name.isEmpty() ? ext : name + QStringLiteral(" ") + ext;
}

}  // namespace vantelo::ui
