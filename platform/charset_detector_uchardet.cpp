// The code-page detector: uchardet, given all legacy names of an archive at once.
#include <uchardet/uchardet.h>

#include <memory>
#include <type_traits>

#include "platform/charset.h"
#include "platform/charset_detector.h"

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

// ASCII letters compared without case (the C library's strcasecmp is POSIX only).
bool SameIgnoringCase(const char* a, const char* b) {
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  for (; *a != '\0' && *b != '\0'; ++a, ++b)
    if (lower(*a) != lower(*b)) return false;
  return *a == *b;
}

}  // namespace

std::string GuessCodePage(const std::vector<std::string>& names) {
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
    if (SameIgnoringCase(answer, d.detector)) return d.id;
  return {};
}

bool HasCodePageDetector() { return true; }

}  // namespace vantelo::platform
