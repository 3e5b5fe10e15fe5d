#include "ui/dialogs/progress_dialog.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "engine/engine.h"
#include "ui/accessible_text.h"

namespace vantelo::ui {

TFPgsInd::TFPgsInd(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FPgsInd"));
  setWindowTitle(QStringLiteral("Progress Indicator"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);  // counts, never markup
    return l;
  };
  stselfiles = label("stselfiles", QStringLiteral("Selected files: 0"));
  stselbytes = label("stselbytes", QStringLiteral("Selected bytes: 0"));
  stpf = label("stpf", QStringLiteral("Processed files: "));
  stprocfiles = label("stprocfiles", QStringLiteral("0"));
  stpb = label("stpb", QStringLiteral("Processed bytes:"));
  stprocbytes = label("stprocbytes", QStringLiteral("0"));
  // Counts grow while the window is up: keep them from shifting their titles.
  for (QLabel* l : {stprocfiles, stprocbytes}) {
    l->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0,000,000,000")));
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }

  PgsBar = new QProgressBar(this);
  PgsBar->setObjectName(QStringLiteral("PgsBar"));
  PgsBar->setRange(0, 100);
  PgsBar->setValue(0);
  PgsBar->setTextVisible(true);

  PgsBtn = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                           QStringLiteral("Cancel"), this);
  PgsBtn->setObjectName(QStringLiteral("PgsBtn"));
  PgsBtn->setAutoDefault(false);
  PgsBtn->setDefault(false);
  connect(PgsBtn, &QPushButton::clicked, this, [this] { PgsBtnClick(); });

  auto* counts = new QGridLayout;
  counts->setHorizontalSpacing(16);
  counts->setVerticalSpacing(6);
  counts->addWidget(stselfiles, 0, 0, 1, 2);
  counts->addWidget(stselbytes, 0, 2, 1, 2);
  counts->addWidget(stpf, 1, 0);
  counts->addWidget(stprocfiles, 1, 1);
  counts->addWidget(stpb, 1, 2);
  counts->addWidget(stprocbytes, 1, 3);
  counts->setColumnStretch(1, 1);
  counts->setColumnStretch(3, 1);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(PgsBtn);
  buttonRow->addStretch(1);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(14, 12, 14, 12);
  column->setSpacing(10);
  column->addLayout(counts);
  column->addWidget(PgsBar);
  column->addLayout(buttonRow);

  // The bar reads as its value (0..100) through Qt's progress-bar interface.
  SetAccessibleText(PgsBar, QStringLiteral("Progress"),
                    QStringLiteral("Percentage of the selected bytes processed"));
  SetAccessibleText(PgsBtn, QString(), QStringLiteral("Stop the run after the current read"));

  // Counts read with their titles ("Processed files: 12"), not as bare numbers.
  ShowCounts(stprocfiles->text(), stprocbytes->text(), PgsBar->value());
  // Modal to the whole program: while it is up no other window takes input.
  setWindowModality(Qt::ApplicationModal);

  // A single fixed border: the window is not resized by the user.
  setFixedSize(qMax(400, sizeHint().width()), sizeHint().height());
}

TFPgsInd::~TFPgsInd() = default;

void TFPgsInd::ShowCounts(const QString& files, const QString& bytes, int percent) {
  // The counters' accessible names carry their titles; a new name and a new
  // value of the bar are announced by Qt itself.
  auto show = [](QLabel* count, const QLabel* title, const QString& text) {
    count->setText(text);
    const QString name = title->text().trimmed() + QLatin1Char(' ') + text;
    if (count->accessibleName() == name) return;
    count->setAccessibleName(name);
    QAccessibleEvent event(count, QAccessible::NameChanged);
    NoteAccessibleChange(event);
  };
  show(stprocfiles, stpf, files);
  show(stprocbytes, stpb, bytes);
  if (PgsBar->value() == percent) return;
  PgsBar->setValue(percent);
  QAccessibleValueChangeEvent event(PgsBar, percent);
  NoteAccessibleChange(event);
}

void TFPgsInd::PgsBtnClick() { RequestBreak(); }

void TFPgsInd::reject() {
  if (running_) {
    PgsBtnClick();
    return;
  }
  QDialog::reject();
}

void TFPgsInd::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    PgsBtnClick();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace vantelo::ui
