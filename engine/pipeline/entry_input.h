// An entry's input: archive bytes buffered 32 KiB at a time, the bit reader
// over them, and an optional filter that decodes fresh bytes in place
// (decryption). The batch positions the buffer on each local header with
// FillAt; the decoders then read the entry's data on with Refill.
//
// Invariants of the buffer, on which every decoder relies:
//   buffer[0 .. count) are the archive's bytes from offset `base` on; every
//     byte after them up to the end of the slack is zero, so a word loaded
//     near the end never sees an older fill's bytes;
//   limit == count - kSlack: a decoder that is about to move pos while pos is
//     at or past limit refills first, so its 4- and 8-byte loads from pos stay
//     inside the array;
//   the stream position in bits is (base + pos) * 8 + bitPos.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/engine.h"
#include "engine/pipeline/byte_source.h"
#include "engine/pipeline/entry_result.h"

namespace vantelo {

// Asked before every refill whether decoding may go on: the batch calls its
// progress procedure there (at most once per 200 ms) and tests the break flag.
class RefillGate {
 public:
  virtual ~RefillGate() = default;
  virtual EntryResult BeforeRefill() = 0;
};

// Decodes an entry's fresh input bytes in place before any decoder sees them:
// decryption. The filter knows how many bytes of the entry are still due and
// leaves the bytes after them (the next header) as they are.
class InputFilter {
 public:
  virtual ~InputFilter() = default;
  virtual void Apply(std::uint8_t* data, std::int32_t n) = 0;
  // Whether the filter must still see more of the archive's bytes before
  // Authenticates can answer (the rest of the entry's data and the code after
  // it, when the decoder stopped short of them).
  virtual bool WantsMore() const { return false; }
  // At the end of the entry: whether its data authenticates (a filter without
  // an authentication code always does).
  virtual bool Authenticates() { return true; }
};

class EntryInput {
 public:
  static constexpr std::int32_t kFill = 32768;  // bytes ever read into the buffer at once
  static constexpr std::int32_t kSlack = 16;    // zeroed room after them

  alignas(8) std::array<std::uint8_t, kFill + kSlack> buffer{};
  ZipSize base = 0;           // archive offset of buffer[0]
  std::int32_t count = 0;     // valid bytes, 0..kFill
  std::int32_t pos = 0;       // next byte; for the bit reader, the 16-bit unit it is in
  std::int32_t bitPos = 0;    // bits already used of that unit, 0..15
  std::int32_t limit = 0;     // count - kSlack
  std::int32_t lastRead = 0;  // result of the last read (negative when it failed)
  // Archive offset just past the entry's packed bytes. Decoders that hand whole
  // runs of bytes to a codec library stop there; the bit readers of our own
  // decoders are checked against it by the batch afterwards. Unknown: the
  // largest ZipSize.
  ZipSize dataEnd = kNoDataEnd;
  static constexpr ZipSize kNoDataEnd = INT64_MAX;

  // The source to read from and the gate asked before each refill (none: refills
  // always go on). Neither is owned.
  void Connect(ByteSource* source, RefillGate* gate) {
    source_ = source;
    gate_ = gate;
  }
  ByteSource* Source() const { return source_; }
  RefillGate* Gate() const { return gate_; }
  // Nothing buffered: the next FillAt reads, whatever its offset.
  void Reset();

  // Fills the buffer from archive offset `offset`: pos = 0, bitPos untouched.
  // On a failed seek or read the buffer stays as it was. Filters nothing.
  EntryResult FillAt(ZipSize offset);
  // Asks the gate, keeps the unconsumed bytes (moved to the front), reads on
  // and filters the fresh bytes. When the archive ends with no more than
  // kSlack unconsumed bytes left, the entry's data is cut off: kDamaged.
  EntryResult Refill();

  // Asks the gate whether decoding may go on, without reading: for decoders
  // whose output runs far ahead of their input (a codec library may turn one
  // buffer into gigabytes), between flushes.
  EntryResult AskGate() { return gate_ != nullptr ? gate_->BeforeRefill() : EntryResult::kOk; }

  // The filter for the entry's data from pos on: the bytes already buffered
  // there are filtered now, those of later refills as they come. nullptr
  // ends filtering.
  void SetFilter(InputFilter* filter);
  InputFilter* Filter() const { return filter_; }
  // Once the decoder is done: reads on until the filter has seen what it
  // wants (every buffered byte counts as consumed). A refill's failure, or an
  // archive that ends first (kDamaged), stops it.
  EntryResult FeedFilter();

  // The stream position of the next unconsumed bit.
  std::int64_t BitOffset() const { return (static_cast<std::int64_t>(base) + pos) * 8 + bitPos; }

  // --- bit reader ----------------------------------------------------------

  // The 32-bit little-endian word at index at.
  std::uint32_t LoadWord(std::int32_t at) const {
    std::uint32_t w;
    std::memcpy(&w, buffer.data() + at, 4);
    if constexpr (std::endian::native == std::endian::big)  // the stream is little-endian
      w = (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
    return w;
  }
  // The next stream bits, first bit in bit 0: at least 17 of them are valid.
  std::uint32_t PeekBits() const { return LoadWord(pos) >> bitPos; }
  // Consumes n (<= 16) bits without refilling; only where enough bytes are
  // known to be buffered ahead.
  void SkipBits(int n) {
    bitPos += n;
    if (bitPos >= 16) {
      pos += 2;
      bitPos -= 16;
    }
  }
  // Consumes n (<= 16) bits, refilling first when the step to the next 16-bit
  // unit is due at or past limit.
  EntryResult TakeBits(int n) {
    bitPos += n;
    if (bitPos >= 16) {
      if (pos >= limit) {
        const EntryResult result = Refill();
        if (result != EntryResult::kOk) return result;
      }
      pos += 2;
      bitPos -= 16;
    }
    return EntryResult::kOk;
  }
  // Moves to the next byte boundary.
  void AlignToByte() {
    if (bitPos > 7) {
      pos += 1;
      bitPos -= 8;
    }
    if (bitPos > 0) {
      pos += 1;
      bitPos = 0;
    }
  }

 private:
  void ClearTail();

  ByteSource* source_ = nullptr;
  RefillGate* gate_ = nullptr;
  InputFilter* filter_ = nullptr;
};

}  // namespace vantelo
