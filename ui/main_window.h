// TForm1: the main window with its entry grid, the selection rules, the
// extraction workflow and opening an entry. The class holds every member and
// handler of the window; the handlers live in one source file per concern:
//
//   main_window.cpp      FormCreate, FormDestroy, sbOpenClick, sbCloseClick,
//                        sbHelpClick, LoadGrid, EmptyGrid, dropping a file
//   grid_painting.cpp    DrawGrid1DrawCell, GetCellText, GetIconIndex, CellHint, the
//                        grid's data source (CellDisplayText, RowIsSelected)
//   selection.cpp        DrawGrid1SelectCell, DrawGrid1KeyDown/KeyUp/KeyPress,
//                        InvDrwGrd, SelectAllEntries
//   extract_workflow.cpp sbExtractClick, ShowProgress
//   open_entry.cpp       DrawGrid1DblClick, ExecFile
//   name_charset.cpp     the "Names" drop-down (code page of entry names)
//   find_and_sort.cpp    the Find bar (a filter over names and folders), sorting
//                        by a column title, the map from grid rows to entries
//   drag_out.cpp         DrawGrid1StartDrag, ExtractForDrag
//
// Members are public so that tests can drive the handlers and read the state
// by the names the handlers use.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "ui/entry_rows.h"
#include "ui/type_ahead.h"
#include "ui/widgets/open_dialog.h"

class QDragEnterEvent;
class QDragMoveEvent;
class QCloseEvent;
class QDropEvent;
class QBoxLayout;
class QComboBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QMimeData;
class QPainter;
class QShortcut;
class QToolButton;

namespace vantelo::ui {

class DrawGrid;
class ShellServices;
class TStatusBar;
class TFPgsInd;
class TFreport;
class TFExtrOpt;
class TFAbout;
class MadeFolders;
struct BatchSettings;

// Grid columns: titles, initial widths, right alignment.
inline constexpr int kColCount = 8;
inline constexpr const char* ColTitles[kColCount] = {"  ",   "Name",  "Date",   "Time",
                                                      "Size", "Ratio", "Packed", "Path"};
inline constexpr int ColWidths[kColCount] = {20, 100, 70, 80, 90, 45, 90, 200};
inline constexpr bool ColRightAlign[kColCount] = {false, false, false, false,
                                                  true,  true,  true,  false};
inline constexpr int kDefaultRowHeight = 16;
inline constexpr int kTitleRowHeight = 20;
// The main window's font: the application's sans font at this pixel size (a
// classic 8-point dialog font's size, which fits the 16-pixel rows).
inline constexpr int kFontPixelSize = 12;
inline constexpr const char* kReportFileName = "$$report.txt";

// Text of an 8-bit engine string for display: UTF-8 when it is valid UTF-8,
// otherwise Latin-1 (every byte shows as some character).
QString EngineText(const std::string& text);
// An engine path (8-bit, as the file system takes it) from a Qt path, and back.
std::string EnginePath(const QString& path);
QString PathFromEngine(const std::string& path);

// The icon cache: name=value pairs, names compared without regard to case.
class TIconCache {
 public:
  bool Find(const std::string& name, std::int32_t& value) const;
  void Add(const std::string& name, std::int32_t value);
  int Count() const { return static_cast<int>(items_.size()); }
  void Clear() { items_.clear(); }

 private:
  struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, std::int32_t, CaseLess> items_;
};

// The question after the error box of a damaged or cut-off archive.
inline constexpr const char* kRecoverQuestion =
    "The archive is damaged. Vantelo can read it from the start and recover the entries that are "
    "complete. Recover?";

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `args` are the command-line arguments after the program name (the first
  // one, if not empty, is opened). `shell` is the seam for the shell services;
  // nullptr uses the real ones. FormCreate runs inside the constructor.
  explicit TForm1(const QStringList& args = {}, ShellServices* shell = nullptr,
                  QWidget* parent = nullptr);
  // Runs FormDestroy (once).
  ~TForm1() override;

  // The windows created after the main window at start-up.
  void AttachWindows(TFPgsInd* pgsInd, TFreport* report, TFExtrOpt* extrOpt, TFAbout* about);

  // ---- components --------------------------------------------------------
  QFrame* Panel1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;  // "Zip file"
  QGroupBox* GroupBox3 = nullptr;  // "Selection"
  QToolButton* sbOpen = nullptr;
  QToolButton* sbExtract = nullptr;
  QToolButton* sbClose = nullptr;
  QToolButton* sbHelp = nullptr;
  QToolButton* sbAdd = nullptr;  // sticky toggle "Additive"
  QToolButton* sbRng = nullptr;  // sticky toggle "Range"
  QGroupBox* GroupBoxNames = nullptr;  // "Names"
  QComboBox* cbNames = nullptr;        // code page of unmarked entry names
  TStatusBar* StatusBar1 = nullptr;  // panels: 0 totals, 1 selection, 2 shown by the filter
  DrawGrid* DrawGrid1 = nullptr;
  QWidget* FindBar = nullptr;   // above the grid, shown by Ctrl+F
  QLineEdit* edFind = nullptr;  // the filter text
  TOpenDialog OpenZipDlg;

  // The other windows (owned by the start-up code); null until attached.
  TFPgsInd* FPgsInd = nullptr;
  TFreport* Freport = nullptr;
  TFExtrOpt* FExtrOpt = nullptr;
  TFAbout* FAbout = nullptr;

  // ---- state --------------------------------------------------------------
  std::string ZipFileName;             // the archive opened last (engine path)
  std::string ShownArchive;            // the archive the grid lists (empty: none)
  bool ShownRecovered = false;         // ... read from its start (RecoverArchive)
  std::string TempDir;                 // private temporary folder, ends with "/"
  // Makes the private temporary folder again when it is missing (never made, or
  // removed by a temp cleaner); false when it cannot be made.
  bool EnsureTempDir();
  std::vector<std::string> TempFiles;  // deleted at exit, in order; duplicates allowed
  std::vector<std::string> TempFolders;  // made for drags; removed at exit once empty
  int DragCount = 0;                     // drags so far (names their folders)
  std::vector<std::string> ReportLines;
  TIconCache IconCache;
  TypeAhead TypeAheadFind;             // the letters typed to find an entry
  EntryRows Rows;                      // the entries the grid shows, in shown order
  ShellServices* SysImages = nullptr;  // the icon list (null: no icons are drawn)
  std::int32_t LastRow = -1;           // selection: entry of the last applied event
  bool SkipSelect = false;             // selection: next event only repaints
  ZipSize SelectedBytes = 0;           // extraction: bytes of the current run
  std::uint32_t StartTick = 0;         // extraction: tick at the start of a run
  std::uint32_t ElapsedTime = 0;       // extraction: milliseconds of the last run
  bool BatchRunning = false;           // the engine is extracting: drops are refused
  bool KeepOpenFolder = false;         // the Open dialog's folder is saved between runs

  // ---- handlers ---------------------------------------------------------------
  // Window, Open, Close, About (main_window.cpp)
  void FormCreate();
  void FormDestroy();
  void sbOpenClick();
  void sbCloseClick();
  void sbHelpClick();
  void LoadGrid();
  void EmptyGrid();
  // Opens ZipFileName: TryOpenArchive, then the error box or EmptyGrid + LoadGrid.
  // A failed open leaves the archive shown before as it was (the engine keeps
  // its catalog; the file is not read again) and ZipFileName names it again;
  // with none shown the window is left empty.
  void OpenZipFile();
  // After a failed open (or one that lists nothing) of a file whose start
  // holds a local header: asks kRecoverQuestion and on Yes lists what
  // RecoverArchive finds. True when the recovered archive is shown. With
  // `keepShown`, a recovery that finds nothing leaves the shown archive
  // (RecoverArchive keeps the open catalog then) as the one worked on.
  bool OfferRecovery(bool keepShown);
  // The window title ("demo.zip - " + the caption; the caption alone with no
  // archive) and the grid's accessible description name the archive shown.
  void ShowArchiveName();
  static QString GridDescription(const QString& archiveName);
  // A file dropped on the window opens as if chosen with the Open button,
  // unless a batch runs (then the drop is refused).
  bool AcceptsDrops() const;
  static QString DroppedFile(const QMimeData* data);

  // Painting (grid_painting.cpp)
  void DrawGrid1DrawCell(QPainter& canvas, int col, int row, const QRect& rect);
  void GetCellText(int col, int row, std::string& text, bool& selected);
  std::int32_t GetIconIndex(int row);
  // The grid's data source: a cell's text as painted (the title row's titles,
  // a data row's GetCellText for display; "" for a row without an entry) and a
  // data row's selected flag.
  QString CellDisplayText(int col, int row);
  bool RowIsSelected(int row);
  // The tool tip of a data cell: the entry's whole name, and its folder below.
  QString CellHint(int col, int row);
  // What the icon column says to readers: the entry's type ("Folder", "PDF document").
  QString FileTypeText(int row);
  // The width that shows a column's title and every shown row's text whole.
  int ColumnFitWidth(int col);

  // Find and sort (find_and_sort.cpp). Grid row r >= 1 shows entry
  // EntryOfRow(r); -1 for the title row and rows without an entry.
  std::int32_t EntryOfRow(int row) const;
  int RowOfEntry(std::int32_t entry) const;  // -1 while the filter hides it
  void ShowFindBar();                        // Ctrl+F
  void CloseFindBar();                       // Escape: no filter, the grid takes the focus
  void edFindChange();
  // A click on a column title: sorts by it, a second click reverses the order.
  void DrawGrid1TitleClick(int col);
  void SortByColumn(int col, bool descending);
  // Rows rearranged (filter, sort, names read again): the grid lists Rows,
  // the cursor stays on `cursorEntry` (its entry before the change) where
  // that is still shown, else goes to the first row.
  void ShowRows(std::int32_t cursorEntry);
  // Panel 2: how many entries the filter shows (hidden without a filter).
  void ShowShownCount();

  // Selection rules (selection.cpp)
  void DrawGrid1SelectCell(int col, int row, bool& canSelect);
  void DrawGrid1KeyDown(int& key, Qt::KeyboardModifiers shift);
  void DrawGrid1KeyUp(int& key, Qt::KeyboardModifiers shift);
  // Type-ahead: the cursor goes to the next entry whose name starts with the
  // letters typed.
  void DrawGrid1KeyPress(const QString& text);
  void InvDrwGrd();
  // Ctrl+A: every entry selected.
  void SelectAllEntries();
  // The status bar's selection panel from the engine's selected flags.
  void ShowSelectedTotals();

  // Extraction workflow (extract_workflow.cpp)
  void sbExtractClick();
  // Shows the engine's counts in the progress window (GUI thread).
  void ShowProgress();
  // Shows these counts of the running batch in the progress window.
  void ShowCounts(std::int32_t filesDone, ZipSize bytesDone);
  // The run the options dialog asks for, once its destination folder is there
  // (made when missing) and a password was asked for when encrypted entries
  // need one; false to show the dialog again.
  bool PrepareRun(bool testOnly, BatchSettings& run, MadeFolders& made);
  // One batch with the progress window; its error number.
  std::int32_t RunBatch(const BatchSettings& run);

  // The names' code page drop-down (name_charset.cpp)
  void BuildNamesGroup(QBoxLayout* bar);
  void cbNamesChange();
  void UpdateNamesHint();

  // Opening an entry (open_entry.cpp)
  void DrawGrid1DblClick();
  void ExecFile();

  // Dragging out (drag_out.cpp): the selected entries extracted into a new
  // folder in TempDir and handed to the desktop as a drag of files. Entries that
  // could not be extracted are listed in `failures` and left out.
  void DrawGrid1StartDrag();
  // The files of the selected entries; what failed goes into failures, and the
  // detail of an error that stopped the extraction into detail.
  QStringList ExtractForDrag(QStringList& failures, QString& detail);

  // The status bar panels' texts (panel 0: totals, panel 1: selection).
  QString PanelText(int index) const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // Refused while a batch runs (extract_workflow.cpp).
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  void BuildFindBar(QWidget* owner);
  // Accessible names and descriptions of the controls (after the shortcuts are bound).
  void NameControls();
  void BuildKeyboardAccess();
  QShortcut* findEscape_ = nullptr;  // Escape closes the Find bar (while it is up)
  std::unique_ptr<ShellServices> ownShell_;
  QStringList args_;
  bool destroyed_ = false;
};

}  // namespace vantelo::ui
