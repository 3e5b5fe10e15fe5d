// The loop every library decoder runs: packed bytes in, bounded output out.
#include "engine/methods/library/library_decoder.h"

#include <algorithm>

namespace vantelo {

EntryResult LibraryDecoder::Decode(EntryInput& in, OutputWindow& out, ZipSize declaredSize) {
  switch (Start(declaredSize)) {
    case Step::kMore:
      break;
    case Step::kTooMuchMemory:
      return EntryResult::kTooMuchMemory;
    case Step::kUnsupported:
      return EntryResult::kUnsupported;
    case Step::kEnd:
    case Step::kDataError:
      return EntryResult::kDataError;
  }
  int idleCalls = 0;
  for (;;) {
    if (out.pos >= out.shape.flushPoint) {
      const EntryResult flushed = out.Flush();
      if (flushed != EntryResult::kOk) return flushed;
      // A few packed bytes can stand for gigabytes: progress and the user's
      // break get their turn per flush, not only per refill.
      const EntryResult gate = in.AskGate();
      if (gate != EntryResult::kOk) return gate;
    }
    ZipSize packedLeft = in.dataEnd - (in.base + in.pos);
    if (in.pos >= in.count && packedLeft > 0) {
      const EntryResult refilled = in.Refill();
      if (refilled != EntryResult::kOk) return refilled;
      packedLeft = in.dataEnd - (in.base + in.pos);
    }
    const ZipSize inSize = std::max<ZipSize>(0, std::min<ZipSize>(in.count - in.pos, packedLeft));
    const ZipSize outSize = std::min<ZipSize>(out.shape.flushPoint - out.pos, declaredSize + 1 - out.Produced());
    std::size_t consumed = 0, produced = 0;
    const Step step = Run(in.buffer.data() + in.pos, static_cast<std::size_t>(inSize), inSize >= packedLeft,
                          out.bytes.data() + out.pos, static_cast<std::size_t>(outSize), consumed, produced);
    in.pos += static_cast<std::int32_t>(consumed);
    out.pos += static_cast<std::int32_t>(produced);
    if (out.Produced() > declaredSize) return EntryResult::kDamaged;

    switch (step) {
      case Step::kEnd: {
        const EntryResult flushed = out.Flush();
        if (flushed != EntryResult::kOk) return flushed;
        return out.Produced() == declaredSize ? EntryResult::kOk : EntryResult::kShort;
      }
      case Step::kDataError:
        return EntryResult::kDataError;
      case Step::kTooMuchMemory:
        return EntryResult::kTooMuchMemory;
      case Step::kUnsupported:
        return EntryResult::kUnsupported;
      case Step::kMore:
        break;
    }
    if (consumed > 0 || produced > 0) {
      idleCalls = 0;
      continue;
    }
    // No progress: with every packed byte handed over, the stream is cut
    // off; with input and room left, the library is stuck on its data.
    if (inSize >= packedLeft) return EntryResult::kDamaged;
    if (++idleCalls > 2) return EntryResult::kDataError;
  }
}

}  // namespace vantelo
