// The engine's one state record: the catalog, the batch's options and
// counters, and the entry pipeline the batch runs each entry through. Internal:
// only the engine and its tests include this header. The input buffer, the
// output window and the decoders' tables are the pipeline's
// (pipeline/entry_pipeline.h), made once and reused, so decoding allocates
// nothing per entry or per block.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/pipeline/entry_pipeline.h"
#include "platform/destination.h"
#include "platform/platform.h"

namespace vantelo {

struct EngineState {
  // --- error state
  std::int32_t ErrorNo = 0;
  std::string ErrorMsg;

  // --- archive and catalog
  std::string ArchiveName;
  platform::FileHandle ArchiveHandle = platform::kNoFile;
  ZipSize ArchiveSize = 0;
  ZipSize EndRecordOffset = -1;
  std::array<std::uint8_t, 22> EndRecord{};
  std::array<std::uint8_t, 46> CentralHeader{};
  std::vector<TZFItem> Entries;
  // The entry the batch works on; the decoders read its method, flags, CRC-32
  // and sizes.
  TZFItem* CurrentEntry = nullptr;
  ZipSize TotalSize = 0;
  std::string NameCharset;         // the user's setting ("" automatic), canonical
  std::string ArchiveNameCharset;  // what the open archive's legacy names were decoded with
  ZipSize CentralOffset = 0;     // where the central directory starts in the file
  // Computed once per catalog (at open): per entry, its bytes end by this
  // offset; EntriesOverlap when some entries share bytes (every batch refuses).
  std::vector<ZipSize> EntryLimits;
  bool EntriesOverlap = false;
  // The catalog came from the recovery scan (RecoverArchive): damage or the
  // end of the file inside an entry is that entry's verdict, not an error of
  // the batch. Per entry, whether the scan found it incomplete (its verdict
  // is "BAD CRC!" without decoding it).
  bool Recovered = false;
  std::vector<std::uint8_t> RecoveredIncomplete;

  // --- work area of the current entry
  std::string EntryFolder, EntryFileName, EntryExt;
  std::string OutputName;
  platform::FolderHandle OutputFolder = platform::kNoFolder;  // where the entry's file goes
  ZipSize LocalOffset = 0;
  ZipSize EntryDataEnd = 0;  // archive offset just past the entry's packed data

  // --- batch options
  std::string DestDir;  // empty (the current folder) or ending with a separator
  platform::FolderHandle DestFolder = platform::kNoFolder;  // opened on the first write
  platform::FolderCache Folders;  // the folders below it reached in this batch, kept open
  std::string Password;  // as the user gave it (UTF-8); see crypto/password_forms.h
  bool SelectedOnly = false;
  bool TestOnly = false;
  bool UseFolderNames = false;
  bool Overwrite = false;
  TProgressProc Callback;
  std::int32_t ThreadCount = 0;  // SetThreadCount's setting; 0: the processor's

  // --- batch counters and control
  std::int32_t FilesDone = 0;
  ZipSize BytesDone = 0;
  std::int32_t SkippedCount = 0;
  std::int32_t StoppedEntry = -1;  // the entry an error stopped the batch at
  bool StoppedForMethod = false;   // that error was its refused compression method
  volatile std::uint8_t UserBreak = 0;
  std::uint32_t LastCallbackTick = 0;

  // --- the parts each entry runs through (made on the first batch)
  std::unique_ptr<EntryPipeline> Pipeline;

  bool Started = false;
};

// The one engine state; started up on first use.
EngineState& Engine();

// Empties the catalog: no entries, no total, no limits (the archive handle is
// the caller's).
void ClearCatalog(EngineState& s);
// Computes the catalog's entry limits and overlap verdict from its entries.
void FindCatalogLimits(EngineState& s);

// Sets ErrorNo and ErrorMsg together.
void SetError(std::int32_t number, std::string message);
// Sets the error of a pipeline failure (entry_result.h) with the archive's and
// the current output's names; a result that is no failure changes nothing.
void SetEntryError(EntryResult result);

// General-purpose flag bits of the local and central headers.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;   // traditional encryption
inline constexpr std::uint16_t kFlagDescriptor = 0x0008;  // CRC and sizes follow the data

// Little-endian field readers over raw header bytes.
inline std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t ReadU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(ReadU32(p)) | (static_cast<std::uint64_t>(ReadU32(p + 4)) << 32);
}

}  // namespace vantelo
