// TStatusBar: a status bar with fixed-width panels; the last panel
// reaches to the right edge.
#pragma once

#include <QStatusBar>

#include <vector>

class QLabel;

namespace vantelo::ui {

class TStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  // One width per panel; the last width is ignored (that panel takes the rest).
  explicit TStatusBar(const std::vector<int>& panelWidths, QWidget* parent = nullptr);
  ~TStatusBar() override;

  int PanelCount() const { return static_cast<int>(panels_.size()); }
  QString PanelText(int index) const;
  void SetPanelText(int index, const QString& text);
  QLabel* Panel(int index) const;

 private:
  std::vector<QLabel*> panels_;
};

}  // namespace vantelo::ui
