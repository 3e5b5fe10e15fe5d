#include "engine/crypto/entry_cipher.h"

#include "engine/crypto/crypto_library.h"
#include "engine/crypto/winzip_aes.h"
#include "engine/crypto/zip_crypto.h"
#include "engine/byte_fields.h"

namespace vantelo {
namespace {

constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kStrongEncryptionFieldId = 0x0017;
constexpr std::uint16_t kWinZipAesMethod = 99;

bool HasExtraField(const std::uint8_t* extra, std::int32_t length, std::uint16_t wanted) {
  for (std::int32_t at = 0; at + 4 <= length;) {
    const std::uint16_t id = ReadU16(extra + at);
    const std::int32_t size = ReadU16(extra + at + 2);
    if (at + 4 + size > length) return false;  // a field cut off is no field
    if (id == wanted) return true;
    at += 4 + size;
  }
  return false;
}

}  // namespace

EntryEncryption EncryptionOf(std::uint16_t flags, std::uint16_t method, const std::uint8_t* extra,
                             std::int32_t extraLength) {
  if (!(flags & kFlagEncrypted)) return EntryEncryption::kNone;
  // Strong encryption marks itself with flag bit 6 or its own extra field;
  // either one means the traditional cipher would only give garbage.
  if ((flags & kFlagStrongEncryption) || HasExtraField(extra, extraLength, kStrongEncryptionFieldId))
    return EntryEncryption::kStrong;
  if (method == kWinZipAesMethod) return EntryEncryption::kWinZipAes;
  return EntryEncryption::kZipCrypto;
}

bool CanDecrypt(const TZFItem& entry) {
  switch (entry.Encryption) {
    case EntryEncryption::kNone:
    case EntryEncryption::kZipCrypto:
      return true;
    case EntryEncryption::kWinZipAes:
      return entry.AesStrength != 0 && crypto::LibraryReady();
    case EntryEncryption::kStrong:
      break;
  }
  return false;
}

std::unique_ptr<EntryCipher> MakeEntryCipher(const TZFItem& entry) {
  if (!CanDecrypt(entry)) return nullptr;
  switch (entry.Encryption) {
    case EntryEncryption::kZipCrypto:
      return std::make_unique<ZipCryptoFilter>(ZipCryptoCheckByte(entry));
    case EntryEncryption::kWinZipAes:
      return std::make_unique<WinZipAesFilter>(entry.AesStrength);
    case EntryEncryption::kNone:
    case EntryEncryption::kStrong:
      break;
  }
  return nullptr;
}

}  // namespace vantelo
