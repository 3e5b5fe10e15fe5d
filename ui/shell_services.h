// ShellServices: what the design asks of the Windows shell, on Linux.
//
// - The system small-icon list (SHGetFileInfoA with SHGFI_SYSICONINDEX): a list
//   of 16x16 icons that grows as file types are asked for; an index names one
//   icon. FileIconIndex looks at the name only (never at the disk), through
//   QMimeDatabase and the icon theme, with a built-in fallback so that an icon
//   is always drawn.
// - Opening a file with its associated program (ShellExecuteA), or one the user
//   chooses: the desktop's programs for the file's type, through GIO
//   (desktop_programs.h). Showing a folder in the file manager: QDesktopServices.
// - Printing a text document on the default printer: QPrinter.
//
// Every method is virtual so that tests can substitute a recording fake.
#pragma once

#include <QIcon>
#include <QString>

#include "ui/desktop_programs.h"

#include <string>
#include <unordered_map>
#include <vector>

class QPainter;
class QPoint;
class QPrinter;
class QMimeData;
class QTextDocument;
class QWidget;

namespace vantelo::ui {

class ShellServices {
 public:
  ShellServices();
  virtual ~ShellServices();
  ShellServices(const ShellServices&) = delete;
  ShellServices& operator=(const ShellServices&) = delete;

  // The icon list is there (the design's non-zero SHGetFileInfoA handle).
  virtual bool HasIconList() const { return true; }
  // Index of the small icon for a file name (folder = the folder icon). The
  // name is looked at only, never the disk.
  virtual int FileIconIndex(const std::string& name, bool folder);
  virtual int IconCount() const { return static_cast<int>(icons_.size()); }
  virtual QIcon Icon(int index) const;
  // Draws icon `index` at its natural size (IconSize x IconSize) with its
  // top-left corner at `topLeft`. Unknown indexes draw nothing.
  virtual void DrawIcon(QPainter& painter, int index, const QPoint& topLeft) const;
  static constexpr int IconSize = 16;
  // What a file of this name is, in words, from the name alone: "Folder",
  // "PDF document", "Plain text document"; "File" for a type without a name.
  virtual QString TypeTitle(const std::string& name, bool folder) const;

  // The MIME type a file is opened as: from its name, and from its first bytes
  // when the name says nothing.
  static QString FileMimeType(const QString& path);
  // Shows a folder in the desktop's file manager; whether the desktop accepted it.
  virtual bool OpenFolder(const QString& folder);
  // Whether the desktop has a program for the file's type (its MIME type or
  // one it derives from).
  virtual bool HasAssociatedProgram(const QString& path);
  // Opens a file with the program the desktop associates with its type.
  // Failed (with the program's name and the reason) when that program could
  // not be started; Cancelled when the type has no program.
  virtual LaunchOutcome OpenWithAssociatedProgram(const QString& path);
  // Lets the user pick a program (the programs for the type, every program,
  // or any program file) and opens the file with it. Cancelled when the user
  // picked none.
  virtual LaunchOutcome ChooseProgramAndOpen(QWidget* parent, const QString& path);
  // What the chooser lists: the programs for the file's type, the default
  // first; every program shown in the desktop's menus.
  virtual std::vector<DesktopProgram> ProgramsForFile(const QString& path);
  virtual std::vector<DesktopProgram> AllPrograms();
  // Opens a file with a program the desktop lists (its desktop file id), or
  // with a program file.
  virtual LaunchOutcome OpenWithProgram(const QString& programId, const QString& path);
  virtual LaunchOutcome OpenWithExecutable(const QString& executable, const QString& path);
  // Hands files to the desktop by a drag from `source` (copy only); returns
  // when the drop is over. Takes ownership of `data`.
  virtual Qt::DropAction StartFileDrag(QWidget* source, QMimeData* data);
  // A readable name of the file's type ("plain text document (.txt)").
  static QString FileTypeName(const QString& path);

  // Prints a document on the default printer without a dialog, as one job
  // titled `title`, over the printer's whole printable area. False when there
  // is no printer or the job could not be started.
  virtual bool PrintDocument(QTextDocument& document, const QString& title);
  // Lays `document` out page by page over the printable area of `printer`
  // (no margins of its own) and prints it as one job titled `title`. Used by
  // PrintDocument, and for PDF output (QPrinter::PdfFormat) when there is no
  // printer. False when the printer could not be started or finished.
  static bool PrintDocumentTo(QPrinter& printer, const QTextDocument& document,
                              const QString& title);

  // Makes sure an installed icon theme is active when the desktop gives none
  // (or one without the basic icons). Safe to call more than once.
  static void EnsureIconTheme();
  // A theme icon from the first of `names` the theme has, or an empty icon.
  static QIcon ThemeIcon(const std::vector<const char*>& names);
  // The built-in icons drawn in code, used when the theme has nothing.
  static QIcon BuiltInFileIcon();
  static QIcon BuiltInFolderIcon();

 private:
  int AddIcon(const QString& key, const QIcon& icon);

  std::vector<QIcon> icons_;
  std::unordered_map<std::string, int> indexByIconName_;
};

}  // namespace vantelo::ui
