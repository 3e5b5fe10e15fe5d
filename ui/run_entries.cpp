#include "ui/run_entries.h"

#include <string>

#include "engine/engine.h"

namespace vantelo::ui {

EntryFlags AllEntries() { return EntryFlags(static_cast<std::size_t>(GetEntryCount()), true); }

EntryFlags SelectedEntries() {
  EntryFlags flags(static_cast<std::size_t>(GetEntryCount()), false);
  for (std::size_t i = 0; i < flags.size(); ++i) flags[i] = GetEntrySelected(static_cast<std::int32_t>(i));
  return flags;
}

std::int32_t CountOf(const EntryFlags& flags) {
  std::int32_t n = 0;
  for (bool f : flags) n += f ? 1 : 0;
  return n;
}

bool AnyEncrypted(const EntryFlags& entries) {
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i] && GetEntryEncrypted(static_cast<std::int32_t>(i))) return true;
  return false;
}

EntryFlags EntriesWithBadPassword(const EntryFlags& entries) {
  EntryFlags bad(entries.size(), false);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i]) continue;
    const auto index = static_cast<std::int32_t>(i);
    const std::string status = GetEntryStatus(index);
    bad[i] = status == kStatusBadPassword || (status == kStatusBadCrc && GetEntryEncrypted(index));
  }
  return bad;
}

SelectionSwap::SelectionSwap(const EntryFlags& entries) : saved_(SelectedEntries()) {
  for (std::size_t i = 0; i < entries.size() && i < saved_.size(); ++i)
    SetEntrySelected(static_cast<std::int32_t>(i), entries[i]);
}

SelectionSwap::~SelectionSwap() {
  // The catalog is the same one: nothing can open another archive during a run.
  const auto count = static_cast<std::size_t>(GetEntryCount());
  for (std::size_t i = 0; i < saved_.size() && i < count; ++i)
    SetEntrySelected(static_cast<std::int32_t>(i), saved_[i]);
}

}  // namespace vantelo::ui
