// Methods 8 and 9: Deflate (RFC 1951) and Deflate64, decoded by our own
// Inflate. One decoder object per variant holds the working tables of its
// dynamic blocks; the fixed code is shared by all (huffman_tables.h).
#pragma once

#include "engine/methods/inflate/deflate_constants.h"
#include "engine/methods/inflate/huffman_tables.h"
#include "engine/pipeline/entry_decoder.h"

namespace vantelo {

using deflate::DeflateVariant;

// The block loop a decoder runs: the portable one, or the one built for
// processors with BMI2 (x86-64 only). Both give the same results.
enum class InflateLoop { kPortable, kBmi2 };
// kBmi2 where this build has that loop and the processor runs it, else kPortable.
InflateLoop FastestInflateLoop();

class InflateDecoder final : public EntryDecoder {
 public:
  explicit InflateDecoder(DeflateVariant variant) : variant_(variant), loop_(FastestInflateLoop()) {}

  WindowShape Window() const override {
    return variant_ == DeflateVariant::kDeflate64 ? kDeflate64Window : kDeflateWindow;
  }
  // Decodes blocks until the declared size is out, the last block ends, or an
  // error. The window must have been started with Window().
  EntryResult Decode(EntryInput& in, OutputWindow& out, ZipSize declaredSize) override;

  // Runs the given loop from now on (kBmi2 only where FastestInflateLoop()
  // is kBmi2): tests decode with both.
  void UseLoop(InflateLoop loop);
  InflateLoop Loop() const { return loop_; }

 private:
  DeflateVariant variant_;
  InflateLoop loop_;
  deflate::DynamicTables tables_;
};

}  // namespace vantelo
