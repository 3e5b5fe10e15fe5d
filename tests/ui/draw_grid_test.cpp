// The owner-drawn grid widget: geometry, cursor moves through the select event,
// draw-cell for every visible cell, keys, double click, column sizing, scrolling.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <set>
#include <utility>
#include <vector>

#include "ui/widgets/draw_grid.h"
#include "ui_test_support.h"

namespace vantelo::ui {
namespace {

using test::SendMouse;

class DrawGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid.resize(300, 200);
    grid.SetDefaultRowHeight(16);
    grid.SetColCount(5);
    for (int c = 0; c < 5; ++c) grid.SetColWidth(c, 80);
    grid.SetRowCount(51);
    grid.SetFixedRows(1);
    grid.SetRowHeight(0, 20);
    grid.OnSelectCell = [this](int col, int row, bool& canSelect) {
      events.emplace_back(col, row);
      canSelect = allow;
    };
    grid.OnDrawCell = [this](QPainter&, int col, int row, const QRect&) {
      drawn.emplace(col, row);
    };
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    events.clear();
  }

  QPoint CellCentre(int col, int row) { return grid.CellRect(col, row).center(); }

  DrawGrid grid;
  std::vector<std::pair<int, int>> events;
  std::set<std::pair<int, int>> drawn;
  bool allow = true;
};

TEST_F(DrawGridTest, FixedRowsResetTheCursorWithoutAnEvent) {
  EXPECT_EQ(grid.FixedRows(), 1);
  EXPECT_EQ(grid.Col(), 0);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(grid.AnchorRow(), 1);
  EXPECT_EQ(grid.TopRow(), 1);
  EXPECT_EQ(grid.LeftCol(), 0);
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(grid.SetFixedRows(51));  // as many fixed rows as rows: refused
  EXPECT_EQ(grid.FixedRows(), 1);
}

TEST_F(DrawGridTest, GeometryFollowsHeightsAndWidths) {
  EXPECT_EQ(grid.CellRect(0, 0), QRect(0, 0, 80, 20));
  EXPECT_EQ(grid.CellRect(1, 1), QRect(80, 20, 80, 16));
  EXPECT_EQ(grid.CellRect(2, 3), QRect(160, 52, 80, 16));
  EXPECT_TRUE(grid.CellRect(0, 50).isEmpty());  // not visible
  const int rowsFit = (grid.ClientRect().height() - 20) / 16;
  EXPECT_EQ(grid.VisibleRowCount(), rowsFit);
  EXPECT_EQ(grid.VisibleColCount(), grid.ClientRect().width() / 80);
  int col = -1, row = -1;
  ASSERT_TRUE(grid.MouseToCell(QPoint(85, 40), col, row));
  EXPECT_EQ(col, 1);
  EXPECT_EQ(row, 2);
}

TEST_F(DrawGridTest, ProgrammaticMovesRaiseTheSelectEventOnce) {
  EXPECT_TRUE(grid.SetRow(5));
  EXPECT_EQ(events, (std::vector<std::pair<int, int>>{{0, 5}}));
  EXPECT_EQ(grid.Row(), 5);
  events.clear();
  EXPECT_TRUE(grid.SetRow(5));  // same value: nothing
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(grid.SetCol(3));
  EXPECT_EQ(events, (std::vector<std::pair<int, int>>{{3, 5}}));
  EXPECT_EQ(grid.AnchorCol(), 3);
}

TEST_F(DrawGridTest, MovesOutsideTheGridAreRefusedWithoutAnEvent) {
  EXPECT_FALSE(grid.SetRow(51));
  EXPECT_FALSE(grid.SetRow(-1));
  EXPECT_FALSE(grid.SetRow(0));  // the fixed title row
  EXPECT_FALSE(grid.SetCol(5));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(grid.Col(), 0);
}

TEST_F(DrawGridTest, HandlerCanRefuseAMove) {
  allow = false;
  EXPECT_FALSE(grid.SetRow(4));
  EXPECT_EQ(events.size(), 1u);
  EXPECT_EQ(grid.Row(), 1);
}

TEST_F(DrawGridTest, MovingBelowTheViewScrollsTheCursorIntoView) {
  EXPECT_TRUE(grid.SetRow(50));
  EXPECT_EQ(grid.TopRow(), 51 - grid.VisibleRowCount());
  EXPECT_FALSE(grid.CellRect(0, 50).isEmpty());
  EXPECT_EQ(grid.verticalScrollBar()->value(), grid.TopRow() - 1);
  EXPECT_TRUE(grid.SetRow(2));
  EXPECT_EQ(grid.TopRow(), 2);
}

TEST_F(DrawGridTest, MousePressRaisesTheEventAlsoOnTheCurrentCell) {
  const QPoint p = CellCentre(0, 1);
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(events, (std::vector<std::pair<int, int>>{{0, 1}}));
  const QPoint q = CellCentre(2, 4);
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, q, Qt::LeftButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, q, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(events.back(), std::make_pair(2, 4));
  EXPECT_EQ(grid.Row(), 4);
  EXPECT_EQ(grid.Col(), 2);
}

TEST_F(DrawGridTest, PressOnTheTitleRowMovesNothing) {
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, CellCentre(1, 0), Qt::LeftButton,
            Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, CellCentre(1, 0), Qt::LeftButton,
            Qt::NoButton);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(grid.Row(), 1);
}

TEST_F(DrawGridTest, DraggingIntoAnotherCellRaisesTheEvent) {
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, CellCentre(1, 2), Qt::LeftButton,
            Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseMove, CellCentre(1, 2) + QPoint(3, 0), Qt::NoButton,
            Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseMove, CellCentre(1, 3), Qt::NoButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseMove, CellCentre(1, 4), Qt::NoButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, CellCentre(1, 4), Qt::LeftButton,
            Qt::NoButton);
  SendMouse(grid.viewport(), QEvent::MouseMove, CellCentre(1, 6), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(events, (std::vector<std::pair<int, int>>{{1, 2}, {1, 3}, {1, 4}}));
  EXPECT_EQ(grid.Row(), 4);
}

TEST_F(DrawGridTest, DraggingBelowTheLastVisibleRowScrollsOneRowAtATime) {
  const int lastVisible = grid.TopRow() + grid.VisibleRowCount() - 1;
  const QPoint below(CellCentre(1, 2).x(), grid.ClientRect().height() + 5);
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, CellCentre(1, 2), Qt::LeftButton,
            Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseMove, below, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(grid.Row(), lastVisible + 1);
  EXPECT_EQ(grid.TopRow(), 2);
  SendMouse(grid.viewport(), QEvent::MouseMove, below + QPoint(0, 1), Qt::NoButton,
            Qt::LeftButton);
  EXPECT_EQ(grid.Row(), lastVisible + 2);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, below, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(events, (std::vector<std::pair<int, int>>{
                        {1, 2}, {1, lastVisible + 1}, {1, lastVisible + 2}}));
}

TEST_F(DrawGridTest, EveryVisibleCellIsDrawn) {
  drawn.clear();
  grid.Repaint();
  int rows = 1;  // the title row
  for (int r = grid.TopRow(); r < grid.RowCount() && !grid.CellRect(0, r).isEmpty(); ++r) ++rows;
  int cols = 0;
  for (int c = grid.LeftCol(); c < grid.ColCount() && !grid.CellRect(c, 0).isEmpty(); ++c) ++cols;
  EXPECT_EQ(drawn.size(), static_cast<std::size_t>(rows * cols));
  EXPECT_TRUE(drawn.count({0, 0}));
  EXPECT_FALSE(drawn.count({0, 50}));
}

TEST_F(DrawGridTest, DefaultKeysMoveTheCursorThroughTheEvent) {
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(grid.Row(), 2);
  QTest::keyClick(&grid, Qt::Key_Right);
  EXPECT_EQ(grid.Col(), 1);
  QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(grid.Row(), 50);
  QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(events.size(), 4u);
}

TEST_F(DrawGridTest, KeyHandlerGetsVirtualKeysAndCanStopDefaultHandling) {
  std::vector<int> down, up;
  grid.OnKeyDown = [&](int& key, Qt::KeyboardModifiers) {
    down.push_back(key);
    key = 0;
  };
  grid.OnKeyUp = [&](int& key, Qt::KeyboardModifiers) { up.push_back(key); };
  QTest::keyClick(&grid, Qt::Key_Down);
  QTest::keyClick(&grid, Qt::Key_Return);
  QTest::keyClick(&grid, Qt::Key_Space);
  QTest::keyPress(&grid, Qt::Key_Shift);
  QTest::keyRelease(&grid, Qt::Key_Shift);
  QTest::keyPress(&grid, Qt::Key_Control);
  QTest::keyRelease(&grid, Qt::Key_Control);
  EXPECT_EQ(grid.Row(), 1);  // key 0: no default move
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(down, (std::vector<int>{kVkDown, kVkReturn, kVkSpace, kVkShift, kVkControl}));
  EXPECT_EQ(up, (std::vector<int>{kVkDown, kVkReturn, kVkSpace, kVkShift, kVkControl}));
}

TEST_F(DrawGridTest, VirtualKeyNumbers) {
  EXPECT_EQ(ToVirtualKey(Qt::Key_Return), 13);
  EXPECT_EQ(ToVirtualKey(Qt::Key_Enter), 13);
  EXPECT_EQ(ToVirtualKey(Qt::Key_Shift), 16);
  EXPECT_EQ(ToVirtualKey(Qt::Key_Control), 17);
  EXPECT_EQ(ToVirtualKey(Qt::Key_Space), 32);
  EXPECT_EQ(ToVirtualKey(Qt::Key_PageUp), 33);
  EXPECT_EQ(ToVirtualKey(Qt::Key_PageDown), 34);
  EXPECT_EQ(ToVirtualKey(Qt::Key_End), 35);
  EXPECT_EQ(ToVirtualKey(Qt::Key_Home), 36);
  EXPECT_EQ(ToVirtualKey(Qt::Key_Left), 37);
  EXPECT_EQ(ToVirtualKey(Qt::Key_Up), 38);
  EXPECT_EQ(ToVirtualKey(Qt::Key_Right), 39);
  EXPECT_EQ(ToVirtualKey(Qt::Key_Down), 40);
  EXPECT_EQ(ToVirtualKey(Qt::Key_A), 'A');
}

TEST_F(DrawGridTest, DoubleClickRaisesTheEvent) {
  int clicks = 0;
  grid.OnDblClick = [&] { ++clicks; };
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, CellCentre(1, 3));
  EXPECT_EQ(clicks, 1);
}

TEST_F(DrawGridTest, DraggingATitleBorderResizesTheColumn) {
  const QPoint border(80, 10);  // right edge of column 0 in the title row
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, border, Qt::LeftButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseMove, border + QPoint(30, 0), Qt::NoButton,
            Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, border + QPoint(30, 0), Qt::LeftButton,
            Qt::NoButton);
  EXPECT_EQ(grid.ColWidth(0), 110);
  EXPECT_EQ(grid.CellRect(1, 0).left(), 110);
  EXPECT_TRUE(events.empty());  // sizing is no cursor move
  // The same spot on a data row is an ordinary press.
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, QPoint(110, 30), Qt::LeftButton,
            Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, QPoint(110, 30), Qt::LeftButton,
            Qt::NoButton);
  EXPECT_EQ(grid.ColWidth(0), 110);
  EXPECT_EQ(events.size(), 1u);
}

TEST_F(DrawGridTest, WheelScrollsTheViewNotTheCursor) {
  QWheelEvent wheel(QPointF(50, 50), grid.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(grid.viewport(), &wheel);
  EXPECT_GT(grid.TopRow(), 1);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_TRUE(events.empty());
  grid.verticalScrollBar()->setValue(10);
  EXPECT_EQ(grid.TopRow(), 11);
}

TEST_F(DrawGridTest, ShrinkingTheRowCountKeepsTheCursorInside) {
  EXPECT_TRUE(grid.SetRow(40));
  grid.SetRowCount(10);
  EXPECT_EQ(grid.Row(), 9);
  EXPECT_LE(grid.TopRow(), 9);
  grid.SetFixedRows(0);
  grid.SetRowCount(1);
  EXPECT_EQ(grid.Row(), 0);
  EXPECT_EQ(grid.TopRow(), 0);
}

TEST_F(DrawGridTest, ATitleClickRaisesTheTitleEventNotASelectEvent) {
  std::vector<int> titles;
  grid.OnTitleClick = [&](int col) { titles.push_back(col); };
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(1, 0));
  EXPECT_EQ(titles, std::vector<int>({1}));
  // Pressed on one title and released on another: no click.
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, CellCentre(1, 0), Qt::LeftButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, CellCentre(2, 0), Qt::LeftButton, Qt::NoButton);
  // Sizing a column is no click either.
  const QPoint border(80, 10);
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, border, Qt::LeftButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, border + QPoint(2, 0), Qt::LeftButton, Qt::NoButton);
  // A double click on a title is one click, never an entry's double click.
  int doubles = 0;
  grid.OnDblClick = [&] { ++doubles; };
  // (The system's order of events: press, release, double click, release.)
  const QPoint title3 = CellCentre(3, 0);
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, title3, Qt::LeftButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, title3, Qt::LeftButton, Qt::NoButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonDblClick, title3, Qt::LeftButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, title3, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(titles, std::vector<int>({1, 3}));
  EXPECT_EQ(doubles, 0);
  EXPECT_TRUE(events.empty());
}

TEST_F(DrawGridTest, ADoubleClickOnABorderFitsTheColumnToItsContents) {
  std::vector<int> asked;
  grid.OnGetColumnFitWidth = [&](int col) {
    asked.push_back(col);
    return 137;
  };
  int doubles = 0;
  grid.OnDblClick = [&] { ++doubles; };
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, QPoint(160, 10));  // right of column 1
  EXPECT_EQ(asked, std::vector<int>({1}));
  EXPECT_EQ(grid.ColWidth(1), 137);
  EXPECT_EQ(grid.CellRect(2, 0).left(), 80 + 137);
  EXPECT_EQ(doubles, 0);
  EXPECT_TRUE(events.empty());
  // No width to give: the column stays.
  grid.OnGetColumnFitWidth = [](int) { return 0; };
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, QPoint(80, 10));
  EXPECT_EQ(grid.ColWidth(0), 80);
}

TEST_F(DrawGridTest, ResettingTheCursorRaisesNoSelectEventAndScrollsItIntoView) {
  EXPECT_TRUE(grid.ResetCursor(2, 45));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(grid.Row(), 45);
  EXPECT_EQ(grid.Col(), 2);
  EXPECT_EQ(grid.AnchorRow(), 45);
  EXPECT_FALSE(grid.CellRect(2, 45).isEmpty());
  EXPECT_FALSE(grid.ResetCursor(0, 0));  // the title row
  EXPECT_FALSE(grid.ResetCursor(5, 3));  // no such column
  EXPECT_EQ(grid.Row(), 45);
}

// Stretching columns in a wider grid: a dragged border follows the mouse and
// the columns left of it keep their widths (the stretching ones to its right
// make up the change).
TEST_F(DrawGridTest, ADraggedBorderFollowsTheMouseWhileColumnsStretch) {
  for (int c = 0; c < 5; ++c) grid.SetColWidth(c, 40);
  grid.SetStretchCols({1, 4});
  const int view = grid.ClientRect().width();
  ASSERT_GT(view, 200);
  const int room = view - 200;
  EXPECT_EQ(grid.ShownColWidth(1) + grid.ShownColWidth(4), 80 + room);
  EXPECT_NEAR(grid.ShownColWidth(1), 40 + room / 2, 1);
  const int nameWidth = grid.ShownColWidth(1);
  const int border = grid.CellRect(3, 0).left();  // right edge of column 2
  SendMouse(grid.viewport(), QEvent::MouseButtonPress, QPoint(border, 10), Qt::LeftButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseMove, QPoint(border + 25, 10), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(grid.CellRect(3, 0).left(), border + 25);
  EXPECT_EQ(grid.ShownColWidth(1), nameWidth);
  SendMouse(grid.viewport(), QEvent::MouseMove, QPoint(border - 15, 10), Qt::NoButton, Qt::LeftButton);
  SendMouse(grid.viewport(), QEvent::MouseButtonRelease, QPoint(border - 15, 10), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(grid.CellRect(3, 0).left(), border - 15);
  EXPECT_EQ(grid.ShownColWidth(1), nameWidth);
  EXPECT_EQ(grid.ColWidth(2), 25);
  // The grid still reaches the right edge.
  EXPECT_EQ(grid.CellRect(4, 0).right(), view - 1);
}

// ---- the column widths alone ------------------------------------------------------

TEST(ColumnLayoutTest, AWiderViewIsSharedAndANarrowerOneTakesTheRoomBack) {
  ColumnLayout layout;
  layout.SetCount(4, 50);
  layout.SetStretch({1, 3}, 200);
  EXPECT_EQ(layout.ShownTotal(), 200);
  layout.Fit(301);
  EXPECT_EQ(layout.Shown(1), 101);  // 101 of room: the first one takes the odd pixel
  EXPECT_EQ(layout.Shown(3), 100);
  EXPECT_EQ(layout.Shown(0), 50);
  layout.Fit(250);
  EXPECT_EQ(layout.ShownTotal(), 250);
  layout.Fit(120);  // narrower than the given widths: they stay, the grid scrolls
  EXPECT_EQ(layout.Shown(1), 50);
  EXPECT_EQ(layout.Shown(3), 50);
  EXPECT_EQ(layout.Width(1), 50);
  layout.Fit(300);
  EXPECT_EQ(layout.ShownTotal(), 300);
}

TEST(ColumnLayoutTest, ASizedColumnIsMadeUpForOnItsRightOnly) {
  ColumnLayout layout;
  layout.SetCount(4, 50);
  layout.SetStretch({1, 3}, 400);  // 200 of room: 100 each
  ASSERT_EQ(layout.Shown(1), 150);
  layout.Resize(2, 90);  // 40 wider: column 3 gives it
  EXPECT_EQ(layout.Shown(1), 150);
  EXPECT_EQ(layout.Shown(3), 110);
  EXPECT_EQ(layout.ShownTotal(), 400);
  layout.Resize(2, 300);  // more than column 3 has: the grid gets wider than the view
  EXPECT_EQ(layout.Shown(3), 50);
  EXPECT_EQ(layout.Shown(1), 150);
  EXPECT_EQ(layout.ShownTotal(), 550);
  layout.Fit(400);  // the next change of the view settles it
  EXPECT_EQ(layout.ShownTotal(), 450);  // the given widths: 50 + 50 + 300 + 50
  // A stretching column sized by the user: exactly that width, its extra gone.
  layout.Fit(600);
  layout.Resize(1, 60);
  EXPECT_EQ(layout.Shown(1), 60);
  EXPECT_EQ(layout.Width(1), 60);
  EXPECT_EQ(layout.ShownTotal(), 600);
  // Hostile sizes: nothing negative.
  layout.Resize(1, -500);
  EXPECT_EQ(layout.Shown(1), 0);
  layout.Fit(-10);
  for (int c = 0; c < 4; ++c) EXPECT_GE(layout.Shown(c), 0);
  EXPECT_EQ(layout.Shown(7), 0);
}

}  // namespace
}  // namespace vantelo::ui
