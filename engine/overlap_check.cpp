// Entries whose bytes overlap: no valid archive has them, and they are how
// small archives decode to huge amounts (many central records pointing at
// one local header, or many local headers sharing one compressed stream).
#include <algorithm>
#include <limits>
#include <numeric>

#include "engine/catalog.h"
#include "engine/extract.h"

namespace vantelo {
namespace {

constexpr ZipSize kLocalHeaderSize = 30;
constexpr ZipSize kNoLimit = std::numeric_limits<ZipSize>::max();

}  // namespace

bool FindEntryLimits(const std::vector<TZFItem>& entries, ZipSize centralOffset,
                     std::vector<ZipSize>& limits) {
  limits.assign(entries.size(), kNoLimit);
  std::vector<std::size_t> order(entries.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&entries](std::size_t a, std::size_t b) {
    return entries[a].HeaderOffset < entries[b].HeaderOffset;
  });
  for (std::size_t k = 0; k < order.size(); ++k) {
    const TZFItem& entry = entries[order[k]];
    const ZipSize start = entry.HeaderOffset;
    // An entry ends where the next one starts, or at the central directory.
    // Entries that start at or past the central directory are not real local
    // headers; reading them fails on their own.
    ZipSize limit = start < centralOffset ? centralOffset : kNoLimit;
    if (k + 1 < order.size())
      limit = std::min<ZipSize>(limit, entries[order[k + 1]].HeaderOffset);
    // The fixed header and the packed data at least lie in [start, limit).
    // (Compared as a difference: a huge packed size cannot overflow.)
    if (limit != kNoLimit && entry.PackedSize > limit - start - kLocalHeaderSize) return false;
    limits[order[k]] = limit;
  }
  return true;
}

void FindCatalogLimits(Catalog& catalog) {
  catalog.entriesOverlap = !FindEntryLimits(catalog.entries, catalog.centralOffset, catalog.entryLimits);
}

}  // namespace vantelo
