// Names the destination's file system cannot hold. Creating such a file or
// folder would fail, and a failed create stops the whole batch; checked before
// anything is made, the entry is skipped instead and the run goes on.
#include "engine/extract.h"

namespace vantelo {

bool IsUnwritableEntryPath(const std::string& relative, bool isFolder) {
  const char separator = platform::NativeSeparator();
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = relative.find(separator, start);
    const bool last = end == std::string::npos;
    const std::string level = relative.substr(start, last ? std::string::npos : end - start);
    if (!platform::NameLevelFits(level)) return true;
    if (last) {
      // A file needs a name of its own: not nothing (a stored name that
      // decodes to nothing, one starting with NUL) and not the folder itself.
      return !isFolder && (level.empty() || level == ".");
    }
    start = end + 1;
  }
}

}  // namespace vantelo
