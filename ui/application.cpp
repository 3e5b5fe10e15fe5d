#include "ui/application.h"

#include <QApplication>
#include <QIcon>

#include "ui/app_info.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/extract_options_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/dialogs/report_dialog.h"
#include "ui/main_window.h"
#include "ui/shell_services.h"

// The icon's resources live in this static library: registered by hand, as
// the linker may drop their self-registering object (outside any namespace).
static void InitVanteloResources() { Q_INIT_RESOURCE(resources); }

namespace vantelo::ui {

namespace {
const char kTitleProperty[] = "vanteloApplicationTitle";
}

VanteloWindows::VanteloWindows() = default;
VanteloWindows::VanteloWindows(VanteloWindows&&) noexcept = default;
VanteloWindows& VanteloWindows::operator=(VanteloWindows&&) noexcept = default;

VanteloWindows::~VanteloWindows() {
  Form1.reset();
  FPgsInd.reset();
  Freport.reset();
  FExtrOpt.reset();
  FAbout.reset();
}

void SetApplicationTitle(QApplication& app) {
  // Not applicationDisplayName: on Linux Qt appends that to every window
  // caption, and the main caption already carries the title's text.
  app.setApplicationName(QStringLiteral("vantelo"));
  app.setApplicationVersion(QString::fromLatin1(kVersion));
  app.setProperty(kTitleProperty, QString::fromLatin1(kApplicationTitle));
  app.setWindowIcon(ApplicationIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("vantelo"));  // vantelo.desktop
  ShellServices::EnsureIconTheme();
}

QIcon ApplicationIcon() {
  InitVanteloResources();
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/vantelo-%1.png").arg(size), QSize(size, size));
  return icon;
}

std::optional<std::string> InfoOptionOutput(std::string_view firstArg) {
  if (firstArg == "--help" || firstArg == "-h")
    return std::string(
        "usage: vantelo [ARCHIVE]\n"
        "       vantelo --help | --version\n"
        "\n"
        "Opens ARCHIVE (a ZIP file) in Vantelo's window to list, test and extract\n"
        "its entries; without it the window starts empty.\n"
        "\n"
        "  -h, --help  show this help and exit\n"
        "  --version   show the version and exit\n"
        "\n"
        "The command-line program is vantelo-cli (see vantelo-cli --help).\n");
  if (firstArg == "--version") return std::string("vantelo ") + kVersion + "\n";
  return std::nullopt;
}

QString ApplicationTitle() {
  if (qApp != nullptr) {
    const QVariant v = qApp->property(kTitleProperty);
    if (v.isValid()) return v.toString();
  }
  return QString::fromLatin1(kApplicationTitle);
}

VanteloWindows CreateWindows(const QStringList& args, ShellServices* shell, bool show) {
  VanteloWindows w;
  w.Form1 = std::make_unique<TForm1>(args, shell);
  w.FPgsInd = std::make_unique<TFPgsInd>();
  w.Freport = std::make_unique<TFreport>();
  w.FExtrOpt = std::make_unique<TFExtrOpt>();
  w.FAbout = std::make_unique<TFAbout>();
  w.Form1->AttachWindows(w.FPgsInd.get(), w.Freport.get(), w.FExtrOpt.get(), w.FAbout.get());
  if (show) w.Form1->show();
  return w;
}

}  // namespace vantelo::ui
