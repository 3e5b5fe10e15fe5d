#include "ui/destination_folder.h"

#include <QDir>
#include <QFileInfo>

#include "engine/engine.h"
#include "platform/platform.h"

namespace vantelo::ui {

namespace {

bool IsSeparator(char c) { return c == '/' || c == platform::NativeSeparator(); }

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.pop_back();
  return path;
}

// The folder a path lies in; "" when it has none (a relative name).
std::string ParentOf(const std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  if (end == 0) return std::string();
  return WithoutTrailingSeparators(path.substr(0, end));
}

}  // namespace

QString ArchiveFolderName(const QString& archivePath) {
  const QFileInfo info(archivePath);
  const QString base = info.completeBaseName();
  if (base.isEmpty() || base == info.fileName()) return info.fileName() + QStringLiteral("_extracted");
  return base;
}

QString ArchiveFolder(const QString& archivePath) {
  return QDir::toNativeSeparators(QFileInfo(archivePath).absolutePath());
}

QString ArchiveSubfolder(const QString& archivePath) {
  const QDir folder(QFileInfo(archivePath).absolutePath());
  return QDir::toNativeSeparators(folder.filePath(ArchiveFolderName(archivePath)));
}

bool EntriesShareOneTopFolder() {
  const std::int32_t count = GetEntryCount();
  if (count <= 0) return false;
  std::string top;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string folder = GetEntryFolder(i);
    const std::size_t end = folder.find_first_of("/\\");
    // At the top itself, or below a name that is no folder of its own.
    if (end == std::string::npos || end == 0) return false;
    const std::string first = folder.substr(0, end);
    if (first == "." || first == "..") return false;
    if (i == 0)
      top = first;
    else if (first != top)
      return false;
  }
  return true;
}

bool MadeFolders::Make(const std::string& path) {
  const std::string target = WithoutTrailingSeparators(path);
  std::vector<std::string> missing;
  for (std::string level = target; !level.empty() && !platform::PathExists(level);
       level = ParentOf(level))
    missing.push_back(level);
  const bool made = platform::CreateDirectories(target);
  // Only the levels that are folders now were made by this call.
  for (const std::string& level : missing)
    if (platform::DirectoryExists(level)) made_.push_back(level);
  return made;
}

void MadeFolders::RemoveEmpty() {
  for (const std::string& level : made_)
    if (!platform::RemoveEmptyDirectory(level)) break;
  made_.clear();
}

}  // namespace vantelo::ui
