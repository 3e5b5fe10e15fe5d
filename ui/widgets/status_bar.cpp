#include "ui/widgets/status_bar.h"

#include <QLabel>

namespace vantelo::ui {

TStatusBar::TStatusBar(const std::vector<int>& panelWidths, QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(true);
  for (std::size_t i = 0; i < panelWidths.size(); ++i) {
    auto* label = new QLabel(this);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setContentsMargins(3, 0, 3, 0);
    label->setTextFormat(Qt::PlainText);
    const bool last = i + 1 == panelWidths.size();
    if (!last) label->setFixedWidth(panelWidths[i]);
    // The last panel takes the room there is: a longer text is cut at its
    // edge (and shown whole in the tool tip), never a reason to widen the window.
    if (last) label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(label, last ? 1 : 0);
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
    p->setText(text);
    p->setToolTip(text);
  }
}

}  // namespace vantelo::ui
