// Traditional decryption over real archives from Info-ZIP zip and 7-Zip: the
// password check, decryption through the buffered input and its refills to the
// stored CRC-32, and the bounds that keep it inside the entry's data.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "common/test_support.h"
#include "engine/engine.h"
#include "engine/crypto/password_forms.h"
#include "engine/data_descriptor.h"
#include "engine/crypto/zip_crypto.h"
#include "engine/byte_fields.h"
#include "engine/session.h"
#include "stream_test_util.h"

namespace vantelo {
namespace {

using test::DataPath;

// The passwords of tests/data/make-crypt-fixtures.sh: entry pwNN.bin is
// encrypted with the first NN characters, big*.bin with the first 30.
const std::string kPasswords = "Vt7#kQ2m!Zr9$Lp4^Xw1&Nb6*Hc3(Ge8)Jd5+Fs0";

std::string PasswordOf(const std::string& name) {
  if (name.rfind("pw", 0) == 0) return kPasswords.substr(0, std::stoul(name.substr(2, 2)));
  if (name.rfind("big", 0) == 0) return kPasswords.substr(0, 30);
  return "pipe";
}

struct Entry {
  std::int32_t index;
  std::string name;
  std::int32_t packed;
  std::int32_t unpacked;
  std::uint32_t crc;
};

class CryptTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseArchive(); }

  // Opens a fixture and lists its entries with the central directory's sizes
  // and CRC; the test's own input reads the same file.
  std::vector<Entry> Open(const std::string& fixture) {
    std::vector<Entry> entries;
    if (OpenArchive(DataPath(fixture)) != 0) {
      ADD_FAILURE() << fixture << ": " << GetLastMessage();
      return entries;
    }
    raw_ = test::ReadFileBytes(DataPath(fixture));
    file_ = std::make_unique<test::FileInput>(DataPath(fixture));
    for (std::int32_t i = 0; i < GetEntryCount(); ++i) {
      const TZFItem& item = DefaultSession().catalog.entries[static_cast<std::size_t>(i)];
      entries.push_back({i, GetEntryName(i), static_cast<std::int32_t>(item.PackedSize),
                         static_cast<std::int32_t>(item.UnpackedSize), item.CentralCrc});
    }
    return entries;
  }
  EntryInput& in() { return file_->input; }
  const TZFItem& Item(const Entry& e) { return DefaultSession().catalog.entries[static_cast<std::size_t>(e.index)]; }

  // Reads entry e's local header through the input as the batch does
  // (refilling only when the header is not wholly buffered) and copies the
  // encryption header. Returns false for an entry that is not encrypted.
  bool StartEntry(const Entry& e) {
    ZipSize at = Item(e).HeaderOffset;
    auto window = [&](std::int32_t n) {
      if (at < in().base || at + n > in().base + in().limit) {
        EXPECT_EQ(in().FillAt(at), EntryResult::kOk);
        ++fills_;
      }
    };
    auto bytes = [&] { return in().buffer.data() + (at - in().base); };
    window(30);
    std::memcpy(local_.data(), bytes(), 30);
    EXPECT_EQ(ReadU32(local_.data()), 0x04034B50u) << e.name << ": local header signature";
    at += 30;
    const std::int32_t nameLength = ReadU16(local_.data() + 26);
    const std::int32_t extraLength = ReadU16(local_.data() + 28);
    window(nameLength);
    at += nameLength;
    window(extraLength);
    at += extraLength;
    in().pos = static_cast<std::int32_t>(at - in().base);
    if (!(local_[6] & 1)) return false;
    window(12);
    std::memcpy(header_.data(), bytes(), 12);
    at += 12;
    in().pos = static_cast<std::int32_t>(at - in().base);
    return true;
  }
  // The password check of entry e's header (copied, so that it can be tried again).
  bool Check(const Entry& e, const std::string& password) {
    // The batch's first form of the password: its first 30 characters.
    const auto forms = PasswordForms(password, "CP437", kMaxPasswordLength);
    auto header = header_;
    const bool ok = !forms.empty() && filter_.Open(forms.front(), header, ZipCryptoCheckByte(Item(e)));
    // The batch takes the sizes from the central directory record.
    filter_.SetRemaining(e.packed - 12);
    return ok;
  }

  // After the check: decrypts the entry through the input's filter, copies the
  // stored data through an output window in test mode and returns the CRC-32.
  std::uint32_t DecryptAndCopy(const Entry& e, std::int32_t maxPiece = 1 << 30) {
    in().SetFilter(&filter_);
    OutputWindow out;
    DiscardSink nothing;
    out.Start(kDeflateWindow, &nothing, nullptr);
    EntryResult result = EntryResult::kOk;
    refills_ += test::CopyStored(in(), out, e.unpacked, &result, maxPiece);
    in().SetFilter(nullptr);
    EXPECT_EQ(result, EntryResult::kOk) << e.name;
    EXPECT_EQ(out.delivered, e.unpacked) << e.name;
    EXPECT_EQ(filter_.Remaining(), 0) << e.name;
    return out.Crc();
  }

  // The bytes after the entry's data are still the archive's own: decryption
  // stopped at the end of the entry.
  void ExpectBufferAfterEntryIsRaw(const Entry& e) {
    const ZipSize at = in().base + in().pos;
    const std::int32_t n = std::min<std::int32_t>(in().count - in().pos, 64);
    ASSERT_GE(n, 4) << e.name;
    EXPECT_EQ(0, std::memcmp(in().buffer.data() + in().pos, raw_.data() + at, static_cast<std::size_t>(n)))
        << e.name;
    EXPECT_EQ(in().buffer[static_cast<std::size_t>(in().pos)], 'P') << e.name;
    EXPECT_EQ(in().buffer[static_cast<std::size_t>(in().pos) + 1], 'K') << e.name;
  }

  std::string raw_;
  std::unique_ptr<test::FileInput> file_;
  std::array<std::uint8_t, 30> local_{};   // the local header of the entry begun last
  std::array<std::uint8_t, 12> header_{};  // its encryption header, as stored
  ZipCryptoFilter filter_;
  int fills_ = 0;
  int refills_ = 0;
};

// Every encrypted entry, walked in order through one input buffer as a batch
// would: the password opens it, the data decrypts to the stored CRC, and the
// next local header, often already in the buffer, still reads as one.
TEST_F(CryptTest, InfoZipEntriesDecryptToTheirCrc) {
  const auto entries = Open("crypt_zip.zip");
  ASSERT_EQ(entries.size(), 33u);
  int encrypted = 0;
  for (const Entry& e : entries) {
    if (!StartEntry(e)) continue;
    ++encrypted;
    if (e.name == "pw40.bin") {
      // Encrypted with all 40 characters; the engine uses only the first 30.
      EXPECT_FALSE(Check(e, PasswordOf(e.name)));
      continue;  // skipped as the batch would: the next header is read as it lies
    }
    ASSERT_TRUE(Check(e, PasswordOf(e.name))) << e.name;
    EXPECT_EQ(DecryptAndCopy(e, 4093), e.crc) << e.name;
    ExpectBufferAfterEntryIsRaw(e);
  }
  EXPECT_EQ(encrypted, 32);
  EXPECT_GE(refills_, 2);  // big.bin spans several fills
}

TEST_F(CryptTest, SevenZipEntriesDecryptToTheirCrc) {
  const auto entries = Open("crypt_7zz.zip");
  ASSERT_EQ(entries.size(), 33u);
  int encrypted = 0;
  for (const Entry& e : entries) {
    if (!StartEntry(e)) continue;
    ++encrypted;
    if (e.name == "pw40.bin") {
      EXPECT_FALSE(Check(e, PasswordOf(e.name))) << "a 40-character password is used as its first 30";
      continue;
    }
    ASSERT_TRUE(Check(e, PasswordOf(e.name))) << e.name;
    EXPECT_EQ(DecryptAndCopy(e), e.crc) << e.name;
    ExpectBufferAfterEntryIsRaw(e);
  }
  EXPECT_EQ(encrypted, 32);
  EXPECT_GE(refills_, 1);
}

// The 30-character cut: pw30.bin opens with any password that starts with
// its 30 characters.
TEST_F(CryptTest, LongPasswordIsCutTo30Characters) {
  for (const std::string fixture : {"crypt_zip.zip", "crypt_7zz.zip"}) {
    const auto entries = Open(fixture);
    for (const Entry& e : entries) {
      if (e.name != "pw30.bin") continue;
      ASSERT_TRUE(StartEntry(e));
      ASSERT_TRUE(Check(e, kPasswords)) << fixture;  // 40 characters
      EXPECT_EQ(DecryptAndCopy(e), e.crc) << fixture;
    }
    CloseArchive();
  }
}

// An entry bigger than the buffer, consumed in pieces of many sizes so that
// refills fall at different places and move different numbers of unconsumed
// bytes to the front.
TEST_F(CryptTest, EntrySpanningSeveralRefillsDecryptsAcrossEveryBoundary) {
  for (const std::string fixture : {"crypt_zip.zip", "crypt_7zz.zip"}) {
    const auto entries = Open(fixture);
    for (const Entry& e : entries) {
      if (e.name.rfind("big", 0) != 0) continue;
      ASSERT_GT(e.unpacked, 32768);
      for (std::int32_t piece : {1 << 30, 32768, 1000, 777, 61, 7}) {
        in().Reset();
        ASSERT_TRUE(StartEntry(e));
        ASSERT_TRUE(Check(e, PasswordOf(e.name)));
        refills_ = 0;
        EXPECT_EQ(DecryptAndCopy(e, piece), e.crc) << fixture << " piece " << piece;
        EXPECT_GE(refills_, 1);
        ExpectBufferAfterEntryIsRaw(e);
      }
    }
    CloseArchive();
  }
}

TEST_F(CryptTest, WrongCaseAndEmptyPasswordsDoNotOpen) {
  int checks = 0, chanceMatches = 0;
  for (const std::string fixture : {"crypt_zip.zip", "crypt_7zz.zip"}) {
    const auto entries = Open(fixture);
    for (const Entry& e : entries) {
      if (e.name == "pw40.bin") continue;
      in().Reset();
      if (!StartEntry(e)) continue;
      std::array<std::uint8_t, 12> header = header_;
      EXPECT_FALSE(filter_.Open("", header, ZipCryptoCheckByte(Item(e)))) << e.name;
      EXPECT_EQ(header, header_) << "an empty password leaves the header encrypted";

      std::string wrong = PasswordOf(e.name);
      const auto letter = std::find_if(wrong.begin(), wrong.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
      ASSERT_NE(letter, wrong.end());
      *letter = static_cast<char>(std::islower(static_cast<unsigned char>(*letter)) ? std::toupper(*letter) : std::tolower(*letter));
      ++checks;
      if (Check(e, wrong)) {
        // One password in 256 passes the one-byte check; its data must then fail the CRC.
        ++chanceMatches;
        in().SetFilter(&filter_);
        OutputWindow out;
        DiscardSink nothing;
        out.Start(kDeflateWindow, &nothing, nullptr);
        test::CopyStored(in(), out, e.unpacked, nullptr);
        in().SetFilter(nullptr);
        EXPECT_NE(out.Crc(), e.crc) << e.name;
      }
    }
    CloseArchive();
  }
  EXPECT_EQ(checks, 62);
  EXPECT_LE(chanceMatches, 2);
}

// Info-ZIP sets flag bit 3 on its encrypted entries, and the check byte is then
// the high byte of the time word; without bit 3 (7-Zip) it is the CRC's high byte.
TEST_F(CryptTest, CheckByteComesFromTimeWithBit3ElseFromCrc) {
  struct Case {
    const char* fixture;
    const char* entry;
    bool bit3;
  };
  for (const Case c : {Case{"crypt_zip.zip", "pw12.bin", true}, Case{"crypt_7zz.zip", "pw12.bin", false},
                       Case{"crypt_zip_pipe.zip", "-", true}}) {
    SCOPED_TRACE(c.fixture);
    const auto entries = Open(c.fixture);
    const auto e = std::find_if(entries.begin(), entries.end(), [&](const Entry& x) { return x.name == c.entry; });
    ASSERT_NE(e, entries.end());
    ASSERT_TRUE(StartEntry(*e));
    TZFItem entry = Item(*e);
    ASSERT_EQ((entry.CentralFlags & 8) != 0, c.bit3);
    ASSERT_NE(entry.FileTime >> 8, entry.CentralCrc >> 24) << "the fixture must tell the two sources apart";
    std::array<std::uint8_t, 12> header = header_;
    EXPECT_TRUE(filter_.Open(PasswordOf(e->name), header, ZipCryptoCheckByte(entry)));
    entry.CentralFlags ^= 8;  // the other source for the same header
    header = header_;
    EXPECT_FALSE(filter_.Open(PasswordOf(e->name), header, ZipCryptoCheckByte(entry)));
    ASSERT_TRUE(Check(*e, PasswordOf(e->name)));
    if (std::string(c.fixture) == "crypt_zip_pipe.zip") {
      // Its sizes are only in the central directory; the data still decrypts.
      EXPECT_EQ(DecryptAndCopy(*e), e->crc);
      ExpectBufferAfterEntryIsRaw(*e);
    }
    CloseArchive();
  }
}

// The filter decrypts no more than the entry's encrypted bytes, whatever it
// is handed, and a negative count (compressed size below 12) decrypts nothing.
TEST_F(CryptTest, FilterStopsAtTheEntrysEncryptedBytes) {
  const auto pattern = test::RandomBytes(40'000, 31);
  struct Case {
    std::int32_t handed;
    ZipSize remaining;
    std::int32_t lastChanged;  // -1: nothing changes
    ZipSize remainingAfter;
  };
  const Case cases[] = {
      {900, 5, 4, 0},
      {900, -7, -1, -7},     // compressed size below 12
      {-5, 50, -1, 50},      // a negative count
      {0, 50, -1, 50},
      {40'000, 0x7FFFFFFF, 39'999, 0x7FFFFFFF - 40'000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "handed " << c.handed << " remaining " << c.remaining);
    std::vector<std::uint8_t> bytes = pattern;
    ZipCryptoFilter filter;
    filter.keys = {0x12345678u, 0x23456789u, 0x34567890u};
    filter.SetRemaining(c.remaining);
    filter.Apply(bytes.data(), c.handed);
    EXPECT_EQ(filter.Remaining(), c.remainingAfter);
    std::int32_t last = -1;
    for (std::size_t i = 0; i < bytes.size(); ++i)
      if (bytes[i] != pattern[i]) last = static_cast<std::int32_t>(i);
    // A changed byte may by chance decrypt to itself, so only the bound is checked.
    if (c.lastChanged < 0)
      EXPECT_EQ(last, -1);
    else
      EXPECT_LE(last, c.lastChanged);
  }
}

// The input filters only its valid bytes: from the read position to count
// when the filter is set, then each refill's fresh bytes, never the slack.
TEST_F(CryptTest, InputFiltersOnlyValidBytesFromTheReadPosition) {
  test::TempFolder temp;
  const std::string path = temp.file("a.bin");
  const auto bytes = test::RandomBytes(50'000, 41);
  test::WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
  test::FileInput file(path);
  EntryInput& input = file.input;
  ASSERT_EQ(input.FillAt(0), EntryResult::kOk);
  input.pos = 32'700;
  ZipCryptoFilter filter;
  filter.keys = {1, 2, 3};
  filter.SetRemaining(1'000'000);
  input.SetFilter(&filter);
  EXPECT_EQ(filter.Remaining(), 1'000'000 - 68);
  EXPECT_TRUE(std::equal(input.buffer.begin(), input.buffer.begin() + 32'700, bytes.begin()));
  input.pos = input.limit;
  ASSERT_EQ(input.Refill(), EntryResult::kOk);
  EXPECT_EQ(filter.Remaining(), 1'000'000 - (50'000 - 32'700));
  EXPECT_TRUE(std::all_of(input.buffer.begin() + input.count, input.buffer.end(), [](std::uint8_t b) { return b == 0; }));
  input.SetFilter(nullptr);
}

// A refill of an encrypted entry decrypts only what the entry still has due:
// nothing at all when the compressed size was below 12.
TEST_F(CryptTest, RefillOfEntryWithNegativeRemainingDecryptsNothing) {
  test::TempFolder temp;
  const std::string path = temp.file("a.bin");
  const auto bytes = test::RandomBytes(50'000, 41);
  test::WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
  test::FileInput file(path);
  EntryInput& input = file.input;
  ASSERT_EQ(input.FillAt(0), EntryResult::kOk);
  ZipCryptoFilter filter;
  filter.SetRemaining(11 - 12);
  input.pos = input.limit;
  input.SetFilter(&filter);
  ASSERT_EQ(input.Refill(), EntryResult::kOk);
  EXPECT_TRUE(std::equal(input.buffer.begin(), input.buffer.begin() + input.count, bytes.begin() + input.base));
  EXPECT_EQ(filter.Remaining(), -1);
}

}  // namespace
}  // namespace vantelo

namespace vantelo {
namespace {

// A password is tried as UTF-8, then in the archive's legacy code page (CP437
// when its names are UTF-8), each cut to 30 characters; characters the code
// page lacks are never replaced by look-alikes.
TEST(PasswordFormsTest, Utf8ThenLegacyCodePageEachCutToThirtyCharacters) {
  using Forms = std::vector<std::string>;
  EXPECT_EQ(PasswordForms("", "CP437", 30), Forms{});
  EXPECT_EQ(PasswordForms("pass123", "CP437", 30), Forms{"pass123"});
  EXPECT_EQ(PasswordForms("caf\xC3\xA9", "UTF-8", 30), (Forms{"caf\xC3\xA9", "caf\x82"}));
  EXPECT_EQ(PasswordForms("caf\xC3\xA9", "", 30), (Forms{"caf\xC3\xA9", "caf\x82"}));
  EXPECT_EQ(PasswordForms("caf\xC3\xA9", "CP1252", 30), (Forms{"caf\xC3\xA9", "caf\xE9"}));
  EXPECT_EQ(PasswordForms("\xD0\xBF\xD0\xB0\xD1\x80", "CP866", 30), (Forms{"\xD0\xBF\xD0\xB0\xD1\x80", "\xAF\xA0\xE0"}));
  // The euro sign has no place in CP437: only the UTF-8 form.
  EXPECT_EQ(PasswordForms("\xE2\x82\xAC" "1", "CP437", 30), Forms{"\xE2\x82\xAC" "1"});
  // Bytes that are not UTF-8 (a password typed in a legacy terminal) stay as they are.
  EXPECT_EQ(PasswordForms("caf\x82", "CP437", 30), Forms{"caf\x82"});
  EXPECT_EQ(PasswordForms(std::string(40, '\x82'), "CP437", 30), Forms{std::string(30, '\x82')});

  std::string e31;
  for (int i = 0; i < 31; ++i) e31 += "\xC3\xA9";
  const Forms cut = PasswordForms(e31 + "x", "CP437", 30);
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0], e31.substr(0, 60)) << "30 characters, not 30 bytes";
  EXPECT_EQ(cut[1], std::string(30, '\x82'));
  EXPECT_EQ(PasswordForms(e31, "CP437", 0).front(), e31) << "no limit: the whole password";
}

}  // namespace
}  // namespace vantelo

namespace vantelo {
namespace {

// The bytes after an encrypted entry's data against its central record: with
// or without the signature, 4- or 8-byte sizes, cut off by the entry's room.
TEST(DataDescriptorTest, AgreesContradictsOrIsAbsent) {
  TZFItem entry;
  entry.CentralCrc = 0xA1B2C3D4u;
  entry.PackedSize = 5000;
  entry.UnpackedSize = 7000;
  auto le = [](std::vector<std::uint8_t>& out, std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto descriptor = [&](bool signature, std::uint32_t crc, std::uint64_t packed, std::uint64_t unpacked, int width) {
    std::vector<std::uint8_t> out;
    if (signature) le(out, 0x08074B50u, 4);
    le(out, crc, 4);
    le(out, packed, width);
    le(out, unpacked, width);
    le(out, 0x04034B50u, 4);  // the next local header
    return out;
  };
  auto verdict = [&](const std::vector<std::uint8_t>& b, std::int32_t available) {
    return CheckDataDescriptor(b.data(), std::min<std::int32_t>(available, static_cast<std::int32_t>(b.size())), entry);
  };
  using V = DescriptorVerdict;
  for (const bool signature : {true, false}) {
    for (const int width : {4, 8}) {
      SCOPED_TRACE(::testing::Message() << "signature " << signature << " width " << width);
      EXPECT_EQ(verdict(descriptor(signature, 0xA1B2C3D4u, 5000, 7000, width), 24), V::kAgrees);
      EXPECT_EQ(verdict(descriptor(signature, 0xA1B2C3D4u, 5016, 7000, width), 24), V::kContradicts);
      EXPECT_EQ(verdict(descriptor(signature, 0xA1B2C3D4u, 5000, 7001, width), 24), V::kContradicts);
      // Sizes cut off by the end of the entry's room are no agreement.
      EXPECT_EQ(verdict(descriptor(signature, 0xA1B2C3D4u, 5000, 7000, width), (signature ? 4 : 0) + 4 + width),
                V::kContradicts);
    }
  }
  // With its signature another CRC-32 contradicts; without one, bytes that are
  // not the CRC-32 are no descriptor at all (the next header follows the data).
  EXPECT_EQ(verdict(descriptor(true, 0xA1B2C3D5u, 5000, 7000, 4), 24), V::kContradicts);
  EXPECT_EQ(verdict(descriptor(false, 0xA1B2C3D5u, 5000, 7000, 4), 24), V::kAbsent);
  EXPECT_EQ(verdict(descriptor(true, 0xA1B2C3D4u, 5000, 7000, 4), 4), V::kContradicts);
  EXPECT_EQ(verdict(descriptor(true, 0xA1B2C3D4u, 5000, 7000, 4), 3), V::kAbsent);
  EXPECT_EQ(verdict({}, 0), V::kAbsent);
  // A ZIP64 entry: only 8-byte sizes can hold them.
  entry.PackedSize = 0x100000010LL;
  EXPECT_EQ(verdict(descriptor(true, 0xA1B2C3D4u, 0x100000010LL, 7000, 8), 24), V::kAgrees);
  EXPECT_EQ(verdict(descriptor(true, 0xA1B2C3D4u, 0x10, 7000, 4), 24), V::kContradicts);
}

}  // namespace
}  // namespace vantelo
