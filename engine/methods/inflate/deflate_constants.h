// The constant tables of the Deflate format (RFC 1951) and of its Deflate64
// variant (ZIP method 9), read-only.
//
// Deflate64 is Deflate with three changes: a 64 KiB history; distance codes
// 30 and 31 in use (bases 32,769 and 49,153, 14 extra bits each); and length
// code 285 meaning 3 plus 16 extra bits (3 to 65,538) instead of 258.
#pragma once

#include <cstdint>

namespace vantelo::deflate {

enum class DeflateVariant : std::uint8_t { kDeflate, kDeflate64 };

// Length symbols 257..285: base length and extra bits, indexed by symbol - 257.
// Symbols 286 and 287 never occur in a valid stream (base 0, no extra bits).
inline constexpr std::int32_t kLengthBase[31] = {
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23,  27, 31,
    35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,   0};
inline constexpr std::int32_t kLengthExtra[31] = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 0, 0};

// Deflate64's length code 285.
inline constexpr std::int32_t kLengthBase285Wide = 3;
inline constexpr std::int32_t kLengthExtra285Wide = 16;
inline constexpr std::int32_t kMaxMatchLength = 258;        // Deflate
inline constexpr std::int32_t kMaxMatchLengthWide = 65538;  // Deflate64

// Distance symbols 0..29: base distance and extra bits. Symbols 30 and 31
// never occur in a valid Deflate stream (base 0, no extra bits); Deflate64
// uses them (kDistBaseWide, kDistExtraWide).
inline constexpr std::int32_t kDistBase[32] = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 0,     0};
inline constexpr std::int32_t kDistExtra[32] = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 0, 0};
inline constexpr std::int32_t kDistBaseWide[2] = {32769, 49153};  // Deflate64's codes 30 and 31
inline constexpr std::int32_t kDistExtraWide = 14;

// 2^n - 1 for n = 0..16.
inline constexpr std::int32_t kBitMask[17] = {0,    1,    3,    7,     15,    31,    63,    127,  255,
                                              511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};

// The order in which a dynamic block header lists the code-length code lengths.
inline constexpr std::int32_t kCodeLenOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                   11, 4,  12, 3, 13, 2, 14, 1, 15};

// 2^n for n = 0..15.
inline constexpr std::int32_t kPow2[16] = {1,   2,   4,    8,    16,   32,   64,    128,
                                           256, 512, 1024, 2048, 4096, 8192, 16384, 32768};

inline constexpr int kMaxCodeBits = 15;
// First-level index bits of each table; a code longer than that continues in
// a second-level table indexed by the rest of the longest code (15 bits). The
// literal/length table is wide, so that nearly every symbol of a real stream
// is one lookup; distances are fewer and their table stays small.
inline constexpr int kLitTableBits = 11;
inline constexpr int kLitSubBits = 4;   // 11 + 4 = 15, the longest code
inline constexpr int kDistTableBits = 9;
inline constexpr int kDistSubBits = 6;  // 9 + 6 = 15
inline constexpr int kCodeLenBits = 7;      // the code-length code is at most 7 bits
inline constexpr int kMaxLitCodes = 286;       // HLIT + 257 above this is damage
inline constexpr int kMaxDistCodes = 30;       // HDIST + 1 above this is damage (Deflate)
inline constexpr int kMaxDistCodesWide = 32;   // Deflate64: every distance code is in use
inline constexpr int kEndOfBlock = 256;

// Code-length code table entry: the code length in bits 0..7 and the symbol
// in bits 8..23; -1 where no code ends.
inline constexpr std::int32_t kEmptyEntry = -1;
inline constexpr std::int32_t MakeEntry(std::int32_t symbol, std::int32_t length) {
  return (symbol << 8) | length;
}
inline constexpr std::int32_t EntrySymbol(std::int32_t entry) { return entry >> 8; }
inline constexpr std::int32_t EntryLength(std::int32_t entry) { return entry & 0xFF; }

// Literal/length and distance table entries carry what the decoder needs
// without a second lookup:
//   bits 0..7    bits to consume: the code plus its extra bits (at most 28;
//                31 for Deflate64's length code 285)
//   bits 8..11   the code's own length; its extra bits follow it in the stream
//   bit 12       end of block
//   bit 13       second-level reference (first level only): the value is the
//                offset of the 64-entry table in its pool, nothing is consumed
//   bit 14       not a length or distance: a reference, end of block, or no code
//   bit 15       a literal: the value is the byte
//   bits 16..31  value: the literal, the base length or distance, or the offset
// A length's extra bits are the bits of the consumed span above the code:
// base + ((bits & ((1 << total) - 1)) >> code length).
inline constexpr std::uint32_t kLiteralFlag = 0x8000u;
inline constexpr std::uint32_t kSpecialFlag = 0x4000u;
inline constexpr std::uint32_t kSubTableFlag = 0x2000u;
inline constexpr std::uint32_t kEndOfBlockFlag = 0x1000u;
inline constexpr std::uint32_t kNoCodeEntry = kSpecialFlag;  // damage: consumes nothing

inline constexpr std::uint32_t MakeCodeEntry(std::uint32_t value, int codeLength, int extraBits) {
  return (value << 16) | (static_cast<std::uint32_t>(codeLength) << 8) |
         static_cast<std::uint32_t>(codeLength + extraBits);
}
inline constexpr std::uint32_t MakeLiteralEntry(int byte, int codeLength) {
  return kLiteralFlag | MakeCodeEntry(static_cast<std::uint32_t>(byte), codeLength, 0);
}
inline constexpr std::uint32_t MakeEndOfBlockEntry(int codeLength) {
  return kSpecialFlag | kEndOfBlockFlag | static_cast<std::uint32_t>(codeLength);
}
inline constexpr std::uint32_t MakeSubTableEntry(int offset) {
  return kSpecialFlag | kSubTableFlag | (static_cast<std::uint32_t>(offset) << 16);
}
inline constexpr std::uint32_t EntryValue(std::uint32_t entry) { return entry >> 16; }
inline constexpr int EntryCodeLength(std::uint32_t entry) { return static_cast<int>((entry >> 8) & 0xF); }
inline constexpr int EntryTotalBits(std::uint32_t entry) { return static_cast<int>(entry & 0xFF); }

}  // namespace vantelo::deflate
