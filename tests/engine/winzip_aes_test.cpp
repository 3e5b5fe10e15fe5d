// WinZip AES: the library's primitives against published vectors, the 0x9901
// field, and the filter over entries 7-Zip and zip.js encrypted
// (tests/data/aes, made by make-aes-fixtures.sh).
#include <gtest/gtest.h>

#include <cstring>

#include "common/extract_manifest.h"
#include "common/test_support.h"
#include "engine/byte_fields.h"
#include "engine/crypto/crypto_library.h"
#include "engine/crypto/winzip_aes.h"
#include "engine/engine.h"
#include "engine/session.h"
#include "stream_test_util.h"

namespace vantelo {
namespace {

using test::DataPath;

std::string Hex(const std::uint8_t* p, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    static const char* digits = "0123456789abcdef";
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

// PBKDF2-HMAC-SHA1 vectors of RFC 6070, and AES and HMAC-SHA1 vectors of
// FIPS 197 and RFC 2202: the wrapper hands the library the right arguments.
TEST(WinZipAes, LibraryPrimitivesGiveThePublishedVectors) {
  ASSERT_TRUE(crypto::LibraryReady());
  const auto* salt = reinterpret_cast<const std::uint8_t*>("salt");
  std::uint8_t key[25];
  ASSERT_TRUE(crypto::DerivePbkdf2HmacSha1("password", salt, 4, 1, key, 20));
  EXPECT_EQ(Hex(key, 20), "0c60c80f961f0e71f3a9b524af6012062fe037a6");
  ASSERT_TRUE(crypto::DerivePbkdf2HmacSha1("password", salt, 4, 4096, key, 20));
  EXPECT_EQ(Hex(key, 20), "4b007901b765489abead49d926f721d065a429c1");
  const auto* longSalt = reinterpret_cast<const std::uint8_t*>("saltSALTsaltSALTsaltSALTsaltSALTsalt");
  ASSERT_TRUE(crypto::DerivePbkdf2HmacSha1("passwordPASSWORDpassword", longSalt, 36, 4096, key, 25));
  EXPECT_EQ(Hex(key, 25), "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");

  std::uint8_t aesKey[32], block[16];
  for (int i = 0; i < 32; ++i) aesKey[i] = static_cast<std::uint8_t>(i);
  for (int i = 0; i < 16; ++i) block[i] = static_cast<std::uint8_t>(i * 0x11);
  crypto::AesEncryptor aes;
  ASSERT_TRUE(aes.SetKey(aesKey, 32));
  aes.EncryptBlocks(block, 1);
  EXPECT_EQ(Hex(block, 16), "8ea2b7ca516745bfeafc49904b496089");
  EXPECT_FALSE(aes.SetKey(aesKey, 20));

  crypto::HmacSha1 hmac;
  ASSERT_TRUE(hmac.SetKey(reinterpret_cast<const std::uint8_t*>("Jefe"), 4));
  hmac.Write(reinterpret_cast<const std::uint8_t*>("what do ya want "), 16);
  hmac.Write(reinterpret_cast<const std::uint8_t*>("for nothing?"), 12);
  auto code = hmac.Finish();
  EXPECT_EQ(Hex(code.data(), code.size()), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
  hmac.Write(reinterpret_cast<const std::uint8_t*>("what do ya want for nothing?"), 28);
  code = hmac.Finish();
  EXPECT_EQ(Hex(code.data(), code.size()), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79") << "Finish starts anew";
}

TEST(WinZipAes, ExtraFieldGivesVersionStrengthAndMethod) {
  using Kind = WinZipAesField::Kind;
  struct Case {
    std::vector<std::uint8_t> extra;
    Kind kind;
    std::uint16_t version;
    std::uint8_t strength;
    std::uint16_t method;
  };
  const std::vector<std::uint8_t> timeField = {0x55, 0x54, 0x05, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44};
  const Case cases[] = {
      {{0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'A', 'E', 0x03, 0x08, 0x00}, Kind::kSupported, 2, 3, 8},
      {{0x55, 0x54, 0x05, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44,  // after a time field
        0x01, 0x99, 0x07, 0x00, 0x01, 0x00, 'A', 'E', 0x01, 0x00, 0x00},
       Kind::kSupported, 1, 1, 0},
      {{0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'A', 'E', 0x02, 0x09, 0x00}, Kind::kSupported, 2, 2, 9},
      {{0x01, 0x99, 0x07, 0x00, 0x03, 0x00, 'A', 'E', 0x03, 0x08, 0x00}, Kind::kUnsupported, 3, 3, 8},
      {{0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'A', 'E', 0x04, 0x08, 0x00}, Kind::kUnsupported, 2, 4, 8},
      {{0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'A', 'E', 0x00, 0x08, 0x00}, Kind::kUnsupported, 2, 0, 8},
      {{0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'X', 'Y', 0x03, 0x08, 0x00}, Kind::kUnsupported, 2, 3, 8},
      {{0x01, 0x99, 0x05, 0x00, 0x02, 0x00, 'A', 'E', 0x03}, Kind::kUnsupported, 0, 0, 0},  // too short to say
      {{0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 'A', 'E', 0x03, 0x08}, Kind::kAbsent, 0, 0, 0},  // runs past the end
      {timeField, Kind::kAbsent, 0, 0, 0},
      {{}, Kind::kAbsent, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.extra.data(), c.extra.size()));
    const WinZipAesField f = ReadWinZipAesField(c.extra.data(), static_cast<std::int32_t>(c.extra.size()));
    EXPECT_EQ(f.kind, c.kind);
    EXPECT_EQ(f.vendorVersion, c.version);
    EXPECT_EQ(f.strength, c.strength);
    EXPECT_EQ(f.method, c.method);
  }
}

// A stored AES entry of a fixture, read as the batch will: local header
// skipped, salt and verifier taken, the data through the input's filter.
class WinZipAesFilterTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseArchive(); }

  struct Found {
    std::int32_t index = -1;
    WinZipAesField field;
    test::ExpectedEntry expected;
  };

  // Opens fixture and finds entry `path`, with its field and what 7zz extracted.
  Found Open(const std::string& fixture, const std::string& path) {
    Found found;
    EXPECT_EQ(OpenArchive(DataPath("aes/" + fixture)), 0) << GetLastMessage();
    for (const auto& e : test::ReadManifest(DataPath("aes/" + fixture.substr(0, fixture.size() - 4) + ".expect")))
      if (e.path == path) found.expected = e;
    for (std::int32_t i = 0; i < GetEntryCount(); ++i)
      if (GetEntryFolder(i) + GetEntryName(i) == path) found.index = i;
    EXPECT_GE(found.index, 0) << path;
    file_ = std::make_unique<test::FileInput>(DataPath("aes/" + fixture));
    const TZFItem& item = DefaultSession().catalog.entries.at(static_cast<std::size_t>(found.index));
    EXPECT_EQ(in().FillAt(item.HeaderOffset), EntryResult::kOk);
    const std::uint8_t* local = in().buffer.data();
    const std::int32_t nameLength = ReadU16(local + 26), extraLength = ReadU16(local + 28);
    found.field = ReadWinZipAesField(local + 30 + nameLength, extraLength);
    in().pos = 30 + nameLength + extraLength;
    packed_ = item.PackedSize;
    return found;
  }

  // Opens the filter with the header at the read position and moves past it.
  WinZipAesFilter::OpenResult Start(WinZipAesFilter& filter, const std::string& password) {
    const auto result = filter.Open(password, in().buffer.data() + in().pos);
    in().pos += filter.HeaderSize();
    filter.SetRemaining(packed_ - filter.HeaderSize() - filter.TrailerSize());
    return result;
  }

  EntryInput& in() { return file_->input; }

  std::unique_ptr<test::FileInput> file_;
  ZipSize packed_ = 0;
};

TEST_F(WinZipAesFilterTest, StoredEntriesOfEveryStrengthDecryptAndAuthenticate) {
  struct Case {
    const char* fixture;
    const char* path;
    std::uint8_t strength;
  };
  const std::string utf8 = "Ünïcödé pässwörd, longer than thirty characters ✓";
  for (const Case c : {Case{"zipjs_aes.zip", "big.bin", 1}, Case{"7zz_aes192_store.zip", "big.bin", 2},
                       Case{"7zz_aes256_store.zip", "big.bin", 3}, Case{"7zz_aes256_store.zip", "small.txt", 3}}) {
    // Pieces of odd sizes put the refills, and so the filter's calls, at
    // places that are no multiple of the 16-byte block.
    for (std::int32_t piece : {1 << 30, 4093, 61}) {
      SCOPED_TRACE(::testing::Message() << c.fixture << " " << c.path << " piece " << piece);
      const Found e = Open(c.fixture, c.path);
      ASSERT_EQ(e.field.kind, WinZipAesField::Kind::kSupported);
      ASSERT_EQ(e.field.strength, c.strength);
      ASSERT_EQ(e.field.method, 0);
      const std::string password = std::string(c.fixture).starts_with("zipjs") ? utf8 : e.expected.password;
      WinZipAesFilter filter(e.field.strength);
      ASSERT_EQ(filter.HeaderSize(), 4 + 4 * c.strength + 2);
      ASSERT_EQ(Start(filter, password), WinZipAesFilter::OpenResult::kOpened);
      in().SetFilter(&filter);
      OutputWindow out;
      DiscardSink nothing;
      out.Start(kDeflateWindow, &nothing, nullptr);
      EntryResult result = EntryResult::kOk;
      test::CopyStored(in(), out, static_cast<std::int32_t>(e.expected.size), &result, piece);
      in().SetFilter(nullptr);
      EXPECT_EQ(result, EntryResult::kOk);
      EXPECT_EQ(out.Crc(), e.expected.crc);
      EXPECT_TRUE(filter.Complete());
      EXPECT_TRUE(filter.Authenticates());
      EXPECT_TRUE(filter.Authenticates()) << "the same answer when asked again";
      CloseArchive();
    }
  }
}

// A decoder that stops before the end of the data (here: one that reads
// nothing) leaves the rest to the input, which feeds it to the filter with the
// code after it.
TEST_F(WinZipAesFilterTest, InputFeedsTheFilterTheRestOfTheEntryAndItsCode) {
  const Found e = Open("7zz_aes256_store.zip", "big.bin");
  WinZipAesFilter filter(e.field.strength);
  ASSERT_EQ(Start(filter, e.expected.password), WinZipAesFilter::OpenResult::kOpened);
  in().SetFilter(&filter);
  EXPECT_GT(filter.Remaining(), 0);  // 40,000 bytes: more than one fill
  EXPECT_TRUE(filter.WantsMore());
  EXPECT_EQ(in().FeedFilter(), EntryResult::kOk);
  EXPECT_FALSE(filter.WantsMore());
  EXPECT_TRUE(filter.Authenticates());
  in().SetFilter(nullptr);
}

TEST_F(WinZipAesFilterTest, WrongPasswordsFailTheVerifierAndChangedBytesTheCode) {
  const Found e = Open("7zz_aes256_store.zip", "small.txt");
  WinZipAesFilter filter(e.field.strength);
  const std::int32_t headerAt = in().pos;
  for (const std::string wrong : {"", "vantelo-AES", "Vantelo-AES ", "Vantelo-AE"}) {
    in().pos = headerAt;
    EXPECT_EQ(Start(filter, wrong), WinZipAesFilter::OpenResult::kWrongPassword) << wrong;
  }
  // A changed byte in the data or in the code: the verifier still passes,
  // the code does not.
  for (const ZipSize fromEnd : {ZipSize{WinZipAesFilter::kCodeSize} + 1, ZipSize{1}}) {
    in().pos = headerAt;
    ASSERT_EQ(Start(filter, e.expected.password), WinZipAesFilter::OpenResult::kOpened);
    std::uint8_t* data = in().buffer.data() + in().pos;
    const ZipSize dataSize = packed_ - filter.HeaderSize();
    std::vector<std::uint8_t> copy(data, data + dataSize);
    copy[static_cast<std::size_t>(dataSize - fromEnd)] ^= 0x40;
    filter.Apply(copy.data(), static_cast<std::int32_t>(copy.size()));
    EXPECT_TRUE(filter.Complete());
    EXPECT_FALSE(filter.Authenticates()) << fromEnd;
  }
  // Without the whole code there is no verdict but "no".
  in().pos = headerAt;
  ASSERT_EQ(Start(filter, e.expected.password), WinZipAesFilter::OpenResult::kOpened);
  std::vector<std::uint8_t> cut(in().buffer.data() + in().pos,
                                in().buffer.data() + in().pos + packed_ - filter.HeaderSize() - 1);
  filter.Apply(cut.data(), static_cast<std::int32_t>(cut.size()));
  EXPECT_FALSE(filter.Complete());
  EXPECT_FALSE(filter.Authenticates());
}

}  // namespace
}  // namespace vantelo
