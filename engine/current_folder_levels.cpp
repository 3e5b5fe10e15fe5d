// "." levels of entry names. Archivers that pack a folder from inside it
// (`bsdtar -cf out.zip .`) write every name as "./docs/a.txt"; a "." level is
// the folder the name is already in and names nothing of its own, so it is
// dropped before the name rules and the output path look at the name. ".."
// is left alone: it stays unsafe.
#include <string_view>

#include "engine/extract.h"

namespace vantelo {

std::string DropCurrentFolderLevels(std::string_view name) {
  std::string kept;
  kept.reserve(name.size());
  std::size_t start = 0;
  while (start < name.size()) {
    const std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) {
      kept.append(name.substr(start));  // the last level stays, "." too
      break;
    }
    const std::string_view level = name.substr(start, end - start);
    // The separators after a dropped leading "." must not make the rest look
    // absolute: ".//x" is "x", while "/x" keeps its leading separator.
    const bool emptyAfterDropped = level.empty() && kept.empty() && start > 0;
    if (level != "." && !emptyAfterDropped) kept.append(name.substr(start, end + 1 - start));
    start = end + 1;
  }
  return kept;
}

}  // namespace vantelo
