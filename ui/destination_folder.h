// Where to extract: the destination suggested for the open archive, and the
// levels of a destination folder made for a run.
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace vantelo::ui {

// The name of the new folder an archive is extracted into: its file name
// without the last extension ("demo" for demo.zip, "a.b" for a.b.zip). A name
// without one (which the archive itself holds) gets "_extracted" added.
QString ArchiveFolderName(const QString& archivePath);
// The archive's own folder ("/data" for /data/demo.zip).
QString ArchiveFolder(const QString& archivePath);
// The archive's folder with the new folder named after it in it.
QString ArchiveSubfolder(const QString& archivePath);

// Whether every entry of the open archive lies below one and the same
// top-level folder: extracted with their folder names, they bring their own.
bool EntriesShareOneTopFolder();

// The levels of a destination made for one run, so that a run that failed can
// take back the ones it left empty.
class MadeFolders {
 public:
  // Makes `path` (an engine path, with or without a trailing separator) with
  // every missing parent; true when it is a folder afterwards.
  bool Make(const std::string& path);
  // Removes the levels made, deepest first, while they are empty.
  void RemoveEmpty();

 private:
  std::vector<std::string> made_;  // deepest first
};

}  // namespace vantelo::ui
