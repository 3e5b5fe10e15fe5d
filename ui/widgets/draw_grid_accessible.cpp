#include "ui/widgets/draw_grid_accessible.h"

#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <climits>

#include "ui/widgets/draw_grid.h"

namespace vantelo::ui {

namespace {

// One cell of the grid: a column header in row 0, a table cell below it. It
// holds only its position and reads everything else from the grid when asked.
class GridCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  GridCellAccessible(DrawGrid* grid, int col, int row) : grid_(grid), col_(col), row_(row) {}

  DrawGrid* Grid() const { return grid_.data(); }
  int Col() const { return col_; }
  int Row() const { return row_; }
  bool IsHeader() const { return row_ == 0; }

  bool isValid() const override {
    return grid_ && col_ < grid_->ColCount() && row_ < grid_->RowCount();
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return grid_ ? grid_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(grid_.data());
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }

  QString text(QAccessible::Text t) const override {
    if (!isValid()) return {};
    if (t == QAccessible::Name) return grid_->CellText(col_, row_);
    if (t == QAccessible::Description) return grid_->CellDescription(col_, row_);
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}

  QRect rect() const override {
    if (!isValid()) return {};
    const QRect r = grid_->CellRect(col_, row_);
    if (r.isEmpty()) return {};
    return QRect(grid_->Handle()->mapToGlobal(r.topLeft()), r.size());
  }

  QAccessible::Role role() const override {
    return IsHeader() ? QAccessible::ColumnHeader : QAccessible::Cell;
  }

  QAccessible::State state() const override {
    QAccessible::State st;
    if (!isValid()) {
      st.invalid = true;
      return st;
    }
    if (grid_->CellRect(col_, row_).isEmpty()) st.invisible = true;  // scrolled out of view
    if (IsHeader()) return st;
    st.selectable = true;
    st.focusable = true;
    st.selected = grid_->RowSelected(row_);
    st.focused = grid_->hasFocus() && row_ == grid_->Row() && col_ == grid_->Col();
    return st;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableCellInterface && !IsHeader())
      return static_cast<QAccessibleTableCellInterface*>(this);
    return nullptr;
  }

  // QAccessibleTableCellInterface
  bool isSelected() const override { return isValid() && grid_->RowSelected(row_); }
  QList<QAccessibleInterface*> columnHeaderCells() const override {
    auto* owner = dynamic_cast<GridAccessible*>(table());
    QAccessibleInterface* header = owner ? owner->Cell(col_, 0) : nullptr;
    if (header == nullptr) return {};
    return {header};
  }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return col_; }
  int rowIndex() const override { return row_ - 1; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

 private:
  QPointer<DrawGrid> grid_;
  const int col_;
  const int row_;
};

QAccessibleInterface* GridFactory(const QString& className, QObject* object) {
  if (className != QLatin1String(DrawGrid::staticMetaObject.className())) return nullptr;
  auto* grid = qobject_cast<DrawGrid*>(object);
  return grid != nullptr ? new GridAccessible(grid) : nullptr;
}

GridAccessible* TableOf(DrawGrid* grid) {
  return dynamic_cast<GridAccessible*>(QAccessible::queryAccessibleInterface(grid));
}

GridEventObserver& Observer() {
  static GridEventObserver observer;
  return observer;
}

bool Listening() { return Observer() || QAccessible::isActive(); }

void Send(QAccessibleEvent& event) {
  if (Observer()) Observer()(&event);
  QAccessible::updateAccessibility(&event);
}

// An event about one cell: the grid's event with the cell's child index.
void SendCellEvent(DrawGrid* grid, QAccessible::Event type, int col, int row) {
  GridAccessible* table = TableOf(grid);
  if (table == nullptr) return;
  QAccessibleEvent event(grid, type);
  event.setChild(table->ChildIndex(col, row));
  Send(event);
}

bool IsDataCell(const DrawGrid* grid, int col, int row) {
  return col >= 0 && col < grid->ColCount() && row >= 1 && row < grid->RowCount();
}

}  // namespace

void InstallDrawGridAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(GridFactory);
    return true;
  }();
  (void)installed;
}

void SetGridEventObserver(GridEventObserver observer) { Observer() = std::move(observer); }

void ObserveAccessibleEvent(QAccessibleEvent& event) {
  if (Observer()) Observer()(&event);
}

void NotifyGridCursor(DrawGrid* grid) {
  if (!Listening() || !grid->hasFocus()) return;
  if (!IsDataCell(grid, grid->Col(), grid->Row())) return;
  SendCellEvent(grid, QAccessible::Focus, grid->Col(), grid->Row());
}

void NotifyGridSelection(DrawGrid* grid, int col, int row) {
  if (!Listening()) return;
  QAccessibleEvent within(grid, QAccessible::SelectionWithin);
  Send(within);
  if (!IsDataCell(grid, col, row)) return;
  SendCellEvent(grid, grid->RowSelected(row) ? QAccessible::SelectionAdd : QAccessible::SelectionRemove,
                col, row);
}

void NotifyGridAnnouncement(DrawGrid* grid) {
  if (!Listening() || !grid->hasFocus()) return;
  if (!IsDataCell(grid, grid->Col(), grid->Row())) return;
  SendCellEvent(grid, QAccessible::DescriptionChanged, grid->Col(), grid->Row());
}

void NotifyGridContents(DrawGrid* grid) {
  if (!Listening()) return;
  // The cells are dropped here: Qt hands the event to modelChange only while
  // a reader is active.
  if (GridAccessible* table = TableOf(grid)) table->modelChange(nullptr);
  QAccessibleTableModelChangeEvent reset(grid, QAccessibleTableModelChangeEvent::ModelReset);
  Send(reset);
  NotifyGridCursor(grid);
}

// ---- the table ------------------------------------------------------------------

GridAccessible::GridAccessible(DrawGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {}

GridAccessible::~GridAccessible() { DropCells(); }

DrawGrid* GridAccessible::Grid() const { return static_cast<DrawGrid*>(widget()); }

void GridAccessible::DropCells() {
  for (const auto& [key, id] : cells_) QAccessible::deleteAccessibleInterface(id);
  cells_.clear();
}

QAccessibleInterface* GridAccessible::Cell(int col, int row) const {
  const DrawGrid* grid = Grid();
  if (col < 0 || col >= grid->ColCount() || row < 0 || row >= grid->RowCount()) return nullptr;
  const qint64 key = (static_cast<qint64>(row) << 32) | static_cast<quint32>(col);
  if (auto it = cells_.find(key); it != cells_.end()) {
    if (QAccessibleInterface* cell = QAccessible::accessibleInterface(it->second)) return cell;
    cells_.erase(it);
  }
  auto* cell = new GridCellAccessible(Grid(), col, row);
  cells_.emplace(key, QAccessible::registerAccessibleInterface(cell));
  return cell;
}

int GridAccessible::ChildIndex(int col, int row) const {
  const qint64 index = static_cast<qint64>(row) * Grid()->ColCount() + col;
  return index > INT_MAX ? -1 : static_cast<int>(index);
}

QAccessible::State GridAccessible::state() const {
  QAccessible::State st = QAccessibleWidget::state();
  st.multiSelectable = true;
  st.extSelectable = true;
  return st;
}

int GridAccessible::childCount() const {
  const qint64 count = static_cast<qint64>(Grid()->RowCount()) * Grid()->ColCount();
  return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

QAccessibleInterface* GridAccessible::child(int index) const {
  const int cols = Grid()->ColCount();
  if (index < 0 || cols <= 0) return nullptr;
  return Cell(index % cols, index / cols);
}

int GridAccessible::indexOfChild(const QAccessibleInterface* child) const {
  const auto* cell = dynamic_cast<const GridCellAccessible*>(child);
  if (cell == nullptr || cell->Grid() != Grid() || !cell->isValid()) return -1;
  return ChildIndex(cell->Col(), cell->Row());
}

QAccessibleInterface* GridAccessible::childAt(int x, int y) const {
  const QPoint point = Grid()->Handle()->mapFromGlobal(QPoint(x, y));
  int col = -1, row = -1;
  if (!Grid()->MouseToCell(point, col, row)) return nullptr;
  return Cell(col, row);
}

QAccessibleInterface* GridAccessible::focusChild() const {
  const DrawGrid* grid = Grid();
  if (!grid->hasFocus() || !IsDataCell(grid, grid->Col(), grid->Row())) return nullptr;
  return Cell(grid->Col(), grid->Row());
}

void* GridAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

// ---- QAccessibleTableInterface ------------------------------------------------------

int GridAccessible::rowCount() const { return std::max(0, Grid()->RowCount() - 1); }

int GridAccessible::columnCount() const { return Grid()->ColCount(); }

QAccessibleInterface* GridAccessible::cellAt(int row, int column) const {
  if (row < 0 || row >= rowCount()) return nullptr;
  return Cell(column, row + 1);
}

QString GridAccessible::columnDescription(int column) const { return Grid()->CellText(column, 0); }

QString GridAccessible::rowDescription(int) const { return {}; }

bool GridAccessible::isRowSelected(int row) const {
  return row >= 0 && row < rowCount() && Grid()->RowSelected(row + 1);
}

QList<int> GridAccessible::selectedRows() const {
  QList<int> rows;
  for (int row = 0; row < rowCount(); ++row)
    if (Grid()->RowSelected(row + 1)) rows.append(row);
  return rows;
}

int GridAccessible::selectedRowCount() const { return static_cast<int>(selectedRows().size()); }

int GridAccessible::selectedCellCount() const { return selectedRowCount() * columnCount(); }

QList<QAccessibleInterface*> GridAccessible::selectedCells() const {
  QList<QAccessibleInterface*> cells;
  for (int row : selectedRows())
    for (int col = 0; col < columnCount(); ++col) cells.append(Cell(col, row + 1));
  return cells;
}

void GridAccessible::modelChange(QAccessibleTableModelChangeEvent*) {
  // Rows may have come, gone or changed meaning: cells are made afresh when asked.
  DropCells();
}

}  // namespace vantelo::ui
