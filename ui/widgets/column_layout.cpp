#include "ui/widgets/column_layout.h"

#include <algorithm>

namespace vantelo::ui {

void ColumnLayout::SetCount(int count, int width) {
  count = std::max(0, count);
  widths_.resize(static_cast<std::size_t>(count), std::max(0, width));
  extras_.resize(static_cast<std::size_t>(count), 0);
  stretch_.erase(std::remove_if(stretch_.begin(), stretch_.end(), [count](int c) { return c >= count; }),
                 stretch_.end());
}

int ColumnLayout::Width(int col) const {
  if (col < 0 || col >= Count()) return 0;
  return widths_[static_cast<std::size_t>(col)];
}

int ColumnLayout::Shown(int col) const {
  if (col < 0 || col >= Count()) return 0;
  return widths_[static_cast<std::size_t>(col)] + extras_[static_cast<std::size_t>(col)];
}

int ColumnLayout::GivenTotal() const {
  int total = 0;
  for (int w : widths_) total += w;
  return total;
}

int ColumnLayout::ShownTotal() const {
  int total = GivenTotal();
  for (int e : extras_) total += e;
  return total;
}

bool ColumnLayout::Stretches(int col) const {
  return std::find(stretch_.begin(), stretch_.end(), col) != stretch_.end();
}

void ColumnLayout::SetWidth(int col, int width, int view) {
  if (col < 0 || col >= Count()) return;
  widths_[static_cast<std::size_t>(col)] = std::max(0, width);
  Fit(view);
}

void ColumnLayout::SetStretch(const std::vector<int>& cols, int view) {
  stretch_.clear();
  for (int c : cols)
    if (c >= 0 && c < Count() && !Stretches(c)) stretch_.push_back(c);
  std::sort(stretch_.begin(), stretch_.end());
  std::fill(extras_.begin(), extras_.end(), 0);
  Fit(view);
}

int ColumnLayout::Spread(int delta, const std::vector<int>& cols) {
  // Rounds: an even share each (the first ones take the remainder); columns
  // whose extra is used up drop out when taking.
  std::vector<int> open = cols;
  while (delta != 0 && !open.empty()) {
    const int n = static_cast<int>(open.size());
    const int share = delta / n, rest = delta % n;
    int left = 0;
    std::vector<int> still;
    for (int i = 0; i < n; ++i) {
      int& extra = extras_[static_cast<std::size_t>(open[static_cast<std::size_t>(i)])];
      const int want = share + (i < (rest < 0 ? -rest : rest) ? (rest < 0 ? -1 : 1) : 0);
      const int next = std::max(0, extra + want);
      left += want - (next - extra);
      extra = next;
      if (extra > 0 || delta > 0) still.push_back(open[static_cast<std::size_t>(i)]);
    }
    if (left == delta) break;  // nothing could move
    delta = left;
    open = still;
  }
  return delta;
}

void ColumnLayout::Fit(int view) {
  if (stretch_.empty()) return;
  const int given = GivenTotal();
  int extra = 0;
  for (int e : extras_) extra += e;
  const int wanted = std::max(0, view - given);
  if (wanted != extra) Spread(wanted - extra, stretch_);
}

void ColumnLayout::Resize(int col, int shown) {
  if (col < 0 || col >= Count()) return;
  shown = std::max(0, shown);
  const int delta = shown - Shown(col);
  widths_[static_cast<std::size_t>(col)] = shown;
  extras_[static_cast<std::size_t>(col)] = 0;
  std::vector<int> right;
  for (int c : stretch_)
    if (c > col) right.push_back(c);
  // Past what they can give, the grid grows beyond the view (and scrolls);
  // the columns left of this one keep their widths either way.
  Spread(-delta, right);
}

}  // namespace vantelo::ui
