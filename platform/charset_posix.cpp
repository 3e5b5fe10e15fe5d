// Character sets on POSIX: uchardet guesses, iconv converts.
#include <errno.h>
#include <iconv.h>
#include <uchardet/uchardet.h>

#include <strings.h>

#include <memory>
#include <type_traits>

#include "platform/charset.h"

namespace vantelo::platform {
namespace {

// uchardet's answers for the code pages Windows and DOS programs write names
// in, mapped to the engine's ids. ISO-8859-1/-2 stand for their Windows
// relatives: no Windows archiver writes the ISO sets, and the detector cannot
// tell them apart on a few short names. Anything else (KOI8-R, Mac and ISO
// sets of other scripts, EUC-JP...) is not what a ZIP writer uses: no answer.
struct DetectorName {
  const char* detector;
  const char* id;
};
constexpr DetectorName kDetectorNames[] = {
    {"IBM437", "CP437"},        {"IBM850", "CP850"},        {"IBM852", "CP852"},
    {"IBM866", "CP866"},        {"WINDOWS-1250", "CP1250"}, {"ISO-8859-2", "CP1250"},
    {"WINDOWS-1251", "CP1251"}, {"WINDOWS-1252", "CP1252"}, {"ISO-8859-1", "CP1252"},
    {"ISO-8859-15", "CP1252"},  {"SHIFT_JIS", "CP932"},     {"GB18030", "CP936"},
    {"GB2312", "CP936"},        {"GBK", "CP936"},           {"BIG5", "CP950"},
    {"EUC-KR", "CP949"},        {"UHC", "CP949"},
};

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

std::string DetectLegacyCharset(const std::vector<std::string>& names) {
  std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
      uchardet_new(), uchardet_delete);
  if (!detector) return {};
  for (const std::string& name : names) {
    // One name a line, so no character seems to run from one name into the next.
    if (uchardet_handle_data(detector.get(), name.data(), name.size()) != 0) return {};
    if (uchardet_handle_data(detector.get(), "\n", 1) != 0) return {};
  }
  uchardet_data_end(detector.get());
  const char* answer = uchardet_get_charset(detector.get());
  if (answer == nullptr) return {};
  for (const DetectorName& d : kDetectorNames)
    if (strcasecmp(answer, d.detector) == 0) return d.id;
  return {};
}

std::optional<std::string> ConvertToUtf8(std::string_view bytes, const std::string& charset) {
  iconv_t* cd = CachedConverter(charset);
  if (cd == nullptr) return std::nullopt;
  iconv(*cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
  std::string out(bytes.size() * 4 + 16, '\0');
  // iconv's interface takes non-const input pointers; it never writes through them.
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  // A character that cannot be converted, a broken sequence or an unfinished
  // one at the end all make the text invalid in this charset.
  if (iconv(*cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
  if (iconv(*cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
    return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

bool IsCharsetSupported(const std::string& charset) { return CachedConverter(charset) != nullptr; }

}  // namespace vantelo::platform
