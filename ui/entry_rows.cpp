#include "ui/entry_rows.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <numeric>

#include "engine/engine.h"
#include "ui/main_window.h"

namespace vantelo::ui {

namespace {

QString NameOf(std::int32_t entry) { return EngineText(GetEntryName(entry)); }
QString FolderOf(std::int32_t entry) { return EngineText(GetEntryFolder(entry)); }

// Names as people sort them: letters without regard to case, "f2" before "f10".
// The C locale (no language set) compares code points only, so it gets the
// language-neutral order of English instead.
QCollator NameCollator() {
  const QLocale system;
  QCollator collator(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  collator.setNumericMode(true);
  return collator;
}

std::vector<QCollatorSortKey> SortKeys(std::int32_t count, QString (*text)(std::int32_t)) {
  const QCollator collator = NameCollator();
  std::vector<QCollatorSortKey> keys;
  keys.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) keys.push_back(collator.sortKey(text(i)));
  return keys;
}

}  // namespace

QString EntryRows::Fold(const QString& text) {
  return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

void EntryRows::Reset(std::int32_t count) {
  count_ = std::max<std::int32_t>(0, count);
  filter_.clear();
  foldedFilter_.clear();
  haystacks_.clear();
  Sort();
  ApplyFilter(false);
}

void EntryRows::NamesChanged() {
  haystacks_.clear();
  Sort();
  ApplyFilter(false);
}

void EntryRows::SetFilter(const QString& text) {
  const QString folded = Fold(text);
  // A longer text that contains the old one can only drop rows: only the
  // rows shown now need a look.
  const bool narrowing = !foldedFilter_.isEmpty() && folded.contains(foldedFilter_);
  filter_ = text;
  if (folded == foldedFilter_) return;
  foldedFilter_ = folded;
  ApplyFilter(narrowing);
}

void EntryRows::SetSort(int column, bool descending) {
  sortColumn_ = column < 0 || column >= kColCount ? kUnsorted : column;
  descending_ = sortColumn_ != kUnsorted && descending;
  Sort();
  ApplyFilter(false);
}

std::int32_t EntryRows::Count() const {
  return mapped_ ? static_cast<std::int32_t>(shown_.size()) : count_;
}

std::int32_t EntryRows::EntryAt(std::int32_t shown) const {
  if (shown < 0 || shown >= Count()) return -1;
  return mapped_ ? shown_[static_cast<std::size_t>(shown)] : shown;
}

std::int32_t EntryRows::ShownIndexOf(std::int32_t entry) const {
  if (entry < 0 || entry >= count_) return -1;
  return mapped_ ? shownAt_[static_cast<std::size_t>(entry)] : entry;
}

const std::vector<QString>& EntryRows::Haystacks() {
  if (haystacks_.size() != static_cast<std::size_t>(count_)) {
    haystacks_.clear();
    haystacks_.reserve(static_cast<std::size_t>(count_));
    for (std::int32_t i = 0; i < count_; ++i) haystacks_.push_back(Fold(FolderOf(i) + NameOf(i)));
  }
  return haystacks_;
}

void EntryRows::Sort() {
  order_.clear();
  if (sortColumn_ == kUnsorted || count_ == 0) return;
  order_.resize(static_cast<std::size_t>(count_));
  std::iota(order_.begin(), order_.end(), 0);
  // Each column's keys once per entry; the comparison only looks them up.
  auto sortBy = [this](auto less) {
    if (descending_)
      std::stable_sort(order_.begin(), order_.end(),
                       [&](std::int32_t a, std::int32_t b) { return less(b, a); });
    else
      std::stable_sort(order_.begin(), order_.end(), less);
  };
  auto at = [](const auto& keys, std::int32_t i) -> const auto& {
    return keys[static_cast<std::size_t>(i)];
  };
  switch (sortColumn_) {
    case 0: {  // type: folders, then by extension, then by name
      std::vector<QString> types;
      types.reserve(static_cast<std::size_t>(count_));
      for (std::int32_t i = 0; i < count_; ++i)
        types.push_back(GetEntryName(i) == kFolderName ? QString()
                                                       : QStringLiteral(".") + Fold(EngineText(GetEntryExt(i))));
      const auto names = SortKeys(count_, NameOf);
      sortBy([&](std::int32_t a, std::int32_t b) {
        if (const int c = at(types, a).compare(at(types, b)); c != 0) return c < 0;
        return at(names, a).compare(at(names, b)) < 0;
      });
      break;
    }
    case 1:
    case 7: {  // name then folder, or folder then name
      const auto names = SortKeys(count_, NameOf);
      const auto folders = SortKeys(count_, FolderOf);
      const auto& first = sortColumn_ == 1 ? names : folders;
      const auto& second = sortColumn_ == 1 ? folders : names;
      sortBy([&](std::int32_t a, std::int32_t b) {
        if (const int c = at(first, a).compare(at(first, b)); c != 0) return c < 0;
        return at(second, a).compare(at(second, b)) < 0;
      });
      break;
    }
    case 2:
    case 3: {  // date and time together: the moment
      std::vector<std::uint32_t> moments;
      moments.reserve(static_cast<std::size_t>(count_));
      for (std::int32_t i = 0; i < count_; ++i)
        moments.push_back(static_cast<std::uint32_t>(GetEntryDate(i)) << 16 | GetEntryTime(i));
      sortBy([&](std::int32_t a, std::int32_t b) { return at(moments, a) < at(moments, b); });
      break;
    }
    case 5: {  // ratio: packed per byte (an empty entry shows 0)
      std::vector<double> ratios;
      ratios.reserve(static_cast<std::size_t>(count_));
      for (std::int32_t i = 0; i < count_; ++i) {
        const ZipSize size = GetEntrySize(i);
        ratios.push_back(size == 0 ? 0.0
                                   : static_cast<double>(GetEntryPackedSize(i)) / static_cast<double>(size));
      }
      sortBy([&](std::int32_t a, std::int32_t b) { return at(ratios, a) < at(ratios, b); });
      break;
    }
    default: {  // 4 size, 6 packed size
      std::vector<ZipSize> sizes;
      sizes.reserve(static_cast<std::size_t>(count_));
      for (std::int32_t i = 0; i < count_; ++i)
        sizes.push_back(sortColumn_ == 4 ? GetEntrySize(i) : GetEntryPackedSize(i));
      sortBy([&](std::int32_t a, std::int32_t b) { return at(sizes, a) < at(sizes, b); });
      break;
    }
  }
}

void EntryRows::ApplyFilter(bool narrowing) {
  const bool sorted = !order_.empty();
  if (foldedFilter_.isEmpty()) {
    mapped_ = sorted;
    shown_ = order_;
  } else {
    const std::vector<QString>& hay = Haystacks();
    std::vector<std::int32_t> from;
    if (narrowing && mapped_) {
      from.swap(shown_);
    } else if (sorted) {
      from = order_;
    } else {
      from.resize(static_cast<std::size_t>(count_));
      std::iota(from.begin(), from.end(), 0);
    }
    shown_.clear();
    for (std::int32_t entry : from)
      if (hay[static_cast<std::size_t>(entry)].contains(foldedFilter_)) shown_.push_back(entry);
    mapped_ = true;
  }
  shownAt_.clear();
  if (!mapped_) return;
  shownAt_.assign(static_cast<std::size_t>(count_), -1);
  for (std::size_t k = 0; k < shown_.size(); ++k)
    shownAt_[static_cast<std::size_t>(shown_[k])] = static_cast<std::int32_t>(k);
}

}  // namespace vantelo::ui
