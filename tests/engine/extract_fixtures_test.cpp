// Extraction and test batches over archives made by Info-ZIP zip, 7-Zip, bsdtar
// and Python's zipfile: the files written must be what Python's zipfile
// extracts (the .expect manifests made by tests/data/make-extract-fixtures.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <set>

#include "common/extract_manifest.h"
#include "common/test_support.h"
#include "engine/crc32.h"
#include "engine/engine.h"
#include "platform/platform.h"

namespace vantelo {
namespace {

namespace fs = std::filesystem;
using test::ExpectedEntry;
using test::ReadFileBytes;
using test::TempFolder;

std::string Fixture(const std::string& name) { return test::DataPath("extract/" + name); }

std::vector<ExpectedEntry> Manifest(const std::string& archive) {
  return test::ReadManifest(Fixture(archive.substr(0, archive.size() - 4) + ".expect"));
}

std::uint32_t FileCrc(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  return CrcUpdate(0xFFFFFFFFu, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) ^
         0xFFFFFFFFu;
}

// The status each entry must end with when the batch runs with this password.
std::string ExpectedStatus(const ExpectedEntry& e, std::int32_t /*index*/, const std::string& password) {
  if (e.kind == 'D' || e.password.empty()) return kStatusOk;
  // Entries with a data descriptor (Info-ZIP, streamed) decrypt like the others.
  return e.password == password ? kStatusOk : kStatusBadPassword;
}

// Whether this build decodes bzip2, LZMA, XZ and Zstandard (not on Windows).
bool LibraryMethodsBuilt() {
  const auto names = GetSupportedMethodNames();
  return std::find(names.begin(), names.end(), "bzip2") != names.end();
}

// Every archive Python's zipfile reads in full (and a Deflate64 one with what
// 7-Zip extracts from it), with the password that opens (some of) its
// encrypted entries.
const std::vector<std::pair<std::string, std::string>> kBaseArchives = {
    {"zip_stored.zip", ""},          {"zip_deflate1.zip", ""},
    {"zip_deflate9.zip", ""},        {"zip_streamed.zip", ""},
    {"zip_streamed_stored.zip", ""}, {"zip_streamed_encrypted.zip", "gamma"},
    {"zip_multipass.zip", "alpha"},  {"7zz_deflate.zip", ""},
    {"7zz_store.zip", ""},           {"7zz_zipcrypto.zip", "delta"},
    {"7zz_multipass.zip", "alpha"},  {"bsdtar.zip", ""},
    {"py_mixed.zip", ""},            {"py_streamed.zip", ""},
    {"7zz_deflate64_far.zip", ""},
};
// Archives of the library methods, checked against 7-Zip's and Python's
// extraction (tests/data/make-library-method-fixtures.sh).
const std::vector<std::pair<std::string, std::string>> kLibraryArchives = {
    {"7zz_bzip2.zip", ""},           {"7zz_lzma.zip", ""},
    {"../methods/7zz_bzip2.zip", ""}, {"../methods/7zz_lzma.zip", ""},
    {"../methods/7zz_xz.zip", ""},    {"../methods/py_bzip2.zip", ""},
    {"../methods/py_lzma.zip", ""},   {"../methods/py_xz_zstd.zip", ""},
};

std::vector<std::pair<std::string, std::string>> GoodArchives() {
  auto all = kBaseArchives;
  if (LibraryMethodsBuilt()) all.insert(all.end(), kLibraryArchives.begin(), kLibraryArchives.end());
  return all;
}

TEST(ExtractFixtures, ExtractAllWritesWhatPythonZipfileExtracts) {
  for (const auto& [archive, password] : GoodArchives()) {
    SCOPED_TRACE(archive);
    const auto expected = Manifest(archive);
    ASSERT_EQ(OpenArchive(Fixture(archive)), 0);
    ASSERT_EQ(GetEntryCount(), static_cast<std::int32_t>(expected.size()));
    TempFolder dest;
    EXPECT_EQ(ExtractAll(dest.dir(), password, true, true, false, nullptr), 0) << GetLastMessage();

    std::set<std::string> wanted;
    std::int32_t skipped = 0;
    for (std::int32_t i = 0; i < GetEntryCount(); ++i) {
      const ExpectedEntry& e = expected[static_cast<std::size_t>(i)];
      SCOPED_TRACE(e.path);
      const std::string status = ExpectedStatus(e, i, password);
      EXPECT_EQ(GetEntryStatus(i), status);
      if (status != kStatusOk) {
        ++skipped;
        EXPECT_FALSE(fs::exists(dest.file(e.path)));
      } else if (e.kind == 'D') {
        EXPECT_TRUE(fs::is_directory(dest.file(e.path)));
      } else {
        wanted.insert(e.path);
        ASSERT_TRUE(fs::is_regular_file(dest.file(e.path)));
        EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(dest.file(e.path))), e.size);
        EXPECT_EQ(FileCrc(dest.file(e.path)), e.crc);
      }
    }
    EXPECT_EQ(GetSkippedCount(), skipped);
    // Nothing else: no temporary files, nothing for skipped entries.
    const auto files = test::ListFiles(dest.path());
    EXPECT_EQ(std::set<std::string>(files.begin(), files.end()), wanted);
    std::int32_t filesDone = 0;
    ZipSize bytesDone = 0;
    GetProgress(filesDone, bytesDone);
    EXPECT_EQ(filesDone, GetEntryCount());
    EXPECT_EQ(bytesDone, GetTotalSize());
    CloseArchive();
  }
}

TEST(ExtractFixtures, TestModeChecksEveryEntryAndWritesNothing) {
  for (const auto& [archive, password] : GoodArchives()) {
    SCOPED_TRACE(archive);
    const auto expected = Manifest(archive);
    ASSERT_EQ(OpenArchive(Fixture(archive)), 0);
    TempFolder dest;
    EXPECT_EQ(ExtractAll(dest.dir() + "not-there/", password, true, true, true, nullptr), 0);
    for (std::int32_t i = 0; i < GetEntryCount(); ++i)
      EXPECT_EQ(GetEntryStatus(i), ExpectedStatus(expected[static_cast<std::size_t>(i)], i, password))
          << i;
    EXPECT_TRUE(fs::is_empty(dest.path()));
    CloseArchive();
  }
}

TEST(ExtractFixtures, OtherMethodsStopWithErrorTwoAndCreateNothing) {
  struct Refused {
    const char* archive;
    std::string name;
    std::uint16_t method;
    const char* methodName;
  };
  // bzip2 and LZMA are refused only by a build without their libraries (Windows);
  // elsewhere they are among the good archives.
  std::vector<Refused> refused = {Refused{"7zz_ppmd.zip", "readme.txt", 98, "PPMd"}};
  if (!LibraryMethodsBuilt()) {
    refused.push_back(Refused{"7zz_bzip2.zip", test::NativePath("docs/sub/long.txt"), 12, "bzip2"});
    refused.push_back(Refused{"7zz_lzma.zip", test::NativePath("docs/sub/long.txt"), 14, "LZMA"});
  }
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.archive);
    ASSERT_EQ(OpenArchive(Fixture(r.archive)), 0);
    EXPECT_EQ(GetEntryMethod(0), r.method);
    EXPECT_EQ(GetMethodName(r.method), r.methodName);
    for (bool testOnly : {false, true}) {
      TempFolder dest;
      EXPECT_EQ(ExtractAll(dest.dir(), "", true, true, testOnly, nullptr), kErrMethod);
      EXPECT_EQ(GetLastMessage(), r.name + " is compressed with not supported old method!");
      EXPECT_EQ(GetEntryStatus(0), "");
      EXPECT_EQ(GetStoppedEntry(), 0);
      EXPECT_TRUE(fs::is_empty(dest.path()));
    }
    CloseArchive();
    EXPECT_EQ(GetStoppedEntry(), -1);
  }
}

// Deflate64 (method 9) decodes: 7-Zip's long.txt gives the same file as its
// Deflate twin, in test mode and extracted.
TEST(ExtractFixtures, Deflate64EntriesAreOk) {
  ASSERT_EQ(OpenArchive(Fixture("7zz_deflate64.zip")), 0);
  EXPECT_EQ(GetEntryMethod(0), 9);
  EXPECT_EQ(GetMethodName(9), "Deflate64");
  const auto twin = Manifest("7zz_deflate.zip");
  const auto longText = std::find_if(twin.begin(), twin.end(), [](const ExpectedEntry& e) { return e.path == "docs/sub/long.txt"; });
  ASSERT_NE(longText, twin.end());
  for (bool testOnly : {true, false}) {
    TempFolder dest;
    EXPECT_EQ(ExtractAll(dest.dir(), "", true, true, testOnly, nullptr), 0) << GetLastMessage();
    EXPECT_EQ(GetEntryStatus(0), kStatusOk);
    EXPECT_EQ(GetStoppedEntry(), -1);
    if (!testOnly) {
      EXPECT_EQ(FileCrc(dest.file("docs/sub/long.txt")), longText->crc);
    }
  }
  CloseArchive();
}

TEST(ExtractFixtures, PasswordsEmptyWrongAndRightInOneBatch) {
  // 7zz_multipass: words.txt, readme.txt and empty.dat with "alpha", long.txt
  // with "beta", noext unencrypted.
  ASSERT_EQ(OpenArchive(Fixture("7zz_multipass.zip")), 0);
  const auto expected = Manifest("7zz_multipass.zip");
  // Only one byte of the header is checked, so one wrong password in 256 gets
  // through; these wrong ones were checked not to with this fixture.
  for (const std::string password : {"", "alpha", "beta", "wrong2", "ALPHA"}) {
    SCOPED_TRACE(password);
    TempFolder dest;
    EXPECT_EQ(ExtractAll(dest.dir(), password, true, true, false, nullptr), 0);
    std::int32_t skipped = 0, skippedBytes = 0;
    for (std::int32_t i = 0; i < GetEntryCount(); ++i) {
      const ExpectedEntry& e = expected[static_cast<std::size_t>(i)];
      const bool opens = e.password.empty() || e.password == password;
      EXPECT_EQ(GetEntryStatus(i), opens ? kStatusOk : kStatusBadPassword) << e.path;
      EXPECT_EQ(fs::exists(dest.file(e.path)), opens) << e.path;
      if (!opens) {
        ++skipped;
        skippedBytes += GetEntrySize(i);
      }
    }
    EXPECT_EQ(GetSkippedCount(), skipped);
    std::int32_t files = 0;
    ZipSize bytes = 0;
    GetProgress(files, bytes);
    EXPECT_EQ(files, 5);
    EXPECT_EQ(bytes, GetTotalSize());  // skipped entries count with their full size
  }
  // A password longer than 30 characters is cut: "alpha" + 26 more is not "alpha".
  EXPECT_EQ(ExtractAll("", "alpha" + std::string(26, 'x'), true, true, true, nullptr), 0);
  EXPECT_EQ(GetSkippedCount(), 4);
  CloseArchive();
}

// WinZip AES archives by 7-Zip (AES-128/192/256 around stored, Deflate and
// Deflate64 data; AES beside plain and ZipCrypto entries; a 42-character
// password) and by zip.js (data descriptors, a non-ASCII password used whole
// as UTF-8): with the right password every file is what 7zz extracts; with a
// wrong one each AES entry is skipped and nothing of it is written.
TEST(ExtractFixtures, AesEntriesGiveWhat7zzExtractsAndWrongPasswordsSkipThem) {
  for (const std::string archive : {"7zz_aes128", "7zz_aes192_store", "7zz_aes256", "7zz_aes256_store",
                                    "7zz_aes256_deflate64", "7zz_aes_mixed", "7zz_aes256_long", "zipjs_aes"}) {
    SCOPED_TRACE(archive);
    const auto expected = test::ReadManifest(test::DataPath("aes/" + archive + ".expect"));
    ASSERT_EQ(OpenArchive(test::DataPath("aes/" + archive + ".zip")), 0);
    ASSERT_EQ(GetEntryCount(), static_cast<std::int32_t>(expected.size()));
    std::string password;
    for (const ExpectedEntry& e : expected)
      if (!e.password.empty()) password = e.password;
    for (const std::string& given : {password, password.substr(0, password.size() - 1)}) {
      const bool right = given == password;
      TempFolder dest;
      EXPECT_EQ(ExtractAll(dest.dir(), given, true, true, false, nullptr), 0) << GetLastMessage();
      std::set<std::string> wanted;
      for (std::int32_t i = 0; i < GetEntryCount(); ++i) {
        const ExpectedEntry& e = expected[static_cast<std::size_t>(i)];
        SCOPED_TRACE(e.path);
        EXPECT_TRUE(GetEntryEncrypted(i) || e.kind == 'D' || e.password.empty());
        const bool opens = right || e.password.empty();
        EXPECT_EQ(GetEntryStatus(i), opens ? kStatusOk : kStatusBadPassword);
        if (e.kind == 'F' && opens) {
          wanted.insert(e.path);
          ASSERT_TRUE(fs::is_regular_file(dest.file(e.path)));
          EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(dest.file(e.path))), e.size);
          EXPECT_EQ(FileCrc(dest.file(e.path)), e.crc);
        }
      }
      const auto files = test::ListFiles(dest.path());
      EXPECT_EQ(std::set<std::string>(files.begin(), files.end()), wanted);
      // A test run gives the same verdicts.
      EXPECT_EQ(ExtractAll("", given, true, true, true, nullptr), 0);
      for (std::int32_t i = 0; i < GetEntryCount(); ++i)
        EXPECT_EQ(GetEntryStatus(i), right || expected[static_cast<std::size_t>(i)].password.empty()
                                         ? kStatusOk : kStatusBadPassword) << i;
    }
    CloseArchive();
  }
}

// Info-ZIP sets flag bit 3 on every encrypted entry: checked with the time
// word's high byte, decrypted over the central record's packed size.
TEST(ExtractFixtures, InfoZipEncryptedEntriesWithADataDescriptorDecrypt) {
  ASSERT_EQ(OpenArchive(Fixture("zip_multipass.zip")), 0);
  TempFolder dest;
  EXPECT_EQ(ExtractAll(dest.dir(), "alpha", true, true, false, nullptr), 0);
  EXPECT_EQ(GetEntryStatus(0), kStatusOk);
  EXPECT_EQ(GetEntryStatus(1), kStatusBadPassword);  // beta's
  EXPECT_EQ(GetEntryStatus(2), kStatusOk);  // noext
  EXPECT_EQ(GetEntryStatus(3), kStatusOk);  // empty.dat
  EXPECT_EQ(test::ListFiles(dest.path()), (std::vector<std::string>{"docs/readme.txt", "empty.dat", "noext"}));
  EXPECT_EQ(ReadFileBytes(dest.file("docs/readme.txt")), "Read me first.\n");
  CloseArchive();
}

TEST(ExtractFixtures, OverwriteOffKeepsTheExistingFileAndCountsItsSize) {
  ASSERT_EQ(OpenArchive(Fixture("zip_stored.zip")), 0);
  TempFolder dest;
  test::WriteFileBytes(dest.file("noext"), "older\n");
  EXPECT_EQ(ExtractAll(dest.dir(), "", false, true, false, nullptr), 0);
  const std::int32_t last = GetEntryCount() - 1;  // noext
  EXPECT_EQ(GetEntryStatus(last), kStatusFileExists);
  EXPECT_EQ(ReadFileBytes(dest.file("noext")), "older\n");
  EXPECT_EQ(GetSkippedCount(), 1);
  std::int32_t files = 0;
  ZipSize bytes = 0;
  GetProgress(files, bytes);
  EXPECT_EQ(bytes, GetTotalSize());

  // With overwrite on, the file is replaced.
  EXPECT_EQ(ExtractAll(dest.dir(), "", true, true, false, nullptr), 0);
  EXPECT_EQ(GetEntryStatus(last), kStatusOk);
  EXPECT_EQ(ReadFileBytes(dest.file("noext")), "no extension\n");
  CloseArchive();
}

TEST(ExtractFixtures, WithoutFolderNamesFilesLandInTheDestinationAndFoldersAreStillMade) {
  ASSERT_EQ(OpenArchive(Fixture("zip_stored.zip")), 0);
  TempFolder dest;
  EXPECT_EQ(ExtractAll(dest.dir() + "new/level/", "", true, false, false, nullptr), 0);
  const fs::path root = dest.path() / "new/level";
  EXPECT_EQ(test::ListFiles(root),
            (std::vector<std::string>{"empty.dat", "long.txt", "noext", "readme.txt"}));
  EXPECT_TRUE(fs::is_directory(root / "docs/sub"));
  EXPECT_TRUE(fs::is_directory(root / "empty dir"));
  CloseArchive();
}

TEST(ExtractFixtures, FileTimeIsTheEntrysLocalTime) {
  ASSERT_EQ(OpenArchive(Fixture("zip_stored.zip")), 0);
  TempFolder dest;
  ASSERT_EQ(ExtractAll(dest.dir(), "", true, true, false, nullptr), 0);
  const std::int32_t last = GetEntryCount() - 1;
  const std::uint16_t date = GetEntryDate(last), time = GetEntryTime(last);
  std::tm local{};
  local.tm_year = (date >> 9) + 80;
  local.tm_mon = ((date >> 5) & 15) - 1;
  local.tm_mday = date & 31;
  local.tm_hour = time >> 11;
  local.tm_min = (time >> 5) & 63;
  local.tm_sec = (time & 31) * 2;
  local.tm_isdst = -1;
  EXPECT_EQ(platform::LastWriteTime(dest.file("noext")), static_cast<std::int64_t>(std::mktime(&local)));
  CloseArchive();
}

TEST(ExtractFixtures, SelectedAndSingleEntryBatches) {
  ASSERT_EQ(OpenArchive(Fixture("zip_stored.zip")), 0);
  TempFolder dest;
  // Nothing selected: nothing happens, and earlier status texts stay.
  ASSERT_EQ(ExtractAll("", "", true, true, true, nullptr), 0);
  EXPECT_EQ(ExtractSelected(dest.dir(), "", true, true, false, nullptr), 0);
  std::int32_t files = -1;
  ZipSize bytes = -1;
  GetProgress(files, bytes);
  EXPECT_EQ(files, 0);
  EXPECT_EQ(bytes, 0);
  EXPECT_EQ(GetEntryStatus(0), kStatusOk);
  EXPECT_TRUE(fs::is_empty(dest.path()));

  const std::int32_t last = GetEntryCount() - 1;
  SetEntrySelected(last, true);
  EXPECT_EQ(ExtractSelected(dest.dir(), "", true, true, false, nullptr), 0);
  EXPECT_EQ(test::ListFiles(dest.path()), std::vector<std::string>{"noext"});

  TempFolder one;
  EXPECT_EQ(ExtractEntry(2, one.dir(), "", true, false, false, nullptr), 0);  // docs/sub/long.txt
  EXPECT_EQ(test::ListFiles(one.path()), std::vector<std::string>{"long.txt"});
  EXPECT_THROW(ExtractEntry(GetEntryCount(), one.dir(), "", true, false, false, nullptr),
               std::out_of_range);
  EXPECT_THROW(ExtractEntry(-1, one.dir(), "", true, false, false, nullptr), std::out_of_range);
  CloseArchive();
}


// ZipCrypto archives of everyday writers (tests/data/make-crypt-writers-fixtures.sh),
// nearly all with data descriptors: extracted and tested with the password
// their maker typed.
std::string Writer(const std::string& name) { return test::DataPath("crypt_writers/" + name); }

const std::vector<std::pair<std::string, std::string>> kWriterArchives = {
    {"zip_e.zip", "pass123"},           {"zip_e_pipe.zip", "pass123"}, {"zipcloak.zip", "pass123"},
    {"bsdtar_zipcrypt.zip", "pass123"}, {"zip_cp437.zip", "caf\xC3\xA9"},
};

TEST(CryptWriters, EveryWriterExtractsAndTestsWhatPythonZipfileExtracts) {
  for (const auto& [archive, password] : kWriterArchives) {
    SCOPED_TRACE(archive);
    const auto expected = test::ReadManifest(Writer(archive.substr(0, archive.size() - 4) + ".expect"));
    ASSERT_EQ(OpenArchive(Writer(archive)), 0);
    ASSERT_EQ(GetEntryCount(), static_cast<std::int32_t>(expected.size()));
    TempFolder dest;
    EXPECT_EQ(ExtractAll(dest.dir(), password, true, true, false, nullptr), 0) << GetLastMessage();
    for (std::int32_t i = 0; i < GetEntryCount(); ++i) {
      const ExpectedEntry& e = expected[static_cast<std::size_t>(i)];
      EXPECT_EQ(GetEntryStatus(i), kStatusOk) << e.path;
      if (e.kind != 'F') continue;
      EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(dest.file(e.path))), e.size) << e.path;
      EXPECT_EQ(FileCrc(dest.file(e.path)), e.crc) << e.path;
    }
    EXPECT_EQ(GetSkippedCount(), 0);
    EXPECT_EQ(ExtractAll("", password, true, true, true, nullptr), 0);
    for (std::int32_t i = 0; i < GetEntryCount(); ++i) EXPECT_EQ(GetEntryStatus(i), kStatusOk);

    // A wrong password opens nothing and writes nothing (this one passes no
    // entry's one-byte check by chance: one password in 256 does, and an empty
    // entry then has nothing to fail).
    TempFolder none;
    EXPECT_EQ(ExtractAll(none.dir(), "wrong", true, true, false, nullptr), 0);
    for (std::int32_t i = 0; i < GetEntryCount(); ++i) {
      const ExpectedEntry& e = expected[static_cast<std::size_t>(i)];
      if (e.kind == 'F' && !e.password.empty()) EXPECT_EQ(GetEntryStatus(i), kStatusBadPassword) << e.path;
    }
    EXPECT_TRUE(test::ListFiles(none.path()).empty() || archive == "bsdtar_zipcrypt.zip");  // its empty file is plain
    CloseArchive();
  }
}

// "café" typed on Linux is UTF-8; a Windows writer stored it in CP437 ("caf\x82").
// The engine tries both; the raw bytes work too, and "cafe" does not.
TEST(CryptWriters, PasswordWithAnAccentOpensAnArchiveEncryptedWithItsCp437Bytes) {
  ASSERT_EQ(OpenArchive(Writer("zip_cp437.zip")), 0);
  for (const std::string password : {"caf\xC3\xA9", "caf\x82"}) {
    EXPECT_EQ(ExtractAll("", password, true, true, true, nullptr), 0);
    EXPECT_EQ(GetEntryStatus(0), kStatusOk) << password;
    EXPECT_EQ(GetEntryStatus(1), kStatusOk) << password;
  }
  EXPECT_EQ(ExtractAll("", "cafe", true, true, true, nullptr), 0);
  EXPECT_EQ(GetEntryStatus(0), kStatusBadPassword);
  CloseArchive();
}

// Two descriptors that contradict the central record (another packed size,
// another CRC-32): those entries are skipped, the others decrypt, nothing of
// the skipped ones is written.
TEST(CryptWriters, DescriptorThatContradictsTheCentralRecordSkipsOnlyItsEntry) {
  ASSERT_EQ(OpenArchive(Writer("bad_descriptor.zip")), 0);
  for (const bool testOnly : {false, true}) {
    TempFolder dest;
    EXPECT_EQ(ExtractAll(dest.dir(), "pass123", true, true, testOnly, nullptr), 0) << GetLastMessage();
    std::vector<std::string> statuses;
    for (std::int32_t i = 0; i < GetEntryCount(); ++i) statuses.push_back(GetEntryFolder(i) + GetEntryName(i) + " " + GetEntryStatus(i));
    EXPECT_EQ(statuses, (std::vector<std::string>{
                            "docs/[FOLDER] Ok.", "docs/sub/[FOLDER] Ok.",
                            std::string("docs/sub/random.bin ") + kStatusEncryptedDescriptor,
                            std::string("docs/empty.txt ") + kStatusEncryptedDescriptor, "docs/notes.txt Ok.",
                            "empty/[FOLDER] Ok.", "hello.txt Ok."}));
    EXPECT_EQ(GetSkippedCount(), 2);
    std::int32_t files = 0;
    ZipSize bytes = 0;
    GetProgress(files, bytes);
    EXPECT_EQ(bytes, GetTotalSize());
    if (!testOnly)
      EXPECT_EQ(test::ListFiles(dest.path()), (std::vector<std::string>{"docs/notes.txt", "hello.txt"}));
  }
  CloseArchive();
}

// Strong encryption (flag bit 6, or its 0x0017 field) is refused as an
// encryption the engine lacks, whatever the password and in test mode too;
// the entry's file is never created and the method is not blamed.
TEST(CryptWriters, StrongEncryptionIsRefusedWhateverThePassword) {
  for (const std::string archive : {"strong_flag.zip", "strong_extra.zip"}) {
    ASSERT_EQ(OpenArchive(Writer(archive)), 0);
    for (const std::string password : {"", "pass123", "wrong"}) {
      for (const bool testOnly : {false, true}) {
        SCOPED_TRACE(archive + " [" + password + "]" + (testOnly ? " test" : ""));
        TempFolder dest;
        EXPECT_EQ(ExtractAll(dest.dir(), password, true, true, testOnly, nullptr), kErrMethod);
        EXPECT_EQ(GetLastMessage(), test::NativePath("docs/sub/random.bin") + " is encrypted with a not supported method!");
        EXPECT_EQ(GetStoppedEntry(), 2);
        EXPECT_FALSE(GetStoppedForMethod());
        EXPECT_EQ(GetEntryStatus(2), "");
        EXPECT_TRUE(test::ListFiles(dest.path()).empty());
      }
    }
    CloseArchive();
  }
  // A refused compression method is still the method's fault.
  ASSERT_EQ(OpenArchive(Fixture("7zz_ppmd.zip")), 0);
  EXPECT_EQ(ExtractAll("", "", true, true, true, nullptr), kErrMethod);
  EXPECT_TRUE(GetStoppedForMethod());
  CloseArchive();
}

}  // namespace
}  // namespace vantelo
