// The first step of an entry (entry_job.h): its local header, its encryption
// and its data, on whichever thread runs it. It reads the catalog and the
// options and writes only its job; the decoded data goes to a pending file in
// the destination, which no name shows until the batch's thread publishes it.
//
// Of the local header only the signature is checked and the name and extra
// field are skipped: the central directory record has everything else, and
// streaming writers leave placeholders there.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "engine/byte_fields.h"
#include "engine/catalog.h"
#include "engine/crypto/entry_cipher.h"
#include "engine/crypto/password_forms.h"
#include "engine/data_descriptor.h"
#include "engine/entry_job.h"
#include "engine/extract.h"
#include "engine/methods/method_table.h"
#include "engine/pipeline/entry_pipeline.h"
#include "engine/pipeline/filter_ahead_source.h"

namespace vantelo {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::int32_t kLocalHeaderSize = 30;
// Encrypted data from this size on is decrypted on a thread of its own
// (FilterAheadSource) when the batch may use more than one: below it the
// thread would cost more than it saves.
constexpr ZipSize kDecryptAheadFrom = ZipSize{1} << 20;
// The largest encryption header (or trailer) of any cipher (WinZip AES: a
// 16-byte salt and a 2-byte verifier; a 10-byte code after the data).
constexpr std::int32_t kMaxCipherHeader = 32;

// Where the entry is read: its local header, then its packed data, through
// the pipeline's input buffer.
struct EntryReading {
  EntryJob& job;
  EntryInput& in;
  ZipSize at = 0;       // the archive offset the next step reads from
  ZipSize dataEnd = 0;  // just past the entry's packed data

  ZipSize Limit() const { return job.catalog.entryLimits[static_cast<std::size_t>(job.index)]; }

  // Makes the n bytes at `at` available in the buffer: reuses it when they
  // already lie below its limit, otherwise fills it from `at`. Bytes the
  // archive does not have (a header cut off by the end of the file) are
  // damage: nothing stale is ever read.
  EntryResult EnsureWindow(ZipSize n) {
    if (at < in.base || at + n > in.base + in.limit) {
      const EntryResult filled = in.FillAt(at);
      if (filled != EntryResult::kOk) return filled;
    }
    if (at < in.base || at + n > in.base + in.count) return EntryResult::kLocalHeaderDamaged;
    return EntryResult::kOk;
  }
  const std::uint8_t* WindowAt() const { return in.buffer.data() + (at - in.base); }
  // Puts the input's read position on `at`, which lies in the buffer.
  void ReadOnFromHere() { in.pos = static_cast<std::int32_t>(at - in.base); }

  // Checks the local header's signature and skips it with its name and extra
  // field, leaving the read position on the entry's data.
  EntryResult SkipLocalHeader() {
    at = job.item.HeaderOffset;
    if (const EntryResult r = EnsureWindow(kLocalHeaderSize); r != EntryResult::kOk) return r;
    const std::uint8_t* header = WindowAt();
    if (ReadU32(header) != kLocalSignature) return EntryResult::kLocalHeaderDamaged;
    // Skipped by offset, whatever their length (the extra field may have
    // 65,535 bytes, more than the buffer holds): nothing in them is used.
    // They must end inside the archive.
    at += kLocalHeaderSize + ReadU16(header + 26) + ReadU16(header + 28);
    if (at > job.catalog.archiveSize) return EntryResult::kLocalHeaderDamaged;
    // The name and extra field could still push the data into the next entry.
    if (job.item.PackedSize > Limit() - at) return EntryResult::kEntriesOverlap;
    dataEnd = at + job.item.PackedSize;
    if (const EntryResult r = EnsureWindow(0); r != EntryResult::kOk) return r;
    ReadOnFromHere();
    return EntryResult::kOk;
  }

  // Copies the bytes at archive offset `from`, up to n of them and none at or
  // past `end`, out of the buffer (filling it from `from` when they are not
  // all there). got: how many were copied.
  EntryResult CopyOut(ZipSize from, ZipSize end, std::uint8_t* out, std::int32_t n, std::int32_t& got) {
    got = 0;
    const ZipSize want = std::max<ZipSize>(0, std::min<ZipSize>(n, end - from));
    if (want == 0) return EntryResult::kOk;
    if (from < in.base || from + want > in.base + in.count) {
      const EntryResult filled = in.FillAt(from);
      if (filled != EntryResult::kOk) return filled;
    }
    const ZipSize have = std::min<ZipSize>(want, in.base + in.count - from);
    if (have <= 0) return EntryResult::kOk;
    std::memcpy(out, in.buffer.data() + (from - in.base), static_cast<std::size_t>(have));
    got = static_cast<std::int32_t>(have);
    return EntryResult::kOk;
  }

  // The bytes at the end of an encrypted entry, read before its data: the
  // cipher's trailer (the last trailerSize packed bytes) and, with flag bit 3,
  // the data descriptor after the packed data, within the entry's room (never
  // the next entry's bytes or the directory's); `contradicted` when it is a
  // descriptor that contradicts the central record.
  EntryResult ReadTail(EntryCipher& cipher, std::int32_t trailerSize, bool& contradicted) {
    contradicted = false;
    const bool descriptor = (job.item.CentralFlags & kFlagDescriptor) != 0;
    if (trailerSize == 0 && !descriptor) return EntryResult::kOk;
    std::array<std::uint8_t, kMaxCipherHeader + kMaxDescriptorSize> tail{};
    const std::int32_t wanted = trailerSize + (descriptor ? kMaxDescriptorSize : 0);
    std::int32_t got = 0;
    if (const EntryResult r = CopyOut(dataEnd - trailerSize, Limit(), tail.data(), wanted, got);
        r != EntryResult::kOk)
      return r;
    if (got < trailerSize) return EntryResult::kLocalHeaderDamaged;
    cipher.SetTrailer(tail.data());
    contradicted = descriptor && CheckDataDescriptor(tail.data() + trailerSize, got - trailerSize,
                                                     job.item) == DescriptorVerdict::kContradicts;
    return EntryResult::kOk;
  }
};

// The data of an entry whose input stands on it (its filter set): names,
// the checks that need no data, then decoding into the pending file.
void DecodeData(EntryJob& job, EntryPipeline& pipeline, ZipSize dataEnd, DestinationAccess& destination) {
  const TZFItem& item = job.item;
  const BatchOptions& options = job.options;
  job.counted = true;

  // The catalog's decoded name (so a second byte 0x5C of a double-byte
  // character is no separator) without its "." levels; both separators
  // become the native one.
  std::string path = DropCurrentFolderLevels(item.EntryPath);
  const char separator = platform::NativeSeparator();
  for (char& c : path)
    if (c == '/' || c == '\\') c = separator;
  std::string ext;
  SplitEntryName(path.c_str(), job.folder, job.fileName, ext);
  if (path.empty() && !item.EntryPath.empty()) job.fileName = kFolderName;  // "./": the destination
  job.outputName = options.useFolderNames ? job.folder + job.fileName : job.fileName;
  const bool isFolder = job.fileName == kFolderName;
  // An encryption the engine cannot decrypt (strong encryption, a WinZip AES
  // field of another version or strength) stops the batch like a refused
  // method, before anything is created and in test mode too: no password
  // would give more than garbage.
  if (!isFolder && !CanDecrypt(item)) return job.Fail(EntryResult::kUnsupportedEncryption);

  if (options.testOnly) {
    if (isFolder) {
      job.verdict = kStatusOk;
      return;
    }
  } else {
    // Nothing may be created or changed outside the destination, and a name
    // the file system cannot hold is skipped like an unsafe one.
    if (IsUnsafeEntryPath(item.EntryPath.c_str()) ||
        IsUnwritableEntryPath(isFolder ? job.folder : job.outputName, isFolder))
      return job.Skip(kStatusUnsafePath);
    if (isFolder) {
      job.ending = EntryEnding::kMakeFolder;
      return;
    }
    // An entry that cannot be decoded creates nothing.
    if (!IsSupportedMethod(item.Method)) return job.Fail(EntryResult::kUnsupported);
  }

  EntryDecoder* decoder = pipeline.DecoderFor(item.Method);
  if (decoder == nullptr) return job.Fail(EntryResult::kUnsupported);
  job.ending = EntryEnding::kOutput;
  if (!options.testOnly) {
    const platform::FolderHandle home = destination.Destination();
    if (home == platform::kNoFolder || !job.file.Create(home)) {
      // The batch's thread makes the entry's folders first, which names what
      // failed when the destination itself could not be made.
      job.decoded = EntryResult::kCreateFailed;
      return;
    }
  }
  DiscardSink nothing;
  EntryInput& in = pipeline.input;
  in.bitPos = 0;
  in.dataEnd = dataEnd;
  decoder->SetEntryFlags(item.CentralFlags);
  RunningEntry entry{in, *decoder, pipeline.window, options.testOnly ? static_cast<Sink&>(nothing) : job.file};
  EntryResult result = entry.Decode(item.UnpackedSize, &job.bytes);

  // Data that wrong keys turned into garbage often fails to decode, or runs
  // on past the entry: for an encrypted entry that is the same verdict as a
  // CRC mismatch, not damage to the archive, and the batch goes on.
  const bool encrypted = (item.CentralFlags & kFlagEncrypted) != 0;
  const bool overran = in.BitOffset() > dataEnd * 8;
  const bool recovered = job.catalog.recovered;
  if ((encrypted || recovered) && result == EntryResult::kDamaged) {
    // In a recovered archive damaged data (or the end of the file) inside an
    // entry is that entry's verdict too: the run goes on with the next one.
    result = EntryResult::kDataError;
  } else if (!encrypted && overran && !IsFailure(result) && !recovered) {
    // Its stream took another entry's bytes (or the central directory's) as its own.
    result = EntryResult::kEntriesOverlap;
  }
  // A filter with an authentication code sees the rest of the entry's data
  // and the code (when the decoder stopped short of them) before its verdict.
  InputFilter* filter = in.Filter();
  if (filter != nullptr && !IsFailure(result)) {
    const EntryResult fed = in.FeedFilter();
    if (fed == EntryResult::kDamaged)
      result = EntryResult::kDataError;  // the code is not there to check
    else if (fed != EntryResult::kOk)
      result = fed;
  }
  const bool authentic = filter == nullptr || filter->Authenticates();
  // AE-2 writers store no CRC-32 (the code authenticates the data instead).
  const bool crcChecked = !(item.AesStrength != 0 && item.AesVersion == 2);

  // The CRC-32 is the central directory's: a data descriptor is not read.
  if (IsFailure(result)) {
    job.decoded = result;
  } else if (result == EntryResult::kOk && !overran && authentic &&
             (!crcChecked || pipeline.window.Crc() == item.CentralCrc)) {
    if (job.file.File() != platform::kNoFile)
      platform::SetLastWriteTimeFromDos(job.file.File(), item.FileDate, item.FileTime);
    job.decoded = EntryResult::kOk;
  } else {
    job.decoded = EntryResult::kDataError;
  }
  // Only a complete file is kept for publishing.
  if (job.decoded != EntryResult::kOk) job.file.Discard();
}

}  // namespace

EntryJob::EntryJob(const Catalog& c, const BatchOptions& o, std::int32_t i)
    : catalog(c), options(o), index(i), item(c.entries[static_cast<std::size_t>(i)]) {}

void EntryJob::Skip(const char* status) {
  ending = EntryEnding::kVerdict;
  verdict = status;
  skipped = true;
  bytes.store(item.UnpackedSize, std::memory_order_relaxed);
  file.Discard();
}

void EntryJob::Fail(EntryResult result) { Fail(result, outputName); }

void EntryJob::Fail(EntryResult result, std::string name) {
  ending = EntryEnding::kFailed;
  failure = result;
  failureName = std::move(name);
  file.Discard();
}

void DecodeEntry(EntryJob& job, EntryPipeline& pipeline, DestinationAccess& destination) {
  const TZFItem& item = job.item;
  if (job.catalog.IsIncomplete(job.index)) {
    // The recovery scan found it cut off, damaged or failing its CRC-32: its
    // verdict without decoding it again, and nothing written.
    job.counted = true;
    return job.Skip(kStatusBadCrc);
  }
  EntryReading reading{job, pipeline.input};
  if (const EntryResult r = reading.SkipLocalHeader(); r != EntryResult::kOk) return job.Fail(r);
  if (item.Encryption == EntryEncryption::kNone) return DecodeData(job, pipeline, reading.dataEnd, destination);
  std::unique_ptr<EntryCipher> cipher = MakeEntryCipher(item);
  if (cipher == nullptr || !IsSupportedMethod(item.Method)) {
    // An encryption without a cipher here (strong encryption, AES: method 99)
    // or an unsupported method: refused as such, whatever the password.
    return DecodeData(job, pipeline, reading.dataEnd, destination);
  }
  const std::int32_t headerSize = cipher->HeaderSize();
  const std::int32_t trailerSize = cipher->TrailerSize();
  if (trailerSize > 0 && item.PackedSize < headerSize + trailerSize) {
    // No room for header and authentication code (WinZip AES: salt, verifier
    // and code): nothing in it can be trusted, and none of it is read.
    job.counted = true;
    return job.Skip(kStatusBadCrc);
  }
  // Too short to hold even the encryption header.
  if (headerSize > kMaxCipherHeader || trailerSize > kMaxCipherHeader ||
      item.PackedSize < headerSize + trailerSize)
    return job.Fail(EntryResult::kLocalHeaderDamaged);
  // Decryption runs over exactly the central packed size: when the writer's
  // own descriptor after the data says otherwise, the two disagree and the
  // entry cannot be decrypted with confidence.
  bool contradicted = false;
  if (const EntryResult r = reading.ReadTail(*cipher, trailerSize, contradicted); r != EntryResult::kOk)
    return job.Fail(r);
  if (contradicted) {
    job.counted = true;
    return job.Skip(kStatusEncryptedDescriptor);
  }
  if (const EntryResult r = reading.EnsureWindow(headerSize); r != EntryResult::kOk) return job.Fail(r);
  std::array<std::uint8_t, kMaxCipherHeader> header{};
  std::memcpy(header.data(), reading.WindowAt(), static_cast<std::size_t>(headerSize));
  reading.at += headerSize;
  reading.ReadOnFromHere();
  bool opened = false;
  for (const std::string& form :
       PasswordForms(job.options.password, job.catalog.nameCharset, cipher->PasswordCharacterLimit()))
    if (cipher->TryPassword(form, header.data())) {
      opened = true;
      break;
    }
  if (!opened) {
    job.counted = true;
    return job.Skip(kStatusBadPassword);
  }
  // The entry's bytes between header and trailer are encrypted, and no byte after them.
  const ZipSize encrypted = item.PackedSize - headerSize - trailerSize;
  cipher->SetRemaining(encrypted);
  EntryInput& in = pipeline.input;
  if (job.options.decryptAhead && item.Encryption == EntryEncryption::kZipCrypto &&
      encrypted >= kDecryptAheadFrom) {
    ByteSource* archive = in.Source();
    RefillGate* gate = in.Gate();
    {
      FilterAheadSource ahead(*archive, *cipher, reading.at, reading.at + encrypted);
      in.Connect(&ahead, gate);
      if (const EntryResult r = in.FillAt(reading.at); r != EntryResult::kOk)
        job.Fail(r);
      else
        DecodeData(job, pipeline, reading.dataEnd - trailerSize, destination);
    }
    // The buffer holds bytes read through the entry's own source.
    in.Connect(archive, gate);
    in.Reset();
    return;
  }
  in.SetFilter(cipher.get());
  DecodeData(job, pipeline, reading.dataEnd - trailerSize, destination);
  in.SetFilter(nullptr);
}

}  // namespace vantelo
