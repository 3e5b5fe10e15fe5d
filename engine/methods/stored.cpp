// The stored copy. An entry's declared size, not its packed size, bounds the
// copy; the batch checks afterwards that it stayed within the packed bytes.
#include "engine/methods/stored.h"

#include <algorithm>
#include <cstring>

namespace vantelo {

EntryResult CopyStoredBytes(EntryInput& in, OutputWindow& out, ZipSize count) {
  while (count > 0) {
    if (out.pos >= out.shape.flushPoint) {
      const EntryResult flushed = out.Flush();
      if (flushed != EntryResult::kOk) return flushed;
    }
    if (in.pos >= in.limit) {
      const EntryResult refilled = in.Refill();
      if (refilled != EntryResult::kOk) return refilled;
      // The archive ends within the slack: the next refill tells.
      if (in.pos >= in.limit) continue;
    }
    const auto piece = static_cast<std::int32_t>(
        std::min<ZipSize>({count, in.limit - in.pos, out.shape.flushPoint - out.pos}));
    std::memcpy(out.bytes.data() + out.pos, in.buffer.data() + in.pos, static_cast<std::size_t>(piece));
    in.pos += piece;
    out.pos += piece;
    count -= piece;
  }
  if (out.pos >= out.shape.flushPoint) return out.Flush();
  return EntryResult::kOk;
}

EntryResult StoredDecoder::Decode(EntryInput& in, OutputWindow& out, ZipSize declaredSize) {
  if (declaredSize > 0) {
    const EntryResult copied = CopyStoredBytes(in, out, declaredSize);
    if (copied != EntryResult::kOk) return copied;
  }
  return out.Flush();
}

}  // namespace vantelo
