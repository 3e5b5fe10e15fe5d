// The Deflate decoder (RFC 1951) and the stored copy.
//
// The block loop keeps its state in locals: a 64-bit bit buffer topped up from
// the input buffer with one unaligned load per symbol (at least 56 bits after a
// top-up, enough for a length, a distance and their extra bits), the input
// pointer and the output index. It stores them back into EngineState only
// around RefillInput and FlushOutput and at the end of the block. One combined
// test per symbol sends it to the slow path: the output index has reached the
// flush point (or passed the entry's declared size), or the input pointer has
// reached InLimit.
//
// Damaged data ends the entry with ErrorNo 1 "The structure of ZIP file is
// damaged!": block type 3, a stored block whose length check fails, an
// undecodable code, symbols 286/287, distance codes 30/31, a distance reaching
// before the entry's first byte, more output than the entry's declared size,
// and input that ends inside a block header.
#include "engine/inflate/inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "engine/inflate/deflate_constants.h"
#include "engine/inflate/huffman_tables.h"
#include "engine/stream_io.h"

namespace vantelo {
namespace {

using namespace deflate;

constexpr std::int32_t kHeaderLookahead = 1024;  // more than the largest block header

void Damaged() { SetError(kErrDamaged, "The structure of ZIP file is damaged!"); }

// The uncompressed size from the entry's record.
ZipSize DeclaredSize(const EngineState& s) { return s.CurrentEntry->UnpackedSize; }

// Bytes of the current entry produced so far, flushed or not.
std::int64_t Produced(const EngineState& s) {
  return s.EntryOutCount + (s.OutPos - s.OutStart);
}

inline std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// Copies a match of length bytes from distance bytes back, giving the same bytes
// as a forward byte-by-byte copy. May write up to 15 bytes past the end of the
// match (into bytes not produced yet, or the window's overrun room).
inline void CopyMatch(std::uint8_t* dst, std::int32_t distance, std::int32_t length) {
  const std::uint8_t* src = dst - distance;
  std::uint8_t* const end = dst + length;
  if (distance >= 16) {
    // Each 16-byte piece reads only bytes that are final already.
    do {
      std::memcpy(dst, src, 16);
      dst += 16;
      src += 16;
    } while (dst < end);
  } else if (distance >= 8) {
    do {
      std::memcpy(dst, src, 8);
      dst += 8;
      src += 8;
    } while (dst < end);
  } else if (distance == 1) {
    const std::uint64_t pattern = 0x0101010101010101ull * *src;
    do {
      std::memcpy(dst, &pattern, 8);
      dst += 8;
    } while (dst < end);
  } else {
    // Short periods (2..7): lay down the first 8 bytes one at a time; after that
    // the pattern also repeats at a whole number of periods that is at least 8
    // (8..14), which the 8-byte pieces can copy without overlap.
    std::uint8_t* const first = dst + 8;
    do {
      *dst++ = *src++;
    } while (dst < first && dst < end);
    // The smallest whole number of periods that is at least 8, for periods 2..7.
    constexpr std::int32_t kPeriodStep[8] = {0, 0, 8, 9, 8, 10, 12, 14};
    const std::int32_t step = kPeriodStep[distance];
    src = dst - step;
    while (dst < end) {
      std::memcpy(dst, src, 8);
      dst += 8;
      src += 8;
    }
  }
}

// Flushes the output window when the decoder has filled it.
bool FlushFullWindow(EngineState& s) {
  s.OutPending = s.OutPos - s.OutStart;
  FlushOutput();
  return s.ErrorNo == 0;
}

// Copies count bytes from the input buffer to the output window, refilling and
// flushing as needed. Returns false on error.
bool CopyStoredBytes(EngineState& s, ZipSize count) {
  while (count > 0) {
    if (s.OutPos >= kOutWindowSize && !FlushFullWindow(s)) return false;
    if (s.InPos >= s.InLimit) {
      RefillInput();
      if (s.ErrorNo != 0) return false;
    }
    const auto piece = static_cast<std::int32_t>(
        std::min<ZipSize>({count, s.InLimit - s.InPos, kOutWindowSize - s.OutPos}));
    std::memcpy(s.OutWindow.data() + s.OutPos, s.InBuffer.data() + s.InPos, static_cast<std::size_t>(piece));
    s.InPos += piece;
    s.OutPos += piece;
    count -= piece;
  }
  if (s.OutPos >= kOutWindowSize && !FlushFullWindow(s)) return false;
  return true;
}

// Delivers what is pending once the entry has reached its size.
void FlushIfComplete(EngineState& s, ZipSize size) {
  s.OutPending = s.OutPos - s.OutStart;
  if (s.EntryOutCount + s.OutPending >= size) FlushOutput();
}

void CopyStoredBlock() {
  EngineState& s = Engine();
  AlignToByte(s);
  if (s.InPos + 4 > s.InCount) {
    Damaged();
    return;
  }
  const std::int32_t length = ReadU16(s.InBuffer.data() + s.InPos);
  const std::int32_t check = ReadU16(s.InBuffer.data() + s.InPos + 2);
  if ((length ^ check) != 0xFFFF) {  // LEN and NLEN must be complements
    Damaged();
    return;
  }
  s.InPos += 4;
  const ZipSize size = DeclaredSize(s);
  if (Produced(s) + length > size) {  // more data than the entry declares
    Damaged();
    return;
  }
  if (!CopyStoredBytes(s, length)) return;
  FlushIfComplete(s, size);
}

// The window index at which the entry reaches its declared size.
inline ZipSize SizeEnd(const EngineState& s, ZipSize size) { return s.OutStart + size - s.EntryOutCount; }

// 2^n - 1 for n = 0..31: the low bits of a consumed span.
constexpr std::array<std::uint32_t, 32> kLowBits = [] {
  std::array<std::uint32_t, 32> masks{};
  for (int n = 0; n < 32; ++n) masks[static_cast<std::size_t>(n)] = (1u << n) - 1u;
  return masks;
}();

// The extra bits of a length or distance entry: the bits of the consumed span
// above the code itself. For these entries bits 12..13 are clear, so the shift
// by bits 8..13 is the code length.
inline std::uint32_t ExtraValue(std::uint64_t span, std::uint32_t entry) {
  return (static_cast<std::uint32_t>(span) & kLowBits[entry & 31]) >> ((entry >> 8) & 63);
}

void DecodeBlock() {
  EngineState& s = Engine();
  const ZipSize size = DeclaredSize(s);
  std::uint8_t* const out = s.OutWindow.data();
  const std::uint8_t* const buf = s.InBuffer.data();
  const std::uint32_t* const litTable = s.LitTable.data();
  const std::uint32_t* const litSub = s.LitSubTables[0].data();
  const std::uint32_t* const distTable = s.DistTable.data();
  const std::uint32_t* const distSub = s.DistSubTables[0].data();

  std::int32_t p = s.OutPos;
  ZipSize sizeEnd = SizeEnd(s, size);
  std::int32_t stop = 0;     // the slow path runs when p reaches this
  std::int32_t lowest = 0;   // no match may reach below this window index
  // The block header readers may leave InBitPos up to 15. The bit buffer starts
  // empty, "consumed" up to InPos/InBitPos, with inLimit set so that the first
  // round goes through the slow path, which sets up everything.
  s.InPos += s.InBitPos >> 3;
  s.InBitPos &= 7;
  const std::uint8_t* in = buf + s.InPos + 1;
  const std::uint8_t* inLimit = buf;
  std::uint64_t bits = 0;
  // The number of valid bits in `bits` is the low byte of bitCount (0..63):
  // consuming subtracts a whole table entry, whose low byte is its bit count,
  // and the bits above the low byte are never read.
  std::uint32_t bitCount = static_cast<std::uint32_t>(8 - s.InBitPos);

  // Every helper here is inlined into the loop, which keeps all of this in
  // registers (nothing the functions called in the slow path could see).
  // Stores the stream position of the next unconsumed bit.
  auto saveInput = [&] {
    const std::int64_t bitPos = static_cast<std::int64_t>(in - buf) * 8 - (bitCount & 0xFF);
    s.InPos = static_cast<std::int32_t>(bitPos >> 3);
    s.InBitPos = static_cast<std::int32_t>(bitPos & 7);
  };
  // At least 56 valid bits afterwards, without a branch: the load's bytes above
  // the valid bits are the stream's next bytes, so OR-ing them in again is harmless.
  auto topUp = [&] {
    bits |= Load64(in) << (bitCount & 63);
    in += (63 - (bitCount & 63)) >> 3;
    bitCount |= 56;
  };
  auto consume = [&](std::uint32_t entry) {
    bits >>= (entry & 63);
    bitCount -= entry;
  };

  for (;;) {
    if (p >= stop || in >= inLimit) [[unlikely]] {
      // Settles flushes and refills, then restarts the bit buffer at InPos.
      saveInput();
      if (p > SizeEnd(s, size)) {  // the block produced more than the entry declares
        Damaged();
        break;
      }
      if (p >= kOutWindowSize) {
        s.OutPos = p;
        if (!FlushFullWindow(s)) break;
        p = s.OutPos;
      }
      sizeEnd = SizeEnd(s, size);
      stop = static_cast<std::int32_t>(std::min<std::int64_t>(kOutWindowSize, sizeEnd + 1));
      // Before the first slide the window below OutStart - EntryOutCount may hold
      // an earlier entry's bytes; the caller starts each entry at index 0.
      lowest = static_cast<std::int32_t>(std::max<ZipSize>(0, s.OutStart - s.EntryOutCount));
      if (s.InPos >= s.InLimit) {
        RefillInput();
        if (s.ErrorNo != 0) break;
      }
      in = buf + s.InPos;
      inLimit = buf + s.InLimit;
      bits = 0;
      bitCount = 0;
      topUp();
      bits >>= s.InBitPos;
      bitCount -= static_cast<std::uint32_t>(s.InBitPos);
    }
    topUp();

    std::uint32_t e = litTable[bits & 511];
    if (e & kLiteralFlag) {
      // Up to three literals from one top-up: 3 x 15 bits of the 56.
      consume(e);
      out[p++] = static_cast<std::uint8_t>(e >> 16);
      e = litTable[bits & 511];
      if (e & kLiteralFlag) {
        consume(e);
        out[p++] = static_cast<std::uint8_t>(e >> 16);
        e = litTable[bits & 511];
        if (e & kLiteralFlag) {
          consume(e);
          out[p++] = static_cast<std::uint8_t>(e >> 16);
          continue;
        }
      }
      topUp();  // a length and a distance with their extra bits take up to 48 bits
    }

    if (e & kSpecialFlag) [[unlikely]] {
      if (e & kSubTableFlag) {
        e = litSub[EntryValue(e) + static_cast<std::uint32_t>((bits >> 9) & 63)];
        if (e & kLiteralFlag) {
          consume(e);
          out[p++] = static_cast<std::uint8_t>(e >> 16);
          continue;
        }
      }
      if (e & kEndOfBlockFlag) {
        consume(e);
        saveInput();
        if (p > sizeEnd) Damaged();
        break;
      }
      if (e & kSpecialFlag) goto damaged;  // no code ends here, or symbol 286/287
    }

    {
      std::uint64_t span = bits;
      consume(e);
      const std::uint32_t length = EntryValue(e) + ExtraValue(span, e);

      std::uint32_t d = distTable[bits & 511];
      if (d & kSpecialFlag) [[unlikely]] {
        if (!(d & kSubTableFlag)) goto damaged;  // no code, or distance code 30/31
        d = distSub[EntryValue(d) + static_cast<std::uint32_t>((bits >> 9) & 63)];
        if (d & kSpecialFlag) goto damaged;
      }
      span = bits;
      consume(d);
      const std::uint32_t distance = EntryValue(d) + ExtraValue(span, d);
      if (distance > static_cast<std::uint32_t>(p - lowest)) goto damaged;  // before the entry's first byte
      CopyMatch(out + p, static_cast<std::int32_t>(distance), static_cast<std::int32_t>(length));
      p += static_cast<std::int32_t>(length);
    }
    continue;

  damaged:
    saveInput();
    s.MatchDistance = 0;
    Damaged();
    break;
  }
  s.OutPos = p;
}

}  // namespace

void InflateEntry() {
  EngineState& s = Engine();
  try {
    const ZipSize size = DeclaredSize(s);
    s.LastBlock = 0;
    while (s.EntryOutCount < size) {
      if (s.LastBlock) break;
      if (s.InCount - s.InPos < kHeaderLookahead) {
        RefillInput();
        if (s.ErrorNo != 0) return;
      }
      // The 3 header bits must lie in the data (a stream cut off at a block boundary).
      if (static_cast<std::int64_t>(s.InPos) * 8 + s.InBitPos + 3 > static_cast<std::int64_t>(s.InCount) * 8) {
        Damaged();
        return;
      }
      const std::uint32_t w = PeekBits(s);
      s.LastBlock = static_cast<std::uint8_t>(w & 1);
      const std::uint32_t type = (w >> 1) & 3;
      SkipBits(s, 3);
      switch (type) {
        case 0:
          CopyStoredBlock();
          break;
        case 1:
          RestoreFixedTables();
          DecodeBlock();
          break;
        case 2:
          s.WorkingTablesAreFixed = false;
          ReadDynamicHeader();
          if (s.ErrorNo == 0) BuildCodeLenTable();
          if (s.ErrorNo == 0) ReadCodeLengths();
          if (s.ErrorNo == 0) BuildLitTable();
          if (s.ErrorNo == 0) BuildDistTable();
          if (s.ErrorNo == 0) DecodeBlock();
          break;
        default:
          Damaged();
          break;
      }
      if (s.ErrorNo != 0) return;
      if (type != 0) {
        FlushIfComplete(s, size);
        if (s.ErrorNo != 0) return;
      }
    }
  } catch (...) {
    // Leaves ErrorNo as it is; the caller's CRC check reports the entry.
  }
}

void CopyStoredEntry() {
  EngineState& s = Engine();
  const ZipSize size = DeclaredSize(s);
  if (size > 0 && !CopyStoredBytes(s, size)) return;
  FlushIfComplete(s, size);
}

}  // namespace vantelo
