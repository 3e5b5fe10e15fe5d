#include "ui/widgets/draw_grid.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QHelpEvent>

#include <algorithm>

#include "ui/untrusted_text.h"
#include "ui/widgets/draw_grid_accessible.h"

namespace vantelo::ui {

namespace {
constexpr int kSizingZone = 3;    // pixels on either side of a title-row border
constexpr int kMinColWidth = 4;   // a dragged column keeps at least this width
constexpr int kDragScrollMs = 60;  // scrolling pace while a drag is held beyond an edge
}  // namespace

int ToVirtualKey(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Backspace: return kVkBack;
    case Qt::Key_Tab: return kVkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kVkReturn;
    case Qt::Key_Shift: return kVkShift;
    case Qt::Key_Control: return kVkControl;
    case Qt::Key_Alt: return kVkMenu;
    case Qt::Key_Escape: return kVkEscape;
    case Qt::Key_Space: return kVkSpace;
    case Qt::Key_PageUp: return kVkPrior;
    case Qt::Key_PageDown: return kVkNext;
    case Qt::Key_End: return kVkEnd;
    case Qt::Key_Home: return kVkHome;
    case Qt::Key_Left: return kVkLeft;
    case Qt::Key_Up: return kVkUp;
    case Qt::Key_Right: return kVkRight;
    case Qt::Key_Down: return kVkDown;
    case Qt::Key_Insert: return kVkInsert;
    case Qt::Key_Delete: return kVkDelete;
    default: break;
  }
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return 112 + (qtKey - Qt::Key_F1);
  return kVkNone;
}

DrawGrid::DrawGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  InstallDrawGridAccessibility();
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  dragTimer_.setInterval(kDragScrollMs);
  connect(&dragTimer_, &QTimer::timeout, this, [this] {
    if (!selecting_ || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
      dragTimer_.stop();
      selecting_ = false;
      return;
    }
    DragTo(lastDragPos_);
  });
  columns_.SetCount(5, defaultColWidth_);
  rowHeights_.assign(5, defaultRowHeight_);
  fixedRows_ = 1;
  col_ = anchorCol_ = leftCol_ = 0;
  row_ = anchorRow_ = topRow_ = 1;
  UpdateScrollBars();
}

DrawGrid::~DrawGrid() = default;

// ---- size and geometry -----------------------------------------------------

void DrawGrid::SetColCount(int count) {
  count = std::max(1, count);
  columns_.SetCount(count, defaultColWidth_);
  columns_.Fit(viewport()->width());
  if (col_ >= count) col_ = count - 1;
  if (anchorCol_ >= count) anchorCol_ = count - 1;
  if (leftCol_ >= count) leftCol_ = count - 1;
  UpdateScrollBars();
  viewport()->update();
}

void DrawGrid::SetRowCount(int count) {
  count = std::max(1, count);
  if (count <= fixedRows_) fixedRows_ = count - 1;
  rowHeights_.resize(static_cast<std::size_t>(count), defaultRowHeight_);
  if (row_ >= count) row_ = count - 1;
  if (anchorRow_ >= count) anchorRow_ = count - 1;
  if (row_ < fixedRows_) row_ = fixedRows_;
  if (anchorRow_ < fixedRows_) anchorRow_ = fixedRows_;
  topRow_ = std::clamp(topRow_, fixedRows_, count - 1);
  UpdateScrollBars();
  viewport()->update();
}

bool DrawGrid::SetFixedRows(int count) {
  if (count < 0 || count >= RowCount()) return false;
  fixedRows_ = count;
  col_ = anchorCol_ = leftCol_ = 0;
  row_ = anchorRow_ = topRow_ = count;
  UpdateScrollBars();
  viewport()->update();
  return true;
}

void DrawGrid::SetDefaultRowHeight(int height) {
  defaultRowHeight_ = std::max(0, height);
  std::fill(rowHeights_.begin(), rowHeights_.end(), defaultRowHeight_);
  UpdateScrollBars();
  viewport()->update();
}

int DrawGrid::RowHeight(int row) const {
  if (row < 0 || row >= RowCount()) return defaultRowHeight_;
  return rowHeights_[static_cast<std::size_t>(row)];
}

void DrawGrid::SetRowHeight(int row, int height) {
  if (row < 0 || row >= RowCount()) return;
  rowHeights_[static_cast<std::size_t>(row)] = std::max(0, height);
  UpdateScrollBars();
  viewport()->update();
}

int DrawGrid::ColWidth(int col) const {
  if (col < 0 || col >= ColCount()) return defaultColWidth_;
  return columns_.Width(col);
}

int DrawGrid::ShownColWidth(int col) const {
  if (col < 0 || col >= ColCount()) return defaultColWidth_;
  return columns_.Shown(col);
}

void DrawGrid::SetStretchCols(const std::vector<int>& cols) {
  columns_.SetStretch(cols, viewport()->width());
  UpdateScrollBars();
  viewport()->update();
}

void DrawGrid::SetColWidth(int col, int width) {
  if (col < 0 || col >= ColCount()) return;
  columns_.SetWidth(col, width, viewport()->width());
  UpdateScrollBars();
  viewport()->update();
}

void DrawGrid::ResizeColumn(int col, int shownWidth) {
  if (col < 0 || col >= ColCount()) return;
  columns_.Resize(col, std::max(kMinColWidth, shownWidth));
  UpdateScrollBars();
  viewport()->update();
  emit ColumnResized(col, ColWidth(col));
}

int DrawGrid::FixedHeight() const {
  int h = 0;
  for (int r = 0; r < fixedRows_; ++r) h += RowHeight(r);
  return h;
}

int DrawGrid::MaxTopRow() const {
  const int avail = viewport()->height() - FixedHeight();
  int top = RowCount() - 1;
  int used = RowHeight(top);
  while (top - 1 >= fixedRows_ && used + RowHeight(top - 1) <= avail) {
    --top;
    used += RowHeight(top);
  }
  return std::max(top, fixedRows_);
}

int DrawGrid::MaxLeftCol() const {
  const int avail = viewport()->width();
  int left = ColCount() - 1;
  int used = ShownColWidth(left);
  while (left - 1 >= 0 && used + ShownColWidth(left - 1) <= avail) {
    --left;
    used += ShownColWidth(left);
  }
  return std::max(left, 0);
}

int DrawGrid::VisibleColCount() const {
  const int avail = viewport()->width();
  int x = 0, n = 0;
  for (int c = leftCol_; c < ColCount(); ++c) {
    x += ShownColWidth(c);
    if (x > avail) break;
    ++n;
  }
  return std::max(n, 1);
}

int DrawGrid::VisibleRowCount() const {
  if (RowCount() <= fixedRows_) return 0;
  const int avail = viewport()->height();
  int y = FixedHeight(), n = 0;
  for (int r = topRow_; r < RowCount(); ++r) {
    y += RowHeight(r);
    if (y > avail) break;
    ++n;
  }
  return std::max(n, 1);
}

QRect DrawGrid::CellRect(int col, int row) const {
  if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return {};
  if (col < leftCol_) return {};
  if (row >= fixedRows_ && row < topRow_) return {};
  const int width = viewport()->width(), height = viewport()->height();
  int x = 0;
  for (int c = leftCol_; c < col && x < width; ++c) x += ShownColWidth(c);
  int y = 0;
  if (row < fixedRows_) {
    for (int r = 0; r < row; ++r) y += RowHeight(r);
  } else {
    // Stops at the bottom edge: a row far below costs no more than one in view.
    y = FixedHeight();
    for (int r = topRow_; r < row && y < height; ++r) y += RowHeight(r);
  }
  if (x >= width || y >= height) return {};
  return QRect(x, y, ShownColWidth(col), RowHeight(row));
}

QRect DrawGrid::ClientRect() const { return viewport()->rect(); }

bool DrawGrid::MouseToCell(const QPoint& point, int& col, int& row) const {
  col = row = -1;
  if (point.x() < 0 || point.y() < 0) return false;
  int x = 0;
  for (int c = leftCol_; c < ColCount(); ++c) {
    if (point.x() < x + ShownColWidth(c)) {
      col = c;
      break;
    }
    x += ShownColWidth(c);
  }
  int y = 0;
  for (int r = 0; r < fixedRows_ && row < 0; ++r) {
    if (point.y() < y + RowHeight(r)) row = r;
    y += RowHeight(r);
  }
  for (int r = topRow_; r < RowCount() && row < 0 && y <= point.y(); ++r) {
    if (point.y() < y + RowHeight(r)) row = r;
    y += RowHeight(r);
  }
  if (col < 0 || row < 0) {
    col = row = -1;
    return false;
  }
  return true;
}

// ---- data source -------------------------------------------------------------------

QString DrawGrid::CellText(int col, int row) const {
  if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount() || !OnGetCellText) return {};
  return OnGetCellText(col, row);
}

bool DrawGrid::RowSelected(int row) const {
  if (row < 0 || row >= RowCount() || !OnGetRowSelected) return false;
  return OnGetRowSelected(row);
}

void DrawGrid::NotifySelectionChanged(int col, int row) { NotifyGridSelection(this, col, row); }

void DrawGrid::NotifyContentsReplaced() { NotifyGridContents(this); }

QString DrawGrid::CellDescription(int col, int row) const {
  if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount()) return {};
  if (col == col_ && row == row_ && !announcement_.isEmpty()) return announcement_;
  return OnGetCellDescription ? OnGetCellDescription(col, row) : QString();
}

void DrawGrid::Announce(const QString& text) {
  if (!hasFocus()) return;
  announcement_ = text;
  NotifyGridAnnouncement(this);
}

// ---- cursor --------------------------------------------------------------------

bool DrawGrid::SetCol(int col) {
  if (col == col_) return true;
  return MoveCurrent(col, row_, false);
}

bool DrawGrid::SetRow(int row) {
  if (row == row_) return true;
  return MoveCurrent(col_, row, false);
}

bool DrawGrid::MoveCurrent(int col, int row, bool sameCellRaisesEvent) {
  if (col < 0 || col >= ColCount() || row < fixedRows_ || row >= RowCount()) return false;
  if (col == col_ && row == row_ && !sameCellRaisesEvent) return true;
  bool canSelect = true;
  if (OnSelectCell) OnSelectCell(col, row, canSelect);
  if (!canSelect) return false;
  const int oldCol = col_, oldRow = row_;
  col_ = anchorCol_ = col;
  row_ = anchorRow_ = row;
  announcement_.clear();
  ClampInView();
  InvalidateCell(oldCol, oldRow);
  InvalidateCell(col_, row_);
  NotifyGridCursor(this);
  return true;
}

bool DrawGrid::ResetCursor(int col, int row) {
  if (col < 0 || col >= ColCount() || row < fixedRows_ || row >= RowCount()) return false;
  col_ = anchorCol_ = col;
  row_ = anchorRow_ = row;
  announcement_.clear();
  ClampInView();
  viewport()->update();
  NotifyGridCursor(this);
  return true;
}

void DrawGrid::ClampInView() {
  // The smallest top row (not above the current one) that still shows the
  // cursor row in full, found by walking up from the cursor: the cost is the
  // rows in view, never the rows jumped over.
  int top = topRow_;
  if (row_ >= fixedRows_) {
    if (row_ < top) {
      top = row_;
    } else {
      const int avail = viewport()->height() - FixedHeight();
      int t = row_;
      int used = RowHeight(row_);
      while (t - 1 >= top && used + RowHeight(t - 1) <= avail) {
        --t;
        used += RowHeight(t);
      }
      top = t;
    }
  }
  int left = leftCol_;
  if (col_ < left) {
    left = col_;
  } else {
    const int availW = viewport()->width();
    int c = col_;
    int used = ShownColWidth(col_);
    while (c - 1 >= left && used + ShownColWidth(c - 1) <= availW) {
      --c;
      used += ShownColWidth(c);
    }
    left = c;
  }
  if (top != topRow_ || left != leftCol_) {
    topRow_ = top;
    leftCol_ = left;
    UpdateScrollBars();
    viewport()->update();
  }
}

// ---- scrolling -------------------------------------------------------------------

void DrawGrid::SetLeftCol(int col) {
  col = std::clamp(col, 0, MaxLeftCol());
  if (col == leftCol_) return;
  leftCol_ = col;
  UpdateScrollBars();
  viewport()->update();
}

void DrawGrid::SetTopRow(int row) {
  row = std::clamp(row, fixedRows_, std::max(fixedRows_, MaxTopRow()));
  if (row == topRow_) return;
  topRow_ = row;
  UpdateScrollBars();
  viewport()->update();
}

void DrawGrid::UpdateScrollBars() {
  updatingScrollBars_ = true;
  QScrollBar* v = verticalScrollBar();
  const int maxTop = MaxTopRow();
  v->setRange(0, std::max(0, maxTop - fixedRows_));
  v->setPageStep(std::max(1, VisibleRowCount()));
  v->setSingleStep(1);
  v->setValue(topRow_ - fixedRows_);
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, MaxLeftCol());
  h->setPageStep(std::max(1, VisibleColCount()));
  h->setSingleStep(1);
  h->setValue(leftCol_);
  updatingScrollBars_ = false;
}

void DrawGrid::scrollContentsBy(int, int) {
  if (updatingScrollBars_) return;
  topRow_ = fixedRows_ + verticalScrollBar()->value();
  leftCol_ = horizontalScrollBar()->value();
  viewport()->update();
}

void DrawGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  // A larger view may show everything from an earlier top-left cell.
  topRow_ = std::clamp(topRow_, fixedRows_, std::max(fixedRows_, MaxTopRow()));
  leftCol_ = std::clamp(leftCol_, 0, MaxLeftCol());
  UpdateScrollBars();
}

QSize DrawGrid::sizeHint() const { return QSize(400, 200); }

// ---- painting ----------------------------------------------------------------------

void DrawGrid::InvalidateRect(const QRect& rect) { viewport()->update(rect); }

void DrawGrid::InvalidateCell(int col, int row) {
  const QRect r = CellRect(col, row);
  if (!r.isEmpty()) viewport()->update(r);
}

void DrawGrid::Repaint() { viewport()->repaint(); }

bool DrawGrid::viewportEvent(QEvent* event) {
  // A wider or narrower view (the window, or a scroll bar coming or going):
  // the stretching columns take or give back the room.
  if (event->type() == QEvent::Resize) columns_.Fit(viewport()->width());
  if (event->type() != QEvent::ToolTip) return QAbstractScrollArea::viewportEvent(event);
  auto* help = static_cast<QHelpEvent*>(event);
  int col, row;
  QString text;
  if (OnCellHint && MouseToCell(help->pos(), col, row) && row >= fixedRows_)
    text = OnCellHint(col, row);
  if (text.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    // Shown for this cell only: moving to the next cell asks again.
    QToolTip::showText(help->globalPos(), UntrustedToolTip(text), viewport(), CellRect(col, row));
  }
  return true;
}

void DrawGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect dirty = event->rect();
  // Beyond the last cell the grid shows its background.
  painter.fillRect(dirty, palette().color(QPalette::Base));
  const int width = viewport()->width();
  const int height = viewport()->height();
  auto paintRow = [&](int row, int y) {
    int x = 0;
    for (int c = leftCol_; c < ColCount() && x < width; ++c) {
      const QRect cell(x, y, ShownColWidth(c), RowHeight(row));
      x += ShownColWidth(c);
      if (cell.isEmpty() || !cell.intersects(dirty) || !OnDrawCell) continue;
      painter.save();
      painter.setClipRect(cell);
      painter.setFont(font());
      OnDrawCell(painter, c, row, cell);
      painter.restore();
    }
  };
  int y = 0;
  for (int r = 0; r < fixedRows_ && y < height; ++r) {
    paintRow(r, y);
    y += RowHeight(r);
  }
  for (int r = topRow_; r < RowCount() && y < height; ++r) {
    paintRow(r, y);
    y += RowHeight(r);
  }
}

// ---- mouse ------------------------------------------------------------------------

int DrawGrid::ColumnBorderAt(const QPoint& point) const {
  // Borders are live in the title row only.
  const QRect title = CellRect(leftCol_, 0);
  if (title.isEmpty() || point.y() < title.top() || point.y() > title.bottom()) return -1;
  int x = 0;
  for (int c = leftCol_; c < ColCount(); ++c) {
    x += ShownColWidth(c);
    if (std::abs(point.x() - x) <= kSizingZone) {
      // Prefer the column to the left, unless it is too narrow to grab safely.
      return c;
    }
    if (x > point.x() + kSizingZone) break;
  }
  return -1;
}

void DrawGrid::mousePressEvent(QMouseEvent* event) {
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  const int border = ColumnBorderAt(p);
  if (border >= 0) {
    sizingCol_ = border;
    sizingStartX_ = p.x();
    sizingStartWidth_ = ShownColWidth(border);
    return;
  }
  int col, row;
  if (!MouseToCell(p, col, row)) return;
  if (row < fixedRows_) {
    titlePressCol_ = col;
    return;
  }
  if (OnStartDrag && RowSelected(row)) {
    // Maybe the start of a drag-out: the selection must stay as it is until
    // the mouse says which.
    dragPending_ = true;
    pressPos_ = p;
    pressCol_ = col;
    pressRow_ = row;
    return;
  }
  selecting_ = true;
  MoveCurrent(col, row, true);
}


void DrawGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (dragPending_) {
    if ((event->buttons() & Qt::LeftButton) &&
        (p - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
      dragPending_ = false;
      OnStartDrag();
    }
    return;
  }
  if (sizingCol_ >= 0) {
    const int width = std::max(kMinColWidth, sizingStartWidth_ + p.x() - sizingStartX_);
    if (width != ShownColWidth(sizingCol_)) ResizeColumn(sizingCol_, width);
    return;
  }
  if (selecting_ && (event->buttons() & Qt::LeftButton)) {
    DragTo(p);
    // Held beyond the top or bottom edge: keep scrolling until the mouse comes back.
    const bool outside = p.y() < FixedHeight() || p.y() >= viewport()->height();
    if (outside && !dragTimer_.isActive()) dragTimer_.start();
    if (!outside) dragTimer_.stop();
    return;
  }
  viewport()->setCursor(ColumnBorderAt(p) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void DrawGrid::DragTo(const QPoint& p) {
  lastDragPos_ = p;
  const int fixedH = FixedHeight();
  const QRect client = viewport()->rect();
  // The cell under the point, clamped into the scrollable area: past the last
  // row or column means the last one.
  const QPoint q(std::clamp(p.x(), 0, std::max(0, client.width() - 1)),
                 std::clamp(p.y(), fixedH, std::max(fixedH, client.height() - 1)));
  int col = ColCount() - 1, row = RowCount() - 1;
  for (int c = leftCol_, x = 0; c < ColCount(); x += ShownColWidth(c), ++c)
    if (q.x() < x + ShownColWidth(c)) {
      col = c;
      break;
    }
  for (int r = topRow_, y = fixedH; r < RowCount(); y += RowHeight(r), ++r)
    if (q.y() < y + RowHeight(r)) {
      row = r;
      break;
    }
  // Beyond an edge: the first row or column not fully shown on that side, which
  // the move scrolls into view.
  if (p.y() >= client.height()) row = std::min(RowCount() - 1, topRow_ + VisibleRowCount());
  if (p.y() < fixedH) row = std::max(fixedRows_, topRow_ - 1);
  if (p.x() >= client.width()) col = std::min(ColCount() - 1, leftCol_ + VisibleColCount());
  if (p.x() < 0) col = std::max(0, leftCol_ - 1);
  if (row < fixedRows_) return;
  if (col != col_ || row != row_) MoveCurrent(col, row, false);
}

void DrawGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (titlePressCol_ >= 0) {
    // Released on the title cell it was pressed on: a click on that title.
    const int pressed = titlePressCol_;
    titlePressCol_ = -1;
    int col, row;
    if (MouseToCell(event->position().toPoint(), col, row) && row < fixedRows_ && col == pressed &&
        OnTitleClick)
      OnTitleClick(col);
    return;
  }
  sizingCol_ = -1;
  selecting_ = false;
  dragTimer_.stop();
  if (dragPending_) {
    // No drag after all: the click takes effect now.
    dragPending_ = false;
    if (pressRow_ < RowCount() && pressCol_ < ColCount()) MoveCurrent(pressCol_, pressRow_, true);
  }
}

void DrawGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  if (const int border = ColumnBorderAt(p); border >= 0) {
    // The border's column fits its widest text.
    sizingCol_ = -1;
    const int width = OnGetColumnFitWidth ? OnGetColumnFitWidth(border) : 0;
    if (width > 0) ResizeColumn(border, width);
    return;
  }
  int col, row;
  // A double click on the title row is not a double click on an entry.
  if (MouseToCell(p, col, row) && row < fixedRows_) return;
  if (OnDblClick) OnDblClick();
}

// ---- keyboard ----------------------------------------------------------------------

void DrawGrid::keyPressEvent(QKeyEvent* event) {
  int key = ToVirtualKey(event->key());
  if (key == kVkTab || key == kVkEscape || (key == kVkNone && event->text().isEmpty())) {
    event->ignore();
    return;
  }
  if (key == kVkShift) shiftHeld_ = true;
  if (key == kVkControl) controlHeld_ = true;
  if (OnKeyDown) OnKeyDown(key, event->modifiers());
  if (key != kVkNone) DefaultKeyHandling(key, event->modifiers());
  const QString text = event->text();
  const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (OnKeyPress && !command && !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace())
    OnKeyPress(text);
  event->accept();
}

void DrawGrid::keyReleaseEvent(QKeyEvent* event) {
  if (event->isAutoRepeat()) return;  // Windows sends one key-up, at the real release
  int key = ToVirtualKey(event->key());
  if (key == kVkNone) {
    event->ignore();
    return;
  }
  if (key == kVkShift) shiftHeld_ = false;
  if (key == kVkControl) controlHeld_ = false;
  if (OnKeyUp) OnKeyUp(key, event->modifiers());
  event->accept();
}

void DrawGrid::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  // A reader names the cell the cursor is on: told after Qt's own focus
  // event for the grid, which would otherwise have the last word.
  QTimer::singleShot(0, this, [this] { NotifyGridCursor(this); });
}

void DrawGrid::focusOutEvent(QFocusEvent* event) {
  // A shortcut's dialog or Tab took the focus while Shift or Ctrl was down:
  // this grid would never see the release.
  for (int held : {kVkShift, kVkControl}) {
    bool& flag = held == kVkShift ? shiftHeld_ : controlHeld_;
    if (!flag) continue;
    flag = false;
    int key = held;
    if (OnKeyUp) OnKeyUp(key, Qt::NoModifier);
  }
  QAbstractScrollArea::focusOutEvent(event);
}

void DrawGrid::DefaultKeyHandling(int key, Qt::KeyboardModifiers modifiers) {
  const bool ctrl = modifiers & Qt::ControlModifier;
  switch (key) {
    case kVkUp:
      if (row_ - 1 >= fixedRows_) SetRow(row_ - 1);
      break;
    case kVkDown:
      if (row_ + 1 < RowCount()) SetRow(row_ + 1);
      break;
    case kVkLeft:
      if (col_ > 0) SetCol(col_ - 1);
      break;
    case kVkRight:
      if (col_ + 1 < ColCount()) SetCol(col_ + 1);
      break;
    case kVkPrior:
      SetRow(std::max(fixedRows_, row_ - VisibleRowCount()));
      break;
    case kVkNext:
      SetRow(std::min(RowCount() - 1, row_ + VisibleRowCount()));
      break;
    case kVkHome:
      if (ctrl) SetRow(fixedRows_);
      else SetCol(0);
      break;
    case kVkEnd:
      if (ctrl) SetRow(RowCount() - 1);
      else SetCol(ColCount() - 1);
      break;
    default:
      break;
  }
}

}  // namespace vantelo::ui
