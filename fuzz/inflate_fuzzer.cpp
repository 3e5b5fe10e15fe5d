// Feeds arbitrary bytes to the entry decoders from memory, through the
// pipeline's parts (an EntryInput over the bytes, the decoder, the output
// window, a sink that keeps nothing): no file. Layout of an input: 4 bytes
// declared size (little-endian, taken modulo 256 KiB: past the 64 KiB window,
// yet quick to run), 1 byte of options (bits 0-1: 0 Deflate, 1 stored,
// 2 Deflate64, 3 Deflate64), then the entry's data. Where the processor runs
// Inflate's BMI2 block loop, a Deflate or Deflate64 input is decoded with the
// portable loop too, and the two must end alike to the bit.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/methods/inflate/inflate.h"
#include "engine/pipeline/byte_source.h"
#include "engine/pipeline/entry_pipeline.h"

namespace {

struct Outcome {
  vantelo::EntryResult result;
  vantelo::ZipSize delivered;
  std::uint32_t crc;
  std::int64_t endOffset;
  bool operator==(const Outcome&) const = default;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantelo;
  if (size < 5) return 0;
  const std::uint32_t declared =
      (data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24)) % (256u << 10);
  static const std::uint16_t kMethods[4] = {8, 0, 9, 9};
  const std::uint16_t method = kMethods[data[4] & 3];

  // One pipeline for every run, as a batch keeps one: the window holds the
  // last run's bytes, which no decoder may read.
  static EntryPipeline pipeline;
  EntryDecoder* decoder = pipeline.DecoderFor(method);
  auto* inflate = dynamic_cast<InflateDecoder*>(decoder);
  auto decode = [&](InflateLoop loop) {
    if (inflate != nullptr) inflate->UseLoop(loop);
    MemorySource source(data + 5, size - 5);
    pipeline.input.Reset();
    pipeline.input.Connect(&source, nullptr);
    DiscardSink nothing;
    std::atomic<ZipSize> bytesDone{0};
    EntryResult result = pipeline.input.FillAt(0);
    if (result == EntryResult::kOk) {
      RunningEntry entry{pipeline.input, *decoder, pipeline.window, nothing};
      result = entry.Decode(declared, &bytesDone);
    }
    // Never more than the declared size is delivered, nor counted.
    if (pipeline.window.delivered > static_cast<ZipSize>(declared) || bytesDone > static_cast<ZipSize>(declared))
      __builtin_trap();
    const Outcome outcome{result, pipeline.window.delivered, pipeline.window.Crc(), pipeline.input.BitOffset()};
    pipeline.input.Connect(nullptr, nullptr);
    return outcome;
  };
  const Outcome fastest = decode(FastestInflateLoop());
  if (inflate != nullptr && FastestInflateLoop() != InflateLoop::kPortable) {
    if (!(decode(InflateLoop::kPortable) == fastest)) __builtin_trap();
    inflate->UseLoop(FastestInflateLoop());
  }
  return 0;
}
