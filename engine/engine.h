// The unzip engine's public interface: the procedures the front ends call and
// the catalog entry record.
//
// One engine state exists for the life of the program, so at most one archive
// is open and at most one batch runs at a time. Failures are reported as an
// error number (the result, or ErrorNo) plus a message read with
// GetLastMessage(); the procedures do not throw for them. The one exception is
// an entry index outside the catalog, which throws std::out_of_range carrying
// "List index out of bounds (N)".
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vantelo {

// The one type of sizes, offsets and byte counts: ZIP64 archives and entries
// pass 4 GiB, and totals of many entries pass any 32-bit range.
using ZipSize = std::int64_t;

// Called by a running batch at most once every 200 ms, from input refills. It
// may call GetProgress and RequestBreak; an exception escaping it stops the
// batch with error 22.
using TProgressProc = std::function<void()>;

// Error numbers held in ErrorNo.
enum ErrorNumber : std::int32_t {
  kNoError = 0,
  kErrDamaged = 1,        // damaged structure, or a folder cannot be created
  kErrMethod = 2,         // compression method not supported
  kErrRead = 3,           // read error or user break
  kErrOpen = 4,           // archive cannot be opened
  kErrWrite = 5,          // output cannot be written
  kErrCreate = 6,         // output file cannot be created
  kErrCallback = 22,      // the progress procedure raised
};
// Result of a failed OpenArchive.
inline constexpr std::int32_t kOpenFailed = 11;

// Per-entry status texts written by a batch.
inline constexpr const char* kStatusOk = "Ok.";
inline constexpr const char* kStatusBadCrc = "BAD CRC!";
inline constexpr const char* kStatusFileExists = "Skiped! File exists.";
inline constexpr const char* kStatusBadPassword = "Skiped! Bad password.";
inline constexpr const char* kStatusEncryptedDescriptor =
    "Skiped! Can not process encrypted with data descryptor.";
inline constexpr const char* kStatusUnsafePath = "Skiped! Unsafe path.";

// The catalog name of a folder entry.
inline constexpr const char* kFolderName = "[FOLDER]";

// One catalog entry, decoded from one central directory header. The batch
// reads everything about an entry from here; of the local header it only
// checks the signature and skips the name and extra field, because writers
// that stream leave placeholders there (zeros, or all ones with ZIP64).
struct TZFItem {
  std::string ItemName;    // file name part, or "[FOLDER]"
  std::string ItemExt;     // everything after the first dot of the file name
  std::string ItemFolder;  // folder part with its trailing separator
  std::string ItemStatus;  // status text of the last batch that handled it
  ZipSize HeaderOffset = 0;  // of the local header, in the archive file
  ZipSize PackedSize = 0;
  ZipSize UnpackedSize = 0;
  std::uint16_t FileDate = 0;  // MS-DOS date word
  std::uint16_t FileTime = 0;  // MS-DOS time word
  bool Encrypted = false;
  bool Selected = false;
  std::uint32_t CentralCrc = 0;    // CRC-32 of the uncompressed data
  std::uint16_t CentralFlags = 0;  // general-purpose flag bits
  std::uint16_t Method = 0;        // compression method
  std::string StoredName;          // the name bytes as stored, not decoded
};

// Start-up and shutdown. The engine starts up by itself on first use; calling
// EngineStartup() early only makes the moment explicit.
void EngineStartup();
void EngineShutdown();

// Catalog.
std::int32_t OpenArchive(const std::string& fileName);
std::int32_t CloseArchive();

// Queries and controls.
std::int32_t GetEntryCount();
ZipSize GetTotalSize();
std::int32_t GetSelectedCount();
ZipSize GetSelectedSize();
std::string GetEntryName(std::int32_t index);
std::string GetEntryExt(std::int32_t index);
std::string GetEntryFolder(std::int32_t index);
std::string GetEntryStatus(std::int32_t index);
std::uint16_t GetEntryDate(std::int32_t index);
std::uint16_t GetEntryTime(std::int32_t index);
ZipSize GetEntrySize(std::int32_t index);
ZipSize GetEntryPackedSize(std::int32_t index);
bool GetEntryEncrypted(std::int32_t index);
bool GetEntrySelected(std::int32_t index);
bool SetEntrySelected(std::int32_t index, bool value);
std::string GetLastMessage();
std::int32_t GetSkippedCount();
bool GetProgress(std::int32_t& files, ZipSize& bytes);
bool RequestBreak();

// Batches: extract or test all entries, the selected ones, or one entry.
// Each returns ErrorNo (0 when the batch reached its end).
std::int32_t ExtractAll(const std::string& destDir, const std::string& password, bool overwrite,
                        bool useFolderNames, bool testOnly, TProgressProc callback);
std::int32_t ExtractSelected(const std::string& destDir, const std::string& password,
                             bool overwrite, bool useFolderNames, bool testOnly,
                             TProgressProc callback);
std::int32_t ExtractEntry(std::int32_t index, const std::string& destDir,
                          const std::string& password, bool overwrite, bool useFolderNames,
                          bool testOnly, TProgressProc callback);

// Splits a stored name into folder (with its trailing separator), file name and
// extension, lower-casing ASCII letters. A name ending in a separator is a
// folder entry and gets the file name "[FOLDER]".
void SplitEntryName(const char* name, std::string& folder, std::string& fileName,
                    std::string& ext);

}  // namespace vantelo
