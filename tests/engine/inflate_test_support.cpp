#include "inflate_test_support.h"

#include <atomic>
#include <zlib.h>

#include <gtest/gtest.h>

#include <random>

#include "common/test_support.h"
#include "engine/methods/inflate/inflate.h"
#include "engine/pipeline/byte_source.h"
#include "engine/pipeline/entry_pipeline.h"

namespace vantelo::test {

namespace {

// Keeps what the window delivers.
class StringSink final : public Sink {
 public:
  bool Put(const std::uint8_t* data, std::int32_t n) override {
    bytes.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n));
    return true;
  }
  std::string bytes;
};

std::uint16_t MethodNumber(DecodeMethod method) {
  switch (method) {
    case DecodeMethod::Stored:
      return 0;
    case DecodeMethod::Deflate:
      return 8;
    case DecodeMethod::Deflate64:
      return 9;
  }
  return 8;
}

// One decoding with the given block loop (a Deflate decoder's; other methods
// ignore it).
DecodeResult DecodeWithLoop(const std::string& stream, std::int32_t declaredSize, const DecodeOptions& options,
                            InflateLoop loop) {
  const std::string bytes = stream + options.trailer;
  MemorySource source(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  // One pipeline for every call, as a batch keeps one: the window then holds
  // an earlier stream's bytes, which no decoder may read.
  static EntryPipeline pipeline;
  EntryInput& in = pipeline.input;
  in.Reset();
  in.Connect(&source, nullptr);
  if (options.dirtyWindow) pipeline.window.bytes.fill(0xA5);

  DecodeResult result;
  StringSink kept;
  DiscardSink nothing;
  Sink& sink = options.testOnly ? static_cast<Sink&>(nothing) : kept;
  EntryDecoder* decoder = pipeline.DecoderFor(MethodNumber(options.method));
  auto* inflate = dynamic_cast<InflateDecoder*>(decoder);
  if (inflate != nullptr) inflate->UseLoop(loop);
  result.result = in.FillAt(0);
  if (result.result == EntryResult::kOk) {
    RunningEntry entry{in, *decoder, pipeline.window, sink};
    std::atomic<ZipSize> bytesDone{0};
    result.result = entry.Decode(declaredSize, &bytesDone);
  }
  const FailureText failure = DescribeFailure(result.result, "entry.bin", "out.bin");
  result.errorNo = failure.number;
  result.errorMsg = failure.message;
  result.crc = pipeline.window.Crc();
  result.outCount = static_cast<std::int32_t>(pipeline.window.delivered);
  result.endOffset = in.BitOffset();
  result.output = std::move(kept.bytes);
  in.Connect(nullptr, nullptr);
  if (inflate != nullptr) inflate->UseLoop(FastestInflateLoop());
  return result;
}

}  // namespace

// Where this processor runs the BMI2 block loop, the stream is decoded with
// the portable loop too, and both must give the same result to the bit.
DecodeResult DecodeStream(const std::string& stream, std::int32_t declaredSize, const DecodeOptions& options) {
  DecodeResult result = DecodeWithLoop(stream, declaredSize, options, FastestInflateLoop());
  if (FastestInflateLoop() != InflateLoop::kPortable && options.method != DecodeMethod::Stored) {
    const DecodeResult portable = DecodeWithLoop(stream, declaredSize, options, InflateLoop::kPortable);
    EXPECT_TRUE(portable.result == result.result && portable.output == result.output &&
                portable.crc == result.crc && portable.outCount == result.outCount &&
                portable.endOffset == result.endOffset)
        << "the portable block loop differs from the BMI2 loop: results " << static_cast<int>(portable.result)
        << " / " << static_cast<int>(result.result) << ", end offsets " << portable.endOffset << " / "
        << result.endOffset;
  }
  return result;
}

std::string ZlibDeflate(const std::string& data, int level, int memLevel, int strategy) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, memLevel, strategy) != Z_OK) return {};
  std::string out(deflateBound(&z, data.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  ::deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

bool ZlibInflate(const std::string& stream, std::string* out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  out->clear();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  char chunk[65536];
  int rc;
  do {
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    rc = inflate(&z, Z_NO_FLUSH);
    out->append(chunk, sizeof chunk - z.avail_out);
  } while (rc == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
  inflateEnd(&z);
  return rc == Z_STREAM_END;
}

std::uint32_t ZlibCrc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string TextSample(std::size_t size, unsigned seed) {
  static const char* const words[] = {"the ",    "archive ", "entry ", "window ", "deflate ", "of ",
                                      "Huffman ", "block ",  "and ",   "a ",       "data\n",   "stream, ",
                                      "length ", "distance ", "code ", "table. "};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) text += words[random() % 16];
  text.resize(size);
  return text;
}

std::string BinarySample(std::size_t size, unsigned seed) {
  // Structured records with small counters and repeated fields, like an executable's tables.
  std::mt19937 random(seed);
  std::string data;
  std::uint32_t counter = 0;
  while (data.size() < size) {
    const std::uint32_t record[4] = {counter++, static_cast<std::uint32_t>(0x00400000u + (random() % 64) * 16),
                                     static_cast<std::uint32_t>(random() % 7), 0};
    data.append(reinterpret_cast<const char*>(record), sizeof record);
    if (random() % 5 == 0) data.append(random() % 40, static_cast<char>(random()));
  }
  data.resize(size);
  return data;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string data(size, '\0');
  for (auto& c : data) c = static_cast<char>(random());
  return data;
}

void BitWriter::Bits(std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) {
    acc_ |= ((value >> i) & 1u) << count_;
    if (++count_ == 8) {
      out_ += static_cast<char>(acc_);
      acc_ = 0;
      count_ = 0;
    }
  }
}

void BitWriter::Code(std::uint32_t code, int length) {
  for (int i = length - 1; i >= 0; --i) Bits((code >> i) & 1u, 1);
}

void BitWriter::AlignToByte() {
  if (count_ > 0) Bits(0, 8 - count_);
}

void BitWriter::Bytes(const std::string& bytes) { out_ += bytes; }

void BitWriter::FixedLiteral(int symbol) {
  if (symbol < 144)
    Code(0x30 + static_cast<std::uint32_t>(symbol), 8);
  else if (symbol < 256)
    Code(0x190 + static_cast<std::uint32_t>(symbol - 144), 9);
  else if (symbol < 280)
    Code(static_cast<std::uint32_t>(symbol - 256), 7);
  else
    Code(0xC0 + static_cast<std::uint32_t>(symbol - 280), 8);
}

namespace {
const int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                           193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
}  // namespace

void BitWriter::FixedLength(int length) {
  int i = 28;
  while (kLengthBase[i] > length) --i;
  FixedLiteral(257 + i);
  Bits(static_cast<std::uint32_t>(length - kLengthBase[i]), kLengthExtra[i]);
}

void BitWriter::FixedDistance(int distance) {
  int i = 29;
  while (kDistBase[i] > distance) --i;
  Code(static_cast<std::uint32_t>(i), 5);
  Bits(static_cast<std::uint32_t>(distance - kDistBase[i]), kDistExtra[i]);
}

void BitWriter::DynamicHeader(const std::vector<int>& litLengths, const std::vector<int>& distLengths) {
  // Code-length code: 4-bit codes for 0..15 (a complete code), no repeat codes.
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  std::vector<int> clLengths(19, 0);
  for (int i = 0; i < 16; ++i) clLengths[i] = 4;
  const auto clCodes = CanonicalCodes(clLengths);
  Bits(static_cast<std::uint32_t>(litLengths.size() - 257), 5);
  Bits(static_cast<std::uint32_t>(distLengths.size() - 1), 5);
  Bits(15, 4);  // all 19
  for (int i = 0; i < 19; ++i) Bits(static_cast<std::uint32_t>(clLengths[order[i]]), 3);
  for (int length : litLengths) Code(clCodes[length], 4);
  for (int length : distLengths) Code(clCodes[length], 4);
}

std::string BitWriter::Finish() {
  std::string result = out_;
  if (count_ > 0) result += static_cast<char>(acc_);
  return result;
}

std::vector<std::uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
  int count[16] = {};
  for (int length : lengths) ++count[length];
  count[0] = 0;
  std::uint32_t next[16] = {};
  std::uint32_t code = 0;
  for (int bits = 1; bits < 16; ++bits) {
    code = (code + static_cast<std::uint32_t>(count[bits - 1])) << 1;
    next[bits] = code;
  }
  std::vector<std::uint32_t> codes(lengths.size(), 0);
  for (std::size_t i = 0; i < lengths.size(); ++i)
    if (lengths[i] != 0) codes[i] = next[lengths[i]]++;
  return codes;
}

}  // namespace vantelo::test
