// Finding and sorting in the entry list. The Find bar above the grid (Ctrl+F)
// shows only the entries whose folder and name contain its text; Escape
// clears it. A click on a column title sorts by that column, a second click
// reverses the order. Both go through Rows, the map from grid rows to
// entries; the selection is the engine's per-entry flag and stays with the
// entries, also with those the filter hides.
#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

#include "engine/engine.h"
#include "format/display_format.h"
#include "ui/accessible_text.h"
#include "ui/main_window.h"
#include "ui/wait_cursor.h"
#include "ui/widgets/draw_grid.h"
#include "ui/widgets/draw_grid_accessible.h"
#include "ui/widgets/status_bar.h"

namespace vantelo::ui {

namespace {
const char* const kFindDescription =
    "Shows only the entries whose name or folder contains this text; Escape shows all again";
}  // namespace

std::int32_t TForm1::EntryOfRow(int row) const {
  if (row < 1) return -1;
  const std::int32_t entry = Rows.EntryAt(row - 1);
  // The engine may hold fewer entries than the grid lists (a failed open
  // while its error box is up): such rows have no entry to ask about.
  return entry < GetEntryCount() ? entry : -1;
}

int TForm1::RowOfEntry(std::int32_t entry) const {
  const std::int32_t shown = Rows.ShownIndexOf(entry);
  return shown < 0 ? -1 : shown + 1;
}

void TForm1::BuildFindBar(QWidget* owner) {
  FindBar = new QWidget(owner);
  FindBar->setObjectName(QStringLiteral("FindBar"));
  auto* line = new QHBoxLayout(FindBar);
  line->setContentsMargins(4, 2, 4, 2);
  line->setSpacing(4);
  auto* label = new QLabel(QStringLiteral("Find:"), FindBar);
  edFind = new QLineEdit(FindBar);
  edFind->setObjectName(QStringLiteral("edFind"));
  edFind->setPlaceholderText(QStringLiteral("Part of a name or folder"));
  edFind->setClearButtonEnabled(true);
  label->setBuddy(edFind);
  line->addWidget(label);
  line->addWidget(edFind, 1);
  FindBar->hide();  // until Ctrl+F: the window looks as it always did
  SetAccessibleText(edFind, QStringLiteral("Find"), QString::fromLatin1(kFindDescription));
  for (QAbstractButton* clear : edFind->findChildren<QAbstractButton*>())
    SetAccessibleText(clear, QStringLiteral("Clear"), QStringLiteral("Empties the Find field"));

  connect(edFind, &QLineEdit::textChanged, this, [this] { edFindChange(); });
  // Enter or Down: on to the rows found, the filter stays.
  connect(edFind, &QLineEdit::returnPressed, this, [this] { DrawGrid1->setFocus(); });
  auto* down = new QShortcut(QKeySequence(Qt::Key_Down), edFind, nullptr, nullptr, Qt::WidgetShortcut);
  connect(down, &QShortcut::activated, this, [this] { DrawGrid1->setFocus(); });
  auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
  connect(find, &QShortcut::activated, this, [this] { ShowFindBar(); });
  // Escape, in the field or the grid, while the bar is up.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setEnabled(false);
  connect(escape, &QShortcut::activated, this, [this] { CloseFindBar(); });
  findEscape_ = escape;
}

void TForm1::ShowFindBar() {
  FindBar->show();
  findEscape_->setEnabled(true);
  edFind->setFocus(Qt::ShortcutFocusReason);
  edFind->selectAll();
}

void TForm1::CloseFindBar() {
  edFind->clear();  // every entry again (edFindChange)
  FindBar->hide();
  findEscape_->setEnabled(false);
  DrawGrid1->setFocus(Qt::OtherFocusReason);
}

void TForm1::edFindChange() {
  if (edFind->text() == Rows.Filter()) return;
  const std::int32_t cursor = EntryOfRow(DrawGrid1->Row());
  Rows.SetFilter(edFind->text());
  ShowRows(cursor);
  ShowShownCount();
}

void TForm1::ShowShownCount() {
  const bool filtered = Rows.Filtered() && Rows.EntryCount() > 0;
  const QString text = filtered ? QStringLiteral("Shown: ") +
                                      QString::fromStdString(FmtThousands(Rows.Count())) +
                                      QStringLiteral(" of ") +
                                      QString::fromStdString(FmtThousands(Rows.EntryCount())) +
                                      QStringLiteral(" files")
                                : QString();
  StatusBar1->SetPanelText(2, text);
  StatusBar1->SetPanelVisible(2, filtered);
  StatusBar1->SetPanelFitsText(0, filtered);  // room for the count beside the selection
  // Readers hear the count in the field they type in: its description (Qt
  // tells them it changed).
  const QString description = filtered ? text : QString::fromLatin1(kFindDescription);
  if (edFind->accessibleDescription() == description) return;
  edFind->setAccessibleDescription(description);
  QAccessibleEvent changed(edFind, QAccessible::DescriptionChanged);
  ObserveAccessibleEvent(changed);
}

void TForm1::DrawGrid1TitleClick(int col) {
  if (col < 0 || col >= kColCount) return;
  // The sorted column again: the other way round.
  SortByColumn(col, Rows.SortColumn() == col && !Rows.Descending());
}

void TForm1::SortByColumn(int col, bool descending) {
  const std::int32_t cursor = EntryOfRow(DrawGrid1->Row());
  {
    WaitCursor wait;  // a large archive takes a moment
    Rows.SetSort(col, descending);
  }
  ShowRows(cursor);
  DrawGrid1->InvalidateRect(DrawGrid1->ClientRect());  // the title row's mark
}

void TForm1::ShowRows(std::int32_t cursorEntry) {
  if (Rows.EntryCount() == 0) return;  // nothing listed: the empty grid stays as it is
  const int col = DrawGrid1->Col();
  const std::int32_t shown = Rows.Count();
  if (shown == 0) {
    // Nothing matches: the title row alone.
    DrawGrid1->SetFixedRows(0);
    DrawGrid1->SetRowCount(1);
  } else {
    DrawGrid1->SetRowCount(shown + 1);
    if (DrawGrid1->FixedRows() == 0) DrawGrid1->SetFixedRows(1);
    DrawGrid1->SetTopRow(DrawGrid1->TopRow());  // no empty room below the last row
    const int row = RowOfEntry(cursorEntry);
    DrawGrid1->ResetCursor(col, row > 0 ? row : 1);
  }
  DrawGrid1->Repaint();
  DrawGrid1->NotifyContentsReplaced();
}

}  // namespace vantelo::ui
