#include "engine/pipeline/filter_ahead_source.h"

#include <algorithm>
#include <cstring>

namespace vantelo {

FilterAheadSource::FilterAheadSource(ByteSource& archive, InputFilter& filter, ZipSize from, ZipSize to)
    : archive_(archive), filter_(filter), from_(from), to_(std::max(from, to)), next_(from) {
  thread_ = std::thread([this] { Work(); });
}

FilterAheadSource::~FilterAheadSource() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void FilterAheadSource::Work() {
  bool ok = archive_.SeekTo(from_);
  for (ZipSize at = from_; ok && at < to_;) {
    std::size_t slot = 0;
    {
      std::unique_lock<std::mutex> hold(lock_);
      changed_.wait(hold, [this] { return stop_ || filled_ < kBlocks; });
      if (stop_) return;
      slot = (head_ + filled_) % kBlocks;
    }
    // The slot is the thread's until it is counted as filled.
    Block& block = ring_[slot];
    const auto want = static_cast<std::int32_t>(std::min<ZipSize>(kBlockSize, to_ - at));
    const std::int32_t got = archive_.Read(block.bytes.data(), want);
    ok = got == want;
    if (got <= 0) break;
    filter_.Apply(block.bytes.data(), got);
    block.count = got;
    at += got;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      ++filled_;
    }
    changed_.notify_all();
  }
  {
    const std::lock_guard<std::mutex> hold(lock_);
    ended_ = true;
    failed_ = !ok;
  }
  changed_.notify_all();
}

void FilterAheadSource::Finish() {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [this] { return ended_; });
}

bool FilterAheadSource::SeekTo(ZipSize offset) {
  if (offset == next_ && !readingArchive_ && offset == from_) return true;
  if (offset < to_) return false;  // the filtered bytes are given once, in order
  Finish();
  readingArchive_ = true;
  next_ = offset;
  return archive_.SeekTo(offset);
}

std::int32_t FilterAheadSource::Read(std::uint8_t* data, std::int32_t n) {
  std::int32_t given = 0;
  while (given < n && !readingArchive_) {
    if (next_ >= to_) {
      // The rest comes from the archive as it is, once the thread has left it.
      Finish();
      readingArchive_ = true;
      if (!archive_.SeekTo(next_)) return given > 0 ? given : -1;
      break;
    }
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return filled_ > 0 || ended_; });
    if (filled_ == 0) {
      // The archive ended or failed before `to`.
      if (failed_ && given == 0) return -1;
      return given;
    }
    Block& block = ring_[head_];
    hold.unlock();
    const std::int32_t count = std::min(n - given, block.count - taken_);
    std::memcpy(data + given, block.bytes.data() + taken_, static_cast<std::size_t>(count));
    given += count;
    taken_ += count;
    next_ += count;
    if (taken_ == block.count) {
      taken_ = 0;
      {
        const std::lock_guard<std::mutex> relock(lock_);
        head_ = (head_ + 1) % kBlocks;
        --filled_;
      }
      changed_.notify_all();
    }
  }
  if (given < n && readingArchive_) {
    const std::int32_t got = archive_.Read(data + given, n - given);
    if (got < 0) return given > 0 ? given : -1;
    given += got;
    next_ += got;
  }
  return given;
}

}  // namespace vantelo
