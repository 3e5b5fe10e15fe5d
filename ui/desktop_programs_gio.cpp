// The desktop's programs through GIO (GAppInfo, GDesktopAppInfo).
//
// glib's headers come before any Qt header: Qt defines `signals` as a macro,
// and glib's D-Bus headers use that word as a member name.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "ui/desktop_programs.h"

#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <memory>

namespace vantelo::ui::desktop {

namespace {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, ObjectUnref>;

struct ListUnref {
  void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};
using AppList = std::unique_ptr<GList, ListUnref>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

QString FromUtf8(const char* text) { return text != nullptr ? QString::fromUtf8(text) : QString(); }

// The first of a themed icon's names the icon theme has, or an icon file.
QIcon IconOf(GIcon* icon) {
  if (icon == nullptr) return {};
  if (G_IS_THEMED_ICON(icon)) {
    for (const gchar* const* name = g_themed_icon_get_names(G_THEMED_ICON(icon));
         name != nullptr && *name != nullptr; ++name) {
      const QString themed = QString::fromUtf8(*name);
      if (QIcon::hasThemeIcon(themed)) return QIcon::fromTheme(themed);
    }
    return {};
  }
  if (G_IS_FILE_ICON(icon)) {
    std::unique_ptr<char, decltype(&g_free)> path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))),
                                                  &g_free);
    if (path != nullptr && QFileInfo(QFile::decodeName(path.get())).isFile())
      return QIcon(QFile::decodeName(path.get()));
  }
  return {};
}

DesktopProgram ProgramOf(GAppInfo* app) {
  return {FromUtf8(g_app_info_get_id(app)), FromUtf8(g_app_info_get_display_name(app)),
          IconOf(g_app_info_get_icon(app))};
}

QString NameOf(GAppInfo* app) { return FromUtf8(g_app_info_get_display_name(app)); }

// Starts `app` on one local file; the file goes as a path or a URI, whichever
// the program's command line takes.
LaunchOutcome Launch(GAppInfo* app, const QString& file) {
  const QString name = NameOf(app);
  GObjectPtr<GFile> target(g_file_new_for_path(QFile::encodeName(file).constData()));
  GList files{};
  files.data = target.get();
  GError* raw = nullptr;
  const bool started = g_app_info_launch(app, &files, nullptr, &raw);
  std::unique_ptr<GError, ErrorFree> error(raw);
  if (started) return LaunchOutcome::StartedBy(name);
  return LaunchOutcome::FailedFor(name, error != nullptr ? FromUtf8(error->message) : QString());
}

}  // namespace

std::optional<DesktopProgram> DefaultProgramFor(const QString& mimeType) {
  GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(mimeType.toUtf8().constData(), FALSE));
  if (app == nullptr || g_app_info_get_id(app.get()) == nullptr) return std::nullopt;
  return ProgramOf(app.get());
}

std::vector<DesktopProgram> ProgramsFor(const QString& mimeType) {
  std::vector<DesktopProgram> programs;
  QSet<QString> listed;
  auto add = [&](GAppInfo* app) {
    const QString id = FromUtf8(g_app_info_get_id(app));
    if (id.isEmpty() || listed.contains(id)) return;
    listed.insert(id);
    programs.push_back(ProgramOf(app));
  };
  const QByteArray type = mimeType.toUtf8();
  if (GObjectPtr<GAppInfo> preferred(g_app_info_get_default_for_type(type.constData(), FALSE));
      preferred != nullptr)
    add(preferred.get());
  AppList all(g_app_info_get_all_for_type(type.constData()));
  for (GList* l = all.get(); l != nullptr; l = l->next) add(G_APP_INFO(l->data));
  return programs;
}

std::vector<DesktopProgram> AllPrograms() {
  std::vector<DesktopProgram> programs;
  AppList all(g_app_info_get_all());
  for (GList* l = all.get(); l != nullptr; l = l->next) {
    GAppInfo* app = G_APP_INFO(l->data);
    if (g_app_info_should_show(app) && g_app_info_get_id(app) != nullptr)
      programs.push_back(ProgramOf(app));
  }
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(programs.begin(), programs.end(),
                   [&](const DesktopProgram& a, const DesktopProgram& b) {
                     return collator.compare(a.name, b.name) < 0;
                   });
  return programs;
}

LaunchOutcome LaunchProgram(const QString& programId, const QString& file) {
  GObjectPtr<GDesktopAppInfo> app(g_desktop_app_info_new(programId.toUtf8().constData()));
  if (app == nullptr)
    return LaunchOutcome::FailedFor(programId, QStringLiteral("The program is no longer installed."));
  return Launch(G_APP_INFO(app.get()), file);
}

LaunchOutcome LaunchExecutable(const QString& executable, const QString& file) {
  const QByteArray program = QFile::encodeName(executable);
  if (executable.endsWith(QStringLiteral(".desktop"))) {
    GObjectPtr<GDesktopAppInfo> app(g_desktop_app_info_new_from_filename(program.constData()));
    if (app == nullptr)
      return LaunchOutcome::FailedFor(QFileInfo(executable).fileName(),
                                      QStringLiteral("The file does not describe a program that "
                                                     "is installed."));
    return Launch(G_APP_INFO(app.get()), file);
  }
  // Started directly rather than through a command line, so no character of
  // either path is taken for quoting or a field code; the spawn reports a
  // program that cannot be run (not executable, no interpreter) as an error.
  const QByteArray target = QFile::encodeName(file);
  char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(target.constData()),
                  nullptr};
  GError* raw = nullptr;
  const bool started = g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
                                     nullptr, &raw);
  std::unique_ptr<GError, ErrorFree> error(raw);
  const QString name = QFileInfo(executable).fileName();
  if (started) return LaunchOutcome::StartedBy(name);
  return LaunchOutcome::FailedFor(name, error != nullptr ? FromUtf8(error->message) : QString());
}

}  // namespace vantelo::ui::desktop
