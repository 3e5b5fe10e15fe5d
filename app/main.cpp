// The desktop program `vantelo`: start-up, message loop, end.
#include <QApplication>

#include <cstdio>

#include "engine/engine.h"
#include "platform/interrupt_cleanup.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/settings_store.h"

int main(int argc, char** argv) {
  // --help and --version answer on stdout and end before any window (or the
  // display) is needed; any other first argument is the archive to open.
  if (argc > 1) {
    if (const auto text = vantelo::ui::InfoOptionOutput(argv[1])) {
      std::fputs(text->c_str(), stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
  }
  vantelo::EngineStartup();
  // Ctrl+C, a logout or a kill request still takes the private temporary
  // folder and an unfinished file with it.
  vantelo::platform::InstallInterruptCleanup();
  int result = 0;
  {
    QApplication app(argc, argv);          // 1. initialise
    vantelo::ui::SetApplicationTitle(app);  // 2. the application title
    QStringList args = app.arguments();     // Qt's own options are already removed
    args.removeFirst();
    // 3. the windows, main window first; only it is shown.
    vantelo::ui::VanteloWindows windows = vantelo::ui::CreateWindows(args);
    vantelo::ui::RestoreSettings(windows);  // the Open folder and destinations of the last run
    result = app.exec();  // 4. until the main window closes
    vantelo::ui::SaveSettings(windows);
  }  // the windows go here: FormDestroy deletes the temporary files
  vantelo::EngineShutdown();
  return result;
}
