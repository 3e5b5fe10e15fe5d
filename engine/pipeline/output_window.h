// The output window: an entry's decoded bytes are produced into it and handed
// on to the sink by Flush, in chunks of at least the history size (except the
// last), with their CRC-32 and counts. After a flush at the flush point the
// last `history` bytes produced move to the front: a decoder's matches reach
// back into them.
//
// Invariants while an entry is decoded:
//   0 <= start <= pos; bytes [start, pos) are produced and not yet delivered;
//   delivered + (pos - start) is everything the entry produced so far;
//   a decoder tests pos against the flush point before each piece it writes,
//   so a piece may run up to kOverrun bytes past it, never further.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/engine.h"
#include "engine/pipeline/entry_result.h"
#include "engine/pipeline/sink.h"

namespace vantelo {

// Where a window flushes and how much history it keeps after the flush.
struct WindowShape {
  std::int32_t flushPoint;
  std::int32_t history;
};
inline constexpr WindowShape kDeflateWindow{65536, 32768};      // Deflate: 32 KiB of history
inline constexpr WindowShape kDeflate64Window{131072, 65536};   // Deflate64: 64 KiB of history

class OutputWindow {
 public:
  static constexpr std::int32_t kOverrun = 512;  // room for a piece that crosses the flush point
  static constexpr std::int32_t kCapacity = kDeflate64Window.flushPoint + kOverrun;

  alignas(8) std::array<std::uint8_t, kCapacity> bytes{};
  std::int32_t pos = 0;         // write index
  std::int32_t start = 0;       // first byte not yet delivered
  ZipSize delivered = 0;        // bytes of the entry delivered by flushes
  std::uint32_t crc = 0xFFFFFFFFu;  // running CRC-32 register of the delivered bytes
  WindowShape shape = kDeflateWindow;

  // Starts an entry: nothing produced, a fresh CRC; its bytes go to sink, and
  // each flush adds its size to *bytesDone (when given). The window's bytes
  // are not cleared: a decoder must never read below the entry's first byte.
  void Start(WindowShape windowShape, Sink* sink, std::atomic<ZipSize>* bytesDone) {
    shape = windowShape;
    sink_ = sink;
    bytesDone_ = bytesDone;
    pos = start = 0;
    delivered = 0;
    crc = 0xFFFFFFFFu;
  }
  // Delivers [start, pos): counts it into bytesDone, hands it to the sink, adds
  // it to the CRC and to delivered; at or past the flush point, slides the
  // history to the front. When the sink fails the bytes stay pending (already
  // counted in bytesDone) and the CRC is unchanged: kWriteFailed.
  EntryResult Flush();

  ZipSize Produced() const { return delivered + (pos - start); }
  std::uint32_t Crc() const { return crc ^ 0xFFFFFFFFu; }  // the finished CRC-32

 private:
  Sink* sink_ = nullptr;
  std::atomic<ZipSize>* bytesDone_ = nullptr;  // read by the batch's thread for progress
};

}  // namespace vantelo
