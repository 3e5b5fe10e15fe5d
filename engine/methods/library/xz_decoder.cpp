// Method 95: XZ, decoded by liblzma's .xz stream decoder.
//
// Design: one lzma_stream per decoder, a stream decoder started afresh for
// every entry (liblzma keeps its allocations where it can). The memory limit
// is liblzma's own: the block headers name each filter's dictionary, and
// liblzma compares what the chain needs with the limit before it allocates,
// answering LZMA_MEMLIMIT_ERROR when it is over. The limit is the largest
// dictionary plus room for the decoder's own tables. One .xz stream per entry;
// bytes after its footer are not read.
#include "engine/methods/library/liblzma_decoder.h"

namespace vantelo {
namespace {

// What one decoder may use beside its dictionary: range decoder tables,
// filter state, block buffers; well under a mebibyte in liblzma.
constexpr std::uint64_t kTableRoom = std::uint64_t{1} << 20;

class XzDecoder final : public LiblzmaDecoder {
 private:
  Step Start(ZipSize) override {
    const lzma_ret started = lzma_stream_decoder(&stream_, kMaxDecoderMemory + kTableRoom, 0);
    if (started == LZMA_MEM_ERROR) return Step::kTooMuchMemory;
    return started == LZMA_OK ? Step::kMore : Step::kDataError;
  }

  Step Run(const std::uint8_t* in, std::size_t inSize, bool, std::uint8_t* out, std::size_t outSize,
           std::size_t& consumed, std::size_t& produced) override {
    return Code(in, inSize, out, outSize, consumed, produced);
  }
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeXzDecoder() { return std::make_unique<XzDecoder>(); }

}  // namespace vantelo
