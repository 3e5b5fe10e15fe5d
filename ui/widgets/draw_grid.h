// DrawGrid: the owner-drawn entry grid, on QAbstractScrollArea.
//
// It paints nothing itself: every visible cell goes to OnDrawCell. Beside it,
// the data source (OnGetCellText, OnGetRowSelected) tells what a cell shows and
// whether a row is selected, for readers of the grid other than the painting
// (tool tips, assistive technologies). It keeps the
// cursor cell (Col, Row), the anchor, the top-left scrollable cell (LeftCol,
// TopRow), fixed (title) rows at the top, no fixed columns, per-row heights and
// per-column widths (column_layout.h: stretching columns share the room of a
// wider view). Columns can be resized by dragging their borders in the title
// row (row 0); a double click on a border fits the column to its contents
// (OnGetColumnFitWidth). A click on a title cell raises OnTitleClick.
// Scrolling is by whole rows and columns.
//
// Every cursor move goes through OnSelectCell first (in-out CanSelect): a mouse
// press on a scrollable cell (also the cell the cursor is on), entering another
// cell while dragging with the button held, and every change of Col or Row to a
// new value. A move outside the grid is refused (SetCol/SetRow return false) and
// raises no event. Key events carry Windows virtual-key numbers (ToVirtualKey);
// a handler that sets the key to 0 stops the grid's own key handling.
//
// Assistive technologies read the grid as a table (draw_grid_accessible.h):
// cursor moves and the focus are sent to them here; whoever changes the rows'
// selected states or replaces the data says so with NotifySelectionChanged and
// NotifyContentsReplaced.
#pragma once

#include <QAbstractScrollArea>
#include <QRect>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

#include "ui/widgets/column_layout.h"

class QPainter;

namespace vantelo::ui {

// Windows virtual-key numbers, in which the selection rules are written. Named
// kVk... rather than VK_..., which <windows.h> defines as macros.
enum VirtualKey : int {
  kVkNone = 0,
  kVkBack = 8,
  kVkTab = 9,
  kVkReturn = 13,
  kVkShift = 16,
  kVkControl = 17,
  kVkMenu = 18,
  kVkEscape = 27,
  kVkSpace = 32,
  kVkPrior = 33,  // Page Up
  kVkNext = 34,   // Page Down
  kVkEnd = 35,
  kVkHome = 36,
  kVkLeft = 37,
  kVkUp = 38,
  kVkRight = 39,
  kVkDown = 40,
  kVkInsert = 45,
  kVkDelete = 46,
};

// Maps a Qt key to its Windows virtual-key number: the table above, letters and
// digits as their upper-case ASCII codes, F1..F12 as 112..123; 0 for the rest.
int ToVirtualKey(int qtKey);

class DrawGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  using SelectCellEvent = std::function<void(int col, int row, bool& canSelect)>;
  using DrawCellEvent = std::function<void(QPainter& canvas, int col, int row, const QRect& rect)>;
  using KeyEvent = std::function<void(int& key, Qt::KeyboardModifiers shift)>;
  using NotifyEvent = std::function<void()>;
  using CellTextEvent = std::function<QString(int col, int row)>;
  using RowSelectedEvent = std::function<bool(int row)>;

  explicit DrawGrid(QWidget* parent = nullptr);
  ~DrawGrid() override;

  // Events (the window's handlers are attached here).
  SelectCellEvent OnSelectCell;
  DrawCellEvent OnDrawCell;
  KeyEvent OnKeyDown;
  KeyEvent OnKeyUp;
  NotifyEvent OnDblClick;
  // A press on a selected row followed by a move of the drag distance: the
  // rows are being dragged out of the grid. The press's select event is then
  // never raised; a press released without that move raises it at the release.
  NotifyEvent OnStartDrag;
  // Printable text typed without Ctrl or Alt (after OnKeyDown), for finding a
  // row by name; Space is left to the key events.
  std::function<void(const QString& text)> OnKeyPress;
  // The tool tip of a cell (empty: none).
  std::function<QString(int col, int row)> OnCellHint;
  // A click (press and release) on a cell of a fixed row, not on a border.
  std::function<void(int col)> OnTitleClick;
  // The width that shows every text of a column in full (a double click on
  // its border in the title row); 0 or less: the column stays as it is.
  std::function<int(int col)> OnGetColumnFitWidth;

  // Data source: the text a cell shows (as painted, whole) and the selected
  // state of a row. Cells outside the grid, or without a handler, read as ""
  // and not selected.
  CellTextEvent OnGetCellText;
  RowSelectedEvent OnGetRowSelected;
  // More about a cell for readers (a title's sort order); may be empty.
  CellTextEvent OnGetCellDescription;
  QString CellText(int col, int row) const;
  bool RowSelected(int row) const;
  // The description of a cell: the cursor cell's carries the last
  // announcement (until the cursor moves), the others OnGetCellDescription.
  QString CellDescription(int col, int row) const;

  // Size and geometry.
  int ColCount() const { return columns_.Count(); }
  void SetColCount(int count);
  int RowCount() const { return static_cast<int>(rowHeights_.size()); }
  void SetRowCount(int count);
  int FixedRows() const { return fixedRows_; }
  // Resets cursor, anchor and top-left cell to column 0 of the first non-fixed
  // row, without a select event. Refused (false) unless 0 <= count < RowCount.
  bool SetFixedRows(int count);
  int DefaultRowHeight() const { return defaultRowHeight_; }
  // Sets the default and gives it to every row.
  void SetDefaultRowHeight(int height);
  int RowHeight(int row) const;
  void SetRowHeight(int row, int height);
  int ColWidth(int col) const;
  void SetColWidth(int col, int width);
  // When every column fits, these columns share the room up to the right
  // edge (ColWidth keeps the width each was given; ShownColWidth adds the share).
  void SetStretchCols(const std::vector<int>& cols);
  int ShownColWidth(int col) const;
  // Sizes a column as a drag of its border would (the stretching columns to
  // its right make up the difference).
  void ResizeColumn(int col, int shownWidth);

  // Cursor and anchor.
  int Col() const { return col_; }
  int Row() const { return row_; }
  // Same value: nothing. New value: select event, then the move, scrolling the
  // cursor into view and repainting the old and new cell. False when refused
  // (outside the grid or in a fixed row) or when the handler said no.
  bool SetCol(int col);
  bool SetRow(int row);
  int AnchorCol() const { return anchorCol_; }
  int AnchorRow() const { return anchorRow_; }
  // Puts the cursor and anchor on a scrollable cell without a select event
  // (as SetFixedRows does), scrolled into view: the rows were rearranged and
  // the cursor stays with what it was on. False outside the scrollable cells.
  bool ResetCursor(int col, int row);

  // Scrolling.
  int LeftCol() const { return leftCol_; }
  void SetLeftCol(int col);
  int TopRow() const { return topRow_; }
  void SetTopRow(int row);
  // Scrollable columns/rows fully visible from LeftCol/TopRow.
  int VisibleColCount() const;
  int VisibleRowCount() const;

  // Accessibility events (nothing happens while no reader listens): rows
  // changed their selected states, by a change made at (col, row); the cells
  // show other data (another archive, or none).
  void NotifySelectionChanged(int col, int row);
  void NotifyContentsReplaced();
  // Tells readers `text` (the selection's count, say) through the focused
  // cell's description; nothing while the grid has no focus.
  void Announce(const QString& text);

  // Rectangle of a cell in client (viewport) coordinates; empty when the cell
  // is not visible.
  QRect CellRect(int col, int row) const;
  QRect ClientRect() const;
  // The widget that receives the painting (the grid's window).
  QWidget* Handle() const { return viewport(); }
  // Finds the cell under a client point; false outside every cell.
  bool MouseToCell(const QPoint& point, int& col, int& row) const;

  // Repaints a rectangle later (InvalidateRect) or the whole grid now.
  void InvalidateRect(const QRect& rect);
  void InvalidateCell(int col, int row);
  void Repaint();

  // True while a column border is being dragged.
  bool IsSizingColumn() const { return sizingCol_ >= 0; }

 signals:
  void ColumnResized(int col, int width);

 protected:
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  QSize sizeHint() const override;

 private:
  // Moves the cursor (and anchor) to a cell through the select event.
  bool MoveCurrent(int col, int row, bool sameCellRaisesEvent);
  void ClampInView();
  void UpdateScrollBars();
  int MaxTopRow() const;
  int MaxLeftCol() const;
  int FixedHeight() const;
  int ColumnBorderAt(const QPoint& point) const;  // column whose right border is near, or -1
  void DefaultKeyHandling(int key, Qt::KeyboardModifiers modifiers);
  // Moves the cursor to the cell under a dragging mouse (one step past an edge).
  void DragTo(const QPoint& point);

  ColumnLayout columns_;
  std::vector<int> rowHeights_;
  int defaultColWidth_ = 64;
  int defaultRowHeight_ = 24;
  int fixedRows_ = 0;
  QString announcement_;    // the cursor cell's description until the cursor moves
  int titlePressCol_ = -1;  // pressed on this title cell: a release there is a click
  int col_ = 0, row_ = 0;
  int anchorCol_ = 0, anchorRow_ = 0;
  int leftCol_ = 0, topRow_ = 0;
  bool updatingScrollBars_ = false;
  bool selecting_ = false;   // mouse button held after a press on a cell
  int sizingCol_ = -1;       // column being resized
  int sizingStartX_ = 0;
  int sizingStartWidth_ = 0;
  // Shift and Ctrl pressed here and not yet released: their release goes to
  // whichever widget has the focus then, so losing the focus counts as one.
  bool shiftHeld_ = false;
  bool controlHeld_ = false;
  bool dragPending_ = false;  // pressed on a selected row: a drag-out may start
  QPoint pressPos_;
  int pressCol_ = -1, pressRow_ = -1;
  QTimer dragTimer_;          // repeats DragTo while the mouse is held beyond an edge
  QPoint lastDragPos_;
};

}  // namespace vantelo::ui
