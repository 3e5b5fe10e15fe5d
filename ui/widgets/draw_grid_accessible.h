// Accessibility of the owner-drawn grid: assistive technologies (screen
// readers through AT-SPI, and the like) see a DrawGrid as a table.
//
// Row 0, the title row, gives the column headers; every grid row below it is
// one table row (table row r = grid row r + 1). A cell reads as the grid's
// data source has it (DrawGrid::CellText, RowSelected), the cursor cell is the
// focused one. Cell objects are made only when a reader asks for them and kept
// until the grid's contents are replaced, so a grid of any size costs nothing
// while no reader is listening.
#pragma once

#include <QAccessibleWidget>

#include <functional>
#include <unordered_map>

namespace vantelo::ui {

class DrawGrid;

// Registers the accessible factory that gives every DrawGrid a GridAccessible
// (once per process; later calls do nothing).
void InstallDrawGridAccessibility();

// The events a DrawGrid sends go to Qt (QAccessible::updateAccessibility) and
// are built only while someone listens: a reader (QAccessible::isActive()) or
// the observer below. Building an event makes the interfaces it names.
//
// The observer sees each event before Qt does, also where the platform has no
// accessibility and Qt drops the events (offscreen tests); empty: none.
using GridEventObserver = std::function<void(QAccessibleEvent* event)>;
void SetGridEventObserver(GridEventObserver observer);

// The cursor moved to (Col, Row), or the grid took the focus: the cursor cell
// becomes the focused object (only while the grid has the focus).
void NotifyGridCursor(DrawGrid* grid);
// Rows changed their selected state, starting from the cell (col, row): the
// table's selection changed, and that cell's row is now (un)selected.
void NotifyGridSelection(DrawGrid* grid, int col, int row);
// The grid shows other data (another archive, or none): readers forget the
// cells they had and read the table again.
void NotifyGridContents(DrawGrid* grid);
// The cursor cell's description now carries an announcement
// (DrawGrid::Announce): readers present the focused object's new description.
void NotifyGridAnnouncement(DrawGrid* grid);
// An event Qt sends by itself (QWidget::setAccessibleDescription, say), shown
// to the observer too, so that tests see what readers are told.
void ObserveAccessibleEvent(QAccessibleEvent& event);

class GridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit GridAccessible(DrawGrid* grid);
  ~GridAccessible() override;

  // The cell object of a grid cell, title row included, made on first use;
  // nullptr outside the grid.
  QAccessibleInterface* Cell(int col, int row) const;
  // How many cell objects exist now (made on demand, dropped on a new archive).
  int CellObjectCount() const { return static_cast<int>(cells_.size()); }
  // The child index of a grid cell: the cells in rows, the title row first.
  int ChildIndex(int col, int row) const;

  // QAccessibleInterface: the cells are the children.
  QAccessible::State state() const override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessibleInterface* focusChild() const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  // QAccessibleTableInterface: data rows only (the title row is the headers).
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override;
  int selectedCellCount() const override;
  QList<QAccessibleInterface*> selectedCells() const override;
  QString columnDescription(int column) const override;
  QString rowDescription(int row) const override;
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override;
  int columnCount() const override;
  int rowCount() const override;
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override;
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override;
  // Selection is made with the grid's own clicks and keys, whose rules decide
  // what else changes; a reader cannot set it directly.
  bool selectRow(int) override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent* event) override;

 private:
  DrawGrid* Grid() const;
  void DropCells();

  // Grid cell (row << 32 | col) -> the registered cell object.
  mutable std::unordered_map<qint64, QAccessible::Id> cells_;
};

}  // namespace vantelo::ui
