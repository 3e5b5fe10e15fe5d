// Hand-made Deflate streams for the cases zlib's compressor does not produce
// on demand: where entries end, single and 15-bit codes, long repeats, wide
// and overlapping match copies. Valid streams are checked against zlib's
// decoder as well as against the expected bytes.
#include <gtest/gtest.h>

#include <random>

#include "inflate_test_support.h"

namespace vantelo {
namespace {

using test::BitWriter;
using test::DecodeStream;

// Decodes with the engine and with zlib; both must give expected.
void ExpectValid(const std::string& stream, const std::string& expected, const std::string& what = {}) {
  std::string fromZlib;
  ASSERT_TRUE(test::ZlibInflate(stream, &fromZlib)) << what << ": zlib rejects the test stream";
  ASSERT_TRUE(fromZlib == expected) << what << ": the test stream does not say what the test means";
  const auto result = DecodeStream(stream, static_cast<std::int32_t>(expected.size()));
  ASSERT_EQ(result.errorNo, 0) << what << ": " << result.errorMsg;
  EXPECT_TRUE(result.output == expected) << what;
  EXPECT_EQ(result.crc, test::ZlibCrc(expected)) << what;
}

TEST(InflateEdge, MatchOf258AtDistance1RepeatsThePreviousByte) {
  BitWriter w;
  w.BlockHeader(true, 1);
  w.FixedLiteral('x');
  w.FixedLength(258);
  w.FixedDistance(1);
  w.FixedLiteral(256);
  ExpectValid(w.Finish(), std::string(259, 'x'));
}

TEST(InflateEdge, OverlappingAndWideCopiesMatchTheByteByByteCopy) {
  // Random valid fixed blocks full of short-distance and long matches; the
  // expected bytes come from a forward byte-by-byte copy.
  std::mt19937 random(11);
  for (int round = 0; round < 20; ++round) {
    BitWriter w;
    std::string expected;
    const int blocks = 1 + static_cast<int>(random() % 3);
    for (int b = 0; b < blocks; ++b) {
      w.BlockHeader(b == blocks - 1, 1);
      for (int i = 0; i < 3000; ++i) {
        if (expected.empty() || random() % 3 == 0) {
          const int c = static_cast<int>(random() % 256);
          w.FixedLiteral(c);
          expected += static_cast<char>(c);
          continue;
        }
        const int maxDistance = static_cast<int>(std::min<std::size_t>(expected.size(), 32768));
        const int distance = random() % 2 ? 1 + static_cast<int>(random() % std::min(maxDistance, 20))
                                          : 1 + static_cast<int>(random() % maxDistance);
        const int length = 3 + static_cast<int>(random() % 256);
        w.FixedLength(length);
        w.FixedDistance(distance);
        for (int k = 0; k < length; ++k) expected += expected[expected.size() - static_cast<std::size_t>(distance)];
      }
      w.FixedLiteral(256);
    }
    ExpectValid(w.Finish(), expected, "round " + std::to_string(round));
  }
}

TEST(InflateEdge, StoredBlocksOfLengthZeroProduceNothing) {
  BitWriter w;
  w.BlockHeader(false, 0);
  w.AlignToByte();
  w.Bytes(std::string("\x00\x00\xff\xff", 4));
  w.BlockHeader(false, 1);
  w.FixedLiteral('o');
  w.FixedLiteral('k');
  w.FixedLiteral(256);
  w.BlockHeader(true, 0);
  w.AlignToByte();
  w.Bytes(std::string("\x00\x00\xff\xff", 4));
  ExpectValid(w.Finish(), "ok");
}

TEST(InflateEdge, LastBlockEndingBeforeTheDeclaredSizeEndsTheEntry) {
  const std::string data = test::TextSample(5000);
  const auto result = DecodeStream(test::ZlibDeflate(data, 6), 9000);
  // No error here; the entry is short of its size, which is its verdict
  // ("BAD CRC!"), and what the stream held is delivered whole.
  EXPECT_EQ(result.errorNo, 0) << result.errorMsg;
  EXPECT_EQ(result.result, EntryResult::kShort);
  EXPECT_LT(result.outCount, 9000);
  EXPECT_EQ(result.output, data);
}

TEST(InflateEdge, DeclaredSizeReachedBeforeTheLastBlockReadsNoFurtherBlock) {
  BitWriter w;
  w.BlockHeader(false, 1);
  for (char c : std::string("hello")) w.FixedLiteral(static_cast<unsigned char>(c));
  w.FixedLiteral(256);
  w.BlockHeader(true, 3);  // would be damage if it were read
  const std::string stream = w.Finish();
  const auto result = DecodeStream(stream, 5);
  EXPECT_EQ(result.errorNo, 0) << result.errorMsg;
  EXPECT_EQ(result.output, "hello");
  EXPECT_EQ(result.endOffset, 3 + 5 * 8 + 7);  // right after the first block
}

TEST(InflateEdge, DynamicBlockWithExactlyOneDistanceCode) {
  // Literals 'a'..'c' and the end code, length symbol 257 (3); one distance
  // code, symbol 3 (distance 4), of length 1.
  std::vector<int> lit(257 + 1, 0);
  lit['a'] = 2;
  lit['b'] = 2;
  lit['c'] = 2;
  lit[256] = 3;
  lit[257] = 3;
  std::vector<int> dist(4, 0);
  dist[3] = 1;
  const auto codes = test::CanonicalCodes(lit);
  BitWriter w;
  w.BlockHeader(true, 2);
  w.DynamicHeader(lit, dist);
  for (char c : std::string("abca")) w.Code(codes[static_cast<unsigned char>(c)], 2);
  w.Code(codes[257], 3);
  w.Bits(0, 1);  // the distance code
  w.Code(codes[256], 3);
  ExpectValid(w.Finish(), "abcaabc");
}

TEST(InflateEdge, FifteenBitCodesUseTheSecondLevel) {
  // Lengths 1..14 for 'a'..'n', then 'o' and the end code at 15 bits.
  std::vector<int> lit(257, 0);
  for (int i = 0; i < 14; ++i) lit['a' + i] = i + 1;
  lit['o'] = 15;
  lit[256] = 15;
  std::vector<int> dist(1, 0);
  const auto codes = test::CanonicalCodes(lit);
  BitWriter w;
  w.BlockHeader(true, 2);
  w.DynamicHeader(lit, dist);
  const std::string text = "onmlkjihgfedcbaoo";
  for (char c : text) w.Code(codes[static_cast<unsigned char>(c)], lit[static_cast<unsigned char>(c)]);
  w.Code(codes[256], 15);
  ExpectValid(w.Finish(), text);
}

// Complete codes with many codes past the first level of both tables: the
// literal/length code has one code of each length 1..10, then codes of 12 to
// 15 bits (the length code among them) that share their first 11 bits in
// several second-level tables; the
// distance code has one code of each length 1..8, then two each of 10..14 bits
// and four of 15. Every literal and every distance code is sent.
TEST(InflateEdge, ManyLongCodesInSeveralSecondLevelTables) {
  std::vector<int> lit(258, 0);
  std::vector<int> litSymbols;
  const int litLengths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 13, 14, 14, 14, 15, 15, 15, 15, 15, 15, 15, 15, 15};
  for (int i = 0; i < 24; ++i) {
    lit['A' + i] = litLengths[i];
    litSymbols.push_back('A' + i);
  }
  lit[256] = 15;  // the end code
  lit[257] = 12;  // length 3
  std::vector<int> dist(22, 0);
  const int distLengths[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 15, 15};
  for (int i = 0; i < 22; ++i) dist[static_cast<std::size_t>(i)] = distLengths[i];
  for (const auto* lengths : {&lit, &dist}) {  // both codes complete: Kraft sum exactly 1
    std::uint32_t units = 0;
    for (int length : *lengths)
      if (length > 0) units += 1u << (15 - length);
    ASSERT_EQ(units, 1u << 15);
  }
  const auto litCodes = test::CanonicalCodes(lit);
  const auto distCodes = test::CanonicalCodes(dist);
  static constexpr int kDistBase[22] = {1,  2,  3,  4,   5,   7,   9,   13,  17,  25,   33,
                                        49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537};
  static constexpr int kDistExtra[22] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9};

  BitWriter w;
  w.BlockHeader(true, 2);
  w.DynamicHeader(lit, dist);
  std::string expected;
  std::mt19937 random(29);
  for (int i = 0; i < 2000; ++i) {  // more history than the farthest distance
    const int symbol = litSymbols[random() % litSymbols.size()];
    w.Code(litCodes[static_cast<std::size_t>(symbol)], lit[static_cast<std::size_t>(symbol)]);
    expected += static_cast<char>(symbol);
  }
  for (int round = 0; round < 3; ++round)
    for (int d = 0; d < 22; ++d) {
      w.Code(litCodes[257], 12);
      w.Code(distCodes[static_cast<std::size_t>(d)], dist[static_cast<std::size_t>(d)]);
      w.Bits(0, kDistExtra[d]);
      for (int k = 0; k < 3; ++k) expected += expected[expected.size() - static_cast<std::size_t>(kDistBase[d])];
      const int symbol = litSymbols[static_cast<std::size_t>((d + round) % 24)];
      w.Code(litCodes[static_cast<std::size_t>(symbol)], lit[static_cast<std::size_t>(symbol)]);
      expected += static_cast<char>(symbol);
    }
  w.Code(litCodes[256], 15);
  ExpectValid(w.Finish(), expected);
}

TEST(InflateEdge, LongestMatchesAfterLiteralRunsAcrossRefillsAndFlushes) {
  // The most bits the decoder takes at once: a match with the 15-bit length
  // code 284 (5 extra bits) and the 15-bit distance code 29 (13 extra bits),
  // 48 bits, after literals of 9 bits (the longest without a second-level
  // lookup). Runs of one to four literals before each match put it at every
  // place in the decoder's rounds; 160 KB of input crosses many input refills
  // and output window flushes. Literal/length code: 'c'..'i' at 1..7 bits,
  // 'a', 'b', 'j' at 9, 'k'..'o' at 10..14, end and 284 at 15; distance code:
  // 0..12 at 1..13 bits, 26..29 at 15. Both are complete.
  std::vector<int> lit(286, 0), dist(30, 0);
  for (int i = 0; i < 7; ++i) lit[static_cast<std::size_t>('c' + i)] = i + 1;
  for (int symbol : {int{'a'}, int{'b'}, int{'j'}}) lit[static_cast<std::size_t>(symbol)] = 9;
  for (int i = 0; i < 5; ++i) lit[static_cast<std::size_t>('k' + i)] = 10 + i;
  lit[256] = lit[284] = 15;
  for (int i = 0; i < 13; ++i) dist[static_cast<std::size_t>(i)] = i + 1;
  for (int symbol : {26, 27, 28, 29}) dist[static_cast<std::size_t>(symbol)] = 15;
  const auto litCodes = test::CanonicalCodes(lit);
  const auto distCodes = test::CanonicalCodes(dist);
  BitWriter w;
  w.BlockHeader(true, 2);
  w.DynamicHeader(lit, dist);
  std::string expected;
  std::mt19937 random(16);
  auto literal = [&](char c) {
    w.Code(litCodes[static_cast<unsigned char>(c)], 9);
    expected += c;
  };
  for (int i = 0; i < 33000; ++i) literal(random() & 1 ? 'a' : 'b');  // more than the farthest distance
  for (int i = 0; i < 12000; ++i) {
    for (int n = static_cast<int>(random() % 4); n >= 0; --n) literal(random() & 1 ? 'a' : 'b');
    const int lengthExtra = static_cast<int>(random() % 31);  // lengths 227..257
    const int distExtra = static_cast<int>(random() % 8192);  // distances 24577..32768
    w.Code(litCodes[284], 15);
    w.Bits(static_cast<std::uint32_t>(lengthExtra), 5);
    w.Code(distCodes[29], 15);
    w.Bits(static_cast<std::uint32_t>(distExtra), 13);
    const std::size_t distance = static_cast<std::size_t>(24577 + distExtra);
    for (int k = 0; k < 227 + lengthExtra; ++k) expected += expected[expected.size() - distance];
  }
  w.Code(litCodes[256], 15);
  ExpectValid(w.Finish(), expected);
}

TEST(InflateEdge, RepeatCode18With127WritesThe138Zeros) {
  // One code 18 with the 7 bits 127 zeroes symbols 0..137; then 138..146 get
  // 6 bits and 147..256 get 7 bits (a complete code: 9/64 + 110/128 = 1). The
  // code-length code has symbols 0, 6, 7 and 18 at 2 bits each.
  std::vector<int> cl(19, 0);
  cl[0] = cl[6] = cl[7] = cl[18] = 2;
  const auto clCodes = test::CanonicalCodes(cl);
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  std::vector<int> lit(257, 0);
  for (int s = 138; s <= 256; ++s) lit[s] = s <= 146 ? 6 : 7;
  const auto codes = test::CanonicalCodes(lit);

  BitWriter w;
  w.BlockHeader(true, 2);
  w.Bits(0, 5);   // 257 literal/length codes
  w.Bits(0, 5);   // 1 distance code
  w.Bits(15, 4);  // 19 code-length lengths
  for (int i = 0; i < 19; ++i) w.Bits(static_cast<std::uint32_t>(cl[order[i]]), 3);
  w.Code(clCodes[18], 2);
  w.Bits(127, 7);
  for (int s = 138; s <= 256; ++s) w.Code(clCodes[lit[s]], 2);
  w.Code(clCodes[0], 2);  // no distance code
  const std::string text = "\x8a\x92\xc8\xff";
  for (char c : text) w.Code(codes[static_cast<unsigned char>(c)], lit[static_cast<unsigned char>(c)]);
  w.Code(codes[256], 7);
  ExpectValid(w.Finish(), text);
}

}  // namespace
}  // namespace vantelo
