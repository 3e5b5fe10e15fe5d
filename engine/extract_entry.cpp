// Extraction (or test) of one entry: output path, folders, output file, decoding,
// file time, CRC check and status text.
//
// A file is never written in place. Its data goes to a fresh temporary file in
// the target's folder, which is renamed over the target only when the entry
// ends "Ok."; any other outcome removes it. So a failed entry leaves nothing
// behind, and the file that was there before survives.
#include <cstdio>

#include "engine/extract.h"
#include "engine/inflate/inflate.h"
#include "engine/stream_io.h"

namespace vantelo {
namespace {

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;

// The current folder needs no creating; an empty path names it.
bool FolderPresent(const std::string& path) {
  return path.empty() || platform::DirectoryExists(path);
}

// A skipped entry counts as skipped and adds its full size to the bytes done.
void SkipEntry(EngineState& s, const char* status) {
  s.CurrentEntry->ItemStatus = status;
  s.SkippedCount += 1;
  s.BytesDone += s.CurrentEntry->UnpackedSize;
}

void SetUnsupportedMethod(EngineState& s) {
  SetError(kErrMethod, s.OutputName + " is compressed with not supported old method!");
}

// Closes the output file, if any, and removes its temporary name.
void DiscardOutput(EngineState& s) {
  if (s.OutputHandle != platform::kNoFile) {
    platform::Close(s.OutputHandle);
    s.OutputHandle = platform::kNoFile;
  }
  if (!s.OutputTempPath.empty()) {
    platform::RemoveFile(s.OutputTempPath);
    s.OutputTempPath.clear();
  }
}

// Creates a new, uniquely named temporary file in folder dir (empty: the
// current folder). Never opens an existing file.
bool CreateTemporaryOutput(EngineState& s, const std::string& dir) {
  static std::uint32_t counter = 0;
  for (int attempt = 0; attempt < 64; ++attempt) {
    const std::uint32_t mix = platform::TickCount() * 2654435761u ^ (++counter * 40503u);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(mix));
    std::string path = dir + ".vantelo-" + suffix + ".tmp";
    const platform::FileHandle file = platform::CreateForWriting(path, platform::CreateMode::New);
    if (file != platform::kNoFile) {
      s.OutputHandle = file;
      s.OutputTempPath = std::move(path);
      return true;
    }
    // Anything but a name clash (a missing or read-only folder) will not go away.
    if (!platform::PathExists(path)) return false;
  }
  return false;
}

// Prepares the output file of a file entry. Returns false when the entry is
// done already: skipped because the file exists, or stopped by an error.
bool PrepareOutput(EngineState& s) {
  const std::string target = s.DestDir + s.OutputName;
  if (!s.Overwrite && platform::FileExists(target)) {
    SkipEntry(s, kStatusFileExists);
    return false;
  }
  // An entry that cannot be decoded creates nothing.
  if (!IsSupportedMethod(s.CurrentEntry->Method)) {
    SetUnsupportedMethod(s);
    return false;
  }
  // Something that is not a file stands in the way: a folder (and, without
  // overwrite, anything at all) cannot be replaced.
  const bool blocked = s.Overwrite ? platform::DirectoryExists(target) : platform::PathExists(target);
  if (!blocked) {
    const std::string dir = s.DestDir + (s.UseFolderNames ? s.EntryFolder : std::string());
    if (!CreateTemporaryOutput(s, dir)) {
      if (!FolderPresent(s.DestDir + s.EntryFolder)) {
        MakeEntryFolder();
        if (s.ErrorNo != 0) return false;
      }
      CreateTemporaryOutput(s, dir);
    }
  }
  if (s.OutputHandle == platform::kNoFile) {
    SetError(kErrCreate, "Error creating file " + target + " !");
    return false;
  }
  return true;
}

// Puts the finished temporary file in place of the target.
void PublishOutput(EngineState& s) {
  const std::string target = s.DestDir + s.OutputName;
  const bool moved = s.Overwrite ? platform::RenameReplace(s.OutputTempPath, target)
                                 : platform::RenameNoReplace(s.OutputTempPath, target);
  if (moved) {
    s.OutputTempPath.clear();
    s.CurrentEntry->ItemStatus = kStatusOk;
    return;
  }
  DiscardOutput(s);
  if (!s.Overwrite && platform::PathExists(target)) {
    // Another program made the file while this entry was decoded; its bytes
    // are already counted.
    s.CurrentEntry->ItemStatus = kStatusFileExists;
    s.SkippedCount += 1;
    return;
  }
  if (s.ErrorNo == 0) SetError(kErrCreate, "Error creating file " + target + " !");
}

}  // namespace

bool IsSupportedMethod(std::uint16_t method) {
  return method == kMethodStored || method == kMethodDeflate;
}

bool IsUnsafeEntryPath(const char* name) {
  if (name[0] == '/' || name[0] == '\\') return true;
  const char first = name[0];
  if (((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z')) && name[1] == ':')
    return true;
  const char* start = name;
  for (const char* p = name;; ++p) {
    if (*p == '/' || *p == '\\' || *p == '\0') {
      if (p - start == 2 && start[0] == '.' && start[1] == '.') return true;
      if (*p == '\0') return false;
      start = p + 1;
    }
  }
}

void MakeEntryFolder() {
  EngineState& s = Engine();
  const std::string path = s.DestDir + s.EntryFolder;
  if (path.empty()) return;  // the current folder
  if (!platform::CreateDirectories(path)) SetError(kErrDamaged, "Can not create directory " + path);
}

void ExtractCurrentEntry() {
  EngineState& s = Engine();
  s.OutputHandle = platform::kNoFile;
  s.OutputTempPath.clear();
  s.FilesDone += 1;

  // The catalog's decoded name (so a second byte 0x5C of a double-byte
  // character is no separator); both separators become the native one.
  const std::string& name = s.CurrentEntry->EntryPath;
  std::string path = name;
  const char separator = platform::NativeSeparator();
  for (char& c : path)
    if (c == '/' || c == '\\') c = separator;
  SplitEntryName(path.c_str(), s.EntryFolder, s.EntryFileName, s.EntryExt);
  s.OutputName = s.UseFolderNames ? s.EntryFolder + s.EntryFileName : s.EntryFileName;
  const bool isFolder = s.EntryFileName == kFolderName;

  if (s.TestOnly) {
    if (isFolder) {
      s.CurrentEntry->ItemStatus = kStatusOk;
      return;
    }
  } else {
    // Nothing may be created or changed outside the destination.
    if (IsUnsafeEntryPath(name.c_str())) {
      SkipEntry(s, kStatusUnsafePath);
      return;
    }
    if (isFolder) {
      MakeEntryFolder();
      if (s.ErrorNo == 0) s.CurrentEntry->ItemStatus = kStatusOk;
      return;
    }
    if (!PrepareOutput(s)) return;
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
      SetUnsupportedMethod(s);
      return;
  }
  s.EntryCrc ^= 0xFFFFFFFFu;

  if (s.OutputHandle != platform::kNoFile) {
    platform::SetLastWriteTimeFromDos(s.OutputHandle, s.CurrentEntry->FileDate,
                                      s.CurrentEntry->FileTime);
    platform::Close(s.OutputHandle);
    s.OutputHandle = platform::kNoFile;
  }

  // The CRC-32 is the central directory's: a data descriptor is not read.
  if (s.EntryCrc == s.CurrentEntry->CentralCrc) {
    if (s.TestOnly)
      s.CurrentEntry->ItemStatus = kStatusOk;
    else
      PublishOutput(s);
  } else {
    s.SkippedCount += 1;
    s.CurrentEntry->ItemStatus = kStatusBadCrc;
    DiscardOutput(s);
  }
}

}  // namespace vantelo
