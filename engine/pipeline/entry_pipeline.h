// The entry pipeline: an entry's compressed bytes come in through its
// EntryInput (with the decryption filter, if any), its method's EntryDecoder
// turns them into its data in an OutputWindow, and the window hands the data
// to a Sink (a pending file, or nothing in test mode).
//
//   archive -> EntryInput [-> InputFilter] -> EntryDecoder -> OutputWindow -> Sink
//
// An EntryPipeline holds the parts that outlive one entry: the input buffer
// (the batch reads each local header through it and decoding goes on from
// there), the window, and one decoder of each method met so far, so nothing
// is allocated per entry. Several pipelines can run at once: nothing in them
// is shared but the read-only tables.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engine/pipeline/entry_decoder.h"
#include "engine/pipeline/entry_input.h"
#include "engine/pipeline/output_window.h"
#include "engine/pipeline/sink.h"

namespace vantelo {

class EntryPipeline {
 public:
  EntryInput input;
  OutputWindow window;

  // The decoder of a method from the method table, made on first use and kept;
  // null when the method is refused.
  EntryDecoder* DecoderFor(std::uint16_t method);

 private:
  std::vector<std::pair<std::uint16_t, std::unique_ptr<EntryDecoder>>> decoders_;
};

// One running entry: the four parts it goes through.
struct RunningEntry {
  EntryInput& input;      // on the entry's first data byte, its filter set
  EntryDecoder& decoder;  // chosen by the entry's method
  OutputWindow& window;
  Sink& sink;

  // Starts the window with the decoder's shape and decodes the entry; every
  // flush adds its bytes to *bytesDone.
  EntryResult Decode(ZipSize declaredSize, std::atomic<ZipSize>* bytesDone) {
    window.Start(decoder.Window(), &sink, bytesDone);
    return decoder.Decode(input, window, declaredSize);
  }
};

}  // namespace vantelo
