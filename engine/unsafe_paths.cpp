// IsUnsafeEntryPath: names that could reach outside the destination.
#include "engine/extract.h"

namespace vantelo {

bool IsUnsafeEntryPath(const char* storedName, bool windowsRules) {
  const std::string kept = DropCurrentFolderLevels(storedName);
  const char* name = kept.c_str();
  if (name[0] == '/' || name[0] == '\\') return true;
  if (windowsRules && BreaksWindowsNameRules(name)) return true;
  const char first = name[0];
  if (((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z')) && name[1] == ':')
    return true;
  const char* start = name;
  for (const char* p = name;; ++p) {
    if (*p == '/' || *p == '\\' || *p == '\0') {
      if (p - start == 2 && start[0] == '.' && start[1] == '.') return true;
      if (p - start == 1 && start[0] == '.') return true;  // only the last level is left "."
      if (*p == '\0') return false;
      start = p + 1;
    }
  }
}

}  // namespace vantelo
