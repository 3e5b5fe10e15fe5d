// What the LZMA and XZ decoders share: one lzma_stream, ended with the
// decoder, and one call of lzma_code read as a step of the library loop.
#pragma once

#include <lzma.h>

#include "engine/methods/library/library_decoder.h"

namespace vantelo {

class LiblzmaDecoder : public LibraryDecoder {
 public:
  ~LiblzmaDecoder() override { lzma_end(&stream_); }

 protected:
  // Decodes from in[0, inSize) into out[0, outSize) with the stream as set
  // up; consumed and produced are what this call used.
  Step Code(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize,
            std::size_t& consumed, std::size_t& produced) {
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

}  // namespace vantelo
