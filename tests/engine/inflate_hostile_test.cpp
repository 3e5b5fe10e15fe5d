// Damaged and hostile Deflate streams: each ends with error 1 "The structure of
// ZIP file is damaged!" (or, for a stream cut off at the archive's end, the
// refill's error), never delivers more than the declared size, never reads an
// earlier entry's bytes, and leaves the shared fixed code intact. The sanitizer
// build checks that nothing reads or writes outside a table, buffer or window.
#include <gtest/gtest.h>

#include <vector>

#include "engine/methods/inflate/huffman_tables.h"
#include "inflate_test_support.h"

namespace vantelo {
namespace {

using test::BitWriter;
using test::DecodeStream;

constexpr const char* kDamaged = "The structure of ZIP file is damaged!";

// The first-level tables of the shared fixed code, as they are now.
std::vector<std::uint32_t> FixedCodeNow() {
  std::vector<std::uint32_t> tables;
  for (auto variant : {deflate::DeflateVariant::kDeflate, deflate::DeflateVariant::kDeflate64}) {
    const deflate::BlockTables fixed = deflate::FixedTables(variant);
    tables.insert(tables.end(), fixed.lit, fixed.lit + deflate::kLitTableSize);
    tables.insert(tables.end(), fixed.dist, fixed.dist + deflate::kDistTableSize);
  }
  return tables;
}

void ExpectDamaged(const std::string& stream, std::int32_t size, const std::string& what,
                   test::DecodeMethod method = test::DecodeMethod::Deflate) {
  const auto fixed = FixedCodeNow();
  test::DecodeOptions options;
  options.method = method;
  const auto result = DecodeStream(stream, size, options);
  EXPECT_EQ(result.errorNo, 1) << what;
  EXPECT_EQ(result.errorMsg, kDamaged) << what;
  EXPECT_LE(result.outCount, size) << what;
  EXPECT_TRUE(fixed == FixedCodeNow()) << what << ": the shared fixed code changed";
}

// A dynamic header with raw fields: counts as sent (HLIT, HDIST, HCLEN
// values), the code-length code lengths in sending order, then the given
// code-length symbols with their extra bits.
struct ClSymbol {
  int symbol;
  std::uint32_t extra = 0;
};
std::string DynamicStream(int hlit, int hdist, const std::vector<ClSymbol>& symbols, int tailBit = 0) {
  // Code-length code: 0..15 at 5 bits, 16 and 17 at 3 bits, 18 at 2 bits (complete).
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  std::vector<int> cl(19, 5);
  cl[16] = 3;
  cl[17] = 3;
  cl[18] = 2;
  const auto codes = test::CanonicalCodes(cl);
  BitWriter w;
  w.BlockHeader(true, 2);
  w.Bits(static_cast<std::uint32_t>(hlit), 5);
  w.Bits(static_cast<std::uint32_t>(hdist), 5);
  w.Bits(15, 4);
  for (int i = 0; i < 19; ++i) w.Bits(static_cast<std::uint32_t>(cl[order[i]]), 3);
  for (const auto& item : symbols) {
    w.Code(codes[item.symbol], cl[item.symbol]);
    if (item.symbol == 16) w.Bits(item.extra, 2);
    if (item.symbol == 17) w.Bits(item.extra, 3);
    if (item.symbol == 18) w.Bits(item.extra, 7);
  }
  w.Bits(static_cast<std::uint32_t>(tailBit), 1);  // the first bit of the block's data
  // Enough zero bits after it for any decoder to run into whatever it expects.
  w.Bits(0, 32);
  return w.Finish();
}

// Lengths sent one symbol each.
std::vector<ClSymbol> Plain(const std::vector<int>& lengths) {
  std::vector<ClSymbol> symbols;
  for (int length : lengths) symbols.push_back({length});
  return symbols;
}

TEST(InflateHostile, BlockType3) {
  BitWriter w;
  w.BlockHeader(true, 3);
  ExpectDamaged(w.Finish(), 10, "block type 3");
}

TEST(InflateHostile, StoredLengthCheckMismatch) {
  BitWriter w;
  w.BlockHeader(true, 0);
  w.AlignToByte();
  w.Bytes(std::string("\x05\x00\xfa\xfe" "abcde", 9));
  ExpectDamaged(w.Finish(), 5, "NLEN is not the complement of LEN");
}

TEST(InflateHostile, CountsAboveTheirLimits) {
  ExpectDamaged(DynamicStream(30, 0, {}), 10, "LitCodeCount 287");
  ExpectDamaged(DynamicStream(31, 0, {}), 10, "LitCodeCount 288");
  ExpectDamaged(DynamicStream(0, 30, {}), 10, "DistCodeCount 31");
  ExpectDamaged(DynamicStream(0, 31, {}), 10, "DistCodeCount 32");
}

TEST(InflateHostile, RepeatsThatCannotBeMade) {
  ExpectDamaged(DynamicStream(0, 0, {{16, 0}}), 10, "repeat 16 as the first length");
  // 257 + 1 lengths: 2 x 138 zeros run past them.
  ExpectDamaged(DynamicStream(0, 0, {{18, 127}, {18, 127}}), 10, "code 18 past the counts");
  std::vector<ClSymbol> nearEnd(255, ClSymbol{8});
  nearEnd.push_back({16, 3});  // 6 more where 3 remain
  ExpectDamaged(DynamicStream(0, 0, nearEnd), 10, "code 16 past the counts");
  // The largest counts, and a repeat that would run off the end of every array.
  std::vector<ClSymbol> longest(285, ClSymbol{8});
  longest.push_back({18, 127});
  ExpectDamaged(DynamicStream(29, 29, longest), 10, "code 18 past 316 lengths");
  // The saved fixed code still decodes afterwards.
  BitWriter w;
  w.BlockHeader(true, 1);
  w.FixedLiteral('z');
  w.FixedLiteral(256);
  EXPECT_EQ(DecodeStream(w.Finish(), 1).output, "z");
}

TEST(InflateHostile, OversubscribedAndIncompleteCodes) {
  std::vector<int> lengths(258, 0);
  lengths[256] = 1;
  lengths['a'] = 1;
  lengths['b'] = 1;  // three 1-bit codes
  ExpectDamaged(DynamicStream(0, 0, Plain(lengths)), 10, "over-subscribed literal/length code");
  lengths['b'] = 2;  // 1/2 + 1/2 + 1/4
  ExpectDamaged(DynamicStream(0, 0, Plain(lengths)), 10, "over-subscribed by one");
  lengths['a'] = 3;  // 1/2 + 1/8 + 1/4: incomplete
  ExpectDamaged(DynamicStream(0, 0, Plain(lengths)), 10, "incomplete literal/length code");
  // Distance codes (three of them after the 257 literal/length lengths).
  lengths['a'] = 2;  // 1/2 + 1/4 + 1/4: complete
  lengths.resize(257);
  std::vector<int> dist = lengths;
  dist.insert(dist.end(), {1, 1, 1});
  ExpectDamaged(DynamicStream(0, 2, Plain(dist)), 10, "over-subscribed distance code");
  dist.resize(257);
  dist.insert(dist.end(), {2, 2, 0});
  ExpectDamaged(DynamicStream(0, 2, Plain(dist)), 10, "incomplete distance code of two codes");
  // No end-of-block code at all.
  std::vector<int> noEnd(258, 0);
  noEnd['a'] = 1;
  noEnd['b'] = 1;
  ExpectDamaged(DynamicStream(0, 0, Plain(noEnd)), 10, "no end-of-block code");
}

TEST(InflateHostile, LookupsThatMeetAnEmptyEntry) {
  // A single 1-bit literal/length code (the end code) is taken with code 0;
  // the bit 1 finds nothing.
  std::vector<int> lengths(258, 0);
  lengths[256] = 1;
  // Code 0 is the end code: a valid empty block.
  const auto empty = DecodeStream(DynamicStream(0, 0, Plain(lengths), 0), 5);
  EXPECT_EQ(empty.errorNo, 0) << empty.errorMsg;
  EXPECT_EQ(empty.outCount, 0);
  ExpectDamaged(DynamicStream(0, 0, Plain(lengths), 1), 5, "the unused 1-bit code");
  // A literal-only block (no distance code) that sends a length symbol.
  std::vector<int> lit(258, 0);
  lit['a'] = 1;
  lit[256] = 2;
  lit[257] = 2;
  std::vector<int> all = lit;
  all.push_back(0);  // the one distance length: none
  const auto codes = test::CanonicalCodes(lit);
  BitWriter v;
  v.BlockHeader(true, 2);
  v.DynamicHeader(lit, {0});
  v.Code(codes['a'], 1);
  v.Code(codes[257], 2);  // a match, with no distance code to read
  v.Bits(0, 32);
  ExpectDamaged(v.Finish(), 10, "a distance in a block without distance codes");
}

TEST(InflateHostile, FixedSymbols286And287AndDistanceCodes30And31) {
  for (int symbol : {286, 287}) {
    BitWriter w;
    w.BlockHeader(true, 1);
    w.FixedLiteral('a');
    w.FixedLiteral(symbol);
    w.Bits(0, 32);
    ExpectDamaged(w.Finish(), 10, "symbol " + std::to_string(symbol));
  }
  for (std::uint32_t code : {30u, 31u}) {
    BitWriter w;
    w.BlockHeader(true, 1);
    w.FixedLiteral('a');
    w.FixedLength(3);
    w.Code(code, 5);
    w.Bits(0, 32);
    ExpectDamaged(w.Finish(), 10, "distance code " + std::to_string(code));
  }
}

TEST(InflateHostile, DistanceBeforeTheEntrysFirstByte) {
  // The window still holds an earlier entry's bytes (DecodeStream fills it);
  // they must never come out of this entry.
  BitWriter w;
  w.BlockHeader(true, 1);
  w.FixedLength(3);
  w.FixedDistance(1);
  w.FixedLiteral(256);
  ExpectDamaged(w.Finish(), 3, "a match as the first symbol");

  BitWriter v;
  v.BlockHeader(true, 1);
  v.FixedLiteral('a');
  v.FixedLiteral('b');
  v.FixedLength(10);
  v.FixedDistance(3);
  v.FixedLiteral(256);
  ExpectDamaged(v.Finish(), 12, "distance 3 after two bytes");

  // Exactly the produced bytes is fine.
  BitWriter ok;
  ok.BlockHeader(true, 1);
  ok.FixedLiteral('a');
  ok.FixedLiteral('b');
  ok.FixedLength(4);
  ok.FixedDistance(2);
  ok.FixedLiteral(256);
  EXPECT_EQ(DecodeStream(ok.Finish(), 6).output, "ababab");
}

TEST(InflateHostile, MoreDataThanTheDeclaredSize) {
  const std::string data = test::TextSample(200000);
  for (int level : {0, 1, 6}) {
    const auto result = DecodeStream(test::ZlibDeflate(data, level), 100000);
    EXPECT_EQ(result.errorNo, 1) << "level " << level;
    EXPECT_LE(result.outCount, 100000);
    EXPECT_LE(result.output.size(), 100000u);
  }
}

TEST(InflateHostile, StreamsCutOffInTheMiddle) {
  const std::string data = test::TextSample(100000);
  const std::string stream = test::ZlibDeflate(data, 6);
  test::DecodeOptions atArchiveEnd;
  atArchiveEnd.trailer.clear();  // the archive itself ends there
  for (std::size_t cut : {std::size_t{1}, std::size_t{5}, std::size_t{20}, std::size_t{60}, std::size_t{200},
                          stream.size() / 2, stream.size() - 3}) {
    const auto result = DecodeStream(stream.substr(0, cut), static_cast<std::int32_t>(data.size()), atArchiveEnd);
    EXPECT_EQ(result.errorNo, 1) << "cut at " << cut;
    EXPECT_LT(result.outCount, static_cast<std::int32_t>(data.size()));
  }
  // Cut inside a dynamic header, with the archive's next bytes (zeros) behind it.
  for (std::size_t cut : {std::size_t{3}, std::size_t{10}, std::size_t{30}}) {
    test::DecodeOptions zeros;
    zeros.trailer = std::string(40, '\0');
    const auto result = DecodeStream(stream.substr(0, cut), static_cast<std::int32_t>(data.size()), zeros);
    EXPECT_NE(result.errorNo, 0) << "cut at " << cut;
  }
}

TEST(InflateHostile, AMebibyteOfEmptyFixedBlocksDecodesQuickly) {
  // Each empty fixed block is 10 bits: header and the 7-bit end code.
  BitWriter w;
  for (int i = 0; i < 8 * 1024 * 1024 / 10; ++i) {
    w.BlockHeader(false, 1);
    w.FixedLiteral(256);
  }
  w.BlockHeader(true, 1);
  w.FixedLiteral('!');
  w.FixedLiteral(256);
  const auto result = DecodeStream(w.Finish(), 1);
  EXPECT_EQ(result.errorNo, 0) << result.errorMsg;
  EXPECT_EQ(result.output, "!");
}

}  // namespace
}  // namespace vantelo
