// Grid painting: cell texts, icon indexes through the IconCache, and the painted grid.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QToolTip>
#include <QTest>

#include <algorithm>
#include <map>

#include "common/test_support.h"
#include "engine/engine.h"
#include "ui/extract_workflow.h"
#include "ui/main_window.h"
#include "ui/widgets/draw_grid.h"
#include "ui_test_support.h"

namespace vantelo::ui {
namespace {

using test::DataPath;
using test::FakeEntry;

QString QData(const char* name) { return QString::fromStdString(DataPath(name)); }

std::string Cell(TForm1& f, int col, int row) {
  std::string text;
  bool selected = true;
  f.GetCellText(col, row, text, selected);
  return text;
}

// Row of the entry with this name (and folder), or -1.
int RowOf(const std::string& name, const std::string& folder = "") {
  for (int i = 0; i < GetEntryCount(); ++i)
    if (GetEntryName(i) == name && (folder.empty() || GetEntryFolder(i) == folder)) return i + 1;
  return -1;
}

class GridPaintingTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseArchive(); }
};

TEST_F(GridPaintingTest, CellTextsOfTheDemoArchive) {
  TForm1 f({QData("demo.zip")});
  const int main = RowOf("main.cpp");
  ASSERT_GT(main, 0);
  EXPECT_EQ(Cell(f, 0, main), "");
  EXPECT_EQ(Cell(f, 1, main), "main.cpp");
  EXPECT_EQ(Cell(f, 2, main), "05/17/24");
  EXPECT_EQ(Cell(f, 3, main), "14:32:10");
  EXPECT_EQ(Cell(f, 4, main), "1,060");
  EXPECT_EQ(Cell(f, 5, main), "6%");
  EXPECT_EQ(Cell(f, 6, main), "64");
  EXPECT_EQ(Cell(f, 7, main), "vantelo demo/src/");
  const int empty = RowOf("empty.log");
  EXPECT_EQ(Cell(f, 4, empty), "0");
  EXPECT_EQ(Cell(f, 5, empty), "0");  // not "0%"
  const int secret = RowOf("secret.txt");
  EXPECT_EQ(Cell(f, 1, secret), "secret.txt+");
  EXPECT_EQ(Cell(f, 5, secret), "160%");  // above 100 for small encrypted entries
  const int folder = RowOf("[FOLDER]", "vantelo demo/images/");
  EXPECT_EQ(Cell(f, 1, folder), "[FOLDER]");
  EXPECT_EQ(Cell(f, 7, folder), "vantelo demo/images/");
  std::string text;
  bool selected = true;
  f.GetCellText(1, main, text, selected);
  EXPECT_FALSE(selected);
  SetEntrySelected(main - 1, true);
  f.GetCellText(1, main, text, selected);
  EXPECT_TRUE(selected);
}

TEST_F(GridPaintingTest, TheGridsDataSourceReadsTheTextsAsPaintedAndTheSelectedFlags) {
  TForm1 f({QData("demo.zip")});
  DrawGrid* grid = f.DrawGrid1;
  EXPECT_EQ(grid->CellText(1, 0), "Name");
  EXPECT_EQ(grid->CellText(0, 0), "  ");
  const int secret = RowOf("secret.txt");
  EXPECT_EQ(grid->CellText(1, secret), "secret.txt+");
  EXPECT_EQ(grid->CellText(4, RowOf("main.cpp")), "1,060");
  EXPECT_EQ(grid->CellText(1, RowOf("[FOLDER]", "vantelo demo/images/")), "[FOLDER]");
  EXPECT_EQ(grid->CellText(0, secret), "Plain text document");  // the icon column: its type
  EXPECT_EQ(grid->CellText(kColCount, secret), "");       // outside the grid
  EXPECT_EQ(grid->CellText(1, grid->RowCount()), "");
  EXPECT_FALSE(grid->RowSelected(secret));
  SetEntrySelected(secret - 1, true);
  EXPECT_TRUE(grid->RowSelected(secret));
  EXPECT_FALSE(grid->RowSelected(0));  // the title row
  f.sbCloseClick();
  EXPECT_EQ(grid->CellText(1, 0), "Name");  // the empty grid keeps its titles
  EXPECT_FALSE(grid->RowSelected(1));
}

TEST_F(GridPaintingTest, DatesTimesAndTopLevelFolders) {
  TForm1 f({QData("zip_encrypted.zip")});
  const int readme = RowOf("readme.txt");
  ASSERT_GT(readme, 0);
  EXPECT_EQ(Cell(f, 1, readme), "readme.txt+");
  EXPECT_EQ(Cell(f, 2, readme), "02/05/98");
  EXPECT_EQ(Cell(f, 3, readme), "09:05:06");
  EXPECT_EQ(Cell(f, 7, RowOf("noext")), "");  // a top-level entry
}

TEST_F(GridPaintingTest, RatiosRoundHalfToEvenAndLargeSizesGroup) {
  test::TempFolder dir;
  const std::uint16_t date = (18 << 9) | (2 << 5) | 5, time = (9 << 11) | (5 << 5) | 3;
  test::WriteCatalogZip(dir.file("r.zip"), {{"a.txt", 1000, 125, date, time},
                                            {"b.txt", 1000, 375, date, time},
                                            {"c.txt", 1000, 333, date, time},
                                            {"d.txt", 100000000, 50000000, date, time},
                                            {"notes.txt", 10, 22, date, time, true}});
  TForm1 f({QString::fromStdString(dir.file("r.zip"))});
  EXPECT_EQ(Cell(f, 5, 1), "12%");
  EXPECT_EQ(Cell(f, 5, 2), "38%");
  EXPECT_EQ(Cell(f, 4, 3), "1,000");
  EXPECT_EQ(Cell(f, 5, 3), "33%");
  EXPECT_EQ(Cell(f, 6, 3), "333");
  EXPECT_EQ(Cell(f, 4, 4), "100,000,000");
  EXPECT_EQ(Cell(f, 5, 4), "50%");  // packed x 100 is past 32 bits
  EXPECT_EQ(Cell(f, 1, 5), "notes.txt+");
  EXPECT_EQ(Cell(f, 2, 1), "02/05/98");
  EXPECT_EQ(Cell(f, 3, 1), "09:05:06");
}

TEST_F(GridPaintingTest, IconCacheAsksTheShellOncePerExtensionAndOnceForFolders) {
  test::RecordingShell shell;
  TForm1 f({QData("demo.zip")}, &shell);
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  shell.iconRequests.clear();
  f.IconCache.Clear();
  std::map<int, std::int32_t> first;
  for (int row = 1; row < f.DrawGrid1->RowCount(); ++row) first[row] = f.GetIconIndex(row);
  for (int row = 1; row < f.DrawGrid1->RowCount(); ++row) EXPECT_EQ(f.GetIconIndex(row), first[row]);
  f.grab();  // a paint asks nothing more either
  int folders = 0;
  std::vector<std::string> names;
  for (const auto& [name, folder] : shell.iconRequests) {
    if (folder) ++folders;
    else names.push_back(name);
  }
  EXPECT_EQ(folders, 1);
  std::sort(names.begin(), names.end());
  // One per extension: "readme.txt" and "secret.txt" share "txt" (the first one asks).
  EXPECT_EQ(names, (std::vector<std::string>{"blob.bin", "build.sh", "config.json", "empty.log",
                                             "gradient.png", "main.cpp", "manual.html",
                                             "notes.md", "readme.txt", "table.csv"}));
  for (const auto& [name, folder] : shell.iconRequests)
    if (folder) {
      EXPECT_EQ(name, "[FOLDER]");
    }
  std::int32_t value = -1;
  EXPECT_TRUE(f.IconCache.Find("TXT", value));  // names compare without regard to case
  EXPECT_EQ(value, first[RowOf("readme.txt")]);
  EXPECT_TRUE(f.IconCache.Find("FOLDER", value));
  EXPECT_EQ(value, first[RowOf("[FOLDER]")]);
  // Folders and files get different icons, and every index draws something.
  EXPECT_NE(first[RowOf("[FOLDER]")], first[RowOf("readme.txt")]);
  for (const auto& [row, index] : first) EXPECT_FALSE(shell.Icon(index).isNull()) << row;
}

TEST_F(GridPaintingTest, IconCacheLivesAcrossArchives) {
  test::RecordingShell shell;
  TForm1 f({QData("demo.zip")}, &shell);
  for (int row = 1; row < f.DrawGrid1->RowCount(); ++row) f.GetIconIndex(row);
  const int count = f.IconCache.Count();
  f.sbCloseClick();
  EXPECT_EQ(f.IconCache.Count(), count);
  shell.iconRequests.clear();
  f.ZipFileName = DataPath("demo.zip");
  f.OpenZipFile();
  for (int row = 1; row < f.DrawGrid1->RowCount(); ++row) f.GetIconIndex(row);
  EXPECT_TRUE(shell.iconRequests.empty());
}

class PaintedGridTest : public GridPaintingTest {
 protected:
  void SetUp() override {
    form = std::make_unique<TForm1>(QStringList{QData("demo.zip")});
    form->resize(800, 500);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  QImage Grab() { return form->DrawGrid1->viewport()->grab().toImage(); }
  QRect Rect(int col, int row) { return form->DrawGrid1->CellRect(col, row); }
  QRgb Colour(QPalette::ColorRole role) const {
    return form->DrawGrid1->palette().color(role).rgb();
  }
  // The selection and the cursor frame are in the palette's highlight colour.
  bool IsHighlight(QRgb c) const { return c == Colour(QPalette::Highlight); }
  std::unique_ptr<TForm1> form;
};

bool IsBlack(QRgb c) { return qRed(c) == 0 && qGreen(c) == 0 && qBlue(c) == 0; }

TEST_F(PaintedGridTest, SelectedRowIsHighlightedInEveryColumn) {
  SetEntrySelected(2, true);  // row 3
  const QImage img = Grab();
  for (int col = 0; col < 8; ++col) {
    const QRect r = Rect(col, 3);
    if (r.isEmpty()) continue;
    // The far corner of each cell, away from text and icon (also behind the icon column).
    const QPoint corner(std::min(r.right(), img.width() - 1) - 1, r.bottom() - 1);
    EXPECT_TRUE(IsHighlight(img.pixel(corner))) << "column " << col;
  }
  // Behind the icon too: the strip right of the 16-pixel icon.
  EXPECT_TRUE(IsHighlight(img.pixel(Rect(0, 3).left() + 18, Rect(0, 3).top() + 8)));
  const QRect name = Rect(1, 3);
  int light = 0;
  for (int x = name.left() + 2; x < name.left() + 40; ++x)
    for (int y = name.top() + 1; y < name.bottom(); ++y)
      if (qGray(img.pixel(x, y)) > 200) ++light;
  EXPECT_GT(light, 10);
  // Unselected rows are on the base colour, every other one on the alternate base.
  const QRect other = Rect(2, 4);
  EXPECT_EQ(img.pixel(other.right() - 1, other.bottom() - 1), Colour(QPalette::AlternateBase));
  const QRect odd = Rect(2, 5);
  EXPECT_EQ(img.pixel(odd.right() - 1, odd.bottom() - 1), Colour(QPalette::Base));
}

TEST_F(PaintedGridTest, CursorRowHasAHighlightFrame) {
  const QImage img = Grab();
  ASSERT_EQ(form->DrawGrid1->Row(), 1);
  for (int col = 0; col < 8; ++col) {
    const QRect r = Rect(col, 1);
    if (r.isEmpty() || r.right() >= img.width()) continue;
    EXPECT_TRUE(IsHighlight(img.pixel(r.left() + r.width() / 2, r.top()))) << col;
    EXPECT_TRUE(IsHighlight(img.pixel(r.left() + r.width() / 2, r.bottom()))) << col;
  }
  EXPECT_TRUE(IsHighlight(img.pixel(Rect(0, 1).left(), Rect(0, 1).center().y())));
  const QRect last = Rect(7, 1);
  if (!last.isEmpty() && last.right() < img.width()) {
    EXPECT_TRUE(IsHighlight(img.pixel(last.right(), last.center().y())));
  }
  // Row 2 has no frame.
  const QRect r2 = Rect(2, 2);
  EXPECT_EQ(img.pixel(r2.left() + r2.width() / 2, r2.top()), Colour(QPalette::AlternateBase));
}

TEST_F(PaintedGridTest, CursorFrameAlsoOnASelectedRow) {
  SetEntrySelected(0, true);
  const QImage img = Grab();
  const QRect r = Rect(3, 1);
  EXPECT_TRUE(IsHighlight(img.pixel(r.center())));  // the fill
  EXPECT_TRUE(IsHighlight(img.pixel(r.left() + 5, r.top())));
}

TEST_F(PaintedGridTest, TitleRowIsBoxedOnTheFaceColour) {
  const QImage img = Grab();
  const QRgb face = Colour(QPalette::Button);
  for (int col = 0; col < 8; ++col) {
    const QRect r = Rect(col, 0);
    if (r.isEmpty() || r.right() >= img.width()) continue;
    EXPECT_TRUE(IsBlack(img.pixel(r.left(), r.center().y()))) << col;
    EXPECT_TRUE(IsBlack(img.pixel(r.right(), r.center().y()))) << col;
    EXPECT_TRUE(IsBlack(img.pixel(r.left() + 1, r.top()))) << col;
    EXPECT_TRUE(IsBlack(img.pixel(r.left() + 1, r.bottom()))) << col;
    EXPECT_EQ(img.pixel(r.right() - 2, r.bottom() - 2), face) << col;
  }
  // The titles are written in black: some dark pixels inside "Name".
  const QRect name = Rect(1, 0);
  int dark = 0;
  for (int x = name.left() + 2; x < name.left() + 40; ++x)
    for (int y = name.top() + 2; y < name.bottom() - 1; ++y)
      if (qGray(img.pixel(x, y)) < 80) ++dark;
  EXPECT_GT(dark, 20);
}

// A dark theme: every part of the grid takes its colour from the palette, so
// the text reads on the background (no white rows, no black titles).
TEST_F(PaintedGridTest, UnderADarkPaletteEveryColourComesFromThePalette) {
  QPalette dark;
  dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
  dark.setColor(QPalette::AlternateBase, QColor(0x2A, 0x2A, 0x2A));
  dark.setColor(QPalette::Text, QColor(0xE8, 0xE8, 0xE8));
  dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
  dark.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
  dark.setColor(QPalette::Button, QColor(0x3C, 0x3C, 0x3C));
  dark.setColor(QPalette::ButtonText, QColor(0xF0, 0xF0, 0xF0));
  dark.setColor(QPalette::Highlight, QColor(0x3D, 0x6E, 0xB8));
  dark.setColor(QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF));
  form->setPalette(dark);
  SetEntrySelected(2, true);  // row 3
  const QImage img = Grab();
  auto inside = [&](int col, int row) {
    const QRect r = Rect(col, row);
    return img.pixel(std::min(r.right(), img.width() - 1) - 1, r.bottom() - 1);
  };
  EXPECT_EQ(inside(2, 5), dark.color(QPalette::Base).rgb());
  EXPECT_EQ(inside(2, 4), dark.color(QPalette::AlternateBase).rgb());
  EXPECT_EQ(inside(2, 3), dark.color(QPalette::Highlight).rgb());
  const QRect frame = Rect(3, 1);  // the cursor row
  EXPECT_EQ(img.pixel(frame.center().x(), frame.top()), dark.color(QPalette::Highlight).rgb());
  // The title row: button colour, boxed and written in the button text colour.
  const QRect title = Rect(1, 0);
  EXPECT_EQ(img.pixel(title.right() - 2, title.bottom() - 2), dark.color(QPalette::Button).rgb());
  EXPECT_EQ(img.pixel(title.left(), title.center().y()), dark.color(QPalette::ButtonText).rgb());
  auto lightPixels = [&](const QRect& r) {
    int n = 0;
    for (int x = r.left() + 2; x < r.left() + 40; ++x)
      for (int y = r.top() + 2; y < r.bottom() - 1; ++y)
        if (qGray(img.pixel(x, y)) > 150) ++n;
    return n;
  };
  EXPECT_GT(lightPixels(title), 20);       // "Name" in light letters
  EXPECT_GT(lightPixels(Rect(1, 5)), 10);  // an entry's name, light on dark
  // No white background anywhere (the icons aside; the selected row's text is
  // the highlighted text colour, white here).
  for (int row = 1; row < 12; ++row) {
    if (row == 3) continue;
    const QRect r = Rect(1, row);
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x < img.width(); x += 2)
        ASSERT_NE(img.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
  }
}

TEST_F(PaintedGridTest, TheSortedColumnsTitleShowsTheOrder) {
  auto markPixels = [&](int col) {
    const QImage img = Grab();
    const QRect r = Rect(col, 0);
    int n = 0;
    for (int x = r.right() - 12; x < r.right() - 2; ++x)
      for (int y = r.top() + 3; y < r.bottom() - 2; ++y)
        if (qGray(img.pixel(x, y)) < 80) ++n;
    return n;
  };
  const int before = markPixels(4);
  form->DrawGrid1TitleClick(4);
  EXPECT_GT(markPixels(4), before + 5);
  EXPECT_EQ(markPixels(6), 0);  // the other titles have none
}

TEST_F(PaintedGridTest, NumericColumnsAreRightAligned) {
  const QImage img = Grab();
  const int row = RowOf("table.csv");
  const QRect size = Rect(4, row);
  auto darkAt = [&](int x) {
    for (int y = size.top() + 1; y < size.bottom(); ++y)
      if (qGray(img.pixel(x, y)) < 128) return true;
    return false;
  };
  bool nearRight = false, nearLeft = false;
  for (int x = size.right() - 12; x < size.right() - 2; ++x) nearRight |= darkAt(x);
  for (int x = size.left(); x < size.left() + 20; ++x) nearLeft |= darkAt(x);
  EXPECT_TRUE(nearRight);
  EXPECT_FALSE(nearLeft);
}

TEST_F(PaintedGridTest, FolderAndFileIconsAreDrawn) {
  const QImage img = Grab();
  auto coloured = [&](int row) {
    const QRect r = Rect(0, row);
    const QRgb background = img.pixel(r.right() - 1, r.bottom() - 1);
    int n = 0;
    for (int x = r.left(); x < r.left() + 16; ++x)
      for (int y = r.top() + 1; y < r.top() + 15; ++y)
        if (img.pixel(x, y) != background) ++n;
    return n;
  };
  EXPECT_GT(coloured(RowOf("[FOLDER]")), 30);
  EXPECT_GT(coloured(RowOf("readme.txt")), 15);
}

TEST_F(PaintedGridTest, EmptyWindowPaintsOnlyTheTitleRow) {
  form->sbCloseClick();
  const QImage img = Grab();
  const QRect title = Rect(1, 0);
  EXPECT_TRUE(IsBlack(img.pixel(title.left(), title.center().y())));
  EXPECT_EQ(img.pixel(title.center().x(), title.bottom() + 10), Colour(QPalette::Base));
}

TEST_F(GridPaintingTest, LegacyNamesShowDecodedAndTheNamesChoiceReReadsThem) {
  TForm1 f({QData("names/cp932.zip")});
  ASSERT_EQ(f.cbNames->currentIndex(), 0);  // Automatic
  EXPECT_EQ(Cell(f, 1, 2), "表.txt");
  EXPECT_EQ(Cell(f, 7, 2), "フォルダ/");
  EXPECT_TRUE(f.cbNames->toolTip().contains("Japanese (Shift-JIS)")) << f.cbNames->toolTip().toStdString();
  // The report names an entry as the grid does.
  test::TempFolder dest;
  ASSERT_EQ(ExtractAll(dest.dir(), "", true, true, true, nullptr), 0);
  EXPECT_EQ(BuildReportLines(false, 0)[1], "フォルダ/表.txt Ok.");

  f.ZipFileName = DataPath("names/cp866.zip");
  f.OpenZipFile();
  EXPECT_EQ(Cell(f, 1, 3), "Привет мир.doc");
  // Another code page on request, for the open archive at once; Automatic again after.
  f.cbNames->setCurrentIndex(f.cbNames->findData(QStringLiteral("CP1251")));
  EXPECT_EQ(f.cbNames->currentText(), "Cyrillic (1251)");
  EXPECT_EQ(Cell(f, 1, 3), "ЏаЁўҐв ¬Ёа.doc");
  f.cbNames->setCurrentIndex(0);
  EXPECT_EQ(Cell(f, 1, 3), "Привет мир.doc");
  // The drop-down fits the bar of the window's defined width.
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  EXPECT_EQ(f.width(), 530);
  EXPECT_LE(f.GroupBoxNames->geometry().right(), f.Panel1->contentsRect().right());
}

// ---- long names ------------------------------------------------------------

class LongNameTest : public GridPaintingTest {
 protected:
  void SetUp() override {
    // Lower case: names stored by MS-DOS zips are shown in lower case.
    const std::string name = "wwww-" + std::string(60, 'w') + "-end.txt";
    const std::string folder = "a rather long folder name/" + std::string(50, 'm') + "/";
    longName = name;
    longFolder = folder;
    test::WriteCatalogZip(dir.file("long.zip"), {{folder + name, 1234, 99, 0x2845, 0x48A3},
                                                 {"short.txt", 1, 1, 0x2845, 0x48A3}});
    form = std::make_unique<TForm1>(QStringList{QString::fromStdString(dir.file("long.zip"))});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  test::TempFolder dir;
  std::string longName, longFolder;
  std::unique_ptr<TForm1> form;
};

TEST_F(LongNameTest, CutTextsEndInAnEllipsisInsideTheirCell) {
  DrawGrid* grid = form->DrawGrid1;
  const QImage img = grid->viewport()->grab().toImage();
  const QRect name = grid->CellRect(1, 1);
  ASSERT_FALSE(name.isEmpty());
  // A clipped text would run to the cell's edge; the ellipsis keeps the last
  // pixels free, while the text still fills most of the cell.
  auto darkIn = [&](int fromX, int toX) {
    int dark = 0;
    for (int x = fromX; x < toX; ++x)
      for (int y = name.top() + 1; y < name.bottom(); ++y)
        if (qGray(img.pixel(x, y)) < 128) ++dark;
    return dark;
  };
  EXPECT_EQ(darkIn(name.right() - 2, name.right() + 1), 0);
  EXPECT_GT(darkIn(name.left() + name.width() / 2, name.right() - 2), 0);
  // The same text painted by hand with the ellipsis matches the cell.
  QFontMetrics fm(form->font());
  const QString elided = fm.elidedText(QString::fromStdString(longName), Qt::ElideRight,
                                       name.width() - 5);
  EXPECT_TRUE(elided.endsWith(QChar(0x2026)));
}

TEST_F(LongNameTest, ToolTipShowsTheWholeNameAndFolder) {
  DrawGrid* grid = form->DrawGrid1;
  for (int col : {1, 4}) {
    const QRect cell = grid->CellRect(col, 1);
    ASSERT_FALSE(cell.isEmpty());
    QHelpEvent help(QEvent::ToolTip, cell.center(), grid->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(grid->viewport(), &help);
    QTRY_VERIFY(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text().toStdString(), longName + "\n" + longFolder);
  }
  // The title row has none.
  QHelpEvent title(QEvent::ToolTip, grid->CellRect(1, 0).center(), QPoint());
  QApplication::sendEvent(grid->viewport(), &title);
  QTRY_VERIFY(!QToolTip::isVisible());
}

// A double click on the Name column's border in the title row: the column
// fits the longest name, and Path (on its right) makes up the difference.
TEST_F(LongNameTest, ADoubleClickOnATitleBorderFitsTheColumnToTheLongestText) {
  DrawGrid* grid = form->DrawGrid1;
  const QFontMetrics fm(grid->font());
  const int needed = fm.horizontalAdvance(QString::fromStdString(longName)) + 5;
  ASSERT_LT(grid->ShownColWidth(1), needed);
  const QPoint border(grid->CellRect(2, 0).left(), grid->CellRect(1, 0).center().y());
  auto send = [&](QEvent::Type type, Qt::MouseButtons held) {
    test::SendMouse(grid->viewport(), type, border, Qt::LeftButton, held);
  };
  send(QEvent::MouseButtonPress, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  send(QEvent::MouseButtonDblClick, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  EXPECT_GE(grid->ShownColWidth(1), needed);
  EXPECT_LE(grid->ShownColWidth(1), needed + 2);
  EXPECT_EQ(form->Rows.SortColumn(), EntryRows::kUnsorted);  // no title click
  // The Size column fits its title (with room for the sort mark) and its numbers.
  QFont bold = grid->font();
  bold.setBold(true);
  EXPECT_GT(form->ColumnFitWidth(4), QFontMetrics(bold).horizontalAdvance("Size") + 7);
  EXPECT_GT(form->ColumnFitWidth(4), fm.horizontalAdvance("1,234"));
}

// Fitting measures the longest texts first but does not stop at them: a
// shorter name of wide letters is wider than a longer one of narrow letters.
TEST_F(GridPaintingTest, AFittedColumnShowsItsWidestTextNotJustItsLongest) {
  test::TempFolder dir;
  const std::string narrow = std::string(40, 'i') + ".txt";
  const std::string wide = std::string(14, 'w') + ".txt";
  std::vector<FakeEntry> entries;
  for (int i = 0; i < 3000; ++i) entries.push_back({narrow.substr(0, 20 + i % 20) + ".txt", 1, 1});
  entries.push_back({wide, 1, 1});
  test::WriteCatalogZip(dir.file("fit.zip"), entries);
  TForm1 f({QString::fromStdString(dir.file("fit.zip"))});
  const QFontMetrics fm(f.DrawGrid1->font());
  ASSERT_GT(fm.horizontalAdvance(QString::fromStdString(wide)),
            fm.horizontalAdvance(QString::fromStdString(narrow)));
  EXPECT_GE(f.ColumnFitWidth(1), fm.horizontalAdvance(QString::fromStdString(wide)) + 5);
}

TEST_F(LongNameTest, NameAndPathShareTheRoomOfAWiderWindow) {
  DrawGrid* grid = form->DrawGrid1;
  const int widths[] = {20, 100, 70, 80, 90, 45, 90, 200};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(grid->ShownColWidth(i), widths[i]) << i;  // default size
  form->resize(1200, 400);
  QTRY_VERIFY(grid->viewport()->width() > 1000);
  EXPECT_EQ(grid->ColWidth(7), 200);
  EXPECT_EQ(grid->ColWidth(1), 100);
  const QRect path = grid->CellRect(7, 1);
  EXPECT_EQ(path.right(), grid->viewport()->width() - 1);
  const int room = grid->viewport()->width() - 695;
  EXPECT_NEAR(grid->ShownColWidth(1) - 100, room / 2, 1);
  EXPECT_NEAR(grid->ShownColWidth(7) - 200, room / 2, 1);
  for (int i : {0, 2, 3, 4, 5, 6}) EXPECT_EQ(grid->ShownColWidth(i), widths[i]) << i;
  // Narrower again: the room goes back, the given widths stay.
  form->resize(530, 333);
  QTRY_COMPARE(grid->ShownColWidth(1), 100);
  EXPECT_EQ(grid->ShownColWidth(7), 200);
  form->resize(1200, 400);
  QTRY_VERIFY(grid->ShownColWidth(1) > 100);
  // A click in the added room is a click on the last column.
  int col = -1, row = -1;
  ASSERT_TRUE(grid->MouseToCell(QPoint(path.right() - 1, path.center().y()), col, row));
  EXPECT_EQ(col, 7);
}

}  // namespace
}  // namespace vantelo::ui
