// Reading an archive's catalog: the end of central directory record (and its
// ZIP64 counterpart), then every central directory header, into the entry list.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "engine/crypto/entry_cipher.h"
#include "engine/crypto/winzip_aes.h"
#include "engine/byte_fields.h"
#include "engine/catalog.h"
#include "engine/entry_names.h"
#include "engine/session.h"

namespace vantelo {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::int32_t kEndRecordSize = 22;
constexpr std::int32_t kZip64EndRecordSize = 56;  // without its extensible data
constexpr std::int32_t kZip64LocatorSize = 20;
constexpr std::int32_t kCentralHeaderSize = 46;
constexpr std::int32_t kMaxComment = 65535;
// The end record with the longest comment: a record further from the end of
// the file is not an end record of this file.
constexpr std::int32_t kMaxScan = kEndRecordSize + kMaxComment;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t kAllOnes32 = 0xFFFFFFFFu;
constexpr std::uint16_t kAllOnes16 = 0xFFFF;
// Larger sizes or offsets are damage: no file is that large, and their sums
// over every entry must stay far from the 64-bit limit.
constexpr std::uint64_t kMaxZipValue = std::uint64_t{1} << 56;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// What opening reads besides the catalog it builds, and why it failed.
struct Opening {
  Catalog& c;
  std::array<std::uint8_t, kEndRecordSize> endRecord{};
  FailureText failure;

  bool Fail(std::int32_t number, std::string message) {
    failure = {number, std::move(message)};
    return false;
  }
};

const char* const kNotZip = "This is not a ZIP file or the structure of ZIP file is damaged!";
const char* const kDirectoryDamaged = "The structure of central directory is damaged!";

// Reads n bytes at offset; false when the file does not hold them all.
bool ReadAt(const Opening& s, ZipSize offset, std::uint8_t* data, std::int32_t n) {
  return offset >= 0 && platform::Seek(s.c.archiveHandle, offset, platform::SeekOrigin::Begin) == offset &&
         platform::Read(s.c.archiveHandle, data, n) == n;
}

// Looks for the end record: first where it sits without a comment, then by a
// backward scan over the file's tail, where the highest match wins.
bool FindEndRecord(Opening& s) {
  using platform::SeekOrigin;
  if (s.c.archiveSize >= kEndRecordSize &&
      ReadAt(s, s.c.archiveSize - kEndRecordSize, s.endRecord.data(), kEndRecordSize) &&
      ReadU32(s.endRecord.data()) == kEndSignature) {
    s.c.endRecordOffset = s.c.archiveSize - kEndRecordSize;
    return true;
  }
  const auto span = static_cast<std::int32_t>(std::min<ZipSize>(s.c.archiveSize, kMaxScan));
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(span));
  platform::Seek(s.c.archiveHandle, s.c.archiveSize - span, SeekOrigin::Begin);
  const std::int32_t got = platform::Read(s.c.archiveHandle, tail.data(), span);
  if (got != span) return false;
  for (std::int32_t k = span - 4; k >= 0; --k) {
    if (ReadU32(tail.data() + k) != kEndSignature) continue;
    s.c.endRecordOffset = s.c.archiveSize - span + k;
    // A record cut off by the end of the file reads as zeros beyond it.
    s.endRecord.fill(0);
    const std::int32_t available = std::min(kEndRecordSize, span - k);
    std::memcpy(s.endRecord.data(), tail.data() + k, static_cast<std::size_t>(available));
    return true;
  }
  return false;
}

// Where the central directory is and what it holds, from the end record or,
// when a locator precedes the end record, from the ZIP64 end record.
struct DirectoryPlace {
  std::uint64_t count = 0;   // entries, as the end record states them
  ZipSize size = 0;          // bytes of the central directory
  ZipSize offset = 0;        // where the end record says it starts
  ZipSize end = 0;           // where it must end: at the (ZIP64) end record
  bool countIsWide = false;  // the count came from a ZIP64 end record
};

// Fills place from the ZIP64 end record named by a locator right before the
// end record. False, with the failure set, when the locator is there but its
// record is not; true otherwise (also when there is no locator).
bool ReadZip64End(Opening& s, DirectoryPlace& place) {
  std::array<std::uint8_t, kZip64LocatorSize> locator{};
  const ZipSize locatorOffset = s.c.endRecordOffset - kZip64LocatorSize;
  if (locatorOffset < 0 || !ReadAt(s, locatorOffset, locator.data(), kZip64LocatorSize) ||
      ReadU32(locator.data()) != kZip64LocatorSignature)
    return true;
  // Where the locator says, or right before it when bytes in front of the
  // archive moved everything.
  std::array<std::uint8_t, kZip64EndRecordSize> record{};
  const std::uint64_t stated = ReadU64(locator.data() + 8);
  ZipSize at = stated < kMaxZipValue ? static_cast<ZipSize>(stated) : -1;
  if (!ReadAt(s, at, record.data(), kZip64EndRecordSize) ||
      ReadU32(record.data()) != kZip64EndSignature) {
    at = locatorOffset - kZip64EndRecordSize;
    if (!ReadAt(s, at, record.data(), kZip64EndRecordSize) ||
        ReadU32(record.data()) != kZip64EndSignature)
      return s.Fail(kErrDamaged, kNotZip);
  }
  const std::uint64_t size = ReadU64(record.data() + 40);
  const std::uint64_t offset = ReadU64(record.data() + 48);
  if (size >= kMaxZipValue || offset >= kMaxZipValue) return s.Fail(kErrDamaged, kNotZip);
  place.count = ReadU64(record.data() + 32);
  place.size = static_cast<ZipSize>(size);
  place.offset = static_cast<ZipSize>(offset);
  place.end = at;
  place.countIsWide = true;
  return true;
}

// Data in front of the archive (a self-extracting stub, or a file joined in
// front) moves the central directory away from the offset the end record
// states, to where its size places it before the end record. That distance
// moves every stored offset alike. Zero when the directory is where stated.
ZipSize FrontShift(const Opening& s, const DirectoryPlace& place) {
  const ZipSize actual = place.end - place.size;
  if (actual <= place.offset) return 0;
  std::array<std::uint8_t, 4> signature{};
  if (place.size > 0 && ReadAt(s, place.offset, signature.data(), 4) &&
      ReadU32(signature.data()) == kCentralSignature)
    return 0;
  if (!ReadAt(s, actual, signature.data(), 4) || ReadU32(signature.data()) != kCentralSignature)
    return 0;
  return actual - place.offset;
}

// Sequential reads of the central directory through a buffer: one read call
// per 64 KiB, not three per header.
class DirectoryReader {
 public:
  DirectoryReader(const Opening& s, ZipSize offset) : s_(s), position_(offset) {
    platform::Seek(s_.c.archiveHandle, offset, platform::SeekOrigin::Begin);
  }
  // The next n bytes, or nullptr when the file ends before them.
  const std::uint8_t* Take(std::int32_t n) {
    if (end_ - start_ < static_cast<std::size_t>(n)) {
      buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
      end_ -= start_;
      start_ = 0;
      while (end_ < static_cast<std::size_t>(n)) {
        buffer_.resize(end_ + kChunk);
        const std::int32_t got = platform::Read(s_.c.archiveHandle, buffer_.data() + end_, kChunk);
        if (got <= 0) return nullptr;
        end_ += static_cast<std::size_t>(got);
      }
    }
    const std::uint8_t* p = buffer_.data() + start_;
    start_ += static_cast<std::size_t>(n);
    position_ += n;
    return p;
  }
  // The archive offset of the next byte.
  ZipSize Position() const { return position_; }
  // Whether the next four bytes are a central header's signature.
  bool AtCentralHeader() {
    const ZipSize here = position_;
    const std::uint8_t* p = Take(4);
    if (p == nullptr) return false;
    start_ -= 4;
    position_ = here;
    return ReadU32(p) == kCentralSignature;
  }

 private:
  static constexpr std::int32_t kChunk = 65536;
  const Opening& s_;
  ZipSize position_;
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0, end_ = 0;
};

// Replaces the 32-bit sizes and offset holding all ones with the values of the
// ZIP64 extended information field, read in the order the format defines:
// only the fields whose short counterpart holds all ones are present. False
// when a field needed is missing or out of range.
bool ApplyZip64Extra(const std::uint8_t* extra, std::int32_t length, bool wideUnpacked,
                     bool widePacked, bool wideOffset, TZFItem& item) {
  if (!wideUnpacked && !widePacked && !wideOffset) return true;
  for (std::int32_t at = 0; at + 4 <= length;) {
    const std::uint16_t id = ReadU16(extra + at);
    const std::int32_t size = ReadU16(extra + at + 2);
    const std::uint8_t* field = extra + at + 4;
    at += 4 + size;
    if (id != kZip64ExtraId || at > length) continue;
    std::int32_t used = 0;
    auto take = [&](ZipSize& value) {
      if (used + 8 > size) return false;
      const std::uint64_t v = ReadU64(field + used);
      used += 8;
      if (v >= kMaxZipValue) return false;
      value = static_cast<ZipSize>(v);
      return true;
    };
    return (!wideUnpacked || take(item.UnpackedSize)) && (!widePacked || take(item.PackedSize)) &&
           (!wideOffset || take(item.HeaderOffset));
  }
  return false;
}

}  // namespace

void SplitEntryName(const char* name, std::string& folder, std::string& fileName,
                    std::string& ext) {
  // Finds the last separator and the first dot after it, then copies each
  // part once, lower-cased (one pass per part, no temporary copies: this runs
  // for every entry of the catalog).
  const std::size_t length = std::strlen(name);
  std::size_t separator = std::string::npos, dot = std::string::npos;
  for (std::size_t i = length; i-- > 0;) {
    if (IsSeparator(name[i])) {
      separator = i;
      break;
    }
    if (name[i] == '.') dot = i;  // keeps going: the first dot wins
  }
  auto lowered = [name](std::size_t from, std::size_t to, std::string& part) {
    part.assign(name + from, name + to);
    for (char& c : part)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  };
  folder.clear();
  fileName.clear();
  ext.clear();
  if (separator != std::string::npos) {
    lowered(separator + 1, length, fileName);
    lowered(0, separator + 1, folder);
  }
  if (dot != std::string::npos) lowered(dot + 1, length, ext);
  if (fileName.empty() && !folder.empty()) fileName = kFolderName;
  if (fileName.empty() && folder.empty()) lowered(0, length, fileName);
}

bool ReadCatalog(const std::string& fileName, const std::string& charsetSetting, Catalog& catalog,
                 FailureText& failure, bool& isArchive) {
  using platform::SeekOrigin;
  catalog = Catalog{};
  isArchive = false;
  Opening s{catalog};
  const auto failed = [&](std::int32_t number, std::string message) {
    failure = {number, std::move(message)};
    catalog = Catalog{};  // nothing of it stays, the file closes
    return false;
  };
  s.c.archiveName = fileName;
  s.c.archiveHandle = platform::OpenForReading(fileName);
  if (s.c.archiveHandle == platform::kNoFile) return failed(kErrOpen, "Can not open file " + fileName + " !");
  s.c.archiveSize = std::max<ZipSize>(0, platform::Seek(s.c.archiveHandle, 0, SeekOrigin::End));
  if (!FindEndRecord(s)) return failed(kErrDamaged, kNotZip);
  isArchive = true;

  DirectoryPlace place;
  place.count = ReadU16(s.endRecord.data() + 10);
  place.size = ReadU32(s.endRecord.data() + 12);
  place.offset = ReadU32(s.endRecord.data() + 16);
  place.end = s.c.endRecordOffset;
  if (!ReadZip64End(s, place)) return failed(s.failure.number, s.failure.message);
  if (place.count > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
    return failed(kErrDamaged, "The central directory holds more entries than are supported!");
  const ZipSize shift = FrontShift(s, place);
  const ZipSize directoryEnd = place.offset + shift + place.size;
  s.c.centralOffset = place.offset + shift;

  // Every record the end record counts must be there. Records beyond that
  // count are read too while they lie inside the directory's stated size: a
  // 16-bit count wraps at 65,536 entries in archives written without ZIP64.
  DirectoryReader reader(s, place.offset + shift);
  // Room for the counted records, but no more than the directory's bytes can
  // hold: a hostile count reserves nothing it does not have.
  const ZipSize directoryRoom = std::clamp<ZipSize>(place.size, 0, s.c.archiveSize);
  s.c.entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
      place.count, static_cast<std::uint64_t>(directoryRoom / kCentralHeaderSize))));
  for (std::uint64_t n = 0;; ++n) {
    if (n >= place.count && (reader.Position() + kCentralHeaderSize > directoryEnd ||
                             !reader.AtCentralHeader()))
      break;
    const std::uint8_t* h = reader.Take(kCentralHeaderSize);
    if (h == nullptr) return failed(kErrRead, "Error reading from file " + fileName + " !");
    std::array<std::uint8_t, kCentralHeaderSize> header{};
    std::memcpy(header.data(), h, kCentralHeaderSize);
    h = header.data();
    // Names of any length the format allows (65,535 bytes) are read whole; the
    // batch decides per entry whether the destination can hold one.
    const std::int32_t nameLength = ReadU16(h + 28);
    const std::int32_t extraLength = ReadU16(h + 30);
    const std::int32_t commentLength = ReadU16(h + 32);
    const std::uint8_t* rest = reader.Take(nameLength + extraLength + commentLength);
    if (rest == nullptr) return failed(kErrDamaged, "Error reading from file " + fileName + "!");
    if (ReadU32(h) != kCentralSignature) return failed(kErrDamaged, kDirectoryDamaged);

    TZFItem item;
    item.CentralFlags = ReadU16(h + 8);
    item.Method = ReadU16(h + 10);
    item.FileTime = ReadU16(h + 12);
    item.FileDate = ReadU16(h + 14);
    item.CentralCrc = ReadU32(h + 16);
    item.PackedSize = ReadU32(h + 20);
    item.UnpackedSize = ReadU32(h + 24);
    item.HeaderOffset = ReadU32(h + 42);
    if (!ApplyZip64Extra(rest + nameLength, extraLength, item.UnpackedSize == kAllOnes32,
                         item.PackedSize == kAllOnes32, item.HeaderOffset == kAllOnes32, item))
      return failed(kErrDamaged, kDirectoryDamaged);
    item.HeaderOffset += shift;
    item.Encrypted = (item.CentralFlags & kFlagEncrypted) != 0;
    item.Encryption = EncryptionOf(item.CentralFlags, item.Method, rest + nameLength, extraLength);
    if (item.Encryption == EntryEncryption::kWinZipAes) {
      // The method inside the encryption is the one to decode; a field this
      // engine cannot read leaves 99 (refused as an encryption it cannot do).
      const WinZipAesField aes = ReadWinZipAesField(rest + nameLength, extraLength);
      if (aes.kind == WinZipAesField::Kind::kSupported) {
        item.Method = aes.method;
        item.AesVersion = aes.vendorVersion;
        item.AesStrength = aes.strength;
      }
    }
    if (item.UnpackedSize > std::numeric_limits<ZipSize>::max() - s.c.totalSize ||
        s.c.entries.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
      return failed(kErrDamaged, "The central directory holds more than is supported!");
    s.c.totalSize += item.UnpackedSize;
    s.c.entries.push_back(std::move(item));
    // The extra field may carry a Unicode name; names are decoded once the
    // whole catalog is known (the code page is chosen from all of them).
    SetStoredName(s.c.entries.back(),
                  std::string_view(reinterpret_cast<const char*>(rest), nameLength),
                  s.c.entries.back().CentralFlags, rest + nameLength, extraLength);
  }
  DecodeEntryNames(catalog, charsetSetting);
  // Once per catalog: a batch over a few entries of a large archive does not
  // sort them all again.
  FindCatalogLimits(catalog);
  return true;
}

namespace {

enum class OnFailure {
  kKeep,           // the open catalog stays
  kKeepUnlessZip,  // it stays unless the file was an archive with a damaged directory
};

// Opens with `read` (the central directory, or the recovery scan). The new
// catalog is committed only when that succeeds; on failure the open one stays
// or closes as `onFailure` says.
std::int32_t OpenWith(bool (*read)(const std::string&, const std::string&, Catalog&, FailureText&, bool&),
                      const std::string& fileName, OnFailure onFailure) {
  Session& s = DefaultSession();
  s.ClearError();
  Catalog opened;
  FailureText failure;
  bool isArchive = false;
  if (!read(fileName, s.nameCharset, opened, failure, isArchive)) {
    if (onFailure == OnFailure::kKeepUnlessZip && isArchive) {
      s.Commit(Catalog{});
      s.stoppedEntry = -1;
    }
    s.SetFailure(failure);
    return kOpenFailed;
  }
  s.Commit(std::move(opened));
  s.stoppedEntry = -1;
  return 0;
}

}  // namespace

// A file that cannot be opened, or is no archive at all, leaves the catalog
// that was open; an archive whose directory is damaged closes it.
std::int32_t OpenArchive(const std::string& fileName) {
  return OpenWith(&ReadCatalog, fileName, OnFailure::kKeepUnlessZip);
}

std::int32_t TryOpenArchive(const std::string& fileName) { return OpenWith(&ReadCatalog, fileName, OnFailure::kKeep); }

// Recovery that finds nothing leaves what was open as it was.
std::int32_t RecoverArchive(const std::string& fileName) { return OpenWith(&ScanCatalog, fileName, OnFailure::kKeep); }

bool IsArchiveRecovered() { return DefaultSession().catalog.recovered; }

}  // namespace vantelo
