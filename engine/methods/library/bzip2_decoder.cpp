// Method 12: bzip2, decoded by libbz2.
//
// Design: one bz_stream per decoder, opened afresh for every entry (libbz2
// has no reset). bzip2 has no dictionary to bound: its block size digit
// ('1'-'9', 100-900 kB blocks) caps the library's memory at about 3.6 MB, and a
// digit out of that range is the library's data error. The entry's stream
// ends at the first end-of-stream mark; bytes after it in the entry are not
// read.
#include <bzlib.h>

#include <climits>

#include "engine/methods/library/library_decoder.h"

namespace vantelo {
namespace {

class Bzip2Decoder final : public LibraryDecoder {
 public:
  ~Bzip2Decoder() override { Close(); }

 private:
  void Close() {
    if (open_) BZ2_bzDecompressEnd(&stream_);
    open_ = false;
  }

  Step Start(ZipSize) override {
    Close();
    stream_ = bz_stream{};
    const int opened = BZ2_bzDecompressInit(&stream_, 0, 0);
    if (opened == BZ_MEM_ERROR) return Step::kTooMuchMemory;
    if (opened != BZ_OK) return Step::kDataError;
    open_ = true;
    return Step::kMore;
  }

  Step Run(const std::uint8_t* in, std::size_t inSize, bool, std::uint8_t* out, std::size_t outSize,
           std::size_t& consumed, std::size_t& produced) override {
    // The loop's pieces are far below UINT_MAX (one input buffer, one flush).
    stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(in));
    stream_.avail_in = static_cast<unsigned>(inSize);
    stream_.next_out = reinterpret_cast<char*>(out);
    stream_.avail_out = static_cast<unsigned>(outSize);
    const int result = BZ2_bzDecompress(&stream_);
    consumed = inSize - stream_.avail_in;
    produced = outSize - stream_.avail_out;
    switch (result) {
      case BZ_OK:
        return Step::kMore;
      case BZ_STREAM_END:
        return Step::kEnd;
      case BZ_MEM_ERROR:
        return Step::kTooMuchMemory;
      default:  // BZ_DATA_ERROR, BZ_DATA_ERROR_MAGIC
        return Step::kDataError;
    }
  }

  bz_stream stream_{};
  bool open_ = false;
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeBzip2Decoder() { return std::make_unique<Bzip2Decoder>(); }

}  // namespace vantelo
