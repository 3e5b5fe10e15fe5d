// The main window: building it, FormCreate, FormDestroy, Open, Close,
// About, LoadGrid, EmptyGrid, the title naming the open archive and a file
// dropped on the window.
#include "ui/main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/engine.h"
#include "format/display_format.h"
#include "platform/platform.h"
#include "ui/accessible_text.h"
#include "ui/app_info.h"
#include "ui/application.h"
#include "ui/button_glyphs.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/message_boxes.h"
#include "ui/settings_store.h"
#include "ui/shell_services.h"
#include "ui/untrusted_text.h"
#include "ui/widgets/draw_grid.h"
#include "ui/widgets/speed_button.h"
#include "ui/widgets/status_bar.h"

namespace vantelo::ui {

// ---- helpers --------------------------------------------------------------------

QString EngineText(const std::string& text) {
  const QString utf8 = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (utf8.toUtf8() == QByteArray(text.data(), static_cast<qsizetype>(text.size()))) return utf8;
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string EnginePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString PathFromEngine(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

bool TIconCache::CaseLess::operator()(const std::string& a, const std::string& b) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

bool TIconCache::Find(const std::string& name, std::int32_t& value) const {
  auto it = items_.find(name);
  if (it == items_.end()) return false;
  value = it->second;
  return true;
}

void TIconCache::Add(const std::string& name, std::int32_t value) { items_[name] = value; }

// ---- construction -------------------------------------------------------------

TForm1::TForm1(const QStringList& args, ShellServices* shell, QWidget* parent)
    : QMainWindow(parent), args_(args) {
  if (shell == nullptr) {
    ownShell_ = std::make_unique<ShellServices>();
    shell = ownShell_.get();
  }
  SysImages = shell;
  BuildWindow();
  FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::AttachWindows(TFPgsInd* pgsInd, TFreport* report, TFExtrOpt* extrOpt,
                           TFAbout* about) {
  FPgsInd = pgsInd;
  Freport = report;
  FExtrOpt = extrOpt;
  FAbout = about;
}

QString TForm1::PanelText(int index) const { return StatusBar1->PanelText(index); }

void TForm1::BuildWindow() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(kMainCaption));
  setWindowIcon(ApplicationIcon());
  setAcceptDrops(true);  // a file dropped anywhere on the window is opened
  QFont f = font();
  f.setPixelSize(kFontPixelSize);
  setFont(f);

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Panel1: the button bar.
  Panel1 = new QFrame(central);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setLineWidth(1);
  Panel1->setFixedHeight(72);
  auto* bar = new QHBoxLayout(Panel1);
  bar->setContentsMargins(3, 1, 3, 3);
  bar->setSpacing(4);

  auto makeButton = [](QWidget* owner, const char* name, const QString& caption, Glyph glyph,
                       int width) {
    auto* b = new TSpeedButton(owner);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setIcon(GlyphIcon(glyph));
    b->setIconSize(QSize(kGlyphSize, kGlyphSize));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setFixedSize(width, 42);
    return b;
  };

  GroupBox2 = new QGroupBox(QStringLiteral("Zip file"), Panel1);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  auto* files = new QHBoxLayout(GroupBox2);
  files->setContentsMargins(6, 2, 6, 4);
  files->setSpacing(2);
  sbOpen = makeButton(GroupBox2, "sbOpen", QStringLiteral("Open  "), Glyph::Open, 52);
  sbExtract = makeButton(GroupBox2, "sbExtract", QStringLiteral("Extract"), Glyph::Extract, 52);
  sbClose = makeButton(GroupBox2, "sbClose", QStringLiteral("Close"), Glyph::Close, 52);
  sbHelp = makeButton(GroupBox2, "sbHelp", QStringLiteral("About"), Glyph::About, 52);
  for (QToolButton* b : {sbOpen, sbExtract, sbClose, sbHelp}) files->addWidget(b);
  files->addStretch(1);

  GroupBox3 = new QGroupBox(QStringLiteral("Selection"), Panel1);
  GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
  GroupBox3->setFixedWidth(141);
  auto* sel = new QHBoxLayout(GroupBox3);
  sel->setContentsMargins(4, 2, 4, 4);
  sel->setSpacing(2);
  sbAdd = makeButton(GroupBox3, "sbAdd", QStringLiteral("Additive"), Glyph::Additive, 65);
  sbRng = makeButton(GroupBox3, "sbRng", QStringLiteral("Range"), Glyph::Range, 65);
  for (QToolButton* b : {sbAdd, sbRng}) {
    b->setCheckable(true);  // each in a group of its own: independent, released by a second click
    sel->addWidget(b);
  }

  bar->addWidget(GroupBox2, 1);
  bar->addWidget(GroupBox3, 0);
  BuildNamesGroup(bar);
  column->addWidget(Panel1);
  BuildFindBar(central);
  column->addWidget(FindBar);

  DrawGrid1 = new DrawGrid(central);
  DrawGrid1->setObjectName(QStringLiteral("DrawGrid1"));
  column->addWidget(DrawGrid1, 1);
  setCentralWidget(central);

  StatusBar1 = new TStatusBar({300, TStatusBar::kRest, TStatusBar::kFitText}, this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(23);
  StatusBar1->SetPanelVisible(2, false);  // only while the filter hides entries
  setStatusBar(StatusBar1);

  OpenZipDlg.Title = QStringLiteral("Open Zip Archive");
  OpenZipDlg.Filter = QStringLiteral("Zip file (*.zip)|*.zip|All files (*.*)|*.*");

  connect(sbOpen, &QToolButton::clicked, this, [this] { sbOpenClick(); });
  connect(sbExtract, &QToolButton::clicked, this, [this] { sbExtractClick(); });
  connect(sbClose, &QToolButton::clicked, this, [this] { sbCloseClick(); });
  connect(sbHelp, &QToolButton::clicked, this, [this] { sbHelpClick(); });
  DrawGrid1->OnDrawCell = [this](QPainter& canvas, int col, int row, const QRect& rect) {
    DrawGrid1DrawCell(canvas, col, row, rect);
  };
  DrawGrid1->OnGetCellText = [this](int col, int row) { return CellDisplayText(col, row); };
  DrawGrid1->OnGetRowSelected = [this](int row) { return RowIsSelected(row); };
  DrawGrid1->OnSelectCell = [this](int col, int row, bool& canSelect) {
    DrawGrid1SelectCell(col, row, canSelect);
  };
  DrawGrid1->OnKeyDown = [this](int& key, Qt::KeyboardModifiers shift) {
    DrawGrid1KeyDown(key, shift);
  };
  DrawGrid1->OnKeyUp = [this](int& key, Qt::KeyboardModifiers shift) {
    DrawGrid1KeyUp(key, shift);
  };
  DrawGrid1->OnDblClick = [this] { DrawGrid1DblClick(); };
  DrawGrid1->OnStartDrag = [this] { DrawGrid1StartDrag(); };
  DrawGrid1->OnKeyPress = [this](const QString& text) { DrawGrid1KeyPress(text); };
  DrawGrid1->OnCellHint = [this](int col, int row) { return CellHint(col, row); };
  DrawGrid1->OnTitleClick = [this](int col) { DrawGrid1TitleClick(col); };
  DrawGrid1->OnGetColumnFitWidth = [this](int col) { return ColumnFitWidth(col); };
  DrawGrid1->OnGetCellDescription = [this](int col, int row) {
    // A title says how the rows are sorted by it.
    if (row != 0 || col != Rows.SortColumn()) return QString();
    return Rows.Descending() ? QStringLiteral("Sorted descending") : QStringLiteral("Sorted ascending");
  };
  BuildKeyboardAccess();

  // Client area 530 x 333, centred on the screen; the grid has the focus.
  resize(530, 333);
  if (QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  DrawGrid1->setFocus();
  NameControls();
}

void TForm1::NameControls() {
  SetAccessibleText(sbOpen, QStringLiteral("Open"), QStringLiteral("Open a ZIP archive"));
  SetAccessibleText(sbExtract, QStringLiteral("Extract"),
                    QStringLiteral("Extract or test all or the selected entries"));
  SetAccessibleText(sbClose, QStringLiteral("Close"), QStringLiteral("Close the archive"));
  SetAccessibleText(sbHelp, QStringLiteral("About"), QStringLiteral("About this program"));
  SetAccessibleText(sbAdd, QStringLiteral("Additive"),
                    QStringLiteral("While on, a click adds an entry to the selection or takes it "
                                   "out; holding Ctrl does the same"));
  SetAccessibleText(sbRng, QStringLiteral("Range"),
                    QStringLiteral("While on, a click selects or deselects the entries from the "
                                   "last clicked one to this one; holding Shift does the same"));
  // The description is the tool tip, which names the archive's code page.
  SetAccessibleText(cbNames, QStringLiteral("Names"), QString());
  SetAccessibleText(DrawGrid1, QStringLiteral("Archive entries"), GridDescription(QString()));
  // The panels' names are their changing texts; the descriptions say what they count.
  SetAccessibleText(StatusBar1->Panel(0), QString(), QStringLiteral("Entries in the archive"));
  SetAccessibleText(StatusBar1->Panel(1), QString(), QStringLiteral("Selected entries"));
  SetAccessibleText(StatusBar1->Panel(2), QString(), QStringLiteral("Entries the filter shows"));
}

void TForm1::BuildKeyboardAccess() {
  // Tab goes through the bar in reading order, then back to the grid.
  setTabOrder(sbOpen, sbExtract);
  setTabOrder(sbExtract, sbClose);
  setTabOrder(sbClose, sbHelp);
  setTabOrder(sbHelp, sbAdd);
  setTabOrder(sbAdd, sbRng);
  setTabOrder(sbRng, cbNames);
  setTabOrder(cbNames, edFind);  // while the Find bar is up
  setTabOrder(edFind, DrawGrid1);

  // A button's shortcut works anywhere in the window while the button is
  // enabled; the tool tip names it, the caption stays as it is.
  auto bind = [](QToolButton* b, const QKeySequence& keys, const QString& tip) {
    b->setShortcut(keys);
    b->setToolTip(tip + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) +
                  QStringLiteral(")"));
  };
  bind(sbOpen, QKeySequence(Qt::CTRL | Qt::Key_O), QStringLiteral("Open a Zip archive"));
  bind(sbExtract, QKeySequence(Qt::CTRL | Qt::Key_E), QStringLiteral("Extract files"));
  bind(sbClose, QKeySequence(Qt::CTRL | Qt::Key_W), QStringLiteral("Close the archive"));
  bind(sbHelp, QKeySequence(Qt::Key_F1), QStringLiteral("About this program"));

  const QKeySequence all(Qt::CTRL | Qt::Key_A);
  const QString allText = all.toString(QKeySequence::NativeText);
  sbAdd->setToolTip(QStringLiteral("Add to the selection: click entries, or hold Ctrl (") +
                    allText + QStringLiteral(" selects every entry)"));
  sbRng->setToolTip(QStringLiteral("Select a range: click its last entry, or hold Shift (") +
                    allText + QStringLiteral(" selects every entry)"));
  auto* selectAll = new QShortcut(all, this);
  connect(selectAll, &QShortcut::activated, this, [this] { SelectAllEntries(); });
}

// ---- handlers -----------------------------------------------------------------------

void TForm1::FormCreate() {
  // 1. Grid set-up.
  DrawGrid1->SetDefaultRowHeight(kDefaultRowHeight);
  DrawGrid1->SetRowHeight(0, kTitleRowHeight);
  DrawGrid1->SetColCount(kColCount);
  for (int i = 0; i < kColCount; ++i) DrawGrid1->SetColWidth(i, ColWidths[i]);
  // Name and Path share the room of a wider window.
  DrawGrid1->SetStretchCols({1, kColCount - 1});
  // 2.
  EmptyGrid();
  // 3. A private per-user folder (mode 0700) instead of the shared system one:
  // a fixed name like "$$report.txt" in a shared /tmp could be another user's link.
  TempDir = platform::PrivateTempDir();
  // 4.
  SkipSelect = false;
  // 5.
  ReportLines.clear();
  IconCache.Clear();
  TempFiles.clear();
  TempFiles.push_back(TempDir + kReportFileName);
  // 6. SysImages was bound in the constructor (the shell services' icon list).
  // 7. The first command-line argument.
  if (!args_.isEmpty() && !args_.first().isEmpty()) {
    ZipFileName = EnginePath(args_.first());
    OpenZipFile();
  }
}

void TForm1::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  // 1. The icon list: the shell services outlive this window's use of them.
  SysImages = nullptr;
  // 2. Temporary files, in list order; failures are skipped silently. Only
  // files inside the private folder: without one (it could not be made) the
  // names would be relative, and a user's file of that name must survive.
  for (const std::string& file : TempFiles)
    if (!TempDir.empty() && file.size() > TempDir.size() && file.compare(0, TempDir.size(), TempDir) == 0)
      platform::RemoveFile(file);
  // The drags' folders, deepest first, when nothing else is left in them.
  for (auto it = TempFolders.rbegin(); it != TempFolders.rend(); ++it)
    if (!TempDir.empty() && it->size() > TempDir.size() && it->compare(0, TempDir.size(), TempDir) == 0)
      platform::RemoveEmptyDirectory(*it);
  TempFolders.clear();
  // The private folder goes too once it is empty (left alone otherwise).
  if (!TempDir.empty()) platform::RemoveEmptyDirectory(TempDir);
  // 3.
  TempFiles.clear();
  ReportLines.clear();
  IconCache.Clear();
}

void TForm1::OpenZipFile() {
  if (BatchRunning) return;  // the catalog stays as it is while a batch reads it
  // A failed open leaves the engine's catalog as it was, so the archive shown
  // stays shown exactly as it is: rows, cursor, selection, filter and sort.
  if (TryOpenArchive(ZipFileName) != 0) {
    ShowErrorBox(this, QStringLiteral("ERROR! ") + EngineText(GetLastMessage()));
    const bool shown = !ShownArchive.empty();
    if (OfferRecovery(shown)) return;
    if (shown) {
      ZipFileName = ShownArchive;  // the archive the window works on
    } else {
      CloseArchive();
      EmptyGrid();
    }
    ShowArchiveName();
    return;
  }
  // An end record cut off inside itself opens as an empty archive; local
  // headers say there is more.
  if (GetEntryCount() == 0 && OfferRecovery(false)) return;
  ShownArchive = ZipFileName;
  ShownRecovered = false;
  EmptyGrid();
  LoadGrid();
  ShowArchiveName();
}

bool TForm1::OfferRecovery(bool keepShown) {
  // A text file, or a file that cannot be read at all, gets the error alone.
  if (!CanRecoverArchive(ZipFileName)) return false;
  if (AskQuestion(this, QStringLiteral("Damaged archive"), QString::fromLatin1(kRecoverQuestion)) != mrYes)
    return false;
  // A recovery that finds nothing leaves the shown archive open as it was.
  if (RecoverArchive(ZipFileName) != 0) {
    ShowErrorBox(this, QStringLiteral("ERROR! ") + EngineText(GetLastMessage()));
    if (keepShown) ZipFileName = ShownArchive;
    return false;
  }
  ShownArchive = ZipFileName;
  ShownRecovered = true;
  EmptyGrid();
  LoadGrid();
  ShowArchiveName();
  return true;
}

QString TForm1::GridDescription(const QString& archiveName) {
  const QString keys = QStringLiteral(
      "Arrow keys move the cursor, Space selects or deselects the entry under it, Enter opens it");
  if (archiveName.isEmpty()) return QStringLiteral("The entries of the open archive. ") + keys;
  return QStringLiteral("The entries of ") + archiveName + QStringLiteral(". ") + keys;
}

void TForm1::ShowArchiveName() {
  const QString name =
      ShownArchive.empty() ? QString() : QFileInfo(PathFromEngine(ShownArchive)).fileName();
  const QString caption = QString::fromLatin1(kMainCaption);
  SetUntrustedWindowTitle(this, name.isEmpty() ? caption : name + QStringLiteral(" - ") + caption);
  DrawGrid1->setAccessibleDescription(GridDescription(name));
}

void TForm1::sbOpenClick() {
  // 1. Start in the folder of the file chosen last (root stays "/").
  if (!OpenZipDlg.FileName.isEmpty())
    OpenZipDlg.InitialDir = QFileInfo(OpenZipDlg.FileName).absolutePath();
  // 2.
  if (!OpenZipDlg.Execute(this)) return;
  // 3, 4.
  ZipFileName = EnginePath(OpenZipDlg.FileName);
  if (KeepOpenFolder) SaveOpenFolder(QFileInfo(OpenZipDlg.FileName).absolutePath());
  OpenZipFile();
}

// ---- dropping a file -------------------------------------------------------------

bool TForm1::AcceptsDrops() const {
  if (BatchRunning) return false;
  if (FPgsInd != nullptr && FPgsInd->isVisible()) return false;  // shown for a whole batch
  // A dialog waits for an answer (the options, a message): it stays about this archive.
  return QApplication::activeModalWidget() == nullptr;
}

QString TForm1::DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return QString();
  // The first local file, as the first command-line argument; folders and
  // remote locations are not archives to open.
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (path.isEmpty() || QFileInfo(path).isDir()) continue;
    return path;
  }
  return QString();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  // Entries dragged out of this grid are not archives to open here.
  if (AcceptsDrops() && event->source() == nullptr && !DroppedFile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
  // Entries dragged out of this grid are not archives to open here.
  if (AcceptsDrops() && event->source() == nullptr && !DroppedFile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QString file =
      AcceptsDrops() && event->source() == nullptr ? DroppedFile(event->mimeData()) : QString();
  if (file.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  // Opened once the drop is over: an error box must not keep the program the
  // file came from waiting inside its drag.
  QTimer::singleShot(0, this, [this, file] {
    if (!AcceptsDrops()) return;
    ZipFileName = EnginePath(file);
    OpenZipFile();
  });
}

void TForm1::sbCloseClick() {
  if (BatchRunning) return;  // the catalog stays as it is while a batch reads it
  CloseArchive();
  ShownArchive.clear();
  EmptyGrid();
  ShowArchiveName();
}

void TForm1::sbHelpClick() {
  if (FAbout != nullptr) {
    FAbout->exec();
    return;
  }
  TFAbout about(this);  // no start-up windows attached (tests): a box of its own
  about.exec();
}

void TForm1::LoadGrid() {
  const std::int32_t count = GetEntryCount();
  // An archive without entries: one row cannot have a fixed title row plus
  // data, so the window keeps the empty state EmptyGrid gave it (no message).
  if (count <= 0) return;
  Rows.Reset(count);  // every entry, in the order of the sort column chosen
  DrawGrid1->SetRowCount(count + 1);
  DrawGrid1->SetFixedRows(1);
  DrawGrid1->SetTopRow(1);
  DrawGrid1->SetRowHeight(0, kTitleRowHeight);
  LastRow = -1;
  // A recovered archive says so: its entries came from a damaged file.
  StatusBar1->SetPanelText(0, QStringLiteral("Total: ") +
                                  QString::fromStdString(FmtThousands(count)) +
                                  QStringLiteral(" files  -  ") +
                                  QString::fromStdString(FmtThousands(GetTotalSize())) +
                                  QStringLiteral(" bytes") +
                                  (IsArchiveRecovered() ? QStringLiteral("  -  recovered") : QString()));
  StatusBar1->SetPanelText(1, QStringLiteral("Selected: 0 files"));
  UpdateNamesHint();
  sbExtract->setEnabled(true);
  sbAdd->setEnabled(true);
  sbRng->setEnabled(true);
  DrawGrid1->NotifyContentsReplaced();
}

void TForm1::EmptyGrid() {
  // No entries, no filter: the Find bar goes with the archive.
  Rows.Reset(0);
  if (FindBar->isAncestorOf(QApplication::focusWidget())) DrawGrid1->setFocus();
  edFind->blockSignals(true);
  edFind->clear();
  edFind->blockSignals(false);
  FindBar->hide();
  findEscape_->setEnabled(false);
  ShowShownCount();
  DrawGrid1->SetFixedRows(0);
  DrawGrid1->SetRowCount(1);
  DrawGrid1->Repaint();
  StatusBar1->SetPanelText(0, QStringLiteral("Total: 0 files"));
  StatusBar1->SetPanelText(1, QStringLiteral("Selected: 0 files"));
  sbExtract->setEnabled(false);
  sbAdd->setEnabled(false);
  sbRng->setEnabled(false);
  DrawGrid1->NotifyContentsReplaced();
}

bool TForm1::EnsureTempDir() {
  if (TempDir.empty() || !platform::DirectoryExists(TempDir)) TempDir = platform::PrivateTempDir();
  return !TempDir.empty();
}

}  // namespace vantelo::ui
