// Painting the entry grid: DrawGrid1DrawCell, GetCellText, GetIconIndex, and the
// grid's data source over the same texts. Every colour comes from the grid's
// palette (base and alternate base, text, highlight, button for the title
// row), so light, dark and high-contrast themes all read.
#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "format/display_format.h"
#include "ui/main_window.h"
#include "ui/shell_services.h"
#include "ui/widgets/draw_grid.h"

namespace vantelo::ui {

namespace {
constexpr int kTextPadding = 5;  // 2 pixels before a text, 3 after a right-aligned one
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
constexpr int kSortMarkWidth = 7;  // the title's triangle that shows the sort order
constexpr int kSortMarkRoom = kSortMarkWidth + 8;

// The sort order's mark at the right of a title cell: a triangle pointing up
// for ascending, down for descending.
void DrawSortMark(QPainter& canvas, const QRect& cell, bool descending, const QColor& colour) {
  const int x = cell.right() - 4 - kSortMarkWidth;
  const int y = cell.top() + (cell.height() - 4) / 2;
  QPolygon mark;
  if (descending) mark << QPoint(x, y) << QPoint(x + kSortMarkWidth - 1, y) << QPoint(x + 3, y + 3);
  else mark << QPoint(x + 3, y) << QPoint(x + kSortMarkWidth - 1, y + 3) << QPoint(x, y + 3);
  canvas.save();
  canvas.setPen(colour);
  canvas.setBrush(colour);
  canvas.drawPolygon(mark);
  canvas.restore();
}
}  // namespace

void TForm1::GetCellText(int col, int row, std::string& text, bool& selected) {
  const std::int32_t index = EntryOfRow(row);
  text.clear();
  selected = false;
  if (index < 0) return;  // no entry behind the row
  selected = GetEntrySelected(index);
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
  if (EntryOfRow(row) < 0) return {};
  if (col == 0) return FileTypeText(row);  // the icon, in words
  std::string text;
  bool selected = false;
  GetCellText(col, row, text, selected);
  return EngineText(text);
}

bool TForm1::RowIsSelected(int row) {
  const std::int32_t index = EntryOfRow(row);
  return index >= 0 && GetEntrySelected(index);
}

QString TForm1::FileTypeText(int row) {
  const std::int32_t index = EntryOfRow(row);
  if (index < 0) return QString();
  const std::string name = GetEntryName(index);
  const bool folder = name == kFolderName;
  if (SysImages == nullptr) return folder ? QStringLiteral("Folder") : QStringLiteral("File");
  return SysImages->TypeTitle(name, folder);
}

int TForm1::ColumnFitWidth(int col) {
  if (col < 0 || col >= kColCount) return 0;
  QFont bold = DrawGrid1->font();
  bold.setBold(true);
  // The title, with room for the sort order's mark.
  int width = 2 + QFontMetrics(bold).horizontalAdvance(QString::fromLatin1(ColTitles[col])) +
              kSortMarkRoom;
  if (col == 0) return std::max(width, ShellServices::IconSize + 4);
  // Measuring text is what costs. Each text gets a cheap estimate first: the
  // sum of its ASCII letters' advances, and the font's widest advance for
  // every other character. Texts are then measured from the largest estimate
  // down, until no estimate left could beat the widest text measured.
  // (Kerning mostly brings letters closer, so a text seldom exceeds its
  // estimate, and then by a pixel.) A cap keeps a pathological archive from
  // measuring everything.
  constexpr std::size_t kMeasuredAtMost = 5000;
  const QFontMetrics fm(DrawGrid1->font());
  int ascii[128];
  for (int c = 0; c < 128; ++c) ascii[c] = fm.horizontalAdvance(QLatin1Char(static_cast<char>(c)));
  const int widest = std::max(1, fm.maxWidth());
  auto estimate = [&](const std::string& t) {
    long long sum = 0;
    for (unsigned char c : t) {
      if (c < 0x80) sum += ascii[c];
      else if ((c & 0xC0) != 0x80) sum += widest;  // a character's first byte
    }
    return sum;
  };
  std::vector<std::pair<long long, int>> estimates;  // (pixels, row)
  estimates.reserve(static_cast<std::size_t>(std::max(0, DrawGrid1->RowCount() - 1)));
  std::string text;
  bool selected = false;
  for (int row = 1; row < DrawGrid1->RowCount(); ++row) {
    GetCellText(col, row, text, selected);
    estimates.emplace_back(estimate(text), row);
  }
  const auto larger = [](const auto& a, const auto& b) { return a.first > b.first; };
  const std::size_t measured = std::min(kMeasuredAtMost, estimates.size());
  std::partial_sort(estimates.begin(), estimates.begin() + static_cast<std::ptrdiff_t>(measured),
                    estimates.end(), larger);
  for (std::size_t k = 0; k < measured; ++k) {
    if (estimates[k].first + kTextPadding + 1 <= width) break;
    GetCellText(col, estimates[k].second, text, selected);
    width = std::max(width, fm.horizontalAdvance(EngineText(text)) + kTextPadding + 1);
  }
  return width;
}

QString TForm1::CellHint(int /*col*/, int row) {
  const std::int32_t index = EntryOfRow(row);
  if (index < 0) return QString();
  const QString name = EngineText(GetEntryName(index));
  const QString folder = EngineText(GetEntryFolder(index));
  return folder.isEmpty() ? name : name + QStringLiteral("\n") + folder;
}

std::int32_t TForm1::GetIconIndex(int row) {
  const std::int32_t index = EntryOfRow(row);
  if (index < 0) return 0;
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
  const QPalette& colours = DrawGrid1->palette();
  // 1. The window's font.
  QFont f = font();
  canvas.setFont(f);

  // 2. The title row: bold button text on the button colour, boxed in the
  // same text colour; the sort column's title shows the order.
  if (row == 0) {
    const QColor ink = colours.color(QPalette::ButtonText);
    f.setBold(true);
    canvas.setFont(f);
    canvas.setPen(QPen(ink, 1, Qt::SolidLine));
    canvas.setBrush(colours.color(QPalette::Button));
    canvas.drawRect(QRect(L, T, R - L - 1, B - T - 1));
    if (col >= 0 && col < kColCount)
      canvas.drawText(QRect(L + 2, T + 1, R - L, B - T), kTextFlags, QString::fromLatin1(ColTitles[col]));
    if (col == Rows.SortColumn()) DrawSortMark(canvas, rect, Rows.Descending(), ink);
    return;
  }

  // 3. A data row: every other one on the alternate base, so that wide rows
  // are easy to follow. A row whose entry is gone (never asked of the engine)
  // stays blank.
  const QColor base = colours.color(row % 2 == 1 ? QPalette::Base : QPalette::AlternateBase);
  if (EntryOfRow(row) < 0) {
    canvas.fillRect(rect, base);
    return;
  }
  std::string text;
  bool selected = false;
  GetCellText(col, row, text, selected);
  QColor textColour = colours.color(QPalette::Text);
  QColor brush = base;
  if (selected) {
    brush = colours.color(QPalette::Highlight);
    textColour = colours.color(QPalette::HighlightedText);
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

  // The cursor row: one frame in the highlight colour around the whole row.
  if (row == DrawGrid1->Row()) {
    canvas.setPen(QPen(colours.color(QPalette::Highlight), 1, Qt::SolidLine));
    canvas.drawLine(L, T, R - 1, T);
    canvas.drawLine(L, B - 1, R - 1, B - 1);
    if (col == 0) canvas.drawLine(L, T, L, B - 1);
    if (col == kColCount - 1) canvas.drawLine(R - 1, T, R - 1, B - 1);
  }
}

}  // namespace vantelo::ui
