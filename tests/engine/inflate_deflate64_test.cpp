// Deflate64 (method 9) through the Inflate decoder part: matches longer than
// the window's overrun room copied in pieces across flushes, distances beyond
// 32 KiB, 7-Zip's stream against what 7-Zip extracts, and hostile streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/extract_manifest.h"
#include "common/test_support.h"
#include "inflate_test_support.h"

namespace vantelo {
namespace {

using test::BitWriter;
using test::DecodeMethod;
using test::DecodeStream;

constexpr const char* kDamaged = "The structure of ZIP file is damaged!";

test::DecodeOptions Wide(bool testOnly = false) {
  test::DecodeOptions options;
  options.method = DecodeMethod::Deflate64;
  options.testOnly = testOnly;
  return options;
}

// Length code 285 in its Deflate64 form: 3 plus 16 extra bits.
void WideLength(BitWriter& w, int length) {
  w.FixedLiteral(285);
  w.Bits(static_cast<std::uint32_t>(length - 3), 16);
}
// Distance codes 30 and 31: 32,769 and 49,153 plus 14 extra bits.
void WideDistance(BitWriter& w, int distance) {
  const int code = distance >= 49153 ? 31 : 30;
  w.Code(static_cast<std::uint32_t>(code), 5);
  w.Bits(static_cast<std::uint32_t>(distance - (code == 31 ? 49153 : 32769)), 14);
}

void Literals(BitWriter& w, const std::string& bytes) {
  for (char c : bytes) w.FixedLiteral(static_cast<unsigned char>(c));
}

// Three matches of 65,538 bytes and one of 40,000: the second and third cross
// the flush point at 128 KiB and are copied in pieces around the flush.
TEST(InflateDeflate64, LongMatchesAcrossFlushes) {
  BitWriter w;
  w.BlockHeader(true, 1);
  Literals(w, "abc");
  for (int i = 0; i < 3; ++i) {
    WideLength(w, 65538);
    w.FixedDistance(3);
  }
  WideLength(w, 40000);
  w.FixedDistance(3);
  w.FixedLiteral(256);
  const std::string stream = w.Finish();
  std::string expected;
  while (expected.size() < 3 + 3 * 65538 + 40000) expected += "abc";
  expected.resize(3 + 3 * 65538 + 40000);
  for (bool testOnly : {false, true}) {
    const auto result = DecodeStream(stream, static_cast<std::int32_t>(expected.size()), Wide(testOnly));
    ASSERT_EQ(result.errorNo, 0) << result.errorMsg;
    EXPECT_EQ(result.outCount, static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(result.crc, test::ZlibCrc(expected));
    if (!testOnly) {
      EXPECT_TRUE(result.output == expected);
    }
  }
}

// Matches 34,000 and 50,000 bytes back (codes 30 and 31) reach into the
// 64 KiB history, also after the window has slid.
TEST(InflateDeflate64, DistancesBeyond32KiB) {
  const std::string a = test::RandomBytes(50'000, 11);
  const std::string b = test::RandomBytes(150'000, 12);
  BitWriter w;
  w.BlockHeader(true, 1);
  Literals(w, a);
  WideLength(w, 300);
  WideDistance(w, 34'000);
  Literals(w, b);  // past the flush point: the window slides
  WideLength(w, 1000);
  WideDistance(w, 50'000);
  w.FixedLiteral(256);
  std::string expected = a + a.substr(50'000 - 34'000, 300) + b;
  expected += expected.substr(expected.size() - 50'000, 1000);
  const auto result = DecodeStream(w.Finish(), static_cast<std::int32_t>(expected.size()), Wide());
  ASSERT_EQ(result.errorNo, 0) << result.errorMsg;
  EXPECT_TRUE(result.output == expected);
}

// The codes that only Deflate64 has are damage in plain Deflate.
TEST(InflateDeflate64, ItsCodesAreDamageInPlainDeflate) {
  BitWriter w;
  w.BlockHeader(true, 1);
  Literals(w, test::RandomBytes(40'000, 13));
  w.FixedLength(10);
  WideDistance(w, 33'000);
  w.FixedLiteral(256);
  const std::string stream = w.Finish();
  EXPECT_EQ(DecodeStream(stream, 40'010, Wide()).errorNo, 0);
  const auto plain = DecodeStream(stream, 40'010);
  EXPECT_EQ(plain.errorNo, 1);
  EXPECT_EQ(plain.errorMsg, kDamaged);
}

// 7-Zip's Deflate64 stream of data that repeats 34 and 50 KB back gives what
// 7-Zip extracts from it; as plain Deflate it does not decode.
TEST(InflateDeflate64, SevenZipStreamMatchesItsExtraction) {
  const std::string zip = test::ReadFileBytes(test::DataPath("extract/7zz_deflate64_far.zip"));
  const auto manifest = test::ReadManifest(test::DataPath("extract/7zz_deflate64_far.expect"));
  const auto expected = std::find_if(manifest.begin(), manifest.end(),
                                     [](const test::ExpectedEntry& e) { return e.path == "far/repeats.bin"; });
  ASSERT_NE(expected, manifest.end());
  // The entry's stream: found by its local header's name.
  const std::string name = "far/repeats.bin";
  const std::size_t header = zip.find(std::string("PK\x03\x04", 4));
  std::size_t at = header;
  while (at != std::string::npos && zip.compare(at + 30, name.size(), name) != 0)
    at = zip.find(std::string("PK\x03\x04", 4), at + 4);
  ASSERT_NE(at, std::string::npos);
  auto u16 = [&](std::size_t p) { return static_cast<unsigned char>(zip[p]) | static_cast<unsigned char>(zip[p + 1]) << 8; };
  auto u32 = [&](std::size_t p) { return static_cast<std::uint32_t>(u16(p) | u16(p + 2) << 16); };
  ASSERT_EQ(u16(at + 8), 9);  // method 9
  const std::size_t data = at + 30 + u16(at + 26) + u16(at + 28);
  const std::string stream = zip.substr(data, u32(at + 18));
  const auto result = DecodeStream(stream, static_cast<std::int32_t>(expected->size), Wide());
  ASSERT_EQ(result.errorNo, 0) << result.errorMsg;
  EXPECT_EQ(result.crc, expected->crc);
  EXPECT_EQ(result.outCount, expected->size);
  EXPECT_NE(DecodeStream(stream, static_cast<std::int32_t>(expected->size)).crc, expected->crc);
}

// A distance beyond what the entry has produced is damage, whatever an
// earlier entry left in the window; so is a long match past the declared size,
// which delivers nothing beyond it.
TEST(InflateDeflate64, HostileDistancesAndLengths) {
  {
    BitWriter w;
    w.BlockHeader(true, 1);
    Literals(w, "0123456789");
    WideLength(w, 500);
    WideDistance(w, 40'000);
    w.FixedLiteral(256);
    const auto result = DecodeStream(w.Finish(), 510, Wide());
    EXPECT_EQ(result.errorNo, 1);
    EXPECT_EQ(result.errorMsg, kDamaged);
    EXPECT_EQ(result.outCount, 0);
  }
  {
    BitWriter w;
    w.BlockHeader(true, 1);
    Literals(w, "x");
    WideLength(w, 65538);
    w.FixedDistance(1);
    w.FixedLiteral(256);
    const std::string stream = w.Finish();
    for (std::int32_t declared : {1000, 65538}) {
      const auto result = DecodeStream(stream, declared, Wide());
      EXPECT_EQ(result.errorNo, 1) << declared;
      EXPECT_EQ(result.outCount, 0) << "nothing of the entry is delivered";
    }
    EXPECT_EQ(DecodeStream(stream, 65539, Wide()).result, EntryResult::kOk);
    // Declared longer than the stream: short of its size, a verdict (BAD CRC), no error.
    const auto longer = DecodeStream(stream, 140'000, Wide());
    EXPECT_EQ(longer.result, EntryResult::kShort);
    EXPECT_EQ(longer.errorNo, 0);
    EXPECT_EQ(longer.output.size(), 65539u) << "a stream that ends short is delivered whole";
  }
  {
    // Cut off in the middle of the 16 extra bits of a long length.
    BitWriter w;
    w.BlockHeader(true, 1);
    Literals(w, "xy");
    w.FixedLiteral(285);
    test::DecodeOptions options = Wide();
    options.trailer.clear();
    const auto result = DecodeStream(w.Finish(), 70'000, options);
    EXPECT_EQ(result.errorNo, 1);
  }
}

}  // namespace
}  // namespace vantelo
