// Decoders backed by a codec library (bzip2, LZMA, XZ, Zstandard): the loop
// they share and the memory limit they keep.
//
// The library sees only the entry's packed bytes: each call gets the buffered
// input up to the input's dataEnd, never a byte of the next header, so a
// stream that wants more than its packed bytes is caught here rather than fed
// whatever follows. Output room is the declared size plus one byte: a stream
// that produces that extra byte is longer than its entry says.
//
// Verdicts, as for Deflate:
//   the stream ends at the declared size           kOk
//   the stream ends short of it                    kShort ("BAD CRC!")
//   the library refuses the data                   kDataError ("BAD CRC!")
//   more output than declared                      kDamaged (the batch stops)
//   packed bytes used up before the stream ends    kDamaged
//   dictionary or window over kMaxDecoderMemory    kTooMuchMemory (error 2)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/pipeline/entry_decoder.h"

namespace vantelo {

// The largest dictionary or window a decoder may allocate for one entry. A
// header asks for its size before any data comes, so a hostile one could ask
// for 4 GiB; every library decoder checks the request against this first.
inline constexpr std::uint64_t kMaxDecoderMemory = std::uint64_t{1} << 30;

// Library output goes through the window without history (the library keeps
// its own), flushed in 128 KiB pieces.
inline constexpr WindowShape kLibraryWindow{kDeflate64Window.flushPoint, 0};

class LibraryDecoder : public EntryDecoder {
 public:
  WindowShape Window() const final { return kLibraryWindow; }
  void SetEntryFlags(std::uint16_t flags) final { flags_ = flags; }
  EntryResult Decode(EntryInput& in, OutputWindow& out, ZipSize declaredSize) final;

 protected:
  // What one library call came to.
  enum class Step : std::uint8_t { kMore, kEnd, kDataError, kTooMuchMemory, kUnsupported };

  // Readies the library for a new entry (its state of the last one forgotten).
  // kMore to go on; anything else is the entry's outcome.
  virtual Step Start(ZipSize declaredSize) = 0;
  // Decodes from in[0, inSize) into out[0, outSize), telling how much of each
  // was used. lastInput: in ends with the entry's last packed byte.
  virtual Step Run(const std::uint8_t* in, std::size_t inSize, bool lastInput, std::uint8_t* out,
                   std::size_t outSize, std::size_t& consumed, std::size_t& produced) = 0;

  std::uint16_t Flags() const { return flags_; }

 private:
  std::uint16_t flags_ = 0;
};

// The decoders of the library methods. Built only where the libraries are
// (not in the Windows build): the method table refuses these methods there.
std::unique_ptr<EntryDecoder> MakeBzip2Decoder();
std::unique_ptr<EntryDecoder> MakeLzmaDecoder();
std::unique_ptr<EntryDecoder> MakeXzDecoder();
std::unique_ptr<EntryDecoder> MakeZstdDecoder();

}  // namespace vantelo
