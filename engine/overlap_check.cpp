// Entries whose bytes overlap: no valid archive has them, and they are how
// small archives decode to huge amounts (many central records pointing at
// one local header, or many local headers sharing one compressed stream).
#include <algorithm>
#include <numeric>

#include "engine/extract.h"

namespace vantelo {
namespace {

constexpr std::int64_t kLocalHeaderSize = 30;
constexpr std::int64_t kNoLimit = INT64_MAX;

}  // namespace

bool FindEntryLimits(const std::vector<TZFItem>& entries, std::int64_t centralOffset,
                     std::vector<std::int64_t>& limits) {
  limits.assign(entries.size(), kNoLimit);
  std::vector<std::size_t> order(entries.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&entries](std::size_t a, std::size_t b) {
    return entries[a].HeaderOffset < entries[b].HeaderOffset;
  });
  for (std::size_t k = 0; k < order.size(); ++k) {
    const TZFItem& entry = entries[order[k]];
    const std::int64_t start = entry.HeaderOffset;
    // An entry ends where the next one starts, or at the central directory.
    // Entries that start at or past the central directory are not real local
    // headers; reading them fails on their own.
    std::int64_t limit = start < centralOffset ? centralOffset : kNoLimit;
    if (k + 1 < order.size())
      limit = std::min<std::int64_t>(limit, entries[order[k + 1]].HeaderOffset);
    // The fixed header and the packed data at least lie in [start, limit).
    if (limit != kNoLimit && start + kLocalHeaderSize + entry.PackedSize > limit) return false;
    limits[order[k]] = limit;
  }
  return true;
}

}  // namespace vantelo
