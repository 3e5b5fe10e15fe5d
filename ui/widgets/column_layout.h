// ColumnLayout: the widths of a grid's columns. Each column has the width it
// was given; when they all fit, the room left in the view goes to the
// stretching columns as extra width, shared between them. The extra follows
// the view: a wider view adds to it, a narrower one takes it back (never below
// the given widths). A column the user sizes gets exactly the width asked
// for, and the stretching columns to its right absorb the difference, so the
// border under the mouse follows the mouse and nothing left of it moves.
#pragma once

#include <vector>

namespace vantelo::ui {

class ColumnLayout {
 public:
  int Count() const { return static_cast<int>(widths_.size()); }
  // New columns get `width`.
  void SetCount(int count, int width);
  // The width a column was given (0 outside).
  int Width(int col) const;
  // The width it is drawn with: given plus extra.
  int Shown(int col) const;
  int ShownTotal() const;
  // Gives a column its width; the extra is then shared again for `view`.
  void SetWidth(int col, int width, int view);
  // The user sized a column to `shown` pixels: that becomes its given width,
  // without extra, and the stretching columns right of it make up the change
  // as far as their extra goes (beyond that the grid is wider than the view).
  void Resize(int col, int shown);
  // The columns that take the room left in the view (in any order).
  void SetStretch(const std::vector<int>& cols, int view);
  bool Stretches(int col) const;
  // The view is `view` pixels wide: the extra grows or shrinks to fill it.
  void Fit(int view);

 private:
  int GivenTotal() const;
  // Adds `delta` (negative: takes) to the extra of the stretching columns in
  // `cols`, shared evenly; an extra never goes below 0. Returns what is left.
  int Spread(int delta, const std::vector<int>& cols);

  std::vector<int> widths_;
  std::vector<int> extras_;
  std::vector<int> stretch_;
};

}  // namespace vantelo::ui
