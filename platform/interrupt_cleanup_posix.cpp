// POSIX interrupt cleanup: a small fixed table of temporary names and the
// private folder, whose whole tree a handler for SIGINT, SIGTERM and SIGHUP
// removes.
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <mutex>

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
// A pending file per entry in flight: a parallel batch holds up to four per thread.
TempSlot g_slots[80];

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

// Batches make pending files on several threads; the handler takes no lock
// (a slot is marked used only once its name is complete).
std::mutex g_slotsLock;

bool RegisterTempName(int folderFd, const char* name) {
  if (std::strlen(name) >= sizeof g_slots[0].name) return false;
  const std::lock_guard<std::mutex> lock(g_slotsLock);
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
  const std::lock_guard<std::mutex> lock(g_slotsLock);
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

std::atomic<int> g_making{0};
std::atomic<bool> g_exiting{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the handler reads them");

TempFileMaking::TempFileMaking() {
  g_making.fetch_add(1);
  allowed_ = !g_exiting.load();
}

TempFileMaking::~TempFileMaking() { g_making.fetch_sub(1); }

// Waits up to 100 ms for files being made on other threads to be registered
// and made (the handler may also have interrupted its own thread there).
void WaitForFilesBeingMade() {
  timespec start{};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  while (g_making.load() > 0) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const long elapsedMs = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1'000'000;
    if (elapsedMs >= 100) break;
  }
}

void RemoveRegisteredFiles() {
  g_exiting.store(true);
  WaitForFilesBeingMade();
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
