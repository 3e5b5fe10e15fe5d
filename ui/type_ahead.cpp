#include "ui/type_ahead.h"

#include <algorithm>

namespace vantelo::ui {

int TypeAhead::Type(const QString& text, int current, int first, int last,
                    const std::function<QString(int row)>& nameAt) {
  if (!sinceLast_.isValid() || sinceLast_.elapsed() > kPauseMs) prefix_.clear();
  sinceLast_.restart();
  prefix_ += text;
  if (last < first) return -1;

  // One letter, or the same letter repeated: the next matching name after the
  // cursor. A longer prefix may still match the cursor row itself.
  const bool oneLetter = prefix_.count(prefix_.front()) == prefix_.size();
  const QString wanted = oneLetter ? prefix_.left(1) : prefix_;
  const int count = last - first + 1;
  const int start = std::clamp(current, first, last) - first + (oneLetter ? 1 : 0);
  for (int step = 0; step < count; ++step) {
    const int row = first + (start + step) % count;
    if (nameAt(row).startsWith(wanted, Qt::CaseInsensitive)) return row;
  }
  return -1;
}

}  // namespace vantelo::ui
