// Character sets on Windows: the system's own conversion functions, and the
// same detector as elsewhere (uchardet, when the build has it). When it
// recognizes nothing, the guess for legacy names is the system's OEM code
// page, which is what Windows' own tools and DOS-era archivers use for names
// without the UTF-8 flag.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>

#include "platform/charset.h"
#include "platform/charset_detector.h"
#include "platform/win32_text.h"

namespace vantelo::platform {
namespace {

// "UTF-8" is code page 65001, "CP<n>" code page n; 0 for anything else or a
// code page this system does not have.
UINT CodePageOf(const std::string& charset) {
  if (charset == "UTF-8") return CP_UTF8;
  if (charset.size() < 3 || (charset.compare(0, 2, "CP") != 0 && charset.compare(0, 2, "cp") != 0))
    return 0;
  char* end = nullptr;
  const unsigned long number = std::strtoul(charset.c_str() + 2, &end, 10);
  if (*end != '\0' || number == 0 || number > 65535) return 0;
  const UINT page = static_cast<UINT>(number);
  return ::IsValidCodePage(page) ? page : 0;
}

}  // namespace

std::string DetectLegacyCharset(const std::vector<std::string>& names) {
  std::string guess = GuessCodePage(names);
  return guess.empty() ? "CP" + std::to_string(::GetOEMCP()) : guess;
}

std::optional<std::string> ConvertToUtf8(std::string_view bytes, const std::string& charset) {
  const UINT page = CodePageOf(charset);
  if (page == 0) return std::nullopt;
  if (bytes.empty()) return std::string();
  // MB_ERR_INVALID_CHARS: bytes that are no text in this code page fail the
  // conversion instead of turning into replacement characters.
  const int size = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), needed) != needed)
    return std::nullopt;
  return WideToUtf8(wide);
}

std::optional<std::string> ConvertFromUtf8(std::string_view text, const std::string& charset) {
  const UINT page = CodePageOf(charset);
  if (page == 0) return std::nullopt;
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int wideNeeded = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (wideNeeded <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(wideNeeded), L'\0');
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), wideNeeded) !=
      wideNeeded)
    return std::nullopt;
  if (page == CP_UTF8) return std::string(text);
  // WC_NO_BEST_FIT_CHARS: a character the code page lacks fails the
  // conversion (usedDefault) instead of turning into a look-alike ("e" for
  // an accented letter) or the default character.
  const int wideSize = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int needed =
      ::WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, nullptr, 0, nullptr, &usedDefault);
  if (needed <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(needed), '\0');
  usedDefault = FALSE;
  if (::WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, wide.data(), wideSize, out.data(), needed, nullptr,
                            &usedDefault) != needed ||
      usedDefault)
    return std::nullopt;
  return out;
}

bool IsCharsetSupported(const std::string& charset) { return CodePageOf(charset) != 0; }

}  // namespace vantelo::platform
