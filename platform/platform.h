// Operating-system services used by the engine and the front ends.
//
// This header is the only door to the operating system: everything above it is
// portable C++. The POSIX implementation lives in platform_posix.cpp, the Windows
// one (wide-character Win32 API) in platform_win32.cpp. Strings are UTF-8 on both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantelo::platform {

// An open file. kNoFile marks "no file" (never opened, failed, or closed).
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

enum class SeekOrigin { Begin, Current, End };
enum class CreateMode {
  Always,  // create or truncate an existing file
  New      // fail when the file already exists
};

// Whether file names follow Windows' rules (device names, no trailing dots or
// spaces, no colons or wildcards); the engine skips entries that break them.
#ifdef _WIN32
inline constexpr bool kWindowsNameRules = true;
#else
inline constexpr bool kWindowsNameRules = false;
#endif

// Whether one level of a path (a folder or file name, UTF-8) is short enough
// for the file system to hold: 255 bytes on POSIX systems (NAME_MAX), 255
// UTF-16 code units on Windows.
bool NameLevelFits(const std::string& level);

// The native path separator ("/" on POSIX, "\" on Windows).
char NativeSeparator();

// Opens an existing file for sequential reading; others may read it meanwhile.
FileHandle OpenForReading(const std::string& path);
// Creates a file for writing, not shared with other writers.
FileHandle CreateForWriting(const std::string& path, CreateMode mode);
// Reads up to count bytes; returns the bytes read (0 at the end) or -1 on failure.
std::int32_t Read(FileHandle file, void* buffer, std::int32_t count);
// Writes all count bytes (retrying short writes); returns count, or -1 when the
// data could not be written in full.
std::int32_t Write(FileHandle file, const void* buffer, std::int32_t count);
// Reads up to count bytes at offset without using or moving the file
// position, so several threads can read one file at once; returns the bytes
// read (0 at the end) or -1 on failure.
std::int32_t ReadAt(FileHandle file, std::int64_t offset, void* buffer, std::int32_t count);
// Moves the file position; returns the new position or -1.
std::int64_t Seek(FileHandle file, std::int64_t offset, SeekOrigin origin);
void Close(FileHandle file);

bool RemoveFile(const std::string& path);  // named so it cannot clash with Win32 macros
bool FileExists(const std::string& path);  // exists and is not a directory
bool DirectoryExists(const std::string& path);
// Creates path with every missing parent level; one trailing separator is ignored.
// Returns whether path is a directory afterwards.
bool CreateDirectories(const std::string& path);
// True when path names anything at all (file, folder, link, even a dangling one).
bool PathExists(const std::string& path);

// Sets an open file's last-write time from an MS-DOS date and time word, read as
// local time. Creation and access times stay as they are.
bool SetLastWriteTimeFromDos(FileHandle file, std::uint16_t dosDate, std::uint16_t dosTime);
// The last-write time of a file in seconds since 1970 (UTC); -1 when unknown.
std::int64_t LastWriteTime(const std::string& path);

// Milliseconds since some fixed moment; wraps at 2^32. Tests may replace the
// source to step time without sleeping; pass nullptr to restore the clock.
using TickSource = std::uint32_t (*)();
std::uint32_t TickCount();
void SetTickSource(TickSource source);

// A folder private to this user and process (mode 0700 where that exists),
// created on first call; the result ends with the native separator. Empty when
// no such folder can be made. The interrupt cleanup (interrupt_cleanup.h)
// removes it with its files.
std::string PrivateTempDir();
// Removes an empty folder; false when it is not empty or cannot be removed.
bool RemoveEmptyDirectory(const std::string& path);

bool IsTerminal(int stdStream);  // 0 = stdin, 1 = stdout, 2 = stderr
// Reads a line from the terminal without echo (for passwords).
std::string ReadPasswordFromTerminal(const std::string& prompt);
// Width of the terminal on stderr in columns, 80 when unknown.
int TerminalWidth();

// A console program's arguments after the program name, as UTF-8 (on Windows
// read from the wide-character command line; elsewhere argv as given).
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Lets stdout and stderr carry UTF-8 text with LF line ends byte for byte, and a
// console show it (Windows: binary streams, UTF-8 console output, escape
// sequences on). Nothing to do elsewhere.
void UseUtf8ConsoleOutput();

}  // namespace vantelo::platform
