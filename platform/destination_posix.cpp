// POSIX implementation of destination.h: folder descriptors, *at() calls with
// O_NOFOLLOW, and O_TMPFILE files linked into place when complete.
#include "platform/destination.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cleanup_registry_posix.h"

namespace vantelo::platform {
namespace {

#ifdef O_PATH
constexpr int kFolderOpenFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

bool g_allowUnnamed = true;

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
  static std::uint32_t counter = 0;
  const std::uint32_t mix = (TickCount() * 2654435761u) ^ (++counter * 40503u) ^
                            (static_cast<std::uint32_t>(::getpid()) << 16);
  char name[32];
  std::snprintf(name, sizeof name, ".vantelo-%08x.tmp", static_cast<unsigned>(mix));
  return name;
}

// Gives the open unnamed file a hidden name in folder; empty when it fails.
std::string LinkUnderTempName(int folder, FileHandle file) {
  for (int attempt = 0; attempt < 64; ++attempt) {
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

bool RenameNoReplaceAt(int folder, const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // A hard link fails when to exists, which keeps the test and the rename one step.
  if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) == 0) {
    ::unlinkat(folder, from.c_str(), 0);
    return true;
  }
  if (errno == EEXIST) return false;
  // File systems without hard links: the best that remains is test, then rename.
  struct stat st{};
  if (::fstatat(folder, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return false;
  return ::renameat(folder, from.c_str(), folder, to.c_str()) == 0;
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

FolderResult OpenFolderBelow(FolderHandle base, const std::string& relative, bool create,
                             FolderHandle& folder) {
  folder = kNoFolder;
  int current = ::fcntl(Fd(base), F_DUPFD_CLOEXEC, 0);
  if (current < 0) return FolderResult::Failed;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find_first_of("/\\", start);
    if (end == std::string::npos) end = relative.size();
    const std::string level = relative.substr(start, end - start);
    start = end + 1;
    if (level.empty() || level == ".") continue;
    if (level == "..") {
      ::close(current);
      return FolderResult::Unsafe;
    }
    if (create && ::mkdirat(current, level.c_str(), 0777) != 0 && errno != EEXIST) {
      ::close(current);
      return FolderResult::Failed;
    }
    // O_NOFOLLOW + O_DIRECTORY: a link here fails instead of being entered, even
    // one swapped in after the mkdirat above.
    const int next = ::openat(current, level.c_str(), kFolderOpenFlags | O_NOFOLLOW);
    const int error = errno;
    if (next < 0) {
      struct stat st{};
      const bool present = ::fstatat(current, level.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
      ::close(current);
      if (!present) return FolderResult::Failed;
      // A plain file in the way is a folder that cannot be made; anything else
      // (a link, a device, a pipe) is not to be gone through.
      if (S_ISREG(st.st_mode) || (error != ENOTDIR && error != ELOOP)) return FolderResult::Failed;
      return FolderResult::Unsafe;
    }
    ::close(current);
    current = next;
  }
  folder = current;
  return FolderResult::Opened;
}

NameKind KindAt(FolderHandle folder, const std::string& name) {
  struct stat st{};
  if (::fstatat(Fd(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return NameKind::Nothing;
  return KindOfMode(st.st_mode);
}

bool CreatePendingFile(FolderHandle folder, PendingFile& pending) {
  pending = PendingFile{};
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

PublishResult PublishPendingFile(FolderHandle folder, PendingFile& pending,
                                 const std::string& name, bool replace) {
  const int dir = Fd(folder);
  if (pending.tempName.empty()) {
    if (!replace) {
      // linkat never replaces: the name is taken or it is given, in one step.
      const bool linked = ::linkat(AT_FDCWD, ProcPath(pending.file).c_str(), dir, name.c_str(),
                                   AT_SYMLINK_FOLLOW) == 0;
      const bool taken = !linked && errno == EEXIST;
      DiscardPendingFile(folder, pending);
      return linked ? PublishResult::Published
                    : taken ? PublishResult::NameTaken : PublishResult::Failed;
    }
    // Replacing needs a rename, which needs a name to rename from.
    pending.tempName = LinkUnderTempName(dir, pending.file);
    if (pending.tempName.empty()) {
      DiscardPendingFile(folder, pending);
      return PublishResult::Failed;
    }
  }
  Close(pending.file);
  pending.file = kNoFile;
  bool moved;
  if (replace) {
    // rename never follows a link at the target: the link itself is replaced.
    // It fails on a folder, which is not to be replaced.
    moved = ::renameat(dir, pending.tempName.c_str(), dir, name.c_str()) == 0;
  } else {
    moved = RenameNoReplaceAt(dir, pending.tempName, name);
  }
  const bool taken = !moved && !replace && KindAt(folder, name) != NameKind::Nothing;
  if (moved) {
    posix::UnregisterTempName(dir, pending.tempName.c_str());
    pending.tempName.clear();
    return PublishResult::Published;
  }
  DiscardPendingFile(folder, pending);
  return taken ? PublishResult::NameTaken : PublishResult::Failed;
}

void DiscardPendingFile(FolderHandle folder, PendingFile& pending) {
  if (pending.file != kNoFile) {
    Close(pending.file);
    pending.file = kNoFile;
  }
  if (!pending.tempName.empty()) {
    ::unlinkat(Fd(folder), pending.tempName.c_str(), 0);
    posix::UnregisterTempName(Fd(folder), pending.tempName.c_str());
    pending.tempName.clear();
  }
}

void AllowUnnamedPendingFiles(bool allow) { g_allowUnnamed = allow; }

}  // namespace vantelo::platform
