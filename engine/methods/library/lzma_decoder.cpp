// Method 14: LZMA in the ZIP form, decoded by liblzma's raw LZMA1 decoder.
//
// Design: the entry's data opens with a 9-byte header of its own, collected
// here across calls: a 2-byte encoder version (not used), a 2-byte
// little-endian size of the properties, which must be 5, and the 5 property
// bytes (lc/lp/pb in one byte, the dictionary size in four). The dictionary
// size is checked against the limit before the decoder is made, so a hostile
// header gets nothing allocated; a smaller entry gets a dictionary no larger
// than its declared size. Then the raw stream follows, without the
// .lzma file header. Flag bit 1 says it ends with an end marker: the size is
// left unknown and the marker required, so a stream longer than its entry is
// seen. Without the bit the declared size ends it, and an end marker right
// after that size is allowed (LZMA_FILTER_LZMA1EXT, liblzma 5.4 on).
#include <algorithm>
#include <array>
#include <cstring>

#include "engine/methods/library/liblzma_decoder.h"

namespace vantelo {
namespace {

constexpr std::size_t kHeaderSize = 9;
constexpr std::uint16_t kFlagEndMarker = 0x0002;

class LzmaDecoder final : public LiblzmaDecoder {
 private:
  Step Start(ZipSize declaredSize) override {
    declaredSize_ = declaredSize;
    headerHave_ = 0;
    return Step::kMore;
  }

  // Reads the collected header and makes the decoder.
  Step Begin() {
    const std::uint32_t propertySize = header_[2] | (header_[3] << 8);
    if (propertySize != 5) return Step::kDataError;
    std::uint32_t lclppb = header_[4];
    if (lclppb > (4 * 5 + 4) * 9 + 8) return Step::kDataError;  // pb <= 4, lp <= 4, lc <= 8
    const std::uint32_t dictionary =
        header_[5] | (header_[6] << 8) | (header_[7] << 16) | (static_cast<std::uint32_t>(header_[8]) << 24);
    if (dictionary > kMaxDecoderMemory) return Step::kTooMuchMemory;

    lzma_options_lzma options{};
    // No match reaches back further than the output so far, which stops at
    // the declared size + 1: a dictionary beyond that would never fill.
    const std::uint64_t reach = static_cast<std::uint64_t>(std::max<ZipSize>(declaredSize_, 0)) + 1;
    options.dict_size = static_cast<std::uint32_t>(
        std::max<std::uint64_t>(std::min<std::uint64_t>(dictionary, reach), LZMA_DICT_SIZE_MIN));
    options.lc = lclppb % 9;
    lclppb /= 9;
    options.lp = lclppb % 5;
    options.pb = lclppb / 5;
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    const std::uint64_t size =
        (Flags() & kFlagEndMarker) != 0 || declaredSize_ < 0 ? UINT64_MAX : static_cast<std::uint64_t>(declaredSize_);
    options.ext_size_low = static_cast<std::uint32_t>(size);
    options.ext_size_high = static_cast<std::uint32_t>(size >> 32);
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    switch (lzma_raw_decoder(&stream_, filters)) {
      case LZMA_OK:
        return Step::kMore;
      case LZMA_MEM_ERROR:
        return Step::kTooMuchMemory;
      case LZMA_OPTIONS_ERROR:  // lc + lp > 4: valid LZMA, not decoded by liblzma
        return Step::kUnsupported;
      default:
        return Step::kDataError;
    }
  }

  Step Run(const std::uint8_t* in, std::size_t inSize, bool, std::uint8_t* out, std::size_t outSize,
           std::size_t& consumed, std::size_t& produced) override {
    consumed = produced = 0;
    if (headerHave_ < kHeaderSize) {
      const std::size_t take = std::min(kHeaderSize - headerHave_, inSize);
      std::memcpy(header_.data() + headerHave_, in, take);
      headerHave_ += take;
      consumed = take;
      if (headerHave_ < kHeaderSize) return Step::kMore;
      const Step begun = Begin();
      if (begun != Step::kMore) return begun;
      in += take;
      inSize -= take;
    }
    std::size_t used = 0;
    const Step step = Code(in, inSize, out, outSize, used, produced);
    consumed += used;
    return step;
  }

  std::array<std::uint8_t, kHeaderSize> header_{};
  std::size_t headerHave_ = 0;
  ZipSize declaredSize_ = 0;
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeLzmaDecoder() { return std::make_unique<LzmaDecoder>(); }

}  // namespace vantelo
