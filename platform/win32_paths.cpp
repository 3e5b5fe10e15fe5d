#include "platform/win32_paths.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/win32_text.h"

namespace vantelo::platform::win32 {
namespace {

bool HasLongPrefix(const std::wstring& path) { return path.rfind(L"\\\\?\\", 0) == 0; }

}  // namespace

std::wstring FullPath(const std::string& path) {
  std::wstring wide = Utf8ToWide(path);
  if (wide.empty()) return {};
  if (HasLongPrefix(wide)) return WithoutLongPrefix(wide);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD got = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed) return {};
  full.resize(got);
  return full;
}

std::wstring LongPath(const std::wstring& full) {
  if (full.empty() || HasLongPrefix(full)) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring LongPath(const std::string& path) { return LongPath(FullPath(path)); }

std::wstring WithoutLongPrefix(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (HasLongPrefix(path)) return path.substr(4);
  return path;
}

}  // namespace vantelo::platform::win32
