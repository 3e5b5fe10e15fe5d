// Where an entry's input bytes come from: the archive file, or memory (tests,
// fuzz targets and benchmarks drive a decoder without a file).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/engine.h"
#include "platform/platform.h"

namespace vantelo {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Places the next Read at offset; false when nothing can be read from there.
  virtual bool SeekTo(ZipSize offset) = 0;
  // Reads up to n bytes on from the last one read: the count (0 at the end),
  // or -1 when the read failed.
  virtual std::int32_t Read(std::uint8_t* data, std::int32_t n) = 0;
};

// An open file, read on sequentially from where the last seek put it. The
// position is the source's own (reads name their offset), so sources on
// several threads can share one file handle.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(platform::FileHandle file = platform::kNoFile) : file_(file) {}
  void SetFile(platform::FileHandle file) { file_ = file; }
  bool SeekTo(ZipSize offset) override;
  std::int32_t Read(std::uint8_t* data, std::int32_t n) override;

 private:
  platform::FileHandle file_;
  ZipSize next_ = 0;
};

// Bytes in memory, which outlive the source.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool SeekTo(ZipSize offset) override;
  std::int32_t Read(std::uint8_t* data, std::int32_t n) override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t next_ = 0;
};

// Another source followed by a few zero bytes once it ends. A stream that
// ends right at the end of a damaged archive (nothing after it, not even the
// central directory) decodes to its end instead of failing the input's
// end-of-archive test; a stream that runs into the zeros has read past the
// file, which its caller sees from the stream's end offset.
class ZeroPaddedSource final : public ByteSource {
 public:
  static constexpr std::int32_t kPadding = 64;
  explicit ZeroPaddedSource(ByteSource& inner) : inner_(inner) {}
  bool SeekTo(ZipSize offset) override;
  std::int32_t Read(std::uint8_t* data, std::int32_t n) override;

 private:
  ByteSource& inner_;
  std::int32_t padded_ = 0;  // zeros given since the inner source ended
};

}  // namespace vantelo
