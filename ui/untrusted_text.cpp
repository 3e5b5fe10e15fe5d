#include "ui/untrusted_text.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>
#include <QWidget>

namespace vantelo::ui {

void ShowUntrustedText(QLabel* label, const QString& text) {
  if (label == nullptr) return;
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  label->setAccessibleName(text);
}

void ShowUntrustedText(QMessageBox& box) {
  box.setTextFormat(Qt::PlainText);
  for (QLabel* label : box.findChildren<QLabel*>()) {
    // The icon's label has a picture and no text.
    if (label->text().isEmpty()) continue;
    label->setTextFormat(Qt::PlainText);
    // Plain text cannot hold a link; make sure nothing would open one anyway.
    label->setOpenExternalLinks(false);
    label->setAccessibleName(label->text());
  }
}

QString UntrustedToolTip(const QString& text) {
  // Shown as plain text by Qt already: leave it as it is.
  if (!Qt::mightBeRichText(text)) return text;
  // Taken as HTML: shown as HTML that says the same, every character escaped
  // in a paragraph that keeps line breaks and runs of spaces as written.
  QString html = text.toHtmlEscaped();
  html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
  html = QStringLiteral("<p style=\"white-space:pre\">") + html + QStringLiteral("</p>");
  return html;
}

void SetUntrustedToolTip(QWidget* widget, const QString& text) {
  if (widget != nullptr) widget->setToolTip(UntrustedToolTip(text));
}

QString UntrustedWindowTitle(const QString& text) {
  QString title = text;
  title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
  return title;
}

void SetUntrustedWindowTitle(QWidget* widget, const QString& text) {
  if (widget != nullptr) widget->setWindowTitle(UntrustedWindowTitle(text));
}

}  // namespace vantelo::ui
