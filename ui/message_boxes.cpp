#include "ui/message_boxes.h"

#include <QMessageBox>

namespace vantelo::ui {

namespace {
int Run(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, title, text, buttons, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  return box.exec();
}
}  // namespace

void ShowErrorBox(QWidget* parent, const QString& text) {
  Run(parent, QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
}

void ShowPlainBox(QWidget* parent, const QString& title, const QString& text) {
  Run(parent, QMessageBox::NoIcon, title, text, QMessageBox::Ok);
}

int AskYesNo(QWidget* parent, bool error, const QString& text) {
  const int answer = Run(parent, error ? QMessageBox::Critical : QMessageBox::Information,
                         error ? QStringLiteral("Error") : QStringLiteral("Information"), text,
                         QMessageBox::Yes | QMessageBox::No);
  return answer == QMessageBox::Yes ? mrYes : mrNo;
}

}  // namespace vantelo::ui
