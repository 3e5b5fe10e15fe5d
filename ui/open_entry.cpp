// Opening an entry: a double click on the grid (or Enter, see selection.cpp)
// extracts the cursor row's entry alone into the temporary folder and hands the
// file to the desktop, which opens it with the program associated with its type
// (shell_services' GIO programs); without one the user may choose a program.
// Every file written there is listed in TempFiles and deleted at exit.
#include <QApplication>
#include <QGuiApplication>

#include <algorithm>

#include "engine/engine.h"
#include "platform/platform.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/shell_services.h"
#include "ui/wait_cursor.h"
#include "ui/widgets/draw_grid.h"

namespace vantelo::ui {

namespace {

// Hands the written file to the desktop: its type's program, or, when the type
// has none, a program the user chooses after being asked. A program that does
// not start is named with the reason, and another can be chosen.
void OpenWithDesktop(QWidget* window, ShellServices& shell, const QString& file,
                     const QString& name) {
  LaunchOutcome outcome;
  if (shell.HasAssociatedProgram(file)) {
    outcome = shell.OpenWithAssociatedProgram(file);
  } else {
    const QString text =
        QStringLiteral("There is no program associated with files of type %1.\n\n"
                       "Do you want to choose a program to open \"%2\"?")
            .arg(ShellServices::FileTypeName(file), name);
    if (AskQuestion(window, ApplicationTitle(), text, /*yesIsDefault=*/true) != mrYes) return;
    outcome = shell.ChooseProgramAndOpen(window, file);
  }
  while (outcome.result == LaunchOutcome::Failed) {
    const QString reason = outcome.reason.isEmpty()
                               ? QStringLiteral("the desktop gave no reason.")
                               : outcome.reason;
    const QString text = QStringLiteral("ERROR! \"%1\" could not be started to open \"%2\": %3\n\n"
                                        "Do you want to choose another program?")
                             .arg(outcome.program, name, reason);
    if (AskYesNo(window, /*error=*/true, text) != mrYes) return;
    outcome = shell.ChooseProgramAndOpen(window, file);
  }
}

}  // namespace

void TForm1::DrawGrid1DblClick() { ExecFile(); }

void TForm1::ExecFile() {
  if (BatchRunning) return;  // one batch at a time
  const std::int32_t count = GetEntryCount();
  if (count <= 0) return;
  const std::int32_t index = EntryOfRow(DrawGrid1->Row());
  if (index < 0 || index >= count) return;  // the cursor is not on an entry row
  const std::string name = GetEntryName(index);

  if (name == kFolderName) {
    ShowPlainBox(this, ApplicationTitle(), QStringLiteral("There is nothing to do with folder"));
    return;
  }

  // The private temporary folder may have been removed (a temp cleaner) or
  // never made: make it again rather than write anywhere else.
  if (!EnsureTempDir()) {
    ShowErrorBox(this, QStringLiteral("ERROR! The temporary folder can not be created!"));
    return;
  }

  // Written straight into the temporary folder under its file name, replacing
  // any file of that name (two entries of one name share the file).
  const std::string path = TempDir + name;
  std::int32_t result;
  {
    WaitCursor wait;
    BatchRunning = true;
    result = ExtractEntry(index, TempDir, std::string(), /*overwrite=*/true,
                          /*useFolderNames=*/false, /*testOnly=*/false, nullptr);
    BatchRunning = false;
  }

  // Whatever was written (a partial file after an error, a file that failed
  // its CRC) goes at exit like the rest; the list tolerates repeats, but a
  // failure does not add one.
  auto forgetAtExit = [&] {
    if (platform::FileExists(path) &&
        std::find(TempFiles.begin(), TempFiles.end(), path) == TempFiles.end())
      TempFiles.push_back(path);
  };

  if (result != 0) {
    forgetAtExit();
    ShowErrorBox(this, QStringLiteral("ERROR! ") + EngineText(GetLastMessage()), StoppedBatchDetail(result));
    return;
  }

  // A skipped entry (encrypted: no password is given here; a name that is not
  // safe to write) or a CRC failure returns 0 too. Its file is then missing,
  // stale (an earlier open of the same name) or damaged: say why instead of
  // opening it.
  const std::string status = GetEntryStatus(index);
  if (status != kStatusOk) {
    forgetAtExit();
    ShowErrorBox(this, QStringLiteral("ERROR! ") + EngineText(name) + QStringLiteral(": ") +
                           EngineText(status));
    return;
  }

  TempFiles.push_back(path);
  if (SysImages == nullptr) return;
  OpenWithDesktop(this, *SysImages, PathFromEngine(path), EngineText(name));
}

}  // namespace vantelo::ui
