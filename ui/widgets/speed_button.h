// TSpeedButton: a tool button of the button bar. It takes the focus from the
// keyboard only (Tab), never from a click, so the grid keeps the focus the
// selection keys need; with the focus, Space, Return and Enter press it.
#pragma once

#include <QToolButton>

namespace vantelo::ui {

class TSpeedButton : public QToolButton {
  Q_OBJECT

 public:
  explicit TSpeedButton(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace vantelo::ui
