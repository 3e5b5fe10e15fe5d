#include "ui/dialogs/report_dialog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextDocument>
#include <QVBoxLayout>

#include <memory>

#include "ui/accessible_text.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/shell_services.h"

namespace vantelo::ui {

TFreport::TFreport(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Freport"));
  setWindowTitle(QStringLiteral("Report"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(true);

  RichEdit1 = new QPlainTextEdit(this);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit1->setReadOnly(true);
  RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

  Button1 = new QPushButton(QStringLiteral("Close"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("Print"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button2);
  buttons->addWidget(Button1);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 8);
  column->setSpacing(8);
  column->addWidget(RichEdit1, 1);
  auto* buttonMargin = new QHBoxLayout;
  buttonMargin->setContentsMargins(8, 0, 8, 0);
  buttonMargin->addLayout(buttons);
  column->addLayout(buttonMargin);

  SetAccessibleText(RichEdit1, QStringLiteral("Report"),
                    QStringLiteral("The outcome of each entry of the last run"));
  SetAccessibleText(Button1, QString(), QStringLiteral("Close the report"));
  SetAccessibleText(Button2, QString(), QStringLiteral("Print the report"));

  resize(560, 380);
}

TFreport::~TFreport() = default;

bool TFreport::LoadFromFile(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error != nullptr) *error = file.errorString();
    return false;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (error != nullptr) *error = file.errorString();
    return false;
  }
  // Line by line: each line is shown as UTF-8 when it is valid UTF-8, else as
  // Latin-1, as the grid shows the same names.
  QStringList lines;
  for (QByteArray line : bytes.split('\n')) {
    if (line.endsWith('\r')) line.chop(1);
    lines << EngineText(line.toStdString());
  }
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // the last line end
  RichEdit1->setPlainText(lines.join(QLatin1Char('\n')));
  RichEdit1->moveCursor(QTextCursor::Start);
  return true;
}

void TFreport::Button1Click() { accept(); }

void TFreport::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Button1->setFocus();
}

QString TFreport::PrintTitle(const QDateTime& when) {
  const QLocale locale = QLocale::system();
  // Qt's long time format carries the time zone; the system's long time format
  // of the desktop this program came from did not, so the zone is left out.
  QString timeFormat = locale.timeFormat(QLocale::LongFormat);
  timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
  timeFormat = timeFormat.trimmed();
  return QStringLiteral("Vantelo report ") + locale.toString(when.date(), QLocale::ShortFormat) +
         QStringLiteral(" ") + locale.toString(when.time(), timeFormat);
}

void TFreport::Button2Click() {
  QTextDocument document;
  document.setDefaultFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  document.setPlainText(RichEdit1->toPlainText());
  const QString title = PrintTitle(QDateTime::currentDateTime());

  std::unique_ptr<ShellServices> own;
  ShellServices* shell = Shell;
  if (shell == nullptr) {
    own = std::make_unique<ShellServices>();
    shell = own.get();
  }
  if (shell->PrintDocument(document, title)) return;

  // No printer: say so, and offer a PDF file instead.
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Print"),
                  QStringLiteral("No printer is available, so the report cannot be printed.\n"
                                 "Would you like to save it as a PDF file instead?"),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setDefaultButton(QMessageBox::No);
  if (box.exec() != QMessageBox::Yes) return;
  QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save Report as PDF"),
      QDir::home().filePath(QStringLiteral("vantelo-report.pdf")),
      QStringLiteral("PDF files (*.pdf)"));
  if (path.isEmpty()) return;
  if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
  QPrinter pdf(QPrinter::HighResolution);
  pdf.setOutputFormat(QPrinter::PdfFormat);
  pdf.setOutputFileName(path);
  if (!ShellServices::PrintDocumentTo(pdf, document, title))
    ShowErrorBox(this, QStringLiteral("ERROR! Could not write the PDF file ") + path + " !");
}

}  // namespace vantelo::ui
