// Traditional PKWARE encryption ("ZipCrypto") as an entry cipher: the key
// schedule, the check of the 12-byte encryption header, and decryption of an
// entry's bytes in place as the input reads them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/crypto/entry_cipher.h"
#include "engine/engine.h"

namespace vantelo {

// Passwords longer than this are used as their first 30 characters.
inline constexpr std::size_t kMaxPasswordLength = 30;
inline constexpr std::int32_t kCryptHeaderSize = 12;

// The byte the last header byte must decrypt to: the high byte of the CRC-32,
// or of the time word when the writer did not know the CRC before the data (a
// data descriptor, flag bit 3).
std::uint8_t ZipCryptoCheckByte(const TZFItem& entry);

class ZipCryptoFilter final : public EntryCipher {
 public:
  ZipCryptoFilter() = default;
  explicit ZipCryptoFilter(std::uint8_t checkByte) : checkByte_(checkByte) {}

  // Sets the keys from the password bytes (all of them: PasswordForms has cut
  // the password to its first 30 characters) and decrypts header in place;
  // true when its last byte is checkByte. An empty password never matches
  // (and leaves the header as it is).
  bool Open(const std::string& password, std::array<std::uint8_t, kCryptHeaderSize>& header,
            std::uint8_t checkByte);

  std::int32_t HeaderSize() const override { return kCryptHeaderSize; }
  std::size_t PasswordCharacterLimit() const override { return kMaxPasswordLength; }
  // Open on a copy of the header, against the entry's check byte.
  bool TryPassword(const std::string& password, const std::uint8_t* header) override;
  // Zero or below: nothing is decrypted.
  void SetRemaining(ZipSize encryptedBytes) override { remaining_ = encryptedBytes; }
  ZipSize Remaining() const { return remaining_; }

  void Apply(std::uint8_t* data, std::int32_t n) override;

  std::array<std::uint32_t, 3> keys{};

 private:
  void UpdateKeys(std::uint8_t plain);
  std::uint8_t KeystreamByte() const;

  std::uint8_t checkByte_ = 0;
  ZipSize remaining_ = 0;
};

}  // namespace vantelo
