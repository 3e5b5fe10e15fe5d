// Helpers for the tests of the entry input, the output window and decryption:
// they drive the pipeline's parts directly, the way the batch and the
// decoders do, over real files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/pipeline/sink.h"
#include "engine/pipeline/byte_source.h"
#include "engine/pipeline/entry_input.h"
#include "engine/pipeline/output_window.h"
#include "platform/platform.h"

namespace vantelo::test {

// A sink over an open file handle (not owned).
class HandleSink final : public Sink {
 public:
  explicit HandleSink(platform::FileHandle file) : file_(file) {}
  bool Put(const std::uint8_t* data, std::int32_t n) override { return platform::Write(file_, data, n) == n; }

 private:
  platform::FileHandle file_;
};

// A file opened for reading as an input's source for the length of a test.
class FileInput {
 public:
  explicit FileInput(const std::string& path, RefillGate* gate = nullptr)
      : file_(platform::OpenForReading(path)), source_(file_) {
    input.Connect(&source_, gate);
  }
  // Reads from a handle opened some other way (owned from now on).
  explicit FileInput(platform::FileHandle file) : file_(file), source_(file_) { input.Connect(&source_, nullptr); }
  ~FileInput() { platform::Close(file_); }
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  bool ok() const { return file_ != platform::kNoFile; }
  void SetGate(RefillGate* gate) { input.Connect(&source_, gate); }

  EntryInput input;

 private:
  platform::FileHandle file_;
  FileSource source_;
};

// Copies `size` bytes from the input to the window as the stored decoder does
// (pieces bounded by the input's limit and by the window's flush point,
// refills when pos reaches limit, one last flush), with pieces of at most
// `maxPiece` bytes to vary where refills fall. Fails the test if a piece would
// reach past the valid bytes. Returns the number of refills; *result is the
// first failure, if any.
inline int CopyStored(EntryInput& in, OutputWindow& out, std::int32_t size, EntryResult* result,
                      std::int32_t maxPiece = 1 << 30) {
  int refills = 0;
  EntryResult status = EntryResult::kOk;
  auto refill = [&] {
    ++refills;
    status = in.Refill();
  };
  if (in.count - in.pos < 1024) refill();
  std::int32_t remaining = size;
  for (int guard = 0; status == EntryResult::kOk && remaining > 0; ++guard) {
    if (guard > 1000000) {
      ADD_FAILURE() << "the copy makes no progress";
      break;
    }
    std::int32_t piece = std::min({remaining, in.limit - in.pos, out.shape.flushPoint - out.pos, maxPiece});
    if (piece > 0) {
      if (in.pos + piece > in.count) {
        ADD_FAILURE() << "a piece reaches past the valid bytes";
        break;
      }
      std::memcpy(out.bytes.data() + out.pos, in.buffer.data() + in.pos, static_cast<std::size_t>(piece));
      in.pos += piece;
      out.pos += piece;
      remaining -= piece;
    }
    if (out.pos >= out.shape.flushPoint) status = out.Flush();
    if (status == EntryResult::kOk && remaining > 0 && in.pos >= in.limit) refill();
  }
  if (status == EntryResult::kOk) status = out.Flush();
  if (result != nullptr) *result = status;
  return refills;
}

inline std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(n);
  std::uint32_t x = seed * 2654435761u + 1u;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

}  // namespace vantelo::test
