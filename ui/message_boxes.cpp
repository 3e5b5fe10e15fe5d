#include "ui/message_boxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

#include "engine/engine.h"
#include "format/report_text.h"
#include "ui/untrusted_text.h"

namespace vantelo::ui {

namespace {
int Run(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons, const QString& detail = QString()) {
  QMessageBox box(icon, title, text, buttons, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  if (!detail.isEmpty()) box.setDetailedText(detail);
  ShowUntrustedText(box);  // messages hold entry, archive and folder names
  return box.exec();
}
}  // namespace

void ShowErrorBox(QWidget* parent, const QString& text, const QString& detail) {
  Run(parent, QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, detail);
}

void ShowPlainBox(QWidget* parent, const QString& title, const QString& text) {
  Run(parent, QMessageBox::NoIcon, title, text, QMessageBox::Ok);
}

int AskQuestion(QWidget* parent, const QString& title, const QString& text, bool yesIsDefault) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  if (yesIsDefault) box.setDefaultButton(QMessageBox::Yes);
  ShowUntrustedText(box);  // the text names a folder as typed, or an entry
  return box.exec() == QMessageBox::Yes ? mrYes : mrNo;
}

int AskYesNo(QWidget* parent, bool error, const QString& text, const QString& details) {
  return AskYesNo(parent, error, text, {}, QString(), details);
}

int AskYesNo(QWidget* parent, bool error, const QString& text,
             const std::vector<ExtraAnswer>& extras, const QString& detail, const QString& details) {
  QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information,
                  error ? QStringLiteral("Error") : QStringLiteral("Information"), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  if (!detail.isEmpty()) box.setInformativeText(detail);
  if (!details.isEmpty()) box.setDetailedText(details);
  ShowUntrustedText(box);  // engine messages can hold entry names
  std::vector<std::pair<QAbstractButton*, int>> buttons;
  for (const ExtraAnswer& extra : extras)
    buttons.emplace_back(box.addButton(extra.caption, QMessageBox::ActionRole), extra.result);
  // Esc and the window's close button are No, as in the plain question.
  box.setEscapeButton(QMessageBox::No);
  box.exec();
  for (const auto& [button, result] : buttons)
    if (box.clickedButton() == button) return result;
  return box.clickedButton() == box.button(QMessageBox::Yes) ? mrYes : mrNo;
}

QString StoppedBatchDetail(std::int32_t errorNo) {
  const std::int32_t stopped = GetStoppedEntry();
  if (errorNo != kErrMethod || stopped < 0 || !GetStoppedForMethod()) return QString();
  const std::uint16_t method = GetEntryMethod(stopped);
  return QString::fromStdString(MethodDetailText(method, GetMethodName(method)));
}

}  // namespace vantelo::ui
