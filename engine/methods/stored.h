// Method 0: the entry's bytes are its data.
#pragma once

#include "engine/pipeline/entry_decoder.h"

namespace vantelo {

class StoredDecoder final : public EntryDecoder {
 public:
  EntryResult Decode(EntryInput& in, OutputWindow& out, ZipSize declaredSize) override;
};

// Copies count bytes from the input to the window, refilling and flushing as
// needed: pieces bounded by the input's limit and the window's flush point.
// Also the body of a Deflate stored block.
EntryResult CopyStoredBytes(EntryInput& in, OutputWindow& out, ZipSize count);

}  // namespace vantelo
