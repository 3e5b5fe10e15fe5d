// Writing below a destination folder without ever going through a link.
//
// The destination is opened once per run; every folder and file of an
// extraction is then made relative to an open folder, one name at a time (or
// a whole path of existing folders at once where the system can refuse every
// link on it), so a symbolic link (or, on Windows, a reparse point) planted
// below the destination is never followed, and a name swapped for a link
// between a check and a write cannot redirect anything. The folders reached
// stay open for the run (FolderCache), so a file costs only its own calls.
// The destination path itself may be a link: it is the user's choice (a
// Downloads folder often is one).
//
// A file is written as a pending file and appears under its name only when it
// is published, so a half-written file never stands under a real name. Where
// the system allows it the pending file has no name at all until then, so even
// a killed process leaves nothing behind; otherwise it has a hidden temporary
// name in its folder, which the interrupt handler (interrupt_cleanup.h)
// removes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"

namespace vantelo::platform {

// An open folder. kNoFolder marks "no folder".
using FolderHandle = std::intptr_t;
inline constexpr FolderHandle kNoFolder = -1;

// Opens the destination folder, creating it and its missing parents when asked
// (links in this path are followed). An empty path is the current folder.
FolderHandle OpenDestination(const std::string& path, bool create);
void CloseFolder(FolderHandle folder);

enum class FolderResult {
  Opened,
  Unsafe,  // a link or something other than a folder stands at one of the levels
  Failed   // missing (create == false) or could not be made
};
// Opens the folder name (one level, never "." or "..") in parent, making it
// when it is missing and create is true; a link there is never followed.
// parentIsNew says parent was made just now, so the level cannot be there yet.
// made tells whether this call made the folder. On Opened, folder holds a new
// handle to close.
FolderResult OpenFolderLevel(FolderHandle parent, const std::string& name, bool create,
                             bool parentIsNew, bool& made, FolderHandle& folder);
// Opens the existing folder at relative (levels separated by '/', no "." or
// "..") below parent in one step, where the system can resolve a whole path
// without going through any link. False when it cannot, for whatever reason
// (a missing level, a link, a file, no such call): the caller then opens the
// levels one by one, which tells the reasons apart.
bool OpenFolderPath(FolderHandle parent, const std::string& relative, FolderHandle& folder);

// How many folders a FolderCache keeps open: a share of the handles a process
// may hold, so that the rest of the program never runs short of them.
std::size_t FolderCacheLimit();

// The folders of one run below its base folder, kept open while the run
// lasts, so that the next file in a folder already reached opens nothing and
// one in another folder opens it from its nearest open ancestor. Holds at most
// FolderCacheLimit() handles; the one used longest ago is closed first. It
// also remembers which folders the run has met and which it made: a folder
// made by the run has nothing in it yet but what the run made, so its new
// levels are made without looking first.
//
// A kept handle cannot be fooled by a folder swapped for a link later on: it
// is the folder that was opened and checked, not a path looked up again, and
// names inside it are resolved relative to it without following a link. A
// file made there goes into that folder, wherever it was moved to, and never
// where a link now standing under its old name points.
class FolderCache {
 public:
  FolderCache() = default;
  FolderCache(const FolderCache&) = delete;
  FolderCache& operator=(const FolderCache&) = delete;
  ~FolderCache() { Clear(); }

  // Opens the folder at relative (levels separated by '/' or '\\', empty and
  // "." levels ignored, ".." refused as unsafe) below base, making each
  // missing level when create is true. No level is ever a followed link. On
  // Opened, folder is the cache's own handle: not to be closed, and valid
  // until the next Open or Clear. base stays open while the cache is used;
  // another base empties the cache first.
  FolderResult Open(FolderHandle base, const std::string& relative, bool create,
                    FolderHandle& folder);
  // Closes every folder the cache holds (never the base) and forgets the rest.
  void Clear();
  std::size_t OpenCount() const { return open_.size(); }

 private:
  struct Kept {
    std::string path;  // levels joined by '/'
    FolderHandle handle;
  };
  // Keeps handle as the folder at path, closing the one used longest ago
  // when the cache is full.
  void Keep(const std::string& path, FolderHandle handle);
  // Opens the levels of path_ from index first on, one at a time, starting
  // in the open folder at (atIsNew: made by this run); keeps each.
  FolderResult Walk(FolderHandle at, std::size_t first, bool create, bool atIsNew,
                    FolderHandle& folder);
  // Levels [from, to) of path_ joined by '/'; Prefix(n): the first n levels.
  std::string Levels(std::size_t from, std::size_t to) const {
    const std::size_t start = from == 0 ? 0 : ends_[from - 1] + 1;
    return path_.substr(start, ends_[to - 1] - start);
  }
  std::string Prefix(std::size_t levels) const { return path_.substr(0, ends_[levels - 1]); }

  FolderHandle base_ = kNoFolder;
  std::size_t limit_ = 0;
  std::list<Kept> open_;  // the one used last first
  std::unordered_map<std::string, std::list<Kept>::iterator> byPath_;
  std::unordered_set<std::string> met_, made_;  // folders the run opened, made
  // The path being opened, its levels joined by '/', and where each ends.
  std::string path_;
  std::vector<std::size_t> ends_;
};

// What stands under a name in a folder; links are reported, not followed.
enum class NameKind { Nothing, File, Folder, Link, Other };
NameKind KindAt(FolderHandle folder, const std::string& name);

// A file being written into a folder that is not yet visible under its name.
struct PendingFile {
  FileHandle file = kNoFile;
  FolderHandle home = kNoFolder;  // the folder it was made in (not owned)
  std::string tempName;  // its hidden name in home; empty while it has none
};
// Creates a new pending file in folder (its home, which must stay open until
// the file is published or discarded); false when none can be created.
// Safe from several threads at once.
bool CreatePendingFile(FolderHandle folder, PendingFile& pending);

enum class PublishResult {
  Published,
  NameTaken,  // replace == false and something already has the name
  Failed
};
// Gives the complete pending file its name in folder, which may be another
// folder than its home on the same file system, replacing whatever file or
// link has the name when replace is true (never a folder), and closes it. On
// NameTaken the pending file is discarded; on Failed it is kept as it was, to
// be published elsewhere or discarded.
PublishResult PublishPendingFile(FolderHandle folder, PendingFile& pending,
                                 const std::string& name, bool replace);
// Closes the pending file and removes it; nothing of it remains.
void DiscardPendingFile(PendingFile& pending);

// Tests only: when false, pending files always get a hidden temporary name, as
// on file systems that cannot make unnamed files.
void AllowUnnamedPendingFiles(bool allow);
// Tests only: when false, OpenFolderPath always fails, as on systems that
// cannot resolve a path without links in one call.
void AllowWholePathOpens(bool allow);

}  // namespace vantelo::platform
