#include "ui/shell_services.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QDrag>
#include <QWidget>
#include <QMimeData>
#include <QDir>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QUrl>

#include <memory>

namespace vantelo::ui {

namespace {

// Themes known to carry full-colour mime-type and folder icons, best first.
const char* const kFallbackThemes[] = {"Adwaita", "breeze", "oxygen", "Tango", "gnome", "hicolor"};

bool ThemeHasBasics() {
  return QIcon::hasThemeIcon(QStringLiteral("folder")) &&
         QIcon::hasThemeIcon(QStringLiteral("text-x-generic"));
}

QPixmap Canvas(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  return pm;
}

}  // namespace

ShellServices::ShellServices() {
  EnsureIconTheme();
  // Index 0 is the generic document, as the system list has one.
  AddIcon(QStringLiteral("\x01generic"), BuiltInFileIcon());
}

ShellServices::~ShellServices() = default;

void ShellServices::EnsureIconTheme() {
  if (ThemeHasBasics()) return;
  const QString original = QIcon::themeName();
  for (const char* name : kFallbackThemes) {
    bool installed = false;
    for (const QString& dir : QIcon::themeSearchPaths())
      if (QDir(dir + "/" + name).exists()) installed = true;
    if (!installed) continue;
    QIcon::setThemeName(QString::fromLatin1(name));
    if (ThemeHasBasics()) return;
  }
  QIcon::setThemeName(original);
}

QIcon ShellServices::ThemeIcon(const std::vector<const char*>& names) {
  for (const char* n : names) {
    const QString name = QString::fromLatin1(n);
    if (QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
  }
  return {};
}

QIcon ShellServices::BuiltInFileIcon() {
  QPixmap pm = Canvas(IconSize);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath page;
  page.moveTo(3.5, 1.5);
  page.lineTo(10.5, 1.5);
  page.lineTo(13.5, 4.5);
  page.lineTo(13.5, 14.5);
  page.lineTo(3.5, 14.5);
  page.closeSubpath();
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.setBrush(Qt::white);
  p.drawPath(page);
  p.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
  p.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
  p.setPen(QPen(QColor(150, 150, 150), 1));
  for (int y = 7; y <= 12; y += 2) p.drawLine(QPointF(5.5, y + 0.5), QPointF(11.5, y + 0.5));
  p.end();
  return QIcon(pm);
}

QIcon ShellServices::BuiltInFolderIcon() {
  QPixmap pm = Canvas(IconSize);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(160, 120, 20), 1));
  p.setBrush(QColor(240, 200, 80));
  QPainterPath tab;
  tab.moveTo(1.5, 3.5);
  tab.lineTo(6.5, 3.5);
  tab.lineTo(8.0, 5.0);
  tab.lineTo(14.5, 5.0);
  tab.lineTo(14.5, 13.5);
  tab.lineTo(1.5, 13.5);
  tab.closeSubpath();
  p.drawPath(tab);
  p.setBrush(QColor(250, 220, 110));
  p.drawRect(QRectF(1.5, 6.5, 13.0, 7.0));
  p.end();
  return QIcon(pm);
}

int ShellServices::AddIcon(const QString& key, const QIcon& icon) {
  const std::string k = key.toStdString();
  auto it = indexByIconName_.find(k);
  if (it != indexByIconName_.end()) return it->second;
  icons_.push_back(icon);
  const int index = static_cast<int>(icons_.size()) - 1;
  indexByIconName_.emplace(k, index);
  return index;
}

QString ShellServices::TypeTitle(const std::string& name, bool folder) const {
  if (folder) return QStringLiteral("Folder");
  static const QMimeDatabase db;
  const QMimeType type =
      db.mimeTypeForFile(QString::fromUtf8(name.data(), static_cast<int>(name.size())),
                         QMimeDatabase::MatchExtension);
  QString title = type.isValid() && !type.isDefault() ? type.comment() : QString();
  if (title.isEmpty()) return QStringLiteral("File");
  title[0] = title[0].toUpper();  // a name of its own, not a phrase inside a sentence
  return title;
}

int ShellServices::FileIconIndex(const std::string& name, bool folder) {
  if (folder) {
    QIcon icon = ThemeIcon({"folder", "inode-directory"});
    if (icon.isNull()) icon = BuiltInFolderIcon();
    return AddIcon(QStringLiteral("folder"), icon);
  }
  static const QMimeDatabase db;
  const QMimeType type =
      db.mimeTypeForFile(QString::fromUtf8(name.data(), static_cast<int>(name.size())),
                         QMimeDatabase::MatchExtension);
  std::vector<std::string> candidates;
  if (type.isValid()) {
    candidates.push_back(type.iconName().toStdString());
    candidates.push_back(type.genericIconName().toStdString());
    for (const QString& parent : type.allAncestors()) {
      QString icon = parent;
      candidates.push_back(icon.replace('/', '-').toStdString());
    }
  }
  candidates.push_back("text-x-generic");
  for (const std::string& c : candidates) {
    const QString iconName = QString::fromStdString(c);
    if (!iconName.isEmpty() && QIcon::hasThemeIcon(iconName))
      return AddIcon(iconName, QIcon::fromTheme(iconName));
  }
  return 0;  // the built-in generic document
}

QIcon ShellServices::Icon(int index) const {
  if (index < 0 || index >= static_cast<int>(icons_.size())) return {};
  return icons_[static_cast<std::size_t>(index)];
}

void ShellServices::DrawIcon(QPainter& painter, int index, const QPoint& topLeft) const {
  const QIcon icon = Icon(index);
  if (icon.isNull()) return;
  icon.paint(&painter, QRect(topLeft, QSize(IconSize, IconSize)));
}

bool ShellServices::OpenFolder(const QString& folder) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

Qt::DropAction ShellServices::StartFileDrag(QWidget* source, QMimeData* data) {
  auto* drag = new QDrag(source);
  drag->setMimeData(data);
  drag->setPixmap(Icon(FileIconIndex("file", false)).pixmap(IconSize, IconSize));
  return drag->exec(Qt::CopyAction, Qt::CopyAction);
}

bool ShellServices::PrintDocument(QTextDocument& document, const QString& title) {
  // Without any printer Qt quietly falls back to PDF output with no file name,
  // which prints nothing: report that as "no printer" instead.
  if (QPrinterInfo::defaultPrinter().isNull()) return false;
  QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
  if (!printer.isValid() || printer.outputFormat() != QPrinter::NativeFormat) return false;
  return PrintDocumentTo(printer, document, title);
}

bool ShellServices::PrintDocumentTo(QPrinter& printer, const QTextDocument& document,
                                    const QString& title) {
  printer.setDocName(title);
  printer.setFullPage(false);  // the painter's origin is the printable area's corner
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  // Lay a copy out for the printer's resolution and page: the layout breaks
  // pages between lines, so no line is cut in two.
  std::unique_ptr<QTextDocument> doc(document.clone());
  doc->setDocumentMargin(0);
  doc->documentLayout()->setPaintDevice(&printer);
  const QSizeF page = printer.pageRect(QPrinter::DevicePixel).size();
  doc->setPageSize(page);
  const int pages = doc->pageCount();
  for (int i = 0; i < pages; ++i) {
    if (i > 0 && !printer.newPage()) {
      painter.end();
      return false;
    }
    painter.save();
    painter.translate(0, -i * page.height());
    // Clip to this page: a line moved to the next page must not also show in
    // the bottom margin of this one.
    const QRectF pageArea(0, i * page.height(), page.width(), page.height());
    painter.setClipRect(pageArea);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = pageArea;
    context.palette.setColor(QPalette::Text, Qt::black);
    doc->documentLayout()->draw(&painter, context);
    painter.restore();
  }
  return painter.end();
}

}  // namespace vantelo::ui
