// The entries a run processes, as one flag per entry index, and what the
// workflow asks of them: encrypted ones, ones a wrong password kept back, and
// a batch over a set of its own.
#pragma once

#include <cstdint>
#include <vector>

namespace vantelo::ui {

using EntryFlags = std::vector<bool>;

EntryFlags AllEntries();
EntryFlags SelectedEntries();  // the engine's selected flags
std::int32_t CountOf(const EntryFlags& flags);

// Whether any entry of the set is encrypted.
bool AnyEncrypted(const EntryFlags& entries);
// The entries of the set that a wrong password kept from their data after a
// run: skipped for a bad password, or encrypted and failing their CRC (a wrong
// password can pass the one-byte check and then decode to garbage).
EntryFlags EntriesWithBadPassword(const EntryFlags& entries);

// Makes the engine's selected flags the given set until destroyed, then puts
// the user's selection back: a batch over "the selected entries" then works
// on exactly that set.
class SelectionSwap {
 public:
  explicit SelectionSwap(const EntryFlags& entries);
  ~SelectionSwap();
  SelectionSwap(const SelectionSwap&) = delete;
  SelectionSwap& operator=(const SelectionSwap&) = delete;

 private:
  EntryFlags saved_;
};

}  // namespace vantelo::ui
