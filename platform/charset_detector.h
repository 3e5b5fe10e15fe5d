// The code-page detector behind DetectLegacyCharset (platform/charset.h):
// uchardet where the build has it (charset_detector_uchardet.cpp), none
// otherwise (charset_detector_none.cpp; the Windows build when uchardet could
// not be built for it).
#pragma once

#include <string>
#include <vector>

namespace vantelo::platform {

// The id ("CP866", "CP932"...) of the code page the detector recognizes in
// all of `names` together; "" when it recognizes none a ZIP writer uses.
std::string GuessCodePage(const std::vector<std::string>& names);

}  // namespace vantelo::platform
