// The entry input: positioned fills and sequential refills.
#include "engine/pipeline/entry_input.h"

#include <cstring>

namespace vantelo {

// Bytes past count are never data; zeroing them keeps a short fill from
// leaving an older fill's bytes (say, a valid local header) behind.
void EntryInput::ClearTail() {
  std::memset(buffer.data() + count, 0, buffer.size() - static_cast<std::size_t>(count));
}

void EntryInput::Reset() {
  base = 0;
  count = pos = bitPos = limit = lastRead = 0;
  dataEnd = kNoDataEnd;
  filter_ = nullptr;
}

EntryResult EntryInput::FillAt(ZipSize offset) {
  if (source_ == nullptr || !source_->SeekTo(offset)) {
    // Nothing valid can be read there, or the file cannot seek.
    lastRead = -1;
    return EntryResult::kReadFailed;
  }
  const std::int32_t got = source_->Read(buffer.data(), kFill);
  lastRead = got;
  if (got < 0) return EntryResult::kReadFailed;
  base = offset;
  pos = 0;
  count = got;
  limit = count - kSlack;
  if (count < kFill) ClearTail();
  return EntryResult::kOk;
}

EntryResult EntryInput::Refill() {
  if (gate_ != nullptr) {
    const EntryResult verdict = gate_->BeforeRefill();
    if (verdict != EntryResult::kOk) return verdict;
  }

  // Keep the unconsumed bytes: move them to the front.
  base += pos;
  const std::int32_t keep = count - pos;
  if (keep > 0) std::memmove(buffer.data(), buffer.data() + pos, static_cast<std::size_t>(keep));
  count = keep > 0 ? keep : 0;
  pos = 0;
  limit = count - kSlack;

  const std::int32_t got = source_ != nullptr ? source_->Read(buffer.data() + count, kFill - count) : 0;
  lastRead = got;
  if (got < 0) return EntryResult::kReadFailed;
  count += got;
  limit = count - kSlack;
  if (count < kFill) ClearTail();
  if (filter_ != nullptr && got > 0) filter_->Apply(buffer.data() + count - got, got);

  // The archive ended with the decoder still short of input: its data is cut
  // off (a valid archive always has the central directory after the data).
  if (got == 0 && count <= kSlack) return EntryResult::kDamaged;
  return EntryResult::kOk;
}

EntryResult EntryInput::FeedFilter() {
  while (filter_ != nullptr && filter_->WantsMore()) {
    pos = count;
    bitPos = 0;
    const EntryResult result = Refill();
    if (result != EntryResult::kOk) return result;
    if (lastRead == 0) return EntryResult::kDamaged;
  }
  return EntryResult::kOk;
}

void EntryInput::SetFilter(InputFilter* filter) {
  filter_ = filter;
  if (filter_ != nullptr && pos >= 0 && pos < count) filter_->Apply(buffer.data() + pos, count - pos);
}

}  // namespace vantelo
