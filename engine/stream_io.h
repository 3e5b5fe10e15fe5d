// Buffered archive input, the bit reader over it, and the output window.
// Internal to the engine: the decoders, the batch and the tests use it.
//
// Input: InBuffer holds up to 32,768 archive bytes starting at archive offset
// InBase; InPos is the next byte (or the 16-bit unit the bit reader is in) and
// InBitPos the bits already used of that unit. Decoders refill when InPos
// reaches InLimit (= InCount - 16), so the 32-bit word loads of the bit reader
// always stay inside the buffer.
//
// Output: an entry's data is produced into OutWindow and handed on by
// FlushOutput in chunks of 32 KiB or more; the last 32 KiB produced stay in the
// window as the Deflate history.
#pragma once

#include <cstdint>
#include <bit>
#include <cstring>

#include "engine/engine_state.h"

namespace vantelo {

// Fills InBuffer from archive offset InBase (set by the caller).
void FillInputAt();
// Runs the progress callback when due, honours a user break, keeps the
// unconsumed bytes and reads more; decrypts fresh bytes of an encrypted entry.
// When the archive ends with no more than 16 unconsumed bytes left, the entry's
// data is cut off: the refill fails with "The structure of ZIP file is damaged!".
void RefillInput();
// Delivers OutPending bytes from OutStart: counts them, writes them (unless
// testing), adds them to the entry's CRC, and slides the window when it is full.
void FlushOutput();

// Adds bytes to a running CRC-32 register (the register, not the final value).
std::uint32_t CrcUpdate(std::uint32_t crc, const std::uint8_t* data, std::size_t length);
// The same, one byte at a time with the table: the reference the fast path must match.
std::uint32_t CrcUpdateBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t length);

// --- bit reader -----------------------------------------------------------

// The 32-bit little-endian word at InPos, shifted right by InBitPos: its low
// 32 - InBitPos bits (at least 17) are the next stream bits.
inline std::uint32_t LoadWord(const EngineState& s, std::int32_t pos) {
  std::uint32_t w;
  std::memcpy(&w, s.InBuffer.data() + pos, 4);
  if constexpr (std::endian::native == std::endian::big)  // the stream is little-endian
    w = (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
  return w;
}

inline std::uint32_t PeekBits(const EngineState& s) { return LoadWord(s, s.InPos) >> s.InBitPos; }

// Consumes n (<= 16) bits without refilling; only where enough bytes are known
// to be buffered ahead.
inline void SkipBits(EngineState& s, int n) {
  s.InBitPos += n;
  if (s.InBitPos >= 16) {
    s.InPos += 2;
    s.InBitPos -= 16;
  }
}

// Consumes n (<= 16) bits, refilling first when the step to the next 16-bit
// unit is due at or past InLimit. Returns false when the refill failed.
inline bool TakeBits(EngineState& s, int n) {
  s.InBitPos += n;
  if (s.InBitPos >= 16) {
    if (s.InPos >= s.InLimit) {
      RefillInput();
      if (s.ErrorNo != 0) return false;
    }
    s.InPos += 2;
    s.InBitPos -= 16;
  }
  return true;
}

// Moves to the next byte boundary.
inline void AlignToByte(EngineState& s) {
  if (s.InBitPos > 7) {
    s.InPos += 1;
    s.InBitPos -= 8;
  }
  if (s.InBitPos > 0) {
    s.InPos += 1;
    s.InBitPos = 0;
  }
}

}  // namespace vantelo
