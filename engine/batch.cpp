// The batch: ExtractAll, ExtractSelected, ExtractEntry and the walk over the
// entries that reads each local header, deals with encryption and hands the
// entry to ExtractCurrentEntry.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "engine/crypto/entry_cipher.h"
#include "engine/crypto/password_forms.h"
#include "engine/data_descriptor.h"
#include "engine/engine_state.h"
#include "engine/extract.h"
#include "engine/methods/method_table.h"
#include "engine/pipeline/byte_source.h"
#include "engine/progress_gate.h"

namespace vantelo {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::int32_t kLocalHeaderSize = 30;
const char* const kDamagedLocalHeader = "The structure of local file header is damaged!";

EntryInput& Input(EngineState& s) { return s.Pipeline->input; }

// Makes the n bytes at LocalOffset available in the input buffer: reuses the
// buffer when they already lie below its limit, otherwise fills it from
// LocalOffset. Bytes the archive does not have (a header cut off by the end of
// the file) stop the batch: nothing stale is ever read.
bool EnsureWindow(EngineState& s, ZipSize n) {
  EntryInput& in = Input(s);
  const ZipSize offset = s.LocalOffset;
  if (offset < in.base || offset + n > in.base + in.limit) {
    const EntryResult filled = in.FillAt(offset);
    if (filled != EntryResult::kOk) {
      SetEntryError(filled);
      return false;
    }
  }
  if (offset < in.base || offset + n > in.base + in.count) {
    SetError(kErrDamaged, kDamagedLocalHeader);
    return false;
  }
  return true;
}

const std::uint8_t* WindowAt(EngineState& s) {
  return Input(s).buffer.data() + (s.LocalOffset - Input(s).base);
}

// Puts the input's read position on LocalOffset, which lies in the buffer.
void ReadOnFromLocalOffset(EngineState& s) {
  Input(s).pos = static_cast<std::int32_t>(s.LocalOffset - Input(s).base);
}

void SkipEncrypted(EngineState& s, const char* status) {
  s.CurrentEntry->ItemStatus = status;
  s.SkippedCount += 1;
  s.FilesDone += 1;
  s.BytesDone += s.CurrentEntry->UnpackedSize;
}

// Checks the local header's signature, skips it with its name and extra field
// and leaves the input's read position on the entry's data. Its other fields are not used: the
// central directory record has them all, and streaming writers leave
// placeholders here. False when the batch must stop.
bool SkipLocalHeader(EngineState& s) {
  s.LocalOffset = s.CurrentEntry->HeaderOffset;
  if (!EnsureWindow(s, kLocalHeaderSize)) return false;
  const std::uint8_t* header = WindowAt(s);
  if (ReadU32(header) != kLocalSignature) {
    SetError(kErrDamaged, kDamagedLocalHeader);
    return false;
  }
  // The local name and extra field are skipped by offset, whatever their
  // length (the extra field may have 65,535 bytes, more than the buffer
  // holds): nothing in them is used. They must end inside the archive.
  const std::int32_t nameLength = ReadU16(header + 26);
  const std::int32_t extraLength = ReadU16(header + 28);
  s.LocalOffset += kLocalHeaderSize + nameLength + extraLength;
  if (s.LocalOffset > s.ArchiveSize) {
    SetError(kErrDamaged, kDamagedLocalHeader);
    return false;
  }
  // The name and extra field could still push the data into the next entry.
  const ZipSize limit = s.EntryLimits[static_cast<std::size_t>(s.CurrentEntry - s.Entries.data())];
  if (s.CurrentEntry->PackedSize > limit - s.LocalOffset) {
    SetError(kErrDamaged, kOverlapMessage);
    return false;
  }
  s.EntryDataEnd = s.LocalOffset + s.CurrentEntry->PackedSize;
  if (!EnsureWindow(s, 0)) return false;  // the buffer from the data on
  ReadOnFromLocalOffset(s);
  // The output path comes from the central directory name, decoded by the
  // catalog (TZFItem::EntryPath), as the catalog shows it.
  return true;
}

// The largest encryption header (or trailer) of any cipher (WinZip AES: a
// 16-byte salt and a 2-byte verifier; a 10-byte code after the data).
constexpr std::int32_t kMaxCipherHeader = 32;

// Copies the bytes at archive offset `at`, up to n of them and none at or past
// `end`, out of the input buffer (filling it from `at` when they are not all
// there). Returns how many were copied; -1 when the read failed (the batch
// stops).
std::int32_t CopyThroughInput(EngineState& s, ZipSize at, ZipSize end, std::uint8_t* out, std::int32_t n) {
  EntryInput& in = Input(s);
  const ZipSize want = std::max<ZipSize>(0, std::min<ZipSize>(n, end - at));
  if (want == 0) return 0;
  if (at < in.base || at + want > in.base + in.count) {
    const EntryResult filled = in.FillAt(at);
    if (filled != EntryResult::kOk) {
      SetEntryError(filled);
      return -1;
    }
  }
  const ZipSize got = std::min<ZipSize>(want, in.base + in.count - at);
  if (got <= 0) return 0;
  std::memcpy(out, in.buffer.data() + (at - in.base), static_cast<std::size_t>(got));
  return static_cast<std::int32_t>(got);
}

// The bytes at the end of an encrypted entry, read before its data: the
// cipher's trailer (the last trailerSize packed bytes) and, for an entry with
// flag bit 3, the data descriptor after the packed data, within the entry's
// room (never the next entry's bytes or the directory's); `contradicted` when
// it is a descriptor that contradicts the central record. False when the
// batch must stop.
bool ReadEntryTail(EngineState& s, EntryCipher& cipher, std::int32_t trailerSize, bool& contradicted) {
  contradicted = false;
  const TZFItem& entry = *s.CurrentEntry;
  const bool descriptor = (entry.CentralFlags & kFlagDescriptor) != 0;
  if (trailerSize == 0 && !descriptor) return true;
  const ZipSize room = s.EntryLimits[static_cast<std::size_t>(s.CurrentEntry - s.Entries.data())];
  std::array<std::uint8_t, kMaxCipherHeader + kMaxDescriptorSize> tail{};
  const std::int32_t wanted = trailerSize + (descriptor ? kMaxDescriptorSize : 0);
  const std::int32_t got = CopyThroughInput(s, s.EntryDataEnd - trailerSize, room, tail.data(), wanted);
  if (got < 0) return false;
  if (got < trailerSize) {
    SetError(kErrDamaged, kDamagedLocalHeader);
    return false;
  }
  cipher.SetTrailer(tail.data());
  contradicted = descriptor && CheckDataDescriptor(tail.data() + trailerSize, got - trailerSize, entry) ==
                                    DescriptorVerdict::kContradicts;
  return true;
}

// An entry the recovery scan found incomplete (cut off, damaged, its CRC-32
// failed): its verdict without decoding it again, and nothing written.
bool IsIncompleteRecoveredEntry(const EngineState& s) {
  const auto index = static_cast<std::size_t>(s.CurrentEntry - s.Entries.data());
  return s.Recovered && index < s.RecoveredIncomplete.size() && s.RecoveredIncomplete[index] != 0;
}

// One entry of the batch. False when the batch must stop.
bool ProcessCurrentEntry(EngineState& s) {
  s.CurrentEntry->ItemStatus = nullptr;  // an entry this batch cannot finish has no verdict
  if (IsIncompleteRecoveredEntry(s)) {
    s.CurrentEntry->ItemStatus = kStatusBadCrc;
    s.SkippedCount += 1;
    s.FilesDone += 1;
    s.BytesDone += s.CurrentEntry->UnpackedSize;
    return true;
  }
  if (!SkipLocalHeader(s)) return false;
  const TZFItem& entry = *s.CurrentEntry;
  if (entry.Encryption == EntryEncryption::kNone) {
    ExtractCurrentEntry();
    return s.ErrorNo == 0;
  }
  std::unique_ptr<EntryCipher> cipher = MakeEntryCipher(entry);
  if (cipher == nullptr || !IsSupportedMethod(entry.Method)) {
    // An encryption without a cipher here (strong encryption, AES: method 99)
    // or an unsupported method: refused as such, whatever the password.
    ExtractCurrentEntry();
    return s.ErrorNo == 0;
  }
  const std::int32_t headerSize = cipher->HeaderSize();
  const std::int32_t trailerSize = cipher->TrailerSize();
  if (trailerSize > 0 && entry.PackedSize < headerSize + trailerSize) {
    // No room for header and authentication code (WinZip AES: salt, verifier
    // and code): nothing in it can be trusted, and none of it is read.
    s.CurrentEntry->ItemStatus = kStatusBadCrc;
    s.SkippedCount += 1;
    s.FilesDone += 1;
    s.BytesDone += entry.UnpackedSize;
    return true;
  }
  if (headerSize > kMaxCipherHeader || trailerSize > kMaxCipherHeader ||
      entry.PackedSize < headerSize + trailerSize) {
    // Too short to hold even the encryption header.
    SetError(kErrDamaged, kDamagedLocalHeader);
    return false;
  }
  // Decryption runs over exactly the central packed size: when the writer's
  // own descriptor after the data says otherwise, the two disagree and the
  // entry cannot be decrypted with confidence.
  bool contradicted = false;
  if (!ReadEntryTail(s, *cipher, trailerSize, contradicted)) return false;
  if (contradicted) {
    SkipEncrypted(s, kStatusEncryptedDescriptor);
    return true;
  }
  if (!EnsureWindow(s, headerSize)) return false;
  std::array<std::uint8_t, kMaxCipherHeader> header{};
  std::memcpy(header.data(), WindowAt(s), static_cast<std::size_t>(headerSize));
  s.LocalOffset += headerSize;
  ReadOnFromLocalOffset(s);
  bool opened = false;
  for (const std::string& form : PasswordForms(s.Password, s.ArchiveNameCharset, cipher->PasswordCharacterLimit()))
    if (cipher->TryPassword(form, header.data())) {
      opened = true;
      break;
    }
  if (!opened) {
    SkipEncrypted(s, kStatusBadPassword);
    return true;
  }
  // The entry's bytes between header and trailer are encrypted, and no byte after them.
  cipher->SetRemaining(entry.PackedSize - headerSize - trailerSize);
  s.EntryDataEnd -= trailerSize;
  Input(s).SetFilter(cipher.get());
  ExtractCurrentEntry();
  Input(s).SetFilter(nullptr);
  return s.ErrorNo == 0;
}

std::int32_t RunBatch(std::int32_t first, std::int32_t last, bool selectedOnly,
                      const std::string& destDir, const std::string& password, bool overwrite,
                      bool useFolderNames, bool testOnly, TProgressProc callback) {
  EngineState& s = Engine();
  s.SelectedOnly = selectedOnly;
  // Messages name files as DestDir + name: a separator joins them.
  s.DestDir = destDir;
  if (!s.DestDir.empty() && s.DestDir.back() != '/' && s.DestDir.back() != '\\')
    s.DestDir += platform::NativeSeparator();
  s.Password = password;  // each cipher takes what it uses of it
  s.Overwrite = overwrite;
  s.UseFolderNames = useFolderNames;
  s.TestOnly = testOnly;
  s.Callback = std::move(callback);
  ProcessEntries(first, last);
  s.Folders.Clear();
  platform::CloseFolder(s.DestFolder);
  s.DestFolder = platform::kNoFolder;
  s.Callback = nullptr;  // it may hold references into the caller
  return s.ErrorNo;
}

}  // namespace

void ProcessEntries(std::int32_t first, std::int32_t last) {
  EngineState& s = Engine();
  if (s.Pipeline == nullptr) s.Pipeline = std::make_unique<EntryPipeline>();
  FileSource archive(s.ArchiveHandle);
  // A recovered archive may end right after an entry's stream, with nothing
  // behind it to read ahead into.
  ZeroPaddedSource padded(archive);
  ProgressGate gate;
  EntryInput& in = Input(s);
  in.Reset();
  in.Connect(s.Recovered ? static_cast<ByteSource*>(&padded) : &archive, &gate);
  struct Disconnect {
    EntryInput& in;
    ~Disconnect() { in.Connect(nullptr, nullptr); }
  } disconnect{in};
  s.UserBreak = 0;
  s.ErrorNo = 0;
  s.ErrorMsg.clear();
  s.BytesDone = 0;
  s.FilesDone = 0;
  s.SkippedCount = 0;
  s.StoppedEntry = -1;
  s.StoppedForMethod = false;
  s.LastCallbackTick = platform::TickCount();
  if (last < first) return;
  // The limits belong to the catalog (found at open); a catalog made some
  // other way gets them here.
  if (s.EntryLimits.size() != s.Entries.size()) FindCatalogLimits(s);
  // Refused before anything is written.
  if (s.EntriesOverlap) {
    SetError(kErrDamaged, kOverlapMessage);
    return;
  }
  for (std::int32_t i = first; i <= last; ++i) {
    s.CurrentEntry = &s.Entries.at(static_cast<std::size_t>(i));
    if (s.SelectedOnly && !s.CurrentEntry->Selected) continue;
    // Progress and the break request before every entry too: entries small
    // enough to need no refill would otherwise run without either.
    const EntryResult gateResult = gate.BeforeRefill();
    if (gateResult != EntryResult::kOk || !ProcessCurrentEntry(s)) {
      SetEntryError(gateResult);
      s.StoppedEntry = i;
      return;
    }
  }
}

std::int32_t ExtractAll(const std::string& destDir, const std::string& password, bool overwrite,
                        bool useFolderNames, bool testOnly, TProgressProc callback) {
  return RunBatch(0, GetEntryCount() - 1, false, destDir, password, overwrite, useFolderNames,
                  testOnly, std::move(callback));
}

std::int32_t ExtractSelected(const std::string& destDir, const std::string& password,
                             bool overwrite, bool useFolderNames, bool testOnly,
                             TProgressProc callback) {
  return RunBatch(0, GetEntryCount() - 1, true, destDir, password, overwrite, useFolderNames,
                  testOnly, std::move(callback));
}

std::int32_t ExtractEntry(std::int32_t index, const std::string& destDir,
                          const std::string& password, bool overwrite, bool useFolderNames,
                          bool testOnly, TProgressProc callback) {
  if (index < 0 || index >= GetEntryCount())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return RunBatch(index, index, false, destDir, password, overwrite, useFolderNames, testOnly,
                  std::move(callback));
}

}  // namespace vantelo
