// The cryptographic primitives WinZip AES needs (AES block encryption,
// HMAC-SHA1, PBKDF2-HMAC-SHA1), taken from libgcrypt behind these few calls.
// No other file includes the library's header. The library is started once,
// on first use, from whichever thread comes first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct gcry_cipher_handle;
struct gcry_md_handle;

namespace vantelo::crypto {

// Whether the library started: the version linked is at least the one built
// against, and its initialisation ran. Every call below checks it too.
bool LibraryReady();

// PBKDF2 (RFC 8018) with HMAC-SHA1: out[0, outSize) derived from password and
// salt in iterations rounds. False when the library refuses (or is not ready).
bool DerivePbkdf2HmacSha1(std::string_view password, const std::uint8_t* salt,
                          std::size_t saltSize, unsigned iterations, std::uint8_t* out,
                          std::size_t outSize);

// AES in ECB mode, encrypting only: the block function that counter modes
// are built from. Keys of 16, 24 or 32 bytes.
class AesEncryptor {
 public:
  static constexpr std::size_t kBlockSize = 16;
  AesEncryptor() = default;
  ~AesEncryptor();
  AesEncryptor(const AesEncryptor&) = delete;
  AesEncryptor& operator=(const AesEncryptor&) = delete;

  bool SetKey(const std::uint8_t* key, std::size_t size);
  // Encrypts n blocks (n * 16 bytes) in place; SetKey must have succeeded.
  void EncryptBlocks(std::uint8_t* data, std::size_t blocks);

 private:
  gcry_cipher_handle* handle_ = nullptr;
};

// HMAC-SHA1 (RFC 2104) of the bytes written since SetKey.
class HmacSha1 {
 public:
  static constexpr std::size_t kSize = 20;
  HmacSha1() = default;
  ~HmacSha1();
  HmacSha1(const HmacSha1&) = delete;
  HmacSha1& operator=(const HmacSha1&) = delete;

  bool SetKey(const std::uint8_t* key, std::size_t size);
  void Write(const std::uint8_t* data, std::size_t size);
  // The code of everything written; the next Write starts a new message.
  std::array<std::uint8_t, kSize> Finish();

 private:
  gcry_md_handle* handle_ = nullptr;
};

// Overwrites a secret so that it does not stay in memory once used.
void Wipe(void* data, std::size_t size);

}  // namespace vantelo::crypto
