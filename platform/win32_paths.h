// Paths for the Windows platform files: UTF-8 in, absolute UTF-16 out, in the
// long form ("\\?\C:\..." or "\\?\UNC\server\share\...") that passes the
// 260-character limit.
#pragma once

#include <string>

namespace vantelo::platform::win32 {

// The absolute form of a path with backslashes only (a relative path against
// the current folder), without the long-path prefix. Empty on failure.
std::wstring FullPath(const std::string& path);
// A full path with the long-path prefix; one that has it already is kept.
std::wstring LongPath(const std::wstring& full);
// Both steps: what the wide Win32 functions are given.
std::wstring LongPath(const std::string& path);
// A path as GetFinalPathNameByHandle gives it, without the long-path prefix.
std::wstring WithoutLongPrefix(const std::wstring& path);

}  // namespace vantelo::platform::win32
