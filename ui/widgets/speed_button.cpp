#include "ui/widgets/speed_button.h"

#include <QKeyEvent>

namespace vantelo::ui {

TSpeedButton::TSpeedButton(QWidget* parent) : QToolButton(parent) {
  setFocusPolicy(Qt::TabFocus);
}

void TSpeedButton::keyPressEvent(QKeyEvent* event) {
  // A tool button answers Space only; a focused button of a dialog-like bar
  // is expected to answer Return and Enter as well.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      event->modifiers() == Qt::NoModifier) {
    animateClick();
    return;
  }
  QToolButton::keyPressEvent(event);
}

}  // namespace vantelo::ui
