// The desktop program `vantelo`: start-up, message loop, end.
#include <QApplication>

#include "engine/engine.h"
#include "ui/application.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  vantelo::EngineStartup();
  int result = 0;
  {
    QApplication app(argc, argv);          // 1. initialise
    vantelo::ui::SetApplicationTitle(app);  // 2. the application title
    QStringList args = app.arguments();     // Qt's own options are already removed
    args.removeFirst();
    // 3. the windows, main window first; only it is shown.
    vantelo::ui::VanteloWindows windows = vantelo::ui::CreateWindows(args);
    result = app.exec();  // 4. until the main window closes
  }  // the windows go here: FormDestroy deletes the temporary files
  vantelo::EngineShutdown();
  return result;
}
