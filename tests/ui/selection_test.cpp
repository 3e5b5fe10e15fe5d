// The selection rules on the real main window: mouse clicks, drags and keys on
// the offscreen grid of an archive with 30 entries (fNN.txt, 250 x NN bytes).
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <set>
#include <vector>

#include "common/test_support.h"
#include "engine/engine.h"
#include "ui/main_window.h"
#include "ui/widgets/draw_grid.h"
#include "ui_test_support.h"

namespace vantelo::ui {
namespace {

using test::DataPath;
using test::SendMouse;
using Entries = std::vector<int>;

class SelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TForm1>(QStringList{QString::fromStdString(DataPath("select30.zip"))},
                                    &shell);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    grid = form->DrawGrid1;
    ASSERT_EQ(grid->RowCount(), 31);
    grid->setFocus();
  }
  void TearDown() override {
    form.reset();
    CloseArchive();
  }

  QPoint Centre(int row, int col = 1) const {
    const QRect r = grid->CellRect(col, row);
    EXPECT_FALSE(r.isEmpty()) << "row " << row << " col " << col << " is not in view";
    return r.center();
  }
  void Click(int row) { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Centre(row)); }
  // A click with the key held down: key press, click, key release on the grid.
  void ClickHolding(Qt::Key key, int row) {
    QTest::keyPress(grid, key);
    Click(row);
    QTest::keyRelease(grid, key);
  }
  void Key(Qt::Key key) { QTest::keyClick(grid, key); }

  static Entries Selected() {
    Entries out;
    for (int i = 0; i < GetEntryCount(); ++i)
      if (GetEntrySelected(i)) out.push_back(i);
    return out;
  }
  std::string SelectionText() const { return form->PanelText(1).toStdString(); }

  // Colour of the top edge of a row's Name cell (the cursor frame is drawn there).
  QRgb TopEdge(int row) {
    QApplication::processEvents();
    const QImage image = grid->viewport()->grab().toImage();
    const QRect r = grid->CellRect(1, row);
    return image.pixel(r.left() + r.width() / 2, r.top()) & 0xFFFFFFu;
  }

  test::RecordingShell shell;
  std::unique_ptr<TForm1> form;
  DrawGrid* grid = nullptr;
};

TEST_F(SelectionTest, PlainClicksSelectOnlyTheClickedEntryAndASecondClickDeselects) {
  Click(3);
  EXPECT_EQ(Selected(), Entries({2}));
  Click(5);
  EXPECT_EQ(Selected(), Entries({4}));
  EXPECT_EQ(SelectionText(), "Selected: 1 files  -  1,250 bytes");
  EXPECT_EQ(form->LastRow, 4);
  EXPECT_EQ(grid->Row(), 5);
  Click(5);
  EXPECT_EQ(Selected(), Entries({}));
  EXPECT_EQ(SelectionText(), "Selected: 0 files  -  0 bytes");
}

TEST_F(SelectionTest, CtrlClicksAddEntriesAndAPlainClickLeavesOne) {
  QTest::keyPress(grid, Qt::Key_Control);
  EXPECT_TRUE(form->sbAdd->isChecked());
  Click(2);
  Click(4);
  Click(6);
  QTest::keyRelease(grid, Qt::Key_Control);
  EXPECT_FALSE(form->sbAdd->isChecked());
  EXPECT_EQ(Selected(), Entries({1, 3, 5}));
  EXPECT_EQ(SelectionText(), "Selected: 3 files  -  3,000 bytes");
  Click(8);
  EXPECT_EQ(Selected(), Entries({7}));
  EXPECT_EQ(SelectionText(), "Selected: 1 files  -  2,000 bytes");
}

TEST_F(SelectionTest, ShiftClickSelectsTheRunAndOnASelectedEntryClearsIt) {
  Click(2);
  ClickHolding(Qt::Key_Shift, 6);
  EXPECT_EQ(Selected(), Entries({1, 2, 3, 4, 5}));
  // Entry 3 is selected: the run from it to the last clicked entry 5 is cleared.
  ClickHolding(Qt::Key_Shift, 4);
  EXPECT_EQ(Selected(), Entries({1, 2}));
  EXPECT_EQ(SelectionText(), "Selected: 2 files  -  1,250 bytes");
  EXPECT_EQ(form->LastRow, 3);
  EXPECT_FALSE(form->sbRng->isChecked());
}

TEST_F(SelectionTest, TogglesPressedWithTheMouseChooseTheRule) {
  // Range with nothing selected inverts the clicked entry only.
  QTest::mouseClick(form->sbRng, Qt::LeftButton);
  ASSERT_TRUE(form->sbRng->isChecked());
  Click(4);
  EXPECT_EQ(Selected(), Entries({3}));
  Click(7);
  EXPECT_EQ(Selected(), Entries({3, 4, 5, 6}));
  // Both toggles: the Range rule, nothing cleared first.
  QTest::mouseClick(form->sbAdd, Qt::LeftButton);
  Click(10);
  EXPECT_EQ(Selected(), Entries({3, 4, 5, 6, 7, 8, 9}));
  // Additive alone inverts the clicked entry, the others stay.
  QTest::mouseClick(form->sbRng, Qt::LeftButton);
  ASSERT_FALSE(form->sbRng->isChecked());
  Click(5);
  EXPECT_EQ(Selected(), Entries({3, 5, 6, 7, 8, 9}));
  // Releasing Ctrl releases Additive even though the mouse pressed it.
  QTest::keyPress(grid, Qt::Key_Control);
  QTest::keyRelease(grid, Qt::Key_Control);
  EXPECT_FALSE(form->sbAdd->isChecked());
}

TEST_F(SelectionTest, HoldingShiftOrCtrlPressesTheToggleUntilReleased) {
  QTest::keyPress(grid, Qt::Key_Shift);
  EXPECT_TRUE(form->sbRng->isChecked());
  EXPECT_FALSE(form->sbAdd->isChecked());
  QTest::keyPress(grid, Qt::Key_Control);
  EXPECT_TRUE(form->sbAdd->isChecked());
  QTest::keyRelease(grid, Qt::Key_Shift);
  EXPECT_FALSE(form->sbRng->isChecked());
  EXPECT_TRUE(form->sbAdd->isChecked());
  QTest::keyRelease(grid, Qt::Key_Control);
  EXPECT_FALSE(form->sbAdd->isChecked());
  // Pressed with the mouse, released with the key.
  QTest::mouseClick(form->sbRng, Qt::LeftButton);
  ASSERT_TRUE(form->sbRng->isChecked());
  QTest::keyPress(grid, Qt::Key_Shift);
  QTest::keyRelease(grid, Qt::Key_Shift);
  EXPECT_FALSE(form->sbRng->isChecked());
}

TEST_F(SelectionTest, DraggingAppliesTheRuleToEveryRowEntered) {
  auto drag = [&](int from, int to) {
    SendMouse(grid->viewport(), QEvent::MouseButtonPress, Centre(from), Qt::LeftButton,
              Qt::LeftButton);
    for (int r = from + 1; r <= to; ++r)
      SendMouse(grid->viewport(), QEvent::MouseMove, Centre(r), Qt::NoButton, Qt::LeftButton);
    SendMouse(grid->viewport(), QEvent::MouseButtonRelease, Centre(to), Qt::LeftButton,
              Qt::NoButton);
  };
  drag(2, 5);  // plain: the single selection follows the mouse
  EXPECT_EQ(Selected(), Entries({4}));
  EXPECT_EQ(grid->Row(), 5);
  QTest::keyPress(grid, Qt::Key_Shift);
  drag(7, 10);  // Range: the run grows with the mouse
  QTest::keyRelease(grid, Qt::Key_Shift);
  EXPECT_EQ(Selected(), Entries({4, 5, 6, 7, 8, 9}));
}

TEST_F(SelectionTest, KeysMoveTheCursorFrameWithoutChangingTheSelection) {
  Click(3);
  const Entries before = Selected();
  ASSERT_EQ(before, Entries({2}));
  const QRgb frame = grid->palette().color(QPalette::Highlight).rgb() & 0xFFFFFFu;
  EXPECT_EQ(TopEdge(3), frame);

  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  EXPECT_EQ(grid->Row(), 5);
  EXPECT_EQ(TopEdge(5), frame);
  EXPECT_NE(TopEdge(4), frame);  // not selected, no longer the cursor row
  Key(Qt::Key_Up);
  EXPECT_EQ(grid->Row(), 4);
  Key(Qt::Key_End);
  EXPECT_EQ(grid->Row(), 30);
  Key(Qt::Key_Home);
  EXPECT_EQ(grid->Row(), 1);
  EXPECT_EQ(TopEdge(1), frame);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(grid->Row(), 1 + grid->VisibleRowCount());
  Key(Qt::Key_PageUp);
  EXPECT_EQ(grid->Row(), 1);
  // Left and Right scroll one column and put the cursor on the first one in view.
  Key(Qt::Key_Right);
  EXPECT_EQ(grid->LeftCol(), 1);
  EXPECT_EQ(grid->Col(), 1);
  Key(Qt::Key_Left);
  EXPECT_EQ(grid->LeftCol(), 0);
  EXPECT_EQ(grid->Col(), 0);
  Key(Qt::Key_Left);  // from the first column: to the far right
  EXPECT_GT(grid->LeftCol(), 0);
  EXPECT_EQ(grid->Col(), grid->LeftCol());
  const int farRight = grid->LeftCol();
  Key(Qt::Key_Right);  // the last column is in view: back to the first
  EXPECT_EQ(grid->LeftCol(), 0);
  EXPECT_GT(farRight, 0);

  EXPECT_EQ(Selected(), before);
  EXPECT_EQ(form->LastRow, 2);
  EXPECT_FALSE(form->SkipSelect);
  EXPECT_EQ(SelectionText(), "Selected: 1 files  -  750 bytes");

  // Space applies the rule to the cursor row: here the plain rule.
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);  // back on row 3, the selected one
  ASSERT_EQ(grid->Row(), 3);
  Key(Qt::Key_Space);
  EXPECT_EQ(Selected(), Entries({}));  // the single selected entry: deselected
  Key(Qt::Key_Down);
  Key(Qt::Key_Space);
  EXPECT_EQ(Selected(), Entries({3}));
  Key(Qt::Key_Space);
  EXPECT_EQ(Selected(), Entries({}));
  // With Ctrl held, Space adds.
  QTest::keyPress(grid, Qt::Key_Control);
  Key(Qt::Key_Space);
  Key(Qt::Key_Down);
  Key(Qt::Key_Space);
  QTest::keyRelease(grid, Qt::Key_Control);
  EXPECT_EQ(Selected(), Entries({3, 4}));
  EXPECT_EQ(grid->Row(), 5);
}

TEST_F(SelectionTest, PageUpAndPageDownStopAtTheFirstAndLastRow) {
  const int visible = grid->VisibleRowCount();
  ASSERT_GT(visible, 2);
  ASSERT_LT(visible, 29);
  Key(Qt::Key_Down);
  ASSERT_EQ(grid->Row(), 2);
  Key(Qt::Key_PageUp);
  EXPECT_EQ(grid->Row(), 1);
  Key(Qt::Key_End);
  Key(Qt::Key_Up);
  Key(Qt::Key_Up);
  ASSERT_EQ(grid->Row(), 28);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(grid->Row(), 30);
  Key(Qt::Key_PageDown);  // on the last row already
  EXPECT_EQ(grid->Row(), 30);
  Key(Qt::Key_Down);
  EXPECT_EQ(grid->Row(), 30);
  EXPECT_EQ(Selected(), Entries({}));
}

// A key move that does not move the cursor (Home on row 1, End on the last row,
// Up on row 1) must not swallow the next click.
TEST_F(SelectionTest, AKeyThatDoesNotMoveTheCursorLeavesTheNextClickWorking) {
  ASSERT_EQ(grid->Row(), 1);
  Key(Qt::Key_Home);
  EXPECT_FALSE(form->SkipSelect);
  Click(4);
  EXPECT_EQ(Selected(), Entries({3}));
  Key(Qt::Key_End);
  Key(Qt::Key_End);
  EXPECT_FALSE(form->SkipSelect);
  Key(Qt::Key_Home);
  Key(Qt::Key_Up);
  Key(Qt::Key_Left);
  Key(Qt::Key_Right);  // Col already equals the new LeftCol after Left/Right pairs
  Key(Qt::Key_Right);
  EXPECT_FALSE(form->SkipSelect);
  Click(6);
  EXPECT_EQ(Selected(), Entries({5}));
}

// Space in the last column when it is also the leftmost one in view: there is
// no neighbour to move to, and Space still toggles the cursor row.
TEST_F(SelectionTest, SpaceInTheOnlyVisibleLastColumnStillToggles) {
  grid->SetColWidth(7, 4000);  // the Path column alone fills the view
  Key(Qt::Key_Down);
  Key(Qt::Key_Left);  // wraps to the far right: the Path column
  ASSERT_EQ(grid->LeftCol(), 7);
  ASSERT_EQ(grid->Col(), 7);
  Key(Qt::Key_Space);
  EXPECT_EQ(Selected(), Entries({1}));
  EXPECT_EQ(SelectionText(), "Selected: 1 files  -  500 bytes");
  EXPECT_EQ(grid->Col(), 7);
  Key(Qt::Key_Space);
  EXPECT_EQ(Selected(), Entries({}));
}

// One entry selected that is not the last clicked one (after Additive clicks):
// a plain click still leaves only the clicked entry selected.
TEST_F(SelectionTest, PlainClickAfterAdditiveClicksLeavesOnlyTheClickedEntry) {
  QTest::keyPress(grid, Qt::Key_Control);
  Click(2);
  Click(4);
  Click(4);  // entry 3 off again: entry 1 is the only one, LastRow is entry 3
  QTest::keyRelease(grid, Qt::Key_Control);
  ASSERT_EQ(Selected(), Entries({1}));
  ASSERT_EQ(form->LastRow, 3);
  Click(6);
  EXPECT_EQ(Selected(), Entries({5}));
  // And the same situation with a click on the single selected entry deselects it.
  QTest::keyPress(grid, Qt::Key_Control);
  Click(9);
  Click(9);
  QTest::keyRelease(grid, Qt::Key_Control);
  ASSERT_EQ(Selected(), Entries({5}));
  Click(6);
  EXPECT_EQ(Selected(), Entries({}));
}

// A click on a title sorts by that column (the title row shows the order); it
// is no click on an entry: the selection, LastRow and the cursor's entry stay.
TEST_F(SelectionTest, ClickOnTheTitleRowSortsAndChangesNoSelection) {
  Click(3);
  QApplication::processEvents();
  std::set<int> paintedRows;
  auto paint = grid->OnDrawCell;
  grid->OnDrawCell = [&](QPainter& canvas, int col, int row, const QRect& rect) {
    paintedRows.insert(row);
    paint(canvas, col, row, rect);
  };
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, Centre(0, 2));
  QApplication::processEvents();
  EXPECT_EQ(form->Rows.SortColumn(), 2);
  EXPECT_EQ(paintedRows.count(0), 1u);  // the title row, with the sort mark
  EXPECT_EQ(Selected(), Entries({2}));
  EXPECT_EQ(form->LastRow, 2);
  EXPECT_EQ(grid->Row(), 3);
  EXPECT_EQ(SelectionText(), "Selected: 1 files  -  750 bytes");
  // A click on a data row repaints the data rows, not the title row.
  paintedRows.clear();
  Click(5);
  QApplication::processEvents();
  EXPECT_FALSE(paintedRows.empty());
  EXPECT_EQ(paintedRows.count(0), 0u);
  EXPECT_EQ(paintedRows.count(3), 1u);
  EXPECT_EQ(paintedRows.count(5), 1u);
}

TEST(SelectionEmptyTest, WithoutEntriesKeysAreLeftToTheGridAndTogglesStayUp) {
  for (const char* archive : {"", "py_empty.zip"}) {
    SCOPED_TRACE(archive);
    test::RecordingShell shell;
    QStringList args;
    if (*archive) args << QString::fromStdString(DataPath(archive));
    TForm1 f(args, &shell);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    for (int vk : {kVkReturn, kVkShift, kVkControl, kVkSpace, kVkDown, kVkEnd}) {
      int key = vk;
      f.DrawGrid1KeyDown(key, {});
      EXPECT_EQ(key, vk);
    }
    QTest::keyPress(f.DrawGrid1, Qt::Key_Shift);
    QTest::keyPress(f.DrawGrid1, Qt::Key_Control);
    EXPECT_FALSE(f.sbRng->isChecked());
    EXPECT_FALSE(f.sbAdd->isChecked());
    QTest::keyRelease(f.DrawGrid1, Qt::Key_Control);
    QTest::keyRelease(f.DrawGrid1, Qt::Key_Shift);
    QTest::keyClick(f.DrawGrid1, Qt::Key_Return);
    QTest::mouseDClick(f.DrawGrid1->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
    QTest::mouseRelease(f.DrawGrid1->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(f.TempFiles.size(), 1u);
    EXPECT_EQ(f.PanelText(1), "Selected: 0 files");
    CloseArchive();
  }
}

}  // namespace
}  // namespace vantelo::ui
