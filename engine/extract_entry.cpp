// Extraction (or test) of one entry: output path, folders, output file, decoding,
// file time, CRC check and status text.
//
// A file is never written in place. Its data goes to a pending file in the
// target's folder (platform/destination.h), which gets the target's name only
// when the entry ends "Ok."; any other outcome removes it. So a failed entry
// leaves nothing behind, and the file that was there before survives. Folders
// are opened below the destination, never through a link, and kept open for
// the rest of the batch (platform::FolderCache): the next file in the same
// folder opens nothing again.
//
// The entry runs through the pipeline's parts (pipeline/entry_pipeline.h): the
// batch has put the input on its data (with the decryption filter set), the
// decoder comes from the method table, and the sink is the pending file or,
// in test mode, nothing.
#include "engine/crypto/entry_cipher.h"
#include "engine/engine_state.h"
#include "engine/extract.h"
#include "engine/methods/method_table.h"
#include "engine/pipeline/sink.h"

namespace vantelo {
namespace {

// A skipped entry counts as skipped and adds its full size to the bytes done.
void SkipEntry(EngineState& s, const char* status) {
  s.CurrentEntry->ItemStatus = status;
  s.SkippedCount += 1;
  s.BytesDone += s.CurrentEntry->UnpackedSize;
}

void SetUnsupportedMethod() { SetEntryError(EntryResult::kUnsupported); }

// Opens the destination on the batch's first write, making it when missing.
bool OpenDestinationFolder(EngineState& s) {
  if (s.DestFolder != platform::kNoFolder) return true;
  s.DestFolder = platform::OpenDestination(s.DestDir, true);
  if (s.DestFolder != platform::kNoFolder) return true;
  SetError(kErrDamaged, "Can not create directory " + s.DestDir);
  return false;
}

// Opens (making what is missing) the folder relative below the destination,
// never through a link; the handle is the batch's folder cache's, not to be
// closed. Unsafe means the entry is to be skipped; Failed has set the error
// that stops the batch.
platform::FolderResult OpenEntryFolder(EngineState& s, const std::string& relative,
                                       platform::FolderHandle& folder) {
  folder = platform::kNoFolder;
  if (!OpenDestinationFolder(s)) return platform::FolderResult::Failed;
  const platform::FolderResult result = s.Folders.Open(s.DestFolder, relative, true, folder);
  if (result == platform::FolderResult::Failed)
    SetError(kErrDamaged, "Can not create directory " + s.DestDir + relative);
  return result;
}

// Prepares the output file of a file entry. Returns false when the entry is
// done already: skipped (the file exists, a link stands on its way) or stopped
// by an error.
bool PrepareOutput(EngineState& s, PendingFileSink& file) {
  const std::string target = s.DestDir + s.OutputName;
  // An entry that cannot be decoded creates nothing.
  if (!IsSupportedMethod(s.CurrentEntry->Method)) {
    SetUnsupportedMethod();
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
  // Without overwrite a file or link under the name is kept, and known before
  // anything is decoded. With overwrite it is replaced (the link itself, never
  // what it points to) when the file is published, which also refuses a
  // folder there: that name is looked at only then, at no cost where it is free.
  if (!s.Overwrite) {
    const platform::NameKind present = platform::KindAt(s.OutputFolder, s.EntryFileName);
    if (present == platform::NameKind::Folder) {
      SetError(kErrCreate, "Error creating file " + target + " !");
      return false;
    }
    if (present != platform::NameKind::Nothing) {
      SkipEntry(s, kStatusFileExists);
      return false;
    }
  }
  if (file.Create(s.OutputFolder)) return true;
  // A kept folder may have been removed since it was opened: open it again,
  // through the same checks, and try once more.
  s.Folders.Clear();
  switch (OpenEntryFolder(s, relative, s.OutputFolder)) {
    case platform::FolderResult::Opened:
      if (file.Create(s.OutputFolder)) return true;
      break;
    case platform::FolderResult::Unsafe:
      SkipEntry(s, kStatusUnsafePath);
      return false;
    case platform::FolderResult::Failed:
      return false;
  }
  SetError(kErrCreate, "Error creating file " + target + " !");
  return false;
}

// Gives the finished file its name (the entry's verdict is "Ok.").
void PublishOutput(EngineState& s, PendingFileSink& file) {
  switch (file.Publish(s.EntryFileName, s.Overwrite)) {
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
bool ReadPastEntry(const EngineState& s) { return s.Pipeline->input.BitOffset() > s.EntryDataEnd * 8; }

// The folder stays open in the batch's folder cache.
void CloseEntryFolder(EngineState& s) { s.OutputFolder = platform::kNoFolder; }

}  // namespace

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
  s.OutputFolder = platform::kNoFolder;
  s.CurrentEntry->ItemStatus = nullptr;
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
  // An encryption the engine cannot decrypt (strong encryption, a WinZip AES
  // field of another version or strength) stops the batch like a refused
  // method, before anything is created and in test mode too: no password
  // would give more than garbage.
  if (!isFolder && !CanDecrypt(*s.CurrentEntry)) {
    SetEntryError(EntryResult::kUnsupportedEncryption);
    return;
  }

  PendingFileSink file;  // removed, unless published, when the entry is done
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
    if (!PrepareOutput(s, file)) {
      CloseEntryFolder(s);
      return;
    }
  }

  EntryPipeline& pipeline = *s.Pipeline;
  EntryDecoder* decoder = pipeline.DecoderFor(s.CurrentEntry->Method);
  if (decoder == nullptr) {
    file.Discard();
    CloseEntryFolder(s);
    SetUnsupportedMethod();
    return;
  }
  DiscardSink nothing;
  pipeline.input.bitPos = 0;
  pipeline.input.dataEnd = s.EntryDataEnd;
  decoder->SetEntryFlags(s.CurrentEntry->CentralFlags);
  RunningEntry entry{pipeline.input, *decoder, pipeline.window, s.TestOnly ? static_cast<Sink&>(nothing) : file};
  EntryResult result = entry.Decode(s.CurrentEntry->UnpackedSize, &s.BytesDone);

  // Data that wrong keys turned into garbage often fails to decode, or runs
  // on past the entry: for an encrypted entry that is the same verdict as a
  // CRC mismatch, not damage to the archive, and the batch goes on.
  const bool encrypted = (s.CurrentEntry->CentralFlags & kFlagEncrypted) != 0;
  const bool overran = ReadPastEntry(s);
  if ((encrypted || s.Recovered) && result == EntryResult::kDamaged) {
    // In a recovered archive damaged data (or the end of the file) inside an
    // entry is that entry's verdict too: the run goes on with the next one.
    result = EntryResult::kDataError;
  } else if (!encrypted && overran && !IsFailure(result) && !s.Recovered) {
    // Its stream took another entry's bytes (or the central directory's) as its own.
    SetError(kErrDamaged, kOverlapMessage);
    result = EntryResult::kDamaged;
  }
  // A filter with an authentication code sees the rest of the entry's data
  // and the code (when the decoder stopped short of them) before its verdict.
  InputFilter* filter = pipeline.input.Filter();
  if (filter != nullptr && !IsFailure(result)) {
    const EntryResult fed = pipeline.input.FeedFilter();
    if (fed == EntryResult::kDamaged)
      result = EntryResult::kDataError;  // the code is not there to check
    else if (fed != EntryResult::kOk)
      result = fed;
  }
  const bool authentic = filter == nullptr || filter->Authenticates();
  // AE-2 writers store no CRC-32 (the code authenticates the data instead).
  const bool crcChecked = !(s.CurrentEntry->AesStrength != 0 && s.CurrentEntry->AesVersion == 2);

  // The CRC-32 is the central directory's: a data descriptor is not read.
  if (IsFailure(result)) {
    // Stopped by an error or a user break: no verdict, and nothing of it stays.
    if (s.ErrorNo == 0) SetEntryError(result);
    file.Discard();
  } else if (result == EntryResult::kOk && !overran && authentic &&
             (!crcChecked || pipeline.window.Crc() == s.CurrentEntry->CentralCrc)) {
    if (file.File() != platform::kNoFile)
      platform::SetLastWriteTimeFromDos(file.File(), s.CurrentEntry->FileDate, s.CurrentEntry->FileTime);
    if (s.TestOnly)
      s.CurrentEntry->ItemStatus = kStatusOk;
    else
      PublishOutput(s, file);
  } else {
    s.SkippedCount += 1;
    s.CurrentEntry->ItemStatus = kStatusBadCrc;
    file.Discard();
  }
  CloseEntryFolder(s);
}

}  // namespace vantelo
