// The unzip engine's public interface: the procedures the front ends call and
// the catalog entry record.
//
// The procedures work on one session for the life of the program, so at most
// one archive is open and at most one batch runs at a time; a batch may
// decode on several threads (SetThreadCount), and while it runs another
// thread may call GetProgress, RequestBreak and the catalog queries.
// Failures are reported as an error number (the result) plus a message read
// with GetLastMessage(); the procedures do not throw for them. The one exception is
// an entry index outside the catalog, which throws std::out_of_range carrying
// "List index out of bounds (N)".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantelo {

// The one type of sizes, offsets and byte counts: ZIP64 archives and entries
// pass 4 GiB, and totals of many entries pass any 32-bit range.
using ZipSize = std::int64_t;

// Called by a running batch, on the thread that started it, at most once
// every 200 ms and at least that often while entries are being done. It may
// call GetProgress and RequestBreak; an exception escaping it stops the batch
// with error 22.
using TProgressProc = std::function<void()>;

// Error numbers.
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

// How an entry's data is encrypted, decoded by the catalog from the central
// record's flags (bit 0 encrypted, bit 6 strong encryption), its method (99:
// WinZip AES) and extra fields (0x0017: strong encryption, 0x9901: WinZip AES).
enum class EntryEncryption : std::uint8_t {
  kNone,
  kZipCrypto,  // traditional PKWARE encryption
  kStrong,     // PKWARE's strong encryption: refused whatever the password
  kWinZipAes,
};

// The catalog name of a folder entry.
inline constexpr const char* kFolderName = "[FOLDER]";

// One catalog entry, decoded from one central directory header. The batch
// reads everything about an entry from here; of the local header it only
// checks the signature and skips the name and extra field, because writers
// that stream leave placeholders there (zeros, or all ones with ZIP64).
struct TZFItem {
  // The decoded full name, case as stored; folder, name and extension are split
  // from it when asked for (GetEntryFolder, GetEntryName, GetEntryExt).
  std::string EntryPath;
  // The stored name bytes (up to a NUL) of a name read in the archive's code
  // page, kept to read it again in another one; empty when they are
  // EntryPath's own bytes (PathIsStored) or the name came as UTF-8.
  std::string StoredName;
  ZipSize HeaderOffset = 0;  // of the local header, in the archive file
  ZipSize PackedSize = 0;
  ZipSize UnpackedSize = 0;
  std::uint32_t CentralCrc = 0;    // CRC-32 of the uncompressed data
  std::uint16_t FileDate = 0;      // MS-DOS date word
  std::uint16_t FileTime = 0;      // MS-DOS time word
  std::uint16_t CentralFlags = 0;  // general-purpose flag bits
  // Compression method of the data. A WinZip AES entry (method 99 with a
  // 0x9901 extra field this engine reads) has the method inside the
  // encryption here; one whose field it cannot read keeps 99 and is refused.
  std::uint16_t Method = 0;
  // WinZip AES: the field's vendor version (1: AE-1, 2: AE-2) and key
  // strength (1, 2, 3: 128, 192, 256 bits); 0 for every other entry.
  std::uint16_t AesVersion = 0;
  std::uint8_t AesStrength = 0;
  EntryEncryption Encryption = EntryEncryption::kNone;
  bool Encrypted = false;
  bool HasUnicodeName = false;  // given by flag bit 11 or a Unicode Path field: EntryPath is it
  bool PathIsStored = false;    // a code-page name whose reading equals its stored bytes
};

// Start-up and shutdown. The engine starts up by itself on first use; calling
// EngineStartup() early only makes the moment explicit.
void EngineStartup();
void EngineShutdown();

// Catalog.
std::int32_t OpenArchive(const std::string& fileName);
// Opens an archive as OpenArchive does, except that a failure leaves the open
// archive and its catalog (selection and verdicts included) as they were; the
// error and the result are the failure's.
std::int32_t TryOpenArchive(const std::string& fileName);
std::int32_t CloseArchive();

// Recovery of a damaged or truncated archive, only when the user asks for it:
// the entries are read from their local headers, front to back, instead of
// from the central directory. Every entry found is listed in file order; a
// batch gives "BAD CRC!" to those cut off by the end of the file, damaged or
// failing their CRC-32 (nothing of them is written), and damage inside an
// entry never stops it. Returns 0, or kOpenFailed with error 4 (the file
// cannot be opened) or 1 (no entry was found); then the catalog that was open
// stays open, as it was.
std::int32_t RecoverArchive(const std::string& fileName);
// Whether the file's first 64 KiB hold a local header the scan would take:
// a damaged file worth offering recovery for (a text file is not).
bool CanRecoverArchive(const std::string& fileName);
// Whether the open catalog is a recovered one.
bool IsArchiveRecovered();

// Character set of the stored names that are not marked as Unicode (by flag
// bit 11 or an Info-ZIP Unicode Path field). "" (the start-up setting) chooses
// one per archive from its names; otherwise an id from kNameCharsets, one of
// their usual names ("cp866", "866", "shift_jis", "gbk", "big5", "euc-kr") or
// any other character set the platform converts. The open archive's names are
// decoded again at once. False, and nothing changes, for an unknown name.
bool SetNameCharset(const std::string& charset);
std::string GetNameCharset();  // the setting: "" or an id
// The character set the open archive's unmarked names were decoded with.
std::string GetArchiveNameCharset();

// The character sets offered to users: id and label.
struct NameCharsetChoice {
  const char* id;
  const char* label;
};
inline constexpr NameCharsetChoice kNameCharsets[] = {
    {"UTF-8", "UTF-8"},
    {"CP437", "Western (437)"},
    {"CP850", "Western (850)"},
    {"CP1252", "Western (1252)"},
    {"CP852", "Central European (852)"},
    {"CP1250", "Central European (1250)"},
    {"CP866", "Cyrillic (866)"},
    {"CP1251", "Cyrillic (1251)"},
    {"CP936", "Chinese Simplified (GBK)"},
    {"CP950", "Chinese Traditional (Big5)"},
    {"CP932", "Japanese (Shift-JIS)"},
    {"CP949", "Korean (EUC-KR)"},
};

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
// The entry's compression method number from its central record (0 stored,
// 8 Deflate, 9 Deflate64, 98 PPMd, ...).
std::uint16_t GetEntryMethod(std::int32_t index);
// What users call a compression method ("Deflate64", "PPMd"); "" for a number
// the ZIP format names no method for.
std::string GetMethodName(std::uint16_t method);
// The methods this build decodes, by name in method number order ("Stored",
// "Deflate", ...); the others stop a batch with error 2.
std::vector<std::string> GetSupportedMethodNames();
bool GetEntrySelected(std::int32_t index);
bool SetEntrySelected(std::int32_t index, bool value);
std::string GetLastMessage();
std::int32_t GetSkippedCount();
bool GetProgress(std::int32_t& files, ZipSize& bytes);
// The entry the last batch stopped at with an error (its index), -1 when the
// batch reached its end or stopped before any entry.
std::int32_t GetStoppedEntry();
// Whether the last batch stopped because that entry's compression method (or
// what the method asks for) is refused, error 2, as opposed to its
// encryption: only then does naming the method explain the stop.
bool GetStoppedForMethod();
bool RequestBreak();

// Threads of a batch: entries are decoded on up to this many threads at once
// and their results published in entry order, so every verdict, counter, file
// and message is what one thread gives. 0 (the start-up setting) is as many
// as the processor has, at most kMaxThreads; a larger count is cut to that.
// Set between batches.
inline constexpr std::int32_t kMaxThreads = 16;
void SetThreadCount(std::int32_t count);
// The number of threads the next batch uses (the default resolved).
std::int32_t GetThreadCount();

// Batches: extract or test all entries, the selected ones, or one entry.
// Each returns the error number (0 when the batch reached its end).
std::int32_t ExtractAll(const std::string& destDir, const std::string& password, bool overwrite,
                        bool useFolderNames, bool testOnly, TProgressProc callback);
std::int32_t ExtractSelected(const std::string& destDir, const std::string& password,
                             bool overwrite, bool useFolderNames, bool testOnly,
                             TProgressProc callback);
std::int32_t ExtractEntry(std::int32_t index, const std::string& destDir,
                          const std::string& password, bool overwrite, bool useFolderNames,
                          bool testOnly, TProgressProc callback);

// Splits a decoded name into folder (with its trailing separator), file name and
// extension, lower-casing ASCII letters. A name ending in a separator is a
// folder entry and gets the file name "[FOLDER]".
void SplitEntryName(const char* name, std::string& folder, std::string& fileName,
                    std::string& ext);

}  // namespace vantelo
