#include "engine/crypto/winzip_aes.h"

#include <algorithm>
#include <cstring>

namespace vantelo {
namespace {

constexpr std::int32_t kFieldDataSize = 7;  // version, vendor id, strength, method

std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void Store64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// data ^= key over n bytes, eight at a time where it can.
void XorInto(std::uint8_t* data, const std::uint8_t* key, std::int32_t n) {
  std::int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t a, b;
    std::memcpy(&a, data + i, 8);
    std::memcpy(&b, key + i, 8);
    a ^= b;
    std::memcpy(data + i, &a, 8);
  }
  for (; i < n; ++i) data[i] ^= key[i];
}

}  // namespace

WinZipAesField ReadWinZipAesField(const std::uint8_t* extra, std::int32_t length) {
  WinZipAesField field;
  for (std::int32_t at = 0; at + 4 <= length;) {
    const std::uint16_t id = Read16(extra + at);
    const std::int32_t size = Read16(extra + at + 2);
    const std::uint8_t* data = extra + at + 4;
    at += 4 + size;
    if (at > length) break;
    if (id != kWinZipAesFieldId) continue;
    field.kind = WinZipAesField::Kind::kUnsupported;
    if (size < kFieldDataSize) return field;
    field.vendorVersion = Read16(data);
    field.strength = data[4];
    field.method = Read16(data + 5);
    const bool known = (field.vendorVersion == 1 || field.vendorVersion == 2) && data[2] == 'A' &&
                       data[3] == 'E' && field.strength >= 1 && field.strength <= 3;
    if (known) field.kind = WinZipAesField::Kind::kSupported;
    return field;
  }
  return field;
}

WinZipAesFilter::WinZipAesFilter(std::uint8_t strength)
    : saltSize_(4 + 4 * std::clamp<std::int32_t>(strength, 1, 3)),
      keySize_(8 + 8 * std::clamp<std::int32_t>(strength, 1, 3)) {}

WinZipAesFilter::~WinZipAesFilter() { crypto::Wipe(keystream_.data(), keystream_.size()); }

WinZipAesFilter::OpenResult WinZipAesFilter::Open(std::string_view password,
                                                  const std::uint8_t* header) {
  opened_ = false;
  verdict_ = -1;
  remaining_ = 0;
  codeHave_ = 0;
  codeGiven_ = false;
  counterLow_ = 1;
  counterHigh_ = 0;
  keystreamUsed_ = kKeystreamSize;
  if (password.empty()) return OpenResult::kWrongPassword;

  // AES key, HMAC key, verifier.
  std::array<std::uint8_t, 32 + 32 + kVerifierSize> keys{};
  const auto size = static_cast<std::size_t>(2 * keySize_ + kVerifierSize);
  OpenResult result = OpenResult::kLibraryFailed;
  if (crypto::DerivePbkdf2HmacSha1(password, header, static_cast<std::size_t>(saltSize_),
                                   kIterations, keys.data(), size)) {
    if (std::memcmp(keys.data() + 2 * keySize_, header + saltSize_, kVerifierSize) != 0) {
      result = OpenResult::kWrongPassword;
    } else if (aes_.SetKey(keys.data(), static_cast<std::size_t>(keySize_)) &&
               hmac_.SetKey(keys.data() + keySize_, static_cast<std::size_t>(keySize_))) {
      opened_ = true;
      result = OpenResult::kOpened;
    }
  }
  crypto::Wipe(keys.data(), keys.size());
  return result;
}

void WinZipAesFilter::SetTrailer(const std::uint8_t* code) {
  std::memcpy(code_.data(), code, kCodeSize);
  codeHave_ = kCodeSize;
  codeGiven_ = true;
}

void WinZipAesFilter::SetRemaining(ZipSize encryptedBytes) {
  remaining_ = std::max<ZipSize>(encryptedBytes, 0);
}

// The keystream for the next blocks: counter blocks encrypted, as many as the
// buffer holds or the entry still needs.
void WinZipAesFilter::NextKeystream() {
  const ZipSize needed = (remaining_ + 15) / 16;
  const auto blocks = static_cast<std::int32_t>(std::min<ZipSize>(kKeystreamSize / 16, std::max<ZipSize>(needed, 1)));
  std::uint8_t* block = keystream_.data() + kKeystreamSize - blocks * 16;
  for (std::int32_t i = 0; i < blocks; ++i, block += 16) {
    Store64(block, counterLow_);
    Store64(block + 8, counterHigh_);
    if (++counterLow_ == 0) ++counterHigh_;
  }
  keystreamUsed_ = kKeystreamSize - blocks * 16;
  aes_.EncryptBlocks(keystream_.data() + keystreamUsed_, static_cast<std::size_t>(blocks));
}

void WinZipAesFilter::Apply(std::uint8_t* data, std::int32_t n) {
  if (!opened_ || n <= 0) return;
  const auto count = static_cast<std::int32_t>(std::min<ZipSize>(n, remaining_));
  // The code covers the encrypted bytes, as stored.
  hmac_.Write(data, static_cast<std::size_t>(count));
  for (std::int32_t done = 0; done < count;) {
    if (keystreamUsed_ == kKeystreamSize) NextKeystream();
    const std::int32_t step = std::min(count - done, kKeystreamSize - keystreamUsed_);
    XorInto(data + done, keystream_.data() + keystreamUsed_, step);
    keystreamUsed_ += step;
    remaining_ -= step;
    done += step;
  }
  // The code follows the data: kept, and left in the buffer as read.
  if (remaining_ == 0 && !codeGiven_ && codeHave_ < kCodeSize) {
    const std::int32_t take = std::min(n - count, kCodeSize - codeHave_);
    std::memcpy(code_.data() + codeHave_, data + count, static_cast<std::size_t>(take));
    codeHave_ += take;
  }
}

bool WinZipAesFilter::Authenticates() {
  if (verdict_ >= 0) return verdict_ == 1;
  if (!opened_ || !Complete()) return false;
  const auto computed = hmac_.Finish();
  // Every byte compared, whatever the first difference.
  std::uint8_t difference = 0;
  for (std::size_t i = 0; i < kCodeSize; ++i) difference |= computed[i] ^ code_[i];
  verdict_ = difference == 0 ? 1 : 0;
  opened_ = false;  // nothing more is decrypted once the verdict is given
  return verdict_ == 1;
}

}  // namespace vantelo
