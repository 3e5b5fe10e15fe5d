// Painting the entry grid: DrawGrid1DrawCell, GetCellText, GetIconIndex, and the
// grid's data source over the same texts.
#include <QPainter>

#include <algorithm>

#include "engine/engine.h"
#include "format/display_format.h"
#include "ui/main_window.h"
#include "ui/shell_services.h"
#include "ui/widgets/draw_grid.h"

namespace vantelo::ui {

namespace {
const QColor kSelectedBrush(0, 0, 255);
const QColor kCursorFrame(0, 0, 255);
constexpr int kTextPadding = 5;  // 2 pixels before a text, 3 after a right-aligned one
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
}  // namespace

void TForm1::GetCellText(int col, int row, std::string& text, bool& selected) {
  const std::int32_t index = row - 1;
  selected = GetEntrySelected(index);
  text.clear();
  switch (col) {
    case 1:
      text = GetEntryName(index);
      if (GetEntryEncrypted(index)) text += "+";
      break;
    case 2: text = FmtDate(GetEntryDate(index)); break;
    case 3: text = FmtTime(GetEntryTime(index)); break;
    case 4: text = FmtThousands(GetEntrySize(index)); break;
    case 5: text = FmtRatio(GetEntryPackedSize(index), GetEntrySize(index)); break;
    case 6: text = FmtThousands(GetEntryPackedSize(index)); break;
    case 7: text = GetEntryFolder(index); break;
    default: break;
  }
}

QString TForm1::CellDisplayText(int col, int row) {
  if (col < 0 || col >= kColCount || row < 0) return {};
  if (row == 0) return QString::fromLatin1(ColTitles[col]);
  if (row - 1 >= GetEntryCount()) return {};
  std::string text;
  bool selected = false;
  GetCellText(col, row, text, selected);
  return EngineText(text);
}

bool TForm1::RowIsSelected(int row) {
  return row >= 1 && row - 1 < GetEntryCount() && GetEntrySelected(row - 1);
}

QString TForm1::CellHint(int /*col*/, int row) {
  const std::int32_t index = row - 1;
  if (row < 1 || index >= GetEntryCount()) return QString();
  const QString name = EngineText(GetEntryName(index));
  const QString folder = EngineText(GetEntryFolder(index));
  return folder.isEmpty() ? name : name + QStringLiteral("\n") + folder;
}

std::int32_t TForm1::GetIconIndex(int row) {
  const std::int32_t index = row - 1;
  const std::string name = GetEntryName(index);
  std::int32_t value = 0;
  if (name == kFolderName) {
    if (IconCache.Find("FOLDER", value)) return value;
    value = SysImages ? SysImages->FileIconIndex(name, true) : 0;
    IconCache.Add("FOLDER", value);
    return value;
  }
  const std::string key = GetEntryExt(index);
  if (IconCache.Find(key, value)) return value;
  value = SysImages ? SysImages->FileIconIndex(name, false) : 0;
  IconCache.Add(key, value);
  return value;
}

void TForm1::DrawGrid1DrawCell(QPainter& canvas, int col, int row, const QRect& rect) {
  const int L = rect.left(), T = rect.top();
  const int R = rect.left() + rect.width(), B = rect.top() + rect.height();
  // 1. The window's font and face colour.
  QFont f = font();
  canvas.setFont(f);
  canvas.setPen(palette().color(QPalette::WindowText));
  canvas.setBrush(palette().color(QPalette::Window));

  // 2. The title row: bold black on the face colour, boxed in black.
  if (row == 0) {
    f.setBold(true);
    canvas.setFont(f);
    canvas.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    canvas.drawRect(QRect(L, T, R - L - 1, B - T - 1));
    if (col >= 0 && col < kColCount)
      canvas.drawText(QRect(L + 2, T + 1, R - L, B - T), kTextFlags, QString::fromLatin1(ColTitles[col]));
    return;
  }

  // 3. A data row. A row whose entry is gone (never asked of the engine) stays blank.
  if (row - 1 >= GetEntryCount()) {
    canvas.fillRect(rect, Qt::white);
    return;
  }
  std::string text;
  bool selected = false;
  GetCellText(col, row, text, selected);
  QColor textColour = palette().color(QPalette::WindowText);
  QColor brush = Qt::white;
  if (selected) {
    brush = kSelectedBrush;
    textColour = palette().color(QPalette::HighlightedText);
  }
  canvas.fillRect(rect, brush);
  if (col == 0) {
    if (SysImages != nullptr && SysImages->HasIconList())
      SysImages->DrawIcon(canvas, GetIconIndex(row), QPoint(L, T));
  } else {
    // A text wider than its cell ends in "…" instead of being cut off
    // silently; the tool tip shows the whole name and folder.
    const QString full = EngineText(text);
    const int room = std::max(0, R - L - kTextPadding);
    const QString shown = canvas.fontMetrics().horizontalAdvance(full) > room
                              ? canvas.fontMetrics().elidedText(full, Qt::ElideRight, room)
                              : full;
    const int x = (col < kColCount && ColRightAlign[col])
                      ? R - canvas.fontMetrics().horizontalAdvance(shown) - 3
                      : L + 2;
    canvas.setPen(textColour);
    canvas.drawText(QRect(x, T, std::max(R - x, 1), B - T), kTextFlags, shown);
  }

  // The cursor row: one blue frame around the whole row.
  if (row == DrawGrid1->Row()) {
    canvas.setPen(QPen(kCursorFrame, 1, Qt::SolidLine));
    canvas.drawLine(L, T, R - 1, T);
    canvas.drawLine(L, B - 1, R - 1, B - 1);
    if (col == 0) canvas.drawLine(L, T, L, B - 1);
    if (col == kColCount - 1) canvas.drawLine(R - 1, T, R - 1, B - 1);
  }
}

}  // namespace vantelo::ui
