// TStatusBar: a status bar of panels side by side: fixed-width ones, ones as
// wide as their text, and one that reaches as far as the room goes.
#pragma once

#include <QStatusBar>

#include <vector>

class QLabel;

namespace vantelo::ui {

class TStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  // Panel widths: kRest takes the room the others leave (a longer text is cut
  // there and shown whole in the tool tip, never widening the window),
  // kFitText is as wide as its text, any other value is fixed.
  static constexpr int kRest = 0;
  static constexpr int kFitText = -1;
  explicit TStatusBar(const std::vector<int>& panelWidths, QWidget* parent = nullptr);
  ~TStatusBar() override;

  int PanelCount() const { return static_cast<int>(panels_.size()); }
  QString PanelText(int index) const;
  void SetPanelText(int index, const QString& text);
  QLabel* Panel(int index) const;
  // A panel can be hidden while it has nothing to say.
  void SetPanelVisible(int index, bool visible);
  bool PanelVisible(int index) const;
  // A fixed panel narrowed to what its text needs (at most its width), or
  // given its width again: room for a panel shown beside it for a while.
  void SetPanelFitsText(int index, bool fit);

 private:
  std::vector<QLabel*> panels_;
  std::vector<int> widths_;
};

}  // namespace vantelo::ui
