// Methods 8 and 9: Deflate (RFC 1951) and Deflate64, decoded by our own
// Inflate. One decoder object per variant holds the working tables of its
// dynamic blocks; the fixed code is shared by all (huffman_tables.h).
#pragma once

#include "engine/methods/inflate/deflate_constants.h"
#include "engine/methods/inflate/huffman_tables.h"
#include "engine/pipeline/entry_decoder.h"

namespace vantelo {

using deflate::DeflateVariant;

class InflateDecoder final : public EntryDecoder {
 public:
  explicit InflateDecoder(DeflateVariant variant) : variant_(variant) {}

  WindowShape Window() const override {
    return variant_ == DeflateVariant::kDeflate64 ? kDeflate64Window : kDeflateWindow;
  }
  // Decodes blocks until the declared size is out, the last block ends, or an
  // error. The window must have been started with Window().
  EntryResult Decode(EntryInput& in, OutputWindow& out, ZipSize declaredSize) override;

 private:
  DeflateVariant variant_;
  deflate::DynamicTables tables_;
};

}  // namespace vantelo
