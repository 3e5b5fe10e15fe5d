// Method 95: XZ, decoded by liblzma's .xz stream decoder.
//
// Design: one lzma_stream per decoder, a stream decoder started afresh for
// every entry (liblzma keeps its allocations where it can). The memory limit
// is liblzma's own: the block headers name each filter's dictionary, and
// liblzma compares what the chain needs with the limit before it allocates,
// answering LZMA_MEMLIMIT_ERROR when it is over. The limit is the largest
// dictionary plus room for the decoder's own tables. One .xz stream per entry;
// bytes after its footer are not read.
#include <lzma.h>

#include "engine/methods/library/library_decoder.h"

namespace vantelo {
namespace {

// What one decoder may use beside its dictionary: range decoder tables,
// filter state, block buffers; well under a mebibyte in liblzma.
constexpr std::uint64_t kTableRoom = std::uint64_t{1} << 20;

class XzDecoder final : public LibraryDecoder {
 public:
  ~XzDecoder() override { lzma_end(&stream_); }

 private:
  Step Start(ZipSize) override {
    const lzma_ret started = lzma_stream_decoder(&stream_, kMaxDecoderMemory + kTableRoom, 0);
    if (started == LZMA_MEM_ERROR) return Step::kTooMuchMemory;
    return started == LZMA_OK ? Step::kMore : Step::kDataError;
  }

  Step Run(const std::uint8_t* in, std::size_t inSize, bool, std::uint8_t* out, std::size_t outSize,
           std::size_t& consumed, std::size_t& produced) override {
    stream_.next_in = in;
    stream_.avail_in = inSize;
    stream_.next_out = out;
    stream_.avail_out = outSize;
    const lzma_ret result = lzma_code(&stream_, LZMA_RUN);
    consumed = inSize - stream_.avail_in;
    produced = outSize - stream_.avail_out;
    switch (result) {
      case LZMA_OK:
      case LZMA_BUF_ERROR:  // no progress: the loop decides what that means
        return Step::kMore;
      case LZMA_STREAM_END:
        return Step::kEnd;
      case LZMA_MEMLIMIT_ERROR:
      case LZMA_MEM_ERROR:
        return Step::kTooMuchMemory;
      default:  // LZMA_FORMAT_ERROR, LZMA_OPTIONS_ERROR, LZMA_DATA_ERROR
        return Step::kDataError;
    }
  }

  lzma_stream stream_ = LZMA_STREAM_INIT;
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeXzDecoder() { return std::make_unique<XzDecoder>(); }

}  // namespace vantelo
