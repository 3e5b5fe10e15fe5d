// Inflate: the Deflate decoder (RFC 1951) and its Deflate64 variant.
//
// Modes of the driver (Decode): read a block header (3 bits, with at least
// 1024 bytes buffered ahead so that no header needs a refill), then decode
// the block: stored (LEN, NLEN, copy), fixed code, or dynamic code (tables
// built from the block's header); after the last block, or as soon as the
// declared size is out, the entry ends.
//
// The block loop (DecodeBlockWith) keeps its state in locals and stores it
// back into the input and the window only around a refill or a flush and at
// the end of the block. Its invariants, at the top of every round:
//   bits      the next stream bits, first bit in bit 0. Only the low
//             (bitCount & 0xFF) bits are valid; the bits above them are either
//             zero or the very stream bits that follow, never anything else.
//   bitCount  its low byte is the number of valid bits, 0..63. Consuming an
//             entry subtracts the whole 32-bit entry, whose low byte is the
//             bits it takes (code plus extra bits): the low byte comes out
//             right and the borrow into bits 8..31 is never read. Shifting
//             bits by (entry & 63) likewise uses only that byte.
//   next      where the next top-up loads from: the stream position of the
//             next unconsumed bit is (next - buffer) * 8 - (bitCount & 0xFF).
//   topUp     ORs in the 8 bytes at next shifted up by the valid count (the
//             bits that overlap valid ones are the same stream bits, so OR-ing
//             them again changes nothing), advances next by 7 - valid / 8 whole
//             bytes and sets the valid count to 56..63 with `|= 56`: no branch,
//             and after it at least 56 bits are valid.
//   56 bits   are enough for three literals (3 x 15 bits), or for a length
//             code with its extra bits (at most 15 + 5) and a distance code
//             with its extra bits (at most 15 + 13) after one more top-up:
//             48 bits. Deflate64's length code 285 takes up to 15 + 16 = 31
//             bits, so the wide loop tops up once more before the distance.
//   next < inLimit (the input's limit: 16 bytes before its valid end) and
//   op < stop (the flush point, or one past the entry's declared size) when a
//             round starts: else the slow path flushes, refills or reports
//             damage first. A round then loads at most 3 times 8 bytes, none
//             ending more than 22 bytes after next (inside the 16 zeroed bytes
//             of slack after the input's valid end), and writes at most kMaxMatchLength + 15 bytes
//             from op (inside the window's overrun room after the flush point).
//   op - lowest is the number of bytes of this entry before op that a match
//             may copy from.
// One combined test per round sends the loop to the slow path.
//
// A Deflate64 match may be longer than the room left before the flush point
// (up to 65,538 bytes against the window's 512 bytes of overrun room): it is
// copied in pieces that end at the flush point, with a flush after each.
//
// Damaged data ends the entry with kDamaged: block type 3, a stored block whose
// length check fails, an undecodable code, symbols 286/287, Deflate's distance
// codes 30/31, a distance reaching before the entry's first byte, more output
// than the entry's declared size, and input that ends inside a block header.
#include "engine/methods/inflate/inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "engine/methods/stored.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VANTELO_INFLATE_BMI2 1
#else
#define VANTELO_INFLATE_BMI2 0
#endif

namespace vantelo {
namespace {

using namespace deflate;

constexpr std::int32_t kHeaderLookahead = 1024;  // more than the largest block header

inline std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// Copies a match of length bytes from distance bytes back, giving the same bytes
// as a forward byte-by-byte copy. May write up to 15 bytes past the end of the
// match (into bytes not produced yet, or the window's overrun room).
inline void CopyMatch(std::uint8_t* dst, std::uint32_t distance, std::uint32_t length) {
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

// The window index at which the entry reaches its declared size.
inline ZipSize SizeEnd(const OutputWindow& out, ZipSize size) { return out.start + size - out.delivered; }

// Delivers what is pending once the entry has reached its size.
EntryResult FlushIfComplete(OutputWindow& out, ZipSize size) {
  if (out.Produced() >= size) return out.Flush();
  return EntryResult::kOk;
}

EntryResult CopyStoredBlock(EntryInput& in, OutputWindow& out, ZipSize size) {
  in.AlignToByte();
  if (in.pos + 4 > in.count) return EntryResult::kDamaged;
  const std::int32_t length = in.buffer[static_cast<std::size_t>(in.pos)] | (in.buffer[static_cast<std::size_t>(in.pos) + 1] << 8);
  const std::int32_t check = in.buffer[static_cast<std::size_t>(in.pos) + 2] | (in.buffer[static_cast<std::size_t>(in.pos) + 3] << 8);
  if ((length ^ check) != 0xFFFF) return EntryResult::kDamaged;  // LEN and NLEN must be complements
  in.pos += 4;
  if (out.Produced() + length > size) return EntryResult::kDamaged;  // more data than the entry declares
  const EntryResult copied = CopyStoredBytes(in, out, length);
  if (copied != EntryResult::kOk) return copied;
  return FlushIfComplete(out, size);
}

// The extra bits of a length or distance entry: the bits of the consumed span
// above the code itself. The entry's low byte is the span's size (at most 31)
// and, as bits 12..13 are clear in these entries, bits 8..13 are the code
// length; both are used as 64-bit shift counts, which x86-64 takes modulo 64
// by itself (with BMI: SHLX, ANDN, SHRX).
inline std::uint32_t ExtraValue(std::uint64_t span, std::uint32_t entry) {
  const std::uint64_t low = span & ~(~std::uint64_t{0} << (entry & 63));
  return static_cast<std::uint32_t>(low >> ((entry >> 8) & 63));
}

// Copies a Deflate64 match longer than the window's overrun room in pieces
// that end at the flush point, flushing after each: the slide keeps 64 KiB of
// history, so the distance still reaches into it.
EntryResult CopyLongMatch(OutputWindow& out, std::uint32_t distance, std::uint32_t length) {
  const std::int32_t flushPoint = out.shape.flushPoint;
  for (;;) {
    if (out.pos >= flushPoint) {
      const EntryResult flushed = out.Flush();
      if (flushed != EntryResult::kOk) return flushed;
    }
    const auto piece = static_cast<std::int32_t>(std::min<std::uint32_t>(length, static_cast<std::uint32_t>(flushPoint - out.pos)));
    CopyMatch(out.bytes.data() + out.pos, distance, static_cast<std::uint32_t>(piece));
    out.pos += piece;
    length -= static_cast<std::uint32_t>(piece);
    if (length == 0) return EntryResult::kOk;
  }
}

template <bool kWide>
[[gnu::always_inline]] inline EntryResult DecodeBlockWith(EntryInput& in, OutputWindow& out, const BlockTables& tables,
                                                          ZipSize size) {
  constexpr std::int32_t kFlushPoint = (kWide ? kDeflate64Window : kDeflateWindow).flushPoint;
  std::uint8_t* const window = out.bytes.data();
  const std::uint8_t* const buf = in.buffer.data();
  const std::uint32_t* const litTable = tables.lit;
  const std::uint32_t* const distTable = tables.dist;

  EntryResult result = EntryResult::kOk;
  std::uint8_t* op = window + out.pos;  // the next output byte
  ZipSize sizeEnd = SizeEnd(out, size);
  std::uint8_t* stop = window;          // the slow path runs when op reaches this
  const std::uint8_t* lowest = window;  // no match may reach below this
  // The block header readers may leave bitPos up to 15. The bit buffer starts
  // empty, "consumed" up to pos/bitPos, with inLimit set so that the first
  // round goes through the slow path, which sets up everything.
  in.pos += in.bitPos >> 3;
  in.bitPos &= 7;
  const std::uint8_t* next = buf + in.pos + 1;
  const std::uint8_t* inLimit = buf;
  std::uint64_t bits = 0;
  std::uint32_t bitCount = static_cast<std::uint32_t>(8 - in.bitPos);

  // Every helper here is inlined into the loop, which keeps all of this in
  // registers (nothing the functions called in the slow path could see).
  auto produced = [&] { return static_cast<std::int32_t>(op - window); };
  // Stores the stream position of the next unconsumed bit.
  auto saveInput = [&] {
    const std::int64_t bitPos = static_cast<std::int64_t>(next - buf) * 8 - (bitCount & 0xFF);
    in.pos = static_cast<std::int32_t>(bitPos >> 3);
    in.bitPos = static_cast<std::int32_t>(bitPos & 7);
  };
  // At least 56 valid bits afterwards, without a branch (see the top of the file).
  auto topUp = [&] {
    bits |= Load64(next) << (bitCount & 63);
    next += 7 - ((bitCount >> 3) & 7);
    bitCount |= 56;
  };
  auto consume = [&](std::uint32_t entry) {
    bits >>= (entry & 63);
    bitCount -= entry;
  };

  for (;;) {
    if (op >= stop || next >= inLimit) [[unlikely]] {
      // Settles flushes and refills, then restarts the bit buffer at pos.
      saveInput();
      if (produced() > SizeEnd(out, size)) {  // the block produced more than the entry declares
        result = EntryResult::kDamaged;
        break;
      }
      if (produced() >= kFlushPoint) {
        out.pos = produced();
        result = out.Flush();
        if (result != EntryResult::kOk) break;
        op = window + out.pos;
      }
      sizeEnd = SizeEnd(out, size);
      stop = window + std::min<std::int64_t>(kFlushPoint, sizeEnd + 1);
      // Before the first slide the window below start - delivered may hold an
      // earlier entry's bytes; every entry starts at index 0.
      lowest = window + std::max<ZipSize>(0, out.start - out.delivered);
      if (in.pos >= in.limit) {
        result = in.Refill();
        if (result != EntryResult::kOk) break;
      }
      next = buf + in.pos;
      inLimit = buf + in.limit;
      bits = 0;
      bitCount = 0;
      topUp();
      bits >>= in.bitPos;
      bitCount -= static_cast<std::uint32_t>(in.bitPos);
    }
    topUp();

    std::uint32_t e = litTable[bits & (kLitTableSize - 1)];
    if (e & kLiteralFlag) {
      // Up to three literals from one top-up: 3 x 15 bits of the 56.
      consume(e);
      *op++ = static_cast<std::uint8_t>(e >> 16);
      e = litTable[bits & (kLitTableSize - 1)];
      if (e & kLiteralFlag) {
        consume(e);
        *op++ = static_cast<std::uint8_t>(e >> 16);
        e = litTable[bits & (kLitTableSize - 1)];
        if (e & kLiteralFlag) {
          consume(e);
          *op++ = static_cast<std::uint8_t>(e >> 16);
          continue;
        }
      }
      topUp();  // a length and a distance with their extra bits take up to 48 bits
    }

    if (e & kSpecialFlag) [[unlikely]] {
      if (e & kSubTableFlag) {
        e = tables.litSub[EntryValue(e) + static_cast<std::uint32_t>((bits >> kLitTableBits) & (kLitSubSize - 1))];
        if (e & kLiteralFlag) {
          consume(e);
          *op++ = static_cast<std::uint8_t>(e >> 16);
          continue;
        }
      }
      if (e & kEndOfBlockFlag) {
        consume(e);
        saveInput();
        if (produced() > sizeEnd) result = EntryResult::kDamaged;
        break;
      }
      if (e & kSpecialFlag) goto damaged;  // no code ends here, or symbol 286/287
    }

    {
      std::uint64_t span = bits;
      consume(e);
      const std::uint32_t length = EntryValue(e) + ExtraValue(span, e);
      if constexpr (kWide) topUp();  // length code 285 may have taken 31 bits

      std::uint32_t d = distTable[bits & (kDistTableSize - 1)];
      if (d & kSpecialFlag) [[unlikely]] {
        if (!(d & kSubTableFlag)) goto damaged;  // no code, or Deflate's distance code 30/31
        d = tables.distSub[EntryValue(d) + static_cast<std::uint32_t>((bits >> kDistTableBits) & (kDistSubSize - 1))];
        if (d & kSpecialFlag) goto damaged;
      }
      span = bits;
      consume(d);
      const std::uint32_t distance = EntryValue(d) + ExtraValue(span, d);
      if (distance > static_cast<std::uint32_t>(op - lowest)) goto damaged;  // before the entry's first byte
      if constexpr (kWide) {
        if (length > static_cast<std::uint32_t>(kMaxMatchLength)) [[unlikely]] {
          // Longer than the overrun room: in pieces that end at the flush point.
          if (produced() + static_cast<ZipSize>(length) > sizeEnd) goto damaged;  // more than the entry declares
          out.pos = produced();
          result = CopyLongMatch(out, distance, length);
          op = window + out.pos;
          if (result != EntryResult::kOk) {
            saveInput();
            break;
          }
          stop = window;  // the slow path takes the window's new limits
          continue;
        }
      }
      CopyMatch(op, distance, length);
      op += length;
    }
    continue;

  damaged:
    saveInput();
    result = EntryResult::kDamaged;
    break;
  }
  out.pos = produced();
  return result;
}

// The block loop compiled twice: for any x86-64 or other processor, and for
// processors with BMI2, whose three-operand shifts (SHRX, SHLX) and BZHI take
// fewer instructions per symbol. The decoder picks one when it is made.
template <bool kWide>
EntryResult DecodeBlockPortable(EntryInput& in, OutputWindow& out, const BlockTables& tables, ZipSize size) {
  return DecodeBlockWith<kWide>(in, out, tables, size);
}

#if VANTELO_INFLATE_BMI2
template <bool kWide>
[[gnu::target("bmi,bmi2")]] EntryResult DecodeBlockBmi2(EntryInput& in, OutputWindow& out, const BlockTables& tables,
                                                    ZipSize size) {
  return DecodeBlockWith<kWide>(in, out, tables, size);
}
#endif

template <bool kWide>
EntryResult DecodeBlock(InflateLoop loop, EntryInput& in, OutputWindow& out, const BlockTables& tables,
                        ZipSize size) {
#if VANTELO_INFLATE_BMI2
  if (loop == InflateLoop::kBmi2) return DecodeBlockBmi2<kWide>(in, out, tables, size);
#endif
  (void)loop;
  return DecodeBlockPortable<kWide>(in, out, tables, size);
}

template <bool kWide>
EntryResult DecodeBlocks(InflateLoop loop, EntryInput& in, OutputWindow& out, DynamicTables& dynamic,
                         ZipSize size) {
  constexpr DeflateVariant kVariant = kWide ? DeflateVariant::kDeflate64 : DeflateVariant::kDeflate;
  bool lastBlock = false;
  while (out.delivered < size && !lastBlock) {
    if (in.count - in.pos < kHeaderLookahead) {
      const EntryResult refilled = in.Refill();
      if (refilled != EntryResult::kOk) return refilled;
    }
    // The 3 header bits must lie in the data (a stream cut off at a block boundary).
    if (static_cast<std::int64_t>(in.pos) * 8 + in.bitPos + 3 > static_cast<std::int64_t>(in.count) * 8)
      return EntryResult::kDamaged;
    const std::uint32_t w = in.PeekBits();
    lastBlock = (w & 1) != 0;
    const std::uint32_t type = (w >> 1) & 3;
    in.SkipBits(3);
    EntryResult result;
    switch (type) {
      case 0:
        result = CopyStoredBlock(in, out, size);
        break;
      case 1:
        result = DecodeBlock<kWide>(loop, in, out, FixedTables(kVariant), size);
        if (result == EntryResult::kOk) result = FlushIfComplete(out, size);
        break;
      case 2:
        result = dynamic.Read(in, kVariant);
        if (result == EntryResult::kOk) result = DecodeBlock<kWide>(loop, in, out, dynamic.View(), size);
        if (result == EntryResult::kOk) result = FlushIfComplete(out, size);
        break;
      default:
        result = EntryResult::kDamaged;
        break;
    }
    if (result != EntryResult::kOk) return result;
  }
  if (out.delivered == size) return EntryResult::kOk;
  // The last block ended first: what it produced is delivered all the same,
  // so a caller that knows no size gets the whole stream.
  const EntryResult flushed = out.Flush();
  return flushed != EntryResult::kOk ? flushed : EntryResult::kShort;
}

}  // namespace

InflateLoop FastestInflateLoop() {
#if VANTELO_INFLATE_BMI2
  static const bool hasBmi2 = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  if (hasBmi2) return InflateLoop::kBmi2;
#endif
  return InflateLoop::kPortable;
}

void InflateDecoder::UseLoop(InflateLoop loop) {
  loop_ = loop == InflateLoop::kBmi2 ? FastestInflateLoop() : InflateLoop::kPortable;
}

EntryResult InflateDecoder::Decode(EntryInput& in, OutputWindow& out, ZipSize declaredSize) {
  if (variant_ == DeflateVariant::kDeflate64) return DecodeBlocks<true>(loop_, in, out, tables_, declaredSize);
  return DecodeBlocks<false>(loop_, in, out, tables_, declaredSize);
}

}  // namespace vantelo
