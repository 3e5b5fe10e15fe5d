// No code-page detector in this build: every guess is left to the caller's default.
#include "platform/charset.h"
#include "platform/charset_detector.h"

namespace vantelo::platform {

std::string GuessCodePage(const std::vector<std::string>&) { return {}; }

bool HasCodePageDetector() { return false; }

}  // namespace vantelo::platform
