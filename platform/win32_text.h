// UTF-8 <-> UTF-16 for the Windows platform files: the engine's strings are
// UTF-8, the wide-character Win32 API takes UTF-16.
#pragma once

#include <string>

namespace vantelo::platform {

// Bytes that are not UTF-8 become U+FFFD.
std::wstring Utf8ToWide(const std::string& text);
// Unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

}  // namespace vantelo::platform
