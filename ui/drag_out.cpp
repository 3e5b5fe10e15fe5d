// Dragging entries out of the grid: the selected entries are extracted into a
// folder of their own inside the private temporary folder, then handed to the
// desktop as files (a drag of file URLs, copied by whoever takes the drop).
// The files and folders are deleted at exit like every other temporary file.
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <set>

#include "engine/engine.h"
#include "platform/platform.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/shell_services.h"
#include "ui/wait_cursor.h"
#include "ui/widgets/draw_grid.h"

namespace vantelo::ui {

QStringList TForm1::ExtractForDrag(QStringList& failures, QString& detail) {
  QStringList files;
  const std::int32_t count = GetEntryCount();
  if (count <= 0 || BatchRunning) return files;
  if (!EnsureTempDir()) {
    failures << QStringLiteral("The temporary folder can not be created!");
    return files;
  }
  // A new folder for each drag: what an earlier drop still reads stays intact.
  std::string folder;
  do folder = TempDir + "drag-" + std::to_string(++DragCount) + "/";
  while (platform::PathExists(folder));
  if (!platform::CreateDirectories(folder)) {
    failures << QStringLiteral("Can not create directory ") + PathFromEngine(folder);
    return files;
  }
  TempFolders.push_back(folder);

  WaitCursor wait;
  BatchRunning = true;
  std::set<std::string> taken;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!GetEntrySelected(i)) continue;
    const std::string name = GetEntryName(i);
    if (name == kFolderName) continue;  // a folder entry alone holds nothing to hand over
    // Entries of one name from different folders each keep their file: the
    // second goes into a numbered subfolder.
    std::string dir = folder;
    for (int n = 2; taken.count(dir + name) != 0; ++n) dir = folder + std::to_string(n) + "/";
    if (dir != folder) {
      platform::CreateDirectories(dir);
      if (std::find(TempFolders.begin(), TempFolders.end(), dir) == TempFolders.end())
        TempFolders.push_back(dir);
    }
    const std::string path = dir + name;
    taken.insert(path);
    const std::int32_t result = ExtractEntry(i, dir, std::string(), /*overwrite=*/true,
                                             /*useFolderNames=*/false, /*testOnly=*/false, nullptr);
    if (platform::FileExists(path)) TempFiles.push_back(path);
    if (result != 0) {
      failures << EngineText(GetLastMessage());
      detail = StoppedBatchDetail(result);
      break;  // the archive itself failed: the rest would fail alike
    }
    if (GetEntryStatus(i) != kStatusOk) {
      failures << EngineText(name) + QStringLiteral(": ") + EngineText(GetEntryStatus(i));
      continue;
    }
    files << PathFromEngine(path);
  }
  BatchRunning = false;
  return files;
}

void TForm1::DrawGrid1StartDrag() {
  QStringList failures;
  QString detail;
  const QStringList files = ExtractForDrag(failures, detail);
  if (!files.isEmpty() && SysImages != nullptr) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    data->setUrls(urls);
    SysImages->StartFileDrag(DrawGrid1, data);
  }
  // Said after the drop: the drag must not wait on a box.
  if (!failures.isEmpty())
    ShowErrorBox(this, QStringLiteral("ERROR! ") + failures.join(QStringLiteral("\n")), detail);
}

}  // namespace vantelo::ui
