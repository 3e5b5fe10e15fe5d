// WinZip AES encryption (method 99): the 0x9901 extra field that names it,
// and the input filter that authenticates and decrypts an entry's bytes.
//
// An entry's packed bytes are: salt (8, 12 or 16 bytes for 128-, 192- or
// 256-bit keys), a 2-byte password verifier, the encrypted data, and a 10-byte
// authentication code. PBKDF2-HMAC-SHA1 over the password and the salt, 1,000
// rounds, gives the AES key, the HMAC key and the verifier, in that order.
// The data is AES in counter mode with a 16-byte little-endian counter that
// starts at 1 (the libraries' counter modes count big-endian, so the counter
// blocks are made here and encrypted with the library's block function); the
// code is the first 10 bytes of HMAC-SHA1 over the encrypted data.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/crypto/crypto_library.h"
#include "engine/crypto/entry_cipher.h"
#include "engine/engine.h"

namespace vantelo {

inline constexpr std::uint16_t kMethodWinZipAes = 99;
inline constexpr std::uint16_t kWinZipAesFieldId = 0x9901;

// What an entry's 0x9901 extra field says.
struct WinZipAesField {
  enum class Kind : std::uint8_t {
    kAbsent,       // no such field
    kSupported,    // AE-1 or AE-2, vendor "AE", key strength 1 to 3
    kUnsupported,  // a field this reader does not know: another version,
                   // vendor or strength, or too short to say
  };
  Kind kind = Kind::kAbsent;
  std::uint16_t vendorVersion = 0;  // 1: AE-1, 2: AE-2
  std::uint8_t strength = 0;        // 1, 2, 3: keys of 128, 192, 256 bits
  std::uint16_t method = 0;         // the compression method of the data inside

  // AE-1 entries carry the CRC-32 of the data; AE-2 writers store 0 there
  // (the code authenticates the data), so their CRC field is not checked.
  bool ChecksCrc() const { return vendorVersion == 1; }
};

// Reads the 0x9901 field from an extra field of `length` bytes. A field that
// runs past the end of the extra field ends the search.
WinZipAesField ReadWinZipAesField(const std::uint8_t* extra, std::int32_t length);

class WinZipAesFilter final : public EntryCipher {
 public:
  static constexpr std::int32_t kVerifierSize = 2;
  static constexpr std::int32_t kCodeSize = 10;
  static constexpr std::int32_t kMaxHeaderSize = 16 + kVerifierSize;
  static constexpr unsigned kIterations = 1000;

  enum class OpenResult : std::uint8_t { kOpened, kWrongPassword, kLibraryFailed };

  // strength 1, 2 or 3 (a supported field's).
  explicit WinZipAesFilter(std::uint8_t strength);
  ~WinZipAesFilter() override;

  // Salt and verifier, in front of the data.
  std::int32_t HeaderSize() const override { return saltSize_ + kVerifierSize; }
  // The authentication code, after the data.
  std::int32_t TrailerSize() const override { return kCodeSize; }

  // Derives the keys from the whole password (UTF-8 as given) and the
  // header's salt, and compares the header's verifier. An empty password
  // never opens an entry.
  OpenResult Open(std::string_view password, const std::uint8_t* header);
  bool TryPassword(const std::string& password, const std::uint8_t* header) override {
    return Open(password, header) == OpenResult::kOpened;
  }
  // How many encrypted bytes follow the header: Apply decrypts no more, and
  // takes the next kCodeSize bytes as the stored code, leaving them as read.
  void SetRemaining(ZipSize encryptedBytes) override;
  ZipSize Remaining() const { return remaining_; }
  // The code as stored after the data, when the caller read it itself;
  // otherwise Apply takes it from the bytes that follow the data.
  void SetTrailer(const std::uint8_t* code) override;
  // Whether every encrypted byte went through Apply and the code is known.
  bool Complete() const { return remaining_ == 0 && codeHave_ == kCodeSize; }
  bool WantsMore() const override { return opened_ && !Complete(); }

  // Adds fresh input bytes to the code computed, then decrypts them in place.
  void Apply(std::uint8_t* data, std::int32_t n) override;
  // Complete, and the code stored after the data is the one computed over it
  // (decided on the first call, the same answer after it).
  bool Authenticates() override;

 private:
  void NextKeystream();

  crypto::AesEncryptor aes_;
  crypto::HmacSha1 hmac_;
  std::int32_t saltSize_;
  std::int32_t keySize_;
  bool opened_ = false;
  std::int8_t verdict_ = -1;  // Authenticates' answer once given: 0 or 1
  ZipSize remaining_ = 0;
  // The counter as two little-endian halves, and keystream made ahead of use.
  std::uint64_t counterLow_ = 1, counterHigh_ = 0;
  static constexpr std::int32_t kKeystreamSize = 4096;
  alignas(16) std::array<std::uint8_t, kKeystreamSize> keystream_{};
  std::int32_t keystreamUsed_ = kKeystreamSize;
  std::array<std::uint8_t, kCodeSize> code_{};
  std::int32_t codeHave_ = 0;
  bool codeGiven_ = false;  // by SetTrailer
};

}  // namespace vantelo
