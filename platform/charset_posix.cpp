// Character sets on POSIX: the detector (uchardet) guesses, iconv converts.
#include <errno.h>
#include <iconv.h>

#include <memory>

#include "platform/charset.h"
#include "platform/charset_detector.h"

namespace vantelo::platform {
namespace {

struct IconvCloser {
  void operator()(iconv_t* cd) const {
    iconv_close(*cd);
    delete cd;
  }
};
using IconvHandle = std::unique_ptr<iconv_t, IconvCloser>;

IconvHandle OpenToUtf8(const std::string& charset) {
  iconv_t cd = iconv_open("UTF-8", charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return IconvHandle(new iconv_t(cd));
}

// The converter of the charset used last: an archive's names all go through
// one, and opening a converter costs far more than converting a name.
iconv_t* CachedConverter(const std::string& charset) {
  thread_local std::string cachedCharset;
  thread_local IconvHandle cached;
  if (!cached || cachedCharset != charset) {
    cached = OpenToUtf8(charset);
    cachedCharset = charset;
  }
  return cached.get();
}

}  // namespace

std::string DetectLegacyCharset(const std::vector<std::string>& names) { return GuessCodePage(names); }

namespace {

// Runs bytes through an open converter from its initial shift state. A
// character the target lacks, a broken sequence or an unfinished one at the
// end all make the conversion fail.
std::optional<std::string> RunConverter(iconv_t cd, std::string_view bytes) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
  std::string out(bytes.size() * 4 + 16, '\0');
  // iconv's interface takes non-const input pointers; it never writes through them.
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
  if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
    return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

std::optional<std::string> ConvertToUtf8(std::string_view bytes, const std::string& charset) {
  iconv_t* cd = CachedConverter(charset);
  if (cd == nullptr) return std::nullopt;
  return RunConverter(*cd, bytes);
}

std::optional<std::string> ConvertFromUtf8(std::string_view text, const std::string& charset) {
  // Rare (a password per batch): a converter of its own, opened each time.
  // Without "//TRANSLIT", iconv refuses characters the charset lacks.
  iconv_t opened = iconv_open(charset.c_str(), "UTF-8");
  if (opened == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  const IconvHandle cd(new iconv_t(opened));
  return RunConverter(*cd, text);
}

bool IsCharsetSupported(const std::string& charset) { return CachedConverter(charset) != nullptr; }

}  // namespace vantelo::platform
