// Extraction of one entry and the batch over the catalog. Internal to the
// engine: the public entry points are ExtractAll, ExtractSelected and
// ExtractEntry in engine.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"

#include "platform/platform.h"

namespace vantelo {

// Handles the current entry once the batch has read its local header and name
// and left the pipeline's input on its data: builds the output path, creates folders and the
// output file (nothing in test mode), decodes, checks the CRC-32 and writes the
// status text. The file is written under a temporary name beside its target and
// put in place only when the entry ends "Ok.".
void ExtractCurrentEntry();
// Creates DestDir + EntryFolder with every missing level, never through a
// link: error 1 when a level cannot be made, skipped as unsafe when a link or
// another non-folder stands on the way.
void MakeEntryFolder();
// Runs a batch over the entries First..Last with the options already stored.
void ProcessEntries(std::int32_t first, std::int32_t last);

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
// The message of a batch refused for overlapping entries.
inline constexpr const char* kOverlapMessage =
    "Entries of the ZIP file overlap each other or its central directory!";

}  // namespace vantelo
