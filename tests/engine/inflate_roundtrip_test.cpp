// Bit-exact decoding of raw Deflate streams made by zlib, through the engine's
// real input and output path, compared with the original data and zlib's CRC.
#include <gtest/gtest.h>

#include <zlib.h>

#include "inflate_test_support.h"

namespace vantelo {
namespace {

using test::DecodeOptions;
using test::DecodeStream;

struct Sample {
  const char* name;
  std::string data;
};

std::vector<Sample> Samples() {
  // Each larger than the 64 KiB window and the 32 KiB input buffer, so that
  // flushes, slides and refills fall inside blocks and matches.
  return {{"text", test::TextSample(300000)},
          {"binary", test::BinarySample(260000)},
          {"incompressible", test::RandomBytes(200000)},
          {"repetitive", std::string(150000, 'a') + test::TextSample(1000) + std::string(70000, '\0')}};
}

void ExpectDecodes(const std::string& data, const std::string& stream, const std::string& what,
                   bool testOnly = false) {
  DecodeOptions options;
  options.testOnly = testOnly;
  const auto result = DecodeStream(stream, static_cast<std::int32_t>(data.size()), options);
  ASSERT_EQ(result.errorNo, 0) << what << ": " << result.errorMsg;
  EXPECT_EQ(result.outCount, static_cast<std::int32_t>(data.size())) << what;
  EXPECT_EQ(result.crc, test::ZlibCrc(data)) << what;
  if (!testOnly) EXPECT_TRUE(result.output == data) << what << ": output differs";
  // The decoder stops right after the stream's last block (the data descriptor
  // of a streamed entry is read from there). An empty entry reads no block.
  if (!data.empty()) EXPECT_EQ((result.endOffset + 7) / 8, static_cast<std::int64_t>(stream.size())) << what;
}

TEST(InflateRoundTrip, EveryLevelOverEverySample) {
  for (const auto& sample : Samples())
    for (int level = 0; level <= 9; ++level) {
      const std::string stream = test::ZlibDeflate(sample.data, level);
      ExpectDecodes(sample.data, stream, std::string(sample.name) + " level " + std::to_string(level),
                    level % 2 == 1);
    }
}

TEST(InflateRoundTrip, EveryStrategyAndMemoryLevel) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (const auto& sample : Samples())
    for (int strategy : strategies)
      for (int memLevel : {1, 9}) {
        const std::string stream = test::ZlibDeflate(sample.data, 6, memLevel, strategy);
        ExpectDecodes(sample.data, stream,
                      std::string(sample.name) + " strategy " + std::to_string(strategy) + " memLevel " +
                          std::to_string(memLevel));
      }
}

TEST(InflateRoundTrip, SmallAndEmptyEntries) {
  for (const std::string data : {std::string(), std::string("a"), std::string("abcabcabcabc"),
                                 test::TextSample(65536), test::TextSample(65537), test::TextSample(32768)})
    for (int level : {0, 1, 9}) ExpectDecodes(data, test::ZlibDeflate(data, level), "size " + std::to_string(data.size()));
}

TEST(InflateRoundTrip, StoredEntryCopiesAcrossBufferAndWindow) {
  const std::string data = test::RandomBytes(200001);
  for (bool testOnly : {false, true}) {
    DecodeOptions options;
    options.method = test::DecodeMethod::Stored;
    options.testOnly = testOnly;
    const auto result = DecodeStream(data, static_cast<std::int32_t>(data.size()), options);
    ASSERT_EQ(result.errorNo, 0) << result.errorMsg;
    EXPECT_EQ(result.crc, test::ZlibCrc(data));
    EXPECT_EQ(result.outCount, static_cast<std::int32_t>(data.size()));
    if (!testOnly) EXPECT_TRUE(result.output == data);
    EXPECT_EQ(result.endOffset, static_cast<std::int64_t>(data.size()) * 8);
  }
}

TEST(InflateRoundTrip, FixedBlockAfterDynamicBlocks) {
  // Dynamic blocks, then a partial flush (an empty fixed block), then the
  // fixed strategy: the saved fixed code must be back in the working tables.
  const std::string first = test::TextSample(50000, 7);
  const std::string second = test::TextSample(50000, 8);
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string stream(300000, '\0');
  z.next_out = reinterpret_cast<Bytef*>(stream.data());
  z.avail_out = static_cast<uInt>(stream.size());
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(first.data()));
  z.avail_in = static_cast<uInt>(first.size());
  ASSERT_EQ(deflate(&z, Z_PARTIAL_FLUSH), Z_OK);
  ASSERT_EQ(deflateParams(&z, 6, Z_FIXED), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(second.data()));
  z.avail_in = static_cast<uInt>(second.size());
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  stream.resize(z.total_out);
  deflateEnd(&z);
  ExpectDecodes(first + second, stream, "dynamic then fixed");
  // And once more, so a fixed block directly follows the previous entry's dynamic one.
  ExpectDecodes(first + second, stream, "again");
}

}  // namespace
}  // namespace vantelo
