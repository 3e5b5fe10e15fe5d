#include "ui/widgets/status_bar.h"

#include <QLabel>

#include <algorithm>

#include "ui/untrusted_text.h"

namespace vantelo::ui {

TStatusBar::TStatusBar(const std::vector<int>& panelWidths, QWidget* parent)
    : QStatusBar(parent), widths_(panelWidths) {
  setSizeGripEnabled(true);
  for (int width : panelWidths) {
    auto* label = new QLabel(this);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setContentsMargins(3, 0, 3, 0);
    label->setTextFormat(Qt::PlainText);
    if (width > 0) label->setFixedWidth(width);
    if (width == kRest) label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    if (width == kFitText) label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    addWidget(label, width == kRest ? 1 : 0);
    panels_.push_back(label);
  }
}

TStatusBar::~TStatusBar() = default;

QLabel* TStatusBar::Panel(int index) const {
  if (index < 0 || index >= PanelCount()) return nullptr;
  return panels_[static_cast<std::size_t>(index)];
}

QString TStatusBar::PanelText(int index) const {
  QLabel* p = Panel(index);
  return p ? p->text() : QString();
}

void TStatusBar::SetPanelText(int index, const QString& text) {
  if (QLabel* p = Panel(index)) {
    ShowUntrustedText(p, text);
    SetUntrustedToolTip(p, text);
  }
}

void TStatusBar::SetPanelVisible(int index, bool visible) {
  if (QLabel* p = Panel(index)) p->setVisible(visible);
}

bool TStatusBar::PanelVisible(int index) const {
  QLabel* p = Panel(index);
  return p != nullptr && !p->isHidden();
}

void TStatusBar::SetPanelFitsText(int index, bool fit) {
  QLabel* p = Panel(index);
  if (p == nullptr) return;
  const int width = widths_[static_cast<std::size_t>(index)];
  if (width <= 0) return;  // only fixed panels
  const QMargins m = p->contentsMargins();
  const int needed = p->fontMetrics().horizontalAdvance(p->text()) + m.left() + m.right() +
                     2 * p->frameWidth() + 4;
  p->setFixedWidth(fit ? std::min(width, needed) : width);
}

}  // namespace vantelo::ui
