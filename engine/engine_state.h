// The engine's one state record. Internal: only the engine and its tests include
// this header. Every buffer and table is a fixed-size array here, so decoding
// allocates nothing per entry or per block.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/destination.h"
#include "platform/platform.h"

namespace vantelo {

// Sizes of the input buffer and the output window.
inline constexpr std::int32_t kInBufferFill = 32768;   // bytes ever read into InBuffer
inline constexpr std::int32_t kInBufferSlack = 16;     // zeroed room after the filled part
inline constexpr std::int32_t kOutWindowSize = 65536;  // flush point of the output window
inline constexpr std::int32_t kOutOverrun = 512;       // room for a match that crosses it
inline constexpr std::int32_t kHistorySize = 32768;    // Deflate history kept on a slide

// Huffman table sizes (see engine/inflate/huffman_tables.h for their meaning).
inline constexpr int kCodeLenSymbols = 19;
inline constexpr int kCodeLenTableSize = 128;
inline constexpr int kLitLengthsSize = 321;
inline constexpr int kDistLengthsSize = 32;
inline constexpr int kFirstLevelSize = 512;
inline constexpr int kSubTableSize = 64;
inline constexpr int kLitSubTables = 290;
inline constexpr int kDistSubTables = 32;
inline constexpr int kFixedLitLengthsSize = 300;

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
  std::vector<ZipSize> EntryLimits;  // per entry: its bytes end by this offset

  // --- work area of the current entry
  std::string EntryFolder, EntryFileName, EntryExt;
  std::string OutputName;
  platform::FileHandle OutputHandle = platform::kNoFile;
  std::string OutputTempName;  // its hidden name while written; empty when it has none
  platform::FolderHandle OutputFolder = platform::kNoFolder;  // where the entry's file goes
  ZipSize LocalOffset = 0;
  ZipSize EntryDataEnd = 0;  // archive offset just past the entry's packed data
  std::array<std::uint8_t, 12> CryptHeader{};

  // --- batch options
  std::string DestDir;  // empty (the current folder) or ending with a separator
  platform::FolderHandle DestFolder = platform::kNoFolder;  // opened on the first write
  std::string Password;  // at most 30 characters
  bool SelectedOnly = false;
  bool TestOnly = false;
  bool UseFolderNames = false;
  bool Overwrite = false;
  TProgressProc Callback;

  // --- batch counters and control
  std::int32_t FilesDone = 0;
  ZipSize BytesDone = 0;
  std::int32_t SkippedCount = 0;
  volatile std::uint8_t UserBreak = 0;
  std::uint32_t LastCallbackTick = 0;

  // --- input buffer
  alignas(8) std::array<std::uint8_t, kInBufferFill + kInBufferSlack> InBuffer{};
  ZipSize InBase = 0;
  std::int32_t InCount = 0;
  std::int32_t InPos = 0;
  std::int32_t InBitPos = 0;
  std::int32_t InLimit = 0;
  std::int32_t ReadCount = 0;

  // --- output window
  alignas(8) std::array<std::uint8_t, kOutWindowSize + kOutOverrun> OutWindow{};
  std::int32_t OutPos = 0;
  std::int32_t OutStart = 0;
  std::int32_t OutPending = 0;
  ZipSize EntryOutCount = 0;
  std::uint32_t EntryCrc = 0;

  // --- CRC-32
  std::array<std::uint32_t, 256> CrcTable{};

  // --- traditional decryption
  std::array<std::uint32_t, 3> CryptKeys{};
  std::int32_t CryptStart = 0;
  std::int32_t CryptCount = 0;
  ZipSize CryptRemaining = 0;

  // --- Huffman tables
  std::array<std::int32_t, kCodeLenSymbols> CodeLenLengths{};
  std::array<std::uint32_t, kCodeLenTableSize> CodeLenTable{};
  std::array<std::int32_t, kLitLengthsSize> LitLengths{};
  std::array<std::int32_t, kDistLengthsSize> DistLengths{};
  std::array<std::uint32_t, kFirstLevelSize> LitTable{};
  std::array<std::uint32_t, kFirstLevelSize> DistTable{};
  std::array<std::array<std::uint32_t, kSubTableSize>, kLitSubTables> LitSubTables{};
  std::array<std::array<std::uint32_t, kSubTableSize>, kDistSubTables> DistSubTables{};
  std::array<std::uint32_t, kFirstLevelSize> FixedLitTable{};
  std::array<std::uint32_t, kFirstLevelSize> FixedDistTable{};
  std::array<std::int32_t, kFixedLitLengthsSize> FixedLitLengths{};
  std::array<std::int32_t, kDistLengthsSize> FixedDistLengths{};
  std::int32_t LitCodeCount = 0;
  std::int32_t DistCodeCount = 0;
  std::int32_t CodeLenCodeCount = 0;
  bool WorkingTablesAreFixed = false;  // the working tables hold the fixed code

  // --- Inflate driver
  std::uint8_t LastBlock = 0;
  std::int32_t MatchDistance = 0;

  bool Started = false;
};

// The one engine state; started up on first use.
EngineState& Engine();

// Sets ErrorNo and ErrorMsg together.
void SetError(std::int32_t number, std::string message);

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

// Start-up hooks of the decoding layers, run once by EngineStartup().
void BuildCrcTable();
void BuildFixedTables();  // also saves the fixed copies

}  // namespace vantelo
