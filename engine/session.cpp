// The default session, the catalog's ownership and the error it reports.
#include "engine/session.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace vantelo {

void EntryMarks::Reset(std::size_t count) {
  selected_.assign(count, 0);
  verdicts_ = std::make_unique<std::atomic<const char*>[]>(count);  // value-initialized: no verdicts
}

void Catalog::Swap(Catalog& other) noexcept {
  using std::swap;
  swap(archiveName, other.archiveName);
  swap(archiveHandle, other.archiveHandle);
  swap(archiveSize, other.archiveSize);
  swap(endRecordOffset, other.endRecordOffset);
  swap(centralOffset, other.centralOffset);
  swap(entries, other.entries);
  swap(totalSize, other.totalSize);
  swap(nameCharset, other.nameCharset);
  swap(entryLimits, other.entryLimits);
  swap(entriesOverlap, other.entriesOverlap);
  swap(recovered, other.recovered);
  swap(recoveredIncomplete, other.recoveredIncomplete);
}

void Session::Commit(Catalog&& opened) {
  catalog = std::move(opened);
  // Every way of opening finds the limits; a catalog put together otherwise
  // gets them here, so a batch can rely on them.
  if (catalog.entryLimits.size() != catalog.entries.size()) FindCatalogLimits(catalog);
  marks.Reset(catalog.entries.size());
}

void Session::SetFailure(const FailureText& failure) {
  errorNo = failure.number;
  errorMessage = failure.message;
}

std::int32_t Session::Threads() const {
  if (threadCount > 0) return threadCount;
  return std::clamp(static_cast<std::int32_t>(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

Session& DefaultSession() {
  // Made once and never freed: it lives until the process ends.
  static Session* session = new Session();
  return *session;
}

void EngineStartup() { DefaultSession(); }

void EngineShutdown() {
  Session& s = DefaultSession();
  s.Commit(Catalog{});
  s.ClearError();
}

}  // namespace vantelo
