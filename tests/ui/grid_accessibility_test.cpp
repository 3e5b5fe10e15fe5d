// The entry grid as assistive technologies read it through QAccessible: a named
// table of the archive's entries, selection and cursor events, cells made only
// when asked.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <memory>
#include <vector>

#include "common/test_support.h"
#include "engine/engine.h"
#include "ui/main_window.h"
#include "ui/widgets/draw_grid.h"
#include "ui/widgets/draw_grid_accessible.h"
#include "ui_test_support.h"

namespace vantelo::ui {
namespace {

using test::DataPath;

QString QData(const char* name) { return QString::fromStdString(DataPath(name)); }

// Events sent while a test listens, with the text of the object each names.
struct SeenEvent {
  QAccessible::Event type;
  int child;
  QString name;
  QString description;
  QObject* object = nullptr;
};

class GridAccessibilityTest : public ::testing::Test {
 protected:
  void Open(const QString& archive) {
    form = std::make_unique<TForm1>(QStringList{archive}, &shell);
    grid = form->DrawGrid1;
    table = dynamic_cast<GridAccessible*>(QAccessible::queryAccessibleInterface(grid));
    ASSERT_NE(table, nullptr);
  }
  // Events are sent only while someone listens: the test becomes a listener.
  // (The offscreen platform has no accessibility, and Qt drops the events.)
  void Listen() {
    SetGridEventObserver([this](QAccessibleEvent* event) {
      QAccessibleInterface* iface = event->accessibleInterface();
      seen.push_back({event->type(), event->child(), iface ? iface->text(QAccessible::Name) : QString(),
                      iface ? iface->text(QAccessible::Description) : QString(), event->object()});
    });
  }
  void TearDown() override {
    SetGridEventObserver(nullptr);
    form.reset();
    CloseArchive();
  }
  void ShowFocused() {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    grid->setFocus();
    ASSERT_TRUE(grid->hasFocus());
    QApplication::processEvents();  // the focus-in's word on the cursor cell
  }
  int RowOf(const std::string& name) {
    for (int i = 0; i < GetEntryCount(); ++i)
      if (GetEntryName(i) == name) return i;
    return -1;
  }
  QString CellName(int row, int col) {
    QAccessibleInterface* cell = table->cellAt(row, col);
    return cell ? cell->text(QAccessible::Name) : QStringLiteral("<none>");
  }

  test::RecordingShell shell;
  std::unique_ptr<TForm1> form;
  DrawGrid* grid = nullptr;
  GridAccessible* table = nullptr;
  std::vector<SeenEvent> seen;
};

TEST_F(GridAccessibilityTest, TheDemoArchiveReadsAsANamedTableOfItsEntries) {
  Open(QData("demo.zip"));
  EXPECT_EQ(table->role(), QAccessible::Table);
  EXPECT_EQ(table->text(QAccessible::Name), "Archive entries");
  EXPECT_FALSE(table->text(QAccessible::Description).isEmpty());
  ASSERT_NE(table->tableInterface(), nullptr);
  EXPECT_EQ(table->rowCount(), GetEntryCount());
  EXPECT_EQ(table->columnCount(), kColCount);
  EXPECT_EQ(table->childCount(), (GetEntryCount() + 1) * kColCount);
  const QStringList titles = {"  ", "Name", "Date", "Time", "Size", "Ratio", "Packed", "Path"};
  for (int col = 0; col < kColCount; ++col) EXPECT_EQ(table->columnDescription(col), titles[col]);

  const int main = RowOf("main.cpp");
  ASSERT_GE(main, 0);
  // The icon column reads the file's type.
  const QStringList cells = {shell.TypeTitle("main.cpp", false), "main.cpp", "05/17/24", "14:32:10",
                             "1,060", "6%", "64", "vantelo demo/src/"};
  for (int col = 0; col < kColCount; ++col) EXPECT_EQ(CellName(main, col), cells[col]);
  EXPECT_EQ(CellName(main, 0), "C++ source code");
  EXPECT_EQ(CellName(RowOf("[FOLDER]"), 0), "Folder");
  EXPECT_EQ(CellName(RowOf("secret.txt"), 1), "secret.txt+");  // the encrypted mark
  EXPECT_EQ(CellName(RowOf("[FOLDER]"), 1), "[FOLDER]");
  EXPECT_EQ(table->cellAt(GetEntryCount(), 1), nullptr);

  QAccessibleInterface* cell = table->cellAt(main, 2);
  EXPECT_EQ(cell->role(), QAccessible::Cell);
  EXPECT_EQ(cell->parent(), table);
  EXPECT_EQ(table->child(table->indexOfChild(cell)), cell);
  QAccessibleTableCellInterface* place = cell->tableCellInterface();
  ASSERT_NE(place, nullptr);
  EXPECT_EQ(place->rowIndex(), main);
  EXPECT_EQ(place->columnIndex(), 2);
  const QList<QAccessibleInterface*> headers = place->columnHeaderCells();
  ASSERT_EQ(headers.size(), 1);
  EXPECT_EQ(headers[0]->role(), QAccessible::ColumnHeader);
  EXPECT_EQ(headers[0]->text(QAccessible::Name), "Date");
  EXPECT_EQ(table->child(2), headers[0]);  // the title row comes first among the children

  form->sbCloseClick();
  EXPECT_EQ(table->rowCount(), 0);
  EXPECT_EQ(table->columnDescription(1), "Name");
  EXPECT_FALSE(cell->isValid());  // a cell of a row that is gone
}

TEST_F(GridAccessibilityTest, CellsAreMadeOnlyWhenAReaderAsksForThem) {
  test::TempFolder dir;
  std::vector<test::FakeEntry> entries;
  for (int i = 0; i < 20000; ++i) entries.push_back({"f" + std::to_string(i) + ".txt", 10, 10});
  test::WriteCatalogZip(dir.file("many.zip"), entries);
  Open(QString::fromStdString(dir.file("many.zip")));
  ShowFocused();
  QTest::keyClick(grid, Qt::Key_End);  // moves with no reader listening make nothing
  QTest::keyClick(grid, Qt::Key_Space);
  EXPECT_EQ(table->rowCount(), 20000);
  EXPECT_EQ(table->CellObjectCount(), 0);
  EXPECT_EQ(table->selectedRows(), QList<int>({19999}));
  EXPECT_EQ(CellName(19999, 1), "f19999.txt");
  EXPECT_EQ(CellName(19999, 1), "f19999.txt");
  EXPECT_EQ(table->CellObjectCount(), 1);
}

TEST_F(GridAccessibilityTest, ClicksSelectRowsAndSayWhichRowChanged) {
  Open(QString::fromStdString(DataPath("select30.zip")));
  ShowFocused();
  Listen();
  auto click = [&](int row, Qt::KeyboardModifiers keys = {}) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, keys, grid->CellRect(1, row).center());
  };
  click(3);
  QTest::keyPress(grid, Qt::Key_Control);
  click(5);
  QTest::keyRelease(grid, Qt::Key_Control);
  EXPECT_EQ(table->selectedRows(), QList<int>({2, 4}));
  EXPECT_EQ(table->selectedRowCount(), 2);
  EXPECT_EQ(table->selectedCellCount(), 2 * kColCount);
  EXPECT_TRUE(table->isRowSelected(4));
  EXPECT_TRUE(table->cellAt(4, 1)->state().selected);
  EXPECT_TRUE(table->cellAt(4, 1)->tableCellInterface()->isSelected());
  EXPECT_FALSE(table->cellAt(3, 1)->state().selected);

  auto has = [&](QAccessible::Event type, int gridRow) {
    for (const SeenEvent& e : seen)
      if (e.type == type && e.child == table->ChildIndex(1, gridRow)) return true;
    return false;
  };
  EXPECT_TRUE(has(QAccessible::SelectionAdd, 5));
  EXPECT_TRUE(has(QAccessible::Focus, 5));  // the cursor moved to the clicked row
  bool within = false;
  for (const SeenEvent& e : seen) within = within || e.type == QAccessible::SelectionWithin;
  EXPECT_TRUE(within);
  seen.clear();
  click(5);  // plain click on a selected one of two: the rule leaves only row 5
  click(5);  // and a second click deselects it
  EXPECT_TRUE(has(QAccessible::SelectionRemove, 5));
  EXPECT_TRUE(table->selectedRows().isEmpty());
}

TEST_F(GridAccessibilityTest, AKeyMoveSendsTheFocusToTheCursorCell) {
  Open(QString::fromStdString(DataPath("select30.zip")));
  ShowFocused();
  Listen();
  QTest::keyClick(grid, Qt::Key_Down);
  ASSERT_EQ(grid->Row(), 2);
  ASSERT_FALSE(seen.empty());
  const SeenEvent& last = seen.back();
  EXPECT_EQ(last.type, QAccessible::Focus);
  EXPECT_EQ(last.child, table->ChildIndex(grid->Col(), 2));
  EXPECT_EQ(last.name, table->cellAt(1, grid->Col())->text(QAccessible::Name));
  QAccessibleInterface* focused = table->focusChild();
  ASSERT_NE(focused, nullptr);
  EXPECT_TRUE(focused->state().focused);
  EXPECT_EQ(focused->tableCellInterface()->rowIndex(), 1);
  EXPECT_TRUE(table->selectedRows().isEmpty());  // a key move selects nothing
}

TEST_F(GridAccessibilityTest, ANewArchiveResetsTheTableAndFocusesTheCursorOnItsFirstEntry) {
  Open(QData("demo.zip"));
  ShowFocused();
  Listen();
  table->cellAt(0, 1);
  ASSERT_GT(table->CellObjectCount(), 0);
  form->ZipFileName = DataPath("select30.zip");
  form->OpenZipFile();
  bool reset = false;
  for (const SeenEvent& e : seen) reset = reset || e.type == QAccessible::TableModelChanged;
  EXPECT_TRUE(reset);
  EXPECT_EQ(table->rowCount(), 30);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().type, QAccessible::Focus);
  EXPECT_EQ(seen.back().child, table->ChildIndex(0, 1));  // the cursor's cell, row 1
  EXPECT_EQ(table->CellObjectCount(), 1);  // the old archive's cells are gone
  EXPECT_EQ(CellName(0, 1), EngineText(GetEntryName(0)));
}

// Space applies the selection rule where the cursor is: a reader reading the
// Name column stays in it, and hears the new count on that cell.
TEST_F(GridAccessibilityTest, SpaceKeepsTheCursorsColumnAndTheSelectionCountIsAnnounced) {
  Open(QString::fromStdString(DataPath("select30.zip")));
  ShowFocused();
  ASSERT_TRUE(grid->ResetCursor(1, 2));  // f02.txt, the Name column
  Listen();
  QTest::keyClick(grid, Qt::Key_Space);
  EXPECT_EQ(grid->Col(), 1);
  EXPECT_EQ(grid->Row(), 2);
  EXPECT_EQ(table->selectedRows(), QList<int>({1}));
  const SeenEvent* said = nullptr;
  for (const SeenEvent& e : seen)
    if (e.type == QAccessible::DescriptionChanged) said = &e;
  ASSERT_NE(said, nullptr);
  EXPECT_EQ(said->child, table->ChildIndex(1, 2));
  EXPECT_EQ(said->name, "f02.txt");
  EXPECT_EQ(said->description, "Selected: 1 files  -  500 bytes");
  EXPECT_EQ(table->focusChild()->text(QAccessible::Description), "Selected: 1 files  -  500 bytes");
  // Nothing moves the focus to another cell: no Focus event for Space.
  for (const SeenEvent& e : seen) EXPECT_NE(e.type, QAccessible::Focus);
  // Once the cursor moves on, the cell no longer carries the count.
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_TRUE(table->cellAt(1, 1)->text(QAccessible::Description).isEmpty());
  // Select all is announced the same way.
  seen.clear();
  QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().type, QAccessible::DescriptionChanged);
  EXPECT_EQ(seen.back().description, "Selected: 30 files  -  116,250 bytes");
}

// The icon column reads the type, so the cell the cursor starts on says what the entry is.
TEST_F(GridAccessibilityTest, TheFirstFocusedCellReadsTheEntrysType) {
  Open(QData("demo.zip"));
  Listen();
  ShowFocused();
  ASSERT_EQ(grid->Col(), 0);
  QAccessibleInterface* focused = table->focusChild();
  ASSERT_NE(focused, nullptr);
  EXPECT_EQ(focused->text(QAccessible::Name), "Folder");  // the demo begins with a folder entry
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().type, QAccessible::Focus);
  EXPECT_EQ(seen.back().name, "Folder");
  EXPECT_EQ(CellName(RowOf("readme.txt"), 0), "Plain text document");
  EXPECT_EQ(CellName(RowOf("blob.bin"), 0), shell.TypeTitle("blob.bin", false));
}

// The Find field says how many entries it shows; a sorted column's title says how.
TEST_F(GridAccessibilityTest, TheFilterCountAndTheSortOrderAreForReadersToo) {
  Open(QString::fromStdString(DataPath("select30.zip")));
  ShowFocused();
  Listen();
  QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
  QTest::keyClicks(form->edFind, "f0");
  QAccessibleInterface* field = QAccessible::queryAccessibleInterface(form->edFind);
  EXPECT_EQ(field->text(QAccessible::Name), "Find");
  EXPECT_EQ(field->text(QAccessible::Description), "Shown: 9 of 30 files");
  bool announced = false;
  for (const SeenEvent& e : seen)
    announced = announced || (e.type == QAccessible::DescriptionChanged && e.object == form->edFind &&
                              e.description == "Shown: 9 of 30 files");
  EXPECT_TRUE(announced);
  EXPECT_EQ(table->rowCount(), 9);  // the table is the shown rows
  QTest::keyClick(form->edFind, Qt::Key_Escape);
  EXPECT_EQ(table->rowCount(), 30);
  EXPECT_FALSE(field->text(QAccessible::Description).startsWith("Shown"));

  // (Rearranged rows are new contents: readers ask for the cells again.)
  auto header = [&](int col) {
    return table->cellAt(0, col)->tableCellInterface()->columnHeaderCells().first();
  };
  form->DrawGrid1TitleClick(4);
  EXPECT_EQ(header(4)->text(QAccessible::Name), "Size");
  EXPECT_EQ(header(4)->text(QAccessible::Description), "Sorted ascending");
  form->DrawGrid1TitleClick(4);
  EXPECT_EQ(header(4)->text(QAccessible::Description), "Sorted descending");
  EXPECT_EQ(CellName(0, 1), "f30.txt");  // the largest entry first
  EXPECT_TRUE(header(1)->text(QAccessible::Description).isEmpty());
}

}  // namespace
}  // namespace vantelo::ui
