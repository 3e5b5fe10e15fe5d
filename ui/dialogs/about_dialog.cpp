#include "ui/dialogs/about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/accessible_text.h"
#include "ui/app_info.h"

namespace vantelo::ui {

TFAbout::TFAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FAbout"));
  setWindowTitle(QStringLiteral("About Vantelo"));
  setFixedSize(434, 331);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 18);
  layout->setSpacing(8);

  auto makeLabel = [this](const QString& text, int pixelSize, bool bold) {
    auto* label = new QLabel(text, this);
    QFont f = font();
    if (pixelSize > 0) f.setPixelSize(pixelSize);
    f.setBold(bold);
    label->setFont(f);
    label->setAlignment(Qt::AlignHCenter);
    return label;
  };
  Label1 = makeLabel(QStringLiteral("Vantelo"), 20, true);
  Label2 = makeLabel(QStringLiteral("Demo of Korvane Unzip Library"), 16, false);
  Label3 = makeLabel(QString::fromLatin1(kMaker), 0, false);
  Label4 = makeLabel(QString::fromLatin1(kContactWeb), 0, false);
  Label5 = makeLabel(QString::fromLatin1(kContactEmail), 0, false);
  auto* version = makeLabel(QStringLiteral("Version ") + QString::fromLatin1(kVersion), 0, false);
  for (QLabel* l : {Label4, Label5}) l->setTextInteractionFlags(Qt::TextSelectableByMouse);

  layout->addWidget(Label1);
  layout->addWidget(version);
  layout->addSpacing(12);
  layout->addWidget(Label2);
  layout->addStretch(1);
  layout->addWidget(Label3);
  layout->addWidget(Label4);
  layout->addWidget(Label5);
  layout->addStretch(1);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  SetAccessibleText(OKButton, QString(), QStringLiteral("Close this window"));
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(OKButton);
  row->addStretch(1);
  layout->addLayout(row);
}

TFAbout::~TFAbout() = default;

}  // namespace vantelo::ui
