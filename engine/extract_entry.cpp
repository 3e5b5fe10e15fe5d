// Extraction (or test) of one entry: output path, folders, output file, decoding,
// file time, CRC check and status text.
//
// A file is never written in place. Its data goes to a pending file in the
// target's folder (platform/destination.h), which gets the target's name only
// when the entry ends "Ok."; any other outcome removes it. So a failed entry
// leaves nothing behind, and the file that was there before survives. Folders
// are opened level by level below the destination, never through a link.
#include <cstdio>

#include "engine/extract.h"
#include "engine/inflate/inflate.h"
#include "engine/stream_io.h"

namespace vantelo {
namespace {

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;

// A skipped entry counts as skipped and adds its full size to the bytes done.
void SkipEntry(EngineState& s, const char* status) {
  s.CurrentEntry->ItemStatus = status;
  s.SkippedCount += 1;
  s.BytesDone += s.CurrentEntry->UnpackedSize;
}

void SetUnsupportedMethod(EngineState& s) {
  SetError(kErrMethod, s.OutputName + " is compressed with not supported old method!");
}

platform::PendingFile TakePendingOutput(EngineState& s) {
  platform::PendingFile pending{s.OutputHandle, std::move(s.OutputTempName)};
  s.OutputHandle = platform::kNoFile;
  s.OutputTempName.clear();
  return pending;
}

// Closes the output file, if any, and removes it: nothing of it remains.
void DiscardOutput(EngineState& s) {
  platform::PendingFile pending = TakePendingOutput(s);
  platform::DiscardPendingFile(s.OutputFolder, pending);
}

// Opens the destination on the batch's first write, making it when missing.
bool OpenDestinationFolder(EngineState& s) {
  if (s.DestFolder != platform::kNoFolder) return true;
  s.DestFolder = platform::OpenDestination(s.DestDir, true);
  if (s.DestFolder != platform::kNoFolder) return true;
  SetError(kErrDamaged, "Can not create directory " + s.DestDir);
  return false;
}

// Opens (making what is missing) the folder relative below the destination,
// never through a link. Unsafe means the entry is to be skipped; Failed has
// set the error that stops the batch.
platform::FolderResult OpenEntryFolder(EngineState& s, const std::string& relative,
                                       platform::FolderHandle& folder) {
  folder = platform::kNoFolder;
  if (!OpenDestinationFolder(s)) return platform::FolderResult::Failed;
  const platform::FolderResult result = platform::OpenFolderBelow(s.DestFolder, relative, true, folder);
  if (result == platform::FolderResult::Failed)
    SetError(kErrDamaged, "Can not create directory " + s.DestDir + relative);
  return result;
}

// Prepares the output file of a file entry. Returns false when the entry is
// done already: skipped (the file exists, a link stands on its way) or stopped
// by an error.
bool PrepareOutput(EngineState& s) {
  const std::string target = s.DestDir + s.OutputName;
  // An entry that cannot be decoded creates nothing.
  if (!IsSupportedMethod(s.CurrentEntry->Method)) {
    SetUnsupportedMethod(s);
    return false;
  }
  const std::string relative = s.UseFolderNames ? s.EntryFolder : std::string();
  switch (OpenEntryFolder(s, relative, s.OutputFolder)) {
    case platform::FolderResult::Opened:
      break;
    case platform::FolderResult::Unsafe:
      SkipEntry(s, kStatusUnsafePath);
      return false;
    case platform::FolderResult::Failed:
      return false;
  }
  // A file or link under the name is replaced (the link itself, never what it
  // points to) or, without overwrite, kept; a folder stays and stops the batch.
  const platform::NameKind present = platform::KindAt(s.OutputFolder, s.EntryFileName);
  if (!s.Overwrite && present != platform::NameKind::Nothing && present != platform::NameKind::Folder) {
    SkipEntry(s, kStatusFileExists);
    return false;
  }
  platform::PendingFile pending;
  if (present == platform::NameKind::Folder || !platform::CreatePendingFile(s.OutputFolder, pending)) {
    SetError(kErrCreate, "Error creating file " + target + " !");
    return false;
  }
  s.OutputHandle = pending.file;
  s.OutputTempName = std::move(pending.tempName);
  return true;
}

// Gives the finished file its name (the entry's verdict is "Ok.").
void PublishOutput(EngineState& s) {
  platform::PendingFile pending = TakePendingOutput(s);
  switch (platform::PublishPendingFile(s.OutputFolder, pending, s.EntryFileName, s.Overwrite)) {
    case platform::PublishResult::Published:
      s.CurrentEntry->ItemStatus = kStatusOk;
      return;
    case platform::PublishResult::NameTaken:
      // Another program made the file while this entry was decoded; its bytes
      // are already counted.
      s.CurrentEntry->ItemStatus = kStatusFileExists;
      s.SkippedCount += 1;
      return;
    case platform::PublishResult::Failed:
      SetError(kErrCreate, "Error creating file " + s.DestDir + s.OutputName + " !");
      return;
  }
}

// Whether decoding consumed input beyond the entry's packed data.
bool ReadPastEntry(const EngineState& s) {
  const std::int64_t bitsUsed = (static_cast<std::int64_t>(s.InBase) + s.InPos) * 8 + s.InBitPos;
  return bitsUsed > s.EntryDataEnd * 8;
}

// Whether the entry's data decoded completely: no error, no byte taken from
// beyond the entry, and exactly the declared number of bytes came out.
bool DecodedCompletely(const EngineState& s) {
  if (s.ErrorNo != 0 || ReadPastEntry(s)) return false;
  return s.EntryOutCount == s.CurrentEntry->UnpackedSize;
}

void CloseEntryFolder(EngineState& s) {
  platform::CloseFolder(s.OutputFolder);
  s.OutputFolder = platform::kNoFolder;
}

}  // namespace

bool IsSupportedMethod(std::uint16_t method) {
  return method == kMethodStored || method == kMethodDeflate;
}

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

void MakeEntryFolder() {
  EngineState& s = Engine();
  platform::FolderHandle folder = platform::kNoFolder;
  switch (OpenEntryFolder(s, s.EntryFolder, folder)) {
    case platform::FolderResult::Opened:
      platform::CloseFolder(folder);
      s.CurrentEntry->ItemStatus = kStatusOk;
      return;
    case platform::FolderResult::Unsafe:
      SkipEntry(s, kStatusUnsafePath);
      return;
    case platform::FolderResult::Failed:
      return;
  }
}

void ExtractCurrentEntry() {
  EngineState& s = Engine();
  s.OutputHandle = platform::kNoFile;
  s.OutputTempName.clear();
  s.OutputFolder = platform::kNoFolder;
  s.CurrentEntry->ItemStatus.clear();
  s.FilesDone += 1;

  // The catalog's decoded name (so a second byte 0x5C of a double-byte
  // character is no separator) without its "." levels; both separators
  // become the native one.
  const std::string& name = s.CurrentEntry->EntryPath;
  std::string path = DropCurrentFolderLevels(name);
  const char separator = platform::NativeSeparator();
  for (char& c : path)
    if (c == '/' || c == '\\') c = separator;
  SplitEntryName(path.c_str(), s.EntryFolder, s.EntryFileName, s.EntryExt);
  if (path.empty() && !name.empty()) s.EntryFileName = kFolderName;  // "./": the destination
  s.OutputName = s.UseFolderNames ? s.EntryFolder + s.EntryFileName : s.EntryFileName;
  const bool isFolder = s.EntryFileName == kFolderName;

  if (s.TestOnly) {
    if (isFolder) {
      s.CurrentEntry->ItemStatus = kStatusOk;
      return;
    }
  } else {
    // Nothing may be created or changed outside the destination, and a name
    // the file system cannot hold is skipped like an unsafe one.
    if (IsUnsafeEntryPath(name.c_str()) ||
        IsUnwritableEntryPath(isFolder ? s.EntryFolder : s.OutputName, isFolder)) {
      SkipEntry(s, kStatusUnsafePath);
      return;
    }
    if (isFolder) {
      MakeEntryFolder();
      return;
    }
    if (!PrepareOutput(s)) {
      CloseEntryFolder(s);
      return;
    }
  }

  s.InBitPos = 0;
  s.EntryOutCount = 0;
  s.EntryCrc = 0xFFFFFFFFu;
  s.OutStart = 0;
  s.OutPos = 0;
  switch (s.CurrentEntry->Method) {
    case kMethodStored:
      CopyStoredEntry();
      break;
    case kMethodDeflate:
      InflateEntry();
      break;
    default:
      DiscardOutput(s);
      CloseEntryFolder(s);
      SetUnsupportedMethod(s);
      return;
  }
  s.EntryCrc ^= 0xFFFFFFFFu;

  // Data that wrong keys turned into garbage often fails to decode, or runs
  // on past the entry: for an encrypted entry that is the same verdict as a
  // CRC mismatch, not damage to the archive, and the batch goes on.
  const bool encrypted = (s.CurrentEntry->CentralFlags & kFlagEncrypted) != 0;
  const bool overran = ReadPastEntry(s);
  if (encrypted && s.ErrorNo == kErrDamaged) {
    s.ErrorNo = 0;
    s.ErrorMsg.clear();
  } else if (!encrypted && overran && s.ErrorNo == 0) {
    // Its stream took another entry's bytes (or the central directory's) as its own.
    SetError(kErrDamaged, kOverlapMessage);
  }

  // The CRC-32 is the central directory's: a data descriptor is not read.
  if (s.ErrorNo != 0) {
    // Stopped by an error or a user break: no verdict, and nothing of it stays.
    DiscardOutput(s);
  } else if (DecodedCompletely(s) && s.EntryCrc == s.CurrentEntry->CentralCrc) {
    if (s.OutputHandle != platform::kNoFile)
      platform::SetLastWriteTimeFromDos(s.OutputHandle, s.CurrentEntry->FileDate,
                                        s.CurrentEntry->FileTime);
    if (s.TestOnly)
      s.CurrentEntry->ItemStatus = kStatusOk;
    else
      PublishOutput(s);
  } else {
    s.SkippedCount += 1;
    s.CurrentEntry->ItemStatus = kStatusBadCrc;
    DiscardOutput(s);
  }
  CloseEntryFolder(s);
}

}  // namespace vantelo
