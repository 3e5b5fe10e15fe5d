#include "engine/pipeline/sink.h"

#include <utility>

namespace vantelo {

bool PendingFileSink::Create(platform::FolderHandle folder) {
  Discard();
  return platform::CreatePendingFile(folder, pending_);
}

bool PendingFileSink::Put(const std::uint8_t* data, std::int32_t n) {
  // A write that cannot complete is a failure: the file would be short.
  return platform::Write(pending_.file, data, n) == n;
}

platform::PublishResult PendingFileSink::Publish(platform::FolderHandle folder, const std::string& name,
                                                bool overwrite) {
  // Published or taken, the sink holds no file afterwards; a failure leaves it.
  return platform::PublishPendingFile(folder, pending_, name, overwrite);
}

void PendingFileSink::Discard() {
  if (pending_.file == platform::kNoFile && pending_.tempName.empty()) return;
  platform::PendingFile pending = std::exchange(pending_, platform::PendingFile{});
  platform::DiscardPendingFile(pending);
}

}  // namespace vantelo
