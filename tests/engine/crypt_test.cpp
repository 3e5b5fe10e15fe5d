// Traditional decryption over real archives from Info-ZIP zip and 7-Zip: the
// password check, decryption through the buffered input and its refills to the
// stored CRC-32, and the bounds that keep it inside the entry's data.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "common/test_support.h"
#include "engine/crypt.h"
#include "engine/engine.h"
#include "engine/stream_io.h"
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
  void SetUp() override { test::ResetStreamState(); }
  void TearDown() override {
    CloseArchive();
    test::ResetStreamState();
  }

  // Opens a fixture and lists its entries with the central directory's sizes and CRC.
  std::vector<Entry> Open(const std::string& fixture) {
    std::vector<Entry> entries;
    if (OpenArchive(DataPath(fixture)) != 0) {
      ADD_FAILURE() << fixture << ": " << GetLastMessage();
      return entries;
    }
    raw_ = test::ReadFileBytes(DataPath(fixture));
    for (std::int32_t i = 0; i < GetEntryCount(); ++i) {
      const TZFItem& item = Engine().Entries[static_cast<std::size_t>(i)];
      entries.push_back({i, GetEntryName(i), static_cast<std::int32_t>(item.PackedSize),
                         static_cast<std::int32_t>(item.UnpackedSize), item.CentralCrc});
    }
    return entries;
  }

  // Reads entry e's local header through the input buffer as the batch does
  // (refilling only when the header is not wholly buffered), copies the
  // encryption header and sets CryptRemaining. Returns false for an entry
  // that is not encrypted.
  bool StartEntry(const Entry& e) {
    EngineState& s = Engine();
    s.ErrorNo = 0;
    s.CurrentEntry = &s.Entries[static_cast<std::size_t>(e.index)];
    s.LocalOffset = s.CurrentEntry->HeaderOffset;
    auto window = [&](std::int32_t n) {
      if (s.LocalOffset < s.InBase || s.LocalOffset + n > s.InBase + s.InLimit) {
        s.InBase = s.LocalOffset;
        FillInputAt();
        ++fills_;
      }
    };
    window(30);
    std::memcpy(local_.data(), s.InBuffer.data() + (s.LocalOffset - s.InBase), 30);
    EXPECT_EQ(ReadU32(local_.data()), 0x04034B50u) << e.name << ": local header signature";
    s.LocalOffset += 30;
    const std::int32_t nameLength = ReadU16(local_.data() + 26);
    const std::int32_t extraLength = ReadU16(local_.data() + 28);
    window(nameLength);
    s.LocalOffset += nameLength;
    window(extraLength);
    s.LocalOffset += extraLength;
    s.InPos = static_cast<std::int32_t>(s.LocalOffset - s.InBase);
    if (!(local_[6] & 1)) return false;
    window(12);
    std::memcpy(s.CryptHeader.data(), s.InBuffer.data() + (s.LocalOffset - s.InBase), 12);
    s.LocalOffset += 12;
    s.InPos = static_cast<std::int32_t>(s.LocalOffset - s.InBase);
    // The batch takes the sizes from the central directory record.
    s.CryptRemaining = e.packed - 12;
    return true;
  }

  // After CheckPassword: decrypts the buffered bytes, copies the stored data
  // through the output window in test mode and returns the CRC-32.
  std::uint32_t DecryptAndCopy(const Entry& e, std::int32_t maxPiece = 1 << 30) {
    EngineState& s = Engine();
    s.CryptStart = s.InPos;
    s.CryptCount = s.InCount - s.InPos;
    DecryptInput();
    s.OutPos = s.OutStart = s.EntryOutCount = s.InBitPos = 0;
    s.EntryCrc = 0xFFFFFFFFu;
    refills_ += test::CopyStored(e.unpacked, maxPiece);
    EXPECT_EQ(s.ErrorNo, 0) << e.name << ": " << s.ErrorMsg;
    EXPECT_EQ(s.EntryOutCount, e.unpacked) << e.name;
    EXPECT_EQ(s.CryptRemaining, 0) << e.name;
    return ~s.EntryCrc;
  }

  // The bytes after the entry's data are still the archive's own: decryption
  // stopped at the end of the entry.
  void ExpectBufferAfterEntryIsRaw(const Entry& e) {
    const EngineState& s = Engine();
    const ZipSize at = s.InBase + s.InPos;
    const std::int32_t n = std::min<std::int32_t>(s.InCount - s.InPos, 64);
    ASSERT_GE(n, 4) << e.name;
    EXPECT_EQ(0, std::memcmp(s.InBuffer.data() + s.InPos, raw_.data() + at, static_cast<std::size_t>(n)))
        << e.name;
    EXPECT_EQ(s.InBuffer[s.InPos], 'P') << e.name;
    EXPECT_EQ(s.InBuffer[s.InPos + 1], 'K') << e.name;
  }

  std::string raw_;
  std::array<std::uint8_t, 30> local_{};  // the local header of the entry begun last
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
    Engine().Password = PasswordOf(e.name);
    if (e.name == "pw40.bin") {
      // Encrypted with all 40 characters; the engine uses only the first 30.
      EXPECT_FALSE(CheckPassword());
      continue;  // skipped as the batch would: the next header is read as it lies
    }
    ASSERT_TRUE(CheckPassword()) << e.name;
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
    Engine().Password = PasswordOf(e.name);
    if (e.name == "pw40.bin") {
      EXPECT_FALSE(CheckPassword()) << "a 40-character password is used as its first 30";
      continue;
    }
    ASSERT_TRUE(CheckPassword()) << e.name;
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
      Engine().Password = kPasswords;  // 40 characters
      ASSERT_TRUE(CheckPassword()) << fixture;
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
        test::ResetStreamState();
        ASSERT_TRUE(StartEntry(e));
        Engine().Password = PasswordOf(e.name);
        ASSERT_TRUE(CheckPassword());
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
      test::ResetStreamState();
      if (!StartEntry(e)) continue;
      const std::array<std::uint8_t, 12> header = Engine().CryptHeader;

      Engine().Password = "";
      EXPECT_FALSE(CheckPassword()) << e.name;
      EXPECT_EQ(Engine().CryptHeader, header) << "an empty password leaves the header encrypted";

      std::string wrong = PasswordOf(e.name);
      const auto letter = std::find_if(wrong.begin(), wrong.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
      ASSERT_NE(letter, wrong.end());
      *letter = static_cast<char>(std::islower(static_cast<unsigned char>(*letter)) ? std::toupper(*letter) : std::tolower(*letter));
      Engine().Password = wrong;
      ++checks;
      if (CheckPassword()) {
        // One password in 256 passes the one-byte check; its data must then fail the CRC.
        ++chanceMatches;
        Engine().CryptStart = Engine().InPos;
        Engine().CryptCount = Engine().InCount - Engine().InPos;
        DecryptInput();
        Engine().EntryCrc = 0xFFFFFFFFu;
        Engine().EntryOutCount = Engine().OutPos = Engine().OutStart = 0;
        test::CopyStored(e.unpacked);
        EXPECT_NE(~Engine().EntryCrc, e.crc) << e.name;
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
    EngineState& s = Engine();
    TZFItem& entry = *s.CurrentEntry;
    ASSERT_EQ((entry.CentralFlags & 8) != 0, c.bit3);
    ASSERT_NE(entry.FileTime >> 8, entry.CentralCrc >> 24) << "the fixture must tell the two sources apart";
    const std::array<std::uint8_t, 12> header = s.CryptHeader;
    s.Password = PasswordOf(e->name);
    EXPECT_TRUE(CheckPassword());
    entry.CentralFlags ^= 8;  // the other source for the same header
    s.CryptHeader = header;
    EXPECT_FALSE(CheckPassword());
    entry.CentralFlags ^= 8;
    s.CryptHeader = header;
    ASSERT_TRUE(CheckPassword());
    if (std::string(c.fixture) == "crypt_zip_pipe.zip") {
      // Its sizes are only in the central directory; the data still decrypts.
      EXPECT_EQ(DecryptAndCopy(*e), e->crc);
      ExpectBufferAfterEntryIsRaw(*e);
    }
    CloseArchive();
  }
}

// DecryptInput stays inside the valid part of the buffer whatever the counters
// hold, and a negative CryptRemaining (compressed size below 12) decrypts nothing.
TEST_F(CryptTest, DecryptInputStaysInsideTheValidBytes) {
  EngineState& s = Engine();
  auto pattern = test::RandomBytes(s.InBuffer.size(), 31);
  auto reset = [&](std::int32_t count) {
    std::copy(pattern.begin(), pattern.end(), s.InBuffer.begin());
    s.InCount = count;
    s.CryptKeys = {0x12345678u, 0x23456789u, 0x34567890u};
  };
  auto changed = [&] {
    std::vector<std::int32_t> at;
    for (std::size_t i = 0; i < pattern.size(); ++i)
      if (s.InBuffer[i] != pattern[i]) at.push_back(static_cast<std::int32_t>(i));
    return at;
  };
  struct Case {
    std::int32_t inCount, start, count, remaining;
    std::int32_t firstChanged, lastChanged, remainingAfter;  // -1: nothing changes
  };
  const Case cases[] = {
      {1000, 100, 900, 5, 100, 104, 0},
      {1000, 100, 900, -7, -1, -1, -7},              // compressed size below 12
      {1000, 100, -5, 50, -1, -1, 50},               // a negative count
      {1000, 100, 0x7FFFFFFF, 0x7FFFFFFF, 100, 999, 0x7FFFFFFF - 900},  // stops at InCount
      {1000, 1000, 10, 10, -1, -1, 10},              // starts at InCount
      {1000, -3, 10, 10, -1, -1, 10},                // starts before the buffer
      {1000, 40000, 10, 10, -1, -1, 10},             // starts after it
      {32768, 32760, 100, 100, 32760, 32767, 92},    // a full buffer: never into the slack
      {0, 0, 100, 100, -1, -1, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "start " << c.start << " count " << c.count << " remaining " << c.remaining);
    reset(c.inCount);
    s.CryptStart = c.start, s.CryptCount = c.count, s.CryptRemaining = c.remaining;
    DecryptInput();
    const auto at = changed();
    EXPECT_EQ(s.CryptRemaining, c.remainingAfter);
    if (c.firstChanged < 0) {
      EXPECT_TRUE(at.empty());
      continue;
    }
    // A changed byte may by chance decrypt to itself, so only the bounds are checked.
    ASSERT_FALSE(at.empty());
    EXPECT_GE(at.front(), c.firstChanged);
    EXPECT_LE(at.back(), c.lastChanged);
  }
}

// A refill of an encrypted entry decrypts only what the entry still has due:
// nothing at all when the compressed size was below 12.
TEST_F(CryptTest, RefillOfEntryWithNegativeRemainingDecryptsNothing) {
  test::TempFolder temp;
  const std::string path = temp.file("a.bin");
  const auto bytes = test::RandomBytes(50'000, 41);
  test::WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
  test::RawArchive archive(path);
  EngineState& s = Engine();
  FillInputAt();
  s.CurrentEntry->CentralFlags = 1;
  s.CryptRemaining = 11 - 12;
  s.InPos = s.InLimit;
  RefillInput();
  ASSERT_EQ(s.ErrorNo, 0);
  EXPECT_TRUE(std::equal(s.InBuffer.begin(), s.InBuffer.begin() + s.InCount, bytes.begin() + s.InBase));
  EXPECT_EQ(s.CryptRemaining, -1);
}

}  // namespace
}  // namespace vantelo
