#include "ui/dialogs/program_chooser.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "ui/accessible_text.h"
#include "ui/shell_services.h"
#include "ui/untrusted_text.h"

namespace vantelo::ui {

namespace {

QIcon ProgramIcon(const DesktopProgram& program) {
  if (!program.icon.isNull()) return program.icon;
  static const QIcon generic = [] {
    const QIcon themed = ShellServices::ThemeIcon({"application-x-executable", "system-run"});
    return themed.isNull() ? ShellServices::BuiltInFileIcon() : themed;
  }();
  return generic;
}

}  // namespace

ProgramChooser::ProgramChooser(QWidget* parent, const QString& fileName, const QString& typeName,
                               std::vector<DesktopProgram> forType,
                               std::function<std::vector<DesktopProgram>()> allPrograms)
    : QDialog(parent),
      fileName_(fileName),
      forType_(std::move(forType)),
      allPrograms_(std::move(allPrograms)) {
  setObjectName(QStringLiteral("ProgramChooser"));
  setWindowTitle(QStringLiteral("Open With"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  resize(440, 420);

  auto* layout = new QVBoxLayout(this);
  Prompt = new QLabel(this);
  Prompt->setWordWrap(true);
  const QString open = QStringLiteral("Choose a program to open \"%1\".").arg(fileName);
  // The names come from an archive and desktop files.
  ShowUntrustedText(Prompt, forType_.empty()
                                ? QStringLiteral("No program is known for files of type %1. ").arg(typeName) + open
                                : open);
  layout->addWidget(Prompt);

  Programs = new QListWidget(this);
  Programs->setIconSize(QSize(24, 24));
  Programs->setUniformItemSizes(true);
  layout->addWidget(Programs, 1);
  Prompt->setBuddy(Programs);

  ShowAll = new QCheckBox(QStringLiteral("Show all programs"), this);
  layout->addWidget(ShowAll);

  OtherButton = new QPushButton(QStringLiteral("Other..."), this);
  OpenButton = new QPushButton(QStringLiteral("Open"), this);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  OpenButton->setDefault(true);
  auto* row = new QHBoxLayout;
  row->addWidget(OtherButton);
  row->addStretch(1);
  row->addWidget(OpenButton);
  row->addWidget(CancelButton);
  layout->addLayout(row);

  SetAccessibleText(Programs, QStringLiteral("Programs"),
                    QStringLiteral("The programs that can open \"%1\"").arg(fileName));
  SetAccessibleText(ShowAll, QString(), QStringLiteral("List every program, not only those for this type of file"));
  SetAccessibleText(OtherButton, QString(), QStringLiteral("Choose a program file that is not listed"));
  SetAccessibleText(OpenButton, QString(), QStringLiteral("Open the file with the selected program"));
  SetAccessibleText(CancelButton, QString(), QStringLiteral("Open nothing"));

  // A type without programs of its own shows every program straight away.
  if (forType_.empty()) {
    ShowAll->setChecked(true);
    ShowAll->setEnabled(false);
  }
  connect(ShowAll, &QCheckBox::toggled, this, [this] { FillList(); });
  connect(Programs, &QListWidget::currentRowChanged, this,
          [this](int row) { OpenButton->setEnabled(row >= 0); });
  connect(Programs, &QListWidget::itemActivated, this, [this] { OpenCurrent(); });
  connect(OpenButton, &QPushButton::clicked, this, [this] { OpenCurrent(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(OtherButton, &QPushButton::clicked, this, [this] { ChooseOther(); });
  FillList();
  Programs->setFocus();
}

ProgramChooser::~ProgramChooser() = default;

void ProgramChooser::FillList() {
  const QString current =
      Programs->currentItem() != nullptr ? Programs->currentItem()->data(Qt::UserRole).toString()
                                         : QString();
  Programs->clear();
  auto add = [this](const DesktopProgram& program) {
    auto* item = new QListWidgetItem(ProgramIcon(program), program.name, Programs);
    item->setData(Qt::UserRole, program.id);
  };
  for (const DesktopProgram& program : forType_) add(program);
  if (ShowAll->isChecked()) {
    if (!othersLoaded_) {
      othersLoaded_ = true;
      for (DesktopProgram& program : allPrograms_()) {
        const bool listed = std::any_of(forType_.begin(), forType_.end(),
                                        [&](const DesktopProgram& p) { return p.id == program.id; });
        if (!listed) others_.push_back(std::move(program));
      }
    }
    for (const DesktopProgram& program : others_) add(program);
  }
  int row = 0;
  for (int i = 0; i < Programs->count(); ++i)
    if (Programs->item(i)->data(Qt::UserRole).toString() == current) row = i;
  Programs->setCurrentRow(Programs->count() > 0 ? row : -1);
  OpenButton->setEnabled(Programs->currentRow() >= 0);
}

void ProgramChooser::OpenCurrent() {
  const QListWidgetItem* item = Programs->currentItem();
  if (item == nullptr) return;
  chosenId_ = item->data(Qt::UserRole).toString();
  chosenExecutable_.clear();
  accept();
}

void ProgramChooser::ChooseOther() {
  const QString program = QFileDialog::getOpenFileName(
      this, QStringLiteral("Choose a program to open %1").arg(fileName_), QStringLiteral("/usr/bin"));
  if (program.isEmpty()) return;  // back to the list
  chosenExecutable_ = program;
  chosenId_.clear();
  accept();
}

}  // namespace vantelo::ui
