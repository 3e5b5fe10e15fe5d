// The wait cursor while the window does not respond (work that runs on the GUI
// thread without a progress window), restored when the scope ends.
#pragma once

#include <QGuiApplication>

namespace vantelo::ui {

class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace vantelo::ui
