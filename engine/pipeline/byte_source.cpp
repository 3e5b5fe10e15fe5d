#include "engine/pipeline/byte_source.h"

#include <algorithm>
#include <cstring>

namespace vantelo {

bool FileSource::SeekTo(ZipSize offset) {
  if (offset < 0 || file_ == platform::kNoFile) return false;
  next_ = offset;
  return true;
}

std::int32_t FileSource::Read(std::uint8_t* data, std::int32_t n) {
  const std::int32_t got = platform::ReadAt(file_, next_, data, n);
  if (got > 0) next_ += got;
  return got;
}

bool MemorySource::SeekTo(ZipSize offset) {
  if (offset < 0) return false;
  next_ = static_cast<std::size_t>(std::min<ZipSize>(offset, static_cast<ZipSize>(size_)));
  return true;
}

std::int32_t MemorySource::Read(std::uint8_t* data, std::int32_t n) {
  if (n <= 0) return 0;
  const std::size_t count = std::min(static_cast<std::size_t>(n), size_ - next_);
  if (count > 0) std::memcpy(data, data_ + next_, count);
  next_ += count;
  return static_cast<std::int32_t>(count);
}

bool ZeroPaddedSource::SeekTo(ZipSize offset) {
  padded_ = 0;
  return inner_.SeekTo(offset);
}

std::int32_t ZeroPaddedSource::Read(std::uint8_t* data, std::int32_t n) {
  const std::int32_t got = inner_.Read(data, n);
  if (got != 0 || n <= 0) return got;
  const std::int32_t zeros = std::min(n, kPadding - padded_);
  if (zeros > 0) std::memset(data, 0, static_cast<std::size_t>(zeros));
  padded_ += zeros;
  return zeros;
}

}  // namespace vantelo
