// The "Names" drop-down: the character set of entry names that are not marked
// as UTF-8. "Automatic" lets the engine choose per archive; any other item
// forces that code page. A change re-reads the open archive's names at once.
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListView>

#include "engine/engine.h"
#include "ui/main_window.h"
#include "ui/untrusted_text.h"
#include "ui/widgets/draw_grid.h"

namespace vantelo::ui {

void TForm1::BuildNamesGroup(QBoxLayout* bar) {
  GroupBoxNames = new QGroupBox(QStringLiteral("Names"), Panel1);
  GroupBoxNames->setObjectName(QStringLiteral("GroupBoxNames"));
  auto* layout = new QHBoxLayout(GroupBoxNames);
  layout->setContentsMargins(4, 2, 4, 4);
  cbNames = new QComboBox(GroupBoxNames);
  cbNames->setObjectName(QStringLiteral("cbNames"));
  cbNames->addItem(QStringLiteral("Automatic"), QString());
  for (const NameCharsetChoice& c : kNameCharsets)
    cbNames->addItem(QString::fromLatin1(c.label), QString::fromLatin1(c.id));
  // The engine's setting outlives windows: show it.
  const int current = cbNames->findData(QString::fromStdString(GetNameCharset()));
  if (current > 0) cbNames->setCurrentIndex(current);
  // Narrow in the bar, the full labels in the open list.
  cbNames->setFixedWidth(112);
  cbNames->view()->setMinimumWidth(cbNames->view()->sizeHintForColumn(0) + 8);
  cbNames->setFocusPolicy(Qt::TabFocus);  // a click leaves the focus on the grid
  layout->addWidget(cbNames);
  bar->addWidget(GroupBoxNames, 0);
  connect(cbNames, &QComboBox::currentIndexChanged, this, [this] { cbNamesChange(); });
  UpdateNamesHint();
}

void TForm1::cbNamesChange() {
  SetNameCharset(cbNames->currentData().toString().toStdString());
  UpdateNamesHint();
  // Other names: the filter and the sort look at them again.
  const std::int32_t cursor = EntryOfRow(DrawGrid1->Row());
  Rows.NamesChanged();
  ShowRows(cursor);
  ShowShownCount();
  DrawGrid1->Repaint();
}

void TForm1::UpdateNamesHint() {
  // With an archive open, say which code page its unmarked names were read in.
  QString hint = QStringLiteral("Code page of entry names not marked as UTF-8");
  const std::string used = GetEntryCount() > 0 ? GetArchiveNameCharset() : std::string();
  if (!used.empty()) {
    QString label = QString::fromStdString(used);
    for (const NameCharsetChoice& c : kNameCharsets)
      if (used == c.id) label = QString::fromLatin1(c.label);
    hint += QStringLiteral("\nThis archive: ") + label;
  }
  SetUntrustedToolTip(cbNames, hint);
}

}  // namespace vantelo::ui
