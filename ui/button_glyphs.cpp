#include "ui/button_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "ui/shell_services.h"

namespace vantelo::ui {

QIcon BuiltInGlyph(Glyph glyph) {
  const int s = 24;
  QPixmap pm(s, s);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  switch (glyph) {
    case Glyph::Open: {
      p.setPen(QPen(QColor(160, 120, 20), 1.5));
      p.setBrush(QColor(240, 200, 80));
      p.drawRect(QRectF(2.5, 6.5, 19, 14));
      p.setBrush(QColor(250, 225, 120));
      QPainterPath front;
      front.moveTo(5.5, 10.5);
      front.lineTo(22.5, 10.5);
      front.lineTo(20.5, 20.5);
      front.lineTo(2.5, 20.5);
      front.closeSubpath();
      p.drawPath(front);
      break;
    }
    case Glyph::Extract: {
      p.setPen(QPen(QColor(120, 80, 30), 1.5));
      p.setBrush(QColor(215, 170, 110));
      p.drawRect(QRectF(3.5, 12.5, 17, 9));
      p.setPen(QPen(QColor(20, 120, 40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawLine(QPointF(12, 2), QPointF(12, 12));
      p.drawLine(QPointF(8, 8.5), QPointF(12, 12.5));
      p.drawLine(QPointF(16, 8.5), QPointF(12, 12.5));
      break;
    }
    case Glyph::Close:
      p.setPen(QPen(QColor(190, 30, 30), 3.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(6, 6), QPointF(18, 18));
      p.drawLine(QPointF(18, 6), QPointF(6, 18));
      break;
    case Glyph::About: {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(40, 90, 190));
      p.drawEllipse(QRectF(2, 2, 20, 20));
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(10.5, 5.5, 3, 3));
      p.drawRect(QRectF(10.5, 10, 3, 9));
      break;
    }
    case Glyph::Additive:
      p.setPen(QPen(QColor(30, 130, 50), 4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(12, 4), QPointF(12, 20));
      p.drawLine(QPointF(4, 12), QPointF(20, 12));
      break;
    case Glyph::Range:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(40, 90, 190));
      for (int i = 0; i < 4; ++i) p.drawRect(QRectF(6, 3.5 + i * 5, 15, 3));
      p.setPen(QPen(QColor(60, 60, 60), 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawLine(QPointF(3, 4), QPointF(3, 20));
      p.drawLine(QPointF(3, 4), QPointF(5, 4));
      p.drawLine(QPointF(3, 20), QPointF(5, 20));
      break;
  }
  p.end();
  return QIcon(pm);
}

QIcon GlyphIcon(Glyph glyph) {
  ShellServices::EnsureIconTheme();
  QIcon icon;
  switch (glyph) {
    case Glyph::Open: icon = ShellServices::ThemeIcon({"document-open", "folder-open"}); break;
    case Glyph::Extract:
      icon = ShellServices::ThemeIcon({"archive-extract", "extract-archive"});
      break;
    case Glyph::Close: icon = ShellServices::ThemeIcon({"window-close", "document-close"}); break;
    case Glyph::About: icon = ShellServices::ThemeIcon({"help-about"}); break;
    case Glyph::Additive: icon = ShellServices::ThemeIcon({"list-add"}); break;
    case Glyph::Range: icon = ShellServices::ThemeIcon({"edit-select-all"}); break;
  }
  return icon.isNull() ? BuiltInGlyph(glyph) : icon;
}

}  // namespace vantelo::ui
