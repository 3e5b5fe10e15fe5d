// Writing below a destination folder without ever going through a link.
//
// The destination is opened once per run; every folder and file of an
// extraction is then made relative to an open folder, one name at a time, so
// a symbolic link (or, on Windows, a reparse point) planted below the
// destination is never followed, and a name swapped for a link between a
// check and a write cannot redirect anything. The destination path itself may
// be a link: it is the user's choice (a Downloads folder often is one).
//
// A file is written as a pending file and appears under its name only when it
// is published, so a half-written file never stands under a real name. Where
// the system allows it the pending file has no name at all until then, so even
// a killed process leaves nothing behind; otherwise it has a hidden temporary
// name in its folder, which the interrupt handler (interrupt_cleanup.h)
// removes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace vantelo::platform {

// An open folder. kNoFolder marks "no folder".
using FolderHandle = std::intptr_t;
inline constexpr FolderHandle kNoFolder = -1;

// Opens the destination folder, creating it and its missing parents when asked
// (links in this path are followed). An empty path is the current folder.
FolderHandle OpenDestination(const std::string& path, bool create);
void CloseFolder(FolderHandle folder);

enum class FolderResult {
  Opened,
  Unsafe,  // a link or something other than a folder stands at one of the levels
  Failed   // missing (create == false) or could not be made
};
// Opens the folder at relative (levels separated by '/' or '\\', empty levels
// ignored) below base, making each missing level when create is true. No level
// is ever a followed link. On Opened, folder holds a new handle to close.
FolderResult OpenFolderBelow(FolderHandle base, const std::string& relative, bool create,
                             FolderHandle& folder);

// What stands under a name in a folder; links are reported, not followed.
enum class NameKind { Nothing, File, Folder, Link, Other };
NameKind KindAt(FolderHandle folder, const std::string& name);

// A file being written into a folder that is not yet visible under its name.
struct PendingFile {
  FileHandle file = kNoFile;
  std::string tempName;  // its hidden name in the folder; empty while it has none
};
// Creates a new pending file in folder; false when none can be created.
bool CreatePendingFile(FolderHandle folder, PendingFile& pending);

enum class PublishResult {
  Published,
  NameTaken,  // replace == false and something already has the name
  Failed
};
// Gives the complete pending file its name in folder, replacing whatever file
// or link has it when replace is true (never a folder), and closes it. On any
// result other than Published the pending file is discarded.
PublishResult PublishPendingFile(FolderHandle folder, PendingFile& pending,
                                 const std::string& name, bool replace);
// Closes the pending file and removes it; nothing of it remains.
void DiscardPendingFile(FolderHandle folder, PendingFile& pending);

// Tests only: when false, pending files always get a hidden temporary name, as
// on file systems that cannot make unnamed files.
void AllowUnnamedPendingFiles(bool allow);

}  // namespace vantelo::platform
