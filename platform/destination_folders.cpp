// FolderCache (destination.h): the same on every system; the levels are
// opened by the system's own destination file.
#include "platform/destination.h"

namespace vantelo::platform {
namespace {

// Beyond this many the run's memory of folders met and made starts afresh;
// it only saves looking, so forgetting costs a few calls, never a check.
constexpr std::size_t kRememberedFolders = 1 << 16;

}  // namespace

FolderResult FolderCache::Open(FolderHandle base, const std::string& relative, bool create,
                               FolderHandle& folder) {
  folder = kNoFolder;
  if (base != base_) {
    Clear();
    base_ = base;
    limit_ = FolderCacheLimit();
  }
  path_.clear();
  ends_.clear();
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find_first_of("/\\", start);
    if (end == std::string::npos) end = relative.size();
    const std::string_view level(relative.data() + start, end - start);
    start = end + 1;
    if (level.empty() || level == ".") continue;
    if (level == "..") return FolderResult::Unsafe;
    if (!path_.empty()) path_ += '/';
    path_ += level;
    ends_.push_back(path_.size());
  }
  const std::size_t count = ends_.size();
  if (count == 0) {
    folder = base;
    return FolderResult::Opened;
  }

  // The nearest folder open already: usually the entry's own.
  std::size_t have = count;
  FolderHandle from = base;
  for (; have > 0; --have) {
    const auto kept = byPath_.find(have == count ? path_ : Prefix(have));
    if (kept != byPath_.end()) {
      open_.splice(open_.begin(), open_, kept->second);
      from = kept->second->handle;
      break;
    }
  }
  if (have == count) {
    folder = from;
    return FolderResult::Opened;
  }

  // The deepest level this run has met before, at or below the open one.
  std::size_t met = count;
  while (met > have && met_.count(met == count ? path_ : Prefix(met)) == 0) --met;
  FolderHandle next = kNoFolder;
  if (met > 0 && met < count && made_.count(Prefix(met)) != 0) {
    // Made by this run: the levels below it that the run has not met are
    // not there yet. Reach it, then make the rest.
    if (met == have) return Walk(from, met, create, true, folder);
    if (OpenFolderPath(from, Levels(have, met), next)) {
      Keep(Prefix(met), next);
      return Walk(next, met, create, true, folder);
    }
  } else if (OpenFolderPath(from, Levels(have, count), next)) {
    // Every level there already, none a link: the whole rest at once.
    Keep(path_, next);
    for (std::size_t i = have + 1; i <= count; ++i) met_.insert(Prefix(i));
    folder = next;
    return FolderResult::Opened;
  }
  // Otherwise level by level, each checked on its own (a missing level, a
  // link, a file in the way, or no call that resolves a whole path).
  return Walk(from, have, create, false, folder);
}

FolderResult FolderCache::Walk(FolderHandle at, std::size_t first, bool create, bool atIsNew,
                               FolderHandle& folder) {
  if (met_.size() > kRememberedFolders || made_.size() > kRememberedFolders) {
    met_.clear();
    made_.clear();
  }
  for (std::size_t i = first; i < ends_.size(); ++i) {
    bool made = false;
    FolderHandle next = kNoFolder;
    const FolderResult result = OpenFolderLevel(at, Levels(i, i + 1), create, atIsNew, made, next);
    if (result != FolderResult::Opened) return result;
    const std::string path = Prefix(i + 1);
    // Kept for the entries that follow (a run usually goes on beside this
    // folder); keeping it may close at, which is not needed any more.
    Keep(path, next);
    met_.insert(path);
    if (made) made_.insert(path);
    at = next;
    atIsNew = made;
  }
  folder = at;
  return FolderResult::Opened;
}

void FolderCache::Keep(const std::string& path, FolderHandle handle) {
  const auto known = byPath_.find(path);
  if (known != byPath_.end()) {  // not reached: only folders not kept are opened
    CloseFolder(known->second->handle);
    open_.erase(known->second);
    byPath_.erase(known);
  }
  if (open_.size() >= limit_ && !open_.empty()) {
    CloseFolder(open_.back().handle);
    byPath_.erase(open_.back().path);
    open_.pop_back();
  }
  open_.push_front(Kept{path, handle});
  byPath_[path] = open_.begin();
}

void FolderCache::Clear() {
  for (const Kept& kept : open_) CloseFolder(kept.handle);
  open_.clear();
  byPath_.clear();
  met_.clear();
  made_.clear();
  base_ = kNoFolder;
}

}  // namespace vantelo::platform
