// The selection rules of the entry grid: which entries "Selected Files"
// extraction works on. The selection is the engine's per-entry selected flag,
// changed whenever the grid's cursor is about to move to a data cell. The two
// sticky toggles sbAdd ("Additive") and sbRng ("Range"), or holding Ctrl and
// Shift, choose the rule. Key moves only move the cursor frame; Space applies
// the rule to the cursor row (the cursor keeps its column); Enter opens the
// cursor row's entry. Rows may be filtered and sorted (EntryRows): the rules
// act on entries, and Range on the shown rows between the two clicks.
#include <QToolButton>

#include <algorithm>

#include "engine/engine.h"
#include "format/display_format.h"
#include "ui/main_window.h"
#include "ui/widgets/draw_grid.h"
#include "ui/widgets/status_bar.h"

namespace vantelo::ui {

namespace {

// The one selected entry when exactly one is selected: the LastRow entry in the
// usual case, found by a scan otherwise (after Additive clicks).
std::int32_t SingleSelectedEntry(std::int32_t lastRow, std::int32_t count) {
  if (lastRow >= 0 && lastRow < count && GetEntrySelected(lastRow)) return lastRow;
  for (std::int32_t k = 0; k < count; ++k)
    if (GetEntrySelected(k)) return k;
  return -1;
}

}  // namespace

void TForm1::DrawGrid1SelectCell(int col, int row, bool& canSelect) {
  canSelect = true;
  if (row < 1) return;  // the title row: nothing changes, nothing is repainted
  if (SkipSelect) {
    // A key move: the cursor frame moves, the selection stays.
    SkipSelect = false;
    InvDrwGrd();
    return;
  }
  const std::int32_t count = GetEntryCount();
  const std::int32_t i = EntryOfRow(row);
  if (i < 0) {  // a row without an entry (never asked of the engine)
    InvDrwGrd();
    return;
  }
  const bool additive = sbAdd->isChecked();
  const bool range = sbRng->isChecked();

  // Plain rule: the clicked entry becomes the only selected one, and clicking
  // the single selected entry again deselects it. With one entry selected that
  // is not the clicked one, that entry is cleared, wherever it is (it need not
  // be the LastRow entry after Additive clicks).
  if (!additive && !range) {
    const std::int32_t selected = GetSelectedCount();
    if (selected == 1) {
      const std::int32_t only = SingleSelectedEntry(LastRow, count);
      if (only >= 0 && only != i) SetEntrySelected(only, false);
    } else if (selected > 1) {
      for (std::int32_t k = 0; k < count; ++k) SetEntrySelected(k, false);
    }
  }

  // Range rule: the shown rows from the last clicked entry's to this one take
  // the inverse of this entry's old state. Otherwise (or when the filter now
  // hides the last clicked entry) the entry is inverted.
  const int anchor = LastRow >= 0 && LastRow < count ? RowOfEntry(LastRow) : -1;
  if (range && GetSelectedCount() > 0 && anchor >= 1) {
    const bool value = !GetEntrySelected(i);
    const int from = std::min(row, anchor);
    const int to = std::max(row, anchor);
    for (int r = from; r <= to; ++r) SetEntrySelected(EntryOfRow(r), value);
  } else {
    SetEntrySelected(i, !GetEntrySelected(i));
  }

  LastRow = i;
  ShowSelectedTotals();
  InvDrwGrd();
  DrawGrid1->NotifySelectionChanged(col, row);
  DrawGrid1->Announce(PanelText(1));  // readers hear the new count on the cell they are on
}

void TForm1::ShowSelectedTotals() {
  StatusBar1->SetPanelText(1, QStringLiteral("Selected: ") +
                                  QString::fromStdString(FmtThousands(GetSelectedCount())) +
                                  QStringLiteral(" files  -  ") +
                                  QString::fromStdString(FmtThousands(GetSelectedSize())) +
                                  QStringLiteral(" bytes"));
}

void TForm1::SelectAllEntries() {
  // Every entry of the archive, also those the filter hides.
  if (Rows.EntryCount() == 0) return;  // nothing listed
  const std::int32_t count = GetEntryCount();
  for (std::int32_t k = 0; k < count; ++k) SetEntrySelected(k, true);
  ShowSelectedTotals();
  InvDrwGrd();
  DrawGrid1->NotifySelectionChanged(DrawGrid1->Col(), DrawGrid1->Row());
  DrawGrid1->Announce(PanelText(1));
}

void TForm1::DrawGrid1KeyDown(int& key, Qt::KeyboardModifiers /*shift*/) {
  // No entries: every key is left to the grid's own handling.
  if (DrawGrid1->RowCount() < 2) return;
  DrawGrid* grid = DrawGrid1;
  const int lastRow = grid->RowCount() - 1;

  // A key move changes only the cursor: the select event it raises just
  // repaints. SkipSelect is cleared again afterwards, so that a move the grid
  // did not make (Home on row 1, End on the last row, ...) cannot leave it set
  // and swallow the user's next click.
  auto moveRow = [&](int row) {
    SkipSelect = true;
    grid->SetRow(row);
    SkipSelect = false;
  };
  auto moveCol = [&](int col) {
    SkipSelect = true;
    grid->SetCol(col);
    SkipSelect = false;
  };

  switch (key) {
    case kVkReturn:
      ExecFile();
      break;
    case kVkShift:
      sbRng->setChecked(true);
      break;
    case kVkControl:
      sbAdd->setChecked(true);
      break;
    case kVkSpace: {
      // The selection rule for the cursor row, in place: the cursor keeps its
      // column, so a reader stays in the column it was reading.
      bool canSelect = true;
      DrawGrid1SelectCell(grid->Col(), grid->Row(), canSelect);
      break;
    }
    case kVkPrior: {
      const int visible = grid->VisibleRowCount();
      moveRow(grid->Row() - visible >= 1 ? grid->Row() - visible : 1);
      break;
    }
    case kVkNext: {
      const int visible = grid->VisibleRowCount();
      moveRow(grid->Row() + visible > lastRow ? lastRow : grid->Row() + visible);
      break;
    }
    case kVkEnd:
      moveRow(lastRow);
      break;
    case kVkHome:
      moveRow(1);
      break;
    case kVkLeft:
      // Scrolls one column left; from the first column, wraps to the far right.
      if (grid->LeftCol() == 0) grid->SetLeftCol(grid->ColCount() - 1);
      else grid->SetLeftCol(grid->LeftCol() - 1);
      moveCol(grid->LeftCol());
      break;
    case kVkRight: {
      // Scrolls one column right; once the last column is in view, wraps to the
      // first one. A last column too wide for the view also wraps.
      const int before = grid->LeftCol();
      if (before == grid->ColCount() - grid->VisibleColCount()) {
        grid->SetLeftCol(0);
      } else {
        grid->SetLeftCol(before + 1);
        if (grid->LeftCol() == before) grid->SetLeftCol(0);
      }
      moveCol(grid->LeftCol());
      break;
    }
    case kVkUp:
      if (grid->Row() >= 2) moveRow(grid->Row() - 1);
      break;
    case kVkDown:
      if (grid->Row() < lastRow) moveRow(grid->Row() + 1);
      break;
    default:
      break;
  }
  // While entries are shown, the grid never runs its own key handling.
  key = 0;
}

void TForm1::DrawGrid1KeyPress(const QString& text) {
  if (DrawGrid1->FixedRows() == 0) return;  // nothing listed
  const int row = TypeAheadFind.Type(text, DrawGrid1->Row(), 1, DrawGrid1->RowCount() - 1,
                                     [this](int r) { return EngineText(GetEntryName(EntryOfRow(r))); });
  if (row < 0) return;
  // A key move: the cursor frame goes to the entry, the selection stays.
  SkipSelect = true;
  DrawGrid1->SetRow(row);
  SkipSelect = false;
}

void TForm1::DrawGrid1KeyUp(int& key, Qt::KeyboardModifiers /*shift*/) {
  // Releasing the key releases the toggle, even one pressed with the mouse.
  if (key == kVkShift) sbRng->setChecked(false);
  else if (key == kVkControl) sbAdd->setChecked(false);
  key = 0;
}

void TForm1::InvDrwGrd() {
  // From the top-left corner of cell (LeftCol, TopRow) to the client area's
  // bottom-right corner: every visible data cell, not the title row.
  const QRect topLeft = DrawGrid1->CellRect(DrawGrid1->LeftCol(), DrawGrid1->TopRow());
  const QRect client = DrawGrid1->ClientRect();
  if (topLeft.isEmpty()) return;
  DrawGrid1->InvalidateRect(QRect(topLeft.topLeft(), client.bottomRight()));
}

}  // namespace vantelo::ui
