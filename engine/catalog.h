// What opening an archive learns: its file, its entries and their limits.
// A catalog is built whole (from the central directory, or by the recovery
// scan) and handed to the session only when that succeeds; a batch reads it
// and never changes it, so entries can be decoded on several threads at once.
// Only a new reading of the names (SetNameCharset, between batches) rewrites
// their decoded form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/pipeline/entry_result.h"
#include "platform/platform.h"

namespace vantelo {

struct Catalog {
  Catalog() = default;
  Catalog(const Catalog&) = delete;
  Catalog& operator=(const Catalog&) = delete;
  Catalog(Catalog&& other) noexcept { Swap(other); }
  Catalog& operator=(Catalog&& other) noexcept {
    Catalog gone;
    gone.Swap(other);
    Swap(gone);
    return *this;
  }
  ~Catalog() { platform::Close(archiveHandle); }
  void Swap(Catalog& other) noexcept;

  std::string archiveName;
  platform::FileHandle archiveHandle = platform::kNoFile;  // owned
  ZipSize archiveSize = 0;
  ZipSize endRecordOffset = -1;  // -1: none (a recovered catalog)
  ZipSize centralOffset = 0;     // where the central directory starts in the file
  std::vector<TZFItem> entries;
  ZipSize totalSize = 0;
  std::string nameCharset;  // what the legacy names were decoded with
  // Per entry, the offset its bytes end by; entriesOverlap when some entries
  // share bytes (every batch refuses them). Computed once, when opened.
  std::vector<ZipSize> entryLimits;
  bool entriesOverlap = false;
  // Made by the recovery scan: damage or the end of the file inside an entry
  // is that entry's verdict, not an error of the batch. Per entry, whether
  // the scan found it incomplete (its verdict is "BAD CRC!" without decoding).
  bool recovered = false;
  std::vector<std::uint8_t> recoveredIncomplete;

  std::int32_t Count() const { return static_cast<std::int32_t>(entries.size()); }
  bool IsIncomplete(std::int32_t index) const {
    return recovered && static_cast<std::size_t>(index) < recoveredIncomplete.size() &&
           recoveredIncomplete[static_cast<std::size_t>(index)] != 0;
  }
};

// Reads the catalog of the archive fileName from its central directory, the
// legacy names decoded with charsetSetting ("" chooses one). False with the
// failure (error number and message) when it cannot be opened or read;
// isArchive tells whether its end record was found.
bool ReadCatalog(const std::string& fileName, const std::string& charsetSetting, Catalog& catalog,
                 FailureText& failure, bool& isArchive);
// Builds the catalog of a damaged archive from its local headers
// (recovery_scan.cpp); isArchive: whether it found an entry.
bool ScanCatalog(const std::string& fileName, const std::string& charsetSetting, Catalog& catalog,
                 FailureText& failure, bool& isArchive);
// Decodes the names again with charsetSetting (entry_names.cpp).
void DecodeEntryNames(Catalog& catalog, const std::string& charsetSetting);
// Computes the entry limits and the overlap verdict from the entries.
void FindCatalogLimits(Catalog& catalog);

}  // namespace vantelo
