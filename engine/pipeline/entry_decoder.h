// A compression method's decoder: reads an entry's data from an EntryInput
// (positioned on its first byte) and produces it into an OutputWindow. Each
// decoder holds its own state and tables, so any number of them run at once
// on their own inputs and windows; a decoder object is reused entry after
// entry, so it allocates its tables once.
#pragma once

#include "engine/engine.h"
#include "engine/pipeline/entry_input.h"
#include "engine/pipeline/entry_result.h"
#include "engine/pipeline/output_window.h"

namespace vantelo {

class EntryDecoder {
 public:
  virtual ~EntryDecoder() = default;

  // The window this method needs: how much history its matches reach back.
  virtual WindowShape Window() const { return kDeflateWindow; }

  // The entry's general purpose flags, given before each Decode: LZMA reads
  // bit 1 (its stream ends with an end marker). Other methods ignore them.
  virtual void SetEntryFlags(std::uint16_t /*flags*/) {}

  // Decodes one entry into out, which the caller has started with Window().
  // Stops at declaredSize bytes or where the stream ends, whichever comes
  // first; on kOk and kShort everything produced is delivered (flushed):
  //   kOk        exactly declaredSize bytes came out;
  //   kShort     the stream ended before that (a recovery scan, which knows no
  //              size, passes 2^56, more than any entry, and takes kShort as
  //              "ended");
  //   kDamaged   bad data, more output than declaredSize, or input that ran out;
  //   kDataError a codec library refused the data;
  //   kUnsupported what the entry asks for is not supported (refused before
  //              anything is allocated for it);
  //   kTooMuchMemory its dictionary or window is over the limit (refused the
  //              same way);
  //   otherwise what the input or the window reported.
  // Where the stream ended is in.BitOffset() afterwards.
  virtual EntryResult Decode(EntryInput& in, OutputWindow& out, ZipSize declaredSize) = 0;
};

}  // namespace vantelo
