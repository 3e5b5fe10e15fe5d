// Method 93: Zstandard, decoded by libzstd's streaming decoder.
//
// Design: one ZSTD_DCtx per decoder, reset (its parameters kept) for every
// entry. The window is bounded by libzstd itself: ZSTD_d_windowLogMax 30
// (1 GiB) makes a frame header asking for more fail with
// frameParameter_windowTooLarge before the window is allocated. An entry may
// hold several frames one after another (a writer that compressed it in
// pieces, skippable frames among them): decoding goes on frame after frame
// until the entry's packed bytes end at a frame's end. Bytes that follow a
// frame and are no frame are the library's data error.
#include <zstd.h>
#include <zstd_errors.h>

#include <new>

#include "engine/methods/library/library_decoder.h"

namespace vantelo {
namespace {

constexpr int kWindowLogMax = 30;
static_assert((std::uint64_t{1} << kWindowLogMax) == kMaxDecoderMemory);

class ZstdDecoder final : public LibraryDecoder {
 public:
  ZstdDecoder() : context_(ZSTD_createDCtx()) {
    if (context_ == nullptr) throw std::bad_alloc();
    ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, kWindowLogMax);
  }
  ~ZstdDecoder() override { ZSTD_freeDCtx(context_); }
  ZstdDecoder(const ZstdDecoder&) = delete;
  ZstdDecoder& operator=(const ZstdDecoder&) = delete;

 private:
  Step Start(ZipSize) override {
    ZSTD_DCtx_reset(context_, ZSTD_reset_session_only);
    return Step::kMore;
  }

  Step Run(const std::uint8_t* in, std::size_t inSize, bool lastInput, std::uint8_t* out, std::size_t outSize,
           std::size_t& consumed, std::size_t& produced) override {
    ZSTD_inBuffer input{in, inSize, 0};
    ZSTD_outBuffer output{out, outSize, 0};
    const std::size_t result = ZSTD_decompressStream(context_, &output, &input);
    consumed = input.pos;
    produced = output.pos;
    if (ZSTD_isError(result)) {
      switch (ZSTD_getErrorCode(result)) {
        case ZSTD_error_frameParameter_windowTooLarge:
        case ZSTD_error_memory_allocation:
          return Step::kTooMuchMemory;
        default:
          return Step::kDataError;
      }
    }
    // 0: a frame ended and all of it is out. The entry ends with its last
    // packed byte; before that another frame follows.
    if (result == 0 && lastInput && input.pos == inSize) return Step::kEnd;
    return Step::kMore;
  }

  ZSTD_DCtx* context_;
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeZstdDecoder() { return std::make_unique<ZstdDecoder>(); }

}  // namespace vantelo
