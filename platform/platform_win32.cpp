// Windows implementation of the platform layer, on the wide-character Win32 API.
//
// Paths arrive as UTF-8 and are handed to Windows as UTF-16 in the long form
// ("\\?\C:\..."), made absolute first, so deep folders are not cut at 260
// characters. Names that Windows would quietly change in that step (trailing dots
// or spaces, device names) are refused by the engine before a path is built.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <iostream>

#include "platform/platform.h"
#include "platform/cleanup_registry_win32.h"
#include "platform/win32_paths.h"
#include "platform/win32_text.h"

namespace vantelo::platform {
namespace {

HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle Wrap(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

TickSource g_tickSource = nullptr;

bool IsSlash(wchar_t c) { return c == L'/' || c == L'\\'; }

// Length of the root of a full path: "C:\" or "\\server\share\".
std::size_t RootLength(const std::wstring& full) {
  if (full.size() >= 3 && full[1] == L':' && IsSlash(full[2])) return 3;
  if (full.size() >= 2 && IsSlash(full[0]) && IsSlash(full[1])) {
    std::size_t slashes = 0;
    for (std::size_t i = 2; i < full.size(); ++i)
      if (IsSlash(full[i]) && ++slashes == 2) return i + 1;
    return full.size();
  }
  return 0;
}

using win32::FullPath;
using win32::LongPath;

DWORD Attributes(const std::string& path) {
  const std::wstring wide = LongPath(path);
  return wide.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(wide.c_str());
}

std::int64_t UnixSeconds(const FILETIME& ft) {
  ULARGE_INTEGER ticks;  // 100 ns since 1601-01-01
  ticks.LowPart = ft.dwLowDateTime;
  ticks.HighPart = ft.dwHighDateTime;
  constexpr std::uint64_t kTicksPerSecond = 10'000'000ull;
  constexpr std::uint64_t kSecondsTo1970 = 11'644'473'600ull;
  return static_cast<std::int64_t>(ticks.QuadPart / kTicksPerSecond) -
         static_cast<std::int64_t>(kSecondsTo1970);
}

HANDLE StdHandle(int stdStream) {
  const DWORD which = stdStream == 0 ? STD_INPUT_HANDLE
                      : stdStream == 1 ? STD_OUTPUT_HANDLE
                                       : STD_ERROR_HANDLE;
  return ::GetStdHandle(which);
}

}  // namespace

char NativeSeparator() { return '\\'; }

bool NameLevelFits(const std::string& level) { return Utf8ToWide(level).size() <= 255; }

FileHandle OpenForReading(const std::string& path) {
  const std::wstring wide = LongPath(path);
  if (wide.empty()) return kNoFile;
  // Others may read the archive meanwhile; a folder does not open without
  // FILE_FLAG_BACKUP_SEMANTICS, so only files come back.
  return Wrap(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

FileHandle CreateForWriting(const std::string& path, CreateMode mode) {
  const std::wstring wide = LongPath(path);
  if (wide.empty()) return kNoFile;
  // FILE_FLAG_OPEN_REPARSE_POINT: a link planted at the name is opened itself,
  // never followed to what it points at; such a handle is refused below.
  const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    mode == CreateMode::New ? CREATE_NEW : CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kNoFile;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    ::CloseHandle(file);
    return kNoFile;
  }
  return Wrap(file);
}

std::int32_t Read(FileHandle file, void* buffer, std::int32_t count) {
  if (file == kNoFile || count < 0) return -1;
  auto* out = static_cast<char*>(buffer);
  std::int32_t total = 0;
  while (total < count) {
    DWORD got = 0;
    if (!::ReadFile(Native(file), out + total, static_cast<DWORD>(count - total), &got, nullptr))
      return total > 0 ? total : -1;
    if (got == 0) break;
    total += static_cast<std::int32_t>(got);
  }
  return total;
}

std::int32_t Write(FileHandle file, const void* buffer, std::int32_t count) {
  if (file == kNoFile || count < 0) return -1;
  const auto* in = static_cast<const char*>(buffer);
  std::int32_t total = 0;
  while (total < count) {
    DWORD put = 0;
    if (!::WriteFile(Native(file), in + total, static_cast<DWORD>(count - total), &put, nullptr) ||
        put == 0)
      return -1;
    total += static_cast<std::int32_t>(put);
  }
  return total;
}

std::int32_t ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::int32_t count) {
  if (file == kNoFile || count < 0 || offset < 0) return -1;
  auto* out = static_cast<char*>(buffer);
  std::int32_t total = 0;
  while (total < count) {
    // The offset in an OVERLAPPED on a synchronous handle reads there; the
    // file position it also moves is used by no one reading this way.
    OVERLAPPED at{};
    const std::int64_t where = offset + total;
    at.Offset = static_cast<DWORD>(where & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD got = 0;
    if (!::ReadFile(Native(file), out + total, static_cast<DWORD>(count - total), &got, &at))
      return ::GetLastError() == ERROR_HANDLE_EOF ? total : (total > 0 ? total : -1);
    if (got == 0) break;
    total += static_cast<std::int32_t>(got);
  }
  return total;
}

std::int64_t Seek(FileHandle file, std::int64_t offset, SeekOrigin origin) {
  if (file == kNoFile) return -1;
  const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                       : origin == SeekOrigin::Current ? FILE_CURRENT
                                                       : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER now;
  if (!::SetFilePointerEx(Native(file), distance, &now, method)) return -1;
  return now.QuadPart;
}

void Close(FileHandle file) {
  if (file != kNoFile) ::CloseHandle(Native(file));
}

bool RemoveFile(const std::string& path) {
  const std::wstring wide = LongPath(path);
  return !wide.empty() && ::DeleteFileW(wide.c_str()) != 0;
}

bool FileExists(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool CreateDirectories(const std::string& path) {
  std::wstring full = FullPath(path);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  const std::size_t root = RootLength(full);
  if (full.empty() || root == 0) return false;
  // Walk the levels below the root; each missing one is created in turn.
  for (std::size_t i = root; i <= full.size(); ++i) {
    if (i == full.size() || full[i] == L'\\') {
      const std::wstring level = LongPath(full.substr(0, i));
      const DWORD a = ::GetFileAttributesW(level.c_str());
      if (a == INVALID_FILE_ATTRIBUTES) ::CreateDirectoryW(level.c_str(), nullptr);
    }
  }
  const DWORD a = ::GetFileAttributesW(LongPath(full).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SetLastWriteTimeFromDos(FileHandle file, std::uint16_t dosDate, std::uint16_t dosTime) {
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(((dosDate >> 9) & 0x7F) + 1980);
  local.wMonth = static_cast<WORD>((dosDate >> 5) & 0x0F);
  local.wDay = static_cast<WORD>(dosDate & 0x1F);
  local.wHour = static_cast<WORD>((dosTime >> 11) & 0x1F);
  local.wMinute = static_cast<WORD>((dosTime >> 5) & 0x3F);
  local.wSecond = static_cast<WORD>((dosTime & 0x1F) * 2);
  // The stored time is the local wall-clock time of the day it names; the
  // conversion uses the daylight-saving rule in force on that day.
  SYSTEMTIME utc{};
  FILETIME written{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !::SystemTimeToFileTime(&utc, &written))
    return false;
  return ::SetFileTime(Native(file), nullptr, nullptr, &written) != 0;
}

std::int64_t LastWriteTime(const std::string& path) {
  const std::wstring wide = LongPath(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (wide.empty() || !::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
    return -1;
  return UnixSeconds(data.ftLastWriteTime);
}

std::uint32_t TickCount() {
  return g_tickSource ? g_tickSource() : static_cast<std::uint32_t>(::GetTickCount64());
}

void SetTickSource(TickSource source) { g_tickSource = source; }

std::string PrivateTempDir() {
  static std::string dir;
  if (!dir.empty() && DirectoryExists(dir)) return dir;
  // The user's temporary folder is already closed to other users; a fresh
  // folder per process keeps this run's files apart from every other.
  wchar_t base[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
  if (length == 0 || length > MAX_PATH) return {};
  const std::string parent = WideToUtf8(std::wstring(base, length));
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    char name[48];
    std::snprintf(name, sizeof name, "vantelo-%lu-%u", ::GetCurrentProcessId(),
                  static_cast<unsigned>(::GetTickCount64() % 100000u) + attempt);
    const std::string candidate = parent + name;
    if (::CreateDirectoryW(LongPath(candidate).c_str(), nullptr)) {
      dir = candidate + "\\";
      win32::RegisterPrivateFolder(dir);
      return dir;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

bool RemoveEmptyDirectory(const std::string& path) {
  const std::wstring wide = LongPath(path);
  return !wide.empty() && ::RemoveDirectoryW(wide.c_str()) != 0;
}

bool IsTerminal(int stdStream) {
  // A console, not a file or pipe; the NUL device is not one either (unlike _isatty).
  DWORD mode = 0;
  return ::GetConsoleMode(StdHandle(stdStream), &mode) != 0;
}

std::string ReadPasswordFromTerminal(const std::string& prompt) {
  std::cerr << prompt << std::flush;
  const HANDLE input = StdHandle(0);
  DWORD oldMode = 0;
  if (!::GetConsoleMode(input, &oldMode)) {
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  ::SetConsoleMode(input, (oldMode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::wstring line;
  wchar_t chunk[256];
  DWORD got = 0;
  while (::ReadConsoleW(input, chunk, 256, &got, nullptr) && got > 0) {
    line.append(chunk, got);
    if (line.back() == L'\n') break;
  }
  ::SetConsoleMode(input, oldMode);
  std::cerr << '\n';
  while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
  return WideToUtf8(line);
}

int TerminalWidth() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(StdHandle(2), &info)) {
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    if (width > 0) return width;
  }
  return 80;
}

std::vector<std::string> CommandLineArguments(int, char**) {
  // The narrow argv of a Windows program is in the ANSI code page and loses
  // every character outside it; the wide command line has them all.
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return args;
  for (int i = 1; i < count; ++i) args.push_back(WideToUtf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

void UseUtf8ConsoleOutput() {
  // The same bytes as elsewhere: UTF-8 text with LF line ends, shown as UTF-8
  // by the console, whose escape sequences (the progress bar's) are honoured.
  std::fflush(stdout);
  std::fflush(stderr);
  ::_setmode(_fileno(stdout), _O_BINARY);
  ::_setmode(_fileno(stderr), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
  for (int stream : {1, 2}) {
    DWORD mode = 0;
    const HANDLE handle = StdHandle(stream);
    if (::GetConsoleMode(handle, &mode))
      ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
}

}  // namespace vantelo::platform
