// POSIX implementation of the platform layer.
#include "platform/platform.h"

#include "platform/cleanup_registry_posix.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <iostream>
#include <unordered_map>

namespace vantelo::platform {
namespace {

int Fd(FileHandle file) { return static_cast<int>(file); }

std::uint32_t MonotonicMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

TickSource g_tickSource = nullptr;

std::string WithoutTrailingSeparator(const std::string& path) {
  if (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
    return path.substr(0, path.size() - 1);
  return path;
}

std::time_t LocalToUtc(std::uint16_t dosDate, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = ((dosDate >> 9) & 0x7F) + 80;
  local.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
  local.tm_mday = dosDate & 0x1F;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

// A DOS date and time (local time) as seconds since 1970 (UTC).
//
// mktime reads the time zone's rules again on every call (a stat of their
// file each time), and the files of an archive mostly share the hours they
// were stamped in. So the first and the last second of each local hour met
// are converted once and kept for a minute; when they lie 3599 seconds
// apart, the offset does not change within the hour and any time in it is
// its start plus its minutes and seconds. Other hours (a change of offset,
// times out of range) go to mktime every time. Another TZ empties the cache.
std::time_t DosTimeToUtc(std::uint16_t dosDate, std::uint16_t dosTime) {
  const int hour = (dosTime >> 11) & 0x1F, minute = (dosTime >> 5) & 0x3F, second = (dosTime & 0x1F) * 2;
  if (minute > 59 || second > 59) return LocalToUtc(dosDate, hour, minute, second);
  struct Hour {
    std::time_t start;
    bool steady;
  };
  thread_local std::unordered_map<std::uint32_t, Hour> hours;
  thread_local std::uint32_t keptSince = 0;
  thread_local std::string keptZone;
  const std::uint32_t now = MonotonicMilliseconds();
  const char* zone = std::getenv("TZ");
  if (now - keptSince >= 60000 || hours.size() >= 4096 || keptZone != (zone ? zone : "")) {
    hours.clear();  // the time zone may have changed since
    keptSince = now;
    keptZone = zone ? zone : "";
  }
  const std::uint32_t key = (static_cast<std::uint32_t>(dosDate) << 5) | static_cast<std::uint32_t>(hour);
  auto known = hours.find(key);
  if (known == hours.end()) {
    const std::time_t start = LocalToUtc(dosDate, hour, 0, 0);
    const std::time_t last = LocalToUtc(dosDate, hour, 59, 59);
    const bool steady = start != static_cast<std::time_t>(-1) && last - start == 3599;
    known = hours.emplace(key, Hour{start, steady}).first;
  }
  if (!known->second.steady) return LocalToUtc(dosDate, hour, minute, second);
  return known->second.start + minute * 60 + second;
}

}  // namespace

char NativeSeparator() { return '/'; }

bool NameLevelFits(const std::string& level) { return level.size() <= NAME_MAX; }

FileHandle OpenForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kNoFile;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kNoFile;
  }
#ifdef POSIX_FADV_SEQUENTIAL
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return fd;
}

FileHandle CreateForWriting(const std::string& path, CreateMode mode) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
  flags |= (mode == CreateMode::New) ? O_EXCL : O_TRUNC;
  // O_NOFOLLOW: a link planted where the file should go is not followed.
  flags |= O_NOFOLLOW;
  const int fd = ::open(path.c_str(), flags, 0666);
  return fd < 0 ? kNoFile : fd;
}

namespace {

// Reads up to count bytes with readSome(to, done), one read call for the
// rest after `done` bytes, on through short reads and interruptions: the
// bytes read (0 at the end), or -1 when the first read failed.
template <typename ReadSome>
std::int32_t ReadFully(void* buffer, std::int32_t count, ReadSome readSome) {
  auto* out = static_cast<char*>(buffer);
  std::int32_t total = 0;
  while (total < count) {
    const ssize_t n = readSome(out + total, total);
    if (n < 0) {
      if (errno == EINTR) continue;
      return total > 0 ? total : -1;
    }
    if (n == 0) break;
    total += static_cast<std::int32_t>(n);
  }
  return total;
}

}  // namespace

std::int32_t Read(FileHandle file, void* buffer, std::int32_t count) {
  if (file == kNoFile || count < 0) return -1;
  return ReadFully(buffer, count, [&](char* to, std::int32_t done) {
    return ::read(Fd(file), to, static_cast<size_t>(count - done));
  });
}

std::int32_t Write(FileHandle file, const void* buffer, std::int32_t count) {
  if (file == kNoFile || count < 0) return -1;
  const auto* in = static_cast<const char*>(buffer);
  std::int32_t total = 0;
  while (total < count) {
    const ssize_t n = ::write(Fd(file), in + total, static_cast<size_t>(count - total));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) return -1;
    total += static_cast<std::int32_t>(n);
  }
  return total;
}

std::int32_t ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::int32_t count) {
  if (file == kNoFile || count < 0 || offset < 0) return -1;
  return ReadFully(buffer, count, [&](char* to, std::int32_t done) {
    return ::pread(Fd(file), to, static_cast<size_t>(count - done), static_cast<off_t>(offset + done));
  });
}

std::int64_t Seek(FileHandle file, std::int64_t offset, SeekOrigin origin) {
  if (file == kNoFile) return -1;
  const int whence = origin == SeekOrigin::Begin ? SEEK_SET
                     : origin == SeekOrigin::Current ? SEEK_CUR
                                                     : SEEK_END;
  const off_t pos = ::lseek(Fd(file), static_cast<off_t>(offset), whence);
  return pos < 0 ? -1 : static_cast<std::int64_t>(pos);
}

void Close(FileHandle file) {
  if (file != kNoFile) ::close(Fd(file));
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool FileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0;
}

bool CreateDirectories(const std::string& path) {
  const std::string target = WithoutTrailingSeparator(path);
  if (target.empty()) return false;
  // Walk the levels from the top; each missing one is created in turn.
  for (std::size_t i = 1; i <= target.size(); ++i) {
    if (i == target.size() || target[i] == '/') {
      const std::string level = target.substr(0, i);
      if (!DirectoryExists(level)) ::mkdir(level.c_str(), 0777);
    }
  }
  return DirectoryExists(target);
}

bool SetLastWriteTimeFromDos(FileHandle file, std::uint16_t dosDate, std::uint16_t dosTime) {
  const std::time_t when = DosTimeToUtc(dosDate, dosTime);
  if (when == static_cast<std::time_t>(-1)) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // access time untouched
  times[1].tv_sec = when;
  times[1].tv_nsec = 0;
  return ::futimens(Fd(file), times) == 0;
}

std::int64_t LastWriteTime(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_mtime);
}

std::uint32_t TickCount() { return g_tickSource ? g_tickSource() : MonotonicMilliseconds(); }

void SetTickSource(TickSource source) { g_tickSource = source; }

std::string PrivateTempDir() {
  static std::string dir;
  if (!dir.empty() && DirectoryExists(dir)) return dir;
  const char* base = std::getenv("TMPDIR");
  std::string pattern = (base && *base) ? base : "/tmp";
  if (pattern.back() != '/') pattern += '/';
  pattern += "vantelo-XXXXXX";
  // mkdtemp makes a fresh folder with mode 0700 that no other user can enter.
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  dir = pattern + "/";
  posix::RegisterPrivateFolder(dir.c_str());
  return dir;
}

bool RemoveEmptyDirectory(const std::string& path) {
  return ::rmdir(WithoutTrailingSeparator(path).c_str()) == 0;
}

bool IsTerminal(int stdStream) { return ::isatty(stdStream) == 1; }

std::string ReadPasswordFromTerminal(const std::string& prompt) {
  std::cerr << prompt << std::flush;
  termios old{};
  const bool haveTerm = ::tcgetattr(STDIN_FILENO, &old) == 0;
  if (haveTerm) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  std::getline(std::cin, line);
  if (haveTerm) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
  std::cerr << '\n';
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

int TerminalWidth() {
  winsize ws{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void UseUtf8ConsoleOutput() {}

}  // namespace vantelo::platform
