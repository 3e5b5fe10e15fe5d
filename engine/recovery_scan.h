// Recovery of damaged and truncated archives: the entries read from their
// local headers, front to back, when the end record or the central directory
// cannot be used. Internal to the engine; the public side is RecoverArchive,
// CanRecoverArchive and IsArchiveRecovered in engine.h. The design note is at
// the top of recovery_scan.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/engine.h"
#include "engine/pipeline/byte_source.h"

namespace vantelo {

// What a scan found, in file order: records filled as the catalog fills them
// (names stored, not yet decoded), and per entry whether it is incomplete: cut
// off by the end of the file, damaged, or its data failing the CRC-32 the scan
// could check. An incomplete entry's PackedSize is the bytes it really has.
struct ScannedEntries {
  std::vector<TZFItem> entries;
  std::vector<std::uint8_t> incomplete;
  ZipSize totalSize = 0;  // the sum of the entries' unpacked sizes
};

// Reads the local headers of source (fileSize bytes) from its first byte on.
// Reads the file once, front to back; decodes each byte at most once; keeps
// no more than the entries it finds.
void ScanLocalHeaders(ByteSource& source, ZipSize fileSize, ScannedEntries& found);

// Whether the first 64 KiB of source hold a local header that passes the
// scan's checks: a file worth offering recovery for.
bool HasLocalHeaderNearStart(ByteSource& source, ZipSize fileSize);

}  // namespace vantelo
