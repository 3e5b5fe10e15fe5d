// Extraction of one entry and the batch over the catalog. Internal to the
// engine: the public entry points are ExtractAll, ExtractSelected and
// ExtractEntry in engine.h.
#pragma once

#include <cstdint>

namespace vantelo {

// Handles the current entry once the batch has read its local header and name
// and left InPos on its data: builds the output path, creates folders and the
// output file (nothing in test mode), decodes, checks the CRC-32 and writes the
// status text. The file is written under a temporary name beside its target and
// put in place only when the entry ends "Ok.".
void ExtractCurrentEntry();
// Creates DestDir + EntryFolder with every missing level; error 1 on failure.
void MakeEntryFolder();
// Runs a batch over the entries First..Last with the options already stored.
void ProcessEntries(std::int32_t first, std::int32_t last);

// Whether the engine decodes a compression method: stored (0) or Deflate (8).
bool IsSupportedMethod(std::uint16_t method);

// True when a stored name could reach outside the destination: an absolute
// name ("/x", "\x"), a drive-letter name ("c:x") or a ".." component.
bool IsUnsafeEntryPath(const char* name);

}  // namespace vantelo
