#include "ui/dialogs/extract_options_dialog.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/accessible_text.h"
#include "ui/message_boxes.h"

namespace vantelo::ui {

namespace {

// Item data of the destination list: the index in the history, or this for
// the suggested destination.
constexpr int kSuggestedItem = -1;

bool IsEnterKey(const QKeyEvent* key) {
  return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
         (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// Shows every password character as "*" whatever the widget style would use.
class StarPasswordStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == QStyle::SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};
}  // namespace

// ---- TRadioGroup -------------------------------------------------------------------

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)) {
  auto* column = new QVBoxLayout(this);
  column->setSpacing(4);
  for (int i = 0; i < items.size(); ++i) {
    auto* b = new QRadioButton(items[i], this);
    group_->addButton(b, i);
    column->addWidget(b);
  }
  column->addStretch(1);
}

int TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* b = group_->button(index)) {
    b->setChecked(true);
    return;
  }
  // No item: uncheck all (an exclusive group refuses that unless lifted for a moment).
  group_->setExclusive(false);
  for (QAbstractButton* b : group_->buttons()) b->setChecked(false);
  group_->setExclusive(true);
}

QRadioButton* TRadioGroup::Item(int index) const {
  return qobject_cast<QRadioButton*>(group_->button(index));
}

int TRadioGroup::Count() const { return static_cast<int>(group_->buttons().size()); }

// ---- TFExtrOpt -----------------------------------------------------------------------

TFExtrOpt::TFExtrOpt(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FExtrOpt"));
  setWindowTitle(QStringLiteral("How to Extract?"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(true);

  Label1 = new QLabel(QStringLiteral("Extract To:"), this);
  ddDir = new QComboBox(this);
  ddDir->setObjectName(QStringLiteral("ddDir"));
  ddDir->setEditable(true);
  // The history is kept by the Extract button's rule, not by Enter in the box.
  ddDir->setInsertPolicy(QComboBox::NoInsert);
  ddDir->setMaxVisibleItems(12);
  ddDir->setMinimumContentsLength(36);
  ddDir->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  // Completion from the history must never change the case of what was typed.
  if (QCompleter* c = ddDir->completer()) c->setCaseSensitivity(Qt::CaseSensitive);
  Label1->setBuddy(ddDir);
  // Enter reaches the box or its edit field first: both are watched, so an
  // inline completion cannot swallow it. Delete is watched in the open list.
  ddDir->installEventFilter(this);
  ddDir->lineEdit()->installEventFilter(this);
  ddDir->view()->installEventFilter(this);

  btnBrowse = new QToolButton(this);
  btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
  btnBrowse->setText(QStringLiteral("..."));
  btnBrowse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  btnBrowse->setToolTip(QStringLiteral("Choose a folder"));
  connect(btnBrowse, &QToolButton::clicked, this, [this] { BrowseClick(); });

  Label2 = new QLabel(QStringLiteral("Password:"), this);
  edPswd = new QLineEdit(this);
  edPswd->setObjectName(QStringLiteral("edPswd"));
  auto* starStyle = new StarPasswordStyle;
  starStyle->setParent(edPswd);
  edPswd->setStyle(starStyle);
  edPswd->setEchoMode(QLineEdit::Password);
  Label2->setBuddy(edPswd);

  rgFiles = new TRadioGroup(QStringLiteral("Files"),
                            {QStringLiteral("All Files"), QStringLiteral("Selected Files")}, this);
  rgFiles->setObjectName(QStringLiteral("rgFiles"));
  rgFiles->SetItemIndex(0);

  GroupBox1 = new QGroupBox(QStringLiteral("Options"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  cbOver = new QCheckBox(QStringLiteral("Overwrite Existing Files"), GroupBox1);
  cbOver->setObjectName(QStringLiteral("cbOver"));
  cbOver->setChecked(true);
  cbUse = new QCheckBox(QStringLiteral("Use Folder Names"), GroupBox1);
  cbUse->setObjectName(QStringLiteral("cbUse"));
  cbUse->setChecked(true);
  connect(cbUse, &QCheckBox::toggled, this, [this](bool checked) {
    // The suggestion before the change is the one for the other state.
    const QString before = checked || beside_.isEmpty() ? intoSubfolder_ : beside_;
    FollowSuggestion(before);
  });
  auto* options = new QVBoxLayout(GroupBox1);
  options->setSpacing(4);
  options->addWidget(cbOver);
  options->addWidget(cbUse);
  options->addStretch(1);

  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                            QStringLiteral("Extract"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setDefault(true);
  BitBtn1->setAutoDefault(true);
  BitBtn3 = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                            QStringLiteral("Test"), this);
  BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
  BitBtn3->setAutoDefault(false);
  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                            QStringLiteral("Cancel"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setAutoDefault(false);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { done(mrOk); });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { done(mrYes); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });

  // Layout: destination and password on top, the two groups below, the
  // buttons in a column at the right.
  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(4);
  fields->setVerticalSpacing(2);
  fields->addWidget(Label1, 0, 0, 1, 2);
  fields->addWidget(ddDir, 1, 0);
  fields->addWidget(btnBrowse, 1, 1);
  fields->addItem(new QSpacerItem(0, 6), 2, 0);
  fields->addWidget(Label2, 3, 0, 1, 2);
  fields->addWidget(edPswd, 4, 0);
  fields->setColumnStretch(0, 1);

  auto* groups = new QHBoxLayout;
  groups->setSpacing(8);
  groups->addWidget(rgFiles, 2);
  groups->addWidget(GroupBox1, 3);

  auto* left = new QVBoxLayout;
  left->setSpacing(10);
  left->addLayout(fields);
  left->addLayout(groups);

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(6);
  buttons->addSpacing(Label1->sizeHint().height() + 2);
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn3);
  buttons->addStretch(1);
  buttons->addWidget(BitBtn2);

  auto* all = new QHBoxLayout(this);
  all->setContentsMargins(12, 10, 12, 12);
  all->setSpacing(14);
  all->addLayout(left, 1);
  all->addLayout(buttons, 0);

  // The two fields take their names from their labels (buddies).
  SetAccessibleText(ddDir, QString(), QStringLiteral("Folder the entries are extracted into"));
  SetAccessibleText(btnBrowse, QStringLiteral("Browse"), QStringLiteral("Choose a folder"));
  SetAccessibleText(edPswd, QString(), QStringLiteral("Password of encrypted entries"));
  SetAccessibleText(rgFiles, QString(), QStringLiteral("Which entries the run works on"));
  SetAccessibleText(rgFiles->Item(0), QString(), QStringLiteral("Every entry of the archive"));
  SetAccessibleText(rgFiles->Item(1), QString(), QStringLiteral("Only the entries selected in the list"));
  SetAccessibleText(cbOver, QString(), QStringLiteral("Replace files that already exist"));
  SetAccessibleText(cbUse, QString(), QStringLiteral("Recreate the folders stored with the entries"));
  SetAccessibleText(BitBtn1, QString(), QStringLiteral("Extract the entries into the folder"));
  SetAccessibleText(BitBtn3, QString(), QStringLiteral("Check the entries without writing anything"));
  SetAccessibleText(BitBtn2, QString(), QStringLiteral("Close without extracting"));

  setFixedSize(sizeHint());
}

TFExtrOpt::~TFExtrOpt() = default;

void TFExtrOpt::reject() { done(mrCancel); }

void TFExtrOpt::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Every opening starts in the destination box, whatever had the focus when
  // the dialog closed, and the focused control always shows its focus frame
  // (styles draw it only after the keyboard moved the focus).
  setAttribute(Qt::WA_KeyboardFocusChange, true);
  ddDir->setFocus(Qt::OtherFocusReason);
  ddDir->lineEdit()->selectAll();
}

bool TFExtrOpt::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if ((watched == ddDir || watched == ddDir->lineEdit()) && IsEnterKey(key)) {
    BitBtn1->click();
    return true;
  }
  if (watched == ddDir->view() && key->key() == Qt::Key_Delete) {
    const int row = ddDir->view()->currentIndex().row();
    const int index = row >= 0 ? ddDir->itemData(row).toInt() : kSuggestedItem;
    if (index != kSuggestedItem) {
      ForgetDestination(index);
      if (ddDir->count() > 0)
        ddDir->view()->setCurrentIndex(ddDir->model()->index(std::min(row, ddDir->count() - 1), 0));
    }
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TFExtrOpt::SetHistory(const QStringList& destinations) {
  history_ = destinations;
  RebuildList();
  emit HistoryChanged();
}

void TFExtrOpt::RememberDestination(const QString& destination) {
  const QString first = history_.isEmpty() ? QString() : history_.first();
  if (destination == first) return;
  history_.prepend(destination);
  RebuildList();
  emit HistoryChanged();
}

void TFExtrOpt::ForgetDestination(int index) {
  if (index < 0 || index >= history_.size()) return;
  history_.removeAt(index);
  RebuildList();
  emit HistoryChanged();
}

void TFExtrOpt::SetSuggestion(const QString& intoSubfolder, const QString& beside) {
  const QString before = Suggestion();
  intoSubfolder_ = intoSubfolder;
  beside_ = beside;
  FollowSuggestion(before);
}

QString TFExtrOpt::Suggestion() const {
  return cbUse->isChecked() && !beside_.isEmpty() ? beside_ : intoSubfolder_;
}

void TFExtrOpt::FollowSuggestion(const QString& before) {
  const QString text = ddDir->currentText();
  RebuildList();
  if (text.isEmpty() || text == before) ddDir->setEditText(Suggestion());
}

void TFExtrOpt::RebuildList() {
  const QString text = ddDir->currentText();
  const QSignalBlocker quiet(ddDir);
  ddDir->clear();
  const QString suggested = Suggestion();
  if (!suggested.isEmpty()) {
    ddDir->addItem(suggested, kSuggestedItem);
    ddDir->setItemData(0, QStringLiteral("A new folder for the archive's entries"), Qt::ToolTipRole);
  }
  for (int i = 0; i < history_.size(); ++i)
    if (history_[i] != suggested) ddDir->addItem(history_[i], i);
  // The list opens at the item the text names, when one does.
  const int current = ddDir->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (current >= 0) ddDir->setCurrentIndex(current);
  ddDir->setEditText(text);
}

void TFExtrOpt::BrowseClick() {
  const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Extract To"),
                                                           ddDir->currentText());
  if (!folder.isEmpty()) ddDir->setEditText(folder);
}

}  // namespace vantelo::ui
