// The data descriptor that follows an entry's data when its writer could not
// seek back (flag bit 3): an optional signature 0x08074B50, the CRC-32, then
// the packed and unpacked sizes, 4 bytes each, or 8 each for ZIP64 entries.
//
// The batch takes sizes and CRC-32 from the central record; the descriptor
// only matters for an encrypted entry, whose decryption runs over exactly the
// central packed size: when the bytes after the data read as a descriptor
// that says otherwise, the central record and the data disagree and the
// entry is not decrypted.
#pragma once

#include <cstdint>

#include "engine/engine.h"

namespace vantelo {

// The most bytes a descriptor takes: signature, CRC-32 and two 8-byte sizes.
inline constexpr std::int32_t kMaxDescriptorSize = 24;

enum class DescriptorVerdict : std::uint8_t {
  kAbsent,       // the bytes after the data are no descriptor
  kAgrees,       // a descriptor with the central record's CRC-32 and sizes
  kContradicts,  // a descriptor whose CRC-32 or sizes are not the central record's
};

// Reads the `available` bytes found right after the entry's packed data
// (fewer than kMaxDescriptorSize when the entry's room ends sooner) against
// the entry's central CRC-32 and sizes. With the signature, what follows is
// a descriptor; without it, bytes that start with the central CRC-32 are one.
DescriptorVerdict CheckDataDescriptor(const std::uint8_t* bytes, std::int32_t available,
                                      const TZFItem& entry);

}  // namespace vantelo
