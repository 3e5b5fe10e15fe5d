// The programs the desktop knows for a type of file, and starting one on a
// file. Answered by GIO's application information, which reads what the
// freedesktop.org desktop files and mimeapps.list files say (defaults, added
// and removed associations, the lists of the running desktop, TryExec, types a
// program takes through their parent types). Only plain Qt types cross this
// header, so nothing else in the program includes glib.
#pragma once

#include <QIcon>
#include <QString>

#include <optional>
#include <vector>

namespace vantelo::ui {

// A program as the desktop lists it: the id of its desktop file
// ("org.example.Viewer.desktop"), the name shown for it and its icon (null
// when it has none the icon theme can draw).
struct DesktopProgram {
  QString id;
  QString name;
  QIcon icon;
};

// What became of a request to open a file with a program.
struct LaunchOutcome {
  enum Result { Started, Failed, Cancelled };
  Result result = Cancelled;
  QString program;  // the name of the program asked to start (set when Started or Failed)
  QString reason;   // why it could not be started (Failed only)

  static LaunchOutcome StartedBy(const QString& program) { return {Started, program, {}}; }
  static LaunchOutcome FailedFor(const QString& program, const QString& reason) {
    return {Failed, program, reason};
  }
};

namespace desktop {

// The program that opens files of `mimeType` when nothing else is asked for.
std::optional<DesktopProgram> DefaultProgramFor(const QString& mimeType);
// Every program for `mimeType` or a type it derives from, the default first,
// then in the desktop's order of preference; none listed twice.
std::vector<DesktopProgram> ProgramsFor(const QString& mimeType);
// Every program the desktop shows in its menus, by name.
std::vector<DesktopProgram> AllPrograms();

// Starts the program of desktop file `programId` on `file`.
LaunchOutcome LaunchProgram(const QString& programId, const QString& file);
// Starts `executable` (a program file, or a desktop file: "*.desktop") on `file`.
LaunchOutcome LaunchExecutable(const QString& executable, const QString& file);

}  // namespace desktop
}  // namespace vantelo::ui
