#include "ui/password_question.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>

namespace vantelo::ui {

bool AskPassword(QWidget* parent, const QString& question, QString* password) {
  QInputDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PasswordQuestion"));
  dialog.setWindowTitle(QStringLiteral("Password"));
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setTextEchoMode(QLineEdit::Password);
  dialog.setLabelText(question);
  // The question is ours, but it is never markup.
  for (QLabel* label : dialog.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
  if (dialog.exec() != QDialog::Accepted) return false;
  if (password != nullptr) *password = dialog.textValue();
  return true;
}

QString EncryptedEntriesQuestion() { return QStringLiteral("Some entries are encrypted. Password:"); }

QString BadPasswordLine(std::int32_t count) {
  if (count == 1) return QStringLiteral("1 entry was skipped for a bad password.");
  return QString::number(count) + QStringLiteral(" entries were skipped for a bad password.");
}

}  // namespace vantelo::ui
