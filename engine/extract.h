// The rules an entry's name and place in the archive must keep before
// anything of it is written. Internal to the engine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"

#include "platform/platform.h"

namespace vantelo {

// The name without its "." levels ("./docs/./a.txt" is "docs/a.txt"; a name of
// "." levels only, "./", is ""). A last level "." stays: it is no file name.
std::string DropCurrentFolderLevels(std::string_view name);
// True when a stored name could reach outside the destination: an absolute
// name ("/x", "\x"), a drive-letter name ("c:x"), a ".." component or a
// last level "." (the folder itself, never a file); with Windows' rules (the
// default on Windows) also any name BreaksWindowsNameRules. The rules see
// the name with its "." levels dropped.
bool IsUnsafeEntryPath(const char* name, bool windowsRules = platform::kWindowsNameRules);
// True when the file system cannot hold a name the entry would make below the
// destination: relative is its output name (for a folder entry its folder),
// levels joined by the native separator. A level too long for the file system
// (platform::NameLevelFits), or for a file an empty or "." last level.
bool IsUnwritableEntryPath(const std::string& relative, bool isFolder);
// A device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an
// extension) as any level, a level ending in a dot or a space, a colon, one of
// <>"|?* or a control character. Names like "aux.c" are ordinary files
// elsewhere, so this applies only where Windows' rules do.
bool BreaksWindowsNameRules(const char* name);

// Fills limits[i] with the offset entry i's local header and data must end by:
// the next entry's local header in offset order, or the central directory at
// centralOffset (the largest ZipSize for an entry starting past it, which is no real
// local header). False when even the fixed header and the packed data of an
// entry reach past its limit: entries overlap.
bool FindEntryLimits(const std::vector<TZFItem>& entries, ZipSize centralOffset,
                     std::vector<ZipSize>& limits);

}  // namespace vantelo
