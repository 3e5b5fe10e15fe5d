// The decoders of an entry's data: Deflate (method 8) and stored (method 0).
// Both read through the input buffer, produce into the output window, end the
// entry at its uncompressed size from the local header, and stop as soon as
// ErrorNo is set. Internal to the engine.
#pragma once

namespace vantelo {

// Decodes Deflate blocks until the entry is complete, the last block ends, or an error.
void InflateEntry();
// Copies a stored entry's bytes.
void CopyStoredEntry();

}  // namespace vantelo
