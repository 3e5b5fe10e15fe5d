// POSIX interrupt cleanup: a small fixed table of temporary names and the
// private folder, whose whole tree a handler for SIGINT, SIGTERM and SIGHUP
// removes.
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "platform/cleanup_registry_posix.h"
#include "platform/interrupt_cleanup.h"

namespace vantelo::platform {
namespace posix {
namespace {

// A slot is filled first and marked used last, so the handler never reads a
// half-written one. The engine has one pending file at a time; a few spare
// slots cover a name made while another is being published.
struct TempSlot {
  volatile sig_atomic_t used = 0;
  int folderFd = -1;
  char name[64] = {};
};
TempSlot g_slots[8];

char g_privateFolder[4096] = {};
volatile sig_atomic_t g_havePrivateFolder = 0;

// Folders below the private one are removed down to this depth; the program
// makes only drag-N/ and drag-N/K/ there, so a deeper tree is not its own.
constexpr int kMaxDepth = 16;
// A folder is read again while a reading removed something (removing names
// while reading a folder may make the reading skip some), at most this often.
constexpr int kMaxPasses = 64;

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes what the folder open as folderFd holds: files and links unlinked,
// folders emptied the same way (opened without following a link, depth
// levels at most) and removed. Only async-signal-safe calls and the stack:
// Linux's getdents64 instead of readdir, which may allocate.
void EmptyFolder(int folderFd, int depth) {
  alignas(8) char buffer[2048];
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    if (::lseek(folderFd, 0, SEEK_SET) != 0) return;
    bool removed = false;
    for (;;) {
      const long n = ::syscall(SYS_getdents64, folderFd, buffer, sizeof buffer);
      if (n <= 0) break;
      for (long at = 0; at < n;) {
        // struct linux_dirent64: ino (8), off (8), reclen (2), type (1), name.
        unsigned short reclen = 0;
        std::memcpy(&reclen, buffer + at + 16, sizeof reclen);
        const char* name = buffer + at + 19;
        at += reclen;
        if (reclen == 0) return;
        if (IsDotOrDotDot(name)) continue;
        if (::unlinkat(folderFd, name, 0) == 0) {
          removed = true;
          continue;
        }
        // Not removable as a file: a folder (a link would have been unlinked).
        if (depth > 0) {
          const int sub = ::openat(folderFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
          if (sub >= 0) {
            EmptyFolder(sub, depth - 1);
            ::close(sub);
          }
        }
        if (::unlinkat(folderFd, name, AT_REMOVEDIR) == 0) removed = true;
      }
    }
    if (!removed) return;
  }
}

}  // namespace

bool RegisterTempName(int folderFd, const char* name) {
  if (std::strlen(name) >= sizeof g_slots[0].name) return false;
  for (TempSlot& slot : g_slots) {
    if (slot.used) continue;
    slot.folderFd = folderFd;
    std::strcpy(slot.name, name);
    slot.used = 1;
    return true;
  }
  return false;
}

void UnregisterTempName(int folderFd, const char* name) {
  for (TempSlot& slot : g_slots) {
    if (slot.used && slot.folderFd == folderFd && std::strcmp(slot.name, name) == 0) slot.used = 0;
  }
}

void RegisterPrivateFolder(const char* path) {
  g_havePrivateFolder = 0;
  std::size_t length = std::strlen(path);
  // Without a trailing '/', so that O_NOFOLLOW applies to the folder itself.
  while (length > 1 && path[length - 1] == '/') --length;
  if (length >= sizeof g_privateFolder) return;
  std::memcpy(g_privateFolder, path, length);
  g_privateFolder[length] = '\0';
  g_havePrivateFolder = 1;
}

void RemoveRegisteredFiles() {
  for (TempSlot& slot : g_slots) {
    if (slot.used) ::unlinkat(slot.folderFd, slot.name, 0);
  }
  if (g_havePrivateFolder) {
    const int fd = ::open(g_privateFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
      EmptyFolder(fd, kMaxDepth);
      ::close(fd);
    }
    ::rmdir(g_privateFolder);
  }
}

}  // namespace posix

namespace {

void OnInterrupt(int signalNumber) {
  posix::RemoveRegisteredFiles();
  // The handler was installed with SA_RESETHAND: the signal raised again is
  // delivered with its default action once this handler returns.
  ::raise(signalNumber);
}

}  // namespace

void InstallInterruptCleanup() {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old{};
    if (::sigaction(signalNumber, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction action{};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(signalNumber, &action, nullptr);
  }
}

}  // namespace vantelo::platform
