// TypeAhead: finding an entry by typing the first letters of its name. Letters
// typed within a second of each other add up to one prefix; after a pause the
// next letter starts a new one. Typing one letter again and again steps
// through the names that start with it.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <functional>

namespace vantelo::ui {

class TypeAhead {
 public:
  static constexpr int kPauseMs = 1000;

  // Takes typed text and returns the row to move to, or -1 when no name starts
  // with the prefix. Rows are first..last; `current` is the cursor row;
  // `nameAt` gives a row's name. Names are compared without regard to case.
  int Type(const QString& text, int current, int first, int last,
           const std::function<QString(int row)>& nameAt);
  // The prefix being typed.
  QString Prefix() const { return prefix_; }
  void Reset() { prefix_.clear(); }

 private:
  QString prefix_;
  QElapsedTimer sinceLast_;
};

}  // namespace vantelo::ui
