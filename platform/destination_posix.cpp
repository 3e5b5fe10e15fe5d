// POSIX implementation of destination.h: folder descriptors, *at() calls with
// O_NOFOLLOW, and O_TMPFILE files linked into place when complete.
#include "platform/destination.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#if defined(__linux__) && __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

#include "platform/cleanup_registry_posix.h"

namespace vantelo::platform {
namespace {

#ifdef O_PATH
constexpr int kFolderOpenFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

bool g_allowUnnamed = true;
bool g_allowWholePaths = true;

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

NameKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return NameKind::File;
  if (S_ISDIR(mode)) return NameKind::Folder;
  if (S_ISLNK(mode)) return NameKind::Link;
  return NameKind::Other;
}

// Linking an unnamed file into a folder goes through its /proc entry (linkat
// with AT_EMPTY_PATH needs a privilege); without /proc there are no unnamed files.
bool UnnamedFilesUsable() {
  static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
  return g_allowUnnamed && usable;
}

std::string ProcPath(FileHandle file) { return "/proc/self/fd/" + std::to_string(Fd(file)); }

// A fresh hidden name for a temporary file; unique enough that a clash is rare,
// and every use is exclusive, so a clash only costs another try.
std::string TempName() {
  static std::atomic<std::uint32_t> counter{0};  // pending files are made on several threads
  static const std::uint32_t process = static_cast<std::uint32_t>(::getpid()) << 16;
  const std::uint32_t mix = (TickCount() * 2654435761u) ^ (++counter * 40503u) ^ process;
  char name[32];
  std::snprintf(name, sizeof name, ".vantelo-%08x.tmp", static_cast<unsigned>(mix));
  return name;
}

// Gives the open unnamed file a hidden name in folder; empty when it fails.
std::string LinkUnderTempName(int folder, FileHandle file) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    const posix::TempFileMaking making;
    if (!making.Allowed()) break;
    std::string name = TempName();
    posix::RegisterTempName(folder, name.c_str());
    if (::linkat(AT_FDCWD, ProcPath(file).c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return name;
    const int error = errno;
    posix::UnregisterTempName(folder, name.c_str());
    if (error != EEXIST) break;
  }
  return {};
}

bool RenameNoReplaceAt(int fromFolder, const std::string& from, int toFolder, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // A hard link fails when to exists, which keeps the test and the rename one step.
  if (::linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0) == 0) {
    ::unlinkat(fromFolder, from.c_str(), 0);
    return true;
  }
  if (errno == EEXIST) return false;
  // File systems without hard links: the best that remains is test, then rename.
  struct stat st{};
  if (::fstatat(toFolder, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return false;
  return ::renameat(fromFolder, from.c_str(), toFolder, to.c_str()) == 0;
}

}  // namespace

FolderHandle OpenDestination(const std::string& path, bool create) {
  if (path.empty()) {
    const int fd = ::open(".", kFolderOpenFlags);
    return fd < 0 ? kNoFolder : fd;
  }
  if (create && !CreateDirectories(path)) return kNoFolder;
  const int fd = ::open(path.c_str(), kFolderOpenFlags);
  return fd < 0 ? kNoFolder : fd;
}

void CloseFolder(FolderHandle folder) {
  if (folder != kNoFolder) ::close(Fd(folder));
}

FolderResult OpenFolderLevel(FolderHandle parent, const std::string& name, bool create,
                             bool parentIsNew, bool& made, FolderHandle& folder) {
  folder = kNoFolder;
  made = false;
  const int dir = Fd(parent);
  // Open first: most levels are there already. In a folder made just now
  // nothing is, so that level is made first.
  // O_NOFOLLOW + O_DIRECTORY: a link here fails instead of being entered, even
  // one swapped in after the mkdirat below.
  int fd = parentIsNew ? -1 : ::openat(dir, name.c_str(), kFolderOpenFlags | O_NOFOLLOW);
  int error = parentIsNew ? ENOENT : errno;
  if (fd < 0 && error == ENOENT && create) {
    if (::mkdirat(dir, name.c_str(), 0777) == 0) {
      made = true;
    } else if (errno != EEXIST) {
      return FolderResult::Failed;
    }
    fd = ::openat(dir, name.c_str(), kFolderOpenFlags | O_NOFOLLOW);
    error = errno;
  }
  if (fd >= 0) {
    folder = fd;
    return FolderResult::Opened;
  }
  struct stat st{};
  if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return FolderResult::Failed;
  // A plain file in the way is a folder that cannot be made; anything else
  // (a link, a device, a pipe) is not to be gone through.
  if (S_ISREG(st.st_mode) || (error != ENOTDIR && error != ELOOP)) return FolderResult::Failed;
  return FolderResult::Unsafe;
}

bool OpenFolderPath(FolderHandle parent, const std::string& relative, FolderHandle& folder) {
  folder = kNoFolder;
#if defined(SYS_openat2) && defined(RESOLVE_NO_SYMLINKS)
  // openat2 refuses a link at any level (RESOLVE_NO_SYMLINKS) and a path that
  // would leave the parent (RESOLVE_BENEATH): the same rule as level by level.
  static bool available = true;
  if (!available || !g_allowWholePaths) return false;
  struct open_how how{};
  how.flags = kFolderOpenFlags | O_NOFOLLOW;
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
  const long fd = ::syscall(SYS_openat2, Fd(parent), relative.c_str(), &how, sizeof how);
  if (fd >= 0) {
    folder = static_cast<FolderHandle>(fd);
    return true;
  }
  // A kernel without the call, or a sandbox that refuses it: not asked again.
  if (errno == ENOSYS || errno == EPERM || errno == E2BIG) available = false;
  return false;
#else
  (void)parent;
  (void)relative;
  return false;
#endif
}

NameKind KindAt(FolderHandle folder, const std::string& name) {
  struct stat st{};
  if (::fstatat(Fd(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return NameKind::Nothing;
  return KindOfMode(st.st_mode);
}

bool CreatePendingFile(FolderHandle folder, PendingFile& pending) {
  pending = PendingFile{};
  pending.home = folder;
#ifdef O_TMPFILE
  if (UnnamedFilesUsable()) {
    const int fd = ::openat(Fd(folder), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      pending.file = fd;
      return true;
    }
    // Not every file system makes unnamed files; a named one is the fallback.
  }
#endif
  for (int attempt = 0; attempt < 64; ++attempt) {
    const posix::TempFileMaking making;
    if (!making.Allowed()) return false;
    std::string name = TempName();
    posix::RegisterTempName(Fd(folder), name.c_str());
    const int fd = ::openat(Fd(folder), name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      pending.file = fd;
      pending.tempName = std::move(name);
      return true;
    }
    const int error = errno;
    posix::UnregisterTempName(Fd(folder), name.c_str());
    // Anything but a name clash (a read-only folder, no space) will not go away.
    if (error != EEXIST) return false;
  }
  return false;
}

namespace {

// Copies the pending file into a new pending file in folder, which takes its
// place: a folder on another file system than the file's home (a mount point
// below the destination) cannot take it by a link or a rename. The copy keeps
// the file's modification time. False, with the pending file as it was, when
// that fails too.
bool MoveToFolder(FolderHandle folder, PendingFile& pending) {
  const int from = pending.tempName.empty()
                       ? ::open(ProcPath(pending.file).c_str(), O_RDONLY | O_CLOEXEC)
                       : ::openat(Fd(pending.home), pending.tempName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (from < 0) return false;
  PendingFile moved;
  bool copied = CreatePendingFile(folder, moved);
  std::vector<char> buffer(copied ? 1 << 16 : 0);
  while (copied) {
    const ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      copied = n == 0;
      break;
    }
    copied = Write(moved.file, buffer.data(), static_cast<std::int32_t>(n)) == n;
  }
  struct stat st{};
  if (copied && ::fstat(from, &st) == 0) {
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(Fd(moved.file), times);
  }
  ::close(from);
  if (!copied) {
    DiscardPendingFile(moved);
    return false;
  }
  DiscardPendingFile(pending);
  pending = std::move(moved);
  return true;
}

}  // namespace

PublishResult PublishPendingFile(FolderHandle folder, PendingFile& pending,
                                 const std::string& name, bool replace) {
  const int dir = Fd(folder);
  // A run over files extracted before finds every name taken: after a taken
  // name, the next seven replacing publications go straight to the rename
  // (which gives a free name as well), and the eighth tries linkat again.
  thread_local int skipLinkAttempts = 0;
  if (pending.tempName.empty()) {
    // linkat never replaces: the name is taken or it is given, in one step.
    // Where the name is free that is all a replacing run needs too.
    if (replace && skipLinkAttempts > 0) {
      --skipLinkAttempts;
    } else {
      if (::linkat(AT_FDCWD, ProcPath(pending.file).c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        Close(pending.file);
        pending.file = kNoFile;
        return PublishResult::Published;
      }
      const bool taken = errno == EEXIST;
      if (errno == EXDEV && pending.home != folder && MoveToFolder(folder, pending))
        return PublishPendingFile(folder, pending, name, replace);
      if (!taken) return PublishResult::Failed;
      if (!replace) {
        DiscardPendingFile(pending);
        return PublishResult::NameTaken;
      }
      skipLinkAttempts = 7;
    }
    // Replacing needs a rename, which needs a name to rename from.
    pending.tempName = LinkUnderTempName(Fd(pending.home), pending.file);
    if (pending.tempName.empty()) return PublishResult::Failed;
  }
  const int from = Fd(pending.home);
  bool moved;
  if (replace) {
    // rename never follows a link at the target: the link itself is replaced.
    // It fails on a folder, which is not to be replaced.
    moved = ::renameat(from, pending.tempName.c_str(), dir, name.c_str()) == 0;
  } else {
    moved = RenameNoReplaceAt(from, pending.tempName, dir, name);
  }
  const int error = errno;
  if (moved) {
    Close(pending.file);
    pending.file = kNoFile;
    posix::UnregisterTempName(from, pending.tempName.c_str());
    pending.tempName.clear();
    return PublishResult::Published;
  }
  if (error == EXDEV && pending.home != folder && MoveToFolder(folder, pending))
    return PublishPendingFile(folder, pending, name, replace);
  if (!replace && KindAt(folder, name) != NameKind::Nothing) {
    DiscardPendingFile(pending);
    return PublishResult::NameTaken;
  }
  return PublishResult::Failed;
}

void DiscardPendingFile(PendingFile& pending) {
  if (pending.file != kNoFile) {
    Close(pending.file);
    pending.file = kNoFile;
  }
  if (!pending.tempName.empty()) {
    ::unlinkat(Fd(pending.home), pending.tempName.c_str(), 0);
    posix::UnregisterTempName(Fd(pending.home), pending.tempName.c_str());
    pending.tempName.clear();
  }
}

void AllowUnnamedPendingFiles(bool allow) { g_allowUnnamed = allow; }

void AllowWholePathOpens(bool allow) { g_allowWholePaths = allow; }

std::size_t FolderCacheLimit() {
  // Half of what the process may open, at most 1024 (descriptors stay below
  // the numbers select() can take where the limit allows that).
  struct rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1024;
  return static_cast<std::size_t>(std::clamp<rlim_t>(limit.rlim_cur / 2, 16, 1024));
}

}  // namespace vantelo::platform
