#include "engine/pipeline/output_window.h"

#include <cstring>

#include "engine/crc32.h"

namespace vantelo {

EntryResult OutputWindow::Flush() {
  const std::int32_t pending = pos - start;
  if (bytesDone_ != nullptr) bytesDone_->fetch_add(pending, std::memory_order_relaxed);
  if (pending > 0) {
    if (sink_ != nullptr && !sink_->Put(bytes.data() + start, pending)) return EntryResult::kWriteFailed;
    delivered += pending;
    crc = CrcUpdate(crc, bytes.data() + start, static_cast<std::size_t>(pending));
  }
  if (pos >= shape.flushPoint) {
    // Keep the history right before pos.
    std::memmove(bytes.data(), bytes.data() + pos - shape.history, static_cast<std::size_t>(shape.history));
    pos = shape.history;
  }
  start = pos;
  return EntryResult::kOk;
}

}  // namespace vantelo
