// EntryRows: which of the open archive's entries the grid shows, and in which
// order. Shown row k (grid row k + 1) is entry EntryAt(k). A filter keeps the
// entries whose folder and name, taken as one path, contain the text (case
// and compatibility forms folded, so it works in any script); a sort orders
// them by one of the grid's columns. Without either the map is index order.
// The selection is the engine's per-entry flag and is not kept here: it stays
// with the entries whatever the rows show.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace vantelo::ui {

class EntryRows {
 public:
  static constexpr int kUnsorted = -1;

  // A catalog of `count` entries (0: none): every entry shown, no filter, the
  // sort column kept.
  void Reset(std::int32_t count);
  // The entries' names were read again (another code page).
  void NamesChanged();

  // The filter text (empty: every entry).
  void SetFilter(const QString& text);
  const QString& Filter() const { return filter_; }
  bool Filtered() const { return !foldedFilter_.isEmpty(); }

  // Sorts by a grid column (kUnsorted: index order): 0 the type (the
  // extension, folders first), 1 name, 2 and 3 date and time, 4 size, 5 ratio,
  // 6 packed size, 7 folder. Ties keep index order.
  void SetSort(int column, bool descending);
  int SortColumn() const { return sortColumn_; }
  bool Descending() const { return descending_; }

  std::int32_t EntryCount() const { return count_; }
  std::int32_t Count() const;
  // The entry of a shown row, -1 outside.
  std::int32_t EntryAt(std::int32_t shown) const;
  // The shown row of an entry, -1 when the filter hides it or it is no entry.
  std::int32_t ShownIndexOf(std::int32_t entry) const;

  // Case and compatibility forms folded, as the filter compares.
  static QString Fold(const QString& text);

 private:
  void Sort();
  void ApplyFilter(bool narrowing);
  const std::vector<QString>& Haystacks();

  std::int32_t count_ = 0;
  bool mapped_ = false;  // false: shown row k is entry k (no sort, no filter)
  int sortColumn_ = kUnsorted;
  bool descending_ = false;
  QString filter_, foldedFilter_;
  std::vector<std::int32_t> order_;    // every entry, sorted (empty: index order)
  std::vector<std::int32_t> shown_;    // while mapped_: the shown entries in order
  std::vector<std::int32_t> shownAt_;  // while mapped_: entry -> shown row, -1 hidden
  std::vector<QString> haystacks_;     // folded folder + name per entry, made for the first filter
};

}  // namespace vantelo::ui
