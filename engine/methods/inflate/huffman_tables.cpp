// Huffman table construction for the Deflate decoder.
//
// Codes are the canonical codes of RFC 1951, stored bit-reversed (first stream
// bit in bit 0) so that the next stream bits index the tables directly. Codes no
// longer than the first level (11 bits for literals and lengths, 9 for
// distances) fill every first-level entry that ends in them; longer codes go to
// a second-level table indexed by the bits after the first level (up to 15).
//
// Code sets are checked before they are used: an over-subscribed set is damage,
// and so is an incomplete one, except a literal/length code of exactly one
// 1-bit code and a distance code of at most one code (which decodes whatever
// the bit says). The dynamic header readers never look past the buffered bytes.
//
// The fixed tables are built on first use (thread-safe static initialization)
// and only read afterwards; a fixed block points at them, it copies nothing.
#include "engine/methods/inflate/huffman_tables.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace vantelo::deflate {
namespace {

constexpr int kCodeLenSymbols = 19;
constexpr int kCodeLenTableSize = 1 << kCodeLenBits;  // 128
constexpr int kLengthsSize = 321;                     // literal/length then distance lengths

// True when the bit reader has consumed bits beyond the valid buffered bytes:
// the header ran past the end of the data.
bool PastInput(const EntryInput& in) {
  return static_cast<std::int64_t>(in.pos) * 8 + in.bitPos > static_cast<std::int64_t>(in.count) * 8;
}

enum class CodeKind { CodeLengths, LiteralLength, Distance };

// The table entry of a symbol with a code of the given length (see
// deflate_constants.h). Symbols that never occur in a valid stream (286, 287,
// and in Deflate distances 30, 31) get the no-code entry, so decoding them is
// damage. Deflate64 gives length code 285 and distance codes 30, 31 their
// wider meaning.
std::uint32_t SymbolEntry(CodeKind kind, DeflateVariant variant, int symbol, int length) {
  const bool wide = variant == DeflateVariant::kDeflate64;
  switch (kind) {
    case CodeKind::CodeLengths:
      return static_cast<std::uint32_t>(MakeEntry(symbol, length));
    case CodeKind::LiteralLength:
      if (symbol < kEndOfBlock) return MakeLiteralEntry(symbol, length);
      if (symbol == kEndOfBlock) return MakeEndOfBlockEntry(length);
      if (symbol - 257 >= 29) return kNoCodeEntry;
      if (wide && symbol == 285) return MakeCodeEntry(kLengthBase285Wide, length, kLengthExtra285Wide);
      return MakeCodeEntry(static_cast<std::uint32_t>(kLengthBase[symbol - 257]), length,
                           kLengthExtra[symbol - 257]);
    case CodeKind::Distance:
      if (wide && (symbol == 30 || symbol == 31))
        return MakeCodeEntry(static_cast<std::uint32_t>(kDistBaseWide[symbol - 30]), length, kDistExtraWide);
      if (symbol >= 30) return kNoCodeEntry;
      return MakeCodeEntry(static_cast<std::uint32_t>(kDistBase[symbol]), length, kDistExtra[symbol]);
  }
  return kNoCodeEntry;
}

// Builds a table of 2^tableBits first-level entries for symbols 0..count-1 with
// the given code lengths; second-level tables of 2^(15 - tableBits) entries
// come from pool (poolTables of them). Returns false for a code set that cannot be decoded.
//
// Symbols are taken in canonical order (by code length, then symbol), in which
// the codes count upwards: the long codes sharing their first tableBits bits
// follow one another, so each run of them gets the next second-level table.
// A complete code covers every entry of both levels, so only the incomplete
// codes that are taken need the table filled with the no-code entry first.
template <CodeKind kind>
bool BuildTable(DeflateVariant variant, const std::int32_t* lengths, int count, std::uint32_t* table,
                int tableBits, std::uint32_t* pool, int poolTables) {
  int lengthCount[kMaxCodeBits + 1] = {};
  // Every length is 0..15: the header reader decodes them from a code of
  // 16 symbols, the fixed code has them as constants.
  for (int symbol = 0; symbol < count; ++symbol) ++lengthCount[lengths[symbol]];

  // Kraft sum: "left" is the number of unused codes at each length.
  int left = 1;
  for (int length = 1; length <= kMaxCodeBits; ++length) {
    left <<= 1;
    left -= lengthCount[length];
    if (left < 0) return false;  // over-subscribed
  }
  const int tableSize = 1 << tableBits;
  const std::uint32_t subSize = 1u << (kMaxCodeBits - tableBits);
  if (left > 0) {
    // Incomplete. Only a literal/length code made of a single 1-bit code is
    // taken (its one code is 0; the other bit value stays empty).
    const int used = count - lengthCount[0];
    if (!(kind == CodeKind::LiteralLength && used == 1 && lengthCount[1] == 1)) return false;
    std::fill(table, table + tableSize, kNoCodeEntry);
  }

  // Counting sort into canonical order; the unused symbols (length 0) go
  // after the used ones, so that the loop has no branch.
  const int used = count - lengthCount[0];
  int next[kMaxCodeBits + 1];
  next[0] = used;
  next[1] = 0;
  for (int length = 1; length < kMaxCodeBits; ++length) next[length + 1] = next[length] + lengthCount[length];
  std::uint16_t sorted[kLengthsSize];
  for (int symbol = 0; symbol < count; ++symbol) sorted[next[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);

  // A code of length n <= bits fills every entry of a 2^bits table whose low
  // n bits are its reversed code. In canonical order each code is written once
  // into the first 2^n entries, and that part is doubled (copied after itself)
  // whenever the length grows, and at the end up to the whole table. A longer
  // code fills the entries of its second-level table whose low n - bits bits
  // are the rest of its reversed code, one in every 2^(n - bits).
  auto growTo = [](std::uint32_t* part, std::uint32_t& size, std::uint32_t wanted) {
    for (; size < wanted; size <<= 1) std::memcpy(part + size, part, size * sizeof *part);
  };
  // The current code, bit-reversed (its first bit in bit 0). The next code in
  // canonical order adds one at the code's last bit, which reversed is bit
  // length - 1, carrying downwards; a longer code after it appends zero bits,
  // which leaves the reversed value as it is.
  std::uint32_t code = 0;
  const int firstLength = used > 0 ? lengths[sorted[0]] : 0;
  std::uint32_t filled = 1u << std::min(firstLength, tableBits);
  int tablesUsed = 0;
  std::uint32_t currentPrefix = ~0u;
  std::uint32_t* sub = nullptr;
  for (int k = 0; k < used; ++k) {
    const int symbol = sorted[k];
    const int length = lengths[symbol];
    const std::uint32_t reversed = code;
    const std::uint32_t carry = std::bit_floor(~code & ((1u << length) - 1));  // 0 after the last code
    code = (code & (carry - 1)) | carry;
    const std::uint32_t entry = SymbolEntry(kind, variant, symbol, length);
    if (length <= tableBits) {
      growTo(table, filled, 1u << length);
      table[reversed] = entry;
      continue;
    }
    const std::uint32_t prefix = reversed & static_cast<std::uint32_t>(tableSize - 1);
    if (prefix != currentPrefix) {
      if (pool == nullptr || tablesUsed >= poolTables) return false;
      growTo(table, filled, static_cast<std::uint32_t>(tableSize));
      currentPrefix = prefix;
      sub = pool + tablesUsed * subSize;
      table[prefix] = MakeSubTableEntry(static_cast<int>(tablesUsed++ * subSize));
    }
    const std::uint32_t step = 1u << (length - tableBits);
    for (std::uint32_t at = reversed >> tableBits; at < subSize; at += step) sub[at] = entry;
  }
  growTo(table, filled, static_cast<std::uint32_t>(tableSize));
  return true;
}

// The code lengths of a dynamic block, read from its header.
struct BlockLengths {
  std::int32_t litCount = 0;   // HLIT + 257
  std::int32_t distCount = 0;  // HDIST + 1
  std::array<std::int32_t, kLengthsSize> lengths{};  // literal/length lengths, then distance lengths
};

// Reads HLIT, HDIST, HCLEN and the code-length code lengths, and builds the
// code-length table.
EntryResult ReadCodeLengthCode(EntryInput& in, DeflateVariant variant, BlockLengths& block,
                               std::array<std::uint32_t, kCodeLenTableSize>& table) {
  std::array<std::int32_t, kCodeLenSymbols> codeLenLengths{};
  std::uint32_t w = in.PeekBits();
  block.litCount = static_cast<std::int32_t>(w & 31) + 257;
  block.distCount = static_cast<std::int32_t>((w >> 5) & 31) + 1;
  const int codeLenCount = static_cast<int>((w >> 10) & 15) + 4;
  in.SkipBits(14);
  const int maxDist = variant == DeflateVariant::kDeflate64 ? kMaxDistCodesWide : kMaxDistCodes;
  if (PastInput(in) || block.litCount > kMaxLitCodes || block.distCount > maxDist) return EntryResult::kDamaged;
  for (int i = 0; i < codeLenCount; ++i) {
    w = in.PeekBits();
    codeLenLengths[static_cast<std::size_t>(kCodeLenOrder[i])] = static_cast<std::int32_t>(w & 7);
    in.SkipBits(3);
  }
  if (PastInput(in)) return EntryResult::kDamaged;
  if (!BuildTable<CodeKind::CodeLengths>(variant, codeLenLengths.data(), kCodeLenSymbols, table.data(),
                                         kCodeLenBits, nullptr, 0))
    return EntryResult::kDamaged;
  return EntryResult::kOk;
}

// Reads the literal/length and distance code lengths with the code-length code.
// A local 64-bit window over the buffer replaces the input's bit reader: each
// symbol (a code of at most 7 bits and at most 7 repeat bits) is decoded from
// one load at the byte of the next bit, shifted by the bits of that byte
// already used, which leaves at least 57 valid bits. After every symbol the
// position is tested against the buffered bytes, so no load starts past them
// (the slack after them covers the rest of the 8-byte load).
EntryResult ReadCodeLengths(EntryInput& in, const std::array<std::uint32_t, kCodeLenTableSize>& table,
                            BlockLengths& block) {
  const int total = block.litCount + block.distCount;  // at most 318: inside lengths
  auto& lengths = block.lengths;
  const std::uint8_t* const buf = in.buffer.data();
  std::int64_t bitPos = static_cast<std::int64_t>(in.pos) * 8 + in.bitPos;  // next unconsumed bit
  const std::int64_t endBits = static_cast<std::int64_t>(in.count) * 8;
  if (bitPos > endBits) return EntryResult::kDamaged;
  int i = 0;
  while (i < total) {
    std::uint64_t w;
    std::memcpy(&w, buf + (bitPos >> 3), 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    w >>= (bitPos & 7);
    const auto entry = static_cast<std::int32_t>(table[w & kBitMask[kCodeLenBits]]);
    if (entry < 0) return EntryResult::kDamaged;
    const std::int32_t symbol = EntrySymbol(entry);
    const int codeBits = EntryLength(entry);
    w >>= codeBits;
    bitPos += codeBits;
    if (symbol < 16) {
      lengths[static_cast<std::size_t>(i++)] = symbol;
    } else {
      std::int32_t value = 0;
      int repeat;
      if (symbol == 16) {
        if (i == 0) return EntryResult::kDamaged;  // nothing to repeat
        value = lengths[static_cast<std::size_t>(i - 1)];
        repeat = 3 + static_cast<int>(w & 3);
        bitPos += 2;
      } else if (symbol == 17) {
        repeat = 3 + static_cast<int>(w & 7);
        bitPos += 3;
      } else {
        repeat = 11 + static_cast<int>(w & 127);
        bitPos += 7;
      }
      if (repeat > total - i) return EntryResult::kDamaged;  // would run past the declared counts
      std::fill_n(lengths.begin() + i, repeat, value);
      i += repeat;
    }
    if (bitPos > endBits) return EntryResult::kDamaged;
  }
  in.pos = static_cast<std::int32_t>(bitPos >> 3);
  in.bitPos = static_cast<std::int32_t>(bitPos & 7);
  return EntryResult::kOk;
}

// Builds the distance table. At most one distance code: every entry decodes
// to it, consuming its length whatever the bits are. With no distance code
// at all, any match is damage.
bool BuildDistTable(DeflateVariant variant, const std::int32_t* lengths, int count, std::uint32_t* table,
                    std::uint32_t* pool) {
  int used = 0;
  int last = -1;
  for (int symbol = 0; symbol < count; ++symbol)
    if (lengths[symbol] != 0) {
      ++used;
      last = symbol;
    }
  if (used <= 1) {
    std::fill(table, table + kDistTableSize,
              used == 1 ? SymbolEntry(CodeKind::Distance, variant, last, lengths[last]) : kNoCodeEntry);
    return true;
  }
  return BuildTable<CodeKind::Distance>(variant, lengths, count, table, kDistTableBits, pool, kDistSubTables);
}

// The fixed code of a variant: its two first-level tables (no fixed code is
// longer than 9 bits, so there are no second-level tables).
struct FixedCode {
  std::array<std::uint32_t, kLitTableSize> lit{};
  std::array<std::uint32_t, kDistTableSize> dist{};

  explicit FixedCode(DeflateVariant variant) {
    std::array<std::int32_t, 288> litLengths{};
    for (int symbol = 0; symbol < 288; ++symbol)
      litLengths[static_cast<std::size_t>(symbol)] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
    std::array<std::int32_t, 32> distLengths{};
    distLengths.fill(5);
    BuildTable<CodeKind::LiteralLength>(variant, litLengths.data(), 288, lit.data(), kLitTableBits, nullptr, 0);
    BuildTable<CodeKind::Distance>(variant, distLengths.data(), 32, dist.data(), kDistTableBits, nullptr, 0);
  }
};

}  // namespace

BlockTables FixedTables(DeflateVariant variant) {
  static const FixedCode deflate(DeflateVariant::kDeflate);
  static const FixedCode deflate64(DeflateVariant::kDeflate64);
  const FixedCode& code = variant == DeflateVariant::kDeflate64 ? deflate64 : deflate;
  return {code.lit.data(), nullptr, code.dist.data(), nullptr};
}

EntryResult DynamicTables::Read(EntryInput& in, DeflateVariant variant) {
  BlockLengths block;
  std::array<std::uint32_t, kCodeLenTableSize> codeLenTable{};
  EntryResult result = ReadCodeLengthCode(in, variant, block, codeLenTable);
  if (result == EntryResult::kOk) result = ReadCodeLengths(in, codeLenTable, block);
  if (result != EntryResult::kOk) return result;
  // A block without an end-of-block code could never end.
  if (block.lengths[kEndOfBlock] == 0 ||
      !BuildTable<CodeKind::LiteralLength>(variant, block.lengths.data(), block.litCount, lit_.data(),
                                           kLitTableBits, litSub_.data(), kLitSubTables) ||
      !BuildDistTable(variant, block.lengths.data() + block.litCount, block.distCount, dist_.data(),
                      distSub_.data()))
    return EntryResult::kDamaged;
  return EntryResult::kOk;
}

}  // namespace vantelo::deflate
