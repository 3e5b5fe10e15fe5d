// Character sets of stored names: guessing the legacy code page of a group of
// names and converting bytes to UTF-8. The engine decides which names need
// this (see engine/entry_names.h); this header only wraps the libraries that
// know the code pages.
//
// Character sets are named by the ids the engine uses: "UTF-8" and "CP<n>" with
// the Windows code page number n ("CP437", "CP866", "CP932" for Shift-JIS,
// "CP936" for GBK, "CP949" for Korean, "CP950" for Big5, ...). A POSIX
// implementation may also accept any other name its converter knows (iconv's
// "KOI8-R", "ISO-8859-7"); a Windows implementation maps "CP<n>" to code page n.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantelo::platform {

// Guesses the one legacy code page all `names` were written in, from their
// bytes taken together. The answer is one of the ids above, or "" when the
// detector has no usable answer (the caller then falls back to its default);
// on Windows the system's OEM code page stands in for "".
std::string DetectLegacyCharset(const std::vector<std::string>& names);

// Whether this build has a code-page detector (uchardet); without one the
// guess above is only the fallback.
bool HasCodePageDetector();

// `bytes` in `charset`, converted to UTF-8. Empty when the charset is not known
// here or the bytes are not valid text in it.
std::optional<std::string> ConvertToUtf8(std::string_view bytes, const std::string& charset);

// UTF-8 `text` converted to `charset`. Empty when the charset is not known
// here, the text is not valid UTF-8, or a character has no exact counterpart
// in the charset (never a look-alike or a replacement character).
std::optional<std::string> ConvertFromUtf8(std::string_view text, const std::string& charset);

// Whether ConvertToUtf8 knows `charset`.
bool IsCharsetSupported(const std::string& charset);

}  // namespace vantelo::platform
