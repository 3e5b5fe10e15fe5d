// Opening a file with one of the desktop's programs: whether the file's type
// has one, opening with it, and letting the user choose one. The programs and
// their start come from desktop_programs.h; the choice is ProgramChooser.
#include <QFileInfo>
#include <QMimeDatabase>

#include "ui/dialogs/program_chooser.h"
#include "ui/shell_services.h"

namespace vantelo::ui {

namespace {

// The file's type from its name, or from its first bytes when its name does
// not tell (a "README" without an extension is still text).
QMimeType TypeOf(const QString& path) { return QMimeDatabase().mimeTypeForFile(path); }

}  // namespace

QString ShellServices::FileMimeType(const QString& path) { return TypeOf(path).name(); }

bool ShellServices::HasAssociatedProgram(const QString& path) {
  return desktop::DefaultProgramFor(FileMimeType(path)).has_value();
}

LaunchOutcome ShellServices::OpenWithAssociatedProgram(const QString& path) {
  const std::optional<DesktopProgram> program = desktop::DefaultProgramFor(FileMimeType(path));
  if (!program) return {};
  return OpenWithProgram(program->id, path);
}

LaunchOutcome ShellServices::ChooseProgramAndOpen(QWidget* parent, const QString& path) {
  ProgramChooser chooser(parent, QFileInfo(path).fileName(), FileTypeName(path),
                         ProgramsForFile(path), [this] { return AllPrograms(); });
  if (chooser.exec() != QDialog::Accepted) return {};
  if (!chooser.ChosenExecutable().isEmpty())
    return OpenWithExecutable(chooser.ChosenExecutable(), path);
  return OpenWithProgram(chooser.ChosenProgramId(), path);
}

std::vector<DesktopProgram> ShellServices::ProgramsForFile(const QString& path) {
  return desktop::ProgramsFor(FileMimeType(path));
}

std::vector<DesktopProgram> ShellServices::AllPrograms() { return desktop::AllPrograms(); }

LaunchOutcome ShellServices::OpenWithProgram(const QString& programId, const QString& path) {
  return desktop::LaunchProgram(programId, path);
}

LaunchOutcome ShellServices::OpenWithExecutable(const QString& executable, const QString& path) {
  return desktop::LaunchExecutable(executable, path);
}

QString ShellServices::FileTypeName(const QString& path) {
  const QMimeType type = TypeOf(path);
  const QString suffix = QFileInfo(path).suffix();
  const QString name = type.isValid() && !type.isDefault() ? type.comment() : QString();
  if (suffix.isEmpty()) return name.isEmpty() ? QStringLiteral("without an extension") : name;
  const QString ext = QStringLiteral("(.") + suffix + QStringLiteral(")");
  return name.isEmpty() ? ext : name + QStringLiteral(" ") + ext;
}

}  // namespace vantelo::ui
