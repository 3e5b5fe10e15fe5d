#include "engine/data_descriptor.h"

#include "engine/byte_fields.h"

namespace vantelo {
namespace {

constexpr std::uint32_t kDescriptorSignature = 0x08074B50;

// Whether the sizes at p (4 or 8 bytes each, within `available`) are the entry's.
bool SizesMatch(const std::uint8_t* p, std::int32_t available, std::int32_t width, const TZFItem& entry) {
  if (available < 2 * width) return false;
  const std::uint64_t packed = width == 4 ? ReadU32(p) : ReadU64(p);
  const std::uint64_t unpacked = width == 4 ? ReadU32(p + 4) : ReadU64(p + 8);
  return packed == static_cast<std::uint64_t>(entry.PackedSize) &&
         unpacked == static_cast<std::uint64_t>(entry.UnpackedSize);
}

}  // namespace

DescriptorVerdict CheckDataDescriptor(const std::uint8_t* bytes, std::int32_t available,
                                      const TZFItem& entry) {
  if (available >= 4 && ReadU32(bytes) == kDescriptorSignature) {
    bytes += 4;
    available -= 4;
  } else if (available < 4 || ReadU32(bytes) != entry.CentralCrc) {
    // No signature and not the CRC-32: the data is followed by something
    // else (the next header, or a descriptor the writer never wrote).
    return DescriptorVerdict::kAbsent;
  }
  if (available < 4 || ReadU32(bytes) != entry.CentralCrc) return DescriptorVerdict::kContradicts;
  bytes += 4;
  available -= 4;
  return SizesMatch(bytes, available, 4, entry) || SizesMatch(bytes, available, 8, entry)
             ? DescriptorVerdict::kAgrees
             : DescriptorVerdict::kContradicts;
}

}  // namespace vantelo
