// Cursor, page and scroll moves of the desktop program's entry grid on a large
// archive: the real main window (offscreen), driven with key presses and mouse
// clicks as a user would, each move timed together with the repaint it causes.
// Every move should cost the same whatever the number of entries. Last, a
// drag out of 5,000 selected entries: one batch extracting them into the
// window's private temporary folder (removed when the window goes). On the
// development machine (2 shared cores) that took 2.0 to 5.4 s (median of 3),
// nearly all of it creating the 5,000 files: `unzip -qq -j` took 7.3 s for the
// same files there, and the test batch over the same entries 2.2 ms.
//
// Usage: grid_bench ARCHIVE [REPEATS]   (bench/make-many-entries.py makes one)
// Prints, per move, the median and the slowest of REPEATS runs in milliseconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "engine/engine.h"
#include "ui/main_window.h"
#include "ui/widgets/draw_grid.h"

using namespace vantelo;
using namespace vantelo::ui;

namespace {

struct Figures {
  double median = 0, slowest = 0;
};

// Runs `prepare` (untimed), then times `move` plus the repaint of the grid.
Figures Time(DrawGrid* grid, int repeats, const std::function<void()>& prepare,
             const std::function<void()>& move) {
  std::vector<double> ms;
  for (int i = 0; i < repeats; ++i) {
    prepare();
    grid->viewport()->repaint();
    QElapsedTimer t;
    t.start();
    move();
    grid->viewport()->repaint();
    ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

QPoint RowPoint(DrawGrid* grid, int row) { return grid->CellRect(1, row).center(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: grid_bench ARCHIVE [REPEATS]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;

  QElapsedTimer openTime;
  openTime.start();
  TForm1 form({QString::fromLocal8Bit(argv[1])});
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;
  const double openMs = static_cast<double>(openTime.nsecsElapsed()) / 1e6;
  DrawGrid* grid = form.DrawGrid1;
  grid->setFocus();
  const int entries = GetEntryCount();
  const int last = grid->RowCount() - 1;
  if (entries < 2) {
    std::fprintf(stderr, "the archive lists %d entries\n", entries);
    return 1;
  }
  auto home = [&] { QTest::keyClick(grid, Qt::Key_Home); };
  auto toEnd = [&] { QTest::keyClick(grid, Qt::Key_End); };
  auto clear = [&] {
    for (std::int32_t k = 0; k < entries; ++k) SetEntrySelected(k, false);
    form.LastRow = -1;
  };

  struct Row {
    const char* name;
    Figures f;
  };
  std::vector<Row> rows;
  rows.push_back({"End (from the first row)", Time(grid, repeats, home, toEnd)});
  rows.push_back({"Ctrl+End (from the first row)", Time(grid, repeats, home, [&] {
                    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
                  })});
  rows.push_back({"Ctrl+Home (from the last row)", Time(grid, repeats, toEnd, [&] {
                    QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
                  })});
  rows.push_back({"Page Down (from the first row)", Time(grid, repeats, home, [&] {
                    QTest::keyClick(grid, Qt::Key_PageDown);
                  })});
  rows.push_back({"Page Down (from the middle)", Time(grid, repeats, [&] {
                    home();
                    for (int i = 0; i < 3; ++i) QTest::keyClick(grid, Qt::Key_PageDown);
                    grid->SetTopRow(last / 2);
                    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                      RowPoint(grid, grid->TopRow()));
                  }, [&] { QTest::keyClick(grid, Qt::Key_PageDown); })});
  rows.push_back({"Scroll bar to the end", Time(grid, repeats, home, [&] {
                    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
                  })});
  rows.push_back({"Shift+click across everything", Time(grid, repeats, [&] {
                    clear();
                    home();
                    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, RowPoint(grid, 1));
                    toEnd();
                  }, [&] {
                    QTest::keyPress(grid, Qt::Key_Shift);
                    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                                      RowPoint(grid, last));
                    QTest::keyRelease(grid, Qt::Key_Shift);
                  })});
  if (GetSelectedCount() != entries)
    std::fprintf(stderr, "Shift+click selected %d of %d entries\n", GetSelectedCount(), entries);
  rows.push_back({"Ctrl+A (select every entry)", Time(grid, repeats, clear, [&] {
                    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
                  })});
  // Finding and sorting look at every entry once: their cost grows with the
  // archive, measured here beside the moves that must not.
  auto noFilter = [&] { form.edFind->clear(); };
  rows.push_back({"Find: the first letter typed", Time(grid, repeats, noFilter, [&] {
                    form.edFind->setText(QStringLiteral("9"));
                  })});
  rows.push_back({"Find: a further letter", Time(grid, repeats, [&] {
                    form.edFind->setText(QStringLiteral("9"));
                  }, [&] { form.edFind->setText(QStringLiteral("99")); })});
  noFilter();
  rows.push_back({"Sort by name (title click)", Time(grid, repeats, [] {}, [&] {
                    form.SortByColumn(1, false);
                  })});
  rows.push_back({"Sort by size", Time(grid, repeats, [] {}, [&] { form.SortByColumn(4, true); })});
  rows.push_back({"Fit the Name column", Time(grid, repeats, [] {}, [&] {
                    grid->SetColWidth(1, form.ColumnFitWidth(1));
                  })});

  // Dragging entries out: the selected ones extracted into a new folder (one
  // batch), as a drag out of the grid does before the desktop takes the files.
  const int dragged = std::min(entries, 5000);
  int handedOver = 0;
  const Figures drag = Time(grid, std::min(repeats, 3), [&] {
    clear();
    for (std::int32_t k = 0; k < dragged; ++k) SetEntrySelected(k, true);
  }, [&] {
    QStringList failures;
    QString detail;
    handedOver = static_cast<int>(form.ExtractForDrag(failures, detail).size());
    if (!failures.isEmpty()) std::fprintf(stderr, "drag out: %s\n", qPrintable(failures.first()));
  });
  char dragName[48];
  std::snprintf(dragName, sizeof dragName, "Drag out %d selected entries", dragged);
  rows.push_back({dragName, drag});
  if (handedOver != dragged)
    std::fprintf(stderr, "drag out handed over %d of %d files\n", handedOver, dragged);
  // The same entries tested in one batch: what the drag costs beyond writing files.
  rows.push_back({"Test the same entries (one batch)", Time(grid, repeats, [] {}, [] {
                    ExtractSelected(std::string(), std::string(), false, false, true, nullptr);
                  })});
  clear();

  std::printf("%d entries, window %dx%d, opened and shown in %.0f ms\n", entries, form.width(),
              form.height(), openMs);
  std::printf("%-34s %10s %10s\n", "move", "median ms", "slowest ms");
  for (const Row& r : rows) std::printf("%-34s %10.2f %10.2f\n", r.name, r.f.median, r.f.slowest);
  return 0;
}
