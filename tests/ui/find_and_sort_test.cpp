// Finding and sorting in the entry grid on the real main window: the Find bar
// (Ctrl+F, Escape), the filter over folders and names in any script, sorting
// by a column title, the selection staying with the entries, Range over the
// shown rows, and hostile filter texts. find_sort.zip is described in
// make-selection-fixtures.sh.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/engine.h"
#include "ui/main_window.h"
#include "ui/widgets/draw_grid.h"
#include "ui/widgets/status_bar.h"
#include "ui_test_support.h"

namespace vantelo::ui {
namespace {

using test::DataPath;
using Names = std::vector<std::string>;
using Entries = std::vector<int>;

// Index order of find_sort.zip.
enum : int {
  kReadme, kTax, kPhotos, kImg10, kImg2, kImg1, kPrivet, kNotes, kEmpty, kFindSortCount
};

class FindSortTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(DataPath("find_sort.zip")); }
  void Open(const std::string& archive) {
    form = std::make_unique<TForm1>(QStringList{QString::fromStdString(archive)}, &shell);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    grid = form->DrawGrid1;
    grid->setFocus();
  }
  void TearDown() override {
    form.reset();
    CloseArchive();
  }

  // The names of the shown rows, top to bottom.
  Names Shown() const {
    Names out;
    for (int r = 1; r < grid->RowCount(); ++r) out.push_back(GetEntryName(form->EntryOfRow(r)));
    return out;
  }
  static Entries Selected() {
    Entries out;
    for (int i = 0; i < GetEntryCount(); ++i)
      if (GetEntrySelected(i)) out.push_back(i);
    return out;
  }
  void Click(int row, Qt::KeyboardModifiers keys = {}) {
    const QRect cell = grid->CellRect(1, row);
    ASSERT_FALSE(cell.isEmpty()) << "row " << row;
    if (keys & Qt::ShiftModifier) QTest::keyPress(grid, Qt::Key_Shift);
    if (keys & Qt::ControlModifier) QTest::keyPress(grid, Qt::Key_Control);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    if (keys & Qt::ControlModifier) QTest::keyRelease(grid, Qt::Key_Control);
    if (keys & Qt::ShiftModifier) QTest::keyRelease(grid, Qt::Key_Shift);
  }
  void ClickTitle(int col) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(col, 0).center());
  }
  void Find(const QString& text) {
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(form->FindBar->isVisible());
    form->edFind->clear();
    form->edFind->insert(text);  // as typed (QTest types ASCII only)
  }

  test::RecordingShell shell;
  std::unique_ptr<TForm1> form;
  DrawGrid* grid = nullptr;
};

TEST_F(FindSortTest, CtrlFFindsByNameOrFolderInAnyScriptAndEscapeShowsEveryEntryAgain) {
  const QString total = form->PanelText(0);
  EXPECT_FALSE(form->FindBar->isVisible());
  EXPECT_FALSE(form->StatusBar1->PanelVisible(2));
  QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(form->FindBar->isVisible());
  EXPECT_TRUE(form->edFind->hasFocus());
  QTest::keyClicks(form->edFind, "TAX");
  EXPECT_EQ(Shown(), Names({"quarterly-tax-2024.pdf"}));
  EXPECT_TRUE(form->StatusBar1->PanelVisible(2));
  EXPECT_EQ(form->PanelText(2), "Shown: 1 of 9 files");
  EXPECT_EQ(form->PanelText(0), total);  // the totals stay the archive's
  // The totals' panel makes room for the count: only as wide as its text.
  EXPECT_LT(form->StatusBar1->Panel(0)->maximumWidth(), 300);
  // A folder matches everything in it; a text may span folder and name.
  form->edFind->setText("photos");
  EXPECT_EQ(Shown(), Names({"[FOLDER]", "img10.jpg", "img2.jpg", "img1.jpg"}));
  form->edFind->setText("s/img1");
  EXPECT_EQ(Shown(), Names({"img10.jpg", "img1.jpg"}));
  // Case folded in every script, compatibility forms too.
  form->edFind->setText(QString::fromUtf8("привет"));
  EXPECT_EQ(Shown(), Names({"Привет мир.txt"}));
  form->edFind->setText(QString::fromUtf8("σημειωσεις"));  // final sigma as typed
  EXPECT_EQ(Shown(), Names({"ΣΗΜΕΙΩΣΕΙΣ.md"}));
  form->edFind->setText(QString::fromUtf8("ＴＡＸ"));  // full-width letters
  EXPECT_EQ(Shown(), Names({"quarterly-tax-2024.pdf"}));
  // Nothing matches: the title row alone, and the keys find nothing to act on.
  form->edFind->setText("no such entry");
  EXPECT_EQ(grid->RowCount(), 1);
  EXPECT_EQ(form->PanelText(2), "Shown: 0 of 9 files");
  grid->setFocus();
  for (Qt::Key key : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Return, Qt::Key_End})
    QTest::keyClick(grid, key);
  QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(shell.opened.empty());
  // Escape, here from the grid: every entry again, the bar and the count gone.
  for (std::int32_t i = 0; i < GetEntryCount(); ++i) SetEntrySelected(i, false);
  QTest::keyClick(grid, Qt::Key_Escape);
  EXPECT_FALSE(form->FindBar->isVisible());
  EXPECT_TRUE(form->edFind->text().isEmpty());
  EXPECT_EQ(grid->RowCount(), kFindSortCount + 1);
  EXPECT_EQ(form->EntryOfRow(1), kReadme);
  EXPECT_FALSE(form->StatusBar1->PanelVisible(2));
  EXPECT_EQ(form->StatusBar1->Panel(0)->maximumWidth(), 300);
  EXPECT_TRUE(grid->hasFocus());
  // And Escape in the field itself.
  Find("img");
  EXPECT_EQ(grid->RowCount(), 4);
  QTest::keyClick(form->edFind, Qt::Key_Escape);
  EXPECT_FALSE(form->FindBar->isVisible());
  EXPECT_EQ(grid->RowCount(), kFindSortCount + 1);
  EXPECT_TRUE(grid->hasFocus());
}

TEST_F(FindSortTest, EnterOrDownGoesToTheRowsFoundAndTheCursorStaysWithItsEntry) {
  grid->ResetCursor(3, 5);  // on img2.jpg, the Time column
  Find("img");
  EXPECT_EQ(Shown(), Names({"img10.jpg", "img2.jpg", "img1.jpg"}));
  EXPECT_EQ(form->EntryOfRow(grid->Row()), kImg2);
  EXPECT_EQ(grid->Col(), 3);
  QTest::keyClick(form->edFind, Qt::Key_Return);
  EXPECT_TRUE(grid->hasFocus());
  EXPECT_EQ(form->edFind->text(), "img");  // the filter stays
  QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
  QTest::keyClick(form->edFind, Qt::Key_Down);
  EXPECT_TRUE(grid->hasFocus());
  // The cursor's entry hidden: the first row.
  form->edFind->setText("tax");
  EXPECT_EQ(grid->Row(), 1);
  EXPECT_EQ(form->EntryOfRow(1), kTax);
}

TEST_F(FindSortTest, EntriesTheFilterHidesStaySelectedAndCounted) {
  Click(1);  // readme.txt
  ASSERT_EQ(Selected(), Entries({kReadme}));
  Find("img");
  EXPECT_EQ(form->PanelText(1), "Selected: 1 files  -  700 bytes");
  grid->setFocus();
  Click(1, Qt::ControlModifier);  // img10.jpg
  Click(3, Qt::ControlModifier);  // img1.jpg
  EXPECT_EQ(Selected(), Entries({kReadme, kImg10, kImg1}));
  EXPECT_EQ(form->PanelText(1), "Selected: 3 files  -  850 bytes");
  // The plain rule clears every entry, shown or not.
  Click(2);
  EXPECT_EQ(Selected(), Entries({kImg2}));
  // Select all: every entry of the archive.
  QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(GetSelectedCount(), kFindSortCount);
  EXPECT_EQ(form->PanelText(1), "Selected: 9 files  -  7,150 bytes");
  QTest::keyClick(grid, Qt::Key_Escape);
  EXPECT_EQ(GetSelectedCount(), kFindSortCount);
}

TEST_F(FindSortTest, RangeSelectsTheShownRowsBetweenTheTwoClicksInShownOrder) {
  ClickTitle(4);
  ClickTitle(4);  // Size, largest first
  ASSERT_EQ(Shown(), Names({"quarterly-tax-2024.pdf", "img2.jpg", "ΣΗΜΕΙΩΣΕΙΣ.md", "readme.txt",
                            "Привет мир.txt", "img10.jpg", "img1.jpg", "[FOLDER]", "empty.log"}));
  Click(2);                        // img2.jpg
  Click(5, Qt::ShiftModifier);     // Привет мир.txt
  EXPECT_EQ(Selected(), Entries({kReadme, kImg2, kPrivet, kNotes}));
  EXPECT_EQ(form->LastRow, kPrivet);
  // The last clicked entry hidden by the filter: Range has no first row, the
  // clicked entry alone is inverted.
  Find("img");
  grid->setFocus();
  Click(3, Qt::ShiftModifier);     // img1.jpg
  EXPECT_EQ(Selected(), Entries({kReadme, kImg2, kImg1, kPrivet, kNotes}));
  // Both ends shown: only the shown rows between them (not the hidden folder).
  Click(1);                        // img2.jpg again: the plain rule, a single entry
  Click(1);
  ASSERT_EQ(Selected(), Entries({}));
  Click(1);
  Click(3, Qt::ShiftModifier);
  EXPECT_EQ(Selected(), Entries({kImg10, kImg2, kImg1}));
}

TEST_F(FindSortTest, ATitleClickSortsAndASecondReversesTheSelectionAndCursorStayWithTheEntries) {
  Click(6);  // img1.jpg
  grid->ResetCursor(2, 6);
  ASSERT_EQ(Selected(), Entries({kImg1}));
  ClickTitle(1);  // Name
  EXPECT_EQ(form->Rows.SortColumn(), 1);
  EXPECT_FALSE(form->Rows.Descending());
  const Names ascending = Shown();
  auto at = [&](const std::string& name) {
    return std::find(ascending.begin(), ascending.end(), name) - ascending.begin();
  };
  // Numbers inside names in their order, letters without regard to case.
  EXPECT_LT(at("img1.jpg"), at("img2.jpg"));
  EXPECT_LT(at("img2.jpg"), at("img10.jpg"));
  EXPECT_LT(at("empty.log"), at("img1.jpg"));
  EXPECT_LT(at("quarterly-tax-2024.pdf"), at("readme.txt"));
  EXPECT_EQ(Selected(), Entries({kImg1}));
  EXPECT_EQ(form->EntryOfRow(grid->Row()), kImg1);
  EXPECT_EQ(grid->Col(), 2);
  EXPECT_TRUE(form->RowIsSelected(grid->Row()));
  ClickTitle(1);
  EXPECT_TRUE(form->Rows.Descending());
  Names descending = Shown();
  std::reverse(descending.begin(), descending.end());
  EXPECT_EQ(descending, ascending);
  EXPECT_EQ(form->EntryOfRow(grid->Row()), kImg1);
  // Date and Time sort by the moment; equal moments keep index order.
  ClickTitle(2);
  EXPECT_EQ(Shown(), Names({"[FOLDER]", "img1.jpg", "img2.jpg", "img10.jpg", "empty.log", "readme.txt",
                            "Привет мир.txt", "ΣΗΜΕΙΩΣΕΙΣ.md", "quarterly-tax-2024.pdf"}));
  // The type: folders first, then by extension.
  ClickTitle(0);
  EXPECT_EQ(Shown(), Names({"[FOLDER]", "img1.jpg", "img2.jpg", "img10.jpg", "empty.log",
                            "ΣΗΜΕΙΩΣΕΙΣ.md", "quarterly-tax-2024.pdf", "readme.txt", "Привет мир.txt"}));
  // Type-ahead follows the shown order.
  grid->ResetCursor(1, 1);
  QTest::keyClick(grid, Qt::Key_R);
  EXPECT_EQ(GetEntryName(form->EntryOfRow(grid->Row())), "readme.txt");
  // A new archive keeps the sort choice.
  form->ZipFileName = DataPath("select30.zip");
  form->OpenZipFile();
  EXPECT_EQ(form->Rows.SortColumn(), 0);
  EXPECT_EQ(grid->RowCount(), 31);
}

TEST_F(FindSortTest, AFailedOpenKeepsTheFilterAndAnotherCodePageFindsByTheNewNames) {
  Open(DataPath("names/cp866.zip"));
  Find(QString::fromUtf8("привет"));
  ASSERT_EQ(Shown(), Names({"Привет мир.doc"}));
  test::BoxSeen seen;
  {
    test::ModalAnswer answer(test::CloseMessageBox(&seen));
    form->ZipFileName = DataPath("bad_notzip.txt");
    form->OpenZipFile();
    ASSERT_TRUE(answer.fired());
  }
  EXPECT_EQ(Shown(), Names({"Привет мир.doc"}));
  EXPECT_EQ(form->PanelText(2), "Shown: 1 of 4 files");
  // Read as another code page the name no longer says "привет".
  form->cbNames->setCurrentIndex(form->cbNames->findData(QStringLiteral("CP1251")));
  EXPECT_EQ(grid->RowCount(), 1);
  EXPECT_EQ(form->PanelText(2), "Shown: 0 of 4 files");
  form->cbNames->setCurrentIndex(0);
  EXPECT_EQ(Shown(), Names({"Привет мир.doc"}));
  // Close: no filter, no Find bar.
  form->sbCloseClick();
  EXPECT_FALSE(form->FindBar->isVisible());
  EXPECT_TRUE(form->edFind->text().isEmpty());
  EXPECT_FALSE(form->StatusBar1->PanelVisible(2));
}

TEST_F(FindSortTest, HostileFilterTextsEndInNoMatchOrAMatchNeverACrash) {
  Find("x");
  const QStringList texts = {QString(100000, QChar('a')), QString::fromUtf8("\u202Etxt"),
                             QString(QChar(0)) + "txt", QStringLiteral("%"),
                             QString(QChar(0xD800)),  // a lone surrogate
                             QStringLiteral("\t\n")};
  for (const QString& text : texts) {
    form->edFind->setText(text);
    EXPECT_EQ(grid->RowCount(), 1) << text.left(10).toStdString();
  }
  // Names the engine showed as "%XX" are found as shown.
  Open(DataPath("names/bad_utf8.zip"));
  Find("%ff");
  EXPECT_EQ(Shown(), Names({"bad%ff%fe.txt"}));
}

TEST(FindManyTest, OneEntryOfTwentyThousandIsFoundSelectedAndKeptWhenAllAreShownAgain) {
  test::TempFolder dir;
  std::vector<test::FakeEntry> entries;
  for (int i = 0; i < 20000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "d/%06d.txt", i);
    entries.push_back({i == 12345 ? std::string("reports/quarterly-tax-2024.pdf") : name, 10, 10});
  }
  test::WriteCatalogZip(dir.file("many.zip"), entries);
  test::RecordingShell shell;
  TForm1 f({QString::fromStdString(dir.file("many.zip"))}, &shell);
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  QTest::keyClick(f.DrawGrid1, Qt::Key_F, Qt::ControlModifier);
  QTest::keyClicks(f.edFind, "tax");
  ASSERT_EQ(f.DrawGrid1->RowCount(), 2);
  EXPECT_EQ(f.EntryOfRow(1), 12345);
  EXPECT_EQ(f.PanelText(2), "Shown: 1 of 20,000 files");
  f.DrawGrid1->setFocus();
  QTest::keyClick(f.DrawGrid1, Qt::Key_Space);
  EXPECT_EQ(f.PanelText(1), "Selected: 1 files  -  10 bytes");
  QTest::keyClick(f.DrawGrid1, Qt::Key_Escape);
  EXPECT_EQ(f.DrawGrid1->RowCount(), 20001);
  EXPECT_TRUE(GetEntrySelected(12345));
  EXPECT_EQ(f.DrawGrid1->Row(), 12346);  // the cursor stays with the entry, in view
  EXPECT_FALSE(f.DrawGrid1->CellRect(1, 12346).isEmpty());
  CloseArchive();
}

}  // namespace
}  // namespace vantelo::ui
