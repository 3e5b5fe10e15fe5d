// Reading an archive's catalog: the end of central directory record, then every
// central directory header, into the entry list.
#include <algorithm>
#include <cstring>

#include "engine/engine_state.h"

namespace vantelo {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::int32_t kEndRecordSize = 22;
constexpr std::int32_t kCentralHeaderSize = 46;
constexpr std::int32_t kMaxScan = 65535;  // the longest comment plus the record
constexpr std::int64_t kMaxArchiveSize = 0x7FFFFFFF;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Closes the archive after a failure while reading headers: nothing of it stays.
std::int32_t FailReadingHeaders(std::int32_t number, std::string message) {
  EngineState& s = Engine();
  platform::Close(s.ArchiveHandle);
  s.ArchiveHandle = platform::kNoFile;
  s.Entries.clear();
  s.CurrentEntry = nullptr;
  SetError(number, std::move(message));
  return kOpenFailed;
}

// Looks for the end record: first where it sits without a comment, then by a
// backward scan over the file's tail, where the highest match wins.
bool FindEndRecord(EngineState& s) {
  using platform::SeekOrigin;
  if (s.ArchiveSize >= kEndRecordSize) {
    platform::Seek(s.ArchiveHandle, s.ArchiveSize - kEndRecordSize, SeekOrigin::Begin);
    if (platform::Read(s.ArchiveHandle, s.EndRecord.data(), kEndRecordSize) == kEndRecordSize &&
        ReadU32(s.EndRecord.data()) == kEndSignature) {
      s.EndRecordOffset = s.ArchiveSize - kEndRecordSize;
      return true;
    }
  }
  const auto span = static_cast<std::int32_t>(std::min<ZipSize>(s.ArchiveSize, kMaxScan));
  platform::Seek(s.ArchiveHandle, s.ArchiveSize - span, SeekOrigin::Begin);
  const std::int32_t got = platform::Read(s.ArchiveHandle, s.OutWindow.data(), span);
  if (got != span) return false;
  for (std::int32_t k = span - 4; k >= 0; --k) {
    if (ReadU32(s.OutWindow.data() + k) != kEndSignature) continue;
    s.EndRecordOffset = s.ArchiveSize - span + k;
    // A record cut off by the end of the file reads as zeros beyond it.
    s.EndRecord.fill(0);
    const std::int32_t available = std::min(kEndRecordSize, span - k);
    std::memcpy(s.EndRecord.data(), s.OutWindow.data() + k, static_cast<std::size_t>(available));
    return true;
  }
  return false;
}

}  // namespace

void SplitEntryName(const char* name, std::string& folder, std::string& fileName,
                    std::string& ext) {
  folder.clear();
  fileName.clear();
  ext.clear();
  std::string t(name);
  for (char& c : t)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (std::size_t i = t.size(); i-- > 0;) {
    if (IsSeparator(t[i])) {
      fileName = t.substr(i + 1);
      folder = t.substr(0, i + 1);
      break;
    }
    if (t[i] == '.') ext = t.substr(i + 1);  // keeps going: the first dot wins
  }
  if (fileName.empty() && !folder.empty()) fileName = kFolderName;
  if (fileName.empty() && folder.empty()) fileName = t;
}

std::int32_t OpenArchive(const std::string& fileName) {
  using platform::SeekOrigin;
  EngineState& s = Engine();
  s.ErrorNo = 0;
  s.ErrorMsg.clear();
  if (s.ArchiveHandle != platform::kNoFile) {
    platform::Close(s.ArchiveHandle);
    s.ArchiveHandle = platform::kNoFile;
  }

  s.ArchiveName = fileName;
  s.ArchiveHandle = platform::OpenForReading(s.ArchiveName);
  if (s.ArchiveHandle == platform::kNoFile) {
    SetError(kErrOpen, "Can not open file " + s.ArchiveName + " !");
    return kOpenFailed;
  }

  s.EndRecordOffset = -1;
  const std::int64_t size = platform::Seek(s.ArchiveHandle, 0, SeekOrigin::End);
  if (size > kMaxArchiveSize || size < 0) {
    // Offsets are held in 32 signed bits; a larger file would be misread.
    platform::Close(s.ArchiveHandle);
    s.ArchiveHandle = platform::kNoFile;
    SetError(kErrOpen, "Can not open file " + s.ArchiveName +
                           " ! Archives of 2 GB or more are not supported.");
    return kOpenFailed;
  }
  s.ArchiveSize = size;

  if (!FindEndRecord(s)) {
    platform::Close(s.ArchiveHandle);
    s.ArchiveHandle = platform::kNoFile;
    SetError(kErrDamaged, "This is not a ZIP file or the structure of ZIP file is damaged!");
    return kOpenFailed;
  }

  s.TotalSize = 0;
  s.Entries.clear();
  s.CurrentEntry = nullptr;
  const std::uint16_t count = ReadU16(s.EndRecord.data() + 10);
  const std::uint32_t directoryOffset = ReadU32(s.EndRecord.data() + 16);
  platform::Seek(s.ArchiveHandle, directoryOffset, SeekOrigin::Begin);

  for (std::uint32_t n = 0; n < count; ++n) {
    if (platform::Read(s.ArchiveHandle, s.CentralHeader.data(), kCentralHeaderSize) !=
        kCentralHeaderSize)
      return FailReadingHeaders(kErrRead, "Error reading from file " + s.ArchiveName + " !");
    const std::uint8_t* h = s.CentralHeader.data();
    const std::uint16_t nameLength = ReadU16(h + 28);
    if (nameLength >= kNameBufferSize) {
      // Too long for the name buffer. A name that also runs past the end of the
      // file is reported as the short read it would have been.
      const std::int64_t here = platform::Seek(s.ArchiveHandle, 0, SeekOrigin::Current);
      if (here < 0 || here + nameLength > s.ArchiveSize)
        return FailReadingHeaders(kErrDamaged, "Error reading from file " + s.ArchiveName + "!");
      return FailReadingHeaders(kErrDamaged, "The central directory holds a name longer than " +
                                                 std::to_string(kNameBufferSize - 1) +
                                                 " bytes; the archive is not supported!");
    }
    if (platform::Read(s.ArchiveHandle, s.NameBuffer.data(), nameLength) != nameLength)
      return FailReadingHeaders(kErrDamaged, "Error reading from file " + s.ArchiveName + "!");
    s.NameBuffer[nameLength] = '\0';
    if (ReadU32(h) != kCentralSignature)
      return FailReadingHeaders(kErrDamaged, "The structure of central directory is damaged!");

    TZFItem item;
    SplitEntryName(s.NameBuffer.data(), item.ItemFolder, item.ItemName, item.ItemExt);
    item.StoredName.assign(s.NameBuffer.data(), nameLength);
    item.CentralFlags = ReadU16(h + 8);
    item.Method = ReadU16(h + 10);
    item.FileTime = ReadU16(h + 12);
    item.FileDate = ReadU16(h + 14);
    item.CentralCrc = ReadU32(h + 16);
    item.PackedSize = ReadU32(h + 20);
    item.UnpackedSize = ReadU32(h + 24);
    item.HeaderOffset = ReadU32(h + 42);
    item.Encrypted = (item.CentralFlags & kFlagEncrypted) != 0;
    item.Selected = false;
    s.TotalSize += item.UnpackedSize;
    s.Entries.push_back(std::move(item));

    const std::int32_t skip = ReadU16(h + 30) + ReadU16(h + 32);
    if (skip > 0) platform::Seek(s.ArchiveHandle, skip, SeekOrigin::Current);
  }
  return 0;
}

}  // namespace vantelo
