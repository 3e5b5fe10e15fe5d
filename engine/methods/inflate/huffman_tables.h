// Huffman decoding tables of the Inflate decoder: the fixed code of each
// variant (built once, then shared read-only by every decoder on every
// thread) and the working tables a decoder builds for each dynamic block.
//
// Entries follow deflate_constants.h: literal/length and distance entries
// carry the literal or the base value, the extra-bit count and the bits to
// consume, with a reference to a second-level table for codes longer than the
// first level.
#pragma once

#include <array>
#include <cstdint>

#include "engine/methods/inflate/deflate_constants.h"
#include "engine/pipeline/entry_input.h"

namespace vantelo::deflate {

inline constexpr int kLitTableSize = 1 << kLitTableBits;    // 2048
inline constexpr int kLitSubSize = 1 << kLitSubBits;        // 16
inline constexpr int kDistTableSize = 1 << kDistTableBits;  // 512
inline constexpr int kDistSubSize = 1 << kDistSubBits;      // 64
// Second-level tables a code can need: each code longer than the first level
// opens at most one, and there are at most 288 literal/length and 32 distance
// codes.
inline constexpr int kLitSubTables = 290;
inline constexpr int kDistSubTables = 32;

// What one block decodes with. The second-level pointers may be null for a
// code without codes longer than its first level.
struct BlockTables {
  const std::uint32_t* lit;
  const std::uint32_t* litSub;
  const std::uint32_t* dist;
  const std::uint32_t* distSub;
};

// The fixed code of RFC 1951 for the variant. Symbols 286/287 (and Deflate's
// distance codes 30/31) get codes too, so that the decoder meets them and
// reports damage instead of reading them as some other symbol.
BlockTables FixedTables(DeflateVariant variant);

// A decoder's working tables for dynamic blocks.
class DynamicTables {
 public:
  // Reads a dynamic block header at the input's bit position (HLIT, HDIST,
  // HCLEN, the code-length code, the code lengths) and builds the tables. The
  // reader never looks past the buffered bytes: a header cut off by their end,
  // counts out of range, repeats past the counts, or a code set that cannot
  // be decoded (over-subscribed, incomplete, no end-of-block code) is kDamaged.
  EntryResult Read(EntryInput& in, DeflateVariant variant);
  BlockTables View() const { return {lit_.data(), litSub_.data(), dist_.data(), distSub_.data()}; }

 private:
  std::array<std::uint32_t, kLitTableSize> lit_{};
  std::array<std::uint32_t, kDistTableSize> dist_{};
  std::array<std::uint32_t, kLitSubTables * kLitSubSize> litSub_{};
  std::array<std::uint32_t, kDistSubTables * kDistSubSize> distSub_{};
};

}  // namespace vantelo::deflate
