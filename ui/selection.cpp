// Part 2.3: the selection rules. For now the grid's own behaviour: every move is
// allowed and keys are left to the grid's default handling; the selection
// rules (Plain, Additive, Range, Shift/Ctrl, Space, Enter) come with Part 2.3.
#include "ui/main_window.h"
#include "ui/widgets/draw_grid.h"

namespace vantelo::ui {

void TForm1::DrawGrid1SelectCell(int /*col*/, int row, bool& canSelect) {
  canSelect = true;
  if (row < 1) return;
  // The cursor frame spans the whole row: repaint the data area.
  InvDrwGrd();
}

void TForm1::DrawGrid1KeyDown(int& /*key*/, Qt::KeyboardModifiers /*shift*/) {}

void TForm1::DrawGrid1KeyUp(int& /*key*/, Qt::KeyboardModifiers /*shift*/) {}

void TForm1::InvDrwGrd() {
  // From the top-left corner of cell (LeftCol, TopRow) to the client area's
  // bottom-right corner: every visible data cell, not the title row.
  const QRect topLeft = DrawGrid1->CellRect(DrawGrid1->LeftCol(), DrawGrid1->TopRow());
  const QRect client = DrawGrid1->ClientRect();
  if (topLeft.isEmpty()) return;
  DrawGrid1->InvalidateRect(QRect(topLeft.topLeft(), client.bottomRight()));
}

}  // namespace vantelo::ui
