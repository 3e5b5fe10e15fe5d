// Huffman table construction for the Deflate decoder.
//
// Codes are the canonical codes of RFC 1951, stored bit-reversed (first stream
// bit in bit 0) so that the next stream bits index the tables directly. Codes of
// up to 9 bits fill every first-level entry that ends in them; longer codes go
// to a 64-entry second-level table indexed by the 6 bits after the first 9.
//
// Code sets are checked before they are used: an over-subscribed set is damage,
// and so is an incomplete one, except a literal/length code of exactly one
// 1-bit code and a distance code of at most one code (which decodes whatever
// the bit says). The dynamic header readers never look past the buffered bytes.
#include "engine/inflate/huffman_tables.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "engine/inflate/deflate_constants.h"
#include "engine/stream_io.h"

namespace vantelo {
namespace {

using namespace deflate;

void Damaged() { SetError(kErrDamaged, "The structure of ZIP file is damaged!"); }

// True when the bit reader has consumed bits beyond the valid buffered bytes:
// the header ran past the end of the data.
bool PastInput(const EngineState& s) {
  return static_cast<std::int64_t>(s.InPos) * 8 + s.InBitPos > static_cast<std::int64_t>(s.InCount) * 8;
}

enum class CodeKind { CodeLengths, LiteralLength, Distance };

// The bits of each byte in reverse order.
constexpr std::array<std::uint8_t, 256> kReversedBytes = [] {
  std::array<std::uint8_t, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    int reversed = 0;
    for (int bit = 0; bit < 8; ++bit)
      if (byte & (1 << bit)) reversed |= 0x80 >> bit;
    table[static_cast<std::size_t>(byte)] = static_cast<std::uint8_t>(reversed);
  }
  return table;
}();

// The low `length` (<= 16) bits of code in reverse order.
std::uint32_t ReverseBits(std::uint32_t code, int length) {
  const std::uint32_t reversed16 = (static_cast<std::uint32_t>(kReversedBytes[code & 0xFF]) << 8) |
                                   kReversedBytes[(code >> 8) & 0xFF];
  return reversed16 >> (16 - length);
}

// The table entry of a symbol with a code of the given length (see
// deflate_constants.h). Symbols that never occur in a valid stream (286, 287,
// distances 30, 31) get the no-code entry, so decoding them is damage.
std::uint32_t SymbolEntry(CodeKind kind, int symbol, int length) {
  switch (kind) {
    case CodeKind::CodeLengths:
      return static_cast<std::uint32_t>(MakeEntry(symbol, length));
    case CodeKind::LiteralLength:
      if (symbol < kEndOfBlock) return MakeLiteralEntry(symbol, length);
      if (symbol == kEndOfBlock) return MakeEndOfBlockEntry(length);
      if (symbol - 257 >= 29) return kNoCodeEntry;
      return MakeCodeEntry(static_cast<std::uint32_t>(kLengthBase[symbol - 257]), length,
                           kLengthExtra[symbol - 257]);
    case CodeKind::Distance:
      if (symbol >= 30) return kNoCodeEntry;
      return MakeCodeEntry(static_cast<std::uint32_t>(kDistBase[symbol]), length, kDistExtra[symbol]);
  }
  return kNoCodeEntry;
}

// Builds a table of 2^tableBits first-level entries for symbols 0..count-1 with
// the given code lengths; second-level tables come from pool (poolTables of 64
// entries). Returns false for a code set that cannot be decoded.
//
// Symbols are taken in canonical order (by code length, then symbol), in which
// the codes count upwards: the long codes sharing their first tableBits bits
// follow one another, so each run of them gets the next second-level table.
// A complete code covers every entry of both levels, so only the incomplete
// codes that are taken need the table filled with the no-code entry first.
template <CodeKind kind>
bool BuildTable(const std::int32_t* lengths, int count, std::uint32_t* table, int tableBits,
                std::uint32_t* pool, int poolTables) {
  int lengthCount[kMaxCodeBits + 1] = {};
  for (int symbol = 0; symbol < count; ++symbol) {
    const std::int32_t length = lengths[symbol];
    if (length < 0 || length > kMaxCodeBits) return false;
    ++lengthCount[length];
  }

  // Kraft sum: "left" is the number of unused codes at each length.
  int left = 1;
  for (int length = 1; length <= kMaxCodeBits; ++length) {
    left <<= 1;
    left -= lengthCount[length];
    if (left < 0) return false;  // over-subscribed
  }
  const int tableSize = 1 << tableBits;
  if (left > 0) {
    // Incomplete. Only a literal/length code made of a single 1-bit code is
    // taken (its one code is 0; the other bit value stays empty).
    const int used = count - lengthCount[0];
    if (!(kind == CodeKind::LiteralLength && used == 1 && lengthCount[1] == 1)) return false;
    std::fill(table, table + tableSize, kNoCodeEntry);
  }

  // Counting sort into canonical order.
  int next[kMaxCodeBits + 1] = {};
  for (int length = 1; length < kMaxCodeBits; ++length) next[length + 1] = next[length] + lengthCount[length];
  std::uint16_t sorted[kLitLengthsSize];
  for (int symbol = 0; symbol < count; ++symbol)
    if (lengths[symbol] != 0) sorted[next[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
  const int used = count - lengthCount[0];

  // A code of length n <= bits fills every entry of a 2^bits table whose low
  // n bits are its reversed code. In canonical order each code is written once
  // into the first 2^n entries, and that part is doubled (copied after itself)
  // whenever the length grows, and at the end up to the whole table.
  auto growTo = [](std::uint32_t* part, std::uint32_t& size, std::uint32_t wanted) {
    for (; size < wanted; size <<= 1) std::memcpy(part + size, part, size * sizeof *part);
  };
  std::uint32_t code = 0;
  int codeLength = used > 0 ? lengths[sorted[0]] : 0;
  std::uint32_t filled = 1u << std::min(codeLength, tableBits);
  int tablesUsed = 0;
  std::uint32_t currentPrefix = ~0u;
  std::uint32_t* sub = nullptr;
  std::uint32_t subFilled = 0;
  for (int k = 0; k < used; ++k) {
    const int symbol = sorted[k];
    const int length = lengths[symbol];
    code <<= (length - codeLength);
    codeLength = length;
    const std::uint32_t reversed = ReverseBits(code++, length);
    const std::uint32_t entry = SymbolEntry(kind, symbol, length);
    if (length <= tableBits) {
      growTo(table, filled, 1u << length);
      table[reversed] = entry;
      continue;
    }
    const std::uint32_t prefix = reversed & static_cast<std::uint32_t>(tableSize - 1);
    if (prefix != currentPrefix) {
      if (pool == nullptr || tablesUsed >= poolTables) return false;
      growTo(table, filled, static_cast<std::uint32_t>(tableSize));
      if (sub != nullptr) growTo(sub, subFilled, kSubTableSize);
      currentPrefix = prefix;
      sub = pool + tablesUsed * kSubTableSize;
      subFilled = 1u << (length - tableBits);
      table[prefix] = MakeSubTableEntry(tablesUsed++ * kSubTableSize);
    }
    growTo(sub, subFilled, 1u << (length - tableBits));
    sub[reversed >> tableBits] = entry;
  }
  growTo(table, filled, static_cast<std::uint32_t>(tableSize));
  if (sub != nullptr) growTo(sub, subFilled, kSubTableSize);
  return true;
}

}  // namespace

void ReadDynamicHeader() {
  EngineState& s = Engine();
  s.CodeLenLengths.fill(0);
  std::uint32_t w = PeekBits(s);
  s.LitCodeCount = static_cast<std::int32_t>(w & 31) + 257;
  s.DistCodeCount = static_cast<std::int32_t>((w >> 5) & 31) + 1;
  s.CodeLenCodeCount = static_cast<std::int32_t>((w >> 10) & 15) + 4;
  SkipBits(s, 14);
  if (PastInput(s) || s.LitCodeCount > kMaxLitCodes || s.DistCodeCount > kMaxDistCodes) {
    Damaged();
    return;
  }
  for (int i = 0; i < s.CodeLenCodeCount; ++i) {
    w = PeekBits(s);
    s.CodeLenLengths[kCodeLenOrder[i]] = static_cast<std::int32_t>(w & 7);
    SkipBits(s, 3);
  }
  if (PastInput(s)) Damaged();
}

void BuildCodeLenTable() {
  EngineState& s = Engine();
  if (!BuildTable<CodeKind::CodeLengths>(s.CodeLenLengths.data(), kCodeLenSymbols, s.CodeLenTable.data(),
                                         kCodeLenBits, nullptr, 0))
    Damaged();
}

void ReadCodeLengths() {
  EngineState& s = Engine();
  const int total = s.LitCodeCount + s.DistCodeCount;  // at most 316: inside LitLengths
  int i = 0;
  while (i < total) {
    std::uint32_t w = PeekBits(s);
    const auto entry = static_cast<std::int32_t>(s.CodeLenTable[w & kBitMask[kCodeLenBits]]);
    if (entry < 0) {
      Damaged();
      return;
    }
    const std::int32_t symbol = EntrySymbol(entry);
    SkipBits(s, EntryLength(entry));
    if (symbol < 16) {
      s.LitLengths[i++] = symbol;
    } else {
      w = PeekBits(s);
      std::int32_t value = 0;
      int repeat;
      if (symbol == 16) {
        if (i == 0) {  // nothing to repeat
          Damaged();
          return;
        }
        value = s.LitLengths[i - 1];
        repeat = 3 + static_cast<int>(w & 3);
        SkipBits(s, 2);
      } else if (symbol == 17) {
        repeat = 3 + static_cast<int>(w & 7);
        SkipBits(s, 3);
      } else {
        repeat = 11 + static_cast<int>(w & 127);
        SkipBits(s, 7);
      }
      if (repeat > total - i) {  // would run past the declared counts
        Damaged();
        return;
      }
      std::fill_n(s.LitLengths.begin() + i, repeat, value);
      i += repeat;
    }
    if (PastInput(s)) {
      Damaged();
      return;
    }
  }
  std::copy_n(s.LitLengths.begin() + s.LitCodeCount, s.DistCodeCount, s.DistLengths.begin());
}

void BuildLitTable() {
  EngineState& s = Engine();
  // A block without an end-of-block code could never end.
  if (s.LitLengths[kEndOfBlock] == 0 ||
      !BuildTable<CodeKind::LiteralLength>(s.LitLengths.data(), s.LitCodeCount, s.LitTable.data(),
                                           kFirstLevelBits, s.LitSubTables[0].data(), kLitSubTables))
    Damaged();
}

void BuildDistTable() {
  EngineState& s = Engine();
  // At most one distance code: every entry decodes to it, consuming its length
  // whatever the bits are. With no distance code at all, any match is damage.
  int used = 0;
  int last = -1;
  for (int symbol = 0; symbol < s.DistCodeCount; ++symbol)
    if (s.DistLengths[symbol] != 0) {
      ++used;
      last = symbol;
    }
  if (used <= 1) {
    s.DistTable.fill(used == 1 ? SymbolEntry(CodeKind::Distance, last, s.DistLengths[last]) : kNoCodeEntry);
    return;
  }
  if (!BuildTable<CodeKind::Distance>(s.DistLengths.data(), s.DistCodeCount, s.DistTable.data(),
                                      kFirstLevelBits, s.DistSubTables[0].data(), kDistSubTables))
    Damaged();
}

void BuildFixedTables() {
  EngineState& s = Engine();
  // RFC 1951's fixed code. Symbols 286/287 and distance codes 30/31 get their
  // codes too, so that the decoder sees them and reports damage instead of
  // reading them as some other symbol.
  s.LitLengths.fill(0);
  for (int symbol = 0; symbol < 288; ++symbol)
    s.LitLengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
  s.DistLengths.fill(5);
  BuildTable<CodeKind::LiteralLength>(s.LitLengths.data(), 288, s.LitTable.data(), kFirstLevelBits, nullptr, 0);
  BuildTable<CodeKind::Distance>(s.DistLengths.data(), 32, s.DistTable.data(), kFirstLevelBits, nullptr, 0);
  s.FixedLitTable = s.LitTable;
  s.FixedDistTable = s.DistTable;
  std::copy_n(s.LitLengths.begin(), kFixedLitLengthsSize, s.FixedLitLengths.begin());
  s.FixedDistLengths = s.DistLengths;
  s.WorkingTablesAreFixed = true;
}

void RestoreFixedTables() {
  EngineState& s = Engine();
  if (s.WorkingTablesAreFixed) return;  // a run of fixed blocks costs no copies
  s.LitTable = s.FixedLitTable;
  s.DistTable = s.FixedDistTable;
  std::copy_n(s.FixedLitLengths.begin(), kFixedLitLengthsSize, s.LitLengths.begin());
  s.DistLengths = s.FixedDistLengths;
  s.WorkingTablesAreFixed = true;
}

}  // namespace vantelo
