// Program start-up: the application title, the windows in their
// creation order, and their end. app/main.cpp runs the message loop between.
#pragma once

#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QApplication;
class QIcon;

namespace vantelo::ui {

class ShellServices;
class TForm1;
class TFPgsInd;
class TFreport;
class TFExtrOpt;
class TFAbout;

// The windows of the program, created once and kept to the end.
struct VanteloWindows {
  std::unique_ptr<TForm1> Form1;
  std::unique_ptr<TFPgsInd> FPgsInd;
  std::unique_ptr<TFreport> Freport;
  std::unique_ptr<TFExtrOpt> FExtrOpt;
  std::unique_ptr<TFAbout> FAbout;

  VanteloWindows();
  ~VanteloWindows();  // the main window first (FormDestroy), then the others
  VanteloWindows(VanteloWindows&&) noexcept;
  VanteloWindows& operator=(VanteloWindows&&) noexcept;
};

// Sets the application title ("the text in the task bar"), the application
// icon and the desktop entry's name (so the desktop matches the windows to it).
void SetApplicationTitle(QApplication& app);
// The application icon, built into the program (PNG sizes 16 to 256).
QIcon ApplicationIcon();
// The output of `vantelo --help` / `-h` and `vantelo --version` when `firstArg`
// is one of them; nothing for any other argument (an archive to open).
std::optional<std::string> InfoOptionOutput(std::string_view firstArg);
// The application title as set (used by plain message boxes).
QString ApplicationTitle();

// Creates the windows in the defined order: TForm1 (its FormCreate opens the
// first of `args`, if any), TFPgsInd, TFreport, TFExtrOpt, TFAbout. Only the
// main window is shown when `show` is set.
VanteloWindows CreateWindows(const QStringList& args, ShellServices* shell = nullptr,
                             bool show = true);

}  // namespace vantelo::ui
