// The primitives of crypto_library.h over libgcrypt.
#include <gcrypt.h>

#include <cstring>

#include "engine/crypto/crypto_library.h"

namespace vantelo::crypto {

bool LibraryReady() {
  // A function-local static is initialised exactly once, even when several
  // threads arrive together; the others wait for it.
  static const bool ready = [] {
    if (gcry_check_version(GCRYPT_VERSION) == nullptr) return false;
    // Nothing here needs the library's locked memory pool (keys live as long
    // as one entry and are wiped after it); asking for it would only print
    // warnings where locking memory is not allowed.
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  return ready;
}

bool DerivePbkdf2HmacSha1(std::string_view password, const std::uint8_t* salt,
                          std::size_t saltSize, unsigned iterations, std::uint8_t* out,
                          std::size_t outSize) {
  if (!LibraryReady()) return false;
  // The library takes no null passphrase, even of length zero.
  static const char kEmpty = 0;
  const char* pass = password.empty() ? &kEmpty : password.data();
  return gcry_kdf_derive(pass, password.size(), GCRY_KDF_PBKDF2, GCRY_MD_SHA1, salt, saltSize,
                         iterations, outSize, out) == 0;
}

AesEncryptor::~AesEncryptor() {
  if (handle_ != nullptr) gcry_cipher_close(handle_);  // wipes the key schedule
}

bool AesEncryptor::SetKey(const std::uint8_t* key, std::size_t size) {
  if (!LibraryReady()) return false;
  int algorithm = 0;
  switch (size) {
    case 16: algorithm = GCRY_CIPHER_AES128; break;
    case 24: algorithm = GCRY_CIPHER_AES192; break;
    case 32: algorithm = GCRY_CIPHER_AES256; break;
    default: return false;
  }
  if (handle_ != nullptr) {
    gcry_cipher_close(handle_);
    handle_ = nullptr;
  }
  if (gcry_cipher_open(&handle_, algorithm, GCRY_CIPHER_MODE_ECB, 0) != 0) {
    handle_ = nullptr;
    return false;
  }
  return gcry_cipher_setkey(handle_, key, size) == 0;
}

void AesEncryptor::EncryptBlocks(std::uint8_t* data, std::size_t blocks) {
  if (blocks == 0) return;
  gcry_cipher_encrypt(handle_, data, blocks * kBlockSize, nullptr, 0);
}

HmacSha1::~HmacSha1() {
  if (handle_ != nullptr) gcry_md_close(handle_);
}

bool HmacSha1::SetKey(const std::uint8_t* key, std::size_t size) {
  if (!LibraryReady()) return false;
  if (handle_ == nullptr && gcry_md_open(&handle_, GCRY_MD_SHA1, GCRY_MD_FLAG_HMAC) != 0) {
    handle_ = nullptr;
    return false;
  }
  return gcry_md_setkey(handle_, key, size) == 0;
}

void HmacSha1::Write(const std::uint8_t* data, std::size_t size) {
  if (size != 0) gcry_md_write(handle_, data, size);
}

std::array<std::uint8_t, HmacSha1::kSize> HmacSha1::Finish() {
  std::array<std::uint8_t, kSize> code{};
  std::memcpy(code.data(), gcry_md_read(handle_, GCRY_MD_SHA1), kSize);
  gcry_md_reset(handle_);  // the key stays
  return code;
}

void Wipe(void* data, std::size_t size) {
  // Written through a volatile pointer so the compiler cannot drop the stores
  // to memory that is about to die.
  volatile auto* p = static_cast<volatile std::uint8_t*>(data);
  for (std::size_t i = 0; i < size; ++i) p[i] = 0;
}

}  // namespace vantelo::crypto
