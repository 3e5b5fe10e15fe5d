// Recovery scan: an archive's entries read from their local headers, front to
// back, for archives whose end record or central directory is missing or
// damaged (a download cut off, a directory overwritten, a copy cut by a full
// disk). Only on request: OpenArchive never falls back to it.
//
// What it trusts. A local header that passes the checks below is an entry;
// its sizes (or those of its ZIP64 field) say where its data ends, and the
// next entry is searched for from there. Nothing inside an entry's data is
// ever read as a header, so entries cannot overlap, and an archive stored
// inside an archive stays one entry. Bytes in front of the first header (a
// self-extracting stub) are skipped like any other damaged stretch.
//
// What it checks. A header: its signature, a "version needed" the format
// knows (at most 6.3), a method number the format names, a name of at least
// one byte, and its name and extra field inside the file. An entry whose
// sizes follow its data in a descriptor (flag bit 3, zeros in the header) has
// its end found without trusting anything inside the data:
//   - a method the engine decodes (Deflate, Deflate64 and every other method
//     whose stream ends by itself) is decoded into nothing, once; the
//     descriptor right after the stream must then give the packed size the
//     stream took and the size it produced, and its CRC-32 must match;
//   - stored data ends at the first descriptor signature whose CRC-32 and
//     sizes (packed = unpacked = the distance from the data's start) match the
//     bytes before it, so the signature inside the data is no end;
//   - encrypted data (no password is needed) and methods the engine does not
//     decode end at the first descriptor whose packed size is the distance.
// An entry cut off by the end of the file, whose data fails to decode or
// whose CRC-32 the scan already saw fail is incomplete: its verdict is
// "BAD CRC!" without decoding it again, and nothing of it is written. The
// batch decodes and checks every other entry as usual.
//
// Why it is bounded. The file is read once, front to back, through one
// buffer; each byte is decoded at most once here (a stream that fails is
// left where it failed, never decoded again from an earlier point) and at
// most once more by the batch. The search for the next header and the
// descriptor searches keep nothing per candidate, so a file of garbage or of
// false signatures costs one pass and no memory beyond the entries found.
// A stored or encrypted entry whose descriptor never comes runs to the end of
// the file: what follows it is its data, not more entries. The one exception,
// once per scan: stored data damaged inside ends at the first descriptor
// whose sizes match (its CRC-32 cannot), and the scan goes on after it.
// Incomplete entries are listed up to a limit (65,536 of them, 16 MiB of
// names), complete ones like the records of a central directory: a file of
// false headers costs no more.
#include "engine/recovery_scan.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include "engine/crc32.h"
#include "engine/crypto/entry_cipher.h"
#include "engine/byte_fields.h"
#include "engine/catalog.h"
#include "engine/entry_names.h"
#include "engine/methods/method_table.h"
#include "engine/pipeline/entry_pipeline.h"

namespace vantelo {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kDescriptorSignature = 0x08074B50;
constexpr std::int64_t kLocalHeaderSize = 30;
constexpr ZipSize kCryptHeader = 12;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t kAllOnes32 = 0xFFFFFFFFu;
constexpr std::uint64_t kMaxZipValue = std::uint64_t{1} << 56;
constexpr std::uint16_t kMaxVersion = 63;  // 6.3, the newest the format defines
constexpr std::uint16_t kStoredMethod = 0;
constexpr std::int64_t kChunk = 65536;
// Bytes Window() keeps buffered ahead of its offset, where the file has them:
// a descriptor's fields (24 bytes) and a header's fixed part fit.
constexpr std::int64_t kLookAhead = 64;
constexpr ZipSize kNearStart = 65536;
constexpr ZipSize kNoEnd = std::numeric_limits<ZipSize>::max();
// Incomplete entries listed at most, and the name bytes they may hold (see
// Scanner::Run).
constexpr std::size_t kMaxIncomplete = 65536;
constexpr std::size_t kMaxIncompleteNameBytes = std::size_t{16} << 20;

// The archive through one buffer, read front to back. Jumps forward (over an
// entry's data) seek; nothing before the buffer is read again.
class ScanReader {
 public:
  ScanReader(ByteSource& source, ZipSize size) : source_(source), size_(size) {}
  ZipSize Size() const { return size_; }

  // The n bytes at offset, or nullptr when the file does not hold them all.
  // Valid until the next call.
  const std::uint8_t* Get(ZipSize offset, std::int64_t n) {
    if (offset < 0 || n < 0 || n > size_ - offset) return nullptr;
    return Load(offset, n) ? buffer_.data() + (offset - base_) : nullptr;
  }
  // The buffered bytes from offset on, `available` of them: at least
  // kLookAhead where the file has that many. nullptr at the end of the file.
  const std::uint8_t* Window(ZipSize offset, std::int64_t& available) {
    available = 0;
    if (offset < 0 || offset >= size_) return nullptr;
    if (!Load(offset, std::min<ZipSize>(kLookAhead, size_ - offset))) return nullptr;
    available = base_ + count_ - offset;
    return buffer_.data() + (offset - base_);
  }

 private:
  bool Load(ZipSize offset, std::int64_t n) {
    if (offset >= base_ && offset + n <= base_ + count_) return true;
    if (offset >= base_ && offset < base_ + count_) {
      const std::int64_t keep = base_ + count_ - offset;
      std::memmove(buffer_.data(), buffer_.data() + (offset - base_), static_cast<std::size_t>(keep));
      count_ = keep;
    } else {
      count_ = 0;
    }
    base_ = offset;
    // A chunk more than asked for: the next requests a little further on are
    // served from the buffer.
    const std::int64_t want = std::min<std::int64_t>(n + kChunk, size_ - base_);
    if (static_cast<std::int64_t>(buffer_.size()) < want) buffer_.resize(static_cast<std::size_t>(want));
    if (!source_.SeekTo(base_ + count_)) {
      count_ = 0;
      return false;
    }
    while (count_ < want) {
      const std::int32_t got = source_.Read(buffer_.data() + count_,
                                            static_cast<std::int32_t>(std::min<std::int64_t>(want - count_, 1 << 20)));
      if (got <= 0) break;
      count_ += got;
    }
    return count_ >= n;
  }

  ByteSource& source_;
  const ZipSize size_;
  std::vector<std::uint8_t> buffer_;
  ZipSize base_ = 0;         // file offset of buffer_[0]
  std::int64_t count_ = 0;   // valid bytes in buffer_
};

// The scan's reader as the source of a decoder's input: entries are decoded
// from the bytes the scan has buffered, so the file is still read once. The
// first read after a seek is small and each one after it twice as large: a
// tiny entry costs a few hundred bytes, not a whole input buffer. After the
// end of the file come a few zeros, as from ZeroPaddedSource.
class ScanSource final : public ByteSource {
 public:
  explicit ScanSource(ScanReader& reader) : reader_(reader) {}
  bool SeekTo(ZipSize offset) override {
    next_ = offset;
    step_ = kFirstRead;
    padded_ = 0;
    return offset >= 0;
  }
  std::int32_t Read(std::uint8_t* data, std::int32_t n) override {
    if (n <= 0) return 0;
    const std::int32_t want = std::min(n, step_);
    step_ = std::min(step_ * 2, kLargestRead);
    std::int64_t available = 0;
    const std::uint8_t* w = reader_.Window(next_, available);
    if (w == nullptr) {
      const std::int32_t zeros = std::min(want, ZeroPaddedSource::kPadding - padded_);
      if (zeros > 0) std::memset(data, 0, static_cast<std::size_t>(zeros));
      padded_ += zeros;
      return zeros;
    }
    const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(want, available));
    std::memcpy(data, w, static_cast<std::size_t>(count));
    next_ += count;
    return count;
  }

 private:
  static constexpr std::int32_t kFirstRead = 256;
  static constexpr std::int32_t kLargestRead = 1 << 20;
  ScanReader& reader_;
  ZipSize next_ = 0;
  std::int32_t step_ = kFirstRead;
  std::int32_t padded_ = 0;
};

struct LocalHeader {
  ZipSize dataStart = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  ZipSize packed = 0;
  ZipSize unpacked = 0;
  bool sizesKnown = true;  // false: all ones without a ZIP64 field to replace them
  bool wide = false;       // a ZIP64 field: a descriptor's sizes have 8 bytes
};

// The ZIP64 field of a local header: both sizes, unpacked first, replacing
// the 32-bit ones that hold all ones (a short field holds only those, in
// that order, as in the central directory).
void ApplyLocalZip64(const std::uint8_t* extra, std::int64_t length, std::uint32_t packed32,
                     std::uint32_t unpacked32, LocalHeader& h) {
  for (std::int64_t at = 0; at + 4 <= length;) {
    const std::uint16_t id = ReadU16(extra + at);
    const std::int64_t size = ReadU16(extra + at + 2);
    const std::uint8_t* field = extra + at + 4;
    at += 4 + size;
    if (at > length) return;
    if (id != kZip64ExtraId) continue;
    h.wide = true;
    const bool both = size >= 16;
    std::int64_t used = 0;
    auto take = [&](bool wanted, ZipSize& value) {
      if (!wanted && !both) return;
      if (used + 8 > size) return;
      const std::uint64_t v = ReadU64(field + used);
      used += 8;
      if (wanted) value = v < kMaxZipValue ? static_cast<ZipSize>(v) : -1;
    };
    take(unpacked32 == kAllOnes32, h.unpacked);
    take(packed32 == kAllOnes32, h.packed);
    return;
  }
}

// The checks of a header's fixed part: signature, version needed, method,
// a name.
bool PlausibleFixedPart(const std::uint8_t* p) {
  const std::uint16_t version = ReadU16(p + 4);
  return ReadU32(p) == kLocalSignature && (version & 0xFF) <= kMaxVersion &&
         (version >> 8) <= kMaxVersion && FindMethod(ReadU16(p + 8)) != nullptr && ReadU16(p + 26) != 0;
}

// Reads and checks the local header at `at`; fills h and the item's header
// fields and stored name. False when it is no plausible header.
bool ReadHeader(ScanReader& r, ZipSize at, LocalHeader& h, TZFItem& item) {
  const std::uint8_t* p = r.Get(at, kLocalHeaderSize);
  if (p == nullptr || !PlausibleFixedPart(p)) return false;
  h = LocalHeader{};
  h.flags = ReadU16(p + 6);
  h.method = ReadU16(p + 8);
  const std::uint16_t time = ReadU16(p + 10);
  const std::uint16_t date = ReadU16(p + 12);
  h.crc = ReadU32(p + 14);
  const std::uint32_t packed32 = ReadU32(p + 18);
  const std::uint32_t unpacked32 = ReadU32(p + 22);
  const std::int64_t nameLength = ReadU16(p + 26);
  const std::int64_t extraLength = ReadU16(p + 28);
  const std::int64_t headerLength = kLocalHeaderSize + nameLength + extraLength;
  p = r.Get(at, headerLength);  // the name and extra field lie inside the file
  if (p == nullptr) return false;
  const std::uint8_t* name = p + kLocalHeaderSize;
  const std::uint8_t* extra = name + nameLength;
  h.packed = packed32;
  h.unpacked = unpacked32;
  ApplyLocalZip64(extra, extraLength, packed32, unpacked32, h);
  h.sizesKnown = h.packed >= 0 && h.unpacked >= 0 &&
                 !(packed32 == kAllOnes32 && !h.wide) && !(unpacked32 == kAllOnes32 && !h.wide);
  // Without a descriptor the header's sizes are all there is.
  if (!(h.flags & kFlagDescriptor) && !h.sizesKnown) return false;
  h.dataStart = at + headerLength;

  item = TZFItem{};
  item.HeaderOffset = at;
  item.CentralFlags = h.flags;
  item.Method = h.method;
  item.FileTime = time;
  item.FileDate = date;
  item.Encrypted = (h.flags & kFlagEncrypted) != 0;
  item.Encryption = EncryptionOf(h.flags, h.method, extra, static_cast<std::int32_t>(extraLength));
  SetStoredName(item, std::string_view(reinterpret_cast<const char*>(name), static_cast<std::size_t>(nameLength)),
                h.flags, extra, static_cast<std::size_t>(extraLength));
  return true;
}

// The next plausible local header at or after `from` and before `before`:
// its offset, or -1.
ZipSize FindHeader(ScanReader& r, ZipSize from, ZipSize before, LocalHeader& h, TZFItem& item) {
  while (from < before) {
    std::int64_t available = 0;
    const std::uint8_t* w = r.Window(from, available);
    if (w == nullptr || available < kLocalHeaderSize) return -1;
    const std::int64_t positions = std::min<std::int64_t>(available - 3, before - from);
    std::int64_t k = 0;
    bool moved = false;
    while (k < positions) {
      const void* hit = std::memchr(w + k, 'P', static_cast<std::size_t>(positions - k));
      if (hit == nullptr) break;
      k = static_cast<const std::uint8_t*>(hit) - w;
      // A signature whose fixed part is in the window and fails its checks
      // costs no more than that (a file of false signatures stays fast).
      if (ReadU32(w + k) == kLocalSignature &&
          (k + kLocalHeaderSize > available || PlausibleFixedPart(w + k))) {
        const ZipSize candidate = from + k;
        if (ReadHeader(r, candidate, h, item)) return candidate;
        // Reading the header may have moved the buffer: go on from a new window.
        from = candidate + 1;
        moved = true;
        break;
      }
      ++k;
    }
    if (!moved) from += positions;
  }
  return -1;
}

struct Descriptor {
  std::uint32_t crc = 0;
  ZipSize packed = 0;
  ZipSize unpacked = 0;
  ZipSize end = 0;  // just past it
};

// Reads a descriptor's fields at q (past its signature, if it has one), with
// `available` bytes there, when its packed size is `distance` and, unless
// `unpacked` is negative, its unpacked size is `unpacked`. The header's ZIP64
// field says which width to try first. Returns the descriptor's length past q
// (12 or 20), or 0.
std::int64_t ReadDescriptor(const std::uint8_t* q, std::int64_t available, ZipSize distance,
                            ZipSize unpacked, bool wideFirst, Descriptor& d) {
  for (int round = 0; round < 2; ++round) {
    const bool wide = (round == 0) == wideFirst;
    const std::int64_t length = wide ? 20 : 12;
    if (available < length) continue;
    const std::uint64_t packedField = wide ? ReadU64(q + 4) : ReadU32(q + 4);
    const std::uint64_t unpackedField = wide ? ReadU64(q + 12) : ReadU32(q + 8);
    if (packedField != static_cast<std::uint64_t>(distance) || unpackedField >= kMaxZipValue) continue;
    if (unpacked >= 0 && unpackedField != static_cast<std::uint64_t>(unpacked)) continue;
    d.crc = ReadU32(q);
    d.packed = distance;
    d.unpacked = static_cast<ZipSize>(unpackedField);
    return length;
  }
  return 0;
}

// Searches from the entry's data on for the descriptor that closes it: the
// first signature whose packed size is the distance from the data's start
// (at least minPacked); for stored data its unpacked size too, and the CRC-32
// of the bytes before it. False when the file ends first; then *sizesOnly
// (when given) holds the first descriptor of stored data whose sizes matched
// but whose CRC-32 did not, if there was one (its end set).
bool FindClosingDescriptor(ScanReader& r, const LocalHeader& h, bool stored, ZipSize minPacked,
                           Descriptor& d, Descriptor* sizesOnly = nullptr) {
  const ZipSize start = h.dataStart;
  std::uint32_t crc = 0xFFFFFFFFu;  // of [start, from) for stored data
  for (ZipSize from = start;;) {
    std::int64_t available = 0;
    const std::uint8_t* w = r.Window(from, available);
    if (w == nullptr) return false;
    const bool last = from + available >= r.Size();
    // Signatures whose fields lie in the window; the others wait for the next
    // one, unless the file ends here.
    const std::int64_t positions = last ? available - 3 : available - 23;
    if (positions <= 0) return false;
    std::int64_t checked = 0;  // bytes of the window already in crc
    for (std::int64_t k = 0; k < positions; ++k) {
      const void* hit = std::memchr(w + k, 'P', static_cast<std::size_t>(positions - k));
      if (hit == nullptr) break;
      k = static_cast<const std::uint8_t*>(hit) - w;
      if (ReadU32(w + k) != kDescriptorSignature) continue;
      const ZipSize distance = from + k - start;
      if (distance < minPacked) continue;
      Descriptor found;
      const std::int64_t length =
          ReadDescriptor(w + k + 4, available - k - 4, distance, stored ? distance : -1, h.wide, found);
      if (length == 0) continue;
      if (stored) {
        crc = CrcUpdate(crc, w + checked, static_cast<std::size_t>(k - checked));
        checked = k;
        if ((crc ^ 0xFFFFFFFFu) != found.crc) {
          if (sizesOnly != nullptr && sizesOnly->end == 0) {
            *sizesOnly = found;
            sizesOnly->end = from + k + 4 + length;
          }
          continue;
        }
      }
      d = found;
      d.end = from + k + 4 + length;
      return true;
    }
    if (last) return false;
    if (stored) crc = CrcUpdate(crc, w + checked, static_cast<std::size_t>(positions - checked));
    from += positions;
  }
}

// The scan's state beside the reader: the decoders for entries whose end is
// found by decoding, made for the first one.
class Scanner {
 public:
  Scanner(ByteSource& source, ZipSize size) : reader_(source, size), decoderSource_(reader_), size_(size) {}

  void Run(ScannedEntries& found) {
    for (ZipSize at = 0;;) {
      LocalHeader h;
      TZFItem item;
      at = FindHeader(reader_, at, kNoEnd, h, item);
      if (at < 0) return;
      bool complete = true;
      ZipSize next = kNoEnd;  // where the search goes on; kNoEnd: the entry runs to the end of the file
      if (!(h.flags & kFlagDescriptor)) {
        item.CentralCrc = h.crc;
        item.PackedSize = h.packed;
        item.UnpackedSize = h.unpacked;
        if (h.packed > size_ - h.dataStart) {
          complete = false;
        } else {
          next = h.dataStart + h.packed;
          // The batch needs the encryption header inside the entry.
          if (item.Encrypted && h.packed < kCryptHeader) complete = false;
        }
      } else {
        complete = EndByDescriptor(h, item, next);
      }
      if (next == kNoEnd) {
        complete = false;
        item.PackedSize = size_ - h.dataStart;
      }
      if (found.entries.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ||
          item.UnpackedSize > std::numeric_limits<ZipSize>::max() - found.totalSize)
        return;
      // Incomplete entries are listed up to a limit: a file of false headers
      // costs no memory beyond it. Complete ones are real entries, each
      // listed like a central directory record.
      if (complete || (incompleteCount_ < kMaxIncomplete && incompleteNameBytes_ < kMaxIncompleteNameBytes)) {
        if (!complete) {
          incompleteCount_ += 1;
          incompleteNameBytes_ += item.EntryPath.size() + item.StoredName.size();
        }
        found.totalSize += item.UnpackedSize;
        found.entries.push_back(std::move(item));
        found.incomplete.push_back(complete ? 0 : 1);
      }
      if (next == kNoEnd) return;
      at = next;
    }
  }

 private:
  // An entry with a descriptor: finds where it ends (next) and fills its
  // sizes and CRC-32. True when it is complete.
  bool EndByDescriptor(const LocalHeader& h, TZFItem& item, ZipSize& next) {
    item.PackedSize = 0;
    item.UnpackedSize = 0;
    const bool encrypted = (h.flags & kFlagEncrypted) != 0;
    if (!encrypted && h.method != kStoredMethod && IsSupportedMethod(h.method)) {
      const int decoded = EndByDecoding(h, item, next);
      if (decoded >= 0) return decoded == 1;
    }
    Descriptor d, sizesOnly;
    const bool stored = !encrypted && h.method == kStoredMethod;
    if (!FindClosingDescriptor(reader_, h, stored, encrypted ? kCryptHeader : 0, d, &sizesOnly)) {
      // Stored data damaged inside: its own descriptor had the right sizes
      // and the wrong CRC-32. Once per scan the entry ends there and the scan
      // goes on (a second time would search the rest of the file again).
      if (stored && sizesOnly.end != 0 && !sizesOnlyTaken_) {
        sizesOnlyTaken_ = true;
        item.CentralCrc = sizesOnly.crc;
        item.PackedSize = sizesOnly.packed;
        item.UnpackedSize = sizesOnly.unpacked;
        next = sizesOnly.end;
        return false;
      }
      next = kNoEnd;
      return false;
    }
    item.CentralCrc = d.crc;
    item.PackedSize = d.packed;
    item.UnpackedSize = d.unpacked;
    next = d.end;
    return true;
  }

  // Decodes the entry's data into nothing to find where its stream ends.
  // 1: complete; 0: damaged or cut off (next says where the scan goes on);
  // -1: the decoder refuses what the entry asks (or the memory it would
  // take), so its end is looked for by its descriptor instead.
  int EndByDecoding(const LocalHeader& h, TZFItem& item, ZipSize& next) {
    if (pipeline_ == nullptr) pipeline_ = std::make_unique<EntryPipeline>();
    EntryInput& in = pipeline_->input;
    in.Connect(&decoderSource_, nullptr);
    struct Disconnect {
      EntryInput& in;
      ~Disconnect() { in.Connect(nullptr, nullptr); }
    } disconnect{in};
    in.Reset();
    EntryDecoder* decoder = pipeline_->DecoderFor(h.method);
    if (decoder == nullptr || in.FillAt(h.dataStart) != EntryResult::kOk) {
      next = kNoEnd;
      return 0;
    }
    in.bitPos = 0;
    in.dataEnd = size_;  // the library decoders hand over no byte past the file
    decoder->SetEntryFlags(h.flags);
    DiscardSink nothing;
    OutputWindow& window = pipeline_->window;
    RunningEntry entry{in, *decoder, window, nothing};
    // No size is known: one larger than any entry (sizes of 2^56 and more are
    // damage), which keeps the decoders' size arithmetic far from overflow.
    const EntryResult result = entry.Decode(static_cast<ZipSize>(kMaxZipValue), nullptr);
    // What the decoder refuses to start (an option it lacks, a dictionary
    // larger than decoders may allocate) ends where its descriptor says.
    if (result == EntryResult::kUnsupported || result == EntryResult::kTooMuchMemory) return -1;
    const ZipSize streamEnd = (in.BitOffset() + 7) / 8;
    item.UnpackedSize = window.Produced();
    if (streamEnd > size_) {  // it read into the zeros after the file: cut off
      next = kNoEnd;
      return 0;
    }
    item.PackedSize = std::max<ZipSize>(streamEnd - h.dataStart, 0);
    next = std::max(streamEnd, h.dataStart);
    if (result != EntryResult::kShort) {
      // Damaged: the search goes on where the stream failed, never decoding
      // these bytes again. A read failure ends the scan.
      if (result != EntryResult::kDamaged && result != EntryResult::kDataError &&
          result != EntryResult::kOk)
        next = kNoEnd;
      return 0;
    }
    const std::uint32_t crc = window.Crc();
    const ZipSize packed = streamEnd - h.dataStart;
    const ZipSize unpacked = window.Produced();
    // The descriptor right after the stream, with or without its signature.
    const std::int64_t available = std::min<ZipSize>(24, size_ - streamEnd);
    const std::uint8_t* q = reader_.Get(streamEnd, available);
    Descriptor d;
    std::int64_t length = 0;
    if (q != nullptr && available >= 4 && ReadU32(q) == kDescriptorSignature) {
      length = ReadDescriptor(q + 4, available - 4, packed, unpacked, h.wide, d);
      if (length > 0) length += 4;
    }
    if (length == 0 && q != nullptr)
      length = ReadDescriptor(q, available, packed, unpacked, h.wide, d);
    if (length > 0) {
      item.CentralCrc = d.crc;
      next = streamEnd + length;
      return d.crc == crc ? 1 : 0;
    }
    // Some writers set the flag and still give the sizes in the header.
    if (h.sizesKnown && h.packed == packed && h.unpacked == unpacked && packed > 0) {
      item.CentralCrc = h.crc;
      return h.crc == crc ? 1 : 0;
    }
    // No CRC-32 to check the data against.
    item.CentralCrc = crc ^ 0xFFFFFFFFu;
    return 0;
  }

  ScanReader reader_;
  ScanSource decoderSource_;
  const ZipSize size_;
  std::unique_ptr<EntryPipeline> pipeline_;
  std::size_t incompleteCount_ = 0;
  std::size_t incompleteNameBytes_ = 0;
  bool sizesOnlyTaken_ = false;
};

// Opens fileName for a look at its bytes: the handle and its size.
platform::FileHandle OpenWithSize(const std::string& fileName, ZipSize& size) {
  const platform::FileHandle file = platform::OpenForReading(fileName);
  size = 0;
  if (file != platform::kNoFile)
    size = std::max<ZipSize>(0, platform::Seek(file, 0, platform::SeekOrigin::End));
  return file;
}

}  // namespace

void ScanLocalHeaders(ByteSource& source, ZipSize fileSize, ScannedEntries& found) {
  found.entries.clear();
  found.incomplete.clear();
  found.totalSize = 0;
  Scanner(source, fileSize).Run(found);
}

bool HasLocalHeaderNearStart(ByteSource& source, ZipSize fileSize) {
  ScanReader reader(source, fileSize);
  LocalHeader h;
  TZFItem item;
  return FindHeader(reader, 0, kNearStart, h, item) >= 0;
}

bool ScanCatalog(const std::string& fileName, const std::string& charsetSetting, Catalog& catalog,
                 FailureText& failure, bool& isArchive) {
  catalog = Catalog{};
  isArchive = false;
  catalog.archiveName = fileName;
  catalog.archiveHandle = OpenWithSize(fileName, catalog.archiveSize);
  if (catalog.archiveHandle == platform::kNoFile) {
    failure = {kErrOpen, "Can not open file " + fileName + " !"};
    return false;
  }
  ScannedEntries found;
  FileSource source(catalog.archiveHandle);
  ScanLocalHeaders(source, catalog.archiveSize, found);
  if (found.entries.empty()) {
    catalog = Catalog{};
    failure = {kErrDamaged, "Nothing recovered: no entry of a ZIP file was found in " + fileName + " !"};
    return false;
  }
  isArchive = true;
  catalog.entries = std::move(found.entries);
  catalog.recoveredIncomplete = std::move(found.incomplete);
  catalog.totalSize = found.totalSize;
  catalog.recovered = true;
  // Every entry ends before the next one starts; the last by the end of the file.
  catalog.centralOffset = catalog.archiveSize;
  DecodeEntryNames(catalog, charsetSetting);
  FindCatalogLimits(catalog);
  return true;
}

bool CanRecoverArchive(const std::string& fileName) {
  ZipSize size = 0;
  const platform::FileHandle file = OpenWithSize(fileName, size);
  if (file == platform::kNoFile) return false;
  FileSource source(file);
  const bool found = HasLocalHeaderNearStart(source, size);
  platform::Close(file);
  return found;
}

}  // namespace vantelo
