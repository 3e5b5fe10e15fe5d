// Dragging entries out of the grid: the selected entries are extracted into a
// folder of their own inside the private temporary folder, then handed to the
// desktop as files (a drag of file URLs, copied by whoever takes the drop).
// The files and folders are deleted at exit like every other temporary file.
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include <map>
#include <vector>

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

  // One batch per "layer" of names: the k-th selected entry of a name goes
  // into layer k, so entries of one name from different folders each keep
  // their file (layer k > 0 goes into a numbered subfolder). Usually that is
  // a single batch over all of them.
  std::vector<std::vector<std::int32_t>> layers;
  std::map<std::string, std::size_t> seen;
  std::vector<bool> selection(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    selection[static_cast<std::size_t>(i)] = GetEntrySelected(i);
    if (!selection[static_cast<std::size_t>(i)]) continue;
    const std::string name = GetEntryName(i);
    if (name == kFolderName) continue;  // a folder entry alone holds nothing to hand over
    const std::size_t layer = seen[name]++;
    if (layer == layers.size()) layers.emplace_back();
    layers[layer].push_back(i);
  }

  WaitCursor wait;
  BatchRunning = true;
  for (std::size_t layer = 0; layer < layers.size(); ++layer) {
    const std::string dir = layer == 0 ? folder : folder + std::to_string(layer + 1) + "/";
    if (layer > 0) {
      platform::CreateDirectories(dir);
      TempFolders.push_back(dir);
    }
    for (std::int32_t i = 0; i < count; ++i) SetEntrySelected(i, false);
    for (const std::int32_t i : layers[layer]) SetEntrySelected(i, true);
    const std::int32_t result = ExtractSelected(dir, std::string(), /*overwrite=*/true,
                                                /*useFolderNames=*/false, /*testOnly=*/false, nullptr);
    // An error stops its batch at GetStoppedEntry() (-1: before any entry);
    // the entries after that one were not handled.
    const std::int32_t stopped = GetStoppedEntry();
    for (const std::int32_t i : layers[layer]) {
      if (result != 0 && i > stopped) break;  // not reached
      const std::string path = dir + GetEntryName(i);
      if (platform::FileExists(path)) TempFiles.push_back(path);
      if (result != 0 && i == stopped) break;  // the error is said below
      if (GetEntryStatus(i) != kStatusOk) {
        failures << EngineText(GetEntryName(i)) + QStringLiteral(": ") + EngineText(GetEntryStatus(i));
        continue;
      }
      files << PathFromEngine(path);
    }
    if (result != 0) {
      failures << EngineText(GetLastMessage());
      detail = StoppedBatchDetail(result);
      break;  // the archive itself failed: the rest would fail alike
    }
  }
  for (std::int32_t i = 0; i < count; ++i) SetEntrySelected(i, selection[static_cast<std::size_t>(i)]);
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
